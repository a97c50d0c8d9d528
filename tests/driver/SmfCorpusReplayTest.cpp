// Feeds every file of the MIDI-file fuzzing corpus to the reader on every
// run: each opens (the corpus holds valid files only), reads out completely,
// reads the same again after a rewind, and survives a write-and-read-back.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/driver/SmfTestSupport.h"

using namespace morvelant::smftest;

namespace {

std::filesystem::path CorpusFolder() {
    // The source folder as the build names it (__FILE__ may be relative to
    // the build folder, for example under a compiler cache).
    return std::filesystem::path(MORVELANT_SOURCE_DIR) / "fuzz" / "corpus" / "SmfFuzz";
}

TEST(SmfCorpusReplay, EveryCorpusFileReadsAndRoundTrips) {
    ASSERT_TRUE(Smf().Ok()) << Smf().error;
    const auto folder = CorpusFolder();
    ASSERT_TRUE(std::filesystem::is_directory(folder)) << folder;
    TempFolder temp;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        ++files;
        SCOPED_TRACE(entry.path().filename().string());
        uint32_t format = 1, count = 0;
        const uint32_t h = Smf().OpenSMF(entry.path().c_str(), &format, 'r', &count);
        ASSERT_NE(h, 0u);
        std::vector<std::vector<MidiEvent>> tracks;
        std::vector<std::string> names;
        for (uint32_t t = 0; t < count; ++t) {
            tracks.push_back(ReadAll(h, t, 7));
            char* data = nullptr;
            uint32_t length = 0;
            names.push_back(Smf().ReadMetaEvent(h, t, 3, &data, &length) == -1 ? std::string()
                                                                               : std::string(data, length));
        }
        Smf().RewindSMF(h);
        for (uint32_t t = 0; t < count; ++t) EXPECT_EQ(Describe(ReadAll(h, t)), Describe(tracks[t]));
        const uint32_t resolution = Smf().GetSMFResolution(h);
        Smf().CloseSMF(h);

        // Written again by the library, it reads back the same.
        const std::string copy = temp.File("copy.mid");
        uint32_t wformat = format, wcount = 0;
        const uint32_t w = Smf().OpenSMF(copy.c_str(), &wformat, 'w', &wcount);
        ASSERT_NE(w, 0u);
        Smf().SetSMFResolution(w, resolution);
        for (uint32_t t = 0; t < count; ++t) {
            if (!names[t].empty())
                Smf().WriteMetaEvent(w, t, 3, names[t].data(), static_cast<uint32_t>(names[t].size()));
            Smf().WriteSMF(w, t, tracks[t].data(), static_cast<uint32_t>(tracks[t].size()));
        }
        ASSERT_EQ(Smf().CloseSMFChecked(w), 0);
        const uint32_t r = Smf().OpenSMF(copy.c_str(), &wformat, 'r', &wcount);
        ASSERT_NE(r, 0u);
        EXPECT_EQ(wcount, count);
        EXPECT_EQ(Smf().GetSMFResolution(r), resolution);
        for (uint32_t t = 0; t < count && t < wcount; ++t)
            EXPECT_EQ(Describe(ReadAll(r, t)), Describe(tracks[t])) << "track " << t;
        Smf().CloseSMF(r);
    }
    EXPECT_GE(files, 3);
}

}  // namespace
