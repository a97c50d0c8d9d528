// The working sets at their edges: an unreadable one is left as it was, and
// one without buffers still keeps one (the round trip with buffers and the
// command-line file run through the started editor).
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
