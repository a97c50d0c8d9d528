// The fader parameter window driven by mouse, wheel and keyboard through its
// top-level window, as the window system delivers them.
#include <QGroupBox>
#include <QMenu>
#include <QToolButton>
#include <QScrollBar>

#include "platform/Dialogs.h"
#include "tests/faders/FaderWindowTestSupport.h"
#include "tests/faders/UserInput.h"

namespace morvelant::fadertest {
namespace {

using namespace userinput;

class FaderWindowInput : public FaderWindowFixture {
protected:
    void SetUp() override {
        FaderWindowFixture::SetUp();
        w->Show();
    }
    // Selects the field's text and types over it, key by key.
    void TypeOver(QLineEdit* e, const char* text) {
        FocusOn(e);
        KeyClick(e, Qt::Key_A, {}, Qt::ControlModifier);
        KeyClicks(e, QString::fromLatin1(text));
    }
};

TEST_F(FaderWindowInput, TheWheelMovesTheFaderAnywhereAndNoList) {
    P().FaderStatus(0) = 0x80;  // Note Off: data 2 is "NoteOff Velocity"
    P().FaderMidiData2(0) = 128;  // "Slider"
    P().MasterSlaveMode(0) = 0;
    w->ShowParameters(0, 0);
    w->Fader->setValue(60);
    const int32_t valueAt60 = model.FaderStates[0].Value;
    const struct {
        QWidget* over;
        int notches;
        int step;
        int position;
    } cases[] = {
        {List("FaderMidiData2"), -1, 120, 65},  // down: towards 127
        {List("MasterSlaveMode"), 1, 120, 60},
        {w->Fader, 2, 120, 50},                 // the window's step, not the bar's
        {List("SwitchMode"), -1, 15, 55},       // a touchpad's eighths add up to one notch
        {Edit("SliderName"), 1, 120, 50},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.over->objectName().toStdString());
        Wheel(c.over, c.notches, {-1, -1}, c.step);
        EXPECT_EQ(w->Fader->value(), c.position);
    }
    EXPECT_EQ(P().FaderMidiData2(0), 128);
    EXPECT_EQ(P().MasterSlaveMode(0), 0);
    EXPECT_EQ(List("FaderMidiData2")->currentText(), "Slider");
    EXPECT_NE(model.FaderStates[0].Value, valueAt60);  // the steps ran the fader's change handling
}

TEST_F(FaderWindowInput, KeyParametersOpenOnTheWholeKeyArea) {
    EXPECT_EQ(List("SwitchMode")->parentWidget(), w->GroupBox2);
    QWidget* switchLabel = nullptr;
    for (auto* l : w->GroupBox2->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        if (l->text() == "Switch Mode") switchLabel = l;
    ASSERT_NE(switchLabel, nullptr);
    // The list, its label and the free part of the group beside them.
    const QPoint free = List("SwitchMode")->geometry().bottomLeft() + QPoint(30, 6);
    const struct {
        QWidget* on;
        QPoint at;
    } clicks[] = {{List("SwitchMode"), {-1, -1}}, {switchLabel, {-1, -1}}, {w->GroupBox2, free}};
    for (const auto& c : clicks) {
        SCOPED_TRACE(c.on->objectName().toStdString());
        Click(c.on, Qt::RightButton, c.at);
        EXPECT_TRUE(w->KeyPopupMenu->isVisible());
        w->KeyPopupMenu->hide();
    }
    // Inside "Key On" its own menu opens.
    QLabel* demute = nullptr;
    for (auto* l : w->GroupBox7->findChildren<QLabel*>())
        if (l->text() == "Demute Value") demute = l;
    ASSERT_NE(demute, nullptr);
    Click(demute, Qt::RightButton);
    EXPECT_TRUE(w->KeyOnPopupMenu->isVisible());
    EXPECT_FALSE(w->KeyPopupMenu->isVisible());
    w->KeyOnPopupMenu->hide();
}

TEST_F(FaderWindowInput, NumbersAreClampedWhenCommittedNotPerKey) {
    ScriptedDialogs dialogs;
    ScopedDialogs scoped(dialogs);
    P().FaderMin(0) = 100;
    P().FaderMax(0) = 20;
    P().FaderValue(0) = 30;
    w->ShowParameters(0, 0);
    TypeOver(Edit("FaderValue"), "60");
    EXPECT_EQ(Text(Edit("FaderValue")), "60");
    KeyClick(Edit("FaderValue"), Qt::Key_Return);
    EXPECT_EQ(P().FaderValue(0), 60);  // inside the reversed range 100..20
    TypeOver(Edit("FaderValue"), "150");
    KeyClick(Edit("FaderValue"), Qt::Key_Tab);  // focus leaving commits
    EXPECT_EQ(P().FaderValue(0), 100);
    EXPECT_EQ(Text(Edit("FaderValue")), "100");

    TypeOver(Edit("FaderMax"), "45");
    EXPECT_EQ(Text(Edit("FaderMax")), "45");
    KeyClick(Edit("FaderMax"), Qt::Key_Return);
    EXPECT_EQ(P().FaderMax(0), 45);
    TypeOver(Edit("FaderMin"), "300");
    EXPECT_EQ(Text(Edit("FaderMin")), "300");
    KeyClick(Edit("FaderMin"), Qt::Key_Enter);
    EXPECT_EQ(P().FaderMin(0), 127);
    EXPECT_EQ(Text(Edit("FaderMin")), "127");

    // Threshold may be empty while it is retyped; a word is refused once,
    // when committed.
    TypeOver(Edit("FaderThreshold"), "");
    KeyClick(Edit("FaderThreshold"), Qt::Key_Backspace);
    EXPECT_TRUE(dialogs.Messages().empty());
    KeyClicks(Edit("FaderThreshold"), QStringLiteral("12"));
    KeyClick(Edit("FaderThreshold"), Qt::Key_Return);
    EXPECT_EQ(P().FaderThreshold(0), 12);
    TypeOver(Edit("FaderThreshold"), "x");
    EXPECT_TRUE(dialogs.Messages().empty());
    KeyClick(Edit("FaderThreshold"), Qt::Key_Return);
    EXPECT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_EQ(P().FaderThreshold(0), 12);
    // The arrows commit at once.
    TypeOver(Edit("FaderThreshold"), "20");
    Click(w->FaderThreshold->Up);
    EXPECT_EQ(P().FaderThreshold(0), 21);
}

// The group boxes keep a picture of themselves: a new caption shows at once,
// and the old caption looks as it did.
TEST_F(FaderWindowInput, GroupsShowTheirNewCaption) {
    const auto picture = [this](int32_t status) {
        P().FaderStatus(0) = status;
        w->ShowParameters(0, 0);
        return w->GroupBox6->grab().toImage();
    };
    const QImage channel = picture(0xB0);
    EXPECT_EQ(w->GroupBox6->title(), "Midi Channel");
    EXPECT_NE(picture(0x50), channel);  // "Step Number", the same button down
    EXPECT_EQ(picture(0xB0), channel);
}

}  // namespace
}  // namespace morvelant::fadertest
