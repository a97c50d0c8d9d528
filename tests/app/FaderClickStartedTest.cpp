// Immediate mode's dead zone in the running editor: a fader reset at 64 with
// threshold 8 sends nothing until it is moved 8 or more away from 64, and
// every change after that sends, whatever moved it on the screen (a click in
// the groove, the wheel, the arrow keys, a drag of the knob). A move that
// sends nothing catches nothing: a hooked fader still needs its full move
// once it is unhooked, and an untouched Ovdup/Fad fader still passes input.
#include <gtest/gtest.h>

#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/EditorWindowSet.h"
#include "engine/DeviceContext.h"
#include "engine/MidiInDeviceUnit.h"
#include "engine/Tool.h"
#include "faders/AllFaderParameters.h"
#include "shell/Main.h"
#include "shell/MainMenu.h"
#include "tests/support/StartedEditor.h"
#include "tests/support/UserInput.h"

namespace morvelant {
namespace {

using testsupport::StartedEditor;

constexpr int kFader = 2;

class FaderDeadZoneStarted : public ::testing::Test {
protected:
    void SetUp() override {
        editor.Start();
        DeviceContext& context = editor.Windows().Context();
        context.DeviceEngine.OutputSink = [this](int, const MidiEvent& e) { sent.push_back(e); };
        context.Routing.NumOutDevs = 1;
        context.Routing.Out1DeviceFlags[0] = true;
        context.Routing.NumInDevs = 1;
        context.Routing.In1DeviceFlags[0] = true;
        MainForm->Show();
        AllFaderP->Show();
        SelectFader(context.DeviceEngine, kFader);
        ResetAt64(1);  // factory event: controller kFader on channel 1, output 1
    }

    // The fader starts anew at 64 (threshold 8, Immediate) with the MIDI
    // mode given, as a preset change starts it.
    void ResetAt64(int midiMode) {
        Morvelant_Parameters& p = editor.Model().Presets[size_t(editor.Model().SelectedPreset)];
        ASSERT_EQ(p.FaderThreshold(kFader), 8);
        ASSERT_EQ(p.ActiveMode(kFader) & 15, 0);
        p.FaderValue(kFader) = 64;
        p.FaderMidiMode(kFader) = midiMode;
        editor.Model().VirtualMotorFaders = true;
        ShowCurrentPreset(editor.Windows().Context().DeviceEngine, false);
        ASSERT_EQ(State().Value, 64);
        ASSERT_EQ(State().ResetValue, 64);
        sent.clear();
    }
    FaderState& State() { return editor.Model().FaderStates[size_t(kFader)]; }
    QScrollBar* Fader() { return MainForm->FaderList[size_t(kFader)]; }

    // The values of the fader's events sent so far.
    std::vector<int> SentValues() const {
        std::vector<int> values;
        for (const MidiEvent& e : sent)
            if (e.status == 0xB0 && e.data1 == kFader) values.push_back(e.data2);
        return values;
    }

    // Runs each move and checks what it sent: nothing while the fader has
    // stayed within 8 of 64, then its value for every change. Returns the
    // values sent.
    std::vector<int> Follow(const std::string& what, const std::vector<std::function<void()>>& moves) {
        bool caught = false;
        int previous = State().Value;
        for (size_t i = 0; i < moves.size(); ++i) {
            const size_t before = SentValues().size();
            moves[i]();
            const int v = State().Value;
            const std::vector<int> values = SentValues();
            if (v != previous) caught = caught || std::abs(v - 64) >= 8;
            const bool sends = v != previous && caught;
            if (values.size() != before + (sends ? 1 : 0) || (sends && values.back() != v)) {
                ADD_FAILURE() << what << ": move " << i << " from " << previous << " to " << v
                              << (sends ? " did not send it" : " sent");
                break;
            }
            previous = v;
        }
        return SentValues();
    }

    // Where a part of the fader is drawn: the knob, the groove above or below it.
    QRect Part(QStyle::SubControl part) {
        QStyleOptionSlider option;
        option.initFrom(Fader());
        option.orientation = Qt::Vertical;
        option.minimum = Fader()->minimum();
        option.maximum = Fader()->maximum();
        option.sliderPosition = option.sliderValue = Fader()->value();
        option.pageStep = Fader()->pageStep();
        option.singleStep = Fader()->singleStep();
        return Fader()->style()->subControlRect(QStyle::CC_ScrollBar, &option, part, Fader());
    }
    // A press on the knob, the mouse moved by dy pixels per step, a release.
    std::vector<std::function<void()>> Drag(int dy, int steps) {
        auto at = std::make_shared<QPoint>();
        std::vector<std::function<void()>> moves;
        moves.push_back([this, at] {
            *at = Part(QStyle::SC_ScrollBarSlider).center();
            Mouse(QEvent::MouseButtonPress, *at, Qt::LeftButton);
        });
        for (int i = 0; i < steps; ++i)
            moves.push_back([this, at, dy] {
                *at += QPoint(0, dy);
                Mouse(QEvent::MouseMove, *at, Qt::LeftButton);
            });
        moves.push_back([this, at] { Mouse(QEvent::MouseButtonRelease, *at, Qt::NoButton); });
        return moves;
    }
    void Mouse(QEvent::Type type, QPoint pos, Qt::MouseButtons buttons) {
        QWidget* top = Fader()->window();
        const QPointF local = Fader()->mapTo(top, pos);
        const QPointF global = Fader()->mapToGlobal(pos);
        QMouseEvent e(type, local, local, global, type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                      Qt::NoModifier);
        userinput::Deliver(userinput::WindowOf(Fader()), e);
    }
    // A click in the groove above (towards 127) or below the knob.
    std::function<void()> GrooveClick(bool up) {
        return [this, up] {
            const QRect groove = Part(up ? QStyle::SC_ScrollBarSubPage : QStyle::SC_ScrollBarAddPage);
            userinput::Click(Fader(), Qt::LeftButton, groove.center());
        };
    }
    // n steps of a key into the fader, which has the focus.
    std::vector<std::function<void()>> Keys(int key, int n) {
        return std::vector<std::function<void()>>(size_t(n), [this, key] { userinput::KeyClick(Fader(), key); });
    }
    // n wheel notches over the virtual device window (positive: up, towards 127).
    std::vector<std::function<void()>> Notches(int n) {
        return std::vector<std::function<void()>>(
            size_t(std::abs(n)), [n] { userinput::Wheel(MainForm->FaderList[size_t(kFader)], n > 0 ? 1 : -1); });
    }
    // Incoming MIDI on input 1's port, as the input component hands it over.
    void Incoming(uint8_t status, uint8_t data1, uint8_t data2) {
        MidiEvent e{0, status, data1, data2, 0};
        bool accept = true;
        MidiDeviceForm->MidiKitInMidiData(&e, &accept, 0);
    }

    StartedEditor editor;
    std::vector<MidiEvent> sent;
};

template <typename T>
std::vector<T> Join(std::initializer_list<std::vector<T>> parts) {
    std::vector<T> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// The example the threshold is made for, one step at a time: to 60 and to
// 70 nothing, the first move to 56 sends, and so does every later change.
TEST_F(FaderDeadZoneStarted, KeysAndTheWheelSendOnlyOncePastTheDeadZone) {
    struct Case {
        const char* what;
        std::function<std::vector<std::function<void()>>(int)> steps;  // n steps, positive towards 127
    };
    const Case cases[] = {
        {"keys", [this](int n) { return Keys(n > 0 ? Qt::Key_Up : Qt::Key_Down, std::abs(n)); }},
        {"wheel", [this](int n) { return Notches(n); }},
    };
    for (const Case& c : cases) {
        ResetAt64(1);
        userinput::FocusOn(Fader());
        const std::vector<int> values = Follow(c.what, Join({c.steps(-4), c.steps(10), c.steps(-14), c.steps(1)}));
        EXPECT_EQ(values, (std::vector<int>{56, 57})) << c.what;
        ResetAt64(1);
        userinput::FocusOn(Fader());
        EXPECT_EQ(Follow(c.what, c.steps(8)), (std::vector<int>{72})) << c.what << " to 72";
    }
}

// A click in the groove moves a page: the first one stays within the dead
// zone and sends nothing; once past it every click sends.
TEST_F(FaderDeadZoneStarted, ClicksSendOnlyOncePastTheDeadZone) {
    const int page = Fader()->pageStep();
    ASSERT_LT(page, 8);
    userinput::FocusOn(AllFaderP->FaderThreshold->Edit);  // another window has the keys
    std::vector<std::function<void()>> clicks(size_t(8 / page + 3), GrooveClick(true));
    clicks.push_back(GrooveClick(false));
    const std::vector<int> values = Follow("clicks", clicks);
    ASSERT_FALSE(values.empty());
    EXPECT_GE(values.front(), 72);
    EXPECT_EQ(State().Value, values.back());
}

// A drag of the knob sends nothing until the knob is 8 away from 64.
TEST_F(FaderDeadZoneStarted, ADragSendsOnlyOncePastTheDeadZone) {
    const std::vector<int> values = Follow("drag", Drag(1, Fader()->height() / 4));
    ASSERT_FALSE(values.empty()) << "the drag moved to " << State().Value;
    EXPECT_LE(values.front(), 56);
}

// In hook mode a hooked fader's moves send nothing and catch nothing: once
// incoming MIDI unhooks it, a move within the dead zone still sends nothing.
TEST_F(FaderDeadZoneStarted, AMoveOfAHookedFaderLeavesItUncaught) {
    MainMenuForm->MainMenuHookMode->trigger();
    ASSERT_TRUE(editor.Model().HookMode);
    ResetAt64(0x30 | 1);  // input function HookOnFad, output 1
    ASSERT_TRUE(State().Hooked);
    userinput::FocusOn(Fader());
    for (const auto& key : Keys(Qt::Key_Down, 4)) key();  // to 60
    EXPECT_EQ(State().Value, 60);
    EXPECT_TRUE(SentValues().empty()) << "a hooked fader sent";
    Incoming(0xB0, kFader, uint8_t(State().Value));
    ASSERT_FALSE(State().Hooked);
    userinput::KeyClick(Fader(), Qt::Key_Up, Qt::NoModifier);  // 61: within the dead zone
    EXPECT_TRUE(SentValues().empty()) << "a hooked move caught the fader";
    for (const auto& key : Keys(Qt::Key_Down, 5)) key();  // to 56: past it
    EXPECT_EQ(SentValues(), (std::vector<int>{56}));
    MainMenuForm->MainMenuHookMode->trigger();
}

// In overdub mode an Ovdup/Fad fader passes input through until its own
// event is sent: a one-step move, which sends nothing, leaves it passing.
TEST_F(FaderDeadZoneStarted, AnOverdubFaderPassesInputAfterAOneStepMove) {
    MainMenuForm->MainMenuOverdupMode->trigger();
    ASSERT_TRUE(editor.Model().OverdupMode);
    ResetAt64(0x38 | 1);  // input function Ovdup/Fad, output 1
    userinput::FocusOn(Fader());
    userinput::KeyClick(Fader(), Qt::Key_Down, Qt::NoModifier);
    EXPECT_EQ(State().Value, 63);
    EXPECT_TRUE(sent.empty());
    Incoming(0x91, 40, 100);
    ASSERT_EQ(sent.size(), 1u) << "the input was not passed through";
    EXPECT_EQ(sent[0].status, 0x91);
    EXPECT_EQ(sent[0].data1, 40);
    EXPECT_EQ(sent[0].data2, 100);
    // Moved past the dead zone the fader sends, and input stops passing.
    for (int i = 0; i < 8; ++i) userinput::KeyClick(Fader(), Qt::Key_Down, Qt::NoModifier);
    EXPECT_EQ(SentValues(), (std::vector<int>{56, 55}));
    sent.clear();
    Incoming(0x91, 40, 100);
    EXPECT_TRUE(sent.empty());
    MainMenuForm->MainMenuOverdupMode->trigger();
}

}  // namespace
}  // namespace morvelant
