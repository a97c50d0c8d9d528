// Latency the toolkit adds to a MIDI round trip on the JACK server, and
// whether it loses events at 10,000 events per second.
//
// Topology: a relay client copies everything from its input port to its
// output port. Each sample sends two 3-byte messages at the same moment: one
// through TMidiKitOut -> relay -> TMidiKitIn -> OnMidiData (on the
// application thread, woken from its event loop as in the program), and one
// through a plain RtMidi output -> relay -> plain RtMidi input callback. Both
// cross the same JACK cycles, so the difference of the two times is what the
// toolkit adds (driver threads, queues, the queued call to the application
// thread). Needs the JACK server named by JACK_DEFAULT_SERVER (or
// MORVELANT_JACK_SERVER).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTimer>

#include <RtMidi.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "midikit/MidiKitDLL.h"
#include "midikit/MidiKitIn.h"
#include "midikit/MidiKitOut.h"
#include "tests/support/JackServer.h"
#include "tests/support/KitPorts.h"
#include "tests/support/QtTestApp.h"

using namespace morvelant;
using Clock = std::chrono::steady_clock;

namespace {

double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    size_t i = static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

QCoreApplication* App() { return testsupport::CoreApp(); }

int FindRtPort(RtMidi& api, const std::string& part) {
    for (unsigned i = 0; i < api.getPortCount(); ++i)
        if (api.getPortName(i).find(part) != std::string::npos) return static_cast<int>(i);
    return -1;
}

// Status bytes that tell the two paths apart at the relay's output.
constexpr uint8_t KitStatus = 0x90;
constexpr uint8_t DirectStatus = 0x91;

// Everything both benchmarks need, built once.
struct Rig {
    std::string tag = std::to_string(::getpid());
    std::unique_ptr<RtMidiIn> relayIn;
    std::unique_ptr<RtMidiOut> relayOut;
    std::unique_ptr<RtMidiOut> directOut;
    std::unique_ptr<RtMidiIn> directIn;
    std::unique_ptr<TMidiKit> kit;
    std::unique_ptr<TMidiKitOut> out;
    std::unique_ptr<TMidiKitIn> in;
    std::atomic<int64_t> directArrival{0};  // Clock ticks; 0 = not yet
    std::atomic<int> directBulk{0};  // bulk messages seen on the direct path
    std::atomic<int> relayedKitBulk{0};  // toolkit bulk messages seen by the relay
    std::atomic<int> kitBulkAtDirectIn{0};  // ... and by the plain input after the relay
    std::string error;

    static void Relay(double, std::vector<unsigned char>* m, void* self) {
        auto* rig = static_cast<Rig*>(self);
        // Count every controller message in the packet, joined or not.
        for (size_t i = 0; i + 2 < m->size(); i += 3)
            if (((*m)[i] & 0xF0) == 0xB0) ++rig->relayedKitBulk;
        rig->relayOut->sendMessage(m);
    }
    static void Direct(double, std::vector<unsigned char>* m, void* self) {
        if (m->empty()) return;
        if ((*m)[0] == DirectStatus)
            static_cast<Rig*>(self)->directArrival.store(Clock::now().time_since_epoch().count());
        else if (((*m)[0] & 0xF0) == 0xA0)
            ++static_cast<Rig*>(self)->directBulk;
        else if (((*m)[0] & 0xF0) == 0xB0)
            ++static_cast<Rig*>(self)->kitBulkAtDirectIn;
    }

    bool Build() {
        App();
        if (!testsupport::JackReachable()) {
            error = "JACK server " + testsupport::JackTestServerName() + " not reachable";
            return false;
        }
        try {
            relayIn = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, "bry" + tag + "i");
            relayOut = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, "bry" + tag + "o");
            relayIn->ignoreTypes(false, false, false);
            relayIn->setCallback(&Rig::Relay, this);
            relayIn->openVirtualPort("in");
            relayOut->openVirtualPort("out");

            directOut = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, "bdr" + tag + "o");
            directIn = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, "bdr" + tag + "i");
            int o = FindRtPort(*directOut, "bry" + tag + "i:in");
            int i = FindRtPort(*directIn, "bry" + tag + "o:out");
            if (o < 0 || i < 0) {
                error = "relay ports not found";
                return false;
            }
            directOut->openPort(static_cast<unsigned>(o), "out");
            directIn->setCallback(&Rig::Direct, this);
            directIn->openPort(static_cast<unsigned>(i), "in");
        } catch (const RtMidiError& e) {
            error = e.getMessage();
            return false;
        }

        ::setenv("MIDIKIT_BACKEND", "jack", 1);
        try {
            kit = std::make_unique<TMidiKit>();
        } catch (const EMidiKitException& e) {
            error = e.what();
            return false;
        }
        out = std::make_unique<TMidiKitOut>();
        in = std::make_unique<TMidiKitIn>();
        out->MidiKit = in->MidiKit = kit.get();
        int o = testsupport::FindPort(*kit, false, "bry" + tag + "i:in");
        int i = testsupport::FindPort(*kit, true, "bry" + tag + "o:out");
        if (o < 0 || i < 0 || !out->Open(static_cast<uint16_t>(o), MIDIKIT_OPEN_ARGUMENT) ||
            !in->Open(static_cast<uint16_t>(i), MIDIKIT_OPEN_ARGUMENT)) {
            error = "toolkit ports did not open";
            return false;
        }
        in->Start();
        // Let JACK settle the new connections.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return true;
    }
};

Rig& TheRig() {
    static Rig* rig = [] {
        auto* r = new Rig;
        r->Build();
        return r;
    }();
    return *rig;
}

// Runs the application thread's event loop until done() holds or a second
// passes; the thread sleeps in the loop like the program's GUI thread.
bool WaitInLoop(const std::function<bool()>& done) {
    bool expired = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] { expired = true; });
    guard.start(1000);
    while (!done() && !expired) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

void BM_RoundTripAddedLatency(benchmark::State& state) {
    Rig& rig = TheRig();
    if (!rig.error.empty()) {
        state.SkipWithError(rig.error.c_str());
        return;
    }
    std::vector<double> kitUs, directUs, addedUs;
    int64_t kitArrival = 0;
    rig.in->OnMidiData = [&](LPMIDIEVENT e, bool*) {
        if (e->status == KitStatus) kitArrival = Clock::now().time_since_epoch().count();
    };
    std::mt19937 random(42);
    std::uniform_int_distribution<int> offsetUs(0, 3000);
    int lost = 0;
    uint8_t seq = 0;
    for (auto _ : state) {
        seq = static_cast<uint8_t>((seq + 1) & 0x7F);
        kitArrival = 0;
        rig.directArrival.store(0);
        MidiEvent e{MIDIKIT_TIME_NOW, KitStatus, seq, 100, 0};
        std::vector<unsigned char> direct{DirectStatus, seq, 100};
        auto t0 = Clock::now();
        rig.out->Put(&e);
        auto t0direct = Clock::now();
        rig.directOut->sendMessage(&direct);
        bool ok = WaitInLoop([&] { return kitArrival != 0; });
        while (ok && rig.directArrival.load() == 0 && Clock::now() - t0 < std::chrono::seconds(1))
            std::this_thread::yield();
        if (!ok || rig.directArrival.load() == 0) {
            ++lost;
            continue;
        }
        double kit = Micros(Clock::time_point(Clock::duration(kitArrival)) - t0);
        double dir = Micros(Clock::time_point(Clock::duration(rig.directArrival.load())) - t0direct);
        kitUs.push_back(kit);
        directUs.push_back(dir);
        addedUs.push_back(kit - dir);
        state.SetIterationTime(kit / 1e6);
        // Start the next sample at another point of the JACK cycle.
        std::this_thread::sleep_for(std::chrono::microseconds(offsetUs(random)));
    }
    rig.in->OnMidiData = nullptr;
    state.counters["toolkit_median_us"] = Percentile(kitUs, 0.5);
    state.counters["toolkit_p99_us"] = Percentile(kitUs, 0.99);
    state.counters["direct_median_us"] = Percentile(directUs, 0.5);
    state.counters["direct_p99_us"] = Percentile(directUs, 0.99);
    state.counters["added_median_us"] = Percentile(addedUs, 0.5);
    state.counters["added_p99_us"] = Percentile(addedUs, 0.99);
    state.counters["samples"] = static_cast<double>(addedUs.size());
    state.counters["lost"] = lost;
}
BENCHMARK(BM_RoundTripAddedLatency)->UseManualTime()->Iterations(3000)->Unit(benchmark::kMicrosecond);

// 10,000 events in one second through TMidiKitOut, the server and the relay,
// back in through TMidiKitIn; every event carries its sequence number. The
// plain RtMidi path carries the same stream at the same moments, so that a
// loss of the server itself (a client that misses its cycle under load) shows
// on both paths and is not taken for a loss of the toolkit.
void BM_TenThousandPerSecond(benchmark::State& state) {
    Rig& rig = TheRig();
    if (!rig.error.empty()) {
        state.SkipWithError(rig.error.c_str());
        return;
    }
    constexpr int Count = 10000;
    std::vector<uint8_t> seen(Count, 0);
    int received = 0, outOfOrder = 0, last = -1, refused = 0;
    rig.in->OnMidiData = [&](LPMIDIEVENT e, bool*) {
        if ((e->status & 0xF0) != 0xB0) return;
        int n = ((e->status & 0x0F) << 14) | (e->data1 << 7) | e->data2;
        if (n >= 0 && n < Count && !seen[n]) {
            seen[n] = 1;
            ++received;
            if (n < last) ++outOfOrder;
            last = n;
        }
    };
    for (auto _ : state) {
        std::fill(seen.begin(), seen.end(), 0);
        received = outOfOrder = refused = 0;
        last = -1;
        rig.relayedKitBulk = 0;
        rig.directBulk = 0;
        rig.kitBulkAtDirectIn = 0;
        auto start = Clock::now();
        for (int n = 0; n < Count; ++n) {
            auto due = start + std::chrono::microseconds(100 * n);
            while (Clock::now() < due) QCoreApplication::processEvents(QEventLoop::AllEvents);
            MidiEvent e{MIDIKIT_TIME_NOW, static_cast<uint8_t>(0xB0 | (n >> 14)), static_cast<uint8_t>((n >> 7) & 0x7F),
                        static_cast<uint8_t>(n & 0x7F), 0};
            while (!rig.out->Put(&e)) {
                ++refused;
                QCoreApplication::processEvents(QEventLoop::AllEvents);
            }
            std::vector<unsigned char> m{static_cast<unsigned char>(0xA0 | (n >> 14)), e.data1, e.data2};
            rig.directOut->sendMessage(&m);
        }
        auto sent = Clock::now();
        WaitInLoop([&] { return received == Count; });
        // Stragglers after the last one.
        auto settle = Clock::now() + std::chrono::milliseconds(200);
        while (Clock::now() < settle) QCoreApplication::processEvents(QEventLoop::AllEvents);
        state.SetIterationTime(std::chrono::duration<double>(sent - start).count());
    }
    rig.in->OnMidiData = nullptr;
    state.counters["sent"] = Count;
    state.counters["toolkit_received"] = received;
    state.counters["toolkit_lost"] = Count - received;
    // Of those, lost before reaching the relay (on the way out).
    state.counters["toolkit_lost_outbound"] = Count - rig.relayedKitBulk.load();
    // Toolkit events that the plain input got back from the relay: those the
    // toolkit's input lacks beyond these were lost on its way in.
    state.counters["toolkit_at_plain_input"] = rig.kitBulkAtDirectIn.load();
    state.counters["direct_lost"] = Count - rig.directBulk.load();
    state.counters["out_of_order"] = outOfOrder;
    state.counters["put_refused"] = refused;
}
BENCHMARK(BM_TenThousandPerSecond)->UseManualTime()->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
