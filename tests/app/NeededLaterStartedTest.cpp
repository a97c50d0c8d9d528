// What the started editor leaves until it is first needed: the windows
// that the start does not show are made after its first frame (or at the
// first input before it), and what a user sees in them and what the run
// writes are the same as with every window made at the start; the drum kit
// library is read when a note menu first opens, and then every note menu
// offers the kits.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMenu>
#include <QThread>

#include <fstream>
#include <map>
#include <string>

#include "app/PickerSupport.h"
#include "faders/AllFaderParameters.h"
#include "patterns/Drumkit.h"
#include "patterns/EventEdit.h"
#include "engine/Tool.h"
#include "patterns/PatternParameter.h"
#include "platform/IniFile.h"
#include "presets/PresetFormUnit.h"
#include "platform/SafeFile.h"
#include "shell/WindowBookkeeping.h"
#include "tests/support/StartedEditor.h"
#include "tests/support/UserInput.h"

namespace morvelant {
namespace {

using testsupport::StartedEditor;

// The windows the start leaves for later when the configuration says they
// were closed (or that it never shows).
const char* const kLaterWindows[] = {"NotesForm",       "AllFaderP",         "SpecialKeyForm",       "PrintOutputForm",
                                     "TrackParameterForm", "PatternParameterForm", "EventEditForm",
                                     "PatternNotesForm", "AboutForm",          "InstructionsForm",     "DescriptionForm",
                                     "InitCtrlForm",     "TrackEditForm"};

// Every window that the start reopens, closed at the last exit; the event
// editor at a place of its own.
void WriteAllClosed(const std::string& folder) {
    TIniFile ini(folder + "Morvelant.cfg");
    for (const ReopenEntry& e : ReopenOrder())
        if (std::string(e.formName) != "PresetForm" && std::string(e.formName) != "PatternForm")
            ini.WriteBool(e.section, e.key, false);
    // A place wholly on the test screen, which the screen leaves as it is.
    ini.WriteInteger("Event Edit Form", "Left", 13);
    ini.WriteInteger("Event Edit Form", "Top", 50);  // below the menu strip
}

void WaitForTheRest(StartedEditor& editor) { editor.WaitForTheRest(); }

std::string Contents(const std::string& path) {
    std::vector<uint8_t> bytes;
    ReadWholeFile(path, bytes, 64u << 20);
    return {bytes.begin(), bytes.end()};
}

TEST(NeededLaterStarted, TheWindowsTheStartDoesNotShowComeAfterItsFirstFrameWhereTheConfigurationPutsThem) {
    StartedEditor editor;
    WriteAllClosed(editor.Folder());
    editor.StartAsTheProgram();
    EXPECT_EQ(EventEditForm, nullptr);
    EXPECT_EQ(AllFaderP, nullptr);
    ASSERT_TRUE(editor.Windows().RestPending());
    EXPECT_TRUE(MainForm->isVisible());
    WaitForTheRest(editor);
    ASSERT_FALSE(editor.Windows().RestPending());
    ASSERT_NE(EventEditForm, nullptr);
    EXPECT_FALSE(EventEditForm->isVisible());
    MainMenuForm->MainFormWindowsEventEdit->trigger();
    QApplication::processEvents();
    EXPECT_TRUE(EventEditForm->isVisible());
    EXPECT_EQ(EventEditForm->pos(), QPoint(13, 50));
    EXPECT_TRUE(MainMenuForm->MainFormWindowsEventEdit->isChecked());
}

TEST(NeededLaterStarted, TheMenuWindowComesAloneAndTheWindowsTheStartShowsFollowItsFirstFrame) {
    StartedEditor editor;
    editor.StartAsTheProgram(false);
    ASSERT_NE(MainMenuForm, nullptr);
    EXPECT_TRUE(MainMenuForm->isVisible());
    EXPECT_EQ(MainForm, nullptr);
    EXPECT_EQ(PresetForm, nullptr);
    EXPECT_TRUE(editor.Windows().MenuWindowAlone());
    for (int i = 0; i < 400 && editor.Windows().MenuWindowAlone(); ++i) {
        QApplication::processEvents();
        QThread::msleep(5);
    }
    ASSERT_NE(MainForm, nullptr);
    EXPECT_TRUE(MainForm->isVisible());
    ASSERT_NE(PresetForm, nullptr);
    EXPECT_TRUE(PresetForm->isVisible());
    // Once the others are up, the menu window has the keys, as when it comes last.
    for (int i = 0; i < 40 && QApplication::activeWindow() != MainMenuForm; ++i) {
        QApplication::processEvents();
        QThread::msleep(5);
    }
    EXPECT_EQ(QApplication::activeWindow(), MainMenuForm);
}

TEST(NeededLaterStarted, AKeyBeforeTheFirstFrameFindsEveryWindowMade) {
    StartedEditor editor;
    WriteAllClosed(editor.Folder());
    editor.StartAsTheProgram(false);
    ASSERT_TRUE(editor.Windows().MenuWindowAlone());
    userinput::FocusOn(MainMenuForm);
    userinput::KeyClick(MainMenuForm, Qt::Key_Shift);
    EXPECT_FALSE(editor.Windows().RestPending());
    ASSERT_NE(MainForm, nullptr);
    EXPECT_TRUE(MainForm->isVisible());
    MainMenuForm->MainFormWindowsEventEdit->trigger();
    QApplication::processEvents();
    ASSERT_NE(EventEditForm, nullptr);
    EXPECT_EQ(EventEditForm->pos(), QPoint(13, 50));
}

// What one run shows in each window left for later, after the device
// changed the current preset and pattern while those windows were not made
// yet, and the files it leaves.
struct RunSeen {
    std::map<std::string, QImage> shown;
    std::map<std::string, std::string> menus;  // each item: enabled, checked, shown
    QStringList visible;  // the windows shown
    std::string config, presets, patterns;
};

RunSeen RunOnce(bool asTheProgram, bool allClosed) {
    StartedEditor editor;
    if (allClosed) WriteAllClosed(editor.Folder());
    if (asTheProgram)
        editor.StartAsTheProgram();
    else
        editor.Start();
    DeviceModel& m = editor.Model();
    Engine& engine = editor.Windows().Context().DeviceEngine;
    m.SelectedPreset = 3;
    ShowCurrentPreset(engine, false);
    ShowPattern(engine, 5);
    WaitForTheRest(editor);
    EXPECT_FALSE(editor.Windows().RestPending());
    RunSeen run;
    for (const QAction* a : MainMenuForm->findChildren<QAction*>())
        if (!a->objectName().isEmpty())
            run.menus[a->objectName().toStdString()] = std::string(a->isEnabled() ? "e" : "-") +
                (a->isChecked() ? "c" : "-") + (a->isVisible() ? "v" : "-");
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && !w->objectName().isEmpty()) run.visible << w->objectName();
    run.visible.sort();
    for (const char* name : kLaterWindows) {
        auto* form = qobject_cast<TForm*>(TMainMenuForm::FindForm(QString::fromLatin1(name)));
        if (form == nullptr) {
            ADD_FAILURE() << name;
            continue;
        }
        form->Show();
        QApplication::processEvents();
        run.shown[name] = form->grab().toImage();
        form->Hide();
    }
    editor.Stop();
    run.config = Contents(editor.Folder() + "Morvelant.cfg");
    run.presets = Contents(editor.Folder() + "Config.MVR");
    run.patterns = Contents(editor.Folder() + "Config.MVT");
    return run;
}

TEST(NeededLaterStarted, WhatTheWindowsShowAndWhatTheRunWritesIsAsWithEveryWindowMadeAtTheStart) {
    for (bool allClosed : {false, true}) {
        SCOPED_TRACE(allClosed ? "windows closed at the last exit" : "first start");
        const RunSeen eager = RunOnce(false, allClosed);
        const RunSeen later = RunOnce(true, allClosed);
        for (const char* name : kLaterWindows) EXPECT_TRUE(eager.shown.at(name) == later.shown.at(name)) << name;
        EXPECT_EQ(eager.menus, later.menus);
        EXPECT_EQ(eager.visible, later.visible);
        EXPECT_EQ(eager.config, later.config);
        EXPECT_EQ(eager.presets, later.presets);
        EXPECT_EQ(eager.patterns, later.patterns);
        EXPECT_FALSE(later.config.empty());
    }
}

void WriteKit(const std::string& path, const std::string& maker, const std::string& kit) {
    std::ofstream(path, std::ios::binary) << "[k]\r\nmanufacturer=" << maker << "\r\nmodel=\r\ndrumkit=" << kit
                                          << "\r\n36=Kick\r\n";
}

// The captions at the end of a note menu, where the kits' makers go.
QStringList Makers(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions())
        if (a->menu() != nullptr) out << a->text();
    return out;
}

TEST(NeededLaterStarted, TheKitsAreReadWhenANoteMenuFirstOpensAndThenEveryNoteMenuHasThem) {
    StartedEditor editor;
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(editor.Folder() + "Drumkits")));
    WriteKit(editor.Folder() + "Drumkits/A.MVD", "Acme", "Standard");
    editor.Start();
    EXPECT_EQ(DrumkitForm, nullptr) << "the kit library was read at the start";
    // A file that comes after the start but before any kit list was shown
    // is read with the others.
    WriteKit(editor.Folder() + "Drumkits/B.MVD", "Bolt", "Room");
    QMenu* stepNotes = PatternParameterForm->StepNotesPopupMenu;
    const int before = int(stepNotes->actions().size());
    userinput::LookInto(stepNotes);
    ASSERT_NE(DrumkitForm, nullptr);
    EXPECT_EQ(int(stepNotes->actions().size()), before + 2);
    const QStringList expected{QStringLiteral("Acme"), QStringLiteral("Bolt")};
    EXPECT_EQ(Makers(stepNotes), expected);
    // Every note menu has them once, opened again or not.
    EXPECT_EQ(Makers(editor.Windows().Pickers().FaderPopups.NotesPopupMenu), expected);
    EXPECT_EQ(Makers(EventEditForm->PianoPopupMenu), expected);
    userinput::LookInto(EventEditForm->PianoPopupMenu);
    userinput::LookInto(stepNotes);
    EXPECT_EQ(Makers(EventEditForm->PianoPopupMenu), expected);
    EXPECT_EQ(int(stepNotes->actions().size()), before + 2);
}

}  // namespace
}  // namespace morvelant
