// Colour numbers as the editor stores them, and their conversion to QColor.
//
// A colour number is either a plain RGB value laid out 0x00BBGGRR (red in the
// low byte), or, with the top bit set, one of the desktop's system colours
// (its index in the low byte), or one of the two special values clNone and
// clDefault. The editor's files and configuration keep these numbers as they
// are; they become QColor only where a widget is painted.
#pragma once

#include <QColor>
#include <cstdint>

namespace morvelant {

using TColor = int32_t;

// Plain colours.
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clLtGray = 0xC0C0C0;
inline constexpr TColor clDkGray = 0x808080;
inline constexpr TColor clMoneyGreen = 0xC0DCC0;
inline constexpr TColor clSkyBlue = 0xF0CAA6;
inline constexpr TColor clCream = 0xF0FBFF;
inline constexpr TColor clMedGray = 0xA4A0A0;

// System colours: the top bit set and the system colour index below.
inline constexpr TColor SystemColorBase = static_cast<TColor>(0x80000000u);
inline constexpr TColor clScrollBar = SystemColorBase | 0;
inline constexpr TColor clBackground = SystemColorBase | 1;
inline constexpr TColor clActiveCaption = SystemColorBase | 2;
inline constexpr TColor clInactiveCaption = SystemColorBase | 3;
inline constexpr TColor clMenu = SystemColorBase | 4;
inline constexpr TColor clWindow = SystemColorBase | 5;
inline constexpr TColor clWindowFrame = SystemColorBase | 6;
inline constexpr TColor clMenuText = SystemColorBase | 7;
inline constexpr TColor clWindowText = SystemColorBase | 8;
inline constexpr TColor clCaptionText = SystemColorBase | 9;
inline constexpr TColor clActiveBorder = SystemColorBase | 10;
inline constexpr TColor clInactiveBorder = SystemColorBase | 11;
inline constexpr TColor clAppWorkSpace = SystemColorBase | 12;
inline constexpr TColor clHighlight = SystemColorBase | 13;
inline constexpr TColor clHighlightText = SystemColorBase | 14;
inline constexpr TColor clBtnFace = SystemColorBase | 15;
inline constexpr TColor clBtnShadow = SystemColorBase | 16;
inline constexpr TColor clGrayText = SystemColorBase | 17;
inline constexpr TColor clBtnText = SystemColorBase | 18;
inline constexpr TColor clInactiveCaptionText = SystemColorBase | 19;
inline constexpr TColor clBtnHighlight = SystemColorBase | 20;
inline constexpr TColor cl3DDkShadow = SystemColorBase | 21;
inline constexpr TColor cl3DLight = SystemColorBase | 22;
inline constexpr TColor clInfoText = SystemColorBase | 23;
inline constexpr TColor clInfoBk = SystemColorBase | 24;

// No colour (transparent) and "whatever the widget uses by default".
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;

// Builds 0x00BBGGRR from its parts.
constexpr TColor RGBColor(int r, int g, int b) {
    return static_cast<TColor>((static_cast<uint32_t>(b & 0xFF) << 16) | (static_cast<uint32_t>(g & 0xFF) << 8) |
                               static_cast<uint32_t>(r & 0xFF));
}
constexpr int GetRValue(TColor c) { return static_cast<int>(static_cast<uint32_t>(c) & 0xFF); }
constexpr int GetGValue(TColor c) { return static_cast<int>((static_cast<uint32_t>(c) >> 8) & 0xFF); }
constexpr int GetBValue(TColor c) { return static_cast<int>((static_cast<uint32_t>(c) >> 16) & 0xFF); }

constexpr bool IsSystemColor(TColor c) { return (static_cast<uint32_t>(c) & 0x80000000u) != 0; }

// The colour to paint with. System colours come from the application palette
// (a sensible fixed value when no application exists); clNone gives a fully
// transparent colour, clDefault an invalid QColor (leave the widget's own).
// Any other number uses its low three bytes as blue, green, red.
QColor ToQColor(TColor c);

// Back to a colour number: the plain RGB value (alpha dropped); an invalid
// colour gives clDefault, a fully transparent one clNone.
TColor FromQColor(const QColor& c);

// Resolves a system colour to its plain RGB number (others unchanged).
TColor ColorToRGB(TColor c);

}  // namespace morvelant
