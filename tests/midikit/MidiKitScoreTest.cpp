// Score: merge order across tracks, system-exclusive messages kept whole,
// batch boundaries, pacing by a refusing receiver, and the track container.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "midikit/MidiKitScore.h"
#include "midikit/MidiKitTrack.h"

using morvelant::TMidiKitScore;
using morvelant::TMidiKitTrack;

namespace {

MidiEvent E(uint32_t delta, uint8_t status, uint8_t d1 = 0, uint8_t d2 = 0) {
    return MidiEvent{delta, status, d1, d2, 0};
}

// A track from (absolute time, status, data1) triples.
TMidiKitTrack* TrackAt(const std::vector<std::tuple<uint32_t, uint8_t, uint8_t>>& events) {
    auto* t = new TMidiKitTrack;
    uint32_t last = 0;
    for (auto [abs, status, d1] : events) {
        const MidiEvent e = E(abs - last, status, d1);
        t->InsertEvent(&e, TMidiKitTrack::LastIndex);
        last = abs;
    }
    return t;
}

// "delta:status/data1" per event, as the receiver got them.
struct Collector {
    std::vector<MidiEvent> got;
    int refuseAt = -1;  // refuse the call with this number (0-based), once
    int calls = 0;
    TMidiKitScore::EventSink Sink() {
        return [this](MidiEvent* e) {
            if (calls++ == refuseAt) return false;
            got.push_back(*e);
            return true;
        };
    }
    std::string Text() const {
        std::string s;
        for (const MidiEvent& e : got) {
            char buf[32];
            std::snprintf(buf, sizeof buf, "%u:%02X/%02X ", e.time, e.status, e.data1);
            s += buf;
        }
        return s;
    }
};

TEST(MidiKitScore, MergesByAbsoluteTimeWithTiesToTheLowerTrack) {
    TMidiKitScore score(0);
    score.Add(TrackAt({{0, 0x90, 1}, {10, 0x90, 2}}));
    score.Add(TrackAt({{10, 0x91, 3}, {20, 0x91, 4}}));
    Collector c;
    score.StartOut(c.Sink());
    EXPECT_EQ(c.Text(), "0:90/01 10:90/02 0:91/03 10:91/04 ");
}

TEST(MidiKitScore, SysexMessageIsSentWholeBeforeEventsInsideIt) {
    TMidiKitScore score;
    std::vector<std::tuple<uint32_t, uint8_t, uint8_t>> sysex;
    for (uint32_t i = 0; i < 10; ++i) sysex.emplace_back(i, 0xF0, i == 0 ? 0xF0 : (i == 9 ? 0xF7 : 0x10 + i));
    score.Add(TrackAt({{5, 0x90, 0x40}}));
    score.Add(TrackAt(sysex));
    Collector c;
    score.StartOut(c.Sink());
    EXPECT_EQ(c.Text(),
              "0:F0/F0 1:F0/11 1:F0/12 1:F0/13 1:F0/14 1:F0/15 1:F0/16 1:F0/17 1:F0/18 1:F0/F7 "
              "0:90/40 ");
}

TEST(MidiKitScore, OnlySysexStatusStartsOrEndsSysexMode) {
    // A note whose data byte is 0xF0 must not hold back the other tracks
    // (nor a data byte of 0xF7 end a real message).
    TMidiKitScore score;
    score.Add(TrackAt({{0, 0x90, 0xF0}, {100, 0x80, 0xF0}}));
    score.Add(TrackAt({{50, 0xB0, 0x07}}));
    score.Add(TrackAt({{60, 0xF0, 0xF0}, {70, 0xF0, 0x43}, {90, 0xF0, 0xF7}}));
    score.Add(TrackAt({{65, 0xA0, 0xF7}, {80, 0xA0, 0x01}}));
    Collector c;
    score.StartOut(c.Sink());
    EXPECT_EQ(c.Text(), "0:90/F0 50:B0/07 10:F0/F0 10:F0/43 20:F0/F7 0:A0/F7 0:A0/01 10:80/F0 ");
}

TEST(MidiKitScore, WaitingBehindSysexDoesNotShiftLaterEvents) {
    // The note at 5 waits for the message (0..9) and goes out at once after
    // it; the note at 20 still comes 20 ticks after the start.
    TMidiKitScore score;
    score.Add(TrackAt({{0, 0xF0, 0xF0}, {9, 0xF0, 0xF7}}));
    score.Add(TrackAt({{5, 0x90, 1}, {20, 0x90, 2}}));
    Collector c;
    score.StartOut(c.Sink());
    EXPECT_EQ(c.Text(), "0:F0/F0 9:F0/F7 0:90/01 11:90/02 ");
}

TEST(MidiKitScore, UnendedSysexDoesNotHoldBackOtherTracksForever) {
    TMidiKitScore score;
    score.Add(TrackAt({{0, 0xF0, 0xF0}, {1, 0xF0, 0x43}}));
    score.Add(TrackAt({{0, 0x90, 1}, {5, 0x90, 2}}));
    Collector c;
    score.StartOut(c.Sink());
    EXPECT_EQ(c.Text(), "0:F0/F0 1:F0/43 0:90/01 4:90/02 ");
}

TEST(MidiKitScore, BatchBoundariesKeepDeltaTimesAndSysexWhole) {
    // 600 events one tick apart: the 513th comes from the second batch.
    TMidiKitScore score;
    std::vector<std::tuple<uint32_t, uint8_t, uint8_t>> many;
    for (uint32_t i = 0; i < 600; ++i) many.emplace_back(i + 1, 0x90, i & 0x7F);
    score.Add(TrackAt(many));
    Collector c;
    score.StartOut(c.Sink());
    ASSERT_EQ(c.got.size(), 600u);
    for (const MidiEvent& e : c.got) ASSERT_EQ(e.time, 1u);

    // A 700-byte message spans two batches; the other track still waits.
    TMidiKitScore big;
    std::vector<std::tuple<uint32_t, uint8_t, uint8_t>> dump;
    for (uint32_t i = 0; i < 700; ++i) dump.emplace_back(0, 0xF0, i == 0 ? 0xF0 : (i == 699 ? 0xF7 : 0x01));
    big.Add(TrackAt({{0, 0x90, 0x33}, {0, 0x90, 0x34}}));
    big.Add(TrackAt(dump));
    Collector d;
    big.StartOut(d.Sink());
    ASSERT_EQ(d.got.size(), 702u);
    EXPECT_EQ(d.got[0].data1, 0x33);
    EXPECT_EQ(d.got[1].data1, 0x34) << "equal times: the lower track first";
    for (size_t i = 2; i < 702; ++i) ASSERT_EQ(d.got[i].status, 0xF0) << i;

    TMidiKitScore late;
    late.Add(TrackAt({{1, 0x90, 0x33}}));
    late.Add(TrackAt(dump));
    Collector l;
    late.StartOut(l.Sink());
    ASSERT_EQ(l.got.size(), 701u);
    EXPECT_EQ(l.got[699].data1, 0xF7);
    EXPECT_EQ(l.got[700].data1, 0x33) << "the note waits for the whole message";
    EXPECT_EQ(l.got[700].time, 1u);
}

TEST(MidiKitScore, MutedRecordingAndEmptyTracksSendNothing) {
    TMidiKitScore empty;
    Collector c;
    empty.StartOut(c.Sink());
    EXPECT_TRUE(c.got.empty());
    EXPECT_EQ(empty.MergedCount(), 0u);

    TMidiKitScore score(3);
    EXPECT_EQ(score.getCount(), 3);
    score.StartOut(c.Sink());
    EXPECT_TRUE(c.got.empty());
    EXPECT_EQ(score.MergedCount(), 0u);

    const MidiEvent e = E(0, 0x90, 1);
    score.Get(0)->InsertEvent(&e, TMidiKitTrack::LastIndex);
    score.Get(0)->Mute(true);
    score.Get(1)->InsertEvent(&e, TMidiKitTrack::LastIndex);
    score.Get(1)->IsRecording(true);
    score.Get(2)->InsertEvent(&e, TMidiKitTrack::LastIndex);
    score.StartOut(c.Sink());
    EXPECT_EQ(c.got.size(), 1u);
}

TEST(MidiKitScore, RefusedEventIsOfferedAgainAndRunsRestart) {
    TMidiKitScore score;
    score.Add(TrackAt({{0, 0x90, 1}, {1, 0x90, 2}, {2, 0x90, 3}, {3, 0x90, 4}}));
    Collector c;
    c.refuseAt = 2;
    score.StartOut(c.Sink());
    EXPECT_EQ(c.Text(), "0:90/01 1:90/02 ");
    score.MergeOut(c.Sink());
    EXPECT_EQ(c.Text(), "0:90/01 1:90/02 1:90/03 1:90/04 ");
    // Exhausted: further calls find nothing until the next start.
    score.MergeOut(c.Sink());
    EXPECT_EQ(c.got.size(), 4u);
    Collector again;
    score.StartOut(again.Sink());
    EXPECT_EQ(again.Text(), "0:90/01 1:90/02 1:90/03 1:90/04 ");
}

TEST(MidiKitScore, ALoopingScoreQueuesPassAfterPassUntilRefused) {
    TMidiKitScore score;
    score.Add(TrackAt({{1, 0x90, 1}, {5, 0x80, 1}}));
    score.Add(TrackAt({{3, 0x91, 2}}));
    score.SetLoop(10);
    Collector c;
    c.refuseAt = 7;
    score.StartOut(c.Sink());
    // Each pass starts 10 ticks after the last; the seam is one more delta.
    EXPECT_EQ(c.Text(), "1:90/01 2:91/02 2:80/01 6:90/01 2:91/02 2:80/01 6:90/01 ");
    // A start rewinds to the first pass; without a length it plays once.
    score.SetLoop(0);
    Collector once;
    score.StartOut(once.Sink());
    EXPECT_EQ(once.Text(), "1:90/01 2:91/02 2:80/01 ");
    // Empty tracks never loop.
    TMidiKitScore empty;
    empty.Add(nullptr);
    empty.SetLoop(10);
    Collector none;
    empty.StartOut(none.Sink());
    EXPECT_TRUE(none.got.empty());
}

TEST(MidiKitScore, ContainerOwnsItsTracks) {
    TMidiKitScore score;
    score.Add(nullptr);
    auto* a = new TMidiKitTrack;
    auto* b = new TMidiKitTrack;
    score.Add(a);
    score.Insert(0, b);
    EXPECT_EQ(score.getCount(), 3);
    EXPECT_EQ(score.Find(b), 0);
    EXPECT_EQ(score.Find(a), 2);
    EXPECT_EQ(score.Get(3), nullptr);
    EXPECT_EQ(score.Get(-1), nullptr);

    EXPECT_EQ(score.Remove(a), 2);
    EXPECT_EQ(score.Find(a), -1);
    EXPECT_EQ(score.Remove(a), -1);
    delete a;  // it was handed back

    auto* c = new TMidiKitTrack;
    TMidiKitTrack* previous = score.Put(0, c);
    EXPECT_EQ(previous, b);
    EXPECT_EQ(score.Get(0), c);
    delete previous;
    EXPECT_EQ(score.Put(5, nullptr), nullptr);

    score.Insert(99, nullptr);  // out of range: appended, not lost
    EXPECT_EQ(score.getCount(), 3);
    score.Clear();
    EXPECT_EQ(score.getCount(), 0);
}

}  // namespace
