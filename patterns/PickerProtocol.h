// The pickers' side of target codes: one dispatch from a code to the present
// value of its target and to writing a value there (through the model's
// setters) followed by the refresh of the control that shows it.
//
// The windows that own the targets plug their code families in: a family is
// a range of codes, the pickers that serve it, and two functions. A window
// built later adds its codes without the pickers knowing it.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/DeviceModel.h"
#include "model/Notifications.h"
#include "platform/PickerLauncher.h"

namespace morvelant {

// Target codes and their bases.
inline constexpr int kFaderData1Code = 0;  // 0..2: fader, Key On, Key Off data 1
inline constexpr int kFaderData2Code = 3;  // 3..5: data 2
inline constexpr int kFaderMinCode = 6;
inline constexpr int kFaderMaxCode = 7;
inline constexpr int kFaderValueCode = 8;
inline constexpr int kTrackStatusBase = 100;  // + track 1..8, + 0 = all tracks
inline constexpr int kTrackCtrlBase = 200;  // data 1 by controller
inline constexpr int kTrackData1Base = 300;
inline constexpr int kTrackData2Base = 400;
inline constexpr int kInitCtrlBase = 500;  // 500..511
inline constexpr int kStepNoteBase = 1000;  // + 16 (t - 1) + (s - 1)
inline constexpr int kStepVelocityBase = 2000;
inline constexpr int kMinNoteCode = 4000;
inline constexpr int kMaxNoteCode = 4001;
inline constexpr int kMinVelocityCode = 4002;
inline constexpr int kMaxVelocityCode = 4003;
inline constexpr int kKeyColumnCode = 7000;

// Code of step s (1..16) of track t (1..8) from a base, and back.
constexpr int StepCode(int base, int t, int s) { return base + 16 * (t - 1) + (s - 1); }
struct TrackStep {
    int track = 0;  // 1..8
    int step = 0;  // 1..16
};
std::optional<TrackStep> StepOfCode(int base, int code);

// The walk after a Shift pick: the next code of the step editor (through
// the steps of a track and on into the next track, ending after track 8
// step 16) and the next track of the track grid (after "all", track 1).
std::optional<int> NextStepCode(int code);
std::optional<int> NextTrack(int track);

struct PickerTarget {
    int first = 0;
    int last = -1;
    unsigned pickers = 0;  // PickerKind bits
    // The target's present value; nullopt marks none.
    std::function<std::optional<int>(int code)> present;
    // Writes `value` chosen in picker `by` and refreshes what shows it.
    std::function<void(int code, int value, PickerKind by)> write;
};

class PickerDispatch {
public:
    // The families serve their codes until the subscription ends; a later
    // family takes the codes it shares with an earlier one.
    [[nodiscard]] Subscription Register(std::vector<PickerTarget> targets);
    [[nodiscard]] Subscription Register(PickerTarget target) { return Register(std::vector{std::move(target)}); }

    bool ServedBy(PickerKind kind, int code) const { return Find(kind, code) != nullptr; }
    std::optional<int> PresentValue(PickerKind kind, int code) const;
    // False (and nothing written) for a code that picker does not serve.
    bool Write(PickerKind kind, int code, int value) const;

private:
    const PickerTarget* Find(PickerKind kind, int code) const;
    struct Entry {
        int id;
        PickerTarget target;
    };
    std::shared_ptr<std::vector<Entry>> entries_ = std::make_shared<std::vector<Entry>>();
    int nextId_ = 0;
};

// ---- The families of the windows that exist -------------------------------

// Codes 0..8: data bytes, range and value of the selected fader of the
// selected preset. refresh(code) shows the written value in the fader window.
Subscription RegisterFaderTargets(PickerDispatch& dispatch, DeviceModel& model, std::function<void(int code)> refresh);

// Codes 500..511: the "Init with Midi Controllers" pairs. Each pair stays 24
// wide; refresh(minIndex) shows both numbers of the pair.
Subscription RegisterInitCtrlTargets(PickerDispatch& dispatch, DeviceModel& model,
                                     std::function<void(int minIndex)> refresh);
// The pair rule alone: a pick of `value` for InitValues[index] by picker
// `by`. The value picker ignores a pick that would take the pair out of
// 0..127; the controller picker moves the pair back inside. True when the
// numbers changed.
bool PickInitPair(std::array<int32_t, 12>& values, int index, int value, PickerKind by);

// What the pickers refresh after writing a pattern value through the
// model's step and track setters: the step editor's labels, the track
// grid's rows (each only while its window shows), the event editor and the
// preview playback. A hook left empty is skipped.
struct PatternTargetHooks {
    std::function<void(int p, int t, int s)> ShowStepNote;
    std::function<void(int p, int t, int s)> ShowStepVelocity;
    std::function<void(int p, int t)> ShowTrackStatus;
    std::function<void(int p, int t)> ShowTrackData1;
    std::function<void(int p, int t)> ShowTrackData2;
    std::function<void(int p, int t)> ShowTrackNoteTime;
    std::function<void(int p, int t)> ShowTrackGateTime;
    std::function<void(int p, int t)> ShowTrackDelay;
    std::function<void(int p, int t)> ShowTrackChannel;
    std::function<void(int p, int t)> ShowTrackStartStep;
    std::function<void(int p, int t)> ShowTrackEndStep;
    std::function<void(int p, int t)> ColorStepLabels;
    // The event editor's view of setting `mode` of `track` (0: its own
    // selected track) and whether to redraw it, when it is showing.
    std::function<void(int mode, int track, bool redraw)> EventEditorShow;
    std::function<void()> RestartPlayback;
};
// Codes 1000..1127, 2000..2127 (the steps) and 100..408 (the tracks, + 0 =
// all eight) of the selected pattern.
Subscription RegisterStepTargets(PickerDispatch& dispatch, DeviceModel& model, PatternTargetHooks hooks);
Subscription RegisterTrackTargets(PickerDispatch& dispatch, DeviceModel& model, PatternTargetHooks hooks);

}  // namespace morvelant
