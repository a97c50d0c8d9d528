#include "patterns/EventEditGeometry.h"

#include "patterns/RunModes.h"

namespace morvelant {

namespace {

// Division rounding toward minus infinity: a point left of the origin
// belongs to the slot (or row) before it, never to the first one.
int FloorDiv(long long a, long long b) {
    long long q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return static_cast<int>(q);
}

constexpr int kBottomStrip = 150;  // track rows, parameter panel, overview
constexpr int kAreaTop = 35;

}  // namespace

int KeyColumnWidthOf(int kind) {
    switch (kind) {
        case kNumberColumn: return 25;
        case kDrumColumn: return 140;
        case kNoteColumn: return 75;
        case kControllerColumn: return 170;
        case kPianoColumn: return 45;
        default: return 100;
    }
}

int EventEditView::RowAt(int y) const { return FloorDiv(NoteAreaHeight - y + ScrollY, std::max(1, RowHeight)); }

int ClampValueAreaHeight(int valueAreaHeight, int windowHeight) {
    const int room = windowHeight - kBottomStrip - kAreaTop - 1;
    return std::clamp(valueAreaHeight, 1, std::max(1, room));
}

EventEditLayout LayoutFor(int width, int height, int keyColumnKind, int rowHeight, int valueAreaHeight) {
    EventEditLayout l;
    rowHeight = std::max(1, rowHeight);
    l.KeyColumnWidth = KeyColumnWidthOf(keyColumnKind);
    l.ValueAreaHeight = ClampValueAreaHeight(valueAreaHeight, height);
    const int free = height - kBottomStrip - kAreaTop - l.ValueAreaHeight;
    const int allRows = kValueRows * rowHeight;
    if (allRows < free) l.WantedHeight = allRows + kAreaTop + l.ValueAreaHeight + kBottomStrip;
    l.NoteAreaHeight = std::clamp(free, 1, allRows);
    l.NoteAreaWidth = std::max(1, width - 10 - l.KeyColumnWidth - 50);

    l.Event = {5 + l.KeyColumnWidth, kAreaTop, l.NoteAreaWidth, l.NoteAreaHeight};
    l.Key = {5, kAreaTop, l.KeyColumnWidth, l.NoteAreaHeight};
    l.Header = {5, kAreaTop - kHeaderHeight, l.KeyColumnWidth + l.NoteAreaWidth, kHeaderHeight};
    l.Value = {l.Event.left, l.Event.bottom(), l.NoteAreaWidth, l.ValueAreaHeight};
    l.MainGroup = {0, 0, l.NoteAreaWidth + l.KeyColumnWidth + 10, l.NoteAreaHeight + l.ValueAreaHeight + 40};
    l.HorzGroup = {0, l.MainGroup.height, l.NoteAreaWidth + l.KeyColumnWidth + 44, 30};
    l.VertGroup = {l.MainGroup.width, 0, l.HorzGroup.width - l.MainGroup.width, l.HorzGroup.top};
    l.GroupsTop = l.Value.bottom() + 35;
    l.PanelTop = l.Value.bottom() + 40;
    return l;
}

RollTiming TimingOf(const Pattern_Parameters& pattern, int track) {
    RollTiming timing;
    if (track < 1 || track > kTrackCount) return timing;
    const int i = track - 1;
    // Codes from a file or a dump may be anything: lengths stay positive.
    timing.Step96 = std::max(1, pattern.TrackGateTime(i) / 4 + 1);
    timing.Note96 = std::max(1, pattern.TrackNoteTime(i) / 4 + 1);
    const int delay = pattern.TrackDelay(i) / 4;
    timing.Delay96 = delay <= 0 ? 0 : delay + 1;
    const StepRange range = TrackRunRange(pattern, track);
    timing.PassLength = range.Last - range.First + 1;
    return timing;
}

int SlotX(const EventEditView& view, const RollTiming& timing, int slot) {
    return ((slot - 1) * timing.Step96 + timing.Delay96) * view.PixelsPer96th - view.ScrollX;
}

int SlotAt(const EventEditView& view, const RollTiming& timing, int x) {
    const long long offset = static_cast<long long>(x) + view.ScrollX - timing.Delay96 * view.PixelsPer96th;
    if (offset < 0) return 0;
    return FloorDiv(offset, static_cast<long long>(timing.Step96) * view.PixelsPer96th) + 1;
}

int PassAt(const EventEditView& view, const RollTiming& timing, int x) {
    const long long offset = static_cast<long long>(x) + view.ScrollX - timing.Delay96 * view.PixelsPer96th;
    if (offset < 0) return 0;
    return FloorDiv(offset, static_cast<long long>(timing.PassLength) * timing.Step96 * view.PixelsPer96th) + 1;
}

Box PassMark(const EventEditView& view, const RollTiming& timing, int pass, int rulerWidth) {
    const int passWidth = timing.PassLength * timing.Step96 * view.PixelsPer96th;
    const int start = view.KeyColumnWidth + timing.Delay96 * view.PixelsPer96th - view.ScrollX;
    const int left = std::max(view.KeyColumnWidth + 1, start + (pass - 1) * passWidth);
    const int right = std::min(rulerWidth - 1, start + pass * passWidth);
    return {left, 1, std::max(0, right - left), 7};
}

SlotSpan VisibleSlots(const EventEditView& view, const RollTiming& timing, int width) {
    const int step = timing.Step96 * view.PixelsPer96th;
    const int span = std::max(timing.Step96, timing.Note96) * view.PixelsPer96th;
    const int origin = timing.Delay96 * view.PixelsPer96th - view.ScrollX;  // x of slot 1
    SlotSpan s;
    // Slot n covers origin + (n-1)step .. + span; it meets 0..width when its
    // end lies right of 0 and its start left of width.
    s.first = std::max(1, FloorDiv(-origin - span, step) + 2);
    s.last = FloorDiv(width - 1 - origin, step) + 1;
    return s;
}

LineRole SlotLineRole(int i, int passLength) {
    if (passLength <= 0 || i % passLength == 0) return LineRole::Track;
    if (passLength % 4 != 0) return LineRole::VerticalGrid;
    return i % 4 == 0 ? LineRole::Beat : LineRole::VerticalGrid;
}

LineRole RulerTickRole(int tick) {
    if (tick % 16 == 0) return LineRole::Bar;
    return tick % 4 == 0 ? LineRole::Beat : LineRole::VerticalGrid;
}

int FirstRulerTick(const EventEditView& view) {
    const int unit = kRulerUnit96 * view.PixelsPer96th;
    return std::max(0, -FloorDiv(-view.ScrollX, unit));
}

int RulerTickX(const EventEditView& view, int tick) {
    return view.KeyColumnWidth + tick * kRulerUnit96 * view.PixelsPer96th - view.ScrollX;
}

int ScrollYForBar(int position, const EventEditView& view) {
    const int range = view.ScrollYRange();
    if (position <= 0) return range;
    if (position >= 127) return 0;
    return std::clamp((kValueRows - position) * range / kValueRows, 0, range);
}

int BarForScrollY(int scrollY, const EventEditView& view) {
    const long long range = view.ScrollYRange();
    if (range <= 0) return 127;
    const long long s = std::clamp<long long>(scrollY, 0, range);
    return std::clamp(static_cast<int>(kValueRows - (s * kValueRows + range - 1) / range), 0, 127);
}

TimeBar TimeBarFor(const EventEditView& view) {
    TimeBar bar;
    const int page = std::max(1, view.NoteAreaWidth);
    bar.maximum = std::max(view.ScrollX + page, 3 * page);
    bar.pageStep = page;
    bar.singleStep = kRulerUnit96 * std::max(1, view.PixelsPer96th);
    return bar;
}

void DragScroll(EventEditView& view, int startX, int startY, int dx, int dy) {
    view.ScrollX = std::clamp(startX + kDragScrollFactor * dx, 0, kMaxScrollX);
    view.ScrollY = std::clamp(startY - kDragScrollFactor * dy, 0, view.ScrollYRange());
}

int RowHeightForSlider(int position) {
    return kMaxRowHeight - std::clamp(position, kMinRowHeight, kMaxRowHeight) + kMinRowHeight;
}
int SliderForRowHeight(int rowHeight) { return RowHeightForSlider(rowHeight); }

int ZoomScrollX(const EventEditView& view, int pixelsPer96th) {
    const long long centre = static_cast<long long>(view.ScrollX) + view.NoteAreaWidth / 2;
    const long long x = centre * pixelsPer96th / std::max(1, view.PixelsPer96th) - view.NoteAreaWidth / 2;
    return static_cast<int>(std::clamp<long long>(x, 0, kMaxScrollX));
}

int ZoomScrollY(const EventEditView& view, int rowHeight, int noteAreaHeight) {
    // The centre's height above value 0, in pixels of the old rows (the
    // centre row of an odd height is the one RowAt gives for height / 2).
    const long long centre = static_cast<long long>(view.ScrollY) + view.NoteAreaHeight - view.NoteAreaHeight / 2;
    const long long y = centre * rowHeight / std::max(1, view.RowHeight) - (noteAreaHeight - noteAreaHeight / 2);
    const long long range = std::max(0LL, static_cast<long long>(kValueRows) * rowHeight - noteAreaHeight);
    return static_cast<int>(std::clamp(y, 0LL, range));
}

int WheelPixels(double& carry, int angleDelta, int pixelsPerNotch) {
    carry += angleDelta * static_cast<double>(pixelsPerNotch) / 120.0;
    const int pixels = static_cast<int>(carry);
    carry -= pixels;
    return pixels;
}

Box OverviewBar(const EventEditView& view, int x, int width, int value, int overviewWidth, int overviewHeight) {
    const int areaWidth = std::max(1, view.NoteAreaWidth);
    Box b;
    b.left = x * overviewWidth / areaWidth;
    b.width = std::max(1, width * overviewWidth / areaWidth);
    b.height = std::max(1, overviewHeight / kValueRows);
    b.top = overviewHeight - overviewHeight * value / kValueRows;
    if (b.top >= overviewHeight - 2) b.top -= 2;
    return b;
}

std::pair<int, int> OverviewRangeLines(const EventEditView& view, int overviewHeight) {
    const long long all = static_cast<long long>(kValueRows) * std::max(1, view.RowHeight);
    const int upper = overviewHeight - static_cast<int>(overviewHeight * (view.NoteAreaHeight + view.ScrollY) / all);
    const int lower = overviewHeight - static_cast<int>(overviewHeight * view.ScrollY / all);
    return {upper, lower};
}

int VelocityAt(int y, int h) {
    h = std::max(1, h);
    return std::clamp((h - y) * 127 / h, 0, 127);
}

int VelocityBarHeight(int h, int data2, int velocity) { return h * (data2 * velocity / 127) / 128; }

int VelocityScaleY(int h, int data2) { return h - h * data2 / 127; }

}  // namespace morvelant
