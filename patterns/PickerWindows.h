// The picker windows as the editor windows reach them: stores the target
// (or the mode and track), places the window where the caller asks (or by
// the control that called it), kept on the screen, and shows it modally.
#pragma once

#include "patterns/PatternPickers.h"
#include "platform/PickerLauncher.h"

namespace morvelant {

class TValues1Form;
class TController1Form;
class TLongPianoForm;
class TDrumkitForm;
class TNoteGateTimes;
class TChannelForm;
class TTrackEditForm;
class TForm;

struct PickerForms {
    TValues1Form* values = nullptr;
    TController1Form* controllers = nullptr;
    TLongPianoForm* piano = nullptr;
    TDrumkitForm* drumkit = nullptr;
    TNoteGateTimes* timeCodes = nullptr;
    TChannelForm* channels = nullptr;
    TTrackEditForm* trackTools = nullptr;
};

// Also what the step editor and the track grid ask of the pickers and the
// track tools.
class PickerWindows : public PickerLauncher, public PatternPickers {
public:
    explicit PickerWindows(PickerForms forms = {});
    // The windows are made one by one at start-up and set here as they come.
    PickerForms& Forms() { return forms_; }

    int Pick(PickerKind kind, int code, std::optional<PickerPlace> place = std::nullopt) override;
    int PickTrack(TrackPickerKind kind, int mode, int track, int callerFlag,
                  std::optional<PickerPlace> place = std::nullopt) override;
    int PickerWidth(PickerKind kind) const override;
    int TrackPickerWidth(TrackPickerKind kind) const override;

    int PianoKeyboard(int code, int left, int top) override;
    int NumericalValues(int code) override;
    int MidiControllers(int code) override;
    int TimePicker(int mode, int track, int x, int y) override;
    int ChannelPicker(int mode, int track, int x, int y) override;
    void CloseTimePicker() override;
    void ShowTrackTools() override;
    bool TrackToolsVisible() const override;

private:
    TForm* FormOf(PickerKind kind) const;
    PickerForms forms_;
};

// Places a picker that its caller gives no place just below the control
// that called it, in the window the user is in: the control last pressed
// there (the cell pressed in a grid), else the focused control (its current
// cell). Kept on the screen either way.
void PlaceByCaller(TForm& picker);

}  // namespace morvelant
