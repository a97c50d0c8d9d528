// The JACK test server that the end-to-end tests and benchmarks talk to:
// its name, pointing this process's clients at it, whether it answers.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

namespace morvelant::testsupport {

// The JACK test server's name: MORVELANT_JACK_SERVER, "morvelant-test" by default.
inline std::string JackServerName() {
    const char* server = std::getenv("MORVELANT_JACK_SERVER");
    return server && *server ? server : "morvelant-test";
}

// Points the JACK clients of this process at the test server, and keeps
// them from starting a server of their own.
inline void UseJackServer() {
    ::setenv("JACK_DEFAULT_SERVER", JackServerName().c_str(), 1);
    ::setenv("JACK_NO_START_SERVER", "1", 1);
}

// Whether the JACK test server answers, asked once.
inline bool JackAnswers() {
    // jack_wait -c exits with 0 either way; its answer is what it prints.
    FILE* pipe = ::popen(("jack_wait -s '" + JackServerName() + "' -c 2>/dev/null").c_str(), "r");
    if (!pipe) return false;
    char line[64] = {};
    const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
    ::pclose(pipe);
    return got && std::string(line).rfind("running", 0) == 0;
}

// Whether the JACK test server answers; tests skip only when it does not.
// Points this process's JACK clients at it first (UseJackServer).
// MORVELANT_JACK_RUNNING is the test script's word on its server: "0" it did
// not start (skip), "1" it runs. A busy machine can make one question go
// unanswered, so it is asked a few times; and when the script said its
// server runs, a server that still does not answer is no reason to skip:
// the test goes ahead and fails on its own checks, so a missing server can
// never pass as skipped tests.
inline bool JackReachable() {
    UseJackServer();
    const char* running = std::getenv("MORVELANT_JACK_RUNNING");
    if (running && std::string(running) == "0") return false;
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (JackAnswers()) return true;
        ::usleep(200 * 1000);
    }
    if (running && std::string(running) == "1") {
        std::fprintf(stderr, "JACK server '%s' does not answer although the test script started it\n",
                     JackServerName().c_str());
        return true;
    }
    return false;
}

}  // namespace morvelant::testsupport
