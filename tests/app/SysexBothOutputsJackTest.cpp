// A system-exclusive message to a port ticked for both Output 1 and Output 2
// reaches the peer whole, twice, as every channel event does: from a special
// key, from a fader's string on "Output 1&2", and from a preset's "Preset"
// string when ">>" or SnapShot reach the preset.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "engine/DeviceContext.h"
#include "engine/Tool.h"
#include "faders/SpecialKeyEdit.h"
#include "midikit/MidiKitOut.h"
#include "shell/Main.h"
#include "tests/support/DriverProcess.h"
#include "tests/support/JackPeer.h"
#include "tests/support/JackServer.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/StartedEditor.h"
#include "tests/support/UserInput.h"

namespace morvelant {
namespace {

using testsupport::JackPeer;
using testsupport::MidiBytes;

TEST(SysexBothOutputsJack, APortTickedForBothOutputsReceivesEachMessageWholeTwice) {
    if (!testsupport::JackReachable())
        GTEST_SKIP() << "JACK server '" << testsupport::JackTestServerName() << "' not reachable";
    MIDIKIT_IN_FRESH_PROCESS();
    const std::string synth = "BothOuts" + std::to_string(::getpid());
    JackPeer peer({.in = synth, .splitClocks = true});
    testsupport::StartedEditor editor;
    std::ofstream(editor.Folder() + "Morvelant.cfg") << "[Out1DeviceFlags]\r\n"
                                                     << synth << ":in=1\r\n[Out2DeviceFlags]\r\n"
                                                     << synth << ":in=1\r\n";
    ::setenv("MIDIKIT_BACKEND", "jack", 1);
    editor.Start();
    MidiRouting& routing = editor.Windows().Context().Routing;
    int out = -1;
    for (int i = 0; i < routing.NumOutDevs; ++i)
        if (routing.OutDriverNames[size_t(i)].find(synth + ":in") != std::string::npos) out = i;
    ASSERT_GE(out, 0);
    ASSERT_TRUE(routing.Out1DeviceFlags[size_t(out)] && routing.Out2DeviceFlags[size_t(out)]);
    // A new connection takes effect some cycles later: clocks until one arrives.
    ASSERT_TRUE(testsupport::PumpUntil([&] {
        MidiEvent clock{0xFFFFFFFFu, 0xF8, 0, 0, 0};
        routing.Out[size_t(out)]->Put(&clock);
        return peer.Clocks() > 0;
    })) << "the peer never heard the output";

    DeviceModel& model = editor.Model();
    Engine& engine = editor.Windows().Context().DeviceEngine;
    MainForm->Show();
    // Fader 22 sends a string with its value on both outputs; preset 1
    // carries a "Preset" string.
    const int f = 21;
    model.Presets[0].FaderStatus(f) = 0xF0;
    model.Presets[0].FaderString[f] = "F0 7E XX 01 F7";
    model.Presets[0].FaderThreshold(f) = 0;
    model.Presets[0].FaderMidiMode(f) = 3;
    model.Presets[1].SpecialKeyString[0] = "F0 7E 05 F7";
    SelectFader(engine, f);

    struct Case {
        const char* what;
        std::function<void()> act;
        MidiBytes want;
    };
    const Case cases[] = {
        {"the Start key",
         [] {
             SpecialKeyForm->Show();
             userinput::FocusOn(SpecialKeyForm->StartString);
             userinput::KeyClick(SpecialKeyForm->StartString, Qt::Key_A, Qt::ControlModifier);
             userinput::KeyClicks(SpecialKeyForm->StartString, QStringLiteral("F0 7E 03 F7"));
             userinput::KeyClick(SpecialKeyForm->StartString, Qt::Key_Tab);
             userinput::Click(MainForm->StartButton);
         },
         {0xF0, 0x7E, 0x03, 0xF7}},
        {"a fader string on Output 1&2",
         [&] {
             userinput::FocusOn(MainForm->FaderList[size_t(f)]);
             userinput::KeyClick(MainForm->FaderList[size_t(f)], Qt::Key_Up);
         },
         {}},
        {"the Preset string reached with >>", [] { userinput::Click(MainForm->NextPreset); }, {0xF0, 0x7E, 0x05, 0xF7}},
        {"the Preset string sent by SnapShot", [] { userinput::Click(MainForm->Button6); }, {0xF0, 0x7E, 0x05, 0xF7}},
    };
    for (const Case& c : cases) {
        peer.Clear();
        c.act();
        MidiBytes want = c.want;
        if (want.empty()) want = {0xF0, 0x7E, uint8_t(model.FaderStates[size_t(f)].Value), 0x01, 0xF7};
        const auto copies = [&] {
            std::vector<MidiBytes> sysex;
            for (const MidiBytes& m : peer.Messages())
                if (!m.empty() && m[0] == 0xF0) sysex.push_back(m);
            return sysex;
        };
        testsupport::PumpUntil([&] { return copies().size() >= 2; }, 3000);
        testsupport::PumpFor(100);  // nothing more comes
        EXPECT_EQ(copies(), (std::vector<MidiBytes>{want, want})) << c.what;
    }
}

}  // namespace
}  // namespace morvelant
