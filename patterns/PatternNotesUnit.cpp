#include "patterns/PatternNotesUnit.h"

#include "model/SlotLists.h"

namespace morvelant {

TPatternNotesForm* PatternNotesForm = nullptr;

TPatternNotesForm::TPatternNotesForm(DeviceModel& model, Notifications& notifications, std::string programPath,
                                     QWidget* parent)
    : TNotesWindow(
          QStringLiteral("PatternNotesForm"), "Pattern Notes",
          {programPath + "Morvelant.cfg", "Pattern Notes Form", "ShowPatternNotes", false, 116, 203, 418, 297},
          model.ShowPatternNotes, [&model] { return CurrentSlotNotes(model, SlotKind::Patterns); },
          [&model] { return WorkingSetRoom(model, SlotKind::Patterns, "These notes"); }, parent) {
    PatternNotesRichEdit = Edit();
    PatternNotesRichEdit->setObjectName(QStringLiteral("PatternNotesRichEdit"));
    patternChanged_ = notifications.CurrentPatternChanged.Subscribe([this] { ShowNotes(); });
    auto ifCurrent = [this, &model](int slot) {
        if (slot < 0 || slot == model.SelectedPattern) ShowNotes();
    };
    notesLoaded_ = notifications.PatternNotesLoaded.Subscribe(ifCurrent);
    dataChanged_ = notifications.PatternDataChanged.Subscribe(ifCurrent);
}

TPatternNotesForm::~TPatternNotesForm() {
    if (PatternNotesForm == this) PatternNotesForm = nullptr;
}

}  // namespace morvelant
