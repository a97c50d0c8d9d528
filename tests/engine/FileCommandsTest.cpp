// The file commands over preset and pattern files: layout, round trips,
// version 1, backups, the edit-buffer bookkeeping, dialogs and damaged files.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "engine/FileCommands.h"
#include "model/DeviceModel.h"
#include "model/PresetFiles.h"
#include "platform/Dialogs.h"
#include "platform/SafeFile.h"

namespace morvelant {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kFactoryPresetRecord = 1288;
constexpr std::size_t kFactoryPatternRecord = 1074;
constexpr std::size_t kFileHead = 28;

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void PutInt(std::vector<uint8_t>& v, int32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(uint8_t(uint32_t(x) >> (8 * i)));
}

void PutStr(std::vector<uint8_t>& v, const std::string& s) {
    PutInt(v, int32_t(s.size()));
    v.insert(v.end(), s.begin(), s.end());
}

std::vector<uint8_t> Head(int32_t count, int32_t version = 3) {
    std::vector<uint8_t> v;
    PutInt(v, version);
    if (version > 2) PutStr(v, "Morvelant Editor");
    PutInt(v, count);
    return v;
}

class FileCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/morvelant-files-XXXXXX";
        dir_ = mkdtemp(tmpl);
        ResetFileDialogs();
        SetMidiFileRoute(nullptr);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path(const std::string& name) const { return dir_ + "/" + name; }

    // Gives every preset and pattern distinct, canonical content (content that
    // a dump carries unchanged).
    static void Fill(DeviceModel& m, unsigned seed) {
        std::mt19937 rng(seed);
        for (int s = 0; s < kPresetCount; ++s) {
            Morvelant_Parameters& p = m.Presets[std::size_t(s)];
            for (auto& w : p.W) w = int32_t(rng() % 256);
            for (int f = 0; f < kFaderCount; ++f) {
                p.FaderMidiData1(f) = 1;
                p.KeyOnMidiData1(f) = 0;
                p.KeyOffMidiData1(f) = 129;
                p.FaderString[f] = f % 3 ? "" : "F0 XX 7F";
                p.KeyOnString[f] = "XX 12";
                p.KeyOffString[f] = "90 3C 40";
                p.SliderName[f] = f % 2 ? "" : "Name" + std::to_string(1000 + s).substr(0, 4);
                p.KeyOnName[f] = "on " + std::to_string(f);
                p.KeyOffName[f] = f == 5 ? std::string("off\xE9") : "";
            }
            p.SpecialKeyString[0] = "C0 05";
            p.PresetNotes = "notes of " + std::to_string(s) + "\r\nline 2";
            m.SetPresetDeviceName(s, "P" + std::to_string(s));
            m.InitPattern(s);
            Pattern_Parameters& pt = m.Patterns[std::size_t(s)];
            for (auto& w : pt.W) w = int32_t(rng() % 256);
            pt.PatternNotes = "pattern notes " + std::to_string(s);
        }
    }
    // Name words hold sign-extended codes; a dump brings them back as bytes.
    static void ExpectSamePreset(const DeviceModel& a, const DeviceModel& b, int s) {
        EXPECT_EQ(a.Presets[std::size_t(s)], b.Presets[std::size_t(s)]) << "preset " << s;
    }

    std::string dir_;
    ScriptedDialogs dialogs_;
    ScopedDialogs scope_{dialogs_};
};

TEST_F(FileCommandsTest, FactoryRecordsAndWorkingSetsHaveTheirExactSizes) {
    DeviceModel m;
    for (int p = 0; p < kPatternCount; ++p) m.InitPattern(p);
    const int one[] = {0};
    EXPECT_EQ(EncodePresetFile(m, one).size(), kFileHead + kFactoryPresetRecord);
    EXPECT_EQ(EncodePatternFile(m, one).size(), kFileHead + kFactoryPatternRecord);

    m.ProgramPath = dir_ + "/";
    EXPECT_TRUE(SavePresetWorkingSet(m));
    EXPECT_TRUE(SavePatternWorkingSet(m));
    EXPECT_EQ(fs::file_size(Path("Config.MVR")), kFileHead + 65 * kFactoryPresetRecord);  // 83748
    EXPECT_EQ(fs::file_size(Path("Config.MVT")), kFileHead + 65 * kFactoryPatternRecord);  // 69838

    // The head and the record layout of preset 0.
    const std::vector<uint8_t> b = ReadAll(Path("Config.MVR"));
    std::vector<uint8_t> head = Head(65);
    EXPECT_TRUE(std::equal(head.begin(), head.end(), b.begin()));
    std::vector<uint8_t> rec;
    PutInt(rec, 0);
    PutInt(rec, 101);
    for (int i = 0; i < 24; ++i) PutInt(rec, 0);
    PutInt(rec, 102);
    for (int i = 0; i < 24; ++i) PutInt(rec, 0);
    PutInt(rec, 100);
    PutInt(rec, 0);
    PutInt(rec, 4);
    PutInt(rec, 1034);
    EXPECT_TRUE(std::equal(rec.begin(), rec.end(), b.begin() + long(kFileHead)));
    SysexBuffer dump;
    BuildPresetValueDump(m, dump, 0, 0);
    EXPECT_EQ(
        std::vector<uint8_t>(b.begin() + long(kFileHead + rec.size()), b.begin() + long(kFileHead + rec.size() + 1034)),
        DumpBytes(dump));
    const std::size_t tail = kFileHead + rec.size() + 1034;
    std::vector<uint8_t> textHead;
    PutInt(textHead, 3);
    PutInt(textHead, 22);
    EXPECT_TRUE(std::equal(textHead.begin(), textHead.end(), b.begin() + long(tail)));
    std::vector<uint8_t> end;
    PutInt(end, 255);
    EXPECT_TRUE(std::equal(end.begin(), end.end(), b.begin() + long(kFileHead + kFactoryPresetRecord - 4)));
}

TEST_F(FileCommandsTest, EveryPresetAndPatternRoundTripsThroughASetFile) {
    DeviceModel m;
    Fill(m, 7);
    ASSERT_TRUE(WritePresetFile(m, Path("all"), 128));  // the extension is forced
    ASSERT_TRUE(WritePatternFile(m, Path("all.txt"), 128));
    ASSERT_TRUE(fs::exists(Path("all.MVR")));
    ASSERT_TRUE(fs::exists(Path("all.MVT")));

    DeviceModel back;
    ASSERT_TRUE(ReadPresetFile(back, Path("all.MVR")));
    ASSERT_TRUE(ReadPatternFile(back, Path("all.MVT")));
    for (int s = 0; s < 128; ++s) {
        ExpectSamePreset(m, back, s);
        EXPECT_EQ(back.Patterns[std::size_t(s)], m.Patterns[std::size_t(s)]) << "pattern " << s;
    }
    EXPECT_TRUE(dialogs_.calls.empty());
    // Every edit buffer read is listed.
    EXPECT_EQ(back.PresetEditBufferCount, 64);
    EXPECT_EQ(back.PresetEditBufferNames.size(), 63u);
    EXPECT_EQ(back.PresetEditBufferNames.front(), back.GetPresetDeviceName(65));
    EXPECT_EQ(back.PatternEditBufferCount, 64);
}

TEST_F(FileCommandsTest, RecordsAreDispatchedByTagWhicheverReaderReadsThem) {
    DeviceModel m;
    Fill(m, 3);
    ASSERT_TRUE(WritePatternFile(m, Path("p.MVT"), 4));
    DeviceModel back;
    ASSERT_TRUE(ReadPresetFile(back, Path("p.MVT")));
    EXPECT_EQ(back.Patterns[2], m.Patterns[2]);
}

TEST_F(FileCommandsTest, PatternNameWithTrailingBlanksKeepsThem) {
    DeviceModel m;
    m.InitPattern(9);
    m.SetPatternName(9, "ab  ");
    ASSERT_TRUE(WritePatternFile(m, Path("n"), 10));
    DeviceModel back;
    ASSERT_TRUE(ReadPatternFile(back, Path("n.MVT")));
    EXPECT_EQ(back.GetPatternName(9), "ab      ");
}

TEST_F(FileCommandsTest, VersionOneRecordTakesItsNameFromTheRecord) {
    DeviceModel src;
    src.SetPresetDeviceName(0, "WRONGNAM");
    src.Presets[0].FaderValue(4) = 77;
    src.Presets[0].FaderString[1] = "B0 01 XX";
    src.Presets[0].FaderMidiData1(1) = 2;
    SysexBuffer dump;
    const std::size_t e1 = BuildPresetValueDump(src, dump, 0, 0);
    BuildPresetTextDump(src, dump, 0, 0);
    const std::vector<uint8_t> bytes = DumpBytes(dump);

    std::vector<uint8_t> file = Head(2, 1);
    for (int slot : {3, 70}) {
        PutInt(file, slot);
        PutStr(file, "Bass");
        PutStr(file, "old notes");
        PutInt(file, int32_t(e1));
        file.insert(file.end(), bytes.begin(), bytes.begin() + long(e1));
        PutInt(file, slot == 3 ? int32_t(bytes.size() - e1) : 0);
        if (slot == 3) file.insert(file.end(), bytes.begin() + long(e1), bytes.end());
    }
    WriteAll(Path("old.MV1"), file);

    DeviceModel m;
    ASSERT_TRUE(ReadPresetFile(m, Path("old.MV1")));
    EXPECT_EQ(m.GetPresetDeviceName(3), "Bass    ");
    EXPECT_EQ(m.Presets[3].PresetNotes, "old notes");
    EXPECT_EQ(m.Presets[3].FaderValue(4), 77);
    EXPECT_EQ(m.Presets[3].FaderString[1], "B0 01 XX");
    EXPECT_EQ(m.GetPresetDeviceName(70), "Bass    ");
    EXPECT_EQ(m.Presets[70].FaderString[1], "");
    EXPECT_EQ(m.PresetEditBufferCount, 7);  // slot 70 kept at exit
}

TEST_F(FileCommandsTest, VersionTwoHasNoHeaderAndUnknownTagsAreSkipped) {
    std::vector<uint8_t> file = Head(1, 2);
    PutInt(file, 5);
    PutInt(file, 100);
    PutStr(file, std::string("n\0ignored after NUL", 20));
    PutInt(file, 7);  // no payload
    PutInt(file, 255);
    WriteAll(Path("v2.MVR"), file);
    DeviceModel m;
    ASSERT_TRUE(ReadPresetFile(m, Path("v2.MVR")));
    EXPECT_EQ(m.Presets[5].PresetNotes, "n");
    EXPECT_TRUE(dialogs_.calls.empty());
}

// ---- Edit-buffer bookkeeping and slots ------------------------------------------

TEST_F(FileCommandsTest, EditBufferNamesAreAddedForSlotsPastTheListedOnes) {
    DeviceModel m;
    Fill(m, 1);
    const int slots[] = {64, 65, 66};
    WriteAll(Path("eb.MVR"), EncodePresetFile(m, slots));
    DeviceModel back;
    back.PresetEditBufferCount = 1;
    ASSERT_TRUE(ReadPresetFile(back, Path("eb.MVR")));
    EXPECT_EQ(back.PresetEditBufferCount, 3);
    EXPECT_EQ(back.PresetEditBufferNames,
              (std::vector<std::string>{back.GetPresetDeviceName(65), back.GetPresetDeviceName(66)}));
}

TEST_F(FileCommandsTest, AnEditBufferFarOutIsNeverLostAtExit) {
    DeviceModel m;
    Fill(m, 2);
    const int slots[] = {100};
    WriteAll(Path("far.MVR"), EncodePresetFile(m, slots));
    DeviceModel back;
    ASSERT_TRUE(ReadPresetFile(back, Path("far.MVR")));
    EXPECT_EQ(back.PresetEditBufferCount, 37);  // 100 - 63
    EXPECT_EQ(back.PresetEditBufferNames.size(), 36u);

    back.ProgramPath = dir_;
    ASSERT_TRUE(SavePresetWorkingSet(back));
    DeviceModel again;
    again.ProgramPath = dir_;
    ASSERT_TRUE(LoadPresetWorkingSet(again, ""));
    ExpectSamePreset(back, again, 100);
}

TEST_F(FileCommandsTest, RecordsWithSlotsOutsideTheModelAreSkipped) {
    DeviceModel m;
    Fill(m, 4);
    std::vector<uint8_t> file = EncodePresetFile(m, std::vector<int>{1, 2});
    // Second record's slot becomes 5000, and the first's -3 in a copy.
    const std::size_t second = kFileHead + (file.size() - kFileHead) / 2;
    file[second] = 0x88;
    file[second + 1] = 0x13;
    WriteAll(Path("slots.MVR"), file);
    DeviceModel back;
    back.PresetEditBufferCount = 500;  // out of range: kept within 1..64
    ASSERT_TRUE(ReadPresetFile(back, Path("slots.MVR")));
    ExpectSamePreset(m, back, 1);
    DeviceModel fresh;
    ExpectSamePreset(fresh, back, 2);
    EXPECT_EQ(back.PresetEditBufferCount, 64);

    file[kFileHead] = 0xFD;
    file[kFileHead + 1] = file[kFileHead + 2] = file[kFileHead + 3] = 0xFF;
    WriteAll(Path("slots.MVR"), file);
    DeviceModel neg;
    neg.PresetEditBufferCount = 0;
    ASSERT_TRUE(ReadPresetFile(neg, Path("slots.MVR")));
    ExpectSamePreset(fresh, neg, 1);
    EXPECT_EQ(neg.PresetEditBufferCount, 1);
}

TEST_F(FileCommandsTest, SequentialReadStopsAtTheLastSlot) {
    DeviceModel m;
    Fill(m, 5);
    const int slots[] = {0, 1, 2, 3, 4};
    WriteAll(Path("five.MVR"), EncodePresetFile(m, slots));
    DeviceModel back;
    ASSERT_TRUE(ReadPresetFileSequentially(back, Path("five.MVR"), 126));
    EXPECT_EQ(back.Presets[126].PresetNotes, m.Presets[0].PresetNotes);
    EXPECT_EQ(back.Presets[127].PresetNotes, m.Presets[1].PresetNotes);
    EXPECT_EQ(back.PresetEditBufferCount, 64);

    DeviceModel from64;
    ASSERT_TRUE(ReadPresetFileSequentially(from64, Path("five.MVR"), 64));
    EXPECT_EQ(from64.Presets[68].PresetNotes, m.Presets[4].PresetNotes);
    EXPECT_EQ(from64.PresetEditBufferCount, 5);
}

TEST_F(FileCommandsTest, WorkingSetsAtStartAndExit) {
    DeviceModel m;
    Fill(m, 6);
    m.ProgramPath = dir_ + "/";
    m.PresetEditBufferCount = 2;
    m.PatternEditBufferCount = 3;
    ASSERT_TRUE(SavePresetWorkingSet(m));
    ASSERT_TRUE(SavePatternWorkingSet(m));
    EXPECT_EQ(fs::file_size(Path("Config.MVR")), ReadAll(Path("Config.MVR")).size());

    const int cmdSlots[] = {7, 8};
    WriteAll(Path("cmd.MVR"), EncodePresetFile(m, cmdSlots));

    DeviceModel back;
    back.ProgramPath = dir_ + "/";
    EXPECT_TRUE(LoadPresetWorkingSet(back, Path("cmd.MVR")));
    EXPECT_TRUE(LoadPatternWorkingSet(back, ""));
    ExpectSamePreset(m, back, 0);
    ExpectSamePreset(m, back, 63);
    EXPECT_EQ(back.Presets[65].PresetNotes, m.Presets[8].PresetNotes);  // command line file from 64
    EXPECT_EQ(back.SelectedPreset, 64);
    EXPECT_EQ(back.Patterns[66], m.Patterns[66]);
    EXPECT_EQ(back.PatternEditBufferCount, 3);

    // No working set: the count starts at 1, silently.
    DeviceModel none;
    none.ProgramPath = dir_ + "/nowhere/";
    none.PresetEditBufferCount = 9;
    EXPECT_FALSE(LoadPresetWorkingSet(none, ""));
    EXPECT_EQ(none.PresetEditBufferCount, 1);
    EXPECT_TRUE(dialogs_.Messages().empty());

    // Saving into a folder that does not exist is reported, not passed off,
    // and the session is kept where it can be (Cancel: the data folder).
    ::setenv("XDG_DATA_HOME", dir_.c_str(), 1);
    dialogs_.messageAnswers = {MessageResult::Cancel};
    EXPECT_TRUE(SavePresetWorkingSet(none));
    ::unsetenv("XDG_DATA_HOME");
    ASSERT_EQ(dialogs_.Messages().size(), 2u);
    EXPECT_NE(dialogs_.Messages()[0].find("Config.MVR"), std::string::npos);
    EXPECT_NE(dialogs_.Messages()[1].find("saved to \"" + dir_ + "/MorvelantEditor/Config.MVR\""), std::string::npos);
}

// ---- Backups ------------------------------------------------------------------------

TEST_F(FileCommandsTest, SavingOverAFileKeepsTheOldOneAsBak) {
    DeviceModel m;
    m.ProgramPath = dir_;
    ASSERT_TRUE(SavePresetWorkingSet(m));
    EXPECT_FALSE(fs::exists(Path("Config.MVR.BAK")));
    const std::vector<uint8_t> first = ReadAll(Path("Config.MVR"));
    m.Presets[0].PresetNotes = "second";
    ASSERT_TRUE(SavePresetWorkingSet(m));
    EXPECT_EQ(ReadAll(Path("Config.MVR.BAK")), first);
    const std::vector<uint8_t> second = ReadAll(Path("Config.MVR"));
    m.Presets[0].PresetNotes = "third";
    ASSERT_TRUE(SavePresetWorkingSet(m));
    EXPECT_EQ(ReadAll(Path("Config.MVR.BAK")), second);  // always the file just replaced
    // No temporary files are left behind.
    int files = 0;
    for (auto& e : fs::directory_iterator(dir_)) files += e.is_regular_file();
    EXPECT_EQ(files, 2);
}

ssize_t FailingWrite(int, const void*, std::size_t) {
    errno = ENOSPC;
    return -1;
}

TEST_F(FileCommandsTest, AFailedWriteKeepsTheOldFileAndIsReported) {
    DeviceModel m;
    ASSERT_TRUE(WritePresetFile(m, Path("set.MVR"), 64));
    const std::vector<uint8_t> before = ReadAll(Path("set.MVR"));
    SetSafeFileWriteFunctionForTesting(&FailingWrite);
    m.Presets[0].PresetNotes = "changed";
    const bool ok = WritePresetFile(m, Path("set.MVR"), 64);
    SetSafeFileWriteFunctionForTesting(nullptr);
    EXPECT_FALSE(ok);
    EXPECT_EQ(ReadAll(Path("set.MVR")), before);
    EXPECT_FALSE(fs::exists(Path("set.MVR.BAK")));
    ASSERT_EQ(dialogs_.CallsOf(ScriptedDialogs::Kind::Message).size(), 1u);
    EXPECT_EQ(dialogs_.calls[0].caption, "Error");
}

// ---- Dialog-driven operations ----------------------------------------------------------

TEST_F(FileCommandsTest, SaveAndLoadSinglePresetThroughTheDialogs) {
    DeviceModel m;
    Fill(m, 8);
    m.ProgramPath = dir_ + "/";
    dialogs_.QueueSave(Path("one.xyz"));
    ASSERT_TRUE(SavePresetAs(m, 12));
    auto save = dialogs_.CallsOf(ScriptedDialogs::Kind::Save).at(0);
    EXPECT_EQ(save.file.filter, "Morvelant Presets|*.MVR|Midi File|*.MID");
    EXPECT_EQ(save.file.initialDir, dir_ + "/");
    EXPECT_EQ(save.file.fileName, "P12     ");  // the 8-character device name
    EXPECT_EQ(save.file.defaultExt, "MVR");
    ASSERT_TRUE(fs::exists(Path("one.xyz")));  // the chosen name, unchanged

    // Loaded into the current slot, whatever slot it was saved from.
    DeviceModel back;
    dialogs_.QueueOpen(Path("one.xyz"));
    ASSERT_TRUE(LoadPreset(back, 40));
    EXPECT_EQ(back.Presets[40].PresetNotes, m.Presets[12].PresetNotes);
    EXPECT_EQ(back.Presets[40].FaderString, m.Presets[12].FaderString);
    auto open = dialogs_.CallsOf(ScriptedDialogs::Kind::Open).at(0);
    EXPECT_EQ(open.file.filter, "Morvelant Presets v1|*.M*|Morvelant Presets v2|*.MVR|Midi Files|*.MID");
    EXPECT_EQ(open.file.filterIndex, 2);
    // Later set loads offer no MIDI files.
    EXPECT_EQ(FileDialogs().LoadPresetDialog.filter, "Morvelant Presets v1|*.M*|Morvelant Presets v2|*.MVR");

    // A set file loaded that way loads only its first record.
    ASSERT_TRUE(WritePresetFile(m, Path("set"), 64));
    DeviceModel single;
    dialogs_.QueueOpen(Path("set.MVR"));
    ASSERT_TRUE(LoadPreset(single, 64));
    EXPECT_EQ(single.Presets[64].PresetNotes, m.Presets[0].PresetNotes);
    EXPECT_NE(single.Presets[1].PresetNotes, m.Presets[1].PresetNotes);

    // Cancelled dialogs do nothing.
    EXPECT_FALSE(SavePresetAs(m, 1));
    EXPECT_FALSE(LoadPreset(m, 1));

    // Whoever shows presets hears which slots a load changed.
    Notifications notices;
    single.Notices = &notices;
    std::vector<int> changed;
    Subscription s = notices.PresetDataChanged.Subscribe([&changed](int slot) { changed.push_back(slot); });
    dialogs_.QueueOpen(Path("set.MVR"));
    ASSERT_TRUE(LoadPreset(single, 5));
    dialogs_.QueueOpen(Path("set.MVR"));
    ASSERT_TRUE(LoadPresetFile(single));
    EXPECT_EQ(changed, (std::vector<int>{5, -1}));
    single.Notices = nullptr;
}

TEST_F(FileCommandsTest, MidiFileChoiceWithoutTheMidiFileRouteIsReportedAndWritesNothing) {
    DeviceModel m;
    WriteAll(Path("x.mid"), {1, 2, 3});
    dialogs_.QueueSave(Path("x.mid"));
    EXPECT_FALSE(SavePatternAs(m, 3));
    dialogs_.QueueOpen(Path("z.MID"));
    EXPECT_FALSE(LoadPattern(m, 9));
    EXPECT_EQ(dialogs_.CallsOf(ScriptedDialogs::Kind::Save).at(0).file.filter,
              "Morvelant Patterns|*.MVT|Midi File|*.MID");
    EXPECT_EQ(dialogs_.CallsOf(ScriptedDialogs::Kind::Open).at(0).file.filter,
              "Morvelant Patterns |*.MVT|Midi Files|*.MID");
    EXPECT_EQ(dialogs_.Messages().size(), 2u);
    EXPECT_EQ(ReadAll(Path("x.mid")), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_FALSE(fs::exists(Path("x.mid.BAK")));
}

// A named pipe, a folder or a device is never waited on: the user learns
// what was chosen, and a working set that is no file is not written over.
TEST_F(FileCommandsTest, WhatIsNoFileIsRefusedSayingWhatItIs) {
    ::alarm(60);  // a reader that waits for a writer would never return
    ASSERT_EQ(::mkfifo(Path("pipe.MVR").c_str(), 0600), 0);
    fs::create_directory(Path("Config.MVR"));
    DeviceModel m;
    m.ProgramPath = dir_ + "/";
    dialogs_.QueueOpen(Path("pipe.MVR"));
    EXPECT_FALSE(LoadPreset(m, 3));
    dialogs_.QueueOpen("/dev/null");
    EXPECT_FALSE(LoadPresetFile(m));
    EXPECT_FALSE(LoadPresetWorkingSet(m, ""));
    ::alarm(0);
    const std::vector<std::string> messages = dialogs_.Messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_NE(messages[0].find(Path("pipe.MVR") + "\" is a named pipe, not a file"), std::string::npos) << messages[0];
    EXPECT_NE(messages[1].find("is a device, not a file"), std::string::npos) << messages[1];
    EXPECT_NE(messages[2].find("is a folder, not a file"), std::string::npos) << messages[2];
    EXPECT_TRUE(SavePresetWorkingSet(m));
    EXPECT_TRUE(fs::is_directory(Path("Config.MVR")));
}

TEST_F(FileCommandsTest, SelectedSlotsGoIntoOneFileInAscendingOrder) {
    DeviceModel m;
    Fill(m, 9);
    m.PresetSlotSelected[40] = m.PresetSlotSelected[3] = true;
    dialogs_.QueueSave(Path("sel.foo"));
    ASSERT_TRUE(SaveSelectedPresets(m));
    const std::vector<uint8_t> b = ReadAll(Path("sel.MVR"));
    ASSERT_GT(b.size(), kFileHead + 4);
    EXPECT_EQ(b[24], 2);  // Count
    EXPECT_EQ(b[kFileHead], 3);  // first record's slot

    m.PatternSlotSelected[63] = true;
    dialogs_.QueueSave(Path("selp"));
    ASSERT_TRUE(SaveSelectedPatterns(m));
    DeviceModel back;
    ASSERT_TRUE(ReadPatternFile(back, Path("selp.MVT")));
    EXPECT_EQ(back.Patterns[63], m.Patterns[63]);
}

TEST_F(FileCommandsTest, PerSlotFilesStayInsideTheChosenFolder) {
    DeviceModel m;
    m.SetPresetDeviceName(0, "../../x");
    m.SetPresetDeviceName(1, "a/b\\c\td");
    m.PresetSlotSelected[0] = m.PresetSlotSelected[1] = true;
    fs::create_directory(Path("out"));
    dialogs_.folderAnswers.push_back(Path("out") + "/");
    ASSERT_TRUE(SaveSelectedPresetsToFolder(m));
    EXPECT_EQ(dialogs_.calls.back().caption, "Select Directory to Search In!");
    EXPECT_TRUE(fs::exists(Path("out/1 .._.._x .MVR")));
    EXPECT_TRUE(fs::exists(Path("out/2 a_b_c_d .MVR")));
    int files = 0;
    for (auto& e : fs::recursive_directory_iterator(dir_)) files += e.is_regular_file();
    EXPECT_EQ(files, 2);

    // All 64 device patterns, one file each, named by pattern name.
    for (int p = 0; p < 64; ++p) m.InitPattern(p);
    fs::create_directory(Path("pat"));
    dialogs_.folderAnswers.push_back(Path("pat"));
    ASSERT_TRUE(SaveAllPatternsToFolder(m));
    EXPECT_TRUE(fs::exists(Path("pat/1 Seq 1   .MVT")));
    EXPECT_TRUE(fs::exists(Path("pat/64 Seq 64  .MVT")));

    // No folder chosen: nothing written.
    EXPECT_FALSE(SavePresetsToFolder(m));
    // A folder that cannot take the files: reported, false.
    dialogs_.folderAnswers.push_back(Path("missing"));
    EXPECT_FALSE(SavePresetsToFolder(m));
    EXPECT_EQ(dialogs_.Messages().size(), 1u);
}

TEST(SafeFileNamePartTest, ReplacesSeparatorsAndControlCharacters) {
    EXPECT_EQ(SafeFileNamePart("Preset 1"), "Preset 1");
    EXPECT_EQ(SafeFileNamePart("a/b\\c"), "a_b_c");
    EXPECT_EQ(SafeFileNamePart(std::string("x\0y\x1F\x7F", 5)), "x_y__");
    EXPECT_EQ(SafeFileNamePart("caf\xE9"), "caf\xC3\xA9");
    EXPECT_EQ(SafeFileNamePart("\x80"), "_");
    EXPECT_EQ(ChangeFileExt("/a.b/c", ".MVR"), "/a.b/c.MVR");
    EXPECT_EQ(ChangeFileExt("/a/c.old", ".MVR"), "/a/c.MVR");
}

// ---- Damaged and foreign files -----------------------------------------------------------

TEST_F(FileCommandsTest, IllegalVersionIsRefusedOnceBeforeAnyRecord) {
    DeviceModel m;
    Fill(m, 10);
    std::vector<uint8_t> file = EncodePresetFile(m, std::vector<int>{0, 1, 2, 3, 4});
    file[0] = 7;
    WriteAll(Path("v7.MVR"), file);
    DeviceModel back;
    EXPECT_FALSE(ReadPresetFile(back, Path("v7.MVR")));
    EXPECT_EQ(dialogs_.Messages(), std::vector<std::string>{"illegal file version"});
    EXPECT_EQ(dialogs_.calls[0].caption, "ok");
    DeviceModel fresh;
    ExpectSamePreset(fresh, back, 0);

    // A wrong header text.
    file[0] = 3;
    file[8] = 'X';
    WriteAll(Path("hdr.MVR"), file);
    EXPECT_FALSE(ReadPresetFile(back, Path("hdr.MVR")));
    EXPECT_EQ(dialogs_.Messages().size(), 2u);
}

TEST_F(FileCommandsTest, AStandardMidiFileIsRefusedCleanly) {
    std::vector<uint8_t> smf = {'M',  'T', 'h', 'd', 0,   0, 0, 6, 0, 1, 0,    2,    0x01,
                                0xE0, 'M', 'T', 'r', 'k', 0, 0, 0, 4, 0, 0xFF, 0x2F, 0};
    WriteAll(Path("song.MID"), smf);
    DeviceModel m;
    EXPECT_FALSE(ReadPresetFile(m, Path("song.MID")));
    EXPECT_FALSE(ReadPatternFileSequentially(m, Path("song.MID"), 64));
    EXPECT_EQ(dialogs_.Messages(), (std::vector<std::string>{"illegal file version", "illegal file version"}));

    // A version-3 head asking for a 100 MB header string.
    std::vector<uint8_t> big;
    PutInt(big, 3);
    PutInt(big, 100 << 20);
    big.insert(big.end(), 40, 'a');
    WriteAll(Path("big.MVR"), big);
    EXPECT_FALSE(ReadPresetFile(m, Path("big.MVR")));
    EXPECT_EQ(dialogs_.Messages().size(), 3u);

    // A file far larger than any set is not read at all.
    std::vector<uint8_t> head = Head(1);
    WriteAll(Path("huge.MVR"), head);
    fs::resize_file(Path("huge.MVR"), kMaxEditorFileSize + 1);
    EXPECT_FALSE(ReadPresetFile(m, Path("huge.MVR")));
    EXPECT_EQ(dialogs_.Messages().size(), 4u);
    EXPECT_NE(dialogs_.Messages().back().find("64 MiB"), std::string::npos);
}

TEST_F(FileCommandsTest, SetLoadsUseTheDialogsAsTheyWereLeft) {
    DeviceModel m;
    Fill(m, 12);
    ASSERT_TRUE(WritePresetFile(m, Path("s"), 3));
    ASSERT_TRUE(WritePatternFile(m, Path("s"), 3));
    DeviceModel back;
    dialogs_.QueueOpen(Path("s.MVR"));
    ASSERT_TRUE(LoadPresetFileSequentially(back, 70));
    EXPECT_EQ(back.Presets[72].PresetNotes, m.Presets[2].PresetNotes);
    EXPECT_EQ(dialogs_.calls.back().file.filter, kFilterLoadPreset);  // as the form resource sets it
    EXPECT_EQ(dialogs_.calls.back().file.filterIndex, 2);
    dialogs_.QueueOpen(Path("s.MVT"));
    ASSERT_TRUE(LoadPatternFile(back));
    EXPECT_EQ(back.Patterns[1], m.Patterns[1]);
    EXPECT_FALSE(LoadPatternFileSequentially(back, 64));  // cancelled

    dialogs_.QueueSave(Path("every"));
    ASSERT_TRUE(SaveAllPatternsAs(m, 64));
    EXPECT_EQ(dialogs_.calls.back().file.filter, kFilterPatterns);
    EXPECT_EQ(dialogs_.calls.back().file.defaultExt, "MVT");
    EXPECT_EQ(fs::file_size(Path("every.MVT")), ReadAll(Path("every.MVT")).size());
    DeviceModel all;
    ASSERT_TRUE(ReadPatternFile(all, Path("every.MVT")));
    EXPECT_EQ(all.Patterns[63], m.Patterns[63]);
    EXPECT_TRUE(dialogs_.Messages().empty());
}

TEST_F(FileCommandsTest, DamagedFilesLoadNothing) {
    DeviceModel m;
    Fill(m, 11);
    const std::vector<uint8_t> good = EncodePresetFile(m, std::vector<int>{0, 1, 2});
    const DeviceModel fresh;

    auto expectRefused = [&](const std::vector<uint8_t>& bytes, const char* what) {
        WriteAll(Path("bad.MVR"), bytes);
        DeviceModel back;
        dialogs_.calls.clear();
        EXPECT_FALSE(ReadPresetFile(back, Path("bad.MVR"))) << what;
        for (int s = 0; s < 3; ++s) ExpectSamePreset(fresh, back, s);
        EXPECT_EQ(back.PresetEditBufferCount, 1) << what;
        ASSERT_EQ(dialogs_.Messages().size(), 1u) << what;
        EXPECT_NE(dialogs_.Messages()[0].find("damaged"), std::string::npos) << what;
    };

    // Truncated inside the last record, and at a record boundary before Count.
    expectRefused(std::vector<uint8_t>(good.begin(), good.end() - 10), "truncated");
    expectRefused(std::vector<uint8_t>(good.begin(), good.begin() + long(kFileHead + 2 * kFactoryPresetRecord)),
                  "short count");
    // A string length past the end, and a negative one (first key-on name).
    std::vector<uint8_t> bad = good;
    const std::size_t firstName = kFileHead + 8;
    bad[firstName + 3] = 0x7F;
    expectRefused(bad, "huge string");
    bad = good;
    bad[firstName + 3] = 0xFF;
    expectRefused(bad, "negative string");
    // A dump chunk length past the end.
    bad = good;
    const uint8_t chunk[] = {4, 0, 0, 0, 0x0A, 0x04, 0, 0};  // tag 4, length 1034
    const std::size_t valueLen =
        std::size_t(std::search(good.begin(), good.end(), std::begin(chunk), std::end(chunk)) - good.begin()) + 4;
    ASSERT_LT(valueLen, good.size());
    bad[valueLen + 2] = 0x10;
    expectRefused(bad, "huge dump");
    // A Count far beyond the records.
    bad = good;
    bad[27] = 0x10;
    expectRefused(bad, "huge count");

    // A dump chunk shorter than its dump: the record keeps its words.
    std::vector<uint8_t> file = Head(1);
    PutInt(file, 4);
    PutInt(file, 100);
    PutStr(file, "short dump");
    PutInt(file, 4);
    PutInt(file, 5);
    for (int i = 0; i < 5; ++i) file.push_back(0x11);
    PutInt(file, 255);
    WriteAll(Path("short.MVR"), file);
    DeviceModel back;
    dialogs_.calls.clear();
    EXPECT_TRUE(ReadPresetFile(back, Path("short.MVR")));
    EXPECT_EQ(back.Presets[4].PresetNotes, "short dump");
    EXPECT_EQ(back.Presets[4].W, fresh.Presets[4].W);

    // A text dump that does not walk to its F7 (an entry, then a block of size
    // 0): the record keeps its strings rather than half of the dump's.
    file = Head(1);
    PutInt(file, 4);
    PutInt(file, 3);
    const std::vector<uint8_t> text = {0xF0, 0x00, 0x4D, 0x56, 0x12, 0x00, 0x20, 0x03, 0x04,  // header
                                       0x0A, 0x00, 0x00, 0x00, 0x04, 0x00,  // S = 10
                                       0x04, 0x00, 0x00, 0x00, 0x01, 0x00, 0x30, 0x01,  // fader 1: B0
                                       0x00, 0x00, 0x00, 0x00, 0x7F, 0x01,  // end entry
                                       0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0xF7};  // size-0 block
    PutInt(file, int32_t(text.size()));
    file.insert(file.end(), text.begin(), text.end());
    PutInt(file, 255);
    WriteAll(Path("text.MVR"), file);
    back.Presets[4].FaderString[1] = "C0 01";
    back.Presets[4].SliderName[1] = "Kept";
    EXPECT_TRUE(ReadPresetFile(back, Path("text.MVR")));
    EXPECT_EQ(back.Presets[4].FaderString[1], "C0 01");
    EXPECT_EQ(back.Presets[4].SliderName[1], "Kept");
    // The same dump with its F7 where the first block ends is taken.
    file[file.size() - 4 - 7] = 0xF7;
    WriteAll(Path("text.MVR"), file);
    EXPECT_TRUE(ReadPresetFile(back, Path("text.MVR")));
    EXPECT_EQ(back.Presets[4].FaderString[1], "B0");
    EXPECT_EQ(back.Presets[4].SliderName[1], "");
}

TEST_F(FileCommandsTest, ManyTextChunksBehindLongNotesReadInOnePass) {
    // Each text chunk is checked before it is decoded, never by decoding into
    // a copy of the whole record: with notes of megabytes and thousands of
    // small chunks such copies would keep the reader busy for ages.
    Morvelant_Parameters named;
    named.FaderString[3] = "B0 07 XX";
    named.FaderMidiData1(3) = 2;
    SysexBuffer text;
    BuildPresetTextDump(text, 7, named);
    const std::vector<uint8_t> textBytes = DumpBytes(text);

    std::vector<uint8_t> file = Head(1);
    PutInt(file, 7);
    PutInt(file, 100);
    const std::string notes(8u << 20, 'n');
    PutStr(file, notes);
    for (int i = 0; i < 20000; ++i) {
        PutInt(file, 3);
        if (i % 2) {
            PutInt(file, int32_t(textBytes.size()));
            file.insert(file.end(), textBytes.begin(), textBytes.end());
        } else {
            PutInt(file, 1);  // far too short: skipped
            file.push_back(0xF0);
        }
    }
    PutInt(file, 255);

    DeviceModel m;
    m.Presets[7].FaderMidiData1(3) = 2;
    EXPECT_EQ(ReadEditorFileData(m, file, EditorFileKind::Presets, EditorFileReadMode::Set, -1), ReadStatus::Loaded);
    EXPECT_EQ(m.Presets[7].PresetNotes.size(), notes.size());
    EXPECT_EQ(m.Presets[7].FaderString[3], "B0 07 XX");
}

}  // namespace
}  // namespace morvelant
