// Stepping through the 24 faders with the fader parameter window shown: each
// step selects the next fader and the window refills every control. The
// faders of the preset use all event types, so rows change their layout on
// the way. Reports the median and the worst single refill, without and with
// the painting that follows it. Offscreen.
//
// With painting, each step is paired with a repaint of a plain window of the
// same size (its background filled and nothing more), measured in the same
// run: "ratio" is the median step over the median plain repaint, a figure
// that holds across machines where the microseconds do not.

#include <benchmark/benchmark.h>

#include "bench/BenchCheck.h"

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
    TForm plain;
    plain.resize(window.size());
    if (painted) plain.Show();
    QApplication::processEvents();

    using Clock = std::chrono::steady_clock;
    const auto since = [](Clock::time_point start) {
        return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    };
    std::vector<double> micros, plainMicros;
    int f = 0;
    for (auto _ : state) {
        if (painted) {
            state.PauseTiming();
            const auto start = Clock::now();
            plain.update();
            QApplication::processEvents();
            plainMicros.push_back(since(start));
            state.ResumeTiming();
        }
        const auto start = Clock::now();
        SelectFader(context.DeviceEngine, f);
        if (painted) QApplication::processEvents();
        micros.push_back(since(start));
        f = (f + 1) % kFaderCount;
    }
    if (micros.empty()) return;
    // What it names: the window shown, stepping on from fader to fader, and
    // the plain window it is measured against of the same size.
    const int last = (f + kFaderCount - 1) % kFaderCount;
    if (!bench::Check(
            state,
            window.isVisible() && context.Model.SelectedFader == last && (!painted || plain.size() == window.size()),
            "a fader window not shown at the fader stepped to, or its plain twin not its size"))
        return;
    const auto median = [](std::vector<double>& v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    state.counters["median_us"] = median(micros);
    state.counters["worst_us"] = micros.back();
    if (!plainMicros.empty()) {
        state.counters["plain_repaint_us"] = median(plainMicros);
        state.counters["ratio"] = median(micros) / median(plainMicros);
    }
}
BENCHMARK(BM_StepThroughFaders)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

MORVELANT_BENCHMARK_MAIN();
