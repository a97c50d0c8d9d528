#include "patterns/CodePicker.h"

namespace morvelant {

CodePickerForm::CodePickerForm(const QString& name, PickerKind kind, GridMap map, PickerDispatch& dispatch,
                               DeviceModel& model)
    : PickerForm(name), model_(model), dispatch_(dispatch), kind_(kind), map_(map) {}

void CodePickerForm::SetGrid(PickerGrid* grid) {
    grid_ = grid;
    grid_->SetStyle([this](GridCell cell) { return CellStyle(cell); });
    connect(grid_, &PickerGrid::CellMouseMove, this, &CodePickerForm::GridMouseMove);
    connect(grid_, &PickerGrid::MouseUp, this, &CodePickerForm::GridMouseUp);
}

void CodePickerForm::FormShow() {
    // A hover left from an earlier showing would let a click write an old
    // value before the mouse crossed a cell.
    hover_ = {};
    current_ = map_.CellOf(dispatch_.PresentValue(kind_, TargetCode));
    grid_->SetSelection({});
    grid_->update();
}

void CodePickerForm::GridMouseMove(int row, int column) {
    hover_ = {row, column};
    SetCaption(HoverCaption(map_.ValueAt(hover_)));
    grid_->update();
}

void CodePickerForm::MoveHighlight(int rows, int columns) {
    // The keys start from the present value when nothing is highlighted yet.
    const GridCell from = hover_.row >= 0 ? hover_ : current_;
    const GridCell to = map_.Step(from, rows, columns);
    grid_->SetSelection(to);
    GridMouseMove(to.row, to.column);
}

void CodePickerForm::GridMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
    const int result = advances_ && (modifiers & Qt::ShiftModifier) ? kPickAdvance : kPickEnd;
    if (button != Qt::RightButton && HoverValue() >= 0) dispatch_.Write(kind_, TargetCode, HoverValue());
    SetModalResult(result);
    if (!Modal()) Hide();
}

PickerCellStyle CodePickerForm::CellStyle(GridCell cell) const {
    if (cell == current_) return {clRed, clMenuText};
    if (cell == hover_) return {clHighlight, clHighlightText};
    return {clWhite, clMenuText};
}

}  // namespace morvelant
