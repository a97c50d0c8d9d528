// The working sets with their edit buffers: buffers come back, a file named
// on the command line lands from slot 64, an unreadable working set is left
// as it was, and a set without buffers still keeps one.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/FileCommands.h"
#include "model/SlotLists.h"
#include "platform/Dialogs.h"

namespace morvelant {
namespace {

namespace fs = std::filesystem;

struct WorkingSetTest : ::testing::Test {
    fs::path dir = fs::temp_directory_path() / ("slotlists-" + std::to_string(::getpid()));
    ScriptedDialogs dialogs;
    ScopedDialogs scope{dialogs};
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }
    std::string Path() const { return dir.string() + "/"; }
};

TEST_F(WorkingSetTest, BuffersComeBackAndACommandLineFileLandsFromSlot64) {
    for (SlotKind kind : {SlotKind::Presets, SlotKind::Patterns}) {
        const bool presets = kind == SlotKind::Presets;
        DeviceModel first(Path());
        for (int b = 0; b < 3; ++b) SetSlotName(first, kind, 64 + b, "Buf" + std::to_string(b));
        EditBufferCount(first, kind) = 3;
        ASSERT_TRUE(presets ? SavePresetWorkingSet(first) : SavePatternWorkingSet(first));
        const std::string extra = Path() + (presets ? "twelve.MVR" : "twelve.MVT");
        ASSERT_TRUE(presets ? WritePresetFile(first, extra, 12) : WritePatternFile(first, extra, 12));

        DeviceModel next(Path());
        ASSERT_TRUE(presets ? LoadPresetWorkingSet(next, "") : LoadPatternWorkingSet(next, ""));
        EXPECT_EQ(EditBufferCount(next, kind), 3);
        EXPECT_EQ(SlotName(next, kind, 66), "Buf2    ");

        DeviceModel withFile(Path());
        presets ? LoadPresetWorkingSet(withFile, extra) : LoadPatternWorkingSet(withFile, extra);
        EXPECT_EQ(CurrentSlot(withFile, kind), 64);
        EXPECT_EQ(EditBufferCount(withFile, kind), 12);  // the 12 records of the file, 64..75
    }
}

TEST_F(WorkingSetTest, AnUnreadableWorkingSetIsLeftAsItWasAtExit) {
    const std::string file = Path() + "Config.MVR";
    { std::ofstream(file, std::ios::binary) << "not a preset file"; }
    DeviceModel model(Path());
    EXPECT_FALSE(LoadPresetWorkingSet(model, ""));
    EXPECT_EQ(dialogs.Messages().size(), 1u);  // said once, at start
    EXPECT_EQ(model.PresetEditBufferCount, 1);
    EXPECT_TRUE(SavePresetWorkingSet(model));
    std::ifstream in(file, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "not a preset file");

    // A missing one is simply written.
    DeviceModel fresh(Path());
    EXPECT_FALSE(LoadPatternWorkingSet(fresh, ""));
    EXPECT_TRUE(SavePatternWorkingSet(fresh));
    EXPECT_TRUE(fs::exists(Path() + "Config.MVT"));
}

TEST_F(WorkingSetTest, AWorkingSetWithoutBuffersStillKeepsOneBuffer) {
    DeviceModel first(Path());
    ASSERT_TRUE(WritePresetFile(first, Path() + "Config.MVR", 64));
    DeviceModel model(Path());
    ASSERT_TRUE(LoadPresetWorkingSet(model, ""));
    EXPECT_EQ(model.PresetEditBufferCount, 1);
    EXPECT_EQ(DeleteEditBuffer(model, SlotKind::Presets, 0), 0);
    EXPECT_EQ(model.PresetEditBufferCount, 1);
}

}  // namespace
}  // namespace morvelant
