// MIDI thru and the MIDI monitor under a flood: 10,000 controller messages
// per second from a peer on the JACK server, through the editor's input
// handler and thru back to the peer, in three runs of the same length:
//   none   - the monitor disabled and closed (the baseline),
//   closed - the monitor enabled, its window closed,
//   open   - the monitor enabled and its window shown and painted.
//
// Topology: a sender client (libjack) writes each message at a frame of its
// schedule -> TMidiKitIn -> TMidiDeviceForm (thru on, the sender's port a
// thru source) -> TMidiKitOut -> a receiver client, which notes the frame
// each message arrives at. The latency of a message is arrival frame less
// send frame, exact to the frame; the JACK graph itself adds nothing (the
// sender, the editor and the receiver run in that order in one cycle).
//
// Reported per run: thru latency in ms (median, 99th percentile, worst,
// and the spread worst - best: the jitter), messages lost, the CPU of
// the process and of the GUI thread as a share of one core, and the
// longest the GUI thread was away from its event loop (gui_stall_ms, by a
// 1 ms heartbeat timer). The ratios
// x_worst_open_closed and x_p99_open_closed show whether thru depends on
// the monitor (1.0: not at all); monitor_cost_pct = CPU(open) - CPU(none)
// is what the monitor costs at this rate.
//
//   ThruMonitorBench [--seconds=N] [--rate=EVENTS_PER_S] [benchmark flags]
//
// Needs the JACK server named by MORVELANT_JACK_SERVER (started when it
// does not run).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <jack/jack.h>
#include <jack/midiport.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/EditorPorts.h"
#include "bench/FloodBenchMain.h"
#include "platform/ProgramPath.h"
#include "shell/MidiMonGrid.h"
#include "tests/support/JackFrameClient.h"
#include "tests/support/CpuTime.h"
#include "tests/support/JackServer.h"

namespace morvelant {
namespace {

int g_seconds = 10;
int g_rate = 10000;
constexpr uint32_t kNoFrame = 0xFFFFFFFFu;
constexpr int kMaxEvents = 1 << 18;  // what a controller message numbers in channel and data bytes

using testsupport::ProcessCpuSeconds;
using testsupport::ThreadCpuSeconds;

struct Rig {
    std::string tag = "tmb" + std::to_string(::getpid());
    std::unique_ptr<testsupport::JackFrameClient> sender, receiver;
    bench::EditorPorts editor;
    std::unique_ptr<TMidiMonGridForm> monitor;  // closed first
    std::string error;

    bool Build() {
        if (!testsupport::JackReachable()) return Fail("JACK server " + testsupport::JackTestServerName() + " not reachable");
        sender = std::make_unique<testsupport::JackFrameClient>(tag + "s", true);
        receiver = std::make_unique<testsupport::JackFrameClient>(tag + "r", false, kMaxEvents);
        if (!sender->Ok() || !receiver->Ok()) return Fail("the peer clients did not come up");
        if (const std::string why = editor.Start("Sender", "Receiver"); !why.empty()) return Fail(why);
        if (editor.OpenThruInput(tag + "s:out") < 0 || editor.OpenThruOutput(tag + "r:in") < 0)
            return Fail("the editor's ports did not open on the peers'");
        editor.routing.Thru = true;

        monitor = std::make_unique<TMidiMonGridForm>(nullptr, &editor.notices);
        monitor->SetRouting(&editor.routing);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // let JACK connect
        return true;
    }
    bool Fail(const std::string& why) {
        error = why;
        return false;
    }
};

struct RunFigures {
    double medianMs = 0, p99Ms = 0, worstMs = 0, spreadMs = 0;
    double stallMs = 0;  // the longest the GUI thread was away from its event loop
    double processPct = 0, guiPct = 0;
    int lost = 0, sent = 0;
};

double Percentile(std::vector<double> v, double q) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(q * double(v.size() - 1) + 0.5))];
}

RunFigures Run(Rig& rig) {
    const int count = std::min(kMaxEvents, g_rate * g_seconds);
    // Message k, numbered in its channel and data bytes, at k / rate seconds.
    std::vector<testsupport::JackFrameClient::Message> schedule(static_cast<size_t>(count));
    const double step = double(rig.sender->Rate()) / g_rate;
    for (int k = 0; k < count; ++k)
        schedule[size_t(k)] = {uint32_t(step * k),
                               {uint8_t(0xB0 | (k >> 14)), uint8_t((k >> 7) & 0x7F), uint8_t(k & 0x7F)},
                               3};
    rig.receiver->Clear();
    const double gui0 = ThreadCpuSeconds(), proc0 = ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    rig.sender->Send(std::move(schedule));
    // A 1 ms heartbeat: the longest gap between two ticks, less the tick.
    double maxGapMs = 0;
    QElapsedTimer beat;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        maxGapMs = std::max(maxGapMs, double(beat.nsecsElapsed()) / 1e6);
        beat.restart();
    });
    beat.start();
    heartbeat.start(1);
    // The GUI thread sleeps in its event loop between notifications, as in
    // the program.
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (rig.sender->Done()) loop.quit();
    });
    poll.start(50);
    loop.exec();
    QTimer::singleShot(300, &loop, &QEventLoop::quit);  // stragglers
    loop.exec();
    heartbeat.stop();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    RunFigures f;
    f.stallMs = std::max(0.0, maxGapMs - 1.0);
    f.sent = count;
    f.processPct = (ProcessCpuSeconds() - proc0) / wall * 100;
    f.guiPct = (ThreadCpuSeconds() - gui0) / wall * 100;
    std::vector<uint32_t> came(size_t(count), kNoFrame);
    for (size_t i = 0; i < rig.receiver->Count(); ++i) {
        const auto& m = rig.receiver->Got(i);
        const int k = ((m.bytes[0] & 0x0F) << 14) | (m.bytes[1] << 7) | m.bytes[2];
        if (m.size == 3 && (m.bytes[0] & 0xF0) == 0xB0 && k < count && came[size_t(k)] == kNoFrame)
            came[size_t(k)] = m.frame;
    }
    const double msPerFrame = 1000.0 / rig.sender->Rate();
    std::vector<double> ms;
    ms.reserve(size_t(count));
    for (int k = 0; k < count; ++k) {
        if (came[size_t(k)] == kNoFrame) {
            ++f.lost;
            continue;
        }
        ms.push_back(int32_t(came[size_t(k)] - rig.sender->Schedule()[size_t(k)].frame) * msPerFrame);
    }
    if (!ms.empty()) {
        f.medianMs = Percentile(ms, 0.5);
        f.p99Ms = Percentile(ms, 0.99);
        f.worstMs = *std::max_element(ms.begin(), ms.end());
        f.spreadMs = f.worstMs - *std::min_element(ms.begin(), ms.end());
    }
    return f;
}

void BM_ThruWithMonitor(benchmark::State& state) {
    Rig rig;
    if (!rig.Build()) {
        state.SkipWithError(rig.error.c_str());
        return;
    }
    RunFigures none, closed, open;
    for (auto _ : state) {
        rig.monitor->Rows.MonitorEnabled = false;
        rig.monitor->Close();
        none = Run(rig);
        rig.monitor->Rows.MonitorEnabled = true;
        closed = Run(rig);
        rig.monitor->Show();
        QCoreApplication::processEvents();
        const bool shown = rig.monitor->isVisible();
        open = Run(rig);
        bench::Check(state, shown && rig.monitor->isVisible(), "the open leg with the monitor window closed");
        rig.monitor->Close();
        state.SetIterationTime(3.0 * g_seconds);
    }
    const std::pair<const char*, const RunFigures*> runs[] = {{"none", &none}, {"closed", &closed}, {"open", &open}};
    for (const auto& [name, f] : runs)
        if (!bench::CheckCount(state, "events sent", f->sent, int64_t(g_rate) * g_seconds)) return;
    for (const auto& [name, f] : runs) {
        const std::string n = name;
        state.counters["thru_median_ms_" + n] = f->medianMs;
        state.counters["thru_p99_ms_" + n] = f->p99Ms;
        state.counters["thru_worst_ms_" + n] = f->worstMs;
        state.counters["thru_jitter_ms_" + n] = f->spreadMs;
        state.counters["lost_" + n] = f->lost;
        state.counters["cpu_process_pct_" + n] = f->processPct;
        state.counters["cpu_gui_pct_" + n] = f->guiPct;
        state.counters["gui_stall_ms_" + n] = f->stallMs;
    }
    state.counters["period_ms"] = 1000.0 * rig.sender->Period() / rig.sender->Rate();
    state.counters["x_worst_open_closed"] = closed.worstMs > 0 ? open.worstMs / closed.worstMs : 0;
    state.counters["x_p99_open_closed"] = closed.p99Ms > 0 ? open.p99Ms / closed.p99Ms : 0;
    state.counters["monitor_cost_pct"] = open.processPct - none.processPct;
    state.counters["monitor_cost_closed_pct"] = closed.processPct - none.processPct;
    state.counters["max_grid_rows"] = rig.monitor->Rows.RowCount();
}
BENCHMARK(BM_ThruWithMonitor)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace morvelant

int main(int argc, char** argv) {
    return morvelant::bench::RunFloodBenchmarks(argc, argv, morvelant::g_seconds, morvelant::g_rate, 100, "thrumon-cfg");
}
