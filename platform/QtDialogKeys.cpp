#include "platform/QtDialogKeys.h"
#include "platform/QtFormFrame.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QPainter>
#include <QPen>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleFactory>
#include <QStyleOption>

#include "platform/QtApplicationFilter.h"
#include "platform/QtFormBase.h"

namespace morvelant {

namespace {

// The first control in the dialog's Tab order that is no push button.
QWidget* FirstField(QWidget& dialog) {
    for (QWidget* w = dialog.nextInFocusChain(); w != &dialog; w = w->nextInFocusChain())
        if (w->window() == &dialog && (w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(&dialog) &&
            !qobject_cast<QPushButton*>(w))
            return w;
    return nullptr;
}

// The application's style, with a focus frame drawn on a push button that
// has the focus while the keys mark it. Some styles (the toolkit's own among
// them) draw a focused button with the outline of the default one, so the
// focus on the default button of a box was not seen at all. Sizes and
// everything else are the style's own.
class FocusFrameStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        QProxyStyle::drawControl(element, option, painter, widget);
        if (element != CE_PushButton || !(option->state & State_HasFocus) ||
            !(option->state & State_KeyboardFocusChange))
            return;
        const QRect frame = subElementRect(SE_PushButtonFocusRect, option, widget).adjusted(1, 1, -2, -2);
        if (frame.width() < 4 || frame.height() < 4) return;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->setPen(QPen(option->palette.color(QPalette::ButtonText), 1, Qt::DotLine));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(frame);
        painter->restore();
    }
};

// One for the application, made of the style it runs with; owned by it.
QStyle* FocusFrame() {
    static QPointer<QStyle> style;
    if (!style && qApp != nullptr) {
        QStyle* base = QStyleFactory::create(QApplication::style()->name());
        if (base == nullptr) return nullptr;
        style = new FocusFrameStyle(base);
        style->setParent(qApp);
    }
    return style;
}

// Marks the focus of every dialog of the toolkit as it opens, and of every
// push button of the program.
class FocusMarkFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Polish) {
            // A button that came with a style of its own keeps it.
            auto* button = qobject_cast<QPushButton*>(watched);
            if (button != nullptr && button->style() == QApplication::style())
                if (QStyle* style = FocusFrame()) button->setStyle(style);
            return false;
        }
        if (event->type() != QEvent::Show && event->type() != QEvent::WindowActivate) return false;
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (dialog == nullptr || !dialog->isWindow()) return false;
        // Activation clears the mark that the show set.
        dialog->setAttribute(Qt::WA_KeyboardFocusChange);
        if (QWidget* focus = dialog->focusWidget(); focus == nullptr || !focus->isVisibleTo(dialog))
            if (QWidget* first = FirstField(*dialog)) first->setFocus(Qt::TabFocusReason);
        return false;
    }
};

}  // namespace

void MarkFocusInEveryDialog() { InstallApplicationFilterOnce<FocusMarkFilter>(); }

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
            // It opens in its first field, not where the focus was left the
            // last time (a box ticked by Space unseen), and the focus is marked.
            if (QWidget* first = FirstField(dialog_)) first->setFocus(Qt::TabFocusReason);
            dialog_.setAttribute(Qt::WA_KeyboardFocusChange);
            break;
        case QEvent::WindowActivate:
            // Activation clears the mark that the show set: a dialog that
            // came over another one was activated after its show.
            dialog_.setAttribute(Qt::WA_KeyboardFocusChange);
            break;
        case QEvent::Hide:
            HandKeysBack(opener_);
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
                // The push button that has the focus (a switch too: the user
                // tabbed to it), from anywhere else the default button.
                QPushButton* button = qobject_cast<QPushButton*>(QApplication::focusWidget());
                if (button == nullptr || button->window() != &dialog_) button = defaultButton_.data();
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

bool ContextMenuKey(QEvent* event) {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    const bool menuKey = (key->key() == Qt::Key_Menu && mods == Qt::NoModifier) ||
        (key->key() == Qt::Key_F10 && mods == Qt::ShiftModifier);
    if (!menuKey) return false;
    if (event->type() == QEvent::KeyPress) return true;
    event->accept();
    return false;
}

}  // namespace morvelant
