// The canonical event-string text, its caret and data 1, the placeholder
// move of a String event's data 1, and the name fields.
#include <gtest/gtest.h>

#include "faders/EventStringRules.h"

namespace morvelant {
namespace {

struct CanonCase {
    const char* typed;
    int caret;
    bool backBlank;
    const char* text;
    int newCaret;
    int data1;
};

TEST(EventStringRules, CanonicalTextCaretAndData1) {
    const std::string sixtyOne(61, 'A');
    const CanonCase cases[] = {
        {"b", 1, false, "B", 1, 1},
        {"B0", 2, false, "B0", 2, 2},
        {"B07", 3, false, "B0 7", 4, 2},
        {"f0,41;10", 8, false, "F0 41 10", 8, 4},
        {"xx", 2, false, "XX", 2, 0},
        {"B0 07 XX", 8, false, "B0 07 XX", 8, 2},
        {"XX F0", 5, false, "XX F0", 5, 0},
        {"B0 0X X1", 8, false, "B0 0X X1", 8, 4},  // "XX" across two pairs
        {"F0 41", 5, false, "F0 41", 5, 3},
        {"", 0, false, "", 0, 1},
        {"XXX", 3, false, "XX", 2, 0},
        {"X1X", 3, false, "X1", 2, 2},
        {"XX 12 XX", 8, false, "XX 12", 5, 0},
        {"1234", 2, false, "12 34", 3, 3},  // Delete took the blank: it comes back
        {"1234", 2, true, "13 4", 1, 2},  // Backspace over the blank of "12 34"
    };
    for (const CanonCase& c : cases) {
        const EventStringEdit e = CanonicaliseEventString(c.typed, c.caret, c.backBlank);
        EXPECT_EQ(e.text, c.text) << c.typed;
        EXPECT_EQ(e.caret, c.newCaret) << c.typed;
        EXPECT_EQ(e.data1, c.data1) << c.typed;
        // A second pass over canonical text changes nothing.
        const EventStringEdit again = CanonicaliseEventString(e.text, e.caret, false);
        EXPECT_EQ(again.text, e.text) << c.typed;
        EXPECT_EQ(again.caret, e.caret) << c.typed;
    }
    const EventStringEdit longest = CanonicaliseEventString(sixtyOne, 61, false);
    EXPECT_EQ(longest.text.size(), 89u);  // 30 pairs, 29 blanks
    EXPECT_EQ(longest.caret, 89);
}

TEST(EventStringRules, SpecialKeysTakeHexDigitsOnly) {
    EXPECT_EQ(CanonicaliseEventString("f0 7f 7f 06 02 f7", 17, false, StringKind::SpecialKey).text,
              "F0 7F 7F 06 02 F7");
    EXPECT_EQ(CanonicaliseEventString("XX", 2, false, StringKind::SpecialKey).text, "");
}

TEST(EventStringRules, BackspaceFlagNeedsABlankBeforeTheCaret) {
    EXPECT_TRUE(BackspaceOverBlank("12 34", 3));
    EXPECT_FALSE(BackspaceOverBlank("12 34", 2));
    EXPECT_FALSE(BackspaceOverBlank("12 34", 0));
    EXPECT_FALSE(BackspaceOverBlank("", 4));
}

struct MoveCase {
    const char* stored;
    int x;
    const char* stores;  // after the rebuild; null: nothing to store
    int data1;
};

TEST(EventStringRules, PlaceholderFollowsData1) {
    const MoveCase cases[] = {
        {"B0 07 XX", 0, "XX B0 07", 0},
        {"B0 07 XX", 1, "B0 XX 07", 1},
        {"B0 07 XX", 2, "B0 07 XX", 2},
        {"B0 07 XX", 3, "B0 07", 3},
        {"B0 07 XX", 10, "B0 07", 3},
        {"B0 07 XX", 128, "B0 07", 3},
        {"B0 07", 1, "B0 XX 07", 1},
        {"XX", 0, "XX", 0},
        {"", 5, nullptr, 0},
    };
    for (const MoveCase& c : cases) {
        const auto moved = MovePlaceholder(c.stored, c.stored, c.x);
        if (!c.stores) {
            EXPECT_FALSE(moved) << c.stored;
            continue;
        }
        ASSERT_TRUE(moved) << c.stored << " " << c.x;
        const EventStringEdit e = CanonicaliseEventString(*moved, int(moved->size()), false);
        EXPECT_EQ(e.text, c.stores) << c.stored << " " << c.x;
        EXPECT_EQ(e.data1, c.data1) << c.stored << " " << c.x;
    }
}

// The bytes stored of a text whose last byte is still being typed.
TEST(EventStringRules, WholeBytesLeaveOutAHalfByteAtTheEnd) {
    const char* cases[][2] = {{"FA 12 3", "FA 12"}, {"F", ""}, {"FA 12", "FA 12"}, {"", ""}, {"B0 XX 7", "B0 XX"}};
    for (const auto& c : cases) EXPECT_EQ(WholeBytes(c[0]), c[1]) << c[0];
}

}  // namespace
}  // namespace morvelant
