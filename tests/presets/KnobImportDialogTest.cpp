// The knob-import settings dialog driven from the keyboard: Escape and
// Return close it as "Close" does, focus goes back to the window it was
// opened from, and its list of limitations is readable in full.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QLineEdit>
#include <QToolButton>

#include "presets/vellixaImport.h"
#include "tests/support/UserInput.h"
#include "tests/support/QtWidgetApp.h"

namespace morvelant {
namespace {

using namespace userinput;

class KnobImportDialog : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testsupport::WidgetApp(true); }
    void SetUp() override {
        opener.setObjectName(QStringLiteral("Opener"));
        opener.Show();
        QApplication::setActiveWindow(&opener);
    }
    QTemporaryDir dir;
    TForm opener;
    TvellixaImportForm form{dir.path().toStdString() + "/Morvelant.cfg"};
};

TEST_F(KnobImportDialog, EscapeAndReturnCloseItAndFocusGoesBack) {
    const struct {
        int key;
        const char* focus;
    } cases[] = {{Qt::Key_Escape, "Output1"}, {Qt::Key_Return, "Output1"}, {Qt::Key_Enter, "ThresholdEdit"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        bool pressed = false;
        QTimer::singleShot(0, &form, [&] {
            QWidget* focus = form.findChild<QWidget*>(QString::fromLatin1(c.focus));
            FocusOn(focus);
            pressed = true;
            KeyClick(focus, c.key);
            if (form.isVisible()) {  // the key did nothing: end the modal run
                ADD_FAILURE() << "still open";
                form.Close();
            }
        });
        form.ShowModal();
        EXPECT_TRUE(pressed);
        EXPECT_EQ(QApplication::activeWindow(), &opener);
    }
    EXPECT_TRUE(form.Settings().Output1);  // Return pressed "Close", not the box
}

// A typed threshold counts as soon as the user leaves the field by any
// means: a click on a master channel button or on a spin arrow (neither takes
// the focus) keeps it, and the arrows step from what the field shows.
TEST_F(KnobImportDialog, ATypedThresholdCountsWhenTheUserLeavesTheField) {
    const struct {
        const char* typed;
        QWidget* then;
        const char* shown;
    } cases[] = {
        {"41", form.SpeedButtons[2], "41"}, {"20", form.UpDown1Up, "21"},
        {"20", form.UpDown1Down, "19"},     {"41", form.Output1, "41"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        form.Settings().ThresholdText = "36";
        form.ShowSettings();
        FocusOn(form.ThresholdEdit);  // the dialog is the active window
        Click(form.ThresholdEdit);
        KeyClick(form.ThresholdEdit, Qt::Key_A, Qt::ControlModifier);
        KeyClicks(form.ThresholdEdit, QString::fromLatin1(c.typed));
        Click(c.then);
        EXPECT_EQ(form.ThresholdEdit->text(), QString::fromLatin1(c.shown));
        EXPECT_EQ(form.Settings().Threshold(), QString::fromLatin1(c.shown).toInt());
        KeyClick(&form, Qt::Key_Return);  // Close keeps it
        EXPECT_FALSE(form.isVisible());
        EXPECT_EQ(form.Settings().Threshold(), QString::fromLatin1(c.shown).toInt());
    }
}

TEST_F(KnobImportDialog, LimitationsWrapInsteadOfBeingCut) {
    form.Show();
    QApplication::processEvents();
    EXPECT_NE(form.Memo1->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(form.Memo1->horizontalScrollBar()->maximum(), 0);
    EXPECT_TRUE(form.Memo1->toPlainText().startsWith(QStringLiteral("The following Events cannot be imported \n")));
}

}  // namespace
}  // namespace morvelant
