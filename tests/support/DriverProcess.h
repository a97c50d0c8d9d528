// Where the test executable lies, and running a test again alone: the
// driver library picks its backend and lists its ports once per process and
// stays loaded, so a test that needs its own backend runs in a fresh process
// when another test of this process loaded the library already.
#pragma once

#include <dlfcn.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
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

// The result of a test run again in a fresh process.
inline constexpr int kRerunSkipped = -2;

// Runs the current test alone in a fresh process of this executable (with
// `env`, "NAME=value ", in front of the command); its exit status, or
// kRerunSkipped when the test skipped there (which must not count as passed).
inline int RerunThisTestAlone(const std::string& env = std::string()) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string cmd =
        env + "'" + ExePath() + "' --gtest_filter='" + info->test_suite_name() + "." + info->name() + "' 2>&1";
    FILE* pipe = ::popen(cmd.c_str(), "r");
    if (!pipe) return -1;
    bool skipped = false;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe)) {
        std::fputs(line, stdout);
        if (std::string(line).rfind("[  SKIPPED ] 1 test", 0) == 0) skipped = true;
    }
    const int status = ::pclose(pipe);
    return status == 0 && skipped ? kRerunSkipped : status;
}

}  // namespace morvelant::testsupport

// The driver library fixes its backend and port list when it is first used,
// and stays in the process once loaded. A test that needs a backend of its
// own therefore runs alone in a fresh process when the library is already
// loaded here (ctest runs every test alone anyway); the condition says when
// the loaded library does not serve.
#define MIDIKIT_IN_FRESH_PROCESS_IF(condition)                                                                   \
    do {                                                                                                         \
        if (condition) {                                                                                         \
            const int rerun_ = ::morvelant::testsupport::RerunThisTestAlone();                                   \
            if (rerun_ == ::morvelant::testsupport::kRerunSkipped) GTEST_SKIP() << "skipped in its own process"; \
            ASSERT_EQ(rerun_, 0) << "the test failed in its own process";                                        \
            return;                                                                                              \
        }                                                                                                        \
    } while (0)
#define MIDIKIT_IN_FRESH_PROCESS() MIDIKIT_IN_FRESH_PROCESS_IF(::morvelant::testsupport::DriverLoadedHere())
