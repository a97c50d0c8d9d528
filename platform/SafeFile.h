// Safe replacement of a file on disk, and whole-file reading.
//
// Every writer of the editor goes through SafeReplaceFile: the new content is
// written to a temporary file in the same folder, every write is checked and
// the data flushed to disk, the file that is being replaced is kept under the
// same name with ".BAK" appended, and only then is the new file renamed into
// place, with the old file's mode and group. A failure before the rename
// leaves the old file as it was and is reported; a folder not flushed after
// it is only said. A killed save's temporaries go at the next save.
//
// A file that is a symbolic link is saved where the link leads: the
// temporary and the ".BAK" go beside the target, and the link stays. A loop
// of links is refused, and stays. The one save routine under all of it
// (platform/FilePrimitives.h) is shared with the driver library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

namespace morvelant {

// The name under which the replaced file is kept: path + ".BAK".
std::string BackupName(const std::string& path);

struct SafeReplaceOptions {
    bool keepBackup = true;  // keep an existing file as path + ".BAK"
    // A file that already holds exactly the new bytes is left as it is (and
    // so is its backup): a save that changes nothing costs a read, not a
    // write and a flush to disk.
    bool leaveIfSame = false;
};

// Writes `data` to `path` as described above. On failure returns false and,
// when `error` is given, a short description ("cannot create ...: reason").
bool SafeReplaceFile(const std::string& path, std::span<const uint8_t> data, std::string* error = nullptr,
                     SafeReplaceOptions options = {});
bool SafeReplaceFile(const std::string& path, std::string_view data, std::string* error = nullptr,
                     SafeReplaceOptions options = {});

// Several files that replace their old files together or not at all, as a
// MIDI file and the notes beside it. Every new file is written to its
// temporary first and checked; only Commit keeps the old files as ".BAK" and
// renames the new ones in. A group that is not committed, or whose commit
// fails, removes its temporaries and leaves every old file and every backup
// as it was.
class SafeReplaceGroup {
public:
    explicit SafeReplaceGroup(SafeReplaceOptions options = {});
    ~SafeReplaceGroup();
    SafeReplaceGroup(const SafeReplaceGroup&) = delete;
    SafeReplaceGroup& operator=(const SafeReplaceGroup&) = delete;

    // Writes the new content of `path` to its temporary. False, with the
    // reason in `error`, when it cannot be written whole.
    bool Add(const std::string& path, std::span<const uint8_t> data, std::string* error = nullptr);
    bool Add(const std::string& path, std::string_view data, std::string* error = nullptr);
    // For a writer of its own: an empty temporary for `path`, which the
    // writer fills (or renames its own complete file over) before Commit.
    bool Reserve(const std::string& path, std::string& tempName, std::string* error = nullptr);
    // An existing file that the group replaces by nothing: the commit keeps
    // it as its backup. A path that is no regular file is left alone.
    void Retire(const std::string& path);
    // Puts every new file in place (see above). False, with the reason, when
    // that could not be done; then nothing has changed.
    bool Commit(std::string* error = nullptr);

private:
    struct Entry {
        std::string path;
        std::string temp;  // empty: retired
        std::string oldAside;  // a second name of the old file while committing
        bool hadOld = false;
        bool linked = false;  // oldAside is a second name of the file still at path
        bool movedOld = false;  // the old file is at oldAside only
        bool replaced = false;
    };
    bool NewTemporary(const std::string& path, std::span<const uint8_t> data, std::string& tempName,
                      std::string* error);
    void RollBack(std::size_t upTo);
    bool Fail(std::size_t upTo, const char* what, const std::string& path, int err, std::string* error);
    void RemoveTemporaries();

    SafeReplaceOptions options_;
    std::vector<Entry> entries_;
    bool committed_ = false;
};

// Reads a whole regular file. Fails (false) when it cannot be opened or read,
// is no regular file (a named pipe, a folder, a device: never waited on), or
// is larger than maxBytes; `error` then says why.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, std::size_t maxBytes,
                   std::string* error = nullptr);

// Opens an existing regular file for reading without waiting; -1 otherwise,
// `error` saying why ("\"x\" is a named pipe, not a file"). For readers that
// read through a descriptor of their own.
int OpenRegularFile(const std::string& path, std::string* error = nullptr);

// Why an existing path is no file to read ("\"x\" is a folder, not a
// file"); empty when it is a regular file or does not exist.
std::string NotAFileReason(const std::string& path);

bool FileExists(const std::string& path);

// Whether anything (a file, a folder, a link, even a broken one) stands at
// path.
bool Occupied(const std::string& path);

// The file that a save of `path` writes: where a symbolic link at `path`
// leads (links followed to the end), else `path` itself; empty (errno
// ELOOP) for a loop of links, which no save writes over.
std::string SaveTarget(const std::string& path);

// path with " 2", " 3", ... before its extension ("Config 2.MVR"): the
// first such name at which nothing stands.
std::string FreeNameBeside(const std::string& path);

// The one file beside `path` that keeps the work instead of it, the same at
// every start. `ours` tells whether a file is the editor's (and reads it,
// when it is). The first of the numbered names ("Config 2.MVR"; `path`
// itself first, given `pathItself`) that is ours and reads is read back;
// one that is ours but does not read is named in `unread`, with why, and
// left as it is, as every file of the user's own; else the first free name
// (`path` itself, given `pathItself`, when it is free). The numbered files
// passed over as not ours are in `passed`.
enum class KeptKind { NotOurs, Ours, OursUnread };
struct KeptBeside {
    std::string path;
    bool readBack = false;
    std::string unread;
    std::string whyUnread;
    std::vector<std::string> passed;
};
// What the start says of the files passed over ("\"Config 2.MVR\" is not a
// file the editor kept, and is left alone. "); empty when there are none.
std::string PassedOverText(const KeptBeside& kept);
KeptBeside KeepBeside(const std::string& path,
                      const std::function<KeptKind(const std::string& name, std::string* why)>& ours,
                      bool pathItself = false);

// The marks beside the files the editor kept instead of a working set
// (or a configuration) it could not use: a file of the editor's own in
// their folder, naming each kept file relative to that folder, so that the
// mark moves with the folder and outlives the configuration.
std::string KeptMarkFile(const std::string& folder);
// The name of the kept file of `key` ("Presets") that the mark in `folder`
// names (a file in that folder); empty when none.
std::string MarkedKeptFile(const std::string& folder, const std::string& key);
// Marks `file` (in `folder`) as the kept file of `key`; empty: none any
// more. False when the mark could not be written.
bool MarkKeptFile(const std::string& folder, const std::string& key, const std::string& file);

// Whether new files can be made in `folder`; `why` says why not (a
// read-only or unchangeable folder, one the user may not write, a file).
bool FolderTakesFiles(const std::string& folder, std::string* why = nullptr);

// The user's own data folder for the editor:
// $XDG_DATA_HOME/MorvelantEditor, else <home>/.local/share/MorvelantEditor,
// the home being $HOME or, without it, the account's own. It is made only
// when a save writes into it (for this user alone). Empty, with `why`
// saying why, when there is no home at all.
std::string UserDataFolder(std::string* why = nullptr);
// $HOME, else the account's home folder; empty when there is none.
std::string AccountHome();
// Makes the user's data folder when `file` is to go into it and it is not
// there yet; true when there is nothing to make. `error` says why not.
bool MakeDataFolderFor(const std::string& file, std::string* error = nullptr);
// The user's own state folder for the editor: $XDG_STATE_HOME/MorvelantEditor,
// else <home>/.local/state/MorvelantEditor. Empty when there is no home.
std::string UserStateFolder();
// Makes `folder` for this user alone (its parents as for any new folder);
// one that is there keeps its rights.
bool MakePrivateFolder(const std::string& folder, std::string* error = nullptr);
// The usual private temporary folder of this user when it is there
// (never made here); empty otherwise.
std::string ExistingPrivateTemporaryFolder();
// A folder of this user's alone under $TMPDIR (else /tmp; a fresh one when
// its name is taken), made now: the last place. Empty, `why` saying why.
std::string PrivateTemporaryFolder(std::string* why = nullptr);

// Test hook: replaces the write(2) call used for the temporary file, so that
// tests can make a write fail or come up short. nullptr restores write(2).
using SafeFileWriteFunction = ssize_t (*)(int fd, const void* data, std::size_t size);
void SetSafeFileWriteFunctionForTesting(SafeFileWriteFunction fn);

}  // namespace morvelant
