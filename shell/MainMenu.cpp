#include "shell/MainMenu.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QShortcutEvent>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <filesystem>
#include <map>
#include <set>
#include <utility>

#include "engine/FileCommands.h"
#include "engine/Snapshot.h"
#include "engine/Tool.h"
#include "model/SlotLists.h"
#include "platform/Dialogs.h"
#include "platform/IniFile.h"
#include "platform/QtFormFrame.h"
#include "shell/FormBookkeeping.h"
#include "shell/MenuTable.h"

namespace morvelant {

TMainMenuForm* MainMenuForm = nullptr;

namespace {

constexpr char kSection[] = "Main Menu Form";
constexpr int kMenuWindowHeight = 45;
constexpr char kHelpMissingCaption[] = "Help";

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

// The strip holds the File and Edit menus of every kind of window and
// shows one of each. The menu bar grabs an Alt key for every menu, shown or
// not, and a key that several hold goes to the first of them, one after
// another on each press: Alt+F opened nothing while a hidden File menu came
// before the shown one. Such a key opens the shown menu of its letter.
//
// The strip's menus are those of the active window, so the same keys open
// them from the program's other windows: Alt and a letter that is no
// mnemonic of a control of that window, nor a shortcut, opens the shown menu
// of its letter, as from the strip, and types nothing into the field that
// has the focus. Not while a modal dialog or a menu is up.
class ShownMenuKeys : public QObject {
public:
    explicit ShownMenuKeys(QMenuBar* bar) : QObject(bar), bar_(bar) {
        bar->installEventFilter(this);
        qApp->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == bar_ && event->type() == QEvent::Shortcut) {
            const auto* key = static_cast<QShortcutEvent*>(event);
            return key->isAmbiguous() && Open(key->key(), false);
        }
        if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress) return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        const auto* key = static_cast<QKeyEvent*>(event);
        if (widget == nullptr || key->modifiers() != Qt::AltModifier || key->key() < Qt::Key_A ||
            key->key() > Qt::Key_Z)
            return false;
        QWidget* window = widget->window();
        if (window == bar_->window() || !bar_->isVisible() || qobject_cast<TForm*>(window) == nullptr ||
            QApplication::activeModalWidget() != nullptr || QApplication::activePopupWidget() != nullptr)
            return false;
        const QKeySequence sequence(Qt::ALT | Qt::Key(key->key()));
        if (Taken(*window, sequence)) return false;
        if (event->type() == QEvent::ShortcutOverride) {
            // Taken here, the key reaches the focused control as a key
            // press, which opens the menu below and goes no further.
            if (!Open(sequence, true)) return false;
            event->accept();
            return true;
        }
        return Open(sequence, false);
    }

private:
    // The shown menu of that letter (only looked for, when `look`).
    bool Open(const QKeySequence& key, bool look) {
        for (QAction* menu : bar_->actions()) {
            if (menu->isVisible() && menu->isEnabled() && QKeySequence::mnemonic(menu->text()) == key) {
                if (!look) bar_->setActiveAction(menu);
                return true;
            }
        }
        return false;
    }
    // A control of the window or an item of the program answers the key.
    bool Taken(QWidget& window, const QKeySequence& key) const {
        for (QWidget* w : window.findChildren<QWidget*>()) {
            if (!w->isVisible() || !w->isEnabled()) continue;
            QString text;
            if (auto* button = qobject_cast<QAbstractButton*>(w))
                text = button->text();
            else if (auto* label = qobject_cast<QLabel*>(w); label != nullptr && label->buddy() != nullptr)
                text = label->text();
            else if (auto* group = qobject_cast<QGroupBox*>(w))
                text = group->title();
            if (!text.isEmpty() && QKeySequence::mnemonic(text) == key) return true;
        }
        for (QAction* item : bar_->window()->findChildren<QAction*>())
            if (item->shortcut() == key) return true;
        return false;
    }

    QMenuBar* bar_;
};

}  // namespace

// ---- Free helpers ---------------------------------------------------------------------

void SetHelpOpener(HelpOpener opener) { CurrentHelpOpener() = std::move(opener); }

void OpenEditorHelp(const std::string& programPath) {
    // A compiled help file put beside the program is still taken first; the
    // help that ships is the HTML page, which the desktop's browser opens.
    std::error_code ec;
    std::string file = programPath + kHelpFileName;
    if (!std::filesystem::is_regular_file(file, ec)) file = programPath + kHtmlHelpFileName;
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

    // The window holds the menu bar and nothing else: it keeps its height,
    // a taller one would only be grey. The height is the outer one: framed,
    // the strip ends where the default places of the windows below begin.
    setFixedHeight(kMenuWindowHeight);
    KeepOuterHeight(*this, kMenuWindowHeight);
    SetMenuStrip(this);
    MainMenu = new QMenuBar(this);
    MainMenu->setObjectName(QStringLiteral("MainMenu"));
    MainMenu->setNativeMenuBar(false);
    new ShownMenuKeys(MainMenu);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(MainMenu);
    layout->addStretch(1);

    BuildMenus();
    RegisterFallbacks();
    commands_.SetStateListener([this](const std::string& item) { MirrorItemState(item); });
    ShowMenuPair(MainFormFileMenu, MainFormEditMenu);
    LoadWindowSettings();
}

TMainMenuForm::~TMainMenuForm() {
    commands_.SetStateListener(nullptr);
    for (const MenuItemSpec& spec : MainMenuItems())
        if (spec.name != nullptr) commands_.UnregisterFallback(spec.name);
    if (Sending) Sending->RemoveSendItemOwner(this);
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
    const int height = ini.ReadInteger(kSection, "Height", kMenuWindowHeight);
    SetBounds(left, top, width, height);
}

void TMainMenuForm::SaveWindowSettings() {
    TIniFile ini(ConfigFile());
    ini.WriteInteger(kSection, "Top", OuterBounds(*this).y());
    ini.WriteInteger(kSection, "Left", OuterBounds(*this).x());
    ini.WriteInteger(kSection, "Width", OuterSize(*this).width());
    ini.WriteInteger(kSection, "Height", OuterSize(*this).height());
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
    const std::string item = name;
    connect(action, &QAction::triggered, this, [this, item] { commands_.Execute(item); });
    return action;
}

// The members that name the menus and items of the tree.
// clang-format off
#define MAIN_MENU_ACTIONS(X) X(MainMenuFactoryInitPreset) X(MainMenuNoStatusPreset) X(MainMenuMidiCtrlPreset) X(PresetSnapshot1) \
    X(MainMenuOpenPreset) X(MainMenuSavePreset) X(MainMenuDisplayAllFaderParameters) \
    X(MainMenuDisplayFaderKeyDescription) X(MainMenuPrintAllFaderParameters) X(MainMenuPrintFaderKeyDescription) \
    X(MainMenuSendPreset) X(MainMenuClose) X(MainMenuExit) X(FactoryInit1) X(NoStatus1) X(MidiControllers1) \
    X(FactoryInit2) X(NoStatus2) X(MidiControllers2) X(FactoryInit3) X(NoStatus3) X(MidiControllers3) \
    X(SinglePreset6) X(Presets2) X(PresetsSequentially2) X(SinglePreset7) X(SelectedPresets5) X(AllPresets4) \
    X(SelectedPresetsAsSingleFiles3) X(AllPresetsAsSingleFiles2) X(SinglePreset8) X(SelectedPresets6) \
    X(DisplayAllFaderParameters1) X(DisplayFaderKeyDescription1) X(PrintAllFaderParameters1) \
    X(PrintFaderKeyDescription1) X(Close2) X(Exit2) X(SinglePattern2) X(SelectedPatterns2) X(AllPatterns2) \
    X(SinglePattern3) X(Patterns1) X(PatternsSequentially1) X(SinglePattern4) X(SelectedPatterns3) X(AllPatterns3) \
    X(SelectedPatternsAsSingeFiles1) X(AllPatternsAsSingleFiles1) X(SinglePattern5) X(SelectedPatterns4) X(Close3) \
    X(Exit4) X(MainMenuCopyFaderKey) X(MainMenuPasteFaderKey) X(MainMenuPastewCFaderKey) \
    X(MainMenuFactoryInitFaderKey) X(MainMenuNoStatusFaderKey) X(MainMenuMidiCtrlFaderKey) X(MainMenuCopyFader) \
    X(MainMenuPasteFader) X(MainMenuPastewCFader) X(MainMenuFactoryInitFader) X(MainMenuNoStatusFader) \
    X(MainMenuMidiCtrlFader) X(MainMenuCopyKey) X(MainMenuPasteKey) X(MainMenuPastewCKey) X(MainMenuFactoryInitKey) \
    X(MainMenuNoStatusKey) X(MainMenuMidiCtrlKey) X(MainMenuCopyKeyOn) X(MainMenuPasteKeyOn) \
    X(MainMenuFactoryInitKeyOn) X(MainMenuNoStatusKeyOn) X(MainMenuMidiCtrlKeyOn) X(MainMenuCopyKeyOff) \
    X(MainMenuPasteKeyOff) X(MainMenuFactoryInitKeyOff) X(MainMenuNoStatusKeyOff) X(MainMenuMidiCtrlKeyOff) \
    X(MainMenuSnapShot) X(MainMenuReloadPreset) X(MainMenuNextPreset) X(MainMenuPreviousPreset) X(SelectAllPresets1) \
    X(DeselectAllPresets1) X(ToggleSelection2) X(CopyPreset1) X(PastePreset1) X(PastePresetwClipboard1) \
    X(ReloadPreset2) X(SelectAllPatterns1) X(DeselectAllPatterns1) X(ToggleSelection3) X(CopyPattern1) \
    X(PastePattern1) X(PastePatternwClipboard1) X(CopyTrack1) X(UpperParameters1) X(OnOffSettings1) \
    X(LowerParameter1) X(AllStepParameters1) X(AllTrackParameters1) X(TrackStepParameterscompleteTrack1) \
    X(UpperParameters2) X(OnOffSettings2) X(LowerParameters1) X(AllStepParameters2) X(TrackParameters1) \
    X(TrackStepParameterscompleteTrack2) X(ClearTrack1) X(MainMenuWarningMessages) X(MainMenuMidiMonitorActive) \
    X(MainMenuMidiActivity) X(MainMenuMotorFaders) X(MainMenuFaderAutoSelect) X(ExplorerStayonTop1) \
    X(MainMenuHookMode) X(MainMenuOverdupMode) X(MainMenuMidiDeviceSettings) X(MainMenuMidiControllerInitSettings) \
    X(vellixaImportSettings1) X(MainMenuDeviceInfo) X(MainFormWindowsExplorer) X(MainFormWindowsVirtualMorvelant) \
    X(MainFormWindowsMidiSettings) X(MainFormWindowsPresetForm) X(MainFormWindowsFaderParameters) \
    X(MainFormWindowsSpecialKeys) X(MainFormWindowsPresetNotes) X(MainFormWindowsPatternForm) \
    X(MainFormWindowsEventEdit) X(MainFormWindowsTrackParameters) X(MainFormWindowsStepParameters) \
    X(MainFormWindowsTrackEdit) X(MainFormWindowsPatternNotes) X(MainFormWindowsMidiMonitor) \
    X(MainFormWindowsInstructions) X(MainFormWindowsDeviceInfo) X(MainMenuInstructions) \
    X(MainMenuAboutMorvelantEditor)

#define MAIN_MENU_MENUS(X) X(MainFormFileMenu) X(InitPreset3) X(PresetFormFileMenu) X(Init7) X(SinglePreset5) X(SelectedPresets4) \
    X(AllPresets3) X(Open1) X(Save1) X(Send1) X(PatternFormFileMenu) X(Init15) X(Open2) X(Save2) X(Send2) \
    X(MainFormEditMenu) X(CopyFaderKeyParameters2) X(Init8) X(FaderParameters2) X(Init9) X(KeyParameters2) X(Init10) \
    X(KeyOnParameters2) X(Init11) X(KeyOffParameters2) X(Init12) X(PresetFormEditMenu) X(PatternFormEditMenu) \
    X(PatternParameterFormEditMenu) X(Paste1) X(PastewClipboard1) X(MainFormOptionsMenu) X(MainFormSettingsMenu) \
    X(MainFormWindowsMenu) X(MainFormHelpMenu)
// clang-format on

void TMainMenuForm::BuildMenus() {
    std::map<std::string, QMenu*> menus;
    for (const MenuItemSpec& spec : MainMenuItems()) {
        QMenu* parent = nullptr;
        if (spec.parent != nullptr) {
            auto it = menus.find(spec.parent);
            if (it == menus.end()) continue;  // a table fault: the parent comes first
            parent = it->second;
        }
        const std::string name = spec.name != nullptr ? spec.name : "";
        const QKeySequence keys(QString::fromLatin1(spec.shortcut));
        switch (spec.kind) {
            case MenuItemKind::Menu: {
                QMenu* menu = AddMenu(MainMenu, parent, spec.name, spec.caption);
                if (!spec.enabled) SetMenuEnabled(menu, false);
                menus[name] = menu;
                break;
            }
            case MenuItemKind::Separator:
                if (parent != nullptr) parent->addSeparator();
                break;
            case MenuItemKind::Item:
                AddItem(
                    parent, spec.name, spec.caption, keys, [this, name] { commands_.Execute(name); }, spec.enabled);
                break;
            case MenuItemKind::Option:
                // Qt ticks a checkable item before its command runs; the
                // command works on the tick as it was, so it is put back first.
                AddOption(parent, spec.name, spec.caption, [this, name](QAction* item, bool checked) {
                    item->setChecked(!checked);
                    commands_.Execute(name);
                });
                break;
            case MenuItemKind::WindowItem: AddWindowItem(parent, spec.name, spec.caption, keys, spec.window); break;
        }
    }
#define MORVELANT_BIND_ACTION(n) n = findChild<QAction*>(QStringLiteral(#n));
#define MORVELANT_BIND_MENU(n) n = findChild<QMenu*>(QStringLiteral(#n));
    MAIN_MENU_ACTIONS(MORVELANT_BIND_ACTION)
    MAIN_MENU_MENUS(MORVELANT_BIND_MENU)
#undef MORVELANT_BIND_ACTION
#undef MORVELANT_BIND_MENU
    switchedMenus_ = {MainFormFileMenu,   PresetFormFileMenu,  PatternFormFileMenu,         MainFormEditMenu,
                      PresetFormEditMenu, PatternFormEditMenu, PatternParameterFormEditMenu};
}

// What the items do while no other window has registered its own command:
// this window's own commands, and the model's operation where the window
// that carries the command out is not built yet.
void TMainMenuForm::RegisterFallbacks() {
    CommandRegistry& c = commands_;
    auto own = [this, &c](const char* item, void (TMainMenuForm::*handler)()) {
        c.RegisterFallback(item, [this, handler] { (this->*handler)(); });
    };
    // File menu of the virtual device window.
    own("MainMenuFactoryInitPreset", &TMainMenuForm::MainMenuFactoryInitPresetClick);
    own("MainMenuNoStatusPreset", &TMainMenuForm::MainMenuNoStatusPresetClick);
    own("MainMenuMidiCtrlPreset", &TMainMenuForm::MainMenuMidiCtrlPresetClick);
    own("MainMenuOpenPreset", &TMainMenuForm::MainMenuOpenPresetClick);
    own("MainMenuSavePreset", &TMainMenuForm::MainMenuSavePresetClick);
    own("MainMenuDisplayAllFaderParameters", &TMainMenuForm::MainMenuDisplayAllFaderParametersClick);
    own("MainMenuDisplayFaderKeyDescription", &TMainMenuForm::MainMenuDisplayFaderKeyDescriptionClick);
    own("MainMenuPrintAllFaderParameters", &TMainMenuForm::MainMenuPrintAllFaderParametersClick);
    own("MainMenuPrintFaderKeyDescription", &TMainMenuForm::MainMenuPrintFaderKeyDescriptionClick);
    own("MainMenuSendPreset", &TMainMenuForm::MainMenuSendPresetClick);
    own("MainMenuExit", &TMainMenuForm::MainMenuExitClick);
    // File menu of the preset list window.
    own("FactoryInit1", &TMainMenuForm::FactoryInit1Click);
    own("NoStatus1", &TMainMenuForm::NoStatus1Click);
    own("MidiControllers1", &TMainMenuForm::MidiControllers1Click);
    own("FactoryInit2", &TMainMenuForm::FactoryInit2Click);
    own("NoStatus2", &TMainMenuForm::NoStatus2Click);
    own("MidiControllers2", &TMainMenuForm::MidiControllers2Click);
    own("FactoryInit3", &TMainMenuForm::FactoryInit3Click);
    own("NoStatus3", &TMainMenuForm::NoStatus3Click);
    own("MidiControllers3", &TMainMenuForm::MidiControllers3Click);
    own("SinglePreset6", &TMainMenuForm::SinglePreset6Click);
    own("Presets2", &TMainMenuForm::Presets2Click);
    own("PresetsSequentially2", &TMainMenuForm::PresetsSequentially2Click);
    own("SinglePreset7", &TMainMenuForm::SinglePreset7Click);
    own("SelectedPresets5", &TMainMenuForm::SelectedPresets5Click);
    own("AllPresets4", &TMainMenuForm::AllPresets4Click);
    own("SelectedPresetsAsSingleFiles3", &TMainMenuForm::SelectedPresetsAsSingleFiles3Click);
    own("AllPresetsAsSingleFiles2", &TMainMenuForm::AllPresetsAsSingleFiles2Click);
    own("Close2", &TMainMenuForm::Close2Click);
    own("Exit2", &TMainMenuForm::Exit2Click);
    // File menu of the pattern window.
    own("SinglePattern2", &TMainMenuForm::SinglePattern2Click);
    own("SelectedPatterns2", &TMainMenuForm::SelectedPatterns2Click);
    own("AllPatterns2", &TMainMenuForm::AllPatterns2Click);
    own("SinglePattern3", &TMainMenuForm::SinglePattern3Click);
    own("Patterns1", &TMainMenuForm::Patterns1Click);
    own("PatternsSequentially1", &TMainMenuForm::PatternsSequentially1Click);
    own("SinglePattern4", &TMainMenuForm::SinglePattern4Click);
    own("SelectedPatterns3", &TMainMenuForm::SelectedPatterns3Click);
    own("AllPatterns3", &TMainMenuForm::AllPatterns3Click);
    own("SelectedPatternsAsSingeFiles1", &TMainMenuForm::SelectedPatternsAsSingeFiles1Click);
    own("AllPatternsAsSingleFiles1", &TMainMenuForm::AllPatternsAsSingleFiles1Click);
    own("Close3", &TMainMenuForm::Close3Click);
    own("Exit4", &TMainMenuForm::Exit4Click);

    // Edit menu of the virtual device window: the whole block ...
    own("MainMenuCopyFaderKey", &TMainMenuForm::MainMenuCopyFaderKeyClick);
    own("MainMenuPasteFaderKey", &TMainMenuForm::MainMenuPasteFaderKeyClick);
    own("MainMenuPastewCFaderKey", &TMainMenuForm::MainMenuPastewCFaderKeyClick);
    own("MainMenuFactoryInitFaderKey", &TMainMenuForm::MainMenuFactoryInitFaderKeyClick);
    own("MainMenuNoStatusFaderKey", &TMainMenuForm::MainMenuNoStatusFaderKeyClick);
    own("MainMenuMidiCtrlFaderKey", &TMainMenuForm::MainMenuMidiCtrlFaderKeyClick);
    // ... and its parts, commands of the fader parameter window: the model's
    // operation on the current fader, which is then selected again.
    using FaderOp = void (DeviceModel::*)(int, int);
    auto onFader = [this, &c](const char* item, FaderOp first, FaderOp second = nullptr) {
        c.RegisterFallback(item, [this, first, second] {
            DeviceModel& m = engine_.Model;
            (m.*first)(m.SelectedPreset, m.SelectedFader);
            if (second) (m.*second)(m.SelectedPreset, m.SelectedFader);
            SelectFader(engine_, m.SelectedFader);
        });
    };
    // A copy enables the matching paste items here and in the fader
    // parameter window.
    auto copy = [this, &c](const char* item, FaderOp op, std::vector<const char*> mine,
                           std::vector<const char*> theirs) {
        c.RegisterFallback(item, [this, op, mine = std::move(mine), theirs = std::move(theirs)] {
            DeviceModel& m = engine_.Model;
            (m.*op)(m.SelectedPreset, m.SelectedFader);
            for (const char* name : mine)
                if (auto* a = findChild<QAction*>(QString::fromLatin1(name))) a->setEnabled(true);
            EnableItemsOf("AllFaderP", theirs);
        });
    };
    copy("MainMenuCopyFader", &DeviceModel::CopyFaderEventParameters, {"MainMenuPasteFader", "MainMenuPastewCFader"},
         {"PasteFaderParameters2", "PasteSpecialFaderParameters2"});
    onFader("MainMenuPasteFader", &DeviceModel::PasteFaderEventParameters);
    onFader("MainMenuPastewCFader", &DeviceModel::ExchangeFaderEventWithClipboard);
    onFader("MainMenuFactoryInitFader", &DeviceModel::FactoryInitFaderEvent);
    onFader("MainMenuNoStatusFader", &DeviceModel::ClearFaderEvent);
    onFader("MainMenuMidiCtrlFader", &DeviceModel::MidiCtrlInitFaderEvent);
    copy("MainMenuCopyKey", &DeviceModel::CopyKeyParameters, {"MainMenuPasteKey", "MainMenuPastewCKey"},
         {"PasteKeyParameters1"});
    onFader("MainMenuPasteKey", &DeviceModel::PasteKeyParameters);
    onFader("MainMenuPastewCKey", &DeviceModel::ExchangeKeyParametersWithClipboard);
    onFader("MainMenuFactoryInitKey", &DeviceModel::FactoryInitKeyOn, &DeviceModel::FactoryInitKeyOff);
    onFader("MainMenuNoStatusKey", &DeviceModel::ClearKeyOn, &DeviceModel::ClearKeyOff);
    onFader("MainMenuMidiCtrlKey", &DeviceModel::MidiCtrlInitKeyOn, &DeviceModel::MidiCtrlInitKeyOff);
    copy("MainMenuCopyKeyOn", &DeviceModel::CopyKeyOnParameters, {"MainMenuPasteKeyOn"}, {"PasteKeyOnParameters1"});
    onFader("MainMenuPasteKeyOn", &DeviceModel::PasteKeyOnParameters);
    onFader("MainMenuFactoryInitKeyOn", &DeviceModel::FactoryInitKeyOn);
    onFader("MainMenuNoStatusKeyOn", &DeviceModel::ClearKeyOn);
    onFader("MainMenuMidiCtrlKeyOn", &DeviceModel::MidiCtrlInitKeyOn);
    copy("MainMenuCopyKeyOff", &DeviceModel::CopyKeyOffParameters, {"MainMenuPasteKeyOff"}, {"PasteKeyOffParameters1"});
    onFader("MainMenuPasteKeyOff", &DeviceModel::PasteKeyOffParameters);
    onFader("MainMenuFactoryInitKeyOff", &DeviceModel::FactoryInitKeyOff);
    onFader("MainMenuNoStatusKeyOff", &DeviceModel::ClearKeyOff);
    onFader("MainMenuMidiCtrlKeyOff", &DeviceModel::MidiCtrlInitKeyOff);
    c.RegisterFallback("MainMenuSnapShot", [this] { TakeSnapshot(engine_, engine_.Model.SelectedPreset); });

    // Edit menu of the preset list window.
    auto onModel = [this, &c](const char* item, std::function<void(DeviceModel&)> op) {
        c.RegisterFallback(item, [this, op = std::move(op)] { op(engine_.Model); });
    };
    onModel("SelectAllPresets1", [](DeviceModel& m) { m.PresetSlotSelected.fill(true); });
    onModel("DeselectAllPresets1", [](DeviceModel& m) { m.PresetSlotSelected.fill(false); });
    onModel("ToggleSelection2", [](DeviceModel& m) {
        for (bool& b : m.PresetSlotSelected) b = !b;
    });
    onModel("CopyPreset1", [this](DeviceModel& m) {
        m.CopyPreset(m.SelectedPreset);
        PastePreset1->setEnabled(true);
        PastePresetwClipboard1->setEnabled(true);
    });
    // Without the preset list, its own commands' check of the working set.
    auto roomToPaste = [](const DeviceModel& m) {
        const std::string why = RoomForCopy(m, SlotKind::Presets, kClipboardSource, m.SelectedPreset, "Pasting this preset");
        if (!why.empty()) CurrentDialogs().MessageBox(why, "Warning !", MessageButtons::Ok, MessageIcon::Warning);
        return why.empty();
    };
    onModel("PastePreset1", [this, roomToPaste](DeviceModel& m) {
        if (!roomToPaste(m)) return;
        m.PastePreset(m.SelectedPreset);
        engine_.Notices.PresetDataChanged.Publish(m.SelectedPreset);
        SelectPreset(m.SelectedPreset, false);
    });
    onModel("PastePresetwClipboard1", [this, roomToPaste](DeviceModel& m) {
        if (!roomToPaste(m)) return;
        m.ExchangePresetWithClipboard(m.SelectedPreset);
        engine_.Notices.PresetDataChanged.Publish(m.SelectedPreset);
        SelectPreset(m.SelectedPreset, false);
    });
    // "Reload Preset" here is the virtual device window's, as in its Edit menu.
    c.RegisterFallback("ReloadPreset2", [&c] { c.Execute("MainMenuReloadPreset"); });

    // Edit menu of the pattern window. The pattern clipboard belongs to the
    // pattern window: copy and paste do nothing until it is there.
    onModel("SelectAllPatterns1", [](DeviceModel& m) { m.PatternSlotSelected.fill(true); });
    onModel("DeselectAllPatterns1", [](DeviceModel& m) { m.PatternSlotSelected.fill(false); });
    onModel("ToggleSelection3", [](DeviceModel& m) {
        for (bool& b : m.PatternSlotSelected) b = !b;
    });

    // Edit menu of the step editor.
    own("CopyTrack1", &TMainMenuForm::CopyTrack1Click);
    own("ClearTrack1", &TMainMenuForm::ClearTrack1Click);
    const std::pair<const char*, TrackPart> pastes[] = {
        {"UpperParameters1", TrackPart::Velocities},  {"OnOffSettings1", TrackPart::Steps},
        {"LowerParameter1", TrackPart::Notes},        {"AllStepParameters1", TrackPart::NoSettings},
        {"AllTrackParameters1", TrackPart::Settings}, {"TrackStepParameterscompleteTrack1", TrackPart::All}};
    const std::pair<const char*, TrackPart> exchanges[] = {
        {"UpperParameters2", TrackPart::Velocities}, {"OnOffSettings2", TrackPart::Steps},
        {"LowerParameters1", TrackPart::Notes},      {"AllStepParameters2", TrackPart::NoSettings},
        {"TrackParameters1", TrackPart::Settings},   {"TrackStepParameterscompleteTrack2", TrackPart::All}};
    for (const auto& [item, part] : pastes) c.RegisterFallback(item, [this, part = part] { PasteTrackClick(part); });
    for (const auto& [item, part] : exchanges)
        c.RegisterFallback(item, [this, part = part] { PasteTrackwClipboardClick(part); });

    // Options the monitor and the explorer carry out when they are there.
    c.RegisterFallback("ExplorerStayonTop1", [this] { ExplorerStayonTop1Click(!ExplorerStayonTop1->isChecked()); });

    // Settings: each shows its window.
    auto showByName = [&c](const char* item, const char* formName, bool modal) {
        c.RegisterFallback(item, [formName, modal] {
            QWidget* w = FindForm(QString::fromLatin1(formName));
            if (w == nullptr) return;
            if (auto* form = qobject_cast<TForm*>(w); form && modal)
                form->ShowModal();
            else
                ShowForm(w);
        });
    };
    showByName("MainMenuMidiDeviceSettings", "MidiSettingsForm", false);
    showByName("MainMenuMidiControllerInitSettings", "InitCtrlForm", false);
    showByName("vellixaImportSettings1", "vellixaImportForm", true);
    showByName("MainMenuDeviceInfo", "DevicesInfoForm1", false);

    // Windows: each item shows its window.
    for (const MenuItemSpec& spec : MainMenuItems())
        if (spec.kind == MenuItemKind::WindowItem) {
            const std::string item = spec.name;
            c.RegisterFallback(item, [this, item] {
                if (auto* action = findChild<QAction*>(QString::fromStdString(item))) ShowWindowOfItem(action);
            });
        }

    // Help.
    own("MainMenuInstructions", &TMainMenuForm::MainMenuInstructionsClick);
    own("MainMenuAboutMorvelantEditor", &TMainMenuForm::MainMenuAboutMorvelantEditorClick);
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
    // Through the registry, so the option commands find the ticks shown.
    const DeviceModel& m = engine_.Model;
    const std::pair<const char*, bool> ticks[] = {{"MainMenuMidiActivity", m.ShowMidiActivity},
                                                  {"MainMenuMotorFaders", m.VirtualMotorFaders},
                                                  {"MainMenuFaderAutoSelect", m.FaderAutoSelect},
                                                  {"MainMenuWarningMessages", m.Warnings},
                                                  {"MainMenuHookMode", m.HookMode},
                                                  {"MainMenuOverdupMode", m.OverdupMode}};
    for (const auto& [item, on] : ticks) commands_.SetChecked(item, on);
    // The monitor keeps its own tick there.
    if (commands_.HasCheckedState("MainMenuMidiMonitorActive")) MirrorItemState("MainMenuMidiMonitorActive");
}

// Without the explorer (which registers the window items and switches the
// windows itself), a window item simply shows its window.
void TMainMenuForm::ShowWindowOfItem(QAction* item) {
    QWidget* w = FindForm(WindowOfItem(item));
    if (w != nullptr) ShowForm(w);
    // The tick says whether the window is shown, whatever the click did.
    item->setChecked(w != nullptr && w->isVisible());
}

void TMainMenuForm::MirrorItemState(const std::string& item) {
    const QString name = QString::fromStdString(item);
    QAction* action = findChild<QAction*>(name);
    if (action == nullptr)
        if (auto* menu = findChild<QMenu*>(name)) action = menu->menuAction();
    if (action == nullptr) return;
    if (commands_.HasEnabledState(item)) action->setEnabled(commands_.Enabled(item));
    if (commands_.HasCheckedState(item)) {
        if (!action->isCheckable()) action->setCheckable(true);
        action->setChecked(commands_.Checked(item));
    }
}

// ---- Window events ---------------------------------------------------------------------------

void TMainMenuForm::FormShow() {
    if (DeviceWindow) DeviceWindow->Show();
    ShowOptionTicks();
    // The virtual device window came up in front; the menu belongs on top.
    raise();
}

namespace {

// Runs `painted` once, after `window` has painted its first frame (the
// window manager has put it on the screen by then).
class AfterFirstPaint : public QObject {
public:
    AfterFirstPaint(QWidget* window, std::function<void()> painted) : QObject(window), painted_(std::move(painted)) {
        window->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, this, [this] {
                painted_();
                deleteLater();
            });
        }
        return false;
    }

private:
    std::function<void()> painted_;
};

}  // namespace

void TMainMenuForm::DeviceWindowMade() {
    if (!isVisible()) return;
    FormShow();
    // The window manager puts the windows that came up with the device
    // window on the screen after this one, on top: once they are there, this
    // one comes back over them and takes the keys, as when they all come up
    // together and this one comes last.
    if (DeviceWindow)
        new AfterFirstPaint(DeviceWindow, [this] {
            if (!isVisible()) return;
            raise();
            activateWindow();
        });
}

void TMainMenuForm::FormClose(TCloseAction& action) {
    if (DeviceWindow) DeviceWindow->Close();
    if (action != TCloseAction::caNone && ProgramEnd) ProgramEnd();
}

// ---- Shared steps ------------------------------------------------------------------------------

void TMainMenuForm::SelectPreset(int slot, bool send) {
    if (!DeviceModel::ValidPreset(slot)) return;
    engine_.Model.SelectedPreset = slot;
    morvelant::ShowCurrentPreset(engine_, send);
}

void TMainMenuForm::ShowPattern(int slot) { morvelant::ShowPattern(engine_, slot); }

int TMainMenuForm::SelectedTrack() const {
    const int t = engine_.Model.SelectedTrack;
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
        engine_.Notices.PresetDataChanged.Publish(m->SelectedPreset);
        SelectPreset(m->SelectedPreset, true);
    } else if (scope == 1) {
        int last = m->SelectedPreset;
        for (int slot = 0; slot < kDeviceSlots; ++slot)
            if (m->PresetSlotSelected[size_t(slot)]) {
                apply(slot);
                last = slot;
            }
        engine_.Notices.PresetDataChanged.Publish(-1);
        SelectPreset(last, false);
    } else {
        for (int slot = 0; slot < kDeviceSlots; ++slot) apply(slot);
        engine_.Notices.PresetDataChanged.Publish(-1);
        SelectPreset(0, false);
    }
}

// scope as for presets.
void TMainMenuForm::InitPatterns(int scope) {
    DeviceModel* m = TheModel();
    if (m == nullptr) return;
    if (scope == 0) {
        m->InitPattern(m->SelectedPattern);
        engine_.Notices.PatternDataChanged.Publish(m->SelectedPattern);
        ShowPattern(m->SelectedPattern);
    } else if (scope == 1) {
        int last = m->SelectedPattern;
        for (int slot = 0; slot < kDeviceSlots; ++slot)
            if (m->PatternSlotSelected[size_t(slot)]) {
                m->InitPattern(slot);
                last = slot;
            }
        engine_.Notices.PatternDataChanged.Publish(-1);
        ShowPattern(last);
    } else {
        for (int slot = 0; slot < kDeviceSlots; ++slot) m->InitPattern(slot);
        engine_.Notices.PatternDataChanged.Publish(-1);
        ShowPattern(0);
    }
}

// ---- File menu of the virtual device window -------------------------------------------------

void TMainMenuForm::MainMenuFactoryInitPresetClick() {
    if (DeviceModel* m = TheModel()) {
        m->FactoryInitPreset(m->SelectedPreset);
        SelectPreset(m->SelectedPreset, false);
    }
}

void TMainMenuForm::MainMenuNoStatusPresetClick() {
    if (DeviceModel* m = TheModel()) {
        m->ClearPreset(m->SelectedPreset);
        SelectPreset(m->SelectedPreset, false);
    }
}

void TMainMenuForm::MainMenuMidiCtrlPresetClick() {
    if (DeviceModel* m = TheModel()) {
        m->MidiCtrlInitPreset(m->SelectedPreset);
        SelectPreset(m->SelectedPreset, false);
    }
}

void TMainMenuForm::MainMenuOpenPresetClick() { commands_.Execute("SinglePreset6"); }
void TMainMenuForm::MainMenuSavePresetClick() { commands_.Execute("SinglePreset7"); }

// The display and print commands belong to the print-output and description
// windows; the items of the preset list window's File menu do the same.
void TMainMenuForm::MainMenuDisplayAllFaderParametersClick() { commands_.Execute("DisplayAllFaderParameters1"); }
void TMainMenuForm::MainMenuDisplayFaderKeyDescriptionClick() { commands_.Execute("DisplayFaderKeyDescription1"); }
void TMainMenuForm::MainMenuPrintAllFaderParametersClick() { commands_.Execute("PrintAllFaderParameters1"); }
void TMainMenuForm::MainMenuPrintFaderKeyDescriptionClick() { commands_.Execute("PrintFaderKeyDescription1"); }

void TMainMenuForm::MainMenuSendPresetClick() { commands_.Execute("SinglePreset8"); }

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
    if (DeviceModel* m = TheModel(); m && LoadPreset(*m, m->SelectedPreset)) SelectPreset(m->SelectedPreset, false);
}

void TMainMenuForm::Presets2Click() {
    if (DeviceModel* m = TheModel(); m && LoadPresetFile(*m)) SelectPreset(m->SelectedPreset, false);
}

void TMainMenuForm::PresetsSequentially2Click() {
    if (DeviceModel* m = TheModel(); m && LoadPresetFileSequentially(*m, m->SelectedPreset))
        SelectPreset(m->SelectedPreset, false);
}

void TMainMenuForm::SinglePreset7Click() {
    if (DeviceModel* m = TheModel()) SavePresetAs(*m, m->SelectedPreset);
}

void TMainMenuForm::SelectedPresets5Click() {
    if (DeviceModel* m = TheModel()) SaveSelectedPresets(*m);
}

void TMainMenuForm::AllPresets4Click() {
    if (DeviceModel* m = TheModel()) SaveAllPresetsAs(*m, kDeviceSlots);
}

void TMainMenuForm::SelectedPresetsAsSingleFiles3Click() {
    if (DeviceModel* m = TheModel()) SaveSelectedPresetsToFolder(*m);
}

void TMainMenuForm::AllPresetsAsSingleFiles2Click() {
    if (DeviceModel* m = TheModel()) SavePresetsToFolder(*m);
}

// Sending presets needs the preset list window (its checks, reminder and
// timer): nothing happens until it registers "SinglePreset8" and
// "SelectedPresets6".

void TMainMenuForm::Close2Click() {
    if (auto* w = qobject_cast<TForm*>(FindForm(QStringLiteral("PresetForm")))) w->Close();
}

// ---- File menu of the pattern window -------------------------------------------------------------

void TMainMenuForm::SinglePattern2Click() { InitPatterns(0); }
void TMainMenuForm::SelectedPatterns2Click() { InitPatterns(1); }
void TMainMenuForm::AllPatterns2Click() { InitPatterns(2); }

void TMainMenuForm::SinglePattern3Click() {
    if (DeviceModel* m = TheModel(); m && LoadPattern(*m, m->SelectedPattern)) ShowPattern(m->SelectedPattern);
}

void TMainMenuForm::Patterns1Click() {
    if (DeviceModel* m = TheModel(); m && LoadPatternFile(*m)) ShowPattern(m->SelectedPattern);
}

void TMainMenuForm::PatternsSequentially1Click() {
    if (DeviceModel* m = TheModel(); m && LoadPatternFileSequentially(*m, m->SelectedPattern))
        ShowPattern(m->SelectedPattern);
}

void TMainMenuForm::SinglePattern4Click() {
    if (DeviceModel* m = TheModel()) SavePatternAs(*m, m->SelectedPattern);
}

void TMainMenuForm::SelectedPatterns3Click() {
    if (DeviceModel* m = TheModel()) SaveSelectedPatterns(*m);
}

void TMainMenuForm::AllPatterns3Click() {
    if (DeviceModel* m = TheModel()) SaveAllPatternsAs(*m, kDeviceSlots);
}

void TMainMenuForm::SelectedPatternsAsSingeFiles1Click() {
    if (DeviceModel* m = TheModel()) SavePatternsToFolder(*m);
}

void TMainMenuForm::AllPatternsAsSingleFiles1Click() {
    if (DeviceModel* m = TheModel()) SaveAllPatternsToFolder(*m);
}

// Sending patterns needs the pattern list window (its checks, reminder and
// timer): nothing happens until it registers "SinglePattern5" and
// "SelectedPatterns4".

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
    EnableItemsOf("AllFaderP",
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
    m->CopyTrack(m->SelectedPattern, SelectedTrack());
    SetMenuEnabled(Paste1, true);
    SetMenuEnabled(PastewClipboard1, true);
    EnableItemsOf("PatternParameterForm", {"PasteTrack1", "PasteTrackwClipboard1"});
}

void TMainMenuForm::PasteTrackClick(TrackPart part) {
    DeviceModel* m = TheModel();
    if (m == nullptr || !DeviceModel::ValidPattern(m->SelectedPattern)) return;
    m->PasteTrackPart(part, m->CopiedTrack, m->SelectedPattern, SelectedTrack());
    ShowPattern(m->SelectedPattern);
}

void TMainMenuForm::PasteTrackwClipboardClick(TrackPart part) {
    DeviceModel* m = TheModel();
    if (m == nullptr || !DeviceModel::ValidPattern(m->SelectedPattern)) return;
    m->ExchangeTrackWithClipboard(part, m->SelectedPattern, SelectedTrack());
    ShowPattern(m->SelectedPattern);
}

void TMainMenuForm::ClearTrack1Click() {
    DeviceModel* m = TheModel();
    if (m == nullptr || !DeviceModel::ValidPattern(m->SelectedPattern)) return;
    m->InitTrack(m->SelectedPattern, SelectedTrack());
    ShowPattern(m->SelectedPattern);
}

// ---- Options, help ------------------------------------------------------------------------------------

void TMainMenuForm::ExplorerStayonTop1Click(bool checked) {
    ExplorerStayonTop1->setChecked(checked);
    if (QWidget* w = FindForm(QStringLiteral("MorvelantExplorerForm"))) {
        const bool visible = w->isVisible();
        w->setWindowFlag(Qt::WindowStaysOnTopHint, checked);
        if (visible) w->show();
    }
}

void TMainMenuForm::MainMenuInstructionsClick() { OpenEditorHelp(ProgramPath); }

void TMainMenuForm::MainMenuAboutMorvelantEditorClick() { ShowForm(FindForm(QStringLiteral("AboutForm"))); }

}  // namespace morvelant
