// A fader's start value kept inside its range, whichever end is larger.
#pragma once

#include <cstdint>

namespace morvelant {

class DeviceModel;

// value pulled between lo and hi (either may be the larger).
int32_t ClampIntoFaderRange(int32_t value, int32_t lo, int32_t hi);

// After a change of FaderMin or FaderMax made through a setter for (p, f):
// every fader that setter wrote pulls its own start value into its own new
// range, so that multi-fader editing never hands one fader's start value to
// the others.
void PullFaderValuesIntoRange(DeviceModel& model, int p, int f);

}  // namespace morvelant
