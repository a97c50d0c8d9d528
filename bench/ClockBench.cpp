// Timing of the driver library's sync clock through the JACK backend: the
// beat notifications and the notes it sends (one per beat, to a peer client)
// against the ideal times, over 60 beats at 120 bpm (30 s) and at 600 bpm.
// Counters, in milliseconds: median and maximum deviation of the beat
// notifications (beat_*) and of the notes' arrival at the peer (note_*).
// Needs the JACK test server (JACK_DEFAULT_SERVER); without it the benchmark
// reports an error and skips.
#include <benchmark/benchmark.h>

#include <RtMidi.h>

#include <algorithm>
#include <cmath>

#include "tests/driver/DriverTestSupport.h"

using namespace morvelant::drivertest;
using Clock = std::chrono::steady_clock;

namespace {

void Quiet(RtMidiError::Type, const std::string&, void*) {}

struct Stamps {
    std::mutex mx;
    std::vector<Clock::time_point> beats;
    std::vector<Clock::time_point> notes;
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

void OnNote(double, std::vector<unsigned char>* m, void* context) {
    auto now = Clock::now();
    auto* s = static_cast<Stamps*>(context);
    if (!m->empty() && ((*m)[0] & 0xF0) == 0x90) {
        std::lock_guard lock(s->mx);
        s->notes.push_back(now);
    }
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
    RtMidiIn peer(RtMidi::UNIX_JACK, peerName, 1000);
    peer.setErrorCallback(Quiet, nullptr);
    peer.setCallback(OnNote, &stamps);
    peer.openVirtualPort("in");

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
        Deviation(stamps.notes, start, beatMs, nMed, nMax);
        state.counters["beats"] = double(stamps.beats.size());
        state.counters["notes"] = double(stamps.notes.size());
        state.counters["beat_median_ms"] = bMed;
        state.counters["beat_max_ms"] = bMax;
        state.counters["note_median_ms"] = nMed;
        state.counters["note_max_ms"] = nMax;
        state.counters["bpm"] = 60000000.0 / double(tempo);
    }
    kit->CloseMidiOut(out);
    kit->CloseSync(sync);
    peer.cancelCallback();
}

}  // namespace

BENCHMARK(BM_ClockBeatsThroughJack)
    ->Arg(500000)
    ->Arg(100000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();
