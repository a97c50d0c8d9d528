// Where the single-instance lock lives when the user has no runtime folder:
// always in a folder of the user's own, never one that others could have
// made or may write to.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>

#include <cstdlib>
#include <string>

#include "platform/SingleInstance.h"

namespace morvelant {
namespace {

TEST(SingleInstanceFolder, WithoutARuntimeFolderTheLockIsInAFolderOfTheUsersOwn) {
    QTemporaryDir tmp, home;
    const std::string base = tmp.path().toStdString();
    const std::string own = base + "/morvelant-" + std::to_string(::getuid());
    const std::string cache = home.path().toStdString() + "/.cache/morvelant";
    const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::unsetenv("XDG_RUNTIME_DIR");
    ::setenv("TMPDIR", base.c_str(), 1);
    ::setenv("HOME", home.path().toStdString().c_str(), 1);
    struct Case {
        const char* what;
        int mode;  // of a folder someone made at `own` first; 0: none there
        uid_t owner;
        std::string expected;
    };
    const Case cases[] = {
        {"made for the user", 0, 0, own},
        {"left by the user before", 0700, ::getuid(), own},
        {"writable by all", 0777, ::getuid(), cache},
        {"someone else's", 0700, ::getuid() + 4321, cache},
    };
    for (const Case& c : cases) {
        ::unlink((own + "/MorvelantEditor").c_str());
        ::rmdir(own.c_str());
        if (c.mode) {
            ASSERT_EQ(::mkdir(own.c_str(), 0700), 0);
            ::chmod(own.c_str(), mode_t(c.mode));
            if (c.owner != ::getuid() && ::chown(own.c_str(), c.owner, gid_t(-1)) != 0) continue;  // not root
        }
        EXPECT_EQ(SingleInstanceLock::LockFolder(), c.expected) << c.what;
        struct stat st {};
        ASSERT_EQ(::stat(c.expected.c_str(), &st), 0) << c.what;
        EXPECT_EQ(st.st_mode & 0777, 0700u) << c.what;
        SingleInstanceLock lock("MorvelantEditor");
        EXPECT_TRUE(lock.Acquire()) << c.what;
        EXPECT_EQ(lock.Path(), c.expected + "/MorvelantEditor");
    }
    ::unsetenv("TMPDIR");
    ::setenv("HOME", oldHome.c_str(), 1);
}

}  // namespace
}  // namespace morvelant
