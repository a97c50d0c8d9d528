// A session's work survives an end at which its files cannot be written,
// in the started editor: a full disk, an unchangeable working set or
// program folder, an unusable configuration; and one program folder has one
// writer whatever the runtime folder.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "app/InstanceGuard.h"
#include "engine/FileCommands.h"
#include "platform/IniFile.h"
#include "tests/support/SessionEdits.h"
#include "tests/support/StartedEditor.h"
#include "tests/support/Unchangeable.h"
#include "tests/support/UserInput.h"

namespace morvelant {
namespace {

namespace fs = std::filesystem;
using testsupport::Edit;
using testsupport::SetImmutable;
using testsupport::StartedEditor;

// A small disk at `folder`, filled to the last byte.
bool FillSmallDisk(const std::string& folder) {
    if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=128k") != 0) return false;
    std::ofstream filler(folder + "filler", std::ios::binary);
    const std::string block(4096, 'x');
    while (filler.write(block.data(), std::streamsize(block.size())) && filler.flush()) {}
    return true;
}

// Gives the machine back as it was, however a case ends (a failed assertion
// returns at once): a folder's small disk unmounted, its files and itself
// changeable again, so that the folder can be removed.
class MachineRestored {
public:
    explicit MachineRestored(std::string folder) : folder_(std::move(folder)) {}
    ~MachineRestored() {
        ::umount2(folder_.c_str(), MNT_DETACH);
        for (const char* name : {"", "Config.MVR", "Config.MVT", "Morvelant.cfg"}) SetImmutable(folder_ + name, false);
    }
    MachineRestored(const MachineRestored&) = delete;
    MachineRestored& operator=(const MachineRestored&) = delete;

private:
    std::string folder_;
};

// The user's data folder of the test, and the session's edits in it.
class SaveRescue : public ::testing::Test {
protected:
    void SetUp() override {
        // Small disks and unchangeable files need root; the cases that use
        // neither run for any user. CI runs as root: a case skipped there
        // would pass unseen, so there it fails instead.
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        const bool needsRoot =
            name.rfind("AnUnusableConfiguration", 0) != 0 && name.rfind("TwoCopiesInOneProgramFolder", 0) != 0 &&
            name.rfind("ASavedFileKeepsItsMode", 0) != 0;
        if (needsRoot && ::geteuid() != 0) {
            const char* ci = std::getenv("MORVELANT_CI");
            if (ci && *ci) FAIL() << "needs root to mount a small disk and make files unchangeable, as CI runs";
            GTEST_SKIP() << "needs root to mount a small disk and make files unchangeable";
        }
        ::setenv("XDG_DATA_HOME", data_.path().toStdString().c_str(), 1);
    }
    void TearDown() override { ::unsetenv("XDG_DATA_HOME"); }
    std::string DataFolder() const { return data_.path().toStdString() + "/MorvelantEditor/"; }

    // The session's edits are in the files `presets` and `patterns`.
    static void ExpectEdits(const std::string& presets, const std::string& patterns) {
        DeviceModel back;
        ASSERT_TRUE(ReadPresetFile(back, presets)) << presets;
        ASSERT_TRUE(ReadPatternFile(back, patterns)) << patterns;
        EXPECT_NE(back.GetPresetDeviceName(3).find("KEPT"), std::string::npos);
        EXPECT_NE(back.GetPatternName(2).find("KEPT"), std::string::npos);
    }
    static bool SaidSavedTo(const StartedEditor& editor, const std::string& file) {
        for (const std::string& text : editor.Dialogs.Messages())
            if (text.find("saved to \"" + file + "\"") != std::string::npos) return true;
        return false;
    }

    QTemporaryDir data_;
};

// Whatever refuses the save, the answer Cancel keeps the work in the first
// place that takes it, and the user is told where.
TEST_F(SaveRescue, AnEndThatCannotWriteKeepsTheSessionWhereItCan) {
    struct Case {
        const char* refusal;
        std::function<bool(StartedEditor&)> refuse;  // after a first run wrote the files
        bool besideWorks;
    };
    const Case cases[] = {
        {"a full disk", [](StartedEditor& e) { return FillSmallDisk(e.Folder()); }, false},
        {"unchangeable files",
         [](StartedEditor& e) {
             return SetImmutable(e.Folder() + "Config.MVR", true) && SetImmutable(e.Folder() + "Config.MVT", true) &&
                 SetImmutable(e.Folder() + "Morvelant.cfg", true);
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refusal);
        StartedEditor editor;
        const std::string folder = editor.Folder();
        const MachineRestored restored(folder);
        if (c.besideWorks) {
            editor.Start();
            editor.Stop();
        }
        ASSERT_TRUE(c.refuse(editor));
        editor.Start();
        Edit(editor, QStringLiteral("KEPT"));
        editor.Dialogs.messageAnswers = {MessageResult::Cancel, MessageResult::Ok, MessageResult::Cancel,
                                         MessageResult::Ok, MessageResult::Cancel, MessageResult::Ok};
        editor.Stop();
        const std::string place = c.besideWorks ? folder + "Config 2" : DataFolder() + "Config";
        ExpectEdits(place + ".MVR", place + ".MVT");
        EXPECT_TRUE(SaidSavedTo(editor, place + ".MVR"));
        EXPECT_TRUE(SaidSavedTo(editor, place + ".MVT"));
        const std::string settings = c.besideWorks ? folder + "Morvelant 2.cfg" : DataFolder() + "Morvelant.cfg";
        EXPECT_TRUE(SaidSavedTo(editor, settings));
        EXPECT_EQ(TIniFile(settings).ReadInteger("Options", "Selected Preset", -1), 5);
        fs::remove_all(DataFolder());
    }
}

// No saves where the user chooses; Yes tries again, and works once the
// user has made room on the disk.
TEST_F(SaveRescue, TheUserMayChooseAnotherFileOrTryAgain) {
    StartedEditor editor;
    const std::string folder = editor.Folder();
    const MachineRestored restored(folder);
    ASSERT_TRUE(FillSmallDisk(folder));
    editor.Start();
    Edit(editor, QStringLiteral("KEPT"));
    struct MakesRoomBeforeTryingAgain : ScriptedDialogs {
        std::string filler;
        MessageResult MessageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                                 MessageIcon icon) override {
            const MessageResult answer = ScriptedDialogs::MessageBox(text, caption, buttons, icon);
            if (answer == MessageResult::Yes) fs::remove(filler);
            return answer;
        }
    } dialogs;
    dialogs.filler = folder + "filler";
    const std::string chosen = data_.path().toStdString() + "/chosen.MVR";
    dialogs.messageAnswers = {MessageResult::No, MessageResult::Ok, MessageResult::Yes};
    dialogs.QueueSave(chosen);
    {
        ScopedDialogs scope(dialogs);
        editor.Stop();
    }
    ExpectEdits(chosen, folder + "Config.MVT");
    ASSERT_EQ(dialogs.Messages().size(), 3u);
    EXPECT_NE(dialogs.Messages()[0].find("Could not save \"" + folder + "Config.MVR\""), std::string::npos);
    EXPECT_TRUE(dialogs.Messages()[1].find("saved to \"" + chosen + "\"") != std::string::npos);
    EXPECT_NE(dialogs.Messages()[2].find("Could not save \"" + folder + "Config.MVT\""), std::string::npos);
}

// A program folder that cannot be written is said at start, with where the
// session will be kept; the end then saves there without a question.
TEST_F(SaveRescue, AReadOnlyProgramFolderIsSaidAtStartAndTheSessionKeptInTheDataFolder) {
    StartedEditor editor;
    const std::string folder = editor.Folder();
    const MachineRestored restored(folder);
    ASSERT_TRUE(SetImmutable(folder, true));
    editor.Start();
    ASSERT_EQ(editor.Dialogs.Messages().size(), 1u);
    EXPECT_NE(editor.Dialogs.Messages()[0].find("kept in \"" + DataFolder().substr(0, DataFolder().size() - 1)),
              std::string::npos);
    Edit(editor, QStringLiteral("KEPT"));
    editor.Stop();
    ExpectEdits(DataFolder() + "Config.MVR", DataFolder() + "Config.MVT");
    EXPECT_TRUE(fs::exists(DataFolder() + "Morvelant.cfg"));
    for (const auto& call : editor.Dialogs.calls) EXPECT_NE(call.buttons, MessageButtons::YesNoCancel) << call.text;
}

// A configuration that is no usable file is said once at start, left as it
// is, and this session's settings are saved beside it.
TEST_F(SaveRescue, AnUnusableConfigurationIsKeptAndTheSettingsGoBesideIt) {
    for (const auto& [kind, make] : testsupport::UnusableConfigurations()) {
        SCOPED_TRACE(kind);
        StartedEditor editor;
        const std::string config = editor.Folder() + "Morvelant.cfg";
        make(config);
        const fs::file_status before = fs::symlink_status(config);
        const auto size = fs::is_regular_file(before) ? fs::file_size(config) : 0;
        editor.Start();
        ASSERT_EQ(editor.Dialogs.Messages().size(), 1u);
        EXPECT_NE(editor.Dialogs.Messages()[0].find(editor.Folder() + "Morvelant 2.cfg"), std::string::npos);
        editor.Stop();
        EXPECT_EQ(editor.Dialogs.Messages().size(), 1u);  // once
        EXPECT_EQ(fs::symlink_status(config).type(), before.type());
        if (fs::is_regular_file(before)) { EXPECT_EQ(fs::file_size(config), size); }
        // The session's window places are there (where the screen put them).
        EXPECT_GE(TIniFile(editor.Folder() + "Morvelant 2.cfg").ReadInteger("Main Form", "Left", -1), 0);
    }
}

// Whatever runtime folder each copy has, the program folder's lock lets
// only one of them work with its working sets; the other is told and ends.
// A save on a full disk says why, whichever file it is: a MIDI file as a
// preset file (the device window's Ctrl+S, the file dialog answered).
TEST_F(SaveRescue, ASaveOnAFullDiskSaysWhy) {
    StartedEditor editor;
    QTemporaryDir disk;
    const std::string folder = disk.path().toStdString() + "/";
    const MachineRestored restored(folder);
    editor.Start();
    ASSERT_TRUE(FillSmallDisk(folder));
    for (const char* name : {"full.MID", "full.MVR"}) {
        SCOPED_TRACE(name);
        editor.Dialogs.calls.clear();
        editor.Dialogs.QueueSave(folder + name);
        userinput::FocusOn(MainForm);
        userinput::KeyClick(nullptr, Qt::Key_S, Qt::ControlModifier);
        const auto said = editor.Dialogs.Messages();
        ASSERT_EQ(said.size(), 1u);
        EXPECT_NE(said[0].find("No space left on device"), std::string::npos) << said[0];
        EXPECT_FALSE(fs::exists(folder + name));
    }
    editor.Stop();
}

TEST_F(SaveRescue, TwoCopiesInOneProgramFolderNeverBothRun) {
    ScriptedDialogs dialogs;
    ScopedDialogs scope(dialogs);
    QTemporaryDir program, firstRuntime, secondRuntime;
    ::setenv("XDG_RUNTIME_DIR", firstRuntime.path().toStdString().c_str(), 1);
    InstanceGuard first("MorvelantEditor", program.path().toStdString());
    EXPECT_FALSE(first.AnotherCopyRuns());
    EXPECT_EQ(first.Decide(), StartDecision::Run);
    for (const std::string& runtime : {secondRuntime.path().toStdString(), std::string()}) {
        if (runtime.empty())
            ::unsetenv("XDG_RUNTIME_DIR");
        else
            ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        InstanceGuard second("MorvelantEditor", program.path().toStdString());
        second.AnotherCopyRuns();
        EXPECT_EQ(second.Decide(), StartDecision::Leave) << runtime;
        EXPECT_NE(dialogs.Messages().back().find("Another copy of the editor is running"), std::string::npos);
    }
    ::unsetenv("XDG_RUNTIME_DIR");
}

// Files the user made private stay so when the editor saves them, and a
// preset file whose name leaves just room for ".BAK" is saved again and
// again (Ctrl+S), its backup beside it.
TEST_F(SaveRescue, ASavedFileKeepsItsModeAndALongNameIsSavedAgain) {
    StartedEditor editor;
    const std::string folder = editor.Folder();
    editor.Start();
    editor.Stop();
    const std::pair<const char*, fs::perms> kept[] = {
        {"Morvelant.cfg", fs::perms(0600)}, {"Config.MVR", fs::perms(0640)}, {"Config.MVT", fs::perms(0604)}};
    for (const auto& [name, mode] : kept) fs::permissions(folder + name, mode);
    editor.Start();
    Edit(editor, QStringLiteral("KEPT"));
    const std::string presets = folder + std::string(246, 'p') + ".MVR";  // a name of 250 bytes
    for (int save = 0; save < 3; ++save) {
        editor.Dialogs.QueueSave(presets);
        userinput::FocusOn(MainForm);  // the device window, whose File menu saves the preset
        userinput::KeyClick(nullptr, Qt::Key_S, Qt::ControlModifier);
        std::error_code notSaved;
        if (save == 0) fs::permissions(presets, fs::perms(0600), notSaved);
    }
    editor.Stop();
    EXPECT_EQ(editor.Dialogs.CallsOf(ScriptedDialogs::Kind::Save).size(), 3u);
    for (const std::string& text : editor.Dialogs.Messages()) ADD_FAILURE() << text;
    for (const auto& [name, mode] : kept) EXPECT_EQ(fs::status(folder + name).permissions(), mode) << name;
    EXPECT_EQ(fs::status(presets).permissions(), fs::perms(0600));
    DeviceModel back;
    EXPECT_TRUE(ReadPresetFile(back, presets));
    EXPECT_TRUE(ReadPresetFile(back, presets + ".BAK"));
}

}  // namespace
}  // namespace morvelant
