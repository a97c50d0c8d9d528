// The driver library's C interface over its loopback backend (output k wired
// to input k): handles, port names, round trips, queues and notifications.
#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <thread>

#include "tests/driver/DriverTestSupport.h"

using namespace morvelant::drivertest;
using namespace std::chrono_literals;

namespace {

class Loopback : public ::testing::Test {
protected:
    void SetUp() override {
        kit = Kit::Load("loopback");
        ASSERT_TRUE(kit->Ok()) << kit->error;
    }
    void TearDown() override {
        for (uint32_t h : outs) kit->CloseMidiOut(h);
        for (uint32_t h : ins) kit->CloseMidiIn(h);
        for (uint32_t h : syncs) kit->CloseSync(h);
        kit.reset();
    }

    uint32_t OpenIn(uint32_t port, Notifications* n = nullptr, bool start = true) {
        uint32_t h = kit->OpenMidiIn(n ? &n->target : nullptr, port, 0, MIDIKIT_OPEN_ARGUMENT);
        EXPECT_GT(h, 0x20u);
        if (start) kit->StartMidiIn(h);
        ins.push_back(h);
        return h;
    }
    uint32_t OpenOut(uint32_t port, uint32_t sync = 0, Notifications* n = nullptr) {
        uint32_t h = kit->OpenMidiOut(n ? &n->target : nullptr, port, sync, MIDIKIT_OPEN_ARGUMENT);
        EXPECT_GT(h, 0x20u);
        outs.push_back(h);
        return h;
    }
    uint32_t OpenClock(Notifications* n = nullptr) {
        uint32_t h = kit->OpenSync(0, n ? &n->target : nullptr, 0, 10);
        EXPECT_GT(h, 0x20u);
        syncs.push_back(h);
        return h;
    }
    // Closing an output waits until its immediate path went out, and it
    // resets first (16 All Notes Off follow).
    void CloseOut(uint32_t h) {
        kit->CloseMidiOut(h);
        std::erase(outs, h);
    }
    std::vector<MidiEvent> Drain(uint32_t in) {
        std::vector<MidiEvent> v;
        while (LPMIDIEVENT e = kit->GetMidiIn(in)) v.push_back(*e);
        return v;
    }
    // Drains until at least n events arrived.
    std::vector<MidiEvent> Collect(uint32_t in, size_t n) {
        std::vector<MidiEvent> all;
        Eventually([&] {
            auto more = Drain(in);
            all.insert(all.end(), more.begin(), more.end());
            return all.size() >= n;
        });
        return all;
    }
    uint16_t PutAll(uint32_t out, const std::vector<MidiEvent>& events) {
        uint16_t worst = 0;
        for (MidiEvent e : events) worst = std::max(worst, kit->PutMidiOut(out, &e));
        return worst;
    }

    // Notification targets outlive every handle of the test.
    Notifications n;
    std::unique_ptr<Kit> kit;
    std::vector<uint32_t> ins, outs, syncs;
};

bool IsAllNotesOff(const MidiEvent& e) { return (e.status & 0xF0) == 0xB0 && e.data1 == 123 && e.data2 == 0; }

std::vector<uint8_t> SysexBytes(const std::vector<MidiEvent>& events) {
    std::vector<uint8_t> bytes;
    for (const MidiEvent& e : events)
        if (e.status == 0xF0) bytes.push_back(e.data1);
    return bytes;
}

}  // namespace

TEST_F(Loopback, PortsAreFourEachWayWithStableNames) {
    EXPECT_EQ(kit->GetNumInDevices(), 4u);
    EXPECT_EQ(kit->GetNumOutDevices(), 4u);
    EXPECT_EQ(kit->InNames(), (std::vector<std::string>{"Loopback 1", "Loopback 2", "Loopback 3", "Loopback 4"}));
    EXPECT_EQ(kit->OutNames(), kit->InNames());

    char buffer[32];
    std::memset(buffer, 'x', sizeof buffer);
    kit->GetMidiOutDescription(4, buffer);
    EXPECT_STREQ(buffer, "");
    kit->GetMidiInDescription(0xFFFF, buffer);
    EXPECT_STREQ(buffer, "");
    kit->GetMidiInDescription(0, nullptr);  // no buffer: nothing written, no crash
    EXPECT_EQ(kit->OpenMidiIn(nullptr, 4, 0, MIDIKIT_OPEN_ARGUMENT), 0u);
    EXPECT_EQ(kit->OpenMidiOut(nullptr, 4, 0, MIDIKIT_OPEN_ARGUMENT), 0u);
}

TEST_F(Loopback, ZeroStaleAndWrongKindHandlesAreHarmless) {
    MidiEvent e = Ev(MIDIKIT_TIME_NOW, 0x90, 60, 100);
    for (uint32_t h : {0u, 0x20u, 0x12345u, 0x3FFFFFFFu, 0xFFFFFFFFu}) {
        kit->StartMidiIn(h);
        kit->StopMidiIn(h);
        EXPECT_EQ(kit->GetMidiIn(h), nullptr);
        kit->CloseMidiIn(h);
        EXPECT_NE(kit->PutMidiOut(h, &e), 0);
        kit->FlushMidiOut(h);
        kit->ResetMidiOut(h);
        kit->CloseMidiOut(h);
        EXPECT_EQ(kit->OpenSync(h == 0 ? 0x12345u : h, nullptr, 0, 10), 0u);
        kit->StartSync(h);
        kit->ReStartSync(h);
        kit->PauseSync(h, 1);
        kit->StopSync(h);
        EXPECT_NE(kit->SetTempo(h, 500000), 0);
        EXPECT_EQ(kit->GetTempo(h), 0u);
        kit->SetResolution(h, 96);
        EXPECT_EQ(kit->GetResolution(h), 0u);
        uint32_t pos = 7;
        EXPECT_NE(kit->GetPosition(h, &pos), 0u);
        kit->CloseSync(h);
    }

    // Handles are table values above 0x20 and below the file handles; an
    // input's handle is no output or clock handle.
    uint32_t in = OpenIn(0, &n);
    uint32_t out = OpenOut(0);
    uint32_t sync = OpenClock();
    for (uint32_t h : {in, out, sync}) {
        EXPECT_GT(h, 0x20u);
        EXPECT_LT(h, 0x40000000u);
    }
    EXPECT_NE(in, out);
    EXPECT_NE(out, sync);
    kit->CloseMidiOut(in);
    kit->CloseSync(out);
    kit->CloseMidiIn(sync);
    EXPECT_EQ(kit->PutMidiOut(out, &e), 0);  // still open
    EXPECT_EQ(kit->GetTempo(sync), 500000u);
    auto got = Collect(in, 1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].status, 0x90);

    // Closing twice and using a closed handle do nothing.
    kit->CloseMidiOut(out);
    kit->CloseMidiOut(out);
    EXPECT_NE(kit->PutMidiOut(out, &e), 0);
    kit->CloseMidiIn(in);
    kit->CloseMidiIn(in);
    EXPECT_EQ(kit->GetMidiIn(in), nullptr);
    kit->CloseSync(sync);
    kit->CloseSync(sync);
    EXPECT_NE(kit->SetTempo(sync, 400000), 0);
    EXPECT_NE(kit->PutMidiOut(OpenOut(1), nullptr), 0);  // no event
    // Handles are not handed out again.
    uint32_t again = OpenOut(0);
    EXPECT_NE(again, out);
    EXPECT_NE(again, in);
}

TEST_F(Loopback, ChannelMessagesArriveAsOneEventEach) {
    uint32_t in = OpenIn(1, &n);
    uint32_t out = OpenOut(1);
    std::vector<MidiEvent> sent{Ev(MIDIKIT_TIME_NOW, 0x93, 60, 100), Ev(0, 0xB2, 7, 99),
                                Ev(MIDIKIT_TIME_NOW, 0xC5, 12, 55), Ev(MIDIKIT_TIME_NOW, 0xE0, 0x01, 0x40),
                                Ev(MIDIKIT_TIME_NOW, 0xF8)};
    EXPECT_EQ(PutAll(out, sent), 0);
    auto got = Collect(in, sent.size());
    ASSERT_EQ(got.size(), sent.size());
    for (size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(got[i].status, sent[i].status) << i;
        EXPECT_EQ(got[i].data1, (sent[i].status == 0xF8) ? 0 : sent[i].data1) << i;
    }
    EXPECT_EQ(got[0].data2, 100);
    EXPECT_EQ(got[2].data2, 0);  // a program change has one data byte
    EXPECT_EQ(got[3].data2, 0x40);
    // Events sent to port 1 do not reach port 0.
    uint32_t other = OpenIn(0);
    EXPECT_EQ(Drain(other).size(), 0u);
}

TEST_F(Loopback, SystemExclusiveTravelsOneByteEachWay) {
    uint32_t in = OpenIn(2);
    uint32_t out = OpenOut(2);
    auto dump = MakeSysex(1034, 3);
    EXPECT_EQ(PutAll(out, SysexEvents(dump)), 0);
    auto got = Collect(in, dump.size());
    ASSERT_EQ(got.size(), dump.size());
    EXPECT_EQ(SysexBytes(got), dump);
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].status, 0xF0);
        if (i > 0) { EXPECT_EQ(got[i].time, 0u) << "only the first byte carries the time"; }
    }
    EXPECT_EQ(got.front().data1, 0xF0);
    EXPECT_EQ(got.back().data1, 0xF7);
}

TEST_F(Loopback, LongDumpIsNeverDroppedByTheInputQueue) {
    uint32_t in = OpenIn(0, &n);
    uint32_t out = OpenOut(0);
    auto dump = MakeSysex(20000, 9);
    EXPECT_EQ(PutAll(out, SysexEvents(dump)), 0);
    CloseOut(out);  // everything went out; nothing drained yet
    auto got = Drain(in);
    ASSERT_EQ(got.size(), dump.size() + 16);
    std::vector<MidiEvent> sysex(got.begin(), got.begin() + long(dump.size()));
    EXPECT_EQ(SysexBytes(sysex), dump);
    for (size_t i = dump.size(); i < got.size(); ++i) EXPECT_TRUE(IsAllNotesOff(got[i]));
    EXPECT_EQ(n.Count(MIDIKIT_MSG_INPUT_DATA), 1);
}

TEST_F(Loopback, OneNotificationUntilTheQueueWasDrained) {
    uint32_t in = OpenIn(3, &n);
    uint32_t out = OpenOut(3);
    MidiEvent a = Ev(MIDIKIT_TIME_NOW, 0x90, 1, 1);
    ASSERT_EQ(kit->PutMidiOut(out, &a), 0);
    ASSERT_TRUE(n.WaitFor(MIDIKIT_MSG_INPUT_DATA, 1));
    for (int i = 0; i < 10; ++i) kit->PutMidiOut(out, &a);
    CloseOut(out);  // 10 more events and 16 All Notes Off have arrived
    EXPECT_EQ(n.Count(MIDIKIT_MSG_INPUT_DATA), 1);
    EXPECT_EQ(Drain(in).size(), 27u);  // drained: GetMidiIn returned NULL
    EXPECT_EQ(n.Count(MIDIKIT_MSG_INPUT_DATA), 1);

    out = OpenOut(3);
    kit->PutMidiOut(out, &a);
    ASSERT_TRUE(n.WaitFor(MIDIKIT_MSG_INPUT_DATA, 2));
    // Partly drained (no NULL seen) is not drained.
    kit->PutMidiOut(out, &a);
    ASSERT_TRUE(Eventually([&] { return kit->GetMidiIn(in) != nullptr; }));
    kit->PutMidiOut(out, &a);
    CloseOut(out);
    EXPECT_EQ(n.Count(MIDIKIT_MSG_INPUT_DATA), 2);
}

TEST_F(Loopback, EventsArriveOnlyWhileTheInputIsStarted) {
    uint32_t in = OpenIn(0, &n, false);
    uint32_t out = OpenOut(0);
    MidiEvent a = Ev(MIDIKIT_TIME_NOW, 0x80, 5, 0);
    kit->PutMidiOut(out, &a);
    CloseOut(out);
    EXPECT_EQ(Drain(in).size(), 0u);
    EXPECT_EQ(n.Count(MIDIKIT_MSG_INPUT_DATA), 0);

    kit->StartMidiIn(in);
    out = OpenOut(0);
    kit->PutMidiOut(out, &a);
    auto got = Collect(in, 1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].status, 0x80);

    kit->StopMidiIn(in);
    kit->PutMidiOut(out, &a);
    CloseOut(out);
    EXPECT_EQ(Drain(in).size(), 0u);
}

TEST_F(Loopback, ResetAndCloseSwitchOffNotesOnAllChannelsOnce) {
    uint32_t in = OpenIn(1);
    uint32_t out = OpenOut(1);
    kit->ResetMidiOut(out);
    auto got = Collect(in, 16);
    ASSERT_EQ(got.size(), 16u);
    for (int ch = 0; ch < 16; ++ch) {
        EXPECT_EQ(got[size_t(ch)].status, 0xB0 + ch);
        EXPECT_TRUE(IsAllNotesOff(got[size_t(ch)]));
    }
    // The toolkit resets before it closes: the notes go off once.
    CloseOut(out);
    EXPECT_EQ(Drain(in).size(), 0u);
    // A close after other events switches them off.
    out = OpenOut(1);
    MidiEvent note = Ev(MIDIKIT_TIME_NOW, 0x90, 60, 90);
    kit->PutMidiOut(out, &note);
    CloseOut(out);
    EXPECT_EQ(Drain(in).size(), 17u);
}

TEST_F(Loopback, FlushDropsTheTimedQueueAndAPartialMessage) {
    uint32_t sync = OpenClock();
    uint32_t in = OpenIn(2);
    uint32_t out = OpenOut(2, sync);
    // Timed events that wait for the (stopped) clock.
    std::vector<MidiEvent> score{Ev(240, 0x90, 60, 90), Ev(240, 0x80, 60, 0)};
    EXPECT_EQ(PutAll(out, score), 0);
    // A dump cut off before its end.
    EXPECT_EQ(PutAll(out, SysexEvents({0xF0, 0x43, 0x10})), 0);
    kit->FlushMidiOut(out);
    // The rest of the cut-off message has no start any more and is dropped.
    EXPECT_EQ(PutAll(out, SysexEvents({0x01, 0x02, 0xF7})), 0);
    kit->SetTempo(sync, 2000);
    kit->StartSync(sync);
    MidiEvent probe = Ev(MIDIKIT_TIME_NOW, 0xA1, 1, 2);
    kit->PutMidiOut(out, &probe);
    // Whatever was queued before the flush never comes; after a while only
    // the probe arrived.
    auto got = Collect(in, 1);
    std::this_thread::sleep_for(50ms);
    auto more = Drain(in);
    got.insert(got.end(), more.begin(), more.end());
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].status, 0xA1);
}

TEST_F(Loopback, PortNamesFollowTheRules) {
    std::string longName(40, 'L');
    std::string names = "Synth=Main|" + longName + "|" + longName + "|no device|No Device|" +
        "MidiKit out|Twin|Twin|Client:Client Port 20:0||Twin|  Padded |[Section|;Note|TWIN|" + std::string(30, 'P') +
        " tail|Caf\xC3\xA9 \xE2\x82\xAC \xE4\xB8\xAD|";
    for (int i = 0; i < 20; ++i) names += "\xC3\xA9";
    setenv("MIDIKIT_LOOPBACK_NAMES", names.c_str(), 1);
    auto named = Kit::Load("loopback");
    unsetenv("MIDIKIT_LOOPBACK_NAMES");
    ASSERT_TRUE(named->Ok()) << named->error;
    auto list = named->OutNames();
    EXPECT_EQ(list, named->InNames());
    ASSERT_EQ(list.size(), 16u) << "our own port and the empty name are left out";
    // Unique even to the configuration file, which ignores case.
    std::set<std::string> unique;
    for (std::string s : list) {
        for (char& c : s) c = char(std::tolower(uint8_t(c)));
        unique.insert(s);
    }
    EXPECT_EQ(unique.size(), list.size());
    for (const std::string& s : list) {
        EXPECT_NE(s.front(), ' ') << s;
        EXPECT_NE(s.back(), ' ') << s;
        EXPECT_LE(s.size(), 31u) << s;
        EXPECT_EQ(s.find('='), std::string::npos) << s;
        EXPECT_NE(s, "no device");
        EXPECT_FALSE(s.empty());
        EXPECT_NE(s.rfind("MidiKit", 0), 0u) << s;
    }
    EXPECT_EQ(list[0], "Synth-Main");
    EXPECT_EQ(list[1], std::string(31, 'L'));
    EXPECT_EQ(list[2], std::string(28, 'L') + " #2");
    EXPECT_EQ(list[5], "Twin");
    EXPECT_EQ(list[6], "Twin #2");
    EXPECT_EQ(list[7], "Client Port");
    EXPECT_EQ(list[8], "Twin #3");
    EXPECT_EQ(list[9], "Padded");
    EXPECT_EQ(list[10], "(Section");
    EXPECT_EQ(list[11], "_Note");
    EXPECT_EQ(list[12], "TWIN #4");
    EXPECT_EQ(list[13], std::string(30, 'P'));
    // Names come in UTF-8 and are listed in the editor's Windows-1252, each
    // character one byte (what the code page lacks shows as '?').
    EXPECT_EQ(list[14], "Caf\xE9 \x80 ?");
    EXPECT_EQ(list[15], std::string(20, '\xE9'));

    // The same names give the same list on the next run; the ports still
    // open under their listed numbers.
    setenv("MIDIKIT_LOOPBACK_NAMES", names.c_str(), 1);
    auto again = Kit::Load("loopback");
    unsetenv("MIDIKIT_LOOPBACK_NAMES");
    EXPECT_EQ(again->OutNames(), list);
    uint32_t in = again->OpenMidiIn(nullptr, 6, 0, MIDIKIT_OPEN_ARGUMENT);
    uint32_t out = again->OpenMidiOut(nullptr, 6, 0, MIDIKIT_OPEN_ARGUMENT);
    ASSERT_GT(in, 0x20u);
    ASSERT_GT(out, 0x20u);
    again->StartMidiIn(in);
    MidiEvent e = Ev(MIDIKIT_TIME_NOW, 0x91, 2, 3);
    again->PutMidiOut(out, &e);
    EXPECT_TRUE(Eventually([&] { return again->GetMidiIn(in) != nullptr; }));
    again->CloseMidiOut(out);
    again->CloseMidiIn(in);
}

TEST_F(Loopback, AtMostFiftyPortsEachWay) {
    std::string names;
    for (int i = 1; i <= 60; ++i) names += (i > 1 ? "|" : "") + std::string("Port ") + std::to_string(i);
    setenv("MIDIKIT_LOOPBACK_NAMES", names.c_str(), 1);
    auto many = Kit::Load("loopback");
    unsetenv("MIDIKIT_LOOPBACK_NAMES");
    ASSERT_TRUE(many->Ok()) << many->error;
    EXPECT_EQ(many->GetNumInDevices(), 50u);
    EXPECT_EQ(many->GetNumOutDevices(), 50u);
    EXPECT_EQ(many->OutNames().back(), "Port 50");
    EXPECT_EQ(many->OpenMidiOut(nullptr, 50, 0, MIDIKIT_OPEN_ARGUMENT), 0u);
}

TEST(DriverBackends, NoneListsNothingAndStillRuns) {
    auto kit = Kit::Load("none");
    ASSERT_TRUE(kit->Ok()) << kit->error;
    EXPECT_EQ(kit->GetNumInDevices(), 0u);
    EXPECT_EQ(kit->GetNumOutDevices(), 0u);
    EXPECT_EQ(kit->OpenMidiIn(nullptr, 0, 0, MIDIKIT_OPEN_ARGUMENT), 0u);
    EXPECT_EQ(kit->OpenMidiOut(nullptr, 0, 0, MIDIKIT_OPEN_ARGUMENT), 0u);
    EXPECT_NE(kit->GetMidiKitVersion(), 0);
    // The clock works without ports.
    uint32_t sync = kit->OpenSync(0, nullptr, 0, 10);
    EXPECT_GT(sync, 0x20u);
    kit->StartSync(sync);
    kit->CloseSync(sync);
}

TEST(DriverBackends, AutomaticChoiceAndForcedAlsaStillRun) {
    // Whatever this machine offers (ALSA, JACK or nothing), the library
    // loads, lists at most 50 ports each way and answers.
    for (const char* backend : {"", "alsa", "bogus"}) {
        auto kit = Kit::Load(backend);
        ASSERT_TRUE(kit->Ok()) << kit->error;
        EXPECT_LE(kit->GetNumInDevices(), 50u) << backend;
        EXPECT_LE(kit->GetNumOutDevices(), 50u) << backend;
        for (const std::string& s : kit->OutNames()) EXPECT_LE(s.size(), 31u);
        EXPECT_EQ(kit->OpenMidiOut(nullptr, 50, 0, MIDIKIT_OPEN_ARGUMENT), 0u);
    }
}
