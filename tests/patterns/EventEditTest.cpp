#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSlider>

#include "model/PatternSteps.h"
#include "patterns/EventEdit.h"
#include "patterns/PatternParameter.h"
#include "platform/Dialogs.h"
#include "platform/IniFile.h"
#include "platform/QtText.h"
#include "tests/patterns/PatternsWindowSupport.h"

using namespace morvelant;
using namespace morvelant::testsupport;
using E = TEventEditForm;

namespace {

class EventEditWindow : public ::testing::Test, public PatternWindowTest {
protected:
    void SetUp() override {
        m.SelectedPattern = 5;
        scoped = std::make_unique<ScopedDialogs>(dialogs);
        Open();
    }
    void TearDown() override {
        form.reset();
        scoped.reset();
    }
    void Open() {
        form = std::make_unique<TEventEditForm>(m, notes, Config());
        form->Show();
        QApplication::processEvents();
    }
    std::string Config() const { return dir.path().toStdString() + "/Morvelant.cfg"; }
    Pattern_Parameters& P() { return m.Patterns[5]; }
    // The middle of slot n of the selected track in row v.
    QPoint At(int slot, int v) {
        const RollTiming timing = TimingOf(P(), form->SelectedTrack);
        return {SlotX(form->View, timing, slot) + 2, form->View.RowBottom(v) - form->View.RowHeight / 2};
    }
    void Click(QPoint at, int moveBy = 0) {
        Mouse(form->EventImage, QEvent::MouseButtonPress, at);
        if (moveBy) Mouse(form->EventImage, QEvent::MouseMove, at + QPoint(moveBy, 0));
        Mouse(form->EventImage, QEvent::MouseButtonRelease, at + QPoint(moveBy, 0));
    }

    ScriptedDialogs dialogs;
    std::unique_ptr<ScopedDialogs> scoped;
    std::unique_ptr<TEventEditForm> form;
};

TEST_F(EventEditWindow, ClickEditsTheModelAndTheStepEditorShowsIt) {
    TPatternParameterForm steps(m, notes, commands);
    steps.Show();
    Click(At(3, 10));
    EXPECT_EQ(P().StepNote(0, 2), 10);
    EXPECT_EQ(steps.NoteLabels[2]->text(), FromCp1252(StepNoteName(10)));
    // The note bar stands where the geometry puts it, in the track's colour.
    const QPoint bar = At(3, 10);
    EXPECT_EQ(QColor(form->EventImage->Image.pixel(bar)), ToQColor(form->TrackColor[0]));
    EXPECT_NE(QColor(form->EventImage->Image.pixel(At(4, 10))), ToQColor(form->TrackColor[0]));
    Click(At(3, 10));  // on the note: off
    EXPECT_FALSE(GetStepOn(m, 5, 1, 3));
}

TEST_F(EventEditWindow, AMoveOfThreePixelsScrollsInsteadOfEditing) {
    const Pattern_Parameters before = P();
    Click(At(2, 5), 3);
    EXPECT_EQ(P().W, before.W);
    EXPECT_EQ(form->View.ScrollX, 24);
    form->View.ScrollX = 0;
    Click(At(2, 5), 2);
    EXPECT_EQ(P().StepNote(0, 1), 5);
}

TEST_F(EventEditWindow, VelocityStrokeAndStepLamps) {
    P().TrackData2(0) = 64;
    const int x = SlotX(form->View, TimingOf(P(), 1), 4) + 2;
    Mouse(form->ValueImage, QEvent::MouseButtonPress, {x, 0});
    Mouse(form->ValueImage, QEvent::MouseButtonRelease, {x, 0});
    EXPECT_EQ(P().StepVelocity(0, 3), 127);
    Mouse(form->findChild<QWidget*>(QStringLiteral("StepOnOffLed7")), QEvent::MouseButtonPress, {2, 2});
    EXPECT_FALSE(GetStepOn(m, 5, 1, 7));
}

TEST_F(EventEditWindow, PanelButtonsKeepTheirBounds) {
    P().TrackStartStep(0) = 4;
    P().TrackEndStep(0) = 4;
    P().TrackDelay(0) = 4;
    P().TrackGateTime(0) = 4;
    form->UpDownClick(E::udStartStep, 1);
    form->UpDownClick(E::udEndStep, -1);
    EXPECT_EQ(P().TrackStartStep(0), 4);
    EXPECT_EQ(P().TrackEndStep(0), 4);
    form->UpDownClick(E::udDelay, -1);
    form->UpDownClick(E::udDelay, -1);
    EXPECT_EQ(P().TrackDelay(0), 0);
    form->UpDownClick(E::udGateTime, -1);
    EXPECT_EQ(P().TrackGateTime(0), 4);
    form->UpDownClick(E::udChannel, 1);
    EXPECT_EQ(form->MidiChannelEdit->text(), QStringLiteral("2"));
    EXPECT_EQ(form->DelayEdit->text(), QStringLiteral("no Delay"));
}

TEST_F(EventEditWindow, RightPressOpensTheTrackPickersForTheSelectedTrack) {
    std::vector<std::pair<int, int>> opened;
    form->OpenTrackPicker = [&](int mode, int track, QPoint) {
        opened.emplace_back(mode, track);
        return 0;
    };
    std::vector<int> restarts;
    Subscription s = notes.TrackSettingsChanged.Subscribe([&](int t) { restarts.push_back(t); });
    form->SelectTrack(5, 4);
    const std::pair<QLineEdit*, int> edits[] = {{form->MidiChannelEdit, 0}, {form->StartStepEdit, 1},
                                                {form->EndStepEdit, 2},     {form->NoteTimeEdit, 3},
                                                {form->GateTimeEdit, 4},    {form->DelayEdit, 5}};
    for (auto [edit, mode] : edits) Mouse(edit, QEvent::MouseButtonPress, {3, 3}, Qt::RightButton);
    const std::vector<std::pair<int, int>> expected = {{0, 4}, {1, 4}, {2, 4}, {3, 4}, {4, 4}, {5, 4}};
    EXPECT_EQ(opened, expected);
    EXPECT_EQ(restarts, std::vector<int>({4, 4, 4}));  // the range and the channel only
}

TEST_F(EventEditWindow, DrumKitNamesFillTheKeyColumn) {
    std::vector<std::string> names(128);
    names[36] = "Bass Drum";
    form->SetKeyColumnNames(names);
    EXPECT_EQ(form->KeyColumnKind, kDrumColumn);
    EXPECT_EQ(form->View.KeyColumnWidth, 140);
    EXPECT_EQ(form->View.RowHeight, 15);
    EXPECT_EQ(form->RowNames[36], "Bass Drum");
}

TEST_F(EventEditWindow, SmallestWindowStillLaysOut) {
    form->resize(200, 200);
    QApplication::processEvents();
    EXPECT_GE(form->View.NoteAreaHeight, 1);
    EXPECT_GE(form->View.NoteAreaWidth, 1);
    EXPECT_GE(form->View.ValueAreaHeight, 1);
    Click(QPoint(1, 0));
    form->RedrawAll();
    // A tall window keeps its note area within the 128 rows, however short they get.
    form->resize(727, 2000);
    form->ScaleYTrackBar->setValue(kMaxRowHeight);
    EXPECT_LE(form->View.NoteAreaHeight, 128 * form->View.RowHeight);
}

TEST_F(EventEditWindow, UpDownTracksCannotBeDisplayed) {
    P().TrackRunMode(2) = 14;
    form->UpdateTrackButtons(5);
    form->SelectTrack(5, 3);
    EXPECT_FALSE(form->DisplayBoxes[2]->isChecked());
    EXPECT_FALSE(form->DisplayBoxes[2]->isEnabled());
    EXPECT_EQ(m.SelectedTrack, 3);
}

TEST_F(EventEditWindow, ConfigurationRoundTrip) {
    dialogs.colorAnswers = {0x123456, 0x00FF80};
    form->TrackSpeedButtonRightPress(4);
    form->ColorSettingClick(E::vcBar);
    form->DisplayBoxes[6]->setChecked(true);
    form->KeyColumnKindClick(kPianoColumn);
    form.reset();
    const TIniFile ini(Config());
    EXPECT_EQ(ini.ReadInteger("Event Edit Form", "TrackColor3", 0), 0x123456);
    EXPECT_EQ(ini.ReadInteger("Event Edit Form", "barlineColor", 0), 0x00FF80);
    EXPECT_TRUE(ini.ReadBool("Event Edit Form", "Show Event Edit Form", false));
    EXPECT_TRUE(ini.ReadBool("Event Edit Form", "TrackDisplay7", false));
    Open();
    EXPECT_EQ(form->TrackColor[3], 0x123456);
    EXPECT_EQ(form->ViewColors[E::vcBar], 0x00FF80);
    EXPECT_TRUE(form->DisplayBoxes[6]->isChecked());
    EXPECT_EQ(form->KeyColumnKind, kPianoColumn);
    EXPECT_EQ(form->View.KeyColumnWidth, 45);
}

TEST_F(EventEditWindow, MissingSectionGivesTheDefaults) {
    EXPECT_EQ(form->width(), 727);
    EXPECT_EQ(form->height(), 532);
    EXPECT_EQ(form->TrackColor[7], 8421376);
    EXPECT_EQ(form->ViewColors[E::vcHorizontalGrid], 12632256);
    EXPECT_TRUE(form->DisplayBoxes[0]->isChecked());
    EXPECT_FALSE(form->DisplayBoxes[1]->isChecked());
    EXPECT_EQ(form->View.KeyColumnWidth, 25);
}

}  // namespace
