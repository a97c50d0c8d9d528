#include <gtest/gtest.h>

#include <memory>

#include "model/DeviceModel.h"

using namespace morvelant;

namespace {

class InitKinds : public ::testing::Test {
protected:
    std::unique_ptr<DeviceModel> model = std::make_unique<DeviceModel>();
    DeviceModel& m = *model;
    Morvelant_Parameters& P(int p) { return m.Presets[p]; }

    // Scrambles every per-fader word and string of preset p.
    void Scramble(int p) {
        for (int k = 0; k < Morvelant_Parameters::kFaderArrayCount; ++k)
            for (int f = 0; f < 24; ++f) P(p).FaderArray(k, f) = 33 + k;
        for (int f = 0; f < 24; ++f) {
            P(p).FaderMidiMode(f) = 0xC9;  // hook and overdub flags set
            P(p).FaderString[f] = P(p).KeyOnString[f] = P(p).KeyOffString[f] = "F0 F7";
            P(p).SliderName[f] = P(p).KeyOnName[f] = P(p).KeyOffName[f] = "old";
        }
        P(p).PresetNotes = "notes";
        P(p).SpecialKeyString[2] = "FC";
        m.SetPresetDeviceName(p, "Custom");
        P(p).PresetReserved1(0) = 11;
        P(p).PresetReserved2(15) = 22;
    }
};

}  // namespace

TEST_F(InitKinds, FactoryInitPresetMatchesTheTable) {
    Scramble(7);
    m.FactoryInitPreset(7);
    const Morvelant_Parameters& p = P(7);
    for (int f = 0; f < 24; ++f) {
        EXPECT_EQ(p.FaderValue(f), 0);
        EXPECT_EQ(p.FaderMin(f), 0);
        EXPECT_EQ(p.FaderMax(f), 127);
        EXPECT_EQ(p.FaderThreshold(f), 8);
        EXPECT_EQ(p.ActiveMode(f), 0x80);
        EXPECT_EQ(p.FaderMidiMode(f), 0xC3);  // flags survive the init kinds
        EXPECT_EQ(p.MasterSlaveMode(f), 0);
        EXPECT_EQ(p.FaderOutMode(f), 0);
        EXPECT_EQ(p.FaderStatus(f), 0xB0);
        EXPECT_EQ(p.FaderMidiData1(f), f);
        EXPECT_EQ(p.FaderMidiData2(f), 128);
        EXPECT_EQ(p.SliderName[f], m.FaderNames[f]);
        EXPECT_EQ(p.DemuteVal(f), 127);
        EXPECT_EQ(p.KeyOnStatus(f), 0x90);
        EXPECT_EQ(p.KeyOnMidiData1(f), f);
        EXPECT_EQ(p.KeyOnMidiData2(f), 128);
        EXPECT_EQ(p.MuteVal(f), 0);
        EXPECT_EQ(p.KeyOffStatus(f), 0x80);
        EXPECT_EQ(p.KeyOffMidiData1(f), f);
        EXPECT_EQ(p.KeyOffMidiData2(f), 128);
        EXPECT_EQ(p.SwitchMode(f), 1);
        EXPECT_EQ(p.FaderString[f], "");
        EXPECT_EQ(p.KeyOnName[f], "");
        EXPECT_EQ(p.KeyOffString[f], "");
    }
    EXPECT_EQ(m.GetPresetDeviceName(7), "Preset 8");
    EXPECT_EQ(p.PresetNotes, "");
    EXPECT_EQ(p.SpecialKeyString[2], "");
    EXPECT_EQ(p.PresetReserved1(0), 11);
    EXPECT_EQ(p.PresetReserved2(15), 22);

    // InitPreset, by contrast, clears the hook and overdub flags.
    m.InitPreset(7);
    EXPECT_EQ(p.FaderMidiMode(0), 3);
}

TEST_F(InitKinds, ClearPresetMatchesTheTable) {
    Scramble(1);
    m.ClearPreset(1);
    const Morvelant_Parameters& p = P(1);
    for (int f = 0; f < 24; ++f) {
        EXPECT_EQ(p.FaderStatus(f), 0x70);
        EXPECT_EQ(p.KeyOnStatus(f), 0x70);
        EXPECT_EQ(p.KeyOffStatus(f), 0x70);
        EXPECT_EQ(p.FaderMidiData1(f), 0);
        EXPECT_EQ(p.KeyOnMidiData1(f), 0);
        EXPECT_EQ(p.KeyOffMidiData1(f), 0);
        EXPECT_EQ(p.FaderMidiData2(f), 128);
        EXPECT_EQ(p.KeyOnMidiData2(f), 128);
        EXPECT_EQ(p.KeyOffMidiData2(f), 128);
        EXPECT_EQ(p.MuteVal(f), 128);
        EXPECT_EQ(p.DemuteVal(f), 128);
        EXPECT_EQ(p.FaderThreshold(f), 8);
        EXPECT_EQ(p.ActiveMode(f), 0x80);
        EXPECT_EQ(p.SwitchMode(f), 1);
        EXPECT_EQ(p.SliderName[f], m.FaderNames[f]);
        EXPECT_EQ(p.KeyOnName[f], "");
    }
    EXPECT_EQ(m.GetPresetDeviceName(1), "Preset 2");
}

TEST_F(InitKinds, MidiCtrlPresetWithDefaultSettings) {
    Scramble(0);
    m.MidiCtrlInitPreset(0);
    const Morvelant_Parameters& p = P(0);
    for (int f = 0; f < 24; ++f) {
        EXPECT_EQ(p.FaderStatus(f), 0xB0);
        EXPECT_EQ(p.FaderMidiData1(f), 102 + f);
        EXPECT_EQ(p.FaderMidiData2(f), 128);
        EXPECT_EQ(p.FaderThreshold(f), 0);
        EXPECT_EQ(p.KeyOnStatus(f), 0xB0);
        EXPECT_EQ(p.KeyOnMidiData1(f), 40 + f);
        EXPECT_EQ(p.KeyOnMidiData2(f), 64);
        EXPECT_EQ(p.DemuteVal(f), 64);
        EXPECT_EQ(p.KeyOffStatus(f), 0xB0);
        EXPECT_EQ(p.KeyOffMidiData1(f), 80 + f);
        EXPECT_EQ(p.KeyOffMidiData2(f), 0);
        EXPECT_EQ(p.MuteVal(f), 0);
        EXPECT_EQ(p.SliderName[f], "Ctrl " + std::to_string(102 + f));
        EXPECT_EQ(p.KeyOnName[f], "Ctrl " + std::to_string(40 + f));
        EXPECT_EQ(p.KeyOffName[f], "Ctrl " + std::to_string(80 + f));
    }
}

TEST_F(InitKinds, MidiCtrlFixedAndSliderSettings) {
    // Slider as the controller: data 1 is the live value, names by fader.
    m.InitValues[InitMinIndex(kFaderCtrl)] = 128;
    m.InitValues[InitMinIndex(kKeyonCtrl)] = 7;
    m.InitRanges[kKeyonCtrl] = false;
    m.InitValues[InitMinIndex(kKeyoffCtrl)] = 9;
    m.InitRanges[kKeyoffCtrl] = false;
    m.InitValues[InitMinIndex(kKeyoffValue)] = 10;
    m.InitRanges[kKeyoffValue] = true;
    m.MidiCtrlInitPreset(2);
    for (int f = 0; f < 24; ++f) {
        EXPECT_EQ(P(2).FaderMidiData1(f), 128);
        EXPECT_EQ(P(2).SliderName[f], "Fader " + std::to_string(f));
        EXPECT_EQ(P(2).KeyOnMidiData1(f), 7);
        EXPECT_EQ(P(2).KeyOnName[f], "KeyOn " + std::to_string(f));
        EXPECT_EQ(P(2).KeyOffMidiData1(f), 9);
        EXPECT_EQ(P(2).KeyOffName[f], "KeyOff" + std::to_string(f));
        EXPECT_EQ(P(2).KeyOffMidiData2(f), 10 + f);
    }
}

TEST_F(InitKinds, MidiCtrlDataBytesStayWithinMidi) {
    m.InitValues[InitMinIndex(kFaderCtrl)] = 110;  // 110 + 23 would pass 127
    m.InitValues[InitMinIndex(kKeyonValue)] = 105;  // 105 + 23 = 128 would turn live
    m.InitRanges[kKeyonValue] = true;
    m.InitValues[InitMinIndex(kKeyoffValue)] = 300;  // nonsense fixed value
    m.MidiCtrlInitPreset(3);
    for (int f = 0; f < 24; ++f) {
        EXPECT_LE(P(3).FaderMidiData1(f), 127);
        EXPECT_LE(P(3).KeyOnMidiData2(f), 127);
        EXPECT_EQ(P(3).KeyOffMidiData2(f), 127);
    }
    EXPECT_EQ(P(3).FaderMidiData1(0), 110);
    EXPECT_EQ(P(3).FaderMidiData1(17), 127);
    EXPECT_EQ(P(3).FaderMidiData1(23), 127);
    EXPECT_EQ(P(3).SliderName[23], "Ctrl 127");
    EXPECT_EQ(P(3).KeyOnMidiData2(22), 127);
    EXPECT_EQ(P(3).KeyOnMidiData2(23), 127);

    // Settings at the ends of an int (a hand-edited configuration) still give
    // data bytes, without arithmetic overflow.
    m.InitValues[InitMinIndex(kKeyonCtrl)] = 2147483647;
    m.InitValues[InitMinIndex(kKeyoffCtrl)] = -2147483647 - 1;
    m.MidiCtrlInitFader(3, 23);
    EXPECT_EQ(P(3).KeyOnMidiData1(23), 127);
    EXPECT_EQ(P(3).KeyOffMidiData1(23), 0);
}

TEST_F(InitKinds, FaderLevelInitsAndTails) {
    P(4).FaderMin(5) = 20;
    P(4).FaderMax(5) = 100;
    P(4).FaderValue(5) = 50;
    m.FactoryInitFaderEvent(4, 5);
    EXPECT_EQ(P(4).FaderMin(5), 0);
    EXPECT_EQ(P(4).FaderMax(5), 127);
    EXPECT_EQ(P(4).FaderValue(5), 0);

    P(4).KeyOnStatus(5) = 0xA0;
    P(4).SwitchMode(5) = 3;
    m.ClearFaderEvent(4, 5);  // the fader event alone
    EXPECT_EQ(P(4).KeyOnStatus(5), 0xA0);
    EXPECT_EQ(P(4).SwitchMode(5), 3);
    m.ClearKeyOff(4, 5);
    EXPECT_EQ(P(4).KeyOffStatus(5), 0x70);
    EXPECT_EQ(P(4).KeyOnStatus(5), 0xA0);
    m.ClearFader(4, 5);
    EXPECT_EQ(P(4).SwitchMode(5), 1);
    EXPECT_EQ(P(4).KeyOnStatus(5), 0x70);

    // The fader tail resets the live state from the selected preset.
    m.SelectedPreset = 4;
    P(4).FaderOutMode(6) = 1;
    m.FaderStates[6].Value = 99;
    m.FactoryInitFader(4, 6);  // the init clears "Fader Mute" first
    EXPECT_EQ(m.FaderStates[6].Value, 0);
    EXPECT_FALSE(m.FaderStates[6].Muted);
    EXPECT_TRUE(m.KeyStates[6].LampOn);

    m.FactoryInitFader(4, 24);  // out of range: nothing
    m.MidiCtrlInitPreset(128);
    m.ClearPreset(-1);
}

TEST_F(InitKinds, PerFaderInitFollowsMarksButWholePresetDoesNot) {
    m.MultiCheckBoxChecked = true;
    m.MultiselectButtonDown[2] = m.MultiselectButtonDown[5] = true;
    Scramble(8);
    m.FactoryInitFader(8, 0);
    EXPECT_EQ(P(8).FaderMidiData1(2), 0);  // the marked faders get fader 0's values
    EXPECT_EQ(P(8).FaderMidiData1(5), 0);
    EXPECT_EQ(P(8).FaderMidiData1(0), 33 + Morvelant_Parameters::aFaderMidiData1);  // unmarked: untouched
    EXPECT_EQ(P(8).SliderName[5], "Fader001");

    // A whole-preset init gives all 24 faders their own values.
    Scramble(8);
    m.FactoryInitPreset(8);
    for (int f = 0; f < 24; ++f) {
        EXPECT_EQ(P(8).FaderMidiData1(f), f);
        EXPECT_EQ(P(8).SliderName[f], m.FaderNames[f]);
        EXPECT_EQ(P(8).SwitchMode(f), 1);
    }
    Scramble(8);
    m.MidiCtrlInitPreset(8);
    for (int f = 0; f < 24; ++f) EXPECT_EQ(P(8).KeyOnMidiData1(f), 40 + f);
    Scramble(8);
    m.ClearPreset(8);
    for (int f = 0; f < 24; ++f) EXPECT_EQ(P(8).FaderStatus(f), 0x70);
    // The marks rule again afterwards.
    m.SetFaderMidiData1(8, 0, 77);
    EXPECT_EQ(P(8).FaderMidiData1(0), 0);
    EXPECT_EQ(P(8).FaderMidiData1(2), 77);
}
