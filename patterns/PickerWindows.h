// The picker windows as the editor windows reach them: stores the target
// (or the mode and track), places the window where the caller asks, kept
// on the screen, and shows it modally.
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
    explicit PickerWindows(PickerForms forms = {}) : forms_(forms) {}
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

// Moves a window so that it lies wholly on the screen.
void KeepOnScreen(TForm& form);

}  // namespace morvelant
