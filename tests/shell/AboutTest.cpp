// The About and instructions windows offscreen: the About window's texts, the
// instructions read afresh at every showing, a missing or unreadable file
// reported once without losing the text, and Windows-1252 text.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <memory>
#include <string>

#include "platform/Dialogs.h"
#include "shell/About.h"
#include "shell/Instructions.h"
#include "tests/support/QtWidgetApp.h"

namespace morvelant {
namespace {

QApplication* WidgetApp() { return testsupport::WidgetApp(/*offscreen=*/true); }

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

TEST(AboutFormTest, ShowsVersionAndSupportLine) {
    WidgetApp();
    TAboutForm about;
    EXPECT_EQ(about.objectName(), QStringLiteral("AboutForm"));
    EXPECT_EQ(about.Caption(), "AboutForm");
    EXPECT_EQ(about.Label1->text(), QStringLiteral(" v2.40 beta (15.10.2000)"));
    EXPECT_EQ(about.Label1->pos(), QPoint(160, 40));
    EXPECT_LT(about.Label1->geometry().right(), about.width());
    EXPECT_EQ(about.Image1->geometry(), QRect(40, 40, 33, 33));
    EXPECT_FALSE(about.Image1->pixmap().isNull());
    EXPECT_TRUE(about.Memo1->isReadOnly());
    const QStringList lines = about.Memo1->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("For any problems or questions, please contact me at: "));
    EXPECT_TRUE(lines[1].contains('@'));
    EXPECT_EQ(about.Memo1->geometry(), QRect(24, 104, 257, 41));
    // The title does not run into the icon or the version.
    EXPECT_FALSE(about.TitleLabel->geometry().intersects(about.Image1->geometry()));
    EXPECT_FALSE(about.TitleLabel->geometry().intersects(about.Label1->geometry()));
    about.Show();
    EXPECT_TRUE(about.isVisible());
    EXPECT_FALSE(about.isModal());
}

class InstructionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        WidgetApp();
        ASSERT_TRUE(dir.isValid());
        // Started from a folder of its own: the tests' folder holds the
        // instructions the build ships.
        ASSERT_TRUE(started.isValid());
        ASSERT_TRUE(QDir::setCurrent(started.path()));
        form = std::make_unique<TInstructionsForm>(dir.path().toStdString());
    }
    void TearDown() override { QDir::setCurrent(previous); }
    QString File() const { return dir.filePath("Documentation 1a.txt"); }

    ScriptedDialogs dialogs;
    ScopedDialogs scope{dialogs};
    QTemporaryDir dir;
    QTemporaryDir started;
    const QString previous = QDir::currentPath();
    std::unique_ptr<TInstructionsForm> form;
};

TEST_F(InstructionsTest, ReadsTheFileAgainAtEveryShowing) {
    WriteFile(File(), "Line one\r\nLine two\r\n");
    form->Show();
    EXPECT_EQ(form->RichEdit1->toPlainText(), QStringLiteral("Line one\nLine two\n"));
    EXPECT_FALSE(form->RichEdit1->isReadOnly());
    form->RichEdit1->setPlainText("typed over");
    form->Hide();
    form->Show();
    EXPECT_EQ(form->RichEdit1->toPlainText(), QStringLiteral("Line one\nLine two\n"));
    EXPECT_TRUE(dialogs.Messages().empty());
    EXPECT_EQ(form->RichEdit1->lineWrapMode(), QPlainTextEdit::NoWrap);
    // Columns line up whatever the desktop calls its fixed-pitch font: every
    // glyph takes the same advance (fontconfig does not mark every such font
    // as fixed pitch).
    const QFontMetrics metrics(form->RichEdit1->font());
    for (QChar c : QStringLiteral("WMm@_.1|"))
        EXPECT_EQ(metrics.horizontalAdvance(c), metrics.horizontalAdvance(QLatin1Char('i'))) << QString(c).toStdString();
}

TEST_F(InstructionsTest, MissingFileIsReportedOnceAndTheTextStays) {
    form->Show();
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_NE(dialogs.Messages()[0].find("Documentation 1a.txt"), std::string::npos);
    EXPECT_TRUE(form->RichEdit1->toPlainText().isEmpty());
    EXPECT_TRUE(form->isVisible());

    WriteFile(File(), "Hello");
    form->Hide();
    form->Show();
    EXPECT_EQ(form->RichEdit1->toPlainText(), QStringLiteral("Hello"));
    // The file goes away again: the text shown last stays.
    ASSERT_TRUE(QFile::remove(File()));
    form->Hide();
    form->Show();
    EXPECT_EQ(dialogs.Messages().size(), 2u);
    EXPECT_EQ(form->RichEdit1->toPlainText(), QStringLiteral("Hello"));
}

// The name has no folder: a copy in the folder the editor was started from
// wins; without one the program folder's copy is read.
TEST_F(InstructionsTest, ACopyInTheCurrentFolderComesFirst) {
    WriteFile(File(), "program folder");
    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(work.path()));
    form->Show();
    EXPECT_EQ(form->RichEdit1->toPlainText(), QStringLiteral("program folder"));
    WriteFile(work.filePath("Documentation 1a.txt"), "started here");
    form->Hide();
    form->Show();
    EXPECT_EQ(form->RichEdit1->toPlainText(), QStringLiteral("started here"));
    EXPECT_EQ(form->InstructionsFile(), "Documentation 1a.txt");
    QDir::setCurrent(previous);
    EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(InstructionsTest, AFolderInPlaceOfTheFileIsRefused) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("Documentation 1a.txt"));
    EXPECT_FALSE(form->LoadInstructions());
    EXPECT_EQ(dialogs.Messages().size(), 1u);
}

TEST_F(InstructionsTest, WindowsCodePageTextAndLoneCarriageReturns) {
    static const char bytes[] = "caf\xE9 \x80 \x93quoted\x94\rnext\n";
    WriteFile(File(), QByteArray(bytes, sizeof bytes - 1));
    ASSERT_TRUE(form->LoadInstructions());
    EXPECT_EQ(form->RichEdit1->toPlainText(), QString::fromUtf8("caf\u00e9 \u20ac \u201cquoted\u201d\nnext\n"));
    EXPECT_EQ(form->InstructionsFile(), dir.path().toStdString() + "/Documentation 1a.txt");
}

}  // namespace
}  // namespace morvelant
