// The event editor in the started editor: opened from the Windows menu, a
// click in its note area reaches the step editor and the playback render,
// its colours reach the track grid, and it reopens at the next start.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>

#include "model/PatternSteps.h"
#include "patterns/EventEdit.h"
#include "patterns/PatternParameter.h"
#include "patterns/Sequencer.h"
#include "patterns/TrackParameter.h"
#include "platform/IniFile.h"
#include "platform/QtText.h"
#include "shell/MainMenu.h"
#include "tests/patterns/PatternsWindowSupport.h"
#include "tests/support/StartedEditor.h"

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

}  // namespace
}  // namespace morvelant
