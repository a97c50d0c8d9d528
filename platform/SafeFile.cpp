#include "platform/SafeFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FilePrimitives.h"

namespace morvelant {

namespace {

std::atomic<SafeFileWriteFunction> g_write{nullptr};

std::string Reason(const std::string& what, const std::string& path, int err) {
    return what + " \"" + path + "\": " + std::strerror(err);
}

void SetError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}

std::string FolderOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool WriteAll(int fd, const uint8_t* data, std::size_t size) {
    SafeFileWriteFunction fn = g_write.load();
    while (size > 0) {
        ssize_t n = fn ? fn(fd, data, size) : ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

}  // namespace

std::string BackupName(const std::string& path) { return path + ".BAK"; }

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool Occupied(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string SaveTarget(const std::string& path) {
    // Every link on the way is followed; a target that is not there yet is
    // made where the last link points. A loop of links is left to fail.
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
    return path;
}

std::string FreeNameBeside(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) dot = path.size();
    for (int n = 2;; ++n) {
        std::string name = path.substr(0, dot) + " " + std::to_string(n) + path.substr(dot);
        if (!Occupied(name)) return name;
    }
}

bool FolderTakesFiles(const std::string& folder, std::string* why) {
    const std::string dir = folder.empty() ? std::string(".") : folder;
    // Also refused: a read-only file system and an unchangeable folder,
    // whoever asks.
    if (::access(dir.c_str(), W_OK | X_OK) == 0) return true;
    SetError(why, Reason("cannot write in", dir, errno));
    return false;
}

std::string UserDataFolder(std::string* why) {
    std::string base;
    // Only an absolute XDG_DATA_HOME counts; a relative one is ignored.
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && data[0] == '/') {
        base = data;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = std::string(home) + "/.local/share";
    } else {
        SetError(why, "there is no home folder");
        return {};
    }
    const std::string folder = base + "/MorvelantEditor";
    std::error_code ec;
    // Made for this user alone; a folder that is there keeps its rights.
    if (std::filesystem::create_directories(folder, ec))
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ec);
    if (!std::filesystem::is_directory(folder, ec)) {
        SetError(why, "cannot make the folder \"" + folder + "\"");
        return {};
    }
    return folder;
}

// ---- A group of files replaced together ---------------------------------------------

SafeReplaceGroup::SafeReplaceGroup(SafeReplaceOptions options) : options_(options) {}

SafeReplaceGroup::~SafeReplaceGroup() {
    if (!committed_) RemoveTemporaries();
}

void SafeReplaceGroup::RemoveTemporaries() {
    for (Entry& e : entries_) {
        if (!e.temp.empty()) ::unlink(e.temp.c_str());
        e.temp.clear();
        // A second name goes; an old file that only that name still holds stays.
        if (!e.oldAside.empty() && !e.movedOld) ::unlink(e.oldAside.c_str());
    }
}

bool SafeReplaceGroup::NewTemporary(const std::string& path, std::string& tempName, int& fd, std::string* error) {
    if (path.empty()) {
        SetError(error, "no file name");
        return false;
    }
    // A link is kept: its target is what is replaced.
    const std::string target = SaveTarget(path);
    // What an ended save of this file left behind goes now.
    files::RemoveStaleTemporaries(target);
    fd = files::CreateTemporaryFile(target, tempName);
    if (fd < 0) {
        SetError(error, Reason("cannot create a file in", FolderOf(target), errno));
        return false;
    }
    entries_.push_back({target, tempName, {}});
    return true;
}

bool SafeReplaceGroup::Add(const std::string& path, std::span<const uint8_t> data, std::string* error) {
    std::string temp;
    int fd = -1;
    if (!NewTemporary(path, temp, fd, error)) return false;
    bool ok = WriteAll(fd, data.data(), data.size());
    int err = errno;
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        err = errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (!ok) SetError(error, Reason("cannot write", path, err));
    return ok;
}

bool SafeReplaceGroup::Add(const std::string& path, std::string_view data, std::string* error) {
    return Add(path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(data.data()), data.size()), error);
}

bool SafeReplaceGroup::Reserve(const std::string& path, std::string& tempName, std::string* error) {
    int fd = -1;
    if (!NewTemporary(path, tempName, fd, error)) return false;
    ::close(fd);
    return true;
}

void SafeReplaceGroup::Retire(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) entries_.push_back({path, {}, {}});
}

// Puts back what entries [0, upTo) changed, the last first.
void SafeReplaceGroup::RollBack(std::size_t upTo) {
    for (std::size_t i = upTo; i-- > 0;) {
        Entry& e = entries_[i];
        if (e.hadOld && (e.replaced || e.movedOld)) {
            if (::rename(e.oldAside.c_str(), e.path.c_str()) == 0) e.movedOld = false;
        } else if (e.replaced) {
            ::unlink(e.path.c_str());  // there was no file of that name before
        }
        e.replaced = false;
    }
}

bool SafeReplaceGroup::Fail(std::size_t upTo, const char* what, const std::string& path, int err,
                            std::string* error) {
    RollBack(upTo);
    RemoveTemporaries();
    SetError(error, Reason(what, path, err));
    return false;
}

bool SafeReplaceGroup::Commit(std::string* error) {
    struct stat st {};
    for (const Entry& e : entries_) {
        if (!e.temp.empty() && ::stat(e.path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            RemoveTemporaries();
            SetError(error, "\"" + e.path + "\" is a folder");
            return false;
        }
    }
    // A second name for every old file first, so that each name always holds
    // a complete file: the old one until the rename puts the new one in its
    // place. Where the file system has no hard links the old file is moved
    // to that name just before its replacement instead.
    for (Entry& e : entries_) {
        e.hadOld = ::lstat(e.path.c_str(), &st) == 0;
        if (!e.hadOld) continue;
        const int fd = files::CreateTemporaryFile(BackupName(e.path), e.oldAside);
        if (fd < 0) return Fail(0, "cannot keep a backup of", e.path, errno, error);
        ::close(fd);
        ::unlink(e.oldAside.c_str());
        e.linked = S_ISREG(st.st_mode) && ::link(e.path.c_str(), e.oldAside.c_str()) == 0;
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        Entry& e = entries_[i];
        if (e.hadOld && !e.linked) {
            if (::rename(e.path.c_str(), e.oldAside.c_str()) != 0)
                return Fail(i, "cannot replace", e.path, errno, error);
            e.movedOld = true;
        }
        if (!e.temp.empty()) {
            if (::rename(e.temp.c_str(), e.path.c_str()) != 0)
                return Fail(i + 1, "cannot replace", e.path, errno, error);
            e.temp.clear();
        } else if (e.linked && ::unlink(e.path.c_str()) != 0) {
            return Fail(i + 1, "cannot remove", e.path, errno, error);
        }
        e.replaced = true;
    }
    // Every new file is in place: the old ones become the backups.
    for (Entry& e : entries_) {
        if (!e.hadOld) continue;
        if (!options_.keepBackup || ::rename(e.oldAside.c_str(), BackupName(e.path).c_str()) != 0)
            ::unlink(e.oldAside.c_str());
        e.oldAside.clear();
        e.movedOld = false;
    }
    committed_ = true;
    // Make the renames themselves durable (a group shares one folder).
    if (!entries_.empty()) {
        const int dir = ::open(FolderOf(entries_.front().path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    }
    return true;
}

bool SafeReplaceFile(const std::string& path, std::span<const uint8_t> data, std::string* error,
                     SafeReplaceOptions options) {
    if (options.leaveIfSame) {
        std::vector<uint8_t> old;
        if (ReadWholeFile(path, old, data.size()) && std::equal(old.begin(), old.end(), data.begin(), data.end()))
            return true;
    }
    SafeReplaceGroup group(options);
    return group.Add(path, data, error) && group.Commit(error);
}

bool SafeReplaceFile(const std::string& path, std::string_view data, std::string* error, SafeReplaceOptions options) {
    return SafeReplaceFile(path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(data.data()), data.size()),
                           error, options);
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, std::size_t maxBytes, std::string* error) {
    out.clear();
    const int fd = files::OpenRegularFileForReading(path, error);
    if (fd < 0) return false;
    struct stat st {};
    ::fstat(fd, &st);
    if (std::size_t(st.st_size) > maxBytes) {
        ::close(fd);
        SetError(error, "\"" + path + "\" is too large");
        return false;
    }
    out.resize(std::size_t(st.st_size));
    std::size_t got = 0;
    for (;;) {
        if (got == out.size()) {
            // The file may have grown since fstat; read on up to the limit.
            if (out.size() >= maxBytes) {
                uint8_t probe;
                ssize_t n = ::read(fd, &probe, 1);
                if (n > 0) {
                    ::close(fd);
                    out.clear();
                    SetError(error, "\"" + path + "\" is too large");
                    return false;
                }
                break;
            }
            out.resize(std::min(maxBytes, out.size() + 65536));
        }
        ssize_t n = ::read(fd, out.data() + got, out.size() - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            int err = errno;
            ::close(fd);
            out.clear();
            SetError(error, Reason("cannot read", path, err));
            return false;
        }
        if (n == 0) break;
        got += std::size_t(n);
    }
    out.resize(got);
    ::close(fd);
    return true;
}

int OpenRegularFile(const std::string& path, std::string* error) {
    return files::OpenRegularFileForReading(path, error);
}

std::string NotAFileReason(const std::string& path) { return files::NotAFileReason(path); }

void SetSafeFileWriteFunctionForTesting(SafeFileWriteFunction fn) { g_write.store(fn); }

}  // namespace morvelant
