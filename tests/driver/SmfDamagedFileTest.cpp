// Damaged MIDI files are refused at open, whole, and never read out of
// bounds (the sanitizer build watches every byte of these).
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/driver/SmfTestSupport.h"

using namespace morvelant::smftest;

namespace {

std::vector<uint8_t> Header(uint16_t format, uint16_t tracks) {
    return {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, static_cast<uint8_t>(format), 0, static_cast<uint8_t>(tracks), 0, 96};
}

std::vector<uint8_t> Track(const std::vector<uint8_t>& body, uint32_t declared) {
    std::vector<uint8_t> t = {'M',
                              'T',
                              'r',
                              'k',
                              static_cast<uint8_t>(declared >> 24),
                              static_cast<uint8_t>(declared >> 16),
                              static_cast<uint8_t>(declared >> 8),
                              static_cast<uint8_t>(declared)};
    t.resize(8 + body.size());
    std::copy(body.begin(), body.end(), t.begin() + 8);
    return t;
}

std::vector<uint8_t> File(uint16_t tracks, const std::vector<std::vector<uint8_t>>& chunks, uint16_t format = 1) {
    std::vector<uint8_t> f = Header(format, tracks);
    for (const auto& c : chunks) f.insert(f.end(), c.begin(), c.end());
    return f;
}

std::vector<uint8_t> Whole(const std::vector<uint8_t>& body) { return Track(body, static_cast<uint32_t>(body.size())); }

class SmfDamaged : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Smf().Ok()) << Smf().error; }

    // Opens the bytes as a file; the handle (0 = refused). The copy on disk
    // is exactly the bytes, so any read past them is a read past the file.
    uint32_t Open(const std::vector<uint8_t>& bytes, uint32_t* tracks = nullptr) {
        const std::string path = folder.File("f" + std::to_string(++n) + ".mid");
        WriteBytes(path, bytes);
        uint32_t format = 1, count = 0;
        const uint32_t h = Smf().OpenSMF(path.c_str(), &format, 'r', &count);
        if (tracks) *tracks = count;
        return h;
    }

    TempFolder folder;
    int n = 0;
};

TEST_F(SmfDamaged, ValidBaselineOpens) {
    uint32_t tracks = 0;
    const uint32_t h = Open(File(1, {Whole({0x00, 0x90, 0x3C, 0x40, 0x00, 0xFF, 0x2F, 0x00})}), &tracks);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(tracks, 1u);
    EXPECT_EQ(ReadAll(h, 0).size(), 1u);
    Smf().CloseSMF(h);
}

TEST_F(SmfDamaged, MissingOrBrokenHeaderIsRefused) {
    EXPECT_EQ(Open({}), 0u) << "empty file";
    EXPECT_EQ(Open({'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0}), 0u) << "header cut off";
    EXPECT_EQ(Open(Whole({0x00, 0xFF, 0x2F, 0x00})), 0u) << "track without header";
    auto shortLength = Header(0, 0);
    shortLength[7] = 5;
    EXPECT_EQ(Open(shortLength), 0u) << "header length below 6";
    auto longLength = Header(0, 0);
    longLength[4] = 0x7F;
    EXPECT_EQ(Open(longLength), 0u) << "header longer than the file";
    EXPECT_EQ(Open(Header(3, 0)), 0u) << "unknown format";
    uint32_t format = 0, count = 0;
    EXPECT_EQ(Smf().OpenSMF(folder.File("none.mid").c_str(), &format, 'r', &count), 0u) << "no such file";
}

TEST_F(SmfDamaged, ChunkLongerThanTheFileIsRefused) {
    EXPECT_EQ(Open(File(1, {Track({0x00, 0xFF, 0x2F, 0x00}, 5)})), 0u);
    EXPECT_EQ(Open(File(1, {Track({0x00, 0xFF, 0x2F, 0x00}, 0xFFFFFFFF)})), 0u);
    // An unknown chunk is skipped, but it too must fit in the file.
    std::vector<uint8_t> junk = {'J', 'U', 'N', 'K', 0, 0, 0, 2, 1, 2};
    EXPECT_NE(Open(File(1, {junk, Whole({0x00, 0xFF, 0x2F, 0x00})})), 0u);
    junk[7] = 200;
    EXPECT_EQ(Open(File(1, {junk, Whole({0x00, 0xFF, 0x2F, 0x00})})), 0u);
}

TEST_F(SmfDamaged, FewerTracksThanTheHeaderCountsIsRefused) {
    EXPECT_EQ(Open(File(2, {Whole({0x00, 0xFF, 0x2F, 0x00})})), 0u);
    EXPECT_EQ(Open(File(1, {{'M', 'T', 'r', 'k', 0, 0}})), 0u) << "chunk header cut off";
}

TEST_F(SmfDamaged, NumberThatNeverEndsIsRefused) {
    EXPECT_EQ(Open(File(1, {Whole({0x81, 0x82, 0x83, 0x84, 0x05, 0x90, 0x3C, 0x40})})), 0u) << "five-byte delta";
    EXPECT_EQ(Open(File(1, {Whole({0x00, 0x90, 0x3C, 0x40, 0x81, 0x82})})), 0u) << "delta cut off by the chunk's end";
    EXPECT_EQ(Open(File(1, {Whole({0x00, 0xF0, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F})})), 0u) << "sysex length that never ends";
    EXPECT_EQ(Open(File(1, {Whole({0x00, 0xFF, 0x03, 0x80})})), 0u) << "meta length cut off";
}

TEST_F(SmfDamaged, EventsCutOffOrWithoutStatusAreRefused) {
    EXPECT_EQ(Open(File(1, {Whole({0x00, 0x90, 0x3C})})), 0u) << "note without velocity";
    EXPECT_EQ(Open(File(1, {Whole({0x00, 0x3C, 0x40})})), 0u) << "running status without status";
    EXPECT_EQ(Open(File(1, {Whole({0x00, 0xF0, 0x05, 0x43, 0x10})})), 0u) << "sysex longer than chunk";
    EXPECT_EQ(Open(File(1, {Whole({0x00, 0xFF, 0x03, 0x09, 'a'})})), 0u) << "meta longer than chunk";
    EXPECT_EQ(Open(File(1, {Whole({0x00, 0x90, 0x3C, 0x90})})), 0u) << "status where data belongs";
    EXPECT_EQ(Open(File(1, {Whole({0x00})})), 0u) << "delta without event";
}

TEST_F(SmfDamaged, TrackWithoutEndOfTrackAndDataAfterItAreTolerated) {
    // The chunk's end ends a track that lacks end-of-track; bytes after
    // end-of-track inside the chunk are ignored.
    const uint32_t a = Open(File(1, {Whole({0x00, 0x90, 0x3C, 0x40})}));
    ASSERT_NE(a, 0u);
    EXPECT_EQ(ReadAll(a, 0).size(), 1u);
    Smf().CloseSMF(a);
    const uint32_t b = Open(File(1, {Whole({0x00, 0xFF, 0x2F, 0x00, 0x90, 0x90, 0x90})}));
    ASSERT_NE(b, 0u);
    EXPECT_EQ(ReadAll(b, 0).size(), 0u);
    Smf().CloseSMF(b);
}

}  // namespace
