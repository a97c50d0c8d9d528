// The MIDI settings window against real ports of a JACK server: another
// client's ports are listed, keep their alias and roles across a restart, and
// an output with a role delivers to that client.
#include "SettingsTestSupport.h"

#include <QComboBox>
#include <QTabWidget>

#include <rtmidi/RtMidi.h>

#include <chrono>
#include <thread>

#include "midikit/MidiKitOut.h"
#include "tests/support/JackClient.h"
#include "tests/support/JackServer.h"

namespace morvelant::settingstest {
namespace {

TEST(MidiSettingsJack, PortsOfAnotherClientTakeRolesAliasesAndEvents) {
    if (!testsupport::JackReachable())
        GTEST_SKIP() << "JACK server '" << testsupport::JackTestServerName() << "' not reachable";
    MIDIKIT_IN_FRESH_PROCESS();
    ::setenv("MIDIKIT_BACKEND", "jack", 1);
    App();

    // The other client: a port that receives from us and one that sends.
    // Names of this process only, so that no other client's port matches.
    const std::string tag = "Peer" + std::to_string(::getpid());
    testsupport::OwnJackMessages();
    RtMidiIn probe(RtMidi::UNIX_JACK, tag + "a");
    probe.ignoreTypes(false, true, true);
    probe.openVirtualPort("Probe");
    RtMidiOut source(RtMidi::UNIX_JACK, tag + "b");
    source.openVirtualPort("Source");

    char tmpl[] = "/tmp/settings-jack-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const std::string cfg = std::string(tmpl) + "/Morvelant.cfg";
    std::array<std::unique_ptr<TMidiKitIn>, 50> inputs;
    for (auto& in : inputs) in = std::make_unique<TMidiKitIn>();
    MidiSettingsSetup setup;
    setup.ConfigFile = cfg;
    setup.Inputs = [&](int port) { return inputs[static_cast<size_t>(port)].get(); };

    int out = -1, in = -1;
    {
        TMidiSettingsForm form(setup);
        out = Find(form.Routing.OutDriverNames, tag + "a:Probe");
        in = Find(form.Routing.InDriverNames, tag + "b:Source");
        ASSERT_GE(out, 0);
        ASSERT_GE(in, 0);
        EXPECT_EQ(form.MorvelantOut1Devices->topLevelItem(out)->text(0).toStdString(),
                  form.Routing.OutDriverNames[static_cast<size_t>(out)]);
        form.MorvelantOut1Devices->topLevelItem(out)->setText(0, QStringLiteral("Probe alias"));
        form.Show();
        form.PageControl1->setCurrentWidget(form.TabSheet2);
        QApplication::processEvents();
        QRect r = TMidiSettingsForm::StatePictureRect(form.MorvelantOut1Devices, out);
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(r.center()), QPointF(r.center()), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form.MorvelantOut1Devices->viewport(), &press);
        ASSERT_TRUE(form.Routing.Out1DeviceFlags[static_cast<size_t>(out)]);
        ASSERT_TRUE(form.Routing.Out[static_cast<size_t>(out)]->IsOpen());
        form.MorvelantPCDevice->setCurrentIndex(in);
        EXPECT_TRUE(inputs[static_cast<size_t>(in)]->IsOpen());
    }
    {
        TMidiSettingsForm form(setup);
        const auto o = static_cast<size_t>(out);
        EXPECT_EQ(form.Routing.OutNames[o], "Probe alias");
        EXPECT_TRUE(form.Routing.Out1DeviceFlags[o]);
        EXPECT_EQ(form.Routing.DeviceInPort(), in);
        ASSERT_TRUE(form.Routing.Out[o]->IsOpen());

        MidiEvent ev{};
        ev.time = 0xFFFFFFFFu;
        ev.status = 0xB0;
        ev.data1 = 7;
        ev.data2 = 99;
        ASSERT_TRUE(form.Routing.Out[o]->Put(&ev));
        // Opening a port may send its own resets first; look for ours.
        const std::vector<unsigned char> want{0xB0, 7, 99};
        bool arrived = false;
        for (int i = 0; i < 500 && !arrived; ++i) {
            QApplication::processEvents();
            std::vector<unsigned char> msg;
            do {
                probe.getMessage(&msg);
                arrived = arrived || msg == want;
            } while (!msg.empty() && !arrived);
            if (!arrived) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_TRUE(arrived);
    }
    for (auto& i : inputs) i.reset();
    std::system(("rm -rf '" + std::string(tmpl) + "'").c_str());
}

}  // namespace
}  // namespace morvelant::settingstest
