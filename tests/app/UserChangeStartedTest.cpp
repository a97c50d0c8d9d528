// In the started editor only what the user changes changes: a passing wheel,
// Escape in a settings dialog and a click in the explorer leave stored things
// alone, the explorer's arrow keys stay in its tree, and a Play that nothing
// would hear says why.
#include <gtest/gtest.h>

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QWindow>

#include <fstream>
#include <sstream>

#include "patterns/Sequencer.h"
#include "presets/PresetFormUnit.h"
#include "presets/vellixaImport.h"
#include "shell/FormBookkeeping.h"
#include "shell/MorvelantExplorer.h"
#include "shell/WindowBookkeeping.h"
#include "tests/support/StartedEditor.h"
#include "tests/support/UserInput.h"

namespace morvelant {
namespace {

using namespace userinput;
using testsupport::StartedEditor;

std::string Saved(StartedEditor& editor) {
    editor.Stop();
    std::stringstream s;
    s << std::ifstream(editor.Folder() + "Morvelant.cfg").rdbuf();
    return s.str();
}

std::string ChoiceOf(QWidget* w) {
    if (auto* list = qobject_cast<QComboBox*>(w)) return list->currentText().toStdString();
    return static_cast<QAbstractSpinBox*>(w)->text().toStdString();
}

TEST(StartedUserChange, AWheelOverTheDevicePortListChangesItOnlyWithTheFocus) {
    StartedEditor editor;
    std::ofstream(editor.Folder() + "Morvelant.cfg") << "[Morvelant Devices]\r\nPCMorvelantDevice=Loopback 2\r\n";
    editor.Start();
    FocusOn(MainMenuForm);
    KeyClick(MainMenuForm, Qt::Key_F3, Qt::ShiftModifier);
    auto* port = FindForm("MidiSettingsForm")->findChild<QComboBox*>(QStringLiteral("PCMorvelantDevice"));
    ASSERT_TRUE(port->isVisible());
    Wheel(port, -2);
    EXPECT_EQ(ChoiceOf(port), "Loopback 2");
    EXPECT_FALSE(port->hasFocus());  // nor did the wheel give it the focus
    FocusOn(port);  // clicked into, it takes the wheel
    Wheel(port, 1);
    EXPECT_EQ(ChoiceOf(port), "Loopback 1");
    EXPECT_NE(Saved(editor).find("PCMorvelantDevice=Loopback 1"), std::string::npos);
}

TEST(StartedUserChange, NoWindowLetsAPassingWheelChangeAListOrSpinBox) {
    StartedEditor editor;
    editor.Start();
    int checked = 0;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (qobject_cast<TForm*>(top) == nullptr) continue;
        const bool shown = top->isVisible();
        top->show();
        for (QWidget* w : top->findChildren<QWidget*>()) {
            if (!(qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractSpinBox*>(w)) || !w->isVisible()) continue;
            SCOPED_TRACE((top->objectName() + "." + w->objectName()).toStdString());
            ++checked;
            EXPECT_NE(w->focusPolicy(), Qt::WheelFocus);
            const std::string before = ChoiceOf(w);
            for (int notches : {-1, 1, 1}) {
                Wheel(w, notches);
                EXPECT_EQ(ChoiceOf(w), before);
            }
        }
        if (!shown) top->hide();
    }
    EXPECT_GE(checked, 10);
}

// Threshold typed, then Escape: as before; then Return ("Close"): kept,
// clamped, and saved at the end.
TEST(StartedUserChange, EscapeLeavesTheKnobImportSettingsAsTheyWere) {
    StartedEditor editor;
    editor.Start();
    auto* form = vellixaImportForm;
    const struct {
        const char* typed;
        int key, threshold;
    } runs[] = {{"34", Qt::Key_Escape, 0}, {"99", Qt::Key_Return, 63}, {"abc", Qt::Key_Return, 63}};
    for (const auto& r : runs) {
        QTimer::singleShot(0, form, [&] {
            FocusOn(form->ThresholdEdit);
            KeyClick(form->ThresholdEdit, Qt::Key_A, Qt::ControlModifier);
            KeyClicks(form->ThresholdEdit, QString::fromLatin1(r.typed));
            KeyClick(form->ThresholdEdit, r.key);
            if (form->isVisible()) form->Close();
        });
        MainMenuForm->findChild<QAction*>(QStringLiteral("vellixaImportSettings1"))->trigger();
        EXPECT_EQ(form->Settings().Threshold(), r.threshold) << r.typed;
        EXPECT_EQ(form->ThresholdEdit->text().toStdString(), std::to_string(r.threshold)) << r.typed;
    }
    EXPECT_NE(Saved(editor).find("Threshold=63"), std::string::npos);
}

// A click on a preset's name, then on "Presets" in the explorer: Down and
// Space move in the explorer, the name stays.
TEST(StartedUserChange, AfterAClickInTheExplorerItsKeysStayThere) {
    StartedEditor editor;
    editor.Start();
    PresetForm->Show();
    QLineEdit* name = PresetForm->EditList[2];
    const std::string shown = name->text().toStdString(), stored = editor.Model().GetPresetDeviceName(2);
    FocusOn(name);
    Click(name);
    QTreeWidget* tree = MorvelantExplorerForm->TreeView1;
    MorvelantExplorerForm->Show();
    QTreeWidgetItem* presets = tree->findItems(QStringLiteral("Presets"), Qt::MatchExactly | Qt::MatchRecursive)[0];
    FocusOn(tree);  // the window manager activates the window clicked into
    Click(tree->viewport(), Qt::LeftButton, tree->visualItemRect(presets).center() + QPoint(20, 0));
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), tree);
    KeyClick(nullptr, Qt::Key_Down);
    KeyClick(nullptr, Qt::Key_Space);
    QApplication::processEvents();
    EXPECT_EQ(name->text().toStdString(), shown);
    EXPECT_EQ(editor.Model().GetPresetDeviceName(2), stored);
    EXPECT_NE(tree->currentItem(), presets);
}

// Walking the tree with the arrows shows each window alone, and the keys stay
// in the tree: each window it opens is shown without taking the focus.
TEST(StartedUserChange, WalkingTheExplorerWithTheArrowsKeepsTheKeysInTheTree) {
    StartedEditor editor;
    editor.Start();
    const int pattern = editor.Model().SelectedPattern;
    QTreeWidget* tree = MorvelantExplorerForm->TreeView1;
    MorvelantExplorerForm->Show();
    const auto node = [tree](const char* text) {
        return tree->findItems(QString::fromLatin1(text), Qt::MatchExactly | Qt::MatchRecursive)[0];
    };
    FocusOn(tree);
    Click(tree->viewport(), Qt::LeftButton, tree->visualItemRect(node("Patterns")).center() + QPoint(20, 0));
    QApplication::processEvents();
    // The windows shown so that the window system gives them the focus.
    struct Watch : QObject {
        std::vector<std::string> activated;
        bool eventFilter(QObject* o, QEvent* e) override {
            if (e->type() == QEvent::Show && qobject_cast<QWindow*>(o) &&
                !o->property("_q_showWithoutActivating").toBool())
                activated.push_back(o->objectName().toStdString());
            return false;
        }
    } watch;
    qApp->installEventFilter(&watch);
    for (const char* next : {"Event Editor", "Track Parameters", "Step Parameters"}) {
        SCOPED_TRACE(next);
        KeyClick(nullptr, Qt::Key_Down);
        QApplication::processEvents();
        EXPECT_EQ(tree->currentItem(), node(next));
        EXPECT_TRUE(FindForm(FindWindowByNode(next)->formName)->isVisible());
        EXPECT_EQ(QApplication::focusWidget(), tree);
    }
    qApp->removeEventFilter(&watch);
    EXPECT_EQ(watch.activated, std::vector<std::string>());
    EXPECT_EQ(editor.Model().SelectedPattern, pattern);
}

TEST(StartedUserChange, PlayWithNoOutputPortTickedSaysWhereToTickOne) {
    StartedEditor editor;
    editor.Start();
    MainMenuForm->findChild<QAction*>(QStringLiteral("test1"))->trigger();
    Click(SequencerForm->PlaySpeedButton);
    ASSERT_EQ(editor.Dialogs.Messages().size(), 1u);
    for (const char* part : {"Out 1", "Midi Settings", "Shift+F3", "Virtual Morvelant In/Out 1"})
        EXPECT_NE(editor.Dialogs.Messages()[0].find(part), std::string::npos) << part;
    EXPECT_TRUE(SequencerForm->StopSpeedButton->isChecked());
    EXPECT_FALSE(SequencerForm->Playing());
    EXPECT_TRUE(SequencerForm->CountEdit->text().isEmpty());
}

}  // namespace
}  // namespace morvelant
