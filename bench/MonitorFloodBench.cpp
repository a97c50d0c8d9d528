// The MIDI monitor under a flood: 10,000 events per second for 60 seconds
// from a peer on the JACK server, through the toolkit's input component into
// the monitor window, which is shown and painted.
//
// Topology: a plain RtMidi output (the peer, on its own thread, paced in
// 1 ms batches) -> JACK -> TMidiKitIn (driver threads, queued call to the
// GUI thread) -> OnMidiData -> the monitor line notification, as the
// editor's MIDI input object publishes it -> TMidiMonGridForm. Every 500th
// message is a 12-byte system-exclusive message, the rest note on/off and
// controller messages.
//
// Measured: the longest stall of the GUI thread's event loop (a 1 ms
// heartbeat timer; the stall is the longest gap between two of its ticks
// less the interval), the 99.9th percentile of those gaps, the resident set
// size sampled every second from /proc/self/statm (its growth after the
// first 5 seconds shows whether memory stays flat), events received against
// sent, the grid's largest row count, and the CPU time of the GUI thread and
// of the whole process per second of the flood: with the monitor shown and,
// as the baseline in the same run, with the monitor window closed (the
// events still reach the handler) - cpu_gui_pct over cpu_gui_closed_pct is
// what the monitor costs.
//
// BM_MonitorLongSysex adds what a dump brings: a 50,000-byte
// (--sysex-bytes=N) system-exclusive message every second among the notes (sent by a libjack
// peer in 1,024-byte pieces, as a device's dump comes), each byte shown as
// it came in and as thru passed it to an output, as the editor's MIDI input
// object logs them. Measured first, without notes, ten such messages one by
// one into a new monitor, open, enabled with its window closed, and
// disabled: the heap in use (glibc's mallinfo2) after them less before, per
// message (kept_per_msg_KiB_*), and the most it grew above the start while
// they came (peak_KiB_*). Then, with the notes and the monitor window open,
// the longest time the GUI thread is away from its event loop
// (max_stall_ms, as above) over the run.
//
//   MonitorFloodBench [--seconds=N] [--rate=EVENTS_PER_S] [--sysex-bytes=N] [benchmark flags]
//
// Needs the JACK server named by JACK_DEFAULT_SERVER (or
// MORVELANT_JACK_SERVER); without it the benchmark reports an error.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <RtMidi.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/FloodBenchMain.h"
#include "engine/MidiRouting.h"
#include "midikit/MidiKitDLL.h"
#include "midikit/MidiKitIn.h"
#include "platform/ProgramPath.h"
#include "model/Notifications.h"
#include "shell/MidiMonGrid.h"
#include "tests/support/CpuTime.h"
#include "tests/support/JackClient.h"
#include "tests/support/JackPeer.h"
#include "tests/support/JackServer.h"
#include "tests/support/KitPorts.h"

using namespace morvelant;
using Clock = std::chrono::steady_clock;

namespace {

int g_seconds = 60;
int g_rate = 10000;  // messages per second (--rate=N)
constexpr int kBatchMs = 1;  // the peer sends every millisecond
constexpr int kSysexEvery = 500;  // one system-exclusive message per 500

double RssMiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

using testsupport::ProcessCpuSeconds;
using testsupport::ThreadCpuSeconds;

// The peer: sends g_rate messages per second in 1 ms batches until stopped.
struct Peer {
    std::unique_ptr<RtMidiOut> out;
    std::thread thread;
    std::atomic<bool> stop{false};
    std::atomic<int64_t> sent{0};
    std::atomic<int64_t> late{0};  // batches that started more than 5 ms late

    void Run(int seconds) {
        thread = std::thread([this, seconds] {
            const auto start = Clock::now();
            const int64_t total = static_cast<int64_t>(g_rate) * seconds;
            const int perBatch = g_rate * kBatchMs / 1000;
            std::vector<unsigned char> m;
            int64_t n = 0;
            for (int64_t batch = 0; n < total && !stop; ++batch) {
                const auto due = start + std::chrono::milliseconds(batch * kBatchMs);
                std::this_thread::sleep_until(due);
                if (Clock::now() - due > std::chrono::milliseconds(5)) ++late;
                for (int i = 0; i < perBatch && n < total; ++i, ++n) {
                    if (n % kSysexEvery == kSysexEvery - 1) {
                        m = {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0xF7};
                    } else {
                        const auto k = static_cast<unsigned char>(n % 3);
                        m = {static_cast<unsigned char>(k == 2       ? 0xB1
                                                            : k == 1 ? 0x80
                                                                     : 0x90),
                             static_cast<unsigned char>(n & 0x7F), static_cast<unsigned char>((n >> 7) & 0x7F)};
                    }
                    out->sendMessage(&m);
                    ++sent;
                }
            }
        });
    }
    void Join() {
        stop = true;
        if (thread.joinable()) thread.join();
    }
};

bool ServerReachable(benchmark::State& state) {
    if (testsupport::JackReachable()) return true;
    state.SkipWithError(("JACK server " + testsupport::JackTestServerName() + " not reachable").c_str());
    return false;
}

// The driver library on JACK and the toolkit's input on the peer's port
// `name`; false (the benchmark skipped) when either fails.
bool OpenPeerInput(benchmark::State& state, std::unique_ptr<TMidiKit>& kit, TMidiKitIn& in, const std::string& name) {
    ::setenv("MIDIKIT_BACKEND", "jack", 1);
    try {
        kit = std::make_unique<TMidiKit>();
    } catch (const EMidiKitException& e) {
        state.SkipWithError(e.what());
        return false;
    }
    in.MidiKit = kit.get();
    const int port = testsupport::FindPort(*kit, true, name);
    if (port < 0 || !in.Open(static_cast<uint16_t>(port), MIDIKIT_OPEN_ARGUMENT)) {
        state.SkipWithError("the peer's port did not open on the toolkit's input");
        return false;
    }
    return true;
}

void BM_MonitorFlood(benchmark::State& state) {
    if (!ServerReachable(state)) return;
    const std::string tag = "mflood" + std::to_string(::getpid());
    Peer peer;
    try {
        testsupport::OwnJackMessages();
        peer.out = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, tag);
        peer.out->openVirtualPort("out");
    } catch (const RtMidiError& e) {
        state.SkipWithError(e.getMessage().c_str());
        return;
    }
    std::unique_ptr<TMidiKit> kit;
    TMidiKitIn in;
    if (!OpenPeerInput(state, kit, in, tag + ":out")) return;

    MidiRouting routing;
    routing.InNames = {"Flood peer", "no device"};
    Notifications notices;
    TMidiMonGridForm monitor(nullptr, &notices);
    monitor.SetRouting(&routing);
    monitor.Rows.MonitorEnabled = true;
    monitor.Show();

    int64_t received = 0;  // events: a system-exclusive message is one per byte
    int64_t messages = 0;  // whole messages, as the peer sent them
    int maxRows = 0;
    in.OnMidiData = [&](LPMIDIEVENT e, bool*) {
        ++received;
        if (e->status != 0xF0 || e->data1 == 0xF7) ++messages;
        notices.MonitorLine.Publish(0, *e, true, 0);
    };
    in.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // let JACK connect

    // Heartbeat on the GUI thread.
    // Written in place: its pages are touched now, so that the measurement
    // itself does not grow the resident set while it runs.
    std::vector<double> gapsMs(static_cast<size_t>(g_seconds + 2) * 1000, 0.0);
    size_t beats = 0;
    QElapsedTimer beat;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    heartbeat.setInterval(1);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        if (beats < gapsMs.size()) gapsMs[beats++] = static_cast<double>(beat.nsecsElapsed()) / 1e6;
        beat.restart();
    });

    std::vector<double> rss;  // one sample per second
    rss.reserve(static_cast<size_t>(g_seconds) + 8);
    QTimer sampler;
    sampler.setInterval(1000);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        rss.push_back(RssMiB());
        maxRows = std::max(maxRows, monitor.Rows.RowCount());
    });

    // The baseline: the same flood with the monitor window closed (a few
    // seconds are enough for a rate).
    const int baselineSeconds = std::min(g_seconds, 5);
    monitor.Close();
    QCoreApplication::processEvents();
    double closedGui = 0, closedProcess = 0;
    {
        QTimer tick;  // the heartbeat's own cost, as in the measured run
        tick.setTimerType(Qt::PreciseTimer);
        tick.setInterval(1);
        QObject::connect(&tick, &QTimer::timeout, [&beat] { beat.restart(); });
        tick.start();
        const double gui0 = ThreadCpuSeconds(), proc0 = ProcessCpuSeconds();
        const auto start = Clock::now();
        peer.Run(baselineSeconds);
        QEventLoop loop;
        QTimer::singleShot(baselineSeconds * 1000 + 500, &loop, &QEventLoop::quit);
        loop.exec();
        peer.Join();
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        closedGui = (ThreadCpuSeconds() - gui0) / wall * 100;
        closedProcess = (ProcessCpuSeconds() - proc0) / wall * 100;
        peer.stop = false;
        peer.sent = 0;
        received = messages = 0;
    }
    monitor.Show();
    QCoreApplication::processEvents();

    double shownGui = 0, shownProcess = 0;
    for (auto _ : state) {
        const double rssStart = RssMiB();
        const double gui0 = ThreadCpuSeconds(), proc0 = ProcessCpuSeconds();
        beat.start();
        heartbeat.start();
        sampler.start();
        const auto start = Clock::now();
        peer.Run(g_seconds);
        // The GUI thread sleeps in its event loop between notifications, as
        // in the program.
        QEventLoop loop;
        QTimer::singleShot(g_seconds * 1000 + 500, &loop, &QEventLoop::quit);
        loop.exec();
        peer.Join();
        heartbeat.stop();
        sampler.stop();
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        bench::Check(state, monitor.isVisible(), "a flood with the monitor window closed");
        shownGui = (ThreadCpuSeconds() - gui0) / wall * 100;
        shownProcess = (ProcessCpuSeconds() - proc0) / wall * 100;
        state.SetIterationTime(wall);
        state.counters["rss_start_MiB"] = rssStart;
    }
    in.Stop();
    in.OnMidiData = nullptr;
    gapsMs.resize(beats);

    std::vector<double> sorted = gapsMs;
    std::sort(sorted.begin(), sorted.end());
    const double maxGap = sorted.empty() ? 0.0 : sorted.back();
    const double p999 = sorted.empty() ? 0.0 : sorted[static_cast<size_t>(0.999 * (sorted.size() - 1))];
    const double p99 = sorted.empty() ? 0.0 : sorted[static_cast<size_t>(0.99 * (sorted.size() - 1))];
    bench::CheckRate(state, "a flood sent", double(peer.sent.load()), g_seconds, g_rate);
    state.counters["seconds"] = g_seconds;
    state.counters["cpu_gui_pct"] = shownGui;
    state.counters["cpu_process_pct"] = shownProcess;
    state.counters["cpu_gui_closed_pct"] = closedGui;
    state.counters["cpu_process_closed_pct"] = closedProcess;
    state.counters["x_gui_cpu_closed"] = closedGui > 0 ? shownGui / closedGui : 0;
    state.counters["sent"] = static_cast<double>(peer.sent.load());
    state.counters["received_events"] = static_cast<double>(received);
    state.counters["received_messages"] = static_cast<double>(messages);
    state.counters["lost_messages"] = static_cast<double>(peer.sent.load() - messages);
    state.counters["rate_per_s"] = static_cast<double>(messages) / g_seconds;
    state.counters["peer_late_batches"] = static_cast<double>(peer.late.load());
    state.counters["max_stall_ms"] = std::max(0.0, maxGap - 1.0);
    state.counters["p999_gap_ms"] = p999;
    state.counters["p99_gap_ms"] = p99;
    state.counters["heartbeats"] = static_cast<double>(gapsMs.size());
    state.counters["gaps_over_10ms"] =
        static_cast<double>(std::count_if(gapsMs.begin(), gapsMs.end(), [](double g) { return g > 10.0; }));
    state.counters["max_grid_rows"] = maxRows;
    state.counters["event_count"] = monitor.Rows.EventCount;
    if (!rss.empty()) {
        const size_t settled = std::min<size_t>(5, rss.size() - 1);
        double lo = rss[settled], hi = rss[settled];
        for (size_t i = settled; i < rss.size(); ++i) {
            lo = std::min(lo, rss[i]);
            hi = std::max(hi, rss[i]);
        }
        state.counters["rss_at_5s_MiB"] = rss[settled];
        state.counters["rss_end_MiB"] = rss.back();
        state.counters["rss_spread_after_5s_MiB"] = hi - lo;
    }
    std::fprintf(stderr, "rss per second (MiB):");
    for (double r : rss) std::fprintf(stderr, " %.1f", r);
    std::fprintf(stderr, "\n");
}
BENCHMARK(BM_MonitorFlood)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

// The heap in use, in KiB.
double HeapKiB() {
    const struct mallinfo2 m = ::mallinfo2();
    return static_cast<double>(m.uordblks + m.hblkhd) / 1024.0;
}

size_t g_sysexBytes = 50000;  // --sysex-bytes=N: the long message's length

testsupport::MidiBytes LongSysex(int n) {
    testsupport::MidiBytes m(std::max<size_t>(g_sysexBytes, 2));
    for (size_t i = 0; i < m.size(); ++i) m[i] = static_cast<unsigned char>((i * 7 + static_cast<size_t>(n)) & 0x7F);
    m.front() = 0xF0;
    m.back() = 0xF7;
    return m;
}

// Runs the GUI thread's event loop for `ms`, as the program waits between events.
void Wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void BM_MonitorLongSysex(benchmark::State& state) {
    if (!ServerReachable(state)) return;
    const std::string tag = "mlong" + std::to_string(::getpid());
    testsupport::JackPeer peer({.out = tag, .quiet = true});
    if (!peer.Ok()) {
        state.SkipWithError("the peer client did not come up");
        return;
    }
    std::unique_ptr<TMidiKit> kit;
    TMidiKitIn in;
    if (!OpenPeerInput(state, kit, in, tag + ":out")) return;
    MidiRouting routing;
    routing.InNames = {"Flood peer", "no device"};
    routing.OutNames = {"Out A", "Thru out", "no device"};
    Notifications notices;

    std::atomic<int64_t> sysexEnds{0};
    in.OnMidiData = [&](LPMIDIEVENT e, bool*) {
        if (e->status == 0xF0 && e->data1 == 0xF7) ++sysexEnds;
        // As it came in, and as thru passed it to output 1.
        notices.MonitorLine.Publish(0, *e, true, 0);
        notices.MonitorLine.Publish(1, *e, false, 0);
    };
    in.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // let JACK connect

    // Memory first, each state with a monitor of its own: ten long
    // messages one by one, no notes.
    constexpr int kMessages = 10;
    const auto memoryLeg = [&](const char* name, bool enabled, bool shown) {
        TMidiMonGridForm monitor(nullptr, &notices);
        monitor.SetRouting(&routing);
        monitor.Rows.MonitorEnabled = enabled;
        if (shown) monitor.Show();
        Wait(300);
        ::malloc_trim(0);
        const double before = HeapKiB();
        double peak = before;
        QTimer sampler;
        sampler.setInterval(5);
        QObject::connect(&sampler, &QTimer::timeout, [&] { peak = std::max(peak, HeapKiB()); });
        sampler.start();
        const int64_t ends0 = sysexEnds.load();
        for (int n = 0; n < kMessages; ++n) {
            peer.SendPaced(LongSysex(n), 1024);
            for (int w = 0; w < 200 && sysexEnds.load() < ends0 + n + 1; ++w) Wait(10);
            Wait(200);  // the monitor's frames after it
        }
        sampler.stop();
        const double after = HeapKiB();
        const std::string n = name;
        state.counters["kept_per_msg_KiB_" + n] = (after - before) / kMessages;
        state.counters["peak_KiB_" + n] = std::max(peak, after) - before;
        return bench::CheckCount(state, ("long messages received, monitor " + n).c_str(), sysexEnds.load() - ends0,
                                 kMessages);
    };
    if (!memoryLeg("open", true, true) || !memoryLeg("closed", true, false) || !memoryLeg("off", false, false)) return;

    TMidiMonGridForm monitor(nullptr, &notices);
    monitor.SetRouting(&routing);
    monitor.Rows.MonitorEnabled = true;
    monitor.Show();
    // The heartbeat: the longest gap between two ticks of a 1 ms timer.
    double maxGapMs = 0;
    std::vector<double> gaps;
    gaps.reserve(static_cast<size_t>(g_seconds + 2) * 1000);
    QElapsedTimer beat;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    heartbeat.setInterval(1);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const double gap = static_cast<double>(beat.nsecsElapsed()) / 1e6;
        if (gaps.size() < gaps.capacity()) gaps.push_back(gap);
        maxGapMs = std::max(maxGapMs, gap);
        beat.restart();
    });

    int64_t sent = 0, longSent = 0;
    const int64_t longEnds0 = sysexEnds.load();
    for (auto _ : state) {
        // Notes at the rate in 1 ms batches, a long message every second.
        std::atomic<bool> stop{false};
        std::thread sender([&] {
            const auto start = Clock::now();
            const int perBatch = std::max(1, g_rate / 1000);
            for (int64_t batch = 0; batch < int64_t(g_seconds) * 1000 && !stop; ++batch) {
                std::this_thread::sleep_until(start + std::chrono::milliseconds(batch));
                for (int i = 0; i < perBatch; ++i, ++sent)
                    peer.Send({static_cast<unsigned char>(sent % 2 ? 0x80 : 0x90), static_cast<unsigned char>(sent & 0x7F),
                               0x40});
                if (batch % 1000 == 500) peer.SendPaced(LongSysex(int(++longSent)), 1024);
            }
        });
        beat.start();
        heartbeat.start();
        const auto start = Clock::now();
        QEventLoop loop;
        QTimer::singleShot(g_seconds * 1000 + 500, &loop, &QEventLoop::quit);
        loop.exec();
        stop = true;
        sender.join();
        heartbeat.stop();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        bench::Check(state, monitor.isVisible(), "the flood with the monitor window closed");
    }
    std::sort(gaps.begin(), gaps.end());
    state.counters["max_stall_ms"] = std::max(0.0, maxGapMs - 1.0);
    state.counters["p999_gap_ms"] = gaps.empty() ? 0.0 : gaps[static_cast<size_t>(0.999 * double(gaps.size() - 1))];
    state.counters["notes_sent"] = static_cast<double>(sent);
    state.counters["long_sysex_sent"] = static_cast<double>(longSent);
    state.counters["long_sysex_received"] = static_cast<double>(sysexEnds.load() - longEnds0);
    state.counters["long_sysex_bytes"] = static_cast<double>(g_sysexBytes);
    state.counters["seconds"] = g_seconds;

    in.Stop();
    in.OnMidiData = nullptr;
}
BENCHMARK(BM_MonitorLongSysex)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--sysex-bytes=", 14) == 0)
            g_sysexBytes = static_cast<size_t>(std::max(2, std::atoi(argv[i] + 14)));
        else
            args.push_back(argv[i]);
    }
    return bench::RunFloodBenchmarks(static_cast<int>(args.size()), args.data(), g_seconds, g_rate, 1000, "mflood-cfg");
}
