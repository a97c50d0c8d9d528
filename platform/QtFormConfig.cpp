#include "platform/QtFormConfig.h"

#include <algorithm>

#include "platform/IniFile.h"
#include "platform/QtFormFrame.h"

namespace morvelant {

void ReadFormConfig(const FormConfig& config, TForm& form, bool& shown) {
    const TIniFile ini(config.file);
    shown = ini.ReadBool("Options", config.showKey, config.showDefault);
    const int top = std::max(ini.ReadInteger(config.section, "Top", config.top), 0);
    form.SetBounds(ini.ReadInteger(config.section, "Left", config.left), top,
                   ini.ReadInteger(config.section, "Width", config.width),
                   ini.ReadInteger(config.section, "Height", config.height));
}

void WriteFormConfig(const FormConfig& config, const TForm& form, bool shown) {
    TIniFile ini(config.file);
    ini.WriteBool("Options", config.showKey, shown);
    ini.WriteInteger(config.section, "Top", OuterBounds(form).y());
    ini.WriteInteger(config.section, "Left", OuterBounds(form).x());
    const QSize outer = OuterSize(form);
    ini.WriteInteger(config.section, "Width", outer.width());
    ini.WriteInteger(config.section, "Height", outer.height());
}

}  // namespace morvelant
