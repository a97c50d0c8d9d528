// A pattern played on the PC through the JACK server to a plain MIDI client:
// the rendered notes arrive in order and paced by the clock, the render
// loops at the clock's end-of-run notice, and no note is left sounding.
// (Stop and Panic: through the started editor, tests/app.)
#include <gtest/gtest.h>

#include <unistd.h>

#include <QTimer>

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

using Clock = std::chrono::steady_clock;

// Track 1 plays notes 60..63 as sixteenths; the other tracks are muted.
Pattern_Parameters FourNotes() {
    Pattern_Parameters p;
    p.MuteMask() = 254;
    p.TrackEvent(0) = 0x90;
    p.TrackData2(0) = 127;
    p.TrackGateTime(0) = 20;
    p.TrackNoteTime(0) = 8;
    p.TrackStartStep(0) = 1;
    p.TrackEndStep(0) = 4;
    for (int s = 0; s < 4; ++s) {
        p.StepNote(0, s) = 60 + s;
        p.StepVelocity(0, s) = 100;
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
        // The settings window's end-of-run handler: loop while asked to.
        sync.OnSyncDone = [this](TMidiKitSync* s) {
            ++runs;
            s->Pause(false);
            player->RunEnded();
            if (runs < loops)
                QTimer::singleShot(player->MillisecondsToRunEnd(), Qt::PreciseTimer,
                                   [this] { player->StartPlayback(); });
        };
    }
    // The notes whose last message switched them on: what is left sounding.
    std::map<int, bool> Sounding() {
        std::map<int, bool> on;
        for (const auto& m : peer->Messages())
            if (m.size() == 3 && (m[0] & 0xF0) == 0x90) on[m[1]] = m[2] > 0;
        std::erase_if(on, [](const auto& kv) { return !kv.second; });
        return on;
    }

    std::unique_ptr<TMidiKit> kit;
    std::unique_ptr<JackPeer> peer;
    TMidiKitSync sync;
    TMidiKitOut out, closed;
    MidiRouting routing;
    RoutingPlaybackPorts ports{routing, [this] { return &sync; }};
    std::unique_ptr<PatternPlayer> player;
    int runs = 0, loops = 3;
};

TEST_F(Playback, NotesArriveInOrderOnTimeLoopedAndNothingHangs) {
    if (!JackReachable()) GTEST_SKIP() << "JACK server " << JackTestServerName() << " not reachable";
    MIDIKIT_IN_FRESH_PROCESS();
    Open();
    if (HasFatalFailure()) return;
    player = std::make_unique<PatternPlayer>(ports, 1);  // one quarter note: the four steps
    EXPECT_EQ(player->SetTempoText("240"), 240);  // a quarter note is 250 ms
    player->Play(FourNotes());
    EXPECT_EQ(player->LastRender().Ports, std::vector<int>{0});
    ASSERT_TRUE(PumpUntil([&] { return runs >= loops; }, 20000)) << "runs: " << runs;
    PumpFor(200);

    std::vector<JackPeer::Arrival> ons;
    for (const auto& a : peer->Arrivals())
        if (a.bytes.size() == 3 && a.bytes[0] == 0x90 && a.bytes[2] > 0) ons.push_back(a);
    ASSERT_EQ(ons.size(), 12u);
    for (size_t i = 0; i < ons.size(); ++i) EXPECT_EQ(ons[i].bytes[1], 60 + i % 4) << i;
    // Paced at 62.5 ms a step, loosely (a loaded machine may stretch it).
    for (size_t loop = 0; loop < 3; ++loop) {
        const auto span = ons[loop * 4 + 3].at - ons[loop * 4].at;
        EXPECT_GE(span, std::chrono::milliseconds(150)) << loop;
        EXPECT_LE(span, std::chrono::milliseconds(2000)) << loop;
    }
    EXPECT_TRUE(Sounding().empty());

    player->Stop();
    player.reset();
}

}  // namespace
