// The description, its print window, the label sheet and the knob-preset
// conversion as the started editor carries them out, from the menu items and
// from a knob preset that arrives, with every box answered by the test.
#include <gtest/gtest.h>

#include <chrono>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <regex>

#include "engine/MidiInDeviceUnit.h"
#include "faders/InitCtrl.h"
#include "platform/IniFile.h"
#include "platform/QtDialogs.h"
#include "presets/Description.h"
#include "presets/DescriptionForm.h"
#include "presets/Printout.h"
#include "presets/vellixaImport.h"
#include "tests/support/StartedEditor.h"

namespace morvelant {
namespace {

using testsupport::StartedEditor;

void Trigger(const char* item) {
    auto* action = MainMenuForm->findChild<QAction*>(item);
    ASSERT_NE(action, nullptr) << item;
    action->trigger();
}

std::vector<MidiEvent> KnobPreset(int slot, int command) {
    std::vector<uint8_t> b = {0xF0, 0x00, 0x4D, 0x56, 0x14, 0x00, 0x20, static_cast<uint8_t>(slot), 0x00};
    for (int k = 0; k < 16; ++k) b.push_back(static_cast<uint8_t>(k + 1));  // channels 1..16
    for (int k = 0; k < 16; ++k) b.push_back(static_cast<uint8_t>(command));
    for (int k = 0; k < 16; ++k) b.push_back(static_cast<uint8_t>(20 + k));
    b.push_back(0xF7);
    std::vector<MidiEvent> events;
    for (uint8_t x : b) events.push_back(MidiEvent{0, 0xF0, x, 0, 0});
    return events;
}

TEST(StartedEditorPrinting, MenuItemsDisplayAndPrint) {
    StartedEditor editor;
    editor.Start();
    ASSERT_NE(PrintOutputForm, nullptr);
    ASSERT_NE(DescriptionForm, nullptr);
    editor.Model().SelectedPreset = 4;
    Trigger("MainMenuDisplayAllFaderParameters");
    EXPECT_TRUE(PrintOutputForm->isVisible());
    EXPECT_EQ(PrintOutputForm->Text(), DescribeAllFaderParameters(editor.Model()));

    // Printing asks for the printer first; a cancelled set-up prints nothing.
    const std::string pdf = editor.Folder() + "sheet.pdf";
    QPrinter& printer = QtDialogs::SharedPrinter();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    editor.Dialogs.printerAnswers = {false, true};
    Trigger("PrintFaderKeyDescription1");
    EXPECT_FALSE(std::filesystem::exists(pdf));
    Trigger("MainMenuPrintFaderKeyDescription");
    EXPECT_TRUE(std::filesystem::exists(pdf));
    EXPECT_EQ(editor.Dialogs.CallsOf(ScriptedDialogs::Kind::Printer).size(), 2u);
    Trigger("DisplayFaderKeyDescription1");
    EXPECT_TRUE(DescriptionForm->isVisible());
    EXPECT_EQ(DescriptionForm->Caption(), editor.Model().GetPresetDeviceName(4));

    // The window's flag reaches the configuration at the end, and the next
    // start opens the window again.
    editor.Stop();
    EXPECT_TRUE(TIniFile(editor.Folder() + "Morvelant.cfg").ReadBool("Options", "ShowPrintOutputForm", false));
    editor.Start();
    QApplication::processEvents();
    EXPECT_TRUE(PrintOutputForm->isVisible());
}

// On a machine without a printer: the print window's "Print" first asks for
// one; a print that cannot start says so and leaves the printer usable, so
// the next print, after a printer was chosen, comes out.
TEST(StartedEditorPrinting, APrintThatCannotStartSaysSoAndLeavesThePrinterUsable) {
    StartedEditor editor;
    editor.Start();
    editor.Model().SelectedPreset = 4;
    Trigger("MainMenuDisplayAllFaderParameters");
    QPrinter& printer = QtDialogs::SharedPrinter();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString());  // no printer set up
    const auto printerCalls = [&] { return editor.Dialogs.CallsOf(ScriptedDialogs::Kind::Printer).size(); };

    editor.Dialogs.printerAnswers = {false, true};
    PrintOutputForm->Print1->trigger();  // asks; cancelled
    EXPECT_EQ(printerCalls(), 1u);
    EXPECT_TRUE(editor.Dialogs.Messages().empty());
    PrintOutputForm->Print1->trigger();  // confirmed, yet still nowhere to print
    EXPECT_EQ(printerCalls(), 2u);
    ASSERT_EQ(editor.Dialogs.Messages().size(), 1u);
    EXPECT_NE(editor.Dialogs.Messages()[0].find("could not start"), std::string::npos) << editor.Dialogs.Messages()[0];

    // The user chooses a printer (here a file): every print comes out.
    const std::string pdf = editor.Folder() + "later.pdf";
    printer.setOutputFileName(QString::fromStdString(pdf));
    EXPECT_EQ(printer.outputFileName().toStdString(), pdf);
    editor.Dialogs.printerAnswers = {true};
    Trigger("MainMenuPrintFaderKeyDescription");
    EXPECT_TRUE(std::filesystem::exists(pdf));
    std::filesystem::remove(pdf);
    editor.Dialogs.printerAnswers = {true};
    PrintOutputForm->Print1->trigger();  // a file is chosen: asked again
    EXPECT_TRUE(std::filesystem::exists(pdf));
    EXPECT_EQ(printerCalls(), 4u);
    EXPECT_EQ(editor.Dialogs.Messages().size(), 1u);
}

// Each print from the print window to a file asks with the print dialog as
// the first did (which asks before it replaces the file): a second print
// whose dialog is cancelled leaves the first one's file as it was.
TEST(StartedEditorPrinting, EachPrintToAFileAsksAsTheFirstDid) {
    StartedEditor editor;
    editor.Start();
    Trigger("MainMenuDisplayAllFaderParameters");
    QPrinter& printer = QtDialogs::SharedPrinter();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString());
    const std::string pdf = editor.Folder() + "first.pdf";
    // The first print: the dialog, where the user chooses the file.
    struct ChoosesAFile : ScriptedDialogs {
        std::string file;
        bool PrinterSetup() override {
            const bool ok = ScriptedDialogs::PrinterSetup();
            if (ok) QtDialogs::SharedPrinter().setOutputFileName(QString::fromStdString(file));
            return ok;
        }
    } dialogs;
    dialogs.file = pdf;
    ScopedDialogs scope(dialogs);
    dialogs.printerAnswers = {true, false, true};
    PrintOutputForm->Print1->trigger();
    ASSERT_TRUE(std::filesystem::exists(pdf));
    { std::ofstream(pdf, std::ios::trunc) << "first"; }
    PrintOutputForm->Print1->trigger();  // asked again; cancelled
    EXPECT_EQ(dialogs.CallsOf(ScriptedDialogs::Kind::Printer).size(), 2u);
    std::ifstream in(pdf);
    EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(in), {}) == "first");  // not replaced
    PrintOutputForm->Print1->trigger();  // asked again; confirmed
    EXPECT_EQ(dialogs.CallsOf(ScriptedDialogs::Kind::Printer).size(), 3u);
    EXPECT_GT(std::filesystem::file_size(pdf), 5u);
}

// The program's own progress box, the other questions answered by the test.
struct ProgressBoxDialogs : ScriptedDialogs {
    bool RunWithProgress(const std::string& caption, const std::function<ProgressStep()>& step) override {
        return QtDialogs().RunWithProgress(caption, step);
    }
};

// A long print from the window's popup: its progress box shows the pages as
// they are printed, with the focus on Cancel. Escape there, or the end of
// every event loop that an end signal brings, stops the print: nothing is
// printed, an earlier file of the name stays as it was, and no box is shown.
TEST(StartedEditorPrinting, ALongPrintIsStoppedByEscapeOrTheProgramsEnd) {
    StartedEditor editor;
    editor.Start();
    std::string longText;
    for (int i = 1; i <= 20000; ++i) longText += "Line " + std::to_string(i) + "\n";
    PrintOutputForm->SetText(longText);
    const std::string pdf = editor.Folder() + "long.pdf";
    QPrinter& printer = QtDialogs::SharedPrinter();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    ProgressBoxDialogs dialogs;
    ScopedDialogs scoped(dialogs);
    dialogs.printerAnswers = {true, true};
    for (const bool escape : {true, false}) {
        { std::ofstream(pdf, std::ios::trunc) << "earlier"; }
        std::string shown, focused;
        QTimer user;
        QObject::connect(&user, &QTimer::timeout, [&] {
            auto* label = QApplication::activeModalWidget() ? QApplication::activeModalWidget()->findChild<QLabel*>()
                                                            : nullptr;
            if (label == nullptr || !label->text().startsWith("Printing page")) return;
            shown = QApplication::activeModalWidget()->windowTitle().toStdString();
            if (auto* button = qobject_cast<QPushButton*>(QApplication::focusWidget())) focused = button->text().toStdString();
            user.stop();
            if (escape)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            else
                QCoreApplication::exit(0);  // as an end signal does
        });
        user.start(1);
        PrintOutputForm->Print1->trigger();
        if (!escape) {
            // The program's loop would end now; the next loop of this test
            // program starts afresh.
            QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
            QCoreApplication::exec();
        }
        EXPECT_TRUE(std::regex_match(shown, std::regex("Printing page [0-9]+ of [0-9]+ - Print Ouput"))) << shown;
        EXPECT_EQ(focused, "Cancel");
        EXPECT_FALSE(user.isActive()) << "the print ended before the progress showed";
        std::ifstream in(pdf);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "earlier");
        for (const auto& entry : std::filesystem::directory_iterator(editor.Folder()))
            EXPECT_EQ(entry.path().filename().string().rfind("save-", 0), std::string::npos) << entry.path();
    }
    EXPECT_TRUE(dialogs.Messages().empty());
    EXPECT_EQ(dialogs.CallsOf(ScriptedDialogs::Kind::Printer).size(), 2u);
}

TEST(StartedEditorKnobImport, ReceivedKnobPresetsAreConvertedOneAfterAnother) {
    StartedEditor editor;
    editor.Start();
    ASSERT_NE(vellixaImportForm, nullptr);
    ASSERT_NE(MidiDeviceForm, nullptr);
    EXPECT_TRUE(vellixaImportForm->Settings().ShowDialog);

    // The dialog opens before the conversion; meanwhile a second knob preset
    // arrives, and is converted once the first is done and the quiet time
    // after it, in which no dialog is up, is over.
    auto* quiet = vellixaImportForm->findChild<QTimer*>("KnobPresetQuietTime");
    ASSERT_NE(quiet, nullptr);
    quiet->setInterval(std::chrono::hours(1));
    int dialogs = 0;
    const auto second = KnobPreset(11, 5);
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (!vellixaImportForm->Modal()) return;
        if (++dialogs == 1) { EXPECT_EQ(MidiDeviceForm->ProcessReceivedDump(second, -1, "0"), kDumpVellixaPreset); }
        vellixaImportForm->CloseButtonClick();
    });
    closer.start(0);
    EXPECT_EQ(MidiDeviceForm->ProcessReceivedDump(KnobPreset(10, 0), -1, "0"), kDumpVellixaPreset);
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(quiet->isActive());
    quiet->setInterval(0);
    for (int i = 0; i < 100 && dialogs < 2; ++i) QApplication::processEvents();
    closer.stop();
    EXPECT_EQ(dialogs, 2);

    DeviceModel& model = editor.Model();
    const Morvelant_Parameters& first = model.Presets[10];
    EXPECT_EQ(model.GetPresetDeviceName(10), "Preset11");
    for (int f = 0; f < 16; ++f) {
        EXPECT_EQ(first.FaderStatus(f), 0xB0 + f) << f;  // knob k on channel k + 1
        EXPECT_EQ(first.FaderMidiData1(f), 20 + f) << f;
        EXPECT_EQ(model.Presets[11].FaderStatus(f), 0x90 + f) << f;
    }
    EXPECT_EQ(model.SelectedPreset, 11);  // the last one converted is shown
    EXPECT_NE(first.PresetNotes.find("Preset Name:"), std::string::npos);
}

// The window that has the keys once the window system's events are settled.
QWidget* ActiveAfterEvents() {
    for (int i = 0; i < 50; ++i) QApplication::processEvents();
    return QApplication::activeWindow();
}

// A knob preset that arrives while the Init dialog has the keys: the import
// dialog opens over it with the focus marked in its first field, and after
// Escape (or Return) the keys are back in the Init dialog, as after a
// damaged dump's box; the preset list the import brings up leaves them there.
TEST(StartedEditorKnobImport, TheImportDialogOverAnotherDialogHandsTheKeysBack) {
    StartedEditor editor;
    editor.Start();
    vellixaImportForm->findChild<QTimer*>("KnobPresetQuietTime")->setInterval(0);
    for (const Qt::Key answer : {Qt::Key_Escape, Qt::Key_Return}) {
        Trigger("MainMenuMidiControllerInitSettings");
        ASSERT_EQ(ActiveAfterEvents(), InitCtrlForm);
        QWidget* focus = nullptr;
        QTimer answerer;
        QObject::connect(&answerer, &QTimer::timeout, [&] {
            if (!vellixaImportForm->Modal() || QApplication::activeWindow() != vellixaImportForm) return;
            answerer.stop();
            focus = QApplication::focusWidget();
            EXPECT_TRUE(vellixaImportForm->testAttribute(Qt::WA_KeyboardFocusChange)) << "the focus is not marked";
            QTest::keyClick(focus, answer);
        });
        answerer.start(0);
        EXPECT_EQ(MidiDeviceForm->ProcessReceivedDump(KnobPreset(10, 0), -1, "0"), kDumpVellixaPreset);
        ASSERT_NE(focus, nullptr);
        EXPECT_EQ(focus->window(), vellixaImportForm);
        EXPECT_EQ(qobject_cast<QPushButton*>(focus), nullptr) << "the focus is not in the first field";
        EXPECT_EQ(ActiveAfterEvents(), InitCtrlForm) << answer;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        EXPECT_FALSE(InitCtrlForm->isVisible());
    }
}

}  // namespace
}  // namespace morvelant
