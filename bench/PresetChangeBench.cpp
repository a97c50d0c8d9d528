// Changing the current preset in the started editor (every window of the
// composition root, offscreen, the driver library on its loopback ports) with
// the preset list window and the preset notes window shown: the time of one
// change made in the preset list (the "Preset" key string sent, the faders
// and keys started anew, every view refreshed), reported as median and worst.

#include <benchmark/benchmark.h>

#include "bench/BenchCheck.h"

#include <QApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "app/EditorWindowSet.h"
#include "presets/NotesUnit.h"
#include "presets/PresetFormUnit.h"
#include "shell/Main.h"
#include "shell/MainMenu.h"

namespace {

using namespace morvelant;

QApplication& App() {
    static int argc = 1;
    static char name[] = "PresetChangeBench";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("MIDIKIT_BACKEND", "loopback", 1);
        return new QApplication(argc, argv);
    }();
    return *app;
}

void BM_ChangeCurrentPreset(benchmark::State& state) {
    App();
    QTemporaryDir dir;
    EditorWindowSet windows;
    windows.Create(dir.path().toStdString() + "/", {});
    MainMenuForm->Show();
    DeviceContext& context = windows.Context();
    context.Routing.NumOutDevs = 1;
    context.Routing.Out1DeviceFlags[0] = true;
    int sent = 0;
    context.DeviceEngine.OutputSink = [&sent](int, const MidiEvent&) { ++sent; };
    DeviceModel& model = context.Model;
    for (int p = 0; p < kPresetCount; ++p) {
        model.Presets[std::size_t(p)].SpecialKeyString[0] = "C0 05";
        model.Presets[std::size_t(p)].PresetNotes = std::string(2000, 'n') + "\r\n" + std::to_string(p);
    }
    model.PresetEditBufferCount = 64;
    PresetForm->Show();
    NotesForm->Show();
    QApplication::processEvents();

    std::vector<double> times;
    int slot = 0;
    for (auto _ : state) {
        slot = (slot + 37) % kPresetCount;
        const auto start = std::chrono::steady_clock::now();
        PresetForm->SelectPreset(slot, true);
        QApplication::processEvents();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    // Each change made, to the slot last chosen, with both windows shown.
    if (!bench::Check(state, model.SelectedPreset == slot && PresetForm->isVisible() && NotesForm->isVisible(),
                      "preset " + std::to_string(model.SelectedPreset) + " current, not " + std::to_string(slot) +
                          ", or a window closed"))
        return windows.DestroyAll();
    std::sort(times.begin(), times.end());
    if (!times.empty()) {
        state.counters["median_ms"] = times[times.size() / 2];
        state.counters["worst_ms"] = times.back();
    }
    benchmark::DoNotOptimize(sent);
    windows.DestroyAll();
}
BENCHMARK(BM_ChangeCurrentPreset)->Unit(benchmark::kMillisecond)->Iterations(500);

}  // namespace

MORVELANT_BENCHMARK_MAIN();
