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
