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
// - Every call opens the file, reads or writes it and closes it, so two
//   objects on the same file always see each other's writes. A write goes to
//   a temporary file in the same folder that is then renamed into place, so
//   a failed write never leaves a half-written file.
//
// Lines are "key=value"; blanks around the key and the value are dropped and
// a value enclosed in matching quotes loses them. Lines beginning with ';'
// are comments. Files with CRLF line ends keep them; a new file gets CRLF.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace morvelant {

class TIniFile {
public:
    explicit TIniFile(std::string FileName) : FFileName(std::move(FileName)) {}

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

    // Parses a whole number the way ReadInteger does; false for anything else.
    static bool ParseInteger(const std::string& Text, int& Value);

    // Files larger than this are not read (defaults) and not rewritten.
    static constexpr size_t MaxFileBytes = 16u << 20;

private:
    std::string FFileName;
};

// Compares two names the way the file does (case-insensitive).
bool SameIniName(const std::string& a, const std::string& b);
// Orders two names alphabetically without regard to case.
bool IniNameLess(const std::string& a, const std::string& b);
// A section or key name as the file keeps it: on one line, without the
// blanks around it.
std::string StoredIniName(const std::string& name);

}  // namespace morvelant
