// The window bookkeeping with the real windows, offscreen: the windows are
// created in the editor's order in a temporary program folder, started as the
// editor starts them, and destroyed in reverse order as at its end. A second
// set on the same folder is the next start.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTemporaryDir>

#include <memory>
#include <string>
#include <vector>

#include "platform/IniFile.h"
#include "platform/ProgramPath.h"
#include "shell/About.h"
#include "shell/DevicesInfoForm.h"
#include "shell/FormBookkeeping.h"
#include "shell/Instructions.h"
#include "shell/Main.h"
#include "shell/MainMenu.h"
#include "shell/MidiMonGrid.h"
#include "shell/MorvelantExplorer.h"
#include "tests/support/OwningMainForm.h"
#include "tests/support/QtWidgetApp.h"

namespace morvelant {
namespace {

QApplication* WidgetApp() { return testsupport::WidgetApp(/*offscreen=*/true); }

// A window of a later issue, by its form name.
class StandIn : public TForm {
public:
    explicit StandIn(const char* name) : TForm(QString::fromLatin1(name)) { SetCaption(name); }
};

// The shell's windows in their creation order, as the editor makes them.
class EditorWindows {
public:
    explicit EditorWindows(const std::string& path) {
        // Windows that find their configuration through the program folder.
        SetProgramDirectory(path);
        main = std::make_unique<testsupport::OwningMainForm>(path, &commands);
        menu = std::make_unique<TMainMenuForm>(main->DeviceEngine, commands, path, std::vector<std::string>{});
        MainMenuForm = menu.get();
        MainForm = main.get();
        devices = std::make_unique<TDevicesInfoForm1>(main->ConfigFile(), &main->Routing);
        DevicesInfoForm1 = devices.get();
        main->Model.ShowDevicesInfo1 = devices->ShowDevicesInfo1;
        about = std::make_unique<TAboutForm>();
        AboutForm = about.get();
        instructions = std::make_unique<TInstructionsForm>(path);
        InstructionsForm = instructions.get();
        monitor = std::make_unique<TMidiMonGridForm>(&main->Model);
        MidiMonGridForm = monitor.get();
        presets = std::make_unique<StandIn>("PresetForm");
        explorer = std::make_unique<TMorvelantExplorerForm>(&main->Model, path, &commands);
        MorvelantExplorerForm = explorer.get();
        menu->DeviceWindow = main.get();
    }
    // The start: the menu window shows the virtual device window.
    void Start() {
        menu->Show();
        if (!main->isVisible()) main->Show();
    }
    ~EditorWindows() {
        explorer.reset();
        presets.reset();
        monitor.reset();
        MidiMonGridForm = nullptr;
        instructions.reset();
        about.reset();
        devices.reset();
        DevicesInfoForm1 = nullptr;
        main.reset();
        menu.reset();
        MainMenuForm = nullptr;
        SetProgramDirectory({});
    }

    CommandRegistry commands;
    std::unique_ptr<TMainMenuForm> menu;
    std::unique_ptr<TMainForm> main;
    std::unique_ptr<TDevicesInfoForm1> devices;
    std::unique_ptr<TAboutForm> about;
    std::unique_ptr<TInstructionsForm> instructions;
    std::unique_ptr<TMidiMonGridForm> monitor;
    std::unique_ptr<StandIn> presets;
    std::unique_ptr<TMorvelantExplorerForm> explorer;
};

class MainBookkeepingTest : public ::testing::Test {
protected:
    void SetUp() override {
        WidgetApp();
        ASSERT_TRUE(dir.isValid());
    }
    std::string Path() const { return dir.path().toStdString() + "/"; }
    static bool Ticked(const char* item) {
        QAction* a = FindMenuItem(item);
        return a != nullptr && a->isChecked();
    }
    static bool MenuShown(QMenu* menu) { return menu->menuAction()->isVisible() && menu->isEnabled(); }

    QTemporaryDir dir;
};

TEST_F(MainBookkeepingTest, FirstStartOpensTheDefaultWindows) {
    EditorWindows w(Path());
    w.Start();
    EXPECT_TRUE(w.main->isVisible());
    EXPECT_TRUE(w.devices->isVisible());
    EXPECT_TRUE(w.explorer->isVisible());
    EXPECT_FALSE(w.monitor->isVisible());
    EXPECT_FALSE(w.instructions->isVisible());
    EXPECT_FALSE(w.about->isVisible());
    // The virtual device window enters the list first.
    ASSERT_GE(w.main->OpenWindows().size(), 2u);
    EXPECT_EQ(w.main->OpenWindows().front(), FormBookkeeping::Handle(w.main.get()));
    EXPECT_EQ(w.explorer->StateIndex(0), kIconShown);
    EXPECT_EQ(w.explorer->StateIndex(15), kIconShown);
    EXPECT_EQ(w.explorer->StateIndex(kMonitorNode), kIconHidden);
    EXPECT_TRUE(Ticked("MainFormWindowsVirtualMorvelant"));
    EXPECT_TRUE(Ticked("MainFormWindowsDeviceInfo"));
    EXPECT_TRUE(Ticked("MainFormWindowsExplorer"));
    EXPECT_FALSE(Ticked("MainFormWindowsMidiMonitor"));
    EXPECT_TRUE(w.menu->isVisible());
}

TEST_F(MainBookkeepingTest, WindowsOpenAtExitOpenAgainAtTheNextStart) {
    {
        EditorWindows w(Path());
        w.Start();
        w.monitor->Show();
        w.devices->Close();  // closed before the end: stays closed
        w.instructions->Show();  // not among the reopened windows
        EXPECT_TRUE(w.main->Model.ShowMidiMonitor);
    }  // the end of the run: every window writes its section
    const TIniFile ini(Path() + "Morvelant.cfg");
    EXPECT_TRUE(ini.ReadBool("Options", "ShowMidiMonitor", false));
    EXPECT_FALSE(ini.ReadBool("Options", "ShowDevicesInfo1", true));
    EXPECT_TRUE(ini.ReadBool("Options", "ShowExplorer", false));

    EditorWindows next(Path());
    next.Start();
    EXPECT_TRUE(next.main->isVisible());
    EXPECT_TRUE(next.monitor->isVisible());
    EXPECT_FALSE(next.devices->isVisible());
    EXPECT_TRUE(next.explorer->isVisible());
    EXPECT_FALSE(next.instructions->isVisible());
    EXPECT_EQ(next.explorer->StateIndex(kMonitorNode), kIconShown);
    EXPECT_EQ(next.explorer->StateIndex(14), kIconHidden);
}

TEST_F(MainBookkeepingTest, AClosedExplorerStaysClosedAtTheNextStart) {
    {
        EditorWindows w(Path());
        w.Start();
        w.explorer->Close();
        EXPECT_FALSE(Ticked("MainFormWindowsExplorer"));
    }
    EditorWindows next(Path());
    next.Start();
    EXPECT_FALSE(next.explorer->isVisible());
    EXPECT_TRUE(next.main->Model.ExplorerReady);
}

TEST_F(MainBookkeepingTest, MenusAndTicksFollowTheActiveWindow) {
    EditorWindows w(Path());
    w.Start();
    w.presets->Show();
    EXPECT_EQ(w.menu->Caption(), "PresetForm");
    EXPECT_TRUE(MenuShown(w.menu->PresetFormFileMenu));
    EXPECT_TRUE(MenuShown(w.menu->PresetFormEditMenu));
    EXPECT_FALSE(MenuShown(w.menu->MainFormFileMenu));
    EXPECT_FALSE(MenuShown(w.menu->PatternParameterFormEditMenu));
    EXPECT_TRUE(Ticked("MainFormWindowsPresetForm"));
    EXPECT_EQ(w.explorer->StateIndex(2), kIconShown);

    // The monitor has no menus: only the caption follows it.
    w.monitor->SetCaption("Midi Monitor");
    w.monitor->Show();
    EXPECT_EQ(w.menu->Caption(), "Midi Monitor");
    EXPECT_TRUE(MenuShown(w.menu->PresetFormFileMenu));

    // The virtual device window brings back its own menus.
    w.main->WindowActivated(w.main.get());
    EXPECT_TRUE(MenuShown(w.menu->MainFormFileMenu));
    EXPECT_TRUE(MenuShown(w.menu->MainFormEditMenu));
    EXPECT_FALSE(MenuShown(w.menu->PresetFormFileMenu));

    // Hiding takes the window off the list and its tick away.
    w.presets->Hide();
    EXPECT_FALSE(Ticked("MainFormWindowsPresetForm"));
    EXPECT_EQ(w.explorer->StateIndex(2), kIconHidden);
    for (WindowHandle h : w.main->OpenWindows()) EXPECT_NE(h, FormBookkeeping::Handle(w.presets.get()));
}

TEST_F(MainBookkeepingTest, HidingTheActiveWindowBringsThePreviousOneForward) {
    EditorWindows w(Path());
    w.Start();
    w.presets->Show();
    w.monitor->Show();
    ASSERT_EQ(w.main->OpenWindows().back(), FormBookkeeping::Handle(w.monitor.get()));
    w.monitor->Close();
    EXPECT_TRUE(w.presets->isVisible());
    EXPECT_EQ(w.main->OpenWindows().back(), FormBookkeeping::Handle(w.presets.get()));
    // It was brought forward and activated; its activation switches the
    // menu window back to it.
    QApplication::processEvents();
    EXPECT_EQ(w.menu->Caption(), "PresetForm");
    EXPECT_FALSE(w.main->Model.ShowMidiMonitor);
}

TEST_F(MainBookkeepingTest, MinimisingIsNeitherHidingNorShowing) {
    EditorWindows w(Path());
    w.Start();
    w.presets->Show();
    const std::vector<WindowHandle> before = w.main->OpenWindows();
    w.presets->showMinimized();
    w.presets->showNormal();
    EXPECT_EQ(w.main->OpenWindows(), before);
    EXPECT_TRUE(Ticked("MainFormWindowsPresetForm"));

    // Closing a minimised window is a real hide: it leaves the list and its
    // tick, and is not brought forward again when another window goes.
    w.monitor->Show();
    w.presets->showMinimized();
    ASSERT_TRUE(w.presets->isMinimized());
    w.presets->Close();
    EXPECT_FALSE(w.presets->isVisible());
    EXPECT_FALSE(Ticked("MainFormWindowsPresetForm"));
    for (WindowHandle h : w.main->OpenWindows()) EXPECT_NE(h, FormBookkeeping::Handle(w.presets.get()));
    w.monitor->Close();
    EXPECT_FALSE(w.presets->isVisible());
}

TEST_F(MainBookkeepingTest, TheExplorerShowsAWindowAloneAndServesTheWindowsMenu) {
    EditorWindows w(Path());
    w.Start();
    w.explorer->ShowEditorWindow(w.monitor.get(), true, false);
    EXPECT_TRUE(w.monitor->isVisible());
    EXPECT_FALSE(w.main->isVisible());
    EXPECT_FALSE(w.devices->isVisible());
    EXPECT_TRUE(w.explorer->isVisible());
    EXPECT_TRUE(w.menu->isVisible());
    EXPECT_EQ(w.main->OpenWindows(), std::vector<WindowHandle>{FormBookkeeping::Handle(w.monitor.get())});
    // The Windows menu shows without toggling, and ticks the item.
    w.menu->MainFormWindowsVirtualMorvelant->trigger();
    EXPECT_TRUE(w.main->isVisible());
    EXPECT_TRUE(w.menu->MainFormWindowsVirtualMorvelant->isChecked());
    w.menu->MainFormWindowsVirtualMorvelant->trigger();
    EXPECT_TRUE(w.main->isVisible());
    EXPECT_TRUE(w.menu->MainFormWindowsVirtualMorvelant->isChecked());
}

}  // namespace
}  // namespace morvelant
