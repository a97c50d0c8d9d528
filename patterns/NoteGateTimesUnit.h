// The time-code picker: the 32 time codes for a track's note time (mode 3),
// gate time (4) or delay (5). A note time longer than the gate time shows
// grey.
#pragma once

#include "patterns/TrackPicker.h"

namespace morvelant {

class TNoteGateTimes : public TrackPickerForm {
    Q_OBJECT

public:
    TNoteGateTimes(DeviceModel& model, const PatternTargetHooks& hooks);

    PickerGrid* StringGrid1 = nullptr;
    // Cells above this index are grey; -1 = no limit.
    int LimitIndex() const { return limit_; }

    void StringGrid1MouseMove(int row, int column) { GridMouseMove(row, column); }
    void StringGrid1MouseUp(Qt::MouseButton b, Qt::KeyboardModifiers m) { GridMouseUp(b, m); }
    void StringGrid1DblClick() { Close(); }

protected:
    void FormShow() override;
    std::string HoverCaption(int index) const override;
    PickerCellStyle CellStyle(int index) const override;
    bool Writable(int index) const override { return index != 0 || Mode == kDelayMode; }
    void WriteTrack(int t, int index) override;
    void AfterWrite(int index) override;

private:
    int limit_ = -1;
};

extern TNoteGateTimes* NoteGateTimes;

}  // namespace morvelant
