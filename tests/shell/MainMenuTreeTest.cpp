// The menu window's menu tree, item by item against the table of every
// caption, shortcut and starting state; which File and Edit menus show; and
// which item holds a shortcut that two items share.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QTemporaryDir>

#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/DeviceContext.h"
#include "shell/Main.h"
#include "shell/MainMenu.h"
#include "tests/support/QtWidgetApp.h"

namespace morvelant {
namespace {

QApplication* WidgetApp() { return testsupport::WidgetApp(/*offscreen=*/true); }

// One row of the tree in depth-first order; "-" is a separator.
struct Row {
    int depth;
    std::string name;
    std::string caption;
    std::string keys;
    bool enabled = true;
    bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Row& r) {
    return os << r.depth << " " << r.name << " \"" << r.caption << "\" [" << r.keys << "] "
              << (r.enabled ? "on" : "off");
}

Row Sep(int depth) { return {depth, "-", "", "", true}; }

// Every item of the menu bar as the editor's menus have always been.
const std::vector<Row>& ExpectedTree() {
    static const std::vector<Row> rows = {
        {0, "MainFormFileMenu", "&File", "", true},
        {1, "InitPreset3", "&Init Preset", "", true},
        {2, "MainMenuFactoryInitPreset", "&Factory Init", "", true},
        {2, "MainMenuNoStatusPreset", "&No Status", "", true},
        {2, "MainMenuMidiCtrlPreset", "&Midi Controllers", "", true},
        {1, "PresetSnapshot1", "Preset Snapshot", "", true},
        Sep(1),
        {1, "MainMenuOpenPreset", "&Open Preset", "Ctrl+O", true},
        Sep(1),
        {1, "MainMenuSavePreset", "&Save Preset", "Ctrl+S", true},
        Sep(1),
        {1, "MainMenuDisplayAllFaderParameters", "&Display All Fader Parameters", "Ctrl+Alt+D", true},
        {1, "MainMenuDisplayFaderKeyDescription", "&Display Fader && Key Description", "Ctrl+D", true},
        Sep(1),
        {1, "MainMenuPrintAllFaderParameters", "&Print All Fader Parameters", "Ctrl+Alt+P", true},
        {1, "MainMenuPrintFaderKeyDescription", "&Print Fader && Key Description", "Ctrl+P", true},
        Sep(1),
        {1, "MainMenuSendPreset", "Se&nd Preset", "Ctrl+N", true},
        Sep(1),
        {1, "MainMenuClose", "&Close", "", true},
        Sep(1),
        {1, "MainMenuExit", "E&xit", "", true},

        {0, "PresetFormFileMenu", "&File", "", false},
        {1, "Init7", "&Init", "", true},
        {2, "SinglePreset5", "Single Preset", "", true},
        {3, "FactoryInit1", "Factory Init", "", true},
        {3, "NoStatus1", "No Status", "", true},
        {3, "MidiControllers1", "Midi Controllers", "", true},
        {2, "SelectedPresets4", "Selected Presets", "", true},
        {3, "FactoryInit2", "Factory Init", "", true},
        {3, "NoStatus2", "No Status", "", true},
        {3, "MidiControllers2", "Midi Controllers", "", true},
        {2, "AllPresets3", "All Presets", "", true},
        {3, "FactoryInit3", "Factory Init", "", true},
        {3, "NoStatus3", "No Status", "", true},
        {3, "MidiControllers3", "Midi Controllers", "", true},
        Sep(1),
        {1, "Open1", "&Open", "", true},
        {2, "SinglePreset6", "Single Preset", "", true},
        {2, "Presets2", "Presets", "", true},
        {2, "PresetsSequentially2", "Presets Sequentially", "", true},
        Sep(1),
        {1, "Save1", "&Save", "", true},
        {2, "SinglePreset7", "Single Preset", "", true},
        {2, "SelectedPresets5", "Selected Presets", "", true},
        {2, "AllPresets4", "All Presets", "", true},
        Sep(2),
        {2, "SelectedPresetsAsSingleFiles3", "Selected Presets As Single Files", "", true},
        {2, "AllPresetsAsSingleFiles2", "All Presets As Single Files", "", true},
        Sep(1),
        {1, "Send1", "Se&nd", "", true},
        {2, "SinglePreset8", "Single Preset", "", true},
        {2, "SelectedPresets6", "Selected Presets", "", true},
        Sep(1),
        {1, "DisplayAllFaderParameters1", "&Display All Fader Parameters", "Ctrl+Alt+D", true},
        {1, "DisplayFaderKeyDescription1", "&Display Fader && Key Description", "Ctrl+D", true},
        Sep(1),
        {1, "PrintAllFaderParameters1", "&Print All Fader Parameters", "Ctrl+Alt+P", true},
        {1, "PrintFaderKeyDescription1", "&Print Fader && Key Description", "Ctrl+P", true},
        Sep(1),
        {1, "Close2", "&Close", "", true},
        Sep(1),
        {1, "Exit2", "E&xit", "", true},

        {0, "PatternFormFileMenu", "&File", "", false},
        {1, "Init15", "&Init", "", true},
        {2, "SinglePattern2", "Single Pattern", "", true},
        {2, "SelectedPatterns2", "Selected Patterns", "", true},
        {2, "AllPatterns2", "All Patterns", "", true},
        Sep(1),
        {1, "Open2", "&Open", "", true},
        {2, "SinglePattern3", "Single Pattern", "", true},
        {2, "Patterns1", "Patterns", "", true},
        {2, "PatternsSequentially1", "Patterns Sequentially", "", true},
        Sep(1),
        {1, "Save2", "&Save", "", true},
        {2, "SinglePattern4", "Single Pattern", "", true},
        {2, "SelectedPatterns3", "Selected Patterns", "", true},
        {2, "AllPatterns3", "All Patterns", "", true},
        Sep(2),
        {2, "SelectedPatternsAsSingeFiles1", "Selected Patterns As Singe Files", "", true},
        {2, "AllPatternsAsSingleFiles1", "All Patterns As Single Files", "", true},
        Sep(1),
        {1, "Send2", "Se&nd", "", true},
        {2, "SinglePattern5", "Single Pattern", "", true},
        {2, "SelectedPatterns4", "Selected Patterns", "", true},
        Sep(1),
        {1, "Close3", "&Close", "", true},
        Sep(1),
        {1, "Exit4", "E&xit", "", true},

        {0, "MainFormEditMenu", "&Edit", "", true},
        {1, "CopyFaderKeyParameters2", "Fader && Key Parameters", "", true},
        {2, "MainMenuCopyFaderKey", "Copy", "", true},
        {2, "MainMenuPasteFaderKey", "Paste", "", false},
        {2, "MainMenuPastewCFaderKey", "Paste w/Clipboard", "", false},
        Sep(2),
        {2, "Init8", "Init", "", true},
        {3, "MainMenuFactoryInitFaderKey", "Factory Init", "", true},
        {3, "MainMenuNoStatusFaderKey", "No Status", "", true},
        {3, "MainMenuMidiCtrlFaderKey", "Midi Controllers", "", true},
        Sep(1),
        {1, "FaderParameters2", "Fader Parameters", "", true},
        {2, "MainMenuCopyFader", "Copy", "", true},
        {2, "MainMenuPasteFader", "Paste", "", false},
        {2, "MainMenuPastewCFader", "Paste w/Clipboard", "", false},
        Sep(2),
        {2, "Init9", "Init", "", true},
        {3, "MainMenuFactoryInitFader", "Factory Init", "", true},
        {3, "MainMenuNoStatusFader", "No Status", "", true},
        {3, "MainMenuMidiCtrlFader", "Midi Controllers", "", true},
        Sep(1),
        {1, "KeyParameters2", "Key Parameters", "", true},
        {2, "MainMenuCopyKey", "Copy", "", true},
        {2, "MainMenuPasteKey", "Paste", "", false},
        {2, "MainMenuPastewCKey", "Paste w/Clipboard", "", false},
        Sep(2),
        {2, "Init10", "Init", "", true},
        {3, "MainMenuFactoryInitKey", "Factory Init", "", true},
        {3, "MainMenuNoStatusKey", "No Status", "", true},
        {3, "MainMenuMidiCtrlKey", "Midi Controller", "", true},
        {1, "KeyOnParameters2", "Key On Parameters", "", true},
        {2, "MainMenuCopyKeyOn", "Copy", "", true},
        {2, "MainMenuPasteKeyOn", "Paste", "", false},
        Sep(2),
        {2, "Init11", "Init", "", true},
        {3, "MainMenuFactoryInitKeyOn", "Factory Init", "", true},
        {3, "MainMenuNoStatusKeyOn", "No Status", "", true},
        {3, "MainMenuMidiCtrlKeyOn", "Midi Controller", "", true},
        {1, "KeyOffParameters2", "Key Off Parameters", "", true},
        {2, "MainMenuCopyKeyOff", "Copy", "", true},
        {2, "MainMenuPasteKeyOff", "Paste", "", false},
        Sep(2),
        {2, "Init12", "Init", "", true},
        {3, "MainMenuFactoryInitKeyOff", "Factory Init", "", true},
        {3, "MainMenuNoStatusKeyOff", "No Status", "", true},
        {3, "MainMenuMidiCtrlKeyOff", "Midi Controller", "", true},
        Sep(1),
        {1, "MainMenuSnapShot", "Fader Snapshot", "", true},
        Sep(1),
        {1, "MainMenuReloadPreset", "Reload Preset", "", true},
        {1, "MainMenuNextPreset", "Next Preset", "", true},
        {1, "MainMenuPreviousPreset", "Previous Preset", "", true},

        {0, "PresetFormEditMenu", "&Edit", "", false},
        {1, "SelectAllPresets1", "Select All Presets", "", true},
        {1, "DeselectAllPresets1", "Deselect All Presets", "", true},
        {1, "ToggleSelection2", "Toggle Selection", "", true},
        Sep(1),
        {1, "CopyPreset1", "Copy Preset", "", true},
        {1, "PastePreset1", "Paste Preset", "", false},
        {1, "PastePresetwClipboard1", "Paste Preset w/Clipboard", "", false},
        Sep(1),
        {1, "ReloadPreset2", "Reload Preset", "", true},

        {0, "PatternFormEditMenu", "&Edit", "", false},
        {1, "SelectAllPatterns1", "Select All Patterns", "", true},
        {1, "DeselectAllPatterns1", "Deselect All Patterns", "", true},
        {1, "ToggleSelection3", "Toggle Selection", "", true},
        Sep(1),
        {1, "CopyPattern1", "Copy Pattern", "", true},
        {1, "PastePattern1", "Paste Pattern", "", false},
        {1, "PastePatternwClipboard1", "Paste Pattern w/Clipboard", "", false},

        {0, "PatternParameterFormEditMenu", "&Edit", "", false},
        {1, "CopyTrack1", "Copy Track", "", true},
        {1, "Paste1", "Paste", "", false},
        {2, "UpperParameters1", "Upper Step Parameters", "", true},
        {2, "OnOffSettings1", "On/Off Step Settings", "", true},
        {2, "LowerParameter1", "Lower Step Parameters", "", true},
        {2, "AllStepParameters1", "All Step Parameters", "", true},
        Sep(2),
        {2, "AllTrackParameters1", "All Track Parameters", "", true},
        Sep(2),
        {2, "TrackStepParameterscompleteTrack1", "Track && Step Parameters (complete Track)", "", true},
        {1, "PastewClipboard1", "Paste w/Clipboard", "", false},
        {2, "UpperParameters2", "Upper Step Parameters", "", true},
        {2, "OnOffSettings2", "On/Off Step Settings", "", true},
        {2, "LowerParameters1", "Lower Step Parameters", "", true},
        {2, "AllStepParameters2", "All Step Parameters", "", true},
        Sep(2),
        {2, "TrackParameters1", "All Track Parameters", "", true},
        Sep(2),
        {2, "TrackStepParameterscompleteTrack2", "Track && Step Parameters (complete Track)", "", true},
        Sep(1),
        {1, "ClearTrack1", "Clear Track", "", true},

        {0, "MainFormOptionsMenu", "&Options", "", true},
        {1, "MainMenuWarningMessages", "Warning Messages", "", true},
        {1, "MainMenuMidiMonitorActive", "Midi Monitor Active", "", true},
        {1, "MainMenuMidiActivity", "Midi Activity", "", true},
        {1, "MainMenuMotorFaders", "Motor Faders", "", true},
        {1, "MainMenuFaderAutoSelect", "Fader Auto Select", "", true},
        {1, "ExplorerStayonTop1", "Explorer Stay on Top", "", true},
        Sep(1),
        {1, "MainMenuHookMode", "Hook Mode", "", true},
        {1, "MainMenuOverdupMode", "Overdup Mode", "", true},

        {0, "MainFormSettingsMenu", "&Settings", "", true},
        {1, "MainMenuMidiDeviceSettings", "Midi Device Settings...", "", true},
        {1, "MainMenuMidiControllerInitSettings", "Midi Controller Init Settings...", "", true},
        {1, "vellixaImportSettings1", "vellixa Import Settings...", "", true},
        Sep(1),
        {1, "MainMenuDeviceInfo", "Device Info", "", true},

        {0, "MainFormWindowsMenu", "&Windows", "", true},
        {1, "MainFormWindowsExplorer", "Explorer", "Shift+F1", true},
        Sep(1),
        {1, "MainFormWindowsVirtualMorvelant", "Virtual Morvelant", "Shift+F2", true},
        {1, "MainFormWindowsMidiSettings", "* Midi Settings", "Shift+F3", true},
        Sep(1),
        {1, "MainFormWindowsPresetForm", "Presets", "Shift+F4", true},
        {1, "MainFormWindowsFaderParameters", "* Fader && Key Parameters", "Shift+F5", true},
        {1, "MainFormWindowsSpecialKeys", "* Special Keys", "Ctrl+K", true},
        {1, "MainFormWindowsPresetNotes", "* Preset Notes", "Ctrl+N", true},
        Sep(1),
        {1, "MainFormWindowsPatternForm", "Patterns", "Shift+F6", true},
        {1, "MainFormWindowsEventEdit", "* Event Editor", "Shift+F7", true},
        {1, "MainFormWindowsTrackParameters", "* Track Parameters", "Shift+F8", true},
        {1, "MainFormWindowsStepParameters", "* Step Parameters", "Shift+F9", true},
        {1, "MainFormWindowsTrackEdit", "* Track Edit Tools", "Ctrl+T", true},
        {1, "MainFormWindowsPatternNotes", "* Pattern Notes", "Ctrl+Alt+N", true},
        {1, "test1", "Play Pattern on PC", "", true},
        Sep(1),
        {1, "MainFormWindowsMidiMonitor", "Midi Monitor", "Shift+F10", true},
        {1, "MainFormWindowsInstructions", "Instructions", "", true},
        {1, "MainFormWindowsDeviceInfo", "Devices Info", "", true},

        {0, "MainFormHelpMenu", "&Help", "", true},
        {1, "MainMenuInstructions", "Help", "F1", true},
        {1, "MainMenuAboutMorvelantEditor", "About Morvelant Editor", "", true},
    };
    return rows;
}

void Walk(const TMainMenuForm& form, const QList<QAction*>& actions, int depth, std::vector<Row>& out) {
    for (QAction* a : actions) {
        if (a->isSeparator()) {
            out.push_back(Sep(depth));
        } else if (QMenu* m = a->menu()) {
            out.push_back({depth, m->objectName().toStdString(), m->title().toStdString(), "", a->isEnabled()});
            Walk(form, m->actions(), depth + 1, out);
        } else {
            out.push_back({depth, a->objectName().toStdString(), a->text().toStdString(),
                           form.ItemShortcut(a).toString(QKeySequence::PortableText).toStdString(), a->isEnabled()});
        }
    }
}

class MainMenuTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        WidgetApp();
        ASSERT_TRUE(dir.isValid());
        menu = std::make_unique<TMainMenuForm>(context.DeviceEngine, commands, dir.path().toStdString(),
                                               std::vector<std::string>{});
        MainMenuForm = menu.get();
    }
    void TearDown() override {
        menu.reset();
        EXPECT_EQ(MainMenuForm, nullptr);
    }
    QAction* Item(const char* name) { return menu->findChild<QAction*>(QString::fromLatin1(name)); }
    QMenu* Menu(const char* name) { return menu->findChild<QMenu*>(QString::fromLatin1(name)); }
    std::string Keys(const char* name) {
        return Item(name)->shortcut().toString(QKeySequence::PortableText).toStdString();
    }

    DeviceContext context;
    CommandRegistry commands;
    QTemporaryDir dir;
    std::unique_ptr<TMainMenuForm> menu;
};

TEST_F(MainMenuTreeTest, EveryItemHasItsCaptionShortcutAndStartingState) {
    std::vector<Row> actual;
    Walk(*menu, menu->MainMenu->actions(), 0, actual);
    const std::vector<Row>& expected = ExpectedTree();
    const size_t n = std::min(actual.size(), expected.size());
    for (size_t i = 0; i < n; ++i) ASSERT_EQ(actual[i], expected[i]) << "row " << i;
    EXPECT_EQ(actual.size(), expected.size());

    // Every named row is reachable by name, and names are unique.
    for (const Row& r : expected) {
        if (r.name == "-") continue;
        const QString name = QString::fromStdString(r.name);
        EXPECT_EQ(menu->findChildren<QObject*>(name).size(), 1) << r.name;
    }
}

TEST_F(MainMenuTreeTest, WindowCaptionAndTicksStartAsDesigned) {
    EXPECT_EQ(menu->Caption(), "MainMenuForm");
    EXPECT_EQ(menu->objectName(), QStringLiteral("MainMenuForm"));
    for (QAction* a : menu->MainFormOptionsMenu->actions()) {
        if (a->isSeparator()) continue;
        EXPECT_TRUE(a->isCheckable()) << a->objectName().toStdString();
        EXPECT_FALSE(a->isChecked()) << a->objectName().toStdString();
    }
    for (QAction* a : menu->MainFormWindowsMenu->actions()) {
        if (a->isSeparator()) continue;
        EXPECT_TRUE(a->isCheckable()) << a->objectName().toStdString();
        EXPECT_FALSE(a->isChecked()) << a->objectName().toStdString();
    }
    // Only the virtual device window's File and Edit menus show at first.
    for (const char* name : {"MainFormFileMenu", "MainFormEditMenu", "MainFormOptionsMenu", "MainFormSettingsMenu",
                             "MainFormWindowsMenu", "MainFormHelpMenu"})
        EXPECT_TRUE(Menu(name)->menuAction()->isVisible()) << name;
    for (const char* name : {"PresetFormFileMenu", "PatternFormFileMenu", "PresetFormEditMenu", "PatternFormEditMenu",
                             "PatternParameterFormEditMenu"})
        EXPECT_FALSE(Menu(name)->menuAction()->isVisible()) << name;
}

TEST_F(MainMenuTreeTest, ActiveWindowChoosesTheFileAndEditMenus) {
    struct Case {
        const char* window;
        const char* file;
        const char* edit;
    };
    const Case cases[] = {
        {"PresetForm", "PresetFormFileMenu", "PresetFormEditMenu"},
        {"AllFaderP", "MainFormFileMenu", "MainFormEditMenu"},
        {"PatternForm", "PatternFormFileMenu", "PatternFormEditMenu"},
        {"EventEditForm", "PatternFormFileMenu", "PatternParameterFormEditMenu"},
        {"TrackParameterForm", "PatternFormFileMenu", "PatternParameterFormEditMenu"},
        {"PatternParameterForm", "PatternFormFileMenu", "PatternParameterFormEditMenu"},
        {"MainForm", "MainFormFileMenu", "MainFormEditMenu"},
    };
    const char* switched[] = {
        "MainFormFileMenu",   "PresetFormFileMenu",  "PatternFormFileMenu",         "MainFormEditMenu",
        "PresetFormEditMenu", "PatternFormEditMenu", "PatternParameterFormEditMenu"};
    for (const Case& c : cases) {
        QWidget window;
        window.setObjectName(QString::fromLatin1(c.window));
        ASSERT_TRUE(menu->ShowMenusOf(&window)) << c.window;
        for (const char* name : switched) {
            const bool on = std::string(name) == c.file || std::string(name) == c.edit;
            EXPECT_EQ(Menu(name)->menuAction()->isVisible(), on) << c.window << " " << name;
            EXPECT_EQ(Menu(name)->menuAction()->isEnabled(), on) << c.window << " " << name;
        }
    }
    // Any other window leaves the menus as they are.
    QWidget settings;
    settings.setObjectName(QStringLiteral("MidiSettingsForm"));
    EXPECT_FALSE(menu->ShowMenusOf(&settings));
    EXPECT_TRUE(Menu("MainFormFileMenu")->menuAction()->isVisible());
    EXPECT_FALSE(menu->ShowMenusOf(nullptr));
}

TEST_F(MainMenuTreeTest, SharedShortcutsGoToTheFirstLiveItemOnly) {
    // The virtual device window's menus: its File items hold the keys, the
    // hidden preset File menu's twins hold none, and "Send Preset" comes
    // before "* Preset Notes" in the tree.
    EXPECT_EQ(Keys("MainMenuDisplayFaderKeyDescription"), "Ctrl+D");
    EXPECT_EQ(Keys("DisplayFaderKeyDescription1"), "");
    EXPECT_EQ(Keys("MainMenuPrintAllFaderParameters"), "Ctrl+Alt+P");
    EXPECT_EQ(Keys("PrintAllFaderParameters1"), "");
    EXPECT_EQ(Keys("MainMenuSendPreset"), "Ctrl+N");
    EXPECT_EQ(Keys("MainFormWindowsPresetNotes"), "");
    EXPECT_EQ(Keys("MainFormWindowsSpecialKeys"), "Ctrl+K");

    // The preset list window's menus: the keys move to its File menu, and
    // with "Send Preset" hidden, Ctrl+N opens the preset notes.
    menu->ShowMenuPair(menu->PresetFormFileMenu, menu->PresetFormEditMenu);
    EXPECT_EQ(Keys("MainMenuDisplayFaderKeyDescription"), "");
    EXPECT_EQ(Keys("DisplayFaderKeyDescription1"), "Ctrl+D");
    EXPECT_EQ(Keys("MainMenuOpenPreset"), "");
    EXPECT_EQ(Keys("MainMenuSendPreset"), "");
    EXPECT_EQ(Keys("MainFormWindowsPresetNotes"), "Ctrl+N");

    // Back to the virtual device window; a disabled "Send Preset" (a timed
    // send is running) leaves Ctrl+N to the notes as well.
    menu->ShowMenuPair(menu->MainFormFileMenu, menu->MainFormEditMenu);
    EXPECT_EQ(Keys("MainMenuSendPreset"), "Ctrl+N");
    menu->MainMenuSendPreset->setEnabled(false);
    EXPECT_EQ(Keys("MainMenuSendPreset"), "");
    EXPECT_EQ(Keys("MainFormWindowsPresetNotes"), "Ctrl+N");
    menu->MainMenuSendPreset->setEnabled(true);
    EXPECT_EQ(Keys("MainMenuSendPreset"), "Ctrl+N");
    EXPECT_EQ(Keys("MainFormWindowsPresetNotes"), "");

    // No two items ever hold the same key at once.
    for (QMenu* file : {menu->MainFormFileMenu, menu->PresetFormFileMenu, menu->PatternFormFileMenu}) {
        menu->ShowMenuPair(file, nullptr);
        std::set<std::string> held;
        for (QAction* a : menu->findChildren<QAction*>()) {
            const std::string k = a->shortcut().toString(QKeySequence::PortableText).toStdString();
            if (k.empty()) continue;
            EXPECT_TRUE(held.insert(k).second) << k;
            EXPECT_EQ(a->shortcutContext(), Qt::ApplicationShortcut) << k;
        }
    }
}

TEST_F(MainMenuTreeTest, CommandLineNamesTheFileForSlot64) {
    EXPECT_EQ(menu->CommandLineFile, "");
    EXPECT_EQ(menu->ProgramPath, dir.path().toStdString() + "/");
    EXPECT_EQ(menu->ConfigFile(), dir.path().toStdString() + "/Morvelant.cfg");

    TMainMenuForm withFile(context.DeviceEngine, commands, dir.path().toStdString() + "/",
                           {"/music/My Set.MVR", "ignored"});
    EXPECT_EQ(withFile.CommandLineFile, "/music/My Set.MVR");
    EXPECT_EQ(withFile.ProgramPath, dir.path().toStdString() + "/");
}

}  // namespace
}  // namespace morvelant
