// Safe replacement of a file on disk, and whole-file reading.
//
// Every writer of the editor goes through SafeReplaceFile: the new content is
// written to a temporary file in the same folder, every write is checked and
// the data flushed to disk, the file that is being replaced is kept under the
// same name with ".BAK" appended, and only then is the new file renamed into
// place. A failure at any step leaves the old file where it was and is
// reported, never passed off as success.
#pragma once

#include <cstddef>
#include <cstdint>
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
};

// Writes `data` to `path` as described above. On failure returns false and,
// when `error` is given, a short description ("cannot create ...: reason").
bool SafeReplaceFile(const std::string& path, std::span<const uint8_t> data, std::string* error = nullptr,
                     SafeReplaceOptions options = {});
bool SafeReplaceFile(const std::string& path, std::string_view data, std::string* error = nullptr,
                     SafeReplaceOptions options = {});

// Moves an existing file to its ".BAK" name (replacing an older backup). For
// writers that must produce the file themselves. Returns true when there was
// nothing to move or the move succeeded.
bool BackupExistingFile(const std::string& path, std::string* error = nullptr);

// Reads a whole regular file. Fails (false) when it cannot be opened or read,
// or is larger than maxBytes; `error` then says why.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, std::size_t maxBytes,
                   std::string* error = nullptr);

bool FileExists(const std::string& path);

// Test hook: replaces the write(2) call used for the temporary file, so that
// tests can make a write fail or come up short. nullptr restores write(2).
using SafeFileWriteFunction = ssize_t (*)(int fd, const void* data, std::size_t size);
void SetSafeFileWriteFunctionForTesting(SafeFileWriteFunction fn);

}  // namespace morvelant
