// What the user types into the list windows' names and the notes windows is
// what the working sets keep, in the started editor with real keys: text
// the files cannot carry is refused as it is typed and said beside the
// field, a full name refuses a key, and an edit that would make a working
// set too large to read back is refused when it is made.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextEdit>
#include <QToolTip>
#include <QTreeWidget>

#include <functional>

#include "engine/Tool.h"
#include "faders/AllFaderParameters.h"
#include "faders/SpecialKeyEdit.h"
#include "patterns/PatternFormUnit.h"
#include "platform/QtText.h"
#include "patterns/PatternNotesUnit.h"
#include "presets/NotesUnit.h"
#include "shell/MidiSettings.h"
#include "tests/support/FileBytes.h"
#include "presets/PresetFormUnit.h"
#include "tests/support/ListWindowTest.h"
#include "tests/support/StartedEditor.h"
#include "tests/support/UserInput.h"

namespace morvelant {
namespace {

using testsupport::StartedEditor;
namespace input = userinput;

void Trigger(const char* item) {
    auto* action = MainMenuForm->findChild<QAction*>(QString::fromLatin1(item));
    ASSERT_NE(action, nullptr) << item;
    action->trigger();
}

TEST(TextFieldsStarted, NamesKeepWhatIsShownAndAFullNameRefusesTheKey) {
    StartedEditor editor;
    editor.Start();
    struct Case {
        bool presets;
        int slot;
        QString typed, shown, refused;
        QLineEdit* Edit() const {
            return (presets ? static_cast<TSlotListForm*>(PresetForm) : PatternForm)->EditList[std::size_t(slot)];
        }
    };
    // The field shows the name without the padding the files keep.
    const Case cases[] = {
        {true, 1, "aΩb", "ab", "Ω"}, {true, 2, "a日b", "ab", "日"}, {true, 3, "aüb", "aüb", ""},
        {true, 4, "aßb", "aßb", ""}, {true, 6, "a€b", "a€b", ""},   {true, 7, "aéb", "aéb", ""},
        {true, 8, "a~b", "ab", "~"}, {false, 2, "Lä€Ω", "Lä€", "Ω"},
    };
    const auto padded = [](const QString& name) { return name.leftJustified(8, u' '); };
    for (const Case& c : cases) {
        QLineEdit* edit = c.Edit();
        input::FocusOn(edit);
        input::KeyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QToolTip::hideText();
        input::KeyClicks(edit, c.typed);
        EXPECT_EQ(edit->text(), c.shown) << c.typed.toStdString();
        const std::string stored =
            c.presets ? editor.Model().GetPresetDeviceName(c.slot) : editor.Model().GetPatternName(c.slot);
        EXPECT_EQ(FromCp1252(stored), padded(c.shown)) << c.typed.toStdString();
        if (!c.refused.isEmpty()) { EXPECT_TRUE(QToolTip::text().contains(c.refused)) << c.typed.toStdString(); }
    }
    // Home, then X, on the full name "Preset 6": the key is refused.
    QLineEdit* full = PresetForm->EditList[5];
    input::FocusOn(full);
    input::KeyClick(full, Qt::Key_Home);
    input::KeyClick(full, Qt::Key_X, Qt::ShiftModifier);
    EXPECT_EQ(full->text(), "Preset 6");
    EXPECT_EQ(full->cursorPosition(), 0);
    EXPECT_EQ(editor.Model().GetPresetDeviceName(5), "Preset 6");

    editor.Stop();
    editor.Start();
    for (const Case& c : cases) EXPECT_EQ(c.Edit()->text(), c.shown);
    // A short name read back: End lands after its last character and the
    // letter typed there is kept; a blank typed at the end stays as typed.
    for (const Case& c : {cases[2], cases[7]}) {
        QLineEdit* edit = c.Edit();
        input::FocusOn(edit);
        input::KeyClick(edit, Qt::Key_End);
        EXPECT_EQ(edit->cursorPosition(), c.shown.size());
        input::KeyClicks(edit, QStringLiteral(" z"));
        EXPECT_EQ(edit->text(), c.shown + " z");
        const std::string stored =
            c.presets ? editor.Model().GetPresetDeviceName(c.slot) : editor.Model().GetPatternName(c.slot);
        EXPECT_EQ(FromCp1252(stored), padded(c.shown + " z"));
    }
}

TEST(TextFieldsStarted, NotesKeepWhatIsShown) {
    StartedEditor editor;
    editor.Start();
    MainForm->findChild<QPushButton*>("NotesButton")->click();
    NotesTextEdit* box = NotesForm->NotesRichEdit;
    input::FocusOn(box);
    QToolTip::hideText();
    input::KeyClicks(box, "Grüße €5 Ω 日本 ✓");
    EXPECT_TRUE(QToolTip::text().contains("✓"));
    input::KeyClick(box, Qt::Key_Return);
    // A paste keeps what the notes can carry and says what they cannot.
    QApplication::clipboard()->setText("Ωmega\nend");
    input::KeyClick(box, Qt::Key_V, Qt::ControlModifier);
    const QString shown = "Grüße €5   \nmega\nend";
    EXPECT_EQ(box->toPlainText(), shown);
    EXPECT_TRUE(QToolTip::text().contains("Ω"));
    EXPECT_EQ(editor.Model().Presets[0].PresetNotes, "Gr\xFC\xDF" "e \x80" "5   \r\nmega\r\nend");

    editor.Stop();
    editor.Start();
    EXPECT_EQ(NotesForm->NotesRichEdit->toPlainText(), shown);
}

// A paste that holds control characters (a NUL, an escape, a bell), by
// Ctrl+V into every text box whose text is saved: each keeps only what
// typing could enter there (a notes box its tabs and line breaks too), says
// what it left out, and the working set on disk holds no NUL.
TEST(TextFieldsStarted, APasteKeepsOnlyWhatTypingCouldEnter) {
    StartedEditor editor;
    editor.Start();
    MainForm->findChild<QPushButton*>("NotesButton")->click();
    PatternNotesForm->Show();
    MidiSettingsForm->Show();
    QTreeWidget* ports = MidiSettingsForm->MorvelantIn1Devices;
    ASSERT_GT(ports->topLevelItemCount(), 0);
    struct Case {
        const char* box;
        std::function<QWidget*()> open;  // gives the box the focus
        QString shown;
        std::function<QString()> text;  // what the box shows after the paste
        int commit = 0;  // the key that ends the edit, if one does
    };
    const Case cases[] = {
        {"preset notes", [] { return static_cast<QWidget*>(NotesForm->NotesRichEdit); }, "ABCD\tE\nF",
         [] { return NotesForm->NotesRichEdit->toPlainText(); }},
        {"pattern notes", [] { return static_cast<QWidget*>(PatternNotesForm->PatternNotesRichEdit); }, "ABCD\tE\nF",
         [] { return PatternNotesForm->PatternNotesRichEdit->toPlainText(); }},
        {"a preset name", [] { return static_cast<QWidget*>(PresetForm->EditList[2]); }, "ABCDEF",
         [] { return PresetForm->EditList[2]->text(); }, Qt::Key_Tab},
        {"a port's name",
         [ports] {  // renamed as the user does: F2 in the list
             MidiSettingsForm->PageControl1->setCurrentIndex(1);
             input::FocusOn(ports);
             ports->setCurrentItem(ports->topLevelItem(0));
             input::KeyClick(ports, Qt::Key_F2);
             return QApplication::focusWidget();
         },
         "ABCDEF", [ports] { return ports->topLevelItem(0)->text(0); }, Qt::Key_Return},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.box);
        QWidget* box = c.open();
        ASSERT_NE(box, nullptr);
        input::FocusOn(box);
        input::KeyClick(box, Qt::Key_A, Qt::ControlModifier);
        QToolTip::hideText();
        QApplication::clipboard()->setText(QString::fromLatin1("AB\0CD\x1b\tE\nF\x07", 12));
        input::KeyClick(box, Qt::Key_V, Qt::ControlModifier);
        const QString said = QToolTip::text();
        if (c.commit != 0) input::KeyClick(box, c.commit);
        QApplication::processEvents();  // a list takes the edit after the key
        EXPECT_EQ(c.text(), c.shown);
        EXPECT_TRUE(said.contains("control character")) << said.toStdString();
    }
    EXPECT_EQ(editor.Model().Presets[0].PresetNotes, "ABCD\tE\r\nF");
    editor.Stop();
    const std::string saved = testsupport::Slurp(editor.Folder() + "Config.MVR");
    EXPECT_NE(saved.find("ABCD\tE\r\nF"), std::string::npos);
    EXPECT_EQ(saved.find(std::string("AB\0CD", 5)), std::string::npos);
}

// The fader window's names and byte strings and a special key, typed and
// left with Tab: what stays shown is what is stored, and a restart reads it.
TEST(TextFieldsStarted, FaderNamesAndByteStringsKeepWhatIsShown) {
    StartedEditor editor;
    editor.Start();
    editor.Model().Presets[0].KeyOnStatus(0) = 0xF0;  // the key sends a string
    SelectFader(editor.Windows().Context().DeviceEngine, 0);
    AllFaderP->Show();
    SpecialKeyForm->Show();
    const auto fields = [] {
        return std::array<QLineEdit*, 4>{AllFaderP->SliderName, AllFaderP->KeyOffName, AllFaderP->KeyOnString,
                                         SpecialKeyForm->StopString};
    };
    const QString typed[] = {"Bass Ω123", "Grün日", "fa zz 12 3", "f0 7"};
    const QString shown[] = {"Bass 123", "Grn", "FA 12", "F0"};
    for (int i = 0; i < 4; ++i) {
        QLineEdit* edit = fields()[std::size_t(i)];
        input::FocusOn(edit);
        input::KeyClick(edit, Qt::Key_A, Qt::ControlModifier);
        input::KeyClicks(edit, typed[i]);
        input::KeyClick(edit, Qt::Key_Tab);
        EXPECT_EQ(edit->text(), shown[i]) << typed[i].toStdString();
    }
    const Morvelant_Parameters& p = editor.Model().Presets[0];
    EXPECT_EQ(p.SliderName[0] + "|" + p.KeyOffName[0] + "|" + p.KeyOnString[0] + "|" + p.SpecialKeyString[2],
              "Bass 123|Grn|FA 12|F0");

    editor.Stop();
    editor.Start();
    for (int i = 0; i < 4; ++i) EXPECT_EQ(fields()[std::size_t(i)]->text(), shown[i]);
}

// Every text box of every window the editor makes (a spin box's line too),
// given a clipboard or a drag that holds no text (nothing, only an image):
// Ctrl+V, Shift+Insert and a drop leave it as it was.
TEST(TextFieldsStarted, NothingToPasteLeavesEveryTextBoxAsItWas) {
    StartedEditor editor;
    editor.Start();
    std::vector<QPointer<QWidget>> boxes;
    for (QWidget* window : QApplication::topLevelWidgets())
        for (QWidget* w : window->findChildren<QWidget*>())
            if (qobject_cast<QLineEdit*>(w) || qobject_cast<QTextEdit*>(w) || qobject_cast<QPlainTextEdit*>(w))
                boxes.emplace_back(w);
    const auto held = [](bool image) {
        auto* data = new QMimeData;
        if (image) data->setImageData(QImage(8, 8, QImage::Format_RGB32));
        return data;
    };
    const auto shown = [](QWidget* box) {
        if (auto* e = qobject_cast<QLineEdit*>(box)) return e->text();
        if (auto* e = qobject_cast<QTextEdit*>(box)) return e->toHtml();
        return static_cast<QPlainTextEdit*>(box)->toPlainText();
    };
    std::size_t tried = 0;
    for (const QPointer<QWidget>& box : boxes) {
        if (box == nullptr || (input::FocusOn(box), box->window()->focusWidget() != box)) continue;  // hidden
        ++tried;
        auto* area = qobject_cast<QAbstractScrollArea*>(box.data());
        QWidget* inside = area != nullptr ? area->viewport() : box.data();
        for (const bool image : {false, true}) {
            const QString before = shown(box);
            QApplication::clipboard()->setMimeData(held(image));
            input::KeyClick(box, Qt::Key_V, Qt::ControlModifier);
            input::KeyClick(box, Qt::Key_Insert, Qt::ShiftModifier);
            testsupport::DropOn(inside, held(image));
            EXPECT_EQ(shown(box), before) << (box->window()->objectName() + "." + box->objectName()).toStdString()
                                          << (image ? " given an image" : " given nothing");
        }
    }
    EXPECT_GE(tried, boxes.size() / 2) << boxes.size();
}

// Notes larger than a working set can hold beside another copy of them, as
// a file may bring: a copy is refused when it is made, and the exit saves.
TEST(TextFieldsStarted, ACopyThatWouldOverfillTheWorkingSetIsRefused) {
    StartedEditor editor;
    editor.Start();
    DeviceModel& model = editor.Model();
    model.Presets[0].PresetNotes.assign(std::size_t(33) << 20, 'n');
    PresetForm->SelectPreset(0, false);
    Trigger("CopyPreset1");
    PresetForm->SelectPreset(1, false);
    Trigger("PastePreset1");
    PresetForm->SelectPreset(0, false);  // a drag carries the current preset
    PresetForm->DragExchange = false;
    testsupport::DropOn(PresetForm->EditBuffersComboBox, PresetForm->MakeDragData(0));
    const std::string said =
        "would make the working set \"Config.MVR\" hold 67 MiB, more than the 64 MiB the editor can read back at its "
        "next start. Nothing was changed.";
    ASSERT_EQ(editor.Dialogs.Messages().size(), 2u) << ::testing::PrintToString(editor.Dialogs.Messages());
    EXPECT_EQ(editor.Dialogs.Messages()[0], "Pasting this preset " + said);
    EXPECT_EQ(editor.Dialogs.Messages()[1], "Copying this preset " + said);
    EXPECT_TRUE(model.Presets[1].PresetNotes.empty());
    EXPECT_EQ(model.PresetEditBufferCount, 1);

    // The slot's notes are shown from their start, and kept as they are.
    PresetForm->SelectPreset(1, false);
    EXPECT_TRUE(NotesForm->NotesRichEdit->toPlainText().isEmpty());
    EXPECT_FALSE(NotesForm->NotesRichEdit->isReadOnly());
    PresetForm->SelectPreset(0, false);
    EXPECT_TRUE(NotesForm->NotesRichEdit->isReadOnly());
    EXPECT_LE(NotesForm->NotesRichEdit->document()->characterCount(), int(TNotesWindow::kNotesHeadBytes) + 1);
    EXPECT_TRUE(NotesForm->LargeNotesLabel->text().startsWith("These notes hold 33.0 MiB"));
    editor.Stop();
    EXPECT_EQ(editor.Dialogs.Messages().size(), 2u);  // the exit saved without a word
    editor.Start();
    EXPECT_EQ(editor.Model().Presets[0].PresetNotes.size(), std::size_t(33) << 20);
}

}  // namespace
}  // namespace morvelant
