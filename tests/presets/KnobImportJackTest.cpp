// End to end over a JACK server: a peer client sends a knob preset to the
// editor's device input; the editor asks as configured, converts it, and the
// preset's faders then send to the peer what the knobs did.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QTimer>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/DeviceContext.h"
#include "engine/MidiInDeviceUnit.h"
#include "engine/Tool.h"
#include "midikit/MidiKitDLL.h"
#include "midikit/MidiKitIn.h"
#include "midikit/MidiKitOut.h"
#include "platform/Dialogs.h"
#include "presets/vellixaImport.h"
#include "tests/support/DriverProcess.h"
#include "tests/support/JackPeer.h"
#include "tests/support/QtWidgetApp.h"

namespace morvelant {
namespace {

using Message = std::vector<unsigned char>;

TEST(KnobImportJack, PeerSendsAKnobPresetAndTheFadersSendWhatTheKnobsDid) {
    if (!testsupport::JackReachable())
        GTEST_SKIP() << "JACK server '" << testsupport::JackTestServerName() << "' not reachable";
    MIDIKIT_IN_FRESH_PROCESS();
    ::setenv("MIDIKIT_BACKEND", "jack", 1);
    testsupport::WidgetApp(true);
    const std::string client = "KnobPeer" + std::to_string(::getpid());
    testsupport::JackPeer peer({.in = client + "i", .out = client + "o"});

    char tmpl[] = "/tmp/knob-jack-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    {
        DeviceContext context;
        TMidiKit kit;
        TMidiDeviceForm device(context.DeviceEngine);
        MidiRouting& routing = context.Routing;
        routing.NumInDevs = std::min(static_cast<int>(kit.pGetNumInDevices()), kMaxPorts);
        routing.NumOutDevs = std::min(static_cast<int>(kit.pGetNumOutDevices()), kMaxPorts);
        int inPort = -1, outPort = -1;
        for (int j = 0; j < routing.NumInDevs; ++j) {
            char name[33] = {};
            kit.pGetMidiInDescription(static_cast<uint32_t>(j), name);
            if (std::string(name).find(client + "o") != std::string::npos) inPort = j;
        }
        for (int j = 0; j < routing.NumOutDevs; ++j) {
            char name[33] = {};
            kit.pGetMidiOutDescription(static_cast<uint32_t>(j), name);
            if (std::string(name).find(client + "i") != std::string::npos) outPort = j;
        }
        ASSERT_GE(inPort, 0);
        ASSERT_GE(outPort, 0);
        routing.MorvelantPCDeviceIndex = inPort;  // the device sends its dumps here
        routing.PCMorvelantDeviceIndex = routing.NumOutDevs;
        TMidiKitIn* in = device.In(inPort);
        in->MidiKit = &kit;
        ASSERT_TRUE(in->Open(static_cast<uint16_t>(inPort), MIDIKIT_OPEN_ARGUMENT));
        in->Start();
        TMidiKitOut out;
        out.MidiKit = &kit;
        ASSERT_TRUE(out.Open(static_cast<uint16_t>(outPort), MIDIKIT_OPEN_ARGUMENT));
        routing.Out[static_cast<size_t>(outPort)] = &out;
        routing.Out1DeviceFlags[static_cast<size_t>(outPort)] = true;

        // The dialog shows before each import; the question is answered Yes.
        TvellixaImportForm dialog(std::string(tmpl) + "/Morvelant.cfg");
        dialog.ConnectImports(context.DeviceEngine);
        ScriptedDialogs answers;
        answers.messageAnswers = {MessageResult::Yes};
        ScopedDialogs scoped(answers);
        int shown = 0;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (!dialog.Modal()) return;
            ++shown;
            dialog.CloseButtonClick();
        });
        closer.start(0);

        // Knob 1: controller 74 on channel 3; knob 2: NRPN 0/60 on channel 1;
        // knob 16: a command that cannot be converted.
        Message knobs = {0xF0, 0x00, 0x4D, 0x56, 0x14, 0x00, 0x20, 0x07, 0x00};
        for (int k = 0; k < 16; ++k) knobs.push_back(k == 0 ? 3 : 1);
        for (int k = 0; k < 16; ++k) knobs.push_back(k == 0 ? 0 : k == 15 ? 84 : 16);
        for (int k = 0; k < 16; ++k) knobs.push_back(k == 0 ? 74 : 60);
        knobs.push_back(0xF7);
        // The ports connect on the driver library's own thread: the dump is
        // sent once the peer's output shows the connection, as a device's
        // would be once it is plugged in.
        ASSERT_TRUE(testsupport::PumpUntil([&] { return peer.OutConnections() > 0 && peer.InConnections() > 0; }, 10000));
        peer.Send(knobs);
        DeviceModel& model = context.Model;
        ASSERT_TRUE(testsupport::PumpUntil([&] { return model.SelectedPreset == 7 && shown == 1; }, 10000));
        closer.stop();
        EXPECT_EQ(answers.Messages().size(), 1u);
        EXPECT_EQ(model.GetPresetDeviceName(7), "Preset 8");

        // Fader 1 at 100, then fader 2 at 64: the peer hears the knobs'
        // messages (the string's running status as three whole controllers).
        FaderMoved(context.DeviceEngine, model.FaderStates[0], 127 - 100, false);
        FaderMoved(context.DeviceEngine, model.FaderStates[1], 127 - 64, false);
        const Message want = {0xB2, 74, 100, 0xB0, 0x63, 0x00, 0xB0, 0x62, 60, 0xB0, 0x06, 64};
        Message got;
        testsupport::PumpUntil(
            [&] {
                got.clear();
                for (const Message& m : peer.Messages()) got.insert(got.end(), m.begin(), m.end());
                return got.size() >= want.size();
            },
            10000);
        EXPECT_EQ(got, want);
        in->Close();
        out.Close();
    }
    std::system(("rm -rf '" + std::string(tmpl) + "'").c_str());
}

}  // namespace
}  // namespace morvelant
