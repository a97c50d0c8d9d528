// Opening a libjack client of the test server from a test or a benchmark.
#pragma once

#include <jack/jack.h>

#include <cstdio>
#include <string>

#include "tests/support/JackServer.h"

namespace morvelant::testsupport {

// Points libjack's error and info messages at this program's own functions
// (nowhere when `quiet`), before this program opens a client, itself or
// through another library: a driver library that set its own and was
// unloaded since would leave libjack calling into code that is gone the
// moment it has something to say, and a client that cannot reach a server
// (one that did not start) is the first to say something.
inline void OwnJackMessages(bool quiet = false) {
    if (quiet) {
        jack_set_error_function([](const char*) {});
        jack_set_info_function([](const char*) {});
    } else {
        jack_set_error_function([](const char* message) { std::fprintf(stderr, "%s\n", message); });
        jack_set_info_function([](const char* message) { std::fprintf(stderr, "%s\n", message); });
    }
}

// Opens a client of the JACK server this process's clients point at, never
// starting one (its messages as OwnJackMessages says); null when none
// answers.
inline jack_client_t* OpenTestClient(const std::string& name, jack_options_t options = JackNullOption,
                                     bool quiet = false) {
    OwnJackMessages(quiet);
    jack_status_t status{};
    return jack_client_open(name.c_str(), jack_options_t(options | JackNoStartServer), &status);
}

}  // namespace morvelant::testsupport
