// The editor's start-up work (creating every window in order, reading the
// configuration and the working sets, and showing the menu and virtual device
// windows), the virtual device window alone, and the time from an on-screen
// fader move to the event put to an output port of the driver library
// (loopback backend). Offscreen.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollBar>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>

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

// state.range(0): 0 the loopback backend; 1 a JACK server that offers no
// MIDI port at all (an answer like any other: no retries, no waiting).
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
    const std::string programPath = dir.path().toStdString() + "/";
    {  // configuration and working sets as a previous run left them
        EditorWindowSet first;
        first.Create(programPath, {});
        first.WriteWorkingSets();
    }
    for (auto _ : state) {
        EditorWindowSet windows;
        windows.Create(programPath, {});
        MainMenuForm->Show();
        benchmark::DoNotOptimize(MainForm->Model.Presets[0].FaderValue(0));
        state.PauseTiming();
        windows.DestroyAll();  // each window writes its configuration
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartAllWindows)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

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
    state.SetItemsProcessed(sent);
    form.Routing.Out[0] = nullptr;
    out.Close();
}
BENCHMARK(BM_FaderMoveToPort)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
