// The started editor (its whole window set, offscreen, the driver library on
// its loopback ports) saves the current preset and pattern as MIDI files
// through the menu commands and loads them back into other slots, with the
// dialogs answered by the test.

#include <gtest/gtest.h>

#include <QAction>
#include <QTemporaryDir>

#include <cstdlib>
#include <fstream>
#include <string>

#include "app/EditorWindowSet.h"
#include "engine/FileCommands.h"
#include "model/PresetFiles.h"
#include "platform/Dialogs.h"
#include "shell/Main.h"
#include "shell/MainMenu.h"
#include "tests/support/QtWidgetApp.h"

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

class MainMidiFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::WidgetApp(/*offscreen=*/true);
        ::setenv("MIDIKIT_BACKEND", "loopback", 1);
        ASSERT_TRUE(dir.isValid());
        path = dir.path().toStdString() + "/";
        ResetFileDialogs();
        windows.Create(path, {});
        ASSERT_NE(MainForm, nullptr);
    }
    void TearDown() override { windows.DestroyAll(); }

    DeviceModel& M() { return MainForm->Model; }
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

    QTemporaryDir dir;
    std::string path;
    ScriptedDialogs dialogs;
    ScopedDialogs scope{dialogs};
    EditorWindowSet windows;
};

TEST_F(MainMidiFileTest, PresetAndPatternGoThroughMidiFilesIntoOtherSlots) {
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

TEST_F(MainMidiFileTest, KnobPresetBringsItsCfgAndNtsCompanions) {
    // A knob controller's preset message, its knob names and its notes.
    WriteBytes(path + "k.MID", Smf(std::string("\x00\xF0\x08\x00\x4D\x56\x14\x00\x20\x01\xF7", 11)));
    WriteBytes(path + "k.CFG", "[1]\r\n1=Cutoff\r\nN=My Set\r\n");
    const std::string notes = "knob notes";
    std::string nts(4, '\0');
    auto int32 = [&nts](uint32_t v) {
        for (int i = 0; i < 4; ++i) nts += char(v >> (8 * i));
    };
    int32(14);
    nts += "vellixa Editor";
    int32(1);
    int32(uint32_t(notes.size()));
    nts += notes;
    WriteBytes(path + "k.NTS", nts);
    WriteBytes(path + "k.TXT", "not these");
    M().SelectedPreset = 11;
    dialogs.QueueOpen(path + "k.MID");
    Trigger("SinglePreset6");
    EXPECT_TRUE(M().VellixaLoaded);
    EXPECT_EQ(M().VellixaKnobNames[0], "Cutoff");
    EXPECT_EQ(M().VellixaKnobNames[1], "Knob 2");
    EXPECT_EQ(M().VellixaPresetName, "My Set");
    EXPECT_EQ(M().Presets[11].PresetNotes, notes);
}

TEST_F(MainMidiFileTest, CancelledDialogsAndFilesWithoutDumpsChangeNothing) {
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
