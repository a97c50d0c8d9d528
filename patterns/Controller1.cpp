#include "patterns/Controller1.h"

#include <QFontDatabase>

#include "platform/QtText.h"

namespace morvelant {

TController1Form* Controller1Form = nullptr;

TController1Form::TController1Form(PickerDispatch& dispatch, DeviceModel& model)
    : CodePickerForm(QStringLiteral("Controller1Form"), PickerKind::Controllers, kControllerGrid, dispatch, model) {
    SetCaption("Controller1Form");
    ControllerStringGrid = new PickerGrid(QStringLiteral("ControllerStringGrid"), kControllerGrid.rows,
                                          kControllerGrid.columns, 140, 16, this, /*lineWidth=*/0);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPixelSize(11);
    ControllerStringGrid->setFont(fixed);
    ControllerStringGrid->SetTextOffset(2, 0);
    for (int r = 0; r < kControllerGrid.rows; ++r)
        for (int c = 0; c < kControllerGrid.columns; ++c)
            ControllerStringGrid->SetCellText(
                r, c, FromCp1252(ControllerCellText(model.ControllerNames, kControllerGrid.ValueAt({r, c}))));
    SetGrid(ControllerStringGrid);
    setFixedSize(565, 520);
}

void TController1Form::FormShow() {
    ControllerStringGrid->move(0, 0);
    CodePickerForm::FormShow();
}

}  // namespace morvelant
