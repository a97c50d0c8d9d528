// A new range pulls each written fader's own start value inside it.
#include <gtest/gtest.h>

#include "model/DeviceModel.h"
#include "model/FaderRange.h"

namespace morvelant {
namespace {

TEST(FaderRange, ClampWorksForEitherOrderOfTheEnds) {
    struct {
        int v, lo, hi, want;
    } cases[] = {{60, 100, 20, 60}, {10, 100, 20, 20}, {120, 100, 20, 100}, {5, 10, 20, 10},
                 {30, 10, 20, 20},  {15, 10, 20, 15},  {0, 0, 0, 0},        {-4, 0, 127, 0}};
    for (const auto& c : cases) EXPECT_EQ(ClampIntoFaderRange(c.v, c.lo, c.hi), c.want) << c.v;
}

TEST(FaderRange, MultiFaderEditingKeepsEachStartValue) {
    DeviceModel model;
    auto& p = model.Presets[3];
    for (int f = 0; f < kFaderCount; ++f) p.FaderValue(f) = 4 * f;
    model.MultiCheckBoxChecked = true;
    model.MultiselectButtonDown[1] = model.MultiselectButtonDown[5] = model.MultiselectButtonDown[20] = true;
    model.SetFaderMin(3, 9, 10);
    PullFaderValuesIntoRange(model, 3, 9);
    EXPECT_EQ(p.FaderValue(1), 10);  // 4 pulled up
    EXPECT_EQ(p.FaderValue(5), 20);  // kept
    EXPECT_EQ(p.FaderValue(20), 80);  // kept
    EXPECT_EQ(p.FaderValue(2), 8);  // not marked: untouched
    EXPECT_EQ(p.FaderValue(9), 36);  // the fader argument is not written
    PullFaderValuesIntoRange(model, 200, 9);  // no such preset: nothing
}

}  // namespace
}  // namespace morvelant
