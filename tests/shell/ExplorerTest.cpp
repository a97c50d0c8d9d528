// The window explorer offscreen: its tree, state icons, clicks on labels and
// state icons, right clicks and keyboard moves that show a window alone, the
// "Help" node, and its configuration. Windows that are not built yet stand
// in as plain forms with their form names.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <memory>
#include <string>
#include <vector>

#include "platform/Dialogs.h"
#include "platform/IniFile.h"
#include "platform/QtFormFrame.h"
#include "shell/Main.h"
#include "shell/MainMenu.h"
#include "shell/MorvelantExplorer.h"
#include "tests/support/OwningMainForm.h"
#include "tests/support/QtWidgetApp.h"

namespace morvelant {
namespace {

QApplication* WidgetApp() { return testsupport::WidgetApp(/*offscreen=*/true); }

// A window of a later issue: counts how often it was asked to close.
class StandIn : public TForm {
public:
    explicit StandIn(const char* name) : TForm(QString::fromLatin1(name)) {
        SetCaption(name);
        resize(120, 80);
    }
    int closes = 0;

protected:
    void FormClose(TCloseAction&) override { ++closes; }
};

class ExplorerTest : public ::testing::Test {
protected:
    void SetUp() override {
        WidgetApp();
        ASSERT_TRUE(dir.isValid());
        SetUp(std::string());
    }
    void SetUp(const std::string& config) {
        if (!config.empty()) {
            QFile f(dir.filePath("Morvelant.cfg"));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(config.c_str());
        }
        main = std::make_unique<testsupport::OwningMainForm>(Path());
        MainForm = main.get();
        for (const char* name : {"MidiSettingsForm", "PresetForm", "AllFaderP", "PatternForm", "EventEditForm",
                                 "TrackEditForm", "InstructionsForm"})
            standIns.push_back(std::make_unique<StandIn>(name));
        explorer = std::make_unique<TMorvelantExplorerForm>(&main->Model, Path());
        MorvelantExplorerForm = explorer.get();
        main->Show();
        explorer->Show();
    }
    void TearDown() override {
        explorer.reset();
        standIns.clear();
        main.reset();
        EXPECT_EQ(MorvelantExplorerForm, nullptr);
        SetHelpOpener({});
    }
    std::string Path() const { return dir.path().toStdString() + "/"; }

    StandIn* Window(const char* name) {
        for (auto& w : standIns)
            if (w->objectName() == QLatin1String(name)) return w.get();
        return nullptr;
    }
    QTreeWidgetItem* NodeNamed(const char* text) {
        for (int i = 0; i < explorer->NodeCount(); ++i)
            if (explorer->Node(i)->text(0) == QLatin1String(text)) return explorer->Node(i);
        return nullptr;
    }
    QPoint LabelPoint(const char* text) {
        const QRect r = explorer->TreeView1->visualItemRect(NodeNamed(text));
        return QPoint(r.left() + 40, r.center().y());
    }
    QPoint IconPoint(const char* text) {
        const QRect r = explorer->TreeView1->visualItemRect(NodeNamed(text));
        return QPoint(r.left() + 8, r.center().y());
    }
    void Click(const QPoint& pos, Qt::MouseButton button = Qt::LeftButton) {
        QWidget* vp = explorer->TreeView1->viewport();
        QMouseEvent down(QEvent::MouseButtonPress, pos, vp->mapToGlobal(pos), button, button, Qt::NoModifier);
        QApplication::sendEvent(vp, &down);
        QMouseEvent up(QEvent::MouseButtonRelease, pos, vp->mapToGlobal(pos), button, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(vp, &up);
    }
    void Key(int key) {
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(explorer->TreeView1, &down);
        QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier);
        QApplication::sendEvent(explorer->TreeView1, &up);
    }

    QTemporaryDir dir;
    std::unique_ptr<TMainForm> main;
    std::vector<std::unique_ptr<StandIn>> standIns;
    std::unique_ptr<TMorvelantExplorerForm> explorer;
};

TEST_F(ExplorerTest, TreeListsTheWindowsWithChildrenUnderTheirParents) {
    ASSERT_EQ(explorer->NodeCount(), 16);
    EXPECT_EQ(explorer->TreeView1->topLevelItemCount(), 6);
    const char* expected[] = {"Virtual Morvelant", "Midi Settings",
                              "Presets",           "Fader & Key Parameters",
                              "Special Keys",      "Preset Notes",
                              "Patterns",          "Event Editor",
                              "Track Parameters",  "Step Parameters",
                              "Track Edit Tools",  "Pattern Notes",
                              "Play Pattern on PC", "Midi Monitor",
                              "Help",              "Device Info"};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(explorer->Node(i)->text(0).toStdString(), expected[i]);
    EXPECT_EQ(explorer->Node(1)->parent(), explorer->Node(0));
    EXPECT_EQ(explorer->Node(5)->parent(), explorer->Node(2));
    EXPECT_EQ(explorer->Node(11)->parent(), explorer->Node(6));
    EXPECT_EQ(explorer->Node(12)->parent(), explorer->Node(6));
    EXPECT_EQ(explorer->Node(13)->parent(), nullptr);
    EXPECT_TRUE(explorer->Node(6)->isExpanded());  // every node expanded when shown
    EXPECT_EQ(explorer->Caption(), "Morvelant Explorer");
    EXPECT_EQ(explorer->TreeView1->indentation(), 20);
}

TEST_F(ExplorerTest, StateIconsFollowTheWindows) {
    EXPECT_TRUE(main->Model.ExplorerReady);
    EXPECT_EQ(explorer->StateIndex(0), kIconShown);  // the virtual device window is shown
    EXPECT_EQ(explorer->StateIndex(2), kIconHidden);
    Window("PresetForm")->Show();
    EXPECT_EQ(explorer->StateIndex(2), kIconShown);
    Window("PresetForm")->Close();
    EXPECT_EQ(explorer->StateIndex(2), kIconHidden);
    // The instructions window shows on the "Help" node.
    Window("InstructionsForm")->Show();
    EXPECT_EQ(explorer->StateIndex(kHelpNode), kIconShown);
    // Out-of-range positions and pictures are ignored.
    explorer->SetStateIndex(16, 2);
    explorer->SetStateIndex(2, 9);
    EXPECT_EQ(explorer->StateIndex(2), kIconHidden);
}

TEST_F(ExplorerTest, LabelClickShowsAndStateIconClickToggles) {
    StandIn* presets = Window("PresetForm");
    Click(LabelPoint("Presets"));
    EXPECT_TRUE(presets->isVisible());
    EXPECT_EQ(explorer->Caption(), "Presets");
    Click(LabelPoint("Presets"));  // a visible window stays visible
    EXPECT_TRUE(presets->isVisible());
    EXPECT_EQ(presets->closes, 0);

    ASSERT_TRUE(explorer->OnStateIcon(IconPoint("Presets")));
    ASSERT_FALSE(explorer->OnStateIcon(LabelPoint("Presets")));
    Click(IconPoint("Presets"));
    EXPECT_FALSE(presets->isVisible());
    EXPECT_EQ(presets->closes, 1);  // closed, so its close handler ran
    Click(IconPoint("Presets"));
    EXPECT_TRUE(presets->isVisible());
}

TEST_F(ExplorerTest, StateIconOfTheVirtualDeviceHidesItInsteadOfClosing) {
    ASSERT_TRUE(main->isVisible());
    Click(IconPoint("Virtual Morvelant"));
    EXPECT_FALSE(main->isVisible());
    EXPECT_EQ(explorer->StateIndex(0), kIconHidden);
    Click(IconPoint("Virtual Morvelant"));
    EXPECT_TRUE(main->isVisible());
}

TEST_F(ExplorerTest, RightClickShowsTheWindowAlone) {
    Window("PresetForm")->Show();
    Window("EventEditForm")->Show();
    Click(LabelPoint("Patterns"), Qt::RightButton);
    EXPECT_TRUE(Window("PatternForm")->isVisible());
    EXPECT_FALSE(main->isVisible());
    EXPECT_FALSE(Window("PresetForm")->isVisible());
    EXPECT_FALSE(Window("EventEditForm")->isVisible());
    // Every listed window is asked to close, shown or not; the explorer stays.
    EXPECT_EQ(Window("TrackEditForm")->closes, 1);
    EXPECT_EQ(Window("MidiSettingsForm")->closes, 1);
    EXPECT_EQ(Window("PatternForm")->closes, 0);
    EXPECT_TRUE(explorer->isVisible());
    EXPECT_EQ(main->OpenWindows(), std::vector<WindowHandle>{Window("PatternForm")});

    // A right click on the state icon of a visible window keeps it and
    // closes the rest.
    Window("PresetForm")->Show();
    Click(IconPoint("Patterns"), Qt::RightButton);
    EXPECT_TRUE(Window("PatternForm")->isVisible());
    EXPECT_FALSE(Window("PresetForm")->isVisible());
}

TEST_F(ExplorerTest, KeyboardMovesShowEachWindowAlone) {
    Click(LabelPoint("Patterns"));
    explorer->TreeView1->setCurrentItem(NodeNamed("Patterns"));
    Window("PresetForm")->Show();
    ASSERT_TRUE(explorer->MouseSelect);
    Key(Qt::Key_Down);
    EXPECT_FALSE(explorer->MouseSelect);
    EXPECT_EQ(explorer->TreeView1->currentItem(), NodeNamed("Event Editor"));
    EXPECT_TRUE(Window("EventEditForm")->isVisible());
    EXPECT_FALSE(Window("PatternForm")->isVisible());
    EXPECT_FALSE(Window("PresetForm")->isVisible());
    EXPECT_FALSE(main->isVisible());
    EXPECT_EQ(explorer->Caption(), "Event Editor");
    EXPECT_TRUE(explorer->isVisible());

    Key(Qt::Key_Down);  // Track Parameters: not built, nothing to show
    Key(Qt::Key_Down);  // Step Parameters
    Key(Qt::Key_Down);  // Track Edit Tools
    EXPECT_TRUE(Window("TrackEditForm")->isVisible());
    EXPECT_FALSE(Window("EventEditForm")->isVisible());
}

TEST_F(ExplorerTest, TreeChangesMadeByTheMouseOrTheTreeItselfDoNothing) {
    explorer->TreeView1->setCurrentItem(NodeNamed("Presets"));
    EXPECT_FALSE(Window("PresetForm")->isVisible());
    // A mouse-down on empty space changes nothing but the mouse flag (the
    // window made taller: the tree fills its first size).
    explorer->resize(explorer->width(), explorer->height() + 100);
    QApplication::processEvents();
    explorer->MouseSelect = false;
    Click(QPoint(5, explorer->TreeView1->viewport()->height() - 2));
    EXPECT_TRUE(explorer->MouseSelect);
    EXPECT_EQ(explorer->Caption(), "Morvelant Explorer");
}

TEST_F(ExplorerTest, HelpNodeOpensTheHelpFileOrSaysItIsMissing) {
    ScriptedDialogs dialogs;
    ScopedDialogs scope(dialogs);
    std::vector<std::string> opened;
    SetHelpOpener([&opened](const std::string& file) {
        opened.push_back(file);
        return true;
    });
    Click(LabelPoint("Help"));
    EXPECT_EQ(explorer->Caption(), "Help");
    EXPECT_TRUE(opened.empty());
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_NE(dialogs.Messages()[0].find("EditorHelp.html"), std::string::npos);
    EXPECT_FALSE(Window("InstructionsForm")->isVisible());

    QFile help(dir.filePath("EditorHelp.chm"));
    ASSERT_TRUE(help.open(QIODevice::WriteOnly));
    help.close();
    Click(LabelPoint("Help"));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], Path() + "EditorHelp.chm");
    EXPECT_EQ(dialogs.Messages().size(), 1u);
}

TEST_F(ExplorerTest, WindowsMenuSwitchingShowsWithoutToggling) {
    StandIn* presets = Window("PresetForm");
    explorer->ShowEditorWindow(presets, false, true);
    EXPECT_TRUE(presets->isVisible());
    explorer->ShowEditorWindow(presets, false, true);
    EXPECT_TRUE(presets->isVisible());
    explorer->ShowEditorWindow(nullptr, true, false);  // a window not built: nothing
    EXPECT_TRUE(presets->isVisible());
    EXPECT_TRUE(main->isVisible());
}

TEST_F(ExplorerTest, ConfigurationIsWrittenAtTheEndAndReadAtTheStart) {
    explorer->SetBounds(30, 40, 200, 300);
    explorer->SetStayOnTop(false);
    explorer->Close();
    EXPECT_FALSE(main->Model.ShowExplorer);
    explorer.reset();
    EXPECT_FALSE(main->Model.ExplorerReady);
    const TIniFile ini(Path() + "Morvelant.cfg");
    EXPECT_FALSE(ini.ReadBool("Options", "ShowExplorer", true));
    EXPECT_EQ(ini.ReadInteger("Explorer Form", "Left", -1), 30);
    EXPECT_EQ(ini.ReadInteger("Explorer Form", "Top", -1), 40);
    EXPECT_EQ(ini.ReadInteger("Explorer Form", "Width", -1), 200);
    EXPECT_EQ(ini.ReadInteger("Explorer Form", "Height", -1), 300);
    EXPECT_FALSE(ini.ReadBool("Options", "Explorer On Top", true));
}

class ExplorerConfigTest : public ExplorerTest {
protected:
    void SetUp() override {
        WidgetApp();
        ASSERT_TRUE(dir.isValid());
    }
};

TEST_F(ExplorerConfigTest, DefaultsWithoutAFile) {
    ExplorerTest::SetUp(std::string());
    EXPECT_TRUE(main->Model.ShowExplorer);
    EXPECT_TRUE(explorer->StayOnTop);
    EXPECT_TRUE(explorer->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    // At the right edge of the screen, beside the other windows' places.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_GT(explorer->Left() + OuterSize(*explorer).width(), screen.right() - 32);
    EXPECT_LE(explorer->Left() + OuterSize(*explorer).width(), screen.right() + 1);
    EXPECT_EQ(explorer->Top(), 45);
    EXPECT_EQ(OuterSize(*explorer), QSize(192, 210));  // frame included, clear of the preset list below
}

TEST_F(ExplorerConfigTest, NegativeTopBecomesZeroAndNormalStyleWhenNotOnTop) {
    ExplorerTest::SetUp("[Explorer Form]\r\nTop=-1\r\nLeft=-7\r\n[Options]\r\nExplorer On Top=0\r\nShowExplorer=0\r\n");
    EXPECT_EQ(explorer->Top(), 0);
    EXPECT_EQ(explorer->Left(), 0);  // shown by the test, wholly on the screen
    EXPECT_FALSE(explorer->StayOnTop);
    EXPECT_FALSE(explorer->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(main->Model.ShowExplorer);  // shown by the test, so the flag is set again
    explorer->SetStayOnTop(true);
    EXPECT_TRUE(explorer->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(explorer->isVisible());  // the style change keeps a shown window shown
}

}  // namespace
}  // namespace morvelant
