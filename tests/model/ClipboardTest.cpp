#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>

#include "model/DeviceModel.h"

using namespace morvelant;
using MP = Morvelant_Parameters;

namespace {

class Clipboard : public ::testing::Test {
protected:
    std::unique_ptr<DeviceModel> model = std::make_unique<DeviceModel>();
    DeviceModel& m = *model;
    MP& P(int p) { return m.Presets[p]; }

    // Gives fader f of preset p values of its own, distinct per seed.
    void Distinct(int p, int f, int seed) {
        MP& r = P(p);
        r.FaderMin(f) = 0;
        r.FaderMax(f) = 127;
        r.FaderValue(f) = seed;
        r.MuteVal(f) = seed + 1;
        r.DemuteVal(f) = seed + 2;
        r.FaderThreshold(f) = seed % 60;
        r.ActiveMode(f) = 0x81;
        r.FaderMidiMode(f) = 0xC3;
        r.MasterSlaveMode(f) = 0;
        r.FaderOutMode(f) = 0;
        r.FaderStatus(f) = 0xF0;
        r.FaderMidiData1(f) = 3;
        r.FaderMidiData2(f) = seed + 3;
        r.KeyOnStatus(f) = 0xF0;
        r.KeyOnMidiData1(f) = seed + 4;
        r.KeyOnMidiData2(f) = seed + 5;
        r.KeyOffStatus(f) = 0xF0;
        r.KeyOffMidiData1(f) = seed + 6;
        r.KeyOffMidiData2(f) = seed + 7;
        r.SwitchMode(f) = seed % 4;
        const std::string s = std::to_string(seed);
        r.FaderString[f] = "F0 " + s;
        r.KeyOnString[f] = "F1 " + s;
        r.KeyOffString[f] = "F2 " + s;
        r.SliderName[f] = "S" + s;
        r.KeyOnName[f] = "On" + s;
        r.KeyOffName[f] = "Off" + s;
    }
};

}  // namespace

TEST_F(Clipboard, PresetOperations) {
    m.SetPresetDeviceName(3, "Three");
    P(3).PresetReserved1(2) = 9;
    P(3).PresetNotes = "n3";
    m.CopyPreset(3);
    EXPECT_EQ(m.PresetClipboard, P(3));
    m.PastePreset(4);
    EXPECT_EQ(P(4), P(3));
    m.CopyPresetTo(0, 5);
    EXPECT_EQ(P(5), P(0));

    const MP before5 = P(5), clip = m.PresetClipboard;
    m.ExchangePresetWithClipboard(5);
    EXPECT_EQ(P(5), clip);
    EXPECT_EQ(m.PresetClipboard, before5);
    m.ExchangePresetWithClipboard(5);
    EXPECT_EQ(P(5), before5);
    EXPECT_EQ(m.PresetClipboard, clip);

    m.CopyPreset(128);
    m.PastePreset(-1);
    m.CopyPresetTo(0, 200);
    m.ExchangePresetWithClipboard(128);
    EXPECT_EQ(m.PresetClipboard, clip);
}

// Every exchange done twice leaves the fader and the clipboard as they were.
TEST_F(Clipboard, EveryExchangeTwiceRestores) {
    const std::function<void(DeviceModel&, int, int)> exchanges[] = {
        [](DeviceModel& d, int p, int f) { d.ExchangeFaderWithClipboard(p, f); },
        [](DeviceModel& d, int p, int f) { d.ExchangeFaderEventWithClipboard(p, f); },
        [](DeviceModel& d, int p, int f) { d.ExchangeKeyParametersWithClipboard(p, f); },
    };
    for (const auto& exchange : exchanges) {
        Distinct(1, 4, 10);
        Distinct(1, 9, 50);
        m.CopyFaderParameters(1, 9);
        const MP before = P(1);
        const Fader_Parameters clip = m.FaderClipboard;
        exchange(m, 1, 4);
        EXPECT_NE(P(1), before);
        exchange(m, 1, 4);
        EXPECT_EQ(P(1), before);
        EXPECT_EQ(m.FaderClipboard, clip);
    }
}

TEST_F(Clipboard, WholeFaderExchangeSwapsNamesAndKeepsLiveState) {
    Distinct(0, 1, 10);
    Distinct(0, 2, 40);
    m.CopyFaderParameters(0, 2);
    m.FaderStates[1].Value = 77;
    m.KeyStates[1].LampOn = true;
    m.ExchangeFaderWithClipboard(0, 1);
    EXPECT_EQ(P(0).KeyOnName[1], "On40");
    EXPECT_EQ(P(0).KeyOffName[1], "Off40");
    EXPECT_EQ(m.FaderClipboard.KeyOnName, "On10");
    EXPECT_EQ(m.FaderClipboard.KeyOffName, "Off10");
    EXPECT_EQ(P(0).ActiveMode(1), 0x81);  // stored words, flag bits included
    EXPECT_EQ(P(0).FaderMidiMode(1), 0xC3);
    EXPECT_EQ(m.FaderStates[1].Value, 77);  // the fader keeps its live state
    EXPECT_TRUE(m.KeyStates[1].LampOn);
    EXPECT_EQ(m.FaderStateClipboard.Value, 77);  // and the clipboard takes it
}

TEST_F(Clipboard, PasteWritesRangeBeforeValue) {
    P(0).FaderValue(0) = 100;
    m.CopyFaderParameters(0, 0);
    P(0).FaderMax(3) = 64;
    m.PasteFaderParameters(0, 3);
    EXPECT_EQ(P(0).FaderMax(3), 127);
    EXPECT_EQ(P(0).FaderValue(3), 100);
}

TEST_F(Clipboard, FaderEventPasteLeavesKeysAlone) {
    Distinct(0, 0, 10);
    Distinct(0, 1, 40);
    m.CopyFaderEventParameters(0, 0);
    m.PasteFaderEventParameters(0, 1);
    EXPECT_EQ(P(0).FaderMidiData2(1), 13);
    EXPECT_EQ(P(0).SliderName[1], "S10");
    EXPECT_EQ(P(0).MuteVal(1), 41);
    EXPECT_EQ(P(0).DemuteVal(1), 42);
    EXPECT_EQ(P(0).KeyOnMidiData1(1), 44);
    EXPECT_EQ(P(0).SwitchMode(1), 0);
    EXPECT_EQ(P(0).KeyOffName[1], "Off40");
}

TEST_F(Clipboard, KeyExchangeAndKeyOnAsKeyOff) {
    Distinct(0, 0, 10);
    Distinct(0, 1, 40);
    m.CopyKeyParameters(0, 0);
    m.ExchangeKeyParametersWithClipboard(0, 1);
    EXPECT_EQ(m.FaderClipboard.Values[MP::aKeyOffMidiData2], 47);
    EXPECT_EQ(P(0).KeyOffMidiData2(1), 17);

    m.CopyKeyOnParameters(0, 0);
    m.PasteKeyOffParameters(0, 5);
    EXPECT_EQ(P(0).KeyOffStatus(5), P(0).KeyOnStatus(0));
    EXPECT_EQ(P(0).KeyOffMidiData1(5), 14);
    EXPECT_EQ(P(0).KeyOffMidiData2(5), 15);
    EXPECT_EQ(P(0).MuteVal(5), 12);
    EXPECT_EQ(P(0).KeyOffString[5], "F1 10");
    EXPECT_EQ(P(0).KeyOffName[5], "On10");

    m.CopyKeyOffParameters(0, 1);
    m.PasteKeyOnParameters(0, 6);
    EXPECT_EQ(P(0).KeyOnMidiData1(6), P(0).KeyOffMidiData1(1));
    EXPECT_EQ(P(0).DemuteVal(6), P(0).MuteVal(1));
}

TEST_F(Clipboard, MultiEditPasteWritesMarkedFadersAndLiveStateToArgument) {
    Distinct(0, 0, 20);
    m.FaderStates[0].Value = 66;
    m.CopyFaderParameters(0, 0);
    m.MultiCheckBoxChecked = true;
    m.MultiselectButtonDown[2] = m.MultiselectButtonDown[5] = true;
    m.FaderStates[0].Value = 1;
    m.PasteFaderParameters(0, 0);
    EXPECT_EQ(P(0).FaderValue(2), 20);
    EXPECT_EQ(P(0).FaderValue(5), 20);
    EXPECT_EQ(P(0).KeyOnName[5], "On20");
    EXPECT_EQ(m.FaderStates[0].Value, 66);
    EXPECT_EQ(m.FaderStates[2].Value, 0);
}

TEST_F(Clipboard, CopyFaderParametersToCarriesLiveState) {
    Distinct(2, 3, 30);
    m.FaderStates[3].Value = 55;
    m.FaderStates[3].Touched = true;
    m.KeyStates[3].KeyFlag = 1;
    m.CopyFaderParametersTo(2, 3, 7, 9);
    EXPECT_EQ(P(9).FaderValue(7), 30);
    EXPECT_EQ(P(9).KeyOffName[7], "Off30");
    EXPECT_EQ(m.FaderStates[7].Value, 55);
    EXPECT_FALSE(m.FaderStates[7].Touched);  // not a travelling field
    EXPECT_EQ(m.KeyStates[7].KeyFlag, 1);
    EXPECT_EQ(m.FaderStates[7].Index, 0);

    const MP before = P(9);
    m.CopyFaderParametersTo(2, 3, 24, 9);
    m.CopyFaderParametersTo(2, -1, 7, 9);
    m.PasteFaderParameters(9, 30);
    m.ExchangeKeyParametersWithClipboard(130, 0);
    EXPECT_EQ(P(9), before);
}

// Track 3 of the track clipboard pasted onto track 1 of a factory pattern:
// the words of track 1 before and after each paste.
TEST_F(Clipboard, TrackPastesTakeTheirPartOfTheCopiedTrack) {
    using Pat = Pattern_Parameters;
    struct Words {
        int note, velocity, offBits, end, start, status, gate, mute;
        bool operator==(const Words&) const = default;
    };
    auto words = [](const Pat& p) {
        return Words{p.StepNote(0, 0),    p.StepVelocity(0, 0), p.StepOffBits(0),   p.TrackEndStep(0),
                     p.TrackStartStep(0), p.TrackStatus(0),     p.TrackGateTime(0), p.MuteMask()};
    };
    const Words before{0, 0, 0, 16, 1, 0, 20, 254};
    const struct {
        TrackPart part;
        Words after;
    } cases[] = {
        {TrackPart::Velocities, {0, 100, 0, 16, 1, 0, 20, 254}},
        {TrackPart::Notes, {60, 0, 0, 16, 1, 0, 20, 254}},
        {TrackPart::Steps, {0, 0, 0x0F, 16, 1, 0, 20, 254}},
        {TrackPart::NoSettings, {60, 100, 0x0F, 16, 1, 0, 20, 254}},
        {TrackPart::Settings, {0, 0, 0, 8, 5, 1, 44, 255}},
        {TrackPart::All, {60, 100, 0x0F, 8, 5, 1, 44, 255}},
    };
    m.InitPattern(7);
    Pat& clip = m.Patterns[7];
    clip.StepNote(2, 0) = 60;
    clip.StepVelocity(2, 0) = 100;
    clip.StepOffBits(4) = 0x0F;
    clip.TrackEndStep(2) = 8;
    clip.TrackStartStep(2) = 5;
    clip.TrackStatus(2) = 1;
    clip.TrackGateTime(2) = 44;
    clip.MuteMask() = 1 << 2;
    m.CopyTrack(7, 3);
    ASSERT_EQ(m.CopiedTrack, 3);
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.part));
        m.InitPattern(0);
        ASSERT_EQ(words(m.Patterns[0]), before);
        m.PasteTrackPart(c.part, 3, 0, 1);
        EXPECT_EQ(words(m.Patterns[0]), c.after);
    }

    // Out of range: nothing; track 0: all eight tracks.
    m.InitPattern(0);
    const Pat untouched = m.Patterns[0];
    for (auto [source, pattern, track] : {std::array{0, 0, 1}, {9, 0, 1}, {3, 0, 9}, {3, 128, 1}, {3, -1, 1}})
        m.PasteTrackPart(TrackPart::All, source, pattern, track);
    EXPECT_EQ(m.Patterns[0], untouched);
    m.PasteTrackSettings(3, 0, 0);
    for (int t = 0; t < kTrackCount; ++t) EXPECT_EQ(m.Patterns[0].TrackStartStep(t), 5);
    EXPECT_EQ(m.Patterns[0].MuteMask(), 255);
}
