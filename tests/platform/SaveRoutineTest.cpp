// The one save routine under every writer: the editor's files
// (SafeReplaceFile), the configuration (TIniFile) and the driver's MIDI
// files (files::ReplaceFile), and where the user's data folder is.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
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
    // A MIDI export: the driver writes the file that the group holds for it.
    {"reserved file",
     [](const std::string& p, std::string* e) {
         SafeReplaceGroup group;
         std::string temp;
         return group.Reserve(p, temp, e) && files::ReplaceFile(temp, "new", 3, e) && group.Commit(e);
     }},
};

// A name of `length` bytes.
std::string NameOf(std::size_t length) { return std::string(length - 4, 'n') + ".MVR"; }

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

// Every folder a save renamed into is flushed, whoever saves; a flush that
// fails is said, and the save that put the file in place is no failure.
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
        // The file is in place: a folder that cannot be flushed is said, and
        // the save is a save.
        g_failing = Path("other");
        testing::internal::CaptureStderr();
        EXPECT_TRUE(w.save(Path("link.MVR"), &error)) << error;
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find("could not be flushed"), std::string::npos) << said;
        EXPECT_NE(said.find(Path("other")), std::string::npos) << said;
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
    g_failing = Path("other");
    SafeReplaceGroup failing;
    ASSERT_TRUE(failing.Add(Path("link.MVR"), std::string_view("3")));
    testing::internal::CaptureStderr();
    EXPECT_TRUE(failing.Commit());
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(Slurp(Path("other/target.MVR")), "3");
    EXPECT_EQ(Slurp(Path("other/target.MVR.BAK")), "2");
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

// A replaced file keeps its mode and its group (here one the user may give
// it), also through a link; a new file follows the umask.
TEST_F(SaveRoutine, AReplacedFileKeepsItsModeAndGroupAndANewOneFollowsTheUmask) {
    // A group of the user's other than the one new files get; root may give any.
    gid_t other = ::getegid();
    std::vector<gid_t> groups(std::size_t(std::max(::getgroups(0, nullptr), 0)));
    // Only the groups it wrote (none when it failed).
    groups.resize(std::size_t(std::max(::getgroups(int(groups.size()), groups.data()), 0)));
    if (::geteuid() == 0) groups.push_back(65534);
    for (gid_t g : groups) other = g != ::getegid() ? g : other;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    fs::create_symlink("kept.MVR", Path("link.MVR"));
    for (const Writer& w : kWriters) {
        for (const mode_t mode : {0600, 0640, 0604, 0400}) {
            for (const char* name : {"kept.MVR", "link.MVR"}) {
                SCOPED_TRACE(std::string(w.name) + " " + name + " " + std::to_string(mode));
                fs::remove(Path("kept.MVR"));
                std::string error;
                ASSERT_TRUE(w.save(Path(name), &error)) << error;
                struct stat st {};
                ASSERT_EQ(::stat(Path("kept.MVR").c_str(), &st), 0);
                EXPECT_EQ(st.st_mode & 07777, 0666 & ~mask);
                ASSERT_EQ(::chmod(Path("kept.MVR").c_str(), mode), 0);
                ASSERT_EQ(::chown(Path("kept.MVR").c_str(), uid_t(-1), other), 0);
                ASSERT_TRUE(w.save(Path(name), &error)) << error;
                ASSERT_EQ(::stat(Path("kept.MVR").c_str(), &st), 0);
                EXPECT_EQ(st.st_mode & 07777, mode);
                EXPECT_EQ(st.st_gid, other);
                EXPECT_EQ(Slurp(Path("kept.MVR")).empty(), false);
            }
        }
    }
}

// In a folder that can be written but not read (0300) the file is replaced
// and its folder cannot be opened to flush it: the save is a save, and no
// temporary is left. Root reads every folder, so the saves run as another
// user there.
TEST_F(SaveRoutine, ASaveIntoAFolderThatCannotBeReadIsASave) {
    const bool root = ::geteuid() == 0;
    const uid_t user = root ? 65534 : ::getuid();
    const gid_t group = root ? 65534 : ::getgid();
    char top[] = "/tmp/morvelant-save-XXXXXX";
    ASSERT_NE(::mkdtemp(top), nullptr);
    const std::string folder = std::string(top) + "/w/";
    ASSERT_EQ(::chmod(top, 0711), 0);
    ASSERT_EQ(::mkdir(folder.c_str(), 0300), 0);
    ASSERT_EQ(::chown(folder.c_str(), user, group), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        int failed = 0;
        if (root && (::setgroups(0, nullptr) != 0 || ::setgid(group) != 0 || ::setuid(user) != 0)) ::_exit(100);
        // Not readable even so: the check holds.
        if (::opendir(folder.c_str()) != nullptr) ::_exit(101);
        int bit = 1;
        for (const Writer& w : kWriters) {
            const std::string file = folder + w.name + ".MVR";
            std::string error;
            if (!w.save(file, &error) || !w.save(file, &error)) {
                std::fprintf(stderr, "%s: %s\n", w.name, error.c_str());
                failed |= bit;
            }
            bit <<= 1;
        }
        ::_exit(failed);
    }
    ASSERT_GT(child, 0);
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::chmod(folder.c_str(), 0700);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a bit for each writer whose save said it failed";
    // Nothing but the files and their backups: no temporary is left.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), std::ssize(kWriters) + 2);
    fs::remove_all(top);
}

// Whatever name can be opened can be saved: the temporary beside a file of
// the longest name a folder takes fits too (a name with no room for ".BAK"
// is saved without a backup).
TEST_F(SaveRoutine, AFileOfTheLongestNameIsSaved) {
    for (const Writer& w : kWriters) {
        for (const std::size_t length : {250, 255}) {
            SCOPED_TRACE(std::string(w.name) + " " + std::to_string(length));
            const std::string file = Path(NameOf(length));
            std::ofstream(file) << "old";
            std::string error;
            ASSERT_TRUE(w.save(file, &error)) << error;
            EXPECT_NE(Slurp(file), "old");
            std::error_code longer;  // the backup's name may be one too long
            fs::remove(file);
            fs::remove(file + ".BAK", longer);
            EXPECT_TRUE(fs::is_empty(dir_.path().toStdString())) << "a temporary was left";
        }
    }
}

}  // namespace
}  // namespace morvelant
