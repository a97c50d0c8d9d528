// The JACK test server that the end-to-end tests and benchmarks talk to:
// its name, pointing this process's clients at it, and making sure it runs.
// With MORVELANT_MIDI_SERVER=pipewire it is a PipeWire daemon in a runtime
// folder of its own instead (scripts/pipewire-test-server.sh), reached
// through PipeWire's libjack (the test command runs such programs as
// `pw-jack` would).
//
// Each test program has a server of its own (named after the program),
// started by the first test that needs it and started again when it
// stopped, so one stalled server cannot take the other programs' tests with
// it.
#pragma once

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

namespace morvelant::testsupport {

// The JACK test server's name: MORVELANT_JACK_SERVER, else "morvelant-",
// the test run's id (MORVELANT_TEST_RUN, set by the test command so that two
// runs on one machine never share or stop each other's servers) and the
// program's name.
inline std::string JackTestServerName() {
    const char* server = std::getenv("MORVELANT_JACK_SERVER");
    if (server && *server) return server;
    const char* run = std::getenv("MORVELANT_TEST_RUN");
    std::string name = "morvelant-";
    if (run && *run) name += std::string(run) + "-";
    return name + program_invocation_short_name;
}

// A JACK client name `base` made this process's own. libjack makes a
// client's socket for the server's notices from the client's name alone,
// whatever server it is on: two test runs side by side whose programs open
// clients of one name at the same moment would take each other's, and the
// server's notices (ports come and gone) would reach neither.
inline std::string OwnClientName(const std::string& base) { return base + std::to_string(::getpid()); }

// The name the driver library's JACK client takes in this process (and in
// the programs it starts): MIDIKIT_CLIENT_NAME, else the program's own.
inline std::string DriverClientName() {
    const char* set = std::getenv("MIDIKIT_CLIENT_NAME");
    if (set && *set) return set;
    return OwnClientName(program_invocation_short_name);
}

inline bool TestServerIsPipeWire() {
    const char* server = std::getenv("MORVELANT_MIDI_SERVER");
    return server && std::string(server) == "pipewire";
}

// Runs one of the project's test server scripts on this program's server
// ("start", "stop", "check"); whether it succeeded.
inline bool ServerScript(const char* script, const std::string& verb) {
#ifdef MORVELANT_SOURCE_DIR
    const std::string cmd = "MORVELANT_JACK_SERVER='" + JackTestServerName() + "' '" MORVELANT_SOURCE_DIR "/scripts/" +
        script + "' " + verb + " >&2";
    return std::system(cmd.c_str()) == 0;
#else
    (void)script;
    (void)verb;
    return false;
#endif
}

// A program run directly (a test program or a benchmark, outside the test
// command) ends the server it started when it ends: each server counts
// against the machine's few (at most eight JACK servers run at once). The
// test command (MORVELANT_KEEP_TEST_SERVERS=1) keeps a program's server for
// all its tests and stops it itself. Only the process that started the
// server stops it (a forked child that exits does not).
inline void StopStartedServerAtExit(const char* script) {
    const char* kept = std::getenv("MORVELANT_KEEP_TEST_SERVERS");
    if (kept && std::string(kept) == "1") return;
    static const char* started = nullptr;
    static pid_t starter = 0;
    if (started) return;
    started = script;
    starter = ::getpid();
    std::atexit([] {
        if (::getpid() == starter) ServerScript(started, "stop");
    });
}

// Points this process's PipeWire clients at this program's PipeWire daemon.
inline void UsePipeWire() {
    const char* tmp = std::getenv("TMPDIR");
    const std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/morvelant-pipewire-" + JackTestServerName();
    ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    ::setenv("PIPEWIRE_CONFIG_DIR", (folder + "/config").c_str(), 1);
    ::unsetenv("PIPEWIRE_REMOTE");
    ::unsetenv("PIPEWIRE_RUNTIME_DIR");
}

// This program's PipeWire daemon runs (started when it does not), and this
// process's clients are pointed at it; a JACK server of this program's name
// is never started here, so only PipeWire answers.
inline bool PipeWireReachable() {
    ::setenv("MIDIKIT_CLIENT_NAME", DriverClientName().c_str(), 1);
    ::setenv("JACK_DEFAULT_SERVER", JackTestServerName().c_str(), 1);
    ::setenv("JACK_NO_START_SERVER", "1", 1);
    UsePipeWire();
    if (ServerScript("pipewire-test-server.sh", "check")) return true;
    if (!ServerScript("pipewire-test-server.sh", "start")) return false;
    StopStartedServerAtExit("pipewire-test-server.sh");
    return true;
}

// Points the JACK clients of this process at the test server, and keeps
// them from starting a server of their own.
inline void UseJackServer() {
    ::setenv("MIDIKIT_CLIENT_NAME", DriverClientName().c_str(), 1);
    ::setenv("JACK_DEFAULT_SERVER", JackTestServerName().c_str(), 1);
    ::setenv("JACK_NO_START_SERVER", "1", 1);
    if (TestServerIsPipeWire()) UsePipeWire();
}

// Whether the JACK test server answers.
inline bool JackAnswers() {
    if (TestServerIsPipeWire()) return ServerScript("pipewire-test-server.sh", "check");
    // jack_wait -c exits with 0 either way; its answer is what it prints.
    // Its client named as this process's own.
    FILE* pipe =
        ::popen(("jack_wait -s '" + JackTestServerName() + "' -n " + OwnClientName("wait") + " -c 2>/dev/null").c_str(),
                "r");
    if (!pipe) return false;
    char line[64] = {};
    const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
    ::pclose(pipe);
    return got && std::string(line).rfind("running", 0) == 0;
}

// Runs the project's test server script on this program's server
// ("start", "stop"); whether it succeeded.
inline const char* JackServerScriptName() {
    return TestServerIsPipeWire() ? "pipewire-test-server.sh" : "jack-test-server.sh";
}
inline bool JackServerScript(const std::string& verb) { return ServerScript(JackServerScriptName(), verb); }

// Starts the test server (again); whether it answers. A server that is
// still taking down the clients of one it replaced, or of a process that
// ended, can refuse a new client for a moment on a loaded machine ("Cannot
// create new client"): asked again for up to 10 s.
inline bool StartJackServer() {
    if (!JackServerScript("start")) return false;
    StopStartedServerAtExit(JackServerScriptName());
    for (int i = 0; i < 50; ++i) {
        if (JackAnswers()) return true;
        ::usleep(200 * 1000);
    }
    return false;
}

// Whether the JACK test server runs, started when it does not; points this
// process's JACK clients at it first. Tests skip only when it is false.
// Under the test command (MORVELANT_JACK_REQUIRED=1) a server that cannot be
// had is no reason to skip: the test goes ahead and fails on its own checks
// (its peer sees a dead server at once), so a missing server can never pass
// as skipped tests.
inline bool JackReachable() {
    UseJackServer();
    if (JackAnswers() || StartJackServer()) return true;
    const char* required = std::getenv("MORVELANT_JACK_REQUIRED");
    if (required && std::string(required) == "1") {
        std::fprintf(stderr, "the JACK test server '%s' does not run and did not start\n",
                     JackTestServerName().c_str());
        return true;
    }
    return false;
}

}  // namespace morvelant::testsupport
