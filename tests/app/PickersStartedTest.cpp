// The pickers in the started editor: the controller-init dialog from the
// Settings menu with the controller picker keeping its pair 24 wide, the
// track tools from the Windows menu with the keyboard picker setting the
// note range, and the shipped drum kit offered in the fader window's note
// menu, where a click on an instrument writes its note. After a picker the
// window that opened it has the focus again; the captions, the track tools'
// Active boxes and colours and the virtual device's status bars follow edits
// made in the other windows; every drum name can be read whole. The
// context-menu key and Shift+F10 open a cell's menu or picker as a right-click does.

#include <gtest/gtest.h>

#include <set>

#include <QAction>
#include <QCloseEvent>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>

#include "app/PickerSupport.h"
#include "faders/AllFaderParameters.h"
#include "faders/InitCtrl.h"
#include "model/PatternSteps.h"
#include "model/TrackSettings.h"
#include "patterns/ChannelFormUnit.h"
#include "patterns/Controller1.h"
#include "patterns/Drumkit.h"
#include "patterns/EventEdit.h"
#include "patterns/LongPiano.h"
#include "patterns/NoteGateTimesUnit.h"
#include "patterns/PatternFormUnit.h"
#include "patterns/PatternParameter.h"
#include "patterns/TrackEdit.h"
#include "patterns/TrackParameter.h"
#include "patterns/Values1.h"
#include "shell/Main.h"
#include "shell/MidiMonGrid.h"
#include "tests/support/UserInput.h"
#include "tests/support/StartedEditor.h"

namespace morvelant {
namespace {

using userinput::KeyClick;
using testsupport::StartedEditor;
using userinput::KeyClicks;

void Press(QWidget* w, QPoint pos, Qt::MouseButton button) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(pos), w->mapToGlobal(QPointF(pos)), button, button,
                      Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(pos), w->mapToGlobal(QPointF(pos)), button, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(w, &release);
}

void ClickAt(QWidget* w, QPoint pos) {
    QMouseEvent move(QEvent::MouseMove, QPointF(pos), w->mapToGlobal(QPointF(pos)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(w, &move);
    QMouseEvent up(QEvent::MouseButtonRelease, QPointF(pos), w->mapToGlobal(QPointF(pos)), Qt::LeftButton,
                   Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &up);
}

// While the next modal picker runs, clicks `pos` in `widget`.
void ClickWhenModal(std::function<QWidget*()> widget, QPoint pos) {
    QTimer::singleShot(0, [widget, pos] { ClickAt(widget(), pos); });
}

// One click per showing of a picker grid, the cell of `value`, with Shift
// held on all but the last.
void PickInTurn(std::function<PickerGrid*()> grid, GridMap map, std::vector<int> values) {
    if (values.empty()) return;
    QTimer::singleShot(0, [grid, map, values] {
        PickerGrid* g = grid();
        const QPoint pos = g->CellRect(map.CellOf(values.front())).center();
        const auto mods = values.size() > 1 ? Qt::ShiftModifier : Qt::NoModifier;
        QMouseEvent move(QEvent::MouseMove, QPointF(pos), g->mapToGlobal(QPointF(pos)), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(g, &move);
        PickInTurn(grid, map, std::vector<int>(values.begin() + 1, values.end()));
        QMouseEvent up(QEvent::MouseButtonRelease, QPointF(pos), g->mapToGlobal(QPointF(pos)), Qt::LeftButton,
                       Qt::LeftButton, mods);
        QApplication::sendEvent(g, &up);
    });
}

TEST(PickersStarted, ARightClickInTheFaderWindowOpensTheValuePicker) {
    StartedEditor editor;
    editor.Start();
    ASSERT_NE(AllFaderP, nullptr);
    AllFaderP->Show();
    editor.Model().Presets[0].FaderMidiData2(0) = 20;
    AllFaderP->ShowParameters(0, 0);
    // The right-click on the fader's data 2 list opens its menu; its
    // "Numerical Values" shows the value picker with 20 marked.
    Q_EMIT AllFaderP->FaderMidiData2->customContextMenuRequested({5, 5});
    PickerSupport& pk = editor.Windows().Pickers();
    QMenu* menu = pk.FaderPopups.ValuesPopupMenu;
    EXPECT_TRUE(menu->isVisible());
    menu->close();
    QTimer::singleShot(0, [] {
        EXPECT_EQ(Values1Form->CurrentCell(), kValuesGrid.CellOf(20));
        ClickAt(Values1Form->ValuesStringGrid,
                Values1Form->ValuesStringGrid->CellRect(kValuesGrid.CellOf(99)).center());
    });
    menu->findChild<QAction*>(QStringLiteral("NumericalValues3"))->trigger();
    EXPECT_EQ(editor.Model().Presets[0].FaderMidiData2(0), 99);
    EXPECT_EQ(AllFaderP->FaderMidiData2->currentIndex(), 99);
    EXPECT_FALSE(Values1Form->isVisible());
}

TEST(PickersStarted, StepEditorAndTrackGridWalkOnWithShift) {
    StartedEditor editor;
    editor.Start();
    ASSERT_NE(PatternParameterForm, nullptr);
    ASSERT_NE(TrackParameterForm, nullptr);
    DeviceModel& m = editor.Model();
    const int p = m.SelectedPattern;
    // Velocities from track 1 step 16 on: Shift walks into track 2.
    PatternParameterForm->PopupLabelTag = StepCode(kStepVelocityBase, 1, 16);
    PickInTurn([] { return Values1Form->ValuesStringGrid; }, kValuesGrid, {5, 6});
    PatternParameterForm->NumericalValues2Click();
    EXPECT_EQ(m.Patterns[p].StepVelocity(0, 15), 5);
    EXPECT_EQ(m.Patterns[p].StepVelocity(1, 0), 6);
    EXPECT_FALSE(Values1Form->isVisible());
    // The gate time row's label: all tracks first, then track 1, 2.
    TrackParameterForm->Show();
    PickInTurn([] { return NoteGateTimes->StringGrid1; }, kTimeCodeGrid, {5, 11, 2});
    TrackParameterForm->StringGrid1MouseDown(5, 0, Qt::RightButton, {100, 100});
    EXPECT_EQ(m.Patterns[p].TrackGateTime(0), 44);
    EXPECT_EQ(m.Patterns[p].TrackGateTime(1), 8);
    for (int t = 2; t < 8; ++t) EXPECT_EQ(m.Patterns[p].TrackGateTime(t), 20) << t;
}

// A right click on a track's channel opens the channel picker under that
// cell; Shift+Return walks on to the next track, whose picker opens under
// that track's cell, never over it.
TEST(PickersStarted, AChannelPickerWalkOpensEachPickerUnderItsCell) {
    StartedEditor editor;
    editor.Start();
    ASSERT_NE(TrackParameterForm, nullptr);
    ASSERT_NE(ChannelForm, nullptr);
    TrackParameterForm->SetBounds(40, 60, TrackParameterForm->Width(), TrackParameterForm->Height());
    TrackParameterForm->Show();
    QApplication::processEvents();
    QTableWidget* grid = TrackParameterForm->StringGrid1;
    const int row = TTrackParameterForm::rChannel;
    const auto cell = [grid](int column) {
        const QRect r = grid->visualRect(grid->model()->index(row, column));
        return QRect(grid->viewport()->mapToGlobal(r.topLeft()), r.size());
    };
    std::vector<QRect> shown;  // where each picker of the walk came up
    std::function<void()> answer = [&] {
        shown.push_back(ChannelForm->frameGeometry());
        if (shown.size() < 3) QTimer::singleShot(0, answer);
        KeyClick(ChannelForm, Qt::Key_Return, shown.size() < 3 ? Qt::ShiftModifier : Qt::NoModifier);
    };
    QTimer::singleShot(0, answer);
    const QPoint at = grid->visualRect(grid->model()->index(row, 2)).center();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), grid->viewport()->mapToGlobal(QPointF(at)),
                      Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(grid->viewport(), &press);
    ASSERT_EQ(shown.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const QRect own = cell(2 + i);
        EXPECT_FALSE(shown[size_t(i)].intersects(own)) << "covers the cell it sets";
        EXPECT_EQ(shown[size_t(i)].top(), own.bottom() + 1);
        EXPECT_EQ(shown[size_t(i)].left() - shown[0].left(), own.left() - cell(2).left());
    }
}

// What an input opened, a popup menu or a modal picker, and where.
using Opened = std::pair<std::string, std::pair<int, int>>;
Opened OpenedBy(const std::function<void()>& input) {
    Opened opened;
    const auto seen = [&opened](QWidget* w, QPoint at) {
        opened = {w->objectName().toStdString(), {at.x(), at.y()}};
    };
    QTimer::singleShot(0, [&] {  // inside a modal picker's loop
        if (QWidget* picker = QApplication::activeModalWidget()) {
            seen(picker, picker->frameGeometry().topLeft());
            KeyClick(picker, Qt::Key_Escape);
        }
    });
    input();
    if (QWidget* menu = QApplication::activePopupWidget()) {
        seen(menu, menu->pos());
        menu->close();
    }
    QApplication::processEvents();
    return opened;
}

// The context-menu key and Shift+F10 on a focused cell of the track grid or
// the step editor open what a right-click opens there, just below the cell.
TEST(PickersStarted, TheMenuKeyAndShiftF10OpenWhatARightClickOpensBelowTheFocusedCell) {
    StartedEditor editor;
    editor.Start();
    TrackParameterForm->SetBounds(40, 60, TrackParameterForm->Width(), TrackParameterForm->Height());
    TrackParameterForm->Show();
    PatternParameterForm->SetBounds(40, 20, PatternParameterForm->Width(), PatternParameterForm->Height());
    PatternParameterForm->Show();
    MidiMonGridForm->Hide();
    QApplication::processEvents();
    QTableWidget* grid = TrackParameterForm->StringGrid1;
    const auto gridCell = [grid](int row, int column) {
        const QRect r = grid->visualRect(grid->model()->index(row, column));
        return std::pair<QWidget*, QRect>(grid->viewport(), r);
    };
    const auto label = [](const char* name) {
        auto* l = PatternParameterForm->findChild<QLabel*>(QString::fromLatin1(name));
        return std::pair<QWidget*, QRect>(l, l->rect());
    };
    using T = TTrackParameterForm;
    const struct {
        std::pair<QWidget*, QRect> cell;
        const char* opens;
    } cases[] = {
        {gridCell(T::rEvent, 2), "PopupMenu1"},       {gridCell(T::rChannel, 3), "ChannelForm"},
        {gridCell(T::rGatetime, 1), "NoteGateTimes"}, {gridCell(T::rRunmode, 4), "RunModePopupMenu"},
        {gridCell(T::rStatus, 0), "MuteStatusPopupMenu"}, {label("EditA1_3"), "StepNotesPopupMenu"},
        {label("EditB2_5"), "StepVelPopupMenu"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.opens);
        QWidget* widget = c.cell.first;
        const QRect rect = c.cell.second;
        EXPECT_EQ(OpenedBy([&] { userinput::Click(widget, Qt::RightButton, rect.center()); }).first, c.opens);
        const QPoint below = widget->mapToGlobal(rect.bottomLeft() + QPoint(0, 1));
        for (const auto& press : {std::pair{Qt::Key_Menu, Qt::NoModifier}, {Qt::Key_F10, Qt::ShiftModifier}}) {
            const Qt::Key key = press.first;
            const Qt::KeyboardModifier mods = press.second;
            SCOPED_TRACE(key == Qt::Key_Menu ? "the menu key" : "Shift+F10");
            userinput::FocusOn(widget->window());
            userinput::Click(widget, Qt::LeftButton, rect.center());
            EXPECT_EQ(OpenedBy([&] { KeyClick(nullptr, key, mods); }), Opened(c.opens, {below.x(), below.y()}));
        }
    }
    EXPECT_FALSE(MidiMonGridForm->isVisible()) << "Shift+F10 in a cell is the cell's";
}

// Tab walks the track tools' fields and buttons, never onto the arrows
// beside the range edits (they are the mouse's); Ctrl+T in the menu window
// opens the tools where they were when they were closed.
TEST(PickersStarted, TrackToolsTabSkipsTheArrowsAndComeBackWhereTheyWere) {
    StartedEditor editor;
    editor.Start();
    userinput::FocusOn(MainMenuForm);
    KeyClick(MainMenuForm, Qt::Key_T, Qt::ControlModifier);
    ASSERT_NE(TrackEditForm, nullptr);
    ASSERT_TRUE(TrackEditForm->isVisible());
    userinput::FocusOn(TrackEditForm->minNoteEdit);
    std::set<QWidget*> reached;
    for (int i = 0; i < 200; ++i) {
        KeyClick(nullptr, Qt::Key_Tab);
        reached.insert(QApplication::focusWidget());
    }
    for (UpDownButtons* arrows : {TrackEditForm->minNoteUpDown, TrackEditForm->maxNoteUpDown,
                                  TrackEditForm->minVelocityUpDown, TrackEditForm->maxVelocityUpDown}) {
        EXPECT_FALSE(reached.count(arrows->Up)) << arrows->objectName().toStdString();
        EXPECT_FALSE(reached.count(arrows->Down)) << arrows->objectName().toStdString();
    }
    EXPECT_TRUE(reached.count(TrackEditForm->maxVelocityEdit));
    TrackEditForm->move(100, 700);
    QCloseEvent close;  // the title bar's close button
    QApplication::sendEvent(TrackEditForm, &close);
    EXPECT_FALSE(TrackEditForm->isVisible());
    userinput::FocusOn(MainMenuForm);
    KeyClick(MainMenuForm, Qt::Key_T, Qt::ControlModifier);
    EXPECT_TRUE(TrackEditForm->isVisible());
    EXPECT_EQ(TrackEditForm->pos(), QPoint(100, 700));
}

TEST(PickersStarted, InitSettingsFromTheMenuAndTheControllerPicker) {
    StartedEditor editor;
    editor.Start();
    ASSERT_NE(InitCtrlForm, nullptr);
    MainMenuForm->MainMenuMidiControllerInitSettings->trigger();
    EXPECT_TRUE(InitCtrlForm->isVisible());
    EXPECT_FALSE(InitCtrlForm->isModal());
    // "Midi Controllers" on the fader controller's Min edit; controller 110
    // is picked: the pair moves to 104..127.
    InitCtrlForm->SetPopupComponent(0);
    ClickWhenModal([] { return Controller1Form->ControllerStringGrid; },
                   Controller1Form->ControllerStringGrid->CellRect(kControllerGrid.CellOf(110)).center());
    InitCtrlForm->MidiControllers1Click();
    EXPECT_EQ(editor.Model().InitValues[0], 104);
    EXPECT_EQ(editor.Model().InitValues[1], 127);
    EXPECT_EQ(InitCtrlForm->FaderCtrlMax->text(), QStringLiteral("127:Controller 127"));
    editor.Model().MidiCtrlInitPreset(0);
    EXPECT_EQ(editor.Model().Presets[0].FaderMidiData1(23), 127);
    EXPECT_EQ(editor.Model().Presets[0].FaderMidiData1(0), 104);
}

TEST(PickersStarted, TrackToolsTakeTheirNoteRangeFromTheKeyboard) {
    StartedEditor editor;
    editor.Start();
    ASSERT_NE(TrackEditForm, nullptr);
    MainMenuForm->MainFormWindowsTrackEdit->trigger();
    EXPECT_TRUE(TrackEditForm->isVisible());
    QApplication::processEvents();
    EXPECT_TRUE(MainMenuForm->MainFormWindowsTrackEdit->isChecked());  // listed as open
    TrackEditForm->Ranges.SetBound(kMaxNoteCode, 50);
    // Note 60 (x = 5 * 70 + 5) is above the maximum: nothing changes.
    ClickWhenModal([] { return LongPianoForm->PianoImage; }, {355, 50});
    TrackEditForm->RangeEditMouseDown(kMinNoteCode);
    EXPECT_EQ(TrackEditForm->MinNote, 0);
    ClickWhenModal([] { return LongPianoForm->PianoImage; }, {285, 50});  // C 3
    TrackEditForm->RangeEditMouseDown(kMinNoteCode);
    EXPECT_EQ(TrackEditForm->MinNote, 48);
    EXPECT_EQ(TrackEditForm->minNoteEdit->text(), QStringLiteral("C  3"));
}

TEST(PickersStarted, TrackToolsButtonsWorkOnTheCurrentPattern) {
    StartedEditor editor;
    editor.Start();
    DeviceModel& m = editor.Model();
    Pattern_Parameters& pat = m.Patterns[size_t(m.SelectedPattern)];
    pat.TrackStartStep(1) = 5;
    pat.TrackEndStep(1) = 8;
    for (int s = 0; s < 16; ++s) {
        pat.StepNote(1, s) = 60 + s;
        pat.StepVelocity(1, s) = 100;
    }
    pat.MuteMask() = 0;
    TrackEditForm->Show();
    TrackEditForm->RotateLeftButton(2)->click();  // steps 5..8: 65, 66, 67, 64
    EXPECT_EQ(pat.StepNote(1, 4), 65);
    EXPECT_EQ(pat.StepNote(1, 7), 64);
    TrackEditForm->MaskEdits[1]->setValue(10);
    TrackEditForm->NotesPlusButton(2)->click();
    EXPECT_EQ(pat.StepNote(1, 4), 75);
    EXPECT_EQ(pat.StepNote(1, 0), 60);  // outside the range
    TrackEditForm->VelocityPlusButton(2)->click();
    EXPECT_EQ(pat.StepVelocity(1, 5), 110);
    TrackEditForm->Ranges.SetBound(kMinVelocityCode, 30);
    TrackEditForm->Ranges.SetBound(kMaxVelocityCode, 30);
    TrackEditForm->RandomVelocityButton(2)->click();
    EXPECT_EQ(pat.StepVelocity(1, 6), 30);
    EXPECT_EQ(pat.StepVelocity(1, 8), 100);
    TrackEditForm->TrackCheckBoxes[1]->click();  // cleared: track 2 muted
    EXPECT_EQ(pat.MuteMask(), 2);
}

TEST(PickersStarted, TheShippedKitWritesANoteFromTheFaderNoteMenu) {
    StartedEditor editor;
    ASSERT_TRUE(editor.AddShippedDrumkit());
    editor.Start();
    PickerSupport& pk = editor.Windows().Pickers();
    QMenu* notes = pk.FaderPopups.NotesPopupMenu;
    // The kits are read when a note menu first opens.
    userinput::LookInto(notes);
    QAction* maker = notes->actions().last();
    ASSERT_NE(maker->menu(), nullptr);
    EXPECT_EQ(maker->text(), QStringLiteral("General MIDI"));
    QAction* kit = maker->menu()->actions().first();
    EXPECT_EQ(kit->text(), QStringLiteral("Percussion Map"));
    // The step editor's note menu offers the kits too.
    EXPECT_EQ(PatternParameterForm->StepNotesPopupMenu->actions().last()->text(), QStringLiteral("General MIDI"));
    // The menu was opened on the Key On data 1 list (tag 1) of fader 5.
    editor.Model().SelectedFader = 4;
    AllFaderP->ShowParameters(4, 0);
    pk.FaderPopups.SetPopupComponent(AllFaderP, 1);
    ClickWhenModal([] { return DrumkitForm->StringGrid1; },
                   DrumkitForm->StringGrid1->CellRect(kDrumkitGrid.CellOf(38)).center());
    kit->trigger();
    EXPECT_EQ(editor.Model().Presets[0].KeyOnMidiData1(4), 38);
    EXPECT_EQ(AllFaderP->KeyOnMidiData1->currentIndex(), 38);
    EXPECT_EQ(DrumkitForm->Caption().find("Percussion Map : ( 38:  D  2)  Acoustic Snare"), 0u);
    EXPECT_EQ(notes->actions().last()->text(), QStringLiteral("Percussion Map"));
}

TEST(PickersStarted, AfterTheRangePickerTheTrackToolsHaveTheFocusForTyping) {
    StartedEditor editor;
    editor.Start();
    PatternParameterForm->Show();  // the step editor, which used to take the focus
    MainMenuForm->MainFormWindowsTrackEdit->trigger();
    QApplication::processEvents();
    // A press on the minimum velocity opens the value picker; 30 is clicked.
    ClickWhenModal([] { return Values1Form->ValuesStringGrid; },
                   Values1Form->ValuesStringGrid->CellRect(kValuesGrid.CellOf(30)).center());
    // A press from the window system gives the edit the focus before the
    // edit sees it; a sent event does not, so the test does that part.
    TrackEditForm->minVelocityEdit->setFocus(Qt::MouseFocusReason);
    Press(TrackEditForm->minVelocityEdit, {5, 5}, Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(TrackEditForm->MinVelocity, 30);
    EXPECT_EQ(QApplication::activeWindow(), TrackEditForm);
    EXPECT_EQ(QApplication::focusWidget(), TrackEditForm->minVelocityEdit);
    // Typing goes on there at once: 25 and Return.
    KeyClick(nullptr, Qt::Key_A, Qt::ControlModifier);
    KeyClicks(nullptr, QStringLiteral("25"));
    KeyClick(nullptr, Qt::Key_Return);
    EXPECT_EQ(TrackEditForm->MinVelocity, 25);
}

TEST(PickersStarted, ARenamedCurrentPatternIsNamedInTheStepEditorAndTheTrackGrid) {
    StartedEditor editor;
    editor.Start();
    DeviceModel& m = editor.Model();
    const int p = m.SelectedPattern;
    PatternForm->Show();
    PatternParameterForm->Show();
    TrackParameterForm->Show();
    QLineEdit* name = PatternForm->EditList[size_t(p)];
    name->selectAll();  // a full name takes no more keys: the new one replaces it
    KeyClicks(name, QStringLiteral("Groove"));
    ASSERT_EQ(m.GetPatternName(p).substr(0, 6), "Groove");
    EXPECT_EQ(PatternParameterForm->Caption(), PatternCaption(m, p));
    EXPECT_EQ(TrackParameterForm->Caption(), PatternCaption(m, p));
}

TEST(PickersStarted, TrackToolsFollowMutesAndColoursSetInTheOtherWindows) {
    StartedEditor editor;
    editor.Start();
    DeviceModel& m = editor.Model();
    Pattern_Parameters& pat = m.Patterns[size_t(m.SelectedPattern)];
    pat.MuteMask() = 0;
    TrackEditForm->Show();
    TrackParameterForm->Show();
    ASSERT_TRUE(TrackEditForm->TrackCheckBoxes[2]->isChecked());
    // Track 3 muted by a right press on its status cell in the track grid.
    QTableWidget* grid = TrackParameterForm->StringGrid1;
    Press(grid->viewport(), grid->visualRect(grid->model()->index(TTrackParameterForm::rStatus, 3)).center(),
          Qt::RightButton);
    ASSERT_TRUE(TrackMuted(pat, 3));
    EXPECT_FALSE(TrackEditForm->TrackCheckBoxes[2]->isChecked());
    // ... and unmuted in the event editor; a click in the tools then mutes it.
    EventEditForm->Show();
    EventEditForm->ActiveBoxes[2]->click();
    ASSERT_FALSE(TrackMuted(pat, 3));
    EXPECT_TRUE(TrackEditForm->TrackCheckBoxes[2]->isChecked());
    TrackEditForm->TrackCheckBoxes[2]->click();
    EXPECT_TRUE(TrackMuted(pat, 3));
    // A colour chosen for track 2 in the event editor colours its Active box.
    editor.Dialogs.colorAnswers.push_back(0x123456);
    Press(EventEditForm->TrackButtons[1], {3, 3}, Qt::RightButton);
    EXPECT_EQ(TrackEditForm->ActivePanels[1]->palette().color(QPalette::Window), ToQColor(0x123456));
}

TEST(PickersStarted, TheVirtualDeviceDescribesTheEventChosenInTheFaderWindow) {
    StartedEditor editor;
    editor.Start();
    MainForm->Show();
    AllFaderP->Show();
    DeviceModel& m = editor.Model();
    const int p = m.SelectedPreset, f = m.SelectedFader;
    const std::string before = m.FaderEventText(p, f);
    ASSERT_EQ(MainForm->MainStatusBar->PanelText(1), before);
    // Another event by the keyboard on the fader's event list.
    QTest::keyClick(AllFaderP->FaderEvent, Qt::Key_Down);
    ASSERT_NE(m.FaderEventText(p, f), before);
    EXPECT_EQ(MainForm->MainStatusBar->PanelText(1), m.FaderEventText(p, f));
    QTest::keyClick(AllFaderP->KeyOnEvent, Qt::Key_Down);
    EXPECT_EQ(MainForm->KeyOnStatusBar->PanelText(1), m.KeyOnEventText(p, f));
}

TEST(PickersStarted, EveryShippedDrumNameIsWholeInItsCellAndInItsToolTip) {
    StartedEditor editor;
    ASSERT_TRUE(editor.AddShippedDrumkit());
    editor.Start();
    userinput::LookInto(editor.Windows().Pickers().FaderPopups.NotesPopupMenu);
    QAction* kit = editor.Windows().Pickers().FaderPopups.NotesPopupMenu->actions().last()->menu()->actions().first();
    PickerGrid* grid = DrumkitForm->StringGrid1;
    QTimer::singleShot(0, [grid] {
        for (int n = 0; n < 128; ++n) {
            const GridCell c = kDrumkitGrid.CellOf(n);
            const QString name = grid->CellText(c.row, c.column);
            EXPECT_TRUE(grid->FitText(name, grid->font()).whole) << name.toStdString();
        }
        // "Crash Cymbal 1" (49) and "... 2" (57) no longer read alike.
        const QRect crash = grid->CellRect(kDrumkitGrid.CellOf(49));
        QHelpEvent tip(QEvent::ToolTip, crash.center(), grid->mapToGlobal(crash.center()));
        QApplication::sendEvent(grid, &tip);
        EXPECT_EQ(QToolTip::text(), QStringLiteral("Crash Cymbal 1"));
        QTest::keyClick(DrumkitForm, Qt::Key_Escape);
    });
    kit->trigger();
    EXPECT_FALSE(DrumkitForm->isVisible());
}

}  // namespace
}  // namespace morvelant
