#include "patterns/Values1.h"

namespace morvelant {

TValues1Form* Values1Form = nullptr;

TValues1Form::TValues1Form(PickerDispatch& dispatch, DeviceModel& model)
    : CodePickerForm(QStringLiteral("Values1Form"), PickerKind::Values, kValuesGrid, dispatch, model) {
    SetCaption("Values1Form");
    ValuesStringGrid =
        new PickerGrid(QStringLiteral("ValuesStringGrid"), kValuesGrid.rows, kValuesGrid.columns, 30, 20, this);
    for (int r = 0; r < kValuesGrid.rows; ++r)
        for (int c = 0; c < kValuesGrid.columns; ++c)
            ValuesStringGrid->SetCellText(r, c, QString::number(kValuesGrid.ValueAt({r, c})));
    SetGrid(ValuesStringGrid);
    setFixedSize(ValuesStringGrid->width() + 4, ValuesStringGrid->height() + 5);
    ValuesStringGrid->move(2, 2);
}

}  // namespace morvelant
