// Replays a fuzz seed corpus (fuzz/corpus/<target>/) through the targets on
// every test run, each seed whole and cut short at many places, so that a
// seed that once crashed stays a regression test. Seeds are written with
// SaveSeed when the test is run with MORVELANT_WRITE_FUZZ_CORPUS=1.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace morvelant::testsupport {

using FuzzTarget = int (*)(const uint8_t*, std::size_t);

inline bool WritingFuzzCorpus() {
    const char* w = std::getenv("MORVELANT_WRITE_FUZZ_CORPUS");
    return w != nullptr && *w == '1';
}

inline std::vector<uint8_t> SeedBytes(std::string_view s) { return {s.begin(), s.end()}; }

inline void SaveSeed(const std::string& corpus, const std::string& target, const std::string& name,
                     const std::vector<uint8_t>& bytes) {
    const std::filesystem::path dir = std::filesystem::path(corpus) / target;
    std::filesystem::create_directories(dir);
    std::ofstream out(dir / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Returns how many seeds were replayed; every target must have at least one.
inline std::size_t ReplayCorpus(const std::string& corpus, const std::map<std::string, FuzzTarget>& targets) {
    std::size_t replayed = 0;
    for (const auto& [target, fn] : targets) {
        const std::filesystem::path dir = std::filesystem::path(corpus) / target;
        EXPECT_TRUE(std::filesystem::is_directory(dir)) << dir;
        if (!std::filesystem::is_directory(dir)) continue;
        std::size_t seeds = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            if (!entry.is_regular_file()) continue;
            std::ifstream in(entry.path(), std::ios::binary);
            const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
            SCOPED_TRACE(entry.path().string());
            EXPECT_EQ(fn(bytes.data(), bytes.size()), 0);
            // Every prefix too: a truncated seed must be refused, not crash.
            for (std::size_t n = 0; n < bytes.size(); n += 1 + bytes.size() / 64) fn(bytes.data(), n);
            ++seeds;
        }
        EXPECT_GT(seeds, 0u) << target;
        replayed += seeds;
    }
    return replayed;
}

}  // namespace morvelant::testsupport
