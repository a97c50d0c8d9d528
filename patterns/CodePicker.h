// What the pickers that take a target code share: the target code, the grid
// with its present, hover and plain cells, and the click that writes the
// hovered value through the picker dispatch and closes with the picker's
// own result (advance when Shift is held).
#pragma once

#include <string>

#include "model/DeviceModel.h"
#include "patterns/PickerForm.h"
#include "patterns/PickerGrid.h"
#include "patterns/PickerProtocol.h"

namespace morvelant {

class CodePickerForm : public PickerForm {
    Q_OBJECT

public:
    CodePickerForm(const QString& name, PickerKind kind, GridMap map, PickerDispatch& dispatch, DeviceModel& model);

    int32_t TargetCode = -1;

    PickerKind Kind() const { return kind_; }
    GridCell HoverCell() const { return hover_; }
    int HoverValue() const { return hover_.row < 0 ? -1 : map_.ValueAt(hover_); }
    GridCell CurrentCell() const { return current_; }
    PickerGrid* Grid() const { return grid_; }

protected:
    // The grid is made by the derived picker, with its name and sizes.
    void SetGrid(PickerGrid* grid);
    void FormShow() override;
    virtual std::string HoverCaption(int value) const = 0;
    void GridMouseMove(int row, int column);
    void GridMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void MoveHighlight(int rows, int columns) override;
    void PickHighlight(Qt::KeyboardModifiers modifiers) override { GridMouseUp(Qt::LeftButton, modifiers); }
    // Off for the drum kits, which never walk on.
    bool advances_ = true;

    DeviceModel& model_;
    PickerDispatch& dispatch_;

private:
    PickerCellStyle CellStyle(GridCell cell) const;

    PickerKind kind_;
    GridMap map_;
    PickerGrid* grid_ = nullptr;
    GridCell hover_;
    GridCell current_;
};

}  // namespace morvelant
