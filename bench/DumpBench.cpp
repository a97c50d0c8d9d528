// Encoding and decoding every preset and pattern as system-exclusive dumps,
// and saving and loading a full working set.
#include <benchmark/benchmark.h>

#include "bench/BenchCheck.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/FileCommands.h"
#include "model/DeviceModel.h"
#include "model/PresetFiles.h"
#include "model/SysexCodec.h"
#include "platform/Dialogs.h"

namespace morvelant {
namespace {

// A model whose presets carry event strings and names, as a real set would.
DeviceModel& Model() {
    static DeviceModel* m = [] {
        auto* model = new DeviceModel();
        for (int s = 0; s < kPresetCount; ++s) {
            Morvelant_Parameters& p = model->Presets[std::size_t(s)];
            for (int f = 0; f < kFaderCount; ++f) {
                if (f % 2 == 0) p.FaderString[f] = "F0 00 20 33 01 XX F7";
                if (f % 3 == 0) p.KeyOnString[f] = "B0 40 7F";
                p.SliderName[f] = "Name " + std::to_string(f);
                p.KeyOnName[f] = "On";
            }
            p.PresetNotes = "Notes of this preset.";
            model->InitPattern(s);
        }
        return model;
    }();
    return *m;
}

void BM_EncodeAllPresets(benchmark::State& state) {
    DeviceModel& m = Model();
    SysexBuffer ev;
    for (auto _ : state) {
        for (int s = 0; s < kPresetCount; ++s) {
            ev.clear();
            BuildPresetValueDump(m, ev, s, s);
            BuildPresetTextDump(m, ev, s, s);
        }
        benchmark::DoNotOptimize(ev.data());
    }
    bench::Check(state, !ev.empty(), "an empty preset dump");
    state.SetItemsProcessed(state.iterations() * kPresetCount);
}
BENCHMARK(BM_EncodeAllPresets);

void BM_DecodeAllPresets(benchmark::State& state) {
    DeviceModel& m = Model();
    std::vector<SysexBuffer> dumps(kPresetCount);
    std::vector<std::size_t> split(kPresetCount);
    for (int s = 0; s < kPresetCount; ++s) {
        split[std::size_t(s)] = BuildPresetValueDump(m, dumps[std::size_t(s)], s, s);
        BuildPresetTextDump(m, dumps[std::size_t(s)], s, s);
    }
    Morvelant_Parameters out;
    for (auto _ : state) {
        for (int s = 0; s < kPresetCount; ++s) {
            std::span<const MidiEvent> d(dumps[std::size_t(s)]);
            DecodePresetDump(d.first(split[std::size_t(s)]), out);
            DecodePresetTextDump(d.subspan(split[std::size_t(s)]), out);
        }
        benchmark::DoNotOptimize(out.W.data());
    }
    // The last preset's event strings, each decoded (in the device's own spelling).
    const auto strings = [](const Morvelant_Parameters& p) {
        return std::count_if(p.FaderString.begin(), p.FaderString.end(),
                             [](const std::string& t) { return !t.empty(); });
    };
    bench::CheckCount(state, "event strings decoded", strings(out), strings(m.Presets[kPresetCount - 1]));
    state.SetItemsProcessed(state.iterations() * kPresetCount);
}
BENCHMARK(BM_DecodeAllPresets);

void BM_EncodeAllPatterns(benchmark::State& state) {
    DeviceModel& m = Model();
    SysexBuffer ev;
    for (auto _ : state) {
        for (int s = 0; s < kPatternCount; ++s) {
            ev.clear();
            BuildPatternDump(m, ev, s, s);
        }
        benchmark::DoNotOptimize(ev.data());
    }
    bench::Check(state, !ev.empty(), "an empty pattern dump");
    state.SetItemsProcessed(state.iterations() * kPatternCount);
}
BENCHMARK(BM_EncodeAllPatterns);

void BM_DecodeAllPatterns(benchmark::State& state) {
    DeviceModel& m = Model();
    std::vector<SysexBuffer> dumps(kPatternCount);
    for (int s = 0; s < kPatternCount; ++s) BuildPatternDump(m, dumps[std::size_t(s)], s, s);
    Pattern_Parameters out;
    for (auto _ : state) {
        for (const auto& d : dumps) DecodePatternDump(d, out);
        benchmark::DoNotOptimize(out.W.data());
    }
    state.SetItemsProcessed(state.iterations() * kPatternCount);
}
BENCHMARK(BM_DecodeAllPatterns);

// A folder of its own under the temporary folder for one benchmark, gone
// with the benchmark (an exit handler would run after the folder's name was
// already destroyed, and left the folder behind on every run).
class TempFolder {
public:
    TempFolder() {
        const char* tmp = std::getenv("TMPDIR");
        std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/morvelant-bench-XXXXXX";
        if (::mkdtemp(tmpl.data()) != nullptr) path_ = tmpl;
    }
    ~TempFolder() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// The working sets as written at exit: all 128 slots, through the safe
// replace (temporary file, flush to disk, backup, rename).
void BM_SaveWorkingSets(benchmark::State& state) {
    DeviceModel& m = Model();
    const TempFolder folder;
    m.ProgramPath = folder.Path() + "/";
    m.PresetEditBufferCount = m.PatternEditBufferCount = 64;
    for (auto _ : state) {
        if (!SavePresetWorkingSet(m) || !SavePatternWorkingSet(m)) state.SkipWithError("save failed");
    }
    // The set written holds every edit buffer named, as a load reads it.
    DeviceModel back(m.ProgramPath);
    ScriptedDialogs quiet;
    ScopedDialogs scope(quiet);
    bench::CheckCount(state, "presets written", LoadPresetWorkingSet(back, "") ? back.PresetEditBufferCount : -1, 64);
    state.SetBytesProcessed(state.iterations() *
                            int64_t(std::filesystem::file_size(m.ProgramPath + "Config.MVR") +
                                    std::filesystem::file_size(m.ProgramPath + "Config.MVT")));
}
BENCHMARK(BM_SaveWorkingSets)->Unit(benchmark::kMillisecond);

void BM_LoadWorkingSets(benchmark::State& state) {
    DeviceModel& m = Model();
    const TempFolder folder;
    m.ProgramPath = folder.Path() + "/";
    m.PresetEditBufferCount = m.PatternEditBufferCount = 64;
    SavePresetWorkingSet(m);
    SavePatternWorkingSet(m);
    DeviceModel target(m.ProgramPath);
    ScriptedDialogs quiet;
    ScopedDialogs scope(quiet);
    for (auto _ : state) {
        target.PresetEditBufferNames.clear();
        target.PatternEditBufferNames.clear();
        target.PresetEditBufferCount = target.PatternEditBufferCount = 1;
        if (!LoadPresetWorkingSet(target, "") || !LoadPatternWorkingSet(target, "")) state.SkipWithError("load failed");
    }
    bench::CheckCount(state, "presets loaded", target.PresetEditBufferCount, 64);
    bench::CheckCount(state, "patterns loaded", target.PatternEditBufferCount, 64);
}
BENCHMARK(BM_LoadWorkingSets)->Unit(benchmark::kMillisecond);

// Encoding a full set into memory, without the disk.
void BM_EncodeFullSetInMemory(benchmark::State& state) {
    DeviceModel& m = Model();
    std::vector<int> all(kPresetCount);
    for (int i = 0; i < kPresetCount; ++i) all[std::size_t(i)] = i;
    for (auto _ : state) {
        auto a = EncodePresetFile(m, all);
        auto b = EncodePatternFile(m, all);
        benchmark::DoNotOptimize(a.data());
        benchmark::DoNotOptimize(b.data());
    }
    bench::Check(state, !EncodePresetFile(m, all).empty() && !EncodePatternFile(m, all).empty(), "an empty file");
}
BENCHMARK(BM_EncodeFullSetInMemory)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace morvelant

MORVELANT_BENCHMARK_MAIN();
