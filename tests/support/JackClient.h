// Opening a libjack client of the test server from a test or a benchmark.
#pragma once

#include <jack/jack.h>

#include <cstdio>
#include <string>

namespace morvelant::testsupport {

// Opens a client of the JACK server this process's clients point at, never
// starting one; null when none answers. libjack's error and info messages
// go to this program's own functions first (nowhere when `quiet`): a driver
// library that set its own and was unloaded since would leave libjack
// calling into code that is gone the moment it has something to say, and a
// client that cannot reach a server (one that did not start) is the first
// to say something.
inline jack_client_t* OpenTestClient(const std::string& name, jack_options_t options = JackNullOption,
                                     bool quiet = false) {
    if (quiet) {
        jack_set_error_function([](const char*) {});
        jack_set_info_function([](const char*) {});
    } else {
        jack_set_error_function([](const char* message) { std::fprintf(stderr, "%s\n", message); });
        jack_set_info_function([](const char* message) { std::fprintf(stderr, "%s\n", message); });
    }
    jack_status_t status{};
    return jack_client_open(name.c_str(), jack_options_t(options | JackNoStartServer), &status);
}

}  // namespace morvelant::testsupport
