#include "patterns/RunModes.h"

#include <algorithm>

namespace morvelant {

namespace {

bool ValidTrack(int track) { return track >= 1 && track <= kTrackCount; }

}  // namespace

StepRange TrackRunRange(const Pattern_Parameters& pattern, int track) {
    if (!ValidTrack(track)) return {1, 1};
    StepRange range = TrackStepRange(pattern, track);
    // A range that runs backwards has nothing to walk: its start step plays.
    range.Last = std::max(range.First, range.Last);
    return range;
}

int TrackRunModeOf(const Pattern_Parameters& pattern, int track) {
    if (!ValidTrack(track)) return 0;
    const int32_t mode = pattern.TrackRunMode(track - 1);
    return (mode >= 0 && mode < kRunModeCount) ? mode : 0;
}

int GetRunStep(const Pattern_Parameters& pattern, int track, int slot) {
    if (!ValidTrack(track) || slot < 1) return 0;
    const StepRange range = TrackRunRange(pattern, track);
    const int first = range.First, last = range.Last;
    const int length = last - first + 1;
    const int k = slot - 1;
    const int cycle = k / length, i = k % length;
    switch (TrackRunModeOf(pattern, track) / 6) {
        case 0: return first + i;
        case 1: return last - i;
        case 2: return (cycle % 2 == 0) ? first + i : last - i;
        default: {
            // The turning steps are played once, so a cycle is one step shorter;
            // a one-step range has no turn at all.
            const int turn = last - first;
            if (turn == 0) return first;
            const int c2 = k / turn, i2 = k % turn;
            return (c2 % 2 == 0) ? first + i2 : last - i2;
        }
    }
}

int GetRunOctaveShift(const Pattern_Parameters& pattern, int track, int slot) {
    if (!ValidTrack(track) || slot < 1) return 0;
    const int mode = TrackRunModeOf(pattern, track);
    const StepRange range = TrackRunRange(pattern, track);
    const int cycle = (slot - 1) / (range.Last - range.First + 1);
    const int order = mode / 6, octaves = mode % 6;
    if (octaves == 0) return 0;
    if (order == 0) return 12 * ((cycle + 1) % (octaves + 1));
    if (order == 1) return 12 * (octaves - cycle % (octaves + 1));
    return 0;  // the Up/Down orders play at the written pitch
}

}  // namespace morvelant
