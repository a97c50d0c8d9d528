// A pattern played on the PC through the JACK server to a plain MIDI client:
// the rendered notes arrive in order, every step (the loop's seam included)
// falls on the step grid to the frame, and Stop, Panic, a tempo change and
// a restart at any point of the loop, the seam included, leave no note
// sounding.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "engine/MidiRouting.h"
#include "midikit/MidiKitOut.h"
#include "midikit/MidiKitSync.h"
#include "patterns/PatternPlayer.h"
#include "patterns/RoutingPlaybackPorts.h"
#include "tests/support/DriverProcess.h"
#include "tests/support/JackPeer.h"
#include "tests/support/JackServer.h"
#include "tests/support/KitPorts.h"
#include "tests/support/PollUntil.h"
#include "tests/support/QtTestApp.h"

using namespace morvelant;
using namespace morvelant::testsupport;

namespace {

// Track 1 plays notes 60..63 as short sixteenths; track 2 holds note 64 for
// the whole of every step, so its note-off and the next note-on share a
// tick, the seam's included.
Pattern_Parameters FourNotes() {
    Pattern_Parameters p;
    p.MuteMask() = 0xFC;
    for (int t = 0; t < 2; ++t) {
        p.TrackEvent(t) = 0x90 + t;
        p.TrackData2(t) = 127;
        p.TrackGateTime(t) = 20;
        p.TrackNoteTime(t) = t == 0 ? 8 : 20;
        p.TrackStartStep(t) = 1;
        p.TrackEndStep(t) = 4;
        for (int s = 0; s < 4; ++s) {
            p.StepNote(t, s) = t == 0 ? 60 + s : 64;
            p.StepVelocity(t, s) = 100;
        }
    }
    return p;
}

class Playback : public ::testing::Test {
protected:
    void Open() {
        CoreApp();
        UseJackServer();
        ::setenv("MIDIKIT_BACKEND", "jack", 1);
        // The peer first: the port list is taken as the library loads.
        peer = std::make_unique<JackPeer>(JackPeer::Setup{.in = "seqpl" + std::to_string(::getpid())});
        TMidiKit::SetLibraryFolder("");
        kit = std::make_unique<TMidiKit>();
        sync.MidiKit = out.MidiKit = kit.get();
        ASSERT_TRUE(sync.Open(0, 10));
        out.Attach(&sync);
        const int port = FindPort(*kit, false, "seqpl" + std::to_string(::getpid()) + ":in");
        ASSERT_GE(port, 0);
        ASSERT_TRUE(out.Open(uint16_t(port), MIDIKIT_OPEN_ARGUMENT));
        // The player's port 0 is the peer, port 1 is flagged but never opened.
        routing.Out[0] = &out;
        routing.Out[1] = &closed;
        routing.NumOutDevs = 2;
        routing.Out1DeviceFlags[0] = routing.Out1DeviceFlags[1] = true;
        sync.OnSyncDone = [this](TMidiKitSync*) { ++runs; };
        PumpFor(100);  // a new connection takes a few cycles
    }
    // Every (channel, note) whose last message switched it on.
    std::vector<std::pair<int, int>> Sounding() {
        std::map<std::pair<int, int>, bool> on;
        for (const auto& m : peer->Messages())
            if (m.size() == 3 && (m[0] & 0xF0) == 0x90) on[{m[0] & 0x0F, m[1]}] = m[2] > 0;
        std::vector<std::pair<int, int>> left;
        for (const auto& [note, sounding] : on)
            if (sounding) left.push_back(note);
        return left;
    }

    std::unique_ptr<TMidiKit> kit;
    std::unique_ptr<JackPeer> peer;
    TMidiKitSync sync;
    TMidiKitOut out, closed;
    MidiRouting routing;
    RoutingPlaybackPorts ports{routing, [this] { return &sync; }};
    std::unique_ptr<PatternPlayer> player;
    int runs = 0;
};

TEST_F(Playback, EveryStepAndTheLoopsSeamFallOnTheStepGridToTheFrame) {
    if (!JackReachable()) GTEST_SKIP() << "JACK server " << JackTestServerName() << " not reachable";
    MIDIKIT_IN_FRESH_PROCESS();
    Open();
    if (HasFatalFailure()) return;
    player = std::make_unique<PatternPlayer>(ports, 1);  // one quarter note: a seam every four steps
    EXPECT_EQ(player->SetTempoText("240"), 240);  // a step is 62.5 ms
    player->Play(FourNotes());
    EXPECT_EQ(player->LastRender().Ports, std::vector<int>{0});
    auto ons = [&] {
        std::vector<JackPeer::Arrival> v;
        for (const auto& a : peer->Arrivals())
            if (a.bytes.size() == 3 && a.bytes[0] == 0x90 && a.bytes[2] > 0) v.push_back(a);
        return v;
    };
    ASSERT_TRUE(PumpUntil([&] { return ons().size() >= 20; }, 20000)) << ons().size();
    player->Stop();
    PumpFor(100);
    EXPECT_EQ(runs, 0) << "a looping render never ends its run";
    EXPECT_TRUE(PumpUntil([&] { return Sounding().empty(); }, 5000));

    const auto heard = ons();
    for (size_t i = 0; i < heard.size(); ++i) EXPECT_EQ(heard[i].bytes[1], 60 + i % 4) << i;
    // Every step is placed by the server's frames, however they drift from
    // the system clock on a busy machine: step i lands i steps after the
    // first, to the frame, the seams (steps 4k) like any other.
    const double step = peer->Rate() * 0.0625;
    for (size_t i = 1; i < 20; ++i)
        EXPECT_NEAR(double(heard[i].frame - heard[0].frame), double(i) * step, 1.0) << "step " << i;
    player.reset();
}

TEST_F(Playback, StopPanicTempoAndRestartAnywhereInTheLoopLeaveNoNoteOn) {
    if (!JackReachable()) GTEST_SKIP() << "JACK server " << JackTestServerName() << " not reachable";
    MIDIKIT_IN_FRESH_PROCESS();
    Open();
    if (HasFatalFailure()) return;
    player = std::make_unique<PatternPlayer>(ports, 1);
    player->SetTempoText("240");
    const Pattern_Parameters pattern = FourNotes();
    // Each round plays, waits, then ends playback one way. The waits spread
    // the ends over the first three passes of 250 ms, on and around the seams.
    struct Way {
        const char* name;
        std::function<void()> end;
    };
    const std::vector<Way> ways = {
        {"stop", [&] { player->Stop(); }},
        {"panic", [&] { player->Panic(); }},
        {"tempo then stop",
         [&] {
             player->SetTempoText("97");
             PumpFor(30);
             player->SetTempoText("240");
             player->Stop();
         }},
        {"restart then stop",
         [&] {
             player->RestartPlayback(pattern);
             PumpFor(17);
             player->Stop();
         }},
    };
    const int waits[] = {0, 5, 120, 245, 250, 255, 500, 505};
    int round = 0;
    for (int wait : waits)
        for (const Way& way : ways) {
            player->Play(pattern);
            PumpFor(wait);
            way.end();
            // A marker sent at once after the end: once the peer has it, the
            // round's note-offs have been written. A panic reopens the port,
            // and the closed port's last note-offs may reach the peer in the
            // marker's cycle, after it: what still sounds then must end within
            // a moment, where a stuck note never ends.
            const MidiEvent marker{0, 0xBF, 0x77, uint8_t(round), 0};
            ports.SendNow(0, marker);
            const MidiBytes markerBytes{0xBF, 0x77, uint8_t(round)};
            ASSERT_TRUE(PumpUntil(
                [&] {
                    const auto heard = peer->Messages();
                    return std::find(heard.begin(), heard.end(), markerBytes) != heard.end();
                },
                10000));
            PumpUntil([&] { return Sounding().empty(); }, 5000);
            EXPECT_TRUE(Sounding().empty()) << way.name << " after " << wait << " ms, round " << round;
            EXPECT_FALSE(player->Playing());
            ++round;
        }
    player.reset();
}

}  // namespace
