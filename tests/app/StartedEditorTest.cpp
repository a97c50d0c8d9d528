// The editor started in this process through the composition root: what a
// user sees right after the start, and the menu commands as the menu window
// looks them up.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QScrollBar>

#include "engine/MidiPortSet.h"
#include "engine/Tool.h"
#include "midikit/MidiKitIn.h"
#include "midikit/MidiKitOut.h"
#include "platform/IniFile.h"
#include "shell/MidiMonGrid.h"
#include "shell/MidiSettings.h"
#include "tests/support/StartedEditor.h"

namespace morvelant {
namespace {

using testsupport::StartedEditor;

TEST(StartedEditor, RestoredFaderSelectionIsShownEverywhereFromTheStart) {
    StartedEditor editor;
    TIniFile ini(editor.Folder() + "Morvelant.cfg");
    ini.WriteInteger("Options", "Selected Fader", 7);  // fader 8
    editor.Start();
    QApplication::processEvents();

    ASSERT_NE(MainForm, nullptr);
    EXPECT_EQ(editor.Model().SelectedFader, 7);
    for (int f = 0; f < kFaderCount; ++f) EXPECT_EQ(MainForm->FaderSelectLedList[size_t(f)]->Bright(), f == 7) << f;
    EXPECT_EQ(MainForm->MainStatusBar->PanelText(3), "Fader 08");
    EXPECT_EQ(MainForm->KeyOnStatusBar->PanelText(2), "KeyOn 08");
    EXPECT_EQ(MainForm->KeyOffStatusBar->PanelText(2), "KeyOff 08");

    // The end: every window is gone with its global, the selection is kept.
    editor.Stop();
    EXPECT_EQ(MainForm, nullptr);
    EXPECT_EQ(MainMenuForm, nullptr);
    EXPECT_EQ(MidiMonGridForm, nullptr);
    EXPECT_EQ(ini.ReadInteger("Options", "Selected Fader", -1), 7);
}

// A configuration file that is a named pipe is not waited on: the editor
// comes up with its defaults, says once what the file is, and leaves it be.
TEST(StartedEditor, AConfigurationThatIsANamedPipeDoesNotKeepTheWindowsAway) {
    StartedEditor editor;
    const std::string config = editor.Folder() + "Morvelant.cfg";
    ASSERT_EQ(::mkfifo(config.c_str(), 0600), 0);
    ::alarm(120);  // a reader that waits for a writer would never return
    editor.Start();
    EXPECT_TRUE(MainMenuForm->isVisible());
    editor.Stop();
    ::alarm(0);
    int told = 0;
    for (const std::string& m : editor.Dialogs.Messages())
        told += m.find(config + "\" is a named pipe, not a file") != std::string::npos;
    EXPECT_EQ(told, 1);
    struct stat st {};
    ASSERT_EQ(::stat(config.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(StartedEditor, EveryWindowHearsTheEngine) {
    StartedEditor editor;
    editor.Start();
    ASSERT_NE(MidiMonGridForm, nullptr);
    if (!MidiMonGridForm->MonitorEnabled()) MidiMonGridForm->Enable1Click();
    const int logged = MidiMonGridForm->Rows.EventCount;
    // An event the engine puts to a port is logged by the monitor and lights
    // the lamp of the virtual device window.
    DeviceContext& context = editor.Windows().Context();
    context.Routing.NumOutDevs = 1;
    context.Routing.Out1DeviceFlags[0] = true;
    context.Model.ShowMidiActivity = true;
    SendToVirtualOutputs(context.DeviceEngine, MidiEvent{0xFFFFFFFF, 0xB0, 7, 100, 0}, 1);
    MidiMonGridForm->SyncGrid();  // rows are made once a frame
    EXPECT_EQ(MidiMonGridForm->Rows.EventCount, logged + 1);
    EXPECT_TRUE(MainForm->MidiOutLed->Bright());
}

TEST(StartedEditor, AWindowBuiltLaterTakesItsMenuCommandsAndGivesThemBack) {
    StartedEditor editor;
    editor.Start();
    // "Send Preset" does nothing until the preset list window registers it.
    int sends = 0;
    MainMenuForm->MainMenuSendPreset->trigger();
    editor.Commands().Register("SinglePreset8", [&sends] { ++sends; });
    MainMenuForm->MainMenuSendPreset->trigger();
    MainMenuForm->SinglePreset8->trigger();
    EXPECT_EQ(sends, 2);
    editor.Commands().Unregister("SinglePreset8");
    MainMenuForm->SinglePreset8->trigger();
    EXPECT_EQ(sends, 2);

    // The options of the virtual device window and the monitor are theirs.
    const bool hook = editor.Model().HookMode;
    MainMenuForm->MainMenuHookMode->trigger();
    EXPECT_EQ(editor.Model().HookMode, !hook);
    EXPECT_EQ(MainMenuForm->MainMenuHookMode->isChecked(), !hook);
    const bool monitoring = MidiMonGridForm->MonitorEnabled();
    MainMenuForm->MainMenuMidiMonitorActive->trigger();
    EXPECT_EQ(MidiMonGridForm->MonitorEnabled(), !monitoring);
    EXPECT_EQ(MainMenuForm->MainMenuMidiMonitorActive->isChecked(), !monitoring);
}

TEST(StartedEditor, ThePortsBelongToTheEngineAndStayOpenWhenTheSettingsWindowCloses) {
    StartedEditor editor;
    TIniFile ini(editor.Folder() + "Morvelant.cfg");
    ini.WriteBool("Out1DeviceFlags", "Loopback 2", true);
    ini.WriteBool("In1DeviceFlags", "Loopback 3", true);
    editor.Start();
    ASSERT_NE(MidiPorts, nullptr);
    const MidiRouting& r = editor.Windows().Context().Routing;
    ASSERT_EQ(MidiSettingsForm->MidiKit, MidiPorts->MidiKit.get());
    MidiSettingsForm->Show();
    MidiSettingsForm->close();
    QApplication::processEvents();
    ASSERT_NE(r.Out[1], nullptr);
    EXPECT_TRUE(r.Out[1]->IsOpen());
    ASSERT_NE(r.In[2], nullptr);
    EXPECT_TRUE(r.In[2]->IsOpen());
    editor.Stop();
    EXPECT_TRUE(ini.ReadBool("Out1DeviceFlags", "Loopback 2", false));
    EXPECT_TRUE(ini.ReadBool("In1DeviceFlags", "Loopback 3", false));
}

}  // namespace
}  // namespace morvelant
