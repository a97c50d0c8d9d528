// The start and the end of a run as a user meets them in the started
// editor: dumps from the device for any slot are kept and listed, a pattern
// dump brings the pattern editors forward, a working set that cannot be read
// is never written over, and a copy without its single-instance lock never
// writes over another copy's working sets.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>

#include <filesystem>

#include "app/InstanceGuard.h"
#include "engine/FileCommands.h"
#include "engine/MidiInDeviceUnit.h"
#include "model/PresetFiles.h"
#include "model/SysexCodec.h"
#include "patterns/PatternFormUnit.h"
#include "patterns/PatternParameter.h"
#include "patterns/TrackParameter.h"
#include "presets/PresetFormUnit.h"
#include "presets/vellixaImport.h"
#include "tests/support/StartedEditor.h"

namespace morvelant {
namespace {

namespace fs = std::filesystem;
using testsupport::StartedEditor;

void ReceiveFromDevice(const SysexBuffer& dump) {
    for (const MidiEvent& e : dump) MidiDeviceForm->MvlPCInDeviceSysexData(MidiEvent{0, 0xF0, e.data1, 0, 0});
}

TEST(LifecycleStarted, AReceivedPatternShowsItsEditorsIsListedAndSaved) {
    StartedEditor editor;
    editor.Start();
    ASSERT_NE(MidiDeviceForm, nullptr);
    ASSERT_FALSE(TrackParameterForm->isVisible());
    ASSERT_FALSE(PatternParameterForm->isVisible());
    Pattern_Parameters pattern;
    pattern.W[200] = 99;
    SysexBuffer dump;
    BuildPatternDump(dump, 100, pattern);
    ReceiveFromDevice(dump);
    QApplication::processEvents();

    EXPECT_EQ(editor.Model().SelectedPattern, 100);
    EXPECT_TRUE(TrackParameterForm->isVisible());
    EXPECT_TRUE(PatternParameterForm->isVisible());
    EXPECT_TRUE(MainMenuForm->MainFormWindowsTrackParameters->isChecked());
    EXPECT_TRUE(MainMenuForm->MainFormWindowsStepParameters->isChecked());
    // Slot 100 is buffer 37: the list shows every buffer up to it.
    EXPECT_EQ(PatternForm->EditBuffersComboBox->count(), 37);

    editor.Stop();
    DeviceModel next(editor.Folder());
    ASSERT_TRUE(LoadPatternWorkingSet(next, ""));
    EXPECT_EQ(next.Patterns[100].W[200], 99);
}

TEST(LifecycleStarted, AReceivedKnobPresetPastTheBuffersIsListedAndSaved) {
    StartedEditor editor;
    editor.Start();
    vellixaImportForm->Settings().ShowDialog = false;
    std::vector<uint8_t> bytes = {0xF0, 0x00, 0x4D, 0x56, 0x14, 0x00, 0x20, 100, 0x00};
    for (int part = 0; part < 3; ++part)
        for (int k = 0; k < 16; ++k) bytes.push_back(static_cast<uint8_t>(part == 0 ? k + 1 : part == 1 ? 0 : 20 + k));
    bytes.push_back(0xF7);
    ReceiveFromDevice(DumpFromBytes(bytes));
    EXPECT_EQ(editor.Model().SelectedPreset, 100);
    EXPECT_EQ(PresetForm->EditBuffersComboBox->count(), 37);
    editor.Stop();
    DeviceModel next(editor.Folder());
    ASSERT_TRUE(LoadPresetWorkingSet(next, ""));
    EXPECT_EQ(next.Presets[100].FaderStatus(0), 0xB0);
}

TEST(LifecycleStarted, AWorkingSetThatCannotBeReadIsNeverWrittenOver) {
    StartedEditor editor;
    fs::create_directory(editor.Folder() + "Config.MVT");
    editor.Start();
    const std::string beside = editor.Folder() + "Config 2.MVT";
    ASSERT_EQ(editor.Dialogs.Messages().size(), 1u);
    EXPECT_NE(editor.Dialogs.Messages()[0].find(editor.Folder() + "Config.MVT\" could not be read"), std::string::npos);
    EXPECT_NE(editor.Dialogs.Messages()[0].find(beside), std::string::npos);
    editor.Model().Patterns[2].PatternNotes = "kept";
    editor.Stop();
    ASSERT_EQ(editor.Dialogs.Messages().size(), 2u);
    EXPECT_NE(editor.Dialogs.Messages()[1].find("saved to \"" + beside + "\""), std::string::npos);
    EXPECT_TRUE(fs::is_empty(editor.Folder() + "Config.MVT"));
    DeviceModel back(editor.Folder());
    ASSERT_TRUE(ReadPatternFile(back, beside));
    EXPECT_EQ(back.Patterns[2].PatternNotes, "kept");
}

TEST(LifecycleStarted, WithoutItsLockACopyNeverWritesOverAnother) {
    ScriptedDialogs dialogs;
    ScopedDialogs scope(dialogs);
    const std::string runtime = ::testing::TempDir() + "lifecycle-run-" + std::to_string(::getpid());
    const std::string program = runtime + "-program";
    fs::create_directories(runtime + "/MorvelantEditor");  // a folder where the lock file should be
    fs::create_directories(program);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);

    InstanceGuard first("MorvelantEditor", program);
    EXPECT_FALSE(first.AnotherCopyRuns());
    EXPECT_EQ(first.Decide(), StartDecision::Run);
    InstanceGuard second("MorvelantEditor", program);
    EXPECT_FALSE(second.AnotherCopyRuns());
    EXPECT_EQ(second.Decide(), StartDecision::Leave);
    // Each is told that the lock could not be made, and what follows.
    ASSERT_EQ(dialogs.Messages().size(), 2u);
    for (const std::string& text : dialogs.Messages())
        EXPECT_EQ(text.rfind("The editor could not make its single-instance lock \"" + runtime + "/MorvelantEditor\"", 0),
                  0u)
            << text;
    EXPECT_NE(dialogs.Messages()[1].find("Another copy of the editor is running"), std::string::npos);
    first.Release();
    InstanceGuard third("MorvelantEditor", program);
    EXPECT_FALSE(third.AnotherCopyRuns());
    EXPECT_EQ(third.Decide(), StartDecision::Run);
    // Without even the folder's lock, the session goes beside the working sets.
    InstanceGuard unsure("MorvelantEditor", program + "/gone");
    EXPECT_FALSE(unsure.AnotherCopyRuns());
    EXPECT_EQ(unsure.Decide(), StartDecision::RunSavingBeside);
    DeviceModel model(program);
    SaveWorkingSetsBeside(model);
    ASSERT_TRUE(SavePresetWorkingSet(model));
    EXPECT_FALSE(fs::exists(program + "/Config.MVR"));
    EXPECT_TRUE(fs::exists(program + "/Config 2.MVR"));

    ::unsetenv("XDG_RUNTIME_DIR");
    fs::remove_all(runtime);
    fs::remove_all(program);
}

}  // namespace
}  // namespace morvelant
