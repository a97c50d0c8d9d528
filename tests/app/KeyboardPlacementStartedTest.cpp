// The started editor from the keyboard and on a small screen: the lists'
// navigation keys, the fader numbers' Up and Down, a picker by its caller,
// stored places beyond the screen, windows that keep their size, and the
// explorer clear of the lists.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

#include "app/PickerSupport.h"
#include "faders/AllFaderParameters.h"
#include "patterns/PatternFormUnit.h"
#include "patterns/Values1.h"
#include "platform/IniFile.h"
#include "presets/PresetFormUnit.h"
#include "shell/MidiMonGrid.h"
#include "shell/MorvelantExplorer.h"
#include "tests/support/StartedEditor.h"
#include "tests/support/UserInput.h"

namespace morvelant {
namespace {

using testsupport::StartedEditor;
using userinput::KeyClick;

QRect Screen() { return QGuiApplication::primaryScreen()->availableGeometry(); }

TEST(KeyboardStarted, ListKeysMoveTheCurrentSlotAndFaderNumbersStepWithUpAndDown) {
    StartedEditor editor;
    editor.Start();
    DeviceModel& m = editor.Model();
    const auto ctrl = Qt::ControlModifier;
    const struct {
        int key;
        Qt::KeyboardModifiers mods;
        int slot;
    } steps[] = {{Qt::Key_Down, {}, 6},   {Qt::Key_Up, {}, 5},    {Qt::Key_PageDown, {}, 21}, {Qt::Key_PageUp, {}, 5},
                 {Qt::Key_End, ctrl, 63}, {Qt::Key_Down, {}, 63}, {Qt::Key_Home, ctrl, 0},    {Qt::Key_PageUp, {}, 0}};
    for (auto [list, current] : {std::pair<TSlotListForm*, int*>{PresetForm, &m.SelectedPreset},
                                 std::pair<TSlotListForm*, int*>{PatternForm, &m.SelectedPattern}}) {
        userinput::FocusOn(list->EditList[5]);
        userinput::Click(list->EditList[5]);
        for (const auto& s : steps) {
            KeyClick(list, s.key, s.mods);
            EXPECT_EQ(*current, s.slot) << list->objectName().toStdString() << " key " << s.key;
            EXPECT_EQ(QApplication::focusWidget(), list->EditList[size_t(s.slot)]);
        }
    }
    // Up and Down step and store; Tab goes on past the arrows.
    AllFaderP->Show();
    m.Presets[0].FaderThreshold(0) = 62;
    AllFaderP->ShowParameters(0, 0);
    userinput::FocusOn(AllFaderP->FaderThreshold->Edit);
    for (int key : {Qt::Key_Up, Qt::Key_Up, Qt::Key_Down, Qt::Key_Down, Qt::Key_Tab}) KeyClick(AllFaderP, key);
    EXPECT_EQ(m.Presets[0].FaderThreshold(0), 61);  // held at 63 on the way
    EXPECT_NE(QApplication::focusWidget(), static_cast<QWidget*>(AllFaderP->FaderThreshold->Up));
    EXPECT_NE(QApplication::focusWidget(), AllFaderP->FaderThreshold->Edit);
}

TEST(KeyboardStarted, APickerOpensBelowTheControlThatCalledIt) {
    StartedEditor editor;
    editor.Start();
    AllFaderP->Show();
    Values1Form->move(Screen().right() - 50, Screen().bottom() - 50);  // where the last caller left it
    QComboBox* list = AllFaderP->FaderMidiData2;
    userinput::FocusOn(list);
    userinput::Click(list, Qt::RightButton, {5, 5});
    QMenu* menu = editor.Windows().Pickers().FaderPopups.ValuesPopupMenu;
    ASSERT_TRUE(menu->isVisible());
    menu->close();
    QPoint shownAt;
    QTimer::singleShot(0, [&] {
        shownAt = Values1Form->pos();
        KeyClick(Values1Form, Qt::Key_Escape);
    });
    menu->findChild<QAction*>(QStringLiteral("NumericalValues3"))->trigger();
    EXPECT_EQ(shownAt, list->mapToGlobal(QPoint(0, list->height())));
}

TEST(PlacementStarted, StoredPlacesBeyondTheScreenComeWhollyOntoItAndTheListsKeepTheirSize) {
    StartedEditor editor;
    editor.Start();
    editor.Stop();  // every window writes its place
    {
        TIniFile ini(editor.Folder() + "Morvelant.cfg");
        for (const std::string& section : ini.ReadSections())
            if (ini.ValueExists(section, "Left")) {
                ini.WriteInteger(section, "Left", 2 * Screen().width() - 300);
                ini.WriteInteger(section, "Top", 2 * Screen().height() - 200);
            }
    }
    editor.Start();
    for (const char* name :
         {"MainMenuForm", "MainForm", "MorvelantExplorerForm", "PresetForm", "PatternForm", "NotesForm",
          "PatternNotesForm", "AllFaderP", "PatternParameterForm", "TrackParameterForm", "EventEditForm",
          "MidiMonGridForm", "MidiSettingsForm", "DevicesInfoForm1", "PrintOutputForm"}) {
        TForm* form = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String(name)) form = qobject_cast<TForm*>(w);
        ASSERT_NE(form, nullptr) << name;
        form->Show();
        const QRect f = form->frameGeometry(), s = Screen();
        // As far as its size lets it.
        EXPECT_TRUE(f.left() >= s.left() && f.top() >= s.top() && (f.right() <= s.right() || f.left() == s.left()) &&
                    (f.bottom() <= s.bottom() || f.top() == s.top()))
            << name << " at " << f.x() << "," << f.y();
    }
    // Windows that do not lay out their contents keep their size; the
    // monitor scrolls to the columns a narrow window cuts off.
    for (TForm* form : std::initializer_list<TForm*>{MainMenuForm, PresetForm, PatternForm}) {
        const QSize before = form->size();
        form->resize(1000, 800);
        EXPECT_EQ(form->height(), before.height()) << form->objectName().toStdString();
        if (form != MainMenuForm) { EXPECT_EQ(form->size(), before); }
    }
    MidiMonGridForm->resize(250, 150);
    QApplication::processEvents();
    EXPECT_TRUE(MidiMonGridForm->MidiLogGrid->horizontalScrollBar()->isVisible());
}

TEST(PlacementStarted, AtTheDefaultLayoutTheExplorerCoversNeitherList) {
    StartedEditor editor;
    editor.Start();
    MorvelantExplorerForm->Show();
    for (TForm* list : std::initializer_list<TForm*>{PresetForm, PatternForm}) {
        list->Show();
        EXPECT_FALSE(MorvelantExplorerForm->frameGeometry().intersects(list->frameGeometry()));
    }
}

}  // namespace
}  // namespace morvelant
