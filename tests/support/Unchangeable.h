// Files and folders that the kernel refuses to change, even to root (the
// immutable attribute), for tests of saves that cannot be written.
#pragma once

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace morvelant::testsupport {

inline bool SetImmutable(const std::string& path, bool on) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    int flags = 0;
    bool ok = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    if (fd >= 0) ::close(fd);
    return ok;
}

// Paths made unchangeable for a test, changeable again after it.
struct Unchangeable {
    std::vector<std::string> paths;
    bool Add(const std::string& path) {
        paths.push_back(path);
        return SetImmutable(path, true);
    }
    ~Unchangeable() {
        for (const std::string& p : paths) SetImmutable(p, false);
    }
};

}  // namespace morvelant::testsupport
