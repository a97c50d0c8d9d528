// End to end over a JACK server: moving fader 1 of the virtual device window
// sends its event through the MIDI settings' output, the driver library and
// JACK to another client, and an event that client sends is learned into the
// fader chosen from a select button's popup menu.
#include "SettingsTestSupport.h"

#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include <chrono>
#include <thread>
#include <vector>

#include "engine/MidiInDeviceUnit.h"
#include "midikit/MidiKitOut.h"
#include "shell/Main.h"
#include "tests/support/ControllerFader.h"
#include "tests/support/JackPeer.h"
#include "tests/support/OwningMainForm.h"

namespace morvelant::settingstest {
namespace {

using Message = std::vector<unsigned char>;

// Another JACK client with one MIDI input that records what arrives and one
// MIDI output, a client of its own: JACK renames a second client of the same
// name.
class Peer : public testsupport::JackPeer {
public:
    explicit Peer(const std::string& client) : JackPeer({.in = client, .out = client + "Src", .splitClocks = true}) {}

    // Waits (processing the GUI's events) until pred holds for what arrived;
    // the limit only keeps a broken test from hanging.
    template <typename Pred>
    bool WaitUntil(Pred pred, std::chrono::milliseconds within = std::chrono::seconds(10)) {
        const auto limit = std::chrono::steady_clock::now() + within;
        while (std::chrono::steady_clock::now() < limit) {
            QApplication::processEvents();
            if (pred(Messages(), Clocks())) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }
};

TEST(MainJack, FaderOneSendsToAnotherClientAndLearnsItsEvent) {
    if (!testsupport::JackReachable())
        GTEST_SKIP() << "JACK server '" << testsupport::JackTestServerName() << "' not reachable";
    MIDIKIT_IN_FRESH_PROCESS();
    ::setenv("MIDIKIT_BACKEND", "jack", 1);
    App();

    const std::string client = "MainPeer" + std::to_string(::getpid());
    Peer peer(client);

    char tmpl[] = "/tmp/main-jack-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const std::string folder = std::string(tmpl) + "/";
    {
        testsupport::OwningMainForm main(folder);
        MainForm = &main;
        // The hidden input window: what the inputs receive goes to the engine.
        TMidiDeviceForm device(main.DeviceEngine);
        MidiSettingsSetup setup;
        setup.ConfigFile = main.ConfigFile();
        setup.Inputs = [&](int port) { return device.In(port); };
        setup.Routing = &main.Routing;
        TMidiSettingsForm settings(setup);

        // The peer's port becomes an output-1 port, as a click in the
        // settings' output list makes it.
        const int out = Find(main.Routing.OutDriverNames, client + ":in");
        ASSERT_GE(out, 0) << "the peer's port is not offered by the driver";
        settings.Show();
        settings.PageControl1->setCurrentWidget(settings.TabSheet2);
        QApplication::processEvents();
        const QRect r = TMidiSettingsForm::StatePictureRect(settings.MorvelantOut1Devices, out);
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(r.center()), QPointF(r.center()), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(settings.MorvelantOut1Devices->viewport(), &press);
        ASSERT_TRUE(main.Routing.Out1DeviceFlags[static_cast<size_t>(out)]);
        ASSERT_TRUE(main.Routing.Out[static_cast<size_t>(out)] != nullptr);

        // A new JACK connection takes effect some cycles later: send clocks
        // until the peer hears one. Twice, with the window's own pending
        // work done in between, so that the output is settled.
        for (int round = 0; round < 2; ++round) {
            int before = -1;
            int sent = 0;
            const bool heard = peer.WaitUntil([&](const std::vector<Message>&, int clocks) {
                if (before < 0) before = clocks;
                if (sent++ % 4 == 0)
                    if (TMidiKitOut* port = main.Routing.Out[static_cast<size_t>(out)]) {
                        MidiEvent clock{};
                        clock.time = 0xFFFFFFFFu;
                        clock.status = 0xF8;
                        port->Put(&clock);
                    }
                return clocks > before;
            });
            ASSERT_TRUE(heard) << "the peer never heard the output";
            for (int i = 0; i < 10; ++i) QApplication::processEvents();
        }
        TMidiKitOut* port = main.Routing.Out[static_cast<size_t>(out)];
        ASSERT_TRUE(port != nullptr && port->IsOpen());

        // Fader 1 of preset 0: controller 20 on channel 1, the value of the
        // fader, sent at once.
        Morvelant_Parameters& p = main.Model.Presets[0];
        testsupport::SetControllerFader(p, 0, 20);
        main.Model.SelectedPreset = 0;
        main.Show();
        main.ShowCurrentPreset(false);

        struct PutLog {
            std::vector<std::pair<int, MidiEvent>> put;
        } log;
        Subscription putLog = main.Notices().MonitorLine.Subscribe([&log](int port, const MidiEvent& e, bool incoming, int) {
            if (!incoming) log.put.emplace_back(port, e);
        });
        QScrollBar* fader1 = main.findChild<QScrollBar*>(QStringLiteral("Fader1"));
        ASSERT_NE(fader1, nullptr);
        fader1->setValue(127 - 100);  // the top of the fader is 127
        ASSERT_EQ(log.put.size(), 1u);
        EXPECT_EQ(log.put[0].first, out);
        EXPECT_EQ(log.put[0].second.status, 0xB0);
        const Message want{0xB0, 20, 100};
        std::vector<Message> arrived;
        EXPECT_TRUE(peer.WaitUntil([&](const std::vector<Message>& got, int) {
            arrived = got;
            for (const Message& m : got)
                if (m == want) return true;
            return false;
        })) << "fader 1's event did not arrive; "
            << arrived.size() << " other messages did";

        // The peer's output becomes an input-1 port; its clocks show that
        // the connection stands before learning starts.
        const int in = Find(main.Routing.InDriverNames, client + "Src:out");
        ASSERT_GE(in, 0) << "the peer's output is not offered by the driver";
        const QRect inRect = TMidiSettingsForm::StatePictureRect(settings.MorvelantIn1Devices, in);
        QMouseEvent inPress(QEvent::MouseButtonPress, QPointF(inRect.center()), QPointF(inRect.center()),
                            Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(settings.MorvelantIn1Devices->viewport(), &inPress);
        ASSERT_TRUE(main.Routing.In1DeviceFlags[static_cast<size_t>(in)]);
        struct InLog {
            int clocks = 0;
        } inLog;
        putLog.Reset();
        Subscription clockLog = main.Notices().MonitorLine.Subscribe([&inLog](int, const MidiEvent& e, bool incoming, int) {
            if (incoming && e.status == 0xF8) ++inLog.clocks;
        });
        int sentClocks = 0;
        ASSERT_TRUE(peer.WaitUntil([&](const std::vector<Message>&, int) {
            if (sentClocks++ % 4 == 0) peer.Send({0xF8});
            return inLog.clocks > 0;
        })) << "the editor never heard the peer";
        peer.WaitUntil([](const std::vector<Message>&, int) { return false; },
                       std::chrono::milliseconds(100));  // let stray clocks pass
        ASSERT_EQ(main.Model.LearnMode, -1);

        // "Learn Event" from select button 10's popup, while fader 1 is selected.
        QPushButton* select10 = main.findChild<QPushButton*>(QStringLiteral("FaderSelect10"));
        ASSERT_NE(select10, nullptr);
        QMouseEvent rightPress(QEvent::MouseButtonPress, QPointF(2, 2), select10->mapToGlobal(QPointF(2, 2)),
                               Qt::RightButton, Qt::RightButton, Qt::NoModifier);
        QApplication::sendEvent(select10, &rightPress);
        main.LearnEvent1->trigger();
        ASSERT_EQ(main.Model.LearnMode, 0);
        EXPECT_TRUE(main.LearnTimer->isActive());
        peer.Send({0xB3, 0x0B, 0x22});
        EXPECT_TRUE(peer.WaitUntil([&](const std::vector<Message>&, int) { return main.Model.LearnMode == -1; }))
            << "the peer's event was not learned";
        EXPECT_EQ(p.FaderStatus(9), 0xB3);
        EXPECT_EQ(p.FaderMidiData1(9), 0x0B);
        EXPECT_EQ(p.FaderMidiData2(9), 0x22);
        // The learned fader is selected, its lamp alone bright, the label still.
        EXPECT_EQ(main.Model.SelectedFader, 9);
        EXPECT_TRUE(main.FaderSelectLedList[9]->Bright());
        EXPECT_FALSE(main.FaderSelectLedList[0]->Bright());
        EXPECT_FALSE(main.LearnTimer->isActive());
        EXPECT_FALSE(main.LearnLabelRed());
        clockLog.Reset();
        settings.Hide();
        MainForm = nullptr;
    }
    std::system(("rm -rf '" + std::string(tmpl) + "'").c_str());
}

}  // namespace
}  // namespace morvelant::settingstest
