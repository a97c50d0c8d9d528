// Case folding of file names, extensions and fixed keywords in ASCII alone.
// The C library's toupper and tolower follow the locale that the toolkit
// sets from the environment: in Turkish, 'i' does not become 'I', so ".mid"
// would not be ".MID". Names the program compares must not depend on that.
#pragma once

#include <string>
#include <string_view>

namespace morvelant {

inline char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }
inline char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

inline std::string AsciiUpper(std::string s) {
    for (char& c : s) c = AsciiUpper(c);
    return s;
}

inline std::string AsciiLower(std::string s) {
    for (char& c : s) c = AsciiLower(c);
    return s;
}

inline bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
    return true;
}

// The file name's extension, from its last dot after the last slash (".mid");
// empty when it has none.
inline std::string_view FileExtension(std::string_view fileName) {
    const auto slash = fileName.find_last_of('/');
    const auto dot = fileName.find_last_of('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
    return fileName.substr(dot);
}

// Whether the file name's extension is `ext` (".MID"), without regard to case.
inline bool HasFileExtension(std::string_view fileName, std::string_view ext) {
    const std::string_view own = FileExtension(fileName);
    return !own.empty() && SameIgnoringAsciiCase(own, ext);
}

}  // namespace morvelant
