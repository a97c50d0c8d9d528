#include "app/EditorWindowSet.h"

#include "engine/MidiInDeviceUnit.h"
#include "engine/MidiPortSet.h"
#include "patterns/EventEdit.h"
#include "patterns/PatternParameter.h"
#include "patterns/RoutingPlaybackPorts.h"
#include "patterns/Sequencer.h"
#include "patterns/TrackParameter.h"
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
    auto* form = set.Add(MidiSettingsForm, new TMidiSettingsForm(std::move(setup)));
    // The timed pattern send takes its delay from the settings' box.
    if (MainMenuForm) MainMenuForm->PatternDelayEdit = form->Edit2;
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
    // The menu window keeps this item invisible.
    set.Commands().Register("test1", [form] { form->Show(); });
}

void CreateTrackParameterForm(EditorWindowSet& set) {
    DeviceContext& context = set.Context();
    set.Add(TrackParameterForm, new TTrackParameterForm(context.Model, context.Notices));
}

void CreatePatternParameterForm(EditorWindowSet& set) {
    DeviceContext& context = set.Context();
    set.Add(PatternParameterForm, new TPatternParameterForm(context.Model, context.Notices, set.Commands()));
}

void CreateEventEditForm(EditorWindowSet& set) {
    DeviceContext& context = set.Context();
    auto* form =
        set.Add(EventEditForm, new TEventEditForm(context.Model, context.Notices, set.ProgramPath() + "Morvelant.cfg"));
    // The track grid draws the piano roll's track colours in its header row.
    if (TrackParameterForm) {
        TrackParameterForm->SetTrackColors(form->TrackColor);
        form->TrackColorsChanged = [](const std::array<TColor, kTrackCount>& colors) {
            if (TrackParameterForm) TrackParameterForm->SetTrackColors(colors);
        };
    }
}

void CreateMidiDataForm(EditorWindowSet& set) {
    auto* form = set.Add(MidiDataForm, new TMidiDataForm);
    // The monitor's double click lists a row here.
    if (MidiMonGridForm) MidiMonGridForm->DataForm = form;
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
    // NotesForm, AllFaderP
    {"MidiDeviceForm", CreateMidiDeviceForm},
    {"MidiPorts", CreateMidiPorts},
    {"MidiSettingsForm", CreateMidiSettingsForm},
    // SpecialKeyForm, PresetForm
    {"DevicesInfoForm1", CreateDevicesInfoForm1},
    // PrintOutputForm
    {"AboutForm", CreateAboutForm},
    {"InstructionsForm", CreateInstructionsForm},
    {"MidiMonGridForm", CreateMidiMonGridForm},
    {"SequencerForm", CreateSequencerForm},
    {"MidiDataForm", CreateMidiDataForm},
    // PatternForm
    {"TrackParameterForm", CreateTrackParameterForm},
    // NoteGateTimes
    {"PatternParameterForm", CreatePatternParameterForm},
    // Piano1Form, Controller1Form, Values1Form
    {"EventEditForm", CreateEventEditForm},
    // DrumkitForm, DescriptionForm, ChannelForm
    {"MorvelantExplorerForm", CreateMorvelantExplorerForm},
    // InitCtrlForm, TrackEditForm, LongPianoForm, PatternNotesForm
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
    while (!entries_.empty()) {
        entries_.back().object.reset();
        entries_.back().clearGlobal();
        entries_.pop_back();
    }
    context_.reset();
}

}  // namespace morvelant
