// The channel picker: 1..16 for a track's MIDI channel (mode 0), start step
// (1) or end step (2). Steps that would cross the other end show grey.
#pragma once

#include "patterns/TrackPicker.h"

namespace morvelant {

class TChannelForm : public TrackPickerForm {
    Q_OBJECT

public:
    TChannelForm(DeviceModel& model, const PatternTargetHooks& hooks);

    PickerGrid* ChannelStringGrid = nullptr;

    void ChannelStringGridMouseMove(int row, int column) { GridMouseMove(row, column); }
    void ChannelStringGridMouseUp(Qt::MouseButton b, Qt::KeyboardModifiers m) { GridMouseUp(b, m); }

protected:
    void FormShow() override;
    std::string HoverCaption(int index) const override;
    PickerCellStyle CellStyle(int index) const override;
    void WriteTrack(int t, int index) override;
    void AfterWrite(int index) override;
};

extern TChannelForm* ChannelForm;

}  // namespace morvelant
