// The keys every dialog answers on the desktop, for windows built on TForm
// (which is no QDialog and so gets neither): Escape closes the dialog as its
// Cancel or Close button does, Return and Enter press the default button
// wherever the focus is (a focused push button marked autoDefault takes the
// key itself; a toggle, which is not, is never pressed by it), and when the
// dialog goes the window that was active when it came is activated again.
#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QPushButton;

namespace morvelant {

class TForm;

class DialogKeys : public QObject {
public:
    // Escape runs `escape`, or closes the dialog when it is empty. Without a
    // default button Return presses only a focused push button.
    explicit DialogKeys(TForm& dialog, QPushButton* defaultButton = nullptr, std::function<void()> escape = {});

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TForm& dialog_;
    QPointer<QPushButton> defaultButton_;
    std::function<void()> escape_;
    QPointer<QWidget> opener_;
};

}  // namespace morvelant
