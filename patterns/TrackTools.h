// The track tools' own logic: the random ranges of notes and velocities and
// the random fill of a track's steps.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "model/Parameters.h"

namespace morvelant {

// The two ranges, each kept within 0..127 with its minimum not above its
// maximum.
struct TrackToolRanges {
    int32_t MinVelocity = 0;
    int32_t MaxVelocity = 127;
    int32_t MinNote = 0;
    int32_t MaxNote = 127;

    // Sets the bound picked or typed for code 4000..4003 when it keeps the
    // order against the other bound and lies in 0..127; false otherwise.
    bool SetBound(int code, int value);
    // Sets the bound typed for code 4000..4003, clamped into its limits.
    void SetBoundClamped(int code, int value);
    // One arrow step (+1 or -1) of the bound of code 4000..4003; false at
    // its limit.
    bool StepBound(int code, int delta);
    std::optional<int32_t> Bound(int code) const;
};

// A source of non-negative numbers for the random fill (tests hand in a
// fixed one).
using RandomSource = std::function<uint32_t()>;

// Fills the notes (or velocities) of steps start..end of track t (0..7) of
// the pattern with min + r mod (max - min + 1). Only steps 1..16 are
// touched, and nothing when the start lies after the end.
void RandomFill(Pattern_Parameters& pattern, int t, bool notes, int32_t min, int32_t max, const RandomSource& random);

}  // namespace morvelant
