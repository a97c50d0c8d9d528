#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/FilePrimitives.h"
#include "platform/IniFile.h"
#include "platform/SafeFile.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "tests/support/FileBytes.h"

namespace morvelant {
namespace {

namespace fs = std::filesystem;

using testsupport::Slurp;

class SafeFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/morvelant-safefile-XXXXXX";
        dir_ = mkdtemp(tmpl);
    }
    void TearDown() override {
        SetSafeFileWriteFunctionForTesting(nullptr);
        fs::remove_all(dir_);
    }
    std::string Path(const std::string& n) const { return dir_ + "/" + n; }
    int FileCount() const {
        int n = 0;
        for (auto& e : fs::directory_iterator(dir_)) n += e.is_regular_file();
        return n;
    }
    std::string dir_;
};

TEST_F(SafeFileTest, ReplacesAndKeepsTheReplacedFileAsBak) {
    std::string err;
    ASSERT_TRUE(SafeReplaceFile(Path("a.MVR"), std::string_view("one"), &err)) << err;
    EXPECT_EQ(Slurp(Path("a.MVR")), "one");
    EXPECT_FALSE(fs::exists(Path("a.MVR.BAK")));
    ASSERT_TRUE(SafeReplaceFile(Path("a.MVR"), std::string_view("two")));
    ASSERT_TRUE(SafeReplaceFile(Path("a.MVR"), std::string_view("three")));
    EXPECT_EQ(Slurp(Path("a.MVR")), "three");
    EXPECT_EQ(Slurp(Path("a.MVR.BAK")), "two");
    EXPECT_EQ(FileCount(), 2);
    // The backup is a file of its own, not a second name of the new one.
    EXPECT_EQ(fs::hard_link_count(Path("a.MVR")), 1u);
    EXPECT_EQ(fs::hard_link_count(Path("a.MVR.BAK")), 1u);

    ASSERT_TRUE(SafeReplaceFile(Path("a.MVR"), std::string_view("four"), nullptr, {.keepBackup = false}));
    EXPECT_EQ(Slurp(Path("a.MVR.BAK")), "two");
    EXPECT_EQ(BackupName("/x/Config.MVR"), "/x/Config.MVR.BAK");
}

// A save that changes nothing (the working sets at the end of a session
// that edited nothing) leaves the file and its backup alone; one byte more,
// less or other replaces it as always.
TEST_F(SafeFileTest, AnUnchangedFileIsLeftAloneWhenAsked) {
    const SafeReplaceOptions same{.leaveIfSame = true};
    ASSERT_TRUE(SafeReplaceFile(Path("w.MVR"), std::string_view("old"), nullptr, same));  // no file yet
    ASSERT_TRUE(SafeReplaceFile(Path("w.MVR"), std::string_view("set")));
    struct stat before {};
    ASSERT_EQ(::stat(Path("w.MVR").c_str(), &before), 0);
    ASSERT_TRUE(SafeReplaceFile(Path("w.MVR"), std::string_view("set"), nullptr, same));
    struct stat after {};
    ASSERT_EQ(::stat(Path("w.MVR").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "an unchanged file was written again";
    EXPECT_EQ(Slurp(Path("w.MVR.BAK")), "old");
    for (const char* other : {"se", "sets", "sat"}) {
        ASSERT_TRUE(SafeReplaceFile(Path("w.MVR"), std::string_view(other), nullptr, same));
        EXPECT_EQ(Slurp(Path("w.MVR")), other);
    }
    EXPECT_EQ(Slurp(Path("w.MVR.BAK")), "sets");
}

TEST_F(SafeFileTest, NewFilesFollowTheUmask) {
    ASSERT_TRUE(SafeReplaceFile(Path("m"), std::string_view("x")));
    mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(fs::status(Path("m")).permissions() & fs::perms::all, fs::perms(0666 & ~mask));
}

ssize_t ShortWrites(int fd, const void* data, std::size_t size) {
    return ::write(fd, data, size > 3 ? 3 : size);  // the caller must loop
}

ssize_t NoSpace(int, const void*, std::size_t) {
    errno = ENOSPC;
    return -1;
}

ssize_t ZeroWrite(int, const void*, std::size_t) { return 0; }

TEST_F(SafeFileTest, ShortWritesAreCompletedAndFailedWritesReported) {
    SetSafeFileWriteFunctionForTesting(&ShortWrites);
    ASSERT_TRUE(SafeReplaceFile(Path("s"), std::string_view("0123456789")));
    EXPECT_EQ(Slurp(Path("s")), "0123456789");

    for (auto fn : {&NoSpace, &ZeroWrite}) {
        SetSafeFileWriteFunctionForTesting(fn);
        std::string err;
        EXPECT_FALSE(SafeReplaceFile(Path("s"), std::string_view("new"), &err));
        EXPECT_NE(err.find("cannot write"), std::string::npos) << err;
        EXPECT_EQ(Slurp(Path("s")), "0123456789");  // untouched
        EXPECT_FALSE(fs::exists(Path("s.BAK")));
        EXPECT_EQ(FileCount(), 1);  // no temporary left
    }
}

TEST_F(SafeFileTest, UnwritablePlacesAreReported) {
    std::string err;
    EXPECT_FALSE(SafeReplaceFile(Path("no/such/folder/f"), std::string_view("x"), &err));
    EXPECT_FALSE(err.empty());
    fs::create_directory(Path("d"));
    EXPECT_FALSE(SafeReplaceFile(Path("d"), std::string_view("x"), &err));
    EXPECT_TRUE(fs::is_directory(Path("d")));
    EXPECT_FALSE(SafeReplaceFile("", std::string_view("x"), &err));
}

TEST_F(SafeFileTest, ReadWholeFileHonoursItsLimit) {
    ASSERT_TRUE(SafeReplaceFile(Path("r"), std::string_view("hello")));
    std::vector<uint8_t> out;
    ASSERT_TRUE(ReadWholeFile(Path("r"), out, 5));
    EXPECT_EQ(std::string(out.begin(), out.end()), "hello");
    std::string err;
    EXPECT_FALSE(ReadWholeFile(Path("r"), out, 4, &err));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(ReadWholeFile(Path("missing"), out, 100, &err));
    EXPECT_FALSE(ReadWholeFile(dir_, out, 100, &err));  // a folder
    EXPECT_TRUE(ReadWholeFile("/dev/null", out, 100) == false);  // not a regular file
    // A named pipe without a writer is refused at once, not waited on.
    ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
    EXPECT_FALSE(ReadWholeFile(Path("pipe"), out, 100, &err));
    EXPECT_TRUE(FileExists(Path("r")));
    EXPECT_FALSE(FileExists(Path("missing")));
}

TEST_F(SafeFileTest, ReadersRefuseWhatIsNoFileAndSayWhat) {
    ASSERT_EQ(::mkfifo(Path("pipe.MID").c_str(), 0600), 0);
    fs::create_directory(Path("folder.MVR"));
    ASSERT_TRUE(SafeReplaceFile(Path("file.MVR"), std::string_view("x")));
    const struct {
        std::string path;
        const char* says;  // nullptr: opens
    } cases[] = {
        {Path("pipe.MID"), "is a named pipe, not a file"},
        {Path("folder.MVR"), "is a folder, not a file"},
        {"/dev/null", "is a device, not a file"},
        {Path("missing"), "cannot open"},
        {Path("file.MVR"), nullptr},
    };
    for (const auto& c : cases) {
        std::string error;
        const int fd = OpenRegularFile(c.path, &error);
        EXPECT_EQ(fd >= 0, c.says == nullptr) << c.path;
        if (fd >= 0) ::close(fd);
        if (c.says) {
            EXPECT_NE(error.find(c.says), std::string::npos) << error;
            EXPECT_NE(error.find(c.path), std::string::npos) << error;
        }
        // Only what exists as something else is worth a word of its own.
        EXPECT_EQ(NotAFileReason(c.path).empty(), c.says == nullptr || c.path == Path("missing")) << c.path;
    }
}

// What a save killed half-way left behind goes at the next save of that
// file; a temporary of a copy that is still running stays.
TEST_F(SafeFileTest, TemporariesOfEndedSavesAreRemovedAtTheNextSave) {
    // A save that ended half-way: the temporaries it made, one per line.
    int names[2];
    ASSERT_EQ(::pipe(names), 0);
    const pid_t gone = ::fork();
    if (gone == 0) {
        std::string made, temp;
        for (const char* file : {"Config.MVR", "", "Config.MVR.BAK", "Lost.MVR.BAK", "Other.MVR"}) {
            // "": a temporary of the last temporary (as a MIDI export makes).
            const int fd = files::CreateTemporaryFile(*file ? Path(file) : temp, temp);
            made += temp.substr(temp.find_last_of('/') + 1) + "\n";
            ::close(fd);
        }
        [[maybe_unused]] const ssize_t n = ::write(names[1], made.data(), made.size());
        ::_exit(0);
    }
    ASSERT_GT(gone, 0);
    ::close(names[1]);
    ::waitpid(gone, nullptr, 0);
    std::vector<std::string> ended;
    {
        char text[4096];
        const ssize_t n = ::read(names[0], text, sizeof text);
        ::close(names[0]);
        std::istringstream lines(std::string(text, std::size_t(std::max<ssize_t>(n, 0))));
        for (std::string line; std::getline(lines, line);) ended.push_back(line);
    }
    ASSERT_EQ(ended.size(), 5u);
    std::string ours;
    ::close(files::CreateTemporaryFile(Path("Config.MVR"), ours));
    // '?' stands for the process id of the ended save.
    const auto named = [&](std::string n) {
        for (auto q = n.find('?'); q != std::string::npos; q = n.find('?')) n.replace(q, 1, std::to_string(gone));
        return n;
    };
    const std::string running = "Config.MVR.tmp" + std::to_string(::getppid()) + ".0";
    const std::vector<std::string> kept = {named("Config.MVR.tmp"), named("Config.MVR.tmpx.0"),
                                           named("Other.MVR.tmp?.0"), named("Config.MVR.tmp?.0.txt"), running};
    for (const char* n : {"Config.MVR.tmp?.0", "Config.MVR.tmp?.12", "Config.MVR.BAK.tmp?.3", "Config.MVR.tmp?.0.tmp?.4"})
        std::ofstream(Path(named(n))) << std::string(1000, 'x');
    for (const std::string& n : kept) std::ofstream(Path(n)) << "not ours to remove";
    // A backup's temporary may hold the only old copy while the file is missing.
    std::ofstream(Path(named("Lost.MVR.BAK.tmp?.0"))) << "old set";
    ASSERT_TRUE(SafeReplaceFile(Path("Lost.MVR"), std::string_view("new set")));
    ASSERT_TRUE(SafeReplaceFile(Path("Config.MVR"), std::string_view("old set")));
    ASSERT_TRUE(SafeReplaceFile(Path("Config.MVR"), std::string_view("set")));
    std::vector<std::string> left;
    for (auto& e : fs::directory_iterator(dir_)) left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    std::vector<std::string> want = kept;
    // Of the ended save's: the backup's of the lost file and the other file's.
    for (const std::string& n : {named("Lost.MVR.BAK.tmp?.0"), std::string("Lost.MVR"), std::string("Config.MVR"),
                                 std::string("Config.MVR.BAK"), ended[3], ended[4], ours.substr(dir_.size() + 1)})
        want.push_back(n);
    std::sort(want.begin(), want.end());
    EXPECT_EQ(left, want);
}

// A saved file that is a link (relative, absolute, or a link to a link)
// stays a link: its target gets the new content, and the temporary and the
// backup are made beside the target.
TEST_F(SafeFileTest, ASaveThroughALinkKeepsTheLinkAndReplacesItsTarget) {
    fs::create_directories(Path("real"));
    const std::string target = Path("real/real.MVR");
    const std::vector<std::pair<std::string, std::string>> links = {
        {"rel.MVR", "real/real.MVR"}, {"abs.MVR", target}, {"chain.MVR", "rel.MVR"}};
    for (const auto& [link, to] : links) {
        fs::create_symlink(to, Path(link));
        for (const char* bytes : {"old", "new"}) {
            std::string err;
            ASSERT_TRUE(SafeReplaceFile(Path(link), std::string_view(bytes), &err)) << link << err;
        }
        EXPECT_TRUE(fs::is_symlink(Path(link))) << link;
        EXPECT_EQ(Slurp(Path(link)), "new") << link;
        EXPECT_EQ(Slurp(target + ".BAK"), "old") << link;
        EXPECT_FALSE(fs::exists(Path(link + ".BAK"))) << link;
        EXPECT_EQ(SaveTarget(Path(link)), target);
        fs::remove(target + ".BAK");
    }
    // The configuration too.
    fs::create_symlink("real/real.cfg", Path("Morvelant.cfg"));
    ASSERT_TRUE(TIniFile(Path("Morvelant.cfg")).WriteString("Options", "Warnings", "1"));
    EXPECT_TRUE(fs::is_symlink(Path("Morvelant.cfg")));
    EXPECT_EQ(TIniFile(Path("real/real.cfg")).ReadString("Options", "Warnings", ""), "1");
    // No temporary left anywhere: the links, the target folder, two files.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 5);
    EXPECT_EQ(std::distance(fs::directory_iterator(Path("real")), {}), 2);
}

}  // namespace
}  // namespace morvelant
