// Position and size of a window with a fixed border in the configuration
// file: "Top", "Left", "Width" and "Height" of its section. The stored size
// is kept as read (the client area is never resized from it) and written
// back as it was when there is no window frame to measure (not shown yet, or
// no window system).
#ifndef PLATFORM_QTFIXEDFORMBOUNDS_H
#define PLATFORM_QTFIXEDFORMBOUNDS_H

#include <QRect>

#include <string>

#include "platform/QtFormFrame.h"
#include "platform/IniFile.h"
#include "platform/QtFormBase.h"

namespace morvelant {

struct FixedFormBounds {
    int top;
    int left;
    int width;
    int height;
};

// Reads the bounds (a negative top counts as 0), keeps the stored size in
// savedWidth/savedHeight and moves the form.
inline void ReadFixedFormBounds(const TIniFile& ini, const std::string& section, const FixedFormBounds& defaults,
                                TForm& form, int& savedWidth, int& savedHeight) {
    int top = ini.ReadInteger(section, "Top", defaults.top);
    if (top < 0) top = 0;
    const int left = ini.ReadInteger(section, "Left", defaults.left);
    savedWidth = ini.ReadInteger(section, "Width", defaults.width);
    savedHeight = ini.ReadInteger(section, "Height", defaults.height);
    form.SetBounds(left, top, form.width(), form.height());
}

inline void WriteFixedFormBounds(TIniFile& ini, const std::string& section, const TForm& form, int savedWidth,
                                 int savedHeight) {
    ini.WriteInteger(section, "Top", OuterBounds(form).y());
    ini.WriteInteger(section, "Left", OuterBounds(form).x());
    const QRect frame = OuterBounds(form);
    const bool framed = frame.width() > form.width() || frame.height() > form.height();
    ini.WriteInteger(section, "Width", framed ? frame.width() : savedWidth);
    ini.WriteInteger(section, "Height", framed ? frame.height() : savedHeight);
}

}  // namespace morvelant

#endif
