// Presets and patterns through Standard MIDI Files and back, with their
// companion files, through the real driver library and toolkit.
#include <stdlib.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>

#include "DispatchTestSupport.h"
#include "engine/DumpSMF.h"
#include "engine/FileCommands.h"
#include "midikit/MidiKitDLL.h"
#include "midikit/MidiKitSMF.h"
#include "midikit/MidiKitScore.h"
#include "midikit/MidiKitTrack.h"
#include "model/PresetFiles.h"
#include "platform/Dialogs.h"
#include "platform/SafeFile.h"
#include "tests/support/TurkishLocale.h"

namespace morvelant::dispatchtest {
namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& p, const std::string& bytes) {
    std::ofstream f(p, std::ios::binary);
    f << bytes;
}

std::string ReadFile(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

std::string Int32(int32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[static_cast<size_t>(i)] = static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
    return s;
}

// A ".NTS" file: int32, header length, header, count, notes length, notes.
std::string Nts(int32_t headerLength, const std::string& header, int32_t count, int32_t notesLength,
                const std::string& notes) {
    return Int32(0) + Int32(headerLength) + header + Int32(count) + Int32(notesLength) + notes;
}

// A preset in which everything that travels in a MIDI file differs from the
// defaults: numeric words (low bytes only travel), event strings with and
// without the live value, special keys, names, notes.
Morvelant_Parameters RichPreset() {
    Morvelant_Parameters p;
    for (int i = 0; i < kWordCount; ++i) p.W[static_cast<size_t>(i)] = (i * 13 + 5) & 0xFF;
    const std::string name = "Organ 2 ";
    for (int k = 0; k < kNameLength; ++k) p.PresetName(k) = CharToWord(name[static_cast<size_t>(k)]);
    for (int f = 0; f < kFaderCount; ++f) {
        p.FaderMidiData1(f) = 2;
        p.FaderString[static_cast<size_t>(f)] = "B0 07 XX";
        p.KeyOnMidiData1(f) = 9;
        p.KeyOnString[static_cast<size_t>(f)] = "90 3C 7F";
        p.KeyOffMidiData1(f) = 1;
        if (f % 2) p.KeyOffString[static_cast<size_t>(f)] = "F0 XX 01 F7";
        if (f % 3) p.SliderName[static_cast<size_t>(f)] = "Name" + std::to_string(1000 + f);
    }
    p.SpecialKeyString = {"C0 05", "FA", "FC", "FB", "F0 7E 00 F7", "B0 40 00"};
    p.PresetNotes = "First line\r\nSecond line\r\n\r\nafter a blank";
    return p;
}

// Every event string at full length (20 bytes): the largest text dump that
// the editor writes, well over 4,000 events.
Morvelant_Parameters LongStringPreset() {
    Morvelant_Parameters p = RichPreset();
    std::string s;
    for (int b = 0; b < 20; ++b) s += (b ? " " : "") + std::string(b % 2 ? "7F" : "1A");
    for (int f = 0; f < kFaderCount; ++f) {
        p.FaderMidiData1(f) = 99;
        p.KeyOnMidiData1(f) = 99;
        p.KeyOffMidiData1(f) = 99;
        p.FaderString[static_cast<size_t>(f)] = s;
        p.KeyOnString[static_cast<size_t>(f)] = s;
        p.KeyOffString[static_cast<size_t>(f)] = s;
        p.SliderName[static_cast<size_t>(f)] = "Slider" + std::to_string(10 + f);
    }
    p.SpecialKeyString = {s, s, s, s, s, s};
    return p;
}

Pattern_Parameters RichPattern() {
    Pattern_Parameters p;
    for (int i = 0; i < kWordCount; ++i) p.W[static_cast<size_t>(i)] = (i * 5 + 3) & 0xFF;
    p.PatternNotes = "Groove\r\nswing 60%";
    return p;
}

void ExpectTravellingPartsEqual(const Morvelant_Parameters& got, const Morvelant_Parameters& want) {
    EXPECT_EQ(got.W, want.W);
    EXPECT_EQ(got.FaderString, want.FaderString);
    EXPECT_EQ(got.KeyOnString, want.KeyOnString);
    EXPECT_EQ(got.KeyOffString, want.KeyOffString);
    EXPECT_EQ(got.SpecialKeyString, want.SpecialKeyString);
    for (int f = 0; f < kFaderCount; ++f) {
        std::string n = want.SliderName[static_cast<size_t>(f)];
        if (!n.empty()) n.resize(kNameLength, ' ');
        EXPECT_EQ(got.SliderName[static_cast<size_t>(f)], n) << "fader " << f;
    }
    EXPECT_EQ(got.PresetNotes, want.PresetNotes);
}

class DumpSMFTest : public DispatchFixture {
protected:
    void SetUp() override {
        DispatchFixture::SetUp();
        // MIDI files need no ports; a test that wants JACK runs in its own process.
        ::setenv("MIDIKIT_BACKEND", "none", 0);
        kit = std::make_unique<TMidiKit>();
        smf = std::make_unique<TMidiKitSMF>();
        smf->MidiKit = kit.get();
        dumps = std::make_unique<DumpSMF>(*form, *smf);
        char tmpl[] = "/tmp/dumpsmf-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override {
        dumps.reset();
        smf.reset();
        kit.reset();
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    // The events and the name of each track of a MIDI file.
    struct TrackContent {
        std::string name;
        std::vector<MidiEvent> events;
    };
    std::vector<TrackContent> ReadTracks(const fs::path& file) {
        TMidiKitSMF reader;
        reader.MidiKit = kit.get();
        EXPECT_TRUE(reader.Open(file.string(), 'r', 1));
        TMidiKitScore score(0);
        const int n = static_cast<int>(reader.NumTracks());
        for (int t = 0; t < n; ++t) score.Add(nullptr);
        reader.Attach(&score);
        reader.Load(nullptr);
        std::vector<TrackContent> out;
        for (int t = 0; t < n; ++t) {
            TMidiKitTrack* track = score.Get(t);
            track->Attach(&reader);
            TrackContent c{track->GetTrackName(), {}};
            track->Detach(&reader);
            for (uint32_t i = 0; i < track->GetNumEvents(); ++i) c.events.push_back(*track->GetEvent(i));
            out.push_back(std::move(c));
        }
        reader.Detach(&score);
        reader.Close();
        return out;
    }

    // A MIDI file of one track holding the given messages, all at time 0.
    void WriteDumpFile(const fs::path& file, const std::vector<SysexBuffer>& messages, const std::string& name) {
        TMidiKitSMF writer;
        writer.MidiKit = kit.get();
        ASSERT_TRUE(writer.Open(file.string(), 'w', 0));
        TMidiKitScore score(0);
        score.Add(nullptr);
        writer.Attach(&score);
        TMidiKitTrack* track = score.Get(0);
        track->SetTrackName(name);
        track->IsRecording(true);
        for (const auto& m : messages)
            for (MidiEvent e : m) track->Write(&e);
        track->IsRecording(false);
        writer.Save(nullptr);
        writer.Close();
    }

    std::unique_ptr<TMidiKit> kit;
    std::unique_ptr<TMidiKitSMF> smf;
    std::unique_ptr<DumpSMF> dumps;
    fs::path dir;
};

TEST_F(DumpSMFTest, PresetComesBackEqualWithItsNotes) {
    const Morvelant_Parameters want = RichPreset();
    model.Presets[5] = want;
    model.Presets[5].KeyOnName[0] = "OnName";
    const fs::path file = dir / "Organ.MID";
    ASSERT_TRUE(dumps->SavePresetAs(5, file.string()));
    EXPECT_EQ(ReadFile(dir / "Organ.TXT"), "First line\r\nSecond line\r\n\r\nafter a blank\r\n");

    model.Presets[5] = fresh.Presets[5];
    model.SelectedPreset = 0;
    ASSERT_TRUE(dumps->LoadPreset(5, file.string()));
    ExpectTravellingPartsEqual(model.Presets[5], want);
    EXPECT_EQ(model.Presets[5].KeyOnName[0], fresh.Presets[5].KeyOnName[0]);  // key names do not travel
    EXPECT_EQ(model.SelectedPreset, 5);
    EXPECT_EQ(hooks.PresetNotes, std::vector<int>{5});
}

TEST_F(DumpSMFTest, PresetFileHoldsValuesAtTimeZeroThenTextsAtTime1000) {
    model.Presets[7] = RichPreset();
    const fs::path file = dir / "x.MID";
    ASSERT_TRUE(dumps->SavePresetAs(7, file.string()));
    const auto tracks = ReadTracks(file);
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0].name, "Organ 2 ");
    SysexBuffer want;
    BuildPresetValueDump(want, 7, model.Presets[7]);
    BuildPresetTextDump(want, 7, model.Presets[7]);
    ASSERT_EQ(tracks[0].events.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        ASSERT_EQ(tracks[0].events[i].status, 0xF0) << i;
        ASSERT_EQ(tracks[0].events[i].data1, want[i].data1) << i;
        ASSERT_EQ(tracks[0].events[i].time, i < kValueDumpSize ? 0u : 1000u) << i;
    }
}

TEST_F(DumpSMFTest, LargestTextDumpIsImportedWhole) {
    const Morvelant_Parameters want = LongStringPreset();
    SysexBuffer text;
    BuildPresetTextDump(text, 0, want);
    ASSERT_GT(text.size(), 4000u);  // more than the import buffer of old held
    model.Presets[64] = want;
    const fs::path file = dir / "long.MID";
    ASSERT_TRUE(dumps->SavePresetAs(64, file.string()));
    model.Presets[64] = fresh.Presets[64];
    ASSERT_TRUE(dumps->LoadPreset(64, file.string()));
    ExpectTravellingPartsEqual(model.Presets[64], want);
}

TEST_F(DumpSMFTest, PatternComesBackEqualWithItsNotes) {
    const Pattern_Parameters want = RichPattern();
    model.Patterns[12] = want;
    model.SetPatternName(12, "Beat 13");
    const fs::path file = dir / "beat.MID";
    ASSERT_TRUE(dumps->SavePatternAs(12, file.string()));

    const auto tracks = ReadTracks(file);
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0].name, "Beat 13 ");
    ASSERT_EQ(tracks[0].events.size(), kPatternDumpSize);
    for (const auto& e : tracks[0].events) EXPECT_EQ(e.time, 0u);

    model.Patterns[12] = fresh.Patterns[12];
    model.Patterns[12].PatternNotes = "old";
    ASSERT_TRUE(dumps->LoadPattern(12, file.string()));
    EXPECT_EQ(model.Patterns[12].W, want.W);
    EXPECT_EQ(model.Patterns[12].PatternNotes, want.PatternNotes);
    EXPECT_EQ(model.SelectedPattern, 12);
    EXPECT_EQ(hooks.PatternNotes, std::vector<int>{12});
}

TEST_F(DumpSMFTest, EveryDumpLoadsIntoTheChosenSlotByItsKind) {
    Morvelant_Parameters a = RichPreset(), b = RichPreset();
    b.W[100] = 77;
    SysexBuffer da, db, dp;
    BuildPresetValueDump(da, 1, a);
    BuildPresetValueDump(db, 2, b);
    BuildPatternDump(dp, 3, RichPattern());
    const fs::path file = dir / "two.mid";
    WriteDumpFile(file, {da, db, dp}, "Track");
    ASSERT_TRUE(dumps->LoadPreset(20, file.string()));
    EXPECT_EQ(model.Presets[20].W, b.W);  // the second overwrote the first
    EXPECT_EQ(model.Presets[1].W, fresh.Presets[1].W);
    EXPECT_EQ(model.Patterns[20].W, RichPattern().W);  // a pattern through the preset import
}

TEST_F(DumpSMFTest, NamelessValuesDumpTakesTheTrackName) {
    Morvelant_Parameters p = RichPreset();
    for (int k = 0; k < kNameLength; ++k) p.PresetName(k) = 0;
    SysexBuffer d;
    BuildPresetValueDump(d, 0, p);
    const fs::path file = dir / "nameless.MID";
    WriteDumpFile(file, {d}, "Pad");
    ASSERT_TRUE(dumps->LoadPreset(30, file.string()));
    EXPECT_EQ(model.GetPresetDeviceName(30), "Pad     ");
}

TEST_F(DumpSMFTest, UnfinishedMessageIsDroppedAndTheNextOneLoads) {
    SysexBuffer cut;
    BuildPresetValueDump(cut, 0, RichPreset());
    cut.resize(500);
    SysexBuffer note = {Ev(0x90, 60, 100)};
    SysexBuffer whole;
    BuildPatternDump(whole, 0, RichPattern());
    const fs::path file = dir / "cut.MID";
    WriteDumpFile(file, {cut, note, whole}, "");
    ASSERT_TRUE(dumps->LoadPattern(40, file.string()));
    EXPECT_EQ(model.Patterns[40].W, RichPattern().W);
    EXPECT_EQ(model.Presets[40].W, fresh.Presets[40].W);
}

TEST_F(DumpSMFTest, KnobPresetKeepsTheNtsNotesAndTheNextImportReadsTxtAgain) {
    std::vector<uint8_t> knob = {0xF0, 0x00, 0x4D, 0x56, 0x14, 0x00, 0x20, 0x03, 0x10};
    knob.resize(57, 0x20);
    knob.push_back(0xF7);
    const fs::path file = dir / "knobs.MID";
    WriteDumpFile(file, {DumpFromBytes(knob)}, "Knobs");
    WriteFile(dir / "knobs.NTS", Nts(14, "vellixa Editor", 1, 5, "hello"));
    WriteFile(dir / "knobs.TXT", "not these\r\n");
    WriteFile(dir / "knobs.CFG", "[1]\r\n1=Cutoff\r\n 16 = Last Knob \r\nN=My Set\r\n[2]\r\n2=Other\r\n");
    ASSERT_TRUE(dumps->LoadPreset(9, file.string()));
    ASSERT_EQ(hooks.VellixaImports.size(), 1u);
    EXPECT_EQ(hooks.VellixaImports[0].first, 9);  // into the chosen slot
    EXPECT_EQ(hooks.VellixaImports[0].second, knob);
    EXPECT_TRUE(model.VellixaLoaded);
    EXPECT_EQ(model.Presets[9].PresetNotes, "hello");
    EXPECT_EQ(model.VellixaKnobNames[0], "Cutoff");
    EXPECT_EQ(model.VellixaKnobNames[1], "Knob 2");
    EXPECT_EQ(model.VellixaKnobNames[15], "Last Knob");
    EXPECT_EQ(model.VellixaPresetName, "My Set");

    // A later import of an ordinary file reads its ".TXT" notes again.
    model.Presets[9] = RichPreset();
    const fs::path plain = dir / "plain.MID";
    ASSERT_TRUE(dumps->SavePresetAs(9, plain.string()));
    WriteFile(dir / "plain.TXT", "fresh notes\r\n");
    ASSERT_TRUE(dumps->LoadPreset(9, plain.string()));
    EXPECT_FALSE(model.VellixaLoaded);
    EXPECT_EQ(model.Presets[9].PresetNotes, "fresh notes");
    EXPECT_EQ(model.VellixaKnobNames[0], "Knob 1");  // no ".CFG": defaults
    EXPECT_EQ(model.VellixaPresetName, "vellixa");

    // The pattern import hands a knob preset on but does not mark it, and
    // takes its ".TXT" whatever the file held.
    ASSERT_TRUE(dumps->LoadPattern(9, file.string()));
    EXPECT_EQ(hooks.VellixaImports.size(), 2u);
    EXPECT_FALSE(model.VellixaLoaded);
    EXPECT_EQ(model.Patterns[9].PatternNotes, "not these");
}

TEST_F(DumpSMFTest, MissingTxtEmptiesTheNotes) {
    model.Presets[3] = RichPreset();
    const fs::path file = dir / "n.MID";
    ASSERT_TRUE(dumps->SavePresetAs(3, file.string()));
    fs::remove(dir / "n.TXT");
    ASSERT_TRUE(dumps->LoadPreset(3, file.string()));
    EXPECT_EQ(model.Presets[3].PresetNotes, "");
}

TEST_F(DumpSMFTest, CompanionsAreFoundWhateverTheCaseOfTheirNames) {
    model.Patterns[2] = RichPattern();
    const fs::path file = dir / "Song.mid";
    ASSERT_TRUE(dumps->SavePatternAs(2, file.string()));
    ASSERT_TRUE(fs::exists(dir / "Song.TXT"));
    fs::rename(dir / "Song.TXT", dir / "song.txt");
    ASSERT_TRUE(dumps->LoadPattern(2, file.string()));
    EXPECT_EQ(model.Patterns[2].PatternNotes, RichPattern().PatternNotes);
    EXPECT_EQ(CompanionFile((dir / "Song.mid").string(), ".NTS"), (dir / "Song.NTS").string());
}

TEST_F(DumpSMFTest, ExportThatCannotWriteReportsFailure) {
    ScriptedDialogs dialogs;
    ScopedDialogs scope(dialogs);
    EXPECT_FALSE(dumps->SavePresetAs(0, (dir / "no such folder" / "p.MID").string()));
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_EQ(dialogs.calls[0].caption, "Error");
    EXPECT_FALSE(smf->IsOpen());

    // The MIDI file is written but its notes cannot be.
    fs::create_directory(dir / "q.TXT");
    EXPECT_FALSE(dumps->SavePatternAs(0, (dir / "q.MID").string()));
    EXPECT_EQ(dialogs.Messages().size(), 2u);
}

TEST_F(DumpSMFTest, ImportThatCannotReadReportsFailureAndChangesNothing) {
    ScriptedDialogs dialogs;
    ScopedDialogs scope(dialogs);
    model.Presets[6] = RichPreset();
    WriteFile(dir / "bad.NTS", Nts(14, "vellixa Editor", 1, 3, "new"));
    WriteFile(dir / "bad.MID", "this is no MIDI file at all");
    EXPECT_FALSE(dumps->LoadPreset(6, (dir / "bad.MID").string()));
    EXPECT_FALSE(dumps->LoadPreset(6, (dir / "missing.MID").string()));
    EXPECT_FALSE(dumps->LoadPattern(6, (dir / "missing.MID").string()));
    EXPECT_EQ(dialogs.Messages().size(), 3u);
    ExpectTravellingPartsEqual(model.Presets[6], RichPreset());
    EXPECT_FALSE(smf->IsOpen());
}

TEST_F(DumpSMFTest, InstalledRouteServesTheFileCommandsUntilItGoes) {
    ScriptedDialogs dialogs;
    ScopedDialogs scope(dialogs);
    dumps->Install();
    EXPECT_EQ(MidiFileRoute(), dumps.get());
    model.Presets[1] = RichPreset();
    const fs::path file = dir / "h.MID";
    WriteFile(file, "old");
    dialogs.QueueSave(file.string());
    ASSERT_TRUE(SavePresetAs(model, 1));
    EXPECT_EQ(ReadFile(dir / "h.MID.BAK"), "old");
    dialogs.QueueOpen(file.string());
    ASSERT_TRUE(LoadPreset(model, 2));
    EXPECT_EQ(model.Presets[2].FaderString, RichPreset().FaderString);

    // An export that fails puts the previous file back under its name.
    const std::string previous = ReadFile(file);
    smf->MidiKit = nullptr;
    dialogs.QueueSave(file.string());
    EXPECT_FALSE(SavePresetAs(model, 1));
    EXPECT_TRUE(ReadFile(file) == previous);
    dumps.reset();
    EXPECT_EQ(MidiFileRoute(), nullptr);
}

ssize_t DiskFull(int, const void*, std::size_t) {
    errno = ENOSPC;
    return -1;
}

std::vector<std::string> FolderContent(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The MIDI file and its companions are one export: when the notes cannot be
// written (a full disk), every old file and every backup stays as it was,
// and no temporary is left behind.
TEST_F(DumpSMFTest, MidiFileAndItsCompanionsAreReplacedTogetherOrNotAtAll) {
    ScriptedDialogs dialogs;
    ScopedDialogs scope(dialogs);
    dumps->Install();
    model.Presets[1] = RichPreset();
    const std::vector<std::string> names = {"h.MID", "h.MID.BAK", "h.TXT", "h.TXT.BAK", "h.CFG", "h.NTS"};
    for (const std::string& n : names) WriteFile(dir / n, "old " + n);

    SetSafeFileWriteFunctionForTesting(&DiskFull);
    dialogs.QueueSave((dir / "h.MID").string());
    EXPECT_FALSE(SavePresetAs(model, 1));
    SetSafeFileWriteFunctionForTesting(nullptr);
    EXPECT_EQ(dialogs.Messages().size(), 1u);
    for (const std::string& n : names) EXPECT_EQ(ReadFile(dir / n), "old " + n) << n;
    EXPECT_EQ(FolderContent(dir).size(), names.size());

    // Written whole: the old set becomes the backups, the knob editor's
    // companions of the old file included.
    dialogs.QueueSave((dir / "h.MID").string());
    ASSERT_TRUE(SavePresetAs(model, 1));
    EXPECT_EQ(ReadFile(dir / "h.MID").substr(0, 4), "MThd");
    EXPECT_EQ(ReadFile(dir / "h.TXT"), NotesToTextFile(RichPreset().PresetNotes));
    for (const char* n : {"h.MID", "h.TXT", "h.CFG", "h.NTS"})
        EXPECT_EQ(ReadFile(dir / (std::string(n) + ".BAK")), "old " + std::string(n)) << n;
    EXPECT_EQ(FolderContent(dir),
              (std::vector<std::string>{"h.CFG.BAK", "h.MID", "h.MID.BAK", "h.NTS.BAK", "h.TXT", "h.TXT.BAK"}));
    dialogs.QueueOpen((dir / "h.MID").string());
    ASSERT_TRUE(LoadPreset(model, 2));
    EXPECT_EQ(model.Presets[2].PresetNotes, RichPreset().PresetNotes);
}

// In Turkish the C library's upper case of 'i' is not 'I'; extensions are
// compared in ASCII whatever the locale.
TEST_F(DumpSMFTest, LowerCaseMidExtensionsInTheTurkishLocale) {
    testsupport::TurkishLocale turkish;
    if (!turkish.Available()) GTEST_SKIP() << "no Turkish locale";
    ScriptedDialogs dialogs;
    ScopedDialogs scope(dialogs);
    dumps->Install();
    model.Presets[1] = RichPreset();
    dialogs.QueueSave((dir / "saved.mid").string());
    ASSERT_TRUE(SavePresetAs(model, 1));
    EXPECT_EQ(ReadFile(dir / "saved.mid").substr(0, 4), "MThd");
    fs::rename(dir / "saved.mid", dir / "lower.mid");
    dialogs.QueueOpen((dir / "lower.mid").string());
    ASSERT_TRUE(LoadPreset(model, 3));
    EXPECT_EQ(model.Presets[3].FaderString, RichPreset().FaderString);
    EXPECT_TRUE(dialogs.Messages().empty());
}

// A named pipe chosen as a MIDI file is refused at once, saying what it is;
// the editor never waits for a writer.
TEST_F(DumpSMFTest, ANamedPipeIsRefusedSayingWhatItIs) {
    ScriptedDialogs dialogs;
    ScopedDialogs scope(dialogs);
    ::alarm(60);  // a reader that waits for a writer would never return
    ASSERT_EQ(::mkfifo((dir / "pipe.MID").c_str(), 0600), 0);
    EXPECT_FALSE(dumps->LoadPreset(6, (dir / "pipe.MID").string()));
    ::alarm(0);
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_NE(dialogs.Messages()[0].find("pipe.MID\" is a named pipe, not a file"), std::string::npos);
}

TEST_F(DumpSMFTest, NtsReaderChecksEveryLength) {
    struct Case {
        std::string bytes;
        bool result;
        std::string notes;  // "KEEP": the notes stay
    };
    const std::string h = "vellixa Editor";
    const std::vector<Case> cases = {
        {Nts(14, h, 1, 5, "hello"), true, "hello"},
        {Nts(14, h, 2, 0, ""), true, ""},
        {Nts(16, h + "!!", 1, 5, "hello"), false, ""},  // header length 16 or more
        {Nts(-1, "", 1, 5, "hello"), false, ""},  // negative header length
        {Nts(13, "vellixa Edito", 1, 5, "hello"), false, ""},  // wrong header
        {Nts(14, h, 0, 5, "hello"), false, "KEEP"},  // no notes in it
        {Nts(14, h, 1, -5, "hello"), false, ""},  // negative notes length
        {Nts(14, h, 1, 9, "hello"), false, ""},  // longer than the file
        {Nts(14, h, 1, 5, "hello").substr(0, 20), false, ""},  // cut inside the header
        {Int32(0) + Int32(14) + h, false, ""},  // no count
        {"", false, ""},
    };
    int n = 0;
    for (const auto& c : cases) {
        const fs::path f = dir / ("c" + std::to_string(n++) + ".NTS");
        WriteFile(f, c.bytes);
        model.Presets[4].PresetNotes = "before";
        EXPECT_EQ(ReadVellixaNotes(model, f.string(), 4), c.result) << n;
        EXPECT_EQ(model.Presets[4].PresetNotes, c.notes == "KEEP" ? "before" : c.notes) << n;
    }
    model.Presets[4].PresetNotes = "before";
    EXPECT_FALSE(ReadVellixaNotes(model, (dir / "none.NTS").string(), 4));
    EXPECT_EQ(model.Presets[4].PresetNotes, "");
    EXPECT_FALSE(ReadVellixaNotes(model, (dir / "c0.NTS").string(), 128));
}

TEST(NotesText, LinesEndInCrLfAndAnyLineEndReadsBack) {
    EXPECT_EQ(NotesToTextFile("a\r\nb"), "a\r\nb\r\n");
    EXPECT_EQ(NotesToTextFile("a\nb\rc"), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(NotesToTextFile(""), "");
    EXPECT_EQ(NotesFromTextFile("a\r\nb\r\n"), "a\r\nb");
    EXPECT_EQ(NotesFromTextFile("a\nb\n\nc"), "a\r\nb\r\n\r\nc");
    EXPECT_EQ(NotesFromTextFile("\r\n"), "");
    EXPECT_EQ(NotesFromTextFile("x"), "x");
    for (const std::string s : {"one", "one\r\n\r\nthree", "\r\nlead", ""})
        EXPECT_EQ(NotesFromTextFile(NotesToTextFile(s)), s);
}

}  // namespace
}  // namespace morvelant::dispatchtest
