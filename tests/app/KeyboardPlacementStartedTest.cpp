// The started editor from the keyboard and on a small screen: the list
// windows' navigation keys, the fader window's numbers stepping with Up and
// Down, a picker opening by the control that called it, windows stored for a
// larger screen coming back wholly onto this one, windows that keep their
// size, and the explorer clear of the lists at the default layout.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

#include <functional>

#include "app/PickerSupport.h"
#include "faders/AllFaderParameters.h"
#include "patterns/EventEdit.h"
#include "patterns/PatternFormUnit.h"
#include "patterns/PatternNotesUnit.h"
#include "patterns/PatternParameter.h"
#include "patterns/TrackParameter.h"
#include "patterns/Values1.h"
#include "platform/IniFile.h"
#include "presets/NotesUnit.h"
#include "presets/PresetFormUnit.h"
#include "presets/Printout.h"
#include "shell/DevicesInfoForm.h"
#include "shell/MidiMonGrid.h"
#include "shell/MidiSettings.h"
#include "shell/MorvelantExplorer.h"
#include "tests/support/StartedEditor.h"
#include "tests/support/UserInput.h"

namespace morvelant {
namespace {

using testsupport::StartedEditor;
using userinput::KeyClick;

QRect Screen() { return QGuiApplication::primaryScreen()->availableGeometry(); }

TEST(KeyboardStarted, NavigationKeysMoveTheCurrentSlotOfBothLists) {
    StartedEditor editor;
    editor.Start();
    DeviceModel& m = editor.Model();
    const struct {
        TSlotListForm* list;
        int* current;
    } lists[] = {{PresetForm, &m.SelectedPreset}, {PatternForm, &m.SelectedPattern}};
    const auto ctrl = Qt::ControlModifier;
    const struct {
        int key;
        Qt::KeyboardModifiers mods;
        int slot;
    } steps[] = {{Qt::Key_Down, {}, 6},      {Qt::Key_Up, {}, 5},        {Qt::Key_PageDown, {}, 21},
                 {Qt::Key_PageDown, {}, 37}, {Qt::Key_PageUp, {}, 21},   {Qt::Key_End, ctrl, 63},
                 {Qt::Key_Down, {}, 63},     {Qt::Key_PageUp, {}, 47},   {Qt::Key_Home, ctrl, 0},
                 {Qt::Key_Up, {}, 0},        {Qt::Key_PageUp, {}, 0}};
    for (const auto& l : lists) {
        ASSERT_NE(l.list, nullptr);
        l.list->Show();
        userinput::FocusOn(l.list->EditList[5]);
        userinput::Click(l.list->EditList[5]);
        ASSERT_EQ(*l.current, 5);
        for (const auto& s : steps) {
            KeyClick(l.list, s.key, s.mods);
            EXPECT_EQ(*l.current, s.slot) << l.list->objectName().toStdString() << " key " << s.key;
            EXPECT_EQ(QApplication::focusWidget(), l.list->EditList[size_t(s.slot)]);
        }
    }
}

TEST(KeyboardStarted, FaderNumbersStepWithUpAndDownAndTheirArrowsAreNoTabStops) {
    StartedEditor editor;
    editor.Start();
    ASSERT_NE(AllFaderP, nullptr);
    AllFaderP->Show();
    auto& preset = editor.Model().Presets[0];
    preset.FaderValue(0) = 64;
    preset.FaderThreshold(0) = 62;
    AllFaderP->ShowParameters(0, 0);
    const struct {
        ArrowEdit* edit;
        std::vector<int> keys;
        int shown;
        std::function<int32_t()> stored;
    } rows[] = {
        {AllFaderP->FaderValue, {Qt::Key_Up, Qt::Key_Up, Qt::Key_Down}, 65, [&] { return preset.FaderValue(0); }},
        {AllFaderP->FaderMax, {Qt::Key_Down, Qt::Key_Down}, 125, [&] { return preset.FaderMax(0); }},
        {AllFaderP->FaderMin, {Qt::Key_Up}, 1, [&] { return preset.FaderMin(0); }},
        // Held at the top of its range.
        {AllFaderP->FaderThreshold, {Qt::Key_Up, Qt::Key_Up, Qt::Key_Up}, 63,
         [&] { return preset.FaderThreshold(0); }},
    };
    for (const auto& r : rows) {
        userinput::FocusOn(r.edit->Edit);
        for (int key : r.keys) KeyClick(r.edit->Edit, key);
        const std::string name = r.edit->Edit->objectName().toStdString();
        EXPECT_EQ(r.edit->Edit->text(), QString::number(r.shown)) << name;
        EXPECT_EQ(r.stored(), r.shown) << name;
        // Tab goes on to the next control, past the arrows.
        KeyClick(r.edit->Edit, Qt::Key_Tab);
        QWidget* next = QApplication::focusWidget();
        EXPECT_NE(next, r.edit->Up) << name;
        EXPECT_NE(next, r.edit->Down) << name;
        EXPECT_NE(next, r.edit->Edit) << name;
    }
}

TEST(KeyboardStarted, APickerOpensBelowTheControlThatCalledIt) {
    StartedEditor editor;
    editor.Start();
    ASSERT_NE(AllFaderP, nullptr);
    ASSERT_NE(Values1Form, nullptr);
    AllFaderP->Show();
    AllFaderP->ShowParameters(0, 0);
    // The last caller left the picker far away.
    Values1Form->move(Screen().right() - 50, Screen().bottom() - 50);
    QComboBox* list = AllFaderP->FaderMidiData2;
    userinput::FocusOn(list);
    userinput::Click(list, Qt::RightButton, {5, 5});
    QMenu* menu = editor.Windows().Pickers().FaderPopups.ValuesPopupMenu;
    ASSERT_TRUE(menu->isVisible());
    menu->close();
    const QPoint below = list->mapToGlobal(QPoint(0, list->height()));
    ASSERT_LE(below.y() + Values1Form->height(), Screen().bottom());  // it fits there
    QPoint shownAt;
    QTimer::singleShot(0, [&] {
        shownAt = Values1Form->pos();
        KeyClick(Values1Form, Qt::Key_Escape);
    });
    menu->findChild<QAction*>(QStringLiteral("NumericalValues3"))->trigger();
    EXPECT_EQ(shownAt, below);
}

// Whether the window lies on the screen, as far as its size lets it.
bool OnScreen(const QWidget* w) {
    const QRect f = w->frameGeometry(), s = Screen();
    return f.left() >= s.left() && f.top() >= s.top() && (f.right() <= s.right() || f.left() == s.left()) &&
        (f.bottom() <= s.bottom() || f.top() == s.top());
}

TEST(PlacementStarted, WindowsStoredForALargerScreenComeWhollyOntoThisOne) {
    StartedEditor editor;
    const struct {
        const char* section;
        std::function<TForm*()> form;
    } windows[] = {
        {"Main Menu Form", [] { return MainMenuForm; }},
        {"Main Form", [] { return MainForm; }},
        {"Explorer Form", [] { return MorvelantExplorerForm; }},
        {"Preset Form", [] { return PresetForm; }},
        {"Pattern Form", [] { return PatternForm; }},
        {"Notes Form", [] { return NotesForm; }},
        {"Pattern Notes Form", [] { return PatternNotesForm; }},
        {"Fader Parameters Form", [] { return AllFaderP; }},
        {"Step Parameters Form", [] { return PatternParameterForm; }},
        {"Track Parameters Form", [] { return TrackParameterForm; }},
        {"Event Edit Form", [] { return EventEditForm; }},
        {"Midi Monitor Grid Form", [] { return MidiMonGridForm; }},
        {"Midi Settings Form", [] { return MidiSettingsForm; }},
        {"Devices Info1 Form", [] { return DevicesInfoForm1; }},
        {"PrintOutputForm", [] { return PrintOutputForm; }},
    };
    {
        // Where they were on a screen twice as large.
        TIniFile ini(editor.Folder() + "Morvelant.cfg");
        for (const auto& w : windows) {
            ini.WriteInteger(w.section, "Left", Screen().width() * 2 - 300);
            ini.WriteInteger(w.section, "Top", Screen().height() * 2 - 200);
        }
        ini.UpdateFile();
    }
    editor.Start();
    for (const auto& w : windows) {
        TForm* form = w.form();
        ASSERT_NE(form, nullptr) << w.section;
        form->Show();
        EXPECT_TRUE(OnScreen(form)) << w.section << " at " << form->x() << "," << form->y();
    }
}

TEST(PlacementStarted, WindowsThatDoNotLayOutTheirContentsKeepTheirSize) {
    StartedEditor editor;
    editor.Start();
    for (TForm* form : std::initializer_list<TForm*>{MainMenuForm, PresetForm, PatternForm}) {
        ASSERT_NE(form, nullptr);
        const QSize before = form->size();
        form->resize(1000, 800);
        form->resize(before.width() / 2, before.height() / 2);
        EXPECT_EQ(form->height(), before.height()) << form->objectName().toStdString();
        if (form != MainMenuForm) EXPECT_EQ(form->size(), before) << form->objectName().toStdString();
    }
    // The monitor and the notes fill the window; a narrow monitor scrolls to
    // the columns it cuts off.
    ASSERT_NE(MidiMonGridForm, nullptr);
    MidiMonGridForm->Show();
    MidiMonGridForm->resize(250, 150);
    QApplication::processEvents();
    EXPECT_EQ(MidiMonGridForm->MidiLogGrid->geometry(), MidiMonGridForm->rect());
    EXPECT_TRUE(MidiMonGridForm->MidiLogGrid->horizontalScrollBar()->isVisible());
    for (TForm* notes : std::initializer_list<TForm*>{NotesForm, PatternNotesForm}) {
        notes->Show();
        notes->resize(150, 90);
        QApplication::processEvents();
        auto* edit = notes->findChild<QWidget*>(notes == NotesForm ? QStringLiteral("NotesRichEdit")
                                                                   : QStringLiteral("PatternNotesRichEdit"));
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->geometry(), notes->rect());
    }
}

TEST(PlacementStarted, AtTheDefaultLayoutTheExplorerCoversNeitherList) {
    StartedEditor editor;
    editor.Start();
    ASSERT_NE(MorvelantExplorerForm, nullptr);
    MorvelantExplorerForm->Show();
    EXPECT_TRUE(MorvelantExplorerForm->StayOnTop);
    for (TForm* list : std::initializer_list<TForm*>{PresetForm, PatternForm}) {
        list->Show();
        EXPECT_FALSE(MorvelantExplorerForm->frameGeometry().intersects(list->frameGeometry()))
            << list->objectName().toStdString();
    }
}

}  // namespace
}  // namespace morvelant
