// The pickers' dispatch without a window: the present value and the write of
// each code family, which pickers serve which codes, the pair rule of the
// controller-init settings, the walk after a Shift pick, the cell maps, the
// captions and the keyboard's note under a point.

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "patterns/PickerCells.h"
#include "patterns/PickerProtocol.h"

namespace morvelant {
namespace {

using K = PickerKind;

// The refreshes the pickers asked for, as (track, step or 0, guard set).
using Calls = std::vector<std::tuple<int, int, bool>>;

PatternTargetHooks RecordingHooks(DeviceModel& m, Calls& c) {
    PatternTargetHooks h;
    h.ShowStepNote = [&m, &c](int, int t, int s) { c.emplace_back(t, s, m.Updating); };
    h.ShowTrackData1 = [&m, &c](int, int t) { c.emplace_back(t, 0, m.Updating); };
    return h;
}

TEST(PickerDispatchTest, FaderCodesReadAndWriteTheSelectedFader) {
    DeviceModel m;
    m.SelectedPreset = 3;
    m.SelectedFader = 5;
    PickerDispatch d;
    std::vector<std::pair<int, bool>> refreshed;
    auto sub = RegisterFaderTargets(d, m, [&](int code) { refreshed.emplace_back(code, m.Updating); });
    auto& pr = m.Presets[3];
    const int32_t neighbour = pr.FaderMidiData1(4);
    pr.FaderMin(5) = 0;
    pr.FaderMax(5) = 100;
    const struct {
        int code;
        int32_t (Morvelant_Parameters::*field)(int) const;
    } rows[] = {{0, &Morvelant_Parameters::FaderMidiData1},  {1, &Morvelant_Parameters::KeyOnMidiData1},
                {2, &Morvelant_Parameters::KeyOffMidiData1}, {3, &Morvelant_Parameters::FaderMidiData2},
                {4, &Morvelant_Parameters::KeyOnMidiData2},  {5, &Morvelant_Parameters::KeyOffMidiData2},
                {6, &Morvelant_Parameters::FaderMin},        {7, &Morvelant_Parameters::FaderMax}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.code);
        EXPECT_TRUE(d.Write(K::Values, r.code, 50 + r.code));
        EXPECT_EQ((pr.*r.field)(5), 50 + r.code);
        EXPECT_EQ(d.PresentValue(K::Values, r.code), 50 + r.code);
        // The data lists are refreshed under the guard, the edits without.
        EXPECT_EQ(refreshed.back(), std::make_pair(r.code, r.code <= 5));
    }
    // The value is kept within the fader's range by its setter.
    EXPECT_TRUE(d.Write(K::Values, 8, 120));
    EXPECT_EQ(pr.FaderValue(5), 57);
    EXPECT_EQ(pr.FaderMidiData1(4), neighbour);
}

TEST(PickerDispatchTest, EachPickerServesItsCodesOnly) {
    DeviceModel m;
    PickerDispatch d;
    Calls c;
    auto a = RegisterFaderTargets(d, m, nullptr);
    auto b = RegisterInitCtrlTargets(d, m, nullptr);
    auto s = RegisterStepTargets(d, m, RecordingHooks(m, c));
    auto t = RegisterTrackTargets(d, m, RecordingHooks(m, c));
    const struct {
        int code;
        bool values, controllers, piano, drumkit;
    } rows[] = {
        {0, true, true, true, true},        {3, true, false, false, true},      {6, true, false, false, false},
        {9, false, false, false, false},    {100, true, false, false, false},   {201, true, true, false, false},
        {300, true, false, false, false},   {301, true, false, true, false},    {408, true, false, false, false},
        {409, false, false, false, false},  {505, true, true, false, false},    {506, true, false, false, false},
        {1127, true, false, true, true},    {1128, false, false, false, false}, {2127, true, false, false, false},
        {4000, false, false, false, false}, {7000, false, false, false, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.code);
        EXPECT_EQ(d.ServedBy(K::Values, r.code), r.values);
        EXPECT_EQ(d.ServedBy(K::Controllers, r.code), r.controllers);
        EXPECT_EQ(d.ServedBy(K::Piano, r.code), r.piano);
        EXPECT_EQ(d.ServedBy(K::Drumkit, r.code), r.drumkit);
    }
    // A code nobody serves writes nothing; a family that goes is gone.
    EXPECT_FALSE(d.Write(K::Piano, 3, 1));
    a.Reset();
    EXPECT_FALSE(d.ServedBy(K::Values, 0));
}

TEST(PickerDispatchTest, StepAndTrackCodesWriteThroughTheHooks) {
    DeviceModel m;
    m.SelectedPattern = 2;
    PickerDispatch d;
    Calls c;
    auto s = RegisterStepTargets(d, m, RecordingHooks(m, c));
    auto t = RegisterTrackTargets(d, m, RecordingHooks(m, c));
    // Track 2 step 3 is code 1000 + 16 + 2; its label is set under the guard.
    m.Patterns[2].StepNote(1, 2) = 40;
    EXPECT_EQ(d.PresentValue(K::Piano, 1018), 40);
    EXPECT_TRUE(d.Write(K::Piano, 1018, 61));
    EXPECT_EQ(m.Patterns[2].StepNote(1, 2), 61);
    EXPECT_EQ(c, (Calls{{2, 3, true}}));
    EXPECT_TRUE(d.Write(K::Values, 2127, 99));
    EXPECT_EQ(m.Patterns[2].StepVelocity(7, 15), 99);
    // "All tracks" has no present value and writes the eight in turn.
    c.clear();
    EXPECT_EQ(d.PresentValue(K::Values, 300), std::nullopt);
    EXPECT_TRUE(d.Write(K::Values, 300, 7));
    ASSERT_EQ(c.size(), 8u);
    EXPECT_EQ(c.back(), std::make_tuple(8, 0, false));
    for (int tr = 0; tr < 8; ++tr) EXPECT_EQ(m.Patterns[2].TrackData1(tr), 7);
    EXPECT_TRUE(d.Write(K::Controllers, 205, 11));
    EXPECT_EQ(m.Patterns[2].TrackData1(4), 11);
}

TEST(PickerDispatchTest, InitPairsStayTwentyFourWide) {
    const struct {
        int index, value;
        PickerKind by;
        bool changed;
        int min, max;
    } rows[] = {
        {0, 10, K::Values, true, 10, 33},     {1, 40, K::Values, true, 17, 40},
        {0, 110, K::Values, false, 102, 125}, {0, 110, K::Controllers, true, 104, 127},
        {1, 5, K::Controllers, true, 0, 23},  {1, 5, K::Values, false, 102, 125},
        {0, 104, K::Values, true, 104, 127},  {1, 23, K::Values, true, 0, 23},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.index << " " << r.value);
        DeviceModel m;
        EXPECT_EQ(PickInitPair(m.InitValues, r.index, r.value, r.by), r.changed);
        EXPECT_EQ(m.InitValues[0], r.min);
        EXPECT_EQ(m.InitValues[1], r.max);
    }
}

TEST(PickerDispatchTest, TheWalkEndsAfterTheLastStepAndTrack) {
    EXPECT_EQ(NextStepCode(1015), 1016);  // track 1 step 16 to track 2 step 1
    EXPECT_EQ(NextStepCode(1126), 1127);
    EXPECT_EQ(NextStepCode(1127), std::nullopt);
    EXPECT_EQ(NextStepCode(2127), std::nullopt);
    EXPECT_EQ(NextStepCode(0), std::nullopt);
    EXPECT_EQ(NextTrack(0), 1);
    EXPECT_EQ(NextTrack(7), 8);
    EXPECT_EQ(NextTrack(8), std::nullopt);
    EXPECT_EQ(StepOfCode(1000, 1127)->track, 8);
    EXPECT_EQ(StepOfCode(2000, 2017)->step, 2);
}

TEST(PickerCellsTest, CellMapsRoundTrip) {
    for (const GridMap& map : {kValuesGrid, kControllerGrid, kTimeCodeGrid, kChannelGrid, kDrumkitGrid})
        for (int v = 0; v < map.rows * map.columns; ++v) EXPECT_EQ(map.ValueAt(map.CellOf(v)), v);
    EXPECT_EQ(kValuesGrid.CellOf(64), (GridCell{4, 0}));
    EXPECT_EQ(kControllerGrid.CellOf(33), (GridCell{1, 1}));
    // The live value (128) and "none" lie outside every grid.
    EXPECT_EQ(kValuesGrid.CellOf(128), GridCell{});
    EXPECT_EQ(kControllerGrid.CellOf(std::nullopt), GridCell{});
}

TEST(PickerCellsTest, CaptionsAndTexts) {
    const NameList ctrl = FillControllerNames();
    EXPECT_EQ(ValuesCaption(64), "Value:64");
    EXPECT_EQ(ControllerCaption(ctrl, 7), "(Ctrl: 7)Volume");
    EXPECT_EQ(ControllerCaption(ctrl, 0), "(Ctrl: 0)Bank Select MSB");
    EXPECT_EQ(TimeCodeCellText(0, 5), "no Delay");
    EXPECT_EQ(TimeCodeCellText(0, 4), "");
    EXPECT_EQ(TimeCodeCellText(5, 4), "006=1/16");
    EXPECT_EQ(TimeCodeCellText(11, 3), "012=1/8 ");
    EXPECT_EQ(TimeCodeCellText(31, 3), "032*1/96");
}

TEST(PickerCellsTest, NoteAtPoint) {
    const struct {
        int x, y, note;
    } rows[] = {
        {700, 10, -1}, {747, 10, 127}, {10, 36, 1},  {10, 37, -1}, {5, 50, 0},
        {0, 50, -1},   {25, 10, 4},    {30, 10, -1}, {65, 50, 11}, {745, 50, 127},
        {755, 50, -1}, {719, 10, 123}, {5, 60, -1},  {-1, 10, -1}, {750, 10, -1},
    };
    for (const auto& r : rows) EXPECT_EQ(NoteAtPoint(r.x, r.y), r.note) << r.x << "," << r.y;
    EXPECT_TRUE(KeyPolygon(128).empty());
    EXPECT_TRUE(KeyPolygon(-1).empty());
    EXPECT_EQ(KeyPolygon(127).back(), std::make_pair(743, 36));
}

}  // namespace
}  // namespace morvelant
