// The editor's start-up work inside a running QApplication (creating every
// window in order, reading the configuration and the working sets, and
// showing the menu and virtual device windows), the window set's work as far
// as the menu window shown, the virtual device window alone, and the time
// from an on-screen fader move to the event put to an output port of the
// driver library (loopback backend). Offscreen.
//
// None of this is the program's start as a user sees it: the process start,
// loading the libraries, QApplication, the fonts and the first paint on a
// real display come on top. That is measured from outside, launch to first
// window mapped under a virtual X server and a window manager, by
// `scripts/compare-peers.sh --programs editor`.
//
// Each start reports x_plain_window: its time over that of a plain Qt window
// made and shown in the same run, the least any start could cost.

#include <benchmark/benchmark.h>

#include "bench/BenchCheck.h"

#include <QApplication>
#include <QScrollBar>
#include <QTemporaryDir>

#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "app/EditorWindowSet.h"
#include "driver/MidiKit32.h"
#include "midikit/MidiKitDLL.h"
#include "midikit/MidiKitOut.h"
#include "shell/Main.h"
#include "shell/MainMenu.h"
#include "tests/support/JackServer.h"
#include "tests/support/OwningMainForm.h"

namespace {

using namespace morvelant;

QApplication& App() {
    static int argc = 1;
    static char name[] = "StartupBench";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        return new QApplication(argc, argv);
    }();
    return *app;
}

// A plain top-level window made, shown and destroyed: the median of 31, in
// milliseconds (measured once per run).
double PlainWindowMs() {
    static const double ms = [] {
        std::vector<double> times;
        for (int i = 0; i < 31; ++i) {
            const auto t0 = std::chrono::steady_clock::now();
            {
                QWidget w;
                w.resize(630, 428);
                w.show();
                QCoreApplication::processEvents();
            }
            times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
        }
        std::nth_element(times.begin(), times.begin() + 15, times.end());
        return times[15];
    }();
    return ms;
}

void ReportRatio(benchmark::State& state, double iterationMs) {
    state.counters["plain_window_ms"] = PlainWindowMs();
    state.counters["x_plain_window"] = iterationMs / PlainWindowMs();
}

// state.range(0): 0 the loopback backend; 1 a JACK server that offers no
// MIDI port at all (an answer like any other: no retries, no waiting).
// A program folder with the configuration and working sets as a previous
// run left them.
std::string AfterAPreviousRun(const QTemporaryDir& dir) {
    const std::string programPath = dir.path().toStdString() + "/";
    EditorWindowSet first;
    first.Create(programPath, {});
    first.WriteWorkingSets();
    return programPath;
}

// Times `start` on a new window set in each round; the end of the round
// (the working sets written, every window made and destroyed, each writing
// its configuration) is not timed. Reports the ratio to a plain window.
template <typename Start>
void TimeStarts(benchmark::State& state, const std::string& programPath, Start start) {
    double totalMs = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        auto windows = std::make_unique<EditorWindowSet>();
        start(*windows, programPath);
        totalMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        state.PauseTiming();
        bench::Check(state, MainMenuForm && MainMenuForm->isVisible(), "a start that showed no menu window");
        windows->WriteWorkingSets();
        windows.reset();
        state.ResumeTiming();
    }
    ReportRatio(state, totalMs / double(state.iterations()));
}

void BM_StartAllWindows(benchmark::State& state) {
    App();
    if (state.range(0) == 1) {
        if (!testsupport::JackReachable()) {
            state.SkipWithError("no JACK test server");
            return;
        }
        setenv("MIDIKIT_BACKEND", "jack", 1);
    } else {
        setenv("MIDIKIT_BACKEND", "loopback", 1);
    }
    QTemporaryDir dir;
    TimeStarts(state, AfterAPreviousRun(dir), [](EditorWindowSet& windows, const std::string& programPath) {
        windows.Create(programPath, {});
        MainMenuForm->Show();
        benchmark::DoNotOptimize(MainForm->Model.Presets[0].FaderValue(0));
    });
}
BENCHMARK(BM_StartAllWindows)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The window set's part of the start as far as the menu window (the first
// window a user sees) is shown offscreen: made and shown on its own, the
// other windows left for after its first frame (made, untimed, with the end
// of each round). Not the program's start: see the top of this file.
void BM_WindowSetToMenuWindowOffscreen(benchmark::State& state) {
    App();
    setenv("MIDIKIT_BACKEND", "loopback", 1);
    QTemporaryDir dir;
    TimeStarts(state, AfterAPreviousRun(dir), [](EditorWindowSet& windows, const std::string& programPath) {
        windows.StartAsTheProgram(programPath, {});
        benchmark::DoNotOptimize(MainMenuForm->isVisible());
    });
}
BENCHMARK(BM_WindowSetToMenuWindowOffscreen)->Unit(benchmark::kMillisecond);

// A start and an end of the whole window set with a configuration file of
// state.range(0) MB (a file grown by hand or by another program): its cost
// must stay that of reading and writing the file once. Reports the ratio to
// the same start and end with the editor's own small configuration.
void BM_StartAndEndWithLargeConfiguration(benchmark::State& state) {
    App();
    setenv("MIDIKIT_BACKEND", "loopback", 1);
    QTemporaryDir dir;
    const std::string programPath = dir.path().toStdString() + "/";
    auto startAndEnd = [&programPath] {
        const auto t0 = std::chrono::steady_clock::now();
        EditorWindowSet windows;
        windows.Create(programPath, {});
        MainMenuForm->Show();
        windows.WriteWorkingSets();
        windows.DestroyAll();
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    };
    startAndEnd();  // the editor's own configuration and working sets
    double smallMs = 1e9;
    for (int i = 0; i < 3; ++i) smallMs = std::min(smallMs, startAndEnd());
    {
        std::ofstream cfg(programPath + "Morvelant.cfg", std::ios::app | std::ios::binary);
        const size_t bytes = size_t(state.range(0)) << 20;
        std::string line;
        for (size_t written = 0, s = 0; written < bytes; ++s) {
            line = "[Imported " + std::to_string(s) + "]\r\n";
            for (int k = 0; k < 50; ++k) line += "Entry" + std::to_string(k) + "=" + std::string(80, 'x') + "\r\n";
            cfg << line;
            written += line.size();
        }
    }
    double totalMs = 0;
    for (auto _ : state) totalMs += startAndEnd();
    // Each end wrote the configuration again: still of the size named.
    bench::Check(
        state, std::filesystem::file_size(programPath + "Morvelant.cfg") >= size_t(state.range(0)) << 20,
        "a configuration of " + std::to_string(std::filesystem::file_size(programPath + "Morvelant.cfg")) + " bytes");
    state.counters["x_small_configuration"] = totalMs / double(state.iterations()) / smallMs;
}
BENCHMARK(BM_StartAndEndWithLargeConfiguration)->Arg(5)->Arg(15)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_StartVirtualDeviceWindow(benchmark::State& state) {
    App();
    QTemporaryDir dir;
    {  // working sets and configuration as a previous run left them
        testsupport::OwningMainForm first(dir.path().toStdString());
        first.ReadWorkingSets();
        first.WriteWorkingSets();
    }
    for (auto _ : state) {
        auto form = std::make_unique<testsupport::OwningMainForm>(dir.path().toStdString());
        form->ReadWorkingSets();
        form->Show();
        benchmark::DoNotOptimize(form->Model.Presets[0].FaderValue(0));
        state.PauseTiming();
        bench::Check(state, form->isVisible(), "a device window not shown");
        form.reset();  // writes the configuration
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartVirtualDeviceWindow)->Unit(benchmark::kMillisecond);

void BM_FaderMoveToPort(benchmark::State& state) {
    App();
    setenv("MIDIKIT_BACKEND", "loopback", 1);
    QTemporaryDir dir;
    std::unique_ptr<TMidiKit> kit;
    try {
        kit = std::make_unique<TMidiKit>();
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    TMidiKitOut out;
    out.MidiKit = kit.get();
    if (!out.Open(0, MIDIKIT_OPEN_ARGUMENT)) {
        state.SkipWithError("loopback output 0 did not open");
        return;
    }
    testsupport::OwningMainForm form(dir.path().toStdString());
    form.Routing.NumOutDevs = 1;
    form.Routing.Out1DeviceFlags[0] = true;
    form.Routing.Out[0] = &out;
    form.Show();
    QScrollBar* fader = form.FaderList[0];
    int position = 0;
    int64_t sent = 0;
    for (auto _ : state) {
        position = position == 0 ? 127 : 0;  // full travel: every move sends
        fader->setValue(position);
        ++sent;
        if ((sent & 1023) == 0) {
            state.PauseTiming();
            QCoreApplication::processEvents();  // let the driver report room
            state.ResumeTiming();
        }
    }
    bench::Check(state, fader->value() == position, "a fader left at " + std::to_string(fader->value()));
    state.SetItemsProcessed(sent);
    form.Routing.Out[0] = nullptr;
    out.Close();
}
BENCHMARK(BM_FaderMoveToPort)->Unit(benchmark::kMicrosecond);

}  // namespace

MORVELANT_BENCHMARK_MAIN();
