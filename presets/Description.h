// The preset description: every fader of a preset with its range, its fader
// event, its two key events and its modes, in fixed columns, two faders side
// by side, followed by the six special-key strings. It is shown in the print
// output window in a fixed-pitch font and printed from there.
#pragma once

#include <array>
#include <string>

#include "model/DeviceModel.h"

namespace morvelant {

inline constexpr int kFaderDescriptionLines = 7;
using FaderDescription = std::array<std::string, kFaderDescriptionLines>;

// The seven lines of fader f (0..23) of preset p; returns 7. Each line has
// its fixed width (55, 55, 53, 53, 53, 49, 51) whatever the preset holds: a
// value outside a name table shows as its number in the table's width. An
// invalid preset or fader gives seven empty lines and 0.
int DescribeFader(const DeviceModel& model, int p, int f, FaderDescription& lines);

// The whole description of the current preset (the heading, 84 body lines of
// 113 characters, the special keys), lines ended by a single line feed.
std::string DescribeAllFaderParameters(const DeviceModel& model);

// The 84 body lines alone, of preset p.
std::string DescribeFaderPairs(const DeviceModel& model, int p);

}  // namespace morvelant
