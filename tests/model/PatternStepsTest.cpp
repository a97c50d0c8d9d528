#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "model/PatternSteps.h"
#include "model/TrackSettings.h"

using namespace morvelant;

namespace {

class PatternSteps : public ::testing::Test {
protected:
    std::unique_ptr<DeviceModel> model = std::make_unique<DeviceModel>();
    DeviceModel& m = *model;
    Pattern_Parameters& P(int p = 3) { return m.Patterns[size_t(p)]; }

    // Track t of pattern 3 with range first..last and step s holding note 59 + s,
    // velocity s and on/off by parity.
    void Fill(int t, int first, int last) {
        P().TrackStartStep(t - 1) = first;
        P().TrackEndStep(t - 1) = last;
        for (int s = 1; s <= 16; ++s) {
            SetStepNote(m, 3, t, 59 + s, s);
            SetStepVelocity(m, 3, t, s, s);
            SetStepOn(m, 3, t, s % 2 == 0, s);
        }
    }
    std::vector<int> Notes(int t) {
        std::vector<int> v;
        for (int s = 1; s <= 16; ++s) v.push_back(P().StepNote(t - 1, s - 1));
        return v;
    }
};

TEST_F(PatternSteps, StepBitLayout) {
    struct Case {
        int t, s, word, bit;
    } cases[] = {{1, 1, 0, 0}, {1, 8, 0, 7}, {1, 9, 1, 0}, {2, 1, 2, 0}, {8, 16, 15, 7}};
    for (const Case& c : cases) {
        P() = Pattern_Parameters{};
        SetStepOn(m, 3, c.t, false, c.s);
        for (int w = 0; w < 16; ++w) EXPECT_EQ(P().StepOffBits(w), w == c.word ? (1 << c.bit) : 0) << c.t << c.s;
        EXPECT_FALSE(GetStepOn(m, 3, c.t, c.s));
        SetStepOn(m, 3, c.t, true, c.s);
        EXPECT_TRUE(GetStepOn(m, 3, c.t, c.s));
    }
    // -1 and -2 read the clipboard and the spare record; bad indexes read "off"
    // and write nothing.
    m.TrackClipboard.SetStepOff(2, 4, true);
    m.PatternSpare1.SetStepOff(0, 0, true);
    EXPECT_FALSE(GetStepOn(m, -1, 3, 5));
    EXPECT_FALSE(GetStepOn(m, -2, 1, 1));
    EXPECT_TRUE(GetStepOn(m, -1, 1, 1));
    const Pattern_Parameters before = P();
    for (auto [p, t, s] : std::vector<std::array<int, 3>>{{-3, 1, 1}, {128, 1, 1}, {3, 0, 1}, {3, 9, 1}, {3, 1, 17}}) {
        EXPECT_FALSE(GetStepOn(m, p, t, s));
        SetStepOn(m, p, t, false, s);
        SetStepNote(m, p, t, 5, s);
        SetStepVelocity(m, p, t, 5, s);
    }
    SetStepOn(m, -1, 1, false, 1);  // the clipboard is read-only here
    EXPECT_TRUE(GetStepOn(m, -1, 1, 1));
    EXPECT_EQ(P(), before);
}

TEST_F(PatternSteps, NoteNames) {
    const std::pair<int, const char*> cases[] = {{0, "C -1"},  {1, "C#-1"},   {8, "Ab-1"},  {12, "C  0"},
                                                 {61, "C# 4"}, {127, "G  9"}, {200, "200"}, {-1, "-1"}};
    for (auto [n, name] : cases) EXPECT_EQ(StepNoteName(n), name);
    for (int n = 0; n < 128; ++n) EXPECT_EQ(m.NoteNames[size_t(n)].substr(6), StepNoteName(n));
}

TEST_F(PatternSteps, MovingStepsWithinTheRange) {
    using Op = void (*)(DeviceModel&, int, int);
    struct Case {
        Op op;
        std::vector<int> notes5to8;
    } cases[] = {{RotateTrackLeft, {65, 66, 67, 64}},
                 {RotateTrackRight, {67, 64, 65, 66}},
                 {ShiftTrackLeft, {65, 66, 67, 67}},
                 {ShiftTrackRight, {64, 64, 65, 66}}};
    for (const Case& c : cases) {
        Fill(2, 5, 8);
        c.op(m, 3, 2);
        const std::vector<int> n = Notes(2);
        EXPECT_EQ(std::vector<int>(n.begin() + 4, n.begin() + 8), c.notes5to8);
        for (int s = 1; s <= 16; ++s) {
            if (s >= 5 && s <= 8) {
                // Velocity and on/off state move with the note.
                const int from = n[size_t(s - 1)] - 59;
                EXPECT_EQ(P().StepVelocity(1, s - 1), from);
                EXPECT_EQ(GetStepOn(m, 3, 2, s), from % 2 == 0);
            } else {
                EXPECT_EQ(n[size_t(s - 1)], 59 + s);
            }
        }
    }
}

TEST_F(PatternSteps, DamagedRangesStayInsideTheTrack) {
    struct Case {
        int first, last;
        std::vector<int> expected;  // notes after Rotate Left
    } cases[] = {
        {9, 4, {}},  // start after end: nothing
        {15, 40, {60, 61, 62, 63, 64, 65, 66, 67, 68, 69, 70, 71, 72, 73, 75, 74}},
        {-5, 2, {61, 60, 62, 63, 64, 65, 66, 67, 68, 69, 70, 71, 72, 73, 74, 75}},
        {7, 7, {}},
    };
    for (const Case& c : cases) {
        Fill(8, c.first, c.last);
        const std::vector<int> before = Notes(8);
        RotateTrackLeft(m, 3, 8);
        EXPECT_EQ(Notes(8), c.expected.empty() ? before : c.expected) << c.first << ".." << c.last;
    }
}

TEST_F(PatternSteps, TransposeAndVelocityAreHeldTo0To127) {
    Fill(1, 1, 16);
    SetStepNote(m, 3, 1, 127, 1);
    SetStepNote(m, 3, 1, 0, 2);
    TransposeTrack(m, 3, 1, 1);
    EXPECT_EQ(P().StepNote(0, 0), 127);
    EXPECT_EQ(P().StepNote(0, 1), 1);
    EXPECT_EQ(P().StepNote(0, 2), 63);  // steps that are off are transposed too
    TransposeTrack(m, 3, 1, -500);
    EXPECT_EQ(Notes(1), std::vector<int>(16, 0));
    ChangeTrackVelocity(m, 3, 1, 200);
    EXPECT_EQ(P().StepVelocity(0, 15), 127);
}

TEST_F(PatternSteps, CopyPasteAndExchange) {
    Fill(3, 2, 9);
    P().TrackGateTime(2) = 44;
    P().TrackStatus(2) = 7;
    InitTrackSteps(m, 3, 5);
    SetTrackMute(m, 3, 5, true);
    CopyTrack(m, 3, 3);
    EXPECT_EQ(m.CopiedTrack, 3);
    PasteTrackWithClipboard(m, 3, 5);
    EXPECT_EQ(P().TrackGateTime(4), 44);
    EXPECT_EQ(P().TrackStatus(4), 7);
    EXPECT_EQ(P().TrackStartStep(4), 2);
    EXPECT_EQ(Notes(5), Notes(3));
    EXPECT_TRUE(TrackMuted(P(), 5));  // a paste never changes the mute bit
    EXPECT_EQ(m.CopiedTrack, 5);
    PasteTrack(m, 3, 3);  // the old track 5 comes back onto track 3
    EXPECT_EQ(Notes(3), std::vector<int>(16, 0));
    EXPECT_EQ(P().TrackGateTime(2), 20);
    for (int s = 1; s <= 16; ++s) EXPECT_FALSE(GetStepOn(m, 3, 3, s));
}

TEST_F(PatternSteps, InitTrackKeepsTheMuteBitOnly) {
    Fill(4, 3, 5);
    P().TrackEvent(3) = 0xB5;
    P().MuteMask() = 0xFF;
    InitTrackSteps(m, 3, 4);
    EXPECT_EQ(P().TrackEvent(3), 0x90);
    EXPECT_EQ(P().TrackStartStep(3), 1);
    EXPECT_EQ(P().TrackEndStep(3), 16);
    EXPECT_EQ(P().MuteMask(), 0xFF);
    for (int s = 1; s <= 16; ++s) {
        EXPECT_FALSE(GetStepOn(m, 3, 4, s));
        EXPECT_EQ(P().StepVelocity(3, s - 1), 0);
    }
}

TEST(TrackSettings, Names) {
    const std::pair<int, const char*> times[] = {
        {3, "error:3"},   {4, "002*1/96"},  {20, "006=1/16"},  {31, "008*1/96"},   {28, "008*1/96"},
        {44, "012=1/8 "}, {95, "024=1/4 "}, {124, "032*1/96"}, {128, "error:128"}, {-8, "error:-8"}};
    for (auto [v, name] : times) EXPECT_EQ(TimeName(v), name) << v;
    for (int i = 1; i < 32; ++i) EXPECT_EQ(TimeName(TimeCodes[size_t(i)]).size(), 8u);
    EXPECT_EQ(DelayName(0), "no Delay");
    EXPECT_EQ(DelayName(3), "no Delay");
    EXPECT_EQ(DelayName(8), "003=1/32");
    EXPECT_EQ(DelayName(128), "error:128");
    const std::pair<int, const char*> modes[] = {{0, "Up"},          {5, "Up 5-Okt."}, {6, "Down"},
                                                 {8, "Down 2-Okt."}, {12, "Up/Down1"}, {23, "Up/Down2 5-Okt."},
                                                 {24, "error:24"},   {-1, "error:-1"}};
    for (auto [v, name] : modes) EXPECT_EQ(RunModeName(v), name);
    const std::pair<int, const char*> events[] = {{0x93, "Note Event"}, {0xA0, "Poly Aft."}, {0xBF, "Controller"},
                                                  {0xC0, "Prg.Change"}, {0xD0, "Mono Aft."}, {0xE0, "Pitch Bend"},
                                                  {0x80, "error"},      {0xF0, "error"}};
    for (auto [v, name] : events) EXPECT_EQ(TrackEventName(v), name);
}

TEST_F(PatternSteps, SettersKeepTheTimesAndStepsConsistent) {
    Pattern_Parameters& t1 = P();
    t1.TrackGateTime(0) = 20;
    t1.TrackNoteTime(0) = 40;
    SetTrackGateTime(m, 3, 1, 5);
    EXPECT_EQ(t1.TrackNoteTime(0), 20);
    SetTrackNoteTime(m, 3, 1, 9);  // 36 > gate 20: refused
    EXPECT_EQ(t1.TrackNoteTime(0), 20);
    SetTrackGateTime(m, 3, 1, 32);  // no entry 32: nothing
    EXPECT_EQ(t1.TrackGateTime(0), 20);
    t1.TrackEndStep(0) = 8;
    SetTrackStartStep(m, 3, 1, 12);
    EXPECT_EQ(t1.TrackStartStep(0), 8);
    t1.TrackStartStep(0) = 5;
    SetTrackEndStep(m, 3, 1, 0);
    EXPECT_EQ(t1.TrackEndStep(0), 5);
    t1.TrackEndStep(0) = 0;  // damaged: the start still lands on a step
    SetTrackStartStep(m, 3, 1, 3);
    EXPECT_EQ(t1.TrackStartStep(0), 1);
    t1.TrackEvent(0) = 0x95;
    SetTrackEvent(m, 3, 1, 0xB0);
    EXPECT_EQ(t1.TrackEvent(0), 0xB5);
    SetTrackChannel(m, 3, 1, 9);
    EXPECT_EQ(t1.TrackEvent(0), 0xB9);
    t1.MuteMask() = 254;
    EXPECT_EQ(CountActiveTracks(m, 3), 1);
    SetTrackMute(m, 3, 1, true);
    EXPECT_EQ(CountActiveTracks(m, 3), 0);
}

}  // namespace
