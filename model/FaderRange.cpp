#include "model/FaderRange.h"

#include "model/DeviceModel.h"

namespace morvelant {

int32_t ClampIntoFaderRange(int32_t v, int32_t lo, int32_t hi) {
    if (lo <= hi) {
        if (v > hi) v = hi;
        if (v < lo) v = lo;
    } else {  // inverted range: keep the value between the two ends
        if (v < hi) v = hi;
        if (v > lo) v = lo;
    }
    return v;
}

void PullFaderValuesIntoRange(DeviceModel& model, int p, int f) {
    if (!DeviceModel::ValidPreset(p) || !DeviceModel::ValidFader(f)) return;
    Morvelant_Parameters& m = model.Presets[size_t(p)];
    for (int i = 0; i < kFaderCount; ++i)
        if (model.IsTarget(f, i)) m.FaderValue(i) = ClampIntoFaderRange(m.FaderValue(i), m.FaderMin(i), m.FaderMax(i));
}

}  // namespace morvelant
