#include <gtest/gtest.h>

#include <vector>

#include "patterns/PatternRender.h"

using namespace morvelant;

namespace {

struct Abs {
    int64_t at;
    int status, data1, data2;
    bool operator==(const Abs&) const = default;
};

std::vector<Abs> Absolute(const std::vector<MidiEvent>& events) {
    std::vector<Abs> v;
    int64_t at = 0;
    for (const MidiEvent& e : events) {
        at += e.time;
        v.push_back({at, e.status, e.data1, e.data2});
    }
    return v;
}

// Track 1 as the first edge case: gate and note 20, no delay, 16 steps on,
// notes 60, velocities 127, data 0 / 127, run mode 0, channel 1.
Pattern_Parameters Plain() {
    Pattern_Parameters p;
    p.MuteMask() = 254;
    for (int t = 0; t < 8; ++t) {
        p.TrackEvent(t) = 0x90;
        p.TrackData2(t) = 127;
        p.TrackGateTime(t) = 20;
        p.TrackNoteTime(t) = 20;
        p.TrackStartStep(t) = 1;
        p.TrackEndStep(t) = 16;
        for (int s = 0; s < 16; ++s) {
            p.StepNote(t, s) = 60;
            p.StepVelocity(t, s) = 127;
        }
    }
    return p;
}

TEST(PatternRender, TheBasicGrid) {
    const auto e = Absolute(RenderTrack(Plain(), 1, 0, 4));
    ASSERT_EQ(e.size(), 32u);  // 16 notes of 120 ticks in four quarter notes
    for (size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(e[2 * i], (Abs{int64_t(120 * i), 0x90, 60, 127}));
        EXPECT_EQ(e[2 * i + 1], (Abs{int64_t(120 * i + 120), 0x90, 60, 0}));
    }
    // The full stretch: 1,600 positions.
    EXPECT_EQ(RenderTrack(Plain(), 1, 0, kRenderBeats).size(), 3200u);
}

TEST(PatternRender, TrackSettingsShapeTheEvents) {
    struct Case {
        const char* what;
        void (*change)(Pattern_Parameters&);
        std::vector<Abs> first;  // the first events of track 1 over one beat
    } cases[] = {
        {"note time clipped to the gate",
         [](Pattern_Parameters& p) { p.TrackNoteTime(0) = 40; },
         {{0, 0x90, 60, 127}, {120, 0x90, 60, 0}}},
        {"delay plays as long as its name says",
         [](Pattern_Parameters& p) { p.TrackDelay(0) = 8; },
         {{60, 0x90, 60, 127}, {180, 0x90, 60, 0}}},
        {"a delay code below 4 is no delay",
         [](Pattern_Parameters& p) { p.TrackDelay(0) = 3; },
         {{0, 0x90, 60, 127}, {120, 0x90, 60, 0}}},
        {"scaled velocity",
         [](Pattern_Parameters& p) { p.TrackData2(0) = 64, p.StepVelocity(0, 0) = 100; },
         {{0, 0x90, 60, 50}, {120, 0x90, 60, 0}}},
        {"a step that is off stays silent",
         [](Pattern_Parameters& p) { p.SetStepOff(0, 0, true); },
         {{120, 0x90, 60, 127}, {240, 0x90, 60, 0}}},
        {"controller: one event per step",
         [](Pattern_Parameters& p) { p.TrackEvent(0) = 0xB3; },
         {{0, 0xB3, 60, 127}, {120, 0xB3, 60, 127}}},
        {"notes above 127 are left out",
         [](Pattern_Parameters& p) { p.TrackData1(0) = 60, p.StepNote(0, 1) = 68; },
         {{0, 0x90, 120, 127}, {120, 0x90, 120, 0}, {240, 0x90, 120, 127}}},
        {"velocities are capped at 127",
         [](Pattern_Parameters& p) { p.TrackData2(0) = 300; },
         {{0, 0x90, 60, 127}, {120, 0x90, 60, 0}}},
        {"octave shift of the run mode",
         [](Pattern_Parameters& p) { p.TrackRunMode(0) = 1; },
         {{0, 0x90, 72, 127}, {120, 0x90, 72, 0}}},
    };
    for (const Case& c : cases) {
        Pattern_Parameters p = Plain();
        c.change(p);
        auto e = Absolute(RenderTrack(p, 1, 0, 1));
        e.resize(std::min(e.size(), c.first.size()));
        EXPECT_EQ(e, c.first) << c.what;
    }
}

TEST(PatternRender, NoWireBytesFromDamagedWords) {
    Pattern_Parameters p = Plain();
    p.TrackData1(0) = -200;  // every note below 0
    EXPECT_TRUE(RenderTrack(p, 1, 0, 4).empty());
    for (int status : {0x00, 0x45, 0xF0, 0x1F0}) {
        p = Plain();
        p.TrackEvent(0) = status;
        EXPECT_TRUE(RenderTrack(p, 1, 0, 4).empty()) << status;
    }
    p = Plain();
    p.TrackGateTime(0) = -50;  // the shortest step, never a standstill
    p.TrackNoteTime(0) = -50;
    EXPECT_EQ(RenderTrack(p, 1, 0, 1).size(), 48u);
    p = Plain();
    p.StepVelocity(0, 0) = -5;
    EXPECT_EQ(Absolute(RenderTrack(p, 1, 0, 1))[0], (Abs{0, 0x90, 60, 0}));
}

TEST(PatternRender, PatternAndPorts) {
    Pattern_Parameters p = Plain();
    p.MuteMask() = 0xFF & ~0b101;  // tracks 1 and 3 play
    p.TrackEvent(2) = 0x92;
    p.StepNote(2, 0) = 64;
    const PatternRender r = RenderPattern(p, {0, 3}, 0, 1);
    EXPECT_TRUE(r.Rendered(3));
    EXPECT_FALSE(r.Rendered(1));
    EXPECT_EQ(r.Tracks[0].size(), 8u);
    EXPECT_TRUE(r.Tracks[1].empty());
    EXPECT_EQ(r.Tracks[2].size(), 8u);
    EXPECT_EQ(r.EventCount(), 16u);
    const auto offs = NoteOffsFor(r);
    ASSERT_EQ(offs.size(), 3u);  // 60 on channel 1, 64 and 60 on channel 3
    EXPECT_EQ(offs[0].status, 0x90);
    EXPECT_EQ(offs[1].status, 0x92);
    EXPECT_EQ(offs[1].data2, 0);
    p.MuteMask() = 0xFF;
    EXPECT_EQ(RenderPattern(p, {0}, 0, kRenderBeats).EventCount(), 0u);
}

}  // namespace
