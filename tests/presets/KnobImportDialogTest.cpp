// The knob-import settings dialog driven from the keyboard: Escape and
// Return close it as "Close" does, focus goes back to the window it was
// opened from, and its list of limitations is readable in full.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>

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

TEST_F(KnobImportDialog, LimitationsWrapInsteadOfBeingCut) {
    form.Show();
    QApplication::processEvents();
    EXPECT_NE(form.Memo1->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(form.Memo1->horizontalScrollBar()->maximum(), 0);
    EXPECT_TRUE(form.Memo1->toPlainText().startsWith(QStringLiteral("The following Events cannot be imported \n")));
}

}  // namespace
}  // namespace morvelant
