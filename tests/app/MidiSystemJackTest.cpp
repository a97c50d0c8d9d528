// The started editor with no backend asked for: a running JACK server is
// taken (before the ALSA sequencer), and the MIDI settings window says so;
// and what it keeps of the ports in its configuration.
#include <gtest/gtest.h>

#include <jack/jack.h>
#include <unistd.h>

#include <QLabel>

#include <cstdlib>
#include <fstream>

#include "platform/IniFile.h"

#include "shell/MidiSettings.h"
#include "tests/support/DriverProcess.h"
#include "tests/support/JackServer.h"
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
    jack_status_t status{};
    jack_client_t* peer = jack_client_open(("al" + pid).c_str(), JackNoStartServer, &status);
    ASSERT_NE(peer, nullptr);
    jack_port_t* port = jack_port_register(peer, "renamed port", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    ASSERT_EQ(jack_port_set_alias(port, stored.c_str()), 0);
    jack_client_t* seen = jack_client_open(("seen" + pid).c_str(), JackNoStartServer, &status);
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

}  // namespace
}  // namespace morvelant
