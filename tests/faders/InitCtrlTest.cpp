// The "Init with Midi Controllers Settings" dialog offscreen: its defaults,
// typed values kept within 0..127 with the pair following, the range
// buttons, "Slider", and the numbers reaching the controller init, which
// keeps every data byte within 0..127.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>

#include "faders/InitCtrl.h"
#include "faders/InitCtrlRules.h"
#include "tests/support/UserInput.h"
#include "tests/support/QtWidgetApp.h"

namespace morvelant {
namespace {

// Records which picker was asked for which code.
struct RecordingPickers : PickerLauncher {
    std::vector<std::pair<PickerKind, int>> asked;
    int Pick(PickerKind kind, int code, std::optional<PickerPlace>) override {
        asked.emplace_back(kind, code);
        return kPickEnd;
    }
    int PickTrack(TrackPickerKind, int, int, int, std::optional<PickerPlace>) override { return kPickEnd; }
    int PickerWidth(PickerKind) const override { return 0; }
    int TrackPickerWidth(TrackPickerKind) const override { return 0; }
};

class InitCtrlTest : public ::testing::Test {
protected:
    void SetUp() override { testsupport::WidgetApp(/*offscreen=*/true); }
    // Selects the field's text and types over it key by key; Return commits.
    void Type(QLineEdit* e, const QString& text, int commitKey = Qt::Key_Return) {
        userinput::FocusOn(e);
        userinput::KeyClick(e, Qt::Key_A, Qt::ControlModifier);
        userinput::KeyClicks(e, text);
        EXPECT_EQ(e->text(), text);  // as typed until it is committed
        if (commitKey != 0) userinput::KeyClick(e, commitKey);
    }
    DeviceModel model;
    RecordingPickers pickers;
};

TEST_F(InitCtrlTest, ShowsTheDefaults) {
    TInitCtrlForm form(model, &pickers);
    EXPECT_EQ(form.Caption(), "Init with Midi Controllers Settings");
    EXPECT_EQ(form.FaderCtrlMin->text(), QStringLiteral("102:Controller 102"));
    EXPECT_EQ(form.FaderValueMin->text(), QStringLiteral("Sld"));
    EXPECT_EQ(form.KeyonValueMax->text(), QStringLiteral("87"));
    EXPECT_EQ(form.RangeButtons[0]->text(), QStringLiteral("Range"));
    EXPECT_EQ(form.RangeButtons[4]->text(), QStringLiteral("Fixed"));
    EXPECT_TRUE(form.KeyonValueMax->isHidden());
}

TEST_F(InitCtrlTest, TypedValuesStayInRangeAndPairsFollow) {
    TInitCtrlForm form(model, &pickers);
    form.Show();
    form.RangeClick(kKeyonValue);  // range on
    EXPECT_FALSE(form.KeyonValueMax->isHidden());
    const struct {
        QLineEdit* edit;
        const char* text;
        const char* min;
        const char* max;
    } rows[] = {
        {form.KeyonValueMin, "200", "127", "127"}, {form.KeyonValueMin, "abc", "127", "127"},
        {form.KeyonValueMin, "110", "110", "110"}, {form.KeyonValueMax, "30", "7", "30"},
        {form.KeyonValueMax, "-5", "0", "0"},      {form.KeyonValueMin, "60", "60", "83"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        Type(r.edit, QString::fromLatin1(r.text));
        EXPECT_EQ(form.KeyonValueMin->text(), QString::fromLatin1(r.min));
        EXPECT_EQ(form.KeyonValueMax->text(), QString::fromLatin1(r.max));
    }
    // Focus leaving the field commits too; Escape drops what was not.
    Type(form.KeyonValueMin, "12", 0);
    userinput::KeyClick(form.KeyonValueMin, Qt::Key_Tab);
    EXPECT_EQ(form.KeyonValueMax->text(), QStringLiteral("35"));
    EXPECT_EQ(model.InitValues[9], 35);
    // With Min 110 and the range on, the highest faders still get bytes
    // within 0..127.
    Type(form.KeyonValueMin, "110");
    model.MidiCtrlInitKeyOn(0, 23);
    EXPECT_EQ(model.Presets[0].KeyOnMidiData2(23), 127);
    model.MidiCtrlInitKeyOn(0, 5);
    EXPECT_EQ(model.Presets[0].KeyOnMidiData2(5), 115);
}

TEST_F(InitCtrlTest, EscapeClosesWithoutWritingAndFocusGoesBack) {
    TInitCtrlForm opener(model, &pickers);  // any window the dialog was opened from
    userinput::FocusOn(opener.KeyonValueMin);
    TInitCtrlForm form(model, &pickers);
    form.Show();
    userinput::FocusOn(form.KeyoffValueMin);
    userinput::KeyClick(form.KeyoffValueMin, Qt::Key_A, Qt::ControlModifier);
    userinput::KeyClicks(form.KeyoffValueMin, QStringLiteral("99"));
    userinput::KeyClick(form.KeyoffValueMin, Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(model.InitValues[10], 0);
    EXPECT_EQ(form.KeyoffValueMin->text(), QStringLiteral("0"));
    QApplication::processEvents();  // the window system's activation
    EXPECT_EQ(QApplication::activeWindow(), &opener);
}

TEST_F(InitCtrlTest, ReturnCommitsTheTypedNumberAndClosesAsTheCloseButtonDoes) {
    TInitCtrlForm form(model, &pickers);
    auto* close = form.findChild<QPushButton*>(QStringLiteral("CloseButton"));
    ASSERT_NE(close, nullptr);
    EXPECT_TRUE(close->isDefault() && form.rect().contains(close->geometry()));
    for (auto [key, typed] : {std::pair{Qt::Key_Return, 40}, std::pair{Qt::Key_Enter, 50}}) {
        form.Show();
        Type(form.FaderValueMin, QString::number(typed), key);
        EXPECT_FALSE(form.isVisible());
        EXPECT_EQ(model.InitValues[6], typed);
    }
    form.Show();
    userinput::Click(close);
    EXPECT_FALSE(form.isVisible());
}

// The dialog comes up with the focus in its first text field; Return there
// presses Close, the default button, and toggles no range; on a Range button
// the user tabbed to, Return presses that one, as Space does.
TEST_F(InitCtrlTest, ReturnPressesAFocusedRangeButtonElseClosesAsTheDefault) {
    TInitCtrlForm opener(model, &pickers);
    opener.Show();
    TInitCtrlForm form(model, &pickers);
    const auto ranges = model.InitRanges;
    form.Show();
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), form.FaderCtrlMin);
    // From a field: the default button closes it, nothing toggled.
    userinput::KeyClick(nullptr, Qt::Key_Return);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(model.InitRanges, ranges);
    // A focused Range button is pressed by Return as by Space; the dialog stays.
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Space}) {
        for (std::size_t i : {std::size_t(0), std::size_t(4)}) {
            form.Show();
            QApplication::processEvents();
            userinput::FocusOn(form.RangeButtons[i]);
            const bool before = model.InitRanges[i];
            userinput::KeyClick(nullptr, key);
            EXPECT_TRUE(form.isVisible()) << form.RangeButtons[i]->objectName().toStdString();
            EXPECT_NE(model.InitRanges[i], before) << form.RangeButtons[i]->objectName().toStdString();
        }
    }
    EXPECT_EQ(model.InitRanges, ranges);  // each pressed twice
}

TEST_F(InitCtrlTest, SliderAndPopupsReachTheModelAndPickers) {
    TInitCtrlForm form(model, &pickers);
    form.SetPopupComponent(10);
    form.Slider1Click();
    EXPECT_EQ(model.InitValues[10], 128);
    EXPECT_EQ(model.InitValues[11], 128);
    EXPECT_EQ(form.KeyoffValueMin->text(), QStringLiteral("Sld"));
    EXPECT_TRUE(form.KeyoffValueMax->isHidden());
    form.SetPopupComponent(0);
    form.Slider1Click();
    EXPECT_EQ(form.FaderCtrlMin->text(), QStringLiteral("Sld"));
    EXPECT_EQ(form.RangeButtons[0]->text(), QStringLiteral("Fixed"));
    model.MidiCtrlInitFaderEvent(0, 3);
    EXPECT_EQ(model.Presets[0].FaderMidiData1(3), 128);
    form.SetPopupComponent(3);
    form.MidiControllers1Click();
    form.SetPopupComponent(7);
    form.NumericalValues1Click();
    EXPECT_EQ(pickers.asked,
              (std::vector<std::pair<PickerKind, int>>{{PickerKind::Controllers, 503}, {PickerKind::Values, 507}}));
}

}  // namespace
}  // namespace morvelant
