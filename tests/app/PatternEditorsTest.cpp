// The step editor, the track grid and the sequencer in the started editor:
// an edit in one shows in the other and in the playback render, the windows
// are listed and reopened, and the Windows menu opens the sequencer.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>

#include "model/PatternSteps.h"
#include "model/TrackSettings.h"
#include "patterns/PatternParameter.h"
#include "patterns/Sequencer.h"
#include "patterns/TrackParameter.h"
#include "platform/IniFile.h"
#include "platform/QtColors.h"
#include "shell/MainMenu.h"
#include "shell/MorvelantExplorer.h"
#include "shell/WindowBookkeeping.h"
#include "tests/support/StartedEditor.h"

namespace morvelant {
namespace {

using testsupport::StartedEditor;

void Press(QWidget* w, Qt::MouseButton button) {
    QMouseEvent e(QEvent::MouseButtonPress, QPointF(3, 3), QPointF(w->mapToGlobal(QPoint(3, 3))), button, button,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

TEST(PatternEditors, EditsReachEveryViewAndThePlayback) {
    StartedEditor editor;
    editor.Start();
    ASSERT_NE(PatternParameterForm, nullptr);
    ASSERT_NE(TrackParameterForm, nullptr);
    ASSERT_NE(SequencerForm, nullptr);
    DeviceModel& m = editor.Model();
    m.SelectedPattern = 4;
    Pattern_Parameters& p = m.Patterns[4];
    p.MuteMask() = 0xFE;  // track 1 plays
    p.TrackEndStep(0) = 2;
    SetStepNote(m, 4, 1, 60, 1);
    SetStepNote(m, 4, 1, 62, 2);
    SetStepVelocity(m, 4, 1, 100, 1);
    SetStepVelocity(m, 4, 1, 100, 2);

    // The Windows menu's item shows the step editor, which shows the current
    // pattern everywhere; the item is ticked.
    ASSERT_NE(MainMenuForm->MainFormWindowsStepParameters, nullptr);
    MainMenuForm->MainFormWindowsStepParameters->trigger();
    QApplication::processEvents();
    EXPECT_TRUE(PatternParameterForm->isVisible());
    EXPECT_TRUE(MainMenuForm->MainFormWindowsStepParameters->isChecked());
    EXPECT_TRUE(m.ShowStepParametersForm);
    EXPECT_EQ(PatternParameterForm->Caption().rfind("(Pattern 5)  ", 0), 0u);
    EXPECT_EQ(TrackParameterForm->Caption(), PatternParameterForm->Caption());
    EXPECT_EQ(PatternParameterForm->NoteLabels[0]->text(), QStringLiteral("C  4"));
    EXPECT_EQ(SequencerForm->Player().LastRender().Tracks[0].front().data1, 60);

    // The track menu of track 1: Rotate Left reaches the grid's view of the
    // pattern and the render at once.
    Press(PatternParameterForm->TrackBoxList[0], Qt::RightButton);
    PatternParameterForm->TrackPopupMenu->hide();
    PatternParameterForm->RotateLeft1->trigger();
    PatternParameterForm->CopyTrack1->trigger();  // the menu window's pastes follow
    EXPECT_TRUE(MainMenuForm->Paste1->menuAction()->isEnabled());
    EXPECT_EQ(PatternParameterForm->NoteLabels[0]->text(), QStringLiteral("D  4"));
    EXPECT_EQ(SequencerForm->Player().LastRender().Tracks[0].front().data1, 62);

    // The grid's status cell mutes track 1: the step editor greys it and the
    // render falls silent.
    TrackParameterForm->StringGrid1MouseDown(TTrackParameterForm::rStatus, 1, Qt::RightButton, {50, 50});
    EXPECT_TRUE(TrackMuted(p, 1));
    EXPECT_EQ(PatternParameterForm->Panels[0]->palette().color(QPalette::Window), ToQColor(clBtnShadow));
    EXPECT_EQ(SequencerForm->Player().LastRender().EventCount(), 0u);
    EXPECT_EQ(m.SelectedTrack, 1);

    // The Windows menu shows "Play Pattern on PC", which opens the sequencer
    // and is ticked, as its node in the explorer is.
    QAction* play = nullptr;
    for (QAction* a : MainMenuForm->MainFormWindowsMenu->actions())
        if (a->text() == QStringLiteral("Play Pattern on PC")) play = a;
    ASSERT_NE(play, nullptr);
    EXPECT_TRUE(play->isVisible() && play->isEnabled());
    play->trigger();
    QApplication::processEvents();
    EXPECT_TRUE(SequencerForm->isVisible());
    EXPECT_TRUE(play->isChecked());
    ASSERT_NE(MorvelantExplorerForm, nullptr);
    EXPECT_EQ(MorvelantExplorerForm->StateIndex(12), kIconShown);
    SequencerForm->close();
    QApplication::processEvents();
    EXPECT_FALSE(play->isChecked());
    EXPECT_EQ(MorvelantExplorerForm->StateIndex(12), kIconHidden);

    // Both editors are reopened at the next start.
    MainMenuForm->MainFormWindowsTrackParameters->trigger();
    EXPECT_TRUE(TrackParameterForm->isVisible());
    editor.Stop();
    TIniFile ini(editor.Folder() + "Morvelant.cfg");
    EXPECT_TRUE(ini.ReadBool("Step Parameters Form", "Show Step Parameters Form", false));
    EXPECT_TRUE(ini.ReadBool("Track Parameters Form", "Show Track Parameters Form", false));
    editor.Start();
    QApplication::processEvents();
    EXPECT_TRUE(PatternParameterForm->isVisible());
    EXPECT_TRUE(TrackParameterForm->isVisible());
}

}  // namespace
}  // namespace morvelant
