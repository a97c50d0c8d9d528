#include <gtest/gtest.h>

#include <memory>

#include "model/DeviceModel.h"

using namespace morvelant;

namespace {

std::string Name8(const std::array<int32_t, 8>& words) {
    std::string s;
    for (int32_t w : words) s += WordToChar(w);
    return s;
}

std::string PresetName8(const Morvelant_Parameters& m) {
    std::string s;
    for (int i = 0; i < 8; ++i) s += WordToChar(m.PresetName(i));
    return s;
}

}  // namespace

TEST(DeviceModel, ConstructionState) {
    auto model = std::make_unique<DeviceModel>("/opt/editor/");
    const DeviceModel& m = *model;
    EXPECT_EQ(m.ProgramPath, "/opt/editor/");
    EXPECT_EQ(m.LearnMode, -1);
    EXPECT_EQ(m.HookTolerance, 8);
    EXPECT_TRUE(m.Warnings);
    EXPECT_TRUE(m.MenuSwitching);
    EXPECT_FALSE(m.Updating);
    EXPECT_FALSE(m.MultiCheckBoxChecked);
    EXPECT_EQ(m.SelectedPreset, 0);
    for (int f = 0; f < kFaderCount; ++f) EXPECT_EQ(m.FaderSelected[f], f == 0);
    EXPECT_EQ(m.PresetEditBufferCount, 1);
    EXPECT_EQ(m.PatternEditBufferCount, 1);

    // Every preset holds the factory defaults; the reserved words stay 0.
    for (int p = 0; p < kPresetCount; ++p) {
        const Morvelant_Parameters& pr = m.Presets[p];
        for (int i = 0; i < 8; ++i) ASSERT_EQ(pr.PresetReserved1(i), 0);
        for (int i = 0; i < 16; ++i) ASSERT_EQ(pr.PresetReserved2(i), 0);
        for (int f = 0; f < kFaderCount; ++f) {
            ASSERT_EQ(pr.DemuteVal(f), 127);
            ASSERT_EQ(pr.FaderMax(f), 127);
            ASSERT_EQ(pr.FaderThreshold(f), 8);
            ASSERT_EQ(pr.ActiveMode(f), 0x80);
            ASSERT_EQ(pr.FaderMidiMode(f), 3);
            ASSERT_EQ(pr.FaderStatus(f), 0xB0);
            ASSERT_EQ(pr.FaderMidiData1(f), f);
            ASSERT_EQ(pr.KeyOnStatus(f), 0x90);
            ASSERT_EQ(pr.KeyOffStatus(f), 0x80);
            ASSERT_EQ(pr.KeyOffMidiData2(f), 128);
            ASSERT_EQ(pr.SwitchMode(f), 1);
            ASSERT_TRUE(pr.SliderName[f].empty());
        }
    }
    // Clipboards start zeroed; every pattern holds its factory defaults.
    EXPECT_EQ(m.PresetClipboard, Morvelant_Parameters{});
    EXPECT_EQ(m.FaderClipboard, Fader_Parameters{});
    EXPECT_EQ(m.TrackClipboard, Pattern_Parameters{});
    for (int p = 0; p < kPatternCount; ++p) {
        const Pattern_Parameters& pt = m.Patterns[p];
        ASSERT_EQ(pt.PatternHeader(1), 120);
        ASSERT_EQ(pt.MuteMask(), 254);
        ASSERT_EQ(pt.TrackEvent(7), 0x90);
        ASSERT_EQ(pt.TrackStartStep(0), 1);
        ASSERT_TRUE(pt.PatternNotes.empty());
    }
    EXPECT_EQ(m.GetPatternName(0), "Seq 1   ");
    EXPECT_EQ(m.GetPatternName(127), "Seq 128 ");
    // The controller-init settings start with their defaults.
    const std::array<int32_t, 12> init{102, 125, 40, 63, 80, 103, 128, 128, 64, 87, 0, 23};
    EXPECT_EQ(m.InitValues, init);
    EXPECT_EQ(m.InitRanges, (std::array<bool, 6>{true, true, true, false, false, false}));
}

TEST(DeviceModel, DefaultPresetNames) {
    auto m = std::make_unique<DeviceModel>();
    EXPECT_EQ(PresetName8(m->Presets[0]), "Preset 1");
    EXPECT_EQ(PresetName8(m->Presets[8]), "Preset 9");
    EXPECT_EQ(PresetName8(m->Presets[9]), "Preset10");
    EXPECT_EQ(PresetName8(m->Presets[98]), "Preset99");
    EXPECT_EQ(PresetName8(m->Presets[99]), "Preset10");
    EXPECT_EQ(PresetName8(m->Presets[127]), "Preset12");
    EXPECT_EQ(m->GetPresetDeviceName(127), "Preset12");
}

TEST(DeviceModel, PresetDeviceNamePadsCutsAndSignExtends) {
    auto m = std::make_unique<DeviceModel>();
    m->SetPresetDeviceName(3, "Abcd");
    EXPECT_EQ(PresetName8(m->Presets[3]), "Abcd    ");
    EXPECT_EQ(m->Presets[3].PresetName(4), 0x20);
    m->SetPresetDeviceName(3, "TwelveLetter");
    EXPECT_EQ(m->GetPresetDeviceName(3), "TwelveLe");
    m->SetPresetDeviceName(3, std::string("\xE9t\xE9", 3));
    EXPECT_EQ(m->Presets[3].PresetName(0), -23);
    EXPECT_EQ(m->GetPresetDeviceName(3), std::string("\xE9t\xE9     ", 8));
    // A NUL word ends the name early.
    m->Presets[3].PresetName(2) = 0;
    EXPECT_EQ(m->GetPresetDeviceName(3), std::string("\xE9t", 2));
    // Out-of-range slots change nothing and read empty.
    m->SetPresetDeviceName(128, "x");
    m->SetPresetDeviceName(-1, "x");
    m->SetDefaultPresetDeviceName(200);
    EXPECT_EQ(m->GetPresetDeviceName(128), "");
}

TEST(NameLists, Samples) {
    const NameList c = FillControllerNames();
    ASSERT_EQ(c.size(), 129u);
    EXPECT_EQ(c[0], "  0:Bank Select MSB");
    EXPECT_EQ(c[3], "  3:Controller 3");
    EXPECT_EQ(c[10], " 10:Panorama");
    EXPECT_EQ(c[32], " 32:Controller 0 LSB");
    EXPECT_EQ(c[33], " 33:Controller 1 LSB");
    EXPECT_EQ(c[63], " 63:Controller 31 LSB");
    EXPECT_EQ(c[64], " 64:Sustain (on/off)");
    EXPECT_EQ(c[68], " 68:Controller 68");
    EXPECT_EQ(c[101], "101:NRPN Parameter MSB");
    EXPECT_EQ(c[121], "121:Controller 121");
    EXPECT_EQ(c[128], "Slider");

    const NameList n = FillNoteNames();
    ASSERT_EQ(n.size(), 129u);
    EXPECT_EQ(n[0], "  0:  C -1");
    EXPECT_EQ(n[1], "  1:  C#-1");
    EXPECT_EQ(n[8], "  8:  Ab-1");
    EXPECT_EQ(n[60], " 60:  C  4");
    EXPECT_EQ(n[127], "127:  G  9");
    EXPECT_EQ(n[128], "Slider");

    const NameList num = FillNumberNames();
    ASSERT_EQ(num.size(), 129u);
    EXPECT_EQ(num[0], "  0");
    EXPECT_EQ(num[42], " 42");
    EXPECT_EQ(num[128], "Slider");
    // Every entry below 128 starts with its own number in three columns.
    for (int i = 0; i < 128; ++i) {
        const std::string head = num[i];
        EXPECT_EQ(std::stoi(head), i);
        EXPECT_EQ(c[i].substr(0, 3), head);
        EXPECT_EQ(n[i].substr(0, 3), head);
        EXPECT_EQ(c[i][3], ':');
    }

    const NameList t = FillNumbers1to8();
    EXPECT_EQ(t, (NameList{"  1", "  2", "  3", "  4", "  5", "  6", "  7", "  8"}));
    const NameList f = FillFaderNames();
    ASSERT_EQ(f.size(), 24u);
    EXPECT_EQ(f[0], "Fader001");
    EXPECT_EQ(f[23], "Fader024");

    EXPECT_EQ(NameOf(c, 7), "  7:Volume");
    EXPECT_EQ(NameOf(c, 129), "129");
    EXPECT_EQ(NameOf(n, -5), "-5");
}

TEST(DeviceModel, UpdatingGuardRestoresPreviousValue) {
    auto m = std::make_unique<DeviceModel>();
    {
        UpdatingGuard outer(*m);
        EXPECT_TRUE(m->Updating);
        {
            UpdatingGuard inner(*m);
            EXPECT_TRUE(m->Updating);
        }
        EXPECT_TRUE(m->Updating);  // the nested fill does not reopen the handlers
    }
    EXPECT_FALSE(m->Updating);
}

TEST(Patterns, InitPatternAndNames) {
    auto m = std::make_unique<DeviceModel>();
    Pattern_Parameters& pt = m->Patterns[0];
    pt.W.fill(77);
    pt.PatternNotes = "keep me";
    m->InitPattern(0);
    m->InitPattern(127);
    EXPECT_EQ(Name8(pt.PatternName), "Seq 1   ");
    EXPECT_EQ(m->GetPatternName(127), "Seq 128 ");
    EXPECT_EQ(pt.PatternNotes, "keep me");
    for (int w = 0; w < 16; ++w) EXPECT_EQ(pt.PatternHeader(w), w == 1 ? 120 : w == 6 ? 254 : 0);
    for (int t = 0; t < 8; ++t) {
        EXPECT_EQ(pt.TrackEvent(t), 0x90);
        EXPECT_EQ(pt.TrackData2(t), 127);
        EXPECT_EQ(pt.TrackGateTime(t), 20);
        EXPECT_EQ(pt.TrackEndStep(t), 16);
        EXPECT_EQ(pt.TrackStartStep(t), 1);
        for (int s = 0; s < 16; ++s) {
            EXPECT_FALSE(pt.StepOff(t, s));
            EXPECT_EQ(pt.StepVelocity(t, s), 0);
        }
    }
    for (int i = 0; i < 128; ++i) EXPECT_EQ(pt.PatternReserved2(i), 0);

    m->SetPatternName(4, "LongerThan8");
    EXPECT_EQ(m->GetPatternName(4), "LongerTh");
    m->SetPatternName(4, "ab");
    EXPECT_EQ(m->GetPatternName(4), "ab      ");
    m->SetPatternName(128, "x");  // ignored
    EXPECT_EQ(m->GetPatternName(-1), "");
}

TEST(Patterns, InitTrackKeepsChannelStatusAndMute) {
    auto m = std::make_unique<DeviceModel>();
    m->InitPattern(2);
    Pattern_Parameters& pt = m->Patterns[2];
    pt.TrackEvent(1) = 0xB5;
    pt.TrackStatus(1) = 9;
    pt.TrackData1(1) = 3;
    pt.StepNote(1, 4) = 60;
    pt.TrackEvent(0) = 0xC2;
    m->InitTrack(2, 2);
    EXPECT_EQ(pt.TrackEvent(1), 0x95);
    EXPECT_EQ(pt.TrackStatus(1), 9);
    EXPECT_EQ(pt.TrackData1(1), 0);
    EXPECT_EQ(pt.MuteMask(), 254);
    for (int s = 0; s < 16; ++s) {
        EXPECT_TRUE(pt.StepOff(1, s));
        EXPECT_EQ(pt.StepNote(1, s), 0);
        EXPECT_EQ(pt.StepVelocity(1, s), 127);
        EXPECT_FALSE(pt.StepOff(0, s));  // other tracks untouched
    }
    EXPECT_EQ(pt.TrackEvent(0), 0xC2);
    m->InitTrack(2, 0);
    EXPECT_EQ(pt.TrackEvent(0), 0x92);
    for (int t = 0; t < 8; ++t) EXPECT_TRUE(pt.StepOff(t, 15));
    m->InitTrack(2, 9);  // no such track
    m->InitTrack(-1, 1);
}

TEST(FaderStateMath, ScaledValueAndPosition) {
    EXPECT_EQ(ScaledFaderValue(0, 127, 0), 127);
    EXPECT_EQ(ScaledFaderValue(0, 127, 127), 0);
    EXPECT_EQ(ScaledFaderValue(20, 10, 0), 10);  // inverted range
    EXPECT_EQ(ScaledFaderValue(20, 10, 127), 20);
    for (int pos = 0; pos < 128; ++pos) EXPECT_EQ(ScaledFaderValue(64, 64, pos), 64);
    EXPECT_EQ(FaderPositionOfValue(64, 64, 64), 127);
    EXPECT_EQ(FaderPositionOfValue(0, 127, 127), 0);
    EXPECT_EQ(FaderPositionOfValue(0, 127, 0), 127);
    EXPECT_EQ(FaderPositionOfValue(0, 127, 500), 0);  // clamped
}

TEST(FaderStateReset, FromSelectedPreset) {
    auto m = std::make_unique<DeviceModel>();
    Notifications notices;
    m->Notices = &notices;
    std::array<int, 24> lampCalls{};
    Subscription lamps = notices.KeyLamp.Subscribe([&](int key, bool) { ++lampCalls[size_t(key)]; });
    Morvelant_Parameters& p = m->Presets[0];
    p.FaderValue(3) = 50;
    p.FaderOutMode(3) = 1;
    p.SwitchMode(3) = 0;
    p.FaderMidiMode(3) = 3 | (6 << 3);  // HookOnFad
    p.ActiveMode(3) = 0x81;  // Relative
    m->ScreenFaderPosition[3] = 27;  // value 100 in the full range
    m->ResetFaderState(3);
    m->ResetKeyState(3);
    const FaderState& s = m->FaderStates[3];
    EXPECT_EQ(s.Index, 3);
    EXPECT_EQ(s.InitialValue, 50);
    EXPECT_EQ(s.StoredValue, 50);
    EXPECT_EQ(s.Value, 100);
    EXPECT_EQ(s.ResetValue, 100);
    EXPECT_TRUE(s.Hooked);
    EXPECT_TRUE(s.Muted);
    EXPECT_TRUE(s.Caught);
    EXPECT_FALSE(m->KeyStates[3].LampOn);
    EXPECT_EQ(lampCalls[3], 2);

    // Motor faders, or the one-shot flag, take the preset's value.
    m->VirtualMotorFaders = true;
    p.SwitchMode(3) = 2;  // "Momentary": not muted, but the key lamp stays off
    m->ResetFaderState(3);
    m->ResetKeyState(3);
    EXPECT_EQ(s.Value, 50);
    EXPECT_FALSE(s.Muted);
    EXPECT_FALSE(m->KeyStates[3].LampOn);
    m->ResetFaderState(24);  // ignored
}
