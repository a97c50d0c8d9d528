// The sync clock and timed output over the loopback backend: beats, run done,
// pause and restart, the bounded timed queue with its buffer-ready
// notification, and the dump path that a full score never blocks. Only
// orders and counts are checked, never durations.
#include <gtest/gtest.h>

#include <thread>

#include "tests/driver/DriverTestSupport.h"

using namespace morvelant::drivertest;
using namespace std::chrono_literals;

namespace {

class Clock : public ::testing::Test {
protected:
    void SetUp() override {
        kit = Kit::Load("loopback");
        ASSERT_TRUE(kit->Ok()) << kit->error;
        sync = kit->OpenSync(0, &clockN.target, 0, 10);
        ASSERT_GT(sync, 0x20u);
        in = kit->OpenMidiIn(nullptr, 0, 0, MIDIKIT_OPEN_ARGUMENT);
        ASSERT_GT(in, 0x20u);
        kit->StartMidiIn(in);
        out = kit->OpenMidiOut(&outN.target, 0, sync, MIDIKIT_OPEN_ARGUMENT);
        ASSERT_GT(out, 0x20u);
    }
    void TearDown() override {
        kit->CloseMidiOut(out);
        kit->CloseMidiIn(in);
        kit->CloseSync(sync);
        kit.reset();
    }
    std::vector<MidiEvent> Drain() {
        std::vector<MidiEvent> v;
        while (LPMIDIEVENT e = kit->GetMidiIn(in)) v.push_back(*e);
        return v;
    }
    std::vector<MidiEvent> Collect(size_t n) {
        std::vector<MidiEvent> all;
        Eventually([&] {
            auto more = Drain();
            all.insert(all.end(), more.begin(), more.end());
            return all.size() >= n;
        });
        return all;
    }
    uint16_t Put(MidiEvent e) { return kit->PutMidiOut(out, &e); }
    // A score of n notes, one per beat.
    void PutBeats(int n) {
        for (int i = 0; i < n; ++i) ASSERT_EQ(Put(Ev(480, 0x90, uint8_t(i), 64)), 0);
    }

    Notifications clockN, outN;
    std::unique_ptr<Kit> kit;
    uint32_t sync = 0, in = 0, out = 0;
};

}  // namespace

TEST_F(Clock, DefaultsAndTempoRules) {
    EXPECT_EQ(kit->GetResolution(sync), 480u);
    EXPECT_EQ(kit->GetTempo(sync), 500000u);
    EXPECT_NE(kit->SetTempo(sync, 0), 0) << "a tempo of 0 is refused";
    EXPECT_EQ(kit->GetTempo(sync), 500000u);
    EXPECT_EQ(kit->SetTempo(sync, 8571428), 0);
    EXPECT_EQ(kit->GetTempo(sync), 8571428u);
    kit->SetResolution(sync, 0);  // refused silently
    EXPECT_EQ(kit->GetResolution(sync), 480u);
    kit->SetResolution(sync, 96);
    EXPECT_EQ(kit->GetResolution(sync), 96u);

    // Opening again with the handle keeps the clock (0xFFFF keeps a value).
    EXPECT_EQ(kit->OpenSync(sync, &clockN.target, 0xFFFF, 0xFFFF), sync);
    EXPECT_EQ(kit->OpenSync(sync, nullptr, 0, 0xFFFF), sync);
    EXPECT_EQ(kit->GetTempo(sync), 8571428u);

    uint32_t pos = 99;
    EXPECT_EQ(kit->GetPosition(sync, &pos), 0u);
    EXPECT_EQ(pos, 0u);
    EXPECT_EQ(kit->GetPosition(sync, nullptr), 0u);
}

TEST_F(Clock, DeltaZeroGoesOutWithTheClockStopped) {
    // A dump and a channel event with delta 0 leave at once; the clock has
    // never been started.
    auto dump = MakeSysex(300);
    for (const MidiEvent& e : SysexEvents(dump)) ASSERT_EQ(Put(e), 0);
    ASSERT_EQ(Put(Ev(0, 0xB0, 7, 100)), 0);
    auto got = Collect(dump.size() + 1);
    ASSERT_EQ(got.size(), dump.size() + 1);
    EXPECT_EQ(got.back().status, 0xB0);
    EXPECT_EQ(clockN.Count(MIDIKIT_MSG_SYNC_DONE), 0);
}

TEST_F(Clock, TimedEventsWaitForTheClock) {
    ASSERT_EQ(Put(Ev(0, 0x90, 1, 1)), 0);  // due at once
    // No MIDI message: sends nothing, but its delta still holds back the
    // event after it.
    ASSERT_EQ(Put(Ev(240, 0x00, 0, 0)), 0);
    ASSERT_EQ(Put(Ev(0, 0x90, 5, 5)), 0);
    ASSERT_EQ(Put(Ev(480, 0x90, 2, 2)), 0);  // one quarter later
    ASSERT_EQ(Put(Ev(0, 0x90, 3, 3)), 0);  // with the one before it
    ASSERT_EQ(Put(Ev(MIDIKIT_TIME_NOW, 0xC0, 9)), 0);
    auto first = Collect(2);
    // Only what needs no clock has arrived, whatever the wait.
    std::this_thread::sleep_for(30ms);
    auto more = Drain();
    first.insert(first.end(), more.begin(), more.end());
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].data1, 1);
    EXPECT_EQ(first[1].status, 0xC0);

    kit->SetTempo(sync, 20000);
    kit->StartSync(sync);
    auto rest = Collect(3);
    ASSERT_EQ(rest.size(), 3u);
    EXPECT_EQ(rest[0].data1, 5);
    EXPECT_EQ(rest[1].data1, 2);
    EXPECT_EQ(rest[2].data1, 3);
    EXPECT_TRUE(clockN.WaitFor(MIDIKIT_MSG_SYNC_DONE, 1));
}

TEST_F(Clock, BeatsComeOncePerQuarterAndRunDoneOncePerRun) {
    kit->SetTempo(sync, 10000);  // 100 beats a second
    PutBeats(4);
    kit->StartSync(sync);
    ASSERT_TRUE(clockN.WaitFor(MIDIKIT_MSG_SYNC_DONE, 1));
    // Run done comes once the last note (on beat 4) went out.
    auto got = Collect(4);
    EXPECT_EQ(got.size(), 4u);
    int beatsAtDone = 0;
    for (uint32_t m : clockN.Sequence()) {
        if (m == MIDIKIT_MSG_SYNC_DONE) break;
        if (m == MIDIKIT_MSG_SYNC_BEAT) ++beatsAtDone;
    }
    EXPECT_GE(beatsAtDone, 3);
    // The clock goes on beating; the run is not done a second time.
    int beats = clockN.Count(MIDIKIT_MSG_SYNC_BEAT);
    ASSERT_TRUE(clockN.WaitFor(MIDIKIT_MSG_SYNC_BEAT, beats + 10));
    EXPECT_EQ(clockN.Count(MIDIKIT_MSG_SYNC_DONE), 1);

    // The editor loops: pause, flush, the same score again, start.
    kit->PauseSync(sync, 0);
    kit->FlushMidiOut(out);
    PutBeats(2);
    kit->StartSync(sync);
    ASSERT_TRUE(clockN.WaitFor(MIDIKIT_MSG_SYNC_DONE, 2));
    EXPECT_EQ(Collect(2).size(), 2u);
}

TEST_F(Clock, ARunThatSentNothingIsNeverDone) {
    kit->SetTempo(sync, 5000);
    kit->StartSync(sync);
    ASSERT_TRUE(clockN.WaitFor(MIDIKIT_MSG_SYNC_BEAT, 20));
    EXPECT_EQ(clockN.Count(MIDIKIT_MSG_SYNC_DONE), 0);
    // Immediate events and dumps are not a run either.
    Put(Ev(MIDIKIT_TIME_NOW, 0x90, 1, 1));
    for (const MidiEvent& e : SysexEvents(MakeSysex(20))) Put(e);
    int beats = clockN.Count(MIDIKIT_MSG_SYNC_BEAT);
    ASSERT_TRUE(clockN.WaitFor(MIDIKIT_MSG_SYNC_BEAT, beats + 10));
    EXPECT_EQ(clockN.Count(MIDIKIT_MSG_SYNC_DONE), 0);
}

TEST_F(Clock, PauseHoldsRestartContinuesStopReturnsToZero) {
    kit->SetTempo(sync, 5000);
    kit->StartSync(sync);
    ASSERT_TRUE(clockN.WaitFor(MIDIKIT_MSG_SYNC_BEAT, 3));
    kit->PauseSync(sync, 1);
    int beats = clockN.Count(MIDIKIT_MSG_SYNC_BEAT);
    uint32_t p1 = 0, p2 = 0;
    kit->GetPosition(sync, &p1);
    EXPECT_GE(p1, 3u * 480u);
    std::this_thread::sleep_for(40ms);  // eight beats' worth
    kit->GetPosition(sync, &p2);
    EXPECT_EQ(p1, p2);
    EXPECT_LE(clockN.Count(MIDIKIT_MSG_SYNC_BEAT), beats + 1);

    // A timed event queued while paused waits for the restart.
    ASSERT_EQ(Put(Ev(1, 0x90, 7, 7)), 0);
    std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(Drain().empty());
    kit->ReStartSync(sync);
    EXPECT_EQ(Collect(1).size(), 1u);
    ASSERT_TRUE(clockN.WaitFor(MIDIKIT_MSG_SYNC_BEAT, beats + 3));
    kit->GetPosition(sync, &p2);
    EXPECT_GT(p2, p1);

    kit->StopSync(sync);
    kit->GetPosition(sync, &p2);
    EXPECT_EQ(p2, 0u);
}

TEST_F(Clock, AFullQueueRefusesAndReportsRoomOnce) {
    kit->SetTempo(sync, 1000);
    // A short score drains without any buffer-ready.
    for (int i = 0; i < 5; ++i) ASSERT_EQ(Put(Ev(10, 0x90, 1, 1)), 0);
    kit->StartSync(sync);
    EXPECT_EQ(Collect(5).size(), 5u);
    ASSERT_TRUE(clockN.WaitFor(MIDIKIT_MSG_SYNC_DONE, 1));
    EXPECT_EQ(outN.Count(MIDIKIT_MSG_BUFFER_READY), 0);
    kit->PauseSync(sync, 0);
    kit->FlushMidiOut(out);

    // Fill the timed queue while the clock stands.
    int taken = 0;
    while (Put(Ev(4, 0x90, 2, 2)) == 0 && taken < 100000) ++taken;
    EXPECT_GE(taken, 64);
    EXPECT_LT(taken, 100000) << "the timed queue is bounded";
    EXPECT_NE(Put(Ev(4, 0x90, 2, 2)), 0);
    // Delta-0 events and a whole dump are still taken while it is full, and
    // the dump goes out with the clock stopped.
    EXPECT_EQ(Put(Ev(0, 0x80, 2, 0)), 0);
    auto dump = MakeSysex(1034);
    for (const MidiEvent& e : SysexEvents(dump)) ASSERT_EQ(Put(e), 0);
    auto got = Collect(dump.size());
    EXPECT_EQ(got.size(), dump.size());
    EXPECT_EQ(outN.Count(MIDIKIT_MSG_BUFFER_READY), 0);

    // The clock drains the queue: one buffer-ready, then the rest goes out
    // without another.
    kit->StartSync(sync);
    ASSERT_TRUE(outN.WaitFor(MIDIKIT_MSG_BUFFER_READY, 1));
    auto rest = Collect(size_t(taken) + 1);
    EXPECT_EQ(rest.size(), size_t(taken) + 1);
    // Not done while the refused event is still owed by the score.
    EXPECT_EQ(clockN.Count(MIDIKIT_MSG_SYNC_DONE), 1);
    ASSERT_EQ(Put(Ev(4, 0x90, 3, 3)), 0);  // the refused event, put again
    ASSERT_TRUE(clockN.WaitFor(MIDIKIT_MSG_SYNC_DONE, 2));
    EXPECT_EQ(outN.Count(MIDIKIT_MSG_BUFFER_READY), 1);
}

TEST_F(Clock, ClosingTheClockReleasesWhatWaitedForIt) {
    ASSERT_EQ(Put(Ev(100000, 0x90, 5, 5)), 0);
    kit->CloseSync(sync);
    auto got = Collect(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].data1, 5);
    sync = 0;
}

TEST_F(Clock, NotifyTargetsMayCallBackIntoTheLibrary) {
    // The toolkit drains from its own thread; a target that calls straight
    // back (even closing its own handle) must not deadlock.
    uint32_t in2 = kit->OpenMidiIn(nullptr, 1, 0, MIDIKIT_OPEN_ARGUMENT);
    Notifications inN;
    std::vector<MidiEvent> seen;
    std::atomic<uint32_t> handle{0};
    inN.hook = [&](uint32_t) {
        while (LPMIDIEVENT e = kit->GetMidiIn(handle)) seen.push_back(*e);
        kit->CloseMidiIn(handle);
    };
    kit->CloseMidiIn(in2);
    handle = kit->OpenMidiIn(&inN.target, 1, 0, MIDIKIT_OPEN_ARGUMENT);
    ASSERT_GT(handle.load(), 0x20u);
    kit->StartMidiIn(handle);
    uint32_t out2 = kit->OpenMidiOut(nullptr, 1, 0, MIDIKIT_OPEN_ARGUMENT);
    MidiEvent e = Ev(MIDIKIT_TIME_NOW, 0x90, 1, 2);
    kit->PutMidiOut(out2, &e);
    ASSERT_TRUE(inN.WaitFor(MIDIKIT_MSG_INPUT_DATA, 1));
    kit->CloseMidiOut(out2);
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_EQ(kit->GetMidiIn(handle), nullptr);  // closed from inside

    clockN.hook = [&](uint32_t m) {
        if (m == MIDIKIT_MSG_SYNC_BEAT) kit->PauseSync(sync, 1);
    };
    kit->SetTempo(sync, 5000);
    kit->StartSync(sync);
    ASSERT_TRUE(clockN.WaitFor(MIDIKIT_MSG_SYNC_BEAT, 1));
    clockN.hook = nullptr;
}
