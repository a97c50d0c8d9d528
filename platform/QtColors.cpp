#include "platform/QtColors.h"

#include <QApplication>
#include <QPalette>

namespace morvelant {

namespace {

// The classic desktop scheme, used when no application palette exists and
// for the indices the palette has no role for.
constexpr uint32_t kClassicScheme[25] = {
    0xC8C8C8, 0x000000, 0x99B4D1, 0xBFCDDB, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000, 0x000000,
    0x000000, 0xB4B4B4, 0xF4F7FC, 0xABABAB, 0x0078D7, 0xFFFFFF, 0xF0F0F0, 0xA0A0A0, 0x6D6D6D,
    0x000000, 0x434E54, 0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000, 0xE1FFFF,
};  // written as 0xRRGGBB

QColor SystemColor(int index) {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
        const QPalette pal = QApplication::palette();
        switch (index) {
            case 4:
            case 15: return pal.color(QPalette::Button);  // menu, button face
            case 5: return pal.color(QPalette::Base);  // window
            case 7:
            case 8: return pal.color(QPalette::Text);  // menu text, window text
            case 13: return pal.color(QPalette::Highlight);
            case 14: return pal.color(QPalette::HighlightedText);
            case 16: return pal.color(QPalette::Dark);  // button shadow
            case 17: return pal.color(QPalette::Disabled, QPalette::Text);  // grey text
            case 18: return pal.color(QPalette::ButtonText);
            case 20: return pal.color(QPalette::Light);  // button highlight
            case 21: return pal.color(QPalette::Shadow);
            case 22: return pal.color(QPalette::Midlight);
            case 23: return pal.color(QPalette::ToolTipText);
            case 24: return pal.color(QPalette::ToolTipBase);
            default: break;
        }
    }
    if (index < 0 || index >= 25) return QColor(0, 0, 0);
    return QColor::fromRgb(static_cast<QRgb>(0xFF000000u | kClassicScheme[index]));
}

}  // namespace

QColor ToQColor(TColor c) {
    if (c == clNone) return QColor(0, 0, 0, 0);
    if (c == clDefault) return QColor();
    if (IsSystemColor(c)) return SystemColor(static_cast<int>(static_cast<uint32_t>(c) & 0xFF));
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

TColor FromQColor(const QColor& c) {
    if (!c.isValid()) return clDefault;
    if (c.alpha() == 0) return clNone;
    const QColor rgb = c.toRgb();
    return RGBColor(rgb.red(), rgb.green(), rgb.blue());
}

TColor ColorToRGB(TColor c) {
    if (!IsSystemColor(c)) return c;
    const QColor q = ToQColor(c);
    return RGBColor(q.red(), q.green(), q.blue());
}

}  // namespace morvelant
