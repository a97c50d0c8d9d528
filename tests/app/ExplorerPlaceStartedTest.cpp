// The explorer stays on top of the other windows: at the default layout it
// must cover no control of any window that the start can show (each window
// of the Windows menu, as left open at the last exit), on a 1920x1200 and a
// 1366x768 screen. Each screen size runs in a process of its own, whose
// offscreen screen has that size and window frames.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QTabBar>
#include <QTemporaryDir>

#include "shell/FormBookkeeping.h"
#include "shell/MenuTable.h"
#include "shell/MorvelantExplorer.h"
#include "tests/support/DriverProcess.h"
#include "tests/support/StartedEditor.h"

namespace morvelant {
namespace {

bool IsControl(const QWidget* w) {
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QLineEdit*>(w) ||
        qobject_cast<const QComboBox*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
        qobject_cast<const QAbstractItemView*>(w) || qobject_cast<const QTabBar*>(w) ||
        qobject_cast<const QAbstractSlider*>(w) || qobject_cast<const QMenuBar*>(w);
}

// "window/control" for each visible control of another window under the
// explorer's frame.
std::vector<std::string> CoveredControls() {
    const QRect explorer = MorvelantExplorerForm->frameGeometry();
    std::vector<std::string> covered;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top == MorvelantExplorerForm || !top->isVisible()) continue;
        for (QWidget* w : top->findChildren<QWidget*>()) {
            if (!IsControl(w) || !w->isVisibleTo(top)) continue;
            const QRect at(w->mapToGlobal(QPoint(0, 0)), w->size());
            if (at.intersects(explorer)) {
                covered.push_back(top->objectName().toStdString() + "/" + w->objectName().toStdString());
                break;  // one control names the window
            }
        }
    }
    return covered;
}

TEST(ExplorerPlaceStarted, CoversNoControlAtTheDefaultLayoutOnEitherScreen) {
    const QByteArray size = qgetenv("MORVELANT_TEST_SCREEN");
    if (size.isEmpty()) {
        QTemporaryDir dir;
        for (const auto& [w, h] : {std::pair{1920, 1200}, std::pair{1366, 768}}) {
            SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
            const QString config = dir.filePath(QStringLiteral("screen%1.json").arg(w));
            QFile file(config);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(QStringLiteral("{\"windowFrameMargins\": true, \"screens\": [{\"name\": \"S\", \"x\": 0, "
                                      "\"y\": 0, \"width\": %1, \"height\": %2, \"logicalDpi\": 96, "
                                      "\"logicalBaseDpi\": 96, \"dpr\": 1}]}")
                           .arg(w)
                           .arg(h)
                           .toUtf8());
            file.close();
            const std::string env = "MORVELANT_TEST_SCREEN=" + std::to_string(w) + "x" + std::to_string(h) +
                " QT_QPA_PLATFORM='offscreen:configfile=" + config.toStdString() + "' ";
            EXPECT_EQ(testsupport::RerunThisTestAlone(env), 0);
        }
        return;
    }
    testsupport::StartedEditor editor;  // in this process: the screen of `size`
    const QSize screen = QGuiApplication::primaryScreen()->size();
    ASSERT_EQ(QByteArray::number(screen.width()) + "x" + QByteArray::number(screen.height()), size);
    editor.StartAsTheProgram();
    QApplication::processEvents();
    ASSERT_NE(MorvelantExplorerForm, nullptr);
    ASSERT_TRUE(MorvelantExplorerForm->isVisible());
    EXPECT_EQ(CoveredControls(), std::vector<std::string>()) << "as the start shows them";
    // Every window of the Windows menu, as left open at the last exit.
    for (const MenuItemSpec& spec : MainMenuItems()) {
        // The track tools and the sequencer have no place of their own: the
        // window manager puts them where there is room.
        const std::string_view window = spec.window == nullptr ? "" : spec.window;
        if (spec.kind != MenuItemKind::WindowItem || window == "MorvelantExplorerForm" || window == "TrackEditForm" ||
            window == "SequencerForm")
            continue;
        auto* action = MainMenuForm->findChild<QAction*>(QString::fromLatin1(spec.name));
        ASSERT_NE(action, nullptr) << spec.name;
        if (QWidget* w = FindForm(spec.window); w == nullptr || !w->isVisible()) action->trigger();
    }
    QApplication::processEvents();
    EXPECT_EQ(CoveredControls(), std::vector<std::string>()) << "with every window open";
}

}  // namespace
}  // namespace morvelant
