// The first click on an on-screen fader acts, right after another window
// was active as much as any other time. The window does not swallow the
// click; what held it back was Immediate mode's dead zone: a factory fader
// ignores the first 8 steps of a hardware fader's move, and a click moves
// one page of 5.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QScrollBar>

#include <vector>

#include "engine/DeviceContext.h"
#include "faders/AllFaderParameters.h"
#include "presets/PresetFormUnit.h"
#include "shell/Main.h"
#include "tests/support/StartedEditor.h"
#include "tests/support/UserInput.h"

namespace morvelant {
namespace {

using testsupport::StartedEditor;

TEST(FaderClickStarted, TheFirstClickOnAFaderSendsRightAfterAnotherWindowWasActive) {
    StartedEditor editor;
    editor.Start();
    DeviceContext& context = editor.Windows().Context();
    std::vector<MidiEvent> sent;
    context.DeviceEngine.OutputSink = [&sent](int, const MidiEvent& e) { sent.push_back(e); };
    context.Routing.NumOutDevs = 1;
    context.Routing.Out1DeviceFlags[0] = true;
    AllFaderP->Show();

    struct Case {
        const char* what;
        QScrollBar* fader;
        int index;  // the fader it moves
    };
    const Case cases[] = {{"virtual fader 3", MainForm->FaderList[2], 2},
                          {"virtual fader 9", MainForm->FaderList[8], 8},
                          {"the fader window's fader", AllFaderP->Fader, 0}};
    for (const Case& c : cases) {
        // Another window is active, its name field has the keys.
        userinput::FocusOn(PresetForm->findChild<QLineEdit*>(QStringLiteral("Edit3")));
        ASSERT_EQ(QApplication::activeWindow(), PresetForm) << c.what;
        sent.clear();
        const int before = c.fader->value();
        // The groove on the far side of the knob: one page towards it.
        const bool knobLow = before > (c.fader->minimum() + c.fader->maximum()) / 2;
        userinput::Click(c.fader, Qt::LeftButton, QPoint(c.fader->width() / 2, c.fader->height() * (knobLow ? 1 : 3) / 4));
        EXPECT_EQ(c.fader->value(), before + (knobLow ? -1 : 1) * c.fader->pageStep()) << c.what;
        ASSERT_EQ(sent.size(), 1u) << c.what << ": the first click sent nothing";
        EXPECT_EQ(sent[0].status, 0xB0) << c.what;
        EXPECT_EQ(sent[0].data1, c.index) << c.what;
        EXPECT_EQ(sent[0].data2, editor.Model().FaderStates[size_t(c.index)].Value) << c.what;
    }
}

}  // namespace
}  // namespace morvelant
