// Lookups of stored values never leave their tables.
#include <gtest/gtest.h>

#include "faders/FaderEventTables.h"

namespace morvelant {
namespace {

TEST(FaderEventTables, StoredWordsFindTheirListEntries) {
    struct {
        int32_t status;
        int fader;
        int key;
    } cases[] = {{0xB5, 0, 2},  {0xF0, 4, 6},  {0x00, 5, -1},   {0x6F, 11, -1}, {0x70, 12, 7},
                 {0x93, 14, 0}, {0x80, 13, 8}, {0x1234, 8, -1}, {-1, 4, 6}};
    for (const auto& c : cases) {
        EXPECT_EQ(FaderEventIndex(c.status), c.fader) << c.status;
        EXPECT_EQ(KeyEventIndex(c.status), c.key) << c.status;
    }
    EXPECT_EQ(FaderRowLayoutOf(-1), nullptr);
    EXPECT_EQ(FaderRowLayoutOf(kFaderEventCount), nullptr);
    EXPECT_EQ(KeyRowLayoutOf(kKeyEventCount), nullptr);
}

TEST(FaderEventTables, MidiModeItemsAndStoredValues) {
    ASSERT_EQ(MidiModeItems().size(), size_t(kMidiModeItemCount));
    EXPECT_EQ(MidiModeItems()[4], "Input 1  >  Velocity Overdup One  >  Output ----");
    EXPECT_EQ(MidiModeItems()[59], "Input 2  >  Overdup Mode             >  Output 1&2");
    struct {
        int32_t stored;
        int item;
    } cases[] = {{3, 3}, {8, 4}, {9, 5}, {0x89, 5}, {5, 5}, {54, 50}, {63, 59}, {0xFF, 59}, {-1, 59}};
    for (const auto& c : cases) {
        const int item = MidiModeItemOfStored(c.stored);
        EXPECT_EQ(item, c.item) << c.stored;
        EXPECT_GE(item, 0);
        EXPECT_LT(item, kMidiModeItemCount);
    }
    EXPECT_EQ(MidiModeValueOfItem(3), 3);
    EXPECT_EQ(MidiModeValueOfItem(4), 8);
    EXPECT_EQ(MidiModeValueOfItem(59), 63);
}

TEST(FaderEventTables, ListIndexesOfDamagedValues) {
    EXPECT_EQ(ListIndexOf(24, int(MasterSlaveItems().size())), 24);
    EXPECT_EQ(ListIndexOf(25, int(MasterSlaveItems().size())), -1);
    EXPECT_EQ(ListIndexOf(-3, 4), -1);
    EXPECT_EQ(ListIndexOf(128, int(MuteValueItems().size())), 128);
    EXPECT_EQ(MuteValueItems()[128], "No Value");
    EXPECT_EQ(MasterSlaveItems()[24], "Slave/Master:024");
}

}  // namespace
}  // namespace morvelant
