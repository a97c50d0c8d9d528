// The knob-preset conversion: every command table, channels, names, notes,
// clearing, the question, the settings' exclusion rule and their
// configuration, damaged messages, and imports that arrive during an import.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fuzz/VellixaFuzzTarget.h"

#include "platform/Dialogs.h"
#include "platform/IniFile.h"
#include "presets/VellixaConversion.h"

namespace morvelant {
namespace {

using MP = Morvelant_Parameters;

// A knob preset for slot `slot`: every knob on `channel` with `command` and
// `parameter` unless changed afterwards.
KnobPresetBytes Knobs(int slot, int channel, int command, int parameter) {
    KnobPresetBytes b = {0xF0, 0x00, 0x4D, 0x56, 0x14, 0x00, 0x20, static_cast<uint8_t>(slot), 0x00};
    for (int k = 0; k < 16; ++k) b.push_back(static_cast<uint8_t>(channel));
    for (int k = 0; k < 16; ++k) b.push_back(static_cast<uint8_t>(command));
    for (int k = 0; k < 16; ++k) b.push_back(static_cast<uint8_t>(parameter));
    b.push_back(0xF7);
    return b;
}

std::vector<MidiEvent> Events(const KnobPresetBytes& bytes) {
    std::vector<MidiEvent> e;
    for (uint8_t b : bytes) e.push_back(MidiEvent{0, 0xF0, b, 0, 0});
    return e;
}

struct VellixaTest : ::testing::Test {
    DeviceModel model;
    VellixaImportSettings settings;
    ScriptedDialogs dialogs;
    int dialogShown = 0;
    MP& m = model.Presets[3];

    void SetUp() override {
        settings.SetDefaults();
        settings.ShowDialog = false;
        model.FactoryInitPreset(3);
        m.FaderString[0] = "old";
    }
    bool Import(const KnobPresetBytes& bytes, int slot = 3) {
        return ImportVellixaPreset(model, {settings, dialogs, [this] { ++dialogShown; }}, slot, bytes);
    }
};

struct CommandCase {
    int command, channelByte, parameter;
    int32_t status, data1, data2;
    const char* text;  // the fader string afterwards
};

const CommandCase kCommands[] = {
    {0, 2, 7, 0xB1, 7, 128, "old"},
    {1, 2, 7, 0xE1, 0, 128, "old"},
    {2, 2, 7, 0xD1, 128, 0, "old"},
    {3, 0, 7, 0xC9, 128, 0, "old"},  // channel byte 0: the master channel (button "10")
    {4, 16, 7, 0xAF, 7, 128, "old"},
    {5, 1, 60, 0x90, 60, 128, "old"},
    {6, 17, 60, 0x89, 60, 128, "old"},  // above 16: the master channel too
    {8, 1, 0, 0xF0, 6, 0, "B0 65 00 64 02 06 XX"},
    {11, 16, 0, 0xF0, 6, 0, "BF 65 01 64 02 26 XX"},
    {15, 0, 0, 0xF0, 6, 0, "B9 65 7F 64 02 06 XX"},
    {16, 1, 60, 0xF0, 6, 0, "B0 63 00 62 3C 06 XX"},
    {17, 1, 60, 0xF0, 6, 0, "B0 63 00 62 3C 26 XX"},
    {20, 1, 1, 0xF0, 6, 0, "B0 63 08 62 01 26 XX"},
    {21, 1, 1, 0xF0, 6, 0, "B0 63 08 62 01 06 XX"},
    {61, 3, 0x7F, 0xF0, 6, 0, "B2 63 7F 62 7F 26 XX"},
    {64, 3, 0x11, 0xF0, 7, 0, "F0 43 10 4C 32 11 00 XX F7"},
    {79, 3, 0x11, 0xF0, 7, 0, "F0 43 10 4C 32 11 0F XX F7"},
    {80, 3, 0x11, 0xF0, 7, 0, "F0 43 10 4C 08 02 11 XX F7"},
    {81, 3, 0x11, 0xF0, 7, 0, "F0 43 10 4C 10 02 11 XX F7"},
    {83, 3, 0x11, 0xF0, 7, 0, "F0 43 10 4C 02 01 11 XX F7"},
    {87, 3, 0x11, 0xF0, 7, 0, "F0 43 10 4C 02 40 11 XX F7"},
    {89, 3, 0x11, 0xF0, 7, 0, "F0 43 10 4C 03 01 11 XX F7"},
    {100, 1, 0, 0xF0, 20, 0, "F0 7E 7F 09 01 F7"},
    {100, 1, 1, 0xF0, 20, 0, "F0 41 10 42 12 40 00 7F 00 41 F7"},
    {100, 1, 2, 0xF0, 20, 0, "F0 43 10 4C 00 00 7E 00 F7"},
    {100, 1, 3, 0x70, 20, 0, "old"},
    // Unsupported: only the status changes.
    {7, 1, 5, 0x70, 0, 128, "old"},
    {99, 1, 5, 0x70, 0, 128, "old"},
    {127, 1, 5, 0x70, 0, 128, "old"},
};

TEST_F(VellixaTest, EveryCommandTable) {
    settings.MasterChannel = 9;
    for (const CommandCase& c : kCommands) {
        model.FactoryInitPreset(3);
        m.FaderString[0] = "old";
        ASSERT_TRUE(Import(Knobs(3, c.channelByte, c.command, c.parameter))) << c.command;
        EXPECT_EQ(m.FaderStatus(0), c.status) << c.command;
        EXPECT_EQ(m.FaderMidiData1(0), c.data1) << c.command;
        EXPECT_EQ(m.FaderMidiData2(0), c.data2) << c.command;
        EXPECT_EQ(m.FaderString[0], c.text) << c.command;
        EXPECT_EQ(m.FaderMidiMode(0), 3);
        EXPECT_EQ(m.ActiveMode(0), 0);
        EXPECT_EQ(m.SliderName[0], "Knob 1");
        EXPECT_EQ(m.SliderName[8], "Knob 9");
    }
    EXPECT_TRUE(dialogs.calls.empty());  // 7, 99 and 127 ask nothing
}

TEST_F(VellixaTest, UnsupportedCommandAsksOnce) {
    auto bytes = Knobs(3, 1, 84, 0);
    bytes[25 + 15] = 98;
    const MP before = m;
    dialogs.messageAnswers = {MessageResult::No};
    EXPECT_FALSE(Import(bytes));
    EXPECT_EQ(m, before);
    ASSERT_EQ(dialogs.Messages(),
              std::vector<std::string>{"This vellixa preset contains non supported commands.Load it anyway?"});
    dialogs.messageAnswers = {MessageResult::Yes};
    settings.ShowDialog = true;
    EXPECT_TRUE(Import(bytes));
    EXPECT_EQ(m.FaderStatus(0), 0x70);
    EXPECT_EQ(dialogShown, 1);
    settings.WarningMessages = false;
    EXPECT_TRUE(Import(bytes));
    EXPECT_EQ(dialogs.calls.size(), 2u);
}

TEST_F(VellixaTest, NamesNotesClearingAndBlocks) {
    struct Row {
        int slot;
        const char* name;
    } rows[] = {{0, "Preset 1"}, {8, "Preset 9"}, {9, "Preset10"}, {127, "Preset12"}};
    for (const Row& r : rows) {
        ASSERT_TRUE(Import(Knobs(r.slot, 1, 0, 1), r.slot));
        EXPECT_EQ(model.GetPresetDeviceName(r.slot), r.name);
    }
    // Knob names from a file: filtered and cut like every other name.
    model.VellixaPresetName = "My {Set} of knobs";
    for (int k = 0; k < 16; ++k) model.VellixaKnobNames[k] = "K" + std::to_string(k + 1);
    model.VellixaKnobNames[0] = "Cut\toff frequency";
    settings.UseKnobNames = true;
    settings.SetClearFaders(0, true);  // unchecks 1->1
    settings.SetClearButtons(2, true);
    settings.SetMap(0, 1, true);  // knobs 1-8 onto faders 9-16, unchecks 9->9
    settings.SetMap(1, 2, true);
    settings.ThresholdText = "99";
    settings.Output2 = false;
    m.PresetNotes = "mine";
    ASSERT_TRUE(Import(Knobs(3, 1, 0, 1)));
    EXPECT_EQ(model.GetPresetDeviceName(3), "My Set o");
    EXPECT_EQ(m.SliderName[0], "Fader 1");
    EXPECT_EQ(m.FaderStatus(0), 0x70);
    EXPECT_EQ(m.SliderName[8], "Cutoff f");
    EXPECT_EQ(m.SliderName[16], "K9");
    EXPECT_EQ(m.FaderThreshold(9), 63);
    EXPECT_EQ(m.FaderMidiMode(9), 1);
    EXPECT_EQ(m.KeyOnStatus(16), 0x70);
    EXPECT_EQ(m.MuteVal(16), 128);
    EXPECT_EQ(m.KeyOnStatus(15), 0x90);  // key block 9-16 untouched
    const std::string rule(34, '-');
    std::string expected = "mine\n\n" + rule + "\nPreset Name:   My {Set} of knobs\n" + rule + "\n";
    expected += "  9:       Cut\toff frequency\n";
    for (int f = 10; f <= 16; ++f) expected += "  " + std::to_string(f) + ":       K" + std::to_string(f - 8) + "\n";
    for (int f = 17; f <= 24; ++f) expected += " " + std::to_string(f) + ":       K" + std::to_string(f - 8) + "\n";
    EXPECT_EQ(m.PresetNotes, expected);
}

TEST_F(VellixaTest, OnlyWholeKnobPresetsAreTaken) {
    const KnobPresetBytes good = Knobs(3, 1, 0, 1);
    EXPECT_TRUE(IsWholeKnobPreset(Events(good)));
    KnobPresetBytes shortOne(good.begin(), good.begin() + 20);  // byte 20 left out
    shortOne.insert(shortOne.end(), good.begin() + 21, good.end());
    auto highByte = good;
    highByte[30] = 0x80;
    auto noEnd = good;
    noEnd.back() = 0x00;
    for (const auto& bad : {shortOne, highByte, noEnd}) EXPECT_FALSE(IsWholeKnobPreset(Events(bad)));
    EXPECT_FALSE(Import(KnobPresetBytes(good.begin(), good.begin() + 40)));
    EXPECT_FALSE(Import(good, 128));
}

TEST_F(VellixaTest, SettingsConfigurationRoundTrip) {
    VellixaImportSettings s;
    EXPECT_FALSE(s.AddDescription);  // as designed, before loading
    s.SetMap(1, 0, true);
    s.SetMap(1, 0, false);  // unchecking checks nothing
    EXPECT_FALSE(s.Map(0, 0) || s.Map(1, 0) || s.ClearFaders(0));

    const auto dir = std::filesystem::temp_directory_path() / "vellixa_settings_test";
    std::filesystem::create_directories(dir);
    TIniFile ini((dir / "Morvelant.cfg").string());
    ini.EraseSection(kVellixaImportSection);
    VellixaImportSettings loaded;
    loaded.Load(ini);
    VellixaImportSettings defaults;
    defaults.SetDefaults();
    EXPECT_EQ(loaded, defaults);

    s.ThresholdText = "abc";
    s.MasterChannel = 12;
    s.UseKnobNames = true;
    s.SetClearButtons(1, true);
    s.Save(ini);
    EXPECT_EQ(ini.ReadInteger(kVellixaImportSection, "Threshold", -1), 0);
    EXPECT_TRUE(ini.ReadBool(kVellixaImportSection, "Clear Knobs 9", false));
    loaded.Load(ini);
    s.ThresholdText = "0";
    EXPECT_EQ(loaded, s);

    // Several choices of one block in a file: Clear Faders wins; a master
    // channel outside 0..15 is kept but counts as 0.
    ini.WriteBool(kVellixaImportSection, "1->1", true);
    ini.WriteBool(kVellixaImportSection, "Clear Faders 1", true);
    ini.WriteInteger(kVellixaImportSection, "Masterchannel", 40);
    loaded.Load(ini);
    EXPECT_TRUE(loaded.ClearFaders(0));
    EXPECT_FALSE(loaded.Map(0, 0));
    EXPECT_EQ(loaded.MasterChannel, 40);
    EXPECT_EQ(loaded.EffectiveMasterChannel(), 0);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace morvelant

namespace morvelant {
namespace {

TEST(VellixaFuzzCorpus, EverySeedPassesThroughTheConversion) {
    int seeds = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(MORVELANT_FUZZ_CORPUS_DIR) / "VellixaImportFuzz")) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        fuzz::FuzzVellixaImport(bytes.data(), bytes.size());
        ++seeds;
    }
    EXPECT_GE(seeds, 3);
}

}  // namespace
}  // namespace morvelant
