#include "shell/EditorStartup.h"

#include "engine/DumpSMF.h"
#include "engine/MidiInDeviceUnit.h"
#include "midikit/MidiKitSMF.h"
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

// The engine's call-outs that belong to windows other than the virtual
// device window.
struct OtherWindowHooks : EngineHooks {
    void LogEvent(int port, const MidiEvent& event, bool incoming) override {
        if (MidiMonGridForm) MidiMonGridForm->LogEvent(port, event, incoming);
    }
};

EditorWindowSet::EditorWindowSet() : otherHooks_(std::make_unique<OtherWindowHooks>()) {}

EditorWindowSet::~EditorWindowSet() { DestroyAll(); }

void EditorWindowSet::Create(const std::string& programDirectory, std::vector<std::string> arguments) {
    // Each window may use the ones before it. The menu window comes first: it
    // is the main window, and it works out the program directory and the
    // file named on the command line.
    Add(MainMenuForm, new TMainMenuForm(programDirectory, std::move(arguments)));
    const std::string programPath = MainMenuForm->ProgramPath;
    Add(MainForm, new TMainForm(programPath));
    Add(MidiDeviceForm, new TMidiDeviceForm(MainForm->DeviceEngine));
    MidiSettingsSetup setup;
    setup.ConfigFile = MainForm->ConfigFile();
    setup.Inputs = [](int port) { return MidiDeviceForm ? MidiDeviceForm->In(port) : nullptr; };
    setup.Routing = &MainForm->Routing;
    Add(MidiSettingsForm, new TMidiSettingsForm(std::move(setup)));
    // Presets and patterns saved and loaded as MIDI files go through the
    // loaded driver library's file reader and writer.
    midiKitSMF_ = std::make_unique<TMidiKitSMF>();
    midiKitSMF_->setObjectName(QStringLiteral("MidiKitSMF1"));
    midiKitSMF_->MidiKit = MidiSettingsForm->MidiKit.get();
    dumpSMF_ = std::make_unique<DumpSMF>(*MidiDeviceForm, *midiKitSMF_);
    dumpSMF_->Install();
    Add(DevicesInfoForm1, new TDevicesInfoForm1(MainForm->ConfigFile(), &MainForm->Routing));
    // The device information window keeps its open-at-exit flag itself; the
    // reopening at start reads it from the model.
    MainForm->Model.ShowDevicesInfo1 = DevicesInfoForm1->ShowDevicesInfo1;
    DevicesInfoForm1->UncheckMenuItem = [] {
        if (MainMenuForm) MainMenuForm->MainFormWindowsDeviceInfo->setChecked(false);
    };
    Add(AboutForm, new TAboutForm);
    Add(InstructionsForm, new TInstructionsForm(programPath));
    Add(MidiMonGridForm, new TMidiMonGridForm(&MainForm->Model));
    MidiMonGridForm->SetRouting(&MainForm->Routing);
    Add(MidiDataForm, new TMidiDataForm);
    Add(MorvelantExplorerForm, new TMorvelantExplorerForm(&MainForm->Model, programPath));
    MidiMonGridForm->ExplorerStateImage = [](int stateImage) {
        if (MorvelantExplorerForm) MorvelantExplorerForm->SetStateIndex(kMonitorNode, stateImage);
    };
    MainMenuForm->Explorer.ShowEditorWindow = [](QWidget* form, bool exclusive, bool noToggle) {
        auto* editorWindow = qobject_cast<TForm*>(form);
        if (MorvelantExplorerForm)
            MorvelantExplorerForm->ShowEditorWindow(editorWindow, exclusive, noToggle);
        else if (editorWindow)
            editorWindow->Show();
    };
    MainMenuForm->Explorer.SetStayOnTop = [](bool stayOnTop) {
        if (MorvelantExplorerForm) MorvelantExplorerForm->SetStayOnTop(stayOnTop);
    };
    Add(SendingForm, new TSendingForm);
    SendingForm->AddSendItemOwner(MainMenuForm);
    MainForm->ForwardHooks = otherHooks_.get();
    // The working sets, as the preset and pattern list windows load them.
    MainForm->ReadWorkingSets(MainMenuForm->CommandLineFile);
    workingSetsRead_ = true;
}

void EditorWindowSet::WriteWorkingSets() {
    if (MainForm && workingSetsRead_) MainForm->WriteWorkingSets();
}

void EditorWindowSet::DestroyAll() {
    dumpSMF_.reset();
    midiKitSMF_.reset();
    if (MainForm) MainForm->ForwardHooks = nullptr;
    while (!entries_.empty()) {
        entries_.back().object.reset();
        entries_.back().clearGlobal();
        entries_.pop_back();
    }
}

}  // namespace morvelant
