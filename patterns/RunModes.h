// Run modes: which step a track plays in each of its step slots, and by how
// many octaves that slot is transposed. The playback on the PC and the piano
// roll both ask these two functions, so what is drawn is what is heard.
//
// A run mode m = 6g + r: g the step order (0 Up, 1 Down, 2 Up/Down with the
// turning steps played twice, 3 Up/Down with them played once), r the octave
// range (0 none, 1..5 octaves; only the Up and Down orders transpose).
//
// The bounds come from files and dumps as well as from the editors, so they
// are made safe here: start and end step are brought into 1..16, an end
// before the start plays the start step on every slot, and a mode outside
// 0..23 plays like mode 0. Whatever is stored, the step is within 1..16 and
// the shift a multiple of 12 from 0 to 60.
#pragma once

#include "model/PatternSteps.h"

namespace morvelant {

constexpr int kRunModeCount = 24;

// The range a track plays: its step range, an empty one (start after end)
// narrowed to the start step; never empty. A track outside 1..8 gets 1..1.
StepRange TrackRunRange(const Pattern_Parameters& pattern, int track);
// The run mode of track 1..8, 0 when the stored one is out of range.
int TrackRunModeOf(const Pattern_Parameters& pattern, int track);

// The step (1..16) that slot n (1, 2, ...) of track 1..8 plays; 0 for a
// slot below 1 or a track outside 1..8, which the caller skips.
int GetRunStep(const Pattern_Parameters& pattern, int track, int slot);
// The transposition of slot n in semitones: 0, 12, ... 60.
int GetRunOctaveShift(const Pattern_Parameters& pattern, int track, int slot);

}  // namespace morvelant
