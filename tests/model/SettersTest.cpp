#include <gtest/gtest.h>

#include <memory>

#include "model/DeviceModel.h"

using namespace morvelant;

namespace {

class Setters : public ::testing::Test {
protected:
    std::unique_ptr<DeviceModel> model = std::make_unique<DeviceModel>();
    DeviceModel& m = *model;
    Morvelant_Parameters& P(int p) { return m.Presets[p]; }
    void Mark(std::initializer_list<int> faders) {
        m.MultiCheckBoxChecked = true;
        m.MultiselectButtonDown.fill(false);
        for (int f : faders) m.MultiselectButtonDown[f] = true;
    }
};

}  // namespace

TEST_F(Setters, FaderValueIsClampedIntoEitherRange) {
    m.SetFaderMin(5, 2, 100);
    m.SetFaderMax(5, 2, 20);  // inverted
    m.SetFaderValue(5, 2, 10);
    EXPECT_EQ(P(5).FaderValue(2), 20);
    m.SetFaderValue(5, 2, 120);
    EXPECT_EQ(P(5).FaderValue(2), 100);
    m.SetFaderValue(5, 2, 50);
    EXPECT_EQ(P(5).FaderValue(2), 50);
    m.SetFaderMin(5, 2, 20);
    m.SetFaderMax(5, 2, 100);
    m.SetFaderValue(5, 2, 101);
    EXPECT_EQ(P(5).FaderValue(2), 100);
    m.SetFaderValue(5, 2, 19);
    EXPECT_EQ(P(5).FaderValue(2), 20);
    // Min and max alone do not re-clamp.
    m.SetFaderMin(5, 2, 60);
    EXPECT_EQ(P(5).FaderValue(2), 20);
    // The result is the current fader's value in the current preset.
    m.SelectedPreset = 5;
    m.SelectedFader = 2;
    EXPECT_EQ(m.SetFaderValue(5, 2, 90), 90);
    EXPECT_EQ(m.SetFaderValue(5, 3, 40), 90);
}

TEST_F(Setters, EventCodeAndChannelNibbles) {
    P(0).FaderStatus(0) = 0x93;
    m.SetFaderEvent(0, 0, 0xB0);
    EXPECT_EQ(P(0).FaderStatus(0), 0xB3);
    m.SetFaderEvent(0, 0, 0xF0);
    EXPECT_EQ(P(0).FaderStatus(0), 0xF0);
    m.SetFaderEvent(0, 0, 0xB0);
    EXPECT_EQ(P(0).FaderStatus(0), 0xB0);  // the string code dropped the channel

    for (int32_t word : {0x70, 0xF0, 0x00, 0x40}) {
        P(0).FaderStatus(1) = word;
        m.SetFaderMidiChannel(0, 1, 5);
        EXPECT_EQ(P(0).FaderStatus(1), word);
    }
    P(0).FaderStatus(1) = 0x62;
    m.SetFaderMidiChannel(0, 1, 5);
    EXPECT_EQ(P(0).FaderStatus(1), 0x65);
    P(0).FaderStatus(1) = 0xE0;
    m.SetFaderMidiChannel(0, 1, 15);
    EXPECT_EQ(P(0).FaderStatus(1), 0xEF);

    P(0).KeyOnStatus(1) = 0x62;
    m.SetKeyOnMidiChannel(0, 1, 5);
    EXPECT_EQ(P(0).KeyOnStatus(1), 0x62);  // keys take channels on 0x80..0xE0 only
    P(0).KeyOffStatus(1) = 0x80;
    m.SetKeyOffMidiChannel(0, 1, 9);
    EXPECT_EQ(P(0).KeyOffStatus(1), 0x89);
    m.SetKeyOffEvent(0, 1, 0x90);
    EXPECT_EQ(P(0).KeyOffStatus(1), 0x99);
}

TEST_F(Setters, MidiModeFlagsAndActiveMode) {
    P(0).FaderMidiMode(4) = 0xC9;
    m.SetFaderMidiMode(0, 4, 2);
    EXPECT_EQ(P(0).FaderMidiMode(4), 0xC2);
    m.SetFaderHookFlag(0, 4, false);
    EXPECT_EQ(P(0).FaderMidiMode(4), 0x42);
    m.SetFaderOverdupFlag(0, 4, false);
    EXPECT_EQ(P(0).FaderMidiMode(4), 0x02);
    m.SetFaderHookFlag(0, 4, true);
    EXPECT_EQ(P(0).FaderMidiMode(4), 0x82);
    m.SetFaderMode(0, 4, 2);
    EXPECT_EQ(P(0).ActiveMode(4), 0x82);
    m.SetFaderOutMode(0, 4, true);
    EXPECT_EQ(P(0).FaderOutMode(4), 1);
}

TEST_F(Setters, SwitchModeSetsLiveMute) {
    m.KeyStates[6].LampOn = true;
    m.SetSwitchMode(9, 6, 1);  // any preset: the live records are per fader
    EXPECT_FALSE(m.FaderStates[6].Muted);
    m.KeyStates[6].LampOn = false;
    m.SetSwitchMode(9, 6, 1);
    EXPECT_TRUE(m.FaderStates[6].Muted);
    m.SetSwitchMode(9, 6, 3);
    EXPECT_FALSE(m.FaderStates[6].Muted);
    m.SetSwitchMode(9, 6, 0);
    EXPECT_TRUE(m.FaderStates[6].Muted);
    m.SetSwitchMode(9, 6, 7);  // unknown mode: live flag stays
    EXPECT_TRUE(m.FaderStates[6].Muted);
    EXPECT_EQ(P(9).SwitchMode(6), 7);
}

TEST_F(Setters, MultiFaderTargetRule) {
    Mark({});
    m.SetFaderMidiData2(1, 0, 100);
    m.SetSliderName(1, 0, "x");
    for (int f = 0; f < 24; ++f) EXPECT_EQ(P(1).FaderMidiData2(f), 128);
    EXPECT_EQ(P(1).SliderName[0], "");

    Mark({2, 6});
    m.SetFaderMidiData2(1, 0, 100);
    for (int f = 0; f < 24; ++f) EXPECT_EQ(P(1).FaderMidiData2(f), (f == 2 || f == 6) ? 100 : 128) << f;

    // A change that depends on the old value uses each fader's own.
    P(1).FaderStatus(2) = 0x91;
    P(1).FaderStatus(6) = 0xB7;
    m.SetFaderEvent(1, 0, 0xC0);
    EXPECT_EQ(P(1).FaderStatus(2), 0xC1);
    EXPECT_EQ(P(1).FaderStatus(6), 0xC7);
}

TEST_F(Setters, EventStringsWithAndWithoutMultiEditing) {
    P(0).FaderStatus(3) = 0xB0;
    m.SetFaderString(0, 3, "F0 XX F7");  // single fader: stored whatever the event
    EXPECT_EQ(P(0).FaderString[3], "F0 XX F7");
    m.AppendFaderString(0, 3, " 01");
    EXPECT_EQ(P(0).FaderString[3], "F0 XX F7 01");

    Mark({3, 4});
    P(0).FaderStatus(4) = 0xF0;
    P(0).FaderString[4] = "F0";
    m.AppendFaderString(0, 0, " 7F");
    EXPECT_EQ(P(0).FaderString[3], "");  // a controller keeps no string
    EXPECT_EQ(P(0).FaderString[4], "F0 7F");
    P(0).KeyOnStatus(4) = 0xF0;
    m.SetKeyOnString(0, 0, "90 XX 7F");
    EXPECT_EQ(P(0).KeyOnString[4], "90 XX 7F");
    EXPECT_EQ(P(0).KeyOnString[3], "");
}

TEST_F(Setters, OutOfRangeIndexesDoNothing) {
    const Morvelant_Parameters before = P(0);
    for (int p : {-1, 128, 1000})
        for (int f : {0, 5}) {
            m.SetFaderValue(p, f, 5);
            m.SetFaderMidiData1(p, f, 5);
            m.SetSwitchMode(p, f, 0);
            m.SetFaderString(p, f, "x");
        }
    for (int f : {-1, 24, 99}) {
        m.SetFaderMidiData1(0, f, 5);
        m.SetKeyOnName(0, f, "x");
        m.SetFaderArrayWord(0, f, Morvelant_Parameters::aActiveMode, 0);
    }
    m.SetFaderArrayWord(0, 0, 20, 1);  // no such array
    m.SetFaderArrayWord(0, 0, -1, 1);
    EXPECT_EQ(P(0), before);
    for (const FaderState& s : m.FaderStates) EXPECT_FALSE(s.Muted);

    // Garbage values are stored (wrapping like a 32-bit word), never overflow.
    P(1).FaderStatus(0) = 0x90;
    m.SetFaderMidiChannel(1, 0, 2147483647);
    EXPECT_EQ(P(1).FaderStatus(0), int32_t(0x90 + 2147483647u));
    m.SetFaderMode(1, 0, 2147483647);
    EXPECT_EQ(P(1).ActiveMode(0), int32_t(0x80 + 2147483647u));
    P(1).FaderMidiMode(0) = 0xC3;
    m.SetFaderMidiMode(1, 0, 2147483647);
    EXPECT_EQ(P(1).FaderMidiMode(0), int32_t(0xC0 + 2147483647u));

    m.SetPresetString("F0 7F F7", 6);
    m.SetPresetString("F0 7F F7", -1);
    m.SetPresetString("FA", 1);
    EXPECT_EQ(P(0).SpecialKeyString[1], "FA");
}
