#include "model/PatternSteps.h"

#include <algorithm>
#include <array>

#include "model/TrackSettings.h"

namespace morvelant {

namespace {

bool ValidTrack(int t) { return t >= 1 && t <= kTrackCount; }
bool ValidStep(int s) { return s >= 1 && s <= kStepCount; }

Pattern_Parameters* Writable(DeviceModel& model, int p, int t) {
    if (!DeviceModel::ValidPattern(p) || !ValidTrack(t)) return nullptr;
    return &model.Patterns[size_t(p)];
}

// One step: the three values that move together.
struct Step {
    bool off = false;
    int32_t note = 0;
    int32_t velocity = 0;
};

Step ReadStep(const Pattern_Parameters& pt, int t, int s) {
    return {pt.StepOff(t - 1, s - 1), pt.StepNote(t - 1, s - 1), pt.StepVelocity(t - 1, s - 1)};
}

void WriteStep(Pattern_Parameters& pt, int t, int s, const Step& step) {
    pt.SetStepOff(t - 1, s - 1, step.off);
    pt.StepNote(t - 1, s - 1) = step.note;
    pt.StepVelocity(t - 1, s - 1) = step.velocity;
}

}  // namespace

void CopyTrackSteps(Pattern_Parameters& to, int target, const Pattern_Parameters& from, int source) {
    if (!ValidTrack(target) || !ValidTrack(source)) return;
    for (int s = 1; s <= kStepCount; ++s) WriteStep(to, target, s, ReadStep(from, source, s));
}

void CopyTrackSettings(Pattern_Parameters& to, int target, const Pattern_Parameters& from, int source) {
    if (!ValidTrack(target) || !ValidTrack(source)) return;
    const int a = target - 1, b = source - 1;
    to.TrackEvent(a) = from.TrackEvent(b);
    to.TrackData1(a) = from.TrackData1(b);
    to.TrackData2(a) = from.TrackData2(b);
    to.TrackGateTime(a) = from.TrackGateTime(b);
    to.TrackNoteTime(a) = from.TrackNoteTime(b);
    to.TrackEndStep(a) = from.TrackEndStep(b);
    to.TrackRunMode(a) = from.TrackRunMode(b);
    to.TrackDelay(a) = from.TrackDelay(b);
    to.TrackStartStep(a) = from.TrackStartStep(b);
    to.TrackStatus(a) = from.TrackStatus(b);
}

namespace {

// Applies fn to the steps of the track's range, or nothing when it is empty.
template <typename Fn>
void ForRange(DeviceModel& model, int p, int t, Fn&& fn) {
    Pattern_Parameters* pt = Writable(model, p, t);
    if (pt == nullptr) return;
    const StepRange range = TrackStepRange(*pt, t);
    if (range.Empty()) return;
    fn(*pt, range.First, range.Last);
}

void AddClamped(DeviceModel& model, int p, int t, int32_t delta, int32_t& (Pattern_Parameters::*field)(int, int)) {
    ForRange(model, p, t, [&](Pattern_Parameters& pt, int first, int last) {
        for (int s = first; s <= last; ++s) {
            int32_t& v = (pt.*field)(t - 1, s - 1);
            v = static_cast<int32_t>(std::clamp<int64_t>(int64_t(v) + delta, 0, 127));
        }
    });
}

}  // namespace

const Pattern_Parameters* PatternRecord(const DeviceModel& model, int p) {
    if (p == kTrackClipboardPattern) return &model.TrackClipboard;
    if (p == kPatternSpare1Pattern) return &model.PatternSpare1;
    if (!DeviceModel::ValidPattern(p)) return nullptr;
    return &model.Patterns[size_t(p)];
}

bool GetStepOn(const DeviceModel& model, int p, int t, int s) {
    const Pattern_Parameters* pt = PatternRecord(model, p);
    if (pt == nullptr || !ValidTrack(t) || !ValidStep(s)) return false;
    return !pt->StepOff(t - 1, s - 1);
}

void SetStepOn(DeviceModel& model, int p, int t, bool on, int s) {
    if (Pattern_Parameters* pt = Writable(model, p, t); pt != nullptr && ValidStep(s))
        pt->SetStepOff(t - 1, s - 1, !on);
}

void SetStepNote(DeviceModel& model, int p, int t, int32_t value, int s) {
    if (Pattern_Parameters* pt = Writable(model, p, t); pt != nullptr && ValidStep(s))
        pt->StepNote(t - 1, s - 1) = value;
}

void SetStepVelocity(DeviceModel& model, int p, int t, int32_t value, int s) {
    if (Pattern_Parameters* pt = Writable(model, p, t); pt != nullptr && ValidStep(s))
        pt->StepVelocity(t - 1, s - 1) = value;
}

std::string PatternCaption(const DeviceModel& model, int p) {
    return "(Pattern " + std::to_string(p + 1) + ")  " + model.GetPatternName(p);
}

std::string StepNoteName(int32_t note) {
    static const std::array<const char*, 12> keys = {"C ", "C#", "D ", "D#", "E ", "F ",
                                                     "F#", "G ", "Ab", "A ", "Bb", "B "};
    if (note < 0 || note > 127) return std::to_string(note);
    std::string name = keys[size_t(note % 12)];
    name += note < 12 ? std::string("-1") : " " + std::to_string(note / 12 - 1);
    return name;
}

StepRange TrackStepRange(const Pattern_Parameters& pattern, int t) {
    if (!ValidTrack(t)) return {};
    return {std::clamp<int32_t>(pattern.TrackStartStep(t - 1), 1, kStepCount),
            std::clamp<int32_t>(pattern.TrackEndStep(t - 1), 1, kStepCount)};
}

void InitTrackSteps(DeviceModel& model, int p, int t) {
    Pattern_Parameters* pt = Writable(model, p, t);
    if (pt == nullptr) return;
    const int i = t - 1;
    pt->TrackEvent(i) = 0x90;
    pt->TrackData1(i) = 0;
    pt->TrackData2(i) = 127;
    pt->TrackGateTime(i) = 20;
    pt->TrackNoteTime(i) = 20;
    pt->TrackEndStep(i) = 16;
    pt->TrackRunMode(i) = 0;
    pt->TrackDelay(i) = 0;
    pt->TrackStartStep(i) = 1;
    pt->TrackStatus(i) = 0;
    for (int s = 1; s <= kStepCount; ++s) WriteStep(*pt, t, s, Step{true, 0, 0});
}

void CopyTrack(DeviceModel& model, int p, int t) {
    if (Writable(model, p, t) == nullptr) return;
    model.CopiedTrack = t;
    model.TrackClipboard = model.Patterns[size_t(p)];
}

void PasteTrack(DeviceModel& model, int p, int t) {
    Pattern_Parameters* pt = Writable(model, p, t);
    if (pt == nullptr || !ValidTrack(model.CopiedTrack)) return;
    CopyTrackSettings(*pt, t, model.TrackClipboard, model.CopiedTrack);
    CopyTrackSteps(*pt, t, model.TrackClipboard, model.CopiedTrack);
}

void PasteTrackWithClipboard(DeviceModel& model, int p, int t) {
    if (Writable(model, p, t) == nullptr || !ValidTrack(model.CopiedTrack)) return;
    model.TrackSwap = model.Patterns[size_t(p)];
    PasteTrack(model, p, t);
    model.TrackClipboard = model.TrackSwap;
    model.CopiedTrack = t;
}

void CopyTrackWithin(DeviceModel& model, int p, int source, int target, TrackCopy what) {
    if (target == 0) {
        for (int t = 1; t <= kTrackCount; ++t) CopyTrackWithin(model, p, source, t, what);
        return;
    }
    Pattern_Parameters* pt = Writable(model, p, target);
    if (pt == nullptr || !ValidTrack(source) || source == target) return;
    CopyTrackSteps(*pt, target, *pt, source);
    if (what == TrackCopy::Whole) {
        CopyTrackSettings(*pt, target, *pt, source);
        SetTrackMute(model, p, target, TrackMuted(*pt, source));
    }
}

void RotateTrackLeft(DeviceModel& model, int p, int t) {
    ForRange(model, p, t, [t](Pattern_Parameters& pt, int first, int last) {
        const Step saved = ReadStep(pt, t, first);
        for (int s = first; s < last; ++s) WriteStep(pt, t, s, ReadStep(pt, t, s + 1));
        WriteStep(pt, t, last, saved);
    });
}

void RotateTrackRight(DeviceModel& model, int p, int t) {
    ForRange(model, p, t, [t](Pattern_Parameters& pt, int first, int last) {
        const Step saved = ReadStep(pt, t, last);
        for (int s = last - 1; s >= first; --s) WriteStep(pt, t, s + 1, ReadStep(pt, t, s));
        WriteStep(pt, t, first, saved);
    });
}

void ShiftTrackLeft(DeviceModel& model, int p, int t) {
    ForRange(model, p, t, [t](Pattern_Parameters& pt, int first, int last) {
        for (int s = first; s < last; ++s) WriteStep(pt, t, s, ReadStep(pt, t, s + 1));
    });
}

void ShiftTrackRight(DeviceModel& model, int p, int t) {
    ForRange(model, p, t, [t](Pattern_Parameters& pt, int first, int last) {
        for (int s = last - 1; s >= first; --s) WriteStep(pt, t, s + 1, ReadStep(pt, t, s));
    });
}

void TransposeTrack(DeviceModel& model, int p, int t, int32_t delta) {
    AddClamped(model, p, t, delta, &Pattern_Parameters::StepNote);
}

void ChangeTrackVelocity(DeviceModel& model, int p, int t, int32_t delta) {
    AddClamped(model, p, t, delta, &Pattern_Parameters::StepVelocity);
}

}  // namespace morvelant
