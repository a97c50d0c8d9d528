// The working sets at their edges: an unreadable one is left as it was, and
// one without buffers still keeps one (the round trip with buffers and the
// command-line file run through the started editor).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <functional>
#include <vector>

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

std::string Contents(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(WorkingSetTest, AnUnreadableWorkingSetStaysAndTheSessionGoesBesideIt) {
    const std::string file = Path() + "Config.MVR";
    const std::string beside = Path() + "Config 2.MVR";
    DeviceModel source(Path());
    std::vector<uint8_t> whole = EncodePresetFile(source, std::vector<int>{0});
    const std::string damaged(whole.begin(), whole.begin() + 40);
    struct Case {
        const char* what;
        std::function<void()> make;
        const char* why;
    };
    const Case cases[] = {
        {"another kind of file", [&] { std::ofstream(file, std::ios::binary) << "not a preset file"; },
         "illegal file version"},
        {"damaged", [&] { std::ofstream(file, std::ios::binary) << damaged; }, "damaged"},
        {"a folder", [&] { fs::create_directory(file); }, "not a file"},
    };
    for (const Case& c : cases) {
        c.make();
        dialogs.calls.clear();
        DeviceModel model(Path());
        EXPECT_FALSE(LoadPresetWorkingSet(model, "")) << c.what;
        EXPECT_EQ(model.PresetEditBufferCount, 1);
        // Said once at start: which file, why, and where this session goes.
        ASSERT_EQ(dialogs.Messages().size(), 1u) << c.what;
        const std::string start = dialogs.Messages()[0];
        EXPECT_TRUE(Has(start, "\"" + file + "\" could not be read")) << start;
        EXPECT_TRUE(Has(start, c.why)) << start;
        EXPECT_TRUE(Has(start, "\"" + beside + "\"")) << start;
        EXPECT_EQ(start.rfind("illegal file version", 0) == 0, std::string(c.why) == "illegal file version");

        model.Presets[3].PresetNotes = "made this session";
        EXPECT_TRUE(SavePresetWorkingSet(model));
        ASSERT_EQ(dialogs.Messages().size(), 2u);
        EXPECT_TRUE(Has(dialogs.Messages()[1], "saved to \"" + beside + "\"")) << dialogs.Messages()[1];
        // The working set is as it was; the session's work reads back.
        if (fs::is_directory(file))
            EXPECT_TRUE(fs::is_empty(file));
        else
            EXPECT_TRUE(Contents(file) == "not a preset file" || Contents(file) == damaged);
        DeviceModel back(Path());
        ASSERT_TRUE(ReadPresetFile(back, beside)) << c.what;
        EXPECT_EQ(back.Presets[3].PresetNotes, "made this session");
        fs::remove_all(file);
        fs::remove(beside);
        fs::remove(beside + ".BAK");
    }

    // A missing one is simply written, without a word.
    dialogs.calls.clear();
    DeviceModel fresh(Path());
    EXPECT_FALSE(LoadPatternWorkingSet(fresh, ""));
    EXPECT_TRUE(SavePatternWorkingSet(fresh));
    EXPECT_TRUE(fs::exists(Path() + "Config.MVT"));
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(WorkingSetTest, NothingIsTakenOrWrittenThatTheReaderCouldNotReadBack) {
    DeviceModel model(Path());
    ASSERT_TRUE(SavePresetWorkingSet(model));
    const std::string before = Contents(Path() + "Config.MVR");
    // A file just under the reader's limit, nearly all notes: alone it is
    // read, but the working set with it would not be.
    DeviceModel source(Path());
    source.Presets[1].PresetNotes.assign(kMaxEditorFileSize - 4096, 'n');
    const std::vector<uint8_t> bytes = EncodePresetFile(source, std::vector<int>{1});
    ASSERT_LE(bytes.size(), kMaxEditorFileSize);
    { std::ofstream(Path() + "notes.MVR", std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size())); }
    source.Presets[1].PresetNotes.clear();

    EXPECT_FALSE(ReadPresetFile(model, Path() + "notes.MVR"));
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_TRUE(Has(dialogs.Messages()[0], "notes.MVR\" was not loaded")) << dialogs.Messages()[0];
    EXPECT_TRUE(Has(dialogs.Messages()[0], "64 MiB")) << dialogs.Messages()[0];
    EXPECT_TRUE(model.Presets[1].PresetNotes.empty());

    // Notes grown in the editor itself: the working set is not replaced by a
    // file that the next start would refuse.
    model.Presets[1].PresetNotes.assign(kMaxEditorFileSize, 'n');
    // No place takes it either, nor the last places behind the second Cancel.
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    for (const char* variable : {"XDG_DATA_HOME", "HOME", "TMPDIR"}) ::setenv(variable, dir.c_str(), 1);
    dialogs.messageAnswers = {MessageResult::Cancel, MessageResult::Cancel};
    EXPECT_FALSE(SavePresetWorkingSet(model));
    for (const char* variable : {"XDG_DATA_HOME", "TMPDIR"}) ::unsetenv(variable);
    ::setenv("HOME", home.c_str(), 1);
    ASSERT_EQ(dialogs.Messages().size(), 4u);
    EXPECT_TRUE(Has(dialogs.Messages()[1], "Config.MVR")) << dialogs.Messages()[1];
    EXPECT_TRUE(Has(dialogs.Messages()[2], "Nor could they be kept there")) << dialogs.Messages()[2];
    EXPECT_TRUE(Has(dialogs.Messages()[3], "could not be saved anywhere")) << dialogs.Messages()[3];
    EXPECT_EQ(Contents(Path() + "Config.MVR"), before);
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

// What the working set held at start is known, so an exit after a session
// that changed nothing neither reads nor writes it; a change is written.
TEST_F(WorkingSetTest, AnExitAfterNoChangeLeavesTheFileUntouchedAndAChangeIsWritten) {
    const std::string file = Path() + "Config.MVR";
    DeviceModel first(Path());
    ASSERT_TRUE(WritePresetFile(first, file, 64));
    DeviceModel model(Path());
    ASSERT_TRUE(LoadPresetWorkingSet(model, ""));
    // Another program put other bytes there meanwhile: no read-back may
    // mistake the session for changed, and nothing is written over them.
    std::ofstream(file, std::ios::binary | std::ios::app) << "x";
    const std::string outside = Contents(file);
    EXPECT_TRUE(SavePresetWorkingSet(model));
    EXPECT_EQ(Contents(file), outside);
    EXPECT_FALSE(fs::exists(file + ".BAK"));
    model.SetPresetDeviceName(0, "Changed ");
    EXPECT_TRUE(SavePresetWorkingSet(model));
    EXPECT_NE(Contents(file), outside);
    DeviceModel again(Path());
    ASSERT_TRUE(LoadPresetWorkingSet(again, ""));
    EXPECT_EQ(again.GetPresetDeviceName(0), "Changed ");
}

}  // namespace
}  // namespace morvelant
