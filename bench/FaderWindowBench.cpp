// Stepping through the 24 faders with the fader parameter window shown: each
// step selects the next fader and the window refills every control. The
// faders of the preset use all event types, so rows change their layout on
// the way. Reports the median and the worst single refill, without and with
// the painting that follows it. Offscreen.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "engine/DeviceContext.h"
#include "engine/Tool.h"
#include "faders/AllFaderParameters.h"
#include "faders/FaderEventTables.h"
#include "platform/CommandRegistry.h"

namespace {

using namespace morvelant;

QApplication& App() {
    static int argc = 1;
    static char name[] = "FaderWindowBench";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        return new QApplication(argc, argv);
    }();
    return *app;
}

// Argument 1: each step also paints what changed before the next one.
void BM_StepThroughFaders(benchmark::State& state) {
    App();
    const bool painted = state.range(0) != 0;
    QTemporaryDir dir;
    DeviceContext context(dir.path().toStdString());
    CommandRegistry commands;
    Morvelant_Parameters& p = context.Model.Presets[0];
    for (int f = 0; f < kFaderCount; ++f) {
        p.FaderStatus(f) = FaderEventCodes[size_t(f % kFaderEventCount)] | (f % 16);
        p.KeyOnStatus(f) = KeyEventCodes[size_t(f % kKeyEventCount)];
        p.KeyOffStatus(f) = KeyEventCodes[size_t((f + 3) % kKeyEventCount)];
        if ((p.FaderStatus(f) & 0xF0) == 0xF0) p.FaderString[size_t(f)] = "B0 07 XX";
    }
    TAllFaderP window(context.DeviceEngine, commands);
    window.Show();
    QApplication::processEvents();

    std::vector<double> micros;
    int f = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        SelectFader(context.DeviceEngine, f);
        if (painted) QApplication::processEvents();
        const auto end = std::chrono::steady_clock::now();
        micros.push_back(std::chrono::duration<double, std::micro>(end - start).count());
        f = (f + 1) % kFaderCount;
    }
    if (micros.empty()) return;
    std::sort(micros.begin(), micros.end());
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["worst_us"] = micros.back();
}
BENCHMARK(BM_StepThroughFaders)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
