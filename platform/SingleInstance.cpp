#include "platform/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace morvelant {

namespace {

bool IsFolder(const char* path) {
    struct stat st {};
    return path && *path && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string SingleInstanceLock::LockFolder() {
    if (const char* run = std::getenv("XDG_RUNTIME_DIR"); IsFolder(run)) return run;
    if (const char* tmp = std::getenv("TMPDIR"); IsFolder(tmp)) return tmp;
    return "/tmp";
}

SingleInstanceLock::SingleInstanceLock(std::string name) {
    path_ = LockFolder();
    if (path_.empty() || path_.back() != '/') path_ += '/';
    path_ += name;
}

SingleInstanceLock::~SingleInstanceLock() { Release(); }

bool SingleInstanceLock::Acquire() {
    if (fd_ >= 0) return true;
    failed_ = false;
    // Never truncate or unlink: another process may hold the lock on it.
    const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        failed_ = true;
        return false;
    }
    int rc;
    do { rc = ::flock(fd, LOCK_EX | LOCK_NB); } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        failed_ = errno != EWOULDBLOCK;
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void SingleInstanceLock::Release() {
    if (fd_ < 0) return;
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
}

}  // namespace morvelant
