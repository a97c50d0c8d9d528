// The picker windows offscreen, driven by the mouse as a user would: the
// present value marked, the caption following the mouse, a left click
// writing the model and closing with the picker's own result (advance with
// Shift), a right click writing nothing; the keyboard's live value and
// forgotten last note; the time-code and channel pickers' grey cells; the
// drum kit menus and their recent-kit entry; the track tools' buttons.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include "model/TrackSettings.h"
#include "patterns/ChannelFormUnit.h"
#include "patterns/Controller1.h"
#include "patterns/Drumkit.h"
#include "patterns/LongPiano.h"
#include "patterns/NoteGateTimesUnit.h"
#include "patterns/PickerWindows.h"
#include "patterns/TrackEdit.h"
#include "patterns/Values1.h"
#include "tests/support/QtWidgetApp.h"
#include "tests/support/UserInput.h"

namespace morvelant {
namespace {

void Mouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::NoButton,
           Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QMouseEvent e(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), button,
                  type == QEvent::MouseMove ? Qt::NoButton : button, mods);
    QApplication::sendEvent(w, &e);
}
void Click(QWidget* w, QPoint pos, Qt::MouseButton button = Qt::LeftButton,
           Qt::KeyboardModifiers mods = Qt::NoModifier) {
    Mouse(w, QEvent::MouseMove, pos);
    Mouse(w, QEvent::MouseButtonRelease, pos, button, mods);
}
QPoint CellCentre(PickerGrid* g, int value, const GridMap& map) { return g->CellRect(map.CellOf(value)).center(); }

class PickerWindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::WidgetApp(/*offscreen=*/true);
        model.SelectedPreset = 1;
        model.SelectedFader = 2;
        model.SelectedPattern = 4;
        faders = RegisterFaderTargets(dispatch, model, [this](int code) { refreshed.push_back(code); });
        // The grid's refreshes tell which tracks were written.
        PatternTargetHooks h;
        h.ShowTrackNoteTime = [this](int, int t) { writes.push_back({3, t}); };
        h.ShowTrackDelay = [this](int, int t) { writes.push_back({5, t}); };
        h.ShowTrackStartStep = [this](int, int t) { writes.push_back({1, t}); };
        h.RestartPlayback = [this] { ++restarts; };
        hooks = h;
        steps = RegisterStepTargets(dispatch, model, hooks);
    }

    DeviceModel model;
    PickerDispatch dispatch;
    PatternTargetHooks hooks;
    Subscription faders, steps;
    std::vector<int> refreshed;
    std::vector<std::array<int, 2>> writes;  // mode, track
    int restarts = 0;
};

TEST_F(PickerWindowsTest, ValuePickerWritesTheHoveredValue) {
    TValues1Form values(dispatch, model);
    EXPECT_EQ(values.Caption(), "Values1Form");
    model.Presets[1].FaderMidiData2(2) = 20;
    const struct {
        Qt::MouseButton button;
        Qt::KeyboardModifiers mods;
        int result;
        int stored;
    } rows[] = {
        {Qt::LeftButton, Qt::NoModifier, kPickEnd, 64},
        {Qt::MiddleButton, Qt::ShiftModifier, kPickAdvance, 64},
        {Qt::RightButton, Qt::ShiftModifier, kPickAdvance, 20},  // advances without writing
        {Qt::RightButton, Qt::NoModifier, kPickEnd, 20},
    };
    for (const auto& r : rows) {
        model.Presets[1].FaderMidiData2(2) = 20;
        values.TargetCode = 3;
        values.Show();
        EXPECT_EQ(values.CurrentCell(), (GridCell{1, 4}));
        Click(values.ValuesStringGrid, CellCentre(values.ValuesStringGrid, 64, kValuesGrid), r.button, r.mods);
        EXPECT_EQ(values.Caption(), "Value:64");
        EXPECT_EQ(values.ModalResult(), r.result);
        EXPECT_EQ(model.Presets[1].FaderMidiData2(2), r.stored);
        EXPECT_FALSE(values.isVisible());
    }
    // The live value lies outside the grid: no cell is marked.
    model.Presets[1].FaderMidiData2(2) = 128;
    values.Show();
    EXPECT_EQ(values.CurrentCell(), GridCell{});
    // A click before the mouse crossed a cell writes nothing.
    Mouse(values.ValuesStringGrid, QEvent::MouseButtonRelease, {5, 5}, Qt::LeftButton);
    EXPECT_EQ(model.Presets[1].FaderMidiData2(2), 128);
}

TEST_F(PickerWindowsTest, ShowModalWalksTheStepsWithShift) {
    TValues1Form values(dispatch, model);
    PickerWindows windows({.values = &values});
    // Each showing picks 100 + the step with Shift; the caller walks on.
    std::vector<int> codes;
    int code = StepCode(kStepNoteBase, 1, 15);
    for (;;) {
        codes.push_back(code);
        QTimer::singleShot(0, [&] {
            Click(values.ValuesStringGrid,
                  CellCentre(values.ValuesStringGrid, static_cast<int>(codes.size()), kValuesGrid), Qt::LeftButton,
                  codes.size() < 3 ? Qt::ShiftModifier : Qt::NoModifier);
        });
        const int r = windows.Pick(PickerKind::Values, code);
        const auto next = NextStepCode(code);
        if (r != kPickAdvance || !next) break;
        code = *next;
    }
    EXPECT_EQ(codes, (std::vector<int>{1014, 1015, 1016}));
    EXPECT_EQ(model.Patterns[4].StepNote(0, 14), 1);
    EXPECT_EQ(model.Patterns[4].StepNote(0, 15), 2);
    EXPECT_EQ(model.Patterns[4].StepNote(1, 0), 3);
}

TEST_F(PickerWindowsTest, ArrowsMoveTheHighlightReturnPicksIt) {
    TValues1Form values(dispatch, model);
    TController1Form ctrl(dispatch, model);
    TLongPianoForm piano(dispatch, model);
    TChannelForm channels(model, hooks);
    TNoteGateTimes times(model, hooks);
    PickerWindows w({&values, &ctrl, &piano, nullptr, &times, &channels});
    auto& p = model.Presets[1];
    auto& t = model.Patterns[4];
    // The arrows by letter, then Return (with Shift: go on); from the present value, held at the edges.
    const struct {
        std::function<int()> show;
        TForm* picker;
        int32_t* stored;
        int32_t before;
        const char* keys;
        bool shift;
        int32_t after;
    } rows[] = {
        {[&] { return w.Pick(PickerKind::Values, 3); }, &values, &p.FaderMidiData2(2), 20, "RRD", false, 38},
        {[&] { return w.Pick(PickerKind::Values, 3); }, &values, &p.FaderMidiData2(2), 20, "LU", true, 3},
        {[&] { return w.Pick(PickerKind::Controllers, 0); }, &ctrl, &p.FaderMidiData1(2), 33, "DR", false, 66},
        {[&] { return w.Pick(PickerKind::Piano, 1); }, &piano, &p.KeyOnMidiData1(2), 60, "RRU", false, 74},
        {[&] { return w.Pick(PickerKind::Piano, 1); }, &piano, &p.KeyOnMidiData1(2), 128, "L", false, 59},  // from C 4
        {[&] { return w.PickTrack(TrackPickerKind::Channels, 0, 1, 0); }, &channels, &t.TrackEvent(0), 0x93, "DR",
         false, 0x97},
        {[&] { return w.PickTrack(TrackPickerKind::TimeCodes, 5, 3, 0); }, &times, &t.TrackDelay(2), 8, "D", false,
         TimeCodes[6]},
    };
    for (const auto& r : rows) {
        *r.stored = r.before;
        QTimer::singleShot(0, [&r] {
            for (const char* k = r.keys; *k; ++k)
                userinput::KeyClick(r.picker,
                                    *k == 'R'       ? Qt::Key_Right
                                        : *k == 'L' ? Qt::Key_Left
                                        : *k == 'U' ? Qt::Key_Up
                                                    : Qt::Key_Down);
            userinput::KeyClick(r.picker, Qt::Key_Return, r.shift ? Qt::ShiftModifier : Qt::NoModifier);
            if (r.picker->isVisible()) r.picker->Close();  // the keys left it open
        });
        EXPECT_EQ(r.show(), r.shift ? kPickAdvance : kPickEnd) << r.keys;
        EXPECT_EQ(*r.stored, r.after) << r.keys;
    }
}

TEST_F(PickerWindowsTest, ControllerPickerNamesControllers) {
    TController1Form ctrl(dispatch, model);
    ctrl.TargetCode = 0;
    model.Presets[1].FaderMidiData1(2) = 33;
    ctrl.Show();
    EXPECT_EQ(ctrl.CurrentCell(), (GridCell{1, 1}));
    EXPECT_EQ(ctrl.ControllerStringGrid->CellText(7, 0), QStringLiteral("Volume"));
    Click(ctrl.ControllerStringGrid, CellCentre(ctrl.ControllerStringGrid, 7, kControllerGrid));
    EXPECT_EQ(ctrl.Caption(), "(Ctrl: 7)Volume");
    EXPECT_EQ(model.Presets[1].FaderMidiData1(2), 7);
    EXPECT_EQ(refreshed, std::vector<int>{0});
}

TEST_F(PickerWindowsTest, KeyboardShowsTheLiveValueAndForgetsItsLastNote) {
    TLongPianoForm piano(dispatch, model);
    piano.TargetCode = 1;
    model.Presets[1].KeyOnMidiData1(2) = 128;
    const QRgb before = piano.PianoImage->Picture().pixel(745, 50);
    piano.Show();
    EXPECT_EQ(piano.Caption(), "Slider");
    EXPECT_EQ(piano.PianoImage->Picture().pixel(745, 50), before);  // key 127 not painted
    Click(piano.PianoImage, {745, 50});  // G 9
    EXPECT_EQ(model.Presets[1].KeyOnMidiData1(2), 127);
    EXPECT_EQ(piano.Caption(), "127:  G  9");
    // Shown again: a release on a gap before crossing a key writes nothing.
    piano.Show();
    EXPECT_EQ(piano.LastNote, -1);
    Mouse(piano.PianoImage, QEvent::MouseMove, {700, 10});
    Mouse(piano.PianoImage, QEvent::MouseButtonRelease, {700, 10}, Qt::LeftButton);
    EXPECT_EQ(model.Presets[1].KeyOnMidiData1(2), 127);
    // A value beyond the note list paints nothing and shows its number.
    model.Presets[1].KeyOnMidiData1(2) = 200;
    piano.Show();
    EXPECT_EQ(piano.Caption(), "200");
    piano.Close();
}

TEST_F(PickerWindowsTest, TimeCodePickerGreysNoteTimesAboveTheGateTime) {
    TNoteGateTimes times(model, hooks);
    model.Patterns[4].TrackGateTime(2) = 20;
    model.Patterns[4].TrackNoteTime(2) = 8;
    times.Mode = kNoteTimeMode;
    times.Track = 3;
    times.Show();
    EXPECT_EQ(times.Caption(), "Note Time:");
    EXPECT_EQ(times.LimitIndex(), 5);
    EXPECT_EQ(times.PresentIndex(), 2);
    Click(times.StringGrid1, CellCentre(times.StringGrid1, 8, kTimeCodeGrid));
    EXPECT_EQ(times.Caption(), "Note Time:009*1/96");
    // A grey cell can be clicked: the setter keeps the note time.
    EXPECT_EQ(writes, (std::vector<std::array<int, 2>>{{3, 3}}));
    EXPECT_EQ(model.Patterns[4].TrackNoteTime(2), 8);
    EXPECT_EQ(restarts, 1);
    // Cell 0 is empty for the gate time and writes nothing; for the delay it
    // is "no Delay" and written, to every track with "all".
    writes.clear();
    for (int mode : {kGateTimeMode, kDelayMode}) {
        times.Mode = mode;
        times.Track = 0;
        times.Show();
        Click(times.StringGrid1, CellCentre(times.StringGrid1, 0, kTimeCodeGrid));
    }
    EXPECT_EQ(writes.size(), 8u);
    EXPECT_EQ(writes.back(), (std::array<int, 2>{5, 8}));
    EXPECT_EQ(model.Patterns[4].TrackDelay(7), 0);
    EXPECT_EQ(model.Patterns[4].TrackGateTime(2), 20);
    EXPECT_EQ(times.StringGrid1->CellText(0, 0), QStringLiteral("no Delay"));
}

TEST_F(PickerWindowsTest, ChannelPickerCaptionsAndSteps) {
    TChannelForm channels(model, hooks);
    model.Patterns[4].TrackEvent(0) = 0x93;
    channels.Mode = kChannelMode;
    channels.Track = 1;
    channels.Show();
    EXPECT_EQ(channels.Caption(), "Channel:4");
    EXPECT_EQ(channels.PresentIndex(), 3);
    channels.Hide();
    channels.Track = 0;
    channels.Show();
    EXPECT_EQ(channels.Caption(), "Channel");
    EXPECT_EQ(channels.PresentIndex(), -1);
    model.Patterns[4].TrackEndStep(1) = 8;
    channels.Mode = kStartStepMode;
    channels.Track = 2;
    channels.Hide();
    channels.Show();
    Click(channels.ChannelStringGrid, CellCentre(channels.ChannelStringGrid, 11, kChannelGrid), Qt::LeftButton,
          Qt::ShiftModifier);
    EXPECT_EQ(channels.Caption(), "Start Step:12");
    EXPECT_EQ(channels.ModalResult(), kPickAdvance);
    EXPECT_EQ(writes.back(), (std::array<int, 2>{1, 2}));
    EXPECT_EQ(model.Patterns[4].TrackStartStep(1), 8);  // never after the end step
    EXPECT_EQ(restarts, 0);
}

TEST_F(PickerWindowsTest, DrumkitMenuOpensTheKitAndKeepsOneRecentEntry) {
    QTemporaryDir dir;
    QFile f(dir.path() + "/KITS.MVD");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(
        "[a]\nmanufacturer=Acme\nmodel=R8\ndrumkit=Standard\n36=Kick\n"
        "[b]\nmanufacturer=Acme\nmodel=R8\ndrumkit=Jazz & Brush\n");
    f.close();
    TDrumkitForm kits(dispatch, model, (dir.path() + "/").toStdString());
    QMenu stepMenu, faderMenu;
    int tag = StepCode(kStepNoteBase, 2, 5);
    kits.BuildKitMenu(&stepMenu, [&] { return tag; });
    kits.BuildKitMenu(&faderMenu, [] { return 0; });
    ASSERT_EQ(kits.MenuKits.size(), 4u);
    QMenu* r8 = stepMenu.actions()[0]->menu()->actions()[0]->menu();
    ASSERT_NE(r8, nullptr);
    EXPECT_EQ(r8->actions()[0]->text(), QStringLiteral("Jazz && Brush"));
    QAction* standard = r8->actions()[1];
    // Chosen twice: the step gets the clicked instrument's note, and the
    // menu one recent entry showing the kit chosen last.
    for (QAction* item : {standard, r8->actions()[0]}) {
        QTimer::singleShot(0, [&] {
            EXPECT_TRUE(kits.Modal());
            Click(kits.StringGrid1, CellCentre(kits.StringGrid1, 36, kDrumkitGrid), Qt::LeftButton, Qt::ShiftModifier);
        });
        item->trigger();
    }
    EXPECT_EQ(model.Patterns[4].StepNote(1, 4), 36);
    EXPECT_EQ(kits.ModalResult(), mrCancel);  // never walks on
    EXPECT_EQ(stepMenu.actions().size(), 2);
    EXPECT_EQ(kits.RecentKitItem(&stepMenu)->text(), QStringLiteral("(R8)  Jazz && Brush"));
    EXPECT_EQ(kits.RecentKitItem(&faderMenu), nullptr);
    // The event editor's key column takes the names instead.
    tag = kKeyColumnCode;
    InstrumentNames got;
    kits.KeyColumnNames = [&](const InstrumentNames& n) { got = n; };
    standard->trigger();
    EXPECT_EQ(got[36], "Kick");
    EXPECT_FALSE(kits.isVisible());
}

TEST_F(PickerWindowsTest, TrackToolsButtonsChangeThePattern) {
    std::vector<std::string> calls;
    TrackRowOps ops;
    ops.RotateTrackLeft = [&](int t) { calls.push_back("rotl" + std::to_string(t)); };
    ops.ShiftTrackRight = [&](int t) { calls.push_back("shr" + std::to_string(t)); };
    ops.TransposeTrack = [&](int t, int d) { calls.push_back("tr" + std::to_string(t) + ":" + std::to_string(d)); };
    ops.ChangeTrackVelocity = [&](int t, int d) {
        calls.push_back("vel" + std::to_string(t) + ":" + std::to_string(d));
    };
    ops.ShowPattern = [&](int p) { calls.push_back("show" + std::to_string(p)); };
    TTrackEditForm tools(model, nullptr, dispatch, nullptr, ops, [] { return 0u; });
    model.Patterns[4].MuteMask() = 0;
    tools.Show();
    tools.MaskEdits[2]->setValue(5);
    tools.RotateLeftButton(1)->click();
    tools.ShiftRightButton(8)->click();
    tools.NotesMinusButton(3)->click();
    tools.VelocityPlusButton(3)->click();
    model.Patterns[4].TrackStartStep(5) = 5;
    model.Patterns[4].TrackEndStep(5) = 8;
    tools.Ranges.SetBound(kMinVelocityCode, 33);
    tools.RandomVelocityButton(6)->click();
    EXPECT_EQ(calls, (std::vector<std::string>{"rotl1", "shr8", "tr3:-5", "vel3:5", "show4"}));
    EXPECT_EQ(model.Patterns[4].StepVelocity(5, 4), 33);
    EXPECT_EQ(model.Patterns[4].StepVelocity(5, 8), model.Patterns[4].StepVelocity(5, 9));
    // Clearing track 3's box mutes it; the arrows stop at the other bound.
    tools.TrackCheckBoxes[2]->click();
    EXPECT_TRUE(model.Patterns[4].MuteMask() & 4);
    tools.maxVelocityEdit->setText("20");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(tools.maxVelocityEdit, &enter);
    EXPECT_EQ(tools.maxVelocityEdit->text(), QStringLiteral("33"));  // below the minimum 33: clamped
    tools.minNoteUpDown->Down->click();
    EXPECT_EQ(tools.MinNote, 0);
    tools.maxNoteUpDown->Down->click();
    EXPECT_EQ(tools.maxNoteEdit->text(), QStringLiteral("F# 9"));
    // The value picker reaches the velocity bounds through code 4002.
    EXPECT_TRUE(dispatch.Write(PickerKind::Values, kMinVelocityCode, 30));
    EXPECT_EQ(tools.minVelocityEdit->text(), QStringLiteral("30"));
}

// Typed velocity bounds, committed with Return or by leaving the field, are
// clamped into 0..127 and against the other bound; no number: the old bound.
TEST_F(PickerWindowsTest, TypedVelocityBoundsAreClamped) {
    using namespace userinput;
    TTrackEditForm tools(model, nullptr, dispatch, nullptr, {}, [] { return 0u; });
    tools.Show();
    tools.Ranges.SetBound(kMaxVelocityCode, 76);
    tools.ShowBound(kMaxVelocityCode);
    QLineEdit *lo = tools.minVelocityEdit, *hi = tools.maxVelocityEdit;
    const int ret = Qt::Key_Return, tab = Qt::Key_Tab;
    const struct {
        QLineEdit* edit;
        const char* typed;
        int commit;
        int32_t min, max;
    } rows[] = {{lo, "200", ret, 76, 76},          {lo, "-5", ret, 0, 76}, {lo, "abc", ret, 0, 76},
                {lo, "40", tab, 40, 76},           {lo, "", ret, 40, 76},  {lo, "90", ret, 76, 76},
                {hi, "99999999999", ret, 76, 127}, {hi, "9", ret, 76, 76}};
    for (const auto& r : rows) {
        FocusOn(r.edit);
        KeyClick(r.edit, Qt::Key_A, Qt::ControlModifier);
        KeyClicks(r.edit, QString::fromLatin1(r.typed));
        KeyClick(r.edit, r.commit);
        EXPECT_EQ(std::pair(tools.MinVelocity, tools.MaxVelocity), std::pair(r.min, r.max)) << r.typed;
        EXPECT_EQ((lo->text() + "/" + hi->text()).toStdString(), std::to_string(r.min) + "/" + std::to_string(r.max));
    }
}

}  // namespace
}  // namespace morvelant
