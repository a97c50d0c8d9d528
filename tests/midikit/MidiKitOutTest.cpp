// The MIDI output component over the scripted stand-in library.
#include <gtest/gtest.h>

#include <thread>

#include "midikit/MidiKitIn.h"
#include "midikit/MidiKitOut.h"
#include "midikit/MidiKitScore.h"
#include "midikit/MidiKitSync.h"
#include "midikit/MidiKitTrack.h"
#include "tests/midikit/MidiKitTestSupport.h"

using namespace morvelant;
using namespace morvelant::test;

namespace {

class MidiKitOutStub : public ::testing::Test {
protected:
    void SetUp() override { out.MidiKit = s.kit.get(); }
    StubKit s;
    TMidiKitOut out;
};

}  // namespace

TEST_F(MidiKitOutStub, StateRulesAndTheirMessages) {
    EXPECT_EQ(Thrown([&] { out.Close(); }), "midiOut not open");
    EXPECT_EQ(Thrown([&] { out.Reset(); }), "midiOut not open");
    EXPECT_EQ(Thrown([&] { out.Flush(); }), "midiOut not open");
    ASSERT_TRUE(out.Open(1, MIDIKIT_OPEN_ARGUMENT));
    EXPECT_EQ(out.GetDescription(), "Stub Out 1");
    EXPECT_EQ(Thrown([&] { out.Open(1, MIDIKIT_OPEN_ARGUMENT); }), "already open");
    out.Flush();
    out.Close();
    EXPECT_FALSE(out.IsOpen());
    EXPECT_EQ(out.GetDescription(), "");
    // Close resets the port before closing it.
    EXPECT_EQ(s.control->Log(), "OpenMidiOut FlushMidiOut ResetMidiOut CloseMidiOut ");
}

TEST_F(MidiKitOutStub, NoMidiKitIsCheckedBeforeTheOpenState) {
    TMidiKitOut other;
    EXPECT_EQ(Thrown([&] { other.Open(0, MIDIKIT_OPEN_ARGUMENT); }), "No MidiKit");
    ASSERT_TRUE(out.Open(0, MIDIKIT_OPEN_ARGUMENT));
    out.MidiKit = nullptr;
    EXPECT_EQ(Thrown([&] { out.Open(0, MIDIKIT_OPEN_ARGUMENT); }), "No MidiKit");
    out.MidiKit = s.kit.get();
}

TEST_F(MidiKitOutStub, PutOnAClosedPortSucceedsAndSendsNothing) {
    MidiEvent e{0xFFFFFFFFu, 0x90, 60, 100, 0};
    EXPECT_TRUE(out.Put(&e));
    s.control->SetOpenResult(0x20);
    EXPECT_FALSE(out.Open(0, MIDIKIT_OPEN_ARGUMENT));
    EXPECT_EQ(out.GetDescription(), "Stub Out 0");
    EXPECT_TRUE(out.Put(&e));
    EXPECT_EQ(s.control->OutCount(), 0);
}

TEST_F(MidiKitOutStub, PutReportsAFullQueue) {
    ASSERT_TRUE(out.Open(0, MIDIKIT_OPEN_ARGUMENT));
    MidiEvent e{0xFFFFFFFFu, 0xB0, 7, 99, 0};
    s.control->SetPutResult(1);
    EXPECT_FALSE(out.Put(&e));
    EXPECT_EQ(s.control->OutCount(), 0);
    s.control->SetPutResult(0);
    EXPECT_TRUE(out.Put(&e));
    ASSERT_EQ(s.control->OutCount(), 1);
    EXPECT_EQ(s.control->OutEvents()[0].data2, 99);
}

TEST_F(MidiKitOutStub, PortLookupByName) {
    EXPECT_EQ(out.GetNumDevices(), 3u);
    EXPECT_EQ(out.GetIDFromName("Stub Out 2"), 2);
    EXPECT_EQ(out.GetIDFromName("Stub In 0"), 0xFFF0);
}

TEST_F(MidiKitOutStub, BufferReadyRefillsTheScoreThenRaisesOutBufferReady) {
    std::vector<std::string> order;
    TMidiKitScore score(1);
    TMidiKitTrack* track = score.Get(0);
    ASSERT_NE(track, nullptr);
    track->IsRecording(true);
    for (uint8_t i = 0; i < 3; ++i) {
        MidiEvent e{10, 0x90, i, 64, 0};
        track->Write(&e);
    }
    track->IsRecording(false);

    // Neither score nor handler: nothing happens.
    ASSERT_TRUE(out.Open(0, MIDIKIT_OPEN_ARGUMENT));
    out.ControlWndProc(MIDIKIT_MSG_BUFFER_READY);
    EXPECT_EQ(s.control->OutCount(), 0);

    out.OutBufferReady = [&](TMidiKitOut* sender) {
        EXPECT_EQ(sender, &out);
        order.push_back("ready after " + std::to_string(s.control->OutCount()));
    };
    out.Attach(&score);
    // The notification arrives on a library thread and is handled here.
    MidiKitNotifyTarget* t = s.control->OutTarget();
    std::thread([t] { t->Notify(t->context, MIDIKIT_MSG_BUFFER_READY); }).join();
    ASSERT_TRUE(PumpUntil([&] { return !order.empty(); }));
    EXPECT_EQ(order[0], "ready after 3");
    out.Detach(&score);
}

TEST_F(MidiKitOutStub, RefillAskedForDuringAFailingHandlerStillComes) {
    // The library reports room once; a report that came while the handler
    // ran a nested loop must not be lost when the handler then throws.
    int calls = 0;
    out.OutBufferReady = [&](TMidiKitOut*) {
        if (++calls == 1) {
            out.ControlWndProc(MIDIKIT_MSG_BUFFER_READY);  // nested delivery
            throw EMidiKitException("handler failed");
        }
    };
    EXPECT_EQ(Thrown([&] { out.ControlWndProc(MIDIKIT_MSG_BUFFER_READY); }), "handler failed");
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(PumpUntil([&] { return calls == 2; }));
}

TEST_F(MidiKitOutStub, ScoreAttachAndDetachRules) {
    TMidiKitScore first, second;
    out.Attach(&first);
    out.Attach(&second);  // replaced without notice
    EXPECT_EQ(Thrown([&] { out.Detach(&first); }), "score not found");
    EXPECT_EQ(out.GetScore(), &second);
    out.Detach(&second);
    EXPECT_EQ(out.GetScore(), nullptr);
    EXPECT_EQ(Thrown([&] { out.Detach(&second); }), "score not found");
}

TEST_F(MidiKitOutStub, DetachingTheSyncReopensWithoutIt) {
    TMidiKitSync sync, other;
    sync.MidiKit = s.kit.get();
    ASSERT_TRUE(sync.Open(0, 10));
    out.Attach(&sync);
    ASSERT_TRUE(out.Open(1, MIDIKIT_OPEN_ARGUMENT));
    EXPECT_EQ(s.control->LastSync(), sync.GetHSync());
    EXPECT_EQ(Thrown([&] { out.Detach(&other); }), "sync not found");
    EXPECT_EQ(out.Sync, &sync);
    out.Detach(&sync);
    EXPECT_EQ(out.Sync, nullptr);
    EXPECT_TRUE(out.IsOpen());
    EXPECT_EQ(s.control->LastSync(), 0u);
    EXPECT_EQ(s.control->Log(), "OpenSync OpenMidiOut ResetMidiOut CloseMidiOut OpenMidiOut ");
}

TEST_F(MidiKitOutStub, DestructionClosesAnOpenPort) {
    {
        TMidiKitOut other;
        other.MidiKit = s.kit.get();
        ASSERT_TRUE(other.Open(0, MIDIKIT_OPEN_ARGUMENT));
    }
    EXPECT_EQ(s.control->Log(), "OpenMidiOut ResetMidiOut CloseMidiOut ");
}

// ------------------------------------------------- the real driver library

TEST(MidiKitOutLoopback, PutOnAClosedPortSendsNothing) {
    MIDIKIT_IN_FRESH_PROCESS();
    auto kit = LoopbackKit();
    TMidiKitOut out;
    TMidiKitIn in;
    out.MidiKit = in.MidiKit = kit.get();
    std::vector<MidiEvent> received;
    in.OnMidiData = [&](LPMIDIEVENT e, bool*) { received.push_back(*e); };
    ASSERT_TRUE(in.Open(1, MIDIKIT_OPEN_ARGUMENT));
    in.Start();
    MidiEvent dropped{MIDIKIT_TIME_NOW, 0x90, 1, 1, 0};
    EXPECT_TRUE(out.Put(&dropped));  // never opened
    ASSERT_TRUE(out.Open(1, MIDIKIT_OPEN_ARGUMENT));
    out.Close();
    EXPECT_TRUE(out.Put(&dropped));  // closed again
    ASSERT_TRUE(out.Open(1, MIDIKIT_OPEN_ARGUMENT));
    MidiEvent marker{MIDIKIT_TIME_NOW, 0x90, 2, 2, 0};
    EXPECT_TRUE(out.Put(&marker));
    auto notes = [&] {
        // Closing resets the port, which sends controller messages; only
        // the notes matter here.
        std::vector<MidiEvent> n;
        for (const MidiEvent& e : received)
            if ((e.status & 0xF0) == 0x90) n.push_back(e);
        return n;
    };
    ASSERT_TRUE(PumpUntil([&] { return !notes().empty(); }));
    PumpFor(30);
    ASSERT_EQ(notes().size(), 1u);
    EXPECT_EQ(notes()[0].data1, 2);
}

TEST(MidiKitOutLoopback, ScorePacedBySyncPlaysInOrderThenReportsDone) {
    MIDIKIT_IN_FRESH_PROCESS();
    auto kit = LoopbackKit();
    TMidiKitSync sync;
    TMidiKitOut out;
    TMidiKitIn in;
    sync.MidiKit = out.MidiKit = in.MidiKit = kit.get();
    ASSERT_TRUE(sync.Open(0, 10));
    ASSERT_TRUE(sync.Tempo(TMidiKitSync::Convert(600.0)));
    sync.Resolution(96);
    out.Attach(&sync);
    std::vector<MidiEvent> received;
    int beats = 0, done = 0;
    sync.OnMidiBeat = [&](TMidiKitSync*) { ++beats; };
    sync.OnSyncDone = [&](TMidiKitSync* s) {
        ++done;
        s->Pause(false);
    };
    in.OnMidiData = [&](LPMIDIEVENT e, bool*) { received.push_back(*e); };
    ASSERT_TRUE(in.Open(0, MIDIKIT_OPEN_ARGUMENT));
    in.Start();
    ASSERT_TRUE(out.Open(0, MIDIKIT_OPEN_ARGUMENT));

    TMidiKitScore score(2);
    for (int t = 0; t < 2; ++t) {
        TMidiKitTrack* track = score.Get(t);
        track->IsRecording(true);
        for (uint8_t i = 0; i < 4; ++i) {
            MidiEvent e{24, static_cast<uint8_t>(0x90 + t), static_cast<uint8_t>(10 * t + i), 1, 0};
            track->Write(&e);
        }
        track->IsRecording(false);
    }
    out.Attach(&score);
    score.StartOut(&out);
    sync.Start();
    ASSERT_TRUE(PumpUntil([&] { return done >= 1; }, 10000));
    ASSERT_EQ(received.size(), 8u);
    // Merged by time, the lower track first on equal times.
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(received[i].status, 0x90 + i % 2) << i;
        EXPECT_EQ(received[i].data1, 10 * (i % 2) + i / 2) << i;
    }
    EXPECT_GE(beats, 1);
    out.Detach(&score);
}

TEST(MidiKitOutJack, ExactBytesReachThePeer) {
    if (!JackReachable()) GTEST_SKIP() << "JACK server " << JackTestServerName() << " not reachable";
    MIDIKIT_IN_FRESH_PROCESS();
    JackPeer peer("o");
    auto kit = JackKit();
    TMidiKitOut out;
    out.MidiKit = kit.get();
    int port = FindListedPort(*kit, false, peer.InName());
    ASSERT_GE(port, 0) << "peer port not listed";
    ASSERT_TRUE(out.Open(static_cast<uint16_t>(port), MIDIKIT_OPEN_ARGUMENT));
    EXPECT_NE(out.GetDescription().find(peer.InName()), std::string::npos);

    MidiEvent channel[] = {
        {MIDIKIT_TIME_NOW, 0x93, 64, 127, 0},  // note on
        {MIDIKIT_TIME_NOW, 0xB5, 7, 0, 0},  // controller
        {MIDIKIT_TIME_NOW, 0xC2, 42, 0, 0},  // program change: 2 bytes
        {MIDIKIT_TIME_NOW, 0xEF, 0x00, 0x7F, 0},  // pitch bend
        {MIDIKIT_TIME_NOW, 0xD1, 99, 0, 0},  // channel pressure: 2 bytes
    };
    for (MidiEvent& e : channel) ASSERT_TRUE(out.Put(&e));
    // A dump of 1,034 bytes, one event per byte, leaves as one message.
    std::vector<unsigned char> dump(1034);
    dump.front() = 0xF0;
    for (size_t i = 1; i + 1 < dump.size(); ++i) dump[i] = static_cast<unsigned char>(i & 0x7F);
    dump.back() = 0xF7;
    for (unsigned char b : dump) {
        MidiEvent e{0, 0xF0, b, 0, 0};
        while (!out.Put(&e)) PumpFor(1);
    }
    const bool all = PumpUntil([&] { return peer.Count() >= 6; }, 10000);
    PumpFor(100);
    auto got = peer.Messages();
    ASSERT_TRUE(all) << "the peer has " << got.size() << " of 6 messages, the first "
                     << (got.empty() ? 0 : int(got[0].size())) << " bytes long";
    ASSERT_EQ(got.size(), 6u);
    using V = std::vector<unsigned char>;
    EXPECT_EQ(got[0], (V{0x93, 64, 127}));
    EXPECT_EQ(got[1], (V{0xB5, 7, 0}));
    EXPECT_EQ(got[2], (V{0xC2, 42}));
    EXPECT_EQ(got[3], (V{0xEF, 0x00, 0x7F}));
    EXPECT_EQ(got[4], (V{0xD1, 99}));
    EXPECT_EQ(got[5], dump);
}
