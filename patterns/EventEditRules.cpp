#include "patterns/EventEditRules.h"

#include "model/PatternSteps.h"
#include "model/TrackSettings.h"
#include "patterns/RunModes.h"

namespace morvelant {

NoteClickResult NoteClick(DeviceModel& model, int p, int t, int slot, int row) {
    if (!DeviceModel::ValidPattern(p) || t < 1 || t > kTrackCount || slot < 1 || row > kValueRows - 1)
        return NoteClickResult::None;
    Pattern_Parameters& pattern = model.Patterns[size_t(p)];
    const int step = GetRunStep(pattern, t, slot);
    const int v = row - GetRunOctaveShift(pattern, t, slot);
    if (step < 1 || v < 0) return NoteClickResult::None;
    const int d1 = pattern.TrackData1(t - 1);
    const int sn = pattern.StepNote(t - 1, step - 1);
    const bool on = GetStepOn(model, p, t, step);
    if (v >= d1) {
        if (on && d1 + sn == v) {
            SetStepOn(model, p, t, false, step);
            return NoteClickResult::SwitchedOff;
        }
        SetStepNote(model, p, t, v - d1, step);
        if (on) return NoteClickResult::Moved;
        SetStepOn(model, p, t, true, step);
        return NoteClickResult::SwitchedOn;
    }
    // Below the offset: the offset comes down and every step keeps its
    // pitch, unless a step would then need a note above 127.
    const int raise = d1 - v;
    for (int s = 1; s <= kStepCount; ++s)
        if (s != step && pattern.StepNote(t - 1, s - 1) + raise > 127) return NoteClickResult::Refused;
    SetTrackData1(model, p, t, v);
    for (int s = 1; s <= kStepCount; ++s)
        if (s != step) SetStepNote(model, p, t, pattern.StepNote(t - 1, s - 1) + raise, s);
    SetStepNote(model, p, t, 0, step);
    if (!on) SetStepOn(model, p, t, true, step);
    return NoteClickResult::Rebased;
}

bool VelocityEditable(const DeviceModel& model, int p, int t, int slot) {
    if (!DeviceModel::ValidPattern(p) || slot < 1) return false;
    const int step = GetRunStep(model.Patterns[size_t(p)], t, slot);
    return step >= 1 && GetStepOn(model, p, t, step);
}

bool PaintVelocity(DeviceModel& model, int p, int t, int slot, int y, int h) {
    if (!VelocityEditable(model, p, t, slot)) return false;
    const int step = GetRunStep(model.Patterns[size_t(p)], t, slot);
    SetStepVelocity(model, p, t, VelocityAt(y, h), step);
    return true;
}

NoteCursor NoteAreaCursor(const Pattern_Parameters& pattern, int t, int slot, int row, int x, int y,
                          int noteAreaHeight) {
    if (noteAreaHeight - y < kMoveThreshold) return NoteCursor::ResizeValueArea;
    if (x < kMoveThreshold) return NoteCursor::ResizeKeyColumn;
    if (slot < 1 || row > kValueRows - 1 || row - GetRunOctaveShift(pattern, t, slot) < 0)
        return NoteCursor::NotAllowed;
    return NoteCursor::Pencil;
}

}  // namespace morvelant
