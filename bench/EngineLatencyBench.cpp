// How much time the editor adds to a MIDI event that passes through it: a
// peer client on the JACK server sends a Note On to the editor's input
// component; the input function of a fader (velocity multiplier) sends the
// changed Note On to the output port the peer listens on. The same peer's
// direct loop (its own output port connected straight to its input port)
// is measured in the same run, interleaved, and the difference of each pair
// is the added latency.
//
// Needs a running JACK server: the one named by MORVELANT_JACK_SERVER
// (default "morvelant-" and the program's name), started when it does not run. Arrival times
// are the moments the peer's process callback takes the events.
//
// A second benchmark sends a stream of controller messages through MIDI
// thru and counts what reaches the peer: events per second without loss.
#include <benchmark/benchmark.h>

#include "bench/BenchCheck.h"

#include <QCoreApplication>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <jack/jack.h>

#include "engine/Engine.h"
#include "engine/MidiInDeviceUnit.h"
#include "midikit/MidiKitDLL.h"
#include "midikit/MidiKitIn.h"
#include "midikit/MidiKitOut.h"
#include "tests/support/JackPeer.h"
#include "tests/support/JackServer.h"

namespace morvelant {
namespace {

using Clock = std::chrono::steady_clock;

using testsupport::JackReachable;
using testsupport::JackTestServerName;

using testsupport::JackPeer;

struct Rig {
    std::string client = "LatPeer" + std::to_string(::getpid());
    std::unique_ptr<JackPeer> peer;  // "i:in" where both loops end, "o:out" feeds the editor's input
    std::unique_ptr<JackPeer> direct;  // "d:out", connected straight to the peer's input
    std::unique_ptr<TMidiKit> kit;
    DeviceModel model;
    MidiRouting routing;
    Notifications notices;
    Engine engine{model, routing, notices};
    std::unique_ptr<TMidiDeviceForm> form;
    std::unique_ptr<TMidiKitOut> out;
    int inPort = -1;
    std::string error;

    bool Build() {
        testsupport::UseJackServer();
        ::setenv("MIDIKIT_BACKEND", "jack", 1);
        peer = std::make_unique<JackPeer>(JackPeer::Setup{.in = client + "i", .out = client + "o", .quiet = true});
        direct = std::make_unique<JackPeer>(JackPeer::Setup{.out = client + "d", .quiet = true});
        if (!peer->Ok() || !direct->Ok() || !testsupport::PatchPorts(client + "d:out", client + "i:in"))
            return Fail("the direct loop could not be connected");

        kit = std::make_unique<TMidiKit>();
        form = std::make_unique<TMidiDeviceForm>(engine);
        routing.NumInDevs = std::min(static_cast<int>(kit->pGetNumInDevices()), kMaxPorts);
        routing.NumOutDevs = std::min(static_cast<int>(kit->pGetNumOutDevices()), kMaxPorts);
        const auto description = [](TGetMidiInDescription get, int port) {
            char name[33] = {};
            get(static_cast<uint32_t>(port), name);
            return std::string(name);
        };
        int outPort = -1;
        std::string names;
        for (int j = 0; j < routing.NumInDevs; ++j) {
            const std::string name = description(kit->pGetMidiInDescription, j);
            if (name.find(client + "o") != std::string::npos) inPort = j;
            names += " [" + name + "]";
        }
        for (int j = 0; j < routing.NumOutDevs; ++j)
            if (description(kit->pGetMidiOutDescription, j).find(client + "i") != std::string::npos) outPort = j;
        if (inPort < 0 || outPort < 0) return Fail("the peer's ports are not offered by the driver; inputs:" + names);
        routing.MorvelantPCDeviceIndex = routing.NumInDevs;
        routing.In1DeviceFlags[static_cast<size_t>(inPort)] = true;
        routing.Out1DeviceFlags[static_cast<size_t>(outPort)] = true;
        TMidiKitIn* in = form->In(inPort);
        in->MidiKit = kit.get();
        if (!in->Open(static_cast<uint16_t>(inPort), MIDIKIT_OPEN_ARGUMENT)) return Fail("input did not open");
        in->Start();
        out = std::make_unique<TMidiKitOut>();
        out->MidiKit = kit.get();
        if (!out->Open(static_cast<uint16_t>(outPort), MIDIKIT_OPEN_ARGUMENT)) return Fail("output did not open");
        routing.Out[static_cast<size_t>(outPort)] = out.get();

        // Fader 0 halves the velocity of every Note On on channel 1.
        auto& p = model.Presets[0];
        p.FaderStatus(0) = 0x90;
        p.FaderMidiData1(0) = 60;
        p.FaderMidiMode(0) = 1 | (4 << 3);
        for (int f = 0; f < kFaderCount; ++f) model.FaderStates[static_cast<size_t>(f)].Index = f;
        model.FaderStates[0].Value = 64;
        return true;
    }
    bool Fail(const std::string& why) {
        error = why;
        return false;
    }
    // Every JACK client is closed before the program ends.
    ~Rig() {
        if (form && inPort >= 0 && form->In(inPort)->IsOpen()) form->In(inPort)->Close();
        if (out && out->IsOpen()) out->Close();
        out.reset();
        form.reset();
        kit.reset();
        direct.reset();
        peer.reset();
    }
};

// Sends one Note On and waits (running the event loop, as the GUI thread
// does) until a Note On arrives at the peer. The round trip in nanoseconds,
// or -1 when nothing came within a second.
int64_t RoundTrip(JackPeer& sender, JackPeer& receiver, uint8_t velocity) {
    receiver.Clear();
    const auto start = Clock::now();
    sender.Send({0x90, 0x3C, velocity});
    const auto limit = start + std::chrono::seconds(1);
    for (;;) {
        for (const auto& a : receiver.Arrivals())
            if (!a.bytes.empty() && (a.bytes[0] & 0xF0) == 0x90)
                return std::chrono::duration_cast<std::chrono::nanoseconds>(a.seen - start).count();
        if (Clock::now() > limit) return -1;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

double Percentile(std::vector<int64_t> v, double q) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, static_cast<size_t>(q * static_cast<double>(v.size() - 1) + 0.5));
    return static_cast<double>(v[i]) / 1000.0;  // microseconds
}

// Built on first use; dropped before the application object goes.
std::unique_ptr<Rig> gRig;

Rig* TheRig() {
    static bool tried = false;
    if (!tried) {
        tried = true;
        if (!JackReachable()) return nullptr;
        gRig = std::make_unique<Rig>();
        if (!gRig->Build()) std::fprintf(stderr, "EngineLatencyBench: %s\n", gRig->error.c_str());
    }
    return gRig && gRig->error.empty() ? gRig.get() : nullptr;
}

// Each iteration: one direct round trip and one through the editor, in turn.
// Iteration time: the editor's round trip.
void BM_NoteOnThroughEngineVsDirectJack(benchmark::State& state) {
    Rig* rig = TheRig();
    if (!rig) {
        state.SkipWithError(("no JACK server '" + JackTestServerName() + "' or the rig failed").c_str());
        return;
    }
    // Settle: a few of each before measuring.
    for (int i = 0; i < 20; ++i) {
        RoundTrip(*rig->direct, *rig->peer, 100);
        RoundTrip(*rig->peer, *rig->peer, 100);
    }
    std::vector<int64_t> direct, engine, added;
    int lostDirect = 0, lostEngine = 0;
    for (auto _ : state) {
        const int64_t d = RoundTrip(*rig->direct, *rig->peer, 100);
        const int64_t e = RoundTrip(*rig->peer, *rig->peer, 100);
        if (d < 0 || e < 0) {
            lostDirect += d < 0;
            lostEngine += e < 0;
            state.SetIterationTime(1.0);
            continue;
        }
        direct.push_back(d);
        engine.push_back(e);
        added.push_back(e - d);
        state.SetIterationTime(static_cast<double>(e) / 1e9);
    }
    // The last Note On came back through the fader's input function, which
    // changes its velocity: it went through the editor, not around it.
    int velocity = -1;
    for (const auto& a : rig->peer->Arrivals())
        if (a.bytes.size() == 3 && (a.bytes[0] & 0xF0) == 0x90) velocity = a.bytes[2];
    if (!bench::Check(state, !engine.empty() && velocity >= 0 && velocity != 100,
                      "a Note On of velocity " + std::to_string(velocity) + " back from the engine"))
        return;
    state.counters["direct_median_us"] = Percentile(direct, 0.5);
    state.counters["direct_p99_us"] = Percentile(direct, 0.99);
    state.counters["engine_median_us"] = Percentile(engine, 0.5);
    state.counters["engine_p99_us"] = Percentile(engine, 0.99);
    state.counters["added_median_us"] = Percentile(added, 0.5);
    state.counters["added_p99_us"] = Percentile(added, 0.99);
    // Round trips that did not come back within a second (not in the figures).
    state.counters["lost_direct"] = lostDirect;
    state.counters["lost_engine"] = lostEngine;
}
BENCHMARK(BM_NoteOnThroughEngineVsDirectJack)->Iterations(2000)->UseManualTime()->Unit(benchmark::kMicrosecond);

// A stream of controller messages at the rate given (events per second) from
// the peer through MIDI thru back to it; every one carries its number.
void BM_ThruEventsPerSecond(benchmark::State& state) {
    Rig* rig = TheRig();
    if (!rig) {
        state.SkipWithError(("no JACK server '" + JackTestServerName() + "' or the rig failed").c_str());
        return;
    }
    constexpr int kCount = 20000;
    const int rate = static_cast<int>(state.range(0));
    MidiRouting& r = rig->routing;
    r.Thru = true;
    r.ThruInDeviceFlags[static_cast<size_t>(rig->inPort)] = true;
    for (int j = 0; j < r.NumOutDevs; ++j)
        r.ThruDeviceFlags[static_cast<size_t>(j)] = r.Out1DeviceFlags[static_cast<size_t>(j)];
    int received = 0;
    double seconds = 0, sendSeconds = 0;
    for (auto _ : state) {
        rig->peer->Clear();
        const auto start = Clock::now();
        for (int n = 0; n < kCount; ++n) {
            const auto due = start + std::chrono::nanoseconds(int64_t(1e9) * n / rate);
            while (Clock::now() < due) QCoreApplication::processEvents(QEventLoop::AllEvents);
            rig->peer->Send({static_cast<unsigned char>(0xB1 | (n >> 14 & 0x0E)),
                             static_cast<unsigned char>(n >> 7 & 0x7F), static_cast<unsigned char>(n & 0x7F)});
        }
        sendSeconds = std::chrono::duration<double>(Clock::now() - start).count();
        const auto limit = Clock::now() + std::chrono::seconds(2);
        Clock::time_point last{};
        while (Clock::now() < limit) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            received = 0;
            for (const auto& a : rig->peer->Arrivals())
                if (!a.bytes.empty() && (a.bytes[0] & 0xF0) == 0xB0) {
                    ++received;
                    last = a.seen;
                }
            if (received >= kCount) break;
        }
        seconds = std::chrono::duration<double>(last - start).count();
        state.SetIterationTime(seconds > 0 ? seconds : 1.0);
    }
    bench::CheckRate(state, "a stream sent", kCount, sendSeconds, rate);
    r.Thru = false;
    r.ThruInDeviceFlags.fill(false);
    r.ThruDeviceFlags.fill(false);
    state.counters["sent"] = kCount;
    state.counters["received"] = received;
    state.counters["lost"] = kCount - received;
    state.counters["events_per_s"] = seconds > 0 ? received / seconds : 0;
}
BENCHMARK(BM_ThruEventsPerSecond)
    ->Arg(10000)
    ->Arg(50000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

void DropLatencyRig() { gRig.reset(); }

}  // namespace morvelant

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int status = morvelant::bench::RunBenchmarkMain(&argc, argv);
    morvelant::DropLatencyRig();
    return status;
}
