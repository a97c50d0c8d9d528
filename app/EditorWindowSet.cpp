#include "app/EditorWindowSet.h"

#include <QMenu>

#include "app/PickerSupport.h"
#include "engine/DumpSMF.h"
#include "engine/MidiInDeviceUnit.h"
#include "engine/MidiPortSet.h"
#include "faders/AllFaderParameters.h"
#include "faders/InitCtrl.h"
#include "faders/SpecialKeyEdit.h"
#include "midikit/MidiKitSMF.h"
#include "platform/Dialogs.h"
#include "platform/IniFile.h"
#include "patterns/ChannelFormUnit.h"
#include "patterns/Controller1.h"
#include "patterns/Drumkit.h"
#include "patterns/EventEdit.h"
#include "patterns/LongPiano.h"
#include "patterns/NoteGateTimesUnit.h"
#include "patterns/PatternFormUnit.h"
#include "patterns/PatternNotesUnit.h"
#include "patterns/PatternParameter.h"
#include "patterns/RoutingPlaybackPorts.h"
#include "patterns/Sequencer.h"
#include "patterns/TrackEdit.h"
#include "patterns/TrackParameter.h"
#include "patterns/Values1.h"
#include "presets/DescriptionForm.h"
#include "presets/NotesUnit.h"
#include "presets/PresetFormUnit.h"
#include "presets/Printout.h"
#include "presets/vellixaImport.h"
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
MidiPortSet* MidiPorts = nullptr;

namespace {

// ---- One function per window: create it, hand it what it uses -----------------------------------
// Each may use the windows created before it.

void CreateMainMenuForm(EditorWindowSet& set) {
    // The main window: closing it ends the run.
    set.Add(MainMenuForm,
            new TMainMenuForm(set.Context().DeviceEngine, set.Commands(), set.ProgramPath(), set.Arguments()));
}

void CreateMainForm(EditorWindowSet& set) {
    auto* form = set.Add(MainForm, new TMainForm(set.Context().DeviceEngine, &set.Commands()));
    // Shown and closed with the menu window.
    if (MainMenuForm) MainMenuForm->DeviceWindow = form;
}

void CreateAllFaderP(EditorWindowSet& set) {
    FaderWindowLinks links;
    links.ShowVirtualDevice = [] {
        if (MainForm) MainForm->Show();
    };
    // The same as the virtual device window's Notes button.
    links.ToggleNotes = [] {
        if (MainForm) MainForm->NotesButtonClick();
    };
    links.SetVirtualDeviceCaption = [](const std::string& caption) {
        if (MainForm) MainForm->SetCaption(caption);
    };
    links.ShowStatusBars = [](int p, int f) {
        if (!MainForm) return;
        MainForm->ShowFaderStatus(p, f);
        MainForm->ShowKeyOnStatus(p, f);
        MainForm->ShowKeyOffStatus(p, f);
    };
    // Its lists' popups open the pickers, which are made later.
    TAllFaderP* form = set.Add(
        AllFaderP, new TAllFaderP(set.Context().DeviceEngine, set.Commands(), links, &set.Pickers().FaderPopups));
    if (MainForm) MainForm->KeyPopupMenu = form->KeyPopupMenu;
    if (MainForm) MainForm->FollowFaderEdits(form);
    const DeviceModel& model = set.Context().Model;
    form->ShowParameters(model.SelectedFader, model.SelectedPreset);
}

void CreateSpecialKeyForm(EditorWindowSet& set) {
    DeviceContext& context = set.Context();
    TSpecialKeyForm* form =
        set.Add(SpecialKeyForm, new TSpecialKeyForm(context.Model, context.Notices, set.Commands()));
    form->ShowSpecialKeys(context.Model.SelectedPreset);
}

void CreateMidiDeviceForm(EditorWindowSet& set) {
    set.Add(MidiDeviceForm, new TMidiDeviceForm(set.Context().DeviceEngine));
}

// The engine's MIDI ports: built from the port settings, open for the whole
// run whatever the settings window does, closed after it.
void CreateMidiPorts(EditorWindowSet& set) {
    MidiPortSetup setup;
    setup.ConfigFile = set.ProgramPath() + "Morvelant.cfg";
    TMidiDeviceForm* inputs = MidiDeviceForm;  // created before, destroyed after the set
    setup.Inputs = [inputs](int port) { return inputs ? inputs->In(port) : nullptr; };
    setup.Routing = &set.Context().Routing;
    set.Add(MidiPorts, new MidiPortSet(std::move(setup)));
}

void CreateMidiSettingsForm(EditorWindowSet& set) {
    MidiSettingsSetup setup;
    setup.ConfigFile = set.ProgramPath() + "Morvelant.cfg";
    setup.Routing = &set.Context().Routing;
    setup.PortSet = MidiPorts;
    set.Add(MidiSettingsForm, new TMidiSettingsForm(std::move(setup)));
}

void CreateNotesForm(EditorWindowSet& set) {
    DeviceContext& c = set.Context();
    set.Add(NotesForm, new TNotesForm(c.Model, c.Notices, set.ProgramPath()));
}

void CreatePresetForm(EditorWindowSet& set) {
    DeviceContext& c = set.Context();
    auto* form =
        set.Add(PresetForm, new TPresetForm(c.Model, c.Notices, c.DeviceEngine, set.Commands(), set.ProgramPath()));
    // A double click on a name brings the fader parameter window forward.
    form->ShowFaderParametersWindow = [] {
        if (auto* faders = qobject_cast<TForm*>(TMainMenuForm::FindForm(QStringLiteral("AllFaderP")))) faders->Show();
    };
}

void CreatePatternForm(EditorWindowSet& set) {
    DeviceContext& c = set.Context();
    set.Add(PatternForm, new TPatternForm(c.Model, c.Notices, c.DeviceEngine, set.Commands(), set.ProgramPath()));
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

void CreatePrintOutputForm(EditorWindowSet& set) {
    auto* form =
        set.Add(PrintOutputForm, new TPrintOutputForm(set.Context().Model, set.ProgramPath() + "Morvelant.cfg"));
    // The menu window's own items of the same captions run these.
    set.Commands().Register("DisplayAllFaderParameters1", [form] { form->DisplayAllFaderParameters1Click(); });
    set.Commands().Register("PrintAllFaderParameters1", [form] { form->PrintAllFaderParametersClick(); });
}

void CreateAboutForm(EditorWindowSet& set) { set.Add(AboutForm, new TAboutForm); }

void CreateInstructionsForm(EditorWindowSet& set) {
    set.Add(InstructionsForm, new TInstructionsForm(set.ProgramPath()));
}

void CreateMidiMonGridForm(EditorWindowSet& set) {
    auto* form =
        set.Add(MidiMonGridForm, new TMidiMonGridForm(&set.Context().Model, &set.Context().Notices, &set.Commands()));
    form->SetRouting(&set.Context().Routing);
}

void CreateSequencerForm(EditorWindowSet& set) {
    DeviceContext& context = set.Context();
    // The clock and the outputs are the engine's port set, created before
    // this window and destroyed after it.
    auto ports = std::make_unique<RoutingPlaybackPorts>(context.Routing,
                                                        [] { return MidiPorts ? MidiPorts->MidiKitSync : nullptr; });
    auto* form = set.Add(SequencerForm, new TSequencerForm(context.Model, context.Notices, std::move(ports)));
    if (MidiPorts) {
        MidiPorts->SetSequencerLink(form);
        form->Unlink = [] {
            if (MidiPorts) MidiPorts->SetSequencerLink(nullptr);
        };
    }
}

void CreateTrackParameterForm(EditorWindowSet& set) {
    DeviceContext& context = set.Context();
    // Its right-clicks open the pickers, which are made after it.
    set.Add(TrackParameterForm, new TTrackParameterForm(context.Model, context.Notices, &set.Pickers().Windows));
}

void CreatePatternParameterForm(EditorWindowSet& set) {
    DeviceContext& context = set.Context();
    set.Add(PatternParameterForm,
            new TPatternParameterForm(context.Model, context.Notices, set.Commands(), &set.Pickers().Windows));
}

void CreateEventEditForm(EditorWindowSet& set) {
    DeviceContext& context = set.Context();
    auto* form =
        set.Add(EventEditForm, new TEventEditForm(context.Model, context.Notices, set.ProgramPath() + "Morvelant.cfg"));
    // Its panel's right presses open the track pickers as the event editor's.
    PickerWindows* pickers = &set.Pickers().Windows;
    form->OpenTrackPicker = [pickers](int mode, int track, QPoint at) {
        const TrackPickerKind kind = mode >= kNoteTimeMode ? TrackPickerKind::TimeCodes : TrackPickerKind::Channels;
        return pickers->PickTrack(kind, mode, track, 1, PickerPlace{at.x(), at.y()});
    };
    // The track grid draws the piano roll's track colours in its header row.
    if (TrackParameterForm) {
        TrackParameterForm->SetTrackColors(form->TrackColor);
        form->TrackColorsChanged = [](const std::array<TColor, kTrackCount>& colors) {
            if (TrackParameterForm) TrackParameterForm->SetTrackColors(colors);
            if (TrackEditForm) TrackEditForm->ShowTrackColors();
        };
    }
}

void CreateMidiDataForm(EditorWindowSet& set) {
    auto* form = set.Add(MidiDataForm, new TMidiDataForm);
    // The monitor's double click lists a row here.
    if (MidiMonGridForm) MidiMonGridForm->DataForm = form;
}

void CreateDescriptionForm(EditorWindowSet& set) {
    auto* form = set.Add(DescriptionForm, new TDescriptionForm(set.Context().Model));
    DeviceModel& model = set.Context().Model;
    set.Commands().Register("DisplayFaderKeyDescription1",
                            [form, &model] { form->DisplayDescription(model.SelectedPreset); });
    set.Commands().Register("PrintFaderKeyDescription1",
                            [form, &model] { form->PrintDescription(model.SelectedPreset); });
}

void CreateMorvelantExplorerForm(EditorWindowSet& set) {
    auto* explorer = set.Add(MorvelantExplorerForm,
                             new TMorvelantExplorerForm(&set.Context().Model, set.ProgramPath(), &set.Commands()));
    if (MidiMonGridForm)
        MidiMonGridForm->ExplorerStateImage = [explorer](int stateImage) {
            explorer->SetStateIndex(kMonitorNode, stateImage);
        };
}

void CreateSendingForm(EditorWindowSet& set) {
    auto* form = set.Add(SendingForm, new TSendingForm);
    if (MainMenuForm) {
        form->AddSendItemOwner(MainMenuForm);
        MainMenuForm->Sending = form;
    }
    // The list windows' series take their delays from the MIDI settings.
    if (MidiSettingsForm) {
        if (PresetForm) PresetForm->DelayEdit = MidiSettingsForm->Edit1;
        if (PatternForm) PatternForm->DelayEdit = MidiSettingsForm->Edit2;
    }
    // The list windows' series show their progress in it, and its Cancel
    // stops them; the preset list's "Send Preset" item is greyed meanwhile.
    for (TSlotListForm* list : std::initializer_list<TSlotListForm*>{PresetForm, PatternForm})
        if (list) list->SetSendProgress(form);
    if (PresetForm) form->AddSendItemOwner(PresetForm);
}

// The knob-preset import dialog, created last: it converts the knob presets
// that the engine receives or finds in MIDI files.
void CreateVellixaImportForm(EditorWindowSet& set) {
    auto* form = set.Add(vellixaImportForm, new TvellixaImportForm(set.ProgramPath() + "Morvelant.cfg"));
    form->ConnectImports(set.Context().DeviceEngine);
}

// ---- The pickers and the windows that only they open ----------------------

void CreateNoteGateTimes(EditorWindowSet& set) {
    PickerSupport& pk = set.Pickers();
    pk.Windows.Forms().timeCodes = set.Add(NoteGateTimes, new TNoteGateTimes(set.Context().Model, pk.Hooks));
}

void CreatePiano1Form(EditorWindowSet& set) { set.Add(Piano1Form, new TPiano1Form); }

void CreateController1Form(EditorWindowSet& set) {
    PickerSupport& pk = set.Pickers();
    pk.Windows.Forms().controllers = set.Add(Controller1Form, new TController1Form(pk.Dispatch, set.Context().Model));
}

void CreateValues1Form(EditorWindowSet& set) {
    PickerSupport& pk = set.Pickers();
    pk.Windows.Forms().values = set.Add(Values1Form, new TValues1Form(pk.Dispatch, set.Context().Model));
}

// The kit picker and, with it, the kit library: made when a note menu that
// offers the kits is first opened (reading a large library costs more than
// the whole rest of the start). Its kits then join every note menu there is.
void MakeDrumkitForm(EditorWindowSet& set) {
    if (DrumkitForm != nullptr) return;
    PickerSupport& pk = set.Pickers();
    auto* form =
        set.Add(DrumkitForm, new TDrumkitForm(pk.Dispatch, set.Context().Model, set.ProgramPath() + "Drumkits/"));
    pk.Windows.Forms().drumkit = form;
    FaderPopupMenus* popups = &pk.FaderPopups;
    form->BuildKitMenu(popups->NotesPopupMenu, [popups] { return popups->PopupTag(); });
    // A kit chosen from the piano roll's key column names its rows.
    if (EventEditForm) {
        form->BuildKitMenu(EventEditForm->PianoPopupMenu, [] { return kKeyColumnCode; });
        form->KeyColumnNames = [](const InstrumentNames& names) {
            if (EventEditForm) EventEditForm->SetKeyColumnNames({names.begin(), names.end()});
        };
    }
    if (PatternParameterForm)
        form->BuildKitMenu(PatternParameterForm->StepNotesPopupMenu,
                           [] { return PatternParameterForm ? PatternParameterForm->PopupLabelTag : -1; });
}

void CreateDrumkitForm(EditorWindowSet& set) {
    set.WhenFirstShown({set.Pickers().FaderPopups.NotesPopupMenu, EventEditForm ? EventEditForm->PianoPopupMenu : nullptr,
                        PatternParameterForm ? PatternParameterForm->StepNotesPopupMenu : nullptr},
                       [&set] { MakeDrumkitForm(set); });
}

void CreateChannelForm(EditorWindowSet& set) {
    PickerSupport& pk = set.Pickers();
    pk.Windows.Forms().channels = set.Add(ChannelForm, new TChannelForm(set.Context().Model, pk.Hooks));
}

void CreateInitCtrlForm(EditorWindowSet& set) {
    set.Add(InitCtrlForm, new TInitCtrlForm(set.Context().Model, &set.Pickers().Windows));
}

void CreateTrackEditForm(EditorWindowSet& set) {
    PickerSupport& pk = set.Pickers();
    auto* random = &pk.Random;
    pk.Windows.Forms().trackTools =
        set.Add(TrackEditForm,
                new TTrackEditForm(set.Context().Model, &set.Context().Notices, pk.Dispatch, &pk.Windows, pk.TrackOps,
                                   [random] { return uint32_t((*random)()); }));
}

void CreateLongPianoForm(EditorWindowSet& set) {
    PickerSupport& pk = set.Pickers();
    pk.Windows.Forms().piano = set.Add(LongPianoForm, new TLongPianoForm(pk.Dispatch, set.Context().Model));
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
    {"AllFaderP", CreateAllFaderP},
    {"MidiDeviceForm", CreateMidiDeviceForm},
    {"MidiPorts", CreateMidiPorts},
    {"MidiSettingsForm", CreateMidiSettingsForm},
    {"MidiKitSMF1", [](EditorWindowSet& set) { set.CreateMidiFileRoute(); }},
    {"SpecialKeyForm", CreateSpecialKeyForm},
    {"PresetForm", CreatePresetForm},
    {"DevicesInfoForm1", CreateDevicesInfoForm1},
    {"PrintOutputForm", CreatePrintOutputForm},
    {"AboutForm", CreateAboutForm},
    {"InstructionsForm", CreateInstructionsForm},
    {"MidiMonGridForm", CreateMidiMonGridForm},
    {"SequencerForm", CreateSequencerForm},
    {"MidiDataForm", CreateMidiDataForm},
    {"PatternForm", CreatePatternForm},
    {"TrackParameterForm", CreateTrackParameterForm},
    {"NoteGateTimes", CreateNoteGateTimes},
    {"PatternParameterForm", CreatePatternParameterForm},
    {"Piano1Form", CreatePiano1Form},
    {"Controller1Form", CreateController1Form},
    {"Values1Form", CreateValues1Form},
    {"EventEditForm", CreateEventEditForm},
    {"DrumkitForm", CreateDrumkitForm},
    {"DescriptionForm", CreateDescriptionForm},
    {"ChannelForm", CreateChannelForm},
    {"MorvelantExplorerForm", CreateMorvelantExplorerForm},
    {"InitCtrlForm", CreateInitCtrlForm},
    {"TrackEditForm", CreateTrackEditForm},
    {"LongPianoForm", CreateLongPianoForm},
    {"PatternNotesForm", CreatePatternNotesForm},
    {"SendingForm", CreateSendingForm},
    {"vellixaImportForm", CreateVellixaImportForm},
};

}  // namespace

EditorWindowSet::EditorWindowSet() = default;

EditorWindowSet::~EditorWindowSet() { DestroyAll(); }

void EditorWindowSet::Create(const std::string& programDirectory, std::vector<std::string> arguments) {
    programPath_ = programDirectory;
    if (!programPath_.empty() && programPath_.back() != '/') programPath_ += '/';
    arguments_ = std::move(arguments);
    // Every window reads and writes this one document; it is written back
    // once, at the end.
    config_ = std::make_unique<IniFileHold>(programPath_ + "Morvelant.cfg");
    if (!config_->Readable())
        CurrentDialogs().MessageBox("The configuration could not be read: " + config_->ReadError() +
                                        ".\nThe editor starts with its default settings and leaves the file as it is.",
                                    "Warning !", MessageButtons::Ok, MessageIcon::Warning);
    context_ = std::make_unique<DeviceContext>(programPath_);
    pickers_ = std::make_unique<PickerSupport>(*context_);
    for (const CreationStep& step : kCreationTable) step.create(*this);
    // A pattern dump received from the device brings the track and step
    // editors forward, as the pattern list window shows the pattern.
    showPatternEditors_ = context_->Notices.ShowPatternEditors.Subscribe([] {
        for (TForm* form : {static_cast<TForm*>(TrackParameterForm), static_cast<TForm*>(PatternParameterForm)})
            if (form) form->Show();
    });
    // The working sets, as the preset and pattern list windows load them.
    if (MainForm) {
        MainForm->ReadWorkingSets(MainMenuForm ? MainMenuForm->CommandLineFile : std::string());
        workingSetsRead_ = true;
    }
}

void EditorWindowSet::CreateMidiFileRoute() {
    if (MidiDeviceForm == nullptr || MidiPorts == nullptr) return;
    midiKitSMF_ = std::make_unique<TMidiKitSMF>();
    midiKitSMF_->setObjectName(QStringLiteral("MidiKitSMF1"));
    midiKitSMF_->MidiKit = MidiPorts->MidiKit.get();
    dumpSMF_ = std::make_unique<DumpSMF>(*MidiDeviceForm, *midiKitSMF_);
    dumpSMF_->Install();
}

void EditorWindowSet::WhenFirstShown(const std::vector<QMenu*>& menus, std::function<void()> make) {
    // The first of the menus to open serves them all.
    auto group = std::make_shared<std::vector<QMetaObject::Connection>>();
    auto once = [group, make = std::move(make)] {
        for (const QMetaObject::Connection& c : *group) QObject::disconnect(c);
        make();
    };
    for (QMenu* menu : menus)
        if (menu) group->push_back(QObject::connect(menu, &QMenu::aboutToShow, once));
    waiting_.insert(waiting_.end(), group->begin(), group->end());
}

void EditorWindowSet::WriteWorkingSets() {
    if (MainForm && workingSetsRead_) MainForm->WriteWorkingSets();
}

void EditorWindowSet::DestroyAll() {
    showPatternEditors_.Reset();
    for (const QMetaObject::Connection& c : waiting_) QObject::disconnect(c);
    waiting_.clear();
    // The route uses the MIDI input object: it goes first.
    dumpSMF_.reset();
    midiKitSMF_.reset();
    while (!entries_.empty()) {
        entries_.back().object.reset();
        entries_.back().clearGlobal();
        entries_.pop_back();
    }
    pickers_.reset();
    context_.reset();
    if (config_) {
        std::string error;
        if (!config_->Flush(&error))
            CurrentDialogs().MessageBox("The configuration could not be saved: " + error + ".", "Error",
                                        MessageButtons::Ok, MessageIcon::Error);
        config_.reset();
    }
}

}  // namespace morvelant
