// Replays the seed corpus of the fuzz targets above the model on every run.
// With MORVELANT_WRITE_FUZZ_CORPUS=1 in the environment it first writes the
// seeds (valid inputs, each a few KB) into fuzz/corpus/.
#include <gtest/gtest.h>

#include "fuzz/EngineFuzzTargets.h"
#include "model/PresetFiles.h"
#include "tests/support/FuzzCorpus.h"
#include "tests/support/QtTestApp.h"

#ifndef MORVELANT_FUZZ_CORPUS_DIR
#error "MORVELANT_FUZZ_CORPUS_DIR must name the fuzz corpus folder"
#endif

namespace morvelant {
namespace {

void Save(const std::string& target, const std::string& name, const std::vector<uint8_t>& bytes) {
    testsupport::SaveSeed(MORVELANT_FUZZ_CORPUS_DIR, target, name, bytes);
}

// A MIDI file of one named track holding the given messages.
std::string MidiFile(const SysexBuffer& events, const std::string& trackName) {
    smf::SmfData data;
    data.tracks.push_back({events, {{3, trackName}}});
    const std::vector<uint8_t> bytes = smf::BuildSmf(data);
    return {bytes.begin(), bytes.end()};
}

// The four files of one import, as the target cuts them apart.
std::vector<uint8_t> ImportCase(const std::string& mid, const std::string& txt, const std::string& cfg,
                                const std::string& nts) {
    const std::string sep(fuzz::kPieceSeparator);
    return testsupport::SeedBytes(mid + sep + txt + sep + cfg + sep + nts);
}

void WriteSeeds() {
    Save(
        "IniFileFuzz", "editor.cfg",
        testsupport::SeedBytes("[Main Form]\r\nLeft=10\r\nTop=0x20\r\n; a comment\r\n\r\n[Midi]\r\nIn Port = \"USB In\"\r\nShow=1\r\n"));
    Save("IniFileFuzz", "cases.cfg", testsupport::SeedBytes("[a]\nx=1\n[b]\nX=2\n[A]\ny=-3\nx=4\n"));

    Save("EventStringFuzz", "control",
         testsupport::SeedBytes("\x40"
               "B0 07 XX"));
    Save("EventStringFuzz", "sysex",
         testsupport::SeedBytes("\x7F"
               "F0 00 20 XX F7"));
    Save("EventStringFuzz", "running", testsupport::SeedBytes(std::string("\x00", 1) + "90 3C 7F 3C 00 C0 05 F8 FA"));

    // Flag byte, then port, direction, status, data 1, data 2 per event.
    Save("MonitorRowsFuzz", "mixed",
         {1,    0, 1,  0x90, 60, 100,  1, 1, 0xF0, 0xF0, 0,    1, 1, 0xF0, 0x7E, 0,    1, 1,  0xF0, 0xF7, 0, 2, 0,
          0xB0, 7, 64, 0xFF, 0,  0xF8, 0, 0, 0xFF, 0,    0xC0, 5, 0, 60,   1,    0xE0, 0, 64, 3,    0xFF, 0, 0, 0});

    DeviceModel m;
    m.SetPresetDeviceName(5, "Organ");
    m.Presets[5].FaderStatus(2) = 0xF0;
    m.Presets[5].FaderString[2] = "B0 07 XX";
    m.Presets[5].SliderName[4] = "Bass";
    SysexBuffer dumps;
    BuildPresetValueDump(m, dumps, 5, 5);
    BuildPresetTextDump(m, dumps, 5, 5);
    BuildPatternDump(m, dumps, 2, 2);
    const std::string nts =
        std::string("\0\0\0\0\x0E\0\0\0", 8) + "vellixa Editor" + std::string("\x01\0\0\0\x05\0\0\0", 8) + "notes";
    Save("DumpImportFuzz", "preset_and_pattern",
         ImportCase(MidiFile(dumps, "Organ   "), "text\r\nnotes\r\n", "[1]\r\n1=Cutoff\r\nN=Set\r\n", nts));
    SysexBuffer knob;
    for (uint8_t b : {0xF0, 0x00, 0x4D, 0x56, 0x14, 0x00, 0x20, 0x01, 0x02, 0xF7})
        knob.push_back(MidiEvent{0, 0xF0, b, 0, 0});
    Save("DumpImportFuzz", "knob_preset", ImportCase(MidiFile(knob, "Knobs"), "", "[1]\r\n2=Res\r\n", nts));
    Save("DumpImportFuzz", "no_dump", ImportCase(MidiFile({MidiEvent{0, 0x90, 60, 100, 0}}, "Song"), "x", "", ""));
}

TEST(EngineFuzzCorpusReplayTest, EverySeedPassesThroughItsTarget) {
    testsupport::CoreApp();
    if (testsupport::WritingFuzzCorpus()) WriteSeeds();
    const std::map<std::string, testsupport::FuzzTarget> targets{
        {"IniFileFuzz", &fuzz::FuzzIniFile},
        {"EventStringFuzz", &fuzz::FuzzEventString},
        {"MonitorRowsFuzz", &fuzz::FuzzMonitorRows},
        {"DumpImportFuzz", &fuzz::FuzzDumpImport},
    };
    EXPECT_GE(testsupport::ReplayCorpus(MORVELANT_FUZZ_CORPUS_DIR, targets), 4u);
}

}  // namespace
}  // namespace morvelant
