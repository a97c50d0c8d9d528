// The print output window, the label sheet and the knob import settings
// dialog, offscreen; printouts go to PDF files read back with poppler's tools.
#include <gtest/gtest.h>

#include <cstdlib>

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>

#include "platform/Dialogs.h"
#include "platform/IniFile.h"
#include "presets/Description.h"
#include "presets/DescriptionForm.h"
#include "presets/Printout.h"
#include "presets/vellixaImport.h"
#include "tests/support/QtWidgetApp.h"

namespace morvelant {
namespace {

namespace fs = std::filesystem;

std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

struct Word {
    std::string text;
    double xMm, yMm;
};

// The words of a PDF with their top left corners in millimetres.
std::vector<Word> Words(const fs::path& pdf) {
    const std::string html = Shell("pdftotext -bbox '" + pdf.string() + "' -");
    const std::regex word(R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)"[^>]*>([^<]*)</word>)re");
    std::vector<Word> words;
    for (std::sregex_iterator i(html.begin(), html.end(), word), end; i != end; ++i)
        words.push_back({(*i)[3], std::stod((*i)[1]) * 25.4 / 72, std::stod((*i)[2]) * 25.4 / 72});
    return words;
}

struct PrintWindowsTest : ::testing::Test {
    fs::path dir = fs::temp_directory_path() / ("print_windows_" + std::to_string(::getpid()));
    std::string config = (dir / "Morvelant.cfg").string();
    fs::path state = fs::temp_directory_path() / ("print_windows_state_" + std::to_string(::getpid()));
    DeviceModel model;

    void SetUp() override {
        testsupport::WidgetApp(true);
        fs::create_directories(dir);
        fs::create_directories(state);
        // A print records the file it goes to; the record stays in this
        // test's own folder, never the user's.
        ::setenv("XDG_STATE_HOME", state.c_str(), 1);
        model.FactoryInitPreset(2);
        model.SelectedPreset = 2;
        model.SetPresetDeviceName(2, "Live Set");
    }
    void TearDown() override {
        ::unsetenv("XDG_STATE_HOME");
        fs::remove_all(state);
        if (!std::getenv("KEEP")) fs::remove_all(dir);
    }

    std::unique_ptr<QPrinter> Pdf(const fs::path& file, QPageSize::PageSizeId size) {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(QString::fromStdString(file.string()));
        printer->setPageSize(QPageSize(size));
        return printer;
    }
};

TEST_F(PrintWindowsTest, PrintOutputFillEditPrintAndConfiguration) {
    {
        TPrintOutputForm form(model, config);
        EXPECT_EQ(form.Caption(), "Print Ouput");
        form.DisplayAllFaderParameters1Click();
        EXPECT_TRUE(form.isVisible());
        EXPECT_TRUE(model.ShowPrintOutputForm);
        EXPECT_EQ(form.Text(), DescribeAllFaderParameters(model));
        EXPECT_EQ(form.RichEdit->lineWrapMode(), QPlainTextEdit::NoWrap);

        // What the user typed is printed too.
        form.RichEdit->moveCursor(QTextCursor::Start);
        form.RichEdit->insertPlainText(QStringLiteral("Typed here\n"));
        for (auto size : {QPageSize::A4, QPageSize::Letter}) {
            const fs::path pdf = dir / "description.pdf";
            form.PrintTo(*Pdf(pdf, size));
            EXPECT_TRUE(std::regex_search(Shell("pdfinfo '" + pdf.string() + "'"), std::regex("Title: +Live Set\n")));
            const std::string text = Shell("pdftotext -layout '" + pdf.string() + "' -");
            EXPECT_NE(text.find("Typed here"), std::string::npos);
            // Both faders of a pair, and the ends of a full line, on one printed line.
            EXPECT_TRUE(std::regex_search(text, std::regex(R"(\( 1\) Fader001 .*\| \( 2\) Fader002 .*\])")));
            EXPECT_TRUE(std::regex_search(
                text, std::regex(R"(Toggle & Mute ;mute: +0;demute:127; +FaderEvent>O12 +\| Toggle)")));
            EXPECT_TRUE(std::regex_search(text, std::regex(">> +:\n")));
        }
        form.Close();
        EXPECT_FALSE(model.ShowPrintOutputForm);
        form.SetBounds(50, 60, 500, 400);
    }
    const TIniFile ini(config);
    EXPECT_FALSE(ini.ReadBool("Options", "ShowPrintOutputForm", true));
    EXPECT_EQ(ini.ReadInteger("PrintOutputForm", "Width", 0), 500);
    ini.ReadInteger("PrintOutputForm", "Top", -1);
    TIniFile(config).WriteInteger("PrintOutputForm", "Top", -20);
    TPrintOutputForm again(model, config);
    EXPECT_EQ(again.Top(), 0);
}

int Pages(const fs::path& pdf) {
    std::smatch m;
    const std::string info = Shell("pdfinfo '" + pdf.string() + "'");
    return std::regex_search(info, m, std::regex("Pages: +([0-9]+)\n")) ? std::stoi(m[1]) : -1;
}

// As many pages as the text needs, and no page that holds nothing of it.
TEST_F(PrintWindowsTest, DescriptionPrintsOnAsManyPagesAsItsTextNeeds) {
    TPrintOutputForm form(model, config);
    form.DisplayAllFaderParameters1Click();
    std::string longText;
    for (int i = 1; i <= 300; ++i) longText += "Line " + std::to_string(i) + "\n";
    const fs::path pdf = dir / "description.pdf";
    struct Case {
        std::string text;
        QPageSize::PageSizeId size;
        int pages;  // -1: whatever it needs
    } cases[] = {
        {DescribeAllFaderParameters(model), QPageSize::A4, 1},
        {DescribeAllFaderParameters(model), QPageSize::Letter, -1},  // shorter, and a larger font fits its width
        {longText, QPageSize::A4, -1},
    };
    for (const Case& c : cases) {
        form.SetText(c.text);
        form.PrintTo(*Pdf(pdf, c.size));
        const int pages = Pages(pdf);
        if (c.pages > 0) {
            EXPECT_EQ(pages, c.pages) << QPageSize(c.size).name().toStdString();
        }
        EXPECT_GE(pages, 1);
        std::string all;
        for (int page = 1; page <= pages; ++page) {
            const std::string text = Shell("pdftotext -f " + std::to_string(page) + " -l " + std::to_string(page) +
                                           " -layout '" + pdf.string() + "' -");
            EXPECT_TRUE(std::regex_search(text, std::regex("[A-Za-z]"))) << "page " << page << " holds no text";
            all += text;
        }
        EXPECT_TRUE(std::regex_search(all, std::regex(c.text == longText ? "Line 300\n" : ">> +:\n")));
        if (c.text == longText) {
            EXPECT_GT(pages, 1);
            for (const char* line : {"Line 1\n", "Line 150\n", "Line 300\n"}) EXPECT_NE(all.find(line), std::string::npos);
        }
    }
}

// A long print goes a step at a time with its progress shown: the layout,
// then each page. Cancelled at any point, it leaves no file, and an earlier
// file of the name as it was; run to its end, the file has the pages shown.
TEST_F(PrintWindowsTest, ALongPrintShowsItsPagesAndACancelLeavesTheEarlierFile) {
    TPrintOutputForm form(model, config);
    std::string longText;
    for (int i = 1; i <= 2000; ++i) longText += "Line " + std::to_string(i) + "\n";
    form.SetText(longText);
    const fs::path pdf = dir / "long.pdf";
    ScriptedDialogs dialogs;
    ScopedDialogs scoped(dialogs);
    // Uncancelled first, to learn the steps.
    ASSERT_TRUE(form.PrintTo(*Pdf(pdf, QPageSize::A4)));
    const std::vector<ProgressStep> steps = dialogs.CallsOf(ScriptedDialogs::Kind::Progress).at(0).steps;
    const int pages = Pages(pdf);
    ASSERT_GT(pages, 3);
    ASSERT_EQ(steps.back().text, "Printing page " + std::to_string(pages) + " of " + std::to_string(pages));
    std::size_t firstPage = 0;
    while (firstPage < steps.size() && steps[firstPage].text != "Printing page 1 of " + std::to_string(pages)) ++firstPage;
    ASSERT_GT(firstPage, 2u);  // laid out over several steps before
    for (std::size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(steps[i].finished, i + 1 == steps.size()) << i;
        EXPECT_EQ(steps[i].text, i < firstPage ? "Laying out the pages..." : steps[i].text) << i;
        if (i > 0 && steps[i].total == steps[i - 1].total) {
            EXPECT_GE(steps[i].done, steps[i - 1].done) << i;
        }
    }

    const int cancelAt[] = {1, int(firstPage) - 1, int(firstPage) + 2, int(steps.size()) - 1};
    for (const int at : cancelAt) {
        std::ofstream(pdf, std::ios::trunc) << "earlier";
        dialogs.progressCancelAfter = {at};
        EXPECT_FALSE(form.PrintTo(*Pdf(pdf, QPageSize::A4))) << at;
        std::ifstream in(pdf);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "earlier") << at;
        for (const auto& entry : fs::directory_iterator(dir))
            EXPECT_TRUE(entry.path() == pdf || entry.path().string() == config) << entry.path() << " after step " << at;
    }
    EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(PrintWindowsTest, LabelSheetOnScreenAndOnOnePage) {
    model.Presets[2].SliderName[0] = "Cutoff";
    model.Presets[2].KeyOnName[16] = "Start";
    model.Presets[2].SliderName[23] = "Last";
    TDescriptionForm form(model);
    EXPECT_EQ(form.Caption(), "DescriptionForm");
    form.DisplayDescription(2);
    EXPECT_EQ(form.Image().size(), QSize(560, 292));
    EXPECT_EQ(form.Caption(), "Live Set");
    EXPECT_TRUE(form.isVisible());

    // A printer that cannot print within 6 mm of the paper's left edge and
    // 8 mm of its top: the sheet begins where the printable area does.
    const fs::path pdf = dir / "sheet.pdf";
    auto printer = Pdf(pdf, QPageSize::A4);
    ASSERT_TRUE(printer->setPageMargins(QMarginsF(6.0, 8.0, 5.0, 7.0), QPageLayout::Millimeter));
    form.PrintTo(*printer, 2);
    EXPECT_TRUE(std::regex_search(Shell("pdfinfo '" + pdf.string() + "'"), std::regex("Pages: +1\n")));
    // Where the sheet puts each text (top left, millimetres from the printable area's corner).
    struct Expected {
        const char* text;
        double x, y;
    } expected[] = {
        {"Cutoff", 9.0, 5.0},  // fader 1: first column, first line
        {"Start", 9.0, 51.5 + 1.5 + 2.0 + 5.0},  // fader 17: Key On line of block 2
        {"Last", 9.0 + 7 * 15.0, 51.5 + 3.5},  // fader 24: last column of block 2
        {"1", 3.0 + 1.5, 3.0},  // fader numbers beside the inner box's top
        {"24", 3.0 + 130.5 - 4.5, 53.0},
        {"Preset:Live", 3.0, 3.0 + 17.0},  // the preset line under the inner box
    };
    const std::vector<Word> words = Words(pdf);
    for (const Expected& e : expected) {
        bool found = false;
        for (const Word& w : words)
            if (w.text == e.text && std::abs(w.xMm - 6.0 - e.x) < 0.5 && std::abs(w.yMm - 8.0 - e.y) < 0.5)
                found = true;
        EXPECT_TRUE(found) << e.text;
    }
    // The outline of the first block: its top left corner 1.5 mm inside the
    // printable area, drawn at 10 pixels a millimetre.
    const std::string pgm = Shell("pdftoppm -r 254 -gray -f 1 -l 1 '" + pdf.string() + "'");
    std::istringstream in(pgm);
    std::string magic;
    int width = 0, height = 0, maxValue = 0;
    in >> magic >> width >> height >> maxValue;
    in.get();
    const std::string pixels((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(magic, "P5");
    ASSERT_EQ(pixels.size(), std::size_t(width) * std::size_t(height));
    int left = width, top = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (static_cast<unsigned char>(pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]) < 128) {
                left = std::min(left, x);
                top = std::min(top, y);
            }
    EXPECT_NEAR(left / 10.0, 6.0 + 1.5, 0.3);
    EXPECT_NEAR(top / 10.0, 8.0 + 1.5, 0.3);
}

TEST_F(PrintWindowsTest, ImportDialogMirrorsTheSettings) {
    {
        TIniFile ini(config);
        ini.WriteBool(kVellixaImportSection, "1->1", true);
        ini.WriteBool(kVellixaImportSection, "Clear Faders 1", true);
        ini.WriteInteger(kVellixaImportSection, "Masterchannel", 4);
    }
    {
        TvellixaImportForm form(config);
        const VellixaImportSettings& settings = form.Settings();
        auto box = [&](const char* name) { return form.findChild<QCheckBox*>(name); };
        EXPECT_FALSE(box("CheckBox1_1")->isChecked());
        EXPECT_TRUE(box("CheckBoxClearFaders1")->isChecked());
        EXPECT_TRUE(form.findChild<QToolButton*>("SpeedButton5")->isChecked());
        box("CheckBox9_1")->click();
        EXPECT_FALSE(box("CheckBoxClearFaders1")->isChecked());
        EXPECT_TRUE(settings.Map(1, 0));
        box("CheckBox9_1")->click();  // unchecking checks nothing else
        EXPECT_FALSE(box("CheckBox1_1")->isChecked() || box("CheckBoxClearFaders1")->isChecked());
        form.findChild<QToolButton*>("SpeedButton10")->click();
        EXPECT_EQ(form.MasterChannel(), 9);

        form.findChild<QPushButton*>("DefaultButton")->click();
        EXPECT_TRUE(box("CheckBox1_1")->isChecked() && box("CheckBox9_9")->isChecked());
        EXPECT_TRUE(box("AddDescription")->isChecked());
        EXPECT_FALSE(box("UseKnobNames")->isChecked());
        EXPECT_TRUE(form.findChild<QToolButton*>("SpeedButton1")->isChecked());
        EXPECT_EQ(settings.MasterChannel, 0);
        // A threshold is taken when committed, clamped to 0..63.
        auto enter = [&](const char* typed) {
            QLineEdit* edit = form.findChild<QLineEdit*>("ThresholdEdit");
            edit->selectAll();
            QTest::keyClicks(edit, QString::fromLatin1(typed));
            QTest::keyClick(edit, Qt::Key_Return);
        };
        enter("99");
        form.findChild<QToolButton*>("UpDown1Down")->click();
        EXPECT_EQ(form.findChild<QLineEdit*>("ThresholdEdit")->text(), "62");
        enter("99");
        box("Output2")->click();
        EXPECT_EQ(settings.OutputFlags(), 1);
    }
    const TIniFile ini(config);
    EXPECT_EQ(ini.ReadInteger(kVellixaImportSection, "Threshold", 0), 63);
    EXPECT_FALSE(ini.ReadBool(kVellixaImportSection, "Output2", true));
    EXPECT_EQ(ini.ReadInteger(kVellixaImportSection, "Left", 0), 209);
}

}  // namespace
}  // namespace morvelant
