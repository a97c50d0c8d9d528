// Changing the current preset with the preset list window and the preset
// notes window shown: the time of one change (the "Preset" key string sent,
// every view refreshed), reported as median and worst over the run.
// Offscreen.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "engine/DeviceContext.h"
#include "presets/NotesUnit.h"
#include "presets/PresetFormUnit.h"

namespace {

using namespace morvelant;

QApplication& App() {
    static int argc = 1;
    static char name[] = "PresetChangeBench";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        return new QApplication(argc, argv);
    }();
    return *app;
}

void BM_ChangeCurrentPreset(benchmark::State& state) {
    App();
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/";
    DeviceContext context(path);
    DeviceModel& model = context.Model;
    Notifications& notifications = context.Notices;
    MidiRouting& routing = context.Routing;
    routing.NumOutDevs = 1;
    routing.Out1DeviceFlags[0] = true;
    Engine& engine = context.DeviceEngine;
    int sent = 0;
    engine.OutputSink = [&sent](int, const MidiEvent&) { ++sent; };
    CommandRegistry commands;
    for (int p = 0; p < kPresetCount; ++p) {
        model.Presets[std::size_t(p)].SpecialKeyString[0] = "C0 05";
        model.Presets[std::size_t(p)].PresetNotes = std::string(2000, 'n') + "\r\n" + std::to_string(p);
    }
    model.PresetEditBufferCount = 64;
    TPresetForm presets(model, notifications, engine, commands, path);
    TNotesForm notes(model, notifications, path);
    presets.Show();
    notes.Show();
    QApplication::processEvents();

    std::vector<double> times;
    int slot = 0;
    for (auto _ : state) {
        slot = (slot + 37) % kPresetCount;
        const auto start = std::chrono::steady_clock::now();
        presets.SelectPreset(slot, true);
        QApplication::processEvents();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    if (!times.empty()) {
        state.counters["median_ms"] = times[times.size() / 2];
        state.counters["worst_ms"] = times.back();
    }
    benchmark::DoNotOptimize(sent);
}
BENCHMARK(BM_ChangeCurrentPreset)->Unit(benchmark::kMillisecond)->Iterations(500);

}  // namespace

BENCHMARK_MAIN();
