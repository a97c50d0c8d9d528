// The started editor (its whole window set, offscreen, the driver library on
// its loopback ports) saves the current preset and pattern as MIDI files
// through the menu commands and loads them back into other slots, with the
// dialogs answered by the test.

#include <gtest/gtest.h>

#include <QAction>

#include <fstream>
#include <string>

#include "engine/FileCommands.h"
#include "model/PresetFiles.h"
#include "presets/vellixaImport.h"
#include "tests/support/StartedEditor.h"

namespace morvelant {
namespace {

std::string ReadText(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& file, const std::string& bytes) { std::ofstream(file, std::ios::binary) << bytes; }

// A format-0 MIDI file of one track holding `events` (delta-timed bytes).
std::string Smf(const std::string& events) {
    const std::string track = events + std::string("\x00\xFF\x2F\x00", 4);
    std::string length(4, '\0');
    for (int i = 0; i < 4; ++i) length[std::size_t(i)] = char(track.size() >> (8 * (3 - i)));
    return std::string("MThd\x00\x00\x00\x06\x00\x00\x00\x01\x00\x60", 14) + "MTrk" + length + track;
}

class MidiFileCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetFileDialogs();
        editor.Start();
        path = editor.Folder();
    }

    DeviceModel& M() { return editor.Model(); }
    void Trigger(const char* item) {
        auto* action = MainMenuForm->findChild<QAction*>(QString::fromLatin1(item));
        ASSERT_NE(action, nullptr) << item;
        action->trigger();
    }
    std::vector<uint8_t> PresetDumps(int n) {
        SysexBuffer ev;
        BuildPresetValueDump(M(), ev, 0, n);
        BuildPresetTextDump(M(), ev, 0, n);
        return DumpBytes(ev);
    }
    std::vector<uint8_t> PatternDump(int n) {
        SysexBuffer ev;
        BuildPatternDump(M(), ev, 0, n);
        return DumpBytes(ev);
    }

    testsupport::StartedEditor editor;
    ScriptedDialogs& dialogs = editor.Dialogs;
    std::string path;
};

TEST_F(MidiFileCommandsTest, PresetAndPatternGoThroughMidiFilesIntoOtherSlots) {
    M().SelectedPreset = 5;
    M().SetPresetDeviceName(5, "Organ");
    M().Presets[5].FaderValue(3) = 99;
    M().Presets[5].FaderStatus(2) = 0xF0;
    M().Presets[5].FaderString[2] = "B0 07 XX";
    M().Presets[5].SliderName[4] = "Bass";
    M().Presets[5].PresetNotes = "preset\r\nnotes";
    WriteBytes(path + "p.MID", "older");
    dialogs.QueueSave(path + "p.MID");
    Trigger("SinglePreset7");
    EXPECT_EQ(ReadText(path + "p.MID.BAK"), "older");
    EXPECT_EQ(ReadText(path + "p.TXT"), "preset\r\nnotes\r\n");

    M().SelectedPreset = 9;
    dialogs.QueueOpen(path + "p.MID");
    Trigger("SinglePreset6");
    EXPECT_EQ(PresetDumps(9), PresetDumps(5));
    EXPECT_EQ(M().Presets[9].PresetNotes, "preset\r\nnotes");
    EXPECT_EQ(M().VellixaKnobNames[0], "Knob 1");  // no ".CFG" beside it

    M().SelectedPattern = 2;
    M().SetPatternName(2, "Groove");
    M().Patterns[2].StepNote(1, 4) = 61;
    M().Patterns[2].PatternNotes = "pattern notes";
    dialogs.QueueSave(path + "g.mid");
    Trigger("SinglePattern4");
    EXPECT_EQ(ReadText(path + "g.TXT"), "pattern notes\r\n");
    M().SelectedPattern = 70;
    dialogs.QueueOpen(path + "g.mid");
    Trigger("SinglePattern3");
    EXPECT_EQ(PatternDump(70), PatternDump(2));
    EXPECT_EQ(M().Patterns[70].PatternNotes, "pattern notes");
    EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(MidiFileCommandsTest, KnobPresetBringsItsCfgAndNtsCompanions) {
    // A knob controller's preset message, its knob names and its notes.
    // A whole knob preset: 58 bytes from F0 to F7.
    std::string knob("\xF0\x00\x4D\x56\x14\x00\x20\x01\x10", 9);
    knob.resize(57, '\x20');
    knob += '\xF7';
    WriteBytes(path + "k.MID", Smf(std::string("\x00\xF0\x39", 3) + knob.substr(1)));
    WriteBytes(path + "k.CFG", "[1]\r\n1=Cutoff\r\nN=My Set\r\n");
    WriteBytes(path + "k.NTS",
               std::string("\0\0\0\0\x0E\0\0\0", 8) + "vellixa Editor" + std::string("\x01\0\0\0\x0A\0\0\0", 8) +
                   "knob notes");
    WriteBytes(path + "k.TXT", "not these");
    M().SelectedPreset = 11;
    // The conversion's settings dialog is not part of this test.
    vellixaImportForm->Settings().ShowDialog = false;
    dialogs.QueueOpen(path + "k.MID");
    Trigger("SinglePreset6");
    EXPECT_TRUE(M().VellixaLoaded);
    EXPECT_EQ(M().VellixaKnobNames[0], "Cutoff");
    EXPECT_EQ(M().VellixaKnobNames[1], "Knob 2");
    EXPECT_EQ(M().VellixaPresetName, "My Set");
    // The conversion adds what it imported after the file's notes.
    EXPECT_EQ(M().Presets[11].PresetNotes.rfind("knob notes", 0), 0u) << M().Presets[11].PresetNotes;
}

TEST_F(MidiFileCommandsTest, CancelledDialogsAndFilesWithoutDumpsChangeNothing) {
    M().SelectedPreset = 4;
    M().SelectedPattern = 4;
    M().Presets[4].PresetNotes = "keep";
    const auto presets = M().Presets;
    const auto patterns = M().Patterns;
    dialogs.QueueSave(std::nullopt);
    Trigger("SinglePreset7");
    dialogs.QueueOpen(std::nullopt);
    Trigger("SinglePreset6");
    dialogs.QueueOpen(std::nullopt);
    Trigger("SinglePattern3");
    EXPECT_TRUE(dialogs.Messages().empty());

    WriteBytes(path + "song.MID", Smf(std::string("\x00\x90\x3C\x64", 4)));
    WriteBytes(path + "song.TXT", "song notes");
    dialogs.QueueOpen(path + "song.MID");
    Trigger("SinglePreset6");
    dialogs.QueueOpen(path + "song.MID");
    Trigger("SinglePattern3");
    ASSERT_EQ(dialogs.Messages().size(), 2u);
    EXPECT_NE(dialogs.Messages()[0].find("holds no preset or pattern dump"), std::string::npos);
    EXPECT_TRUE(M().Presets == presets);
    EXPECT_TRUE(M().Patterns == patterns);
}

}  // namespace
}  // namespace morvelant
