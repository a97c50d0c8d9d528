// The pattern notes window: free text kept with the current pattern (its
// PatternNotes), travelling with every whole-pattern copy and with pattern
// files, never part of the dump. It follows the current pattern and stores
// every change the user types at once.
#pragma once

#include <string>

#include "model/DeviceModel.h"
#include "model/Notifications.h"
#include "platform/QtNotesForm.h"

namespace morvelant {

class TPatternNotesForm : public TNotesWindow {
    Q_OBJECT

public:
    TPatternNotesForm(DeviceModel& model, Notifications& notifications, std::string programPath,
                      QWidget* parent = nullptr);
    ~TPatternNotesForm() override;

    NotesTextEdit* PatternNotesRichEdit = nullptr;

private:
    Subscription patternChanged_, notesLoaded_, dataChanged_;
};

extern TPatternNotesForm* PatternNotesForm;

}  // namespace morvelant
