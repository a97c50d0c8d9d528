// Makes sure that only one copy of the editor runs for a user.
//
// The lock is a file of the given name in the user's runtime folder
// (XDG_RUNTIME_DIR, else a folder of the user's own) held with an advisory lock
// (flock) for as long as the object holds it. The kernel frees the lock when
// the process ends, however it ends, so a crashed editor never blocks the
// next start.
#pragma once

#include <string>

namespace morvelant {

class SingleInstanceLock {
public:
    explicit SingleInstanceLock(std::string name);
    // A lock on a folder: its lock file (kFolderLockName, made when it is
    // not there), held by every copy that works with the files of that
    // folder. Path() names the lock file.
    struct OnFolder {
        std::string folder;
    };
    static constexpr char kFolderLockName[] = ".Morvelant.lock";
    explicit SingleInstanceLock(OnFolder folder);
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // Takes the lock without waiting. False when another process holds it,
    // and also when the lock file cannot be opened at all (then Failed()
    // tells the two apart). Taking it twice keeps the one lock.
    bool Acquire();
    // Gives the lock up (nothing when not held).
    void Release();

    bool Held() const { return fd_ >= 0; }
    bool Failed() const { return failed_; }
    // Why the lock could not be made (empty unless Failed()).
    const std::string& Error() const { return error_; }
    const std::string& Path() const { return path_; }

    // The folder that holds the lock files: XDG_RUNTIME_DIR when it is a
    // folder of the user's own, else "morvelant-<uid>" in TMPDIR (or /tmp),
    // made for the user, else ".cache/morvelant" in the home folder; a
    // folder that is a link, someone else's or writable by others is never
    // used. Empty when there is none.
    static std::string LockFolder();

private:
    std::string path_;
    int fd_ = -1;
    bool failed_ = false;
    bool folder_ = false;
    std::string error_;
};

}  // namespace morvelant
