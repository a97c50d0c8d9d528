// Byte layouts, round trips and bad input of the three system-exclusive dumps.
#include <gtest/gtest.h>

#include <random>

#include "model/DeviceModel.h"
#include "model/PresetFiles.h"
#include "model/SysexCodec.h"

namespace morvelant {
namespace {

std::vector<uint8_t> Bytes(const SysexBuffer& ev) { return DumpBytes(ev); }

std::vector<uint8_t> Header(uint8_t command, uint8_t slot) {
    return {0xF0, 0x00, 0x4D, 0x56, 0x12, 0x00, 0x20, command, slot};
}

void Append(std::vector<uint8_t>& v, std::initializer_list<int> bytes) {
    for (int b : bytes) v.push_back(uint8_t(b));
}

void AppendPair(std::vector<uint8_t>& v, int value) {
    v.push_back(uint8_t(value & 0x7F));
    v.push_back(uint8_t((value & 0x80) >> 7));
}

TEST(SysexCodecTest, HexToByteCountsOnlyUpperCaseDigitsOneToF) {
    EXPECT_EQ(HexToByte("B0"), 0xB0);
    EXPECT_EQ(HexToByte("7F"), 0x7F);
    EXPECT_EQ(HexToByte("b0"), 0x00);  // lower case counts 0
    EXPECT_EQ(HexToByte("XX"), 0x00);
    EXPECT_EQ(HexToByte("9"), 0x90);  // a missing character counts 0
    EXPECT_EQ(HexToByte(""), 0x00);
    EXPECT_EQ(HexToByte("G1"), 0x01);
}

TEST(SysexCodecTest, ValuePairsAndWordsKeepTheLowByteOnly) {
    SysexBuffer ev;
    PutSysexValue(ev, 300);  // 300 & 0xFF = 44
    PutSysexValue(ev, 0x82);  // 02 01
    PutSysexValue(ev, -1);  // FF -> 7F 01
    PutSysexWord(ev, 0x1234);
    EXPECT_EQ(Bytes(ev), (std::vector<uint8_t>{44, 0, 0x02, 1, 0x7F, 1, 0x34, 0, 0x12, 0}));
    for (const MidiEvent& e : ev) {
        EXPECT_EQ(e.status, 0xF0);
        EXPECT_EQ(e.time, 0u);
        EXPECT_EQ(e.data2, 0);
        EXPECT_EQ(e.data3, 0);
    }
}

TEST(SysexCodecTest, EmptyTextDumpIsTwentyTwoBytes) {
    Morvelant_Parameters p;
    SysexBuffer ev;
    EXPECT_EQ(BuildPresetTextDump(ev, 5, p), kEmptyTextDumpSize);
    std::vector<uint8_t> want = Header(0x03, 5);
    Append(want, {0x06, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x7F, 0x01, 0xF7});
    EXPECT_EQ(Bytes(ev), want);

    // A slot above 127 travels raw in byte 8 and as a pair after the size.
    ev.clear();
    BuildPresetTextDump(ev, 0x85, p);
    EXPECT_EQ(ev[8].data1, 0x85);
    EXPECT_EQ(ev[13].data1, 0x05);
    EXPECT_EQ(ev[14].data1, 0x01);
}

TEST(SysexCodecTest, TextDumpWithPlaceholderAndNamesMatchesByteForByte) {
    Morvelant_Parameters p;
    p.FaderString[0] = "B0 07 XX";
    p.FaderMidiData1(0) = 2;
    p.SliderName[1] = "Bass";  // sent, four blanks after
    p.SliderName[2] = "Fader003";  // the default of fader 2: not sent
    p.SliderName[0] = "Fader003";  // not the default of fader 0: sent
    p.SpecialKeyString[4] = "FA";  // index 77
    SysexBuffer ev;
    const std::size_t end = BuildPresetTextDump(ev, 0, p);

    std::vector<uint8_t> want = Header(0x03, 0);
    // Entries: fader string 0, special key 4 (index 77), names of faders 0 and 1.
    const int entries = 2 * 6 + 2 * 4 + 2 * (2 * 11);
    const int s = (4 + 2 + entries + 6 + 1) / 2;
    AppendPair(want, s & 0xFF);
    AppendPair(want, s >> 8);
    AppendPair(want, 0);  // slot pair
    Append(want, {0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x30, 0x01, 0x07, 0x00, 0x00, 0x00});
    Append(want, {0x04, 0x00, 0x00, 0x00, 77, 0x00, 0x7A, 0x01});
    Append(want, {0x0B, 0x00, 0x00, 0x00, 96, 0x00});
    for (char c : std::string("Fader003")) AppendPair(want, c);
    Append(want, {0x0B, 0x00, 0x00, 0x00, 97, 0x00});
    for (char c : std::string("Bass    ")) AppendPair(want, c);
    Append(want, {0x00, 0x00, 0x00, 0x00, 0x7F, 0x01, 0xF7});
    EXPECT_EQ(Bytes(ev), want);
    EXPECT_EQ(end, want.size());

    Morvelant_Parameters back;
    back.FaderMidiData1(0) = 2;
    EXPECT_TRUE(DecodePresetTextDump(ev, back));
    EXPECT_EQ(back.FaderString[0], "B0 07 XX");
    EXPECT_EQ(back.SpecialKeyString[4], "FA");
    EXPECT_EQ(back.SliderName[0], "Fader003");
    EXPECT_EQ(back.SliderName[1], "Bass    ");
    EXPECT_EQ(back.SliderName[2], "");

    // The placeholder's position comes from the record: elsewhere it reads 00.
    Morvelant_Parameters other;
    other.FaderMidiData1(0) = 5;
    DecodePresetTextDump(ev, other);
    EXPECT_EQ(other.FaderString[0], "B0 07 00");
}

TEST(SysexCodecTest, EventStringEdgeCases) {
    SysexBuffer ev;
    PutTextDumpEntry(ev, 3, "b0");  // lower case: one byte 00
    EXPECT_EQ(Bytes(ev), (std::vector<uint8_t>{4, 0, 0, 0, 3, 0, 0, 0}));
    ev.clear();
    PutTextDumpEntry(ev, 3, "B0 7");  // four characters: one byte
    EXPECT_EQ(Bytes(ev), (std::vector<uint8_t>{4, 0, 0, 0, 3, 0, 0x30, 1}));
    ev.clear();
    PutTextDumpEntry(ev, 3, "B");  // one character: nothing
    EXPECT_TRUE(ev.empty());

    Morvelant_Parameters p;
    p.KeyOffString[0] = "b0";
    ev.clear();
    BuildPresetTextDump(ev, 0, p);
    Morvelant_Parameters back;
    back.KeyOffMidiData1(0) = 7;
    DecodePresetTextDump(ev, back);
    EXPECT_EQ(back.KeyOffString[0], "00");
}

TEST(SysexCodecTest, NameCharactersOutsidePrintableRangeDecodeAsBlanks) {
    Morvelant_Parameters p;
    p.SliderName[4] = std::string("a{~") + char(0xE9) + "Z";
    SysexBuffer ev;
    BuildPresetTextDump(ev, 0, p);
    Morvelant_Parameters back;
    DecodePresetTextDump(ev, back);
    EXPECT_EQ(back.SliderName[4], "a   Z   ");  // blanks pad to 8
}

// The factory value dump of preset 0, laid out from the table of ranges.
TEST(SysexCodecTest, FactoryValueDumpFollowsTheByteTable) {
    DeviceModel model;
    SysexBuffer ev;
    ASSERT_EQ(BuildPresetValueDump(model, ev, 0, 0), kValueDumpSize);
    const std::vector<uint8_t> got = Bytes(ev);

    std::vector<uint8_t> want = Header(0x04, 0);
    for (char c : std::string("Preset 1")) AppendPair(want, c);
    for (int i = 0; i < 8; ++i) AppendPair(want, 0);  // reserved 1
    struct Range {
        int first;
        int value;
        bool perFader;
    };
    // FaderValue .. SwitchMode, with the fader index where the value is f.
    const int kPerFader = -1;
    const int factory[20] = {0,    0,         127, 0,    127,       8,   0x80, 3,         0,   0,
                             0xB0, kPerFader, 128, 0x90, kPerFader, 128, 0x80, kPerFader, 128, 1};
    const int firstByte[20] = {41,  89,  137, 185, 233, 281, 329, 377, 425, 473,
                               521, 569, 617, 665, 713, 761, 809, 857, 905, 953};
    for (int k = 0; k < 20; ++k) {
        ASSERT_EQ(int(want.size()), firstByte[k]) << "array " << k;
        for (int f = 0; f < 24; ++f) AppendPair(want, factory[k] == kPerFader ? f : factory[k]);
    }
    ASSERT_EQ(want.size(), 1001u);
    for (int i = 0; i < 16; ++i) AppendPair(want, 0);
    want.push_back(0xF7);
    EXPECT_EQ(got, want);

    // A factory preset's text dump is empty; slot byte 0x40 for slot 64.
    ev.clear();
    EXPECT_EQ(BuildPresetTextDump(model, ev, 64, 64), kEmptyTextDumpSize);
    EXPECT_EQ(ev[8].data1, 64);
}

TEST(SysexCodecTest, PatternDumpFollowsTheByteTable) {
    DeviceModel model;
    model.InitPattern(3);
    Pattern_Parameters& pt = model.Patterns[3];
    pt.StepNote(2, 5) = 60;
    pt.StepVelocity(7, 15) = 100;
    pt.SetStepOff(1, 9, true);
    SysexBuffer ev;
    ASSERT_EQ(BuildPatternDump(model, ev, 3, 3), kPatternDumpSize);
    const std::vector<uint8_t> b = Bytes(ev);
    EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + 9), Header(0x01, 3));
    auto pairAt = [&](int pos) { return b[std::size_t(pos)] + (b[std::size_t(pos + 1)] << 7); };
    EXPECT_EQ(pairAt(9 + 2), 120);  // header word 1
    EXPECT_EQ(pairAt(9 + 12), 254);  // MuteMask
    for (int t = 0; t < 8; ++t) {
        EXPECT_EQ(pairAt(41 + 2 * t), 0x90);  // TrackEvent
        EXPECT_EQ(pairAt(73 + 2 * t), 127);  // TrackData2
        EXPECT_EQ(pairAt(121 + 2 * t), 16);  // TrackEndStep
        EXPECT_EQ(pairAt(201 + 2 * t), 1);  // TrackStartStep
    }
    EXPECT_EQ(pairAt(153 + 2 * 3), 1 << 1);  // step 9 of track 1: word 72 + 2 + 1, bit 1
    EXPECT_EQ(pairAt(521 + 2 * (16 * 2 + 5)), 60);
    EXPECT_EQ(pairAt(777 + 2 * (16 * 7 + 15)), 100);
    EXPECT_EQ(b[1033], 0xF7);

    Pattern_Parameters back;
    back.PatternNotes = "kept";
    back.PatternName[0] = 'Q';
    ASSERT_TRUE(DecodePatternDump(ev, back));
    EXPECT_EQ(back.W, pt.W);
    EXPECT_EQ(back.PatternNotes, "kept");
    EXPECT_EQ(back.PatternName[0], 'Q');
}

TEST(SysexCodecTest, ValueDumpTruncatesWordsAndEmptiesSliderNames) {
    Morvelant_Parameters p;
    p.FaderValue(3) = 300;
    p.ActiveMode(0) = 0x82;
    SysexBuffer ev;
    BuildPresetValueDump(ev, 0, p);
    Morvelant_Parameters back;
    back.SliderName[7] = "gone";
    back.FaderString[7] = "kept";
    ASSERT_TRUE(DecodePresetDump(ev, back));
    EXPECT_EQ(back.FaderValue(3), 44);
    EXPECT_EQ(back.ActiveMode(0), 0x82);
    EXPECT_EQ(back.SliderName[7], "");
    EXPECT_EQ(back.FaderString[7], "kept");
}

// Every record of a model, with random content, through both dumps.
TEST(SysexCodecTest, EveryRecordRoundTripsThroughItsDumps) {
    std::mt19937 rng(1234);
    auto byte = [&] { return int32_t(rng() % 256); };
    auto hexString = [&](bool allowLive) {
        std::string s;
        int n = int(rng() % 21);
        for (int i = 0; i < n; ++i) {
            if (i) s += ' ';
            char buf[3];
            std::snprintf(buf, sizeof buf, "%02X", unsigned(rng() % 256));
            s += buf;
        }
        (void)allowLive;
        return s;
    };
    for (int slot = 0; slot < kPresetCount; ++slot) {
        Morvelant_Parameters p;
        for (auto& w : p.W) w = byte();
        for (int f = 0; f < kFaderCount; ++f) {
            p.FaderMidiData1(f) = 200;  // no placeholder position in range
            p.KeyOnMidiData1(f) = 200;
            p.KeyOffMidiData1(f) = 200;
            p.FaderString[f] = hexString(false);
            p.KeyOnString[f] = hexString(false);
            p.KeyOffString[f] = hexString(false);
            std::string name;
            for (int i = 0; i < 8; ++i) name += char(' ' + rng() % 91);  // 32..122
            p.SliderName[f] = name == DefaultSliderName(f) ? "x" + name.substr(1) : name;
        }
        for (auto& s : p.SpecialKeyString) s = hexString(false);
        SysexBuffer ev;
        const std::size_t e1 = BuildPresetValueDump(ev, uint8_t(slot), p);
        BuildPresetTextDump(ev, uint8_t(slot), p);
        Morvelant_Parameters back;
        ASSERT_TRUE(DecodePresetDump(std::span(ev).first(e1), back));
        ASSERT_TRUE(DecodePresetTextDump(std::span(ev).subspan(e1), back));
        EXPECT_EQ(back, p) << "preset " << slot;

        Pattern_Parameters pt;
        for (auto& w : pt.W) w = byte();
        ev.clear();
        BuildPatternDump(ev, uint8_t(slot), pt);
        Pattern_Parameters pback;
        ASSERT_TRUE(DecodePatternDump(ev, pback));
        EXPECT_EQ(pback, pt) << "pattern " << slot;
    }
}

TEST(SysexCodecTest, LongStringsAppendWithoutLimitAndStayDecodable) {
    Morvelant_Parameters p;
    std::string longString;
    for (int i = 0; i < 500; ++i) longString += (i ? " 7E" : "7E");
    p.FaderString[0] = longString;
    p.FaderMidiData1(0) = 9999;
    SysexBuffer ev;
    const std::size_t end = BuildPresetTextDump(ev, 0, p);
    EXPECT_EQ(end, kEmptyTextDumpSize + 6 + 2 * 500);
    Morvelant_Parameters back;
    back.FaderMidiData1(0) = 9999;
    EXPECT_TRUE(DecodePresetTextDump(ev, back));
    EXPECT_EQ(back.FaderString[0], longString);

    // Strings beyond what the 16-bit sizes can carry are left out, and the
    // dump stays walkable.
    std::string huge(200000, 'A');
    for (int f = 0; f < 3; ++f) p.KeyOnString[f] = huge;
    ev.clear();
    BuildPresetTextDump(ev, 0, p);
    EXPECT_LE((ev.size() - 9) / 2, 0xFFFFu);
    EXPECT_TRUE(DecodePresetTextDump(ev, back));
}

// ---- Bad input ---------------------------------------------------------------

TEST(SysexCodecTest, ShortValueAndPatternDumpsAreRefusedAndChangeNothing) {
    Morvelant_Parameters p;
    p.FaderValue(0) = 42;
    p.SliderName[0] = "keep";
    SysexBuffer ev;
    BuildPresetValueDump(ev, 0, Morvelant_Parameters{});
    for (std::size_t n : {std::size_t(0), std::size_t(9), std::size_t(1033)}) {
        EXPECT_FALSE(DecodePresetDump(std::span(ev).first(n), p));
        EXPECT_EQ(p.FaderValue(0), 42);
        EXPECT_EQ(p.SliderName[0], "keep");
    }
    Pattern_Parameters pt;
    pt.W[100] = 7;
    EXPECT_FALSE(DecodePatternDump(std::span(ev).first(1033), pt));
    EXPECT_EQ(pt.W[100], 7);
}

TEST(SysexCodecTest, SlotWrappersRefuseSlotsOutsideTheModel) {
    DeviceModel model;
    SysexBuffer ev;
    BuildPresetValueDump(ev, 0, Morvelant_Parameters{});
    for (int slot : {-1, 128, 1000}) {
        EXPECT_FALSE(DecodePresetDump(model, slot, ev));
        EXPECT_FALSE(DecodePresetTextDump(model, slot, ev));
        EXPECT_FALSE(DecodePatternDump(model, slot, ev));
        SysexBuffer out;
        EXPECT_EQ(BuildPresetValueDump(model, out, 0, slot), 0u);
        EXPECT_EQ(BuildPatternDump(model, out, 0, slot), 0u);
    }
    EXPECT_TRUE(DecodePresetDump(model, 127, ev));
}

TEST(SysexCodecTest, TextDumpWalkStopsOnZeroSizedAndOverlongBlocks) {
    Morvelant_Parameters p;
    p.FaderString[0] = "B0 07 7F";
    p.FaderMidiData1(0) = 128;
    SysexBuffer good;
    BuildPresetTextDump(good, 0, p);

    // Block size 0: the walk would never advance.
    SysexBuffer zero = good;
    for (int i = 9; i < 13; ++i) zero[std::size_t(i)].data1 = 0;
    zero.pop_back();  // and no F7 where the block would end
    Morvelant_Parameters out;
    out.FaderString[0] = "old";
    EXPECT_FALSE(DecodePresetTextDump(zero, out));
    EXPECT_EQ(out.FaderString[0], "");  // emptied, and the walk stopped

    // A second block whose size runs far past the data.
    SysexBuffer overlong = good;
    overlong.pop_back();
    for (int b : {0x7F, 0x01, 0x7F, 0x01, 0, 0}) overlong.push_back(MidiEvent{0, 0xF0, uint8_t(b), 0, 0});
    EXPECT_FALSE(DecodePresetTextDump(overlong, out));

    // Two blocks in a row are both walked.
    SysexBuffer twoBlocks(good.begin(), good.end() - 1);
    Morvelant_Parameters q;
    q.KeyOnString[1] = "C0 01";
    q.KeyOnMidiData1(1) = 128;
    SysexBuffer second;
    BuildPresetTextDump(second, 0, q);
    twoBlocks.insert(twoBlocks.end(), second.begin() + 9, second.end());
    Morvelant_Parameters both;
    both.FaderMidiData1(0) = 128;
    both.KeyOnMidiData1(1) = 128;
    EXPECT_TRUE(DecodePresetTextDump(twoBlocks, both));
    EXPECT_EQ(both.FaderString[0], "B0 07 7F");
    EXPECT_EQ(both.KeyOnString[1], "C0 01");

    // A block whose size ends it inside its own entries (here on an F7 byte
    // in an entry's index) is refused: the walk must never go back over
    // entries it has passed, or a dump of many such blocks takes ages.
    std::vector<uint8_t> b = Header(0x03, 0);
    Append(b, {5, 0, 0, 0, 0, 0});  // S = 5: the block would end at byte 19
    Append(b, {4, 0, 0, 0, 0xF7, 0, 1, 0});  // an entry whose index pair starts with F7
    Append(b, {0, 0, 0, 0, 0x7F, 1, 0xF7});
    Morvelant_Parameters inside;
    EXPECT_FALSE(DecodePresetTextDump(DumpFromBytes(b), inside));
    EXPECT_FALSE(TextDumpIsComplete(DumpFromBytes(b)));
    EXPECT_TRUE(TextDumpIsComplete(twoBlocks));
}

TEST(SysexCodecTest, TextDumpEntriesForUnknownIndexesAndLongNamesAreBounded) {
    std::vector<uint8_t> b = Header(0x03, 0);
    Append(b, {0, 0, 0, 0, 0, 0});  // size (patched below), slot pair
    Append(b, {4, 0, 0, 0, 76, 0, 0x11, 0});  // index 76: no field
    // A name of 12 characters keeps 8.
    Append(b, {15, 0, 0, 0, 96 + 5, 0});
    for (char c : std::string("ABCDEFGHIJKL")) AppendPair(b, c);
    Append(b, {0, 0, 0, 0, 0x7F, 1});
    const int s = int(b.size() - 9 + 1) / 2;
    b[9] = uint8_t(s & 0x7F);
    b[10] = uint8_t((s & 0x80) >> 7);
    b.push_back(0xF7);
    Morvelant_Parameters p;
    EXPECT_TRUE(DecodePresetTextDump(DumpFromBytes(b), p));
    EXPECT_EQ(p.SliderName[5], "ABCDEFGH");
}

TEST(SysexCodecTest, DecodersSurviveEveryPrefixAndRandomBytes) {
    DeviceModel model;
    model.Presets[0].FaderString[2] = "F0 XX F7";
    model.Presets[0].FaderMidiData1(2) = 1;
    model.Presets[0].SliderName[3] = "Name";
    SysexBuffer text;
    BuildPresetTextDump(model, text, 0, 0);
    // Only the whole dump walks to its F7; every shorter piece is refused.
    for (std::size_t n = 0; n <= text.size(); ++n) {
        Morvelant_Parameters p;
        p.FaderMidiData1(2) = 1;
        EXPECT_EQ(DecodePresetTextDump(std::span(text).first(n), p), n == text.size()) << n;
    }
    std::mt19937 rng(99);
    for (int round = 0; round < 2000; ++round) {
        SysexBuffer ev(rng() % 2100);
        for (auto& e : ev) e = MidiEvent{0, 0xF0, uint8_t(rng() % 256), 0, 0};
        if (round % 3 == 0 && ev.size() > 12) {
            // Small sizes make the walk go further.
            ev[9].data1 = uint8_t(rng() % 8);
            ev[10].data1 = ev[11].data1 = ev[12].data1 = 0;
        }
        Morvelant_Parameters p;
        Pattern_Parameters pt;
        DecodePresetTextDump(ev, p);
        for (const auto& name : p.SliderName) ASSERT_LE(name.size(), std::size_t(kNameLength));
        // A whole dump is taken only when every pair is a value.
        const bool values = FirstBadValuePair(ev) < 0;
        ASSERT_EQ(DecodePresetDump(ev, p), ev.size() >= kValueDumpSize && values);
        ASSERT_EQ(DecodePatternDump(ev, pt), ev.size() >= kPatternDumpSize && values);
    }
}

}  // namespace
}  // namespace morvelant
