#include "patterns/TrackPicker.h"

namespace morvelant {

TrackPickerForm::TrackPickerForm(const QString& name, DeviceModel& model, const PatternTargetHooks& hooks)
    : PickerForm(name), model_(model), hooks_(hooks) {}

void TrackPickerForm::SetGrid(PickerGrid* grid, GridMap map) {
    grid_ = grid;
    map_ = map;
    grid_->SetStyle([this](GridCell cell) { return CellStyle(map_.ValueAt(cell)); });
    connect(grid_, &PickerGrid::CellMouseMove, this, &TrackPickerForm::GridMouseMove);
    connect(grid_, &PickerGrid::MouseUp, this, &TrackPickerForm::GridMouseUp);
}

void TrackPickerForm::BeginShow(int presentIndex) {
    hoverIndex_ = -1;
    presentIndex_ = presentIndex;
    grid_->SetSelection({});
    grid_->update();
}

const Pattern_Parameters* TrackPickerForm::SelectedPattern() const {
    if (!DeviceModel::ValidPattern(model_.SelectedPattern)) return nullptr;
    return &model_.Patterns[static_cast<size_t>(model_.SelectedPattern)];
}

int32_t TrackPickerForm::TrackWord(int base) const {
    const Pattern_Parameters* p = SelectedPattern();
    if (p == nullptr || Track < 1 || Track > kTrackCount) return -1;
    return p->W[static_cast<size_t>(base + Track - 1)];
}

void TrackPickerForm::GridMouseMove(int row, int column) {
    hoverIndex_ = map_.ValueAt({row, column});
    SetCaption(HoverCaption(hoverIndex_));
    grid_->update();
}

void TrackPickerForm::MoveHighlight(int rows, int columns) {
    // The keys start from the present value when nothing is highlighted yet.
    const GridCell from = map_.CellOf(hoverIndex_ >= 0 ? hoverIndex_ : presentIndex_);
    const GridCell to = map_.Step(from, rows, columns);
    grid_->SetSelection(to);
    GridMouseMove(to.row, to.column);
}

void TrackPickerForm::GridMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
    const int result = (modifiers & Qt::ShiftModifier) ? kPickAdvance : kPickEnd;
    const int i = hoverIndex_;
    if (button != Qt::RightButton && i >= 0 && Writable(i) && Track >= 0 && Track <= kTrackCount) {
        for (int t = Track == 0 ? 1 : Track; t <= (Track == 0 ? kTrackCount : Track); ++t) WriteTrack(t, i);
        AfterWrite(i);
    }
    SetModalResult(result);
    if (!Modal()) Hide();
}

}  // namespace morvelant
