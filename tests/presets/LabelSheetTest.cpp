// The label sheet's shapes: real sizes in tenths of a millimetre, and their
// pixels on screen.
#include <gtest/gtest.h>

#include "presets/LabelSheet.h"

namespace morvelant {
namespace {

TEST(LabelSheet, PrintedSizesAndScreenPixels) {
    DeviceModel model;
    const auto shapes = LabelSheetShapes(model, 0, SheetMode::Print);
    std::vector<const SheetShape*> rects, lines;
    for (const SheetShape& s : shapes) {
        if (s.kind == SheetShape::Rectangle) rects.push_back(&s);
        if (s.kind == SheetShape::VerticalLine) lines.push_back(&s);
    }
    ASSERT_EQ(rects.size(), 6u);
    ASSERT_EQ(lines.size(), 27u);
    for (int r = 0; r < 3; ++r) {
        const SheetShape& block = *rects[2 * r];
        const SheetShape& inner = *rects[2 * r + 1];
        EXPECT_EQ(block.y.TotalTenths(), 15 + 250 * r);  // blocks start every 25 mm
        EXPECT_EQ(block.height.TotalTenths(), 220);
        EXPECT_EQ(inner.x.TotalTenths(), 30);
        EXPECT_EQ(inner.width.TotalTenths(), 1305);
        EXPECT_EQ(inner.height.TotalTenths(), 170);
        EXPECT_EQ(lines[9 * r]->x.TotalTenths(), 83);
        EXPECT_EQ(lines[9 * r + 1]->x.TotalTenths() - lines[9 * r]->x.TotalTenths(), 150);  // column and gap
    }
    // On screen: the column width and the caption space grow.
    const auto screen = LabelSheetShapes(model, 0, SheetMode::Screen);
    EXPECT_EQ(screen[0].width.ToPixels(96), 549);
    EXPECT_EQ(screen[0].height.ToPixels(96), 86);
    const SheetPixels image = LabelSheetImageSize(96);
    EXPECT_EQ(image.width, 560);
    EXPECT_EQ(image.height, 292);
    EXPECT_TRUE(LabelSheetShapes(model, 128, SheetMode::Print).empty());
}

}  // namespace
}  // namespace morvelant
