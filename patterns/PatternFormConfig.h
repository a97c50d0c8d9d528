// The configuration section of a pattern editor window: the shown flag and
// "Top", "Left", "Width" and "Height", read when the window is created and
// written when it is destroyed. The stored values are applied as they are (a
// negative top too); the window's fixed client area is never resized from
// them, so the stored size is written back unchanged while the window has no
// frame to measure.
#pragma once

#include <QRect>

#include <string>

#include "model/DeviceModel.h"
#include "platform/QtFormFrame.h"
#include "platform/IniFile.h"
#include "platform/ProgramPath.h"
#include "platform/QtFormBase.h"

namespace morvelant {

struct PatternFormSection {
    const char* section;
    const char* showKey;
    bool DeviceModel::*shown;
    int top, left, width, height;  // defaults
};

class PatternFormConfig {
public:
    explicit PatternFormConfig(const PatternFormSection& section) : s_(section) {}

    void Read(DeviceModel& model, TForm& form) {
        const TIniFile ini(ConfigFileName());
        model.*s_.shown = ini.ReadBool(s_.section, s_.showKey, false);
        const int top = ini.ReadInteger(s_.section, "Top", s_.top);
        const int left = ini.ReadInteger(s_.section, "Left", s_.left);
        width_ = ini.ReadInteger(s_.section, "Width", s_.width);
        height_ = ini.ReadInteger(s_.section, "Height", s_.height);
        form.SetBounds(left, top, form.width(), form.height());
    }

    void Write(const DeviceModel& model, const TForm& form) const {
        TIniFile ini(ConfigFileName());
        ini.WriteBool(s_.section, s_.showKey, model.*s_.shown);
        ini.WriteInteger(s_.section, "Top", OuterBounds(form).y());
        ini.WriteInteger(s_.section, "Left", OuterBounds(form).x());
        const QRect frame = OuterBounds(form);
        const bool framed = frame.width() > form.width() || frame.height() > form.height();
        ini.WriteInteger(s_.section, "Width", framed ? frame.width() : width_);
        ini.WriteInteger(s_.section, "Height", framed ? frame.height() : height_);
    }

private:
    PatternFormSection s_;
    int width_ = 0, height_ = 0;
};

}  // namespace morvelant
