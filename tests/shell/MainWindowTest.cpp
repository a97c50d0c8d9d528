// The virtual device window offscreen: faders, keys, special keys, snapshot,
// preset stepping, drag and drop, popup items, learn and the configuration.
// Every event the engine puts to a port is captured through its sink.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QWheelEvent>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/FileCommands.h"
#include "platform/IniFile.h"
#include "platform/SingleInstance.h"
#include "shell/Main.h"
#include "tests/support/OwningMainForm.h"
#include "tests/support/QtWidgetApp.h"

namespace morvelant {
namespace {

QApplication* WidgetApp() { return testsupport::WidgetApp(/*offscreen=*/true); }

struct Sent {
    int port;
    uint8_t status, data1, data2;
    bool operator==(const Sent&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Sent& s) {
    return os << "{port " << s.port << " " << std::hex << int(s.status) << " " << int(s.data1) << " " << int(s.data2)
              << std::dec << "}";
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        WidgetApp();
        ASSERT_TRUE(dir.isValid());
        form = std::make_unique<testsupport::OwningMainForm>(dir.path().toStdString());
        MainForm = form.get();
        form->DeviceEngine.OutputSink = [this](int port, const MidiEvent& e) {
            sent.push_back({port, e.status, e.data1, e.data2});
        };
        form->Routing.NumOutDevs = 2;
        form->Routing.Out1DeviceFlags[0] = true;
        form->Show();  // FormShow: the faders and keys start from preset 0
        sent.clear();
    }
    void TearDown() override {
        form.reset();
        EXPECT_EQ(MainForm, nullptr);
    }

    DeviceModel& M() { return form->Model; }
    QScrollBar* Fader(int n) { return form->findChild<QScrollBar*>(QStringLiteral("Fader%1").arg(n)); }
    QPushButton* Button(const QString& name) { return form->findChild<QPushButton*>(name); }

    void Mouse(QWidget* w, QEvent::Type type, Qt::MouseButton button) {
        const QPointF pos(w->width() / 2.0, w->height() / 2.0);
        QMouseEvent e(type, pos, w->mapToGlobal(pos), button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button), Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
    void Press(QWidget* w, Qt::MouseButton b = Qt::LeftButton) { Mouse(w, QEvent::MouseButtonPress, b); }
    // Select button `source` (0-based) dropped on `target`, as the drop
    // started by a press on the source delivers it.
    void DropFader(int source, int target) { form->FaderSelectDragDrop(source, target); }
    void Release(QWidget* w, Qt::MouseButton b = Qt::LeftButton) { Mouse(w, QEvent::MouseButtonRelease, b); }

    QTemporaryDir dir;
    std::unique_ptr<TMainForm> form;
    std::vector<Sent> sent;
};

TEST_F(MainWindowTest, ControlsCarryTheComponentNamesAndRanges) {
    for (int n = 1; n <= 24; ++n) {
        QScrollBar* f = Fader(n);
        ASSERT_NE(f, nullptr) << n;
        EXPECT_EQ(f->orientation(), Qt::Vertical);
        EXPECT_EQ(f->minimum(), 0);
        EXPECT_EQ(f->maximum(), 127);
        EXPECT_EQ(f->pageStep(), 5);
        EXPECT_NE(Button(QStringLiteral("KeyOnOff%1").arg(n)), nullptr);
        EXPECT_NE(Button(QStringLiteral("FaderSelect%1").arg(n)), nullptr);
        EXPECT_NE(form->findChild<LampImage*>(QStringLiteral("KeyLed%1").arg(n)), nullptr);
        EXPECT_NE(form->findChild<LampImage*>(QStringLiteral("FaderSelectLed%1").arg(n)), nullptr);
    }
    EXPECT_EQ(form->MainStatusBar->PanelCount(), 4);
    EXPECT_EQ(form->KeyOnStatusBar->PanelCount(), 3);
    EXPECT_TRUE(form->SnapshotLed->Bright());
    EXPECT_FALSE(form->StartLed->Bright());
    EXPECT_FALSE(form->PasteFaderParameters1->isEnabled());
    EXPECT_FALSE(form->PasteFaderParameters2->isEnabled());
    EXPECT_EQ(form->LearnEvent2->text().toStdString(), "Learn Event");
}

TEST_F(MainWindowTest, MovingAFaderSendsItsEventAndDescribesIt) {
    // Factory fader 1: controller 0 on channel 1 with the live value, both
    // outputs, Immediate with threshold 8, motor faders on: it stands at 0.
    ASSERT_EQ(Fader(1)->value(), 127);
    Fader(1)->setValue(27);  // value 100
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], (Sent{0, 0xB0, 0, 100}));
    EXPECT_EQ(M().FaderStates[0].Value, 100);
    EXPECT_TRUE(form->MidiOutLed->Bright());
    EXPECT_EQ(form->MainStatusBar->PanelText(2), "100");
    EXPECT_EQ(form->MainStatusBar->PanelText(3), "Fader 01");
    EXPECT_EQ(form->KeyOffStatusBar->PanelText(2), "KeyOff 01");
    // Names are Windows-1252 bytes: 0x80 is the euro sign on screen.
    M().SetSliderName(0, 0, "5\x80");
    Fader(1)->setValue(28);
    EXPECT_EQ(form->MainStatusBar->PanelText(0), "5\x80");
    const auto panels = form->MainStatusBar->findChildren<QLabel*>();
    ASSERT_FALSE(panels.isEmpty());
    EXPECT_EQ(panels.front()->text(), QStringLiteral("5") + QChar(0x20AC));

    // A port on both outputs gets it twice; a programmatic move under the
    // update guard sends nothing.
    form->Routing.Out2DeviceFlags[0] = true;
    sent.clear();
    Fader(1)->setValue(0);
    EXPECT_EQ(sent, (std::vector<Sent>{{0, 0xB0, 0, 127}, {0, 0xB0, 0, 127}}));
    sent.clear();
    {
        UpdatingGuard guard(M());
        Fader(1)->setValue(60);
    }
    EXPECT_TRUE(sent.empty());
}

TEST_F(MainWindowTest, FaderAutoSelectSelectsTheMovedFaderFirst) {
    Fader(5)->setValue(100);
    EXPECT_EQ(M().SelectedFader, 0);
    M().FaderAutoSelect = true;
    sent.clear();
    Fader(5)->setValue(10);
    EXPECT_EQ(M().SelectedFader, 4);
    // The move itself is sent, and the fader stays where it was moved.
    EXPECT_EQ(sent, (std::vector<Sent>{{0, 0xB0, 4, 117}}));
    EXPECT_EQ(Fader(5)->value(), 10);
    EXPECT_TRUE(form->FaderSelectLedList[4]->Bright());
    EXPECT_FALSE(form->FaderSelectLedList[0]->Bright());
    EXPECT_EQ(form->MainStatusBar->PanelText(3), "Fader 05");

    // A left press on a fader focuses it first: it is selected and described
    // even while the update guard keeps its move from sending.
    form->activateWindow();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::activeWindow(), form.get());
    sent.clear();
    {
        UpdatingGuard guard(M());
        Press(Fader(9));
        Release(Fader(9));
    }
    EXPECT_TRUE(Fader(9)->hasFocus());
    EXPECT_EQ(M().SelectedFader, 8);
    EXPECT_EQ(form->MainStatusBar->PanelText(3), "Fader 09");
    EXPECT_EQ(form->KeyOnStatusBar->PanelText(2), "KeyOn 09");
    EXPECT_TRUE(sent.empty());
    // A right press (its popup menu) does not focus it.
    Press(Fader(12), Qt::RightButton);
    EXPECT_FALSE(Fader(12)->focusPolicy() & Qt::ClickFocus);
    EXPECT_FALSE(Fader(12)->hasFocus());
    EXPECT_EQ(M().SelectedFader, 8);
}

TEST_F(MainWindowTest, WheelMovesTheSelectedFaderWhereverThePointerIs) {
    form->SelectFader(2);
    Fader(3)->setValue(50);
    sent.clear();
    QWidget* elsewhere = Button(QStringLiteral("KeyOnOff10"));
    const QPointF pos(2, 2);
    QWheelEvent down(pos, elsewhere->mapToGlobal(pos), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                     Qt::NoScrollPhase, false);
    QApplication::sendEvent(elsewhere, &down);
    EXPECT_EQ(Fader(3)->value(), 51);
    EXPECT_EQ(Fader(10)->value(), 127);
    QWheelEvent up(pos, Fader(10)->mapToGlobal(pos), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                   Qt::NoScrollPhase, false);
    QApplication::sendEvent(Fader(10), &up);
    EXPECT_EQ(Fader(3)->value(), 50);
    EXPECT_EQ(Fader(10)->value(), 127);
    EXPECT_EQ(sent.size(), 2u);  // each step ran the fader's change handler
}

// Key 1 sends note on 60 velocity 100 / note off 60 velocity 0 (fixed values).
TEST_F(MainWindowTest, KeysSendAndLightAsTheirKeyModeSays) {
    const int p = 0, f = 0;
    M().SetKeyOnStatus(p, f, 0x90);
    M().SetKeyOnMidiData1(p, f, 60);
    M().SetKeyOnMidiData2(p, f, 100);
    M().SetKeyOffStatus(p, f, 0x80);
    M().SetKeyOffMidiData1(p, f, 60);
    M().SetKeyOffMidiData2(p, f, 0);
    M().SetDemuteVal(p, f, 128);
    M().SetMuteVal(p, f, 128);
    const Sent on{0, 0x90, 60, 100}, off{0, 0x80, 60, 0};
    QPushButton* key = Button(QStringLiteral("KeyOnOff1"));

    struct Step {
        int mode;
        bool lampAfterDown, lampAfterUp;
        std::vector<Sent> down, up;
        bool mutedAfterUp;
    };
    // Lamp starts off in each case.
    const Step steps[] = {
        {0, true, false, {on}, {off}, true},  // momentary with mute
        {1, true, true, {on}, {}, false},  // toggle with mute
        {2, true, false, {on}, {off}, false},  // momentary
        {3, true, true, {on}, {}, false},  // toggle
        {4, false, false, {}, {}, false},  // any other mode: nothing
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.mode);
        M().SetSwitchMode(p, f, s.mode);
        M().SetKeyLamp(f, false);
        sent.clear();
        Press(key);
        EXPECT_EQ(sent, s.down);
        EXPECT_EQ(form->KeyLedList[0]->Bright(), s.lampAfterDown);
        sent.clear();
        Release(key);
        EXPECT_EQ(sent, s.up);
        EXPECT_EQ(form->KeyLedList[0]->Bright(), s.lampAfterUp);
        EXPECT_EQ(M().KeyStates[0].LampOn, s.lampAfterUp);
        EXPECT_EQ(M().FaderStates[0].Muted, s.mutedAfterUp);
    }
    // A toggle key switches off at the next press.
    M().SetSwitchMode(p, f, 3);
    M().SetKeyLamp(f, false);
    Press(key);
    Release(key);
    sent.clear();
    Press(key);
    Release(key);
    EXPECT_EQ(sent, (std::vector<Sent>{off}));
    EXPECT_FALSE(form->KeyLedList[0]->Bright());
}

TEST_F(MainWindowTest, RightButtonOnAKeySelectsItsFaderWithoutSending) {
    QPushButton* key = Button(QStringLiteral("KeyOnOff7"));
    Press(key, Qt::RightButton);
    Release(key, Qt::RightButton);
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(M().SelectedFader, 6);
    EXPECT_TRUE(form->FaderSelectLedList[6]->Bright());
    // While the update guard is set, a key does nothing at all.
    UpdatingGuard guard(M());
    Press(key);
    Release(key);
    EXPECT_TRUE(sent.empty());
}

TEST_F(MainWindowTest, SpecialKeysSendTheirStringsPortByPort) {
    auto& keys = M().Presets[0].SpecialKeyString;
    keys[1] = "FA";
    keys[2] = "FC";
    keys[3] = "FB";
    keys[4] = "B0 10 XX";
    keys[5] = "F2 01 02";
    form->Routing.Out2DeviceFlags[0] = true;  // port 0 on both outputs
    form->Routing.Out2DeviceFlags[1] = true;
    const QString names[] = {"StartButton", "Button1", "Button2", "Button4", "Button5"};
    const std::vector<Sent> expected[] = {
        {{0, 0xFA, 0, 0}, {0, 0xFA, 0, 0}, {1, 0xFA, 0, 0}},
        {{0, 0xFC, 0, 0}, {0, 0xFC, 0, 0}, {1, 0xFC, 0, 0}},
        {{0, 0xFB, 0, 0}, {0, 0xFB, 0, 0}, {1, 0xFB, 0, 0}},
        {{0, 0xB0, 0x10, 0}, {0, 0xB0, 0x10, 0}, {1, 0xB0, 0x10, 0}},
        {{0, 0xF2, 1, 2}, {0, 0xF2, 1, 2}, {1, 0xF2, 1, 2}},
    };
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(names[i].toStdString());
        sent.clear();
        Button(names[i])->click();
        EXPECT_EQ(sent, expected[i]);
    }
    // "Tempo" and "OK" do nothing.
    sent.clear();
    form->Button3->click();
    form->Button7->click();
    EXPECT_TRUE(sent.empty());
}

TEST_F(MainWindowTest, SnapshotStoresEveryLiveValueAndMuteFlagEvenWithMultiFaderEditing) {
    M().SelectedPreset = 5;
    form->ShowCurrentPreset(false);
    M().Presets[5].SpecialKeyString[0] = "C0 05";
    // Multi-fader editing marks every fader: a setter would write them all.
    M().MultiCheckBoxChecked = true;
    M().MultiselectButtonDown.fill(true);
    for (int f = 0; f < kFaderCount; ++f) {
        M().FaderStates[size_t(f)].Value = 3 * f + 1;
        M().SetKeyLamp(f, f % 3 != 0);
    }
    sent.clear();
    form->Button6Click();
    for (int f = 0; f < kFaderCount; ++f) {
        SCOPED_TRACE(f);
        EXPECT_EQ(M().Presets[5].FaderValue(f), 3 * f + 1);
        EXPECT_EQ(M().Presets[5].FaderOutMode(f), f % 3 != 0 ? 0 : 1);
        // Motor faders: the live state and the on-screen fader follow.
        EXPECT_EQ(M().FaderStates[size_t(f)].Value, 3 * f + 1);
        EXPECT_EQ(Fader(f + 1)->value(), 127 - (3 * f + 1));
    }
    // Not preset 0: the preset's "Preset" string goes out.
    EXPECT_EQ(sent, (std::vector<Sent>{{0, 0xC0, 5, 0}}));

    M().SelectedPreset = 0;
    M().Presets[0].SpecialKeyString[0] = "C0 00";
    sent.clear();
    form->Button6Click();
    EXPECT_TRUE(sent.empty());
}

TEST_F(MainWindowTest, PresetSteppingStopsAtTheEndsAndSendsThePresetString) {
    for (int p = 0; p < kPresetCount; ++p)
        M().Presets[size_t(p)].SpecialKeyString[0] =
            "C0 " + std::string(p < 16 ? "0" : "") + QString::number(p, 16).toUpper().toStdString();
    form->PrevPreset->click();
    EXPECT_EQ(M().SelectedPreset, 0);
    EXPECT_TRUE(sent.empty());
    form->NextPreset->click();
    EXPECT_EQ(M().SelectedPreset, 1);
    EXPECT_EQ(sent, (std::vector<Sent>{{0, 0xC0, 1, 0}}));
    M().SelectedPreset = 63;
    sent.clear();
    form->NextPreset->click();
    EXPECT_EQ(M().SelectedPreset, 63);
    EXPECT_TRUE(sent.empty());
    // From an edit buffer ">>" does nothing and "<<" steps down.
    M().SelectedPreset = 70;
    form->NextPreset->click();
    EXPECT_EQ(M().SelectedPreset, 70);
    form->PrevPreset->click();
    EXPECT_EQ(M().SelectedPreset, 69);
    EXPECT_EQ(sent, (std::vector<Sent>{{0, 0xC0, 69, 0}}));
}

TEST_F(MainWindowTest, StepToAPresetShowsItsInitialValuesWithMotorFaders) {
    M().Presets[1].FaderValue(3) = 77;
    form->NextPreset->click();
    EXPECT_EQ(M().FaderStates[3].Value, 77);
    EXPECT_EQ(Fader(4)->value(), 127 - 77);
    // Without motor faders the states follow the on-screen positions.
    M().VirtualMotorFaders = false;
    M().Presets[0].FaderValue(3) = 20;
    form->PrevPreset->click();
    EXPECT_EQ(Fader(4)->value(), 127 - 77);
    EXPECT_EQ(M().FaderStates[3].Value, 77);
}

TEST_F(MainWindowTest, DragCopiesOrExchangesFaders) {
    const int p = 0;
    M().SetSliderName(p, 1, "Two");
    M().SetSliderName(p, 4, "Five");

    // Copy: a left press on select button 2, dropped on 5.
    Press(Button(QStringLiteral("FaderSelect2")));
    Release(Button(QStringLiteral("FaderSelect2")));
    EXPECT_FALSE(M().FaderDragSwap);
    DropFader(1, 4);
    EXPECT_EQ(M().Presets[0].SliderName[4], "Two");
    EXPECT_EQ(M().Presets[0].SliderName[1], "Two");
    EXPECT_EQ(M().SelectedFader, 4);

    // Exchange: Shift held as the drag began.
    M().SetSliderName(p, 4, "Five");
    form->FaderSelectMouseDown(1, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_TRUE(M().FaderDragSwap);
    DropFader(1, 4);
    EXPECT_EQ(M().Presets[0].SliderName[4], "Two");
    EXPECT_EQ(M().Presets[0].SliderName[1], "Five");
    EXPECT_EQ(M().SelectedFader, 4);
    // The clipboard keeps the target's former parameters.
    EXPECT_EQ(M().FaderClipboard.SliderName, "Five");

    // Onto itself: copy changes nothing.
    const auto before = M().Presets[0].SliderName;
    form->FaderSelectMouseDown(2, Qt::LeftButton, Qt::NoModifier);
    DropFader(2, 2);
    EXPECT_EQ(M().Presets[0].SliderName, before);
    // Exchange onto itself: only the clipboard changes.
    form->FaderSelectMouseDown(2, Qt::LeftButton, Qt::ShiftModifier);
    DropFader(2, 2);
    EXPECT_EQ(M().Presets[0].SliderName, before);
    EXPECT_EQ(M().FaderClipboard.SliderName, before[2]);
}

// Only drags that a select button started are taken: the same fader number
// offered without a source (another program, a name field) is refused.
TEST_F(MainWindowTest, ADropNoSelectButtonStartedIsRefused) {
    M().SetSliderName(0, 1, "Two");
    M().SetSliderName(0, 4, "Five");
    QPushButton* onto = Button(QStringLiteral("FaderSelect5"));
    QMimeData mime;
    mime.setData(QStringLiteral("application/x-morvelant-fader"), QByteArray::number(1));
    const QPointF mid(onto->width() / 2.0, onto->height() / 2.0);
    QDragEnterEvent enter(mid.toPoint(), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(onto, &enter);
    EXPECT_FALSE(enter.isAccepted());
    QDropEvent drop(mid, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(onto, &drop);
    EXPECT_FALSE(drop.isAccepted());
    EXPECT_EQ(M().Presets[0].SliderName[4], "Five");
}

TEST_F(MainWindowTest, PopupItemsWorkOnTheirFaderAndEnablePaste) {
    // The fader parameter window follows every selection made here.
    std::vector<int> shownInParameterWindow;
    // The fader parameter window's paste item, as that window names it.
    TForm faderWindow(QStringLiteral("AllFaderP"));
    auto* parameterPaste = new QAction(&faderWindow);
    parameterPaste->setObjectName(QStringLiteral("PasteFaderParameters2"));
    parameterPaste->setEnabled(false);
    Subscription follow = form->DeviceEngine.Notices.CurrentFaderChanged.Subscribe(
        [&](int, int fader) { shownInParameterWindow.push_back(fader); });
    // Right press on select button 5 only notes the popup fader.
    Press(Button(QStringLiteral("FaderSelect5")), Qt::RightButton);
    EXPECT_EQ(M().PopupFader, 4);
    EXPECT_EQ(M().SelectedFader, 0);
    M().SetSliderName(0, 4, "Src");
    form->CopyFaderParameters1->trigger();
    EXPECT_TRUE(form->PasteFaderParameters1->isEnabled());
    EXPECT_FALSE(form->PasteFaderParameters2->isEnabled());
    EXPECT_FALSE(parameterPaste->isEnabled());
    EXPECT_TRUE(shownInParameterWindow.empty());
    Press(Button(QStringLiteral("FaderSelect9")), Qt::RightButton);
    form->PasteFaderParameters1->trigger();
    EXPECT_EQ(M().Presets[0].SliderName[8], "Src");
    EXPECT_EQ(M().SelectedFader, 8);
    form->ShowParameters1->trigger();
    EXPECT_EQ(M().SelectedFader, 8);
    // Even with Fader Auto Select a right press only notes the popup fader:
    // it gives the button no focus. A left press focuses and selects.
    form->activateWindow();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::activeWindow(), form.get());
    form->SelectFader(8);
    M().FaderAutoSelect = true;
    QPushButton* select12 = Button(QStringLiteral("FaderSelect12"));
    EXPECT_FALSE(select12->focusPolicy() & Qt::ClickFocus);
    Press(select12, Qt::RightButton);
    Release(select12, Qt::RightButton);
    EXPECT_EQ(M().PopupFader, 11);
    EXPECT_EQ(M().SelectedFader, 8);
    EXPECT_FALSE(select12->hasFocus());
    Press(select12);
    Release(select12);
    EXPECT_EQ(M().SelectedFader, 11);
    EXPECT_TRUE(select12->hasFocus());
    M().FaderAutoSelect = false;

    // On-screen fader menu of fader 7 while fader 3 is selected.
    form->SelectFader(2);
    M().SetFaderStatus(0, 6, 0x90);
    M().SetKeyOnStatus(0, 6, 0x90);
    form->SetPopupComponent(Fader(7));
    form->InitFaderParameters2->trigger();
    EXPECT_EQ(M().SelectedFader, 6);
    EXPECT_EQ(M().Presets[0].FaderStatus(6), 0xB0);
    EXPECT_EQ(M().Presets[0].KeyOnStatus(6), 0x90);  // the fader event only
    form->CopyFaderParameters2->trigger();
    EXPECT_TRUE(form->PasteFaderParameters2->isEnabled());
    EXPECT_TRUE(parameterPaste->isEnabled());
    ASSERT_FALSE(shownInParameterWindow.empty());
    EXPECT_EQ(shownInParameterWindow.front(), 8);
    EXPECT_EQ(shownInParameterWindow.back(), 6);
}

TEST_F(MainWindowTest, LearnStartsBlinksAndIsCancelledByAClick) {
    form->SelectFader(3);
    M().PopupFader = 9;
    M().LearnCount = 5;
    form->LearnEvent2->trigger();
    EXPECT_EQ(M().LearnMode, 0);
    EXPECT_EQ(M().LearnFader, 3);
    EXPECT_EQ(M().LearnCount, 5);
    EXPECT_TRUE(form->LearnTimer->isActive());
    form->LearnTimerTimer();
    EXPECT_TRUE(form->LearnLabelRed());
    form->LearnSxStr1->trigger();
    EXPECT_EQ(M().LearnMode, 2);
    EXPECT_EQ(M().LearnFader, 9);
    EXPECT_EQ(M().LearnCount, 0);
    Press(form->LearnLabel);
    EXPECT_EQ(M().LearnMode, -1);
    EXPECT_FALSE(form->LearnTimer->isActive());
    EXPECT_FALSE(form->LearnLabelRed());
}

TEST_F(MainWindowTest, OptionCommandsFollowTheCheckMark) {
    // The window registers its options; each works on its tick.
    CommandRegistry commands;
    testsupport::OwningMainForm window(dir.path().toStdString(), &commands);
    ASSERT_TRUE(commands.Has("MainMenuHookMode"));
    window.Model.HookMode = false;
    commands.Execute("MainMenuHookMode");
    EXPECT_TRUE(window.Model.HookMode);
    EXPECT_TRUE(commands.Checked("MainMenuHookMode"));
    commands.Execute("MainMenuHookMode");
    EXPECT_FALSE(window.Model.HookMode);

    // A ticked "Midi Activity" switches the lamps off.
    commands.SetChecked("MainMenuMidiActivity", true);
    window.Model.ShowMidiActivity = true;
    window.Show();
    commands.Execute("MainMenuMidiActivity");
    EXPECT_FALSE(window.Model.ShowMidiActivity);
    EXPECT_FALSE(window.MidiActivity->isVisible());
    window.ShowMidiOutActivity();
    EXPECT_FALSE(window.MidiOutLed->Bright());

    // Switching motor faders on moves the faders to the states' values.
    commands.SetChecked("MainMenuMotorFaders", false);
    window.Model.VirtualMotorFaders = false;
    window.Model.Presets[0].FaderValue(0) = 64;
    window.MotorFaders1Click();
    EXPECT_TRUE(window.Model.VirtualMotorFaders);
    EXPECT_EQ(window.FaderList[0]->value(), 127 - 64);
    MainForm = form.get();
}

TEST_F(MainWindowTest, ShowingTheWindowAgainShowsTheMenuWindow) {
    TForm menu(QStringLiteral("MainMenuForm"));
    form->Hide();
    ASSERT_FALSE(menu.isVisible());
    form->Show();
    EXPECT_TRUE(menu.isVisible());
}

TEST_F(MainWindowTest, MidiLampsLightOnceAndGoDarkAtTheTick) {
    form->ShowMidiOutActivity();
    EXPECT_TRUE(form->MidiOutLed->Bright());
    EXPECT_TRUE(form->MidiOutTimer->isActive());
    form->MidiOutTimerTimer();
    EXPECT_FALSE(form->MidiOutLed->Bright());
    EXPECT_FALSE(form->MidiOutTimer->isActive());
    form->ShowMidiInActivity();
    EXPECT_TRUE(form->MidiInLed->Bright());
    form->MidiInTimerTimer();
    EXPECT_FALSE(form->MidiInLed->Bright());
}

// ---- Configuration -----------------------------------------------------------------

class MainConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        WidgetApp();
        ASSERT_TRUE(dir.isValid());
    }
    std::string Path() const { return dir.path().toStdString(); }
    std::string Cfg() const { return Path() + "/Morvelant.cfg"; }
    QTemporaryDir dir;
};

TEST_F(MainConfigTest, DefaultsWithoutAFileAndWrittenAtTheEnd) {
    {
        testsupport::OwningMainForm form(Path());
        EXPECT_TRUE(form.Model.ShowMidiActivity);
        EXPECT_FALSE(form.Model.FaderAutoSelect);
        EXPECT_TRUE(form.Model.VirtualMotorFaders);
        EXPECT_TRUE(form.Model.Warnings);
        EXPECT_EQ(form.Model.StatusBars, 1);
        EXPECT_EQ(form.x(), 192);
        EXPECT_EQ(form.y(), 46);
        EXPECT_EQ(form.Model.SelectedFader, 0);
        form.Model.SelectedFader = 7;
        form.Model.SelectedPreset = 12;
        form.Model.FaderAutoSelect = true;
    }
    const TIniFile ini(Cfg());
    EXPECT_EQ(ini.ReadInteger("Options", "Selected Fader", -1), 7);
    EXPECT_EQ(ini.ReadInteger("Options", "Selected Preset", -1), 12);
    EXPECT_TRUE(ini.ReadBool("Options", "Fader Auto Select", false));
    EXPECT_TRUE(ini.ValueExists("Options", "ShowPrintOutputForm"));
    EXPECT_TRUE(ini.ValueExists("View", "Status Bars"));
    testsupport::OwningMainForm again(Path());
    EXPECT_EQ(again.Model.SelectedFader, 7);
    EXPECT_TRUE(again.FaderSelectLedList[7]->Bright());
    EXPECT_FALSE(again.FaderSelectLedList[0]->Bright());
}

TEST_F(MainConfigTest, SelectionsOutOfRangeFallBackToZero) {
    const struct {
        int fader, preset, pattern;
        int wantFader, wantPreset, wantPattern;
    } cases[] = {
        {23, 127, 127, 23, 127, 127},
        {24, 128, 128, 0, 0, 0},
        {-1, -5, -1, 0, 0, 0},
        {1000000, 0x7FFFFFFF, 200, 0, 0, 0},
    };
    for (const auto& c : cases) {
        TIniFile ini(Cfg());
        ini.WriteInteger("Options", "Selected Fader", c.fader);
        ini.WriteInteger("Options", "Selected Preset", c.preset);
        ini.WriteInteger("Options", "Selected Pattern", c.pattern);
        ini.WriteInteger("Main Form", "Top", -20);
        ini.WriteInteger("Main Form", "Left", -20);
        testsupport::OwningMainForm form(Path());
        EXPECT_EQ(form.Model.SelectedFader, c.wantFader);
        EXPECT_EQ(form.Model.SelectedPreset, c.wantPreset);
        EXPECT_EQ(form.Model.SelectedPattern, c.wantPattern);
        EXPECT_EQ(form.y(), 0);
        EXPECT_EQ(form.x(), -20);
        form.Show();  // uses the selection: must stay inside the arrays
        EXPECT_TRUE(form.FaderSelectLedList[size_t(c.wantFader)]->Bright());
    }
}

TEST_F(MainConfigTest, WorkingSetsRoundTrip) {
    {
        testsupport::OwningMainForm form(Path());
        form.ReadWorkingSets();
        form.Model.SetSliderName(3, 2, "Kept");
        form.Model.SetPatternName(4, "Pat4");
        ASSERT_TRUE(form.WriteWorkingSets());
    }
    EXPECT_TRUE(QFile::exists(dir.filePath("Config.MVR")));
    EXPECT_TRUE(QFile::exists(dir.filePath("Config.MVT")));
    testsupport::OwningMainForm form(Path());
    form.ReadWorkingSets();
    EXPECT_EQ(form.Model.Presets[3].SliderName[2].substr(0, 4), "Kept");
    EXPECT_EQ(form.Model.GetPatternName(4).substr(0, 4), "Pat4");
}

TEST_F(MainConfigTest, CommandLineFileLoadsIntoSlot64OfItsOwnKindOnly) {
    const std::string presetFile = dir.filePath("One.MVR").toStdString();
    const std::string patternFile = dir.filePath("One.MVT").toStdString();
    {
        testsupport::OwningMainForm form(Path());
        form.Model.InitPattern(0);
        form.Model.SetPresetDeviceName(0, "CmdLine");
        form.Model.SetPatternName(0, "CmdPat");
        ASSERT_TRUE(WritePresetFile(form.Model, presetFile, 1));
        ASSERT_TRUE(WritePatternFile(form.Model, patternFile, 1));
    }
    {
        testsupport::OwningMainForm form(Path());
        for (int p = 0; p < kPatternCount; ++p) form.Model.InitPattern(p);
        const Pattern_Parameters before = form.Model.Patterns[64];
        form.ReadWorkingSets(presetFile);
        EXPECT_EQ(form.Model.GetPresetDeviceName(64).substr(0, 7), "CmdLine");
        EXPECT_EQ(form.Model.SelectedPreset, 64);
        EXPECT_TRUE(form.Model.Patterns[64] == before);  // not read as patterns
    }
    {
        testsupport::OwningMainForm form(Path());
        const Morvelant_Parameters before = form.Model.Presets[64];
        form.ReadWorkingSets(patternFile);
        EXPECT_EQ(form.Model.GetPatternName(64).substr(0, 6), "CmdPat");
        EXPECT_EQ(form.Model.SelectedPattern, 64);
        EXPECT_TRUE(form.Model.Presets[64] == before);
    }
}

// ---- Start-up pieces ---------------------------------------------------------------------

TEST(MainStartupPieces, ScreenCheckNeeds800By600) {
    EXPECT_TRUE(ScreenLargeEnough(800, 600));
    EXPECT_TRUE(ScreenLargeEnough(1920, 1080));
    EXPECT_FALSE(ScreenLargeEnough(1024, 480));
    EXPECT_FALSE(ScreenLargeEnough(640, 800));
    EXPECT_FALSE(ScreenLargeEnough(799, 600));
    EXPECT_FALSE(ScreenLargeEnough(800, 599));
    EXPECT_STREQ(kScreenTooSmall, "You must set the Screen Resolution to a minumum of 800x600 to use this program !");
    EXPECT_STREQ(kScreenTooSmallCaption, "Warning !");
}

TEST(MainStartupPieces, EverythingIsWrittenBeforeTheLockIsReleased) {
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    SingleInstanceLock lock("MorvelantEditorShutDownTest");
    ASSERT_TRUE(lock.Acquire());
    std::vector<std::string> order;
    ShutDownEditor(
        lock,
        [&] {
            EXPECT_TRUE(lock.Held());
            order.push_back("sets");
        },
        [&] {
            EXPECT_TRUE(lock.Held());
            order.push_back("windows");
        });
    EXPECT_FALSE(lock.Held());
    EXPECT_EQ(order, (std::vector<std::string>{"sets", "windows"}));
    qunsetenv("XDG_RUNTIME_DIR");
}

TEST(MainStartupPieces, SingleInstanceLockIsExclusiveUntilReleased) {
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    SingleInstanceLock first("MorvelantEditor");
    SingleInstanceLock second("MorvelantEditor");
    EXPECT_EQ(first.Path(), runtime.path().toStdString() + "/MorvelantEditor");
    ASSERT_TRUE(first.Acquire());
    EXPECT_TRUE(first.Acquire());  // taking it again keeps it
    EXPECT_FALSE(second.Acquire());
    EXPECT_FALSE(second.Failed());
    first.Release();
    EXPECT_TRUE(second.Acquire());
    second.Release();
    // A runtime folder that does not exist: the temporary folder is used.
    qputenv("XDG_RUNTIME_DIR", "/nonexistent/morvelant");
    EXPECT_NE(SingleInstanceLock::LockFolder(), "/nonexistent/morvelant");
    qunsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
}  // namespace morvelant
