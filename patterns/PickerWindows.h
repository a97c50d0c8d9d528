// The picker windows as the editor windows reach them: stores the target
// (or the mode and track), places the window where the caller asks, kept
// on the screen, and shows it modally.
#pragma once

#include "platform/PickerLauncher.h"

namespace morvelant {

class TValues1Form;
class TController1Form;
class TLongPianoForm;
class TDrumkitForm;
class TNoteGateTimes;
class TChannelForm;
class TForm;

struct PickerForms {
    TValues1Form* values = nullptr;
    TController1Form* controllers = nullptr;
    TLongPianoForm* piano = nullptr;
    TDrumkitForm* drumkit = nullptr;
    TNoteGateTimes* timeCodes = nullptr;
    TChannelForm* channels = nullptr;
};

class PickerWindows : public PickerLauncher {
public:
    explicit PickerWindows(PickerForms forms) : forms_(forms) {}

    int Pick(PickerKind kind, int code, std::optional<PickerPlace> place = std::nullopt) override;
    int PickTrack(TrackPickerKind kind, int mode, int track, int callerFlag,
                  std::optional<PickerPlace> place = std::nullopt) override;
    int PickerWidth(PickerKind kind) const override;
    int TrackPickerWidth(TrackPickerKind kind) const override;

private:
    TForm* FormOf(PickerKind kind) const;
    PickerForms forms_;
};

// Moves a window so that it lies wholly on the screen.
void KeepOnScreen(TForm& form);

}  // namespace morvelant
