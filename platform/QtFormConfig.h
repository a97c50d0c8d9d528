// A window's place in the configuration file: its shown flag (key `showKey`
// of section "Options") and its bounds ("Top", "Left", "Width", "Height" of
// its own section), read when the window is created and written when it is
// destroyed. A negative top read becomes 0.
#pragma once

#include <string>

#include "platform/QtFormBase.h"

namespace morvelant {

struct FormConfig {
    std::string file;  // the configuration file
    std::string section;
    std::string showKey;
    bool showDefault;
    int top, left, width, height;  // defaults
};

void ReadFormConfig(const FormConfig& config, TForm& form, bool& shown);
void WriteFormConfig(const FormConfig& config, const TForm& form, bool shown);

}  // namespace morvelant
