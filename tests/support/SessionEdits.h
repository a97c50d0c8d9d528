// A session's edits as a user makes them in the started editor: a preset
// and a pattern renamed by typing into the lists, and a setting changed.
#pragma once

#include <QLineEdit>
#include <QString>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "patterns/PatternFormUnit.h"
#include "presets/PresetFormUnit.h"
#include "tests/support/StartedEditor.h"
#include "tests/support/UserInput.h"

namespace morvelant::testsupport {

// Preset 3 and pattern 2 are renamed `name`; preset 5 is selected.
inline void Edit(StartedEditor& editor, const QString& name) {
    for (const auto& [list, slot] : {std::pair<TSlotListForm*, int>{PresetForm, 3}, {PatternForm, 2}}) {
        list->Show();
        QLineEdit* field = list->EditList[size_t(slot)];
        userinput::FocusOn(field);
        userinput::KeyClick(field, Qt::Key_A, Qt::ControlModifier);  // a full name takes no more keys
        userinput::KeyClicks(field, name);
    }
    editor.Model().SelectedPreset = 5;
}

// What a user may find as "Morvelant.cfg" that is no usable file: each kind
// with the way to make it at a path.
inline std::vector<std::pair<const char*, std::function<void(const std::string&)>>> UnusableConfigurations() {
    return {
        {"a named pipe", [](const std::string& p) { ::mkfifo(p.c_str(), 0600); }},
        {"a folder", [](const std::string& p) { std::filesystem::create_directory(p); }},
        {"binary data", [](const std::string& p) { std::ofstream(p, std::ios::binary) << std::string("\0\x01\xFF", 3); }},
    };
}

}  // namespace morvelant::testsupport
