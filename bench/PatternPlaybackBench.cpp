// The playback on the PC: the render time of one pattern, and an 8-track,
// 16-step pattern played at 240 bpm to a JACK peer while jack_midiseq, the
// server's own example sequencer, plays the same notes on the same loop to
// a second peer on the same server (the dummy driver). The baseline places
// every note at its frame in the process callback itself.
//
// For each: the tempo error (the step fitted over all onsets against the
// ideal 62.5 ms), in frames and in the server's microseconds (the dummy
// driver's frames run off the system clock by a few parts per thousand on a
// busy machine: both keep to frames, so both are off in microseconds), the
// deviation of the step-to-step gaps from 62.5 ms
// (median, p99, worst) and the worst gap at the loop's seams, in
// milliseconds from the frames the peers saw, and each figure of the editor
// as a ratio to the baseline's (the baseline floored at one frame, as it is
// often exact); jitter: the gaps' p99 from the source's own fitted step. Needs the JACK test server (JACK_DEFAULT_SERVER) and
// jack_midiseq; without them the playback benchmark reports an error.
#include <benchmark/benchmark.h>

#include "bench/BenchCheck.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
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

extern char** environ;

using namespace morvelant;
using namespace morvelant::testsupport;

namespace {

constexpr int kSteps = 16;
constexpr int kPassBeats = 16;  // the render's stretch: a seam every 4 s at 240 bpm
constexpr int kPasses = 4;
constexpr int kBpm = 240;
constexpr int kTimedNote = 100;  // track 1 plays notes 100..115, the only ones measured

// Eight tracks on channels 1..8, every step on, sixteenths; the other tracks'
// notes stay below track 1's.
Pattern_Parameters FullPattern() {
    Pattern_Parameters p;
    for (int t = 0; t < kTrackCount; ++t) {
        p.TrackEvent(t) = 0x90 + t;
        p.TrackData2(t) = 127;
        p.TrackGateTime(t) = 20;
        p.TrackNoteTime(t) = 8;
        p.TrackStartStep(t) = 1;
        p.TrackEndStep(t) = kSteps;
        for (int s = 0; s < kStepCount; ++s) {
            p.StepNote(t, s) = t == 0 ? kTimedNote + s : 30 + (t - 1) * 8 + s % 8;
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
    // Every step of every track over the stretch, each a note on and off.
    bench::CheckCount(state, "events rendered", int64_t(events), int64_t(kTrackCount) * kRenderBeats * 4 * 2);
    state.counters["events"] = double(events);
}
BENCHMARK(BM_RenderPattern)->Unit(benchmark::kMillisecond);

double Quantile(std::vector<double> v, double q) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(q * double(v.size())))];
}

struct Figures {
    double tempoError = 0;  // |fitted step / ideal step - 1|
    double median = 0, p99 = 0, worst = 0, seam = 0;  // ms
    double ownP99 = 0;  // ms, the gaps' p99 from the source's own fitted step: jitter alone
};

constexpr int kPassMark = kTimedNote + kSteps;  // the baseline's first note of a pass

// Onset frames of track 1's notes, one per step, from the first with note
// `from` on (0: from the first).
std::vector<double> Onsets(JackPeer& peer, int from = 0, bool wall = false) {
    std::vector<double> frames;
    for (const auto& a : peer.Arrivals())
        if (a.bytes.size() == 3 && (a.bytes[0] & 0xF0) == 0x90 && a.bytes[2] > 0 && a.bytes[1] >= kTimedNote) {
            if (frames.empty() && from != 0 && a.bytes[1] != from) continue;
            frames.push_back(wall ? std::chrono::duration<double>(a.at.time_since_epoch()).count()
                                  : double(a.frame));
        }
    return frames;
}

// Least-squares step over all onsets.
double FittedStep(const std::vector<double>& onsets) {
    const size_t n = onsets.size();
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t k = 0; k < n; ++k) {
        sx += double(k), sy += onsets[k], sxx += double(k * k), sxy += double(k) * onsets[k];
    }
    return (double(n) * sxy - sx * sy) / (double(n) * sxx - sx * sx);
}

Figures Measure(const std::vector<double>& onsets, double stepFrames, double rate) {
    Figures f;
    const size_t n = onsets.size();
    if (n < 3) return f;
    f.tempoError = std::fabs(FittedStep(onsets) / stepFrames - 1);
    // Gaps: the seam is the gap into the first step of a pass. The first
    // onset heard is taken as step 0 of a pass for both sources.
    const size_t passSteps = size_t(kPassBeats) * 4;
    std::vector<double> dev, own;
    const double fitted = FittedStep(onsets);
    for (size_t k = 1; k < n; ++k) {
        const double d = std::fabs(onsets[k] - onsets[k - 1] - stepFrames) * 1000.0 / rate;
        own.push_back(std::fabs(onsets[k] - onsets[k - 1] - fitted) * 1000.0 / rate);
        dev.push_back(d);
        if (k % passSteps == 0) f.seam = std::max(f.seam, d);
    }
    f.median = Quantile(dev, 0.5);
    f.p99 = Quantile(dev, 0.99);
    f.worst = *std::max_element(dev.begin(), dev.end());
    f.ownP99 = Quantile(own, 0.99);
    return f;
}

// jack_midiseq playing `pattern`'s notes as one loop of a pass, on its own
// client; ends with the benchmark.
struct MidiSeq {
    pid_t pid = -1;
    MidiSeq(const std::string& name, const Pattern_Parameters& p, double stepFrames, double noteFrames) {
        const int passSteps = kPassBeats * 4;
        std::vector<std::string> args{"jack_midiseq", name, std::to_string(long(stepFrames * passSteps))};
        for (int k = 0; k < passSteps; ++k)
            for (int t = 0; t < kTrackCount; ++t) {
                args.push_back(std::to_string(long(stepFrames * k)));
                // The pass's first step is marked, to find the seams.
                args.push_back(std::to_string(t == 0 && k == 0 ? kPassMark : p.StepNote(t, k % kSteps)));
                args.push_back(std::to_string(long(noteFrames)));
            }
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawnp(&pid, "jack_midiseq", nullptr, nullptr, argv.data(), environ) != 0) pid = -1;
    }
    ~MidiSeq() {
        if (pid <= 0) return;
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
};

void BM_PlaybackBesideMidiSeq(benchmark::State& state) {
    CoreApp();
    if (!JackReachable()) {
        state.SkipWithError("JACK test server not reachable");
        return;
    }
    ::setenv("MIDIKIT_BACKEND", "jack", 1);
    // The peers first: the port list is taken as the library loads.
    const std::string editorPeer = "pbed" + std::to_string(::getpid());
    const std::string seqPeer = "pbseqin" + std::to_string(::getpid());
    const std::string seqName = "pbseq" + std::to_string(::getpid());
    JackPeer peer({.in = editorPeer});
    JackPeer seqIn({.in = seqPeer});
    TMidiKit::SetLibraryFolder("");
    TMidiKit kit;
    TMidiKitSync sync;
    TMidiKitOut out;
    sync.MidiKit = out.MidiKit = &kit;
    sync.Open(0, 10);
    out.Attach(&sync);
    const int port = FindPort(kit, false, editorPeer + ":in");
    if (port < 0 || !out.Open(uint16_t(port), MIDIKIT_OPEN_ARGUMENT)) {
        state.SkipWithError("peer port not found");
        return;
    }
    MidiRouting routing;
    routing.Out[0] = &out;
    routing.NumOutDevs = 1;
    routing.Out1DeviceFlags[0] = true;
    RoutingPlaybackPorts ports(routing, [&sync] { return &sync; });
    PatternPlayer player(ports, kPassBeats);
    player.SetTempoText(std::to_string(kBpm));

    const double rate = peer.Rate();
    const double stepFrames = rate * 60.0 / kBpm / 4;
    const Pattern_Parameters pattern = FullPattern();
    const size_t wanted = size_t(kPassBeats) * 4 * kPasses + 1;
    Figures ed, seq;
    double edWallErr = 0, seqWallErr = 0;
    for (auto _ : state) {
        MidiSeq midiseq(seqName, pattern, stepFrames, stepFrames / 2);
        if (midiseq.pid <= 0) {
            state.SkipWithError("jack_midiseq could not be started");
            return;
        }
        PumpUntil([&] { return std::system(("jack_connect " + seqName + ":out " + seqPeer + ":in 2>/dev/null").c_str()) == 0; },
                  5000);
        peer.Clear();
        seqIn.Clear();
        player.Play(pattern);
        // jack_midiseq's loop began when it started: its measure begins with
        // the first step of a pass (its marked note).
        PumpUntil([&] { return Onsets(peer).size() >= wanted; }, 60000);
        PumpUntil([&] { return Onsets(seqIn, kPassMark).size() >= wanted; }, 20000);
        player.Stop();
        auto seqOnsets = Onsets(seqIn, kPassMark);
        auto edWall = Onsets(peer, 0, true), seqWall = Onsets(seqIn, kPassMark, true);
        edWall.resize(std::min(edWall.size(), wanted));
        seqWall.resize(std::min(seqWall.size(), wanted));
        edWallErr = std::fabs(FittedStep(edWall) / (60.0 / kBpm / 4) - 1);
        seqWallErr = std::fabs(FittedStep(seqWall) / (60.0 / kBpm / 4) - 1);
        auto edOnsets = Onsets(peer);
        if (edOnsets.size() < wanted || seqOnsets.size() < wanted) {
            state.SkipWithError("onsets missing");
            break;
        }
        edOnsets.resize(wanted);
        seqOnsets.resize(wanted);
        ed = Measure(edOnsets, stepFrames, rate);
        seq = Measure(seqOnsets, stepFrames, rate);
        // Both played at the tempo named, as the frames tell.
        if (!bench::Check(state, ed.tempoError < 0.01 && seq.tempoError < 0.01, "a tempo other than the one named"))
            return;
    }
    const double floor = 1000.0 / rate;  // one frame, ms
    auto ratio = [&](double a, double b) { return std::max(a, floor) / std::max(b, floor); };
    state.counters["ed_tempo_err_ppm"] = ed.tempoError * 1e6;
    state.counters["seq_tempo_err_ppm"] = seq.tempoError * 1e6;
    state.counters["ed_tempo_err_wall_ppm"] = edWallErr * 1e6;
    state.counters["seq_tempo_err_wall_ppm"] = seqWallErr * 1e6;
    state.counters["ed_gap_median_ms"] = ed.median;
    state.counters["seq_gap_median_ms"] = seq.median;
    state.counters["ed_gap_p99_ms"] = ed.p99;
    state.counters["seq_gap_p99_ms"] = seq.p99;
    state.counters["ed_gap_worst_ms"] = ed.worst;
    state.counters["seq_gap_worst_ms"] = seq.worst;
    state.counters["ed_seam_ms"] = ed.seam;
    state.counters["seq_seam_ms"] = seq.seam;
    state.counters["ed_jitter_p99_ms"] = ed.ownP99;
    state.counters["seq_jitter_p99_ms"] = seq.ownP99;
    state.counters["ratio_median"] = ratio(ed.median, seq.median);
    state.counters["ratio_p99"] = ratio(ed.p99, seq.p99);
    state.counters["ratio_worst"] = ratio(ed.worst, seq.worst);
    state.counters["ratio_seam"] = ratio(ed.seam, seq.seam);
}
BENCHMARK(BM_PlaybackBesideMidiSeq)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

MORVELANT_BENCHMARK_MAIN();
