// Latency the toolkit adds to a MIDI round trip on the JACK server, and
// whether it loses events at 10,000 events per second.
//
// Topology: a relay client (libjack) copies everything from its input port
// to its output port within the same cycle. Each sample sends two 3-byte
// messages at the same moment: one through TMidiKitOut -> relay ->
// TMidiKitIn -> OnMidiData (on the application thread, woken from its event
// loop as in the program), and one through a direct libjack loop: a plain
// client's output -> relay -> the same client's input, taken in its process
// callback. Both cross the same JACK cycles, so the difference of the two
// times is what the toolkit adds (driver threads, queues, the queued call to
// the application thread). The round trip through the toolkit is a loop
// through the editor's one JACK client, which JACK closes one period later;
// the one-way figures (toolkit out -> relay -> direct in, direct out ->
// toolkit in) have no such loop. Needs the JACK server named by
// MORVELANT_JACK_SERVER (started when it does not run).
#include <benchmark/benchmark.h>

#include "bench/BenchCheck.h"

#include <QCoreApplication>
#include <QTimer>

#include <jack/jack.h>
#include <jack/midiport.h>
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
#include "tests/support/JackPeer.h"
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

// Status bytes that tell the two paths apart at the relay's output.
constexpr uint8_t KitStatus = 0x90;
constexpr uint8_t DirectStatus = 0x91;

// Copies every event of its input to its output in the same cycle.
class Relay {
public:
    explicit Relay(const std::string& name) {
        client_ = testsupport::OpenTestClient(name, JackUseExactName);
        if (!client_) return;
        in_ = jack_port_register(client_, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        out_ = jack_port_register(client_, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        jack_set_process_callback(client_, &Relay::Process, this);
        jack_activate(client_);
    }
    ~Relay() {
        if (client_) jack_client_close(client_);
    }
    bool Ok() const { return client_ && in_ && out_; }
    bool Connect(const std::string& from, const std::string& to) {
        return jack_connect(client_, from.c_str(), to.c_str()) == 0;
    }
    std::atomic<int> bulk{0};  // toolkit bulk messages relayed

private:
    static int Process(jack_nframes_t n, void* arg) {
        auto* self = static_cast<Relay*>(arg);
        void* in = jack_port_get_buffer(self->in_, n);
        void* out = jack_port_get_buffer(self->out_, n);
        jack_midi_clear_buffer(out);
        const uint32_t count = jack_midi_get_event_count(in);
        for (uint32_t i = 0; i < count; ++i) {
            jack_midi_event_t ev;
            if (jack_midi_event_get(&ev, in, i) != 0) continue;
            for (size_t k = 0; k + 2 < ev.size; k += 3)
                if ((ev.buffer[k] & 0xF0) == 0xB0) self->bulk.fetch_add(1, std::memory_order_relaxed);
            jack_midi_event_write(out, ev.time, ev.buffer, ev.size);
        }
        return 0;
    }
    jack_client_t* client_ = nullptr;
    jack_port_t* in_ = nullptr;
    jack_port_t* out_ = nullptr;
};

// Everything both benchmarks need, built once.
struct Rig {
    std::string tag = std::to_string(::getpid());
    std::unique_ptr<Relay> relay;
    std::unique_ptr<testsupport::JackPeer> direct;
    std::unique_ptr<TMidiKit> kit;
    std::unique_ptr<TMidiKitOut> out;
    std::unique_ptr<TMidiKitIn> in;
    std::unique_ptr<TMidiKitIn> fromDirect;  // the direct loop's output, straight in
    std::string error;

    bool Build() {
        App();
        if (!testsupport::JackReachable()) {
            error = "JACK server " + testsupport::JackTestServerName() + " not reachable";
            return false;
        }
        const std::string relayName = "bry" + tag, directName = "bdr" + tag;
        relay = std::make_unique<Relay>(relayName);
        direct = std::make_unique<testsupport::JackPeer>(
            testsupport::JackPeer::Setup{.in = directName + "i", .out = directName + "o", .quiet = true});
        if (!relay->Ok() || !direct->Ok() || !relay->Connect(directName + "o:out", relayName + ":in") ||
            !relay->Connect(relayName + ":out", directName + "i:in")) {
            error = "the relay or the direct loop did not come up";
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
        fromDirect = std::make_unique<TMidiKitIn>();
        out->MidiKit = in->MidiKit = fromDirect->MidiKit = kit.get();
        int o = testsupport::FindPort(*kit, false, relayName + ":in");
        int i = testsupport::FindPort(*kit, true, relayName + ":out");
        int d = testsupport::FindPort(*kit, true, directName + "o:out");
        if (o < 0 || i < 0 || d < 0 || !out->Open(static_cast<uint16_t>(o), MIDIKIT_OPEN_ARGUMENT) ||
            !in->Open(static_cast<uint16_t>(i), MIDIKIT_OPEN_ARGUMENT) ||
            !fromDirect->Open(static_cast<uint16_t>(d), MIDIKIT_OPEN_ARGUMENT)) {
            error = "toolkit ports did not open";
            return false;
        }
        in->Start();
        fromDirect->Start();
        // Let JACK settle the new connections.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return true;
    }
    // The direct loop's first arrival with this status byte and data byte,
    // when its process callback took it; none yet: the epoch.
    Clock::time_point DirectArrival(uint8_t status, uint8_t seq) {
        for (const auto& a : direct->Arrivals())
            if (a.bytes.size() == 3 && a.bytes[0] == status && a.bytes[1] == seq) return a.seen;
        return {};
    }
    // Closes every JACK client before the program ends: a client left open
    // at exit can stall a synchronous server.
    void Close() {
        in.reset();
        fromDirect.reset();
        out.reset();
        kit.reset();
        direct.reset();
        relay.reset();
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
    std::vector<double> kitUs, directUs, addedUs, addedOutUs, addedInUs;
    int64_t kitArrival = 0, directAtKit = 0;
    rig.in->OnMidiData = [&](LPMIDIEVENT e, bool*) {
        if (e->status == KitStatus) kitArrival = Clock::now().time_since_epoch().count();
    };
    rig.fromDirect->OnMidiData = [&](LPMIDIEVENT e, bool*) {
        if (e->status == DirectStatus && directAtKit == 0) directAtKit = Clock::now().time_since_epoch().count();
    };
    rig.direct->Clear();
    std::mt19937 random(42);
    std::uniform_int_distribution<int> offsetUs(0, 3000);
    int lost = 0;
    uint8_t seq = 0;
    for (auto _ : state) {
        seq = static_cast<uint8_t>((seq + 1) & 0x7F);
        kitArrival = directAtKit = 0;
        rig.direct->Clear();
        MidiEvent e{MIDIKIT_TIME_NOW, KitStatus, seq, 100, 0};
        auto t0 = Clock::now();
        rig.out->Put(&e);
        auto t0direct = Clock::now();
        rig.direct->Send({DirectStatus, seq, 100});
        bool ok = WaitInLoop([&] { return kitArrival != 0 && directAtKit != 0; });
        Clock::time_point directAt{}, kitAtDirect{};
        while (ok &&
               ((directAt = rig.DirectArrival(DirectStatus, seq)) == Clock::time_point{} ||
                (kitAtDirect = rig.DirectArrival(KitStatus, seq)) == Clock::time_point{}) &&
               Clock::now() - t0 < std::chrono::seconds(1))
            std::this_thread::yield();
        if (!ok || directAt == Clock::time_point{} || kitAtDirect == Clock::time_point{}) {
            ++lost;
            continue;
        }
        double kit = Micros(Clock::time_point(Clock::duration(kitArrival)) - t0);
        double dir = Micros(directAt - t0direct);
        // One way each: the toolkit's output heard by the direct loop's
        // input (through the relay), and the direct loop's message heard by
        // the toolkit's input straight from its output (no relay: one hop
        // fewer than the direct loop, so this is an upper bound).
        addedOutUs.push_back(Micros(kitAtDirect - t0) - dir);
        addedInUs.push_back(Micros(Clock::time_point(Clock::duration(directAtKit)) - t0direct) - dir);
        kitUs.push_back(kit);
        directUs.push_back(dir);
        addedUs.push_back(kit - dir);
        state.SetIterationTime(kit / 1e6);
        // Start the next sample at another point of the JACK cycle.
        std::this_thread::sleep_for(std::chrono::microseconds(offsetUs(random)));
    }
    rig.in->OnMidiData = nullptr;
    rig.fromDirect->OnMidiData = nullptr;
    state.counters["toolkit_median_us"] = Percentile(kitUs, 0.5);
    state.counters["toolkit_p99_us"] = Percentile(kitUs, 0.99);
    state.counters["direct_median_us"] = Percentile(directUs, 0.5);
    state.counters["direct_p99_us"] = Percentile(directUs, 0.99);
    state.counters["added_median_us"] = Percentile(addedUs, 0.5);
    state.counters["added_p99_us"] = Percentile(addedUs, 0.99);
    state.counters["added_out_median_us"] = Percentile(addedOutUs, 0.5);
    state.counters["added_out_p99_us"] = Percentile(addedOutUs, 0.99);
    state.counters["added_in_median_us"] = Percentile(addedInUs, 0.5);
    state.counters["added_in_p99_us"] = Percentile(addedInUs, 0.99);
    bench::Check(state, !addedUs.empty(), "no round trip that came back");
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
    double sendSeconds = 0;
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
        rig.relay->bulk = 0;
        rig.direct->Clear();
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
            rig.direct->Send({static_cast<unsigned char>(0xA0 | (n >> 14)), e.data1, e.data2});
        }
        auto sent = Clock::now();
        WaitInLoop([&] { return received == Count; });
        // Stragglers after the last one.
        auto settle = Clock::now() + std::chrono::milliseconds(200);
        while (Clock::now() < settle) QCoreApplication::processEvents(QEventLoop::AllEvents);
        sendSeconds = std::chrono::duration<double>(sent - start).count();
        state.SetIterationTime(sendSeconds);
    }
    rig.in->OnMidiData = nullptr;
    bench::CheckRate(state, "a stream sent", Count, sendSeconds, 10000);
    state.counters["sent"] = Count;
    state.counters["toolkit_received"] = received;
    state.counters["toolkit_lost"] = Count - received;
    // Of those, lost before reaching the relay (on the way out).
    state.counters["toolkit_lost_outbound"] = Count - rig.relay->bulk.load();
    int directBulk = 0;
    for (const auto& a : rig.direct->Arrivals())
        if (!a.bytes.empty() && (a.bytes[0] & 0xF0) == 0xA0) ++directBulk;
    state.counters["direct_lost"] = Count - directBulk;
    state.counters["out_of_order"] = outOfOrder;
    state.counters["put_refused"] = refused;
}
BENCHMARK(BM_TenThousandPerSecond)->UseManualTime()->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    const int status = morvelant::bench::RunBenchmarkMain(&argc, argv);
    TheRig().Close();
    return status;
}
