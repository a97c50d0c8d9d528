// What the editor keeps for a user comes back at the next start, in the
// started editor: an installed copy (a program folder that cannot be
// written) over three sessions, settings kept beside an unusable
// configuration over two, a session with nowhere to write, and an end
// killed while it asks.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/InstanceGuard.h"
#include "app/SessionPlace.h"
#include "engine/FileCommands.h"
#include "platform/IniFile.h"
#include "tests/support/FileBytes.h"
#include "tests/support/SessionEdits.h"
#include "tests/support/StartedEditor.h"
#include "tests/support/Unchangeable.h"

namespace morvelant {
namespace {

namespace fs = std::filesystem;
using testsupport::Edit;
using testsupport::SetImmutable;
using testsupport::StartedEditor;
using testsupport::Unchangeable;

// Every file in a folder with the time it was last changed.
std::map<std::string, fs::file_time_type> Listing(const std::string& folder) {
    std::map<std::string, fs::file_time_type> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) files[entry.path().filename()] = entry.last_write_time();
    return files;
}

class SessionPlace : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0) GTEST_SKIP() << "needs root to make folders unchangeable";
        ::setenv("XDG_DATA_HOME", data_.path().toStdString().c_str(), 1);
    }
    void TearDown() override {
        for (const char* name : {"XDG_DATA_HOME", "XDG_RUNTIME_DIR"}) ::unsetenv(name);
        ::setenv("HOME", home_.c_str(), 1);
    }
    std::string DataFolder() const { return data_.path().toStdString() + "/MorvelantEditor"; }
    // Every message said since the last look, and no more.
    static std::vector<std::string> Said(StartedEditor& editor) {
        const auto said = editor.Dialogs.Messages();
        editor.Dialogs.calls.clear();
        return said;
    }

    static bool Holds(const DeviceModel& model, const std::string& name) {
        return model.GetPresetDeviceName(3).find(name) != std::string::npos &&
            model.GetPatternName(2).find(name) != std::string::npos;
    }
    QTemporaryDir data_;
    const std::string home_ = std::getenv("HOME") ? std::getenv("HOME") : "";
};

// Bytes that no reader of the editor takes.
std::string Garbage(char seed) { return std::string(4000, '\0') + seed; }

// An installed copy keeps its sets and settings in the data folder under
// their own names, reads them back, writes nothing when nothing changed,
// says where once, and makes the data folder for this user alone.
TEST_F(SessionPlace, AnInstalledCopyReadsBackWhatItKeptInTheDataFolder) {
    StartedEditor editor;
    Unchangeable lock;
    editor.Start();  // the files as shipped
    editor.Stop();
    ASSERT_TRUE(lock.Add(editor.Folder()));
    const auto shipped = Listing(editor.Folder());

    // A session that changes nothing keeps no working sets there (the
    // settings are written when a window moved), and it is said again.
    editor.Start();
    editor.Stop();
    EXPECT_FALSE(fs::exists(DataFolder() + "/Config.MVR"));
    EXPECT_FALSE(fs::exists(DataFolder() + "/Config.MVT"));
    ASSERT_EQ(editor.Dialogs.Messages().size(), 1u);
    EXPECT_NE(editor.Dialogs.Messages()[0].find("kept in \"" + DataFolder() + "\""), std::string::npos);

    editor.Start();
    Edit(editor, "KEPT");
    editor.Stop();
    for (const char* name : {"Config.MVR", "Config.MVT", "Morvelant.cfg"}) EXPECT_TRUE(fs::exists(DataFolder() + "/" + name)) << name;
    EXPECT_EQ(fs::status(DataFolder()).permissions() & fs::perms::all, fs::perms::owner_all);
    const auto kept = Listing(DataFolder());

    // Two more sessions that change nothing: the edits come back, nothing
    // is said or written, and no file piles up.
    for (int session = 0; session < 2; ++session) {
        SCOPED_TRACE(session);
        editor.Dialogs.calls.clear();
        editor.Start();
        EXPECT_TRUE(Holds(editor.Model(), "KEPT"));
        EXPECT_EQ(editor.Model().SelectedPreset, 5);
        editor.Stop();
        EXPECT_TRUE(editor.Dialogs.Messages().empty()) << editor.Dialogs.Messages().front();
        EXPECT_EQ(Listing(DataFolder()), kept);
    }
    EXPECT_EQ(Listing(editor.Folder()), shipped);
}

// Settings kept beside a configuration that is no usable file are read
// from there at the next start (which says so) and saved there again.
TEST_F(SessionPlace, SettingsKeptBesideAnUnusableConfigurationComeBack) {
    for (const auto& [kind, make] : testsupport::UnusableConfigurations()) {
        SCOPED_TRACE(kind);
        StartedEditor editor;
        make(editor.Folder() + "Morvelant.cfg");
        const std::string beside = editor.Folder() + "Morvelant 2.cfg";
        editor.Start();
        editor.Model().SelectedPreset = 5;
        editor.Stop();
        editor.Dialogs.calls.clear();
        editor.Start();
        ASSERT_EQ(editor.Dialogs.Messages().size(), 1u);
        EXPECT_NE(editor.Dialogs.Messages()[0].find("read from \"" + beside + "\""), std::string::npos)
            << editor.Dialogs.Messages()[0];
        EXPECT_EQ(editor.Model().SelectedPreset, 5);
        editor.Model().SelectedPreset = 6;
        editor.Stop();
        EXPECT_EQ(editor.Dialogs.Messages().size(), 1u);
        EXPECT_EQ(TIniFile(beside).ReadInteger("Options", "Selected Preset", -1), 6);
        EXPECT_FALSE(fs::exists(editor.Folder() + "Morvelant 3.cfg"));
    }
}

// A working set that cannot be read is left as it is, and the session goes
// to one file beside it, which the next start reads back (and says so) and
// saves again: in the program folder and in an installed copy's data folder.
TEST_F(SessionPlace, AWorkingSetThatCannotBeReadIsKeptBesideOnceAndReadBack) {
    std::string garbage(80000, '\0');
    for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = char((i * 2654435761u) >> 13);
    for (const bool installed : {false, true}) {
        SCOPED_TRACE(installed ? "installed" : "program folder");
        StartedEditor editor;
        Unchangeable lock;
        const std::string folder = installed ? DataFolder() + "/" : editor.Folder();
        fs::create_directories(folder);
        std::ofstream(folder + "Config.MVR", std::ios::binary) << garbage;
        std::ofstream(folder + "Config.MVT", std::ios::binary).flush();
        ASSERT_TRUE(!installed || lock.Add(editor.Folder()));
        for (const char* session : {"FIRST", "SECOND"}) {
            editor.Dialogs.calls.clear();
            editor.Start();
            if (std::string(session) == "SECOND") {
                EXPECT_TRUE(Holds(editor.Model(), "FIRST"));
                const auto said = editor.Dialogs.Messages();
                ASSERT_EQ(said.size(), 2u);
                EXPECT_NE(said[0].find("read from \"" + folder + "Config 2.MVR\""), std::string::npos) << said[0];
                EXPECT_NE(said[1].find("read from \"" + folder + "Config 2.MVT\""), std::string::npos) << said[1];
            }
            Edit(editor, session);
            editor.Stop();
        }
        DeviceModel back;
        ASSERT_TRUE(ReadPresetFile(back, folder + "Config 2.MVR"));
        ASSERT_TRUE(ReadPatternFile(back, folder + "Config 2.MVT"));
        EXPECT_TRUE(Holds(back, "SECOND"));
        for (const char* name : {"Config 3.MVR", "Config 3.MVT"}) EXPECT_FALSE(fs::exists(folder + name)) << name;
        EXPECT_EQ(testsupport::Slurp(folder + "Config.MVR"), garbage);
        EXPECT_EQ(fs::file_size(folder + "Config.MVT"), 0u);
        fs::remove_all(DataFolder());
    }
}

// Beside an unusable working set or configuration, the user's own copies
// ("Config 2.MVR", "Morvelant 2.cfg") are never taken for the files the
// editor keeps there: over two sessions they stay byte for byte, without a
// backup, and the session goes to files of the editor's own, read back at
// the next start. A kept file that cannot be read is said and left as is.
TEST_F(SessionPlace, TheUsersOwnNumberedFilesAreNeverTakenNorWrittenOver) {
    StartedEditor editor;
    const std::string folder = editor.Folder();
    editor.Start();
    editor.Stop();
    std::map<std::string, std::string> own;
    for (const auto& [name, copy] : {std::pair<std::string, std::string>{"Config.MVR", "Config 2.MVR"},
                                     {"Config.MVT", "Config 2.MVT"},
                                     {"Morvelant.cfg", "Morvelant 2.cfg"}}) {
        fs::copy_file(folder + name, folder + copy);
        own[copy] = testsupport::Slurp(folder + copy);
        std::ofstream(folder + name, std::ios::binary) << Garbage(name[0]);
    }
    for (const char* session : {"FIRST", "SECOND"}) {
        SCOPED_TRACE(session);
        Said(editor);
        editor.Start();
        const auto said = Said(editor);
        ASSERT_EQ(said.size(), 3u);
        for (std::size_t i = 0; i < said.size(); ++i) {
            const std::string& text = said[i];
            // The user's own numbered file is named as left alone.
            const char* own = i == 0 ? "Morvelant 2.cfg" : i == 1 ? "Config 2.MVR" : "Config 2.MVT";
            EXPECT_NE(text.find("\"" + folder + own + "\" is not a file the editor kept, and is left alone."),
                      std::string::npos)
                << text;
            EXPECT_NE(text.find(" 3."), std::string::npos) << text;
            EXPECT_EQ(text.find("read from \"" + folder) != std::string::npos, std::string(session) == "SECOND") << text;
        }
        EXPECT_TRUE(std::string(session) == "FIRST" || Holds(editor.Model(), "FIRST"));
        Edit(editor, session);
        editor.Stop();
        for (const auto& [name, bytes] : own) {
            EXPECT_TRUE(testsupport::Slurp(folder + name) == bytes) << name;
            EXPECT_FALSE(fs::exists(folder + name + ".BAK")) << name;
        }
    }
    DeviceModel back;
    ASSERT_TRUE(ReadPresetFile(back, folder + "Config 3.MVR"));
    ASSERT_TRUE(ReadPatternFile(back, folder + "Config 3.MVT"));
    EXPECT_TRUE(Holds(back, "SECOND"));
    EXPECT_FALSE(fs::exists(folder + "Config 4.MVR"));

    std::ofstream(folder + "Config 3.MVR", std::ios::binary) << Garbage(3);
    Said(editor);
    editor.Start();
    const auto said = Said(editor);
    ASSERT_EQ(said.size(), 3u);
    const std::string& told = said[1];  // of the presets
    EXPECT_NE(told.find("\"" + folder + "Config 3.MVR\", where an earlier session kept them, could not be read either"),
              std::string::npos)
        << told;
    EXPECT_NE(told.find("saved to \"" + folder + "Config 4.MVR\""), std::string::npos) << told;
    editor.Stop();
    EXPECT_TRUE(testsupport::Slurp(folder + "Config 3.MVR") == Garbage(3));
    EXPECT_TRUE(ReadPresetFile(back, folder + "Config 4.MVR"));
}

// When neither the program folder nor the data folder (a file) can take the
// session, the home folder does: one box says why and where at the first
// start, the next starts read it back without a word, and a working set of
// the user's own there is never taken.
TEST_F(SessionPlace, TheHomeFolderThatTookTheSessionIsWhereTheNextStartReadsIt) {
    QTemporaryDir home, runtime;
    const std::string folder = home.path().toStdString() + "/";
    ::setenv("HOME", home.path().toStdString().c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", runtime.path().toStdString().c_str(), 1);
    StartedEditor editor;
    Unchangeable lock;
    editor.Start();
    editor.Stop();
    fs::copy_file(editor.Folder() + "Config.MVR", folder + "Config.MVR");  // the user's own
    const std::string own = testsupport::Slurp(folder + "Config.MVR");
    ASSERT_TRUE(lock.Add(editor.Folder()));
    std::ofstream(DataFolder()) << "a file";
    const std::string sessions[] = {"FIRST", "SECOND", "THIRD"};
    for (std::size_t i = 0; i < std::size(sessions); ++i) {
        SCOPED_TRACE(sessions[i]);
        Said(editor);
        InstanceGuard guard("MorvelantEditor", FindWorkPlace(editor.Folder()).folder);
        EXPECT_FALSE(guard.AnotherCopyRuns());
        EXPECT_EQ(guard.Decide(), StartDecision::Run);
        editor.Start();
        const auto said = Said(editor);
        if (i == 0) {
            ASSERT_EQ(said.size(), 1u);
            EXPECT_NE(said[0].find(DataFolder() + "\": Not a directory"), std::string::npos) << said[0];
            EXPECT_NE(said[0].find("kept in \"" + home.path().toStdString() + "\""), std::string::npos) << said[0];
        } else {
            EXPECT_TRUE(said.empty()) << said.front();
            EXPECT_TRUE(Holds(editor.Model(), sessions[i - 1]));
        }
        Edit(editor, QString::fromStdString(sessions[i]));
        editor.Stop();
        EXPECT_TRUE(Said(editor).empty());
        EXPECT_TRUE(testsupport::Slurp(folder + "Config.MVR") == own);
        EXPECT_FALSE(fs::exists(folder + "Config.MVR.BAK"));
    }
    for (const char* name : {"Config 3.MVR", "Config 2.MVT", "Morvelant 2.cfg"}) EXPECT_FALSE(fs::exists(folder + name)) << name;
}

// Neither the program folder nor the data folder (one that cannot be
// written, or made) takes the session, as the start says: the home folder
// does when it can. Else Cancel brings the question back, where another
// file can be chosen; an end that nobody answers keeps it in a folder of
// the user's alone for temporary files (a fresh one when another user took the usual name,
// one under /tmp when $TMPDIR cannot be made), and says so.
TEST_F(SessionPlace, WithNowhereToWriteTheQuestionComesBackAndTheLastPlacesTakeIt) {
    enum class Who { User, Nobody, NobodyWithAnUnchangeableHome, PlantedFolder, PlantedLink, NoTemporaryFolder };
    for (const Who who : {Who::User, Who::Nobody, Who::NobodyWithAnUnchangeableHome, Who::PlantedFolder,
                          Who::PlantedLink, Who::NoTemporaryFolder}) {
        SCOPED_TRACE(int(who));
        QTemporaryDir home, chosen, temporary;
        const char* oldHome = std::getenv("HOME");
        const std::string savedHome = oldHome ? oldHome : "";
        ::setenv("HOME", home.path().toStdString().c_str(), 1);
        // The usual last place, which another user may have taken first.
        const std::string privateFolder = temporary.path().toStdString() + "/MorvelantEditor-" + std::to_string(::getuid());
        if (who == Who::PlantedFolder) {
            ASSERT_TRUE(fs::create_directory(privateFolder));
            ASSERT_EQ(::chown(privateFolder.c_str(), 65534, 65534), 0);
            fs::permissions(privateFolder, fs::perms::all);
        } else if (who == Who::PlantedLink) {
            fs::create_symlink(chosen.path().toStdString(), privateFolder);
        }
        const std::string tmpdir =
            temporary.path().toStdString() + (who == Who::NoTemporaryFolder ? "/unchangeable/tmp" : "");
        ::setenv("TMPDIR", tmpdir.c_str(), 1);
        StartedEditor editor;
        Unchangeable lock;
        ASSERT_TRUE(lock.Add(editor.Folder()));
        if (who == Who::Nobody) {
            ASSERT_TRUE(lock.Add(data_.path().toStdString()));
        } else {
            ASSERT_TRUE(fs::create_directory(DataFolder()));
            ASSERT_TRUE(lock.Add(DataFolder()));
        }
        // A home folder that takes the session is where it is kept from the start.
        ASSERT_TRUE(who == Who::Nobody || lock.Add(home.path().toStdString()));
        if (who == Who::NoTemporaryFolder) {
            ASSERT_TRUE(fs::create_directory(temporary.path().toStdString() + "/unchangeable"));
            ASSERT_TRUE(lock.Add(temporary.path().toStdString() + "/unchangeable"));
        }
        editor.Start();
        ASSERT_FALSE(editor.Dialogs.Messages().empty());
        const std::string start = editor.Dialogs.Messages()[0];
        if (who == Who::Nobody) {
            EXPECT_NE(start.find("will be kept in \"" + home.path().toStdString() + "\""), std::string::npos) << start;
        } else {
            EXPECT_EQ(start.find("will be kept in"), std::string::npos) << start;
            EXPECT_NE(start.find("at the end you will be asked where to save it"), std::string::npos) << start;
        }
        Edit(editor, "LAST");
        const std::string presets = chosen.path().toStdString() + "/chosen.MVR";
        if (who == Who::User) {
            editor.Dialogs.messageAnswers = {MessageResult::Cancel, MessageResult::No};
            editor.Dialogs.QueueSave(presets);
        } else {
            editor.Dialogs.messageAnswers.assign(40, MessageResult::Cancel);
        }
        editor.Stop();
        ::setenv("HOME", savedHome.c_str(), 1);
        ::unsetenv("TMPDIR");
        // Where the user was told the presets went.
        std::string kept;
        for (const std::string& text : editor.Dialogs.Messages()) {
            EXPECT_EQ(text.find("could not be saved anywhere"), std::string::npos) << text;
            const std::size_t at = text.find("saved to \"");
            if (at == std::string::npos) continue;
            const std::string file = text.substr(at + 10, text.find('"', at + 10) - at - 10);
            if (kept.empty() && file.ends_with(".MVR")) kept = file;
        }
        if (who == Who::Nobody) {
            EXPECT_EQ(kept, "");  // kept where the start said, without a word
            kept = home.path().toStdString() + "/Config.MVR";
        }
        const std::string lastPlace = kept.substr(0, kept.find_last_of('/'));
        switch (who) {
        case Who::User: EXPECT_EQ(kept, presets); break;
        case Who::Nobody: EXPECT_EQ(lastPlace, home.path().toStdString()); break;
        case Who::NobodyWithAnUnchangeableHome: EXPECT_EQ(lastPlace, privateFolder); break;
        case Who::PlantedFolder:
        case Who::PlantedLink: EXPECT_EQ(lastPlace.rfind(privateFolder + "-", 0), 0u) << lastPlace; break;
        case Who::NoTemporaryFolder:
            EXPECT_EQ(lastPlace.rfind("/tmp/MorvelantEditor-" + std::to_string(::getuid()), 0), 0u) << lastPlace;
            break;
        }
        DeviceModel back;
        ASSERT_TRUE(ReadPresetFile(back, kept)) << kept;
        EXPECT_NE(back.GetPresetDeviceName(3).find("LAST"), std::string::npos);
        for (const char* name : {"Config.MVT", "Morvelant.cfg"})
            EXPECT_TRUE(who == Who::User || fs::exists(lastPlace + "/" + name)) << name;
        // A temporary folder is made only when it is needed, for this user
        // alone; what another user planted is left as it was.
        if (who == Who::Nobody) {
            EXPECT_FALSE(fs::exists(privateFolder));
        } else if (who != Who::User) {  // whose settings and patterns went there
            EXPECT_EQ(fs::status(lastPlace).permissions() & fs::perms::all, fs::perms::owner_all);
        }
        if (who == Who::PlantedFolder) { EXPECT_TRUE(fs::is_empty(privateFolder)); }
        if (who == Who::PlantedLink) { EXPECT_TRUE(fs::is_empty(chosen.path().toStdString())); }
        std::error_code ec;
        if (who == Who::NoTemporaryFolder)
            for (const char* name : {"Config.MVR", "Config.MVT", "Morvelant.cfg", ""}) fs::remove(lastPlace + "/" + name, ec);
        SetImmutable(DataFolder(), false);
        fs::remove_all(DataFolder());
    }
}

// A session whose working set could not be written at the end went beside
// it ("Config 2.MVR"); the next start reads it from there and says where,
// and its end saves the working set itself again. The start after that
// says nothing more.
TEST_F(SessionPlace, TheStartSaysWhereTheLastSessionsWorkWasAndReadsItFromThere) {
    StartedEditor editor;
    const std::string folder = editor.Folder();
    editor.Start();
    editor.Stop();
    Unchangeable lock;
    ASSERT_TRUE(lock.Add(folder + "Config.MVR"));
    editor.Start();
    Edit(editor, "RESCUED");
    editor.Dialogs.messageAnswers = {MessageResult::Cancel};
    editor.Stop();
    testsupport::SetImmutable(folder + "Config.MVR", false);
    Said(editor);
    editor.Start();
    const auto said = Said(editor);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find("The last session's presets were saved to \"" + folder +
                           "Config 2.MVR\": they are read "
                           "from there. This session's are saved to \"" +
                           folder + "Config.MVR\""),
              std::string::npos)
        << said[0];
    EXPECT_NE(editor.Model().GetPresetDeviceName(3).find("RESCUED"), std::string::npos);
    editor.Stop();
    DeviceModel back;
    ASSERT_TRUE(ReadPresetFile(back, folder + "Config.MVR"));
    EXPECT_NE(back.GetPresetDeviceName(3).find("RESCUED"), std::string::npos);
    editor.Start();
    EXPECT_TRUE(Said(editor).empty());
    editor.Stop();
}

// Whatever can be written is on disk before the first question: an end
// killed while the box shows loses only what it asks about.
TEST_F(SessionPlace, EverythingThatCanBeWrittenIsWrittenBeforeTheFirstQuestion) {
    StartedEditor editor;
    editor.Start();
    editor.Stop();
    Unchangeable lock;
    ASSERT_TRUE(lock.Add(editor.Folder() + "Config.MVR"));
    editor.Start();
    Edit(editor, "FIRST");
    struct LooksAtTheDisk : ScriptedDialogs {
        std::function<void()> look;
        MessageResult MessageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                                 MessageIcon icon) override {
            if (buttons == MessageButtons::YesNoCancel && look) std::exchange(look, nullptr)();
            return ScriptedDialogs::MessageBox(text, caption, buttons, icon);
        }
    } dialogs;
    bool looked = false;
    const std::string folder = editor.Folder();
    dialogs.look = [&] {
        looked = true;
        DeviceModel back;
        ASSERT_TRUE(ReadPatternFile(back, folder + "Config.MVT"));
        EXPECT_NE(back.GetPatternName(2).find("FIRST"), std::string::npos);
        EXPECT_EQ(TIniFile(folder + "Morvelant.cfg").ReadInteger("Options", "Selected Preset", -1), 5);
    };
    dialogs.messageAnswers = {MessageResult::Cancel};
    {
        ScopedDialogs scope(dialogs);
        editor.Stop();
    }
    EXPECT_TRUE(looked);
    DeviceModel back;
    ASSERT_TRUE(ReadPresetFile(back, folder + "Config 2.MVR"));
    EXPECT_NE(back.GetPresetDeviceName(3).find("FIRST"), std::string::npos);
}

}  // namespace
}  // namespace morvelant
