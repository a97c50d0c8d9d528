// What every benchmark checks of its subject, and the main that fails the
// run when any benchmark reported an error: a figure of something other
// than what the benchmark names (a smaller window, fewer events, a file that
// was not written) is worse than none, so it fails instead of being printed.
#pragma once

#include <benchmark/benchmark.h>
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

// Remembers whether any run reported an error, and shows every run as the
// library's own display reporter does: the format, colour and counter flags
// (--benchmark_format=json|csv|console, --benchmark_color,
// --benchmark_counters_tabular) are honoured; --benchmark_out writes its
// file beside it as usual.
class FailingReporter : public benchmark::BenchmarkReporter {
public:
    FailingReporter() : shown_(benchmark::CreateDefaultDisplayReporter()) {}
    bool ReportContext(const Context& context) override { return shown_->ReportContext(context); }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) failed = failed || run.error_occurred;
        shown_->ReportRuns(runs);
    }
    void Finalize() override { shown_->Finalize(); }
    bool failed = false;

private:
    benchmark::BenchmarkReporter* shown_;  // the library's own, made once per process and kept
};

// Runs the benchmarks picked by the flags; 1 when any of them failed.
inline int RunCheckedBenchmarks() {
    FailingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    return reporter.failed ? 1 : 0;
}

// A benchmark program's main after its own set-up: takes the benchmark
// library's flags (an unknown one is refused, as the library's own main
// does), runs the benchmarks they pick; 1 when an argument was refused or a
// benchmark failed.
inline int RunBenchmarkMain(int* argc, char** argv) {
    benchmark::Initialize(argc, argv);
    if (benchmark::ReportUnrecognizedArguments(*argc, argv)) return 1;
    const int status = RunCheckedBenchmarks();
    benchmark::Shutdown();
    return status;
}

}  // namespace morvelant::bench

// BENCHMARK_MAIN, with a failing status when a benchmark failed.
#define MORVELANT_BENCHMARK_MAIN()                                              \
    int main(int argc, char** argv) { return morvelant::bench::RunBenchmarkMain(&argc, argv); } \
    int main(int, char**)
