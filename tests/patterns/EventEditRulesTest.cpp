#include <gtest/gtest.h>

#include "model/PatternSteps.h"
#include "patterns/EventEditRules.h"

using namespace morvelant;

namespace {

class EventEditRules : public ::testing::Test {
protected:
    void SetUp() override {
        m.InitPattern(p);
        m.Patterns[p].TrackData1(t - 1) = 60;
    }
    Pattern_Parameters& P() { return m.Patterns[p]; }
    int Note(int s) { return P().StepNote(t - 1, s - 1); }

    DeviceModel m;
    const int p = 3, t = 2;
};

TEST_F(EventEditRules, ClickSetsMovesAndSwitchesSteps) {
    SetStepNote(m, p, t, 7, 1);
    EXPECT_EQ(NoteClick(m, p, t, 1, 67), NoteClickResult::SwitchedOff);  // on the note
    EXPECT_FALSE(GetStepOn(m, p, t, 1));
    EXPECT_EQ(NoteClick(m, p, t, 1, 67), NoteClickResult::SwitchedOn);  // and back
    EXPECT_TRUE(GetStepOn(m, p, t, 1));
    EXPECT_EQ(Note(1), 7);
    EXPECT_EQ(NoteClick(m, p, t, 18, 72), NoteClickResult::Moved);  // slot 18 plays step 2
    EXPECT_EQ(Note(2), 12);
    EXPECT_EQ(NoteClick(m, p, t, 0, 72), NoteClickResult::None);  // left of the first slot
    EXPECT_EQ(NoteClick(m, p, t, 1, 128), NoteClickResult::None);
}

TEST_F(EventEditRules, RaisedPassEditsTheWrittenPitch) {
    P().TrackRunMode(t - 1) = 2;  // Up 2 octaves: pass 1 at +12, pass 2 at +24, pass 3 at 0
    SetStepNote(m, p, t, 4, 3);
    EXPECT_EQ(NoteClick(m, p, t, 16 + 3, 60 + 24 + 4), NoteClickResult::SwitchedOff);
    EXPECT_EQ(NoteClick(m, p, t, 3, 60 + 12 + 9), NoteClickResult::SwitchedOn);
    EXPECT_EQ(Note(3), 9);
    EXPECT_EQ(NoteClick(m, p, t, 3, 11), NoteClickResult::None);  // below the shift
}

TEST_F(EventEditRules, ClickBelowTheOffsetRebasesTheTrack) {
    SetStepNote(m, p, t, 0, 1);
    SetStepNote(m, p, t, 7, 2);
    SetStepOn(m, p, t, false, 3);
    EXPECT_EQ(NoteClick(m, p, t, 3, 55), NoteClickResult::Rebased);
    EXPECT_EQ(P().TrackData1(t - 1), 55);
    EXPECT_EQ(Note(1), 5);
    EXPECT_EQ(Note(2), 12);
    EXPECT_EQ(Note(3), 0);
    EXPECT_TRUE(GetStepOn(m, p, t, 3));
}

TEST_F(EventEditRules, RebaseNeverTakesANoteAbove127) {
    SetStepNote(m, p, t, 127, 5);
    const Pattern_Parameters before = P();
    EXPECT_EQ(NoteClick(m, p, t, 1, 59), NoteClickResult::Refused);
    EXPECT_EQ(P().W, before.W);
    SetStepNote(m, p, t, 126, 5);
    EXPECT_EQ(NoteClick(m, p, t, 1, 59), NoteClickResult::Rebased);
    EXPECT_EQ(Note(5), 127);
}

TEST_F(EventEditRules, VelocityPaintingAndCursor) {
    P().TrackData2(t - 1) = 64;
    struct Case {
        int slot, y;
        bool stored;
        int velocity;
    } cases[] = {{1, 0, true, 127}, {2, 40, true, 0}, {3, 20, true, 63}, {4, -9, true, 127}, {0, 10, false, 0}};
    for (const Case& c : cases) {
        const int step = c.slot >= 1 ? c.slot : 1;
        SetStepVelocity(m, p, t, 0, step);
        EXPECT_EQ(PaintVelocity(m, p, t, c.slot, c.y, 40), c.stored) << c.slot;
        if (c.stored) { EXPECT_EQ(P().StepVelocity(t - 1, step - 1), c.velocity) << c.slot; }
    }
    SetStepOn(m, p, t, false, 6);
    EXPECT_FALSE(PaintVelocity(m, p, t, 6, 0, 40));
    EXPECT_EQ(NoteAreaCursor(P(), t, 1, 60, 50, 50, 300), NoteCursor::Pencil);
    EXPECT_EQ(NoteAreaCursor(P(), t, 0, 60, 50, 50, 300), NoteCursor::NotAllowed);
    EXPECT_EQ(NoteAreaCursor(P(), t, 1, 60, 50, 298, 300), NoteCursor::ResizeValueArea);
    EXPECT_EQ(NoteAreaCursor(P(), t, 1, 60, 2, 50, 300), NoteCursor::ResizeKeyColumn);
}

}  // namespace
