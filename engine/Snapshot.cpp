#include "engine/Snapshot.h"

#include <array>

#include "engine/Engine.h"
#include "engine/Tool.h"

namespace morvelant {

void TakeSnapshot(Engine& engine, int p) {
    DeviceModel& model = engine.Model;
    if (!DeviceModel::ValidPreset(p)) return;
    std::array<int32_t, kFaderCount> values{};
    std::array<bool, kFaderCount> lamps{};
    for (int f = 0; f < kFaderCount; ++f) {
        values[size_t(f)] = model.FaderStates[size_t(f)].Value;
        lamps[size_t(f)] = model.KeyStates[size_t(f)].LampOn;
    }
    Morvelant_Parameters& preset = model.Presets[size_t(p)];
    for (int f = 0; f < kFaderCount; ++f) {
        preset.FaderOutMode(f) = lamps[size_t(f)] ? 0 : 1;
        preset.FaderValue(f) = values[size_t(f)];
    }
    for (int f = 0; f < kFaderCount; ++f) {
        FaderState& state = model.FaderStates[size_t(f)];
        Reset(engine, state, f);
        ShowValue(engine, state);
    }
}

void ReloadLiveState(Engine& engine) {
    DeviceModel& model = engine.Model;
    for (int f = 0; f < kFaderCount; ++f) {
        FaderState& state = model.FaderStates[size_t(f)];
        Reset(engine, state, f);
        ShowValue(engine, state);
        Reset(engine, model.KeyStates[size_t(f)], f);
    }
}

}  // namespace morvelant
