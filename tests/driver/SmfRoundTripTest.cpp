// MIDI files written and read back through the driver library's C interface.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tests/driver/SmfTestSupport.h"

using namespace morvelant::smftest;

namespace {

class SmfRoundTrip : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Smf().Ok()) << Smf().error; }

    // Writes the given tracks (and names) and returns the file's bytes.
    std::vector<uint8_t> WriteFile(const std::string& path, uint32_t format,
                                   const std::vector<std::vector<MidiEvent>>& tracks,
                                   const std::vector<std::string>& names = {}, uint32_t resolution = 0) {
        uint32_t fmt = format, count = 99;
        const uint32_t h = Smf().OpenSMF(path.c_str(), &fmt, 'w', &count);
        EXPECT_GE(h, 0x40000000u);
        EXPECT_EQ(count, 0u);
        if (resolution) Smf().SetSMFResolution(h, resolution);
        for (uint32_t t = 0; t < tracks.size(); ++t) {
            if (t < names.size() && !names[t].empty()) {
                EXPECT_EQ(Smf().WriteMetaEvent(h, t, 3, names[t].c_str(), 0), 0);
            }
            std::vector<MidiEvent> copy = tracks[t];
            EXPECT_EQ(Smf().WriteSMF(h, t, copy.data(), static_cast<uint32_t>(copy.size())), copy.size());
        }
        EXPECT_EQ(Smf().CloseSMFChecked(h), 0);
        return ReadBytes(path);
    }

    std::string TrackName(uint32_t h, uint32_t track) {
        char* data = nullptr;
        uint32_t length = 0;
        if (Smf().ReadMetaEvent(h, track, 3, &data, &length) == -1) return "<none>";
        return std::string(data, length);
    }

    TempFolder folder;
};

TEST_F(SmfRoundTrip, Format0NotesUseRunningStatusAndKeepNameAndResolution) {
    const std::vector<MidiEvent> events = {Ev(0, 0x90, 60, 100),    Ev(10, 0x90, 62, 90), Ev(10, 0x80, 60, 0),
                                           Ev(0, 0xC3, 5),          Ev(7, 0xC3, 6),       Ev(1, 0xE0, 0, 64),
                                           Ev(200000, 0xB0, 7, 127)};
    const std::string path = folder.File("notes.mid");
    const auto bytes = WriteFile(path, 0, {events}, {"PRESET 1"}, 480);

    // Header: format 0, one track, 480 ticks per quarter.
    ASSERT_GE(bytes.size(), 22u);
    EXPECT_EQ(std::memcmp(bytes.data(), "MThd\0\0\0\6\0\0\0\1\x01\xE0", 14), 0);
    // The second note-on carries no status byte: delta 10, then 62 90.
    const uint8_t running[] = {0x0A, 62, 90};
    EXPECT_NE(std::search(bytes.begin(), bytes.end(), running, running + 3), bytes.end());
    // Track name first, as a type-3 meta event at time 0.
    const uint8_t name[] = {0x00, 0xFF, 0x03, 0x08, 'P', 'R', 'E', 'S', 'E', 'T', ' ', '1'};
    EXPECT_EQ(std::memcmp(bytes.data() + 22, name, sizeof name), 0);
    // Ends with end-of-track.
    EXPECT_EQ(std::memcmp(bytes.data() + bytes.size() - 3, "\xFF\x2F\x00", 3), 0);

    uint32_t format = 1, count = 0;
    const uint32_t h = Smf().OpenSMF(path.c_str(), &format, 'r', &count);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(format, 0u);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(Smf().GetSMFResolution(h), 480u);
    EXPECT_EQ(TrackName(h, 0), "PRESET 1");
    EXPECT_EQ(Describe(ReadAll(h, 0)), Describe(events));
    Smf().CloseSMF(h);
}

TEST_F(SmfRoundTrip, Format1TracksKeepTheirOrderAndNames) {
    const std::vector<std::vector<MidiEvent>> tracks = {
        {Ev(0, 0x90, 1, 1), Ev(5, 0x80, 1, 0)}, {}, {Ev(3, 0xB1, 10, 20), Ev(3, 0xB1, 11, 21), Ev(3, 0xB2, 12, 22)}};
    const std::string path = folder.File("three.mid");
    WriteFile(path, 1, tracks, {"one", "", "three"});

    uint32_t format = 0, count = 0;
    const uint32_t h = Smf().OpenSMF(path.c_str(), &format, 'r', &count);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(format, 1u);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(Smf().GetSMFResolution(h), 96u) << "a file that sets none gets the default";
    for (uint32_t t = 0; t < 3; ++t) EXPECT_EQ(Describe(ReadAll(h, t)), Describe(tracks[t])) << "track " << t;
    EXPECT_EQ(TrackName(h, 0), "one");
    EXPECT_EQ(TrackName(h, 1), "<none>");
    EXPECT_EQ(TrackName(h, 2), "three");
    EXPECT_EQ(Smf().ReadSMF(h, 3, std::vector<MidiEvent>(4).data(), 4), 0u) << "no track 3";

    // Rewind starts every track over.
    Smf().RewindSMF(h);
    EXPECT_EQ(ReadAll(h, 2).size(), 3u);
    Smf().CloseSMF(h);
}

TEST_F(SmfRoundTrip, SysexWrittenBytePerEventKeepsItsDeltaTimes) {
    // A dump as the editor exports it: one event per byte, some bytes later
    // than the one before.
    const std::vector<MidiEvent> events = {Ev(4, 0xF0, 0xF0), Ev(0, 0xF0, 0x43), Ev(0, 0xF0, 0x10),  Ev(5, 0xF0, 0x7F),
                                           Ev(0, 0xF0, 0x01), Ev(3, 0xF0, 0xF7), Ev(2, 0x90, 64, 1), Ev(0, 0xF0, 0xF0),
                                           Ev(0, 0xF0, 0x11), Ev(0, 0xF0, 0xF7)};
    const std::string path = folder.File("dump.mid");
    const auto bytes = WriteFile(path, 0, {events});

    // Divided: F0 packet (43 10), then F7 continuations (7F 01) and (F7).
    const uint8_t packets[] = {0x04, 0xF0, 0x02, 0x43, 0x10, 0x05, 0xF7, 0x02, 0x7F, 0x01, 0x03, 0xF7, 0x01, 0xF7};
    EXPECT_NE(std::search(bytes.begin(), bytes.end(), packets, packets + sizeof packets), bytes.end());
    // The second message is whole in one packet.
    const uint8_t whole[] = {0x00, 0xF0, 0x02, 0x11, 0xF7};
    EXPECT_NE(std::search(bytes.begin(), bytes.end(), whole, whole + sizeof whole), bytes.end());

    uint32_t format = 0, count = 0;
    const uint32_t h = Smf().OpenSMF(path.c_str(), &format, 'r', &count);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(Describe(ReadAll(h, 0)), Describe(events));
    Smf().CloseSMF(h);
}

TEST_F(SmfRoundTrip, RealTimeInsideSysexAndStatusLikeSysexBytesKeepTheirMeaning) {
    // A clock byte between two parts of a message stays a clock event; sysex
    // bytes that look like a song-position message stay sysex bytes.
    const std::vector<MidiEvent> events = {Ev(0, 0xF0, 0xF0), Ev(0, 0xF0, 0x43),      Ev(5, 0xF8),
                                           Ev(2, 0xF0, 0x10), Ev(0, 0xF0, 0xF7),      Ev(0, 0xF0, 0xF0),
                                           Ev(5, 0xF0, 0xF2), Ev(0, 0xF0, 0x10),      Ev(0, 0xF0, 0x20),
                                           Ev(1, 0xF0, 0xF7), Ev(3, 0xF2, 0x10, 0x20)};
    const std::string path = folder.File("mixed.mid");
    WriteFile(path, 0, {events});
    uint32_t format = 0, count = 0;
    const uint32_t h = Smf().OpenSMF(path.c_str(), &format, 'r', &count);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(Describe(ReadAll(h, 0)), Describe(events));
    Smf().CloseSMF(h);
}

TEST_F(SmfRoundTrip, HandMadeFileReadsOneEventPerSysexByteAndCarriesMetaDeltas) {
    const std::vector<uint8_t> file = {
        'M',  'T',  'h',  'd',  0,    0,    0,    6,    0,    0,    0,    1,   0,   96, 'M',
        'T',  'r',  'k',  0,    0,    0,    29,   0x10, 0xFF, 0x01, 0x02, 'h', 'i',  // text meta at 16, not an event
        0x05, 0x90, 0x3C, 0x40,  // note at 16 + 5
        0x01, 0x3E, 0x40,  // running status
        0x83, 0x00, 0xF0, 0x04, 0x43, 0x10, 0x20, 0xF7,  // delta 384, whole message
        0x00, 0xF7, 0x01, 0xF8,  // escaped real-time byte
        0x00, 0xFF, 0x2F, 0x00,
    };
    const std::string path = folder.File("hand.mid");
    WriteBytes(path, file);
    uint32_t format = 0, count = 0;
    const uint32_t h = Smf().OpenSMF(path.c_str(), &format, 'r', &count);
    ASSERT_NE(h, 0u);
    const std::vector<MidiEvent> expected = {
        Ev(21, 0x90, 0x3C, 0x40), Ev(1, 0x90, 0x3E, 0x40), Ev(384, 0xF0, 0xF0), Ev(0, 0xF0, 0x43),
        Ev(0, 0xF0, 0x10),        Ev(0, 0xF0, 0x20),       Ev(0, 0xF0, 0xF7),   Ev(0, 0xF8)};
    // Reading three at a time must give the same as reading all at once.
    EXPECT_EQ(Describe(ReadAll(h, 0, 3)), Describe(expected));
    char* data = nullptr;
    uint32_t length = 0;
    EXPECT_EQ(Smf().ReadMetaEvent(h, 0, 1, &data, &length), 0);
    EXPECT_EQ(std::string(data, length), "hi");
    EXPECT_EQ(Smf().ReadMetaEvent(h, 0, 3, &data, &length), -1);
    Smf().CloseSMF(h);
}

TEST_F(SmfRoundTrip, LongTrackIsReadInChunksOfTheAskedSize) {
    std::vector<MidiEvent> events;
    for (uint32_t i = 0; i < 20000; ++i)
        events.push_back(Ev(i % 3, static_cast<uint8_t>(0x90 | (i % 2)), i % 128, 1 + i % 127));
    const std::string path = folder.File("long.mid");
    WriteFile(path, 0, {events});
    uint32_t format = 0, count = 0;
    const uint32_t h = Smf().OpenSMF(path.c_str(), &format, 'r', &count);
    ASSERT_NE(h, 0u);
    std::vector<MidiEvent> buf(0x2000);
    std::vector<uint32_t> chunks;
    for (uint32_t got; (got = Smf().ReadSMF(h, 0, buf.data(), 0x2000)) != 0;) chunks.push_back(got);
    EXPECT_EQ(chunks, (std::vector<uint32_t>{8192, 8192, 3616}));
    Smf().RewindSMF(h);
    EXPECT_EQ(Describe(ReadAll(h, 0)), Describe(events));
    Smf().CloseSMF(h);
}

TEST_F(SmfRoundTrip, SecondNameReplacesTheFirstAndDataBytesStayBelow128) {
    const std::string path = folder.File("name.mid");
    uint32_t fmt = 0, count = 0;
    const uint32_t h = Smf().OpenSMF(path.c_str(), &fmt, 'w', &count);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(Smf().WriteMetaEvent(h, 0, 3, "old", 0), 0);
    EXPECT_EQ(Smf().WriteMetaEvent(h, 0, 3, "new name", 3), 0) << "length 3 takes three bytes";
    MidiEvent e = Ev(0, 0x90, 0xF0, 0x80);
    EXPECT_EQ(Smf().WriteSMF(h, 0, &e, 1), 1u);
    EXPECT_EQ(Smf().CloseSMFChecked(h), 0);

    const uint32_t r = Smf().OpenSMF(path.c_str(), &fmt, 'r', &count);
    ASSERT_NE(r, 0u);
    EXPECT_EQ(TrackName(r, 0), "new");
    EXPECT_EQ(Describe(ReadAll(r, 0)), Describe(std::vector<MidiEvent>{Ev(0, 0x90, 0x70, 0x00)}));
    Smf().CloseSMF(r);
}

TEST_F(SmfRoundTrip, FileAppearsOnlyAtCloseAndReplacesTheOldOneWhole) {
    const std::string path = folder.File("replace.mid");
    WriteBytes(path, {'o', 'l', 'd'});
    uint32_t fmt = 0, count = 0;
    const uint32_t h = Smf().OpenSMF(path.c_str(), &fmt, 'w', &count);
    ASSERT_NE(h, 0u);
    MidiEvent e = Ev(0, 0x90, 1, 2);
    EXPECT_EQ(Smf().WriteSMF(h, 0, &e, 1), 1u);
    EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{'o', 'l', 'd'})) << "untouched before close";
    EXPECT_EQ(Smf().CloseSMFChecked(h), 0);
    EXPECT_EQ(ReadBytes(path).size(), 14u + 8u + 4u + 4u);
    // No temporary file is left behind.
    size_t files = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(folder.Path())) ++files;
    EXPECT_EQ(files, 1u);
}

TEST_F(SmfRoundTrip, WriteFailureAtCloseIsReportedAndLeavesNoFile) {
    const std::string sub = folder.File("gone");
    std::filesystem::create_directory(sub);
    const std::string path = sub + "/lost.mid";
    uint32_t fmt = 0, count = 0;
    const uint32_t h = Smf().OpenSMF(path.c_str(), &fmt, 'w', &count);
    ASSERT_NE(h, 0u);
    std::filesystem::remove(sub);
    EXPECT_EQ(Smf().CloseSMFChecked(h), -1);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(Smf().CloseSMFChecked(h), -1) << "closed handle is stale";
    // A folder that does not exist is refused at open.
    EXPECT_EQ(Smf().OpenSMF((sub + "/x.mid").c_str(), &fmt, 'w', &count), 0u);
}

TEST_F(SmfRoundTrip, ZeroStaleAndWrongModeHandlesAreHarmless) {
    const std::string path = folder.File("modes.mid");
    uint32_t fmt = 0, count = 0;
    const uint32_t w = Smf().OpenSMF(path.c_str(), &fmt, 'w', &count);
    ASSERT_NE(w, 0u);
    MidiEvent buf[4] = {};
    char* data = nullptr;
    uint32_t length = 0;
    EXPECT_EQ(Smf().ReadSMF(w, 0, buf, 4), 0u) << "no reading from a file being written";
    EXPECT_EQ(Smf().WriteSMF(w, 0, nullptr, 2), 0u);
    EXPECT_EQ(Smf().WriteSMF(w, 0xFFFF, buf, 1), 0u) << "beyond what a header can count";
    EXPECT_EQ(Smf().WriteMetaEvent(w, 0, 0x2F, "", 0), -1) << "end-of-track is the library's own";
    Smf().CloseSMF(w);
    const uint32_t r = Smf().OpenSMF(path.c_str(), &fmt, 'r', &count);
    ASSERT_NE(r, 0u);
    EXPECT_EQ(count, 0u) << "nothing written: a file without tracks";
    EXPECT_EQ(Smf().WriteSMF(r, 0, buf, 1), 0u);
    EXPECT_EQ(Smf().WriteMetaEvent(r, 0, 3, "x", 0), -1);
    Smf().CloseSMF(r);

    EXPECT_EQ(Smf().OpenSMF(path.c_str(), &fmt, 'x', &count), 0u);
    EXPECT_EQ(Smf().OpenSMF(nullptr, &fmt, 'r', &count), 0u);
    for (uint32_t h : {0u, w, r, 0x21u, 0x40000000u - 1, 0xFFFFFFFFu}) {
        Smf().CloseSMF(h);
        Smf().RewindSMF(h);
        Smf().SetSMFResolution(h, 120);
        EXPECT_EQ(Smf().ReadSMF(h, 0, buf, 4), 0u);
        EXPECT_EQ(Smf().WriteSMF(h, 0, buf, 1), 0u);
        EXPECT_EQ(Smf().GetSMFResolution(h), 0u);
        EXPECT_EQ(Smf().ReadMetaEvent(h, 0, 3, &data, &length), -1);
        EXPECT_EQ(Smf().WriteMetaEvent(h, 0, 3, "x", 0), -1);
        EXPECT_EQ(Smf().CloseSMFChecked(h), -1);
    }
    // Null pointers for the format and the count are tolerated.
    const uint32_t again = Smf().OpenSMF(path.c_str(), nullptr, 'r', nullptr);
    EXPECT_NE(again, 0u);
    EXPECT_NE(again, r) << "handles are not reused";
    Smf().CloseSMF(again);
}

}  // namespace
