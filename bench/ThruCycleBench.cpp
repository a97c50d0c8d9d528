// Where the editor's MIDI thru puts each note, against a direct connection
// and against a plain client beside it, on a quiet machine and under each
// thing that could hold it back:
//   quiet   - nothing else;
//   flood   - another of the editor's thru inputs floods it with a
//             system-exclusive message that never ends (~1.5 MB/s);
//   stopped - the window thread does not run its event loop for the whole
//             phase (the notes come from the peer's own cycle);
//   loaded  - other real-time JACK clients burn a share of every period and
//             a spinning process per core takes every core the machine has.
//
// Topology, all on one JACK server:
//   sender -> direct                       (the direct connection)
//   sender -> editor input (thru on) -> editor output -> receiver
//   sender -> plain client (passes its input to its output in its own
//             process callback)         -> plain receiver
//   flood peer -> the editor's other thru input, and the plain client
// The sender writes 1,000 notes a second (--rate) at random offsets, each
// numbered in its bytes. A note's delay is the frame a receiver heard it at
// less the frame the sender wrote it at, which is the frame a direct
// connection passes it at while the server keeps time: 0 where the graph
// runs the passing client before its receiver (as it does here), one period
// where it passes on the next cycle. The direct connection has a row of its
// own: what it lost or heard late, the server did (a client of the graph
// that did not finish its cycle in time), not thru. Per phase and path
// (direct, editor, plain): the share of notes at the direct frame, one
// period after it, later, the notes lost, and the worst delay in ms; over
// --runs, min / median / max of each (counters "<phase>_<path>_<figure>"
// hold the median, "min_..." and "max_..." the others; the table goes to
// stderr).
//
//   ThruCycleBench [--seconds=N per phase] [--rate=NOTES_PER_S] [--runs=R]
//                  [--clients=K] [--burn=PCT] [benchmark flags]
//
// Needs the JACK server named by MORVELANT_JACK_SERVER (else the program's
// own test server name); when none runs, one is started real-time with
// 128-frame periods (scripts/jack-test-server.sh, MORVELANT_JACK_REALTIME=1)
// and stopped at the end.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <jack/jack.h>
#include <jack/midiport.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/EditorPorts.h"
#include "bench/FloodBenchMain.h"
#include "tests/support/JackFrameClient.h"
#include "tests/support/JackPeer.h"
#include "tests/support/JackServer.h"

namespace morvelant {
namespace {

int g_seconds = 10;
int g_rate = 1000;
int g_runs = 3;
int g_clients = 4;
int g_burn = 15;  // per cent of each period each extra client burns

constexpr uint32_t kNoFrame = 0xFFFFFFFFu;
constexpr int kMaxNotes = 16 * 128 * 127;  // what a note-on numbers in its channel, key and velocity 1-127
using Message = testsupport::JackFrameClient::Message;

Message Note(int k) {
    const int vel = 1 + k % 127, key = (k / 127) % 128, ch = k / (127 * 128);
    return {0, {uint8_t(0x90 | ch), uint8_t(key), uint8_t(vel)}, 3};
}
int NoteNumber(const Message& m) {
    if (m.size != 3 || (m.bytes[0] & 0xF0) != 0x90 || m.bytes[2] == 0) return -1;
    return (m.bytes[0] & 0x0F) * 127 * 128 + m.bytes[1] * 127 + m.bytes[2] - 1;
}

// A plain libjack client passing its input to its output in its own
// process callback: what any client on this server can do in one cycle.
class PlainThru {
public:
    explicit PlainThru(const std::string& name) {
        testsupport::UseJackServer();
        jack_status_t status{};
        client_ = jack_client_open(name.c_str(), jack_options_t(JackNoStartServer | JackUseExactName), &status);
        if (!client_) return;
        in_ = jack_port_register(client_, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        out_ = jack_port_register(client_, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        jack_set_process_callback(client_, &PlainThru::Process, this);
        ok_ = in_ && out_ && jack_activate(client_) == 0;
    }
    ~PlainThru() {
        if (client_) jack_client_close(client_);
    }
    bool Ok() const { return ok_; }

private:
    static int Process(jack_nframes_t n, void* arg) {
        auto* self = static_cast<PlainThru*>(arg);
        void* in = jack_port_get_buffer(self->in_, n);
        void* out = jack_port_get_buffer(self->out_, n);
        jack_midi_clear_buffer(out);
        const uint32_t events = jack_midi_get_event_count(in);
        for (uint32_t i = 0; i < events; ++i) {
            jack_midi_event_t ev;
            if (jack_midi_event_get(&ev, in, i) == 0) jack_midi_event_write(out, ev.time, ev.buffer, ev.size);
        }
        return 0;
    }
    jack_client_t* client_ = nullptr;
    jack_port_t *in_ = nullptr, *out_ = nullptr;
    bool ok_ = false;
};

// Another real-time client of the server: its process callback spins for a
// share of each period, its input fed by the sender so that it stands in
// the same part of the graph as the editor.
class Burner {
public:
    Burner(const std::string& name, int percent) : percent_(percent) {
        jack_status_t status{};
        client_ = jack_client_open(name.c_str(), jack_options_t(JackNoStartServer | JackUseExactName), &status);
        if (!client_) return;
        in_ = jack_port_register(client_, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        periodNs_ = int64_t(1e9 * jack_get_buffer_size(client_) / jack_get_sample_rate(client_));
        jack_set_process_callback(client_, &Burner::Process, this);
        ok_ = in_ && jack_activate(client_) == 0;
    }
    ~Burner() {
        if (client_) jack_client_close(client_);
    }
    bool Ok() const { return ok_; }
    long Cycles() const { return cycles_.load(std::memory_order_relaxed); }

private:
    static int Process(jack_nframes_t n, void* arg) {
        auto* self = static_cast<Burner*>(arg);
        (void)jack_port_get_buffer(self->in_, n);
        const auto until = std::chrono::steady_clock::now() + std::chrono::nanoseconds(self->periodNs_ * self->percent_ / 100);
        while (std::chrono::steady_clock::now() < until) {
        }
        self->cycles_.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }
    const int percent_;
    jack_client_t* client_ = nullptr;
    jack_port_t* in_ = nullptr;
    int64_t periodNs_ = 0;
    std::atomic<long> cycles_{0};
    bool ok_ = false;
};

// The machine's idle and busy time so far (/proc/stat, every core), in ticks.
std::pair<double, double> CpuTicks() {
    std::ifstream stat("/proc/stat");
    std::string cpu;
    double user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0, steal = 0;
    stat >> cpu >> user >> nice >> system >> idle >> iowait >> irq >> softirq >> steal;
    return {idle + iowait, user + nice + system + irq + softirq + steal};
}

// A process per core spinning at the ordinary priority until stopped.
class Spinners {
public:
    Spinners() {
        const long cores = std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN));
        ticks0_ = CpuTicks();
        ::getrusage(RUSAGE_CHILDREN, &usage0_);
        start_ = std::chrono::steady_clock::now();
        for (long c = 0; c < cores; ++c) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                volatile unsigned long spin = 0;
                for (;;) spin = spin + 1;
            }
            if (pid > 0) pids_.push_back(pid);
        }
    }
    // Stops them; the share of the machine that stayed idle meanwhile and the
    // cores' worth of time they had.
    void Stop(double& idlePct, double& cores) {
        const auto ticks = CpuTicks();
        for (pid_t pid : pids_) ::kill(pid, SIGKILL);
        for (pid_t pid : pids_) ::waitpid(pid, nullptr, 0);
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        rusage usage{};
        ::getrusage(RUSAGE_CHILDREN, &usage);
        const auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
        const double cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime) - seconds(usage0_.ru_utime) -
            seconds(usage0_.ru_stime);
        const double idle = ticks.first - ticks0_.first, busy = ticks.second - ticks0_.second;
        idlePct = idle + busy > 0 ? 100 * idle / (idle + busy) : 100;
        cores = wall > 0 ? cpu / wall : 0;
        pids_.clear();
    }
    ~Spinners() {
        double idle = 0, cores = 0;
        if (!pids_.empty()) Stop(idle, cores);
    }
    size_t Count() const { return pids_.size(); }

private:
    std::vector<pid_t> pids_;
    std::pair<double, double> ticks0_;
    rusage usage0_{};
    std::chrono::steady_clock::time_point start_;
};

// Whether the client's process thread runs under real-time scheduling.
bool RunsRealTime(jack_client_t* client) {
    int policy = 0;
    sched_param param{};
    return pthread_getschedparam(jack_client_thread_id(client), &policy, &param) == 0 &&
        (policy == SCHED_FIFO || policy == SCHED_RR);
}

void RunEventLoopUntil(const std::function<bool()>& done) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done()) loop.quit();
    });
    poll.start(20);
    if (!done()) loop.exec();
}
void RunEventLoopFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Rig {
    std::string tag = "tcb" + std::to_string(::getpid());
    std::unique_ptr<testsupport::JackFrameClient> sender, receiver, direct, plainReceiver;
    std::unique_ptr<PlainThru> plain;
    std::unique_ptr<testsupport::JackPeer> flood;
    bench::EditorPorts editor;  // closed first
    std::string error;

    bool Build() {
        sender = std::make_unique<testsupport::JackFrameClient>(tag + "s", true);
        receiver = std::make_unique<testsupport::JackFrameClient>(tag + "r", false, kMaxNotes);
        direct = std::make_unique<testsupport::JackFrameClient>(tag + "d", false, kMaxNotes);
        plainReceiver = std::make_unique<testsupport::JackFrameClient>(tag + "q", false, kMaxNotes);
        plain = std::make_unique<PlainThru>(tag + "p");
        flood = std::make_unique<testsupport::JackPeer>(testsupport::JackPeer::Setup{.out = tag + "x", .quiet = true});
        if (!sender->Ok() || !receiver->Ok() || !direct->Ok() || !plainReceiver->Ok() || !plain->Ok() || !flood->Ok())
            return Fail("the peer clients did not come up");
        // The plain client takes both of the editor's inputs, as the editor
        // does: a late flooding peer holds both back alike.
        if (!testsupport::PatchPorts(tag + "s:out", tag + "d:in") || !testsupport::PatchPorts(tag + "s:out", tag + "p:in") ||
            !testsupport::PatchPorts(tag + "x:out", tag + "p:in") || !testsupport::PatchPorts(tag + "p:out", tag + "q:in"))
            return Fail("the direct and plain paths could not be patched");
        if (const std::string why = editor.Start("Sender", "Receiver"); !why.empty()) return Fail(why);
        if (editor.OpenThruInput(tag + "s:out") < 0 || editor.OpenThruInput(tag + "x:out") < 0 ||
            editor.OpenThruOutput(tag + "r:in") < 0)
            return Fail("the editor's ports did not open on the peers'");
        editor.routing.Thru = true;
        editor.routing.SysexThru = true;
        // The editor's input, the direct path and the plain client on the
        // sender; the receiver hears the editor's output alone.
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        RunEventLoopUntil([&] {
            return (sender->Connections() >= 3 && flood->OutConnections() >= 2 && receiver->Connections() >= 1 &&
                    plainReceiver->Connections() >= 1) ||
                std::chrono::steady_clock::now() > until;
        });
        if (sender->Connections() != 3 || receiver->Connections() != 1 || flood->OutConnections() != 2)
            return Fail("the editor's ports were not connected to the peers as set");
        RunEventLoopFor(1);  // the thru settings reach the cycle as this thread goes to wait
        return true;
    }
    bool Fail(const std::string& why) {
        error = why;
        return false;
    }
};

enum Phase { Quiet, Flood, Stopped, Loaded, kPhases };
const char* const kPhaseNames[kPhases] = {"quiet", "flood", "stopped", "loaded"};
enum Path { Direct, Editor, Plain, kPaths };
const char* const kPathNames[kPaths] = {"direct", "editor", "plain"};
enum Figure { AtDirect, NextPeriod, Later, Lost, WorstMs, WithinPeriod, Early, kFigures };
const char* const kFigureNames[kFigures] = {"at_direct_pct", "next_period_pct", "later_pct", "lost", "worst_ms", "within_period_pct", "early"};

using Figures = std::array<double, kFigures>;

// Where each note of `written` arrived at `receiver`, judged against the
// frame it was written at.
Figures Judge(const testsupport::JackFrameClient& receiver, const std::vector<Message>& written, jack_nframes_t period,
              jack_nframes_t rate) {
    const size_t count = written.size();
    std::vector<uint32_t> came(count, kNoFrame);
    for (size_t i = 0; i < receiver.Count(); ++i) {
        const int k = NoteNumber(receiver.Got(i));
        if (k >= 0 && size_t(k) < count && came[size_t(k)] == kNoFrame) came[size_t(k)] = receiver.Got(i).frame;
    }
    Figures f{};
    int32_t worst = 0;
    for (size_t k = 0; k < count; ++k) {
        if (came[k] == kNoFrame) {
            ++f[Lost];
            continue;
        }
        const int32_t delay = int32_t(came[k] - written[k].frame);
        worst = std::max(worst, delay);
        ++f[delay < 0 ? Early : delay == 0 ? AtDirect : delay <= int32_t(period) ? NextPeriod : Later];
    }
    for (Figure g : {AtDirect, NextPeriod, Later}) f[g] = count ? 100.0 * f[g] / double(count) : 0;
    f[WorstMs] = 1000.0 * worst / rate;
    f[WithinPeriod] = f[AtDirect] + f[NextPeriod];
    return f;
}

struct PhaseResult {
    std::array<Figures, kPaths> paths{};
    int sent = 0;
    double floodBytesPerS = 0;  // flood
    double idlePct = 100, spinnerCores = 0;  // loaded
    double burnerCyclesShare = 0;  // loaded: the extra clients' cycles per period of the phase
    size_t spinners = 0;
    int burners = 0;
};

PhaseResult Play(Rig& rig, Phase phase) {
    const jack_nframes_t rate = rig.sender->Rate(), period = rig.sender->Period();
    const int count = std::min(kMaxNotes, g_rate * g_seconds);
    // Note k at a random frame of its own share of the phase: a steady rate
    // at random offsets in the periods.
    std::mt19937 random(uint32_t(phase) * 7919u + 17u);
    const double step = double(rate) / g_rate;
    std::vector<Message> schedule(static_cast<size_t>(count));
    for (int k = 0; k < count; ++k) {
        schedule[size_t(k)] = Note(k);
        schedule[size_t(k)].frame =
            uint32_t(step * k + std::uniform_real_distribution<double>(0, std::max(0.0, step - 1))(random));
    }
    rig.receiver->Clear();
    rig.direct->Clear();
    rig.plainReceiver->Clear();
    PhaseResult r;
    r.sent = count;

    std::atomic<bool> stop{false};
    std::thread source;
    std::atomic<double> floodBytes{0};
    std::chrono::steady_clock::time_point floodBegun;
    if (phase == Flood) {
        floodBegun = std::chrono::steady_clock::now();
        source = std::thread([&] {
            rig.flood->Send({0xF0, 0x7D});
            const std::vector<unsigned char> body(1024, 0x55);
            double bytes = 2;
            for (int k = 0; !stop; ++k) {
                rig.flood->SendPaced(body);
                bytes += double(body.size());
                std::this_thread::sleep_until(floodBegun + std::chrono::microseconds(666 * (k + 1)));
            }
            floodBytes = bytes;
        });
    }
    std::vector<std::unique_ptr<Burner>> burners;
    std::unique_ptr<Spinners> spinners;
    jack_nframes_t burnFrom = 0;
    std::vector<long> burnCycles0;
    if (phase == Loaded) {
        for (int b = 0; b < g_clients; ++b) {
            burners.push_back(std::make_unique<Burner>(rig.tag + "b" + std::to_string(b), g_burn));
            if (burners.back()->Ok()) testsupport::PatchPorts(rig.tag + "s:out", rig.tag + "b" + std::to_string(b) + ":in");
        }
        spinners = std::make_unique<Spinners>();
        RunEventLoopFor(300);  // the clients join the graph, the spinners take the cores
        burnFrom = jack_frame_time(rig.sender->Client());
        for (const auto& b : burners) burnCycles0.push_back(b->Cycles());
    }

    rig.sender->Send(std::move(schedule));
    if (phase == Stopped) {
        // The window thread is held here, out of its event loop, until the
        // stragglers had their time too.
        while (!rig.sender->Done()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    } else {
        RunEventLoopUntil([&] { return rig.sender->Done(); });
        RunEventLoopFor(300);  // stragglers
    }

    if (phase == Flood) {
        stop = true;
        source.join();
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - floodBegun).count();
        r.floodBytesPerS = floodBytes / wall;
        rig.flood->Send({0xF7});
    }
    if (phase == Loaded) {
        const double periods = double(jack_frame_time(rig.sender->Client()) - burnFrom) / period;
        r.spinners = spinners->Count();
        spinners->Stop(r.idlePct, r.spinnerCores);
        long cycles = 0;
        for (size_t b = 0; b < burners.size(); ++b) cycles += burners[b]->Ok() ? burners[b]->Cycles() - burnCycles0[b] : 0;
        for (const auto& b : burners) r.burners += b->Ok() ? 1 : 0;
        r.burnerCyclesShare = periods > 0 && r.burners > 0 ? double(cycles) / r.burners / periods : 0;
        burners.clear();
        spinners.reset();
    }

    const auto& written = rig.sender->Schedule();
    r.paths[Direct] = Judge(*rig.direct, written, period, rate);
    r.paths[Editor] = Judge(*rig.receiver, written, period, rate);
    r.paths[Plain] = Judge(*rig.plainReceiver, written, period, rate);
    return r;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// The server this process talks to: whether it ran before, else started
// here and stopped again when the benchmark ends.
struct OwnServer {
    bool started = false;
    bool reachable = false;
    OwnServer() {
        testsupport::UseJackServer();
        ::setenv("MORVELANT_JACK_REALTIME", "1", 0);
        started = !testsupport::JackAnswers();
        reachable = testsupport::JackReachable();
    }
    ~OwnServer() {
        if (started) testsupport::JackServerScript("stop");
    }
};

void BM_ThruOnTheCycle(benchmark::State& state) {
    OwnServer server;
    if (!server.reachable) {
        state.SkipWithError(("JACK server " + testsupport::JackTestServerName() + " not reachable").c_str());
        return;
    }
    std::vector<std::array<PhaseResult, kPhases>> runs;
    jack_nframes_t period = 0, rate = 0;
    bool realtime = false;
    {
        Rig rig;
        if (!rig.Build()) {
            state.SkipWithError(rig.error.c_str());
            return;
        }
        period = rig.sender->Period();
        rate = rig.sender->Rate();
        realtime = RunsRealTime(rig.sender->Client());
        for (auto _ : state) {
            for (int run = 0; run < g_runs; ++run) {
                runs.emplace_back();
                for (int p = 0; p < kPhases; ++p) runs.back()[size_t(p)] = Play(rig, Phase(p));
            }
            state.SetIterationTime(double(g_runs) * int(kPhases) * g_seconds);
        }
    }
    // What each phase timed is what it names.
    for (const auto& run : runs) {
        for (int p = 0; p < kPhases; ++p) {
            const PhaseResult& r = run[size_t(p)];
            const std::string name = kPhaseNames[p];
            if (!bench::CheckCount(state, (name + " notes sent").c_str(), r.sent, int64_t(g_rate) * g_seconds)) return;
            // Only the editor's output reaches its receiver: notes there came
            // through the editor's thru.
            if (!bench::Check(state, r.paths[Editor][Lost] < r.sent, name + " with a thru route that carried no note"))
                return;
            // Nothing is heard before it is written: else notes were told apart wrongly.
            for (int w = 0; w < kPaths; ++w)
                if (!bench::Check(state, r.paths[size_t(w)][Early] == 0, name + " notes heard before they were written"))
                    return;
        }
        if (!bench::CheckRate(state, "a flood", run[Flood].floodBytesPerS, 1, 1.5e6)) return;
        if (!bench::Check(state, run[Loaded].idlePct < 10,
                          "a load that left " + std::to_string(int(run[Loaded].idlePct)) + " % of the machine idle"))
            return;
        if (!bench::Check(state, run[Loaded].burners == g_clients && (g_clients == 0 || run[Loaded].burnerCyclesShare > 0.8),
                          "other JACK clients that did not run in the load's periods"))
            return;
    }
    // Median counters by name, min_ and max_ beside them.
    std::fprintf(stderr,
                 "\nThru behind the direct connection, %d runs of %d s per phase, %d notes/s; %u-frame periods at %u Hz "
                 "(%.2f ms), %s server\n",
                 g_runs, g_seconds, g_rate, period, rate, 1000.0 * period / rate, realtime ? "real-time" : "NOT real-time");
    std::fprintf(stderr, "%-8s %-7s %-25s %-20s %-20s %-12s %-20s\n", "phase", "path", "at direct frame %",
                 "+1 period %", "later %", "lost", "worst ms");
    std::fprintf(stderr, "%-8s %-7s %-25s %-20s %-20s %-12s %-20s\n", "", "", "min / median / max", "min / median / max",
                 "min / median / max", "min/med/max", "min / median / max");
    for (int p = 0; p < kPhases; ++p) {
        for (int w = 0; w < kPaths; ++w) {
            std::array<double, kFigures> mins{}, meds{}, maxs{};
            for (int g = 0; g < kFigures; ++g) {
                std::vector<double> v;
                for (const auto& run : runs) v.push_back(run[size_t(p)].paths[size_t(w)][size_t(g)]);
                mins[size_t(g)] = *std::min_element(v.begin(), v.end());
                maxs[size_t(g)] = *std::max_element(v.begin(), v.end());
                meds[size_t(g)] = Median(v);
                const std::string name = std::string(kPhaseNames[p]) + "_" + kPathNames[w] + "_" + kFigureNames[g];
                if (g == Early) continue;
                state.counters[name] = meds[size_t(g)];
                state.counters["min_" + name] = mins[size_t(g)];
                state.counters["max_" + name] = maxs[size_t(g)];
            }
            char cells[5][64];
            std::snprintf(cells[0], 64, "%.2f / %.2f / %.2f", mins[AtDirect], meds[AtDirect], maxs[AtDirect]);
            std::snprintf(cells[1], 64, "%.2f / %.2f / %.2f", mins[NextPeriod], meds[NextPeriod], maxs[NextPeriod]);
            std::snprintf(cells[2], 64, "%.2f / %.2f / %.2f", mins[Later], meds[Later], maxs[Later]);
            std::snprintf(cells[3], 64, "%g/%g/%g", mins[Lost], meds[Lost], maxs[Lost]);
            std::snprintf(cells[4], 64, "%.2f / %.2f / %.2f", mins[WorstMs], meds[WorstMs], maxs[WorstMs]);
            std::fprintf(stderr, "%-8s %-7s %-25s %-20s %-20s %-12s %-20s\n", w == 0 ? kPhaseNames[p] : "",
                         kPathNames[w], cells[0], cells[1], cells[2], cells[3], cells[4]);
        }
    }
    // The goal: in every phase and run, 99.9 % or more of the notes within
    // one period of the direct frame, the worst no later than the plain
    // client's worst.
    std::string goal;
    for (int p = 0; p < kPhases; ++p) {
        double within = 100, worst = 0, plainWorst = 0;
        for (const auto& run : runs) {
            within = std::min(within, run[size_t(p)].paths[Editor][WithinPeriod]);
            worst = std::max(worst, run[size_t(p)].paths[Editor][WorstMs]);
            plainWorst = std::max(plainWorst, run[size_t(p)].paths[Plain][WorstMs]);
        }
        char line[160];
        std::snprintf(line, sizeof line, "%s%s %s (fewest within one period %.2f %%, worst %.2f ms, plain's %.2f ms)",
                      p ? "; " : "", kPhaseNames[p], within >= 99.9 && worst <= plainWorst ? "met" : "NOT met", within,
                      worst, plainWorst);
        goal += line;
    }
    std::fprintf(stderr, "goal: %s\n", goal.c_str());
    std::vector<double> idle, cores, flood;
    for (const auto& run : runs) {
        idle.push_back(run[Loaded].idlePct);
        cores.push_back(run[Loaded].spinnerCores);
        flood.push_back(run[Flood].floodBytesPerS / 1e6);
    }
    std::fprintf(stderr,
                 "flood %.2f MB/s; load: %d JACK clients burning %d %% of each period, %zu spinning processes "
                 "(%.1f cores' worth, machine idle %.1f %%)\n\n",
                 Median(flood), g_clients, g_burn, runs.back()[Loaded].spinners, Median(cores), Median(idle));
    state.counters["period_frames"] = period;
    state.counters["server_realtime"] = realtime ? 1 : 0;
    state.counters["flood_MB_per_s"] = Median(flood);
    state.counters["loaded_idle_pct"] = Median(idle);
    state.counters["loaded_spinner_cores"] = Median(cores);
}
BENCHMARK(BM_ThruOnTheCycle)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace morvelant

int main(int argc, char** argv) {
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--runs=", 7) == 0)
            morvelant::g_runs = std::max(1, std::atoi(argv[i] + 7));
        else if (std::strncmp(argv[i], "--clients=", 10) == 0)
            morvelant::g_clients = std::max(0, std::atoi(argv[i] + 10));
        else if (std::strncmp(argv[i], "--burn=", 7) == 0)
            morvelant::g_burn = std::clamp(std::atoi(argv[i] + 7), 0, 90);
        else
            rest.push_back(argv[i]);
    }
    return morvelant::bench::RunFloodBenchmarks(int(rest.size()), rest.data(), morvelant::g_seconds, morvelant::g_rate,
                                                10, "thrucycle-cfg");
}
