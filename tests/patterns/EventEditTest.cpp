#include <gtest/gtest.h>

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSlider>
#include <QWheelEvent>

#include "model/PatternSteps.h"
#include "patterns/EventEdit.h"
#include "platform/QtFormFrame.h"
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

    // A wheel turned by `notches` (up or away from the user: positive) at the middle of w.
    void Wheel(QWidget* w, int notches, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        const QPointF at(w->width() / 2, w->height() / 2);
        QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(w, &e);
    }
    void Key(QWidget* w, int key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier), release(QEvent::KeyRelease, key, Qt::NoModifier);
        QApplication::sendEvent(w, &press);
        QApplication::sendEvent(w, &release);
    }
    void ResizeWindow(int w, int h) {
        form->resize(w, h);
        QApplication::processEvents();
    }
    static QImage Shown(QWidget* w) { return w->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    // The moment (in 96ths) and the value at the note area's centre.
    std::pair<int, int> Centre() const {
        const EventEditView& v = form->View;
        return {(v.ScrollX + v.NoteAreaWidth / 2) / v.PixelsPer96th, v.RowAt(v.NoteAreaHeight / 2)};
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
    const QImage shown = Shown(form->EventImage);
    EXPECT_EQ(QColor(shown.pixel(At(3, 10))), ToQColor(form->TrackColor[0]));
    EXPECT_NE(QColor(shown.pixel(At(4, 10))), ToQColor(form->TrackColor[0]));
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

TEST_F(EventEditWindow, VelocityAreaKeepsTheHeightTheUserSet) {
    ResizeWindow(200, 200);
    EXPECT_LT(form->ValueImage->height(), 40);  // what fits
    ResizeWindow(727, 532);
    EXPECT_EQ(form->ValueImage->height(), 40);
    // A drag on the note area's bottom edge sets a new height, kept the same way.
    const int edge = form->View.NoteAreaHeight - 1;
    Mouse(form->EventImage, QEvent::MouseButtonPress, {100, edge});
    Mouse(form->EventImage, QEvent::MouseMove, {100, edge - 20});
    Mouse(form->EventImage, QEvent::MouseButtonRelease, {100, edge - 20});
    EXPECT_EQ(form->ValueImage->height(), 60);
    ResizeWindow(200, 200);
    ResizeWindow(727, 532);
    EXPECT_EQ(form->ValueImage->height(), 60);
}

TEST_F(EventEditWindow, HorizontalScrollBarMovesTheTimeAxis) {
    const QImage before = Shown(form->EventImage), rulerBefore = Shown(form->HeaderImage);
    QScrollBar* bar = form->ScrollBar2;
    const QPoint rightArrow(bar->width() - 4, bar->height() / 2);
    Mouse(bar, QEvent::MouseButtonPress, rightArrow);
    Mouse(bar, QEvent::MouseButtonRelease, rightArrow);
    const int step = 6 * form->View.PixelsPer96th;  // a sixteenth
    EXPECT_EQ(form->View.ScrollX, step);
    // Notes, grid and ruler all moved left by that much.
    const QImage after = Shown(form->EventImage), rulerAfter = Shown(form->HeaderImage);
    const int w = after.width(), column = form->View.KeyColumnWidth + 1;
    EXPECT_EQ(after.copy(0, 0, w - step, after.height()), before.copy(step, 0, w - step, after.height()));
    EXPECT_EQ(rulerAfter.copy(column, 8, w - step - 1, 17), rulerBefore.copy(column + step, 8, w - step - 1, 17));
    // A page to the right: the bar reaches on past it.
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(form->View.ScrollX, step + form->View.NoteAreaWidth);
    EXPECT_GT(bar->maximum(), form->View.ScrollX);
}

TEST_F(EventEditWindow, EachWheelNotchScrollsTheDesktopsLines) {
    const int lines = QApplication::wheelScrollLines(), rh = form->View.RowHeight;
    for (int i = 0; i < 20; ++i) Wheel(form->EventImage, 1);
    EXPECT_EQ(form->View.RowAt(form->View.NoteAreaHeight - 1), 20 * lines);  // the bottom row shown
    EXPECT_EQ(form->View.ScrollY, 20 * lines * rh);
    // Down again over the left column; Shift turns the wheel to the time axis.
    Wheel(form->KeyImage, -2);
    EXPECT_EQ(form->View.ScrollY, 18 * lines * rh);
    Wheel(form->EventImage, -2, Qt::ShiftModifier);
    EXPECT_EQ(form->View.ScrollX, 2 * lines * 6 * form->View.PixelsPer96th);
    EXPECT_EQ(form->ScrollBar2->value(), form->View.ScrollX);
}

TEST_F(EventEditWindow, BarsFollowADragScroll) {
    Mouse(form->EventImage, QEvent::MouseButtonPress, {300, 150});
    Mouse(form->EventImage, QEvent::MouseMove, {330, 130}, Qt::LeftButton);
    Mouse(form->EventImage, QEvent::MouseButtonRelease, {330, 130});
    ASSERT_EQ(form->View.ScrollX, 240);
    ASSERT_EQ(form->View.ScrollY, 160);
    EXPECT_EQ(form->ScrollBar2->value(), 240);
    EXPECT_EQ(form->ScrollBar1->value(), BarForScrollY(160, form->View));
    EXPECT_LT(form->ScrollBar1->value(), 127);
    // The next notch goes on from where the drag left the view.
    Wheel(form->EventImage, 1);
    EXPECT_EQ(form->View.ScrollY, 160 + QApplication::wheelScrollLines() * form->View.RowHeight);
    EXPECT_EQ(form->View.ScrollX, 240);
}

TEST_F(EventEditWindow, ZoomKeepsTheMomentAndValueAtTheCentre) {
    for (int i = 0; i < 8; ++i) Wheel(form->EventImage, 1);
    Wheel(form->EventImage, -20, Qt::ShiftModifier);
    const auto centre = Centre();
    for (int key : {Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Down}) {
        Key(form->ScaleXTrackBar, key);
        EXPECT_EQ(Centre().first, centre.first) << form->View.PixelsPer96th;
        Key(form->ScaleYTrackBar, key);
        EXPECT_EQ(Centre().second, centre.second) << form->View.RowHeight;
    }
    EXPECT_EQ(form->View.PixelsPer96th, 4);
    EXPECT_EQ(form->View.RowHeight, 12);
}

TEST_F(EventEditWindow, KeptPicturesPaintWhatAFullRedrawPaints) {
    for (QCheckBox* box : form->DisplayBoxes) box->setChecked(true);
    for (int t = 0; t < kTrackCount; ++t) P().TrackData1(t) = 20 + 5 * t;
    ResizeWindow(900, 700);
    QWidget* const areas[] = {form->EventImage, form->KeyImage, form->HeaderImage, form->ValueImage};
    auto same = [&](const char* state) {
        for (QWidget* area : areas) {
            form->CachedPainting = true;
            const QImage cached = Shown(area);
            // A part painted alone, over what was there.
            QImage part = cached;
            const QRect damaged(area->width() / 3, area->height() / 4, area->width() / 3, area->height() / 2);
            part.fill(Qt::magenta);
            area->render(&part, damaged.topLeft(), QRegion(damaged), QWidget::DrawChildren);
            form->CachedPainting = false;
            const QImage full = Shown(area);
            EXPECT_EQ(cached, full) << state << " " << area->objectName().toStdString();
            EXPECT_EQ(part.copy(damaged), full.copy(damaged)) << state << " " << area->objectName().toStdString();
        }
        form->CachedPainting = true;
    };
    same("at the start");
    Wheel(form->EventImage, 10);
    Mouse(form->EventImage, QEvent::MouseMove, {200, 100}, Qt::NoButton);
    same("scrolled, a row highlighted");
    Mouse(form->EventImage, QEvent::MouseMove, {420, 140}, Qt::NoButton);
    same("another row highlighted");
    form->KeyColumnKindClick(kPianoColumn);
    for (int y : {100, 107, 113}) {
        Mouse(form->EventImage, QEvent::MouseMove, {420, y}, Qt::NoButton);
        same("piano keys");
    }
    Key(form->ScaleXTrackBar, Qt::Key_Up);
    form->KeyColumnKindClick(kNoteColumn);
    Mouse(form->EventImage, QEvent::MouseButtonPress, {300, 150});
    Mouse(form->EventImage, QEvent::MouseMove, {310, 160}, Qt::LeftButton);
    Mouse(form->EventImage, QEvent::MouseButtonRelease, {310, 160});
    same("zoomed and dragged");
    form->SelectTrack(5, 3);
    form->ViewColors[E::vcHorizontalGrid] = 0x204060;
    form->RedrawAll();
    same("another track and colour");
    // The scroll bars, marked opaque, cover what lies behind them.
    const QImage window = Shown(form.get());
    for (QScrollBar* bar : {form->ScrollBar1, form->ScrollBar2}) bar->setAttribute(Qt::WA_OpaquePaintEvent, false);
    EXPECT_EQ(Shown(form.get()), window);
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
    EXPECT_EQ(OuterSize(*form), QSize(727, 532));  // frame included
    EXPECT_EQ(form->TrackColor[7], 8421376);
    EXPECT_EQ(form->ViewColors[E::vcHorizontalGrid], 12632256);
    EXPECT_TRUE(form->DisplayBoxes[0]->isChecked());
    EXPECT_FALSE(form->DisplayBoxes[1]->isChecked());
    EXPECT_EQ(form->View.KeyColumnWidth, 25);
}

}  // namespace
