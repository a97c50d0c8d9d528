// The sync clock component over the scripted stand-in library.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "midikit/MidiKitSync.h"
#include "tests/midikit/MidiKitTestSupport.h"

using namespace morvelant;
using namespace morvelant::test;

namespace {

class MidiKitSyncStub : public ::testing::Test {
protected:
    void SetUp() override { sync.MidiKit = s.kit.get(); }
    StubKit s;
    TMidiKitSync sync;
};

}  // namespace

TEST(MidiKitSyncConvert, BeatsPerMinuteToMicroseconds) {
    EXPECT_EQ(TMidiKitSync::Convert(120.0), 500000u);
    EXPECT_EQ(TMidiKitSync::Convert(0.0), 500000u);
    EXPECT_EQ(TMidiKitSync::Convert(60.0), 1000000u);
    EXPECT_EQ(TMidiKitSync::Convert(7.0), 8571428u);
    EXPECT_EQ(TMidiKitSync::Convert(120), 500000u);  // the tempo box's integer
    // A negative or undefined tempo counts as 120 instead of wrapping around.
    EXPECT_EQ(TMidiKitSync::Convert(-30.0), 500000u);
    EXPECT_EQ(TMidiKitSync::Convert(-1), 500000u);
    EXPECT_EQ(TMidiKitSync::Convert(std::nan("")), 500000u);
    // A tempo so slow that it would not fit 32 bits is clamped.
    EXPECT_EQ(TMidiKitSync::Convert(0.001), 0xFFFFFFFFu);
}

TEST(MidiKitSyncConvert, MicrosecondsToBeatsPerMinute) {
    EXPECT_DOUBLE_EQ(TMidiKitSync::Convert(500000u), 120.0);
    EXPECT_DOUBLE_EQ(TMidiKitSync::Convert(1000000u), 60.0);
}

TEST_F(MidiKitSyncStub, StateRulesAndTheirMessages) {
    TMidiKitSync noKit;
    EXPECT_EQ(Thrown([&] { noKit.Open(0, 10); }), "No MidiKit");
    EXPECT_EQ(Thrown([&] { sync.Start(); }), "sync not open");
    EXPECT_EQ(Thrown([&] { sync.ReStart(); }), "sync not open");
    EXPECT_EQ(Thrown([&] { sync.Pause(false); }), "sync not open");
    EXPECT_EQ(Thrown([&] { sync.Close(); }), "sync not open");
    EXPECT_EQ(Thrown([&] { sync.Mode(1); }), "sync not open");
    EXPECT_EQ(Thrown([&] { sync.Period(5); }), "sync not open");
    sync.Stop();  // silent when closed
    EXPECT_EQ(s.control->Log(), "");

    ASSERT_TRUE(sync.Open(0, 10));
    sync.Start();
    EXPECT_TRUE(sync.IsRunning());
    sync.Pause(false);
    EXPECT_FALSE(sync.IsRunning());
    sync.ReStart();
    EXPECT_TRUE(sync.IsRunning());
    sync.Stop();
    EXPECT_FALSE(sync.IsRunning());
    sync.Close();
    EXPECT_FALSE(sync.IsOpen());
    EXPECT_EQ(s.control->Log(), "OpenSync StartSync PauseSync0 ReStartSync StopSync CloseSync ");
}

TEST_F(MidiKitSyncStub, OpenResultBoundary) {
    s.control->SetOpenResult(0x20);
    EXPECT_FALSE(sync.Open(0, 10));
    EXPECT_EQ(sync.GetHSync(), 0u);
    s.control->SetOpenResult(0x21);
    EXPECT_TRUE(sync.Open(0, 10));
    EXPECT_EQ(sync.GetHSync(), 0x21u);
    // While open, a second Open only stores the values.
    EXPECT_TRUE(sync.Open(3, 20));
    EXPECT_EQ(sync.GetMode(), 3);
    EXPECT_EQ(sync.GetPeriod(), 20);
    EXPECT_EQ(s.control->Log(), "OpenSync OpenSync ");
}

TEST_F(MidiKitSyncStub, ModeAndPeriodReopenInPlaceAndMayClose) {
    ASSERT_TRUE(sync.Open(0, 10));
    sync.Mode(2);
    EXPECT_EQ(sync.GetMode(), 2);
    EXPECT_EQ(sync.GetPeriod(), 10);
    sync.Period(25);
    EXPECT_EQ(sync.GetPeriod(), 25);
    s.control->SetOpenResult(0x10);
    sync.Period(30);
    EXPECT_FALSE(sync.IsOpen());
    EXPECT_EQ(sync.GetHSync(), 0u);
}

TEST_F(MidiKitSyncStub, TempoAndResolution) {
    ASSERT_TRUE(sync.Open(0, 10));
    EXPECT_TRUE(sync.Tempo(TMidiKitSync::Convert(90.0)));
    EXPECT_EQ(sync.Tempo(), 666666u);
    sync.Resolution(480);
    EXPECT_EQ(sync.Resolution(), 480);
}

TEST_F(MidiKitSyncStub, BeatsAndDoneArriveOnTheComponentsThread) {
    int beats = 0, done = 0;
    QThread* thread = nullptr;
    ASSERT_TRUE(sync.Open(0, 10));
    MidiKitNotifyTarget* t = s.control->SyncTarget();
    ASSERT_NE(t, nullptr);
    // Without handlers, the messages do nothing.
    std::thread([t] { t->Notify(t->context, MIDIKIT_MSG_SYNC_BEAT); }).join();
    PumpFor(20);

    sync.OnMidiBeat = [&](TMidiKitSync* sender) {
        EXPECT_EQ(sender, &sync);
        thread = QThread::currentThread();
        ++beats;
    };
    sync.OnSyncDone = [&](TMidiKitSync*) { ++done; };
    std::thread([t] {
        // Beats are never merged: each one counts.
        for (int i = 0; i < 5; ++i) t->Notify(t->context, MIDIKIT_MSG_SYNC_BEAT);
        t->Notify(t->context, MIDIKIT_MSG_SYNC_DONE);
    }).join();
    ASSERT_TRUE(PumpUntil([&] { return done == 1; }));
    EXPECT_EQ(beats, 5);
    EXPECT_EQ(thread, App()->thread());
}

TEST_F(MidiKitSyncStub, DestroyingARunningSyncStopsAndClosesIt) {
    {
        TMidiKitSync other;
        other.MidiKit = s.kit.get();
        ASSERT_TRUE(other.Open(0, 10));
        other.Start();
    }
    EXPECT_EQ(s.control->Log(), "OpenSync StartSync StopSync CloseSync ");
}
