#include <gtest/gtest.h>

#include "patterns/EventEditGeometry.h"

using namespace morvelant;

namespace {

Pattern_Parameters Track(int gate, int note, int delay, int first = 1, int last = 16, int t = 2) {
    Pattern_Parameters p;
    p.TrackGateTime(t - 1) = gate;
    p.TrackNoteTime(t - 1) = note;
    p.TrackDelay(t - 1) = delay;
    p.TrackStartStep(t - 1) = first;
    p.TrackEndStep(t - 1) = last;
    return p;
}

TEST(EventEditGeometry, LayoutKeepsEveryAreaAtLeastOnePixel) {
    struct Case {
        int w, h, kind, rowHeight, valueHeight;
        int columnWidth, noteWidth, noteHeight, valueAreaHeight, wanted;
    } cases[] = {
        {727, 532, 0, 14, 40, 25, 642, 307, 40, 0},  // the default window
        {727, 532, 7, 14, 40, 100, 567, 307, 40, 0},  // unknown kind: 100 wide
        {200, 200, 3, 14, 40, 170, 1, 1, 14, 0},  // the minimum size
        {900, 3000, 0, 10, 40, 25, 815, 1280, 40, 1280 + 35 + 40 + 150},  // all rows fit: capped
        {727, 532, 2, 14, -500, 75, 592, 346, 1, 0},  // a drag past the edge
        {727, 532, 2, 14, 5000, 75, 592, 1, 346, 0},
    };
    for (const Case& c : cases) {
        const EventEditLayout l = LayoutFor(c.w, c.h, c.kind, c.rowHeight, c.valueHeight);
        EXPECT_EQ(l.KeyColumnWidth, c.columnWidth) << c.w << "x" << c.h;
        EXPECT_EQ(l.NoteAreaWidth, c.noteWidth) << c.w << "x" << c.h;
        EXPECT_EQ(l.NoteAreaHeight, c.noteHeight) << c.w << "x" << c.h;
        EXPECT_EQ(l.ValueAreaHeight, c.valueAreaHeight) << c.w << "x" << c.h;
        EXPECT_EQ(l.WantedHeight, c.wanted) << c.w << "x" << c.h;
        EXPECT_EQ(l.Event.left, 5 + l.KeyColumnWidth);
        EXPECT_EQ(l.Value.top, l.Event.bottom());
        EXPECT_EQ(l.Header.width, l.KeyColumnWidth + l.NoteAreaWidth);
        EXPECT_EQ(l.VertGroup.left, l.MainGroup.width);
        EXPECT_EQ(l.HorzGroup.top, l.MainGroup.height);
        EXPECT_EQ(l.GroupsTop, l.Value.bottom() + 35);
    }
}

TEST(EventEditGeometry, SlotsStartAfterTheDelay) {
    EventEditView v;  // 2 pixels per 96th
    struct Case {
        int gate, delay, scrollX;
        int slot, x;
    } cases[] = {
        {20, 0, 0, 1, 0},    {20, 0, 0, 2, 12},  // gate 20: 6 96ths, 12 pixels apart
        {20, 3, 0, 1, 0},    {20, 4, 0, 1, 4},  // delay code 4 is 2 96ths, not 1
        {20, 0, 30, 1, -30}, {0, 0, 0, 3, 4},
    };
    for (const Case& c : cases) {
        v.ScrollX = c.scrollX;
        const RollTiming timing = TimingOf(Track(c.gate, 20, c.delay), 2);
        EXPECT_EQ(SlotX(v, timing, c.slot), c.x) << c.gate << "/" << c.delay << "/" << c.slot;
        EXPECT_EQ(SlotAt(v, timing, c.x), c.slot);
        EXPECT_EQ(SlotAt(v, timing, c.x + timing.Step96 * 2 - 1), c.slot);
    }
}

TEST(EventEditGeometry, NothingLiesBeforeTheFirstSlot) {
    EventEditView v;
    const RollTiming timing = TimingOf(Track(20, 20, 40), 2);  // delay 11 96ths: 22 pixels
    for (int x : {0, 5, 21}) {
        EXPECT_EQ(SlotAt(v, timing, x), 0) << x;
        EXPECT_EQ(PassAt(v, timing, x), 0) << x;
    }
    EXPECT_EQ(SlotAt(v, timing, 22), 1);
    EXPECT_EQ(PassAt(v, timing, 22 + 16 * 12), 2);
    v.ScrollX = 1000;
    EXPECT_EQ(SlotAt(v, timing, -5000), 0);
}

TEST(EventEditGeometry, RowsBothWays) {
    EventEditView v;
    v.NoteAreaHeight = 300;
    v.RowHeight = 14;
    EXPECT_EQ(v.RowBottom(0), 300);
    EXPECT_EQ(v.RowAt(299), 0);
    EXPECT_EQ(v.RowAt(286), 1);
    EXPECT_EQ(v.RowAt(305), -1);  // below the area: no row 0
    v.ScrollY = 28;
    EXPECT_EQ(v.RowAt(299), 2);
    EXPECT_EQ(v.ScrollYRange(), 128 * 14 - 300);
}

TEST(EventEditGeometry, LineRolesOfSlotsAndTicks) {
    struct Case {
        int i, length;
        LineRole role;
    } slots[] = {
        {0, 16, LineRole::Track},        {16, 16, LineRole::Track},      {4, 16, LineRole::Beat},
        {5, 16, LineRole::VerticalGrid}, {4, 6, LineRole::VerticalGrid}, {3, 1, LineRole::Track},
    };
    for (const Case& c : slots) EXPECT_EQ(SlotLineRole(c.i, c.length), c.role) << c.i << "/" << c.length;
    EXPECT_EQ(RulerTickRole(32), LineRole::Bar);
    EXPECT_EQ(RulerTickRole(4), LineRole::Beat);
    EXPECT_EQ(RulerTickRole(5), LineRole::VerticalGrid);
    EventEditView v;
    v.KeyColumnWidth = 25;
    EXPECT_EQ(RulerTickX(v, 16) - RulerTickX(v, 0), 192);  // a bar number every 192 pixels
    v.ScrollX = 13;
    EXPECT_EQ(FirstRulerTick(v), 2);
}

TEST(EventEditGeometry, VisibleSlotsCoverTheWidth) {
    EventEditView v;
    const RollTiming timing = TimingOf(Track(20, 44, 0), 2);  // notes 12 96ths, steps 6
    v.ScrollX = 100;
    const SlotSpan s = VisibleSlots(v, timing, 200);
    // Slot 7 starts at -28 and sounds 24 pixels: gone; slot 8 at -16 reaches into view.
    EXPECT_EQ(s.first, 8);
    EXPECT_EQ(s.last, 25);  // starts at 188
}

TEST(EventEditGeometry, ScrollAndZoomRules) {
    EventEditView v;
    v.NoteAreaHeight = 300;
    const int range = 128 * 14 - 300;
    EXPECT_EQ(ScrollYForBar(0, v), range);
    EXPECT_EQ(ScrollYForBar(127, v), 0);
    EXPECT_EQ(ScrollYForBar(64, v), 64 * range / 128);
    DragScroll(v, 10, 10, -5, -200);
    EXPECT_EQ(v.ScrollX, 0);
    EXPECT_EQ(v.ScrollY, range);
    EXPECT_EQ(RowHeightForSlider(21), 14);
    EXPECT_EQ(RowHeightForSlider(25), 10);
    // The bar follows any ScrollY, and a bar position comes back as itself.
    for (int bar : {0, 1, 64, 126, 127}) EXPECT_EQ(BarForScrollY(ScrollYForBar(bar, v), v), bar) << bar;
    EXPECT_EQ(BarForScrollY(range / 2, v), 64);
    v.NoteAreaHeight = 128 * 14;
    EXPECT_EQ(BarForScrollY(0, v), 127);  // nothing to scroll
}

TEST(EventEditGeometry, WheelCarriesWhatAFineWheelLeaves) {
    double carry = 0;
    EXPECT_EQ(WheelPixels(carry, 120, 42), 42);
    EXPECT_EQ(WheelPixels(carry, -240, 42), -84);
    int sum = 0;
    for (int i = 0; i < 8; ++i) sum += WheelPixels(carry, 15, 42);  // a touchpad's eighths of a notch
    EXPECT_EQ(sum, 42);
}

TEST(EventEditGeometry, ZoomKeepsTheCentre) {
    EventEditView v;  // 2 pixels per 96th, rows of 14
    v.NoteAreaWidth = 600;
    v.NoteAreaHeight = 300;
    v.ScrollX = 1000;  // centre at 1300: 96th 650
    v.ScrollY = 550;  // centre 700 above value 0: value 50
    EXPECT_EQ(ZoomScrollX(v, 4), 650 * 4 - 300);
    EXPECT_EQ(ZoomScrollX(v, 1), 650 - 300);
    v.ScrollX = 100;
    EXPECT_EQ(ZoomScrollX(v, 1), 0);  // not before the start
    EXPECT_EQ(ZoomScrollY(v, 20, 300), 50 * 20 - 150);
    EXPECT_EQ(ZoomScrollY(v, 10, 500), 50 * 10 - 250);  // the note area grew too
    EXPECT_EQ(ZoomScrollY(v, 10, 1280), 0);  // all rows fit
}

TEST(EventEditGeometry, OverviewAndLamps) {
    EventEditView v;
    v.NoteAreaWidth = 920;
    v.NoteAreaHeight = 896;  // 64 rows of 14
    const Box b = OverviewBar(v, 460, 5, 64, 92, 69);
    EXPECT_EQ(b.left, 46);
    EXPECT_EQ(b.width, 1);
    EXPECT_EQ(b.height, 1);
    EXPECT_EQ(b.top, 69 - 69 * 64 / 128);
    EXPECT_EQ(OverviewBar(v, 0, 10, 0, 92, 69).top, 67);  // lifted off the bottom
    EXPECT_EQ(OverviewRangeLines(v, 69), std::make_pair(69 - 34, 69));
    EXPECT_EQ(LampX(1), 6);
    EXPECT_EQ(LampX(5), 6 + 68 + 6);
    EXPECT_EQ(VelocityAt(0, 40), 127);
    EXPECT_EQ(VelocityAt(60, 40), 0);
    EXPECT_EQ(VelocityBarHeight(40, 64, 127), 20);
}

}  // namespace
