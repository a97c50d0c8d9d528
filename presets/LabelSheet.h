// The fader label sheet as a list of shapes: for one preset, three boxes of
// eight columns with the names of the 24 faders and of their Key On and Key
// Off events, laid out to real size so the printed sheet can be cut out and
// laid over the device's fader rows. Every length is held in tenths of a
// millimetre and turned into device pixels only when drawn, for the screen
// or for the printer, so both draw the same list.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "model/DeviceModel.h"

namespace morvelant {

enum class SheetMode { Screen, Print };

// A length as a sum of terms in tenths of a millimetre, each converted to
// pixels on its own (length x dpi / 254, truncated), plus whole pixels.
struct SheetLength {
    std::array<int, 3> tenths{};
    int pixels = 0;

    int ToPixels(int dpi) const {
        int sum = pixels;
        for (int t : tenths) sum += t * dpi / 254;
        return sum;
    }
    int TotalTenths() const { return tenths[0] + tenths[1] + tenths[2]; }
};

enum class SheetFont {
    Italic,  // Key On and Key Off names, fader numbers, the preset line
    BoldUnderlined  // fader names
};

struct SheetShape {
    enum Kind { Rectangle, VerticalLine, Text };
    Kind kind = Rectangle;
    SheetLength x, y;
    SheetLength width, height;  // a rectangle's size; a line's length is height
    SheetFont font = SheetFont::Italic;
    std::string text;  // placed by its top left corner
};

// The sheet's constants in tenths of a millimetre; screen and print differ
// in the column width and the space under each box.
struct LabelSheetLayout {
    explicit LabelSheetLayout(SheetMode mode);

    int boxTopPad = 15;
    int captionSpace = 35;
    int boxLeftPad = 15;
    int boxRightPad = 15;
    int blockGap = 30;
    int columnPad = 60;
    int columnWidth = 135;
    int columnGap = 15;
    int linePad = 20;
    int lineHeight = 30;
    int lineGap = 20;
    int leftMargin = 15;
    int topMargin = 15;

    int InnerWidth() const { return 8 * columnWidth + 7 * columnGap + 2 * columnPad; }
    int BlockWidth() const { return boxLeftPad + boxRightPad + InnerWidth(); }
    int InnerHeight() const { return 2 * linePad + 3 * lineHeight + 2 * lineGap; }
    int BlockHeight() const { return boxTopPad + captionSpace + InnerHeight(); }
    int BlockTop(int r) const { return topMargin + r * (BlockHeight() + blockGap); }
};

// The character height of the sheet's fonts: 11 pixels at 96 dpi, in points.
inline constexpr double kSheetFontPoints = 11.0 * 72.0 / 96.0;

// Every shape of the sheet of preset p, in drawing order.
std::vector<SheetShape> LabelSheetShapes(const DeviceModel& model, int p, SheetMode mode);

// The screen image's size in pixels at `dpi`.
struct SheetPixels {
    int width = 0;
    int height = 0;
};
SheetPixels LabelSheetImageSize(int dpi);

}  // namespace morvelant
