// The steps of a pattern's tracks: the accessors every pattern editor uses to
// read and write a step's on/off state, note and velocity, the display names
// of step notes, and the operations on a whole track (initialise, copy,
// paste, exchange, rotate, shift, transpose, change velocities).
//
// Tracks are numbered 1..8 and steps 1..16 in every argument; a pattern,
// track or step outside its range makes a setter do nothing and a reader
// answer "off". Every loop from a track's start step to its end step keeps to
// steps 1..16 and does nothing when the start lies after the end, whatever a
// file or a dump stored.
#pragma once

#include <cstdint>
#include <string>

#include "model/DeviceModel.h"

namespace morvelant {

// Pattern indexes of the step-state reader besides the 128 patterns.
constexpr int kTrackClipboardPattern = -1;
constexpr int kPatternSpare1Pattern = -2;

// The record a pattern index names: 0..127, or the track clipboard (-1) or
// the spare pattern (-2); null for any other index.
const Pattern_Parameters* PatternRecord(const DeviceModel& model, int p);

// True when step s of track t plays (its off bit is clear).
bool GetStepOn(const DeviceModel& model, int p, int t, int s);
// Pattern p is 0..127 for the setters.
void SetStepOn(DeviceModel& model, int p, int t, bool on, int s);
void SetStepNote(DeviceModel& model, int p, int t, int32_t value, int s);
void SetStepVelocity(DeviceModel& model, int p, int t, int32_t value, int s);

// The caption of the pattern editor windows: "(Pattern 5)  " and the name.
std::string PatternCaption(const DeviceModel& model, int p);

// The four-character name of a note value ("C -1", "C# 4", "G  9"); a value
// outside 0..127 (a decoded dump can hold up to 255) shows as its number.
std::string StepNoteName(int32_t note);

// The steps a track's loops walk: its start and end step held to 1..16.
// Empty (First > Last) when the start lies after the end.
struct StepRange {
    int First = 1;
    int Last = 0;
    bool Empty() const { return First > Last; }
};
StepRange TrackStepRange(const Pattern_Parameters& pattern, int t);

// ---- Whole-track operations on track t of pattern p ----------------------------

// The step editor's track init: a note track on channel 1 with data 0 / 127,
// gate and note time 20, steps 1..16, run mode 0, no delay, status 0, every
// step off with note and velocity 0. The mute bit stays.
void InitTrackSteps(DeviceModel& model, int p, int t);

// Copy: the whole pattern into the track clipboard, CopiedTrack := t.
void CopyTrack(DeviceModel& model, int p, int t);
// Paste: track CopiedTrack of the clipboard into track t, settings and steps;
// the mute bit of t stays. Nothing without a copied track.
void PasteTrack(DeviceModel& model, int p, int t);
// Exchange: as PasteTrack, then the clipboard holds the pattern as it was
// before, with CopiedTrack := t, so a further paste brings the old track back.
void PasteTrackWithClipboard(DeviceModel& model, int p, int t);

// Track `source` of one record onto track `target` of another (or the same):
// the 16 steps with their states, notes and velocities; or the ten settings
// in record order, from the event to the status. The mute bit is not copied.
void CopyTrackSteps(Pattern_Parameters& to, int target, const Pattern_Parameters& from, int source);
void CopyTrackSettings(Pattern_Parameters& to, int target, const Pattern_Parameters& from, int source);

// What a copy of one track onto another within a pattern takes.
enum class TrackCopy {
    Steps,  // on/off states, notes and velocities of the 16 steps
    Whole  // the steps, the ten settings and the mute bit
};
// Copies track `source` onto track `target` of pattern p, or onto all eight
// tracks when target is 0. The track clipboard is left as it was.
void CopyTrackWithin(DeviceModel& model, int p, int source, int target, TrackCopy what);

// Move the steps of the range S..E, each with its state, note and velocity.
void RotateTrackLeft(DeviceModel& model, int p, int t);
void RotateTrackRight(DeviceModel& model, int p, int t);
void ShiftTrackLeft(DeviceModel& model, int p, int t);
void ShiftTrackRight(DeviceModel& model, int p, int t);
// Add delta to the notes / velocities of the range, held to 0..127.
void TransposeTrack(DeviceModel& model, int p, int t, int32_t delta);
void ChangeTrackVelocity(DeviceModel& model, int p, int t, int32_t delta);

}  // namespace morvelant
