// The event editor in the started editor: opened from the Windows menu, a
// click in its note area reaches the step editor and the playback render,
// its colours reach the track grid, and it reopens at the next start.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include "model/PatternSteps.h"
#include "model/TrackSettings.h"
#include "patterns/EventEdit.h"
#include "patterns/NoteGateTimesUnit.h"
#include "patterns/PatternParameter.h"
#include "patterns/PickerCells.h"
#include "patterns/Sequencer.h"
#include "patterns/TrackParameter.h"
#include "platform/IniFile.h"
#include "platform/QtText.h"
#include "shell/MainMenu.h"
#include "tests/patterns/PatternsWindowSupport.h"
#include "tests/support/StartedEditor.h"
#include "tests/support/UserInput.h"

namespace morvelant {
namespace {

using testsupport::StartedEditor;

TEST(EventEditor, EditsFromThePianoRollReachEveryView) {
    StartedEditor editor;
    editor.Start();
    ASSERT_NE(EventEditForm, nullptr);
    DeviceModel& m = editor.Model();
    m.SelectedPattern = 2;
    Pattern_Parameters& p = m.Patterns[2];
    p.MuteMask() = 0xFE;
    p.TrackData1(0) = 0;
    PatternParameterForm->Show();
    MainMenuForm->MainFormWindowsEventEdit->trigger();
    QApplication::processEvents();
    ASSERT_TRUE(EventEditForm->isVisible());
    EXPECT_TRUE(MainMenuForm->MainFormWindowsEventEdit->isChecked());

    // A click on slot 2 at row 9 moves step 2 to note 9.
    const RollTiming timing = TimingOf(p, 1);
    const QPoint at(SlotX(EventEditForm->View, timing, 2) + 3, EventEditForm->View.RowBottom(9) - 3);
    testsupport::Mouse(EventEditForm->EventImage, QEvent::MouseButtonPress, at);
    testsupport::Mouse(EventEditForm->EventImage, QEvent::MouseButtonRelease, at);
    EXPECT_EQ(p.StepNote(0, 1), 9);
    EXPECT_EQ(PatternParameterForm->NoteLabels[1]->text(), FromCp1252(StepNoteName(9)));
    EXPECT_EQ(SequencerForm->Player().LastRender().Tracks[0].at(2).data1, 9);

    // A track colour chosen here colours the grid's header too.
    editor.Dialogs.colorAnswers = {0x0000C0};
    EventEditForm->TrackSpeedButtonRightPress(2);
    EXPECT_EQ(TrackParameterForm->CellColor(0, 2), ToQColor(0x0000C0));

    editor.Stop();
    TIniFile ini(editor.Folder() + "Morvelant.cfg");
    EXPECT_TRUE(ini.ReadBool("Event Edit Form", "Show Event Edit Form", false));
    EXPECT_EQ(ini.ReadInteger("Event Edit Form", "TrackColor1", 0), 0x0000C0);
    editor.Start();
    QApplication::processEvents();
    EXPECT_TRUE(EventEditForm->isVisible());
}

TEST(EventEditor, PanelPickersAndDrumKitsReachThePianoRoll) {
    StartedEditor editor;
    QDir().mkpath(QString::fromStdString(editor.Folder() + "Drumkits"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(MORVELANT_SOURCE_DIR "/patterns/Drumkits/GM.MVD"),
                            QString::fromStdString(editor.Folder() + "Drumkits/GM.MVD")));
    editor.Start();
    DeviceModel& m = editor.Model();
    EventEditForm->Show();
    EventEditForm->SelectTrack(m.SelectedPattern, 2);
    // The time picker, opened from the gate time field, writes track 2 and
    // the field shows it.
    QTimer::singleShot(0, [] {
        PickerGrid* grid = NoteGateTimes->StringGrid1;
        const QPoint at = grid->CellRect(kTimeCodeGrid.CellOf(11)).center();
        testsupport::Mouse(grid, QEvent::MouseMove, at, Qt::NoButton);
        testsupport::Mouse(grid, QEvent::MouseButtonRelease, at);
    });
    testsupport::Mouse(EventEditForm->GateTimeEdit, QEvent::MouseButtonPress, {3, 3}, Qt::RightButton);
    EXPECT_EQ(m.Patterns[size_t(m.SelectedPattern)].TrackGateTime(1), 44);
    EXPECT_EQ(EventEditForm->GateTimeEdit->text(), FromCp1252(TimeName(44)));
    // A kit from the key column's menu names its rows.
    morvelant::userinput::LookInto(EventEditForm->PianoPopupMenu);
    QAction* maker = EventEditForm->PianoPopupMenu->actions().last();
    ASSERT_NE(maker->menu(), nullptr);
    maker->menu()->actions().first()->trigger();
    EXPECT_EQ(EventEditForm->KeyColumnKind, kDrumColumn);
    EXPECT_NE(EventEditForm->RowNames[38].find("Acoustic Snare"), std::string::npos);
}

TEST(EventEditor, ScrollsAndResizesAsTheUserDrivesIt) {
    StartedEditor editor;
    editor.Start();
    MainMenuForm->MainFormWindowsEventEdit->trigger();
    QApplication::processEvents();
    TEventEditForm& form = *EventEditForm;
    ASSERT_TRUE(form.isVisible());
    // Two wheel notches up over the note area: twice the desktop's lines of rows, and the bar follows.
    const QPointF at(form.EventImage->width() / 2, form.EventImage->height() / 2);
    for (int i = 0; i < 2; ++i) {
        QWheelEvent wheel(at, form.EventImage->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(form.EventImage, &wheel);
    }
    EXPECT_EQ(form.View.ScrollY, 2 * QApplication::wheelScrollLines() * form.View.RowHeight);
    EXPECT_EQ(form.ScrollBar1->value(), BarForScrollY(form.View.ScrollY, form.View));
    // The horizontal bar's right arrow moves the time axis a sixteenth on.
    const QPoint arrow(form.ScrollBar2->width() - 4, form.ScrollBar2->height() / 2);
    testsupport::Mouse(form.ScrollBar2, QEvent::MouseButtonPress, arrow);
    testsupport::Mouse(form.ScrollBar2, QEvent::MouseButtonRelease, arrow);
    EXPECT_EQ(form.View.ScrollX, 6 * form.View.PixelsPer96th);
    // The smallest window and back: the velocity area is as high as before.
    const QSize size = form.size();
    const int velocity = form.ValueImage->height();
    form.resize(200, 200);
    QApplication::processEvents();
    form.resize(size);
    QApplication::processEvents();
    EXPECT_EQ(form.ValueImage->height(), velocity);
}

}  // namespace
}  // namespace morvelant
