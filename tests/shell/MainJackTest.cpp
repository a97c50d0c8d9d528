// End to end over a JACK server: moving fader 1 of the virtual device window
// sends its event through the MIDI settings' output, the driver library and
// JACK to another client.
#include "SettingsTestSupport.h"

#include <QScrollBar>

#include <rtmidi/RtMidi.h>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "midikit/MidiKitOut.h"
#include "shell/Main.h"

namespace morvelant::settingstest {
namespace {

using Message = std::vector<unsigned char>;

std::string JackServer() {
    const char* s = std::getenv("MORVELANT_JACK_SERVER");
    return (s != nullptr && *s != '\0') ? s : "morvelant-test";
}

bool JackReachable() {
    const char* running = std::getenv("MORVELANT_JACK_RUNNING");
    if (running != nullptr && std::string(running) == "0") return false;
    // jack_wait -c exits with 0 either way; its answer is what it prints.
    FILE* pipe = ::popen(("jack_wait -s '" + JackServer() + "' -c 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) return false;
    char line[64] = {};
    const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
    ::pclose(pipe);
    return got && std::string(line).rfind("running", 0) == 0;
}

// Another JACK client with one MIDI input that records what arrives.
class Peer {
public:
    explicit Peer(const std::string& client) : in_(RtMidi::UNIX_JACK, client) {
        in_.ignoreTypes(false, false, false);
        in_.setCallback(&Peer::Receive, this);
        in_.openVirtualPort("in");
    }
    ~Peer() { in_.closePort(); }

    // Waits (processing the GUI's events) until pred holds for what arrived;
    // the limit only keeps a broken test from hanging.
    template <typename Pred> bool WaitUntil(Pred pred) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < limit) {
            QApplication::processEvents();
            {
                std::lock_guard lock(mx_);
                if (pred(got_, clocks_)) return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

private:
    static void Receive(double, std::vector<unsigned char>* message, void* self) {
        auto* peer = static_cast<Peer*>(self);
        std::lock_guard lock(peer->mx_);
        if (message->size() == 1 && (*message)[0] == 0xF8)
            ++peer->clocks_;
        else
            peer->got_.push_back(*message);
    }
    RtMidiIn in_;
    std::mutex mx_;
    std::vector<Message> got_;
    int clocks_ = 0;
};

int Find(const std::vector<std::string>& names, const std::string& part) {
    for (size_t i = 0; i + 1 < names.size(); ++i)
        if (names[i].find(part) != std::string::npos) return static_cast<int>(i);
    return -1;
}

TEST(MainJack, MovingFaderOneSendsItsEventToAnotherClient) {
    if (!JackReachable()) GTEST_SKIP() << "JACK server '" << JackServer() << "' not reachable";
    ::setenv("JACK_DEFAULT_SERVER", JackServer().c_str(), 1);
    ::setenv("JACK_NO_START_SERVER", "1", 1);
    // The driver library picks its backend and lists its ports once per
    // process: when another test loaded it already, run again alone.
    const std::string lib = ExeFolder() + "/libMidiKit32.so";
    if (void* h = ::dlopen(lib.c_str(), RTLD_NOW | RTLD_NOLOAD)) {
        ::dlclose(h);
        ASSERT_EQ(RerunAlone(), 0) << "failed in its own process";
        return;
    }
    ::setenv("MIDIKIT_BACKEND", "jack", 1);
    App();

    const std::string client = "MainPeer" + std::to_string(::getpid());
    Peer peer(client);

    char tmpl[] = "/tmp/main-jack-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const std::string folder = std::string(tmpl) + "/";
    std::array<std::unique_ptr<TMidiKitIn>, 50> inputs;
    for (auto& in : inputs) in = std::make_unique<TMidiKitIn>();
    {
        TMainForm main(folder);
        MainForm = &main;
        MidiSettingsSetup setup;
        setup.ConfigFile = main.ConfigFile();
        setup.Inputs = [&](int port) { return inputs[static_cast<size_t>(port)].get(); };
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
        p.FaderMin(0) = 0;
        p.FaderMax(0) = 127;
        p.FaderValue(0) = 0;
        p.FaderThreshold(0) = 0;
        p.ActiveMode(0) = 0x80;
        p.FaderMidiMode(0) = 1;
        p.MasterSlaveMode(0) = 0;
        p.FaderOutMode(0) = 0;
        p.FaderStatus(0) = 0xB0;
        p.FaderMidiData1(0) = 20;
        p.FaderMidiData2(0) = 128;
        main.Model.SelectedPreset = 0;
        main.Show();
        main.ShowCurrentPreset(false);

        QScrollBar* fader1 = main.findChild<QScrollBar*>(QStringLiteral("Fader1"));
        ASSERT_NE(fader1, nullptr);
        fader1->setValue(127 - 100);  // the top of the fader is 127
        const Message want{0xB0, 20, 100};
        EXPECT_TRUE(peer.WaitUntil([&](const std::vector<Message>& got, int) {
            for (const Message& m : got)
                if (m == want) return true;
            return false;
        })) << "fader 1's event did not arrive";
        settings.Hide();
        MainForm = nullptr;
    }
    for (auto& in : inputs) in.reset();
    std::system(("rm -rf '" + std::string(tmpl) + "'").c_str());
}

}  // namespace
}  // namespace morvelant::settingstest
