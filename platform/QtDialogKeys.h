// The keys every dialog answers on the desktop, for windows built on TForm
// (which is no QDialog and so gets neither): Escape closes the dialog as its
// Cancel or Close button does, Return and Enter press the push button that
// has the focus and, with the focus elsewhere (in a field or a box), the
// default button; when the dialog goes the window that was active when it
// came is activated again. Each time it opens, the focus is in its first
// field (the first control in the Tab order that is no push button), marked
// as the keys mark it; the mark stays when a click moves the focus.
#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QEvent;
class QPushButton;

namespace morvelant {

class TForm;

class DialogKeys : public QObject {
public:
    // Escape runs `escape`, or closes the dialog when it is empty. Without a
    // default button Return presses only a push button that has the focus.
    explicit DialogKeys(TForm& dialog, QPushButton* defaultButton = nullptr, std::function<void()> escape = {});

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TForm& dialog_;
    QPointer<QPushButton> defaultButton_;
    std::function<void()> escape_;
    QPointer<QWidget> opener_;
};

// The desktop's own dialogs (message boxes, the print, file, folder and
// colour dialogs) open with their focus marked as the keys mark it, in their
// first field when none has it; a push button that has the focus shows it
// with a frame, the default button too. Installed once for the application.
void MarkFocusInEveryDialog();

// Whether `event` is the desktop's key for a context menu (the menu key, or
// Shift+F10) pressed in the widget it is sent to. For the key's shortcut
// override it accepts the event, so that the key reaches that widget and no
// shortcut of the program's windows takes it; it then returns false.
bool ContextMenuKey(QEvent* event);

}  // namespace morvelant
