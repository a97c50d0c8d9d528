#include "app/EditorWindowSet.h"

#include "engine/DumpSMF.h"
#include "engine/MidiInDeviceUnit.h"
#include "midikit/MidiKitSMF.h"
#include "patterns/PatternFormUnit.h"
#include "patterns/PatternNotesUnit.h"
#include "presets/NotesUnit.h"
#include "presets/PresetFormUnit.h"
#include "shell/About.h"
#include "shell/DevicesInfoForm.h"
#include "shell/Instructions.h"
#include "shell/Main.h"
#include "shell/MainMenu.h"
#include "shell/MidiData.h"
#include "shell/MidiMonGrid.h"
#include "shell/MidiSettings.h"
#include "shell/MorvelantExplorer.h"
#include "shell/SendingUnit.h"

namespace morvelant {

TMidiDeviceForm* MidiDeviceForm = nullptr;

namespace {

// ---- One function per window: create it, hand it what it uses -----------------------------------
// Each may use the windows created before it.

void CreateMainMenuForm(EditorWindowSet& set) {
    // The main window: closing it ends the run.
    set.Add(MainMenuForm,
            new TMainMenuForm(set.Context().DeviceEngine, set.Commands(), set.ProgramPath(), set.Arguments()));
}

void CreateMainForm(EditorWindowSet& set) {
    set.Add(MainForm, new TMainForm(set.Context().DeviceEngine, &set.Commands()));
}

void CreateMidiDeviceForm(EditorWindowSet& set) {
    set.Add(MidiDeviceForm, new TMidiDeviceForm(set.Context().DeviceEngine));
}

void CreateMidiSettingsForm(EditorWindowSet& set) {
    MidiSettingsSetup setup;
    setup.ConfigFile = set.ProgramPath() + "Morvelant.cfg";
    TMidiDeviceForm* inputs = MidiDeviceForm;  // created before, destroyed after this window
    setup.Inputs = [inputs](int port) { return inputs ? inputs->In(port) : nullptr; };
    setup.Routing = &set.Context().Routing;
    set.Add(MidiSettingsForm, new TMidiSettingsForm(std::move(setup)));
}

void CreateNotesForm(EditorWindowSet& set) {
    DeviceContext& c = set.Context();
    auto* form = set.Add(NotesForm, new TNotesForm(c.Model, c.Notices, set.ProgramPath()));
    // The virtual device window's notes button opens and closes it.
    if (MainForm) {
        MainForm->ShowNotesWindow = [form] { form->Show(); };
        MainForm->CloseNotesWindow = [form] { form->Close(); };
    }
}

void CreatePresetForm(EditorWindowSet& set) {
    DeviceContext& c = set.Context();
    auto* form =
        set.Add(PresetForm, new TPresetForm(c.Model, c.Notices, c.DeviceEngine, set.Commands(), set.ProgramPath()));
    CommandRegistry& commands = set.Commands();
    // A double click on a name brings the fader parameter window forward.
    form->ShowFaderParametersWindow = [] {
        if (auto* faders = qobject_cast<TForm*>(TMainMenuForm::FindForm(QStringLiteral("AllFaderP")))) faders->Show();
    };
    if (MainMenuForm == nullptr) return;
    // The menu window's preset items reach the commands this window registered.
    auto run = [&commands](const char* item) { return [&commands, item] { commands.Execute(item); }; };
    PresetFormLink& link = MainMenuForm->PresetLink;
    link.InitPreset1Click = run("MainMenuFactoryInitPreset");
    link.ClearPreset1Click = run("MainMenuNoStatusPreset");
    link.InitPresetwithMidiCtrl1Click = run("MainMenuMidiCtrlPreset");
    link.LoadPresetClick = run("SinglePreset6");
    link.LoadallPresets1Click = run("Presets2");
    link.LoadPresetsSequentially1Click = run("PresetsSequentially2");
    link.SavePresetClick = run("SinglePreset7");
    link.SaveselectedPresets1Click = run("SelectedPresets5");
    link.SaveallPresetsClick = run("AllPresets4");
    link.SaveselectedPresetsasingleFiles1Click = run("SelectedPresetsAsSingleFiles3");
    link.SavePresetsasSingleFiles1Click = run("AllPresetsAsSingleFiles2");
    link.SendPresetClick = run("SinglePreset8");
    link.SelectedPresets2Click = run("SelectedPresets6");
    link.SelectAllPresets1Click = run("SelectAllPresets1");
    link.DeselectAllPresets1Click = run("DeselectAllPresets1");
    link.ToggleSelection1Click = run("ToggleSelection2");
    TMainMenuForm* menu = MainMenuForm;
    link.CopyPreset1Click = [&commands, menu] {
        commands.Execute("CopyPreset1");
        menu->PastePreset1->setEnabled(true);
        menu->PastePresetwClipboard1->setEnabled(true);
    };
    // A copy from the window's own popup enables the menu window's pastes too.
    QObject::connect(form->CopyPreset1, &QAction::triggered, menu, [menu] {
        menu->PastePreset1->setEnabled(true);
        menu->PastePresetwClipboard1->setEnabled(true);
    });
    link.PastePreset1Click = run("PastePreset1");
    link.PasteSpecial1Click = run("PastePresetwClipboard1");
    link.SelectPreset = [form](int slot, bool send) { form->SelectPreset(slot, send); };
}

void CreatePatternForm(EditorWindowSet& set) {
    DeviceContext& c = set.Context();
    auto* form =
        set.Add(PatternForm, new TPatternForm(c.Model, c.Notices, c.DeviceEngine, set.Commands(), set.ProgramPath()));
    if (MainMenuForm == nullptr) return;
    // The menu window's pattern items reach the commands this window registered.
    CommandRegistry& commands = set.Commands();
    auto run = [&commands](const char* item) { return [&commands, item] { commands.Execute(item); }; };
    PatternFormLink& link = MainMenuForm->PatternLink;
    link.SinglePattern1Click = run("SinglePattern3");
    link.Patterns1Click = run("Patterns1");
    link.PatternsSequentially1Click = run("PatternsSequentially1");
    link.SinglePattern2Click = run("SinglePattern4");
    link.SelectedPresets1Click = run("SelectedPatterns3");
    link.Patterns2Click = run("AllPatterns3");
    link.SelectedPresetsAsSingleFiles1Click = run("SelectedPatternsAsSingeFiles1");
    link.AllPatternsAsSingleFiles1Click = run("AllPatternsAsSingleFiles1");
    link.SendPatternClick = run("SinglePattern5");
    link.SelectAllPatterns1Click = run("SelectAllPatterns1");
    link.DeselectAllPatterns1Click = run("DeselectAllPatterns1");
    link.ToggleSelection1Click = run("ToggleSelection3");
    TMainMenuForm* menu = MainMenuForm;
    link.CopyPattern1Click = [&commands, menu] {
        commands.Execute("CopyPattern1");
        menu->PastePattern1->setEnabled(true);
        menu->PastePatternwClipboard1->setEnabled(true);
    };
    QObject::connect(form->CopyPattern1, &QAction::triggered, menu, [menu] {
        menu->PastePattern1->setEnabled(true);
        menu->PastePatternwClipboard1->setEnabled(true);
    });
    link.PastePattern1Click = run("PastePattern1");
    link.PasteSpecial1Click = run("PastePatternwClipboard1");
    link.ShowPattern = [form](int slot) { form->ShowPattern(slot); };
}

void CreatePatternNotesForm(EditorWindowSet& set) {
    DeviceContext& c = set.Context();
    set.Add(PatternNotesForm, new TPatternNotesForm(c.Model, c.Notices, set.ProgramPath()));
}

void CreateDevicesInfoForm1(EditorWindowSet& set) {
    auto* form =
        set.Add(DevicesInfoForm1, new TDevicesInfoForm1(set.ProgramPath() + "Morvelant.cfg", &set.Context().Routing));
    // The window keeps its open-at-exit flag itself; the reopening at start
    // reads it from the model.
    set.Context().Model.ShowDevicesInfo1 = form->ShowDevicesInfo1;
    CommandRegistry& commands = set.Commands();
    form->UncheckMenuItem = [&commands] { commands.SetChecked("MainFormWindowsDeviceInfo", false); };
}

void CreateAboutForm(EditorWindowSet& set) { set.Add(AboutForm, new TAboutForm); }

void CreateInstructionsForm(EditorWindowSet& set) {
    set.Add(InstructionsForm, new TInstructionsForm(set.ProgramPath()));
}

void CreateMidiMonGridForm(EditorWindowSet& set) {
    auto* form = set.Add(MidiMonGridForm, new TMidiMonGridForm(&set.Context().Model, &set.Context().Notices));
    form->SetRouting(&set.Context().Routing);
}

void CreateMidiDataForm(EditorWindowSet& set) { set.Add(MidiDataForm, new TMidiDataForm); }

void CreateMorvelantExplorerForm(EditorWindowSet& set) {
    auto* explorer =
        set.Add(MorvelantExplorerForm, new TMorvelantExplorerForm(&set.Context().Model, set.ProgramPath()));
    if (MidiMonGridForm)
        MidiMonGridForm->ExplorerStateImage = [explorer](int stateImage) {
            explorer->SetStateIndex(kMonitorNode, stateImage);
        };
    if (MainMenuForm) {
        MainMenuForm->Explorer.ShowEditorWindow = [explorer](QWidget* form, bool exclusive, bool noToggle) {
            explorer->ShowEditorWindow(qobject_cast<TForm*>(form), exclusive, noToggle);
        };
        MainMenuForm->Explorer.SetStayOnTop = [explorer](bool stayOnTop) { explorer->SetStayOnTop(stayOnTop); };
    }
}

void CreateSendingForm(EditorWindowSet& set) {
    auto* form = set.Add(SendingForm, new TSendingForm);
    if (MainMenuForm) form->AddSendItemOwner(MainMenuForm);
    // The list windows' series show their progress in it, and its Cancel
    // stops them; the preset list's "Send Preset" item is greyed meanwhile.
    for (TSlotListForm* list : std::initializer_list<TSlotListForm*>{PresetForm, PatternForm})
        if (list) list->SetSendProgress(form);
    if (PresetForm) form->AddSendItemOwner(PresetForm);
}

// The creation order of the program's windows. Windows not listed here are
// not built yet; each joins at its place in this order.
struct CreationStep {
    const char* global;
    void (*create)(EditorWindowSet& set);
};

constexpr CreationStep kCreationTable[] = {
    {"MainMenuForm", CreateMainMenuForm},
    {"MainForm", CreateMainForm},
    {"NotesForm", CreateNotesForm},
    // AllFaderP
    {"MidiDeviceForm", CreateMidiDeviceForm},
    {"MidiSettingsForm", CreateMidiSettingsForm},
    // SpecialKeyForm
    {"PresetForm", CreatePresetForm},
    {"DevicesInfoForm1", CreateDevicesInfoForm1},
    // PrintOutputForm
    {"AboutForm", CreateAboutForm},
    {"InstructionsForm", CreateInstructionsForm},
    {"MidiMonGridForm", CreateMidiMonGridForm},
    // SequencerForm
    {"MidiDataForm", CreateMidiDataForm},
    {"PatternForm", CreatePatternForm},
    // TrackParameterForm, NoteGateTimes, PatternParameterForm,
    // Piano1Form, Controller1Form, Values1Form, EventEditForm, DrumkitForm,
    // DescriptionForm, ChannelForm
    {"MorvelantExplorerForm", CreateMorvelantExplorerForm},
    // InitCtrlForm, TrackEditForm, LongPianoForm
    {"PatternNotesForm", CreatePatternNotesForm},
    {"SendingForm", CreateSendingForm},
    // vellixaImportForm
};

}  // namespace

EditorWindowSet::EditorWindowSet() = default;

EditorWindowSet::~EditorWindowSet() { DestroyAll(); }

void EditorWindowSet::Create(const std::string& programDirectory, std::vector<std::string> arguments) {
    programPath_ = programDirectory;
    if (!programPath_.empty() && programPath_.back() != '/') programPath_ += '/';
    arguments_ = std::move(arguments);
    context_ = std::make_unique<DeviceContext>(programPath_);
    for (const CreationStep& step : kCreationTable) step.create(*this);
    // Presets and patterns saved and loaded as MIDI files go through the
    // loaded driver library's file reader and writer.
    if (MidiDeviceForm && MidiSettingsForm) {
        midiKitSMF_ = std::make_unique<TMidiKitSMF>();
        midiKitSMF_->setObjectName(QStringLiteral("MidiKitSMF1"));
        midiKitSMF_->MidiKit = MidiSettingsForm->MidiKit.get();
        dumpSMF_ = std::make_unique<DumpSMF>(*MidiDeviceForm, *midiKitSMF_);
        dumpSMF_->Install();
    }
    // The working sets, as the preset and pattern list windows load them.
    if (MainForm) {
        MainForm->ReadWorkingSets(MainMenuForm ? MainMenuForm->CommandLineFile : std::string());
        workingSetsRead_ = true;
    }
}

void EditorWindowSet::WriteWorkingSets() {
    if (MainForm && workingSetsRead_) MainForm->WriteWorkingSets();
}

void EditorWindowSet::DestroyAll() {
    dumpSMF_.reset();
    midiKitSMF_.reset();
    while (!entries_.empty()) {
        entries_.back().object.reset();
        entries_.back().clearGlobal();
        entries_.pop_back();
    }
    context_.reset();
}

}  // namespace morvelant
