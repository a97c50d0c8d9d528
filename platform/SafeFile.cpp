#include "platform/SafeFile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Opens a new temporary file beside `path`; the mode follows the umask as
// for any newly created file.
int CreateTemp(const std::string& path, std::string& tempName) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[64];
        std::snprintf(suffix, sizeof suffix, ".tmp%ld.%u", long(getpid()), counter.fetch_add(1));
        tempName = path + suffix;
        int fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
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

bool BackupExistingFile(const std::string& path, std::string* error) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return true;  // nothing to keep
    if (::rename(path.c_str(), BackupName(path).c_str()) != 0) {
        SetError(error, Reason("cannot keep a backup of", path, errno));
        return false;
    }
    return true;
}

bool SafeReplaceFile(const std::string& path, std::span<const uint8_t> data, std::string* error,
                     SafeReplaceOptions options) {
    if (path.empty()) {
        SetError(error, "no file name");
        return false;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        SetError(error, "\"" + path + "\" is a folder");
        return false;
    }

    std::string temp;
    int fd = CreateTemp(path, temp);
    if (fd < 0) {
        SetError(error, Reason("cannot create a file in", FolderOf(path), errno));
        return false;
    }
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
    if (!ok) {
        ::unlink(temp.c_str());
        SetError(error, Reason("cannot write", path, err));
        return false;
    }

    // Keep the old file as the backup. A second name for it is made first,
    // so that the name itself always holds a complete file: the old one until
    // the rename puts the new one in its place. Where the file system has no
    // hard links the old file is moved aside instead. If no backup can be
    // made the new file still replaces the old one, as a save without backup.
    const std::string bak = BackupName(path);
    const std::string bakLink = bak + ".new";
    bool linked = false;
    bool moved = false;
    if (options.keepBackup && ::lstat(path.c_str(), &st) == 0) {
        ::unlink(bakLink.c_str());
        linked = S_ISREG(st.st_mode) && ::link(path.c_str(), bakLink.c_str()) == 0;
        if (!linked) moved = ::rename(path.c_str(), bak.c_str()) == 0;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        err = errno;
        if (linked) ::unlink(bakLink.c_str());
        if (moved) ::rename(bak.c_str(), path.c_str());  // put the old file back
        ::unlink(temp.c_str());
        SetError(error, Reason("cannot replace", path, err));
        return false;
    }
    if (linked && ::rename(bakLink.c_str(), bak.c_str()) != 0) ::unlink(bakLink.c_str());
    // Make the rename itself durable.
    int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool SafeReplaceFile(const std::string& path, std::string_view data, std::string* error, SafeReplaceOptions options) {
    return SafeReplaceFile(path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(data.data()), data.size()),
                           error, options);
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, std::size_t maxBytes, std::string* error) {
    out.clear();
    // Non-blocking, so that a named pipe chosen by mistake is refused below
    // instead of waiting forever for a writer; reads of a regular file are
    // not affected.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        SetError(error, Reason("cannot open", path, errno));
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        SetError(error, "\"" + path + "\" is not a file");
        return false;
    }
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

void SetSafeFileWriteFunctionForTesting(SafeFileWriteFunction fn) { g_write.store(fn); }

}  // namespace morvelant
