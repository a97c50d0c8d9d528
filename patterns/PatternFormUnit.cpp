#include "patterns/PatternFormUnit.h"

#include <QComboBox>
#include <QLineEdit>

#include "engine/DumpSending.h"
#include "engine/FileCommands.h"
#include "engine/Tool.h"
#include "model/SlotLists.h"
#include "platform/Dialogs.h"

namespace morvelant {

TPatternForm* PatternForm = nullptr;

namespace {
constexpr SlotKind kKind = SlotKind::Patterns;
}  // namespace

TPatternForm::TPatternForm(DeviceModel& model, Notifications& notifications, Engine& engine, CommandRegistry& commands,
                           std::string programPath, QWidget* parent)
    : TSlotListForm(QStringLiteral("PatternForm"), parent),
      model_(model),
      notifications_(notifications),
      engine_(engine),
      commands_(commands),
      configFile_(programPath + "Morvelant.cfg") {
    SetCaption("Patterns");
    BuildMenus();
    RegisterCommands();
    ReadFormConfig(Config(), *this, model_.ShowPatterns);
    ShowAllNames();

    patternChanged_ = notifications_.CurrentPatternChanged.Subscribe([this] {
        ShowPatternNameGuarded(model_.SelectedPattern);
        PaintNameColours();
        FocusCurrentSlot();
    });
    patternData_ = notifications_.PatternDataChanged.Subscribe([this](int slot) {
        if (slot >= 0 && slot < kSlots)
            ShowPatternNameGuarded(slot);
        else
            ShowAllNames();
    });
}

TPatternForm::~TPatternForm() {
    WriteFormConfig(Config(), *this, model_.ShowPatterns);
    if (PatternForm == this) PatternForm = nullptr;
}

FormConfig TPatternForm::Config() const {
    return {configFile_, "Pattern Form", "ShowPatterns", true, 289, 369, 368, 333};
}

int TPatternForm::EditBufferCount() const { return morvelant::EditBufferCount(model_, kKind); }

void TPatternForm::BuildMenus() {
    auto item = [this](QMenu* menu, const char* name, const char* caption, void (TPatternForm::*handler)()) {
        return AddPopupItem(menu, name, caption, [this, handler] { (this->*handler)(); });
    };
    PatternFormPopup = new QMenu(this);
    PatternFormPopup->setObjectName(QStringLiteral("PatternFormPopup"));
    SelectAllPatterns1 =
        item(PatternFormPopup, "SelectAllPatterns1", "Select All Patterns", &TPatternForm::SelectAllPatterns1Click);
    DeselectAllPatterns1 = item(PatternFormPopup, "DeselectAllPatterns1", "Deselect All Patterns",
                                &TPatternForm::DeselectAllPatterns1Click);
    ToggleSelection1 =
        item(PatternFormPopup, "ToggleSelection1", "Toggle Selection", &TPatternForm::ToggleSelection1Click);
    PatternFormPopup->addSeparator();
    CopyPattern1 = item(PatternFormPopup, "CopyPattern1", "Copy Pattern", &TPatternForm::CopyPattern1Click);
    PastePattern1 = item(PatternFormPopup, "PastePattern1", "Paste Pattern", &TPatternForm::PastePattern1Click);
    PasteSpecial1 = item(PatternFormPopup, "PasteSpecial1", "Paste Special", &TPatternForm::PasteSpecial1Click);
    PastePattern1->setEnabled(false);
    PasteSpecial1->setEnabled(false);
    PatternFormPopup->addSeparator();
    InitPreset1 = item(PatternFormPopup, "InitPreset1", "Init Pattern", &TPatternForm::FactoryInit1Click);
    Load1 = AddSubmenu(PatternFormPopup, "Load1", "Load");
    SinglePattern1 = item(Load1, "SinglePattern1", "Single Pattern", &TPatternForm::SinglePattern1Click);
    Patterns1 = item(Load1, "Patterns1", "Patterns", &TPatternForm::Patterns1Click);
    PatternsSequentially1 =
        item(Load1, "PatternsSequentially1", "Patterns Sequentially", &TPatternForm::PatternsSequentially1Click);
    Save1 = AddSubmenu(PatternFormPopup, "Save1", "Save");
    SinglePattern2 = item(Save1, "SinglePattern2", "Single Pattern", &TPatternForm::SinglePattern2Click);
    Patterns2 = item(Save1, "Patterns2", "All Patterns", &TPatternForm::Patterns2Click);
    AllPatternsAsSingleFiles1 = item(Save1, "AllPatternsAsSingleFiles1", "All Patterns As Single Files",
                                     &TPatternForm::AllPatternsAsSingleFiles1Click);
    SelectedPresets1 = item(Save1, "SelectedPresets1", "Selected Patterns", &TPatternForm::SelectedPresets1Click);
    SelectedPresetsAsSingleFiles1 = item(Save1, "SelectedPresetsAsSingleFiles1", "Selected Patterns As Single Files",
                                         &TPatternForm::SelectedPresetsAsSingleFiles1Click);
    PatternFormPopup->addSeparator();
    SendPattern = item(PatternFormPopup, "SendPattern", "Send Pattern", &TPatternForm::SendPatternClick);

    EditBuffersPopupMenu1 = new QMenu(this);
    EditBuffersPopupMenu1->setObjectName(QStringLiteral("EditBuffersPopupMenu1"));
    ClearAllBuffers =
        item(EditBuffersPopupMenu1, "ClearAllBuffers", "Clear All Buffers", &TPatternForm::ClearAllBuffersClick);
    DeletePreset1 = item(EditBuffersPopupMenu1, "DeletePreset1", "Delete Pattern", &TPatternForm::DeletePreset1Click);
    SetPopups(PatternFormPopup, EditBuffersPopupMenu1);
}

void TPatternForm::RegisterCommands() {
    const std::pair<const char*, std::function<void()>> commands[] = {
        {"SinglePattern2", [this] { InitPatterns(0); }},
        {"SelectedPatterns2", [this] { InitPatterns(1); }},
        {"AllPatterns2", [this] { InitPatterns(2); }},
        {"SinglePattern3", [this] { SinglePattern1Click(); }},
        {"Patterns1", [this] { Patterns1Click(); }},
        {"PatternsSequentially1", [this] { PatternsSequentially1Click(); }},
        {"SinglePattern4", [this] { SinglePattern2Click(); }},
        {"SelectedPatterns3", [this] { SelectedPresets1Click(); }},
        {"AllPatterns3", [this] { Patterns2Click(); }},
        {"SelectedPatternsAsSingeFiles1", [this] { SelectedPresetsAsSingleFiles1Click(); }},
        {"AllPatternsAsSingleFiles1", [this] { AllPatternsAsSingleFiles1Click(); }},
        {"SinglePattern5", [this] { SendPatternClick(); }},
        {"SelectedPatterns4", [this] { SelectedPatterns4Click(); }},
        {"SelectAllPatterns1", [this] { SelectAllPatterns1Click(); }},
        {"DeselectAllPatterns1", [this] { DeselectAllPatterns1Click(); }},
        {"ToggleSelection3", [this] { ToggleSelection1Click(); }},
        {"CopyPattern1", [this] { CopyPattern1Click(); }},
        {"PastePattern1", [this] { PastePattern1Click(); }},
        {"PastePatternwClipboard1", [this] { PasteSpecial1Click(); }},
    };
    for (const auto& [name, handler] : commands) RegisterCommand(commands_, name, handler);
}

// ---- What the list shows ----------------------------------------------------------------------

std::string TPatternForm::ListSlotName(int slot) const { return SlotName(model_, kKind, slot); }
int TPatternForm::ListCurrentSlot() const { return model_.SelectedPattern; }
int TPatternForm::ListBufferCount() const { return EditBufferCount(); }
bool TPatternForm::ListMarked(int slot) const { return SlotMarked(model_, kKind, slot); }
void TPatternForm::ListSetMarked(int slot, bool marked) { MarkSlot(model_, kKind, slot, marked); }

// ---- The current pattern ------------------------------------------------------------------------

void TPatternForm::ShowPattern(int slot) { morvelant::ShowPattern(engine_, slot); }

void TPatternForm::ShowPatternNameGuarded(int slot) {
    UpdatingGuard guard(model_);
    ShowPatternName(slot);
}

// ---- Name fields and the buffer list ----------------------------------------------------------------

void TPatternForm::Edit1Change(int slot) {
    if (model_.Updating) return;
    const StorableText text = TypedNameText(slot);
    const FilteredName typed = FilterSlotName(text.bytes, text.caret);
    SetNameText(slot, typed.name, typed.caret);
    SayNameNotTaken(slot, text.refused, typed.dropped);
    model_.SetPatternName(slot, typed.name);
    notifications_.PatternDataChanged.Publish(slot);
}

void TPatternForm::Edit1Enter(int slot) { ShowPattern(slot); }

void TPatternForm::Edit4MouseDown(int slot, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
    if (slot < 0 || slot >= kSlots) return;
    FocusQuietly(EditList[std::size_t(slot)]);
    ShowPattern(slot);
    if (button == Qt::LeftButton) DragExchange = modifiers.testFlag(Qt::ShiftModifier);
}

void TPatternForm::Edit1DragDrop(int target) {
    const int source = model_.SelectedPattern;
    if (!DeviceModel::ValidPattern(target)) return;
    // An exchange moves nothing into the working set or out of it.
    if (!DragExchange && !WarnUnlessEmpty(RoomForCopy(model_, kKind, source, target, "Copying this pattern"), "Warning !"))
        return;
    DropOnSlot(model_, kKind, source, target, DragExchange);
    if (DragExchange && source != target) notifications_.PatternDataChanged.Publish(source);
    notifications_.PatternDataChanged.Publish(target);
    ShowPattern(target);
}

void TPatternForm::EditBuffersComboBoxClick() {
    if (BufferSlot(model_, kKind, SelectedBuffer) >= 0) ShowPattern(kSlots + SelectedBuffer);
}

void TPatternForm::EditBuffersComboBoxEnter() { EditBuffersComboBoxClick(); }

void TPatternForm::EditBuffersComboBoxDragDrop() {
    const int target = kSlots + (DragExchange ? SelectedBuffer : EditBufferCount());
    if (!WarnUnlessEmpty(RoomForCopy(model_, kKind, model_.SelectedPattern, target, "Copying this pattern"), "Warning !"))
        return;
    ShowBufferDrop(DropOnEditBuffers(model_, kKind, model_.SelectedPattern, SelectedBuffer, DragExchange));
    notifications_.PatternDataChanged.Publish(kSlots + SelectedBuffer);
    ShowPattern(kSlots + SelectedBuffer);
}

void TPatternForm::ClearAllBuffersClick() {
    ClearEditBuffers(model_, kKind);
    SelectedBuffer = 0;
    ShowAllNames();
    notifications_.PatternDataChanged.Publish(kSlots);
    ShowPattern(kSlots);
}

void TPatternForm::DeletePreset1Click() {
    SelectedBuffer = DeleteEditBuffer(model_, kKind, SelectedBuffer);
    ShowAllNames();
    notifications_.PatternDataChanged.Publish(-1);
    ShowPattern(kSlots + SelectedBuffer);
}

// ---- Clipboard and init -----------------------------------------------------------------------------

void TPatternForm::CopyPattern1Click() {
    CopySlotToClipboard(model_, kKind, model_.SelectedPattern);
    PastePattern1->setEnabled(true);
    PasteSpecial1->setEnabled(true);
    commands_.SetEnabled("PastePattern1", true);
    commands_.SetEnabled("PastePatternwClipboard1", true);
}

void TPatternForm::PastePattern1Click() {
    if (!WarnUnlessEmpty(RoomForCopy(model_, kKind, kClipboardSource, model_.SelectedPattern, "Pasting this pattern"),
                         "Warning !"))
        return;
    PasteSlotFromClipboard(model_, kKind, model_.SelectedPattern);
    notifications_.PatternDataChanged.Publish(model_.SelectedPattern);
    ShowPattern(model_.SelectedPattern);
}

void TPatternForm::PasteSpecial1Click() {
    if (!WarnUnlessEmpty(RoomForCopy(model_, kKind, kClipboardSource, model_.SelectedPattern, "Pasting this pattern"),
                         "Warning !"))
        return;
    ExchangeSlotWithClipboard(model_, kKind, model_.SelectedPattern);
    notifications_.PatternDataChanged.Publish(model_.SelectedPattern);
    ShowPattern(model_.SelectedPattern);
}

void TPatternForm::InitPatterns(int scope) {
    ShowPattern(ApplyToScope(model_, kKind, scope, [this](int p) {
        model_.InitPattern(p);
        notifications_.PatternDataChanged.Publish(p);
    }));
}

// ---- Files ----------------------------------------------------------------------------------------------

// The file commands have told every view which slots changed.
void TPatternForm::ShowLoaded(int current) {
    ShowAllNames();
    ShowPattern(current);
}

void TPatternForm::SinglePattern1Click() {
    if (LoadPattern(model_, model_.SelectedPattern)) ShowLoaded(model_.SelectedPattern);
}

void TPatternForm::Patterns1Click() {
    if (LoadPatternFile(model_)) ShowLoaded(model_.SelectedPattern);
}

void TPatternForm::PatternsSequentially1Click() {
    if (LoadPatternFileSequentially(model_, model_.SelectedPattern)) ShowLoaded(kSlots);
}

void TPatternForm::SinglePattern2Click() { SavePatternAs(model_, model_.SelectedPattern); }
void TPatternForm::Patterns2Click() { SaveAllPatternsAs(model_, kSlots); }
void TPatternForm::AllPatternsAsSingleFiles1Click() { SaveAllPatternsToFolder(model_); }
void TPatternForm::SelectedPresets1Click() { SaveSelectedPatterns(model_); }
void TPatternForm::SelectedPresetsAsSingleFiles1Click() { SavePatternsToFolder(model_); }

// ---- Sending ------------------------------------------------------------------------------------------------

void TPatternForm::SendPatternClick() {
    const int p = model_.SelectedPattern;
    if (SendSeriesSlot(p) && model_.Warnings)
        CurrentDialogs().MessageBox(SendReminderText(SlotWord(kKind), p), kSendReminderCaption, MessageButtons::Ok,
                                    MessageIcon::Information);
}

bool TPatternForm::SeriesMayStart() {
    return WarnUnlessEmpty(SendFailureText(DeviceReady(engine_), kKind, 0), kSendWarningCaption);
}

bool TPatternForm::SendSeriesSlot(int slot) {
    return WarnUnlessEmpty(SendFailureText(SendSlotDump(engine_, kKind, slot), kKind, slot), kSendWarningCaption);
}

int TPatternForm::SeriesInterval() const { return SeriesDelay(engine_.Routing.PatternDelay); }

// ---- Window events --------------------------------------------------------------------------------------------

void TPatternForm::FormShow() {
    model_.ShowPatterns = true;
    ShowAllNames();
    ShowPattern(model_.SelectedPattern);
}

void TPatternForm::FormClose(TCloseAction&) { model_.ShowPatterns = false; }

}  // namespace morvelant
