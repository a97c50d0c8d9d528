// A session's edits as a user makes them in the started editor: a preset
// and a pattern renamed by typing into the lists, and a setting changed.
#pragma once

#include <QLineEdit>
#include <QString>

#include <utility>

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

}  // namespace morvelant::testsupport
