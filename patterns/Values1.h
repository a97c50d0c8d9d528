// The value picker: the numbers 0..127 in a grid of 16 by 8.
#pragma once

#include "patterns/CodePicker.h"

namespace morvelant {

class TValues1Form : public CodePickerForm {
    Q_OBJECT

public:
    TValues1Form(PickerDispatch& dispatch, DeviceModel& model);

    PickerGrid* ValuesStringGrid = nullptr;

    void ValuesStringGridMouseMove(int row, int column) { GridMouseMove(row, column); }
    void ValuesStringGridMouseUp(Qt::MouseButton b, Qt::KeyboardModifiers m) { GridMouseUp(b, m); }

protected:
    std::string HoverCaption(int value) const override { return ValuesCaption(value); }
};

extern TValues1Form* Values1Form;

}  // namespace morvelant
