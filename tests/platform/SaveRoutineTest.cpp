// The one save routine under every writer: the editor's files
// (SafeReplaceFile), the configuration (TIniFile) and the driver's MIDI
// files (files::ReplaceFile), and where the user's data folder is.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include <QTemporaryDir>

#include "platform/FilePrimitives.h"
#include "platform/IniFile.h"
#include "platform/SafeFile.h"

#include "tests/support/FileBytes.h"

namespace morvelant {
namespace {

namespace fs = std::filesystem;

using testsupport::Slurp;

struct Writer {
    const char* name;
    std::function<bool(const std::string& path, std::string* error)> save;
};

const Writer kWriters[] = {
    {"editor file", [](const std::string& p, std::string* e) { return SafeReplaceFile(p, std::string_view("new"), e); }},
    {"configuration",
     [](const std::string& p, std::string*) {
         static int n = 0;  // a value of its own each time: an unchanged file is not written
         return TIniFile(p).WriteString("S", "K", std::to_string(++n));
     }},
    {"driver file", [](const std::string& p, std::string* e) { return files::ReplaceFile(p, "new", 3, e); }},
};

// The folders a save flushed; a folder named `failing` is refused.
std::set<std::string> g_synced;
std::string g_failing;
int RecordSync(const char* folder) {
    g_synced.insert(folder);
    if (folder == g_failing) {
        errno = EIO;
        return -1;
    }
    return 0;
}

class SaveRoutine : public ::testing::Test {
protected:
    void TearDown() override {
        files::g_folderSync.store(nullptr);
        g_synced.clear();
        g_failing.clear();
    }
    std::string Path(const std::string& name) const { return dir_.path().toStdString() + "/" + name; }
    QTemporaryDir dir_;
};

// A loop of links is no file to save to: every writer refuses it and the
// links stay as they were (no plain file in their place, no ".BAK").
TEST_F(SaveRoutine, ALoopOfLinksIsRefusedAndKept) {
    fs::create_symlink("b.MVR", Path("a.MVR"));
    fs::create_symlink("a.MVR", Path("b.MVR"));
    for (const Writer& w : kWriters) {
        SCOPED_TRACE(w.name);
        std::string error;
        EXPECT_FALSE(w.save(Path("a.MVR"), &error));
        EXPECT_TRUE(fs::is_symlink(Path("a.MVR")));
        EXPECT_EQ(fs::read_symlink(Path("a.MVR")), "b.MVR");
        EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path().toStdString()), {}), 2);
    }
    EXPECT_EQ(SaveTarget(Path("a.MVR")), "");
}

// Every folder a save renamed into is flushed, and a flush that fails is
// reported, whoever saves.
TEST_F(SaveRoutine, EveryFolderRenamedIntoIsFlushedAndAFailureReported) {
    fs::create_directories(Path("other"));
    fs::create_symlink("other/target.MVR", Path("link.MVR"));
    files::g_folderSync.store(&RecordSync);
    for (const Writer& w : kWriters) {
        SCOPED_TRACE(w.name);
        g_synced.clear();
        g_failing.clear();
        std::string error;
        ASSERT_TRUE(w.save(Path("link.MVR"), &error)) << error;
        EXPECT_EQ(g_synced, std::set<std::string>{Path("other")});
        g_failing = Path("other");
        EXPECT_FALSE(w.save(Path("link.MVR"), &error));
    }
    // A group whose files lie in two folders flushes both.
    g_synced.clear();
    g_failing.clear();
    SafeReplaceGroup group;
    ASSERT_TRUE(group.Add(Path("one.MVR"), std::string_view("1")));
    ASSERT_TRUE(group.Add(Path("link.MVR"), std::string_view("2")));
    ASSERT_TRUE(group.Commit());
    EXPECT_EQ(g_synced, (std::set<std::string>{Path("other"), dir_.path().toStdString()}));
    EXPECT_EQ(Slurp(Path("other/target.MVR")), "2");
}

// A flush that fails still closes the file (a pipe cannot be flushed).
TEST_F(SaveRoutine, AFailedFlushClosesTheFile) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    EXPECT_FALSE(files::SyncAndClose(ends[1]));
    EXPECT_EQ(::fcntl(ends[1], F_GETFD), -1);
    EXPECT_EQ(errno, EBADF);
    ::close(ends[0]);
}

// The data folder: XDG_DATA_HOME, else HOME, else the account's home; it is
// made only when a save writes into it, for this user alone.
TEST_F(SaveRoutine, TheDataFolderComesFromTheAccountWithoutHomeAndIsMadeOnlyToWriteIntoIt) {
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome ? oldHome : "";
    struct passwd* account = ::getpwuid(::getuid());
    ASSERT_NE(account, nullptr);
    const std::string accountHome = account->pw_dir;
    ::unsetenv("XDG_DATA_HOME");
    for (const char* home : {static_cast<const char*>(nullptr), ""}) {
        if (home)
            ::setenv("HOME", home, 1);
        else
            ::unsetenv("HOME");
        EXPECT_EQ(UserDataFolder(), accountHome + "/.local/share/MorvelantEditor");
    }
    ::setenv("HOME", savedHome.c_str(), 1);

    ::setenv("XDG_DATA_HOME", Path("data").c_str(), 1);
    const std::string folder = UserDataFolder();
    EXPECT_EQ(folder, Path("data") + "/MorvelantEditor");
    EXPECT_FALSE(fs::exists(Path("data")));
    std::string error;
    ASSERT_TRUE(SafeReplaceFile(folder + "/Config.MVR", std::string_view("kept"), &error)) << error;
    EXPECT_EQ(Slurp(folder + "/Config.MVR"), "kept");
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
    ::unsetenv("XDG_DATA_HOME");
}

}  // namespace
}  // namespace morvelant
