// The list windows' window-free logic: the name filter, the edit buffers
// (append, delete, clear) with every index bounded, the series delay and the
// pattern clipboard.
#include <gtest/gtest.h>

#include <vector>

#include "model/SlotLists.h"

namespace morvelant {
namespace {

TEST(SlotListsTest, NameFilterKeepsBlankToLowerZAndTheCaret) {
    struct Case {
        std::string typed;
        int caret;
        std::string name;
        int newCaret;
        std::string dropped = {};
    } cases[] = {
        {"Preset 1", 8, "Preset 1", 8}, {"Preset 12", 9, "Preset 1", 8}, {"ab{cd", 3, "abcd    ", 2, "{"},
        {"a~b", 2, "ab      ", 1, "~"}, {"", 0, "        ", 0},
        // The code page's letters and signs are names' characters too.
        {"x\xE9y", 3, "x\xE9y     ", 3}, {"a\x80\xDF\xFC", 4, "a\x80\xDF\xFC    ", 4}, {"a\x81" "b", 2, "ab      ", 1, "\x81"},
        {"\tTab", 1, "Tab     ", 0, "\t"},
        // A full name refuses what is typed into it; padding blanks make room.
        {"XPreset 6", 1, "Preset 6", 0}, {"ABCPreset 6", 3, "Preset 6", 0}, {"BassX    ", 5, "BassX   ", 5},
        {"Drum-Kit1", 9, "Drum-Kit", 8}, {"AB CD   X", 9, "AB CD   ", 8}, {"XAB CD   ", 1, "XAB CD  ", 1},
    };
    for (const Case& c : cases) {
        const FilteredName out = FilterSlotName(c.typed, c.caret);
        EXPECT_EQ(out.name, c.name) << c.typed;
        EXPECT_EQ(out.caret, c.newCaret) << c.typed;
        EXPECT_EQ(out.dropped, c.dropped) << c.typed;
    }
    // Fader and key names are not padded and keep ' ' to 'z' only.
    const Case faders[] = {{"Bass-Drum1", 10, "Bass-Dru", 8}, {"A\tB", 3, "AB", 2, "\t"}, {"x\xE4y~", 4, "xy", 2, "\xE4~"},
                           {"XFader001", 1, "Fader001", 0}, {"", 0, "", 0}, {"Kick  X", 7, "Kick  X", 7}};
    for (const Case& c : faders) {
        const FilteredName out = FilterSlotName(c.typed, c.caret, NameKind::Fader);
        EXPECT_EQ(out.name + "|" + std::to_string(out.caret) + "|" + out.dropped,
                  c.name + "|" + std::to_string(c.newCaret) + "|" + c.dropped);
    }
}

struct Named {
    DeviceModel model;
    SlotKind kind;
    explicit Named(SlotKind k) : kind(k) {
        for (int s = 64; s < 128; ++s) SetSlotName(model, kind, s, "B" + std::to_string(s));
    }
    std::string Name(int s) const { return SlotName(model, kind, s).substr(0, 4); }
};

TEST(SlotListsTest, DeleteSelectsTheBufferThatMovedIntoPlace) {
    struct Case {
        int count, deleted, shown, countAfter;
        std::string slot64, slot65;
    } cases[] = {
        {3, 0, 0, 2, "B65 ", "B66 "},  // the first of several: the next one moves up
        {3, 1, 1, 2, "B64 ", "B66 "}, {3, 2, 1, 2, "B64 ", "B65 "},  // the last: the one before it
        {3, 7, 1, 2, "B64 ", "B65 "},  // out of range counts as the last
        {1, 0, 0, 1, "Pres", "B65 "},  // the only buffer is initialised instead
    };
    for (const Case& c : cases) {
        Named n(SlotKind::Presets);
        EditBufferCount(n.model, n.kind) = c.count;
        EXPECT_EQ(DeleteEditBuffer(n.model, n.kind, c.deleted), c.shown) << c.deleted;
        EXPECT_EQ(EditBufferCount(n.model, n.kind), c.countAfter);
        EXPECT_EQ(n.Name(64), c.slot64);
        EXPECT_EQ(n.Name(65), c.slot65);
        EXPECT_EQ(n.model.PresetEditBufferNames.size(), std::size_t(c.countAfter - 1));
    }
    Named p(SlotKind::Patterns);
    EditBufferCount(p.model, p.kind) = 1;
    DeleteEditBuffer(p.model, p.kind, 0);
    EXPECT_EQ(p.Name(64), "Seq ");
}

TEST(SlotListsTest, AppendStopsAtSixtyFourBuffersAndClearKeepsTheData) {
    for (SlotKind kind : {SlotKind::Presets, SlotKind::Patterns}) {
        Named n(kind);
        SetSlotName(n.model, kind, 5, "Source");
        EXPECT_EQ(AppendEditBuffer(n.model, kind, 5), 1);
        EXPECT_EQ(SlotName(n.model, kind, 65), "Source  ");
        EditBufferCount(n.model, kind) = 63;
        EXPECT_EQ(AppendEditBuffer(n.model, kind, 5), 63);
        EXPECT_EQ(AppendEditBuffer(n.model, kind, 5), -1);
        EXPECT_EQ(EditBufferCount(n.model, kind), 64);
        EXPECT_EQ(BufferSlot(n.model, kind, 63), 127);
        for (int bad : {-1, 64, 128}) EXPECT_EQ(BufferSlot(n.model, kind, bad), -1);
        ClearEditBuffers(n.model, kind);
        EXPECT_EQ(EditBufferCount(n.model, kind), 1);
        EXPECT_EQ(SlotName(n.model, kind, 127), "Source  ");
        EXPECT_NE(SlotName(n.model, kind, 64), "B64     ");
    }
}

TEST(SlotListsTest, SeriesDelayAndPatternClipboard) {
    for (auto [ms, delay] : {std::pair{500, 500}, {1, 1}, {0, 3000}, {-20, 3000}}) EXPECT_EQ(SeriesDelay(ms), delay);
    DeviceModel m;
    m.Patterns[3].PatternNotes = "three";
    CopyPatternToClipboard(m, 3);
    m.Patterns[7].PatternNotes = "seven";
    ExchangePatternWithClipboard(m, 7);
    EXPECT_EQ(m.Patterns[7].PatternNotes, "three");
    EXPECT_EQ(m.PatternClipboard.PatternNotes, "seven");
    PastePatternFromClipboard(m, 2);
    EXPECT_EQ(m.Patterns[2].PatternNotes, "seven");
    for (int bad : {-1, 128}) {
        CopyPatternToClipboard(m, bad);
        PastePatternFromClipboard(m, bad);
    }
    EXPECT_EQ(m.PatternClipboard.PatternNotes, "seven");
}

TEST(SlotListsTest, DropsExchangeThroughTheClipboardAndScopesReturnTheSlotToShow) {
    for (SlotKind kind : {SlotKind::Presets, SlotKind::Patterns}) {
        Named n(kind);
        SetSlotName(n.model, kind, 1, "One");
        SetSlotName(n.model, kind, 2, "Two");
        DropOnSlot(n.model, kind, 1, 2, true);
        EXPECT_EQ(n.Name(1) + n.Name(2), "Two One ");
        DropOnSlot(n.model, kind, 1, 3, false);
        EXPECT_EQ(n.Name(3), "Two ");
        EXPECT_EQ(DropOnEditBuffers(n.model, kind, 1, 0, true), 0);
        EXPECT_EQ(n.Name(64), "Two ");
        EditBufferCount(n.model, kind) = 64;
        EXPECT_EQ(DropOnEditBuffers(n.model, kind, 1, 5, false), -1);

        for (int bad : {-1, 64}) {
            MarkSlot(n.model, kind, bad, true);
            EXPECT_FALSE(SlotMarked(n.model, kind, bad));
        }
        CurrentSlot(n.model, kind) = 9;
        std::vector<int> applied;
        auto apply = [&applied](int slot) { applied.push_back(slot); };
        EXPECT_EQ(ApplyToScope(n.model, kind, 1, apply), 9);  // none marked
        MarkSlot(n.model, kind, 4, true);
        MarkSlot(n.model, kind, 6, true);
        EXPECT_EQ(ApplyToScope(n.model, kind, 1, apply), 6);
        EXPECT_EQ(ApplyToScope(n.model, kind, 0, apply), 9);
        EXPECT_EQ(ApplyToScope(n.model, kind, 2, apply), 0);
        EXPECT_EQ(applied.size(), 67u);
        EXPECT_EQ((std::vector<int>(applied.begin(), applied.begin() + 3)), (std::vector<int>{4, 6, 9}));
    }
}

}  // namespace
}  // namespace morvelant
