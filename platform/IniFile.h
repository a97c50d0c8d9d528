// A profile (INI) file with the behaviour the editor's configuration relies on.
//
// - Section and key names match without regard to case (ASCII and the
//   letters of Windows-1252).
// - A missing file, section or key gives the caller's default.
// - Whole numbers are read in decimal or, after "0x", in hexadecimal;
//   anything else gives the default. Booleans are written "1" and "0" and
//   read as numbers, any non-zero number meaning true.
// - Writing a key changes that one line in place, or adds the key at the end
//   of its section, or adds the section at the end of the file; every other
//   line, comments and blank lines included, stays as it was.
// - A file held in memory (IniFileHold, the program's configuration) is
//   read once when the hold begins; every TIniFile on that file then reads
//   and writes the one document in memory, and the document is written back
//   once, when the hold ends or a window asks for it (UpdateFile), and only
//   if it changed. Any other file is opened, read or written and closed by
//   each call, so two objects on the same file always see each other's
//   writes. A write goes to a temporary file in the same folder that is then
//   renamed into place, so a failed write never leaves a half-written file.
// - A file that exists but cannot be read (not a regular file, unreadable,
//   too large, or holding binary data) gives every default and is never
//   written: its content is not replaced by what this program knows of it.
//
// The cost of opening a file and of each call is linear in its size (lookups
// go through an index of the sections and keys).
//
// Lines are "key=value"; blanks around the key and the value are dropped and
// a value enclosed in matching quotes loses them. Lines beginning with ';'
// are comments. Files with CRLF line ends keep them; a new file gets CRLF.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace morvelant {

class TIniFile {
public:
    explicit TIniFile(std::string FileName);

    const std::string& FileName() const { return FFileName; }

    std::string ReadString(const std::string& Section, const std::string& Ident, const std::string& Default) const;
    int ReadInteger(const std::string& Section, const std::string& Ident, int Default) const;
    bool ReadBool(const std::string& Section, const std::string& Ident, bool Default) const;

    // Each returns false when the file could not be written (it is then left
    // as it was).
    bool WriteString(const std::string& Section, const std::string& Ident, const std::string& Value);
    bool WriteInteger(const std::string& Section, const std::string& Ident, int Value);
    bool WriteBool(const std::string& Section, const std::string& Ident, bool Value);

    // The keys of a section in the file's order (each name once, as first
    // spelled); empty when the section is missing.
    std::vector<std::string> ReadSection(const std::string& Section) const;
    // The keys of a section with their values, in the file's order; a key
    // written twice gives the value ReadString reads.
    std::vector<std::pair<std::string, std::string>> ReadSectionValues(const std::string& Section) const;
    // The names of all sections in the file's order.
    std::vector<std::string> ReadSections() const;
    // Every section with its keys and values, as ReadSections and then
    // ReadSectionValues for each would give them, from one read of the file
    // and in time linear in its size (a library of a thousand kits would
    // otherwise be read a thousand times).
    using SectionValues = std::vector<std::pair<std::string, std::string>>;
    std::vector<std::pair<std::string, SectionValues>> ReadAllSectionValues() const;
    bool SectionExists(const std::string& Section) const;
    bool ValueExists(const std::string& Section, const std::string& Ident) const;

    // Removes the section's header and every line under it (every occurrence
    // of the section). True when the file is as asked afterwards.
    bool EraseSection(const std::string& Section);
    bool DeleteKey(const std::string& Section, const std::string& Ident);

    // Writes the held document now if it changed since it was read or last
    // written. True when the file on disk is as the document (always for a
    // file that is not held: every write is already on disk).
    bool UpdateFile();

    // Parses a whole number the way ReadInteger does; false for anything else.
    static bool ParseInteger(const std::string& Text, int& Value);

    // Files larger than this are not read (defaults) and not rewritten.
    static constexpr size_t MaxFileBytes = 16u << 20;

private:
    std::string FFileName;
    std::string FKey;  // the file's absolute name, as holds are found by
};

// Keeps a profile file in memory from construction to destruction (see
// above). Holds of the same file share one document; the last one to end
// writes it back.
class IniFileHold {
public:
    explicit IniFileHold(const std::string& FileName);
    ~IniFileHold();
    IniFileHold(const IniFileHold&) = delete;
    IniFileHold& operator=(const IniFileHold&) = delete;

    // False when the file exists but could not be read; ReadError() says
    // why. Such a file is left as it is.
    bool Readable() const;
    const std::string& ReadError() const;
    // The document differs from the file on disk.
    bool Changed() const;
    // Writes the document if it changed; false (and `error` says why) when
    // it could not be written.
    bool Flush(std::string* error = nullptr);
    // From now on the document is written to `path` instead (the file it was
    // read from stays as it is). A document that could not be read starts
    // over empty, all defaults, so that this session's settings can be kept.
    void SaveInstead(const std::string& path);
    // Drops the changes made so far: nothing is written for them.
    void Forget();
    // Reads the document from `path` instead, and writes it there from now
    // on (the windows still name the file the hold began with). Readable()
    // then tells of that file.
    void ReadFrom(const std::string& path);
    // Writes the document to `path` now, and there from now on; false (and
    // `error` says why) when it could not be written.
    bool SaveTo(const std::string& path, std::string* error = nullptr);
    // Where the document is written.
    std::string SavedTo() const;

    struct Shared;

private:
    std::shared_ptr<Shared> shared_;
};

// Compares two names the way the file does (case-insensitive).
bool SameIniName(const std::string& a, const std::string& b);
// Orders two names alphabetically without regard to case.
bool IniNameLess(const std::string& a, const std::string& b);
// A section or key name as the file keeps it: on one line, without the
// blanks around it.
std::string StoredIniName(const std::string& name);

}  // namespace morvelant
