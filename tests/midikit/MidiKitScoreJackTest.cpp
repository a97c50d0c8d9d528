// A merged score played through the JACK server to a plain MIDI client: the
// notes arrive in merge order and paced by the clock, the run is reported
// done once, a loop restarts it, and Flush and Reset stop the sound.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "midikit/MidiKitOut.h"
#include "midikit/MidiKitScore.h"
#include "midikit/MidiKitSync.h"
#include "midikit/MidiKitTrack.h"
#include "tests/midikit/MidiKitTestSupport.h"

using namespace morvelant;
using namespace morvelant::test;

namespace {

// A device on the far end: one JACK input port that notes each message with
// the time it came.
class TimedPeer : public testsupport::JackPeer {
public:
    TimedPeer() : JackPeer({.in = "prsc" + std::to_string(::getpid()) + "i"}) {}
    std::string InName() const { return "prsc" + std::to_string(::getpid()) + "i:in"; }

    // Note-on messages only (the score plays nothing else).
    std::vector<Arrival> Notes() {
        std::vector<Arrival> notes;
        for (auto& m : Arrivals())
            if (m.bytes.size() == 3 && (m.bytes[0] & 0xF0) == 0x90) notes.push_back(m);
        return notes;
    }
};

// Track t of count tracks: notes every step ticks, interleaved across the
// tracks, data1 = the note's place in the merged order.
void FillTracks(TMidiKitScore& score, int tracks, int notesPerTrack, uint32_t step) {
    for (int t = 0; t < tracks; ++t) {
        TMidiKitTrack* track = score.Get(t);
        for (int i = 0; i < notesPerTrack; ++i) {
            const uint32_t delta = i == 0 ? step * static_cast<uint32_t>(t) : step * static_cast<uint32_t>(tracks);
            MidiEvent e{delta, static_cast<uint8_t>(0x90 + t), static_cast<uint8_t>((i * tracks + t) & 0x7F), 100, 0};
            track->InsertEvent(&e, TMidiKitTrack::LastIndex);
        }
    }
}

TEST(MidiKitScoreJack, MergedScorePlaysPacedLoopsAndStops) {
    if (!JackReachable()) GTEST_SKIP() << "JACK server " << JackTestServerName() << " not reachable";
    MIDIKIT_IN_FRESH_PROCESS();
    TimedPeer peer;
    auto kit = JackKit();
    TMidiKitSync sync;
    TMidiKitOut out;
    sync.MidiKit = out.MidiKit = kit.get();
    ASSERT_TRUE(sync.Open(0, 10));
    // 300 beats per minute, 96 ticks per quarter: 24 ticks are 50 ms.
    ASSERT_TRUE(sync.Tempo(TMidiKitSync::Convert(300.0)));
    sync.Resolution(96);
    out.Attach(&sync);
    const int port = FindListedPort(*kit, false, peer.InName());
    ASSERT_GE(port, 0) << "peer port not listed";
    ASSERT_TRUE(out.Open(static_cast<uint16_t>(port), MIDIKIT_OPEN_ARGUMENT));

    TMidiKitScore score(2);
    FillTracks(score, 2, 4, 24);  // 8 notes, 24 ticks apart, 168 ticks in all
    int done = 0;
    bool loop = true;
    sync.OnSyncDone = [&](TMidiKitSync* s) {
        ++done;
        s->Pause(false);
        if (loop) {  // the sequencer's loop: play the pattern again
            loop = false;
            out.Flush();
            score.StartOut(&out);
            s->Start();
        }
    };
    out.Flush();
    out.Attach(&score);
    score.StartOut(&out);
    sync.Start();

    ASSERT_TRUE(PumpUntil([&] { return done >= 2; }, 20000)) << "done reports: " << done;
    PumpFor(500);
    EXPECT_EQ(done, 2) << "one done per run";

    const auto notes = peer.Notes();
    ASSERT_EQ(notes.size(), 16u);
    for (size_t i = 0; i < notes.size(); ++i) {
        EXPECT_EQ(notes[i].bytes[1], i % 8) << "merge order, note " << i;
        EXPECT_EQ(notes[i].bytes[0], 0x90 + (i % 2)) << i;
    }
    // Paced by the clock, loosely: each run spans its 350 ms, give or take
    // whatever a loaded machine does to it, and is not sent all at once.
    for (size_t run = 0; run < 2; ++run) {
        const auto span = notes[run * 8 + 7].at - notes[run * 8].at;
        EXPECT_GE(span, std::chrono::milliseconds(175)) << "run " << run;
        EXPECT_LE(span, std::chrono::milliseconds(5000)) << "run " << run;
    }

    // A long score, stopped after a few notes: Flush drops what is queued,
    // Reset switches every channel's notes off.
    out.Detach(&score);
    score.Clear();
    TMidiKitScore longScore(1);
    FillTracks(longScore, 1, 100, 24);
    const size_t before = peer.Notes().size();
    out.Flush();
    out.Attach(&longScore);
    longScore.StartOut(&out);
    sync.Start();
    ASSERT_TRUE(PumpUntil([&] { return peer.Notes().size() >= before + 3; }, 10000));
    out.Detach(&longScore);
    sync.Pause(false);
    out.Flush();
    // What the server still held of the score (it holds the next notes when
    // it runs late on a loaded machine) goes nowhere: only a note written in
    // the period that was running as Flush returned may still land.
    const size_t stopped = peer.Notes().size();
    PumpFor(1000);
    EXPECT_LE(peer.Notes().size(), stopped + 1) << "notes kept coming after Flush";
    EXPECT_LT(stopped, before + 100u);

    // A dense score (a note every 0.42 ms), stopped: the notes the clock had
    // already handed over, ahead of their time, to the port (which holds
    // them up to a period more) go nowhere. Only those of the period that
    // was running as Flush returned may still land.
    sync.Resolution(960);  // 2 ticks are 0.42 ms at 300 beats a minute
    TMidiKitScore dense(1);
    FillTracks(dense, 1, 4000, 2);
    const size_t beforeDense = peer.Notes().size();
    out.Flush();
    out.Attach(&dense);
    dense.StartOut(&out);
    sync.Start();
    ASSERT_TRUE(PumpUntil([&] { return peer.Notes().size() >= beforeDense + 200; }, 10000));
    out.Detach(&dense);
    sync.Pause(false);
    out.Flush();
    const size_t denseStopped = peer.Notes().size();
    PumpFor(500);
    const double periodMs = 1000.0 * peer.Period() / peer.Rate();
    EXPECT_LE(peer.Notes().size(), denseStopped + size_t(periodMs / 0.42) + 2) << "notes kept coming after Flush";

    const size_t beforeReset = peer.Count();
    out.Reset();
    ASSERT_TRUE(PumpUntil([&] { return peer.Count() >= beforeReset + 16; }, 5000));
    PumpFor(100);
    const auto all = peer.Arrivals();
    int allNotesOff = 0;
    for (size_t i = beforeReset; i < all.size(); ++i)
        if (all[i].bytes.size() == 3 && (all[i].bytes[0] & 0xF0) == 0xB0 && all[i].bytes[1] == 123) ++allNotesOff;
    EXPECT_EQ(allNotesOff, 16) << "all notes off on every channel";
    out.Close();
    sync.Close();
}

}  // namespace
