// Replays the fuzz seed corpus through the decoders and file readers on every
// run. With MORVELANT_WRITE_FUZZ_CORPUS=1 in the environment it first writes
// the seeds (valid dumps and files, each a few KB) into fuzz/corpus/.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "fuzz/FuzzTargets.h"
#include "tests/support/FuzzCorpus.h"

#ifndef MORVELANT_FUZZ_CORPUS_DIR
#error "MORVELANT_FUZZ_CORPUS_DIR must name the fuzz corpus folder"
#endif

namespace morvelant {
namespace {

namespace fs = std::filesystem;

const std::map<std::string, testsupport::FuzzTarget>& Targets() {
    static const std::map<std::string, testsupport::FuzzTarget> targets{
        {"PresetDumpFuzz", &fuzz::FuzzPresetDump},
        {"PatternDumpFuzz", &fuzz::FuzzPatternDump},
        {"PresetTextDumpFuzz", &fuzz::FuzzPresetTextDump},
        {"EditorFileFuzz", &fuzz::FuzzEditorFile},
    };
    return targets;
}

void Save(const std::string& target, const std::string& name, const std::vector<uint8_t>& bytes) {
    testsupport::SaveSeed(MORVELANT_FUZZ_CORPUS_DIR, target, name, bytes);
}

// A model with some of everything a record can carry.
void Dress(DeviceModel& m) {
    for (int s = 0; s < 4; ++s) {
        Morvelant_Parameters& p = m.Presets[std::size_t(s)];
        p.FaderStatus(0) = 0xF0;
        p.FaderMidiData1(0) = 2;
        p.FaderString[0] = "B0 07 XX";
        p.KeyOnString[3] = "90 3C 7F";
        p.KeyOffString[23] = "F0 00 20 XX F7";
        p.SpecialKeyString[0] = "C0 05";
        p.SpecialKeyString[5] = "FA";
        p.SliderName[1] = "Bass";
        p.SliderName[2] = "Fader003";
        p.KeyOnName[0] = "on";
        p.KeyOffName[1] = "off";
        p.PresetNotes = "notes";
        p.FaderValue(3) = 300;
        m.InitPattern(s);
        m.Patterns[std::size_t(s)].StepNote(1, 2) = 60;
        m.Patterns[std::size_t(s)].PatternNotes = "pattern";
    }
}

void WriteSeeds() {
    DeviceModel m;
    Dress(m);
    SysexBuffer ev;

    BuildPresetValueDump(m, ev, 0, 5);
    Save("PresetDumpFuzz", "factory_value_dump", DumpBytes(ev));
    ev.clear();
    BuildPresetValueDump(m, ev, 1, 1);
    Save("PresetDumpFuzz", "dressed_value_dump", DumpBytes(ev));

    ev.clear();
    BuildPatternDump(m, ev, 2, 2);
    Save("PatternDumpFuzz", "pattern_dump", DumpBytes(ev));

    ev.clear();
    BuildPresetTextDump(m, ev, 5, 5);
    Save("PresetTextDumpFuzz", "empty_text_dump", DumpBytes(ev));
    ev.clear();
    BuildPresetTextDump(m, ev, 0, 0);
    const std::vector<uint8_t> dressed = DumpBytes(ev);
    Save("PresetTextDumpFuzz", "dressed_text_dump", dressed);
    std::vector<uint8_t> two(dressed.begin(), dressed.end() - 1);
    two.insert(two.end(), dressed.begin() + 9, dressed.end());
    Save("PresetTextDumpFuzz", "two_blocks", two);

    Save("EditorFileFuzz", "presets_v3.MVR", EncodePresetFile(m, std::vector<int>{0, 70}));
    Save("EditorFileFuzz", "patterns_v3.MVT", EncodePatternFile(m, std::vector<int>{1, 66}));
    // Version 2: no header; version 1: the old fixed record.
    std::vector<uint8_t> v2 = EncodePatternFile(m, std::vector<int>{3});
    v2.erase(v2.begin() + 4, v2.begin() + 24);
    v2[0] = 2;
    Save("EditorFileFuzz", "pattern_v2.MVT", v2);
    std::vector<uint8_t> v1 = {1, 0, 0, 0,   1,   0,   0,   0, 3, 0, 0, 0,   4,
                               0, 0, 0, 'B', 'a', 's', 's', 2, 0, 0, 0, 'n', 'o'};
    ev.clear();
    const std::size_t e1 = BuildPresetValueDump(m, ev, 3, 3);
    const std::size_t e2 = BuildPresetTextDump(m, ev, 3, 3);
    const std::vector<uint8_t> dumps = DumpBytes(ev);
    for (std::size_t n : {e1, e2 - e1}) {
        for (int i = 0; i < 4; ++i) v1.push_back(uint8_t(n >> (8 * i)));
        const std::size_t from = n == e1 ? 0 : e1;
        v1.insert(v1.end(), dumps.begin() + long(from), dumps.begin() + long(from + n));
    }
    Save("EditorFileFuzz", "preset_v1.MV1", v1);
}

TEST(FuzzCorpusReplayTest, EverySeedPassesThroughItsTarget) {
    if (testsupport::WritingFuzzCorpus()) WriteSeeds();
    EXPECT_GE(testsupport::ReplayCorpus(MORVELANT_FUZZ_CORPUS_DIR, Targets()), 4u);
}

// The seeds are real files: the valid ones load without a message.
TEST(FuzzCorpusReplayTest, FileSeedsAreValidFiles) {
    const fs::path dir = fs::path(MORVELANT_FUZZ_CORPUS_DIR) / "EditorFileFuzz";
    ScriptedDialogs dialogs;
    ScopedDialogs scope(dialogs);
    int read = 0;
    for (const char* name : {"presets_v3.MVR", "patterns_v3.MVT", "pattern_v2.MVT", "preset_v1.MV1"}) {
        if (!fs::exists(dir / name)) continue;  // seeds may be pruned
        DeviceModel m;
        EXPECT_EQ(ReadEditorFile(m, (dir / name).string(), EditorFileKind::Presets, EditorFileReadMode::Set, -1),
                  ReadStatus::Loaded)
            << name;
        ++read;
    }
    EXPECT_GT(read, 0);
    EXPECT_TRUE(dialogs.calls.empty());
}

}  // namespace
}  // namespace morvelant
