// The six special-key strings of the selected preset.
#include "faders/SpecialKeyEdit.h"
#include "tests/faders/FaderWindowTestSupport.h"
#include "tests/support/UserInput.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace morvelant::fadertest {
namespace {

class SpecialKeys : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testsupport::WidgetApp(true); }
    QTemporaryDir dir;
    DeviceContext ctx{dir.path().toStdString()};
    CommandRegistry commands;
    TSpecialKeyForm form{ctx.Model, ctx.Notices, commands};
    std::string Text(QLineEdit* e) { return ToCp1252(e->text()); }
};

TEST_F(SpecialKeys, TypedTextIsStoredAsHexBytes) {
    Type(form.StartString, "f0 7f 7f 06 02 f7");
    EXPECT_EQ(ctx.Model.Presets[0].SpecialKeyString[1], "F0 7F 7F 06 02 F7");
    EXPECT_EQ(Text(form.StartString), "F0 7F 7F 06 02 F7");
    Type(form.FowString, "XX");
    EXPECT_EQ(Text(form.FowString), "");
    // Backspace directly after a blank removes the blank and the digit before it.
    form.StartString->setCursorPosition(3);
    Key(form.StartString, Qt::Key_Backspace);
    EXPECT_EQ(Text(form.StartString), "F7 F7 F0 60 2F 7");
    EXPECT_EQ(ctx.Model.Presets[0].SpecialKeyString[1], "F7 F7 F0 60 2F");  // whole bytes only
}

// A half byte shows only while it is typed: what stays is what is stored,
// sent and saved.
TEST_F(SpecialKeys, AHalfByteIsNotKeptOnceTheFieldIsLeft) {
    using namespace userinput;
    form.Show();
    for (int commit : {Qt::Key_Tab, Qt::Key_Return}) {
        FocusOn(form.StopString);
        KeyClick(form.StopString, Qt::Key_A, Qt::ControlModifier);
        KeyClicks(form.StopString, QStringLiteral("fa zz 12 3"));
        EXPECT_EQ(Text(form.StopString) + "|" + ctx.Model.Presets[0].SpecialKeyString[2], "FA 12 3|FA 12");
        KeyClick(form.StopString, commit);
        EXPECT_EQ(Text(form.StopString) + "|" + ctx.Model.Presets[0].SpecialKeyString[2], "FA 12|FA 12");
    }
}

TEST_F(SpecialKeys, AnotherPresetRefillsWithoutStoring) {
    ctx.Model.Presets[5].SpecialKeyString[3] = "fa";  // not canonical: shown, not rewritten
    ctx.Model.SelectedPreset = 5;
    ctx.Notices.CurrentPresetChanged.Publish();
    EXPECT_EQ(Text(form.ContString), "fa");
    EXPECT_EQ(ctx.Model.Presets[5].SpecialKeyString[3], "fa");
}

TEST_F(SpecialKeys, ShownFlagAndBounds) {
    EXPECT_EQ(form.Top(), 364);
    EXPECT_EQ(form.Left(), 94);
    form.Show();
    EXPECT_TRUE(ctx.Model.ShowSpecialKeys);
    // Shown wholly on the screen, whatever its size.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(form.Left(), std::min(94, screen.right() + 1 - form.frameGeometry().width()));
    form.Close();
    EXPECT_FALSE(ctx.Model.ShowSpecialKeys);
}

}  // namespace
}  // namespace morvelant::fadertest
