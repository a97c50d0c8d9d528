#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <string>

#include "platform/Dialogs.h"
#include "platform/QtDialogs.h"
#include "platform/QtFormBase.h"
#include "platform/QtFormFrame.h"
#include "tests/support/QtWidgetApp.h"
#include "tests/support/TurkishLocale.h"

namespace morvelant {
namespace {

TEST(DialogsTest, FiltersBecomeCaseInsensitiveNameFilters) {
    EXPECT_EQ(FileFilterToNameFilters("Morvelant Presets|*.MVR|Midi File|*.MID"),
              (std::vector<std::string>{"Morvelant Presets (*.MVR *.mvr)", "Midi File (*.MID *.mid)"}));
    EXPECT_EQ(FileFilterToNameFilters("Morvelant Presets v1|*.M*"),
              (std::vector<std::string>{"Morvelant Presets v1 (*.M* *.m*)"}));
    // The blank before the bar is not part of the description.
    EXPECT_EQ(FileFilterToNameFilters("Morvelant Patterns |*.MVT|Midi Files|*.MID")[0],
              "Morvelant Patterns (*.MVT *.mvt)");
    auto entries = ParseFileFilter("Two|*.A;*.b|Dangling");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].masks, (std::vector<std::string>{"*.A", "*.b"}));
    EXPECT_TRUE(ParseFileFilter("").empty());

    EXPECT_TRUE(MatchesFileMask("/x/Config.mvr", "*.MVR"));
    EXPECT_TRUE(MatchesFileMask("old.M01", "*.M*"));
    EXPECT_FALSE(MatchesFileMask("/x.MVR/name.txt", "*.MVR"));
}

// Extensions compare in ASCII whatever the locale: in Turkish the C
// library's upper case of 'i' is not 'I'.
TEST(DialogsTest, MasksMatchWithoutRegardToTheLocale) {
    testsupport::TurkishLocale turkish;
    if (!turkish.Available()) GTEST_SKIP() << "no Turkish locale";
    EXPECT_TRUE(MatchesFileMask("lower.mid", "*.MID"));
    EXPECT_TRUE(MatchesFileMask("LOWER.MID", "*.mid"));
    EXPECT_EQ(FileFilterToNameFilters("Midi File|*.MID"), std::vector<std::string>{"Midi File (*.MID *.mid)"});
}

TEST(DialogsTest, ScriptedDialogsRecordCallsAndAnswerFromQueues) {
    ScriptedDialogs d;
    {
        ScopedDialogs scope(d);
        EXPECT_EQ(&CurrentDialogs(), &d);
        d.messageAnswers.push_back(MessageResult::No);
        EXPECT_EQ(CurrentDialogs().MessageBox("Sure?", "Warning !", MessageButtons::YesNo), MessageResult::No);
        // Empty queue: the default button.
        EXPECT_EQ(CurrentDialogs().MessageBox("again", "t", MessageButtons::YesNo), MessageResult::Yes);

        FileDialogRequest req;
        req.filter = "A|*.A|B|*.B";
        req.filterIndex = 2;
        d.QueueOpen("/tmp/x.B");
        auto a = CurrentDialogs().OpenFile(req);
        ASSERT_TRUE(a);
        EXPECT_EQ(a->fileName, "/tmp/x.B");
        EXPECT_EQ(a->filterIndex, 2);
        EXPECT_FALSE(CurrentDialogs().SaveFile(req));  // nothing queued: cancelled
        d.folderAnswers.push_back("/tmp");
        EXPECT_EQ(CurrentDialogs().BrowseFolder("Pick", "/"), "/tmp");
        d.colorAnswers.push_back(0x0000FF);
        EXPECT_EQ(CurrentDialogs().ChooseColor(0), 0x0000FFu);
        EXPECT_FALSE(CurrentDialogs().PrinterSetup());
    }
    // The silent default is back.
    EXPECT_NE(&CurrentDialogs(), &d);
    EXPECT_FALSE(CurrentDialogs().OpenFile({}));
    EXPECT_EQ(CurrentDialogs().MessageBox("x", "y", MessageButtons::OkCancel), MessageResult::Ok);

    ASSERT_EQ(d.calls.size(), 7u);
    EXPECT_EQ(d.Messages(), (std::vector<std::string>{"Sure?", "again"}));
    EXPECT_EQ(d.calls[0].caption, "Warning !");
    EXPECT_EQ(d.calls[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(d.calls[2].file.filter, "A|*.A|B|*.B");
    EXPECT_EQ(d.CallsOf(ScriptedDialogs::Kind::Folder).at(0).caption, "Pick");
}

// The Qt implementation against real widgets on the offscreen platform: a
// timer answers the modal dialog the way a user would.
class QtDialogsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testsupport::WidgetApp(); }
};

TEST_F(QtDialogsTest, MessageBoxMapsButtons) {
    QtDialogs dialogs;
    QString title;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(dialogs.MessageBox("Delete?", "Warning !", MessageButtons::YesNoCancel, MessageIcon::Warning),
              MessageResult::No);
    EXPECT_EQ(title, "Warning !");
}

// A box whose news no longer holds is closed by the program; one of another
// text stays.
TEST_F(QtDialogsTest, AnOpenBoxIsClosedByItsText) {
    QtDialogs dialogs;
    bool otherStayed = false;
    QTimer::singleShot(0, [&] {
        dialogs.CloseMessageBox("Something else.");
        otherStayed = QApplication::activeModalWidget() != nullptr;
        dialogs.CloseMessageBox("No server.");
    });
    // Were it not closed, this would stand for the user's click.
    QTimer::singleShot(5000, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->button(QMessageBox::Cancel)->click();
    });
    EXPECT_EQ(dialogs.MessageBox("No server.", "Midi Settings", MessageButtons::OkCancel, MessageIcon::Warning),
              MessageResult::Ok);
    EXPECT_TRUE(otherStayed);
}

TEST_F(QtDialogsTest, FileDialogOffersUpperAndLowerCaseExtensions) {
    QtDialogs dialogs;
    QStringList filters;
    QString selected;
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        filters = dlg->nameFilters();
        selected = dlg->selectedNameFilter();
        dlg->reject();
    });
    FileDialogRequest req;
    req.filter = "Morvelant Presets v1|*.M*|Morvelant Presets v2|*.MVR|Midi Files|*.MID";
    req.filterIndex = 2;
    EXPECT_FALSE(dialogs.OpenFile(req));
    EXPECT_EQ(filters,
              (QStringList{"Morvelant Presets v1 (*.M* *.m*)", "Morvelant Presets v2 (*.MVR *.mvr)",
                           "Midi Files (*.MID *.mid)"}));
    EXPECT_EQ(selected, "Morvelant Presets v2 (*.MVR *.mvr)");
}

// Every kind of box and dialog, opened from the menu strip at the top of
// the screen (the dialog's parent, over which the toolkit centres it), comes
// up below the strip, and when Escape has closed it the keys are back in the
// strip.
TEST_F(QtDialogsTest, EveryKindOpensBelowTheMenuStripAndHandsTheKeysBack) {
    TForm strip(QStringLiteral("MenuStrip"));
    strip.SetBounds(0, 0, 833, 45);
    strip.Show();
    SetMenuStrip(&strip);
    for (int i = 0; i < 50 && QApplication::activeWindow() != &strip; ++i) QApplication::processEvents();
    ASSERT_EQ(QApplication::activeWindow(), &strip);
    QtDialogs dialogs(&strip);
    const FileDialogRequest request{"Save As", "Morvelant Presets|*.MVR", 1, {}, {}, {}};
    const struct {
        const char* kind;
        std::function<void()> open;
    } kinds[] = {
        {"message box", [&] { dialogs.MessageBox("Midi Buffer Overrun", "Error", MessageButtons::Ok, MessageIcon::Error); }},
        {"open", [&] { dialogs.OpenFile(request); }},
        {"save", [&] { dialogs.SaveFile(request); }},
        {"folder", [&] { dialogs.BrowseFolder("Folder", {}); }},
        {"colour", [&] { dialogs.ChooseColor(0); }},
        {"progress", [&] { dialogs.RunWithProgress("Printing", [] { return ProgressStep{false, "page", 1, 1000}; }); }},
    };
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.kind);
        QRect shown;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (dialog == nullptr || !dialog->isVisible()) return;
            answer.stop();
            shown = dialog->frameGeometry();
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : dialog, Qt::Key_Escape);
        });
        answer.start(0);
        k.open();
        answer.stop();
        EXPECT_GT(shown.top(), strip.frameGeometry().bottom()) << shown.top();
        for (int i = 0; i < 50; ++i) QApplication::processEvents();
        EXPECT_EQ(QApplication::activeWindow(), &strip);
    }
    SetMenuStrip(nullptr);
}

}  // namespace
}  // namespace morvelant
