// The controller picker: the 128 MIDI controllers by name, 32 to a column.
#pragma once

#include "patterns/CodePicker.h"

namespace morvelant {

class TController1Form : public CodePickerForm {
    Q_OBJECT

public:
    TController1Form(PickerDispatch& dispatch, DeviceModel& model);

    PickerGrid* ControllerStringGrid = nullptr;

    void ControllerStringGridMouseMove(int row, int column) { GridMouseMove(row, column); }
    void ControllerStringGridMouseUp(Qt::MouseButton b, Qt::KeyboardModifiers m) { GridMouseUp(b, m); }

protected:
    void FormShow() override;
    std::string HoverCaption(int value) const override { return ControllerCaption(model_.ControllerNames, value); }
};

extern TController1Form* Controller1Form;

}  // namespace morvelant
