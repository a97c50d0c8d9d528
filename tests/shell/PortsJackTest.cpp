// The editor's MIDI ports over a JACK server as a user meets them: names
// that stay the same from start to start, a synth started after the editor,
// a server that stops and returns while the editor runs, and a start without
// any server that keeps the stored port choices.
#include "SettingsTestSupport.h"

#include <QComboBox>
#include <QLabel>
#include <QScrollBar>

#include <fstream>
#include <iterator>

#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "engine/MidiInDeviceUnit.h"
#include "platform/Dialogs.h"
#include "shell/DevicesInfoForm.h"
#include "shell/Main.h"
#include "tests/support/ControllerFader.h"
#include "tests/support/JackPeer.h"
#include "tests/support/OwningMainForm.h"

namespace morvelant::settingstest {
namespace {

using Message = std::vector<unsigned char>;
using namespace std::chrono_literals;

// The editor's MIDI side as the program builds it: the virtual device window
// with fader 1 sending controller 20, the hidden input window and the MIDI
// settings reading the folder's "Morvelant.cfg".
struct Editor {
    explicit Editor(const std::string& folder) : main(folder), device(main.DeviceEngine) {
        MainForm = &main;
        MidiSettingsSetup setup;
        setup.ConfigFile = main.ConfigFile();
        setup.Inputs = [this](int port) { return device.In(port); };
        setup.Routing = &main.Routing;
        settings = std::make_unique<TMidiSettingsForm>(setup);
        testsupport::SetControllerFader(main.Model.Presets[0], 0, 20);
        main.Model.SelectedPreset = 0;
        main.Show();
        main.ShowCurrentPreset(false);
    }
    ~Editor() {
        settings.reset();
        MainForm = nullptr;
    }
    void MoveFader(int value) { main.findChild<QScrollBar*>(QStringLiteral("Fader1"))->setValue(127 - value); }
    // Moves fader 1 until the peer hears its event (a new connection takes a
    // few cycles); the limit only keeps a broken test from hanging.
    bool FaderReaches(testsupport::JackPeer& peer, std::chrono::milliseconds within = 10s) {
        const auto limit = std::chrono::steady_clock::now() + within;
        for (int v = 1; std::chrono::steady_clock::now() < limit && !peer.Dead(); v = v % 100 + 1) {
            peer.Clear();
            MoveFader(v);
            for (int i = 0; i < 20; ++i) {
                QApplication::processEvents();
                for (const Message& m : peer.Messages())
                    if (m == Message{0xB0, 20, static_cast<unsigned char>(v)}) return true;
                std::this_thread::sleep_for(5ms);
            }
        }
        return false;
    }
    // Processes the GUI's events until pred holds.
    template <typename Pred>
    static bool Until(Pred pred, std::chrono::milliseconds within = 10s) {
        const auto limit = std::chrono::steady_clock::now() + within;
        while (std::chrono::steady_clock::now() < limit) {
            QApplication::processEvents();
            if (pred()) return true;
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }

    testsupport::OwningMainForm main;
    TMidiDeviceForm device;
    std::unique_ptr<TMidiSettingsForm> settings;
};

class PortsJack : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testsupport::JackReachable()) GTEST_SKIP() << "no JACK test server";
        ::setenv("MIDIKIT_BACKEND", "jack", 1);
        ::setenv("MIDIKIT_CLIENT_NAME", testsupport::OwnClientName("PortsEditor").c_str(), 1);
        App();
        char tmpl[] = "/tmp/ports-jack-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        folder = std::string(tmpl) + "/";
        SetCurrentDialogs(&dialogs);
    }
    void TearDown() override {
        SetCurrentDialogs(nullptr);
        if (!folder.empty()) std::system(("rm -rf '" + folder + "'").c_str());
        testsupport::StartJackServer();  // for the next test, when one stopped it
    }
    void Config(const std::string& text) { std::ofstream(folder + "Morvelant.cfg", std::ios::binary) << text; }
    std::string ConfigText() {
        std::ifstream f(folder + "Morvelant.cfg", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    }
    static std::string Name(const char* stem) { return stem + std::to_string(::getpid()); }
    static void Script(const char* verb) { ASSERT_TRUE(testsupport::JackServerScript(verb)); }

    std::string folder;
    ScriptedDialogs dialogs;
};

// The names of the ports of a JACK client, from outside.
std::vector<std::string> PortsOf(const std::string& client) {
    return testsupport::MidiPortsNamed("^" + client + ":").value_or(std::vector<std::string>{});
}

TEST_F(PortsJack, NamesStayAcrossStartsAndASavedConnectionReachesTheSameRole) {
    MIDIKIT_IN_FRESH_PROCESS();
    const std::string synth = Name("Synth"), recorder = Name("Recorder");
    testsupport::JackPeer synthPeer({.in = synth}), recorderPeer({.in = recorder});
    Config("[Out1DeviceFlags]\r\n" + synth + ":in=1\r\n");
    const std::string own = testsupport::DriverClientName() + ":" + synth + "/in";
    {
        Editor editor(folder);
        ASSERT_TRUE(editor.FaderReaches(synthPeer));
        EXPECT_EQ(PortsOf(testsupport::DriverClientName()), std::vector<std::string>{own})
            << "one port, named after its peer";
        synthPeer.Clear();
    }
    // At exit every output switches the notes off once: 16 channels.
    synthPeer.WaitFor(16, 2s);
    std::this_thread::sleep_for(50ms);
    int notesOff = 0;
    for (const Message& m : synthPeer.Messages()) notesOff += m.size() == 3 && (m[0] & 0xF0) == 0xB0 && m[1] == 123;
    EXPECT_EQ(notesOff, 16);
    {
        Editor editor(folder);
        // Registered on the driver's thread, a moment after the start.
        ASSERT_TRUE(Editor::Until([&] {
            return PortsOf(testsupport::DriverClientName()) == std::vector<std::string>{own};
        })) << "the same name at the next start";
        // What a patchbay saved by name lands on the port of the same role.
        ASSERT_TRUE(testsupport::PatchPorts(own, recorder + ":in"));
        EXPECT_TRUE(editor.FaderReaches(recorderPeer));
    }
}

TEST_F(PortsJack, ASynthStartedAfterTheEditorIsOfferedAndTakesItsStoredRole) {
    MIDIKIT_IN_FRESH_PROCESS();
    const std::string late = Name("Late");
    Config("[Out1DeviceFlags]\r\n" + late + ":in=1\r\n[OutDeviceNames]\r\n" + late + ":in=My Synth\r\n");
    Editor editor(folder);
    const MidiRouting& r = editor.main.Routing;
    EXPECT_EQ(Find(r.OutDriverNames, late), -1);
    testsupport::JackPeer peer({.in = late});
    ASSERT_TRUE(Editor::Until([&] { return Find(r.OutDriverNames, late + ":in") >= 0; })) << "never offered";
    const int port = Find(r.OutDriverNames, late + ":in");
    EXPECT_EQ(r.OutNames[static_cast<size_t>(port)], "My Synth");
    EXPECT_TRUE(r.Out1DeviceFlags[static_cast<size_t>(port)]);
    EXPECT_EQ(editor.settings->MorvelantOut1Devices->topLevelItemCount(), r.NumOutDevs) << "the lists follow";
    EXPECT_TRUE(editor.FaderReaches(peer));
}

TEST_F(PortsJack, AServerThatStopsIsSaidOnceAndFadersReachThePeerWhenItReturns) {
    MIDIKIT_IN_FRESH_PROCESS();
    const std::string synth = Name("Synth");
    auto peer = std::make_unique<testsupport::JackPeer>(testsupport::JackPeer::Setup{.in = synth});
    Config("[Out1DeviceFlags]\r\n" + synth + ":in=1\r\n");
    Editor editor(folder);
    const MidiRouting& r = editor.main.Routing;
    ASSERT_TRUE(editor.FaderReaches(*peer));

    Script("stop");
    ASSERT_TRUE(Editor::Until([&] { return r.ServerGone && peer->Dead(); }));
    peer.reset();
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{MidiPortSet::kServerGoneText});
    EXPECT_EQ(r.OpenOutDevices, std::vector<std::string>{synth + ":in" + PortSettings::kAbsentMark});
    int logged = 0;
    Subscription log = editor.main.Notices().MonitorLine.Subscribe([&](int, const MidiEvent&, bool, int) { ++logged; });
    editor.MoveFader(64);
    EXPECT_EQ(logged, 0) << "sends to nowhere are not counted";

    Script("start");
    ASSERT_TRUE(Editor::Until([&] { return !r.ServerGone; }));
    peer = std::make_unique<testsupport::JackPeer>(testsupport::JackPeer::Setup{.in = synth});
    EXPECT_TRUE(editor.FaderReaches(*peer)) << "the role is connected again without a restart";
    EXPECT_EQ(dialogs.Messages().size(), 1u) << "said once";
    EXPECT_EQ(dialogs.closedMessages, std::vector<std::string>{MidiPortSet::kServerGoneText})
        << "the box closes when the server is back";
    log.Reset();
}

// One client with ports of the names given (inputs, else outputs that send
// nothing), registered in that order, as a bridge names the ports of one
// interface; it counts fader 1's controller per input port.
class TwinPorts {
public:
    TwinPorts(const std::string& client, const std::vector<std::string>& names, bool inputs = true) {
        client_ = testsupport::OpenTestClient(client);
        if (!client_) return;
        ports_.reserve(names.size());
        for (const std::string& n : names)
            ports_.push_back({n, jack_port_register(client_, n.c_str(), JACK_DEFAULT_MIDI_TYPE,
                                                    inputs ? JackPortIsInput : JackPortIsOutput, 0)});
        inputs_ = inputs;
        jack_set_process_callback(client_, &TwinPorts::Process, this);
        jack_activate(client_);
    }
    // As a program renames its port while it runs.
    bool Rename(const std::string& from, const std::string& to) {
        for (Port& p : ports_)
            if (p.name == from && jack_port_rename(client_, p.port, to.c_str()) == 0) {
                p.name = to;
                return true;
            }
        return false;
    }
    // As a program replaces its port by one of another name: the server
    // gives the new port the number of the one that went. False when the
    // server gave it another (the case is not made).
    bool Replace(const std::string& from, const std::string& to) {
        for (Port& p : ports_) {
            if (p.name != from) continue;
            jack_deactivate(client_);  // the process callback reads the ports
            const jack_uuid_t was = jack_port_uuid(p.port);
            jack_port_unregister(client_, p.port);
            p.port = jack_port_register(client_, to.c_str(), JACK_DEFAULT_MIDI_TYPE,
                                        inputs_ ? JackPortIsInput : JackPortIsOutput, 0);
            p.name = to;
            jack_activate(client_);
            return p.port && jack_port_uuid(p.port) == was;
        }
        return false;
    }
    ~TwinPorts() {
        if (!client_) return;
        jack_deactivate(client_);
        jack_client_close(client_);
    }
    int Heard(const std::string& name) const {
        for (const Port& p : ports_)
            if (p.name == name) return p.heard.load();
        return -1;
    }

private:
    struct Port {
        Port(std::string n, jack_port_t* p) : name(std::move(n)), port(p) {}
        Port(Port&& o) noexcept : name(std::move(o.name)), port(o.port) {}
        std::string name;
        jack_port_t* port;
        std::atomic<int> heard{0};
    };
    static int Process(jack_nframes_t frames, void* arg) {
        for (Port& p : static_cast<TwinPorts*>(arg)->ports_) {
            void* buffer = jack_port_get_buffer(p.port, frames);
            if (!static_cast<TwinPorts*>(arg)->inputs_) jack_midi_clear_buffer(buffer);
            for (uint32_t i = 0; i < jack_midi_get_event_count(buffer); ++i) {
                jack_midi_event_t e;
                if (jack_midi_event_get(&e, buffer, i) == 0 && e.size == 3 && e.buffer[0] == 0xB0 && e.buffer[1] == 20)
                    ++p.heard;
            }
        }
        return 0;
    }
    jack_client_t* client_ = nullptr;
    bool inputs_ = true;
    std::vector<Port> ports_;
};

// The user gives "Out 1" the second of two ports whose names read alike for
// their first 31 bytes; when the interface registers its ports the other way
// round, the role stays with the port chosen, and both are listed apart.
TEST_F(PortsJack, ARoleKeepsThePortChosenWhateverOrderItsInterfaceRegistersItsPortsIn) {
    MIDIKIT_IN_FRESH_PROCESS();
    const std::string client = Name("a2j");
    const std::string one = "USB Midi 4i4o [24] (playback): USB Midi 4i4o MIDI 1";
    const std::string two = "USB Midi 4i4o [24] (playback): USB Midi 4i4o MIDI 2";
    for (bool reversed : {false, true}) {
        SCOPED_TRACE(reversed ? "registered the other way round" : "first start");
        TwinPorts peer(client, reversed ? std::vector<std::string>{two, one} : std::vector<std::string>{one, two});
        Editor editor(folder);
        const MidiRouting& r = editor.main.Routing;
        // Listed at the start, or as the server tells of them: a loaded
        // server can tell a new client of another's ports a moment late.
        int port = -1;
        ASSERT_TRUE(Editor::Until([&] {
            return (port = Find(r.OutDriverNames, client + ":" + two)) >= 0 && Find(r.OutNames, client + ":" + one) >= 0;
        })) << "the lists tell the two apart";
        if (!reversed) {
            editor.settings->Show();
            editor.settings->PageControl1->setCurrentWidget(editor.settings->TabSheet2);
            QApplication::processEvents();
            const QRect rc = TMidiSettingsForm::StatePictureRect(editor.settings->MorvelantOut1Devices, port);
            QMouseEvent press(QEvent::MouseButtonPress, QPointF(rc.center()), QPointF(rc.center()), Qt::LeftButton,
                              Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(editor.settings->MorvelantOut1Devices->viewport(), &press);
        }
        ASSERT_TRUE(r.Out1DeviceFlags[static_cast<size_t>(port)]);
        for (int v = 1; v < 400 && peer.Heard(two) == 0; ++v) {
            editor.MoveFader(v % 100 + 1);
            Editor::Until([&] { return peer.Heard(two) > 0; }, 20ms);
        }
        EXPECT_GT(peer.Heard(two), 0) << "the fader reaches the port chosen";
        EXPECT_EQ(peer.Heard(one), 0) << "and not the other";
    }
}

// Moves fader 1 until the port of the peer hears it.
bool FaderReachesPort(Editor& editor, TwinPorts& peer, const std::string& port) {
    for (int v = 1; v < 400 && peer.Heard(port) <= 0; ++v) {
        editor.MoveFader(v % 100 + 1);
        Editor::Until([&] { return peer.Heard(port) > 0; }, 20ms);
    }
    return peer.Heard(port) > 0;
}

// The device port chosen comes back together with a port listed after it:
// it is the device port again, and stays the stored choice.
TEST_F(PortsJack, AStoredDevicePortThatReturnsWithAnotherPortStaysChosen) {
    MIDIKIT_IN_FRESH_PROCESS();
    const std::string t1 = Name("t1");
    Config("[Morvelant Devices]\r\nMorvelantPCDevice=" + t1 + ":out\r\n");
    {
        Editor editor(folder);
        const MidiRouting& r = editor.main.Routing;
        TwinPorts peer(t1, {"out", "zz"}, false);
        ASSERT_TRUE(Editor::Until([&] { return Find(r.InDriverNames, t1 + ":zz") >= 0; }));
        EXPECT_EQ(r.DeviceInPort(), Find(r.InDriverNames, t1 + ":out"));
        EXPECT_EQ(editor.settings->MorvelantPCDevice->currentText().toStdString(), t1 + ":out");
    }
    EXPECT_NE(ConfigText().find("MorvelantPCDevice=" + t1 + ":out\r\n"), std::string::npos);
}

// A connection undone in a patchbay stays undone while other ports come;
// the port is connected again when its peer's port comes again.
TEST_F(PortsJack, APatchbayDisconnectionStaysUntilThePeerPortComesAgain) {
    MIDIKIT_IN_FRESH_PROCESS();
    const std::string synth = Name("Synth"), other = Name("Other");
    auto peer = std::make_unique<testsupport::JackPeer>(testsupport::JackPeer::Setup{.in = synth});
    Config("[Out1DeviceFlags]\r\n" + synth + ":in=1\r\n");
    Editor editor(folder);
    const MidiRouting& r = editor.main.Routing;
    ASSERT_TRUE(editor.FaderReaches(*peer));
    const std::string own = testsupport::DriverClientName() + ":" + synth + "/in";
    ASSERT_TRUE(testsupport::UnpatchPorts(own, synth + ":in"));
    testsupport::JackPeer otherPeer({.in = other});
    ASSERT_TRUE(Editor::Until([&] { return Find(r.OutDriverNames, other + ":in") >= 0; }));
    // The backend reads the port lists once more a while after a change
    // (up to 100 ms for the graph to settle, then 250 ms later), and that
    // second look says nothing when it finds nothing new: the connection
    // stays undone well past it, with room for a slow machine (a
    // reconnection would stay).
    Editor::Until([] { return false; }, 1500ms);
    EXPECT_FALSE(testsupport::PortsConnected(own, synth + ":in")) << "the user's disconnection is undone";
    peer.reset();
    peer = std::make_unique<testsupport::JackPeer>(testsupport::JackPeer::Setup{.in = synth});
    EXPECT_TRUE(editor.FaderReaches(*peer)) << "a port that comes again is connected";
}

// A peer renames its port: the same row shows the new name, keeps its role
// and the faders still reach the port. Then it replaces that port by one of
// another name, which the server gives the same number: the new port takes
// a row of its own, without a role, and the row waits, absent, with its role.
TEST_F(PortsJack, ARenamedPeerPortKeepsItsRowAndRoleAReplacedOneLeavesThem) {
    MIDIKIT_IN_FRESH_PROCESS();
    const std::string client = Name("Ren");
    TwinPorts peer(client, {"in"});
    Config("[Out1DeviceFlags]\r\n" + client + ":in=1\r\n");
    Editor editor(folder);
    const MidiRouting& r = editor.main.Routing;
    const int port = Find(r.OutDriverNames, client + ":in");
    ASSERT_GE(port, 0);
    // The peer's rows (another client of the server may come and go
    // meanwhile: its rows tell nothing of the rename).
    const auto peerRows = [&] {
        int rows = 0;
        for (int i = 0; i < r.NumOutDevs; ++i) rows += r.OutDriverNames[size_t(i)].rfind(client + ":", 0) == 0;
        return rows;
    };
    ASSERT_EQ(peerRows(), 1);
    ASSERT_TRUE(peer.Rename("in", "renamed"));
    ASSERT_TRUE(Editor::Until([&] { return r.OutDriverNames[size_t(port)] == client + ":renamed"; }))
        << "the row does not follow the rename";
    EXPECT_EQ(peerRows(), 1) << "the renamed port took a row of its own";
    EXPECT_TRUE(r.Out1DeviceFlags[size_t(port)]);
    EXPECT_FALSE(r.OutAbsent[size_t(port)]);
    EXPECT_EQ(editor.settings->MorvelantOut1Devices->topLevelItem(port)->text(0).toStdString(), client + ":renamed");
    EXPECT_TRUE(FaderReachesPort(editor, peer, "renamed"));

    ASSERT_TRUE(peer.Replace("renamed", "other")) << "the server gave the new port a number of its own";
    ASSERT_TRUE(Editor::Until([&] { return Find(r.OutDriverNames, client + ":other") >= 0; }))
        << "the new port is never listed under its name";
    const int other = Find(r.OutDriverNames, client + ":other");
    EXPECT_NE(other, port);
    EXPECT_EQ(r.OutDriverNames[size_t(port)], client + ":renamed");
    EXPECT_TRUE(Editor::Until([&] { return r.OutAbsent[size_t(port)]; }));
    EXPECT_TRUE(r.Out1DeviceFlags[size_t(port)]);
    EXPECT_FALSE(r.Out1DeviceFlags[size_t(other)]);
}

// With the lists full, a port that went gives its place to one that comes;
// the place of a port with a role is kept for it, and the user is told once
// that ports are left out.
TEST_F(PortsJack, APortThatGoesMakesRoomForOneThatComesWhenTheListsAreFull) {
    MIDIKIT_IN_FRESH_PROCESS();
    const std::string big = Name("Big"), late = Name("Late");
    std::vector<std::string> names;
    for (int k = 0; k < 64; ++k) names.push_back("p" + std::to_string(100 + k));
    auto many = std::make_unique<TwinPorts>(big, names);
    Config("[Out1DeviceFlags]\r\n" + big + ":p100=1\r\n");
    Editor editor(folder);
    const MidiRouting& r = editor.main.Routing;
    EXPECT_EQ(r.NumOutDevs, kMaxPorts);
    const int chosen = Find(r.OutDriverNames, big + ":p100");
    ASSERT_GE(chosen, 0);
    ASSERT_TRUE(Editor::Until([&] { return !dialogs.Messages().empty(); }));
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{MidiPortSet::kPortsLeftOutText});
    many.reset();
    ASSERT_TRUE(Editor::Until([&] { return r.OutAbsent[size_t(chosen)]; }));
    testsupport::JackPeer latePeer({.in = late});
    ASSERT_TRUE(Editor::Until([&] { return Find(r.OutDriverNames, late + ":in") >= 0; })) << "the newcomer is not listed";
    const int port = Find(r.OutDriverNames, late + ":in");
    EXPECT_NE(port, chosen) << "the place of the port with a role is kept";
    EXPECT_TRUE(r.Out1DeviceFlags[size_t(chosen)]);
    EXPECT_FALSE(r.Out1DeviceFlags[size_t(port)]);
    EXPECT_EQ(r.NumOutDevs, kMaxPorts);
    EXPECT_EQ(editor.settings->MorvelantOut1Devices->topLevelItem(port)->text(0).toStdString(), late + ":in");
    EXPECT_EQ(dialogs.Messages().size(), 1u) << "said once";
}

// No server at start: said once, the settings window names the system and
// says it, and a server that starts later is taken with the stored role.
TEST_F(PortsJack, AStartWithoutAServerIsSaidOnceAndTheServerIsTakenWhenItStarts) {
    MIDIKIT_IN_FRESH_PROCESS();
    const std::string synth = Name("Late");
    Config("[Out1DeviceFlags]\r\n" + synth + ":in=1\r\n");
    Script("stop");
    Editor editor(folder);
    const MidiRouting& r = editor.main.Routing;
    ASSERT_TRUE(Editor::Until([&] { return !dialogs.Messages().empty(); }));
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{MidiPortSet::kNoServerText});
    EXPECT_EQ(editor.settings->MidiSystemLabel->text().toStdString(), "MIDI system: JACK (no server running)");

    Script("start");
    auto peer = std::make_unique<testsupport::JackPeer>(testsupport::JackPeer::Setup{.in = synth});
    ASSERT_TRUE(Editor::Until([&] { return !r.ServerGone && r.NumOutDevs > 0; }));
    EXPECT_TRUE(editor.FaderReaches(*peer)) << "the stored role is connected without a restart";
    EXPECT_EQ(editor.settings->MidiSystemLabel->text().toStdString(), "MIDI system: JACK");
    EXPECT_EQ(dialogs.Messages().size(), 1u) << "said once";
}

TEST_F(PortsJack, AStartWithoutAServerKeepsThePortChoicesInTheirOrder) {
    MIDIKIT_IN_FRESH_PROCESS();
    const std::string stored =
        "[Midi Settings Form]\r\nTop=130\r\nLeft=135\r\nWidth=489\r\nHeight=327\r\nPreset Delay=3000\r\n"
        "Pattern Delay=2000\r\n[Morvelant Devices]\r\nMorvelantPCDevice=Synth:out\r\nPCMorvelantDevice=Synth:in\r\n"
        "[In1DeviceFlags]\r\nSynth:out=1\r\n[Out1DeviceFlags]\r\nSynth:in=1\r\n[Out2DeviceFlags]\r\nOther:in=0\r\n"
        "[InDeviceNames]\r\nSynth:out=Keys\r\n[OutDeviceNames]\r\nSynth:in=Sound\r\n"
        "[ThruFlags]\r\nThruBox=0\r\nSysexThruBox=0\r\nRealtimeThruBox=0\r\n";
    Config(stored);
    Script("stop");
    {
        Editor editor(folder);
        EXPECT_EQ(editor.main.Routing.NumOutDevs, 0);
        EXPECT_EQ(editor.main.Routing.DeviceOutPort(), -1);
    }
    // Every choice as it was; a port that was only seen (no role, its own
    // name as alias) leaves the file with its last entry. The virtual device
    // window adds its own sections after them.
    std::string kept = stored;
    const std::string seenOnly = "[Out2DeviceFlags]\r\nOther:in=0\r\n";
    kept.erase(kept.find(seenOnly), seenOnly.size());
    EXPECT_EQ(ConfigText().substr(0, kept.size()), kept);
}

}  // namespace
}  // namespace morvelant::settingstest
