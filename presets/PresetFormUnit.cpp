#include "presets/PresetFormUnit.h"

#include <QComboBox>
#include <QLineEdit>

#include "engine/DumpSending.h"
#include "engine/FileCommands.h"
#include "engine/Tool.h"
#include "model/SlotLists.h"
#include "platform/Dialogs.h"
#include "platform/QtFormConfig.h"

namespace morvelant {

TPresetForm* PresetForm = nullptr;

namespace {

constexpr SlotKind kKind = SlotKind::Presets;
constexpr char kNoBufferChosen[] = "Choose the edit buffer to load into first.";

}  // namespace

TPresetForm::TPresetForm(DeviceModel& model, Notifications& notifications, Engine& engine, CommandRegistry& commands,
                         std::string programPath, QWidget* parent)
    : TSlotListForm(QStringLiteral("PresetForm"), parent),
      model_(model),
      notifications_(notifications),
      engine_(engine),
      commands_(commands),
      configFile_(programPath + "Morvelant.cfg") {
    SetCaption("Presets");
    SetBounds(0, 289, 368, 333);
    BuildMenus();
    RegisterCommands();
    ReadConfiguration();
    ShowAllNames();

    presetChanged_ = notifications_.CurrentPresetChanged.Subscribe([this] {
        ShowSlotName(model_.SelectedPreset);
        PaintNameColours();
        FocusCurrentSlot();
    });
    showRequest_ = notifications_.ShowPresetList.Subscribe([this] { ShowAside(); });
    presetData_ = notifications_.PresetDataChanged.Subscribe([this](int slot) {
        if (slot >= 0 && slot < kSlots)
            UpdatePresetName(slot);
        else
            ShowAllNames();
    });
}

TPresetForm::~TPresetForm() {
    WriteConfiguration();
    if (PresetForm == this) PresetForm = nullptr;
}

int TPresetForm::EditBufferCount() const { return morvelant::EditBufferCount(model_, kKind); }

// ---- Construction ------------------------------------------------------------------------

void TPresetForm::BuildMenus() {
    auto item = [this](QMenu* menu, const char* name, const char* caption, void (TPresetForm::*handler)()) {
        return AddPopupItem(menu, name, caption, [this, handler] { (this->*handler)(); });
    };
    auto submenu = &TSlotListForm::AddSubmenu;

    PresetFormPopup = new QMenu(this);
    PresetFormPopup->setObjectName(QStringLiteral("PresetFormPopup"));
    SelectAllPresets1 =
        item(PresetFormPopup, "SelectAllPresets1", "Select All Presets", &TPresetForm::SelectAllPresets1Click);
    DeselectAllPresets1 =
        item(PresetFormPopup, "DeselectAllPresets1", "Deselect All Presets", &TPresetForm::DeselectAllPresets1Click);
    ToggleSelection1 =
        item(PresetFormPopup, "ToggleSelection1", "Toggle Selection", &TPresetForm::ToggleSelection1Click);
    PresetFormPopup->addSeparator();
    CopyPreset1 = item(PresetFormPopup, "CopyPreset1", "Copy Preset", &TPresetForm::CopyPreset1Click);
    PastePreset1 = item(PresetFormPopup, "PastePreset1", "Paste Preset", &TPresetForm::PastePreset1Click);
    PasteSpecial1 = item(PresetFormPopup, "PasteSpecial1", "Paste Special", &TPresetForm::PasteSpecial1Click);
    PastePreset1->setEnabled(false);
    PasteSpecial1->setEnabled(false);
    PresetFormPopup->addSeparator();
    InitPreset2 = submenu(PresetFormPopup, "InitPreset2", "Init Preset");
    FactoryInit1 = item(InitPreset2, "FactoryInit1", "Factory Init", &TPresetForm::InitPreset1Click);
    NoStatus1 = item(InitPreset2, "NoStatus1", "No Status", &TPresetForm::ClearPreset1Click);
    MidiControllers1 =
        item(InitPreset2, "MidiControllers1", "Midi Controllers", &TPresetForm::InitPresetwithMidiCtrl1Click);
    Load1 = submenu(PresetFormPopup, "Load1", "Load");
    SinglePreset1 = item(Load1, "SinglePreset1", "Single Preset", &TPresetForm::LoadPresetClick);
    Presets1 = item(Load1, "Presets1", "Presets", &TPresetForm::LoadallPresets1Click);
    PresetsSequentially1 =
        item(Load1, "PresetsSequentially1", "Presets Sequentially", &TPresetForm::LoadPresetsSequentially1Click);
    Save1 = submenu(PresetFormPopup, "Save1", "Save");
    SinglePreset2 = item(Save1, "SinglePreset2", "Single Preset", &TPresetForm::SavePresetClick);
    AllPresets1 = item(Save1, "AllPresets1", "All Presets", &TPresetForm::SaveallPresetsClick);
    AllPresetsAsSingleFiles1 = item(Save1, "AllPresetsAsSingleFiles1", "All Presets As Single Files",
                                    &TPresetForm::SavePresetsasSingleFiles1Click);
    SelectedPresets1 = item(Save1, "SelectedPresets1", "Selected Presets", &TPresetForm::SaveselectedPresets1Click);
    SelectedPresetsAsSingleFiles1 = item(Save1, "SelectedPresetsAsSingleFiles1", "Selected Presets As Single Files",
                                         &TPresetForm::SaveselectedPresetsasingleFiles1Click);
    PresetFormPopup->addSeparator();
    DisplayDescription1 =
        item(PresetFormPopup, "DisplayDescription1", "Display Description", &TPresetForm::DisplayDescription1Click);
    PrintDescription1 =
        item(PresetFormPopup, "PrintDescription1", "Print Description", &TPresetForm::PrintDescription1Click);
    PresetFormPopup->addSeparator();
    SendPreset = item(PresetFormPopup, "SendPreset", "Send Preset", &TPresetForm::SendPresetClick);

    EditBuffersPopupMenu1 = new QMenu(this);
    EditBuffersPopupMenu1->setObjectName(QStringLiteral("EditBuffersPopupMenu1"));
    ClearAllBuffers =
        item(EditBuffersPopupMenu1, "ClearAllBuffers", "Clear All Buffers", &TPresetForm::ClearAllBuffersClick);
    LoadPresets = item(EditBuffersPopupMenu1, "LoadPresets", "Load Presets", &TPresetForm::LoadPresetsClick);
    DeletePreset1 = item(EditBuffersPopupMenu1, "DeletePreset1", "Delete Preset", &TPresetForm::DeletePreset1Click);

    SetPopups(PresetFormPopup, EditBuffersPopupMenu1);
}

void TPresetForm::RegisterCommands() {
    const std::pair<const char*, std::function<void()>> commands[] = {
        {"MainMenuFactoryInitPreset", [this] { InitPresets(0, 0); }},
        {"MainMenuNoStatusPreset", [this] { InitPresets(0, 1); }},
        {"MainMenuMidiCtrlPreset", [this] { InitPresets(0, 2); }},
        {"FactoryInit1", [this] { InitPresets(0, 0); }},
        {"NoStatus1", [this] { InitPresets(0, 1); }},
        {"MidiControllers1", [this] { InitPresets(0, 2); }},
        {"FactoryInit2", [this] { InitPresets(1, 0); }},
        {"NoStatus2", [this] { InitPresets(1, 1); }},
        {"MidiControllers2", [this] { InitPresets(1, 2); }},
        {"FactoryInit3", [this] { InitPresets(2, 0); }},
        {"NoStatus3", [this] { InitPresets(2, 1); }},
        {"MidiControllers3", [this] { InitPresets(2, 2); }},
        {"SinglePreset6", [this] { LoadPresetClick(); }},
        {"Presets2", [this] { LoadallPresets1Click(); }},
        {"PresetsSequentially2", [this] { LoadPresetsSequentially1Click(); }},
        {"SinglePreset7", [this] { SavePresetClick(); }},
        {"SelectedPresets5", [this] { SaveselectedPresets1Click(); }},
        {"AllPresets4", [this] { SaveallPresetsClick(); }},
        {"SelectedPresetsAsSingleFiles3", [this] { SaveselectedPresetsasingleFiles1Click(); }},
        {"AllPresetsAsSingleFiles2", [this] { SavePresetsasSingleFiles1Click(); }},
        {"SinglePreset8", [this] { SendPresetClick(); }},
        {"SelectedPresets6", [this] { SelectedPresets2Click(); }},
        {"SelectAllPresets1", [this] { SelectAllPresets1Click(); }},
        {"DeselectAllPresets1", [this] { DeselectAllPresets1Click(); }},
        {"ToggleSelection2", [this] { ToggleSelection1Click(); }},
        {"CopyPreset1", [this] { CopyPreset1Click(); }},
        {"PastePreset1", [this] { PastePreset1Click(); }},
        {"PastePresetwClipboard1", [this] { PasteSpecial1Click(); }},
    };
    for (const auto& [name, handler] : commands) RegisterCommand(commands_, name, handler);
}

FormConfig TPresetForm::Config() const { return {configFile_, "Preset Form", "ShowPresets", true, 289, 0, 368, 333}; }

void TPresetForm::ReadConfiguration() { ReadFormConfig(Config(), *this, model_.ShowPresets); }

void TPresetForm::WriteConfiguration() { WriteFormConfig(Config(), *this, model_.ShowPresets); }

// ---- What the list shows ----------------------------------------------------------------------

std::string TPresetForm::ListSlotName(int slot) const { return SlotName(model_, kKind, slot); }
int TPresetForm::ListCurrentSlot() const { return model_.SelectedPreset; }
int TPresetForm::ListBufferCount() const { return EditBufferCount(); }
bool TPresetForm::ListMarked(int slot) const { return SlotMarked(model_, kKind, slot); }
void TPresetForm::ListSetMarked(int slot, bool marked) { MarkSlot(model_, kKind, slot, marked); }

// ---- The current preset --------------------------------------------------------------------------

void TPresetForm::SelectPreset(int slot, bool send) {
    if (!DeviceModel::ValidPreset(slot)) return;
    model_.SelectedPreset = slot;
    ShowCurrentPreset(send);
}

void TPresetForm::ShowCurrentPreset(bool send) { morvelant::ShowCurrentPreset(engine_, send); }

void TPresetForm::UpdatePresetName(int slot) {
    UpdatingGuard guard(model_);
    ShowPresetName(slot);
}

// ---- Name fields and the buffer list ----------------------------------------------------------------

void TPresetForm::Edit1Change(int slot) {
    if (model_.Updating) return;
    const StorableText text = TypedNameText(slot);
    const FilteredName typed = FilterSlotName(text.bytes, text.caret);
    SetNameText(slot, typed.name, typed.caret);
    SayNameNotTaken(slot, text.refused, typed.dropped);
    model_.SetPresetDeviceName(slot, typed.name);
    notifications_.PresetDataChanged.Publish(slot);
}

void TPresetForm::Edit1Enter(int slot) { SelectPreset(slot, true); }

void TPresetForm::Edit4MouseDown(int slot, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
    if (slot < 0 || slot >= kSlots) return;
    // One selection (and one "Preset" string) per press.
    FocusQuietly(EditList[std::size_t(slot)]);
    SelectPreset(slot, true);
    if (button == Qt::LeftButton) DragExchange = modifiers.testFlag(Qt::ShiftModifier);
}

void TPresetForm::Edit1DblClick(int) {
    if (ShowFaderParametersWindow) ShowFaderParametersWindow();
}

void TPresetForm::Edit1DragDrop(int target) {
    const int source = model_.SelectedPreset;
    if (!DeviceModel::ValidPreset(target)) return;
    // An exchange moves nothing into the working set or out of it.
    if (!DragExchange && !WarnUnlessEmpty(RoomForCopy(model_, kKind, source, target, "Copying this preset"), "Warning !"))
        return;
    DropOnSlot(model_, kKind, source, target, DragExchange);
    if (DragExchange && source != target) notifications_.PresetDataChanged.Publish(source);
    notifications_.PresetDataChanged.Publish(target);
    SelectPreset(target, false);
}

void TPresetForm::EditBuffersComboBoxClick() {
    if (BufferSlot(model_, kKind, SelectedBuffer) >= 0) SelectPreset(kSlots + SelectedBuffer, true);
}

void TPresetForm::EditBuffersComboBoxEnter() { EditBuffersComboBoxClick(); }

void TPresetForm::EditBuffersComboBoxDragDrop() {
    const int target = kSlots + (DragExchange ? SelectedBuffer : EditBufferCount());
    if (!WarnUnlessEmpty(RoomForCopy(model_, kKind, model_.SelectedPreset, target, "Copying this preset"), "Warning !"))
        return;
    ShowBufferDrop(DropOnEditBuffers(model_, kKind, model_.SelectedPreset, SelectedBuffer, DragExchange));
    notifications_.PresetDataChanged.Publish(kSlots + SelectedBuffer);
    SelectPreset(kSlots + SelectedBuffer, false);
}

void TPresetForm::ClearAllBuffersClick() {
    ClearEditBuffers(model_, kKind);
    SelectedBuffer = 0;
    ShowAllNames();
    notifications_.PresetDataChanged.Publish(kSlots);
    SelectPreset(kSlots, false);
}

void TPresetForm::DeletePreset1Click() {
    SelectedBuffer = DeleteEditBuffer(model_, kKind, SelectedBuffer);
    ShowAllNames();
    notifications_.PresetDataChanged.Publish(-1);
    SelectPreset(kSlots + SelectedBuffer, false);
}

void TPresetForm::LoadPresetsClick() {
    const int item = EditBuffersComboBox->currentIndex();
    const int slot = BufferSlot(model_, kKind, item);
    if (slot < 0) {
        CurrentDialogs().MessageBox(kNoBufferChosen, "Warning !", MessageButtons::Ok, MessageIcon::Warning);
        return;
    }
    model_.SelectedPreset = slot;
    SelectedBuffer = item;
    if (LoadPresetFileSequentially(model_, slot)) ShowLoaded();
}

// ---- Marks, clipboard and init ------------------------------------------------------------------------

void TPresetForm::CopyPreset1Click() {
    CopySlotToClipboard(model_, kKind, model_.SelectedPreset);
    PastePreset1->setEnabled(true);
    PasteSpecial1->setEnabled(true);
    commands_.SetEnabled("PastePreset1", true);
    commands_.SetEnabled("PastePresetwClipboard1", true);
}

void TPresetForm::PastePreset1Click() {
    if (!WarnUnlessEmpty(RoomForCopy(model_, kKind, kClipboardSource, model_.SelectedPreset, "Pasting this preset"),
                         "Warning !"))
        return;
    PasteSlotFromClipboard(model_, kKind, model_.SelectedPreset);
    notifications_.PresetDataChanged.Publish(model_.SelectedPreset);
    ShowCurrentPreset(true);
}

void TPresetForm::PasteSpecial1Click() {
    if (!WarnUnlessEmpty(RoomForCopy(model_, kKind, kClipboardSource, model_.SelectedPreset, "Pasting this preset"),
                         "Warning !"))
        return;
    ExchangeSlotWithClipboard(model_, kKind, model_.SelectedPreset);
    notifications_.PresetDataChanged.Publish(model_.SelectedPreset);
    ShowCurrentPreset(true);
}

void TPresetForm::InitPresets(int scope, int kind) {
    const int last = ApplyToScope(model_, kKind, scope, [this, kind](int p) {
        if (kind == 0)
            model_.FactoryInitPreset(p);
        else if (kind == 1)
            model_.ClearPreset(p);
        else
            model_.MidiCtrlInitPreset(p);
        notifications_.PresetDataChanged.Publish(p);
    });
    // Only the current preset alone is sent at once.
    SelectPreset(last, scope == 0);
}

void TPresetForm::InitPreset1Click() { InitPresets(0, 0); }
void TPresetForm::ClearPreset1Click() { InitPresets(0, 1); }
void TPresetForm::InitPresetwithMidiCtrl1Click() { InitPresets(0, 2); }

// ---- Files -----------------------------------------------------------------------------------------------

// The file commands have told every view which slots changed.
void TPresetForm::ShowLoaded() {
    ShowAllNames();
    ShowCurrentPreset(true);
}

void TPresetForm::LoadPresetClick() {
    if (LoadPreset(model_, model_.SelectedPreset)) ShowCurrentPreset(true);
}

void TPresetForm::LoadallPresets1Click() {
    if (LoadPresetFile(model_)) ShowLoaded();
}

void TPresetForm::LoadPresetsSequentially1Click() {
    if (!LoadPresetFileSequentially(model_, model_.SelectedPreset)) return;
    model_.SelectedPreset = kSlots;
    ShowLoaded();
}

void TPresetForm::SavePresetClick() { SavePresetAs(model_, model_.SelectedPreset); }
void TPresetForm::SaveallPresetsClick() { SaveAllPresetsAs(model_, kSlots); }
void TPresetForm::SavePresetsasSingleFiles1Click() { SavePresetsToFolder(model_); }
void TPresetForm::SaveselectedPresets1Click() { SaveSelectedPresets(model_); }
void TPresetForm::SaveselectedPresetsasingleFiles1Click() { SaveSelectedPresetsToFolder(model_); }

// The description window carries these out under the menu window's names.
void TPresetForm::DisplayDescription1Click() { commands_.Execute("DisplayFaderKeyDescription1"); }
void TPresetForm::PrintDescription1Click() { commands_.Execute("PrintFaderKeyDescription1"); }

// ---- Sending ----------------------------------------------------------------------------------------------

void TPresetForm::SendPresetClick() {
    const int p = model_.SelectedPreset;
    if (SendSeriesSlot(p) && model_.Warnings)
        CurrentDialogs().MessageBox(SendReminderText(SlotWord(kKind), p), kSendReminderCaption, MessageButtons::Ok,
                                    MessageIcon::Information);
}

bool TPresetForm::SeriesMayStart() {
    return WarnUnlessEmpty(SendFailureText(DeviceReady(engine_), kKind, 0), kSendWarningCaption);
}

bool TPresetForm::SendSeriesSlot(int slot) {
    return WarnUnlessEmpty(SendFailureText(SendSlotDump(engine_, kKind, slot), kKind, slot), kSendWarningCaption);
}

int TPresetForm::SeriesInterval() const { return SeriesDelay(engine_.Routing.PresetDelay); }

// ---- Window events --------------------------------------------------------------------------------------------

void TPresetForm::FormShow() {
    model_.ShowPresets = true;
    ShowAllNames();
    FocusCurrentSlot();
}

void TPresetForm::FormClose(TCloseAction&) { model_.ShowPresets = false; }

}  // namespace morvelant
