#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QMimeData>
#include <QTableWidget>

#include "model/TrackSettings.h"
#include "patterns/TrackParameter.h"
#include "tests/patterns/PatternsWindowSupport.h"

using namespace morvelant;
using namespace morvelant::testsupport;
using G = TTrackParameterForm;

namespace {

class TrackGrid : public ::testing::Test, public PatternWindowTest {
protected:
    void SetUp() override {
        m.SelectedPattern = 2;
        form = std::make_unique<TTrackParameterForm>(m, notes, &pickers);
        changed = notes.TrackSettingsChanged.Subscribe([this](int t) { settingsChanges.push_back(t); });
        mutes = notes.TrackMuteChanged.Subscribe([this](int t) { muteChanges.push_back(t); });
        form->RefreshTrackGrid(2);
    }
    Pattern_Parameters& P() { return m.Patterns[2]; }
    void RightClick(int row, int column) { form->StringGrid1MouseDown(row, column, Qt::RightButton, {100, 100}); }
    QAction* Item(const char* name) { return form->findChild<QAction*>(QString::fromLatin1(name)); }

    std::unique_ptr<TTrackParameterForm> form;
    Subscription changed, mutes;
    std::vector<int> settingsChanges, muteChanges;
};

TEST_F(TrackGrid, ShowsEverySettingByName) {
    P().TrackEvent(1) = 0xB4;
    P().TrackNoteTime(1) = 3;
    P().TrackRunMode(1) = 8;
    form->RefreshTrackGrid(2);
    const std::pair<int, const char*> cells[] = {{G::rEvent, "Controller"}, {G::rChannel, "5"},
                                                 {G::rNotetime, "error:3"}, {G::rRunmode, "Down 2-Okt."},
                                                 {G::rDelay, "no Delay"},   {G::rStatus, "muted"}};
    for (auto [row, text] : cells) EXPECT_EQ(form->CellText(row, 2), QString::fromLatin1(text)) << row;
    EXPECT_EQ(form->CellText(G::rData1, 0), QStringLiteral("Data1 (offset)"));
    EXPECT_EQ(form->pos(), QPoint(44, 344));  // the configuration's defaults
}

TEST_F(TrackGrid, PickersAdvanceOneTrackPerShiftPick) {
    struct Case {
        int row, column;
        std::vector<int> answers, codes;
    } cases[] = {
        {G::rGatetime, 0, {1, 1, 0}, {400, 401, 402}},  // from the label: all, then track 1, 2
        {G::rDelay, 7, {1, 1, 1}, {507, 508}},  // the loop ends after track 8
        {G::rEndstep, 3, {0}, {1203}},
        {G::rChannel, 8, {1}, {1008}},
    };
    for (const Case& c : cases) {
        pickers.codes.clear();
        pickers.answers = c.answers;
        RightClick(c.row, c.column);
        EXPECT_EQ(pickers.codes, c.codes) << c.row << "/" << c.column;
        EXPECT_EQ(form->ClickedColumn, -1);
    }
    EXPECT_EQ(settingsChanges.size(), 4u);
}

TEST_F(TrackGrid, Data2OfAProgramChangeTrackShowsNothing) {
    P().TrackEvent(3) = 0xC0;
    P().TrackEvent(4) = 0x90;
    RightClick(G::rData2, 4);
    EXPECT_TRUE(pickers.codes.empty());
    pickers.answers = {1, 0};
    RightClick(G::rData2, 5);
    EXPECT_EQ(pickers.codes, (std::vector<int>{405, 406}));
}

TEST_F(TrackGrid, MenusApplyToOneTrackOrAll) {
    P().TrackEvent(2) = 0x97;
    RightClick(G::rEvent, 3);
    form->PopupMenu1->hide();
    Item("Controller1")->trigger();
    EXPECT_EQ(P().TrackEvent(2), 0xB7);
    EXPECT_EQ(form->CellText(G::rEvent, 3), QStringLiteral("Controller"));
    RightClick(G::rRunmode, 0);
    form->RunModePopupMenu->hide();
    EXPECT_FALSE(form->UpDown11->menuAction()->isVisible());
    Item("N2Oktaven2")->trigger();
    for (int t = 0; t < 8; ++t) EXPECT_EQ(P().TrackRunMode(t), 8);
    RightClick(G::rStatus, 0);
    form->MuteStatusPopupMenu->hide();
    Item("Mute1")->trigger();
    EXPECT_EQ(P().MuteMask() & 0xFF, 0xFF);
    EXPECT_EQ(CountActiveTracks(m, 2), 0);
    EXPECT_EQ(muteChanges, (std::vector<int>{0}));
    EXPECT_EQ(settingsChanges, (std::vector<int>{0, 0, 0}));
}

TEST_F(TrackGrid, StatusCellTogglesMuteAndKeepsAnOuterGuard) {
    RightClick(G::rStatus, 1);
    EXPECT_TRUE(TrackMuted(P(), 1));
    EXPECT_EQ(form->CellText(G::rStatus, 1), QStringLiteral("muted"));
    EXPECT_EQ(muteChanges, (std::vector<int>{1}));
    EXPECT_EQ(settingsChanges, (std::vector<int>{1}));
    {
        UpdatingGuard outer(m);
        form->ShowTrackMute(2, 1);
        EXPECT_TRUE(m.Updating);
    }
    EXPECT_FALSE(m.Updating);
}

TEST_F(TrackGrid, AHeaderDroppedOnTheLabelsCopiesTheTrackEverywhere) {
    P().TrackRunMode(1) = 5;
    P().StepNote(1, 3) = 77;
    P().MuteMask() = 0xFD;  // track 2 plays
    int shows = 0;
    Subscription s = notes.CurrentPatternChanged.Subscribe([&] { ++shows; });
    QWidget* viewport = form->StringGrid1->viewport();
    Mouse(viewport, QEvent::MouseButtonPress, {2 * 85 + 20, 5});  // header of track 2
    EXPECT_EQ(form->DragSourceColumn, 2);
    EXPECT_EQ(m.SelectedTrack, 2);
    QMimeData* data = TTrackParameterForm::ColumnDragData(2);
    QDragEnterEvent enter(QPoint(10, 40), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QDropEvent drop(QPointF(10, 40), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    delete data;
    EXPECT_EQ(shows, 1);
    EXPECT_EQ(P().MuteMask(), 0);
    for (int t = 0; t < 8; ++t) {
        EXPECT_EQ(P().TrackRunMode(t), 5);
        EXPECT_EQ(P().StepNote(t, 3), 77);
    }
    // The selected column is drawn yellow, the header in the track's colour.
    EXPECT_EQ(form->CellColor(5, 2), ToQColor(clYellow));
    EXPECT_EQ(form->CellColor(0, 1), ToQColor(255));
}

}  // namespace
