// The preset list window offscreen: names, colours and marks, one "Preset"
// string per press, drags between name fields and onto the
// buffer list (and foreign drags refused), the buffer commands, sending and
// the timed series, the configuration, and the notes window.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QMimeData>
#include <QTimer>
#include <QToolButton>

#include <memory>

#include "engine/DeviceContext.h"
#include "midikit/MidiKitDLL.h"
#include "midikit/MidiKitOut.h"
#include "model/SlotLists.h"
#include "platform/Dialogs.h"
#include "platform/IniFile.h"
#include "platform/QtColors.h"
#include "presets/NotesUnit.h"
#include "presets/PresetFormUnit.h"
#include "tests/support/ListWindowTest.h"
#include "tests/support/UserInput.h"

namespace morvelant {
namespace {

struct RecordingProgress : SendProgress {
    std::vector<std::string> items;
    int steps = 0, ends = 0;
    void StartProgress(SendSeries&, int total, int slot, const std::string&) override {
        items.push_back(std::to_string(slot) + "/" + std::to_string(total));
    }
    void ShowProgressItem(int slot, const std::string&) override { items.push_back(std::to_string(slot)); }
    void StepProgress() override { ++steps; }
    void EndProgress(SendSeries&) override { ++ends; }
};

struct PresetFormTest : testsupport::ListWindowTest<TPresetForm> {
    PresetFormTest() : ListWindowTest("presetform") {}
    RecordingProgress progress;
    std::vector<std::pair<int, MidiEvent>> sent;

    void SetUp() override {
        ListWindowTest::SetUp();
        routing.NumOutDevs = 2;
        routing.PCMorvelantDeviceIndex = 1;
        routing.Out1DeviceFlags[0] = true;
        engine.OutputSink = [this](int port, const MidiEvent& e) { sent.push_back({port, e}); };
        MakeForm();
        form->SetSendProgress(&progress);
        form->Show();
    }
    int SentTo(int port) const {
        return int(std::count_if(sent.begin(), sent.end(), [port](const auto& s) { return s.first == port; }));
    }
};

TEST_F(PresetFormTest, NamesColoursAndMarks) {
    EXPECT_EQ(Edit(0)->text(), "Preset 1");
    EXPECT_EQ(form->findChild<QLineEdit*>("Edit64"), Edit(63));
    EXPECT_EQ(form->EditBuffersComboBox->count(), 1);  // one item per buffer, no placeholder
    form->SpeedButtonList[5]->click();
    form->SpeedButtonList[0]->click();
    EXPECT_TRUE(model.PresetSlotSelected[5]);
    struct {
        int slot;
        TColor colour;
    } expected[] = {{0, clYellow}, {5, clRed}, {6, clWindow}};
    for (auto e : expected) EXPECT_EQ(form->NameColour(e.slot), e.colour) << e.slot;
    EXPECT_EQ(Edit(5)->palette().color(QPalette::Base), ToQColor(clRed));
    form->ToggleSelection1Click();
    EXPECT_FALSE(model.PresetSlotSelected[5]);
    EXPECT_TRUE(form->SpeedButtonList[6]->isChecked());
    commands.Execute("DeselectAllPresets1");
    EXPECT_FALSE(form->SpeedButtonList[6]->isChecked());
}

TEST_F(PresetFormTest, APressSelectsAndSendsThePresetStringOnce) {
    model.Presets[6].SpecialKeyString[0] = "C0 05";
    int shown = 0;
    auto sub = notifications.CurrentPresetChanged.Subscribe([&] { ++shown; });
    Press(6);
    EXPECT_EQ(model.SelectedPreset, 6);
    EXPECT_EQ(SentTo(0), 1);  // once, not again for entering the field
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(form->NameColour(6), clYellow);
}

TEST_F(PresetFormTest, DropsCopyExchangeAndRefuseForeignDrags) {
    model.SetPresetDeviceName(3, "Three");
    model.SetPresetDeviceName(7, "Seven");
    Press(3, Qt::ShiftModifier);
    EXPECT_TRUE(Drop(Edit(7), form->MakeDragData(3)));
    EXPECT_EQ(model.GetPresetDeviceName(7), "Three   ");
    EXPECT_EQ(model.GetPresetDeviceName(3), "Seven   ");
    EXPECT_EQ(model.PresetClipboard.PresetName(0), 'S');
    EXPECT_EQ(model.SelectedPreset, 7);

    auto* text = new QMimeData;
    text->setText("Evil");
    EXPECT_FALSE(Drop(Edit(9), text));
    auto* other = new QMimeData;
    other->setData(TSlotListForm::kDragMimeType, "PatternForm name 1");
    EXPECT_FALSE(Drop(Edit(9), other));
    EXPECT_EQ(model.GetPresetDeviceName(9), "Preset10");

    Press(7);  // plain press: the drop copies
    EXPECT_TRUE(Drop(form->EditBuffersComboBox, form->MakeDragData(7)));
    EXPECT_EQ(form->EditBuffersComboBox->count(), 2);
    EXPECT_EQ(form->EditBuffersComboBox->itemText(1), "Three   ");
    EXPECT_EQ(model.SelectedPreset, 65);

    model.PresetEditBufferCount = 64;
    form->ShowAllNames();
    Drop(form->EditBuffersComboBox, form->MakeDragData(-1));
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"No more Buffer available"});
}

TEST_F(PresetFormTest, BufferCommandsKeepEveryIndexInRange) {
    for (int b = 0; b < 3; ++b) model.SetPresetDeviceName(64 + b, "Buf" + std::to_string(b));
    model.PresetEditBufferCount = 3;
    form->ShowAllNames();
    form->EditBuffersComboBox->setCurrentIndex(0);
    Q_EMIT form->EditBuffersComboBox->activated(0);
    EXPECT_EQ(model.SelectedPreset, 64);
    form->DeletePreset1Click();
    EXPECT_EQ(model.SelectedPreset, 64);  // the buffer that moved into place
    EXPECT_EQ(form->EditBuffersComboBox->count(), 2);
    EXPECT_EQ(form->EditBuffersComboBox->itemText(0), "Buf1    ");

    form->EditBuffersComboBox->setCurrentIndex(-1);
    form->LoadPresetsClick();
    EXPECT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_TRUE(dialogs.CallsOf(ScriptedDialogs::Kind::Open).empty());

    form->ClearAllBuffersClick();
    EXPECT_EQ(form->EditBuffersComboBox->count(), 1);
    EXPECT_EQ(model.PresetEditBufferCount, 1);
}

TEST_F(PresetFormTest, SendingWarnsRemindsAndRefusesWithoutADevice) {
    model.SelectedPreset = 64;
    form->SendPresetClick();
    EXPECT_GT(SentTo(1), 100);
    EXPECT_EQ(sent.front().second.data1, 0xF0);
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].text, "You must use \"Get Preset 65\"\n on the Morvelant to use this Preset");
    EXPECT_EQ(dialogs.calls[0].caption, "Do not forget !");

    routing.PCMorvelantDeviceIndex = routing.NumOutDevs;
    sent.clear();
    model.PresetSlotSelected[3] = true;
    form->SelectedPresets2Click();
    form->SendPresetClick();
    EXPECT_TRUE(sent.empty());
    EXPECT_TRUE(progress.items.empty());
    EXPECT_FALSE(form->Timer1->isActive());
    ASSERT_EQ(dialogs.calls.size(), 3u);
    EXPECT_EQ(dialogs.calls[2].caption, "Warning !");
}

TEST_F(PresetFormTest, TheSeriesSendsTheMarkedPresetsOnePerTick) {
    struct {
        int delay, interval;
    } delays[] = {{500, 500}, {0, 3000}, {-5, 3000}};
    for (auto d : delays) {
        routing.PresetDelay = d.delay;
        progress = {};
        sent.clear();
        model.PresetSlotSelected.fill(false);
        model.PresetSlotSelected[3] = model.PresetSlotSelected[10] = true;
        form->SelectedPresets2Click();
        EXPECT_EQ(form->Timer1->interval(), d.interval);
        const std::size_t one = sent.size();
        EXPECT_GT(one, 0u);
        form->Timer1Timer();
        EXPECT_EQ(sent.size(), 2 * one);
        form->Timer1Timer();
        EXPECT_FALSE(form->Timer1->isActive());
        EXPECT_EQ(progress.items, (std::vector<std::string>{"3/2", "10"}));
        EXPECT_EQ(progress.steps, 2);
        EXPECT_EQ(progress.ends, 1);
    }
    form->SelectedPresets2Click();
    form->StopSendSeries();  // the dialog's Cancel
    EXPECT_FALSE(form->Timer1->isActive());
}

TEST_F(PresetFormTest, ConfigurationNegativeTopAndWriteBack) {
    form.reset();  // writes the defaults: outer sizes, frame included where the platform draws one
    TIniFile ini(Dir() + "Morvelant.cfg");
    const int width = ini.ReadInteger("Preset Form", "Width", -1);
    EXPECT_GE(width, 368);
    ini.WriteInteger("Preset Form", "Top", -20);
    ini.WriteBool("Options", "ShowPresets", false);
    form = std::make_unique<TPresetForm>(model, notifications, engine, commands, Dir());
    EXPECT_EQ(form->Top(), 0);
    EXPECT_FALSE(model.ShowPresets);
    form.reset();  // what was read is written back as it was
    EXPECT_EQ(ini.ReadInteger("Preset Form", "Width", -1), width);
}

TEST_F(PresetFormTest, NotesFollowThePresetAndKeepTheirLineBreaks) {
    model.Presets[0].PresetNotes = "one\ntwo";
    TNotesForm notes(model, notifications, Dir());
    EXPECT_EQ(notes.NotesRichEdit->toPlainText(), "one\ntwo");
    EXPECT_EQ(model.Presets[0].PresetNotes, "one\ntwo");  // shown, not rewritten
    notes.NotesRichEdit->setPlainText("a\nb");
    EXPECT_EQ(model.Presets[0].PresetNotes, "a\r\nb");
    form->SelectPreset(1, false);
    EXPECT_EQ(notes.NotesRichEdit->toPlainText(), "");
    notes.NotesRichEdit->setPlainText("");
    EXPECT_EQ(model.Presets[1].PresetNotes, "");
    form->SelectPreset(0, false);
    EXPECT_EQ(notes.NotesRichEdit->toPlainText(), "a\nb");
    EXPECT_EQ(notes.Top(), 116);
}

}  // namespace
}  // namespace morvelant

namespace morvelant {
namespace {

// A port of the driver library (loopback backend) that takes `room` events
// and then refuses every further one, as a full queue does.
int room = 0;
uint16_t PutUntilFull(uint32_t, LPMIDIEVENT) { return room-- > 0 ? 0 : 1; }

TEST_F(PresetFormTest, APortThatRefusesStopsTheSendAndSaysSo) {
    ::setenv("MIDIKIT_BACKEND", "loopback", 1);
    TMidiKit kit;
    TMidiKitOut out;
    out.MidiKit = &kit;
    ASSERT_TRUE(out.Open(0, MIDIKIT_OPEN_ARGUMENT));
    kit.pPutMidiOut = &PutUntilFull;
    routing.Out[1] = &out;
    engine.OutputSink = nullptr;

    room = 10;
    form->SendPresetClick();
    EXPECT_EQ(room, -1);  // the eleventh was refused, nothing after it was tried
    ASSERT_EQ(dialogs.calls.size(), 1u);  // no reminder
    EXPECT_EQ(dialogs.calls[0].text,
              "Preset 1 could not be sent completely!\nThe PC->Morvelant port did not accept all of it.");

    room = 0;
    model.PresetSlotSelected[3] = model.PresetSlotSelected[10] = true;
    form->SelectedPresets2Click();
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_EQ(progress.ends, 1);
    EXPECT_EQ(dialogs.calls.size(), 2u);
    out.Close();
}

// An edit of the notes that would make them more than the window edits, or
// the working set more than the editor reads back, is refused with a word,
// and the notes stay as they were.
TEST_F(PresetFormTest, NotesRefuseAnEditThatWouldMakeThemTooLarge) {
    model.Presets[0].PresetNotes.assign(std::size_t(63) << 20, 'n');  // as a file brought them
    TNotesForm notes(model, notifications, Dir());
    notes.Show();
    form->SelectPreset(1, false);
    struct Case {
        std::size_t pasted;
        const char* said;
    } cases[] = {
        {(std::size_t(1) << 20) + 1, "These notes would hold 1.0 MiB, more than the 1.0 MiB this window edits."},
        {std::size_t(1000) << 10,
         "These notes would make the working set \"Config.MVR\" hold 65 MiB, more than the 64 MiB the editor can "
         "read back at its next start."},
    };
    for (const Case& c : cases) {
        dialogs.calls.clear();
        userinput::FocusOn(notes.NotesRichEdit);
        userinput::KeyClicks(notes.NotesRichEdit, "ab");
        QApplication::clipboard()->setText(QString(qsizetype(c.pasted), QLatin1Char('p')));
        userinput::KeyClick(notes.NotesRichEdit, Qt::Key_V, Qt::ControlModifier);
        QCoreApplication::processEvents();
        ASSERT_EQ(dialogs.Messages().size(), 1u) << c.said;
        EXPECT_EQ(dialogs.Messages()[0], std::string(c.said) + " The notes were left as they were.");
        EXPECT_EQ(model.Presets[1].PresetNotes, "ab");
        EXPECT_EQ(notes.NotesRichEdit->toPlainText(), "ab");
        notes.NotesRichEdit->clear();
    }
}

}  // namespace
}  // namespace morvelant
