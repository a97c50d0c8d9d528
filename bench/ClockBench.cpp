// Timing of the driver library's sync clock through the JACK backend: the
// beat notifications and the notes it sends (one per beat, to a peer client)
// against the ideal times, over 60 beats at 120 bpm (30 s) and at 600 bpm.
// Counters, in milliseconds: median and maximum deviation of the beat
// notifications (beat_*); for the notes, read from the frames at which the
// peer sees them: their delay after the ideal time (note_delay_*, meant to
// be constant and at most one period), the jitter around that delay
// (note_jitter_*), and the period for comparison. Needs the JACK test server
// (JACK_DEFAULT_SERVER); without it the benchmark reports an error and skips.
//
// Also the time that opening an output and an input to a peer takes on the
// caller's thread (open_ms), against one server round trip of a plain
// client measured beside it (a port registered and unregistered):
// x_round_trip.
#include <benchmark/benchmark.h>

#include "bench/BenchCheck.h"

#include <algorithm>
#include <cmath>

#include "tests/driver/DriverTestSupport.h"
#include "tests/support/JackPeer.h"

using namespace morvelant::drivertest;
using Clock = std::chrono::steady_clock;

namespace {

struct Stamps {
    std::mutex mx;
    std::vector<Clock::time_point> beats;
    std::atomic<bool> done{false};
};

void OnNotify(void* context, uint32_t message) {
    auto now = Clock::now();
    auto* s = static_cast<Stamps*>(context);
    std::lock_guard lock(s->mx);
    if (message == MIDIKIT_MSG_SYNC_BEAT)
        s->beats.push_back(now);
    else if (message == MIDIKIT_MSG_SYNC_DONE)
        s->done = true;
}

// Deviations in ms of stamps[i] from start + (i + 1) beats.
void Deviation(const std::vector<Clock::time_point>& stamps, Clock::time_point start, double beatMs, double& median,
               double& maximum) {
    std::vector<double> dev;
    for (size_t i = 0; i < stamps.size(); ++i) {
        double actual = std::chrono::duration<double, std::milli>(stamps[i] - start).count();
        dev.push_back(std::fabs(actual - beatMs * double(i + 1)));
    }
    if (dev.empty()) {
        median = maximum = -1;
        return;
    }
    std::sort(dev.begin(), dev.end());
    median = dev[dev.size() / 2];
    maximum = dev.back();
}

void BM_ClockBeatsThroughJack(benchmark::State& state) {
    const uint32_t tempo = uint32_t(state.range(0));  // microseconds per quarter
    const int beats = 60;
    if (!JackReachable()) {
        state.SkipWithError("the JACK test server is not reachable");
        return;
    }
    Stamps stamps;
    std::string peerName = "ClockPeer" + std::to_string(getpid()) + "t" + std::to_string(tempo);
    morvelant::testsupport::JackPeer peer({.in = peerName, .quiet = true});

    auto kit = Kit::Load("jack");
    if (!kit->Ok()) {
        state.SkipWithError(kit->error.c_str());
        return;
    }
    int port = Kit::IndexOf(kit->OutNames(), peerName + ":in");
    if (port < 0) {
        state.SkipWithError("the peer's port is not listed");
        return;
    }
    MidiKitNotifyTarget target{OnNotify, &stamps};
    uint32_t sync = kit->OpenSync(0, &target, 0, 10);
    uint32_t out = kit->OpenMidiOut(nullptr, uint32_t(port), sync, MIDIKIT_OPEN_ARGUMENT);
    kit->SetTempo(sync, tempo);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // connection settles

    double beatMs = double(tempo) / 1000.0;
    for (auto _ : state) {
        for (int i = 0; i < beats; ++i) {
            MidiEvent e{480, 0x90, uint8_t(i & 0x7F), 100, 0};
            kit->PutMidiOut(out, &e);
        }
        auto start = Clock::now();
        kit->StartSync(sync);
        while (!stamps.done) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // last note lands
        kit->PauseSync(sync, 0);
        std::lock_guard lock(stamps.mx);
        stamps.beats.resize(std::min<size_t>(stamps.beats.size(), beats));
        double bMed, bMax, nMed, nMax;
        Deviation(stamps.beats, start, beatMs, bMed, bMax);
        // Each note's delay after its ideal time, from the moment of the
        // frame it arrived at; the jitter is how far each strays from the
        // median delay.
        std::vector<double> delays;
        for (const auto& a : peer.Arrivals()) {
            if (a.bytes.empty() || (a.bytes[0] & 0xF0) != 0x90) continue;
            const double ideal = beatMs * double(delays.size() + 1);
            delays.push_back(std::chrono::duration<double, std::milli>(a.at - start).count() - ideal);
        }
        std::vector<double> sorted = delays;
        std::sort(sorted.begin(), sorted.end());
        const double delay = sorted.empty() ? -1 : sorted[sorted.size() / 2];
        std::vector<double> jitter;
        for (double d : delays) jitter.push_back(std::fabs(d - delay));
        std::sort(jitter.begin(), jitter.end());
        nMed = jitter.empty() ? -1 : jitter[jitter.size() / 2];
        nMax = jitter.empty() ? -1 : jitter.back();
        state.counters["beats"] = double(stamps.beats.size());
        state.counters["notes"] = double(delays.size());
        state.counters["beat_median_ms"] = bMed;
        state.counters["beat_max_ms"] = bMax;
        state.counters["note_delay_median_ms"] = delay;
        state.counters["note_delay_min_ms"] = sorted.empty() ? -1 : sorted.front();
        state.counters["note_delay_max_ms"] = sorted.empty() ? -1 : sorted.back();
        state.counters["note_jitter_median_ms"] = nMed;
        state.counters["note_jitter_p99_ms"] =
            jitter.empty() ? -1 : jitter[std::min(jitter.size() - 1, size_t(0.99 * double(jitter.size())))];
        state.counters["note_jitter_max_ms"] = nMax;
        state.counters["period_ms"] = 1000.0 * double(peer.Period()) / double(std::max(1u, peer.Rate()));
        state.counters["bpm"] = 60000000.0 / double(tempo);
        morvelant::bench::CheckCount(state, "beats", int64_t(stamps.beats.size()), beats);
        morvelant::bench::CheckCount(state, "notes", int64_t(delays.size()), beats);
    }
    kit->CloseMidiOut(out);
    kit->CloseSync(sync);
    kit.reset();  // unloads the library copy, which closes its JACK client
}

void BM_OpenPortsThroughJack(benchmark::State& state) {
    if (!JackReachable()) {
        state.SkipWithError("the JACK test server is not reachable");
        return;
    }
    const std::string peerName = "OpenPeer" + std::to_string(getpid());
    morvelant::testsupport::JackPeer peer({.in = peerName, .out = peerName + "o", .quiet = true});
    jack_client_t* plain = morvelant::testsupport::OpenTestClient(morvelant::testsupport::OwnClientName("OpenBaseline"),
                                                                  JackNullOption, true);
    auto kit = Kit::Load("jack");
    if (!kit->Ok() || !plain) {
        state.SkipWithError(plain ? kit->error.c_str() : "no plain client");
        if (plain) jack_client_close(plain);
        return;
    }
    const int outPort = Kit::IndexOf(kit->OutNames(), peerName + ":in");
    const int inPort = Kit::IndexOf(kit->InNames(), peerName + "o:out");
    if (outPort < 0 || inPort < 0) {
        state.SkipWithError("the peer's ports are not listed");
        jack_client_close(plain);
        return;
    }
    double openMs = 0, tripMs = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        const uint32_t out = kit->OpenMidiOut(nullptr, uint32_t(outPort), 0, MIDIKIT_OPEN_ARGUMENT);
        const uint32_t in = kit->OpenMidiIn(nullptr, uint32_t(inPort), 0, MIDIKIT_OPEN_ARGUMENT);
        openMs += std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        state.PauseTiming();
        morvelant::bench::Check(state, out > 0x20 && in > 0x20, "opens that failed");
        peer.Clear();
        MidiEvent e{MIDIKIT_TIME_NOW, 0x90, 60, 100, 0};
        kit->PutMidiOut(out, &e);
        if (!peer.WaitFor(1, std::chrono::seconds(5))) state.SkipWithError("the note did not arrive");
        kit->CloseMidiOut(out);
        kit->CloseMidiIn(in);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the closed ports leave the graph
        t0 = Clock::now();
        jack_port_t* p = jack_port_register(plain, "trip", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        if (p) jack_port_unregister(plain, p);
        tripMs += std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        state.ResumeTiming();
    }
    const double n = double(state.iterations());
    state.counters["open_ms"] = openMs / n;
    state.counters["round_trip_ms"] = tripMs / n;
    state.counters["x_round_trip"] = openMs / std::max(tripMs, 1e-6);
    kit.reset();
    jack_client_close(plain);
}

}  // namespace

BENCHMARK(BM_OpenPortsThroughJack)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK(BM_ClockBeatsThroughJack)
    ->Arg(500000)
    ->Arg(100000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

MORVELANT_BENCHMARK_MAIN();
