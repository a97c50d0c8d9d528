// The fader parameter and special keys windows in the started editor: an
// edit made here is what the virtual device window then sends, the menu
// window's fader items reach the window, and the windows reopen at start.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QScrollBar>
#include <QToolButton>

#include <vector>

#include "engine/Tool.h"
#include "faders/AllFaderParameters.h"
#include "faders/InitCtrl.h"
#include "faders/SpecialKeyEdit.h"
#include "platform/IniFile.h"
#include "tests/support/UserInput.h"
#include "tests/support/StartedEditor.h"

namespace morvelant {
namespace {

using testsupport::StartedEditor;

QAction* MenuItem(const char* name) { return MainMenuForm->findChild<QAction*>(QString::fromLatin1(name)); }

TEST(StartedFaderWindow, AnEditHereIsWhatTheVirtualFaderSends) {
    StartedEditor editor;
    editor.Start();
    ASSERT_NE(AllFaderP, nullptr);
    DeviceContext& context = editor.Windows().Context();
    std::vector<MidiEvent> sent;
    context.DeviceEngine.OutputSink = [&sent](int, const MidiEvent& e) { sent.push_back(e); };
    context.Routing.NumOutDevs = 1;
    context.Routing.Out1DeviceFlags[0] = true;

    SelectFader(context.DeviceEngine, 2);
    AllFaderP->NextFader->click();  // fader 4
    ASSERT_EQ(editor.Model().SelectedFader, 3);
    EXPECT_TRUE(MainForm->FaderSelectLedList[3]->Bright());
    EXPECT_TRUE(AllFaderP->FaderSelectLedList[3]->Bright());
    AllFaderP->FaderEvent->setCurrentIndex(14);  // Note Event
    AllFaderP->FaderMidiData1->setCurrentIndex(60);
    AllFaderP->SpeedButtons[9]->click();  // channel 10
    EXPECT_EQ(editor.Model().Presets[0].FaderStatus(3), 0x99);

    MainForm->FaderList[3]->setValue(0);  // the top: the range's maximum
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back().status, 0x99);
    EXPECT_EQ(sent.back().data1, 60);
}

TEST(StartedFaderWindow, MenuItemsReachTheWindow) {
    StartedEditor editor;
    editor.Start();
    DeviceModel& model = editor.Model();
    SelectFader(editor.Windows().Context().DeviceEngine, 5);
    model.Presets[0].KeyOnStatus(5) = 0x97;
    EXPECT_FALSE(MenuItem("MainMenuPasteKeyOff")->isEnabled());
    MenuItem("MainMenuCopyKeyOn")->trigger();
    EXPECT_TRUE(MenuItem("MainMenuPasteKeyOff")->isEnabled());
    EXPECT_TRUE(AllFaderP->PasteKeyOffParameters1->isEnabled());
    SelectFader(editor.Windows().Context().DeviceEngine, 6);
    MenuItem("MainMenuPasteKeyOff")->trigger();
    EXPECT_EQ(model.Presets[0].KeyOffStatus(6), 0x97);
    EXPECT_EQ(AllFaderP->KeyOffEvent->currentIndex(), 0);  // the window shows the pasted event

    model.FaderStates[6].Value = 99;
    MenuItem("MainMenuSnapShot")->trigger();
    EXPECT_EQ(model.Presets[0].FaderValue(6), 99);
    MenuItem("MainMenuNextPreset")->trigger();
    EXPECT_EQ(model.SelectedPreset, 1);
    EXPECT_EQ(AllFaderP->Caption().substr(0, 12), "(Preset 2)  ");
    EXPECT_EQ(MainForm->Caption(), "Virtual Morvelant           (Preset 2)  " + model.GetPresetDeviceName(1));
}

// Both windows opened from the menus and driven by wheel and keys; the
// numbers typed into the dialog are what the controller init then gives.
TEST(StartedFaderWindow, WheelKeysAndTheInitDialogFromTheMenus) {
    using namespace userinput;
    StartedEditor editor;
    editor.Start();
    DeviceModel& model = editor.Model();
    MenuItem("MainFormWindowsFaderParameters")->trigger();
    ASSERT_TRUE(AllFaderP->isVisible());
    const int before = AllFaderP->Fader->value();
    Wheel(AllFaderP->MasterSlaveMode, 1);
    EXPECT_EQ(AllFaderP->Fader->value(), before - 5);
    EXPECT_EQ(model.Presets[0].MasterSlaveMode(0), 0);
    QLineEdit* value = AllFaderP->FaderValue->Edit;
    FocusOn(value);
    KeyClick(value, Qt::Key_A, Qt::ControlModifier);
    KeyClicks(value, QStringLiteral("64"));
    KeyClick(value, Qt::Key_Return);
    EXPECT_EQ(model.Presets[0].FaderValue(0), 64);

    MenuItem("MainMenuMidiControllerInitSettings")->trigger();
    ASSERT_NE(InitCtrlForm, nullptr);
    ASSERT_TRUE(InitCtrlForm->isVisible());
    Click(InitCtrlForm->RangeButtons[kKeyonValue]);  // Key On values count up
    FocusOn(InitCtrlForm->KeyonValueMin);
    KeyClick(InitCtrlForm->KeyonValueMin, Qt::Key_A, Qt::ControlModifier);
    KeyClicks(InitCtrlForm->KeyonValueMin, QStringLiteral("110"));
    KeyClick(InitCtrlForm->KeyonValueMin, Qt::Key_Return);
    EXPECT_EQ(InitCtrlForm->KeyonValueMax->text(), QStringLiteral("110"));
    KeyClick(InitCtrlForm->KeyonValueMin, Qt::Key_Escape);
    EXPECT_FALSE(InitCtrlForm->isVisible());
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activeWindow(), AllFaderP);

    MenuItem("MainMenuMidiCtrlKey")->trigger();
    EXPECT_EQ(model.Presets[0].KeyOnMidiData2(0), 110);
    EXPECT_EQ(AllFaderP->KeyOnMidiData2->currentIndex(), 110);
}

TEST(StartedFaderWindow, OpenWindowsReopenAtTheNextStart) {
    StartedEditor editor;
    editor.Start();
    editor.Commands().Execute("MainFormWindowsFaderParameters");
    editor.Commands().Execute("MainFormWindowsSpecialKeys");
    EXPECT_TRUE(AllFaderP->isVisible());
    EXPECT_TRUE(MenuItem("MainFormWindowsFaderParameters")->isChecked());
    editor.Stop();
    TIniFile ini(editor.Folder() + "Morvelant.cfg");
    EXPECT_TRUE(ini.ReadBool("Fader Parameters Form", "Show Fader Parameters Form", false));
    EXPECT_TRUE(ini.ReadBool("Options", "ShowSpecialKeys", false));
    editor.Start();
    QApplication::processEvents();
    EXPECT_TRUE(AllFaderP->isVisible());
    EXPECT_TRUE(SpecialKeyForm->isVisible());
}

}  // namespace
}  // namespace morvelant
