// The monitor of the started editor under a burst: what the engine logs
// becomes rows at the next frame, all of them at once and in order, and
// nothing waits once the frame has been shown.

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QTableView>

#include <algorithm>

#include "engine/Tool.h"
#include "shell/MidiMonGrid.h"
#include "tests/support/PollUntil.h"
#include "tests/support/StartedEditor.h"

namespace morvelant {
namespace {

using testsupport::StartedEditor;

// Starts the editor with the monitor on and shown, and has the engine send
// `lines` controller messages to output port 0 at once; the count before.
int StartAndSend(StartedEditor& editor, int lines) {
    editor.Start();
    if (!MidiMonGridForm->MonitorEnabled()) MidiMonGridForm->Enable1Click();
    MidiMonGridForm->Show();
    DeviceContext& context = editor.Windows().Context();
    context.Routing.NumOutDevs = 1;
    context.Routing.Out1DeviceFlags[0] = true;
    const int logged = MidiMonGridForm->Rows.EventCount;
    for (int v = 0; v < lines; ++v)
        SendToVirtualOutputs(context.DeviceEngine, MidiEvent{0xFFFFFFFF, 0xB0, 7, uint8_t(v & 0x7F), 0}, 1);
    return logged;
}

TEST(MonitorStarted, ABurstBecomesRowsAtTheNextFrameInOrder) {
    StartedEditor editor;
    const int logged = StartAndSend(editor, 300);
    // The engine's sends did not wait for the rows.
    EXPECT_EQ(MidiMonGridForm->Rows.EventCount, logged);
    ASSERT_TRUE(testsupport::PollUntil([&] {
        QApplication::processEvents();
        return MidiMonGridForm->Rows.EventCount == logged + 300;
    }));
    // The view shows the last one, selected.
    const QModelIndex current = MidiMonGridForm->MidiLogGrid->currentIndex();
    ASSERT_TRUE(current.isValid());
    EXPECT_EQ(current.sibling(current.row(), 0).data().toString(), QString::number(logged + 300));
    EXPECT_EQ(current.sibling(current.row(), 7).data().toString(), QStringLiteral("Ctrl Value: 43"));
}

// A flood within one frame: a screenful of the last lines becomes rows,
// before them one grey row says how many lines were left out, and the
// count numbers every line, shown or not.
TEST(MonitorStarted, AFloodShowsTheLastScreenfulAndSaysHowManyLinesWereSkipped) {
    StartedEditor editor;
    constexpr int kLines = 3000;
    const int logged = StartAndSend(editor, kLines);
    ASSERT_TRUE(testsupport::PollUntil([&] {
        QApplication::processEvents();
        return MidiMonGridForm->Rows.EventCount == logged + kLines;
    }));
    const QAbstractItemModel* grid = MidiMonGridForm->MidiLogGrid->model();
    const auto cell = [&](int row, int column) { return grid->index(row, column).data().toString(); };
    int skippedRow = -1;
    for (int r = 0; r < grid->rowCount(); ++r)
        if (cell(r, 4) == QStringLiteral("Skipped")) skippedRow = r;
    ASSERT_GE(skippedRow, 0);
    const int shown = grid->rowCount() - 1 - skippedRow;
    const int skipped = kLines - shown;
    const int screenful = MidiMonGridForm->MidiLogGrid->viewport()->height() / MidiMonitorRows::kRowHeight + 1;
    EXPECT_GE(shown, 14);
    EXPECT_LE(shown, std::max(14, screenful));
    EXPECT_EQ(cell(skippedRow, 6), QString::number(skipped) + QStringLiteral(" lines not shown"));
    EXPECT_EQ(cell(skippedRow, 0), QString::number(logged + skipped));
    for (int k = 1; k <= shown; ++k) {
        EXPECT_EQ(cell(skippedRow + k, 0), QString::number(logged + skipped + k));
        EXPECT_EQ(cell(skippedRow + k, 4), QStringLiteral("Controller"));
    }
}

}  // namespace
}  // namespace morvelant
