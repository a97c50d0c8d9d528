// Event track: growth, insertion and deletion at the edges, reading,
// recording, and the absolute-time views the score merges from.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "midikit/MidiKitTrack.h"

using morvelant::TMidiKitTrack;

namespace {

MidiEvent E(uint32_t time, uint8_t status = 0x90, uint8_t d1 = 0, uint8_t d2 = 0) {
    return MidiEvent{time, status, d1, d2, 0};
}

void Append(TMidiKitTrack& t, const MidiEvent& e) { ASSERT_TRUE(t.InsertEvent(&e, TMidiKitTrack::LastIndex)); }

// data1 of the held events, for compact comparisons.
std::vector<int> Tags(TMidiKitTrack& t) {
    std::vector<int> v;
    for (uint32_t i = 0; i < t.Count(); ++i) v.push_back(t.GetEvent(i)->data1);
    return v;
}

TEST(MidiKitTrack, NewTrackGrowsByWholeStepsAndKeepsItsEvents) {
    TMidiKitTrack t;
    EXPECT_EQ(t.GetBufferSize(), 8192u);
    EXPECT_EQ(t.GetNumEvents(), 0u);
    EXPECT_FALSE(t.CreateBuffer(16)) << "a buffer exists already";
    for (uint32_t i = 0; i < 8193; ++i)
        Append(t, E(i, 0x90, static_cast<uint8_t>(i & 0x7F), static_cast<uint8_t>(i >> 7)));
    EXPECT_EQ(t.GetBufferSize(), 16384u);
    EXPECT_EQ(t.GetNumEvents(), 8193u);
    for (uint32_t i = 0; i < 8193; ++i) {
        ASSERT_EQ(t.GetEvent(i)->time, i);
        ASSERT_EQ(t.GetEvent(i)->data1 | (t.GetEvent(i)->data2 << 7), static_cast<int>(i));
    }
    // The new room is zero-filled.
    EXPECT_EQ(t.GetEvent(16383)->time, 0u);
    EXPECT_EQ(t.GetEvent(16384), nullptr);
}

TEST(MidiKitTrack, InsertAndDeleteInsideAndAtTheEdges) {
    TMidiKitTrack t;
    for (uint8_t tag : {'A', 'B', 'C'}) Append(t, E(0, 0x90, tag));
    const MidiEvent e = E(0, 0x90, 'e');
    ASSERT_TRUE(t.InsertEvent(&e, 1));
    EXPECT_EQ(Tags(t), (std::vector<int>{'A', 'e', 'B', 'C'}));
    ASSERT_TRUE(t.DeleteEvent(1));
    EXPECT_EQ(Tags(t), (std::vector<int>{'A', 'B', 'C'}));
    ASSERT_TRUE(t.DeleteEvent(1));
    EXPECT_EQ(Tags(t), (std::vector<int>{'A', 'C'}));
    ASSERT_TRUE(t.InsertEvent(&e, 2)) << "index = count appends";
    EXPECT_EQ(Tags(t), (std::vector<int>{'A', 'C', 'e'}));
    ASSERT_TRUE(t.DeleteEvent(TMidiKitTrack::LastIndex));
    EXPECT_EQ(Tags(t), (std::vector<int>{'A', 'C'})) << "the last index drops the last event";
    ASSERT_TRUE(t.DeleteEvent(7)) << "an index past the end also drops the last";
    EXPECT_EQ(Tags(t), (std::vector<int>{'A'}));
    // Inserting an event of the track itself before itself.
    ASSERT_TRUE(t.InsertEvent(t.GetEvent(0), 0));
    EXPECT_EQ(Tags(t), (std::vector<int>{'A', 'A'}));
}

TEST(MidiKitTrack, DeleteFromEmptyAndInsertPastCountAreRefused) {
    TMidiKitTrack t;
    EXPECT_FALSE(t.DeleteEvent(TMidiKitTrack::LastIndex));
    EXPECT_FALSE(t.DeleteEvent(0));
    EXPECT_EQ(t.GetNumEvents(), 0u) << "the count must not wrap";
    const MidiEvent e = E(5, 0x90, 'x');
    EXPECT_FALSE(t.InsertEvent(&e, 1));
    EXPECT_FALSE(t.InsertEvent(&e, 9000)) << "past the count and past the buffer";
    EXPECT_EQ(t.GetNumEvents(), 0u);
    EXPECT_FALSE(t.InsertEvent(nullptr, TMidiKitTrack::LastIndex));
    Append(t, e);
    EXPECT_FALSE(t.InsertEvent(&e, 2));
    EXPECT_EQ(Tags(t), (std::vector<int>{'x'}));
    // The sequencer's way of emptying a track stops at empty.
    for (int i = 0; i < 3; ++i) t.DeleteEvent(TMidiKitTrack::LastIndex);
    EXPECT_EQ(t.GetNumEvents(), 0u);
}

TEST(MidiKitTrack, EventAccessIsBoundByTheBuffer) {
    TMidiKitTrack t;
    Append(t, E(1));
    EXPECT_NE(t.GetEvent(1), nullptr) << "a slot past the count is still a slot";
    EXPECT_EQ(t.GetEvent(8192), nullptr);
    const MidiEvent e = E(9, 0xB0, 7, 100);
    t.SetEvent(&e, 8191);
    EXPECT_EQ(t.GetEvent(8191)->data2, 100);
    t.SetEvent(&e, 8192);  // ignored
    EXPECT_EQ(t.GetTime(0), 1u);
    EXPECT_EQ(t.GetTime(1), 0u) << "beyond the count";

    // Without a buffer every access is refused, and appending makes a new one.
    t.FreeBuffer();
    EXPECT_EQ(t.GetBuffer(), nullptr);
    EXPECT_EQ(t.GetEvent(0), nullptr);
    EXPECT_EQ(t.GetNumEvents(), 0u);
    Append(t, e);
    EXPECT_EQ(t.GetBufferSize(), 8192u);
    EXPECT_EQ(t.GetEvent(0)->data1, 7);

    // A replaced block brings its own size; the count never exceeds it.
    t.SetBuffer(std::vector<MidiEvent>(2, E(3)));
    EXPECT_EQ(t.GetBufferSize(), 2u);
    EXPECT_EQ(t.GetNumEvents(), 1u);
    EXPECT_EQ(t.GetTime(0), 3u);
    EXPECT_EQ(t.GetEvent(2), nullptr);
    t.SetBuffer({});
    EXPECT_EQ(t.GetNumEvents(), 0u);
}

TEST(MidiKitTrack, ReadingRecordingAndMuting) {
    TMidiKitTrack t;
    for (uint8_t i = 0; i < 5; ++i) Append(t, E(i, 0x90, i));
    ASSERT_NE(t.Read(), nullptr);
    EXPECT_EQ(t.Read()->data1, 1);
    EXPECT_EQ(t.GetNumEvents(), 3u);
    t.Mute(true);
    EXPECT_EQ(t.Read(), nullptr);
    t.Mute(false);
    t.IsRecording(true);
    EXPECT_EQ(t.Read(), nullptr);
    t.IsRecording(false);
    EXPECT_EQ(t.Read()->data1, 2);
    t.Flush();
    EXPECT_EQ(t.GetNumEvents(), 0u);
    EXPECT_EQ(t.Read(), nullptr);

    const MidiEvent e = E(3, 0xF0, 0xF0);
    t.Write(&e);
    EXPECT_EQ(t.GetNumEvents(), 0u) << "not recording";
    t.IsRecording(true);
    t.Write(&e);
    t.Write(&e);
    EXPECT_EQ(t.GetNumEvents(), 2u);

    t.SetNumEvents(4);
    EXPECT_EQ(t.GetNumEvents(), 4u);
    t.SetNumEvents(100000);
    EXPECT_EQ(t.GetNumEvents(), 8192u) << "never more than the buffer holds";
}

TEST(MidiKitTrack, AbsoluteTimesOfTheScoresChunks) {
    TMidiKitTrack t;
    for (uint32_t d : {10u, 0u, 5u}) Append(t, E(d));
    uint32_t n = 512;
    std::vector<MidiEvent> abs = t.GetAbsBuffer(0, &n);
    ASSERT_EQ(n, 3u);
    ASSERT_EQ(abs.size(), 3u);
    EXPECT_EQ(abs[0].time, 10u);
    EXPECT_EQ(abs[1].time, 10u);
    EXPECT_EQ(abs[2].time, 15u);
    n = 1;
    abs = t.GetAbsBuffer(2, &n);
    ASSERT_EQ(n, 1u);
    EXPECT_EQ(abs[0].time, 15u) << "a later start counts from the track's start";
    EXPECT_EQ(t.GetEvent(2)->time, 5u) << "the track keeps its deltas";

    // And back again.
    std::vector<MidiEvent> copy = {E(10), E(15)};
    t.AbsToDelta(copy.data(), 1, 2);
    EXPECT_EQ(copy[0].time, 0u);
    EXPECT_EQ(copy[1].time, 5u);

    n = 512;
    EXPECT_TRUE(t.GetAbsBuffer(3, &n).empty());
    EXPECT_EQ(n, 0u);
    for (bool muted : {true, false}) {
        t.Mute(muted);
        t.IsRecording(!muted);
        n = 512;
        EXPECT_TRUE(t.GetAbsBuffer(0, &n).empty());
        EXPECT_EQ(n, 0u);
    }
    t.IsRecording(false);

    EXPECT_EQ(t.AbsNow(0), 10u);
    EXPECT_EQ(t.AbsNow(2), 15u);
    EXPECT_EQ(t.AbsNow(3), 0u);
    t.SlideTrack(2, -3);
    EXPECT_EQ(t.GetTime(2), 2u);
    t.SlideTrack(2, -30);
    EXPECT_EQ(t.GetTime(2), 0u) << "never below zero";
    t.SlideTrack(0, 7);
    EXPECT_EQ(t.GetTime(0), 17u);
    t.SlideTrack(5, 7);  // no such event
}

TEST(MidiKitTrack, NameAndFileOperationsWithoutAFile) {
    TMidiKitTrack t;
    EXPECT_EQ(t.GetTrackName(), "");
    t.SetTrackName("DUMP 01 ");
    EXPECT_EQ(t.GetTrackName(), "DUMP 01 ");
    EXPECT_FALSE(t.Load());
    EXPECT_FALSE(t.Save());
    t.Detach();  // no input: only stops recording
    t.IsRecording(true);
    t.Detach();
    EXPECT_FALSE(t.Recording());
}

}  // namespace
