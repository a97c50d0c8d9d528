// What every picker window does with the keyboard and the focus: the arrow
// keys move the highlighted value, Return picks it as a click does (with
// Shift held, going on to the next step or track), Escape closes the picker
// without writing (the picking ends), and when it goes, the window
// that opened it is active again with the control that had the focus, so
// the user can type on where the click left off.
#pragma once

#include <QPointer>

#include "platform/QtFormBase.h"

namespace morvelant {

class PickerForm : public TForm {
    Q_OBJECT

public:
    explicit PickerForm(const QString& name);

protected:
    // The highlight moved by the arrow keys: `rows` down, `columns` right.
    virtual void MoveHighlight(int rows, int columns) {}
    // Return: the highlighted value is picked as by a left click.
    virtual void PickHighlight(Qt::KeyboardModifiers modifiers) {}

    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QPointer<QWidget> opener_;
    QPointer<QWidget> openerFocus_;
};

}  // namespace morvelant
