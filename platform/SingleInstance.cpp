#include "platform/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace morvelant {

namespace {

// A folder of this user's alone: a real folder (no link), owned by the
// user, that nobody else may write to.
bool IsOwnFolder(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
        (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// The folder made for the user when it is not there yet; empty when what
// is there is not the user's own.
std::string OwnFolder(const std::string& path) {
    ::mkdir(path.c_str(), 0700);
    return IsOwnFolder(path) ? path : std::string();
}

}  // namespace

std::string SingleInstanceLock::LockFolder() {
    if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && IsOwnFolder(run)) return run;
    // Without a runtime folder, one of the user's own: a lock in a folder
    // that all users share would let another user's editor (or a file put
    // there) keep this user's editor from starting.
    const char* tmp = std::getenv("TMPDIR");
    const std::string base = tmp && *tmp ? tmp : "/tmp";
    if (std::string own = OwnFolder(base + "/morvelant-" + std::to_string(::getuid())); !own.empty()) return own;
    if (const char* home = std::getenv("HOME"); home && *home) {
        const std::string cache = std::string(home) + "/.cache";
        ::mkdir(cache.c_str(), 0700);
        if (std::string own = OwnFolder(cache + "/morvelant"); !own.empty()) return own;
    }
    return std::string();
}

SingleInstanceLock::SingleInstanceLock(std::string name) {
    path_ = LockFolder();
    if (path_.empty()) return;  // no folder of the user's own: Acquire fails
    if (path_.back() != '/') path_ += '/';
    path_ += name;
}

SingleInstanceLock::SingleInstanceLock(OnFolder folder) : path_(std::move(folder.folder)), folder_(true) {
    if (path_.empty()) path_ = ".";
    if (path_.back() != '/') path_ += '/';
    path_ += kFolderLockName;
}

SingleInstanceLock::~SingleInstanceLock() { Release(); }

bool SingleInstanceLock::Acquire() {
    if (fd_ >= 0) return true;
    failed_ = false;
    error_.clear();
    if (path_.empty()) {
        failed_ = true;
        error_ = "there is no runtime folder of the user's own";
        return false;
    }
    // Never truncate or unlink: another process may hold the lock on it.
    // A folder's lock file is made by name, which a folder that may be
    // written but not read allows, and locked by whoever may read it (two
    // users of one folder): it is only ever opened for reading, so another
    // user's is never opened for writing, even by root. A link planted
    // there is refused.
    int fd = -1;
    if (folder_) {
        fd = ::open(path_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT) {
            fd = ::open(path_.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
            if (fd < 0 && errno == EEXIST) fd = ::open(path_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        }
    } else {
        fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    }
    if (fd < 0) {
        failed_ = true;
        error_ = std::strerror(errno);
        return false;
    }
    int rc;
    do { rc = ::flock(fd, LOCK_EX | LOCK_NB); } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int err = errno;
        failed_ = err != EWOULDBLOCK;
        if (failed_) error_ = std::strerror(err);
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
