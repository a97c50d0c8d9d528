// The port settings when ports come while the editor runs: a port that was
// not there at the start takes what the configuration file keeps for it,
// and the other ports keep their numbers; and what the file keeps.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "engine/PortSettings.h"
#include "platform/IniFile.h"

namespace morvelant {
namespace {

class PortSettingsGrow : public ::testing::Test {
protected:
    void SetUp() override {
        file = "/tmp/port-settings-" + std::to_string(::getpid()) + ".cfg";
        std::ofstream(file, std::ios::binary)
            << "[Morvelant Devices]\r\nMorvelantPCDevice=Late In\r\nPCMorvelantDevice=no device\r\n"
               "[In2DeviceFlags]\r\nLate In=1\r\n[Out1DeviceFlags]\r\nLate Out=1\r\nFirst Out=0\r\n"
               "[OutDeviceNames]\r\nLate Out=Drums\r\n";
        ports.SetPorts({"First In"}, {"First Out"});
        ports.ReadPortConfig(TIniFile(file));
    }
    void TearDown() override { std::remove(file.c_str()); }

    std::string file;
    MidiRouting routing;
    PortSettings ports{routing};
};

TEST_F(PortSettingsGrow, APortThatAppearsTakesItsStoredChoices) {
    EXPECT_EQ(ports.DeviceInIndex(), 1) << "no port for the device until it comes";
    ASSERT_TRUE(ports.AddPorts({"First In", "Late In"}, {"First Out", "Late Out"}));
    EXPECT_FALSE(ports.AddPorts({"First In", "Late In"}, {"First Out", "Late Out"})) << "nothing new";
    struct Case {
        PortRole role;
        int port;
        bool on;
    };
    for (const Case& c : {Case{PortRole::In1, 1, false}, Case{PortRole::In2, 1, true}, Case{PortRole::In2, 0, false},
                          Case{PortRole::Out1, 1, true}, Case{PortRole::Out1, 0, false}})
        EXPECT_EQ(ports.Flags(c.role)[size_t(c.port)], c.on) << RoleSection(c.role) << " " << c.port;
    EXPECT_EQ(routing.OutNames, (std::vector<std::string>{"First Out", "Drums", "no device"}));
    EXPECT_EQ(routing.InDriverNames, (std::vector<std::string>{"First In", "Late In", "no device"}));
    EXPECT_EQ(ports.DeviceInIndex(), 1) << "the stored device port, now there";
    EXPECT_EQ(ports.DeviceOutIndex(), 2) << "\"no device\" stays no device";
    EXPECT_TRUE(ports.InputNeeded(1));

    // What they took is theirs now: written once, with the present values.
    TIniFile ini(file);
    ASSERT_TRUE(ports.WritePortConfig(ini));
    EXPECT_EQ(ini.ReadSection("Out1DeviceFlags"), (std::vector<std::string>{"Late Out"})) << "only what holds a role";
    EXPECT_EQ(ini.ReadString("Morvelant Devices", "MorvelantPCDevice", ""), "Late In");
    EXPECT_EQ(ini.ReadString("OutDeviceNames", "Late Out", ""), "Drums");
}

TEST_F(PortSettingsGrow, AChoiceMadeMeanwhileReplacesTheStoredDevicePort) {
    ports.SetDeviceInPort(0);
    ports.AddPorts({"First In", "Late In"}, {"First Out"});
    EXPECT_EQ(ports.DeviceInIndex(), 0);
    TIniFile ini(file);
    ASSERT_TRUE(ports.WritePortConfig(ini));
    EXPECT_EQ(ini.ReadString("Morvelant Devices", "MorvelantPCDevice", ""), "First In");
}

// The stored device port comes back with ports listed after it, in one go.
TEST_F(PortSettingsGrow, AStoredDevicePortComingWithLaterPortsStaysChosen) {
    ASSERT_TRUE(ports.AddPorts({"First In", "Late In", "Later In", "Last In"}, {"First Out"}));
    EXPECT_EQ(ports.DeviceInIndex(), 1);
    TIniFile ini(file);
    ASSERT_TRUE(ports.WritePortConfig(ini));
    EXPECT_EQ(ini.ReadString("Morvelant Devices", "MorvelantPCDevice", ""), "Late In");
}

// What the file keeps: the user's choices, in the order stored; a port that
// was only seen (no role, its own name as alias) goes with its entries; a
// port stored under another of its names (an alias) takes its entries, and
// they are written under both names: the stored one stays for the port that
// had it.
TEST(PortSettingsFile, ChoicesStayInTheirOrderAndWhatWasOnlySeenGoes) {
    const std::string file = "/tmp/port-settings-order-" + std::to_string(::getpid()) + ".cfg";
    std::ofstream(file, std::ios::binary)
        << "[Out1DeviceFlags]\r\nGone Synth=1\r\nDump:in=0\r\nalsa_pcm:USB/midi_playback_2=1\r\nFirst Out=0\r\n"
           "[OutDeviceNames]\r\nDump:in=Dump:in\r\nGone Synth=Drums\r\nalsa_pcm:USB/midi_playback_2=Keys\r\n";
    MidiRouting routing;
    PortSettings ports{routing};
    const std::string whole = "a2j:USB Midi 4i4o [24] (playback): USB Midi 4i4o MIDI 2";
    ports.SetPorts({}, {"First Out", whole}, {}, {{}, {"alsa_pcm:USB/midi_playback_2"}});
    TIniFile ini(file);
    ports.ReadPortConfig(ini);
    EXPECT_TRUE(routing.Out1DeviceFlags[1]);
    EXPECT_EQ(routing.OutNames[1], "Keys");
    EXPECT_EQ(routing.OutNames[0], "First Out");
    ASSERT_TRUE(ports.WritePortConfig(ini));
    using Keys = std::vector<std::string>;
    const std::string stored = "alsa_pcm:USB/midi_playback_2";
    EXPECT_EQ(ini.ReadSection("Out1DeviceFlags"), (Keys{"Gone Synth", stored, whole}));
    EXPECT_EQ(ini.ReadSection("OutDeviceNames"), (Keys{"Gone Synth", stored, whole}));
    EXPECT_EQ(ini.ReadString("OutDeviceNames", whole, ""), "Keys");
    EXPECT_EQ(ini.ReadString("Out1DeviceFlags", stored, ""), "1");
    std::remove(file.c_str());
}

// A name stored as its own alias was never the user's: an alias-matched port
// shows its own name, and nothing of it is written.
TEST(PortSettingsFile, AnAliasMatchedPortShowsItsOwnName) {
    const std::string file = "/tmp/port-settings-own-" + std::to_string(::getpid()) + ".cfg";
    std::ofstream(file, std::ios::binary) << "[OutDeviceNames]\r\nlp:MIDI B=lp:MIDI B\r\nseen:in=seen:in\r\n";
    MidiRouting routing;
    PortSettings ports{routing};
    ports.SetPorts({}, {"al:renamed port", "seen:in"}, {}, {{"lp:MIDI B"}, {}});
    TIniFile ini(file);
    ports.ReadPortConfig(ini);
    EXPECT_EQ(routing.OutNames, (std::vector<std::string>{"al:renamed port", "seen:in", "no device"}));
    ASSERT_TRUE(ports.WritePortConfig(ini));
    EXPECT_TRUE(ini.ReadSection("OutDeviceNames").empty());
    for (PortRole role : kAllRoles) EXPECT_TRUE(ini.ReadSection(RoleSection(role)).empty()) << RoleSection(role);
    std::remove(file.c_str());
}

}  // namespace
}  // namespace morvelant
