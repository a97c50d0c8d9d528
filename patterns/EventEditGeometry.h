// The piano roll's geometry as plain values: where each drawing area goes
// for a window size, where a track's slots and the value rows lie and which
// slot and row a point falls on, the colour role of each grid line and ruler
// tick, the scroll and zoom rules, the overview's scaling and the places of
// the step lamps. The window paints what these say and passes the mouse on.
//
// Every area keeps at least one pixel whatever the window's size, so nothing
// downstream divides by zero or makes an image of negative size.
#pragma once

#include <algorithm>

#include "model/Parameters.h"

namespace morvelant {

inline constexpr int kValueRows = 128;
inline constexpr int kHeaderHeight = 25;
inline constexpr int kMinPixelsPer96th = 1, kMaxPixelsPer96th = 10;
inline constexpr int kMinRowHeight = 10, kMaxRowHeight = 25;
inline constexpr int kRulerUnit96 = 6;  // a sixteenth note
inline constexpr int kDragScrollFactor = 8;
inline constexpr int kMoveThreshold = 3;  // pixels before a press becomes a drag
inline constexpr int kOverviewWidth = 92, kOverviewHeight = 69;
// How far the time axis scrolls: far past any pattern, and every x on it
// still fits an int at the largest zoom.
inline constexpr int kMaxScrollX = 1 << 26;

// What the left column shows.
enum KeyColumnKinds { kNumberColumn = 0, kDrumColumn = 1, kNoteColumn = 2, kControllerColumn = 3, kPianoColumn = 4 };

// The column's width for a kind; a kind outside 0..4 gets 100 (and shows numbers).
int KeyColumnWidthOf(int kind);

struct Box {
    int left = 0, top = 0, width = 0, height = 0;
    int right() const { return left + width; }
    int bottom() const { return top + height; }
};

// The view the drawing routines share.
struct EventEditView {
    int PixelsPer96th = 2;
    int RowHeight = 14;
    int ScrollX = 0;
    int ScrollY = 0;
    int NoteAreaWidth = 2000;
    int NoteAreaHeight = 1000;
    int ValueAreaHeight = 40;
    int KeyColumnWidth = 40;

    // The farthest ScrollY may go: the rows that do not fit, never negative.
    int ScrollYRange() const { return std::max(0, kValueRows * RowHeight - NoteAreaHeight); }
    // Bottom edge of value row v in the note area (value 0 at the bottom).
    int RowBottom(int v) const { return NoteAreaHeight - (v * RowHeight - ScrollY); }
    // The value row under y (floor division: below the area is negative).
    int RowAt(int y) const;
};

// ---- Layout -------------------------------------------------------------------------------

struct EventEditLayout {
    int KeyColumnWidth = 0, NoteAreaWidth = 1, NoteAreaHeight = 1, ValueAreaHeight = 1;
    Box Event, Key, Header, Value;
    Box MainGroup, HorzGroup, VertGroup;
    int GroupsTop = 0, PanelTop = 0;  // the track rows and overview, the parameter panel
    // The height the window asks for when all 128 rows fit with room to
    // spare; 0 when it has no wish. The layout holds either way.
    int WantedHeight = 0;
};

// Lays the areas out for a window of width x height. The note area is
// capped at 128 rows; the velocity area is held within what the window
// leaves (see ClampValueAreaHeight).
EventEditLayout LayoutFor(int width, int height, int keyColumnKind, int rowHeight, int valueAreaHeight);
// The velocity area's height kept within 1 .. the room above the bottom
// strip, leaving the note area at least one pixel.
int ClampValueAreaHeight(int valueAreaHeight, int windowHeight);

// ---- A track's time axis --------------------------------------------------------------------

// Step length, note length and delay of a track in 96ths, and its steps per pass.
struct RollTiming {
    int Step96 = 6;
    int Note96 = 6;
    int Delay96 = 0;
    int PassLength = 16;  // L = end step - start step + 1, at least 1
};
RollTiming TimingOf(const Pattern_Parameters& pattern, int track);

// x of the start of slot n (1, 2, ...) in the note area.
int SlotX(const EventEditView& view, const RollTiming& timing, int slot);
// The slot under x; 0 before the track's first slot (its delay).
int SlotAt(const EventEditView& view, const RollTiming& timing, int x);
// The pass through the steps under x (1, 2, ...); 0 before the first slot.
int PassAt(const EventEditView& view, const RollTiming& timing, int x);
// Left and right edge of pass p in ruler coordinates, clipped to the
// ruler's strip from the column's edge + 1 to rulerWidth - 1.
Box PassMark(const EventEditView& view, const RollTiming& timing, int pass, int rulerWidth);

// The slots whose span (the longer of step and note) meets 0 .. width.
struct SlotSpan {
    int first = 1, last = 0;
};
SlotSpan VisibleSlots(const EventEditView& view, const RollTiming& timing, int width);

// The colour role of a vertical slot line and of a ruler tick.
enum class LineRole { Track, VerticalGrid, Beat, Bar };
// Slot line i (from 0): each pass starts in the track's colour; beats only
// mark passes whose length is a multiple of 4.
LineRole SlotLineRole(int i, int passLength);
LineRole RulerTickRole(int tick);
// The first ruler tick at or right of the column's edge, and its x.
int FirstRulerTick(const EventEditView& view);
int RulerTickX(const EventEditView& view, int tick);

// ---- Scrolling and zoom ------------------------------------------------------------------------

// The vertical scroll bar (0..127, 127 = value 0 at the bottom) to ScrollY.
int ScrollYForBar(int position, const EventEditView& view);
// ScrollY to the bar's position: the position that shows at least as much
// of the bottom as ScrollY does, so the bar follows any scroll.
int BarForScrollY(int scrollY, const EventEditView& view);
// The horizontal scroll bar in pixels of the time axis: the axis runs on
// without end, so the bar always reaches at least a page past the view.
struct TimeBar {
    int maximum = 0, pageStep = 1, singleStep = 1;
};
TimeBar TimeBarFor(const EventEditView& view);
// A drag of (dx, dy) pixels moves the view eight times as far.
void DragScroll(EventEditView& view, int startX, int startY, int dx, int dy);
// The row height the vertical zoom slider (Min 10, Max 25) stands for, and back.
int RowHeightForSlider(int position);
int SliderForRowHeight(int rowHeight);
// ScrollX after a horizontal zoom to pixelsPer96th that keeps the moment at
// the view's centre where it was (not below 0).
int ZoomScrollX(const EventEditView& view, int pixelsPer96th);
// ScrollY after a vertical zoom to rowHeight, with the note area then
// noteAreaHeight high, that keeps the value at the centre where it was.
int ZoomScrollY(const EventEditView& view, int rowHeight, int noteAreaHeight);

// The mouse wheel: a notch (120 in eighths of a degree) scrolls
// pixelsPerNotch; the part of a pixel a fine-grained wheel leaves is
// carried to its next event. Returns the pixels to scroll, signed as delta.
int WheelPixels(double& carry, int angleDelta, int pixelsPerNotch);

// ---- Overview ----------------------------------------------------------------------------------

// A note bar of the note area scaled into the overview.
Box OverviewBar(const EventEditView& view, int x, int width, int value, int overviewWidth, int overviewHeight);
// The two lines that mark the visible value range (upper, lower).
std::pair<int, int> OverviewRangeLines(const EventEditView& view, int overviewHeight);

// ---- Velocity area and step lamps --------------------------------------------------------------

// The velocity a point at y of an area h high stands for, 0..127.
int VelocityAt(int y, int h);
// Height of the velocity bar of a step with the track's data 2 scale.
int VelocityBarHeight(int h, int data2, int velocity);
// y of the line that shows the track's data 2 scale.
int VelocityScaleY(int h, int data2);
// x of step lamp k (1..16) in its panel: groups of four.
constexpr int LampX(int k) { return 6 + 17 * (k - 1) + 6 * ((k - 1) / 4); }
inline constexpr int kLampWidth = 12, kLampHeight = 5;

}  // namespace morvelant
