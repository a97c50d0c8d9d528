#include "presets/NotesUnit.h"

#include "model/SlotLists.h"

namespace morvelant {

TNotesForm* NotesForm = nullptr;

TNotesForm::TNotesForm(DeviceModel& model, Notifications& notifications, std::string programPath, QWidget* parent)
    : TNotesWindow(
          QStringLiteral("NotesForm"), "Preset Notes",
          {programPath + "Morvelant.cfg", "Notes Form", "ShowNotes", false, 116, 203, 418, 297}, model.ShowNotes,
          [&model] { return CurrentSlotNotes(model, SlotKind::Presets); },
          [&model] { return WorkingSetRoom(model, SlotKind::Presets, "These notes"); }, parent) {
    NotesRichEdit = Edit();
    NotesRichEdit->setObjectName(QStringLiteral("NotesRichEdit"));
    presetChanged_ = notifications.CurrentPresetChanged.Subscribe([this] { ShowNotes(); });
    auto ifCurrent = [this, &model](int slot) {
        if (slot < 0 || slot == model.SelectedPreset) ShowNotes();
    };
    notesLoaded_ = notifications.PresetNotesLoaded.Subscribe(ifCurrent);
    dataChanged_ = notifications.PresetDataChanged.Subscribe(ifCurrent);
}

TNotesForm::~TNotesForm() {
    if (NotesForm == this) NotesForm = nullptr;
}

}  // namespace morvelant
