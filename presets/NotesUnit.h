// The preset notes window: free text kept with the current preset (its
// PresetNotes), travelling with it in memory and in files, never sent to the
// device. It follows the current preset and stores every change the user
// types at once.
#pragma once

#include <string>

#include "model/DeviceModel.h"
#include "model/Notifications.h"
#include "platform/QtNotesForm.h"

namespace morvelant {

class TNotesForm : public TNotesWindow {
    Q_OBJECT

public:
    // Reads its configuration section from programPath + "Morvelant.cfg";
    // writes it when destroyed.
    TNotesForm(DeviceModel& model, Notifications& notifications, std::string programPath, QWidget* parent = nullptr);
    ~TNotesForm() override;

    NotesTextEdit* NotesRichEdit = nullptr;

private:
    Subscription presetChanged_, notesLoaded_, dataChanged_;
};

extern TNotesForm* NotesForm;

}  // namespace morvelant
