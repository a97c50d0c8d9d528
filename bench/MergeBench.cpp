// Merging a score of 8 tracks of 10,000 events each into one stream, as the
// sequencer's playback does batch by batch.
#include <benchmark/benchmark.h>

#include "bench/BenchCheck.h"

#include <memory>

#include "midikit/MidiKitScore.h"
#include "midikit/MidiKitTrack.h"

using morvelant::TMidiKitScore;
using morvelant::TMidiKitTrack;

namespace {

constexpr int Tracks = 8;
constexpr uint32_t EventsPerTrack = 10000;

std::unique_ptr<TMidiKitScore> MakeScore(bool withSysex) {
    auto score = std::make_unique<TMidiKitScore>(0);
    for (int t = 0; t < Tracks; ++t) {
        auto* track = new TMidiKitTrack;
        for (uint32_t i = 0; i < EventsPerTrack; ++i) {
            MidiEvent e{static_cast<uint32_t>(1 + (i + t) % 7), static_cast<uint8_t>(0x90 | t),
                        static_cast<uint8_t>(i & 0x7F), 100, 0};
            // Track 0 optionally carries dumps: messages of 64 bytes.
            if (withSysex && t == 0) {
                const uint32_t k = i % 64;
                e = MidiEvent{k == 0 ? 3u : 0u, 0xF0, static_cast<uint8_t>(k == 0 ? 0xF0 : (k == 63 ? 0xF7 : k)), 0, 0};
            }
            track->InsertEvent(&e, TMidiKitTrack::LastIndex);
        }
        score->Add(track);
    }
    return score;
}

void BM_MergeWholeScore(benchmark::State& state) {
    auto score = MakeScore(state.range(0) != 0);
    uint64_t sent = 0;
    for (auto _ : state) {
        uint64_t n = 0;
        score->StartOut([&n](MidiEvent* e) {
            benchmark::DoNotOptimize(e->time);
            ++n;
            return true;
        });
        sent = n;
    }
    // Every event of every track merged, or the time is of something less.
    if (!morvelant::bench::CheckCount(state, "events merged", int64_t(sent), int64_t(Tracks) * EventsPerTrack)) return;
    state.counters["events"] = static_cast<double>(sent);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * sent));
}
BENCHMARK(BM_MergeWholeScore)->Arg(0)->Arg(1)->ArgName("sysex")->Unit(benchmark::kMillisecond);

// One refill as the output asks for it: a 512-event batch from the middle.
void BM_MergeOneBatch(benchmark::State& state) {
    auto score = MakeScore(false);
    int batches = 0;
    score->StartOut([](MidiEvent*) { return false; });  // rewind, first batch
    for (auto _ : state) {
        if (score->MergedCount() == 0) {
            state.PauseTiming();
            score->StartOut([](MidiEvent*) { return false; });
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(score->MergeTracks());
        ++batches;
    }
    state.SetItemsProcessed(state.iterations() * TMidiKitScore::BatchSize);
}
BENCHMARK(BM_MergeOneBatch)->Unit(benchmark::kMicrosecond);

}  // namespace

MORVELANT_BENCHMARK_MAIN();
