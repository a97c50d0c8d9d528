// MIDI file component over the real driver library: the export and import
// of dumps as the editor runs them, chunked reading into small buffers, and
// every misuse message.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "midikit/MidiKitDLL.h"
#include "midikit/MidiKitSMF.h"
#include "midikit/MidiKitScore.h"
#include "midikit/MidiKitTrack.h"
#include "tests/midikit/MidiKitTestSupport.h"

using namespace morvelant;

namespace {

class MidiKitSMFTest : public ::testing::Test {
protected:
    void SetUp() override {
        kit = test::LoopbackKit();
        smf.MidiKit = kit.get();
        std::string pattern = (std::filesystem::temp_directory_path() / "smfkit.XXXXXX").string();
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        ASSERT_NE(::mkdtemp(buf.data()), nullptr);
        folder = buf.data();
    }
    void TearDown() override {
        if (smf.IsOpen()) smf.Close();
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    std::string File(const std::string& name) const { return folder + "/" + name; }

    // Writes one track as the dump export does and closes the file.
    void Export(const std::string& path, const std::string& name, const std::vector<MidiEvent>& events) {
        auto score = std::make_unique<TMidiKitScore>(0);
        score->Add(nullptr);
        smf.Open(path, 'w', 0);
        smf.Attach(score.get());
        TMidiKitTrack* t = score->Get(0);
        t->SetTrackName(name);
        t->IsRecording(true);
        for (const MidiEvent& e : events) t->Write(&e);
        t->IsRecording(false);
        EXPECT_TRUE(smf.Save(nullptr));
        smf.Close();
        score->Clear();
    }

    // Reads every track as the dump import does: names and events.
    std::vector<std::pair<std::string, std::vector<MidiEvent>>> Import(const std::string& path) {
        std::vector<std::pair<std::string, std::vector<MidiEvent>>> result;
        TMidiKitScore score(0);
        if (!smf.Open(path, 'r', 1)) return result;
        for (uint32_t i = 0; i < smf.NumTracks(); ++i) score.Add(nullptr);
        smf.Attach(&score);
        smf.Load(nullptr);
        for (int i = 0; i < score.getCount(); ++i) {
            TMidiKitTrack* t = score.Get(i);
            t->Attach(&smf);
            std::string name = t->GetTrackName();
            t->Detach(&smf);
            std::vector<MidiEvent> events;
            for (uint32_t k = 0; k < t->GetNumEvents(); ++k) events.push_back(*t->GetEvent(k));
            result.emplace_back(name, events);
        }
        smf.Detach(&score);
        smf.Close();
        return result;
    }

    static std::string Text(const std::vector<MidiEvent>& events) {
        std::string s;
        for (const MidiEvent& e : events)
            s += std::to_string(e.time) + ":" + std::to_string(e.status) + "/" + std::to_string(e.data1) + "/" +
                std::to_string(e.data2) + " ";
        return s;
    }

    std::unique_ptr<TMidiKit> kit;
    TMidiKitSMF smf;
    std::string folder;
};

TEST_F(MidiKitSMFTest, DumpExportReadsBackWithNameAndDeltaTimes) {
    std::vector<MidiEvent> dump = {{0, 0xF0, 0xF0, 0, 0},
                                   {0, 0xF0, 0x43, 0, 0},
                                   {0, 0xF0, 0x10, 0, 0},
                                   {20, 0xF0, 0x55, 0, 0},
                                   {0, 0xF0, 0xF7, 0, 0}};
    for (int i = 0; i < 300; ++i)
        dump.push_back(MidiEvent{i == 0 ? 100u : 0u, 0xF0,
                                 static_cast<uint8_t>(i == 0 ? 0xF0 : (i == 299 ? 0xF7 : i & 0x7F)), 0, 0});
    const std::string path = File("PRESET.MID");
    Export(path, "PRE 001 ", dump);
    EXPECT_FALSE(smf.IsOpen());

    const auto tracks = Import(path);
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0].first, "PRE 001 ");
    EXPECT_EQ(Text(tracks[0].second), Text(dump));
}

TEST_F(MidiKitSMFTest, LongTrackIsReadIntoGrowingAndSmallBuffers) {
    std::vector<MidiEvent> notes;
    for (uint32_t i = 0; i < 20000; ++i) notes.push_back(MidiEvent{1, 0x90, static_cast<uint8_t>(i & 0x7F), 64, 0});
    const std::string path = File("long.mid");
    Export(path, "", notes);

    // Starting with the usual 8192 slots, with none, and with a few: each
    // read must leave room for a whole chunk (the sanitizer watches).
    for (int start : {8192, 0, 100}) {
        SCOPED_TRACE(start);
        TMidiKitScore score;
        auto* t = new TMidiKitTrack;
        if (start != 8192) {
            t->FreeBuffer();
            if (start) t->CreateBuffer(static_cast<uint32_t>(start));
        }
        score.Add(t);
        ASSERT_TRUE(smf.Open(path, 'r', 1));
        smf.Attach(&score);
        EXPECT_TRUE(smf.Read(t));
        EXPECT_EQ(t->GetNumEvents(), 20000u);
        EXPECT_GE(t->GetBufferSize(), 20000u);
        EXPECT_EQ(t->GetEvent(19999)->data1, 19999 & 0x7F);
        EXPECT_FALSE(smf.Read(t)) << "the track is read to its end";
        smf.Close();
    }
}

TEST_F(MidiKitSMFTest, NamelessTrackWritesNoNameAndMetaLookupsLeaveArgumentsAlone) {
    const std::string path = File("plain.mid");
    Export(path, "", {{0, 0x90, 60, 1, 0}});
    TMidiKitScore score;
    score.Add(nullptr);
    ASSERT_TRUE(smf.Open(path, 'r', 1));
    EXPECT_EQ(smf.GetMode(), 'r');
    EXPECT_EQ(smf.Format(), 0u) << "the driver reports the file's format";
    smf.Attach(&score);
    smf.Load(nullptr);
    std::string data = "untouched";
    uint32_t length = 77;
    EXPECT_EQ(smf.ReadMeta(score.Get(0), 3, &data, &length), -1);
    EXPECT_EQ(data, "untouched");
    EXPECT_EQ(length, 77u);
    TMidiKitTrack stranger;
    EXPECT_EQ(smf.ReadMeta(&stranger, 3, &data, &length), -1) << "a track not in the score";
    EXPECT_EQ(smf.Resolution(), 96);
}

TEST_F(MidiKitSMFTest, OpenWhileOpenClosesAndDetaches) {
    const std::string a = File("a.mid");
    Export(a, "A", {{0, 0x90, 1, 1, 0}});
    TMidiKitScore score;
    score.Add(nullptr);
    ASSERT_TRUE(smf.Open(a, 'r', 1));
    smf.Attach(&score);
    ASSERT_TRUE(smf.Open(a, 'r', 1));
    EXPECT_FALSE(smf.Detach(&score)) << "the reopen detached the score";
    smf.Attach(&score);
    TMidiKitScore other;
    EXPECT_FALSE(smf.Detach(&other));
    EXPECT_TRUE(smf.Detach(&score));
}

TEST_F(MidiKitSMFTest, MisuseThrowsTheToolkitsMessages) {
    auto message = [](auto&& fn) {
        try {
            fn();
        } catch (const EMidiKitException& e) { return std::string(e.what()); }
        return std::string("<none>");
    };
    TMidiKitScore score;
    score.Add(nullptr);
    TMidiKitTrack stranger;

    TMidiKitSMF orphan;
    EXPECT_EQ(message([&] { orphan.Open(File("x.mid"), 'w', 0); }), "No MidiKit");
    EXPECT_EQ(message([&] { smf.Close(); }), "SMF not open");
    EXPECT_EQ(message([&] { smf.Read(score.Get(0)); }), "SMF not open");

    const std::string path = File("m.mid");
    Export(path, "M", {{0, 0x90, 1, 1, 0}});
    ASSERT_TRUE(smf.Open(path, 'r', 1));
    EXPECT_EQ(message([&] { smf.Load(nullptr); }), "SMF cant read") << "no score";
    EXPECT_EQ(message([&] { smf.Read(score.Get(0)); }), "SMF cant read");
    smf.Attach(&score);
    EXPECT_EQ(message([&] { smf.Read(&stranger); }), "SMF bad track");
    EXPECT_EQ(message([&] { smf.Save(nullptr); }), "SMF cant write");
    EXPECT_EQ(message([&] { smf.Write(score.Get(0)); }), "SMF cant write");
    EXPECT_EQ(message([&] { smf.WriteMeta(score.Get(0), 3, "x", 0); }), "SMF cant write");
    smf.Close();

    ASSERT_TRUE(smf.Open(File("w.mid"), 'w', 0));
    EXPECT_EQ(message([&] { smf.Save(nullptr); }), "SMF cant write") << "no score";
    smf.Attach(&score);
    EXPECT_EQ(message([&] { smf.Load(nullptr); }), "SMF cant read");
    EXPECT_EQ(message([&] { smf.ReadMeta(score.Get(0), 3, nullptr, nullptr); }), "SMF cant read");
    EXPECT_EQ(message([&] { smf.Write(&stranger); }), "SMF bad track");
    EXPECT_FALSE(smf.WriteMeta(&stranger, 3, "x", 0));
    smf.Close();
}

TEST_F(MidiKitSMFTest, FailuresAreReportedNotPassedOffAsSuccess) {
    // A damaged file is refused by Open, without an exception; the mode is
    // kept all the same.
    const std::string bad = File("bad.mid");
    {
        std::ofstream out(bad, std::ios::binary);
        out << "MThd\0\0\0\6";
    }
    EXPECT_FALSE(smf.Open(bad, 'r', 1));
    EXPECT_FALSE(smf.IsOpen());
    EXPECT_EQ(smf.GetMode(), 'r');

    // The export goes on after a failed Open: Save must not claim success.
    TMidiKitScore score;
    score.Add(nullptr);
    const MidiEvent e{0, 0x90, 1, 1, 0};
    score.Get(0)->InsertEvent(&e, TMidiKitTrack::LastIndex);
    EXPECT_FALSE(smf.Open(File("no/such/folder.mid"), 'w', 0));
    smf.Attach(&score);
    EXPECT_THROW(smf.Save(nullptr), EMidiKitException);

    // A file that cannot reach the disk at Close is reported there.
    const std::string sub = File("sub");
    std::filesystem::create_directory(sub);
    ASSERT_TRUE(smf.Open(sub + "/gone.mid", 'w', 0));
    smf.Attach(&score);
    EXPECT_TRUE(smf.Save(nullptr));
    std::filesystem::remove(sub);
    try {
        smf.Close();
        ADD_FAILURE() << "Close reported success";
    } catch (const EMidiKitException& ex) {
        EXPECT_EQ(ex.Message(), std::string("SMF write failed: ") + std::strerror(ENOENT));  // the folder went
    }
    EXPECT_FALSE(smf.IsOpen());
}

}  // namespace
