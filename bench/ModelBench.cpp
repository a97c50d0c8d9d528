// Costs of the device model: building it (name lists and 128 factory
// presets), re-initialising presets, and describing every event of every
// preset as the status bars and the preset description do.
#include <benchmark/benchmark.h>

#include "bench/BenchCheck.h"

#include <memory>

#include "model/DeviceModel.h"

using namespace morvelant;

static void BM_ConstructModel(benchmark::State& state) {
    for (auto _ : state) {
        auto m = std::make_unique<DeviceModel>();
        benchmark::DoNotOptimize(m->Presets[127].FaderMidiData1(23));
    }
    bench::CheckCount(state, "presets built", int64_t(DeviceModel().Presets.size()), kPresetCount);
}
BENCHMARK(BM_ConstructModel)->Unit(benchmark::kMicrosecond);

static void BM_InitPresetAll(benchmark::State& state) {
    auto m = std::make_unique<DeviceModel>();
    for (auto _ : state) {
        for (int p = 0; p < kPresetCount; ++p) m->InitPreset(p);
        benchmark::ClobberMemory();
    }
    bench::CheckCount(state, "presets initialised", int64_t(m->Presets.size()), kPresetCount);
    state.SetItemsProcessed(state.iterations() * kPresetCount);
}
BENCHMARK(BM_InitPresetAll)->Unit(benchmark::kMicrosecond);

static void BM_MidiCtrlInitPresetAll(benchmark::State& state) {
    auto m = std::make_unique<DeviceModel>();
    for (auto _ : state) {
        for (int p = 0; p < kPresetCount; ++p) m->MidiCtrlInitPreset(p);
        benchmark::ClobberMemory();
    }
    bench::CheckCount(state, "presets initialised", int64_t(m->Presets.size()), kPresetCount);
    state.SetItemsProcessed(state.iterations() * kPresetCount);
}
BENCHMARK(BM_MidiCtrlInitPresetAll)->Unit(benchmark::kMicrosecond);

static void BM_EventDefinitionTextAllPresets(benchmark::State& state) {
    auto m = std::make_unique<DeviceModel>();
    for (int p = 0; p < kPresetCount; p += 2) m->MidiCtrlInitPreset(p);  // mix controller and note events
    size_t chars = 0;
    for (auto _ : state) {
        for (int p = 0; p < kPresetCount; ++p)
            for (int f = 0; f < kFaderCount; ++f) {
                chars += m->FaderEventText(p, f).size();
                chars += m->KeyOnEventText(p, f).size();
                chars += m->KeyOffEventText(p, f).size();
            }
    }
    benchmark::DoNotOptimize(chars);
    // Every one of the three texts of every fader says something.
    size_t described = 0;
    for (int p = 0; p < kPresetCount; ++p)
        for (int f = 0; f < kFaderCount; ++f)
            described +=
                !m->FaderEventText(p, f).empty() + !m->KeyOnEventText(p, f).empty() + !m->KeyOffEventText(p, f).empty();
    bench::CheckCount(state, "events described", int64_t(described), kPresetCount * kFaderCount * 3);
    state.SetItemsProcessed(state.iterations() * kPresetCount * kFaderCount * 3);
}
BENCHMARK(BM_EventDefinitionTextAllPresets)->Unit(benchmark::kMicrosecond);

MORVELANT_BENCHMARK_MAIN();
