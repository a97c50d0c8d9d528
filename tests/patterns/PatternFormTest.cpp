// The pattern list window offscreen, where it differs from the preset list
// (the shared list part is tested there): names, drags of patterns only, the
// buffer commands, the clipboard and init through the menu names, the
// sending texts, and the pattern notes window.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QMimeData>
#include <QTimer>
#include <QToolButton>

#include <memory>

#include "engine/DeviceContext.h"
#include "patterns/PatternFormUnit.h"
#include "patterns/PatternNotesUnit.h"
#include "platform/Dialogs.h"
#include "platform/QtColors.h"
#include "tests/support/ListWindowTest.h"

namespace morvelant {
namespace {

struct PatternFormTest : testsupport::ListWindowTest<TPatternForm> {
    PatternFormTest() : ListWindowTest("patternform") {}
    std::vector<MidiEvent> sent;
    int refreshes = 0;
    Subscription refreshed = notifications.CurrentPatternChanged.Subscribe([this] { ++refreshes; });

    void SetUp() override {
        ListWindowTest::SetUp();
        routing.NumOutDevs = 1;
        engine.OutputSink = [this](int, const MidiEvent& e) { sent.push_back(e); };
        MakeForm();
        form->Show();
    }
};

TEST_F(PatternFormTest, NamesColoursAndSelection) {
    EXPECT_EQ(Edit(0)->text(), "Seq 1");  // without the padding the files keep
    EXPECT_EQ(form->Left(), 369);
    refreshes = 0;
    Press(8);
    EXPECT_EQ(model.SelectedPattern, 8);
    EXPECT_EQ(refreshes, 1);
    Edit(4)->setText("a~bc");
    Edit(4)->setCursorPosition(2);
    Q_EMIT Edit(4)->textEdited(Edit(4)->text());
    EXPECT_EQ(model.GetPatternName(4), "abc     ");
    EXPECT_EQ(Edit(4)->cursorPosition(), 1);
}

TEST_F(PatternFormTest, DropsExchangeCopyAndRefuseOthers) {
    model.Patterns[2].PatternNotes = "two";
    Press(2, Qt::ShiftModifier);
    EXPECT_TRUE(Drop(Edit(6), form->MakeDragData(2)));
    EXPECT_EQ(model.Patterns[6].PatternNotes, "two");
    EXPECT_EQ(model.GetPatternName(2), "Seq 7   ");
    EXPECT_EQ(model.PatternClipboard.PatternNotes, "");
    EXPECT_EQ(model.SelectedPattern, 6);

    auto* preset = new QMimeData;
    preset->setData(TSlotListForm::kDragMimeType, "PresetForm name 1");
    EXPECT_FALSE(Drop(Edit(9), preset));
    auto* text = new QMimeData;
    text->setText("x");
    EXPECT_FALSE(Drop(form->EditBuffersComboBox, text));
    EXPECT_EQ(model.PatternEditBufferCount, 1);

    Press(6);
    EXPECT_TRUE(Drop(form->EditBuffersComboBox, form->MakeDragData(6)));
    EXPECT_EQ(model.PatternEditBufferCount, 2);
    EXPECT_EQ(model.Patterns[65].PatternNotes, "two");
    EXPECT_EQ(model.SelectedPattern, 65);
    form->EditBuffersComboBox->setCurrentIndex(0);
    Q_EMIT form->EditBuffersComboBox->activated(0);
    form->DeletePreset1Click();
    EXPECT_EQ(model.SelectedPattern, 64);
    EXPECT_EQ(model.Patterns[64].PatternNotes, "two");
    EXPECT_EQ(form->EditBuffersComboBox->count(), 1);
}

TEST_F(PatternFormTest, ClipboardAndInitThroughTheMenuNames) {
    model.SelectedPattern = 3;
    model.Patterns[3].PatternNotes = "kept";
    model.Patterns[3].StepVelocity(0, 0) = 99;
    commands.Execute("CopyPattern1");
    EXPECT_TRUE(form->PastePattern1->isEnabled());
    EXPECT_TRUE(commands.Enabled("PastePatternwClipboard1"));
    commands.Execute("SinglePattern2");  // Init of the current pattern
    EXPECT_EQ(model.Patterns[3].StepVelocity(0, 0), 0);
    EXPECT_EQ(model.Patterns[3].PatternNotes, "kept");
    model.SelectedPattern = 5;
    commands.Execute("PastePattern1");
    EXPECT_EQ(model.Patterns[5].StepVelocity(0, 0), 99);
}

TEST_F(PatternFormTest, SendingWarnsAndReminds) {
    routing.PCMorvelantDeviceIndex = 1;  // no device
    model.PatternSlotSelected[2] = true;
    commands.Execute("SelectedPatterns4");
    form->SendPatternClick();
    EXPECT_TRUE(sent.empty());
    EXPECT_FALSE(form->Timer1->isActive());
    routing.PCMorvelantDeviceIndex = 0;
    model.SelectedPattern = 70;
    form->SendPatternClick();
    EXPECT_FALSE(sent.empty());
    EXPECT_EQ(dialogs.Messages(),
              (std::vector<std::string>{"Pattern could not be sent!\nNo PC->Morvelant device selected in Midi Settings",
                                        "Pattern could not be sent!\nNo PC->Morvelant device selected in Midi Settings",
                                        "You must use \"Get Pattern 71\"\n on the Morvelant to use this Pattern"}));
}

TEST_F(PatternFormTest, NotesFollowThePatternAndSurviveInit) {
    model.Patterns[0].PatternNotes = "first\r\nline";
    TPatternNotesForm notes(model, notifications, Dir());
    EXPECT_EQ(notes.PatternNotesRichEdit->toPlainText(), "first\nline");
    form->ShowPattern(1);
    notes.PatternNotesRichEdit->setPlainText("x\ny");
    EXPECT_EQ(model.Patterns[1].PatternNotes, "x\r\ny");
    EXPECT_EQ(model.Patterns[0].PatternNotes, "first\r\nline");
    commands.Execute("SinglePattern2");
    EXPECT_EQ(notes.PatternNotesRichEdit->toPlainText(), "x\ny");
    EXPECT_FALSE(model.ShowPatternNotes);
}

}  // namespace
}  // namespace morvelant
