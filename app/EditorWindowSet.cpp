#include "app/EditorWindowSet.h"

#include <QApplication>
#include <QMenu>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <array>
#include <string_view>

#include "app/PickerSupport.h"
#include "app/SessionPlace.h"
#include "engine/DumpSMF.h"
#include "engine/MidiInDeviceUnit.h"
#include "engine/MidiPortSet.h"
#include "faders/AllFaderParameters.h"
#include "faders/InitCtrl.h"
#include "faders/SpecialKeyEdit.h"
#include "midikit/MidiKitSMF.h"
#include "platform/Dialogs.h"
#include "platform/IniFile.h"
#include "platform/SaveRescue.h"
#include "engine/FileCommands.h"
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
#include "shell/WindowBookkeeping.h"

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
    // The key lamp as it is now: made after the start, the window has missed
    // the lamp's last change.
    if (DeviceModel::ValidFader(model.SelectedFader))
        form->KeyLed->SetBright(model.KeyStates[size_t(model.SelectedFader)].LampOn);
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
    auto* form = set.Add(DrumkitForm, new TDrumkitForm(pk.Dispatch, set.Context().Model, set.ProgramPath() + "Drumkits/"),
                         "DrumkitForm");
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
//
// When the set defers hidden windows (the program does, so that its first
// windows come up sooner), a window that the start does not show is made
// right after the first frame instead, or at the first input before that,
// still in this order among the windows left; in what it reads, shows and
// writes it is the same window. `later` says which windows may wait:
// Hidden ones are never shown at the start; a Reopened one waits when the
// configuration says it was closed at the last exit (under the key the
// open-window bookkeeping reopens it by). `needs` names the earlier windows
// that a window links itself into as it is made: those are made with it.
enum class Later { Never, Hidden, Reopened };

struct CreationStep {
    const char* global;
    void (*create)(EditorWindowSet& set);
    Later later = Later::Never;
    std::array<const char*, 2> needs{};
};

constexpr CreationStep kCreationTable[] = {
    {"MainMenuForm", CreateMainMenuForm},
    {"MainForm", CreateMainForm},
    {"NotesForm", CreateNotesForm, Later::Reopened},
    {"AllFaderP", CreateAllFaderP, Later::Reopened},
    {"MidiDeviceForm", CreateMidiDeviceForm},
    {"MidiPorts", CreateMidiPorts},
    {"MidiSettingsForm", CreateMidiSettingsForm},
    {"MidiKitSMF1", [](EditorWindowSet& set) { set.CreateMidiFileRoute(); }},
    {"SpecialKeyForm", CreateSpecialKeyForm, Later::Reopened},
    {"PresetForm", CreatePresetForm},
    {"DevicesInfoForm1", CreateDevicesInfoForm1},
    {"PrintOutputForm", CreatePrintOutputForm, Later::Reopened},
    {"AboutForm", CreateAboutForm, Later::Hidden},
    {"InstructionsForm", CreateInstructionsForm, Later::Hidden},
    {"MidiMonGridForm", CreateMidiMonGridForm},
    {"SequencerForm", CreateSequencerForm},
    {"MidiDataForm", CreateMidiDataForm},
    {"PatternForm", CreatePatternForm},
    {"TrackParameterForm", CreateTrackParameterForm, Later::Reopened},
    {"NoteGateTimes", CreateNoteGateTimes, Later::Hidden},
    {"PatternParameterForm", CreatePatternParameterForm, Later::Reopened},
    {"Piano1Form", CreatePiano1Form, Later::Hidden},
    {"Controller1Form", CreateController1Form, Later::Hidden},
    {"Values1Form", CreateValues1Form, Later::Hidden},
    {"EventEditForm", CreateEventEditForm, Later::Reopened, {"TrackParameterForm"}},
    {"DrumkitForm", CreateDrumkitForm, Later::Hidden, {"EventEditForm", "PatternParameterForm"}},
    {"DescriptionForm", CreateDescriptionForm, Later::Hidden},
    {"ChannelForm", CreateChannelForm, Later::Hidden},
    {"MorvelantExplorerForm", CreateMorvelantExplorerForm},
    {"InitCtrlForm", CreateInitCtrlForm, Later::Hidden},
    {"TrackEditForm", CreateTrackEditForm, Later::Hidden},
    {"LongPianoForm", CreateLongPianoForm, Later::Hidden},
    {"PatternNotesForm", CreatePatternNotesForm, Later::Reopened},
    {"SendingForm", CreateSendingForm},
    {"vellixaImportForm", CreateVellixaImportForm},
};
constexpr size_t kSteps = std::size(kCreationTable);

size_t StepOf(std::string_view global) {
    for (size_t i = 0; i < kSteps; ++i)
        if (global == kCreationTable[i].global) return i;
    return kSteps;
}

// Input that may reach a window that is not made yet (a menu, a shortcut,
// a click): the windows left are made before it is delivered.
class FirstInputWatch : public QObject {
public:
    explicit FirstInputWatch(std::function<void()> made) : made_(std::move(made)) {}
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
            case QEvent::NonClientAreaMouseButtonPress:
            case QEvent::KeyPress:
            case QEvent::ShortcutOverride:
            case QEvent::Shortcut:
            case QEvent::Wheel:
            case QEvent::ContextMenu:
            case QEvent::Close: made_(); break;
            default: break;
        }
        return false;
    }

private:
    std::function<void()> made_;
};

// The first frame of a window: the next step of the start is taken once it
// is painted (once per window watched). Without a frame (a window system
// that never paints it) it comes all the same, a little later.
class FirstFrameWatch : public QObject {
public:
    explicit FirstFrameWatch(std::function<void()> painted) : painted_(std::move(painted)) {}
    void Watch(QWidget* window) {
        if (window_) window_->removeEventFilter(this);
        window_ = window;
        const int watch = ++watch_;
        if (window) window->installEventFilter(this);
        QTimer::singleShot(100, this, [this, watch] {
            if (watch == watch_) Painted();
        });
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Paint) QTimer::singleShot(0, this, [this] { Painted(); });
        return false;
    }

    // Watches no more: what is queued comes to nothing.
    void Stop() {
        stopped_ = true;
        if (window_) window_->removeEventFilter(this);
        window_ = nullptr;
    }

private:
    void Painted() {
        if (stopped_) return;
        if (window_) window_->removeEventFilter(this);
        window_ = nullptr;
        ++watch_;
        painted_();
    }
    std::function<void()> painted_;
    QPointer<QWidget> window_;
    int watch_ = 0;
    bool stopped_ = false;
};

}  // namespace

EditorWindowSet::EditorWindowSet() = default;

void EditorWindowSet::Place(Entry entry, const char* global) {
    // Kept in creation order, whenever each was made: they are destroyed
    // (and write their configuration) in the reverse of that order.
    entry.step = global != nullptr ? StepOf(global) : creating_;
    const auto at = std::upper_bound(entries_.begin(), entries_.end(), entry.step,
                                     [](size_t step, const Entry& e) { return step < e.step; });
    entries_.insert(at, std::move(entry));
}

EditorWindowSet::~EditorWindowSet() { DestroyAll(); }

void EditorWindowSet::Create(const std::string& programDirectory, std::vector<std::string> arguments) {
    Prepare(programDirectory, std::move(arguments));
    MakeShownWindows();
}

void EditorWindowSet::StartAsTheProgram(const std::string& programDirectory, std::vector<std::string> arguments) {
    deferHidden_ = true;
    Prepare(programDirectory, std::move(arguments));
    CreateStep(StepOf("MainMenuForm"));
    if (MainMenuForm == nullptr) return;
    menuAlone_ = true;
    MainMenuForm->Show();
    firstInput_ = std::make_unique<FirstInputWatch>([this] { CreateRest(); });
    qApp->installEventFilter(firstInput_.get());
    WatchFirstFrame(MainMenuForm);
}

void EditorWindowSet::WatchFirstFrame(QWidget* window) {
    if (!firstFrame_)
        firstFrame_ = std::make_unique<FirstFrameWatch>([this] {
            if (menuAlone_)
                FinishStart();
            else
                CreateRest();
        });
    static_cast<FirstFrameWatch*>(firstFrame_.get())->Watch(window);
}

// The windows the start shows, made after the menu window's first frame.
void EditorWindowSet::FinishStart() {
    if (!menuAlone_) return;
    menuAlone_ = false;
    try {
        MakeShownWindows();
        if (ShownWindowsMade) ShownWindowsMade();
        if (MainMenuForm) MainMenuForm->DeviceWindowMade();
    } catch (const std::exception& e) {
        AbandonStart();
        if (!StartFailed) throw;
        StartFailed(e.what());
    } catch (...) {
        AbandonStart();
        if (!StartFailed) throw;
        StartFailed(nullptr);
    }
    if (RestPending() && !makingRest_) WatchFirstFrame(MainForm);
}

void EditorWindowSet::Prepare(const std::string& programDirectory, std::vector<std::string> arguments) {
    programPath_ = programDirectory;
    if (!programPath_.empty() && programPath_.back() != '/') programPath_ += '/';
    arguments_ = std::move(arguments);
    // Every window reads and writes this one document; it is written back
    // once, at the end.
    config_ = std::make_unique<IniFileHold>(programPath_ + "Morvelant.cfg");
    const std::string workingSetFolder = ChooseSessionPlace(*config_, programPath_);
    context_ = std::make_unique<DeviceContext>(programPath_);
    context_->Model.WorkingSetFolder = workingSetFolder;
    context_->Model.WorkingSetsBeside = WorkingSetsBeside;
    context_->Model.RecordsLastPlace = true;
    pickers_ = std::make_unique<PickerSupport>(*context_);
    ChooseLaterWindows();
}

void EditorWindowSet::MakeShownWindows() {
    made_.resize(kSteps, false);
    for (size_t step = 0; step < kSteps; ++step)
        if (!later_[step] && !made_[step]) CreateStep(step);
    // A pattern dump received from the device brings the track and step
    // editors up, as the pattern list window shows the pattern; the keys
    // stay where the user has them.
    showPatternEditors_ = context_->Notices.ShowPatternEditors.Subscribe([] {
        for (TForm* form : {static_cast<TForm*>(TrackParameterForm), static_cast<TForm*>(PatternParameterForm)})
            if (form) form->ShowAside();
    });
    // The working sets, as the preset and pattern list windows load them.
    if (MainForm) {
        MainForm->ReadWorkingSets(MainMenuForm ? MainMenuForm->CommandLineFile : std::string());
        workingSetsRead_ = true;
    }
}

void EditorWindowSet::ChooseLaterWindows() {
    later_.assign(kSteps, false);
    if (!deferHidden_) return;
    const TIniFile config(programPath_ + "Morvelant.cfg");
    for (size_t i = 0; i < kSteps; ++i) {
        const CreationStep& step = kCreationTable[i];
        if (step.later == Later::Hidden) later_[i] = true;
        if (step.later != Later::Reopened) continue;
        for (const ReopenEntry& entry : ReopenOrder())
            if (std::string_view(entry.formName) == step.global)
                later_[i] = config.ValueExists(entry.section, entry.key) && !config.ReadBool(entry.section, entry.key, true);
    }
    // A window made now brings the windows it links itself into.
    for (size_t i = kSteps; i-- > 0;)
        if (!later_[i])
            for (const char* needed : kCreationTable[i].needs)
                if (needed != nullptr && StepOf(needed) < kSteps) later_[StepOf(needed)] = false;
}

void EditorWindowSet::CreateStep(size_t step) {
    const size_t was = creating_;
    creating_ = step;
    made_.resize(kSteps, false);
    made_[step] = true;
    kCreationTable[step].create(*this);
    creating_ = was;
}

void EditorWindowSet::CreateRest() {
    if (!context_ || makingRest_ || abandoned_) return;
    makingRest_ = true;
    FinishStart();
    // The watches may be what called: they go once this event is done.
    if (firstFrame_) static_cast<FirstFrameWatch*>(firstFrame_.get())->Stop();
    for (std::unique_ptr<QObject>* watch : {&firstInput_, &firstFrame_})
        if (*watch) {
            qApp->removeEventFilter(watch->get());
            watch->release()->deleteLater();
        }
    made_.resize(kSteps, false);
    for (size_t step = 0; step < kSteps; ++step)
        if (!made_[step]) CreateStep(step);
    makingRest_ = false;
}

bool EditorWindowSet::RestPending() const {
    return context_ && std::find(made_.begin(), made_.end(), false) != made_.end();
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
    // A run that ends before its windows were all made (a signal, an end
    // asked for at once) ends as one that made them: what it writes is the same.
    FinishStart();
    // What cannot be written is asked about once everything else is.
    if (context_ && workingSetsRead_ && !abandoned_) {
        SavePresetWorkingSet(context_->Model, &rescues_);
        SavePatternWorkingSet(context_->Model, &rescues_);
    }
}

void EditorWindowSet::DestroyAll() {
    // Every window writes its configuration as it goes: those not made yet
    // are made first, so the file is what it would have been. (Not after a
    // failed start: they would fail again, and nothing is written.)
    if (!abandoned_) CreateRest();
    // The outputs switch their notes off now, while the windows go, rather
    // than at their close, which then finds nothing left to wait for (one
    // that a window still sends to as it goes switches them off again).
    if (MidiPorts) MidiPorts->QuietOutputs();
    showPatternEditors_.Reset();
    for (const QMetaObject::Connection& c : waiting_) QObject::disconnect(c);
    waiting_.clear();
    // The route uses the MIDI input object: it goes first.
    dumpSMF_.reset();
    midiKitSMF_.reset();
    // Every window first, each writing its configuration; the MIDI system
    // (the port set and the input object it serves) last, so that a close
    // that does not return has nothing left to lose.
    const auto isMidi = [](const Entry& e) {
        return e.object.get() == static_cast<QObject*>(MidiPorts) ||
            e.object.get() == static_cast<QObject*>(MidiDeviceForm);
    };
    const std::size_t midiEntries =
        std::size_t(std::stable_partition(entries_.begin(), entries_.end(), isMidi) - entries_.begin());
    const auto destroyDownTo = [this](std::size_t count) {
        for (; entries_.size() > count; entries_.pop_back()) {
            entries_.back().object.reset();
            entries_.back().clearGlobal();
        }
    };
    destroyDownTo(midiEntries);
    // The settings are complete now (the ports' too): written, and what
    // could not be written rescued, before the MIDI system closes, which may
    // never return.
    if (MidiPorts) {
        TIniFile ports(MidiPorts->ConfigFile());
        MidiPorts->Ports.WritePortConfig(ports);
    }
    if (config_ && abandoned_) config_->Forget();
    if (config_ && !abandoned_) SaveConfiguration(*config_, &rescues_);
    rescues_.Rescue();
    if (midiEntries > 0 && MidiClosing) MidiClosing();
    destroyDownTo(0);
    if (midiEntries > 0 && MidiClosed) MidiClosed();
    pickers_.reset();
    context_.reset();
    if (config_) {
        if (abandoned_)
            config_->Forget();
        else
            SaveConfiguration(*config_);
        config_.reset();
    }
}

void EditorWindowSet::AbandonStart() {
    abandoned_ = true;
    menuAlone_ = false;
}

bool EditorWindowSet::FlushConfiguration(std::string* error) {
    if (!config_ || abandoned_) return true;
    if (config_->Flush(error)) return true;
    // The last word of a session that must end now: the settings go to the
    // first place that takes them, without a question.
    std::string why;
    for (const std::string& place :
         {RescuePlaceBeside(config_->SavedTo()), RescuePlaceInDataFolder(config_->SavedTo())}) {
        if (place.empty() || !config_->SaveTo(place, &why)) continue;
        if (error) *error = "saved to \"" + place + "\" instead";
        return true;
    }
    return false;
}

}  // namespace morvelant
