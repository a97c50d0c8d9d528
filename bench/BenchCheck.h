// What every benchmark checks of its subject, and the main that fails the
// run when any benchmark reported an error: a figure of something other
// than what the benchmark names (a smaller window, fewer events, a file that
// was not written) is worse than none, so it fails instead of being printed.
#pragma once

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

namespace morvelant::bench {

// Fails the benchmark with what it timed when `ok` does not hold.
inline bool Check(benchmark::State& state, bool ok, const std::string& timed) {
    if (!ok) state.SkipWithError(("timed " + timed).c_str());
    return ok;
}

// The count of what was processed (events, rows, presets, bytes) is the one named.
inline bool CheckCount(benchmark::State& state, const char* what, int64_t got, int64_t named) {
    return Check(state, got == named, std::to_string(got) + " " + what + ", not " + std::to_string(named));
}

// `count` events sent in `seconds` kept at least the rate named (events per
// second; a fifth of slack for a busy machine): a stream sent slower than
// named measures an easier load.
inline bool CheckRate(benchmark::State& state, const char* what, double count, double seconds, double rate) {
    const double got = seconds > 0 ? count / seconds : 0;
    return Check(state, got >= 0.8 * rate,
                 what + (" at " + std::to_string(int64_t(got)) + " per second, not " + std::to_string(int64_t(rate))));
}

// Remembers whether any run reported an error, printing as the console does.
class FailingReporter : public benchmark::ConsoleReporter {
public:
    FailingReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Color : OO_None) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) failed = failed || run.error_occurred;
        ConsoleReporter::ReportRuns(runs);
    }
    bool failed = false;
};

// Runs the benchmarks picked by the flags; 1 when any of them failed.
inline int RunCheckedBenchmarks() {
    FailingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    return reporter.failed ? 1 : 0;
}

}  // namespace morvelant::bench

// BENCHMARK_MAIN, with a failing status when a benchmark failed.
#define MORVELANT_BENCHMARK_MAIN()                                        \
    int main(int argc, char** argv) {                                     \
        benchmark::Initialize(&argc, argv);                               \
        if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1; \
        const int status = morvelant::bench::RunCheckedBenchmarks();      \
        benchmark::Shutdown();                                            \
        return status;                                                    \
    }                                                                     \
    int main(int, char**)
