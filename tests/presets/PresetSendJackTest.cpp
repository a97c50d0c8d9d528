// Sending presets over a JACK server: the current preset and a marked series
// reach another client as exactly the dumps the model builds; the series
// keeps its delay, and Cancel stops it after the preset already sent.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include <chrono>
#include <thread>

#include "engine/DeviceContext.h"
#include "model/PresetFiles.h"
#include "platform/Dialogs.h"
#include "presets/PresetFormUnit.h"
#include "tests/support/DriverProcess.h"
#include "tests/support/JackOutputPeer.h"
#include "tests/support/QtWidgetApp.h"

namespace morvelant {
namespace {

using testsupport::MidiBytes;

MidiBytes DumpBytes(const DeviceModel& model, int slot) {
    SysexBuffer dump;
    BuildPresetValueDump(model, dump, slot, slot);
    BuildPresetTextDump(model, dump, slot, slot);
    MidiBytes bytes;
    for (const MidiEvent& e : dump) bytes.push_back(e.data1);
    return bytes;
}

MidiBytes Joined(const std::vector<testsupport::JackPeer::Arrival>& arrivals, std::size_t from, std::size_t to) {
    MidiBytes bytes;
    for (std::size_t i = from; i < to && i < arrivals.size(); ++i)
        bytes.insert(bytes.end(), arrivals[i].bytes.begin(), arrivals[i].bytes.end());
    return bytes;
}

// Processes the GUI's events until pred holds (the limit only keeps a broken
// test from hanging).
template <typename Pred>
bool RunUntil(Pred pred, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        QApplication::processEvents();
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return pred();
}

TEST(PresetSendJack, TheCurrentPresetAndAMarkedSeriesArriveAsTheModelsDumps) {
    if (!testsupport::JackReachable())
        GTEST_SKIP() << "JACK server '" << testsupport::JackServerName() << "' not reachable";
    MIDIKIT_IN_FRESH_PROCESS();
    ::setenv("MIDIKIT_BACKEND", "jack", 1);
    testsupport::WidgetApp(true);

    DeviceContext context;
    DeviceModel& model = context.Model;
    MidiRouting& routing = context.Routing;
    Engine& engine = context.DeviceEngine;
    Notifications& notifications = context.Notices;
    CommandRegistry commands;
    ScriptedDialogs dialogs;
    ScopedDialogs scope(dialogs);
    testsupport::JackOutputPeer jack;
    jack.Open("PresetPeer" + std::to_string(::getpid()), routing);
    if (HasFatalFailure()) return;
    TPresetForm form(model, notifications, engine, commands, {});
    model.Warnings = false;
    model.SetPresetDeviceName(70, "Buffer70");
    model.Presets[70].FaderMax(3) = 99;

    // The current preset: both dumps, values then texts, once.
    model.SelectedPreset = 70;
    form.SendPresetClick();
    const MidiBytes one = DumpBytes(model, 70);
    ASSERT_TRUE(RunUntil([&] { return Joined(jack.peer->Arrivals(), 0, 99).size() >= one.size(); }));
    EXPECT_EQ(Joined(jack.peer->Arrivals(), 0, 99), one);
    EXPECT_TRUE(dialogs.calls.empty());

    // Slots 3 and 10 marked, 300 ms apart; the dialog is closed at the end.
    jack.peer->Clear();
    routing.PresetDelay = 300;
    model.PresetSlotSelected[3] = model.PresetSlotSelected[10] = true;
    const MidiBytes three = DumpBytes(model, 3), ten = DumpBytes(model, 10);
    form.SelectedPresets2Click();
    ASSERT_TRUE(RunUntil([&] { return !form.Timer1->isActive(); }));
    ASSERT_TRUE(RunUntil([&] { return Joined(jack.peer->Arrivals(), 0, 99).size() >= three.size() + ten.size(); }));
    const auto arrivals = jack.peer->Arrivals();
    MidiBytes both = three;
    both.insert(both.end(), ten.begin(), ten.end());
    EXPECT_EQ(Joined(arrivals, 0, arrivals.size()), both);
    const auto gap = arrivals.back().at - arrivals.front().at;
    EXPECT_GE(gap, std::chrono::milliseconds(250));

    // Cancel after the first: the second never goes out.
    jack.peer->Clear();
    routing.PresetDelay = 200;
    form.SelectedPresets2Click();
    form.StopSendSeries();
    RunUntil([] { return false; }, std::chrono::milliseconds(500));
    EXPECT_EQ(Joined(jack.peer->Arrivals(), 0, 99), three);
}

}  // namespace
}  // namespace morvelant
