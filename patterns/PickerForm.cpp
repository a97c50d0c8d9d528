#include "patterns/PickerForm.h"

#include <QApplication>
#include <QHideEvent>
#include <QKeyEvent>
#include <QShowEvent>

namespace morvelant {

PickerForm::PickerForm(const QString& name) : TForm(name) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
}

void PickerForm::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
        case Qt::Key_Escape:
            if (mods != Qt::NoModifier) break;
            Close();
            return;
        case Qt::Key_Up: MoveHighlight(-1, 0); return;
        case Qt::Key_Down: MoveHighlight(1, 0); return;
        case Qt::Key_Left: MoveHighlight(0, -1); return;
        case Qt::Key_Right: MoveHighlight(0, 1); return;
        case Qt::Key_Return:
        case Qt::Key_Enter: PickHighlight(mods); return;
        default: break;
    }
    TForm::keyPressEvent(event);
}

void PickerForm::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        // Taken before this window is activated: the window the user was in.
        QWidget* active = QApplication::activeWindow();
        opener_ = active != this ? active : nullptr;
        // The control the user pressed to open the picker has just been
        // given the focus (or is about to be, within its window).
        openerFocus_ = opener_ != nullptr ? opener_->focusWidget() : nullptr;
    }
    TForm::showEvent(event);
}

void PickerForm::hideEvent(QHideEvent* event) {
    TForm::hideEvent(event);
    if (event->spontaneous() || opener_ == nullptr || !opener_->isVisible()) return;
    // Left to itself, the window system activates whichever window it likes.
    opener_->activateWindow();
    if (openerFocus_ != nullptr) openerFocus_->setFocus(Qt::ActiveWindowFocusReason);
    opener_ = nullptr;
}

}  // namespace morvelant
