// The fader parameter window driven by mouse, wheel and keyboard through its
// top-level window, as the window system delivers them.
#include <QGroupBox>
#include <QMenu>
#include <QToolButton>
#include <QToolTip>
#include <QScrollBar>

#include "platform/Dialogs.h"
#include "tests/faders/FaderWindowTestSupport.h"
#include "tests/support/UserInput.h"

namespace morvelant::fadertest {
namespace {

using namespace userinput;
using MP = Morvelant_Parameters;

class FaderWindowInput : public FaderWindowFixture {
protected:
    void SetUp() override {
        FaderWindowFixture::SetUp();
        w->Show();
    }
    // Selects the field's text, deletes it and types, key by key.
    void TypeOver(QLineEdit* e, const char* text) {
        FocusOn(e);
        KeyClick(e, Qt::Key_A, Qt::ControlModifier);
        KeyClick(e, Qt::Key_Backspace);
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
    P().FaderThreshold(0) = 0;
    w->ShowParameters(0, 0);
    // Each row types over a field key by key, then commits it; the field
    // shows what was typed until then. Threshold may be empty meanwhile.
    const struct {
        const char* field;
        const char* typed;
        int commit;
        const char* shown;  // after the commit
        int32_t (Morvelant_Parameters::*stored)(int) const;
        int32_t value;
        size_t messages;
    } rows[] = {
        {"FaderValue", "60", Qt::Key_Return, "60", &MP::FaderValue, 60, 0},  // inside the reversed range
        {"FaderValue", "150", Qt::Key_Tab, "100", &MP::FaderValue, 100, 0},  // the focus leaving
        {"FaderMax", "45", Qt::Key_Return, "45", &MP::FaderMax, 45, 0},
        {"FaderMin", "300", Qt::Key_Enter, "127", &MP::FaderMin, 127, 0},
        {"FaderThreshold", "", 0, "", &MP::FaderThreshold, 0, 0},  // not committed yet
        {"FaderThreshold", "12", Qt::Key_Return, "12", &MP::FaderThreshold, 12, 0},
        // No number (an empty field too): the old value comes back, without a box.
        {"FaderThreshold", "x", Qt::Key_Return, "12", &MP::FaderThreshold, 12, 0},
        {"FaderThreshold", "", Qt::Key_Tab, "12", &MP::FaderThreshold, 12, 0},
        {"FaderThreshold", "100", Qt::Key_Return, "63", &MP::FaderThreshold, 63, 0},
        {"FaderValue", "abc", Qt::Key_Return, "100", &MP::FaderValue, 100, 0},
        {"FaderMin", "", Qt::Key_Tab, "127", &MP::FaderMin, 127, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.field) + " " + r.typed);
        TypeOver(Edit(r.field), r.typed);
        EXPECT_EQ(Text(Edit(r.field)), r.typed);
        EXPECT_TRUE(dialogs.Messages().empty());  // nothing is judged per key
        if (r.commit != 0) KeyClick(Edit(r.field), r.commit);
        EXPECT_EQ(Text(Edit(r.field)), r.shown);
        EXPECT_EQ((P().*r.stored)(0), r.value);
        EXPECT_EQ(dialogs.Messages().size(), r.messages);
    }
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

// A name keeps what is shown: a character the working sets cannot carry
// (beyond "z" in a fader's name) is refused as it is typed and said beside
// the field, and a full name refuses a key instead of pushing one out.
TEST_F(FaderWindowInput, NamesKeepWhatIsShown) {
    const struct {
        const char* field;
        std::array<std::string, kFaderCount> MP::*stored;
        QString typed, shown, refused;
    } cases[] = {
        {"SliderName", &MP::SliderName, "aΩb", "ab", "Ω"},
        {"KeyOnName", &MP::KeyOnName, "a日b~", "ab", "~"},
        {"KeyOffName", &MP::KeyOffName, "Grün 5!2", "Grn 5!2", "ü"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        TypeOver(Edit(c.field), "");
        QToolTip::hideText();
        KeyClicks(Edit(c.field), c.typed);
        EXPECT_EQ(Edit(c.field)->text(), c.shown);
        EXPECT_EQ(FromCp1252((P().*c.stored)[0]), c.shown);
        EXPECT_TRUE(QToolTip::text().contains(c.refused)) << QToolTip::text().toStdString();
    }
    KeyClicks(Edit("KeyOffName"), "X");  // the eighth character
    KeyClick(Edit("KeyOffName"), Qt::Key_Home);
    KeyClicks(Edit("KeyOffName"), "Y");
    EXPECT_EQ(P().KeyOffName[0], "Grn 5!2X");
    EXPECT_EQ(Edit("KeyOffName")->cursorPosition(), 0);
}

// A half byte shows only while it is typed: what the row sends, stores and
// keeps once the field is left are the whole bytes.
TEST_F(FaderWindowInput, EventStringsKeepWholeBytes) {
    P().FaderStatus(0) = P().KeyOnStatus(0) = P().KeyOffStatus(0) = 0xF0;
    w->ShowParameters(0, 0);
    const struct {
        const char* field;
        std::array<std::string, kFaderCount> MP::*stored;
        int commit;
    } cases[] = {{"FaderString", &MP::FaderString, Qt::Key_Tab},
                 {"KeyOnString", &MP::KeyOnString, Qt::Key_Return},
                 {"KeyOffString", &MP::KeyOffString, Qt::Key_Tab}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        TypeOver(Edit(c.field), "fa zz 12 3");
        EXPECT_EQ(Text(Edit(c.field)) + "|" + (P().*c.stored)[0], "FA 12 3|FA 12");
        KeyClick(Edit(c.field), c.commit);
        EXPECT_EQ(Text(Edit(c.field)) + "|" + (P().*c.stored)[0], "FA 12|FA 12");
    }
}

}  // namespace
}  // namespace morvelant::fadertest
