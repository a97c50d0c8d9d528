#include "platform/QtDialogKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>

#include "platform/QtFormBase.h"

namespace morvelant {

DialogKeys::DialogKeys(TForm& dialog, QPushButton* defaultButton, std::function<void()> escape)
    : QObject(&dialog), dialog_(dialog), defaultButton_(defaultButton), escape_(std::move(escape)) {
    dialog.installEventFilter(this);
}

bool DialogKeys::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &dialog_) return false;
    switch (event->type()) {
        case QEvent::Show:
            // The window the dialog was opened from, to hand the focus back.
            if (QWidget* active = QApplication::activeWindow(); active != &dialog_) opener_ = active;
            break;
        case QEvent::Hide:
            if (opener_ && opener_->isVisible()) opener_->activateWindow();
            opener_ = nullptr;
            break;
        case QEvent::KeyPress: {
            // Keys the focused control left unused reach the dialog itself.
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->modifiers() & ~Qt::KeypadModifier) break;
            if (key->key() == Qt::Key_Escape) {
                if (escape_)
                    escape_();
                else
                    dialog_.Close();
                return true;
            }
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                // A focused push button that answers Return (autoDefault)
                // took the key itself; one that reaches here is a toggle, and
                // Return belongs to the default button.
                QPushButton* button = defaultButton_.data();
                if (button == nullptr)
                    if (auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
                        focused && focused->window() == &dialog_)
                        button = focused;
                if (button && button->isVisible() && button->isEnabled()) {
                    button->click();
                    return true;
                }
            }
            break;
        }
        default: break;
    }
    return false;
}

}  // namespace morvelant
