// The preset notes window: free text kept with the current preset (its
// PresetNotes), travelling with it in memory and in files, never sent to the
// device. It follows the current preset and stores every change the user
// types at once.
#pragma once

#include <string>

#include "model/DeviceModel.h"
#include "model/Notifications.h"
#include "platform/QtFormBase.h"
#include "platform/QtNotesEdit.h"

namespace morvelant {

class TNotesForm : public TForm {
    Q_OBJECT

public:
    // Reads its configuration section from programPath + "Morvelant.cfg".
    TNotesForm(DeviceModel& model, Notifications& notifications, std::string programPath, QWidget* parent = nullptr);
    // Writes its configuration section.
    ~TNotesForm() override;

    NotesTextEdit* NotesRichEdit = nullptr;

    // The current preset's notes into the box.
    void ShowNotes();
    void NotesRichEditChange(const std::string& text);

protected:
    void FormShow() override;
    void FormClose(TCloseAction& action) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    DeviceModel& model_;
    std::string configFile_;
    Subscription presetChanged_;
    Subscription notesLoaded_;
    Subscription dataChanged_;
};

extern TNotesForm* NotesForm;

}  // namespace morvelant
