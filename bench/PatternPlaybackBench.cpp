// The playback on the PC: the render time of one pattern, and a 16-step,
// 8-track pattern played to a JACK peer for four loops at 120 and 240 bpm.
// Counters, in milliseconds: the note onsets' deviation from the ideal grid
// (median and worst) and the worst at the loop seams (the first step of
// loops 2 to 4). Needs the JACK test server (JACK_DEFAULT_SERVER); without
// it the playback benchmark reports an error and skips.
#include <benchmark/benchmark.h>

#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <vector>

#include "engine/MidiRouting.h"
#include "midikit/MidiKitOut.h"
#include "midikit/MidiKitSync.h"
#include "patterns/PatternPlayer.h"
#include "patterns/PatternRender.h"
#include "patterns/RoutingPlaybackPorts.h"
#include "tests/support/JackPeer.h"
#include "tests/support/JackServer.h"
#include "tests/support/KitPorts.h"
#include "tests/support/QtTestApp.h"

using namespace morvelant;
using namespace morvelant::testsupport;

namespace {

constexpr int kLoops = 4;

// Eight tracks on channels 1..8, every step on, sixteenths.
Pattern_Parameters FullPattern() {
    Pattern_Parameters p;
    for (int t = 0; t < kTrackCount; ++t) {
        p.TrackEvent(t) = 0x90 + t;
        p.TrackData2(t) = 127;
        p.TrackGateTime(t) = 20;
        p.TrackNoteTime(t) = 8;
        p.TrackStartStep(t) = 1;
        p.TrackEndStep(t) = 16;
        for (int s = 0; s < kStepCount; ++s) {
            p.StepNote(t, s) = 48 + t + s;
            p.StepVelocity(t, s) = 100;
        }
    }
    return p;
}

void BM_RenderPattern(benchmark::State& state) {
    const Pattern_Parameters p = FullPattern();
    size_t events = 0;
    for (auto _ : state) {
        PatternRender r = RenderPattern(p, {0}, 0, kRenderBeats);
        events = r.EventCount();
        benchmark::DoNotOptimize(r);
    }
    state.counters["events"] = double(events);
}
BENCHMARK(BM_RenderPattern)->Unit(benchmark::kMillisecond);

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void BM_PlaybackToJackPeer(benchmark::State& state) {
    const int bpm = int(state.range(0));
    CoreApp();
    if (!JackReachable()) {
        state.SkipWithError("JACK test server not reachable");
        return;
    }
    ::setenv("MIDIKIT_BACKEND", "jack", 1);
    // The peer first: the port list is taken as the library loads.
    const std::string client = "seqbench" + std::to_string(::getpid());
    JackPeer peer({.in = client});
    TMidiKit::SetLibraryFolder("");
    TMidiKit kit;
    TMidiKitSync sync;
    TMidiKitOut out;
    sync.MidiKit = out.MidiKit = &kit;
    sync.Open(0, 10);
    out.Attach(&sync);
    const int port = FindPort(kit, false, client + ":in");
    if (port < 0 || !out.Open(uint16_t(port), MIDIKIT_OPEN_ARGUMENT)) {
        state.SkipWithError("peer port not found");
        return;
    }
    MidiRouting routing;
    routing.Out[0] = &out;
    routing.NumOutDevs = 1;
    routing.Out1DeviceFlags[0] = true;
    RoutingPlaybackPorts ports(routing, [&sync] { return &sync; });
    // One loop is the pattern's four quarter notes; the clock's end-of-run
    // notice starts the next, as the settings window's handler does.
    PatternPlayer player(ports, 4);
    player.SetTempoText(std::to_string(bpm));
    int runs = 0;
    sync.OnSyncDone = [&](TMidiKitSync* s) {
        ++runs;
        s->Pause(false);
        player.RunEnded();
        // As the sequencer window does: the loop waits for the clock to reach
        // the end of the stretch.
        if (runs < kLoops)
            QTimer::singleShot(player.MillisecondsToRunEnd(), Qt::PreciseTimer, [&player] { player.StartPlayback(); });
    };

    const double stepMs = 60000.0 / bpm / 4;
    std::vector<double> all, seam;
    for (auto _ : state) {
        peer.Clear();
        runs = 0;
        player.Play(FullPattern());
        PumpUntil([&] { return runs >= kLoops; }, 60000);
        PumpFor(100);
        // Onsets: note-ons of track 1 (channel 1), one per step.
        std::vector<std::chrono::steady_clock::time_point> onsets;
        for (const auto& a : peer.Arrivals())
            if (a.bytes.size() == 3 && a.bytes[0] == 0x90 && a.bytes[2] > 0) onsets.push_back(a.at);
        if (onsets.size() != size_t(16 * kLoops)) {
            state.SkipWithError("onsets missing");
            break;
        }
        // The grid is anchored where it fits best: the median offset.
        std::vector<double> offsets;
        for (size_t k = 0; k < onsets.size(); ++k)
            offsets.push_back(std::chrono::duration<double, std::milli>(onsets[k] - onsets[0]).count() -
                              double(k) * stepMs);
        const double anchor = Median(offsets);
        for (size_t k = 0; k < offsets.size(); ++k) {
            const double dev = std::fabs(offsets[k] - anchor);
            all.push_back(dev);
            if (k % 16 == 0 && k > 0) seam.push_back(dev);
        }
    }
    player.Stop();
    state.counters["median_ms"] = Median(all);
    state.counters["worst_ms"] = all.empty() ? 0 : *std::max_element(all.begin(), all.end());
    state.counters["seam_worst_ms"] = seam.empty() ? 0 : *std::max_element(seam.begin(), seam.end());
}
BENCHMARK(BM_PlaybackToJackPeer)->Arg(120)->Arg(240)->ArgName("bpm")->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
