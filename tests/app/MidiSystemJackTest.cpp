// The started editor with no backend asked for: a running JACK server is
// taken (before the ALSA sequencer), and the MIDI settings window says so;
// what it keeps of the ports in its configuration; and a device port that
// keeps sending damaged dumps.
#include <gtest/gtest.h>

#include <jack/jack.h>
#include <unistd.h>

#include <QAction>
#include <QLabel>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <span>

#include "app/EditorWindowSet.h"
#include "engine/MidiInDeviceUnit.h"
#include "presets/vellixaImport.h"
#include "platform/IniFile.h"

#include "shell/MainMenu.h"
#include "shell/MidiSettings.h"
#include "tests/support/DriverProcess.h"
#include "tests/support/JackPeer.h"
#include "tests/support/JackServer.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/StartedEditor.h"

namespace morvelant {
namespace {

TEST(MidiSystemJack, ARunningServerIsTakenAndNamedInTheMidiSettings) {
    if (!testsupport::JackReachable())
        GTEST_SKIP() << "JACK server '" << testsupport::JackTestServerName() << "' not reachable";
    MIDIKIT_IN_FRESH_PROCESS();
    testsupport::StartedEditor editor;
    ::unsetenv("MIDIKIT_BACKEND");
    editor.Start();
    ASSERT_NE(MidiSettingsForm, nullptr);
    EXPECT_EQ(MidiSettingsForm->MidiSystemLabel->text().toStdString(), "MIDI system: JACK");
    EXPECT_TRUE(editor.Dialogs.Messages().empty()) << "nothing to say while a server runs";
}

// A port found by the name the user chose a role for, as its alias, shows
// its own name; at exit the stored name stays beside the port's own, and
// ports merely seen leave nothing in the file.
TEST(MidiSystemJack, TheFileKeepsWhatTheUserChoseAndNothingMerelySeen) {
    if (!testsupport::JackReachable())
        GTEST_SKIP() << "JACK server '" << testsupport::JackTestServerName() << "' not reachable";
    MIDIKIT_IN_FRESH_PROCESS();
    const std::string pid = std::to_string(::getpid()), stored = "lp" + pid + ":MIDI B";
    const std::string own = "al" + pid + ":renamed port";
    jack_client_t* peer = testsupport::OpenTestClient("al" + pid);
    ASSERT_NE(peer, nullptr);
    jack_port_t* port = jack_port_register(peer, "renamed port", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    ASSERT_EQ(jack_port_set_alias(port, stored.c_str()), 0);
    jack_client_t* seen = testsupport::OpenTestClient("seen" + pid);
    ASSERT_NE(seen, nullptr);
    jack_port_register(seen, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    testsupport::StartedEditor editor;
    std::ofstream(editor.Folder() + "Morvelant.cfg", std::ios::binary)
        << "[Out1DeviceFlags]\r\n" << stored << "=1\r\n[OutDeviceNames]\r\n" << stored << "=" << stored << "\r\n";
    ::setenv("MIDIKIT_BACKEND", "jack", 1);
    editor.Start();
    ASSERT_NE(MidiSettingsForm, nullptr);
    const MidiRouting& r = MidiSettingsForm->Routing;
    int found = -1;
    for (int i = 0; i < r.NumOutDevs; ++i)
        if (r.OutDriverNames[size_t(i)] == own) found = i;
    ASSERT_GE(found, 0);
    EXPECT_TRUE(r.Out1DeviceFlags[size_t(found)]);
    EXPECT_EQ(r.OutNames[size_t(found)], own) << "its own name, not the one it was found by";
    editor.Stop();
    jack_client_close(seen);
    jack_client_close(peer);
    TIniFile ini(editor.Folder() + "Morvelant.cfg");
    EXPECT_EQ(ini.ReadSection("Out1DeviceFlags"), (std::vector<std::string>{stored, own}));
    EXPECT_TRUE(ini.ReadSection("OutDeviceNames").empty());
    for (const char* section : {"In1DeviceFlags", "In2DeviceFlags", "ThruInDeviceFlags", "Out2DeviceFlags",
                                "ThruDeviceFlags", "InDeviceNames"})
        EXPECT_TRUE(ini.ReadSection(section).empty()) << section;
}

// A device port that keeps sending damaged dumps (a wrong routing): after
// OK the user has a few seconds to reach the MIDI settings, without a box;
// then one box says how many came meanwhile.
TEST(MidiSystemJack, DamagedDumpsThatKeepComingAreSaidOncePerBurst) {
    if (!testsupport::JackReachable())
        GTEST_SKIP() << "JACK server '" << testsupport::JackTestServerName() << "' not reachable";
    MIDIKIT_IN_FRESH_PROCESS();
    const std::string dev = "dev" + std::to_string(::getpid());
    testsupport::JackPeer peer({.out = dev});
    testsupport::StartedEditor editor;
    std::ofstream(editor.Folder() + "Morvelant.cfg")
        << "[Morvelant Devices]\r\nMorvelantPCDevice=" << dev << ":out\r\n";
    ::setenv("MIDIKIT_BACKEND", "jack", 1);
    editor.Start();
    // The user's few seconds last as long as the test needs.
    auto* quiet = MidiDeviceForm->findChild<QTimer*>("DamagedDumpsQuietTime");
    if (quiet != nullptr) quiet->setInterval(std::chrono::hours(1));
    Notifications& notices = editor.Windows().Context().Notices;
    int heard = 0, refused = 0;
    const Subscription lines = notices.MonitorLine.Subscribe([&](int, const MidiEvent&, bool in, int) { heard += in; });
    const Subscription notes =
        notices.MonitorNote.Subscribe([&](const std::string&, const std::string&) { ++refused; });
    const auto boxes = [&] {
        std::vector<std::string> said;
        for (const std::string& m : editor.Dialogs.Messages())
            if (m.find("damaged dump") != std::string::npos) said.push_back(m);
        return said;
    };
    // A new connection takes effect some cycles later: clocks until the editor hears one.
    ASSERT_TRUE(testsupport::PumpUntil([&] { return peer.Send({0xF8}), testsupport::PumpFor(20), heard > 0; }, 10000));
    const testsupport::MidiBytes cut = {0xF0, 0x00, 0x4D, 0x56, 0x12, 0x00, 0x20, 0x01, 7, 0xF7};
    peer.Send(cut);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return boxes().size() == 1; }));
    EXPECT_EQ(boxes()[0],
              "A damaged dump from the Morvelant was not loaded: pattern dump for pattern 8 (10 of 1034 bytes).");
    // Right after OK: the next four are only counted.
    for (int i = 0; i < 4; ++i) peer.Send(cut);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return refused == 5; })) << refused;
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    EXPECT_EQ(boxes().size(), 1u) << ::testing::PrintToString(boxes());
    ASSERT_NE(quiet, nullptr);
    quiet->setInterval(0);  // the few seconds are over
    ASSERT_TRUE(testsupport::PumpUntil([&] { return boxes().size() >= 2; }));
    EXPECT_EQ(boxes(),
              (std::vector<std::string>{boxes()[0],
                                        "4 more damaged dumps from the Morvelant came in since that message "
                                        "was shown and were not loaded. The first: pattern dump for pattern 8 "
                                        "(10 of 1034 bytes)."}));
}

// Message boxes answered by the test, each held open, as a user leaves it
// for a while, until `whileOpen` has run: its event loop delivers what
// arrives meanwhile, as a real box's loop does.
class HeldBoxes : public ScriptedDialogs {
public:
    std::function<void(const std::string&)> whileOpen;
    int open = 0, mostOpen = 0;
    MessageResult MessageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                             MessageIcon icon) override {
        mostOpen = std::max(mostOpen, ++open);
        if (whileOpen) whileOpen(text);
        --open;
        return ScriptedDialogs::MessageBox(text, caption, buttons, icon);
    }
};

// The editor hears a peer on its device port (started with `editor`).
struct DevicePeer {
    explicit DevicePeer(testsupport::StartedEditor& editor)
        : name("dev" + std::to_string(::getpid())), peer({.out = name}) {
        std::ofstream(editor.Folder() + "Morvelant.cfg")
            << "[Morvelant Devices]\r\nMorvelantPCDevice=" << name << ":out\r\n";
        ::setenv("MIDIKIT_BACKEND", "jack", 1);
    }
    // Clocks until the editor hears one: a new connection takes effect some cycles later.
    bool Heard(Notifications& notices) {
        int heard = 0;
        const Subscription lines =
            notices.MonitorLine.Subscribe([&](int, const MidiEvent&, bool in, int) { heard += in; });
        return testsupport::PumpUntil([&] { return peer.Send({0xF8}), testsupport::PumpFor(20), heard > 0; }, 10000);
    }
    std::string name;
    testsupport::JackPeer peer;
};

// A damaged dump's box is up when the peer overruns the receive buffer: the
// overrun's box waits for it to close; two boxes are never up at once.
TEST(MidiSystemJack, TheBoxesAPeerRaisesOpenOneAtATime) {
    if (!testsupport::JackReachable())
        GTEST_SKIP() << "JACK server '" << testsupport::JackTestServerName() << "' not reachable";
    MIDIKIT_IN_FRESH_PROCESS();
    testsupport::StartedEditor editor;
    DevicePeer device(editor);
    editor.Start();
    HeldBoxes boxes;
    const ScopedDialogs answered(boxes);
    Notifications& notices = editor.Windows().Context().Notices;
    ASSERT_TRUE(device.Heard(notices));
    int sysexBytes = 0;
    const Subscription lines = notices.MonitorLine.Subscribe(
        [&](int, const MidiEvent& e, bool in, int) { sysexBytes += in && e.status == 0xF0; });
    testsupport::MidiBytes overrun(TMidiDeviceForm::kReceiveBufferSize + 10, 0x01);
    overrun.front() = 0xF0;
    overrun.back() = 0xF7;
    boxes.whileOpen = [&](const std::string& text) {
        if (text.find("damaged dump") == std::string::npos) return;
        sysexBytes = 0;
        device.peer.SendPaced(overrun);
        EXPECT_TRUE(testsupport::PumpUntil([&] { return sysexBytes >= int(overrun.size()); }, 20000)) << sysexBytes;
        testsupport::PumpFor(50);
    };
    device.peer.Send({0xF0, 0x00, 0x4D, 0x56, 0x12, 0x00, 0x20, 0x01, 7, 0xF7});
    ASSERT_TRUE(testsupport::PumpUntil([&] { return boxes.Messages().size() == 2; }, 20000))
        << ::testing::PrintToString(boxes.Messages());
    EXPECT_EQ(boxes.mostOpen, 1);
    EXPECT_NE(boxes.Messages()[0].find("damaged dump"), std::string::npos);
    EXPECT_EQ(boxes.Messages()[1], "Midi Buffer Overrun");
}

// Knob presets that the peer sends in a burst: the import dialog opens for
// the first; after each dialog the next waits a quiet time in which none is
// up and the user reaches the MIDI settings; at most 8 wait, and the rest
// are said once to be left out.
TEST(MidiSystemJack, KnobPresetsFromAPeerWaitBoundedWithRoomBetweenTheirDialogs) {
    if (!testsupport::JackReachable())
        GTEST_SKIP() << "JACK server '" << testsupport::JackTestServerName() << "' not reachable";
    MIDIKIT_IN_FRESH_PROCESS();
    testsupport::StartedEditor editor;
    DevicePeer device(editor);
    editor.Start();
    Notifications& notices = editor.Windows().Context().Notices;
    ASSERT_TRUE(device.Heard(notices));
    auto* quiet = vellixaImportForm->findChild<QTimer*>("KnobPresetQuietTime");
    ASSERT_NE(quiet, nullptr);
    int arrived = 0, dialogs = 0;
    const Subscription knobs =
        notices.ImportVellixaPreset.Subscribe([&](int, std::span<const MidiEvent>) { ++arrived; });
    const auto preset = [](int slot) {
        testsupport::MidiBytes b = {0xF0, 0x00, 0x4D, 0x56, 0x14, 0x00, 0x20, uint8_t(slot), 0x00};
        for (int i = 0; i < 48; ++i) b.push_back(uint8_t(i < 16 ? 1 : i < 32 ? 0 : 20));
        b.push_back(0xF7);
        return b;
    };
    QTimer user;  // closes each dialog once it is up, as the user does
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (!vellixaImportForm->Modal()) return;
        ++dialogs;
        quiet->setInterval(std::chrono::hours(1));  // the user's few seconds last as long as the test needs
        vellixaImportForm->CloseButtonClick();
    });
    user.start(0);
    const auto dropped = [&] {
        int said = 0;
        for (const std::string& m : editor.Dialogs.Messages())
            said += m == "3 knob presets from the device port came while 8 others waited for the import and were "
                         "not imported.";
        return said;
    };
    for (int slot = 20; slot < 32; ++slot) device.peer.Send(preset(slot));
    ASSERT_TRUE(testsupport::PumpUntil([&] { return arrived == 12 && quiet->isActive(); }, 20000)) << arrived;
    testsupport::PumpFor(100);
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(editor.Model().SelectedPreset, 20);
    QAction* settings = MainMenuForm->findChild<QAction*>("MainMenuMidiDeviceSettings");
    ASSERT_NE(settings, nullptr);
    settings->trigger();
    EXPECT_TRUE(MidiSettingsForm->isVisible());
    for (int next = 2; next <= 9; ++next) {
        quiet->setInterval(0);  // the few seconds are over
        ASSERT_TRUE(testsupport::PumpUntil([&] { return dialogs == next && !vellixaImportForm->Modal(); })) << next;
        EXPECT_TRUE(quiet->isActive()) << next;  // none comes at once after a dialog
    }
    testsupport::PumpFor(100);
    EXPECT_EQ(dialogs, 9);
    EXPECT_EQ(dropped(), 1);
    EXPECT_EQ(editor.Model().SelectedPreset, 28);
}

}  // namespace
}  // namespace morvelant
