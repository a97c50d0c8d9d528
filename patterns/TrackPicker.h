// What the time-code and channel pickers share: instead of a target code
// they take a mode and a track (1..8, 0 = all eight tracks) of the selected
// pattern, and a click writes the hovered cell's index to that track, or to
// every track in turn.
#pragma once

#include "model/DeviceModel.h"
#include "patterns/PickerForm.h"
#include "patterns/PickerGrid.h"
#include "patterns/PickerProtocol.h"

namespace morvelant {

class TrackPickerForm : public PickerForm {
    Q_OBJECT

public:
    TrackPickerForm(const QString& name, DeviceModel& model, const PatternTargetHooks& hooks);

    int32_t Mode = 0;
    int32_t Track = 0;
    int32_t CallerFlag = 0;  // 0 the track grid, 1 the event editor; kept only

    int HoverIndex() const { return hoverIndex_; }
    int PresentIndex() const { return presentIndex_; }
    PickerGrid* Grid() const { return grid_; }

protected:
    void SetGrid(PickerGrid* grid, GridMap map);
    void GridMouseMove(int row, int column);
    void GridMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void MoveHighlight(int rows, int columns) override;
    void PickHighlight(Qt::KeyboardModifiers modifiers) override { GridMouseUp(Qt::LeftButton, modifiers); }
    // Starts a showing: no hover, the present index marked.
    void BeginShow(int presentIndex);
    // The pattern track of this showing (t 1..8), or nullptr.
    const Pattern_Parameters* SelectedPattern() const;
    int32_t TrackWord(int base) const;

    virtual std::string HoverCaption(int index) const = 0;
    virtual PickerCellStyle CellStyle(int index) const = 0;
    // False when a click on this cell writes nothing.
    virtual bool Writable(int index) const { return true; }
    virtual void WriteTrack(int t, int index) = 0;
    virtual void AfterWrite(int index) = 0;

    DeviceModel& model_;
    PatternTargetHooks hooks_;
    GridMap map_{1, 1};
    PickerGrid* grid_ = nullptr;
    int hoverIndex_ = -1;
    int presentIndex_ = -1;
};

}  // namespace morvelant
