// What the driver library costs while no MIDI moves: wake-ups of its
// process's threads and CPU time over a few seconds of idle, with an input
// and an output open and connected to a peer on the JACK server, against a
// plain libjack client with one MIDI input port connected to the same peer
// over the same seconds. Both are woken by the server once per period; what
// the driver adds on top of that is its own.
//
// Each side runs in a process of its own (forked before any JACK client
// exists here), so each counts only its own threads; the peer lives in this
// process. Needs the JACK server named by MORVELANT_JACK_SERVER.
#include <benchmark/benchmark.h>

#include "bench/BenchCheck.h"

#include <dirent.h>
#include <dlfcn.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "driver/MidiKit32.h"
#include "tests/support/ExePath.h"
#include "tests/support/JackPeer.h"
#include "tests/support/JackServer.h"

using namespace morvelant;

namespace {

constexpr double kIdleSeconds = 4.0;

// Context switches of every thread of this process so far.
long long TaskSwitches() {
    long long total = 0;
    DIR* dir = opendir("/proc/self/task");
    if (!dir) return 0;
    while (dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.') continue;
        std::ifstream status(std::string("/proc/self/task/") + e->d_name + "/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0 || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
                total += std::atoll(line.substr(line.find(':') + 1).c_str());
    }
    closedir(dir);
    return total;
}

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Idles for the window and writes "wake-ups per second, CPU percent".
void MeasureIdle(int out) {
    std::this_thread::sleep_for(std::chrono::seconds(1));  // connections settle
    const long long s0 = TaskSwitches();
    const double c0 = CpuSeconds();
    std::this_thread::sleep_for(std::chrono::duration<double>(kIdleSeconds));
    const double wakeups = double(TaskSwitches() - s0) / kIdleSeconds;
    const double cpu = 100.0 * (CpuSeconds() - c0) / kIdleSeconds;
    char line[64];
    const int n = std::snprintf(line, sizeof line, "%f %f\n", wakeups, cpu);
    [[maybe_unused]] ssize_t w = write(out, line, size_t(n));
}

// The driver library, loaded, with one input from the peer and one output
// to it.
int DriverIdle(void* lib, int out, const std::string& peer) {
#define SYM(name) auto name = reinterpret_cast<decltype(&::name)>(dlsym(lib, #name))
    SYM(GetNumInDevices);
    SYM(GetNumOutDevices);
    SYM(GetMidiInDescription);
    SYM(GetMidiOutDescription);
    SYM(OpenMidiIn);
    SYM(StartMidiIn);
    SYM(OpenMidiOut);
    SYM(CloseMidiIn);
    SYM(CloseMidiOut);
#undef SYM
    const auto find = [](uint32_t count, void (*describe)(uint32_t, char*), const std::string& name) {
        for (uint32_t i = 0; i < count; ++i) {
            char b[32];
            describe(i, b);
            if (name == b) return int(i);
        }
        return -1;
    };
    const int inPort = find(GetNumInDevices(), GetMidiInDescription, peer + "o:out");
    const int outPort = find(GetNumOutDevices(), GetMidiOutDescription, peer + ":in");
    if (inPort < 0 || outPort < 0) return 1;
    MidiKitNotifyTarget nothing{[](void*, uint32_t) {}, nullptr};
    const uint32_t in = OpenMidiIn(&nothing, uint32_t(inPort), 0, MIDIKIT_OPEN_ARGUMENT);
    const uint32_t o = OpenMidiOut(&nothing, uint32_t(outPort), 0, MIDIKIT_OPEN_ARGUMENT);
    if (in <= 0x20 || o <= 0x20) return 1;
    StartMidiIn(in);
    MeasureIdle(out);
    CloseMidiOut(o);
    CloseMidiIn(in);
    return 0;
}

// The driver's side. The library is closed (its JACK client with it) before
// the process ends: a process that ends with _exit while the client is open
// leaves a synchronous server waiting on the dead client.
int EditorSide(int go, int out, const std::string& peer) {
    char byte;
    if (read(go, &byte, 1) != 1) return 1;
    setenv("MIDIKIT_BACKEND", "jack", 1);
    setenv("MIDIKIT_CLIENT_NAME", "IdleEditor", 1);
    void* lib = dlopen((testsupport::ExeFolder() + "/libMidiKit32.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib) return 1;
    const int status = DriverIdle(lib, out, peer);
    dlclose(lib);
    return status;
}

// A plain libjack client with one MIDI input port from the peer.
int BaselineSide(int go, int out, const std::string& peer) {
    char byte;
    if (read(go, &byte, 1) != 1) return 1;
    jack_client_t* c = testsupport::OpenTestClient(testsupport::OwnClientName("IdleBaseline"));
    if (!c) return 1;
    static jack_port_t* port = jack_port_register(c, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    static std::atomic<uint32_t> seen{0};
    jack_set_process_callback(
        c,
        [](jack_nframes_t n, void*) {
            seen += jack_midi_get_event_count(jack_port_get_buffer(port, n));
            return 0;
        },
        nullptr);
    if (jack_activate(c) != 0) return 1;
    jack_connect(c, (peer + "o:out").c_str(), jack_port_name(port));
    MeasureIdle(out);
    jack_client_close(c);
    return 0;
}

struct Figures {
    double wakeups = -1, cpu = -1;
};

Figures Read(int fd) {
    Figures f;
    char line[64] = {};
    if (read(fd, line, sizeof line - 1) > 0) std::sscanf(line, "%lf %lf", &f.wakeups, &f.cpu);
    return f;
}

void BM_IdleWithPortsOpen(benchmark::State& state) {
    testsupport::UseJackServer();
    if (!testsupport::JackReachable()) {
        state.SkipWithError("the JACK server is not reachable");
        return;
    }
    const std::string peerName = "IdlePeer" + std::to_string(getpid());
    for (auto _ : state) {
        int go[2], editorOut[2], baselineOut[2];
        if (pipe(go) || pipe(editorOut) || pipe(baselineOut)) return state.SkipWithError("pipe");
        // Forked before this process opens any JACK client: libjack's state
        // is not to be shared with a child.
        const pid_t editor = fork();
        if (editor == 0) _exit(EditorSide(go[0], editorOut[1], peerName));
        const pid_t baseline = fork();
        if (baseline == 0) _exit(BaselineSide(go[0], baselineOut[1], peerName));
        close(editorOut[1]);
        close(baselineOut[1]);
        {
            testsupport::JackPeer peer({.in = peerName, .out = peerName + "o", .quiet = true});
            [[maybe_unused]] ssize_t w = write(go[1], "gg", 2);
            const Figures e = Read(editorOut[0]);
            const Figures b = Read(baselineOut[0]);
            int st = 0, bst = 0;
            waitpid(editor, &st, 0);
            waitpid(baseline, &bst, 0);
            // Both sides had their ports open and connected for the whole idle.
            bench::Check(state, st == 0 && bst == 0, "a side that did not open its ports");
            state.SetIterationTime(kIdleSeconds);
            state.counters["driver_wakeups_per_s"] = e.wakeups;
            state.counters["driver_cpu_pct"] = e.cpu;
            state.counters["baseline_wakeups_per_s"] = b.wakeups;
            state.counters["baseline_cpu_pct"] = b.cpu;
            state.counters["wakeups_ratio"] = b.wakeups > 0 ? e.wakeups / b.wakeups : 0;
            if (e.wakeups < 0 || b.wakeups < 0) state.SkipWithError("a side failed to measure");
        }
        for (int fd : {go[0], go[1], editorOut[0], baselineOut[0]}) close(fd);
    }
}
BENCHMARK(BM_IdleWithPortsOpen)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

MORVELANT_BENCHMARK_MAIN();
