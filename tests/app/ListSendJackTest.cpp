// Sending over a JACK server: the current preset or pattern and a marked
// series reach another client as exactly the dumps the model builds (a
// buffer slot carrying its own number); the series keeps its delay, and
// Cancel stops it after the one already sent.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include <chrono>
#include <functional>
#include <thread>

#include "engine/DeviceContext.h"
#include "model/PresetFiles.h"
#include "patterns/PatternFormUnit.h"
#include "platform/Dialogs.h"
#include "presets/PresetFormUnit.h"
#include "tests/support/DriverProcess.h"
#include "tests/support/JackOutputPeer.h"
#include "tests/support/QtWidgetApp.h"

namespace morvelant {
namespace {

using testsupport::MidiBytes;

struct Kind {
    const char* name;
    std::function<TSlotListForm*(DeviceContext&, CommandRegistry&)> make;
    std::function<void(const DeviceModel&, SysexBuffer&, int)> dump;
    std::function<void(TSlotListForm*)> sendCurrent, startSeries;
    std::function<int&(DeviceContext&)> delay;
};

MidiBytes DumpOf(const Kind& kind, const DeviceModel& model, std::initializer_list<int> wanted) {
    MidiBytes bytes;
    for (int slot : wanted) {
        SysexBuffer dump;
        kind.dump(model, dump, slot);
        for (const MidiEvent& e : dump) bytes.push_back(e.data1);
    }
    return bytes;
}

// What the peer heard, once `want` bytes arrived (the limit only keeps a
// broken test from hanging), and how long the arrivals took.
MidiBytes Heard(testsupport::JackPeer& peer, std::size_t want, std::chrono::milliseconds* spread = nullptr) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    MidiBytes bytes;
    while (std::chrono::steady_clock::now() < end) {
        QApplication::processEvents();
        bytes.clear();
        const auto arrivals = peer.Arrivals();
        for (const auto& a : arrivals) bytes.insert(bytes.end(), a.bytes.begin(), a.bytes.end());
        if (spread && !arrivals.empty())
            *spread = std::chrono::duration_cast<std::chrono::milliseconds>(arrivals.back().at - arrivals.front().at);
        if (bytes.size() >= want) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return bytes;
}

TEST(ListSendJack, CurrentSlotAndSeriesArriveAsTheModelsDumps) {
    if (!testsupport::JackReachable())
        GTEST_SKIP() << "JACK server '" << testsupport::JackTestServerName() << "' not reachable";
    MIDIKIT_IN_FRESH_PROCESS();
    ::setenv("MIDIKIT_BACKEND", "jack", 1);
    testsupport::WidgetApp(true);

    const Kind kinds[] = {
        {"Preset",
         [](DeviceContext& c, CommandRegistry& r) -> TSlotListForm* {
             return new TPresetForm(c.Model, c.Notices, c.DeviceEngine, r, {});
         },
         [](const DeviceModel& m, SysexBuffer& d, int slot) {
             BuildPresetValueDump(m, d, slot, slot);
             BuildPresetTextDump(m, d, slot, slot);
         },
         [](TSlotListForm* f) { static_cast<TPresetForm*>(f)->SendPresetClick(); },
         [](TSlotListForm* f) { static_cast<TPresetForm*>(f)->SelectedPresets2Click(); },
         [](DeviceContext& c) -> int& { return c.Routing.PresetDelay; }},
        {"Pattern",
         [](DeviceContext& c, CommandRegistry& r) -> TSlotListForm* {
             return new TPatternForm(c.Model, c.Notices, c.DeviceEngine, r, {});
         },
         [](const DeviceModel& m, SysexBuffer& d, int slot) { BuildPatternDump(m, d, slot, slot); },
         [](TSlotListForm* f) { static_cast<TPatternForm*>(f)->SendPatternClick(); },
         [](TSlotListForm* f) { static_cast<TPatternForm*>(f)->SelectedPatterns4Click(); },
         [](DeviceContext& c) -> int& { return c.Routing.PatternDelay; }},
    };
    // The driver lists its ports once per process: one peer serves both.
    DeviceContext context;
    CommandRegistry commands;
    ScriptedDialogs dialogs;
    ScopedDialogs scope(dialogs);
    testsupport::JackOutputPeer jack;
    jack.Open("ListPeer" + std::to_string(::getpid()), context.Routing);
    if (HasFatalFailure()) return;
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        jack.peer->Clear();
        std::unique_ptr<TSlotListForm> form(kind.make(context, commands));
        DeviceModel& model = context.Model;
        model.Warnings = false;
        model.Presets[70].FaderMax(3) = 99;
        model.Patterns[70].StepNote(2, 5) = 61;

        model.SelectedPreset = model.SelectedPattern = 70;
        kind.sendCurrent(form.get());
        const MidiBytes one = DumpOf(kind, model, {70});
        EXPECT_EQ(Heard(*jack.peer, one.size()), one);

        // Slots 3 and 10 marked, 300 ms apart.
        jack.peer->Clear();
        kind.delay(context) = 300;
        model.PresetSlotSelected[3] = model.PresetSlotSelected[10] = true;
        model.PatternSlotSelected[3] = model.PatternSlotSelected[10] = true;
        kind.startSeries(form.get());
        const MidiBytes series = DumpOf(kind, model, {3, 10});
        std::chrono::milliseconds spread{0};
        EXPECT_EQ(Heard(*jack.peer, series.size(), &spread), series);
        EXPECT_GE(spread, std::chrono::milliseconds(250));

        // Cancel after the first: the second never goes out.
        jack.peer->Clear();
        kind.delay(context) = 200;
        kind.startSeries(form.get());
        form->StopSendSeries();
        const MidiBytes first = DumpOf(kind, model, {3});
        EXPECT_EQ(Heard(*jack.peer, first.size()), first);
        const auto settle = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
        while (std::chrono::steady_clock::now() < settle) QApplication::processEvents();
        EXPECT_EQ(Heard(*jack.peer, 0), first);
        EXPECT_TRUE(dialogs.calls.empty());
    }
}

}  // namespace
}  // namespace morvelant
