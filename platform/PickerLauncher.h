// What an editor window needs to let the user pick a value with the mouse:
// it names the picker and the target, the picker window writes the chosen
// value straight into the model and refreshes the control that shows it.
//
// The windows get an implementation from the composition root (which owns
// the picker windows); without one, nothing opens. The result tells the
// caller only whether to go on with the next step or track.
#pragma once

#include <optional>

namespace morvelant {

// The picker windows that serve target codes.
enum class PickerKind : unsigned {
    Values = 1u << 0,  // a number 0..127
    Controllers = 1u << 1,  // a controller by name
    Piano = 1u << 2,  // a note on the keyboard
    Drumkit = 1u << 3,  // a note by its drum kit instrument
};
constexpr unsigned operator|(PickerKind a, PickerKind b) { return static_cast<unsigned>(a) | static_cast<unsigned>(b); }
constexpr unsigned operator|(unsigned a, PickerKind b) { return a | static_cast<unsigned>(b); }
constexpr bool Serves(unsigned kinds, PickerKind k) { return (kinds & static_cast<unsigned>(k)) != 0; }

// The track pickers, which take a mode and a track instead of a code.
enum class TrackPickerKind { TimeCodes, Channels };
// Modes of the time-code picker (3..5) and of the channel picker (0..2).
enum TrackPickerMode : int {
    kChannelMode = 0,
    kStartStepMode = 1,
    kEndStepMode = 2,
    kNoteTimeMode = 3,
    kGateTimeMode = 4,
    kDelayMode = 5,
};

// The picker's own results: Shift was held at the click (go on with the
// next step or track), or the picking ends (a plain click, a close).
inline constexpr int kPickAdvance = 1;
inline constexpr int kPickEnd = 2;

// Where a picker window goes; nullopt keeps it where it was.
struct PickerPlace {
    int left = 0;
    int top = 0;
};

class PickerLauncher {
public:
    virtual ~PickerLauncher() = default;
    // Shows picker `kind` modally for target `code`; returns kPickAdvance or
    // another value that ends the picking.
    virtual int Pick(PickerKind kind, int code, std::optional<PickerPlace> place = std::nullopt) = 0;
    // Shows the time-code or channel picker for `track` (1..8, 0 = all eight)
    // of the selected pattern; callerFlag is 0 from the track grid, 1 from
    // the event editor.
    virtual int PickTrack(TrackPickerKind kind, int mode, int track, int callerFlag,
                          std::optional<PickerPlace> place = std::nullopt) = 0;
    // A picker window's width, so that a caller can align it with its own edge.
    virtual int PickerWidth(PickerKind kind) const = 0;
    virtual int TrackPickerWidth(TrackPickerKind kind) const = 0;
};

}  // namespace morvelant
