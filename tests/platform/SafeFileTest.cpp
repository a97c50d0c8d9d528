#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "platform/SafeFile.h"

#include <sys/stat.h>

namespace morvelant {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

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
    // The backup is a file of its own, not a second name of the new one,
    // and a leftover of an interrupted save does not get in the way.
    EXPECT_EQ(fs::hard_link_count(Path("a.MVR")), 1u);
    std::ofstream(Path("a.MVR.BAK.new")) << "stale";
    ASSERT_TRUE(SafeReplaceFile(Path("a.MVR"), std::string_view("three!")));
    EXPECT_EQ(Slurp(Path("a.MVR.BAK")), "three");
    EXPECT_EQ(FileCount(), 2);

    ASSERT_TRUE(SafeReplaceFile(Path("a.MVR"), std::string_view("four"), nullptr, {.keepBackup = false}));
    EXPECT_EQ(Slurp(Path("a.MVR.BAK")), "three");
    EXPECT_EQ(BackupName("/x/Config.MVR"), "/x/Config.MVR.BAK");
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

TEST_F(SafeFileTest, BackupExistingFileMovesTheFileAside) {
    EXPECT_TRUE(BackupExistingFile(Path("none")));
    ASSERT_TRUE(SafeReplaceFile(Path("f"), std::string_view("old")));
    EXPECT_TRUE(BackupExistingFile(Path("f")));
    EXPECT_FALSE(fs::exists(Path("f")));
    EXPECT_EQ(Slurp(Path("f.BAK")), "old");
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

}  // namespace
}  // namespace morvelant
