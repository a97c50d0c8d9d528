#include "platform/SafeFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FilePrimitives.h"
#include "platform/IniFile.h"

namespace morvelant {

namespace {

std::string Reason(const std::string& what, const std::string& path, int err) {
    return files::ErrorText(what, path, err);
}

void SetError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}

using files::FolderOf;

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

std::string SaveTarget(const std::string& path) { return files::SaveTarget(path); }

namespace {

// path with " n" before its extension.
std::string NumberedName(const std::string& path, int n) {
    const std::size_t slash = path.find_last_of('/');
    std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) dot = path.size();
    return path.substr(0, dot) + " " + std::to_string(n) + path.substr(dot);
}

// Numbered names ("Config 2.MVR" on) looked at for a kept file.
constexpr int kMostNumberedNames = 100;

}  // namespace

std::string FreeNameBeside(const std::string& path) {
    for (int n = 2;; ++n) {
        std::string name = NumberedName(path, n);
        if (!Occupied(name)) return name;
    }
}

KeptBeside KeepBeside(const std::string& path,
                      const std::function<KeptKind(const std::string& name, std::string* why)>& ours,
                      bool pathItself) {
    // A folder or a pipe among the names is passed over, as is every file
    // that is not ours: none is ever written over.
    KeptBeside kept;
    for (int n = pathItself ? 1 : 2; n < kMostNumberedNames; ++n) {
        const std::string name = n == 1 ? path : NumberedName(path, n);
        if (!Occupied(name) || !NotAFileReason(name).empty()) continue;
        std::string why;
        const KeptKind kind = ours(name, &why);
        if (kind == KeptKind::Ours) return {name, true, kept.unread, kept.whyUnread, kept.passed};
        if (kind == KeptKind::NotOurs && n > 1) kept.passed.push_back(name);
        if (kind == KeptKind::OursUnread && kept.unread.empty()) {
            kept.unread = name;
            kept.whyUnread = why;
        }
    }
    kept.path = pathItself && !Occupied(path) ? path : FreeNameBeside(path);
    return kept;
}

namespace {
constexpr char kKeptMarkName[] = ".Morvelant.kept";
constexpr char kKeptMarkSection[] = "Kept Files";
}  // namespace

std::string KeptMarkFile(const std::string& folder) {
    return (folder.empty() ? std::string(".") : folder) + "/" + kKeptMarkName;
}

std::string MarkedKeptFile(const std::string& folder, const std::string& key) {
    const std::string name = TIniFile(KeptMarkFile(folder)).ReadString(kKeptMarkSection, key, "");
    // Only a name in the folder itself: a mark never leads elsewhere.
    if (name.find('/') != std::string::npos || name == "." || name == "..") return {};
    return name;
}

bool MarkKeptFile(const std::string& folder, const std::string& key, const std::string& file) {
    const std::string name = file.substr(file.find_last_of('/') + 1);
    TIniFile mark(KeptMarkFile(folder));
    if (mark.ReadString(kKeptMarkSection, key, "") == name) return true;
    if (name.empty()) return !Occupied(mark.FileName()) || mark.DeleteKey(kKeptMarkSection, key);
    return mark.WriteString(kKeptMarkSection, key, name);
}

std::string PassedOverText(const KeptBeside& kept) {
    if (kept.passed.empty()) return {};
    std::string names;
    for (std::size_t i = 0; i < kept.passed.size(); ++i)
        names += (i == 0 ? "" : i + 1 == kept.passed.size() ? " and " : ", ") + ("\"" + kept.passed[i] + "\"");
    return names + (kept.passed.size() == 1 ? " is not a file" : " are not files") + " the editor kept, and " +
        (kept.passed.size() == 1 ? "is" : "are") + " left alone. ";
}

bool FolderTakesFiles(const std::string& folder, std::string* why) {
    const std::string dir = folder.empty() ? std::string(".") : folder;
    // Also refused: a read-only file system and an unchangeable folder,
    // whoever asks.
    struct stat st {};
    if (::stat(dir.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
        SetError(why, Reason("cannot write in", dir, ENOTDIR));
        return false;
    }
    if (::access(dir.c_str(), W_OK | X_OK) == 0) return true;
    SetError(why, Reason("cannot write in", dir, errno));
    return false;
}

std::string AccountHome() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    // Without HOME (a service, a cleaned environment): the account's own.
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(std::size_t(size > 0 ? size : 16384));
    struct passwd entry {};
    struct passwd* found = nullptr;
    while (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == ERANGE && buffer.size() < (1u << 20))
        buffer.resize(buffer.size() * 2);
    return found && found->pw_dir && found->pw_dir[0] == '/' ? std::string(found->pw_dir) : std::string();
}

std::string UserDataFolder(std::string* why) {
    // Only an absolute XDG_DATA_HOME counts; a relative one is ignored.
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && data[0] == '/')
        return std::string(data) + "/MorvelantEditor";
    const std::string home = AccountHome();
    if (home.empty()) {
        SetError(why, "there is no home folder");
        return {};
    }
    return home + "/.local/share/MorvelantEditor";
}

// Makes `folder` for this user alone, its parents as for any new folder; a
// folder that is there keeps its rights.
bool MakePrivateFolder(const std::string& folder, std::string* error) {
    std::error_code ec;
    std::filesystem::create_directories(FolderOf(folder), ec);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        SetError(error, Reason("cannot make the folder", folder, errno));
        return false;
    }
    return true;
}

bool MakeDataFolderFor(const std::string& file, std::string* error) {
    const std::string folder = FolderOf(file);
    if (folder != UserDataFolder()) return true;
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 || MakePrivateFolder(folder, error);
}

namespace {

bool PrivateFolderOfThisUser(const std::string& folder) {
    struct stat st {};
    return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
        (st.st_mode & 077) == 0;
}

}  // namespace

std::string UserStateFolder() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && state[0] == '/')
        return std::string(state) + "/MorvelantEditor";
    const std::string home = AccountHome();
    return home.empty() ? std::string() : home + "/.local/state/MorvelantEditor";
}

namespace {

// The usual name of this user's private temporary folder under `base`.
std::string UsualTemporaryFolder(const std::string& base) {
    return base + "/MorvelantEditor-" + std::to_string(long(::getuid()));
}

std::vector<std::string> TemporaryBases() {
    const char* tmp = std::getenv("TMPDIR");
    std::vector<std::string> bases = {"/tmp"};
    if (tmp && tmp[0] == '/' && std::string(tmp) != "/tmp") bases.insert(bases.begin(), tmp);
    return bases;
}

}  // namespace

std::string ExistingPrivateTemporaryFolder() {
    for (const std::string& base : TemporaryBases())
        if (const std::string folder = UsualTemporaryFolder(base); PrivateFolderOfThisUser(folder)) return folder;
    return {};
}

std::string PrivateTemporaryFolder(std::string* why) {
    // A fresh folder made by this process: the next file of the same end
    // goes there too.
    static std::string fresh;
    std::string reasons;
    for (const std::string& base : TemporaryBases()) {
        const std::string folder = UsualTemporaryFolder(base);
        // Only a folder of this user's that nobody else may enter: anyone may
        // make a name under /tmp first, and what stands there is left alone.
        std::string error;
        if (MakePrivateFolder(folder, &error) && PrivateFolderOfThisUser(folder)) return folder;
        if (error.empty()) error = "\"" + folder + "\" is not a private folder of this user";
        if (!fresh.empty() && FolderOf(fresh) == FolderOf(folder) && PrivateFolderOfThisUser(fresh)) return fresh;
        std::string name = folder + "-XXXXXX";
        if (::mkdtemp(name.data()) != nullptr) return fresh = name;
        reasons += (reasons.empty() ? "" : "\n") + error + "; " + Reason("cannot make a folder in", base, errno);
    }
    SetError(why, reasons);
    return {};
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

bool SafeReplaceGroup::NewTemporary(const std::string& path, std::span<const uint8_t> data, std::string& tempName,
                                    std::string* error) {
    if (path.empty()) {
        SetError(error, "no file name");
        return false;
    }
    // A link is kept: its target is what is replaced. A loop of links is
    // no file to replace, and stays as it is.
    const std::string target = SaveTarget(path);
    if (target.empty()) {
        SetError(error, Reason("cannot save", path, errno));
        return false;
    }
    if (!MakeDataFolderFor(target, error)) return false;
    if (!files::WriteTemporary(target, data.data(), data.size(), tempName, error)) return false;
    Entry entry;
    entry.path = target;
    entry.temp = tempName;
    entries_.push_back(std::move(entry));
    return true;
}

bool SafeReplaceGroup::Add(const std::string& path, std::span<const uint8_t> data, std::string* error) {
    std::string temp;
    return NewTemporary(path, data, temp, error);
}

bool SafeReplaceGroup::Add(const std::string& path, std::string_view data, std::string* error) {
    return Add(path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(data.data()), data.size()), error);
}

bool SafeReplaceGroup::Reserve(const std::string& path, std::string& tempName, std::string* error) {
    return NewTemporary(path, {}, tempName, error);
}

void SafeReplaceGroup::Retire(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
    Entry entry;
    entry.path = path;
    entries_.push_back(std::move(entry));
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
    // The renames themselves should last: every folder renamed into is
    // flushed (links may lead to several). The files are saved already.
    std::vector<std::string> files;
    for (const Entry& e : entries_) files.push_back(e.path);
    files::SyncFoldersOf(files);
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

void SetSafeFileWriteFunctionForTesting(SafeFileWriteFunction fn) { files::g_saveWrite.store(fn); }

}  // namespace morvelant
