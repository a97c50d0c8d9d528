#include "model/FaderState.h"

#include <algorithm>
#include <cmath>

namespace morvelant {

int32_t ScaledFaderValue(int32_t faderMin, int32_t faderMax, int position) {
    if (faderMin == 0 && faderMax == 127) return 127 - position;
    // The device's formula: (min + 0.5) + (127 - p) * (max - min) * (1/127)
    // in extended precision, one rounding to float, then truncation.
    constexpr long double kOneBy127 = 1.0L / 127.0L;
    const long double sum = (static_cast<long double>(faderMin) + 0.5L) +
        static_cast<long double>(127 - position) * static_cast<long double>(static_cast<int64_t>(faderMax) - faderMin) *
            kOneBy127;
    const float rounded = std::trunc(static_cast<float>(sum));
    // Words from a file can make any range; keep the result an int32.
    return static_cast<int32_t>(std::clamp(rounded, -2147483648.0f, 2147483520.0f));
}

int FaderPositionOfValue(int32_t faderMin, int32_t faderMax, int32_t value) {
    int position = 127;
    if (faderMax != faderMin) {
        const int64_t q = (static_cast<int64_t>(value) - faderMin) * 127 / (static_cast<int64_t>(faderMax) - faderMin);
        const float f = 127.5f - static_cast<float>(q);
        position = static_cast<int>(std::clamp(std::trunc(f), -1.0f, 128.0f));
    }
    return std::clamp(position, 0, 127);
}

}  // namespace morvelant
