// The main of a benchmark that floods a window of the editor with MIDI.
#pragma once

#include <benchmark/benchmark.h>

#include <QApplication>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/BenchCheck.h"
#include "platform/ProgramPath.h"

namespace morvelant::bench {

// Takes --seconds=N and --rate=EVENTS_PER_S (at least minRate) before the
// benchmark library's flags, shows the windows on the display or, without
// one, off screen, keeps their configuration in a folder of the temporary
// folder (not beside the benchmark), and runs the benchmarks.
inline int RunFloodBenchmarks(int argc, char** argv, int& seconds, int& rate, int minRate, const char* folder) {
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--seconds=", 10) == 0)
            seconds = std::max(1, std::atoi(argv[i] + 10));
        else if (std::strncmp(argv[i], "--rate=", 7) == 0)
            rate = std::max(minRate, std::atoi(argv[i] + 7));
        else
            rest.push_back(argv[i]);
    }
    int restc = static_cast<int>(rest.size());
    rest.push_back(nullptr);
    if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr)
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(restc, rest.data());
    const std::string tmp = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/" + folder;
    std::error_code ec;
    std::filesystem::create_directories(tmp, ec);
    SetProgramDirectory(tmp);
    return RunBenchmarkMain(&restc, rest.data());
}

}  // namespace morvelant::bench
