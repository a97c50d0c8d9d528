// Sending patterns over a JACK server: the current pattern (a buffer slot
// carries its own number) and a marked series reach another client as
// exactly the dumps the model builds.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include <chrono>
#include <thread>

#include "engine/DeviceContext.h"
#include "model/PresetFiles.h"
#include "patterns/PatternFormUnit.h"
#include "platform/Dialogs.h"
#include "tests/support/DriverProcess.h"
#include "tests/support/JackOutputPeer.h"
#include "tests/support/QtWidgetApp.h"

namespace morvelant {
namespace {

using testsupport::MidiBytes;

MidiBytes DumpOf(const DeviceModel& model, std::initializer_list<int> wanted) {
    MidiBytes bytes;
    for (int slot : wanted) {
        SysexBuffer dump;
        BuildPatternDump(model, dump, slot, slot);
        for (const MidiEvent& e : dump) bytes.push_back(e.data1);
    }
    return bytes;
}

MidiBytes Heard(testsupport::JackPeer& peer, std::size_t want) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    MidiBytes bytes;
    while (std::chrono::steady_clock::now() < end) {
        QApplication::processEvents();
        bytes.clear();
        for (const auto& m : peer.Messages()) bytes.insert(bytes.end(), m.begin(), m.end());
        if (bytes.size() >= want) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return bytes;
}

TEST(PatternSendJack, TheCurrentPatternAndAMarkedSeriesArriveAsTheModelsDumps) {
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
    jack.Open("PatternPeer" + std::to_string(::getpid()), routing);
    if (HasFatalFailure()) return;
    TPatternForm form(model, notifications, engine, commands, {});
    model.Warnings = false;
    model.Patterns[70].StepNote(2, 5) = 61;

    model.SelectedPattern = 70;
    form.SendPatternClick();
    const MidiBytes one = DumpOf(model, {70});
    EXPECT_EQ(Heard(*jack.peer, one.size()), one);

    jack.peer->Clear();
    routing.PatternDelay = 100;
    model.PatternSlotSelected[2] = model.PatternSlotSelected[9] = true;
    commands.Execute("SelectedPatterns4");
    const MidiBytes series = DumpOf(model, {2, 9});
    EXPECT_EQ(Heard(*jack.peer, series.size()), series);
    EXPECT_TRUE(dialogs.calls.empty());
}

}  // namespace
}  // namespace morvelant
