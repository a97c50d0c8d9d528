// The few file operations that the editor and the driver library share, on
// POSIX calls alone (the driver library links nothing of the editor's):
//
// - opening an existing file for reading without ever waiting: a named pipe
//   without a writer, a device or a folder is refused with words for what it
//   is, so that a wrong choice never blocks the GUI thread;
// - the temporary files of a save: a short stem drawn from the name of the
//   file they will replace, the saving process's id and a counter
//   ("save-0123456789abcdef.tmp4711.0"), so that a file of the longest name
//   a folder takes has a temporary that fits, and what a killed save left
//   behind is recognised and removed at the next save of that file, while
//   a copy of the program that is still running keeps its own;
// - the one save of a file: where a link leads, into a temporary beside it
//   that has the replaced file's mode and group, every write checked,
//   flushed to disk, renamed into place, and the folder it was renamed into
//   flushed too; any failure before the rename reported, the old file left
//   as it was and no descriptor left open. Once renamed the file is saved:
//   a folder that cannot be flushed (one that may be written but not read)
//   is only said on stderr.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace morvelant::files {

// What a path is when it is not a regular file, as a user would say it.
inline const char* KindOfNonRegular(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a named pipe";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

inline std::string NotAFileText(const std::string& path, mode_t mode) {
    return "\"" + path + "\" is " + KindOfNonRegular(mode) + ", not a file";
}

// Opens an existing regular file for reading, or gives -1 and, in *error,
// why not ("cannot open ...: reason", or "... is a named pipe, not a file"
// with errno EINVAL). The open itself never waits: a named pipe is opened
// non-blocking and then refused; reads of a regular file do not block.
inline int OpenRegularFileForReading(const std::string& path, std::string* error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        const int err = errno;
        if (error) *error = "cannot open \"" + path + "\": " + std::strerror(err);
        errno = err;
        return -1;
    }
    struct stat st {};
    const bool known = ::fstat(fd, &st) == 0;
    if (!known || !S_ISREG(st.st_mode)) {
        ::close(fd);
        if (error) *error = known ? NotAFileText(path, st.st_mode) : "cannot read \"" + path + "\"";
        errno = EINVAL;
        return -1;
    }
    // Reads of a regular file go on as usual.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// Why an existing path is no file to read ("... is a folder, not a file");
// empty when it is a regular file or does not exist. Looking never opens it.
inline std::string NotAFileReason(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return {};
    return NotAFileText(path, st.st_mode);
}

namespace detail {

// The process ids of a name's temporary suffix: one or more ".tmp<pid>.<n>"
// (a temporary of a temporary); empty when `rest` is anything else.
inline std::vector<long> TemporaryPids(const std::string& rest) {
    std::vector<long> pids;
    std::size_t i = 0;
    const auto digits = [&rest, &i] {
        const std::size_t start = i;
        while (i < rest.size() && rest[i] >= '0' && rest[i] <= '9' && i - start < 12) ++i;
        return i > start;
    };
    while (i < rest.size()) {
        if (rest.compare(i, 4, ".tmp") != 0) return {};
        i += 4;
        const std::size_t pidStart = i;
        if (!digits()) return {};
        const long pid = std::stol(rest.substr(pidStart, i - pidStart));
        if (i >= rest.size() || rest[i] != '.') return {};
        ++i;
        if (!digits()) return {};
        pids.push_back(pid);
    }
    return pids;
}

// The stem of the temporaries of a file named `name` ("save-" and a hash
// of the name), the same in every process and short whatever the name.
inline std::string TemporaryStem(const std::string& name) {
    uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (const unsigned char c : name) hash = (hash ^ c) * 1099511628211ull;
    char stem[32];
    std::snprintf(stem, sizeof stem, "save-%016llx", static_cast<unsigned long long>(hash));
    return stem;
}

// Whether `name` is itself a temporary's: a temporary of a temporary keeps
// its stem and adds its own suffix.
inline bool IsTemporaryName(const std::string& name) {
    const std::size_t stem = TemporaryStem("").size();
    return name.size() > stem && name.compare(0, 5, "save-") == 0 && !TemporaryPids(name.substr(stem)).empty();
}

// A path's folder ("" for none) and name.
inline std::pair<std::string, std::string> SplitPath(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return {"", path};
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

}  // namespace detail

// Creates a new temporary file beside `path` (see the top), open for
// writing, its mode following the umask as for any new file. -1 on failure
// (errno set).
inline int CreateTemporaryFile(const std::string& path, std::string& tempName) {
    static std::atomic<unsigned> counter{0};
    const auto [folder, name] = detail::SplitPath(path);
    const std::string stem = folder + (detail::IsTemporaryName(name) ? name : detail::TemporaryStem(name));
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempName = stem + ".tmp" + std::to_string(long(::getpid())) + "." + std::to_string(counter.fetch_add(1));
        const int fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

namespace detail {

// True only when the process is known to have ended: one that runs, even
// under another user, keeps its files.
inline bool ProcessGone(long pid) {
    if (pid <= 0 || pid == long(::getpid())) return false;
    return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

}  // namespace detail

// Removes the temporaries that saves of `path` (and of its ".BAK") by
// processes that have ended left in its folder. Nothing else is touched.
inline void RemoveStaleTemporaries(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (base.empty()) return;
    // A temporary of the backup may hold the only copy of the old file when
    // a save ended before the new one was in place: it stays until the file
    // itself is there again.
    struct stat st {};
    const bool fileThere = ::stat(path.c_str(), &st) == 0;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(d)) {
        const std::string name = entry->d_name;
        // Each owner's temporaries: under its stem, or, left by an older
        // save, under its whole name.
        std::vector<long> pids;
        for (const std::string& owner : {base, base + ".BAK"}) {
            if (owner != base && !fileThere) continue;
            for (const std::string& stem : {detail::TemporaryStem(owner), owner}) {
                if (pids.empty() && name.size() > stem.size() && name.compare(0, stem.size(), stem) == 0)
                    pids = detail::TemporaryPids(name.substr(stem.size()));
            }
        }
        if (pids.empty()) continue;
        bool gone = true;
        for (long pid : pids) gone = gone && detail::ProcessGone(pid);
        if (gone) stale.push_back(dir + "/" + name);
    }
    ::closedir(d);
    for (const std::string& file : stale) {
        if (::lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(file.c_str());
    }
}

// ---- The one save --------------------------------------------------------------

// The test hooks of the save: the write(2) of the temporary and the flush of
// a folder; nullptr is the system call.
using WriteFunction = ssize_t (*)(int fd, const void* data, std::size_t size);
using FolderSyncFunction = int (*)(const char* folder);
inline std::atomic<WriteFunction> g_saveWrite{nullptr};
inline std::atomic<FolderSyncFunction> g_folderSync{nullptr};

inline std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

inline std::string ErrorText(const std::string& what, const std::string& path, int err) {
    return what + " \"" + path + "\": " + std::strerror(err);
}

// The file that a save of `path` writes: where a symbolic link leads (every
// link on the way followed; a target that is not there yet is made where
// the last link points), else `path` itself. A loop of links, or a chain
// too long to follow, is no file to save to: empty, errno ELOOP.
inline std::string SaveTarget(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        char to[4096];
        const ssize_t n = ::readlink(current.c_str(), to, sizeof to);
        if (n <= 0 || std::size_t(n) >= sizeof to) break;
        const std::string next(to, std::size_t(n));
        current = next.front() == '/' ? next : FolderOf(current) + "/" + next;
    }
    errno = ELOOP;
    return {};
}

// Writes all of `data`; false with errno (ENOSPC for a write that takes
// nothing).
inline bool WriteAll(int fd, const void* data, std::size_t size) {
    const WriteFunction write = g_saveWrite.load();
    auto* at = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = write ? write(fd, at, size) : ::write(fd, at, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        at += n;
        size -= std::size_t(n);
    }
    return true;
}

// Flushes a written file to disk and closes it; the descriptor is closed
// whatever happens. False, errno the first failure, when either failed.
inline bool SyncAndClose(int fd) {
    int err = ::fsync(fd) == 0 ? 0 : errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    errno = err;
    return err == 0;
}

// Makes the renames into `folder` last; false with errno.
inline bool SyncFolder(const std::string& folder) {
    if (const FolderSyncFunction sync = g_folderSync.load()) return sync(folder.c_str()) == 0;
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return fd >= 0 && SyncAndClose(fd);
}

// Syncs the folder of each file once. The files are in place whatever
// happens: a folder that cannot be flushed is said on stderr, and that is
// all.
inline void SyncFoldersOf(const std::vector<std::string>& files) {
    std::vector<std::string> folders;
    for (const std::string& file : files) folders.push_back(FolderOf(file));
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    for (const std::string& folder : folders) {
        if (SyncFolder(folder)) continue;
        std::fprintf(stderr, "Saved, but the folder \"%s\" could not be flushed to disk: %s\n", folder.c_str(),
                     std::strerror(errno));
    }
}

// Gives the temporary `fd` the mode of the file it will replace, and its
// group where the user may set it; a new file keeps what the umask gave.
// A file system without modes keeps its own.
inline void KeepModeOf(const std::string& target, int fd) {
    struct stat old {};
    if (::stat(target.c_str(), &old) != 0 || !S_ISREG(old.st_mode)) return;
    // The group first: a change of group may clear the set-id bits.
    [[maybe_unused]] const int grouped = ::fchown(fd, uid_t(-1), old.st_gid);  // EPERM: not a group of the user's
    [[maybe_unused]] const int moded = ::fchmod(fd, old.st_mode & 07777);
}

// Writes `data` into a new temporary beside `target` (see
// CreateTemporaryFile), with the mode of the file it replaces, flushed to
// disk and closed. On failure the temporary is gone and *error says why.
inline bool WriteTemporary(const std::string& target, const void* data, std::size_t size, std::string& tempName,
                           std::string* error) {
    // What an ended save of this file left behind goes now.
    RemoveStaleTemporaries(target);
    const int fd = CreateTemporaryFile(target, tempName);
    if (fd < 0) {
        if (error) *error = ErrorText("cannot create a file in", FolderOf(target), errno);
        return false;
    }
    KeepModeOf(target, fd);
    bool ok = WriteAll(fd, data, size);
    int err = errno;
    if (!ok) ::close(fd);
    if (ok && !SyncAndClose(fd)) ok = false, err = errno;
    if (!ok) {
        ::unlink(tempName.c_str());
        if (error) *error = ErrorText("cannot write", target, err);
    }
    return ok;
}

// The save of one file without a backup, as described at the top. False,
// with the reason in *error, when anything before the rename failed; the
// file is then as it was.
inline bool ReplaceFile(const std::string& path, const void* data, std::size_t size, std::string* error) {
    const std::string target = SaveTarget(path);
    if (target.empty()) {
        if (error) *error = ErrorText("cannot save", path, errno);
        return false;
    }
    std::string temp;
    if (!WriteTemporary(target, data, size, temp, error)) return false;
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        if (error) *error = ErrorText("cannot replace", target, err);
        return false;
    }
    SyncFoldersOf({target});
    return true;
}

}  // namespace morvelant::files
