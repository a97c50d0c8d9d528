#include "presets/LabelSheet.h"

namespace morvelant {

LabelSheetLayout::LabelSheetLayout(SheetMode mode) {
    if (mode == SheetMode::Screen) {
        columnWidth = 150;
        captionSpace = 45;
    }
}

namespace {

SheetLength Len(int a, int b = 0, int c = 0, int pixels = 0) { return SheetLength{{a, b, c}, pixels}; }

SheetShape Rect(SheetLength x, SheetLength y, SheetLength w, SheetLength h) {
    SheetShape r;
    r.kind = SheetShape::Rectangle;
    r.x = x;
    r.y = y;
    r.width = w;
    r.height = h;
    return r;
}

SheetShape Line(SheetLength x, SheetLength y, SheetLength h) {
    SheetShape r = Rect(x, y, {}, h);
    r.kind = SheetShape::VerticalLine;
    return r;
}

SheetShape Text(SheetLength x, SheetLength y, SheetFont font, std::string text) {
    SheetShape r = Rect(x, y, {}, {});
    r.kind = SheetShape::Text;
    r.font = font;
    r.text = std::move(text);
    return r;
}

}  // namespace

std::vector<SheetShape> LabelSheetShapes(const DeviceModel& model, int p, SheetMode mode) {
    std::vector<SheetShape> shapes;
    if (!DeviceModel::ValidPreset(p)) return shapes;
    const LabelSheetLayout s(mode);
    const Morvelant_Parameters& m = model.Presets[static_cast<std::size_t>(p)];
    const int innerLeft = s.leftMargin + s.boxLeftPad;

    for (int r = 0; r < 3; ++r) {
        const int blockTop = s.BlockTop(r);
        const int innerTop = blockTop + s.boxTopPad;
        shapes.push_back(Rect(Len(s.leftMargin), Len(blockTop), Len(s.BlockWidth()), Len(s.BlockHeight())));
        shapes.push_back(Rect(Len(innerLeft), Len(innerTop), Len(s.InnerWidth()), Len(s.InnerHeight())));
        // The numbers of the first and the last fader of the block.
        shapes.push_back(Text(Len(innerLeft, s.columnPad / 4), Len(innerTop, 0, 0, 1), SheetFont::Italic,
                              std::to_string(8 * r + 1)));
        shapes.push_back(Text(Len(innerLeft, s.InnerWidth(), -(3 * s.columnPad / 4)), Len(innerTop, 0, 0, 1),
                              SheetFont::Italic, std::to_string(8 * r + 8)));
        shapes.push_back(Text(Len(innerLeft), Len(innerTop, s.InnerHeight()), SheetFont::Italic,
                              "Preset:" + model.GetPresetDeviceName(p)));
        for (int k = 0; k <= 8; ++k) {
            const int x = innerLeft + s.columnPad - s.columnGap / 2 + k * (s.columnWidth + s.columnGap);
            shapes.push_back(Line(Len(x), Len(innerTop), Len(s.InnerHeight())));
        }
    }

    for (int i = 0; i < kFaderCount; ++i) {
        const int c = i % 8, r = i / 8;
        const int x = s.leftMargin + s.boxLeftPad + s.columnPad + c * (s.columnWidth + s.columnGap);
        const auto n = static_cast<std::size_t>(i);
        const std::string* texts[3] = {&m.SliderName[n], &m.KeyOnName[n], &m.KeyOffName[n]};
        for (int l = 0; l < 3; ++l) {
            const int y = s.BlockTop(r) + s.boxTopPad + s.linePad + l * (s.lineHeight + s.lineGap);
            shapes.push_back(Text(Len(x), Len(y), l == 0 ? SheetFont::BoldUnderlined : SheetFont::Italic, *texts[l]));
        }
    }
    return shapes;
}

SheetPixels LabelSheetImageSize(int dpi) {
    const LabelSheetLayout s(SheetMode::Screen);
    const auto px = [dpi](int tenths) { return tenths * dpi / 254; };
    return {px(2 * s.leftMargin) + px(s.BlockWidth()), px(2 * (s.topMargin + s.blockGap)) + 3 * px(s.BlockHeight())};
}

}  // namespace morvelant
