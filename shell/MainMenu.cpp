#include "shell/MainMenu.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QLineEdit>
#include <QMenuBar>
#include <QUrl>
#include <QVBoxLayout>

#include <filesystem>
#include <set>
#include <utility>

#include "engine/Tool.h"
#include "model/PresetFiles.h"
#include "platform/Dialogs.h"
#include "platform/IniFile.h"
#include "shell/Main.h"
#include "shell/MidiMonGrid.h"
#include "shell/MidiSettings.h"

namespace morvelant {

TMainMenuForm* MainMenuForm = nullptr;

namespace {

constexpr char kSection[] = "Main Menu Form";
constexpr char kHelpMissingCaption[] = "Help";
constexpr char kPatternNotSent[] = "Pattern could not be sent!\nNo PC->Morvelant device selected in Midi Settings";
constexpr char kWarningCaption[] = "Warning !";
constexpr char kReminderCaption[] = "Do not forget !";

HelpOpener& CurrentHelpOpener() {
    static HelpOpener opener;
    return opener;
}

void ShowForm(QWidget* w) {
    if (w == nullptr) return;
    if (auto* form = qobject_cast<TForm*>(w)) {
        form->Show();
        return;
    }
    w->show();
    w->raise();
    w->activateWindow();
}

void SetMenuEnabled(QMenu* menu, bool enabled) {
    if (menu == nullptr) return;
    // Only the item: disabling the menu widget would also disable its
    // submenus' items for good.
    menu->menuAction()->setEnabled(enabled);
}

// Runs the link if it is set, else the fallback.
template <typename Fallback>
void Forward(const std::function<void()>& link, Fallback&& fallback) {
    if (link)
        link();
    else
        fallback();
}

}  // namespace

// ---- Free helpers ---------------------------------------------------------------------

void SetHelpOpener(HelpOpener opener) { CurrentHelpOpener() = std::move(opener); }

void OpenEditorHelp(const std::string& programPath) {
    const std::string file = programPath + kHelpFileName;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        CurrentDialogs().MessageBox("The help file \"" + file + "\" was not found.", kHelpMissingCaption,
                                    MessageButtons::Ok, MessageIcon::Warning);
        return;
    }
    bool opened = false;
    if (const HelpOpener& opener = CurrentHelpOpener())
        opened = opener(file);
    else
        opened = QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromLocal8Bit(file.c_str())));
    if (!opened)
        CurrentDialogs().MessageBox("The help file \"" + file + "\" could not be opened.", kHelpMissingCaption,
                                    MessageButtons::Ok, MessageIcon::Warning);
}

int SendDelayFromText(const std::string& text, bool* valid) {
    int value = 0;
    // A delay of 0 or less would fire the timer without pause: it counts as
    // a text that is no delay at all.
    const bool ok = TIniFile::ParseInteger(text, value) && value > 0;
    if (valid != nullptr) *valid = ok;
    return ok ? value : kDefaultSendDelay;
}

void PasteTrackPart(DeviceModel& model, TrackPart part, int source, int pattern, int track) {
    if (source < 1 || source > kTrackCount || !DeviceModel::ValidPattern(pattern) || track < 0 || track > kTrackCount)
        return;
    if (track == 0) {
        for (int t = 1; t <= kTrackCount; ++t) PasteTrackPart(model, part, source, pattern, t);
        return;
    }
    const Pattern_Parameters& from = model.TrackClipboard;
    Pattern_Parameters& to = model.Patterns[size_t(pattern)];
    const int s = source - 1;
    const int t = track - 1;
    auto steps = [&] {
        to.StepOffBits(2 * t) = from.StepOffBits(2 * s);
        to.StepOffBits(2 * t + 1) = from.StepOffBits(2 * s + 1);
    };
    auto notes = [&] {
        for (int i = 0; i < kStepCount; ++i) to.StepNote(t, i) = from.StepNote(s, i);
    };
    auto velocities = [&] {
        for (int i = 0; i < kStepCount; ++i) to.StepVelocity(t, i) = from.StepVelocity(s, i);
    };
    auto settings = [&] {
        to.TrackEvent(t) = from.TrackEvent(s);
        to.TrackData1(t) = from.TrackData1(s);
        to.TrackData2(t) = from.TrackData2(s);
        to.TrackGateTime(t) = from.TrackGateTime(s);
        to.TrackNoteTime(t) = from.TrackNoteTime(s);
        to.TrackEndStep(t) = from.TrackEndStep(s);
        to.TrackRunMode(t) = from.TrackRunMode(s);
        to.TrackDelay(t) = from.TrackDelay(s);
        const bool muted = (from.MuteMask() >> s) & 1;
        if (muted)
            to.MuteMask() |= (1 << t);
        else
            to.MuteMask() &= ~(1 << t);
    };
    switch (part) {
        case TrackPart::Velocities: velocities(); break;
        case TrackPart::Steps: steps(); break;
        case TrackPart::Notes: notes(); break;
        case TrackPart::NoSettings:
            steps();
            notes();
            velocities();
            break;
        case TrackPart::Settings: settings(); break;
        case TrackPart::All:
            steps();
            notes();
            velocities();
            settings();
            break;
    }
}

// ---- Construction ------------------------------------------------------------------------

TMainMenuForm::TMainMenuForm(Engine& engine, CommandRegistry& commands, std::string programPath,
                             std::vector<std::string> arguments, QWidget* parent)
    : TForm(QStringLiteral("MainMenuForm"), parent),
      ProgramPath(std::move(programPath)),
      engine_(engine),
      commands_(commands) {
    if (!ProgramPath.empty() && ProgramPath.back() != '/') ProgramPath += '/';
    if (!arguments.empty()) CommandLineFile = arguments.front();

    SetCaption("MainMenuForm");
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    QFont f = font();
    f.setPixelSize(11);
    setFont(f);

    MainMenu = new QMenuBar(this);
    MainMenu->setObjectName(QStringLiteral("MainMenu"));
    MainMenu->setNativeMenuBar(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(MainMenu);
    layout->addStretch(1);

    PatternSendTimer = new QTimer(this);
    PatternSendTimer->setObjectName(QStringLiteral("PatternSendTimer"));
    connect(PatternSendTimer, &QTimer::timeout, this, [this] { PatternSendTimerTimer(); });

    BuildMenus();
    ShowMenuPair(MainFormFileMenu, MainFormEditMenu);
    LoadWindowSettings();
}

TMainMenuForm::~TMainMenuForm() {
    PatternSendTimer->stop();
    if (SendingForm != nullptr) {
        SendingForm->RemoveSeries(this);
        SendingForm->RemoveSendItemOwner(this);
    }
    SaveWindowSettings();
    if (MainMenuForm == this) MainMenuForm = nullptr;
}

// ---- Configuration -------------------------------------------------------------------

void TMainMenuForm::LoadWindowSettings() {
    const TIniFile ini(ConfigFile());
    int top = ini.ReadInteger(kSection, "Top", 0);
    if (top < 0) top = 0;
    const int left = ini.ReadInteger(kSection, "Left", 0);
    const int width = ini.ReadInteger(kSection, "Width", 833);
    const int height = ini.ReadInteger(kSection, "Height", 45);
    SetBounds(left, top, width, height);
}

void TMainMenuForm::SaveWindowSettings() {
    TIniFile ini(ConfigFile());
    ini.WriteInteger(kSection, "Top", y());
    ini.WriteInteger(kSection, "Left", x());
    ini.WriteInteger(kSection, "Width", width());
    ini.WriteInteger(kSection, "Height", height());
}

// ---- Building the menus --------------------------------------------------------------------

QMenu* TMainMenuForm::AddMenu(QMenuBar* bar, QMenu* parent, const char* name, const char* caption) {
    QMenu* menu = new QMenu(QString::fromLatin1(caption), parent ? static_cast<QWidget*>(parent) : bar);
    menu->setObjectName(QString::fromLatin1(name));
    if (parent)
        parent->addMenu(menu);
    else
        bar->addMenu(menu);
    connect(menu->menuAction(), &QAction::changed, this, [this] { UpdateShortcuts(); });
    return menu;
}

QAction* TMainMenuForm::AddItem(QMenu* menu, const char* name, const char* caption, const QKeySequence& shortcut,
                                std::function<void()> handler, bool enabled) {
    auto* action = new QAction(QString::fromLatin1(caption), menu);
    action->setObjectName(QString::fromLatin1(name));
    action->setEnabled(enabled);
    menu->addAction(action);
    if (!shortcut.isEmpty()) {
        // Shortcuts work from every window of the program, not only here.
        action->setShortcutContext(Qt::ApplicationShortcut);
        shortcuts_.push_back({action, shortcut});
        connect(action, &QAction::changed, this, [this] { UpdateShortcuts(); });
    }
    if (handler) connect(action, &QAction::triggered, this, [handler = std::move(handler)] { handler(); });
    return action;
}

QAction* TMainMenuForm::AddOption(QMenu* menu, const char* name, const char* caption,
                                  std::function<void(QAction*, bool)> handler) {
    QAction* action = AddItem(menu, name, caption, {}, nullptr);
    action->setCheckable(true);
    action->setChecked(false);
    connect(action, &QAction::triggered, this,
            [action, handler = std::move(handler)](bool checked) { handler(action, checked); });
    return action;
}

QAction* TMainMenuForm::AddWindowItem(QMenu* menu, const char* name, const char* caption, const QKeySequence& shortcut,
                                      const char* formName) {
    QAction* action = AddItem(menu, name, caption, shortcut, nullptr);
    action->setCheckable(true);
    action->setChecked(false);
    action->setData(QString::fromLatin1(formName));
    connect(action, &QAction::triggered, this, [this, action] { ShowWindowOfItem(action); });
    return action;
}

void TMainMenuForm::BuildMenus() {
    auto keys = [](const char* text) { return QKeySequence(QString::fromLatin1(text)); };
    const QKeySequence none;

    // ---- File menu of the virtual device window ----
    MainFormFileMenu = AddMenu(MainMenu, nullptr, "MainFormFileMenu", "&File");
    InitPreset3 = AddMenu(MainMenu, MainFormFileMenu, "InitPreset3", "&Init Preset");
    MainMenuFactoryInitPreset = AddItem(InitPreset3, "MainMenuFactoryInitPreset", "&Factory Init", none,
                                        [this] { MainMenuFactoryInitPresetClick(); });
    MainMenuNoStatusPreset =
        AddItem(InitPreset3, "MainMenuNoStatusPreset", "&No Status", none, [this] { MainMenuNoStatusPresetClick(); });
    MainMenuMidiCtrlPreset = AddItem(InitPreset3, "MainMenuMidiCtrlPreset", "&Midi Controllers", none,
                                     [this] { MainMenuMidiCtrlPresetClick(); });
    PresetSnapshot1 =
        AddItem(MainFormFileMenu, "PresetSnapshot1", "Preset Snapshot", none, [this] { PresetSnapshot1Click(); });
    MainFormFileMenu->addSeparator();
    MainMenuOpenPreset = AddItem(MainFormFileMenu, "MainMenuOpenPreset", "&Open Preset", keys("Ctrl+O"),
                                 [this] { MainMenuOpenPresetClick(); });
    MainFormFileMenu->addSeparator();
    MainMenuSavePreset = AddItem(MainFormFileMenu, "MainMenuSavePreset", "&Save Preset", keys("Ctrl+S"),
                                 [this] { MainMenuSavePresetClick(); });
    MainFormFileMenu->addSeparator();
    MainMenuDisplayAllFaderParameters =
        AddItem(MainFormFileMenu, "MainMenuDisplayAllFaderParameters", "&Display All Fader Parameters",
                keys("Ctrl+Alt+D"), [this] { MainMenuDisplayAllFaderParametersClick(); });
    MainMenuDisplayFaderKeyDescription =
        AddItem(MainFormFileMenu, "MainMenuDisplayFaderKeyDescription", "&Display Fader && Key Description",
                keys("Ctrl+D"), [this] { MainMenuDisplayFaderKeyDescriptionClick(); });
    MainFormFileMenu->addSeparator();
    MainMenuPrintAllFaderParameters =
        AddItem(MainFormFileMenu, "MainMenuPrintAllFaderParameters", "&Print All Fader Parameters", keys("Ctrl+Alt+P"),
                [this] { MainMenuPrintAllFaderParametersClick(); });
    MainMenuPrintFaderKeyDescription =
        AddItem(MainFormFileMenu, "MainMenuPrintFaderKeyDescription", "&Print Fader && Key Description", keys("Ctrl+P"),
                [this] { MainMenuPrintFaderKeyDescriptionClick(); });
    MainFormFileMenu->addSeparator();
    MainMenuSendPreset = AddItem(MainFormFileMenu, "MainMenuSendPreset", "Se&nd Preset", keys("Ctrl+N"),
                                 [this] { MainMenuSendPresetClick(); });
    MainFormFileMenu->addSeparator();
    MainMenuClose = AddItem(MainFormFileMenu, "MainMenuClose", "&Close", none, [this] { MainMenuCloseClick(); });
    MainFormFileMenu->addSeparator();
    MainMenuExit = AddItem(MainFormFileMenu, "MainMenuExit", "E&xit", none, [this] { MainMenuExitClick(); });

    // ---- File menu of the preset list window ----
    PresetFormFileMenu = AddMenu(MainMenu, nullptr, "PresetFormFileMenu", "&File");
    Init7 = AddMenu(MainMenu, PresetFormFileMenu, "Init7", "&Init");
    SinglePreset5 = AddMenu(MainMenu, Init7, "SinglePreset5", "Single Preset");
    FactoryInit1 = AddItem(SinglePreset5, "FactoryInit1", "Factory Init", none, [this] { FactoryInit1Click(); });
    NoStatus1 = AddItem(SinglePreset5, "NoStatus1", "No Status", none, [this] { NoStatus1Click(); });
    MidiControllers1 =
        AddItem(SinglePreset5, "MidiControllers1", "Midi Controllers", none, [this] { MidiControllers1Click(); });
    SelectedPresets4 = AddMenu(MainMenu, Init7, "SelectedPresets4", "Selected Presets");
    FactoryInit2 = AddItem(SelectedPresets4, "FactoryInit2", "Factory Init", none, [this] { FactoryInit2Click(); });
    NoStatus2 = AddItem(SelectedPresets4, "NoStatus2", "No Status", none, [this] { NoStatus2Click(); });
    MidiControllers2 =
        AddItem(SelectedPresets4, "MidiControllers2", "Midi Controllers", none, [this] { MidiControllers2Click(); });
    AllPresets3 = AddMenu(MainMenu, Init7, "AllPresets3", "All Presets");
    FactoryInit3 = AddItem(AllPresets3, "FactoryInit3", "Factory Init", none, [this] { FactoryInit3Click(); });
    NoStatus3 = AddItem(AllPresets3, "NoStatus3", "No Status", none, [this] { NoStatus3Click(); });
    MidiControllers3 =
        AddItem(AllPresets3, "MidiControllers3", "Midi Controllers", none, [this] { MidiControllers3Click(); });
    PresetFormFileMenu->addSeparator();
    Open1 = AddMenu(MainMenu, PresetFormFileMenu, "Open1", "&Open");
    SinglePreset6 = AddItem(Open1, "SinglePreset6", "Single Preset", none, [this] { SinglePreset6Click(); });
    Presets2 = AddItem(Open1, "Presets2", "Presets", none, [this] { Presets2Click(); });
    PresetsSequentially2 =
        AddItem(Open1, "PresetsSequentially2", "Presets Sequentially", none, [this] { PresetsSequentially2Click(); });
    PresetFormFileMenu->addSeparator();
    Save1 = AddMenu(MainMenu, PresetFormFileMenu, "Save1", "&Save");
    SinglePreset7 = AddItem(Save1, "SinglePreset7", "Single Preset", none, [this] { SinglePreset7Click(); });
    SelectedPresets5 =
        AddItem(Save1, "SelectedPresets5", "Selected Presets", none, [this] { SelectedPresets5Click(); });
    AllPresets4 = AddItem(Save1, "AllPresets4", "All Presets", none, [this] { AllPresets4Click(); });
    Save1->addSeparator();
    SelectedPresetsAsSingleFiles3 = AddItem(Save1, "SelectedPresetsAsSingleFiles3", "Selected Presets As Single Files",
                                            none, [this] { SelectedPresetsAsSingleFiles3Click(); });
    AllPresetsAsSingleFiles2 = AddItem(Save1, "AllPresetsAsSingleFiles2", "All Presets As Single Files", none,
                                       [this] { AllPresetsAsSingleFiles2Click(); });
    PresetFormFileMenu->addSeparator();
    Send1 = AddMenu(MainMenu, PresetFormFileMenu, "Send1", "Se&nd");
    SinglePreset8 = AddItem(Send1, "SinglePreset8", "Single Preset", none, [this] { SinglePreset8Click(); });
    SelectedPresets6 =
        AddItem(Send1, "SelectedPresets6", "Selected Presets", none, [this] { SelectedPresets6Click(); });
    PresetFormFileMenu->addSeparator();
    DisplayAllFaderParameters1 =
        AddItem(PresetFormFileMenu, "DisplayAllFaderParameters1", "&Display All Fader Parameters", keys("Ctrl+Alt+D"),
                [this] { MainMenuDisplayAllFaderParametersClick(); });
    DisplayFaderKeyDescription1 =
        AddItem(PresetFormFileMenu, "DisplayFaderKeyDescription1", "&Display Fader && Key Description", keys("Ctrl+D"),
                [this] { MainMenuDisplayFaderKeyDescriptionClick(); });
    PresetFormFileMenu->addSeparator();
    PrintAllFaderParameters1 = AddItem(PresetFormFileMenu, "PrintAllFaderParameters1", "&Print All Fader Parameters",
                                       keys("Ctrl+Alt+P"), [this] { MainMenuPrintAllFaderParametersClick(); });
    PrintFaderKeyDescription1 =
        AddItem(PresetFormFileMenu, "PrintFaderKeyDescription1", "&Print Fader && Key Description", keys("Ctrl+P"),
                [this] { MainMenuPrintFaderKeyDescriptionClick(); });
    PresetFormFileMenu->addSeparator();
    Close2 = AddItem(PresetFormFileMenu, "Close2", "&Close", none, [this] { Close2Click(); });
    PresetFormFileMenu->addSeparator();
    Exit2 = AddItem(PresetFormFileMenu, "Exit2", "E&xit", none, [this] { Exit2Click(); });

    // ---- File menu of the pattern window ----
    PatternFormFileMenu = AddMenu(MainMenu, nullptr, "PatternFormFileMenu", "&File");
    Init15 = AddMenu(MainMenu, PatternFormFileMenu, "Init15", "&Init");
    SinglePattern2 = AddItem(Init15, "SinglePattern2", "Single Pattern", none, [this] { SinglePattern2Click(); });
    SelectedPatterns2 =
        AddItem(Init15, "SelectedPatterns2", "Selected Patterns", none, [this] { SelectedPatterns2Click(); });
    AllPatterns2 = AddItem(Init15, "AllPatterns2", "All Patterns", none, [this] { AllPatterns2Click(); });
    PatternFormFileMenu->addSeparator();
    Open2 = AddMenu(MainMenu, PatternFormFileMenu, "Open2", "&Open");
    SinglePattern3 = AddItem(Open2, "SinglePattern3", "Single Pattern", none, [this] { SinglePattern3Click(); });
    Patterns1 = AddItem(Open2, "Patterns1", "Patterns", none, [this] { Patterns1Click(); });
    PatternsSequentially1 = AddItem(Open2, "PatternsSequentially1", "Patterns Sequentially", none,
                                    [this] { PatternsSequentially1Click(); });
    PatternFormFileMenu->addSeparator();
    Save2 = AddMenu(MainMenu, PatternFormFileMenu, "Save2", "&Save");
    SinglePattern4 = AddItem(Save2, "SinglePattern4", "Single Pattern", none, [this] { SinglePattern4Click(); });
    SelectedPatterns3 =
        AddItem(Save2, "SelectedPatterns3", "Selected Patterns", none, [this] { SelectedPatterns3Click(); });
    AllPatterns3 = AddItem(Save2, "AllPatterns3", "All Patterns", none, [this] { AllPatterns3Click(); });
    Save2->addSeparator();
    SelectedPatternsAsSingeFiles1 = AddItem(Save2, "SelectedPatternsAsSingeFiles1", "Selected Patterns As Singe Files",
                                            none, [this] { SelectedPatternsAsSingeFiles1Click(); });
    AllPatternsAsSingleFiles1 = AddItem(Save2, "AllPatternsAsSingleFiles1", "All Patterns As Single Files", none,
                                        [this] { AllPatternsAsSingleFiles1Click(); });
    PatternFormFileMenu->addSeparator();
    Send2 = AddMenu(MainMenu, PatternFormFileMenu, "Send2", "Se&nd");
    SinglePattern5 = AddItem(Send2, "SinglePattern5", "Single Pattern", none, [this] { SinglePattern5Click(); });
    SelectedPatterns4 =
        AddItem(Send2, "SelectedPatterns4", "Selected Patterns", none, [this] { SelectedPatterns4Click(); });
    PatternFormFileMenu->addSeparator();
    Close3 = AddItem(PatternFormFileMenu, "Close3", "&Close", none, [this] { Close3Click(); });
    PatternFormFileMenu->addSeparator();
    Exit4 = AddItem(PatternFormFileMenu, "Exit4", "E&xit", none, [this] { Exit4Click(); });

    // ---- Edit menu of the virtual device window ----
    // Commands of the fader parameter window: its own operation when it is
    // connected, else the model's operation on the current fader.
    using FaderFallback = std::function<void(DeviceModel&, int p, int f)>;
    auto fader = [this](std::function<void()> AllFaderPLink::*member, FaderFallback fallback) {
        return [this, member, fallback = std::move(fallback)] {
            if (const auto& link = FaderLink.*member) {
                link();
                return;
            }
            if (DeviceModel* m = TheModel()) fallback(*m, m->SelectedPreset, m->SelectedFader);
        };
    };
    // The fallbacks that change the fader end by selecting it again.
    auto reselect = [](void (DeviceModel::*op)(int, int)) {
        return FaderFallback([op](DeviceModel& m, int p, int f) {
            (m.*op)(p, f);
            if (MainForm) MainForm->SelectFader(f);
        });
    };
    auto reselect2 = [](void (DeviceModel::*a)(int, int), void (DeviceModel::*b)(int, int)) {
        return FaderFallback([a, b](DeviceModel& m, int p, int f) {
            (m.*a)(p, f);
            (m.*b)(p, f);
            if (MainForm) MainForm->SelectFader(f);
        });
    };
    // A copy enables the matching paste items here and in the fader
    // parameter window.
    auto copy = [this](void (DeviceModel::*op)(int, int), std::vector<const char*> mine,
                       std::vector<const char*> theirs) {
        return FaderFallback(
            [this, op, mine = std::move(mine), theirs = std::move(theirs)](DeviceModel& m, int p, int f) {
                (m.*op)(p, f);
                for (const char* name : mine)
                    if (auto* a = findChild<QAction*>(QString::fromLatin1(name))) a->setEnabled(true);
                EnableByName("AllFaderP", theirs);
            });
    };

    MainFormEditMenu = AddMenu(MainMenu, nullptr, "MainFormEditMenu", "&Edit");
    CopyFaderKeyParameters2 = AddMenu(MainMenu, MainFormEditMenu, "CopyFaderKeyParameters2", "Fader && Key Parameters");
    MainMenuCopyFaderKey =
        AddItem(CopyFaderKeyParameters2, "MainMenuCopyFaderKey", "Copy", none, [this] { MainMenuCopyFaderKeyClick(); });
    MainMenuPasteFaderKey = AddItem(
        CopyFaderKeyParameters2, "MainMenuPasteFaderKey", "Paste", none, [this] { MainMenuPasteFaderKeyClick(); },
        false);
    MainMenuPastewCFaderKey = AddItem(
        CopyFaderKeyParameters2, "MainMenuPastewCFaderKey", "Paste w/Clipboard", none,
        [this] { MainMenuPastewCFaderKeyClick(); }, false);
    CopyFaderKeyParameters2->addSeparator();
    Init8 = AddMenu(MainMenu, CopyFaderKeyParameters2, "Init8", "Init");
    MainMenuFactoryInitFaderKey = AddItem(Init8, "MainMenuFactoryInitFaderKey", "Factory Init", none,
                                          [this] { MainMenuFactoryInitFaderKeyClick(); });
    MainMenuNoStatusFaderKey =
        AddItem(Init8, "MainMenuNoStatusFaderKey", "No Status", none, [this] { MainMenuNoStatusFaderKeyClick(); });
    MainMenuMidiCtrlFaderKey = AddItem(Init8, "MainMenuMidiCtrlFaderKey", "Midi Controllers", none,
                                       [this] { MainMenuMidiCtrlFaderKeyClick(); });
    MainFormEditMenu->addSeparator();

    FaderParameters2 = AddMenu(MainMenu, MainFormEditMenu, "FaderParameters2", "Fader Parameters");
    MainMenuCopyFader =
        AddItem(FaderParameters2, "MainMenuCopyFader", "Copy", none,
                fader(&AllFaderPLink::CopyFaderParameters2Click,
                      copy(&DeviceModel::CopyFaderEventParameters, {"MainMenuPasteFader", "MainMenuPastewCFader"},
                           {"PasteFaderParameters2", "PasteSpecialFaderParameters2"})));
    MainMenuPasteFader = AddItem(
        FaderParameters2, "MainMenuPasteFader", "Paste", none,
        fader(&AllFaderPLink::PasteFaderParameters2Click, reselect(&DeviceModel::PasteFaderEventParameters)), false);
    MainMenuPastewCFader = AddItem(FaderParameters2, "MainMenuPastewCFader", "Paste w/Clipboard", none,
                                   fader(&AllFaderPLink::PasteSpecialFaderParameters2Click,
                                         reselect(&DeviceModel::ExchangeFaderEventWithClipboard)),
                                   false);
    FaderParameters2->addSeparator();
    Init9 = AddMenu(MainMenu, FaderParameters2, "Init9", "Init");
    MainMenuFactoryInitFader =
        AddItem(Init9, "MainMenuFactoryInitFader", "Factory Init", none,
                fader(&AllFaderPLink::InitFaderParameters2Click, reselect(&DeviceModel::FactoryInitFaderEvent)));
    MainMenuNoStatusFader =
        AddItem(Init9, "MainMenuNoStatusFader", "No Status", none,
                fader(&AllFaderPLink::ClearFaderParameters1Click, reselect(&DeviceModel::ClearFaderEvent)));
    MainMenuMidiCtrlFader = AddItem(Init9, "MainMenuMidiCtrlFader", "Midi Controllers", none,
                                    fader(&AllFaderPLink::InitFaderParameterswithMidiControllers1Click,
                                          reselect(&DeviceModel::MidiCtrlInitFaderEvent)));
    MainFormEditMenu->addSeparator();

    KeyParameters2 = AddMenu(MainMenu, MainFormEditMenu, "KeyParameters2", "Key Parameters");
    MainMenuCopyKey = AddItem(KeyParameters2, "MainMenuCopyKey", "Copy", none,
                              fader(&AllFaderPLink::CopyKeyParameters1Click,
                                    copy(&DeviceModel::CopyKeyParameters, {"MainMenuPasteKey", "MainMenuPastewCKey"},
                                         {"PasteKeyParameters1"})));
    MainMenuPasteKey =
        AddItem(KeyParameters2, "MainMenuPasteKey", "Paste", none,
                fader(&AllFaderPLink::PasteKeyParameters1Click, reselect(&DeviceModel::PasteKeyParameters)), false);
    MainMenuPastewCKey = AddItem(KeyParameters2, "MainMenuPastewCKey", "Paste w/Clipboard", none,
                                 fader(&AllFaderPLink::PasteSpecialKeyParameters1Click,
                                       reselect(&DeviceModel::ExchangeKeyParametersWithClipboard)),
                                 false);
    KeyParameters2->addSeparator();
    Init10 = AddMenu(MainMenu, KeyParameters2, "Init10", "Init");
    MainMenuFactoryInitKey = AddItem(Init10, "MainMenuFactoryInitKey", "Factory Init", none,
                                     fader(&AllFaderPLink::InitKeyParameters1Click,
                                           reselect2(&DeviceModel::FactoryInitKeyOn, &DeviceModel::FactoryInitKeyOff)));
    MainMenuNoStatusKey = AddItem(Init10, "MainMenuNoStatusKey", "No Status", none,
                                  fader(&AllFaderPLink::ClearKeyParameters1Click,
                                        reselect2(&DeviceModel::ClearKeyOn, &DeviceModel::ClearKeyOff)));
    MainMenuMidiCtrlKey = AddItem(Init10, "MainMenuMidiCtrlKey", "Midi Controller", none,
                                  fader(&AllFaderPLink::InitKeyParameterswithMidiControllers1Click,
                                        reselect2(&DeviceModel::MidiCtrlInitKeyOn, &DeviceModel::MidiCtrlInitKeyOff)));

    KeyOnParameters2 = AddMenu(MainMenu, MainFormEditMenu, "KeyOnParameters2", "Key On Parameters");
    MainMenuCopyKeyOn =
        AddItem(KeyOnParameters2, "MainMenuCopyKeyOn", "Copy", none,
                fader(&AllFaderPLink::CopyKeyOnParameters1Click,
                      copy(&DeviceModel::CopyKeyOnParameters, {"MainMenuPasteKeyOn"}, {"PasteKeyOnParameters1"})));
    MainMenuPasteKeyOn =
        AddItem(KeyOnParameters2, "MainMenuPasteKeyOn", "Paste", none,
                fader(&AllFaderPLink::PasteKeyOnParameters1Click, reselect(&DeviceModel::PasteKeyOnParameters)), false);
    KeyOnParameters2->addSeparator();
    Init11 = AddMenu(MainMenu, KeyOnParameters2, "Init11", "Init");
    MainMenuFactoryInitKeyOn =
        AddItem(Init11, "MainMenuFactoryInitKeyOn", "Factory Init", none,
                fader(&AllFaderPLink::InitKeyOnParameters1Click, reselect(&DeviceModel::FactoryInitKeyOn)));
    MainMenuNoStatusKeyOn =
        AddItem(Init11, "MainMenuNoStatusKeyOn", "No Status", none,
                fader(&AllFaderPLink::ClearKeyOnParameters1Click, reselect(&DeviceModel::ClearKeyOn)));
    MainMenuMidiCtrlKeyOn = AddItem(
        Init11, "MainMenuMidiCtrlKeyOn", "Midi Controller", none,
        fader(&AllFaderPLink::InitKeyOnParameterswithMidiController1Click, reselect(&DeviceModel::MidiCtrlInitKeyOn)));

    KeyOffParameters2 = AddMenu(MainMenu, MainFormEditMenu, "KeyOffParameters2", "Key Off Parameters");
    MainMenuCopyKeyOff =
        AddItem(KeyOffParameters2, "MainMenuCopyKeyOff", "Copy", none,
                fader(&AllFaderPLink::CopyKeyOffParameteres1Click,
                      copy(&DeviceModel::CopyKeyOffParameters, {"MainMenuPasteKeyOff"}, {"PasteKeyOffParameters1"})));
    MainMenuPasteKeyOff = AddItem(
        KeyOffParameters2, "MainMenuPasteKeyOff", "Paste", none,
        fader(&AllFaderPLink::PasteKeyOffParameters1Click, reselect(&DeviceModel::PasteKeyOffParameters)), false);
    KeyOffParameters2->addSeparator();
    Init12 = AddMenu(MainMenu, KeyOffParameters2, "Init12", "Init");
    MainMenuFactoryInitKeyOff =
        AddItem(Init12, "MainMenuFactoryInitKeyOff", "Factory Init", none,
                fader(&AllFaderPLink::InitKeyOffParametes1Click, reselect(&DeviceModel::FactoryInitKeyOff)));
    MainMenuNoStatusKeyOff =
        AddItem(Init12, "MainMenuNoStatusKeyOff", "No Status", none,
                fader(&AllFaderPLink::ClearKeyOffParameters1Click, reselect(&DeviceModel::ClearKeyOff)));
    MainMenuMidiCtrlKeyOff = AddItem(Init12, "MainMenuMidiCtrlKeyOff", "Midi Controller", none,
                                     fader(&AllFaderPLink::InitKeyOffParameterswithMidiController1Click,
                                           reselect(&DeviceModel::MidiCtrlInitKeyOff)));
    MainFormEditMenu->addSeparator();

    MainMenuSnapShot = AddItem(MainFormEditMenu, "MainMenuSnapShot", "Fader Snapshot", none,
                               fader(&AllFaderPLink::Snapshot1Click, [](DeviceModel& m, int p, int) {
                                   if (!MainForm || !DeviceModel::ValidPreset(p)) return;
                                   Morvelant_Parameters& preset = m.Presets[size_t(p)];
                                   for (int f = 0; f < kFaderCount; ++f) {
                                       preset.FaderValue(f) = m.FaderStates[size_t(f)].Value;
                                       preset.FaderOutMode(f) = m.KeyStates[size_t(f)].LampOn ? 0 : 1;
                                   }
                                   for (int f = 0; f < kFaderCount; ++f) {
                                       Reset(MainForm->DeviceEngine, m.FaderStates[size_t(f)], f);
                                       ShowValue(MainForm->DeviceEngine, m.FaderStates[size_t(f)]);
                                   }
                               }));
    MainFormEditMenu->addSeparator();
    auto reload = fader(&AllFaderPLink::ReloadPreset1Click, [](DeviceModel&, int, int) {
        if (MainForm) MainForm->ReloadPreset2Click();
    });
    MainMenuReloadPreset = AddItem(MainFormEditMenu, "MainMenuReloadPreset", "Reload Preset", none, reload);
    MainMenuNextPreset = AddItem(MainFormEditMenu, "MainMenuNextPreset", "Next Preset", none,
                                 fader(&AllFaderPLink::NextPresetClick, [](DeviceModel&, int, int) {
                                     if (MainForm) MainForm->NextPresetClick();
                                 }));
    MainMenuPreviousPreset = AddItem(MainFormEditMenu, "MainMenuPreviousPreset", "Previous Preset", none,
                                     fader(&AllFaderPLink::PrevPresetClick, [](DeviceModel&, int, int) {
                                         if (MainForm) MainForm->PrevPresetClick();
                                     }));

    // ---- Edit menu of the preset list window ----
    auto preset = [this](std::function<void()> PresetFormLink::*member, std::function<void(DeviceModel&)> fallback) {
        return [this, member, fallback = std::move(fallback)] {
            if (const auto& link = PresetLink.*member) {
                link();
                return;
            }
            if (DeviceModel* m = TheModel()) fallback(*m);
        };
    };
    PresetFormEditMenu = AddMenu(MainMenu, nullptr, "PresetFormEditMenu", "&Edit");
    SelectAllPresets1 = AddItem(
        PresetFormEditMenu, "SelectAllPresets1", "Select All Presets", none,
        preset(&PresetFormLink::SelectAllPresets1Click, [](DeviceModel& m) { m.PresetSlotSelected.fill(true); }));
    DeselectAllPresets1 = AddItem(
        PresetFormEditMenu, "DeselectAllPresets1", "Deselect All Presets", none,
        preset(&PresetFormLink::DeselectAllPresets1Click, [](DeviceModel& m) { m.PresetSlotSelected.fill(false); }));
    ToggleSelection2 = AddItem(PresetFormEditMenu, "ToggleSelection2", "Toggle Selection", none,
                               preset(&PresetFormLink::ToggleSelection1Click, [](DeviceModel& m) {
                                   for (bool& b : m.PresetSlotSelected) b = !b;
                               }));
    PresetFormEditMenu->addSeparator();
    CopyPreset1 = AddItem(PresetFormEditMenu, "CopyPreset1", "Copy Preset", none,
                          preset(&PresetFormLink::CopyPreset1Click, [this](DeviceModel& m) {
                              m.CopyPreset(m.SelectedPreset);
                              PastePreset1->setEnabled(true);
                              PastePresetwClipboard1->setEnabled(true);
                          }));
    PastePreset1 = AddItem(PresetFormEditMenu, "PastePreset1", "Paste Preset", none,
                           preset(&PresetFormLink::PastePreset1Click,
                                  [this](DeviceModel& m) {
                                      m.PastePreset(m.SelectedPreset);
                                      SelectPreset(m.SelectedPreset, false);
                                  }),
                           false);
    PastePresetwClipboard1 = AddItem(PresetFormEditMenu, "PastePresetwClipboard1", "Paste Preset w/Clipboard", none,
                                     preset(&PresetFormLink::PasteSpecial1Click,
                                            [this](DeviceModel& m) {
                                                m.ExchangePresetWithClipboard(m.SelectedPreset);
                                                SelectPreset(m.SelectedPreset, false);
                                            }),
                                     false);
    PresetFormEditMenu->addSeparator();
    ReloadPreset2 = AddItem(PresetFormEditMenu, "ReloadPreset2", "Reload Preset", none, reload);

    // ---- Edit menu of the pattern window ----
    auto pattern = [this](std::function<void()> PatternFormLink::*member, std::function<void(DeviceModel&)> fallback) {
        return [this, member, fallback = std::move(fallback)] {
            if (const auto& link = PatternLink.*member) {
                link();
                return;
            }
            if (DeviceModel* m = TheModel(); m && fallback) fallback(*m);
        };
    };
    PatternFormEditMenu = AddMenu(MainMenu, nullptr, "PatternFormEditMenu", "&Edit");
    SelectAllPatterns1 = AddItem(
        PatternFormEditMenu, "SelectAllPatterns1", "Select All Patterns", none,
        pattern(&PatternFormLink::SelectAllPatterns1Click, [](DeviceModel& m) { m.PatternSlotSelected.fill(true); }));
    DeselectAllPatterns1 = AddItem(PatternFormEditMenu, "DeselectAllPatterns1", "Deselect All Patterns", none,
                                   pattern(&PatternFormLink::DeselectAllPatterns1Click,
                                           [](DeviceModel& m) { m.PatternSlotSelected.fill(false); }));
    ToggleSelection3 = AddItem(PatternFormEditMenu, "ToggleSelection3", "Toggle Selection", none,
                               pattern(&PatternFormLink::ToggleSelection1Click, [](DeviceModel& m) {
                                   for (bool& b : m.PatternSlotSelected) b = !b;
                               }));
    PatternFormEditMenu->addSeparator();
    // The pattern clipboard belongs to the pattern window: nothing to do
    // until it is there.
    CopyPattern1 = AddItem(PatternFormEditMenu, "CopyPattern1", "Copy Pattern", none,
                           pattern(&PatternFormLink::CopyPattern1Click, nullptr));
    PastePattern1 = AddItem(PatternFormEditMenu, "PastePattern1", "Paste Pattern", none,
                            pattern(&PatternFormLink::PastePattern1Click, nullptr), false);
    PastePatternwClipboard1 = AddItem(PatternFormEditMenu, "PastePatternwClipboard1", "Paste Pattern w/Clipboard", none,
                                      pattern(&PatternFormLink::PasteSpecial1Click, nullptr), false);

    // ---- Edit menu of the step editor ----
    PatternParameterFormEditMenu = AddMenu(MainMenu, nullptr, "PatternParameterFormEditMenu", "&Edit");
    CopyTrack1 = AddItem(PatternParameterFormEditMenu, "CopyTrack1", "Copy Track", none, [this] { CopyTrack1Click(); });
    Paste1 = AddMenu(MainMenu, PatternParameterFormEditMenu, "Paste1", "Paste");
    SetMenuEnabled(Paste1, false);
    struct PartItem {
        QAction** paste;
        const char* pasteName;
        QAction** exchange;
        const char* exchangeName;
        const char* caption;
        TrackPart part;
        bool separatorBefore;
    };
    const PartItem parts[] = {
        {&UpperParameters1, "UpperParameters1", &UpperParameters2, "UpperParameters2", "Upper Step Parameters",
         TrackPart::Velocities, false},
        {&OnOffSettings1, "OnOffSettings1", &OnOffSettings2, "OnOffSettings2", "On/Off Step Settings", TrackPart::Steps,
         false},
        {&LowerParameter1, "LowerParameter1", &LowerParameters1, "LowerParameters1", "Lower Step Parameters",
         TrackPart::Notes, false},
        {&AllStepParameters1, "AllStepParameters1", &AllStepParameters2, "AllStepParameters2", "All Step Parameters",
         TrackPart::NoSettings, false},
        {&AllTrackParameters1, "AllTrackParameters1", &TrackParameters1, "TrackParameters1", "All Track Parameters",
         TrackPart::Settings, true},
        {&TrackStepParameterscompleteTrack1, "TrackStepParameterscompleteTrack1", &TrackStepParameterscompleteTrack2,
         "TrackStepParameterscompleteTrack2", "Track && Step Parameters (complete Track)", TrackPart::All, true},
    };
    for (const PartItem& item : parts) {
        if (item.separatorBefore) Paste1->addSeparator();
        const TrackPart part = item.part;
        *item.paste = AddItem(Paste1, item.pasteName, item.caption, none, [this, part] { PasteTrackClick(part); });
    }
    PastewClipboard1 = AddMenu(MainMenu, PatternParameterFormEditMenu, "PastewClipboard1", "Paste w/Clipboard");
    SetMenuEnabled(PastewClipboard1, false);
    for (const PartItem& item : parts) {
        if (item.separatorBefore) PastewClipboard1->addSeparator();
        const TrackPart part = item.part;
        *item.exchange = AddItem(PastewClipboard1, item.exchangeName, item.caption, none,
                                 [this, part] { PasteTrackwClipboardClick(part); });
    }
    PatternParameterFormEditMenu->addSeparator();
    ClearTrack1 =
        AddItem(PatternParameterFormEditMenu, "ClearTrack1", "Clear Track", none, [this] { ClearTrack1Click(); });

    // ---- Options ----
    // Qt ticks a checkable item before its handler runs; the virtual device
    // window's option commands flip the tick themselves, so the tick is put
    // back first and the command then sets tick and flag together.
    auto option = [](void (TMainForm::*command)(QAction*)) {
        return [command](QAction* item, bool checked) {
            item->setChecked(!checked);
            if (MainForm) (MainForm->*command)(item);
        };
    };
    MainFormOptionsMenu = AddMenu(MainMenu, nullptr, "MainFormOptionsMenu", "&Options");
    MainMenuWarningMessages = AddOption(MainFormOptionsMenu, "MainMenuWarningMessages", "Warning Messages",
                                        option(&TMainForm::WarningMessages1Click));
    MainMenuMidiMonitorActive = AddOption(MainFormOptionsMenu, "MainMenuMidiMonitorActive", "Midi Monitor Active",
                                          [this](QAction*, bool checked) { MainMenuMidiMonitorActiveClick(checked); });
    MainMenuMidiActivity =
        AddOption(MainFormOptionsMenu, "MainMenuMidiActivity", "Midi Activity", option(&TMainForm::MidiActivity1Click));
    MainMenuMotorFaders =
        AddOption(MainFormOptionsMenu, "MainMenuMotorFaders", "Motor Faders", option(&TMainForm::MotorFaders1Click));
    MainMenuFaderAutoSelect = AddOption(MainFormOptionsMenu, "MainMenuFaderAutoSelect", "Fader Auto Select",
                                        option(&TMainForm::FaderAutoSelect1Click));
    ExplorerStayonTop1 = AddOption(MainFormOptionsMenu, "ExplorerStayonTop1", "Explorer Stay on Top",
                                   [this](QAction*, bool checked) { ExplorerStayonTop1Click(checked); });
    MainFormOptionsMenu->addSeparator();
    MainMenuHookMode =
        AddOption(MainFormOptionsMenu, "MainMenuHookMode", "Hook Mode", option(&TMainForm::HookMode1Click));
    MainMenuOverdupMode =
        AddOption(MainFormOptionsMenu, "MainMenuOverdupMode", "Overdup Mode", option(&TMainForm::OverdupMode1Click));

    // ---- Settings ----
    auto showByName = [](const char* formName, bool modal) {
        return [formName, modal] {
            QWidget* w = FindForm(QString::fromLatin1(formName));
            if (w == nullptr) return;
            if (auto* form = qobject_cast<TForm*>(w); form && modal)
                form->ShowModal();
            else
                ShowForm(w);
        };
    };
    MainFormSettingsMenu = AddMenu(MainMenu, nullptr, "MainFormSettingsMenu", "&Settings");
    MainMenuMidiDeviceSettings = AddItem(MainFormSettingsMenu, "MainMenuMidiDeviceSettings", "Midi Device Settings...",
                                         none, showByName("MidiSettingsForm", false));
    MainMenuMidiControllerInitSettings =
        AddItem(MainFormSettingsMenu, "MainMenuMidiControllerInitSettings", "Midi Controller Init Settings...", none,
                showByName("InitCtrlForm", false));
    vellixaImportSettings1 = AddItem(MainFormSettingsMenu, "vellixaImportSettings1", "vellixa Import Settings...", none,
                                     showByName("vellixaImportForm", true));
    MainFormSettingsMenu->addSeparator();
    MainMenuDeviceInfo =
        AddItem(MainFormSettingsMenu, "MainMenuDeviceInfo", "Device Info", none, showByName("DevicesInfoForm1", false));

    // ---- Windows ----
    MainFormWindowsMenu = AddMenu(MainMenu, nullptr, "MainFormWindowsMenu", "&Windows");
    MainFormWindowsExplorer = AddWindowItem(MainFormWindowsMenu, "MainFormWindowsExplorer", "Explorer",
                                            keys("Shift+F1"), "MorvelantExplorerForm");
    MainFormWindowsMenu->addSeparator();
    MainFormWindowsVirtualMorvelant = AddWindowItem(MainFormWindowsMenu, "MainFormWindowsVirtualMorvelant",
                                                    "Virtual Morvelant", keys("Shift+F2"), "MainForm");
    MainFormWindowsMidiSettings = AddWindowItem(MainFormWindowsMenu, "MainFormWindowsMidiSettings", "* Midi Settings",
                                                keys("Shift+F3"), "MidiSettingsForm");
    MainFormWindowsMenu->addSeparator();
    MainFormWindowsPresetForm =
        AddWindowItem(MainFormWindowsMenu, "MainFormWindowsPresetForm", "Presets", keys("Shift+F4"), "PresetForm");
    MainFormWindowsFaderParameters = AddWindowItem(MainFormWindowsMenu, "MainFormWindowsFaderParameters",
                                                   "* Fader && Key Parameters", keys("Shift+F5"), "AllFaderP");
    MainFormWindowsSpecialKeys = AddWindowItem(MainFormWindowsMenu, "MainFormWindowsSpecialKeys", "* Special Keys",
                                               keys("Ctrl+K"), "SpecialKeyForm");
    MainFormWindowsPresetNotes =
        AddWindowItem(MainFormWindowsMenu, "MainFormWindowsPresetNotes", "* Preset Notes", keys("Ctrl+N"), "NotesForm");
    MainFormWindowsMenu->addSeparator();
    MainFormWindowsPatternForm =
        AddWindowItem(MainFormWindowsMenu, "MainFormWindowsPatternForm", "Patterns", keys("Shift+F6"), "PatternForm");
    MainFormWindowsEventEdit = AddWindowItem(MainFormWindowsMenu, "MainFormWindowsEventEdit", "* Event Editor",
                                             keys("Shift+F7"), "EventEditForm");
    MainFormWindowsTrackParameters = AddWindowItem(MainFormWindowsMenu, "MainFormWindowsTrackParameters",
                                                   "* Track Parameters", keys("Shift+F8"), "TrackParameterForm");
    MainFormWindowsStepParameters = AddWindowItem(MainFormWindowsMenu, "MainFormWindowsStepParameters",
                                                  "* Step Parameters", keys("Shift+F9"), "PatternParameterForm");
    MainFormWindowsTrackEdit = AddWindowItem(MainFormWindowsMenu, "MainFormWindowsTrackEdit", "* Track Edit Tools",
                                             keys("Ctrl+T"), "TrackEditForm");
    MainFormWindowsPatternNotes = AddWindowItem(MainFormWindowsMenu, "MainFormWindowsPatternNotes", "* Pattern Notes",
                                                keys("Ctrl+Alt+N"), "PatternNotesForm");
    MainFormWindowsMenu->addSeparator();
    MainFormWindowsMidiMonitor = AddWindowItem(MainFormWindowsMenu, "MainFormWindowsMidiMonitor", "Midi Monitor",
                                               keys("Shift+F10"), "MidiMonGridForm");
    MainFormWindowsInstructions =
        AddWindowItem(MainFormWindowsMenu, "MainFormWindowsInstructions", "Instructions", none, "InstructionsForm");
    MainFormWindowsDeviceInfo =
        AddWindowItem(MainFormWindowsMenu, "MainFormWindowsDeviceInfo", "Devices Info", none, "DevicesInfoForm1");

    // ---- Help ----
    MainFormHelpMenu = AddMenu(MainMenu, nullptr, "MainFormHelpMenu", "&Help");
    MainMenuInstructions =
        AddItem(MainFormHelpMenu, "MainMenuInstructions", "Help", keys("F1"), [this] { MainMenuInstructionsClick(); });
    MainMenuAboutMorvelantEditor = AddItem(MainFormHelpMenu, "MainMenuAboutMorvelantEditor", "About Morvelant Editor",
                                           none, [this] { MainMenuAboutMorvelantEditorClick(); });

    switchedMenus_ = {MainFormFileMenu,   PresetFormFileMenu,  PatternFormFileMenu,         MainFormEditMenu,
                      PresetFormEditMenu, PatternFormEditMenu, PatternParameterFormEditMenu};
}

// ---- Menu switching and shortcuts -------------------------------------------------------

void TMainMenuForm::ShowMenuPair(QMenu* fileMenu, QMenu* editMenu) {
    // Each group changes only when a menu of it is given.
    auto apply = [](std::initializer_list<QMenu*> group, QMenu* shown) {
        if (shown == nullptr) return;
        for (QMenu* m : group) {
            const bool on = m == shown;
            m->menuAction()->setVisible(on);
            SetMenuEnabled(m, on);
        }
    };
    apply({MainFormFileMenu, PresetFormFileMenu, PatternFormFileMenu}, fileMenu);
    apply({MainFormEditMenu, PresetFormEditMenu, PatternFormEditMenu, PatternParameterFormEditMenu}, editMenu);
    UpdateShortcuts();
}

void TMainMenuForm::ShowMenuPair(const MenuPair& pair) {
    auto menu = [this](const char* name) { return findChild<QMenu*>(QString::fromLatin1(name)); };
    ShowMenuPair(menu(pair.fileMenu), menu(pair.editMenu));
}

bool TMainMenuForm::ShowMenusOf(const QWidget* window) {
    if (window == nullptr) return false;
    // The pairs are those the open-window bookkeeping switches to.
    const EditorWindowInfo* info = FindWindowByForm(window->objectName().toStdString());
    const std::optional<MenuPair> pair = info != nullptr ? MenusOf(info->window) : std::nullopt;
    if (!pair) return false;
    ShowMenuPair(*pair);
    return true;
}

QAction* TMainMenuForm::WindowsMenuItem(const QString& formName) const {
    if (MainFormWindowsMenu == nullptr || formName.isEmpty()) return nullptr;
    for (QAction* a : MainFormWindowsMenu->actions())
        if (!a->isSeparator() && a->data().toString() == formName) return a;
    return nullptr;
}

QString TMainMenuForm::WindowOfItem(const QAction* item) { return item ? item->data().toString() : QString(); }

QWidget* TMainMenuForm::FindForm(const QString& objectName) {
    if (objectName.isEmpty()) return nullptr;
    QWidget* found = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() != objectName) continue;
        if (qobject_cast<TForm*>(w) != nullptr) return w;
        if (found == nullptr) found = w;
    }
    return found;
}

namespace {

// Whether an item can fire now: it and every menu above it are visible and
// enabled.
bool ItemLive(const QAction* action) {
    if (!action->isEnabled() || !action->isVisible()) return false;
    for (QObject* p = action->parent(); p != nullptr; p = p->parent()) {
        auto* menu = qobject_cast<QMenu*>(p);
        if (menu == nullptr) break;
        const QAction* m = menu->menuAction();
        if (!m->isEnabled() || !m->isVisible()) return false;
    }
    return true;
}

}  // namespace

void TMainMenuForm::UpdateShortcuts() {
    if (updatingShortcuts_) return;
    updatingShortcuts_ = true;
    // A key bound to two live items would fire neither: the first item in
    // the menu tree keeps it, and items that cannot fire give theirs up.
    std::set<QString> taken;
    for (const ShortcutEntry& e : shortcuts_) {
        const QString key = e.keys.toString(QKeySequence::PortableText);
        const bool keep = ItemLive(e.action) && taken.insert(key).second;
        const QKeySequence wanted = keep ? e.keys : QKeySequence();
        if (e.action->shortcut() != wanted) e.action->setShortcut(wanted);
    }
    updatingShortcuts_ = false;
}

QKeySequence TMainMenuForm::ItemShortcut(const QAction* item) const {
    for (const ShortcutEntry& e : shortcuts_)
        if (e.action == item) return e.keys;
    return {};
}

void TMainMenuForm::ShowOptionTicks() {
    if (const DeviceModel* m = TheModel()) {
        MainMenuMidiActivity->setChecked(m->ShowMidiActivity);
        MainMenuMotorFaders->setChecked(m->VirtualMotorFaders);
        MainMenuFaderAutoSelect->setChecked(m->FaderAutoSelect);
        MainMenuWarningMessages->setChecked(m->Warnings);
        MainMenuHookMode->setChecked(m->HookMode);
        MainMenuOverdupMode->setChecked(m->OverdupMode);
    }
    if (MidiMonGridForm) MainMenuMidiMonitorActive->setChecked(MidiMonGridForm->MonitorEnabled());
}

void TMainMenuForm::ShowWindowOfItem(QAction* item) {
    QWidget* w = FindForm(WindowOfItem(item));
    if (w != nullptr) {
        // The explorer itself is simply shown; every other window goes
        // through the explorer's switching, never toggled off.
        if (item != MainFormWindowsExplorer && Explorer.ShowEditorWindow)
            Explorer.ShowEditorWindow(w, false, true);
        else
            ShowForm(w);
    }
    // The tick says whether the window is shown, whatever the click did.
    item->setChecked(w != nullptr && w->isVisible());
}

void TMainMenuForm::EnableByName(const char* formName, const std::vector<const char*>& items) {
    QWidget* w = FindForm(QString::fromLatin1(formName));
    if (w == nullptr) return;
    for (const char* name : items)
        for (QObject* o : w->findChildren<QObject*>(QString::fromLatin1(name))) {
            if (auto* a = qobject_cast<QAction*>(o))
                a->setEnabled(true);
            else if (auto* wi = qobject_cast<QWidget*>(o))
                wi->setEnabled(true);
        }
}

// ---- Window events ---------------------------------------------------------------------------

void TMainMenuForm::FormShow() {
    if (MainForm) MainForm->Show();
    ShowOptionTicks();
    // The virtual device window came up in front; the menu belongs on top.
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) raise();
}

void TMainMenuForm::FormClose(TCloseAction& action) {
    if (MainForm) MainForm->Close();
    if (action != TCloseAction::caNone && ProgramEnd) ProgramEnd();
}

// ---- Shared steps ------------------------------------------------------------------------------

void TMainMenuForm::SelectPreset(int slot, bool send) {
    if (PresetLink.SelectPreset) {
        PresetLink.SelectPreset(slot, send);
        return;
    }
    if (!DeviceModel::ValidPreset(slot)) return;
    engine_.Model.SelectedPreset = slot;
    morvelant::ShowCurrentPreset(engine_, send);
}

void TMainMenuForm::ShowPattern(int slot) {
    if (PatternLink.ShowPattern) {
        PatternLink.ShowPattern(slot);
        return;
    }
    morvelant::ShowPattern(engine_, slot);
}

int TMainMenuForm::SelectedTrack() const {
    const int t = PatternLink.SelectedTrack ? PatternLink.SelectedTrack() : 1;
    return (t >= 1 && t <= kTrackCount) ? t : 1;
}

// scope: 0 the current preset, 1 the selected device presets, 2 all device
// presets. kind: 0 factory, 1 "No Status", 2 MIDI controllers.
void TMainMenuForm::InitPresets(int scope, int kind) {
    DeviceModel* m = TheModel();
    if (m == nullptr) return;
    auto apply = [m, kind](int p) {
        if (kind == 0)
            m->FactoryInitPreset(p);
        else if (kind == 1)
            m->ClearPreset(p);
        else
            m->MidiCtrlInitPreset(p);
    };
    if (scope == 0) {
        apply(m->SelectedPreset);
        SelectPreset(m->SelectedPreset, true);
    } else if (scope == 1) {
        int last = m->SelectedPreset;
        for (int slot = 0; slot < kDeviceSlots; ++slot)
            if (m->PresetSlotSelected[size_t(slot)]) {
                apply(slot);
                last = slot;
            }
        SelectPreset(last, false);
    } else {
        for (int slot = 0; slot < kDeviceSlots; ++slot) apply(slot);
        SelectPreset(0, false);
    }
}

// scope as for presets.
void TMainMenuForm::InitPatterns(int scope) {
    DeviceModel* m = TheModel();
    if (m == nullptr) return;
    if (scope == 0) {
        m->InitPattern(m->SelectedPattern);
        ShowPattern(m->SelectedPattern);
    } else if (scope == 1) {
        int last = m->SelectedPattern;
        for (int slot = 0; slot < kDeviceSlots; ++slot)
            if (m->PatternSlotSelected[size_t(slot)]) {
                m->InitPattern(slot);
                last = slot;
            }
        ShowPattern(last);
    } else {
        for (int slot = 0; slot < kDeviceSlots; ++slot) m->InitPattern(slot);
        ShowPattern(0);
    }
}

void TMainMenuForm::SendPatternDump(int slot) {
    if (PatternLink.SendPatternDump) {
        PatternLink.SendPatternDump(slot);
        return;
    }
    if (!DeviceModel::ValidPattern(slot)) return;
    SysexBuffer dump;
    BuildPatternDump(engine_.Model, dump, slot, slot);
    const int port = engine_.Routing.DeviceOutPort();
    if (port < 0) return;
    for (const MidiEvent& e : dump) {
        PutToPort(engine_, port, e);
        engine_.Notices.MidiOutActivity.Publish();
        engine_.Notices.MonitorLine.Publish(port, e, false);
    }
}

// ---- File menu of the virtual device window -------------------------------------------------

void TMainMenuForm::MainMenuFactoryInitPresetClick() {
    Forward(PresetLink.InitPreset1Click, [this] {
        if (DeviceModel* m = TheModel()) {
            m->FactoryInitPreset(m->SelectedPreset);
            SelectPreset(m->SelectedPreset, false);
        }
    });
}

void TMainMenuForm::MainMenuNoStatusPresetClick() {
    Forward(PresetLink.ClearPreset1Click, [this] {
        if (DeviceModel* m = TheModel()) {
            m->ClearPreset(m->SelectedPreset);
            SelectPreset(m->SelectedPreset, false);
        }
    });
}

void TMainMenuForm::MainMenuMidiCtrlPresetClick() {
    Forward(PresetLink.InitPresetwithMidiCtrl1Click, [this] {
        if (DeviceModel* m = TheModel()) {
            m->MidiCtrlInitPreset(m->SelectedPreset);
            SelectPreset(m->SelectedPreset, false);
        }
    });
}

void TMainMenuForm::PresetSnapshot1Click() {
    if (MainForm) MainForm->Button6Click();
}

void TMainMenuForm::MainMenuOpenPresetClick() { SinglePreset6Click(); }
void TMainMenuForm::MainMenuSavePresetClick() { SinglePreset7Click(); }

void TMainMenuForm::MainMenuDisplayAllFaderParametersClick() {
    if (PrintLink.DisplayAllFaderParameters1Click) PrintLink.DisplayAllFaderParameters1Click();
}
void TMainMenuForm::MainMenuDisplayFaderKeyDescriptionClick() {
    if (PrintLink.DisplayDescription1Click) PrintLink.DisplayDescription1Click();
}
void TMainMenuForm::MainMenuPrintAllFaderParametersClick() {
    if (PrintLink.Print1Click) PrintLink.Print1Click();
}
void TMainMenuForm::MainMenuPrintFaderKeyDescriptionClick() {
    if (PrintLink.PrintDescription1Click) PrintLink.PrintDescription1Click();
}

void TMainMenuForm::MainMenuSendPresetClick() { SinglePreset8Click(); }

void TMainMenuForm::MainMenuCloseClick() {
    if (MainForm) MainForm->Hide();
}

void TMainMenuForm::MainMenuExitClick() { Close(); }

// ---- File menu of the preset list window -----------------------------------------------------

void TMainMenuForm::FactoryInit1Click() { InitPresets(0, 0); }
void TMainMenuForm::NoStatus1Click() { InitPresets(0, 1); }
void TMainMenuForm::MidiControllers1Click() { InitPresets(0, 2); }
void TMainMenuForm::FactoryInit2Click() { InitPresets(1, 0); }
void TMainMenuForm::NoStatus2Click() { InitPresets(1, 1); }
void TMainMenuForm::MidiControllers2Click() { InitPresets(1, 2); }
void TMainMenuForm::FactoryInit3Click() { InitPresets(2, 0); }
void TMainMenuForm::NoStatus3Click() { InitPresets(2, 1); }
void TMainMenuForm::MidiControllers3Click() { InitPresets(2, 2); }

void TMainMenuForm::SinglePreset6Click() {
    Forward(PresetLink.LoadPresetClick, [this] {
        if (DeviceModel* m = TheModel(); m && LoadPreset(*m, m->SelectedPreset)) SelectPreset(m->SelectedPreset, false);
    });
}

void TMainMenuForm::Presets2Click() {
    Forward(PresetLink.LoadallPresets1Click, [this] {
        if (DeviceModel* m = TheModel(); m && LoadPresetFile(*m)) SelectPreset(m->SelectedPreset, false);
    });
}

void TMainMenuForm::PresetsSequentially2Click() {
    Forward(PresetLink.LoadPresetsSequentially1Click, [this] {
        if (DeviceModel* m = TheModel(); m && LoadPresetFileSequentially(*m, m->SelectedPreset))
            SelectPreset(m->SelectedPreset, false);
    });
}

void TMainMenuForm::SinglePreset7Click() {
    Forward(PresetLink.SavePresetClick, [this] {
        if (DeviceModel* m = TheModel()) SavePresetAs(*m, m->SelectedPreset);
    });
}

void TMainMenuForm::SelectedPresets5Click() {
    Forward(PresetLink.SaveselectedPresets1Click, [this] {
        if (DeviceModel* m = TheModel()) SaveSelectedPresets(*m);
    });
}

void TMainMenuForm::AllPresets4Click() {
    Forward(PresetLink.SaveallPresetsClick, [this] {
        if (DeviceModel* m = TheModel()) SaveAllPresetsAs(*m, kDeviceSlots);
    });
}

void TMainMenuForm::SelectedPresetsAsSingleFiles3Click() {
    Forward(PresetLink.SaveselectedPresetsasingleFiles1Click, [this] {
        if (DeviceModel* m = TheModel()) SaveSelectedPresetsToFolder(*m);
    });
}

void TMainMenuForm::AllPresetsAsSingleFiles2Click() {
    Forward(PresetLink.SavePresetsasSingleFiles1Click, [this] {
        if (DeviceModel* m = TheModel()) SavePresetsToFolder(*m);
    });
}

// Sending presets needs the preset list window (its checks, reminder and
// timer): nothing happens until it is connected.
void TMainMenuForm::SinglePreset8Click() {
    if (PresetLink.SendPresetClick) PresetLink.SendPresetClick();
}

void TMainMenuForm::SelectedPresets6Click() {
    if (PresetLink.SelectedPresets2Click) PresetLink.SelectedPresets2Click();
}

void TMainMenuForm::Close2Click() {
    if (auto* w = qobject_cast<TForm*>(FindForm(QStringLiteral("PresetForm")))) w->Close();
}

// ---- File menu of the pattern window -------------------------------------------------------------

void TMainMenuForm::SinglePattern2Click() { InitPatterns(0); }
void TMainMenuForm::SelectedPatterns2Click() { InitPatterns(1); }
void TMainMenuForm::AllPatterns2Click() { InitPatterns(2); }

void TMainMenuForm::SinglePattern3Click() {
    Forward(PatternLink.SinglePattern1Click, [this] {
        if (DeviceModel* m = TheModel(); m && LoadPattern(*m, m->SelectedPattern)) ShowPattern(m->SelectedPattern);
    });
}

void TMainMenuForm::Patterns1Click() {
    Forward(PatternLink.Patterns1Click, [this] {
        if (DeviceModel* m = TheModel(); m && LoadPatternFile(*m)) ShowPattern(m->SelectedPattern);
    });
}

void TMainMenuForm::PatternsSequentially1Click() {
    Forward(PatternLink.PatternsSequentially1Click, [this] {
        if (DeviceModel* m = TheModel(); m && LoadPatternFileSequentially(*m, m->SelectedPattern))
            ShowPattern(m->SelectedPattern);
    });
}

void TMainMenuForm::SinglePattern4Click() {
    Forward(PatternLink.SinglePattern2Click, [this] {
        if (DeviceModel* m = TheModel()) SavePatternAs(*m, m->SelectedPattern);
    });
}

void TMainMenuForm::SelectedPatterns3Click() {
    Forward(PatternLink.SelectedPresets1Click, [this] {
        if (DeviceModel* m = TheModel()) SaveSelectedPatterns(*m);
    });
}

void TMainMenuForm::AllPatterns3Click() {
    Forward(PatternLink.Patterns2Click, [this] {
        if (DeviceModel* m = TheModel()) SaveAllPatternsAs(*m, kDeviceSlots);
    });
}

void TMainMenuForm::SelectedPatternsAsSingeFiles1Click() {
    Forward(PatternLink.SelectedPresetsAsSingleFiles1Click, [this] {
        if (DeviceModel* m = TheModel()) SavePatternsToFolder(*m);
    });
}

void TMainMenuForm::AllPatternsAsSingleFiles1Click() {
    Forward(PatternLink.AllPatternsAsSingleFiles1Click, [this] {
        if (DeviceModel* m = TheModel()) SaveAllPatternsToFolder(*m);
    });
}

void TMainMenuForm::SinglePattern5Click() {
    Forward(PatternLink.SendPatternClick, [this] {
        const int p = engine_.Model.SelectedPattern;
        if (engine_.Routing.DeviceOutPort() < 0) {
            CurrentDialogs().MessageBox(kPatternNotSent, kWarningCaption, MessageButtons::Ok, MessageIcon::Warning);
            return;
        }
        SendPatternDump(p);
        if (engine_.Model.Warnings)
            CurrentDialogs().MessageBox(
                "You must use \"Get Pattern " + std::to_string(p + 1) + "\"\n on the Morvelant to use this Pattern",
                kReminderCaption, MessageButtons::Ok, MessageIcon::Information);
    });
}

void TMainMenuForm::SelectedPatterns4Click() {
    DeviceModel* m = TheModel();
    if (m == nullptr) return;
    PatternSendTag = 0;
    int count = 0;
    for (bool marked : m->PatternSlotSelected) count += marked ? 1 : 0;
    int first = -1;
    for (int slot = 0; slot < kDeviceSlots && first < 0; ++slot)
        if (m->PatternSlotSelected[size_t(slot)]) first = slot;
    if (first < 0) return;  // nothing marked: no dialog, no timer

    if (SendingForm) {
        SendingForm->AddSeries(this);
        SendingForm->BeginSeries(count, first, m->GetPatternName(first));
    }
    SendPatternDump(first);
    if (SendingForm) SendingForm->StepProgress();
    PatternSendTag = first + 1;

    // The pattern delay of the MIDI settings; a text that is no delay (or
    // a delay of 0 or less, which would fire without pause) becomes 3000.
    int delay = kDefaultSendDelay;
    if (MidiSettingsForm && MidiSettingsForm->Edit2) {
        bool valid = false;
        delay = SendDelayFromText(MidiSettingsForm->Edit2->text().toStdString(), &valid);
        if (!valid) MidiSettingsForm->Edit2->setText(QString::number(kDefaultSendDelay));
    } else {
        delay = SendDelayFromText(std::to_string(engine_.Routing.PatternDelay));
    }
    PatternSendTimer->setInterval(delay);
    PatternSendTimer->start();
}

void TMainMenuForm::PatternSendTimerTimer() {
    DeviceModel* m = TheModel();
    int next = -1;
    if (m != nullptr)
        for (int slot = std::max(PatternSendTag, 0); slot < kDeviceSlots && next < 0; ++slot)
            if (m->PatternSlotSelected[size_t(slot)]) next = slot;
    if (next < 0) {
        PatternSendTimer->stop();
        if (SendingForm) {
            SendingForm->RemoveSeries(this);
            SendingForm->Close();
        }
        return;
    }
    if (SendingForm) SendingForm->NextItem(next, m->GetPatternName(next));
    SendPatternDump(next);
    if (SendingForm) SendingForm->StepProgress();
    PatternSendTag = next + 1;
}

void TMainMenuForm::StopSendSeries() { PatternSendTimer->stop(); }

void TMainMenuForm::Close3Click() {
    if (auto* w = qobject_cast<TForm*>(FindForm(QStringLiteral("PatternForm")))) w->Close();
}

// ---- Edit menu of the virtual device window: the whole fader and key block --------------------

void TMainMenuForm::MainMenuCopyFaderKeyClick() {
    DeviceModel* m = TheModel();
    if (m == nullptr) return;
    m->CopyFaderParameters(m->SelectedPreset, m->SelectedFader);
    for (QAction* a : {MainMenuPasteFaderKey, MainMenuPastewCFaderKey, MainMenuPasteFader, MainMenuPastewCFader,
                       MainMenuPasteKey, MainMenuPastewCKey, MainMenuPasteKeyOn, MainMenuPasteKeyOff})
        a->setEnabled(true);
    EnableByName("AllFaderP",
                 {"PasteFaderParameters2", "PasteKeyOnParameters1", "PasteKeyParameters1", "PasteKeyOffParameters1"});
}

namespace {

void OnCurrentFader(Engine& engine, void (DeviceModel::*op)(int, int)) {
    DeviceModel& m = engine.Model;
    (m.*op)(m.SelectedPreset, m.SelectedFader);
    SelectFader(engine, m.SelectedFader);
}

}  // namespace

void TMainMenuForm::MainMenuPasteFaderKeyClick() { OnCurrentFader(engine_, &DeviceModel::PasteFaderParameters); }
void TMainMenuForm::MainMenuPastewCFaderKeyClick() {
    OnCurrentFader(engine_, &DeviceModel::ExchangeFaderWithClipboard);
}
void TMainMenuForm::MainMenuFactoryInitFaderKeyClick() { OnCurrentFader(engine_, &DeviceModel::FactoryInitFader); }
void TMainMenuForm::MainMenuNoStatusFaderKeyClick() { OnCurrentFader(engine_, &DeviceModel::ClearFader); }
void TMainMenuForm::MainMenuMidiCtrlFaderKeyClick() { OnCurrentFader(engine_, &DeviceModel::MidiCtrlInitFader); }

// ---- Edit menu of the step editor: the track clipboard -------------------------------------------

void TMainMenuForm::CopyTrack1Click() {
    DeviceModel* m = TheModel();
    if (m == nullptr || !DeviceModel::ValidPattern(m->SelectedPattern)) return;
    m->CopiedTrack = SelectedTrack();
    SetMenuEnabled(Paste1, true);
    SetMenuEnabled(PastewClipboard1, true);
    EnableByName("PatternParameterForm", {"PasteTrack1", "PasteTrackwClipboard1"});
    m->TrackClipboard = m->Patterns[size_t(m->SelectedPattern)];
}

void TMainMenuForm::PasteTrackClick(TrackPart part) {
    DeviceModel* m = TheModel();
    if (m == nullptr || !DeviceModel::ValidPattern(m->SelectedPattern)) return;
    PasteTrackPart(*m, part, m->CopiedTrack, m->SelectedPattern, SelectedTrack());
    ShowPattern(m->SelectedPattern);
}

void TMainMenuForm::PasteTrackwClipboardClick(TrackPart part) {
    DeviceModel* m = TheModel();
    if (m == nullptr || !DeviceModel::ValidPattern(m->SelectedPattern)) return;
    const int track = SelectedTrack();
    m->TrackSwap = m->Patterns[size_t(m->SelectedPattern)];
    PasteTrackPart(*m, part, m->CopiedTrack, m->SelectedPattern, track);
    m->TrackClipboard = m->TrackSwap;
    m->CopiedTrack = track;
    ShowPattern(m->SelectedPattern);
}

void TMainMenuForm::ClearTrack1Click() {
    DeviceModel* m = TheModel();
    if (m == nullptr || !DeviceModel::ValidPattern(m->SelectedPattern)) return;
    m->InitTrack(m->SelectedPattern, SelectedTrack());
    ShowPattern(m->SelectedPattern);
}

// ---- Options, help ------------------------------------------------------------------------------------

void TMainMenuForm::MainMenuMidiMonitorActiveClick(bool checked) {
    if (MidiMonGridForm == nullptr) {
        MainMenuMidiMonitorActive->setChecked(!checked);
        return;
    }
    if (MidiMonGridForm->MonitorEnabled() != checked) MidiMonGridForm->Enable1Click();
    MainMenuMidiMonitorActive->setChecked(MidiMonGridForm->MonitorEnabled());
}

void TMainMenuForm::ExplorerStayonTop1Click(bool checked) {
    if (Explorer.SetStayOnTop) {
        Explorer.SetStayOnTop(checked);
        return;
    }
    if (QWidget* w = FindForm(QStringLiteral("MorvelantExplorerForm"))) {
        const bool visible = w->isVisible();
        w->setWindowFlag(Qt::WindowStaysOnTopHint, checked);
        if (visible) w->show();
    }
}

void TMainMenuForm::MainMenuInstructionsClick() { OpenEditorHelp(ProgramPath); }

void TMainMenuForm::MainMenuAboutMorvelantEditorClick() { ShowForm(FindForm(QStringLiteral("AboutForm"))); }

}  // namespace morvelant
