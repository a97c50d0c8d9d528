#include "faders/InitCtrlRules.h"

#include <algorithm>

#include "platform/IniFile.h"

namespace morvelant {

namespace {
constexpr int32_t kLive = 128;
}

int TypeInitValue(DeviceModel& model, int index, const std::string& text) {
    if (index < InitMinIndex(kFaderValueItem) || index >= 2 * kInitCtrlItemCount) return 0;
    auto& values = model.InitValues;
    int v = 0;
    // Text that is no whole number changes nothing: the edit shows the value again.
    if (!TIniFile::ParseInteger(text, v)) return values[static_cast<size_t>(index)];
    v = std::clamp(v, 0, 127);
    const int item = index / 2;
    values[static_cast<size_t>(index)] = v;
    if (model.InitRanges[static_cast<size_t>(item)]) {
        if (index % 2 == 0)
            values[static_cast<size_t>(index + 1)] = v + 23 <= 127 ? v + 23 : v;
        else
            values[static_cast<size_t>(index - 1)] = v - 23 >= 0 ? v - 23 : v;
    }
    return v;
}

void SetInitRowToSlider(DeviceModel& model, int item) {
    if (item < 0 || item >= kInitCtrlItemCount) return;
    model.InitValues[static_cast<size_t>(InitMinIndex(item))] = kLive;
    model.InitValues[static_cast<size_t>(InitMaxIndex(item))] = kLive;
    model.InitRanges[static_cast<size_t>(item)] = false;
}

std::string InitValueText(const DeviceModel& model, int index) {
    if (index < 0 || index >= 2 * kInitCtrlItemCount) return {};
    const int32_t v = model.InitValues[static_cast<size_t>(index)];
    if (v == kLive) return "Sld";
    if (index < InitMinIndex(kFaderValueItem)) return NameOf(model.ControllerNames, v);
    return std::to_string(v);
}

}  // namespace morvelant
