// Event strings, fader and key events built from a preset, and routing to
// the ports of virtual outputs 1 and 2.
#include "tests/engine/ToolTestSupport.h"

#include <cstdio>
#include <string>

namespace morvelant::tooltest {
namespace {

std::vector<MidiEvent> Parse(const std::string& s, int value, size_t room = kEventListSize) {
    std::vector<MidiEvent> list(room);
    const int n = ParseEventString(s, value, list);
    EXPECT_GE(n, 0);
    EXPECT_LE(static_cast<size_t>(n), room);
    list.resize(static_cast<size_t>(n));
    return list;
}

void ExpectEvents(const std::vector<MidiEvent>& got, const std::vector<MidiEvent>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_TRUE(Same(got[i], want[i])) << "event " << i << ": " << Text(got[i]) << " want " << Text(want[i]);
}

TEST(EventStringParse, ChannelEventsRunningStatusAndTheLiveValue) {
    ExpectEvents(Parse("B0 07 XX", 100), {Ev(0xB0, 7, 100)});
    ExpectEvents(Parse("90 3C XX 3E XX", 90), {Ev(0x90, 0x3C, 90), Ev(0x90, 0x3E, 90)});
    ExpectEvents(Parse("C0 05 06", 0), {Ev(0xC0, 5), Ev(0xC0, 6)});
    ExpectEvents(Parse("E1 00 40 D2 33 34", 0), {Ev(0xE1, 0, 0x40), Ev(0xD2, 0x33), Ev(0xD2, 0x34)});
    // The separator is not read; a trailing one is not needed.
    ExpectEvents(Parse("B0-07/XX ", 5), {Ev(0xB0, 7, 5)});
}

TEST(EventStringParse, SystemMessagesAndExclusiveRuns) {
    ExpectEvents(Parse("F0 7E 7F 09 01 F7", 0),
                 {Ev(0xF0, 0xF0, 0, 0), Ev(0xF0, 0x7E, 0, 0), Ev(0xF0, 0x7F, 0, 0), Ev(0xF0, 0x09, 0, 0),
                  Ev(0xF0, 0x01, 0, 0), Ev(0xF0, 0xF7, 0, 0)});
    ExpectEvents(Parse("F0 7E 7F", 0), {});
    ExpectEvents(Parse("B0 01 02 F0 43 XX", 9), {Ev(0xB0, 1, 2)});  // unterminated run dropped
    ExpectEvents(Parse("F8 FA", 0), {Ev(0xF8), Ev(0xFA)});
    ExpectEvents(Parse("F6 B0 01 02", 0), {Ev(0xB0, 1, 2)});
    ExpectEvents(Parse("F1 12 F3 05 F2 01 02", 0), {Ev(0xF1, 0x12), Ev(0xF3, 5), Ev(0xF2, 1, 2)});
    // A system message leaves the running status alone.
    ExpectEvents(Parse("C1 01 F8 02", 0), {Ev(0xC1, 1), Ev(0xF8), Ev(0xC1, 2)});
}

TEST(EventStringParse, MalformedPlacesStopTheScanKeepingWhatCameBefore) {
    ExpectEvents(Parse("", 0), {});
    ExpectEvents(Parse("B0 07", 0), {});
    ExpectEvents(Parse("B0 80 10", 0), {});
    ExpectEvents(Parse("05 B0 01 02", 0), {});  // data byte without running status
    ExpectEvents(Parse("b0 07 10", 0), {});  // lower case reads 0
    ExpectEvents(Parse("C0 05 F1", 0), {Ev(0xC0, 5)});  // F1 without its data byte
    ExpectEvents(Parse("90 3C 40 3E", 0), {Ev(0x90, 0x3C, 0x40)});
    ExpectEvents(Parse("B0 07 xx", 0), {Ev(0xB0, 7, 0)});  // only upper-case XX is the value
    ExpectEvents(Parse("B0 0G 1Z", 0), {Ev(0xB0, 0, 0x10)});
}

TEST(EventStringParse, NeverMoreThanThirtyEvents) {
    std::string realtime;
    for (int i = 0; i < 45; ++i) realtime += "F8 ";
    EXPECT_EQ(Parse(realtime, 0, 64).size(), 30u);

    // Tokens past the 30th are not read: the F7 that would end this run is
    // the 31st byte, so the run is unterminated.
    std::string sysex = "F0";
    for (int i = 0; i < 29; ++i) sysex += " 11";
    EXPECT_EQ(Parse(sysex + " F7", 0, 64).size(), 0u);
    std::string sysex30 = "F0";
    for (int i = 0; i < 28; ++i) sysex30 += " 11";
    EXPECT_EQ(Parse(sysex30 + " F7", 0).size(), 30u);

    // A smaller list is never overrun; a run that does not fit is left out whole.
    EXPECT_EQ(Parse(realtime, 0, 4).size(), 4u);
    ExpectEvents(Parse("F8 F0 01 02 F7", 0, 3), {Ev(0xF8)});
    ExpectEvents(Parse("C0 01 02 03", 0, 2), {Ev(0xC0, 1), Ev(0xC0, 2)});
}

using EventStringSend = ToolFixture;

TEST_F(EventStringSend, FaderStringCarriesTheLiveValue) {
    Fader(0, 0, 0, 0);
    P().FaderStatus(0) = 0xF0;
    P().FaderString[0] = "B1 0A XX F0 7D XX F7";
    MoveTo(0, 77);
    ASSERT_EQ(sent.size(), 5u);
    EXPECT_TRUE(Same(sent[0].event, Ev(0xB1, 10, 77)));
    EXPECT_TRUE(Same(sent[3].event, Ev(0xF0, 77, 0, 0)));
    EXPECT_TRUE(Same(sent[4].event, Ev(0xF0, 0xF7, 0, 0)));
}

TEST_F(EventStringSend, ChannelEventsReplace128AndDeviceCodesSendNothing) {
    Fader(0, 0, 0, 0);
    P().FaderStatus(0) = 0xC5;
    P().FaderMidiData1(0) = 128;
    P().FaderMidiData2(0) = 3;
    SendFaderEvent(engine, F(0), 42);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(Same(sent[0].event, Ev(0xC5, 42, 3)));
    for (int code : {0x00, 0x30, 0x70}) {
        P().FaderStatus(0) = code;
        F(0).Touched = false;
        SendFaderEvent(engine, F(0), 42);
        EXPECT_TRUE(F(0).Touched) << "touched even when nothing is sent";
    }
    EXPECT_EQ(sent.size(), 1u);
}

TEST_F(EventStringSend, KeyStringUsesTheLiveValueNotTheFixedOne) {
    Fader(2, 0, 0, 33);
    P().SwitchMode(2) = 2;
    P().KeyOnStatus(2) = 0xF0;
    P().KeyOnString[2] = "B0 14 XX";
    P().DemuteVal(2) = 100;
    KeyDown(engine, K(2));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(Same(sent[0].event, Ev(0xB0, 0x14, 33)));
}

TEST_F(EventStringSend, OutputsOneAndTwoReachTheirPortsAndBothMeansTwice) {
    routing.Out1DeviceFlags = {};
    routing.Out1DeviceFlags[0] = true;
    routing.Out1DeviceFlags[2] = true;
    routing.Out2DeviceFlags[2] = true;
    routing.Out2DeviceFlags[3] = true;
    routing.Out2DeviceFlags[7] = true;  // beyond NumOutDevs: no such port
    Fader(0, 0, 0, 0);

    const auto portsFor = [&](int outputs) {
        P().FaderMidiMode(0) = outputs;
        sent.clear();
        hooks.Logged.clear();
        hooks.OutActivity = 0;
        SendFaderEvent(engine, F(0), 1);
        std::vector<int> ports;
        for (const auto& s : sent) ports.push_back(s.port);
        EXPECT_EQ(hooks.Logged.size(), sent.size()) << "one monitor row per put";
        EXPECT_EQ(hooks.OutActivity, static_cast<int>(sent.size()));
        return ports;
    };
    EXPECT_EQ(portsFor(0), (std::vector<int>{}));
    EXPECT_EQ(portsFor(1), (std::vector<int>{0, 2}));
    EXPECT_EQ(portsFor(2), (std::vector<int>{2, 3}));
    EXPECT_EQ(portsFor(3), (std::vector<int>{0, 2, 2, 3}));
    for (size_t i = 0; i < hooks.Logged.size(); ++i) {
        EXPECT_EQ(hooks.Logged[i].port, sent[i].port);
        EXPECT_TRUE(Same(hooks.Logged[i].event, sent[i].event));
    }
}

TEST_F(EventStringSend, WithoutListenersOrSinkNothingBreaks) {
    Notifications nobody;
    Engine bare{model, routing, nobody};
    Fader(0, 0, 0, 0);
    FaderMoved(bare, F(0), 10, true);  // no output components: nothing is put
    KeyDown(bare, K(0));
    EXPECT_TRUE(sent.empty());
}

using SpecialKeys = ToolFixture;

TEST_F(SpecialKeys, ButtonsGoPortByPortAndThePresetKeyOutputByOutput) {
    routing.Out1DeviceFlags = {};
    routing.Out1DeviceFlags[1] = true;
    routing.Out1DeviceFlags[2] = true;
    routing.Out2DeviceFlags[1] = true;
    P().SpecialKeyString[1] = "FA XX";  // "XX" reads 0: a data byte without running status
    P().SpecialKeyString[0] = "C0 XX";
    const auto ports = [&](int key) {
        sent.clear();
        SendSpecialKeyString(engine, key);
        std::vector<int> v;
        for (const auto& s : sent) v.push_back(s.port);
        return v;
    };
    EXPECT_EQ(ports(1), (std::vector<int>{1, 1, 2}));
    EXPECT_TRUE(Same(sent[0].event, Ev(0xFA)));
    EXPECT_EQ(ports(0), (std::vector<int>{1, 2, 1}));
    EXPECT_TRUE(Same(sent[0].event, Ev(0xC0, 0)));
    EXPECT_TRUE(ports(6).empty());
    EXPECT_TRUE(ports(-1).empty());
}

// A system-exclusive string comes as one event per byte: a port in both
// sets takes each message whole, twice, never its bytes interleaved.
TEST_F(SpecialKeys, ASystemExclusiveMessageGoesWholeToEachPortAndRole) {
    routing.Out1DeviceFlags = {};
    routing.Out1DeviceFlags[1] = true;
    routing.Out1DeviceFlags[2] = true;
    routing.Out2DeviceFlags[1] = true;
    P().SpecialKeyString[1] = P().SpecialKeyString[0] = "F0 7E 03 F7 C5 XX";
    const std::string sysex = "F0 7E 03 F7 ", program = "C5 ";
    // Each port's events in turn: "port: bytes" whenever the port or message changes.
    const auto put = [&](int key) {
        sent.clear();
        SendSpecialKeyString(engine, key);
        std::string text;
        char hex[4];
        for (size_t i = 0; i < sent.size(); ++i) {
            const MidiEvent& e = sent[i].event;
            const bool starts = e.status != 0xF0 || e.data1 == 0xF0;
            if (starts) text += "| " + std::to_string(sent[i].port) + ": ";
            std::snprintf(hex, sizeof hex, "%02X ", e.status == 0xF0 ? e.data1 : e.status);
            text += hex;
        }
        return text;
    };
    const auto to = [](int port, const std::string& bytes) { return "| " + std::to_string(port) + ": " + bytes; };
    // The buttons: each message port by port, output 1 then output 2.
    EXPECT_EQ(put(1), to(1, sysex) + to(1, sysex) + to(2, sysex) + to(1, program) + to(1, program) + to(2, program));
    // The preset key: each message to output 1's ports, then output 2's.
    EXPECT_EQ(put(0), to(1, sysex) + to(2, sysex) + to(1, sysex) + to(1, program) + to(2, program) + to(1, program));
}

}  // namespace
}  // namespace morvelant::tooltest
