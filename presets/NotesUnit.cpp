#include "presets/NotesUnit.h"

#include <algorithm>

#include "platform/IniFile.h"

namespace morvelant {

TNotesForm* NotesForm = nullptr;

namespace {
constexpr char kSection[] = "Notes Form";
}

TNotesForm::TNotesForm(DeviceModel& model, Notifications& notifications, std::string programPath, QWidget* parent)
    : TForm(QStringLiteral("NotesForm"), parent), model_(model), configFile_(programPath + "Morvelant.cfg") {
    SetCaption("Preset Notes");
    NotesRichEdit = new NotesTextEdit(this);
    NotesRichEdit->setObjectName(QStringLiteral("NotesRichEdit"));
    connect(NotesRichEdit, &NotesTextEdit::NotesEdited, this,
            [this](const std::string& text) { NotesRichEditChange(text); });

    const TIniFile ini(configFile_);
    model_.ShowNotes = ini.ReadBool("Options", "ShowNotes", false);
    SetBounds(ini.ReadInteger(kSection, "Left", 203), std::max(ini.ReadInteger(kSection, "Top", 116), 0),
              ini.ReadInteger(kSection, "Width", 418), ini.ReadInteger(kSection, "Height", 297));

    presetChanged_ = notifications.CurrentPresetChanged.Subscribe([this] { ShowNotes(); });
    auto ifCurrent = [this](int slot) {
        if (slot < 0 || slot == model_.SelectedPreset) ShowNotes();
    };
    notesLoaded_ = notifications.PresetNotesLoaded.Subscribe(ifCurrent);
    dataChanged_ = notifications.PresetDataChanged.Subscribe(ifCurrent);
    ShowNotes();
}

TNotesForm::~TNotesForm() {
    TIniFile ini(configFile_);
    ini.WriteBool("Options", "ShowNotes", model_.ShowNotes);
    ini.WriteInteger(kSection, "Top", Top());
    ini.WriteInteger(kSection, "Left", Left());
    ini.WriteInteger(kSection, "Width", Width());
    ini.WriteInteger(kSection, "Height", Height());
    if (NotesForm == this) NotesForm = nullptr;
}

void TNotesForm::ShowNotes() {
    if (DeviceModel::ValidPreset(model_.SelectedPreset))
        NotesRichEdit->SetStoredText(model_.Presets[std::size_t(model_.SelectedPreset)].PresetNotes);
}

void TNotesForm::NotesRichEditChange(const std::string& text) {
    if (DeviceModel::ValidPreset(model_.SelectedPreset))
        model_.Presets[std::size_t(model_.SelectedPreset)].PresetNotes = text;
}

void TNotesForm::FormShow() { model_.ShowNotes = true; }

void TNotesForm::FormClose(TCloseAction&) { model_.ShowNotes = false; }

void TNotesForm::resizeEvent(QResizeEvent* event) {
    NotesRichEdit->setGeometry(rect());
    TForm::resizeEvent(event);
}

}  // namespace morvelant
