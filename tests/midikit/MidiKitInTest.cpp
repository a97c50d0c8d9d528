// The MIDI input component over the scripted stand-in library.
#include <gtest/gtest.h>

#include <QThread>

#include <atomic>
#include <thread>
#include <vector>

#include "midikit/MidiKitIn.h"
#include "midikit/MidiKitOut.h"
#include "midikit/MidiKitSync.h"
#include "midikit/MidiKitTrack.h"
#include "tests/midikit/MidiKitTestSupport.h"

using namespace morvelant;
using namespace morvelant::test;

namespace {

class MidiKitInStub : public ::testing::Test {
protected:
    void SetUp() override {
        in.MidiKit = s.kit.get();
        in.OnMidiData = [this](LPMIDIEVENT e, bool* accept) {
            received.push_back(*e);
            if (refuse) *accept = false;
        };
    }
    void NotifyFromLibraryThread() {
        MidiKitNotifyTarget* t = s.control->InTarget();
        ASSERT_NE(t, nullptr);
        std::thread([t] { t->Notify(t->context, MIDIKIT_MSG_INPUT_DATA); }).join();
    }
    StubKit s;
    TMidiKitIn in;
    std::vector<MidiEvent> received;
    bool refuse = false;
};

}  // namespace

TEST_F(MidiKitInStub, StateRulesAndTheirMessages) {
    TMidiKitIn noKit;
    EXPECT_EQ(Thrown([&] { noKit.Open(0, MIDIKIT_OPEN_ARGUMENT); }), "No MidiKit");

    EXPECT_EQ(Thrown([&] { in.Start(); }), "cant start midiIn");
    EXPECT_EQ(Thrown([&] { in.Close(); }), "midiIn not open");
    EXPECT_EQ(Thrown([&] { in.Stop(); }), "midiIn not open");
    EXPECT_EQ(Thrown([&] { in.Reset(); }), "midiIn cant reset");

    ASSERT_TRUE(in.Open(1, MIDIKIT_OPEN_ARGUMENT));
    EXPECT_EQ(in.GetDescription(), "Stub In 1");
    EXPECT_EQ(Thrown([&] { in.Open(1, MIDIKIT_OPEN_ARGUMENT); }), "already open");
    EXPECT_EQ(Thrown([] {}), "(no exception)");
    in.Stop();  // open but not started: allowed
    EXPECT_EQ(Thrown([&] { in.Reset(); }), "midiIn cant reset");
    in.Start();
    EXPECT_TRUE(in.IsStarted());
    EXPECT_EQ(Thrown([&] { in.Start(); }), "cant start midiIn");
    EXPECT_TRUE(in.IsStarted());
    in.Reset();
    EXPECT_TRUE(in.IsStarted());
    in.Close();
    EXPECT_FALSE(in.IsOpen());
    EXPECT_FALSE(in.IsStarted());
    EXPECT_EQ(in.GetDescription(), "");
    EXPECT_EQ(s.control->Log(), "OpenMidiIn StopMidiIn StartMidiIn StopMidiIn StartMidiIn StopMidiIn CloseMidiIn ");
}

TEST_F(MidiKitInStub, OpenResultAtOrBelow0x20IsAFailure) {
    s.control->SetOpenResult(0x20);
    EXPECT_FALSE(in.Open(0, MIDIKIT_OPEN_ARGUMENT));
    EXPECT_FALSE(in.IsOpen());
    // The name is taken although the port stayed closed.
    EXPECT_EQ(in.GetDescription(), "Stub In 0");
    s.control->SetOpenResult(0x21);
    EXPECT_TRUE(in.Open(0, MIDIKIT_OPEN_ARGUMENT));
}

TEST_F(MidiKitInStub, PortLookupByName) {
    EXPECT_EQ(in.GetNumDevices(), 2u);
    EXPECT_EQ(in.GetIDFromName("Stub In 1"), 1);
    EXPECT_EQ(in.GetIDFromName("Stub In 0"), 0);
    // Output names and near misses are not input names.
    EXPECT_EQ(in.GetIDFromName("Stub Out 1"), 0xFFF0);
    EXPECT_EQ(in.GetIDFromName("stub in 1"), 0xFFF0);
    EXPECT_EQ(in.GetIDFromName(""), 0xFFF0);
}

TEST_F(MidiKitInStub, ActiveSensingIsDroppedAndItsTimeCarried) {
    TMidiKitTrack track;
    track.IsRecording(true);
    in.Attach(&track);
    ASSERT_TRUE(in.Open(0, MIDIKIT_OPEN_ARGUMENT));
    in.Start();
    s.control->PushIn(5, 0xFE);
    s.control->PushIn(7, 0xFE);
    s.control->PushIn(3, 0x90, 60, 100);
    NotifyFromLibraryThread();
    ASSERT_TRUE(PumpUntil([&] { return received.size() == 1; }));
    EXPECT_EQ(received[0].status, 0x90);
    EXPECT_EQ(received[0].time, 15u);
    ASSERT_EQ(track.Count(), 1u);
    EXPECT_EQ(track.GetEvent(0)->status, 0x90);
    EXPECT_EQ(track.GetEvent(0)->time, 15u);
    in.Detach(&track);
}

TEST_F(MidiKitInStub, RefusedEventIsNotRecordedAndCarriesItsTime) {
    TMidiKitTrack track;
    track.IsRecording(true);
    in.Attach(&track);
    ASSERT_TRUE(in.Open(0, MIDIKIT_OPEN_ARGUMENT));
    in.Start();
    in.OnMidiData = [&](LPMIDIEVENT e, bool* accept) {
        received.push_back(*e);
        *accept = e->status != 0xB0;  // refuse controllers
    };
    s.control->PushIn(10, 0xB0, 7, 1);
    s.control->PushIn(20, 0xB0, 7, 2);
    s.control->PushIn(4, 0x80, 60, 0);
    s.control->PushIn(6, 0x90, 61, 1);
    in.ControlWndProc(MIDIKIT_MSG_INPUT_DATA);
    ASSERT_EQ(received.size(), 4u);
    EXPECT_EQ(received[1].time, 30u);
    EXPECT_EQ(received[2].time, 34u);
    EXPECT_EQ(received[3].time, 6u);
    ASSERT_EQ(track.Count(), 2u);
    EXPECT_EQ(track.GetEvent(0)->time, 34u);
    EXPECT_EQ(track.GetEvent(1)->time, 6u);
    in.Detach(&track);
}

TEST_F(MidiKitInStub, OnMidiDataRunsOnTheComponentsThread) {
    ASSERT_TRUE(in.Open(0, MIDIKIT_OPEN_ARGUMENT));
    in.Start();
    QThread* handlerThread = nullptr;
    in.OnMidiData = [&](LPMIDIEVENT e, bool*) {
        handlerThread = QThread::currentThread();
        received.push_back(*e);
    };
    s.control->PushIn(0, 0x90, 1, 2);
    NotifyFromLibraryThread();
    // Nothing happens on the library's thread itself.
    EXPECT_TRUE(received.empty());
    ASSERT_TRUE(PumpUntil([&] { return received.size() == 1; }));
    EXPECT_EQ(handlerThread, App()->thread());
}

TEST_F(MidiKitInStub, AHandlerRunningANestedLoopIsNotReentered) {
    ASSERT_TRUE(in.Open(0, MIDIKIT_OPEN_ARGUMENT));
    in.Start();
    int depth = 0, maxDepth = 0;
    in.OnMidiData = [&](LPMIDIEVENT e, bool*) {
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        received.push_back(*e);
        if (received.size() == 1) {
            // A modal box: more events and notifications arrive meanwhile.
            s.control->PushIn(0, 0x90, 2, 0);
            NotifyFromLibraryThread();
            PumpFor(50);
            s.control->PushIn(0, 0x90, 3, 0);
            NotifyFromLibraryThread();
            PumpFor(50);
        }
        --depth;
    };
    s.control->PushIn(0, 0x90, 1, 0);
    NotifyFromLibraryThread();
    ASSERT_TRUE(PumpUntil([&] { return received.size() == 3; }));
    PumpFor(50);
    EXPECT_EQ(maxDepth, 1);
    ASSERT_EQ(received.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(received[i].data1, i + 1);
}

TEST_F(MidiKitInStub, EventsLeftBehindAThrowingHandlerStillArrive) {
    // The library notifies only once until its queue is read empty, so the
    // events after the one whose handler threw must come without it.
    ASSERT_TRUE(in.Open(0, MIDIKIT_OPEN_ARGUMENT));
    in.Start();
    in.OnMidiData = [this](LPMIDIEVENT e, bool*) {
        received.push_back(*e);
        if (received.size() == 1) throw EMidiKitException("handler failed");
    };
    for (uint8_t note = 1; note <= 3; ++note) s.control->PushIn(0, 0x90, note, 0);
    EXPECT_EQ(Thrown([&] { in.ControlWndProc(MIDIKIT_MSG_INPUT_DATA); }), "handler failed");
    ASSERT_EQ(received.size(), 1u);
    ASSERT_TRUE(PumpUntil([&] { return received.size() == 3; }));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(received[i].data1, i + 1);
}

TEST_F(MidiKitInStub, NotificationAfterCloseDoesNothing) {
    ASSERT_TRUE(in.Open(0, MIDIKIT_OPEN_ARGUMENT));
    in.Start();
    s.control->PushIn(0, 0x90, 1, 0);
    NotifyFromLibraryThread();
    in.Close();
    PumpFor(30);
    EXPECT_TRUE(received.empty());
}

TEST_F(MidiKitInStub, NotificationAfterTheComponentIsGoneIsDropped) {
    MidiKitNotifyTarget* t = nullptr;
    {
        TMidiKitIn other;
        other.MidiKit = s.kit.get();
        other.OnMidiData = [&](LPMIDIEVENT e, bool*) { received.push_back(*e); };
        ASSERT_TRUE(other.Open(0, MIDIKIT_OPEN_ARGUMENT));
        t = s.control->InTarget();
        s.control->PushIn(0, 0x90, 1, 0);
        t->Notify(t->context, MIDIKIT_MSG_INPUT_DATA);  // queued, then the component goes
    }
    t->Notify(t->context, MIDIKIT_MSG_INPUT_DATA);  // late call through a kept target
    PumpFor(30);
    EXPECT_TRUE(received.empty());
}

TEST_F(MidiKitInStub, DetachingTheSyncReopensWithoutItAndStopped) {
    TMidiKitSync sync, other;
    sync.MidiKit = s.kit.get();
    ASSERT_TRUE(sync.Open(0, 10));
    in.Attach(&sync);
    ASSERT_TRUE(in.Open(2, MIDIKIT_OPEN_ARGUMENT));
    EXPECT_EQ(s.control->LastSync(), sync.GetHSync());
    in.Start();
    EXPECT_EQ(Thrown([&] { in.Detach(&other); }), "sync not found");
    EXPECT_EQ(in.Sync, &sync);
    EXPECT_TRUE(in.IsStarted());

    in.Detach(&sync);
    EXPECT_EQ(in.Sync, nullptr);
    EXPECT_TRUE(in.IsOpen());
    EXPECT_FALSE(in.IsStarted());
    EXPECT_EQ(s.control->LastSync(), 0u);
    EXPECT_EQ(in.GetDescription(), "Stub In 2");
}

TEST_F(MidiKitInStub, TrackAttachAndDetachRules) {
    TMidiKitTrack first, second;
    in.Attach(&first);
    EXPECT_EQ(first.Input(), &in);
    in.Attach(&second);  // replaces, and tells the first
    EXPECT_EQ(first.Input(), nullptr);
    EXPECT_EQ(second.Input(), &in);
    EXPECT_EQ(Thrown([&] { in.Detach(&first); }), "track not found");
    EXPECT_EQ(in.GetTrack(), &second);
    in.Detach(&second);
    EXPECT_EQ(second.Input(), nullptr);
    EXPECT_EQ(in.GetTrack(), nullptr);

    // A track taken over by another input is let go by the first one, which
    // would otherwise keep writing to it (and to freed memory once it goes).
    TMidiKitIn other;
    other.Attach(&first);
    in.Attach(&first);
    EXPECT_EQ(first.Input(), &in);
    EXPECT_EQ(other.GetTrack(), nullptr);
    EXPECT_EQ(in.GetTrack(), &first);
}

// ------------------------------------------------- the real driver library

TEST(MidiKitInLoopback, EventsArriveOnTheComponentsThreadWithoutActiveSensing) {
    MIDIKIT_IN_FRESH_PROCESS();
    auto kit = LoopbackKit();
    ASSERT_GE(kit->pGetNumInDevices(), 4u);
    TMidiKitOut out;
    TMidiKitIn in;
    out.MidiKit = in.MidiKit = kit.get();
    std::vector<MidiEvent> received;
    bool onAppThread = true;
    in.OnMidiData = [&](LPMIDIEVENT e, bool*) {
        onAppThread = onAppThread && QThread::currentThread() == App()->thread();
        received.push_back(*e);
    };
    ASSERT_TRUE(in.Open(2, MIDIKIT_OPEN_ARGUMENT));
    in.Start();
    ASSERT_TRUE(out.Open(2, MIDIKIT_OPEN_ARGUMENT));
    MidiEvent sensing{MIDIKIT_TIME_NOW, 0xFE, 0, 0, 0};
    MidiEvent note{MIDIKIT_TIME_NOW, 0x91, 60, 100, 0};
    MidiEvent off{MIDIKIT_TIME_NOW, 0x81, 60, 0, 0};
    EXPECT_TRUE(out.Put(&sensing));
    EXPECT_TRUE(out.Put(&note));
    EXPECT_TRUE(out.Put(&sensing));
    EXPECT_TRUE(out.Put(&off));
    ASSERT_TRUE(PumpUntil([&] { return received.size() >= 2; }));
    PumpFor(30);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_TRUE(onAppThread);
    EXPECT_EQ(received[0].status, 0x91);
    EXPECT_EQ(received[0].data1, 60);
    EXPECT_EQ(received[0].data2, 100);
    EXPECT_EQ(received[1].status, 0x81);
    // Another input sees nothing of port 2.
    TMidiKitIn other;
    other.MidiKit = kit.get();
    ASSERT_TRUE(other.Open(3, MIDIKIT_OPEN_ARGUMENT));
    EXPECT_EQ(other.Get(), nullptr);
}

TEST(MidiKitInJack, LongSystemExclusiveArrivesIntactOneEventPerByte) {
    if (!JackReachable()) GTEST_SKIP() << "JACK server " << JackTestServerName() << " not reachable";
    MIDIKIT_IN_FRESH_PROCESS();
    JackPeer peer("s");
    auto kit = JackKit();
    TMidiKitIn in;
    in.MidiKit = kit.get();
    int port = FindListedPort(*kit, true, peer.OutName());
    ASSERT_GE(port, 0) << "peer port not listed";
    std::vector<MidiEvent> received;
    in.OnMidiData = [&](LPMIDIEVENT e, bool*) { received.push_back(*e); };

    std::vector<unsigned char> sysex(20000);
    sysex.front() = 0xF0;
    for (size_t i = 1; i + 1 < sysex.size(); ++i) sysex[i] = static_cast<unsigned char>((i * 7) & 0x7F);
    sysex.back() = 0xF7;
    // The synchronous test server loses nothing: the message arrives whole
    // the first time.
    ASSERT_TRUE(in.Open(static_cast<uint16_t>(port), MIDIKIT_OPEN_ARGUMENT));
    in.Start();
    // The port connects on the library's own thread.
    ASSERT_TRUE(PumpUntil([&] { return peer.OutConnections() > 0; }));
    std::thread sender([&] { peer.SendPaced(sysex); });
    const bool all = PumpUntil([&] { return received.size() >= sysex.size(); }, 20000);
    sender.join();
    PumpFor(50);
    in.Close();
    ASSERT_TRUE(all) << received.size() << " of " << sysex.size() << " bytes arrived";
    ASSERT_EQ(received.size(), sysex.size());
    for (size_t i = 0; i < sysex.size(); ++i) {
        ASSERT_EQ(received[i].status, 0xF0) << "byte " << i;
        ASSERT_EQ(received[i].data1, sysex[i]) << "byte " << i;
    }
}
