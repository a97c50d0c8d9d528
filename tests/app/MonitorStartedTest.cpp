// The monitor of the started editor under a burst: what the engine logs
// becomes rows at the next frame, all of them at once and in order, and
// nothing waits once the frame has been shown.

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QTableView>

#include "engine/Tool.h"
#include "shell/MidiMonGrid.h"
#include "tests/support/PollUntil.h"
#include "tests/support/StartedEditor.h"

namespace morvelant {
namespace {

using testsupport::StartedEditor;

TEST(MonitorStarted, ABurstBecomesRowsAtTheNextFrameInOrder) {
    StartedEditor editor;
    editor.Start();
    ASSERT_NE(MidiMonGridForm, nullptr);
    if (!MidiMonGridForm->MonitorEnabled()) MidiMonGridForm->Enable1Click();
    MidiMonGridForm->Show();
    DeviceContext& context = editor.Windows().Context();
    context.Routing.NumOutDevs = 1;
    context.Routing.Out1DeviceFlags[0] = true;
    const int logged = MidiMonGridForm->Rows.EventCount;
    for (int v = 0; v < 300; ++v)
        SendToVirtualOutputs(context.DeviceEngine, MidiEvent{0xFFFFFFFF, 0xB0, 7, uint8_t(v & 0x7F), 0}, 1);
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

}  // namespace
}  // namespace morvelant
