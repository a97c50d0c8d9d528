// The preset and pattern list windows and their notes windows in the started
// editor: shown at their places on a first start, the working sets with their
// edit buffers kept from one run to the next, a file named on the command line
// landing from slot 64 on, and the menu window's items reaching them.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>

#include "engine/FileCommands.h"
#include "patterns/PatternFormUnit.h"
#include "patterns/PatternNotesUnit.h"
#include "presets/NotesUnit.h"
#include "presets/PresetFormUnit.h"
#include "shell/MidiSettings.h"
#include "tests/support/ListWindowTest.h"
#include "tests/support/StartedEditor.h"

namespace morvelant {
namespace {

using testsupport::DropOn;
using testsupport::StartedEditor;

void Trigger(const char* item) {
    auto* action = MainMenuForm->findChild<QAction*>(QString::fromLatin1(item));
    ASSERT_NE(action, nullptr) << item;
    action->trigger();
}

TEST(ListWindowsStarted, FirstStartShowsBothListsWithOneBufferEach) {
    StartedEditor editor;
    editor.Start();
    ASSERT_NE(PresetForm, nullptr);
    ASSERT_NE(PatternForm, nullptr);
    EXPECT_TRUE(PresetForm->isVisible());
    EXPECT_TRUE(PatternForm->isVisible());
    EXPECT_FALSE(NotesForm->isVisible());
    EXPECT_FALSE(PatternNotesForm->isVisible());
    struct {
        TForm* form;
        int left, top;
    } places[] = {{PresetForm, 0, 289}, {PatternForm, 369, 289}, {NotesForm, 203, 116}, {PatternNotesForm, 203, 116}};
    // A shown window lies wholly on the screen, its frame around its place.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (auto p : places) {
        const std::string name = p.form->objectName().toStdString();
        if (!p.form->isVisible()) {
            EXPECT_EQ(p.form->Left(), p.left) << name;
            EXPECT_EQ(p.form->Top(), p.top) << name;
            continue;
        }
        const QRect frame = p.form->frameGeometry();
        EXPECT_TRUE(screen.contains(frame)) << name;
        EXPECT_TRUE(frame.contains(p.left, p.top)) << name;
    }
    EXPECT_EQ(PresetForm->EditBuffersComboBox->count(), 1);
    EXPECT_EQ(PatternForm->EditList[0]->text(), "Seq 1");

    // Renaming the current preset shows at once in the virtual device window.
    QLineEdit* edit = PresetForm->EditList[0];
    edit->setText("Lead{");
    Q_EMIT edit->textEdited(edit->text());
    EXPECT_EQ(MainForm->Caption(), "Virtual Morvelant           (Preset 1)  Lead    ");

    // The notes button of the virtual device window opens the preset notes;
    // the Windows menu ticks what is open.
    MainForm->findChild<QPushButton*>("NotesButton")->click();
    EXPECT_TRUE(NotesForm->isVisible());
    EXPECT_TRUE(MainMenuForm->MainFormWindowsPresetNotes->isChecked());
    EXPECT_TRUE(MainMenuForm->MainFormWindowsPatternForm->isChecked());
    PatternForm->Close();
    EXPECT_FALSE(MainMenuForm->MainFormWindowsPatternForm->isChecked());
    EXPECT_FALSE(editor.Model().ShowPatterns);

    // A preset dump received from the device brings the preset list back.
    PresetForm->Close();
    editor.Windows().Context().Notices.ShowPresetList.Publish();
    EXPECT_TRUE(PresetForm->isVisible());
}

TEST(ListWindowsStarted, BuffersComeBackAtTheNextStart) {
    StartedEditor editor;
    editor.Start();
    for (const char* name : {"One", "Two"}) {
        editor.Model().SetPresetDeviceName(5, name);
        PresetForm->SelectPreset(5, false);
        PresetForm->DragExchange = false;
        DropOn(PresetForm->EditBuffersComboBox, PresetForm->MakeDragData(5));
    }
    EXPECT_EQ(PresetForm->EditBuffersComboBox->count(), 3);
    editor.Model().PatternEditBufferCount = 5;
    editor.Stop();

    editor.Start();
    EXPECT_EQ(editor.Model().PresetEditBufferCount, 3);
    EXPECT_EQ(editor.Model().PatternEditBufferCount, 5);
    ASSERT_EQ(PresetForm->EditBuffersComboBox->count(), 3);
    EXPECT_EQ(PresetForm->EditBuffersComboBox->itemText(2), "Two     ");
    EXPECT_EQ(PatternForm->EditBuffersComboBox->count(), 5);
}

TEST(ListWindowsStarted, ACommandLineFileLandsFromSlot64) {
    StartedEditor editor;
    {
        DeviceModel source;
        source.SetPresetDeviceName(0, "First");
        source.SetPresetDeviceName(1, "Second");
        ASSERT_TRUE(WritePresetFile(source, editor.Folder() + "two.MVR", 2));
        source.SetPatternName(0, "Pat one");
        ASSERT_TRUE(WritePatternFile(source, editor.Folder() + "one.MVT", 1));
    }
    editor.Start({editor.Folder() + "two.MVR"});
    EXPECT_EQ(editor.Model().SelectedPreset, 64);
    EXPECT_EQ(editor.Model().GetPresetDeviceName(65), "Second  ");
    EXPECT_EQ(PresetForm->EditBuffersComboBox->count(), 2);
    EXPECT_EQ(editor.Model().SelectedPattern, 0);
    editor.Stop();

    editor.Start({editor.Folder() + "one.MVT"});
    EXPECT_EQ(editor.Model().SelectedPattern, 64);
    EXPECT_EQ(editor.Model().GetPatternName(64), "Pat one ");
}

TEST(ListWindowsStarted, TheMenuWindowsItemsReachTheListWindows) {
    StartedEditor editor;
    editor.Start();
    DeviceContext& context = editor.Windows().Context();
    context.Routing.NumOutDevs = 1;
    context.Routing.PCMorvelantDeviceIndex = 1;  // no device chosen
    editor.Model().PresetSlotSelected[4] = true;
    Trigger("SelectedPresets6");
    EXPECT_FALSE(PresetForm->Timer1->isActive());
    ASSERT_EQ(editor.Dialogs.Messages().size(), 1u);
    EXPECT_EQ(editor.Dialogs.Messages()[0],
              "Preset could not be sent!\nNo PC->Morvelant device selected in Midi Settings");
    editor.Model().PatternSlotSelected[4] = true;
    Trigger("SelectedPatterns4");
    EXPECT_FALSE(PatternForm->Timer1->isActive());
    EXPECT_EQ(editor.Dialogs.Messages().size(), 2u);

    std::vector<int> sent;
    context.DeviceEngine.OutputSink = [&sent](int port, const MidiEvent&) { sent.push_back(port); };
    context.Routing.PCMorvelantDeviceIndex = 0;
    editor.Model().Warnings = false;
    MidiSettingsForm->Edit1->setText("letters");
    Trigger("SelectedPresets6");
    EXPECT_FALSE(sent.empty());
    EXPECT_EQ(PresetForm->Timer1->interval(), 3000);
    EXPECT_EQ(MidiSettingsForm->Edit1->text(), "3000");
    EXPECT_TRUE(SendingForm->isVisible());
    EXPECT_TRUE(PresetForm->Timer1->isActive());
    SendingForm->Button1Click();  // Cancel
    EXPECT_FALSE(PresetForm->Timer1->isActive());

    PatternForm->CopyPattern1->trigger();  // from the window's own popup
    EXPECT_TRUE(MainMenuForm->PastePatternwClipboard1->isEnabled());
    Trigger("CopyPreset1");
    EXPECT_TRUE(MainMenuForm->PastePreset1->isEnabled());
    EXPECT_TRUE(PresetForm->PastePreset1->isEnabled());
    editor.Model().SelectedPreset = 9;
    Trigger("PastePreset1");
    EXPECT_EQ(editor.Model().GetPresetDeviceName(9), "Preset 1");
    EXPECT_EQ(PresetForm->EditList[9]->text(), "Preset 1");
}

}  // namespace
}  // namespace morvelant
