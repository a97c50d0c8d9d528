// Where the test executable lies, and running a test again alone: the
// driver library picks its backend and lists its ports once per process and
// stays loaded, so a test that needs its own backend runs in a fresh process
// when another test of this process loaded the library already.
#pragma once

#include <dlfcn.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/ExePath.h"

namespace morvelant::testsupport {

// Whether a test of this process loaded the driver library.
inline bool DriverLoadedHere() {
    const std::string lib = ExeFolder() + "/libMidiKit32.so";
    void* h = ::dlopen(lib.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!h) return false;
    ::dlclose(h);
    return true;
}

// Runs the current test alone in a fresh process of this executable (with
// `env`, "NAME=value ", in front of the command); its exit status.
inline int RerunThisTestAlone(const std::string& env = std::string()) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string cmd =
        env + "'" + ExePath() + "' --gtest_filter='" + info->test_suite_name() + "." + info->name() + "'";
    return std::system(cmd.c_str());
}

}  // namespace morvelant::testsupport

// The driver library fixes its backend and port list when it is first used,
// and stays in the process once loaded. A test that needs a backend of its
// own therefore runs alone in a fresh process when the library is already
// loaded here (ctest runs every test alone anyway); the condition says when
// the loaded library does not serve.
#define MIDIKIT_IN_FRESH_PROCESS_IF(condition)                                                                    \
    do {                                                                                                          \
        if (condition) {                                                                                          \
            ASSERT_EQ(::morvelant::testsupport::RerunThisTestAlone(), 0) << "the test failed in its own process"; \
            return;                                                                                               \
        }                                                                                                         \
    } while (0)
#define MIDIKIT_IN_FRESH_PROCESS() MIDIKIT_IN_FRESH_PROCESS_IF(::morvelant::testsupport::DriverLoadedHere())
