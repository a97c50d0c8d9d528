// The preset description: golden text of a factory preset, every event type
// and mode, and values from damaged files that must not break the columns.
#include <gtest/gtest.h>

#include <sstream>

#include "presets/Description.h"

namespace morvelant {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

struct DescriptionTest : ::testing::Test {
    DeviceModel model;
    Morvelant_Parameters& m = model.Presets[5];
    void SetUp() override {
        model.FactoryInitPreset(5);
        model.SelectedPreset = 5;
    }
    FaderDescription Describe(int f) {
        FaderDescription d;
        EXPECT_EQ(DescribeFader(model, 5, f, d), 7);
        return d;
    }
};

TEST_F(DescriptionTest, FactoryPresetGolden) {
    model.SetPresetDeviceName(5, "Live Set");
    m.SpecialKeyString[1] = "FA";
    const auto lines = Lines(DescribeAllFaderParameters(model));
    ASSERT_EQ(lines.size(), 1u + 84u + 1u + 1u + 6u);
    EXPECT_EQ(lines[0], "(Preset 6)   Live Set");
    for (int i = 1; i <= 84; ++i) EXPECT_EQ(lines[i].size(), 113u) << i;
    const std::vector<std::string> golden = {
        "------------------------------------------------------- | "
        "-------------------------------------------------------",
        "( 1) Fader001  (  0-127,  0,  8)    [        ,        ] | ( 2) Fader002  (  0-127,  0,  8)    [        ,      "
        "  ]",
        "Fader :Ch 1,CTRL,  0:Bank Select MSB          ,Sld      | Fader :Ch 1,CTRL,  1:Modulation               ,Sld  "
        "   ",
        "KeyOn :Ch 1,NOTE ON  ,Note:  0:  C -1,Velocity:Sld      | KeyOn :Ch 1,NOTE ON  ,Note:  1:  C#-1,Velocity:Sld  "
        "   ",
        "KeyOff:Ch 1,NOTE OFF ,Note:  0:  C -1,Velocity:Sld      | KeyOff:Ch 1,NOTE OFF ,Note:  1:  C#-1,Velocity:Sld  "
        "   ",
        "IMMEDIATE;Slider = Master ;mute off;threshold:  8       | IMMEDIATE;Slider = Master ;mute off;threshold:  8   "
        "   ",
        "Toggle & Mute ;mute:  0;demute:127;  FaderEvent>O12     | Toggle & Mute ;mute:  0;demute:127;  FaderEvent>O12 "
        "   ",
    };
    for (std::size_t i = 0; i < golden.size(); ++i) EXPECT_EQ(lines[1 + i], golden[i]) << i;
    EXPECT_EQ(lines[86], "    Special Keys:");
    EXPECT_EQ(lines[88], "Start   :FA");
    EXPECT_EQ(lines[92], ">>      :");
}

// Each row sets fields of fader 6 and expects one line of its description
// (without its trailing blanks; the widths are checked for every line).
struct Case {
    const char* what;
    void (*set)(Morvelant_Parameters&);
    int line;
    const char* expected;
};

const Case kCases[] = {
    {"a long name is cut", [](auto& m) { m.SliderName[6] = "Very long name"; }, 1,
     "( 7) Very lon  (  0-127,  0,  8)    [        ,        ]"},
    {"controller, live data 2",
     [](auto& m) { m.FaderStatus(6) = 0xB1, m.FaderMidiData1(6) = 7, m.FaderMidiData2(6) = 128; }, 2,
     "Fader :Ch 2,CTRL,  7:Volume                   ,Sld"},
    {"step note: track and step", [](auto& m) { m.FaderStatus(6) = 0x63, m.FaderMidiData1(6) = 10; }, 2,
     "Fader :STEP NOTE     :Track Number   3,Note Step  4"},
    {"poly aftertouch", [](auto& m) { m.FaderStatus(6) = 0xA9, m.FaderMidiData1(6) = 128, m.FaderMidiData2(6) = 5; }, 2,
     "Fader :Ch10,POLY AFT.,Note:Sld       ,Pressure:  5"},
    {"pitch bend", [](auto& m) { m.FaderStatus(6) = 0xE0, m.FaderMidiData1(6) = 0, m.FaderMidiData2(6) = 128; }, 2,
     "Fader :Ch 1,PITCH BEND,  0           ,Sld"},
    {"program and mono aftertouch", [](auto& m) { m.FaderStatus(6) = 0xC2, m.FaderMidiData1(6) = 12; }, 2,
     "Fader :Ch 3,PROGRAMCHANGE, 12"},
    {"event string", [](auto& m) { m.FaderStatus(6) = 0xF0, m.FaderString[6] = "F0 01 XX F7"; }, 2,
     "Fader :F0 01 XX F7"},
    {"extension", [](auto& m) { m.FaderStatus(6) = 0x00; }, 2, "Fader :EXTENSION"},
    {"key with a track code is blank", [](auto& m) { m.KeyOnStatus(6) = 0x20; }, 3, "KeyOn :"},
    {"key no status", [](auto& m) { m.KeyOffStatus(6) = 0x70; }, 4, "KeyOff:NO STATUS"},
    {"mono aftertouch key", [](auto& m) { m.KeyOffStatus(6) = 0xD4, m.KeyOffMidiData1(6) = 128; }, 4,
     "KeyOff:Ch 5,MONO AFT.,Pressure:Sld"},
    {"modes", [](auto& m) { m.ActiveMode(6) = 0x82, m.MasterSlaveMode(6) = 24, m.FaderOutMode(6) = 1; }, 5,
     "CATCH    ;Slave/Master:024;mute on ;threshold:  8"},
    {"mute live, hook flags hidden",
     [](auto& m) { m.MuteVal(6) = 128, m.SwitchMode(6) = 2, m.FaderMidiMode(6) = 0xC5; }, 6,
     "Momentary     ;mute:---;demute:127;  FaderEvent>O1"},
    {"input function", [](auto& m) { m.FaderMidiMode(6) = 63, m.SwitchMode(6) = 3; }, 6,
     "Toggle        ;mute:  0;demute:127;I2>Ovdup/Fad>O12"},
    // Values no table covers (damaged files and dumps) keep every column.
    {"bad pickup and master", [](auto& m) { m.ActiveMode(6) = 3, m.MasterSlaveMode(6) = 99, m.FaderOutMode(6) = 7; }, 5,
     "3        ;99              ;7       ;threshold:  8"},
    {"bad key mode", [](auto& m) { m.SwitchMode(6) = 9, m.MuteVal(6) = 500; }, 6,
     "9             ;mute:500;demute:127;  FaderEvent>O12"},
    {"data above the lists",
     [](auto& m) { m.FaderStatus(6) = 0x90, m.FaderMidiData1(6) = 200, m.FaderMidiData2(6) = 1000; }, 2,
     "Fader :Ch 1,NOTE ON  ,Note:200       ,Velocity:000"},
    {"controller above the list", [](auto& m) { m.FaderStatus(6) = 0xB0, m.FaderMidiData1(6) = -5; }, 2,
     "Fader :Ch 1,CTRL,-5                           ,Sld"},
};

TEST_F(DescriptionTest, EventTypesModesAndDamagedValues) {
    constexpr std::size_t kWidths[] = {55, 55, 53, 53, 53, 49, 51};
    for (const Case& c : kCases) {
        model.FactoryInitFader(5, 6);
        c.set(m);
        const FaderDescription d = Describe(6);
        const std::string& line = d[static_cast<std::size_t>(c.line)];
        EXPECT_EQ(line.substr(0, line.find_last_not_of(' ') + 1), c.expected) << c.what;
        for (std::size_t i = 0; i < d.size(); ++i) EXPECT_EQ(d[i].size(), kWidths[i]) << c.what << " line " << i;
    }
}

TEST_F(DescriptionTest, InvalidFaderGivesNothing) {
    FaderDescription d;
    EXPECT_EQ(DescribeFader(model, 5, 24, d), 0);
    EXPECT_EQ(DescribeFader(model, 128, 0, d), 0);
    EXPECT_TRUE(d[0].empty());
}

}  // namespace
}  // namespace morvelant
