// The menu window: the application's main window, a slim strip that carries
// the menu bar with every menu of the editor. All other windows are separate
// top-level windows that its menus show, hide and command.
//
// Besides the menus it holds the program directory and the file named on
// the command line, and its own position in the configuration file.
//
// Of the seven File and Edit menus only the pair of the active editor window
// is shown (ShowMenuPair / ShowMenusOf, called by the open-window
// bookkeeping). Shortcuts work while any window of the program is active;
// where two items that are active together share a key, the one that comes
// first in the menu tree keeps it.
//
// The menu tree is the data of shell/MenuTable.h. Every item runs the command
// registered under its name in the command registry: a window registers the
// commands it carries out when it is created; until then an item falls back
// to this window's own command (the model's operation where there is one),
// and does nothing where there is none.
#pragma once

#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "platform/CommandRegistry.h"
#include "platform/QtFormBase.h"
#include "shell/SendingUnit.h"
#include "shell/WindowBookkeeping.h"

class QAction;
class QMenuBar;

namespace morvelant {

class DeviceModel;

// Hands ProgramPath + "EditorHelp.chm" to the desktop's handler, else the
// help that ships, ProgramPath + "EditorHelp.html"; when neither is there
// the missing HTML page is reported in a message box. The explorer's "Help"
// node uses it too.
void OpenEditorHelp(const std::string& programPath);
// What opens an existing help file (tests replace it); returns success.
using HelpOpener = std::function<bool(const std::string& file)>;
void SetHelpOpener(HelpOpener opener);
inline constexpr char kHelpFileName[] = "EditorHelp.chm";
inline constexpr char kHtmlHelpFileName[] = "EditorHelp.html";

class TMainMenuForm : public TForm {
    Q_OBJECT

public:
    // engine: the device model, routing tables and notifications the
    // commands work on. commands: where the windows register the commands of
    // the menu items; this window registers its own first, and a window
    // created later replaces those it carries out itself. programPath: the
    // program directory (with a trailing '/', or empty for the current
    // folder). arguments: the program's arguments without the program
    // itself; the first one, if any, is the file loaded into slot 64.
    TMainMenuForm(Engine& engine, CommandRegistry& commands, std::string programPath,
                  std::vector<std::string> arguments, QWidget* parent = nullptr);
    ~TMainMenuForm() override;

    std::string ProgramPath;
    std::string CommandLineFile;
    std::string ConfigFile() const { return ProgramPath + "Morvelant.cfg"; }

    // ---- Handed by the composition root ------------------------------------------
    // The virtual device window, shown and closed with this one.
    QPointer<TForm> DeviceWindow;
    // The device window was made after this window showed (the program's
    // start shows this window first): it comes up now, as with this
    // window's show.
    void DeviceWindowMade();
    // The sending dialog, which greys this window's send items while it shows.
    QPointer<TSendingForm> Sending;
    // Called once the window has closed: ends the program's message loop.
    std::function<void()> ProgramEnd;

    // ---- Menu switching (used by the open-window bookkeeping) ----------------
    // Shows and enables this File and this Edit menu and hides and disables
    // the other five; null leaves the group as it is.
    void ShowMenuPair(QMenu* fileMenu, QMenu* editMenu);
    // The same for a pair given by the menus' object names.
    void ShowMenuPair(const MenuPair& pair);
    // The pair of the window with this object name ("MainForm", "AllFaderP",
    // "PresetForm", "PatternForm", "PatternParameterForm",
    // "TrackParameterForm", "EventEditForm"); false (nothing changed) for
    // any other window.
    bool ShowMenusOf(const QWidget* window);
    // The Windows-menu item of a window by its object name, or null.
    QAction* WindowsMenuItem(const QString& formName) const;
    // The object name of the window a Windows-menu item stands for.
    static QString WindowOfItem(const QAction* item);
    // Sets the Options ticks from the model's flags (and the monitor).
    void ShowOptionTicks();
    // Which items keep their shortcut now (recomputed after every change of
    // visibility or enabled state).
    void UpdateShortcuts();
    // The shortcut an item carries in the menu tree, whether it holds it now
    // or not.
    QKeySequence ItemShortcut(const QAction* item) const;

    // A top-level window of the program by its object name, or null.
    static QWidget* FindForm(const QString& objectName);

    // ---- Components ----------------------------------------------------------
    QMenuBar* MainMenu = nullptr;

    // File menu of the virtual device window.
    QMenu* MainFormFileMenu = nullptr;
    QMenu* InitPreset3 = nullptr;
    QAction *MainMenuFactoryInitPreset = nullptr, *MainMenuNoStatusPreset = nullptr, *MainMenuMidiCtrlPreset = nullptr;
    QAction* PresetSnapshot1 = nullptr;
    QAction* MainMenuOpenPreset = nullptr;
    QAction* MainMenuSavePreset = nullptr;
    QAction *MainMenuDisplayAllFaderParameters = nullptr, *MainMenuDisplayFaderKeyDescription = nullptr;
    QAction *MainMenuPrintAllFaderParameters = nullptr, *MainMenuPrintFaderKeyDescription = nullptr;
    QAction* MainMenuSendPreset = nullptr;
    QAction* MainMenuClose = nullptr;
    QAction* MainMenuExit = nullptr;

    // File menu of the preset list window.
    QMenu* PresetFormFileMenu = nullptr;
    QMenu *Init7 = nullptr, *SinglePreset5 = nullptr, *SelectedPresets4 = nullptr, *AllPresets3 = nullptr;
    QAction *FactoryInit1 = nullptr, *NoStatus1 = nullptr, *MidiControllers1 = nullptr;
    QAction *FactoryInit2 = nullptr, *NoStatus2 = nullptr, *MidiControllers2 = nullptr;
    QAction *FactoryInit3 = nullptr, *NoStatus3 = nullptr, *MidiControllers3 = nullptr;
    QMenu* Open1 = nullptr;
    QAction *SinglePreset6 = nullptr, *Presets2 = nullptr, *PresetsSequentially2 = nullptr;
    QMenu* Save1 = nullptr;
    QAction *SinglePreset7 = nullptr, *SelectedPresets5 = nullptr, *AllPresets4 = nullptr;
    QAction *SelectedPresetsAsSingleFiles3 = nullptr, *AllPresetsAsSingleFiles2 = nullptr;
    QMenu* Send1 = nullptr;
    QAction *SinglePreset8 = nullptr, *SelectedPresets6 = nullptr;
    QAction *DisplayAllFaderParameters1 = nullptr, *DisplayFaderKeyDescription1 = nullptr;
    QAction *PrintAllFaderParameters1 = nullptr, *PrintFaderKeyDescription1 = nullptr;
    QAction* Close2 = nullptr;
    QAction* Exit2 = nullptr;

    // File menu of the pattern window.
    QMenu* PatternFormFileMenu = nullptr;
    QMenu* Init15 = nullptr;
    QAction *SinglePattern2 = nullptr, *SelectedPatterns2 = nullptr, *AllPatterns2 = nullptr;
    QMenu* Open2 = nullptr;
    QAction *SinglePattern3 = nullptr, *Patterns1 = nullptr, *PatternsSequentially1 = nullptr;
    QMenu* Save2 = nullptr;
    QAction *SinglePattern4 = nullptr, *SelectedPatterns3 = nullptr, *AllPatterns3 = nullptr;
    QAction *SelectedPatternsAsSingeFiles1 = nullptr, *AllPatternsAsSingleFiles1 = nullptr;
    QMenu* Send2 = nullptr;
    QAction *SinglePattern5 = nullptr, *SelectedPatterns4 = nullptr;
    QAction* Close3 = nullptr;
    QAction* Exit4 = nullptr;

    // Edit menu of the virtual device window.
    QMenu* MainFormEditMenu = nullptr;
    QMenu* CopyFaderKeyParameters2 = nullptr;
    QAction *MainMenuCopyFaderKey = nullptr, *MainMenuPasteFaderKey = nullptr, *MainMenuPastewCFaderKey = nullptr;
    QMenu* Init8 = nullptr;
    QAction *MainMenuFactoryInitFaderKey = nullptr, *MainMenuNoStatusFaderKey = nullptr,
            *MainMenuMidiCtrlFaderKey = nullptr;
    QMenu* FaderParameters2 = nullptr;
    QAction *MainMenuCopyFader = nullptr, *MainMenuPasteFader = nullptr, *MainMenuPastewCFader = nullptr;
    QMenu* Init9 = nullptr;
    QAction *MainMenuFactoryInitFader = nullptr, *MainMenuNoStatusFader = nullptr, *MainMenuMidiCtrlFader = nullptr;
    QMenu* KeyParameters2 = nullptr;
    QAction *MainMenuCopyKey = nullptr, *MainMenuPasteKey = nullptr, *MainMenuPastewCKey = nullptr;
    QMenu* Init10 = nullptr;
    QAction *MainMenuFactoryInitKey = nullptr, *MainMenuNoStatusKey = nullptr, *MainMenuMidiCtrlKey = nullptr;
    QMenu* KeyOnParameters2 = nullptr;
    QAction *MainMenuCopyKeyOn = nullptr, *MainMenuPasteKeyOn = nullptr;
    QMenu* Init11 = nullptr;
    QAction *MainMenuFactoryInitKeyOn = nullptr, *MainMenuNoStatusKeyOn = nullptr, *MainMenuMidiCtrlKeyOn = nullptr;
    QMenu* KeyOffParameters2 = nullptr;
    QAction *MainMenuCopyKeyOff = nullptr, *MainMenuPasteKeyOff = nullptr;
    QMenu* Init12 = nullptr;
    QAction *MainMenuFactoryInitKeyOff = nullptr, *MainMenuNoStatusKeyOff = nullptr, *MainMenuMidiCtrlKeyOff = nullptr;
    QAction* MainMenuSnapShot = nullptr;
    QAction *MainMenuReloadPreset = nullptr, *MainMenuNextPreset = nullptr, *MainMenuPreviousPreset = nullptr;

    // Edit menu of the preset list window.
    QMenu* PresetFormEditMenu = nullptr;
    QAction *SelectAllPresets1 = nullptr, *DeselectAllPresets1 = nullptr, *ToggleSelection2 = nullptr;
    QAction *CopyPreset1 = nullptr, *PastePreset1 = nullptr, *PastePresetwClipboard1 = nullptr;
    QAction* ReloadPreset2 = nullptr;

    // Edit menu of the pattern window.
    QMenu* PatternFormEditMenu = nullptr;
    QAction *SelectAllPatterns1 = nullptr, *DeselectAllPatterns1 = nullptr, *ToggleSelection3 = nullptr;
    QAction *CopyPattern1 = nullptr, *PastePattern1 = nullptr, *PastePatternwClipboard1 = nullptr;

    // Edit menu of the step editor.
    QMenu* PatternParameterFormEditMenu = nullptr;
    QAction* CopyTrack1 = nullptr;
    QMenu* Paste1 = nullptr;
    QAction *UpperParameters1 = nullptr, *OnOffSettings1 = nullptr, *LowerParameter1 = nullptr,
            *AllStepParameters1 = nullptr, *AllTrackParameters1 = nullptr, *TrackStepParameterscompleteTrack1 = nullptr;
    QMenu* PastewClipboard1 = nullptr;
    QAction *UpperParameters2 = nullptr, *OnOffSettings2 = nullptr, *LowerParameters1 = nullptr,
            *AllStepParameters2 = nullptr, *TrackParameters1 = nullptr, *TrackStepParameterscompleteTrack2 = nullptr;
    QAction* ClearTrack1 = nullptr;

    // Options.
    QMenu* MainFormOptionsMenu = nullptr;
    QAction *MainMenuWarningMessages = nullptr, *MainMenuMidiMonitorActive = nullptr, *MainMenuMidiActivity = nullptr,
            *MainMenuMotorFaders = nullptr, *MainMenuFaderAutoSelect = nullptr, *ExplorerStayonTop1 = nullptr;
    QAction *MainMenuHookMode = nullptr, *MainMenuOverdupMode = nullptr;

    // Settings.
    QMenu* MainFormSettingsMenu = nullptr;
    QAction *MainMenuMidiDeviceSettings = nullptr, *MainMenuMidiControllerInitSettings = nullptr,
            *vellixaImportSettings1 = nullptr, *MainMenuDeviceInfo = nullptr;

    // Windows.
    QMenu* MainFormWindowsMenu = nullptr;
    QAction* MainFormWindowsExplorer = nullptr;
    QAction *MainFormWindowsVirtualMorvelant = nullptr, *MainFormWindowsMidiSettings = nullptr;
    QAction *MainFormWindowsPresetForm = nullptr, *MainFormWindowsFaderParameters = nullptr,
            *MainFormWindowsSpecialKeys = nullptr, *MainFormWindowsPresetNotes = nullptr;
    QAction *MainFormWindowsPatternForm = nullptr, *MainFormWindowsEventEdit = nullptr,
            *MainFormWindowsTrackParameters = nullptr, *MainFormWindowsStepParameters = nullptr,
            *MainFormWindowsTrackEdit = nullptr, *MainFormWindowsPatternNotes = nullptr;
    QAction *MainFormWindowsMidiMonitor = nullptr, *MainFormWindowsInstructions = nullptr,
            *MainFormWindowsDeviceInfo = nullptr;

    // Help.
    QMenu* MainFormHelpMenu = nullptr;
    QAction *MainMenuInstructions = nullptr, *MainMenuAboutMorvelantEditor = nullptr;

    // ---- Configuration -------------------------------------------------------
    void LoadWindowSettings();
    void SaveWindowSettings();

    // ---- Handlers (each named after its item) --------------------------------
    // File menu of the virtual device window.
    void MainMenuFactoryInitPresetClick();
    void MainMenuNoStatusPresetClick();
    void MainMenuMidiCtrlPresetClick();
    void MainMenuOpenPresetClick();
    void MainMenuSavePresetClick();
    void MainMenuDisplayAllFaderParametersClick();
    void MainMenuDisplayFaderKeyDescriptionClick();
    void MainMenuPrintAllFaderParametersClick();
    void MainMenuPrintFaderKeyDescriptionClick();
    void MainMenuSendPresetClick();
    void MainMenuExitClick();
    // File menu of the preset list window.
    void FactoryInit1Click();
    void NoStatus1Click();
    void MidiControllers1Click();
    void FactoryInit2Click();
    void NoStatus2Click();
    void MidiControllers2Click();
    void FactoryInit3Click();
    void NoStatus3Click();
    void MidiControllers3Click();
    void SinglePreset6Click();
    void Presets2Click();
    void PresetsSequentially2Click();
    void SinglePreset7Click();
    void SelectedPresets5Click();
    void AllPresets4Click();
    void SelectedPresetsAsSingleFiles3Click();
    void AllPresetsAsSingleFiles2Click();
    void Close2Click();
    void Exit2Click() { MainMenuExitClick(); }
    // File menu of the pattern window.
    void SinglePattern2Click();
    void SelectedPatterns2Click();
    void AllPatterns2Click();
    void SinglePattern3Click();
    void Patterns1Click();
    void PatternsSequentially1Click();
    void SinglePattern4Click();
    void SelectedPatterns3Click();
    void AllPatterns3Click();
    void SelectedPatternsAsSingeFiles1Click();
    void AllPatternsAsSingleFiles1Click();
    void Close3Click();
    void Exit4Click() { MainMenuExitClick(); }
    // Edit menu of the virtual device window.
    void MainMenuCopyFaderKeyClick();
    void MainMenuPasteFaderKeyClick();
    void MainMenuPastewCFaderKeyClick();
    void MainMenuFactoryInitFaderKeyClick();
    void MainMenuNoStatusFaderKeyClick();
    void MainMenuMidiCtrlFaderKeyClick();
    // Edit menu of the step editor.
    void CopyTrack1Click();
    void PasteTrackClick(TrackPart part);
    void PasteTrackwClipboardClick(TrackPart part);
    void ClearTrack1Click();
    // Options.
    void ExplorerStayonTop1Click(bool checked);
    // Help.
    void MainMenuInstructionsClick();
    void MainMenuAboutMorvelantEditorClick();

protected:
    void FormShow() override;
    void FormClose(TCloseAction& action) override;

private:
    DeviceModel* TheModel() const { return &engine_.Model; }
    void BuildMenus();
    void RegisterFallbacks();
    // Sets an item's enabled state and tick as the registry holds them.
    void MirrorItemState(const std::string& item);
    QMenu* AddMenu(QMenuBar* bar, QMenu* parent, const char* name, const char* caption);
    QAction* AddItem(QMenu* menu, const char* name, const char* caption, const QKeySequence& shortcut,
                     std::function<void()> handler, bool enabled = true);
    QAction* AddOption(QMenu* menu, const char* name, const char* caption, std::function<void(QAction*, bool)> handler);
    QAction* AddWindowItem(QMenu* menu, const char* name, const char* caption, const QKeySequence& shortcut,
                           const char* formName);
    void ShowWindowOfItem(QAction* item);
    void InitPresets(int scope, int kind);
    void SelectPreset(int slot, bool send);
    void ShowPattern(int slot);
    void InitPatterns(int scope);
    int SelectedTrack() const;
    void SendNextPattern(bool first);

    Engine& engine_;
    CommandRegistry& commands_;
    struct ShortcutEntry {
        QAction* action;
        QKeySequence keys;
    };
    std::vector<ShortcutEntry> shortcuts_;  // in menu-tree order
    std::vector<QMenu*> switchedMenus_;  // the seven File and Edit menus
    bool updatingShortcuts_ = false;
};

extern TMainMenuForm* MainMenuForm;

}  // namespace morvelant
