// Learn: incoming MIDI written into the event or event string of one fader.
#include <chrono>
#include <thread>

#include "DispatchTestSupport.h"
#include "engine/LearnFromMidi.h"
#include "engine/Tool.h"
#include "midikit/MidiKitDLL.h"
#include "midikit/MidiKitIn.h"
#include "midikit/MidiKitOut.h"
#include "tests/support/DriverProcess.h"

namespace morvelant::dispatchtest {
namespace {

class Learn : public DispatchFixture {
protected:
    void SetUp() override {
        DispatchFixture::SetUp();
        model.SelectedPreset = 3;
        model.SelectedFader = 1;
        model.LearnFader = 7;
        P().FaderStatus(7) = 0xB0;
        P().FaderMidiData1(7) = 10;
        P().FaderMidiData2(7) = 128;
    }
    Morvelant_Parameters& P() { return model.Presets[3]; }
    void Start(int mode) {
        model.LearnMode = mode;
        if (mode != 0) model.LearnCount = 0;
    }
    void Feed(const MidiEvent& e) { LearnFromMidi(engine, e); }
    void FeedBytes(const std::vector<uint8_t>& bytes) {
        for (uint8_t b : bytes) Feed(Ev(0xF0, b));
    }
};

TEST_F(Learn, EventModeIgnoresSystemMessagesThenTakesOneChannelMessage) {
    Start(0);
    Feed(Ev(0xF8));
    Feed(Ev(0xF0, 0x43));
    EXPECT_EQ(model.LearnMode, 0);
    EXPECT_EQ(hooks.LearnEnds, 0);
    EXPECT_EQ(P().FaderStatus(7), 0xB0);

    Feed(Ev(0xB1, 0x07, 0x64));
    EXPECT_EQ(P().FaderStatus(7), 0xB1);
    EXPECT_EQ(P().FaderMidiData1(7), 0x07);
    EXPECT_EQ(P().FaderMidiData2(7), 0x64);
    EXPECT_EQ(model.LearnMode, -1);
    EXPECT_EQ(hooks.LearnEnds, 1);
    // The learn fader becomes the selected one and the preset is shown again.
    EXPECT_EQ(model.SelectedFader, 7);
    EXPECT_EQ(hooks.LampMoves, (std::vector<std::pair<int, int>>{{1, 7}}));
    EXPECT_EQ(hooks.ShownPresets, std::vector<bool>{false});
    // Nothing else of the preset was touched.
    EXPECT_EQ(model.Presets[0], fresh.Presets[0]);
}

TEST_F(Learn, EventModeFollowsMultiFaderEditing) {
    model.MultiCheckBoxChecked = true;
    model.MultiselectButtonDown[2] = true;
    model.MultiselectButtonDown[4] = true;
    Start(0);
    Feed(Ev(0x92, 40, 1));
    EXPECT_EQ(P().FaderStatus(2), 0x92);
    EXPECT_EQ(P().FaderStatus(4), 0x92);
}

TEST_F(Learn, EventStringModeJoinsTokensOfEachMessage) {
    Start(1);
    Feed(Ev(0xB0, 0x07, 0x40));
    EXPECT_EQ(P().FaderString[7], "B0 07 40");
    EXPECT_EQ(P().FaderStatus(7), 0xF0);
    EXPECT_EQ(P().FaderMidiData1(7), 3);
    Feed(Ev(0xB0, 0x07, 0x41));
    EXPECT_EQ(P().FaderString[7], "B0 07 40 B0 07 41");
    EXPECT_EQ(P().FaderMidiData1(7), 6);
    EXPECT_EQ(model.LearnCount, 6);
    EXPECT_EQ(model.LearnMode, 1);
    EXPECT_EQ(hooks.ShownPresets.size(), 2u);

    // The string reads back as the learned events, with no live value in it.
    EventList list{};
    const int n = ParseEventString(P().FaderString[7], 99, list);
    ASSERT_EQ(n, 2);
    EXPECT_EQ(list[1].data2, 0x41);
}

TEST_F(Learn, TokenCountsByMessageKind) {
    EXPECT_EQ(LearnTokens(Ev(0xE3, 0x01, 0x7F)), "E3 01 7F");
    EXPECT_EQ(LearnTokens(Ev(0xC5, 0x0A, 0x55)), "C5 0A");
    EXPECT_EQ(LearnTokens(Ev(0xD0, 0x33)), "D0 33");
    EXPECT_EQ(LearnTokens(Ev(0xF0, 0xF7)), "F7");
    EXPECT_EQ(LearnTokens(Ev(0xF2, 0x10, 0x20)), "F2");
    EXPECT_EQ(LearnTokens(Ev(0xFA)), "FA");
}

TEST_F(Learn, EventStringStopsAtThirtyBytes) {
    Start(1);
    model.LearnCount = 0;
    for (int i = 0; i < 14; ++i) Feed(Ev(0xC0, static_cast<uint8_t>(i)));  // 28 bytes
    ASSERT_EQ(model.LearnCount, 28);
    const std::string before = P().FaderString[7];
    Feed(Ev(0xB0, 1, 2));  // 28 + 3 > 30: ends without adding
    EXPECT_EQ(P().FaderString[7], before);
    EXPECT_EQ(model.LearnMode, -1);
    EXPECT_EQ(model.LearnCount, 28);

    Start(1);
    model.LearnCount = 0;
    for (int i = 0; i < 14; ++i) Feed(Ev(0xC0, static_cast<uint8_t>(i)));
    Feed(Ev(0xC1, 0x11));  // exactly 30: added, then learn ends
    EXPECT_EQ(model.LearnCount, 30);
    EXPECT_EQ(model.LearnMode, -1);
    EXPECT_EQ(P().FaderString[7].size(), 30u * 3 - 1);
    EXPECT_EQ(P().FaderMidiData1(7), 30);
}

TEST_F(Learn, EventStringTakesSysexBytesOneTokenEachAndF7DoesNotEndIt) {
    Start(1);
    FeedBytes({0xF0, 0x7E, 0xF7});
    EXPECT_EQ(P().FaderString[7], "F0 7E F7");
    EXPECT_EQ(model.LearnMode, 1);
}

TEST_F(Learn, SysexStringModeIgnoresOtherMessagesAndEndsAtF7) {
    Start(2);
    Feed(Ev(0xF0, 0xF0));
    Feed(Ev(0x90, 60, 100));
    FeedBytes({0x7E, 0x7F, 0x09});
    Feed(Ev(0x80, 60, 0));
    FeedBytes({0x01, 0xF7});
    EXPECT_EQ(P().FaderString[7], "F0 7E 7F 09 01 F7");
    EXPECT_EQ(P().FaderMidiData1(7), 6);
    EXPECT_EQ(P().FaderStatus(7), 0xF0);
    EXPECT_EQ(model.LearnMode, -1);
    EXPECT_EQ(hooks.LearnEnds, 1);
}

TEST_F(Learn, SysexStringModeKeepsTheFirstThirtyBytes) {
    Start(2);
    std::vector<uint8_t> message = {0xF0};
    for (int i = 1; i < 39; ++i) message.push_back(static_cast<uint8_t>(i));
    message.push_back(0xF7);
    FeedBytes(message);
    EXPECT_EQ(model.LearnCount, 30);
    EXPECT_EQ(model.LearnMode, -1);
    EXPECT_EQ(P().FaderString[7].substr(0, 8), "F0 01 02");
    EXPECT_EQ(P().FaderString[7].substr(P().FaderString[7].size() - 2), "1D");  // byte 29
}

// A message that never ended (its source went) is followed by the next
// one's F0: learn takes that message, never the two spliced.
TEST_F(Learn, SysexStringModeStartsAgainAtTheNextMessage) {
    Start(2);
    FeedBytes({0xF0, 0x7D, 0x01});
    FeedBytes({0xF0, 0x7D, 0x03, 0xF7});
    EXPECT_EQ(P().FaderString[7], "F0 7D 03 F7");
    EXPECT_EQ(P().FaderMidiData1(7), 4);
    EXPECT_EQ(model.LearnMode, -1);
}

TEST_F(Learn, NewStringLearnStartsFromAnEmptyString) {
    P().FaderString[7] = "90 3C 7F";
    Start(2);
    FeedBytes({0xF0, 0x01});
    model.LearnMode = -1;  // cancelled half-way
    Start(2);
    FeedBytes({0xF0, 0x02, 0xF7});
    EXPECT_EQ(P().FaderString[7], "F0 02 F7");
}

TEST_F(Learn, BadLearnFaderEndsLearnWithoutWriting) {
    model.LearnFader = 24;
    Start(0);
    const auto before = model.Presets;
    Feed(Ev(0x90, 1, 2));
    EXPECT_EQ(model.LearnMode, -1);
    EXPECT_EQ(model.Presets, before);
}

TEST_F(Learn, OffDoesNothing) {
    model.LearnMode = -1;
    Feed(Ev(0x90, 1, 2));
    EXPECT_EQ(hooks.LearnEnds, 0);
    EXPECT_TRUE(hooks.ShownPresets.empty());
}


// Learn takes what comes in after it was switched on. What came in before,
// and waits for the window thread (busy meanwhile), is handled as it came:
// passed thru here, never learned. The driver library's loopback backend
// stands for the MIDI system: output 0 is wired to input 0.
TEST_F(DispatchFixture, LearnTakesOnlyWhatCameInAfterItWasSwitchedOn) {
    MIDIKIT_IN_FRESH_PROCESS();
    ::setenv("MIDIKIT_BACKEND", "loopback", 1);
    ::unsetenv("MIDIKIT_LOOPBACK_NAMES");
    TMidiKit kit;
    TMidiKitIn* in = form->In(0);
    in->MidiKit = &kit;
    ASSERT_TRUE(in->Open(0, MIDIKIT_OPEN_ARGUMENT));
    in->Start();
    routing.In[0] = in;
    // A second input on the port is handed each event after the first: once
    // it has one, the first has it waiting too.
    TMidiKitIn witness;
    witness.MidiKit = &kit;
    ASSERT_TRUE(witness.Open(0, MIDIKIT_OPEN_ARGUMENT));
    witness.Start();
    TMidiKitOut out;
    out.MidiKit = &kit;
    ASSERT_TRUE(out.Open(0, MIDIKIT_OPEN_ARGUMENT));
    routing.Thru = true;
    routing.ThruInDeviceFlags[0] = true;
    routing.ThruDeviceFlags[3] = true;
    // An event that comes in while the window thread does other work: it
    // waits in the input's queue.
    const auto comesInMeanwhile = [&](const MidiEvent& e) {
        MidiEvent now = e;
        now.time = MIDIKIT_TIME_NOW;
        out.Put(&now);
        for (int i = 0; i < 5000 && witness.Get() == nullptr; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    const auto passed = [](const MidiEvent& e) {
        MidiEvent thru = e;
        thru.time = MIDIKIT_TIME_NOW;
        return std::vector<PortEvent>{{3, thru}};
    };

    struct Case {
        int kind;
        MidiEvent before, after;
        std::string learned;  // the fader's event afterwards, as the event strings say it
    };
    const Case cases[] = {
        {kLearnEvent, Ev(0xB0, 0x04, 0x11), Ev(0xB2, 0x0B, 0x22), "B2 0B 22"},
        {kLearnEventString, Ev(0xC1, 0x05), Ev(0xB0, 0x07, 0x40), "B0 07 40"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.learned);
        sent.clear();
        comesInMeanwhile(c.before);
        StartLearn(engine, 9, c.kind);
        comesInMeanwhile(c.after);
        testsupport::PumpUntil([&] { return model.LearnMode == -1 || model.LearnCount >= 3; });
        const Morvelant_Parameters& p = model.Presets[static_cast<size_t>(model.SelectedPreset)];
        if (c.kind == kLearnEvent) {
            EXPECT_EQ(LearnTokens(MidiEvent{0, static_cast<uint8_t>(p.FaderStatus(9)),
                                            static_cast<uint8_t>(p.FaderMidiData1(9)),
                                            static_cast<uint8_t>(p.FaderMidiData2(9)), 0}),
                      c.learned);
            EXPECT_EQ(model.LearnMode, -1);
        } else {
            EXPECT_EQ(p.FaderString[9], c.learned);
            EXPECT_EQ(model.LearnCount, 3);
        }
        model.LearnMode = -1;
        EXPECT_EQ(sent, passed(c.before)) << "passed thru: the earlier event only";
    }

    // Cancelled by the user: what came in while learn was on is learned,
    // never passed thru; what comes in after passes.
    sent.clear();
    StartLearn(engine, 9, kLearnEventString);
    comesInMeanwhile(Ev(0xC2, 0x06));
    CancelLearn(engine);
    EXPECT_EQ(model.LearnMode, -1);
    EXPECT_EQ(model.Presets[static_cast<size_t>(model.SelectedPreset)].FaderString[9], "C2 06");
    comesInMeanwhile(Ev(0xC3, 0x07));
    testsupport::PumpUntil([&] { return !sent.empty(); });
    EXPECT_EQ(sent, passed(Ev(0xC3, 0x07)));
    out.Close();
    witness.Close();
    in->Close();
    routing.In[0] = nullptr;
}

}  // namespace
}  // namespace morvelant::dispatchtest
