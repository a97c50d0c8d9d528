#include <gtest/gtest.h>

#include "model/Parameters.h"

using namespace morvelant;

TEST(Parameters, EveryFaderArrayStartsAtItsWord) {
    Morvelant_Parameters p;
    for (int k = 0; k < Morvelant_Parameters::kFaderArrayCount; ++k)
        for (int f = 0; f < kFaderCount; ++f) {
            p.W.fill(0);
            p.FaderArray(k, f) = 7;
            EXPECT_EQ(p.W[16 + 24 * k + f], 7) << "array " << k << " fader " << f;
        }
    p.W.fill(0);
    p.SwitchMode(23) = 3;
    EXPECT_EQ(p.W[495], 3);
    p.KeyOnStatus(0) = 0x90;
    EXPECT_EQ(p.W[328], 0x90);
}

TEST(Parameters, PatternWordsAndStepOffBits) {
    Pattern_Parameters p;
    p.StepNote(7, 15) = 60;
    EXPECT_EQ(p.W[511 - 128], 60);
    p.StepVelocity(7, 15) = 100;
    EXPECT_EQ(p.W[511], 100);
    p.SetStepOff(3, 9, true);
    EXPECT_EQ(p.W[72 + 2 * 3 + 1], 1 << 1);
    EXPECT_TRUE(p.StepOff(3, 9));
    EXPECT_FALSE(p.StepOff(3, 1));
    p.MuteMask() = 254;
    EXPECT_EQ(p.W[6], 254);
}

TEST(Parameters, CharactersAreSignExtended) {
    EXPECT_EQ(CharToWord(static_cast<char>(0xE9)), -23);
    EXPECT_EQ(CharToWord('A'), 65);
    EXPECT_EQ(static_cast<unsigned char>(WordToChar(-23)), 0xE9);
}

// Each named accessor reaches exactly its own word: write a marker through the
// accessor into a zeroed record and find it at the word the layout names.
TEST(Parameters, EveryNamedAccessorHitsItsWord) {
    using MP = Morvelant_Parameters;
    struct Case {
        const char* name;
        int32_t& (*at)(MP&, int);
        int word;
        int count;
    };
    const Case cases[] = {
        {"PresetName", [](MP& m, int i) -> int32_t& { return m.PresetName(i); }, 0, 8},
        {"PresetReserved1", [](MP& m, int i) -> int32_t& { return m.PresetReserved1(i); }, 8, 8},
        {"FaderValue", [](MP& m, int i) -> int32_t& { return m.FaderValue(i); }, 16, 24},
        {"MuteVal", [](MP& m, int i) -> int32_t& { return m.MuteVal(i); }, 40, 24},
        {"DemuteVal", [](MP& m, int i) -> int32_t& { return m.DemuteVal(i); }, 64, 24},
        {"FaderMin", [](MP& m, int i) -> int32_t& { return m.FaderMin(i); }, 88, 24},
        {"FaderMax", [](MP& m, int i) -> int32_t& { return m.FaderMax(i); }, 112, 24},
        {"FaderThreshold", [](MP& m, int i) -> int32_t& { return m.FaderThreshold(i); }, 136, 24},
        {"ActiveMode", [](MP& m, int i) -> int32_t& { return m.ActiveMode(i); }, 160, 24},
        {"FaderMidiMode", [](MP& m, int i) -> int32_t& { return m.FaderMidiMode(i); }, 184, 24},
        {"MasterSlaveMode", [](MP& m, int i) -> int32_t& { return m.MasterSlaveMode(i); }, 208, 24},
        {"FaderOutMode", [](MP& m, int i) -> int32_t& { return m.FaderOutMode(i); }, 232, 24},
        {"FaderStatus", [](MP& m, int i) -> int32_t& { return m.FaderStatus(i); }, 256, 24},
        {"FaderMidiData1", [](MP& m, int i) -> int32_t& { return m.FaderMidiData1(i); }, 280, 24},
        {"FaderMidiData2", [](MP& m, int i) -> int32_t& { return m.FaderMidiData2(i); }, 304, 24},
        {"KeyOnStatus", [](MP& m, int i) -> int32_t& { return m.KeyOnStatus(i); }, 328, 24},
        {"KeyOnMidiData1", [](MP& m, int i) -> int32_t& { return m.KeyOnMidiData1(i); }, 352, 24},
        {"KeyOnMidiData2", [](MP& m, int i) -> int32_t& { return m.KeyOnMidiData2(i); }, 376, 24},
        {"KeyOffStatus", [](MP& m, int i) -> int32_t& { return m.KeyOffStatus(i); }, 400, 24},
        {"KeyOffMidiData1", [](MP& m, int i) -> int32_t& { return m.KeyOffMidiData1(i); }, 424, 24},
        {"KeyOffMidiData2", [](MP& m, int i) -> int32_t& { return m.KeyOffMidiData2(i); }, 448, 24},
        {"SwitchMode", [](MP& m, int i) -> int32_t& { return m.SwitchMode(i); }, 472, 24},
        {"PresetReserved2", [](MP& m, int i) -> int32_t& { return m.PresetReserved2(i); }, 496, 16},
    };
    for (const Case& c : cases)
        for (int i = 0; i < c.count; ++i) {
            MP m;
            c.at(m, i) = 0x5A5A;
            for (int w = 0; w < kWordCount; ++w)
                ASSERT_EQ(m.W[w], w == c.word + i ? 0x5A5A : 0) << c.name << "(" << i << ") word " << w;
        }

    using PP = Pattern_Parameters;
    struct PCase {
        const char* name;
        int32_t& (*at)(PP&, int);
        int word;
        int count;
    };
    const PCase pcases[] = {
        {"PatternHeader", [](PP& m, int i) -> int32_t& { return m.PatternHeader(i); }, 0, 16},
        {"TrackEvent", [](PP& m, int i) -> int32_t& { return m.TrackEvent(i); }, 16, 8},
        {"TrackData1", [](PP& m, int i) -> int32_t& { return m.TrackData1(i); }, 24, 8},
        {"TrackData2", [](PP& m, int i) -> int32_t& { return m.TrackData2(i); }, 32, 8},
        {"TrackGateTime", [](PP& m, int i) -> int32_t& { return m.TrackGateTime(i); }, 40, 8},
        {"TrackNoteTime", [](PP& m, int i) -> int32_t& { return m.TrackNoteTime(i); }, 48, 8},
        {"TrackEndStep", [](PP& m, int i) -> int32_t& { return m.TrackEndStep(i); }, 56, 8},
        {"TrackRunMode", [](PP& m, int i) -> int32_t& { return m.TrackRunMode(i); }, 64, 8},
        {"StepOffBits", [](PP& m, int i) -> int32_t& { return m.StepOffBits(i); }, 72, 16},
        {"TrackDelay", [](PP& m, int i) -> int32_t& { return m.TrackDelay(i); }, 88, 8},
        {"TrackStartStep", [](PP& m, int i) -> int32_t& { return m.TrackStartStep(i); }, 96, 8},
        {"TrackStatus", [](PP& m, int i) -> int32_t& { return m.TrackStatus(i); }, 104, 8},
        {"PatternReserved1", [](PP& m, int i) -> int32_t& { return m.PatternReserved1(i); }, 112, 16},
        {"PatternReserved2", [](PP& m, int i) -> int32_t& { return m.PatternReserved2(i); }, 128, 128},
        {"StepNote", [](PP& m, int i) -> int32_t& { return m.StepNote(i / 16, i % 16); }, 256, 128},
        {"StepVelocity", [](PP& m, int i) -> int32_t& { return m.StepVelocity(i / 16, i % 16); }, 384, 128},
    };
    for (const PCase& c : pcases)
        for (int i = 0; i < c.count; ++i) {
            PP m;
            c.at(m, i) = 0x5A5A;
            for (int w = 0; w < kWordCount; ++w)
                ASSERT_EQ(m.W[w], w == c.word + i ? 0x5A5A : 0) << c.name << "(" << i << ") word " << w;
        }

    // The fader block keeps the twenty numbers in preset order.
    using FP = Fader_Parameters;
    int32_t& (*const block[])(FP&) = {
        [](FP& b) -> int32_t& { return b.FaderValue(); },      [](FP& b) -> int32_t& { return b.MuteVal(); },
        [](FP& b) -> int32_t& { return b.DemuteVal(); },       [](FP& b) -> int32_t& { return b.FaderMin(); },
        [](FP& b) -> int32_t& { return b.FaderMax(); },        [](FP& b) -> int32_t& { return b.FaderThreshold(); },
        [](FP& b) -> int32_t& { return b.ActiveMode(); },      [](FP& b) -> int32_t& { return b.FaderMidiMode(); },
        [](FP& b) -> int32_t& { return b.MasterSlaveMode(); }, [](FP& b) -> int32_t& { return b.FaderOutMode(); },
        [](FP& b) -> int32_t& { return b.FaderStatus(); },     [](FP& b) -> int32_t& { return b.FaderMidiData1(); },
        [](FP& b) -> int32_t& { return b.FaderMidiData2(); },  [](FP& b) -> int32_t& { return b.KeyOnStatus(); },
        [](FP& b) -> int32_t& { return b.KeyOnMidiData1(); },  [](FP& b) -> int32_t& { return b.KeyOnMidiData2(); },
        [](FP& b) -> int32_t& { return b.KeyOffStatus(); },    [](FP& b) -> int32_t& { return b.KeyOffMidiData1(); },
        [](FP& b) -> int32_t& { return b.KeyOffMidiData2(); }, [](FP& b) -> int32_t& { return b.SwitchMode(); },
    };
    static_assert(std::size(block) == MP::kFaderArrayCount);
    for (std::size_t k = 0; k < std::size(block); ++k) {
        FP b;
        block[k](b) = 0x5A5A;
        for (std::size_t j = 0; j < b.Values.size(); ++j) ASSERT_EQ(b.Values[j], j == k ? 0x5A5A : 0) << k;
    }
}
