// The fader parameter window as a user sees and edits it.
#include <QAction>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolButton>

#include "platform/Dialogs.h"
#include "platform/IniFile.h"
#include "platform/ProgramPath.h"
#include "platform/QtFaderDrag.h"
#include "tests/faders/FaderWindowTestSupport.h"

namespace morvelant::fadertest {
namespace {

using FaderDisplay = FaderWindowFixture;

TEST_F(FaderDisplay, EachEventTypeLaysItsRowOut) {
    struct {
        int32_t status;
        const char* data1;  // "" hidden
        const char* data2;
        bool channels;
        const char* channelCaption;
        bool string;
        int data1Count;
    } cases[] = {
        {0xB4, "Controller Number", "Controller Value", true, "Midi Channel", false, 129},
        {0xC0, "Program Change Number", "", true, "Midi Channel", false, 129},
        {0xF0, "String X Position", "", false, "Midi Channel", true, 129},
        {0x10, "Track Number", "", false, "", false, 8},
        {0x5F, "Track Number", "", true, "Step Number", false, 8},
        {0x70, "", "", false, "Midi Channel", false, 8},
        {0x93, "NoteOn Note", "NoteOn Velocity", true, "Midi Channel", false, 129},
    };
    for (const auto& c : cases) {
        P().FaderStatus(0) = c.status;
        w->ShowParameters(0, 0);
        EXPECT_EQ(Find<QLabel>("MidiData1")->text().toStdString(), c.data1) << c.status;
        EXPECT_EQ(Find<QLabel>("MidiData2")->text().toStdString(), c.data2) << c.status;
        EXPECT_EQ(!List("FaderMidiData1")->isHidden(), *c.data1 != 0) << c.status;
        EXPECT_EQ(!List("FaderMidiData2")->isHidden(), *c.data2 != 0) << c.status;
        EXPECT_EQ(!w->GroupBox6->isHidden(), c.channels) << c.status;
        EXPECT_EQ(w->GroupBox6->title().toStdString(), c.channelCaption) << c.status;
        EXPECT_EQ(!Edit("FaderString")->isHidden(), c.string) << c.status;
        EXPECT_EQ(List("FaderMidiData1")->count(), c.data1Count) << c.status;
        EXPECT_EQ(List("FaderEvent")->currentIndex(), FaderEventIndex(c.status));
    }
    // The step events keep the channel (step) buttons; the channel shows.
    P().FaderStatus(0) = 0x5F;
    w->ShowParameters(0, 0);
    EXPECT_TRUE(w->SpeedButtons[15]->isChecked());
}

TEST_F(FaderDisplay, StoredValuesFromFilesNeverLeaveTheirLists) {
    model.SelectedPreset = 80;
    auto& m = P(80);
    m.FaderStatus(0) = 0x10;
    m.FaderMidiData1(0) = 9;  // second track, stored 9
    m.FaderMidiData2(0) = 200;
    m.MuteVal(0) = 128;
    m.DemuteVal(0) = -5;
    m.MasterSlaveMode(0) = 99;
    m.SwitchMode(0) = 7;
    m.FaderMidiMode(0) = 0xC9;
    m.ActiveMode(0) = 0x83;
    m.KeyOnStatus(0) = 0x30;  // not a key event
    w->ShowParameters(0, 80);
    EXPECT_EQ(w->Caption().substr(0, 13), "(Preset 81)  ");
    EXPECT_EQ(List("FaderMidiData1")->currentIndex(), 1);
    EXPECT_EQ(List("FaderMidiData2")->currentIndex(), -1);
    EXPECT_EQ(List("MuteVal")->currentText(), "No Value");
    EXPECT_EQ(List("DemuteVal")->currentIndex(), -1);
    EXPECT_EQ(List("MasterSlaveMode")->currentIndex(), -1);
    EXPECT_EQ(List("SwitchMode")->currentIndex(), -1);
    EXPECT_EQ(List("FaderMidiMode")->currentIndex(), 5);
    EXPECT_TRUE(w->ModeCatchButton->isChecked());
    EXPECT_EQ(List("KeyOnEvent")->currentIndex(), -1);
    // Nothing of it was written back.
    EXPECT_EQ(m.FaderMidiData1(0), 9);
    EXPECT_EQ(m.DemuteVal(0), -5);
}

using FaderEditing = FaderWindowFixture;

TEST_F(FaderEditing, EventTypeKeepsOrDropsTheChannel) {
    P().FaderStatus(0) = 0xB4;
    P().FaderString[0] = "F0 01";
    w->ShowParameters(0, 0);
    List("FaderEvent")->setCurrentIndex(14);  // Note Event
    EXPECT_EQ(P().FaderStatus(0), 0x94);
    EXPECT_EQ(P().FaderString[0], "");
    List("FaderEvent")->setCurrentIndex(kFaderStringEvent);
    EXPECT_EQ(P().FaderStatus(0), 0xF0);
    EXPECT_EQ(P().FaderMidiData1(0), 1);  // the empty string's past-the-end place
    List("FaderEvent")->setCurrentIndex(0);
    EXPECT_EQ(P().FaderStatus(0), 0xB0);
    // Channel buttons: nothing for Track Pattern, the step number for Step Velocity.
    List("FaderEvent")->setCurrentIndex(6);
    w->SpeedButtons[6]->click();
    EXPECT_EQ(P().FaderStatus(0), 0x10);
    List("FaderEvent")->setCurrentIndex(10);
    w->SpeedButtons[15]->click();
    EXPECT_EQ(P().FaderStatus(0), 0x5F);
    // Key On: MonoAftertouch on channel 3.
    List("KeyOnEvent")->setCurrentIndex(4);
    w->SpeedButtons[16 + 2]->click();
    EXPECT_EQ(P().KeyOnStatus(0), 0xD2);
}

TEST_F(FaderEditing, TypedStringsBecomeCanonicalAndSetData1) {
    List("FaderEvent")->setCurrentIndex(kFaderStringEvent);
    QLineEdit* s = Edit("FaderString");
    Type(s, "b07xx");
    EXPECT_EQ(Text(s), "B0 7X X");
    s->clear();
    Type(s, "b007xx");
    EXPECT_EQ(Text(s), "B0 07 XX");
    EXPECT_EQ(P().FaderString[0], "B0 07 XX");
    EXPECT_EQ(P().FaderMidiData1(0), 2);
    EXPECT_EQ(List("FaderMidiData1")->currentIndex(), 2);
    // Backspace over the blank of "12 34" takes the digit in front as well.
    Paste(s, "12 34");
    s->setCursorPosition(3);
    Key(s, Qt::Key_Backspace);
    EXPECT_EQ(Text(s), "13 4");
    EXPECT_EQ(s->cursorPosition(), 1);
    // The flag served that key press only: a later change that no key press
    // caused (a paste, a write by the program) deletes nothing.
    Paste(s, "AB CD");
    EXPECT_EQ(P().FaderString[0], "AB CD");
}

TEST_F(FaderEditing, Data1OfAStringMovesThePlaceholder) {
    P().FaderStatus(0) = 0xF0;
    P().FaderString[0] = "B0 07 XX";
    P().FaderMidiData1(0) = 2;
    w->ShowParameters(0, 0);
    struct {
        int x;
        const char* stored;
        int data1;
    } cases[] = {{0, "XX B0 07", 0}, {1, "B0 XX 07", 1}, {3, "B0 07", 3}, {2, "B0 07", 3}};
    for (const auto& c : cases) {
        List("FaderMidiData1")->setCurrentIndex(c.x);
        EXPECT_EQ(P().FaderString[0], c.stored) << c.x;
        EXPECT_EQ(P().FaderMidiData1(0), c.data1) << c.x;
        EXPECT_EQ(Text(Edit("FaderString")), c.stored) << c.x;
    }
    // "Slider" is past the end too: field, string and data 1 agree, so a
    // save and reload keeps what the field shows.
    P().FaderString[0] = "B0 07 XX";
    w->ShowParameters(0, 0);
    List("FaderMidiData1")->setCurrentIndex(128);
    EXPECT_EQ(P().FaderString[0], "B0 07");
    EXPECT_EQ(P().FaderMidiData1(0), 3);
    EXPECT_EQ(Text(Edit("FaderString")), "B0 07");
}

TEST_F(FaderEditing, RangesValuesAndModes) {
    ScriptedDialogs dialogs;
    ScopedDialogs scoped(dialogs);
    QLineEdit* min = Edit("FaderMin");
    QLineEdit* max = Edit("FaderMax");
    QLineEdit* value = Edit("FaderValue");
    P().FaderMax(0) = 20;
    P().FaderValue(0) = 60;
    w->ShowParameters(0, 0);
    Enter(min, "100");
    EXPECT_EQ(P().FaderValue(0), 60);  // reversed range 100..20
    Enter(value, "10");
    EXPECT_EQ(P().FaderValue(0), 20);
    EXPECT_EQ(Text(value), "20");
    Enter(value, "120");
    EXPECT_EQ(P().FaderValue(0), 100);
    Enter(min, "abc");  // no number: the stored bound comes back
    EXPECT_EQ(Text(min), "100");
    EXPECT_EQ(P().FaderMin(0), 100);
    Enter(max, "300");
    EXPECT_EQ(Text(max), "127");
    Enter(Edit("FaderThreshold"), "100");  // clamped to what the arrows reach
    EXPECT_EQ(P().FaderThreshold(0), 63);
    Enter(Edit("FaderThreshold"), "x");
    EXPECT_EQ(P().FaderThreshold(0), 63);
    EXPECT_TRUE(dialogs.Messages().empty());
    // The arrows stop at the edit's own bounds.
    w->FaderThreshold->Edit->setText("63");
    w->FaderThreshold->Up->click();
    EXPECT_EQ(P().FaderThreshold(0), 63);

    P().FaderMidiMode(0) = 0x80;
    List("FaderMidiMode")->setCurrentIndex(5);
    EXPECT_EQ(P().FaderMidiMode(0), 137);
    w->ModeRelativeButton->click();
    EXPECT_EQ(P().ActiveMode(0), 129);
    List("MuteVal")->setCurrentIndex(128);
    EXPECT_EQ(P().MuteVal(0), 128);
    Find<QCheckBox>("FaderOutMode")->click();
    EXPECT_EQ(P().FaderOutMode(0), Find<QCheckBox>("FaderOutMode")->isChecked() ? 1 : 0);
}

TEST_F(FaderEditing, PresetSteppingStaysWithinTheDevicePresets) {
    struct {
        int from;
        const char* button;
        int to;
    } cases[] = {{63, "NextPreset", 63},
                 {62, "NextPreset", 63},
                 {80, "NextPreset", 80},
                 {80, "PrevPreset", 79},
                 {0, "PrevPreset", 0}};
    for (const auto& c : cases) {
        model.SelectedPreset = c.from;
        Find<QPushButton>(c.button)->click();
        EXPECT_EQ(model.SelectedPreset, c.to) << c.from << c.button;
    }
    EXPECT_EQ(w->Caption().substr(0, 13), "(Preset 80)  ");  // the last step shown: slot 79
}

TEST_F(FaderEditing, NamesKeepEightCharacters) {
    Type(Edit("SliderName"), "Bass-Drum1");
    EXPECT_EQ(P().SliderName[0], "Bass-Dru");
    EXPECT_EQ(Text(Edit("SliderName")), "Bass-Dru");
}

using MultiFader = FaderWindowFixture;

TEST_F(MultiFader, EditsGoToTheMarkedFaders) {
    for (int f : {0, 1, 2}) w->MultiselectButtons[size_t(f)]->click();
    Find<QCheckBox>("MultiCheckBox")->click();
    EXPECT_EQ(Find<QLabel>("MultiLabel")->text(), "Multi");
    Select(4);
    List("FaderEvent")->setCurrentIndex(1);
    for (int f : {0, 1, 2}) EXPECT_EQ(P().FaderStatus(f) & 0xF0, 0xC0) << f;
    EXPECT_NE(P().FaderStatus(4) & 0xF0, 0xC0);
    // A new minimum pulls each marked fader's own start value into range.
    P().FaderValue(0) = 10;
    P().FaderValue(1) = 50;
    P().FaderValue(2) = 90;
    Enter(Edit("FaderMin"), "40");
    EXPECT_EQ(P().FaderValue(0), 40);
    EXPECT_EQ(P().FaderValue(1), 50);
    EXPECT_EQ(P().FaderValue(2), 90);
    // Toggle selection, then single mode again.
    w->findChild<QAction*>("ToggleSelection1")->trigger();
    EXPECT_FALSE(model.MultiselectButtonDown[0]);
    EXPECT_TRUE(model.MultiselectButtonDown[23]);
    Find<QCheckBox>("MultiCheckBox")->click();
    EXPECT_FALSE(model.MultiCheckBoxChecked);
    EXPECT_EQ(Find<QLabel>("MultiLabel2")->text(), "Fader");
}

TEST_F(MultiFader, SnapshotStoresEveryFadersOwnValueAndMute) {
    model.VirtualMotorFaders = true;
    for (int f : {0, 20}) w->MultiselectButtons[size_t(f)]->click();
    Find<QCheckBox>("MultiCheckBox")->click();
    Select(10);
    for (int f = 0; f < kFaderCount; ++f) {
        model.FaderStates[size_t(f)].Value = f + 30;
        model.SetKeyLamp(f, f != 10);
    }
    w->findChild<QAction*>("Snapshot1")->trigger();
    for (int f = 0; f < kFaderCount; ++f) {
        EXPECT_EQ(P().FaderValue(f), f + 30) << f;
        EXPECT_EQ(P().FaderOutMode(f), f == 10 ? 1 : 0) << f;
    }
    EXPECT_TRUE(Find<QCheckBox>("FaderOutMode")->isChecked());
    EXPECT_EQ(Text(Edit("FaderValue")), "40");
    // "Reload Preset" starts the live faders anew from the preset, unchanged.
    model.FaderStates[10].Value = 3;
    const Morvelant_Parameters stored = P();
    w->findChild<QAction*>("ReloadPreset1")->trigger();
    EXPECT_EQ(model.FaderStates[10].Value, 40);
    EXPECT_EQ(Text(Edit("FaderVal")), "40");
    EXPECT_EQ(P(), stored);
}

using FaderCommands = FaderWindowFixture;

TEST_F(FaderCommands, PopupItemsCopyPasteAndInit) {
    auto item = [this](const char* name) { return w->findChild<QAction*>(QString::fromLatin1(name)); };
    EXPECT_FALSE(item("PasteFaderParameters1")->isEnabled());
    P().SliderName[8] = "Nine";
    model.PopupFader = 8;
    item("CopyFaderParameters1")->trigger();
    EXPECT_TRUE(item("PasteFaderParameters1")->isEnabled());
    model.PopupFader = 1;
    item("PasteFaderParameters1")->trigger();
    EXPECT_EQ(P().SliderName[1], "Nine");
    EXPECT_EQ(model.SelectedFader, 1);
    // A Key On copy pastes as Key Off.
    P().KeyOnStatus(1) = 0x95;
    item("CopyKeyOnParameters1")->trigger();
    EXPECT_TRUE(commands.Enabled("MainMenuPasteKeyOff"));
    Select(3);
    item("PasteKeyOffParameters1")->trigger();
    EXPECT_EQ(P().KeyOffStatus(3), 0x95);
    // "Init Key Parameters" gives the selected fader alone "Toggle & Mute".
    for (int f : {5, 6}) w->MultiselectButtons[size_t(f)]->click();
    Find<QCheckBox>("MultiCheckBox")->click();
    P().SwitchMode(5) = P().SwitchMode(3) = 3;
    item("InitKeyParameters1")->trigger();
    EXPECT_EQ(P().SwitchMode(3), 1);
    EXPECT_EQ(P().SwitchMode(5), 3);
}

TEST_F(FaderCommands, RightPressNamesTheFaderForTheMenuAndSelectsNothing) {
    QPushButton* five = w->FaderSelectList[4];
    QMouseEvent right(QEvent::MouseButtonPress, QPointF(2, 2), five->mapToGlobal(QPointF(2, 2)), Qt::RightButton,
                      Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(five, &right);
    EXPECT_EQ(model.PopupFader, 4);
    EXPECT_EQ(model.SelectedFader, 0);
    QMouseEvent left(QEvent::MouseButtonPress, QPointF(2, 2), five->mapToGlobal(QPointF(2, 2)), Qt::LeftButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(five, &left);
    EXPECT_EQ(model.SelectedFader, 4);
    EXPECT_TRUE(w->FaderSelectLedList[4]->Bright());
}

// The value pickers hear a right-click on a data list whose layout offers a
// popup, with the list's Tag.
struct RecordingPickers : FaderPickers {
    std::vector<std::pair<int, DataPopup>> asked;
    void DataListPopup(TAllFaderP&, int tag, DataPopup popup, const QPoint&) override {
        asked.emplace_back(tag, popup);
    }
};

TEST_F(FaderCommands, DataListsOfferThePickersTheirPopups) {
    RecordingPickers pickers;
    w = std::make_unique<TAllFaderP>(ctx->DeviceEngine, commands, FaderWindowLinks{}, &pickers);
    auto rightClick = [](QWidget* list) {
        QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(3, 3), list->mapToGlobal(QPoint(3, 3)));
        QApplication::sendEvent(list, &e);
    };
    P().FaderStatus(0) = 0xB0;
    P().KeyOffStatus(0) = 0x80;
    w->ShowParameters(0, 0);
    rightClick(List("FaderMidiData1"));
    rightClick(List("KeyOffMidiData2"));
    P().FaderStatus(0) = 0xF0;  // "String X Position" has no popup
    w->ShowParameters(0, 0);
    rightClick(List("FaderMidiData1"));
    const std::vector<std::pair<int, DataPopup>> want = {{0, DataPopup::Controllers}, {5, DataPopup::Values}};
    EXPECT_EQ(pickers.asked, want);
}

TEST_F(FaderCommands, DropsComeOnlyFromSelectButtons) {
    P().SliderName[2] = "Three";
    P().SliderName[6] = "Seven";
    w->FaderSelect1DragDrop(2, 6);
    EXPECT_EQ(P().SliderName[6], "Three");
    EXPECT_EQ(model.SelectedFader, 6);
    model.FaderDragSwap = true;
    P().SliderName[6] = "Seven";
    w->FaderSelect1DragDrop(2, 6);
    EXPECT_EQ(P().SliderName[2], "Seven");
    EXPECT_EQ(P().SliderName[6], "Three");
    EXPECT_EQ(model.FaderClipboard.SliderName, "Seven");
    // A drop that no select button started (a name field offers "63") is refused.
    const Morvelant_Parameters before = P();
    QMimeData mime;
    mime.setData(kFaderDragMime, "63");
    QPushButton* target = w->FaderSelectList[4];
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    EXPECT_FALSE(drop.isAccepted());
    EXPECT_EQ(P(), before);
}

TEST_F(FaderCommands, ConfigurationAndShownFlag) {
    w.reset();
    {
        TIniFile ini(ConfigFileIn(model.ProgramPath));
        ini.WriteInteger("Fader Parameters Form", "Top", -20);
        ini.WriteInteger("Fader Parameters Form", "Left", -7);
    }
    w = std::make_unique<TAllFaderP>(ctx->DeviceEngine, commands);
    EXPECT_EQ(w->Top(), 0);
    EXPECT_EQ(w->Left(), -7);
    EXPECT_FALSE(model.ShowFaderParametersForm);
    w->Show();
    EXPECT_TRUE(model.ShowFaderParametersForm);
    EXPECT_TRUE(commands.Checked("MainFormWindowsFaderParameters"));
    w->Close();
    EXPECT_FALSE(model.ShowFaderParametersForm);
    EXPECT_EQ(w->ModeImmediateButton->toolTip(), "Set Fader to\nImmediate Mode");
}

}  // namespace
}  // namespace morvelant::fadertest
