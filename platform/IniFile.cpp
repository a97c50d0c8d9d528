#include "platform/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "platform/Dialogs.h"
#include "platform/SafeFile.h"

namespace morvelant {

namespace {

unsigned char FoldCase(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
    switch (c) {
        case 0x9A: return 0x8A;
        case 0x9C: return 0x8C;
        case 0x9E: return 0x8E;
        case 0xFF: return 0x9F;
        default: return c;
    }
}

// Blanks, tabs and stray carriage returns (a line end of another system)
// around a name or value are not part of it.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// Line breaks in a value or name would split the line.
std::string OneLine(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (c == '\r' || c == '\n') c = ' ';
    return out;
}

// One line of the file as it was read, and what it means.
struct Line {
    enum Kind { Other, Section, Key } kind = Other;
    std::string text;  // the line without its line end
    std::string name;  // section or key name
    std::string value;  // key value, blanks and quotes removed
};

struct Document {
    std::vector<Line> lines;
    std::string eol = "\r\n";
    bool finalEol = true;  // the last line ended with a line end
    bool exists = false;
    bool readable = true;
};

Line Classify(std::string text) {
    Line line;
    line.text = std::move(text);
    const std::string t = Trim(line.text);
    if (t.empty() || t[0] == ';') return line;
    if (t[0] == '[') {
        const size_t close = t.find(']');
        line.kind = Line::Section;
        // A stray carriage return inside a name counts as the blank it
        // becomes when the name is written, so every name listed can be
        // written back.
        line.name = Trim(OneLine(t.substr(1, close == std::string::npos ? std::string::npos : close - 1)));
        return line;
    }
    const size_t eq = t.find('=');
    if (eq == std::string::npos) return line;
    line.kind = Line::Key;
    line.name = Trim(OneLine(t.substr(0, eq)));
    line.value = Trim(t.substr(eq + 1));
    if (line.value.size() >= 2 && (line.value.front() == '"' || line.value.front() == '\'') &&
        line.value.back() == line.value.front())
        line.value = line.value.substr(1, line.value.size() - 2);
    return line;
}

// Said once per file: every call reads the file again.
void TellNotAFileOnce(const std::string& why) {
    static std::set<std::string> told;
    if (told.insert(why).second)
        CurrentDialogs().MessageBox(why + ". It was not read.", "Error", MessageButtons::Ok, MessageIcon::Error);
}

Document Load(const std::string& path) {
    Document doc;
    // Never waits: a named pipe or a device is refused (and not written over).
    std::string notAFile;
    const int fd = OpenRegularFile(path, &notAFile);
    FILE* f = fd < 0 ? nullptr : ::fdopen(fd, "rb");
    if (f == nullptr) {
        doc.readable = (errno == ENOENT);
        if (fd >= 0) ::close(fd);
        if (fd < 0 && errno == EINVAL) TellNotAFileOnce(notAFile);
        return doc;
    }
    doc.exists = true;
    std::string data;
    char buf[8192];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        data.append(buf, n);
        if (data.size() > TIniFile::MaxFileBytes) {
            doc.readable = false;
            break;
        }
    }
    if (std::ferror(f)) doc.readable = false;
    std::fclose(f);
    if (!doc.readable) return doc;

    size_t first = data.find('\n');
    doc.eol = (first != std::string::npos && first > 0 && data[first - 1] == '\r') ? "\r\n" : "\n";
    if (first == std::string::npos && !data.empty()) doc.eol = "\r\n";
    size_t pos = 0;
    while (pos < data.size()) {
        size_t nl = data.find('\n', pos);
        std::string text;
        if (nl == std::string::npos) {
            text = data.substr(pos);
            pos = data.size();
            doc.finalEol = false;
        } else {
            text = data.substr(pos, nl - pos);
            pos = nl + 1;
        }
        if (!text.empty() && text.back() == '\r') text.pop_back();
        doc.lines.push_back(Classify(std::move(text)));
    }
    if (data.empty()) doc.finalEol = true;
    return doc;
}

bool Save(const std::string& path, const Document& doc) {
    std::string data;
    for (size_t i = 0; i < doc.lines.size(); ++i) {
        data += doc.lines[i].text;
        if (i + 1 < doc.lines.size() || doc.finalEol) data += doc.eol;
    }
    std::string tmpl = path + ".XXXXXX";
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0) return false;
    bool ok = true;
    size_t done = 0;
    while (ok && done < data.size()) {
        const ssize_t w = ::write(fd, data.data() + done, data.size() - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0)
            ok = false;
        else
            done += static_cast<size_t>(w);
    }
    // Keep the permissions of the file being replaced (mkstemp gives 0600).
    struct stat st {};
    if (ok && ::stat(path.c_str(), &st) == 0)
        ::fchmod(fd, st.st_mode & 07777);
    else if (ok) {
        // A new file follows the umask, as any file the program creates.
        const mode_t mask = ::umask(022);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(tmpl.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) ::unlink(tmpl.c_str());
    return ok;
}

// Index of the header line of every occurrence of the section.
std::vector<size_t> FindSections(const Document& doc, const std::string& section) {
    std::vector<size_t> out;
    for (size_t i = 0; i < doc.lines.size(); ++i)
        if (doc.lines[i].kind == Line::Section && SameIniName(doc.lines[i].name, section)) out.push_back(i);
    return out;
}

// One past the last line belonging to the section whose header is at h.
size_t SectionEnd(const Document& doc, size_t h) {
    size_t i = h + 1;
    while (i < doc.lines.size() && doc.lines[i].kind != Line::Section) ++i;
    return i;
}

const Line* FindKey(const Document& doc, const std::string& section, const std::string& ident) {
    for (size_t h : FindSections(doc, section))
        for (size_t i = h + 1, e = SectionEnd(doc, h); i < e; ++i)
            if (doc.lines[i].kind == Line::Key && SameIniName(doc.lines[i].name, ident)) return &doc.lines[i];
    return nullptr;
}

}  // namespace

std::string StoredIniName(const std::string& name) { return Trim(OneLine(name)); }

bool SameIniName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldCase(static_cast<unsigned char>(a[i])) != FoldCase(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

bool IniNameLess(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return FoldCase(static_cast<unsigned char>(x)) < FoldCase(static_cast<unsigned char>(y));
    });
}

bool TIniFile::ParseInteger(const std::string& TextIn, int& Value) {
    const std::string text = Trim(TextIn);
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size()) return false;
    int64_t v = 0;
    if (text.size() - i > 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        i += 2;
        if (text.size() - i > 8) return false;
        for (; i < text.size(); ++i) {
            const char c = text[i];
            int d;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            else
                return false;
            v = v * 16 + d;
        }
        // Eight hex digits are a 32-bit pattern: 0xFFFFFFFF is -1.
        int32_t bits = static_cast<int32_t>(static_cast<uint32_t>(v));
        Value = negative ? static_cast<int>(0u - static_cast<uint32_t>(bits)) : bits;
        return true;
    }
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
        if (v > 2147483648LL) return false;
    }
    if (negative) v = -v;
    if (v > 2147483647LL || v < -2147483648LL) return false;
    Value = static_cast<int>(v);
    return true;
}

std::string TIniFile::ReadString(const std::string& Section, const std::string& Ident,
                                 const std::string& Default) const {
    const Document doc = Load(FFileName);
    const Line* line = FindKey(doc, Section, Ident);
    return line != nullptr ? line->value : Default;
}

int TIniFile::ReadInteger(const std::string& Section, const std::string& Ident, int Default) const {
    const Document doc = Load(FFileName);
    const Line* line = FindKey(doc, Section, Ident);
    int v = 0;
    if (line == nullptr || !ParseInteger(line->value, v)) return Default;
    return v;
}

bool TIniFile::ReadBool(const std::string& Section, const std::string& Ident, bool Default) const {
    return ReadInteger(Section, Ident, Default ? 1 : 0) != 0;
}

bool TIniFile::WriteString(const std::string& Section, const std::string& Ident, const std::string& ValueIn) {
    Document doc = Load(FFileName);
    if (!doc.readable) return false;
    const std::string section = Trim(OneLine(Section));
    const std::string ident = Trim(OneLine(Ident));
    const std::string value = OneLine(ValueIn);
    const Line entry = Classify(ident + "=" + value);
    doc.finalEol = true;

    const std::vector<size_t> headers = FindSections(doc, section);
    for (size_t h : headers)
        for (size_t i = h + 1, e = SectionEnd(doc, h); i < e; ++i)
            if (doc.lines[i].kind == Line::Key && SameIniName(doc.lines[i].name, ident)) {
                doc.lines[i] = entry;
                return Save(FFileName, doc);
            }
    if (!headers.empty()) {
        // After the section's last non-blank line, before the blank lines
        // that separate it from the next one.
        const size_t h = headers.front();
        size_t at = SectionEnd(doc, h);
        while (at > h + 1 && Trim(doc.lines[at - 1].text).empty()) --at;
        doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(at), entry);
        return Save(FFileName, doc);
    }
    if (!doc.lines.empty() && !Trim(doc.lines.back().text).empty()) doc.lines.push_back(Classify(""));
    doc.lines.push_back(Classify("[" + section + "]"));
    doc.lines.push_back(entry);
    return Save(FFileName, doc);
}

bool TIniFile::WriteInteger(const std::string& Section, const std::string& Ident, int Value) {
    return WriteString(Section, Ident, std::to_string(Value));
}

bool TIniFile::WriteBool(const std::string& Section, const std::string& Ident, bool Value) {
    return WriteString(Section, Ident, Value ? "1" : "0");
}

std::vector<std::string> TIniFile::ReadSection(const std::string& Section) const {
    const Document doc = Load(FFileName);
    std::vector<std::string> keys;
    for (size_t h : FindSections(doc, Section))
        for (size_t i = h + 1, e = SectionEnd(doc, h); i < e; ++i) {
            if (doc.lines[i].kind != Line::Key) continue;
            bool seen = false;
            for (const std::string& k : keys) seen = seen || SameIniName(k, doc.lines[i].name);
            if (!seen) keys.push_back(doc.lines[i].name);
        }
    return keys;
}

std::vector<std::pair<std::string, std::string>> TIniFile::ReadSectionValues(const std::string& Section) const {
    const Document doc = Load(FFileName);
    std::vector<std::pair<std::string, std::string>> out;
    for (size_t h : FindSections(doc, Section))
        for (size_t i = h + 1, e = SectionEnd(doc, h); i < e; ++i) {
            const Line& line = doc.lines[i];
            if (line.kind != Line::Key) continue;
            bool seen = false;
            for (const auto& kv : out) seen = seen || SameIniName(kv.first, line.name);
            if (!seen) out.emplace_back(line.name, line.value);
        }
    return out;
}

std::vector<std::string> TIniFile::ReadSections() const {
    const Document doc = Load(FFileName);
    std::vector<std::string> out;
    for (const Line& line : doc.lines) {
        if (line.kind != Line::Section) continue;
        bool seen = false;
        for (const std::string& s : out) seen = seen || SameIniName(s, line.name);
        if (!seen) out.push_back(line.name);
    }
    return out;
}

std::vector<std::pair<std::string, TIniFile::SectionValues>> TIniFile::ReadAllSectionValues() const {
    const Document doc = Load(FFileName);
    const auto folded = [](const std::string& name) {
        std::string f = name;
        for (char& c : f) c = static_cast<char>(FoldCase(static_cast<unsigned char>(c)));
        return f;
    };
    std::vector<std::pair<std::string, SectionValues>> out;
    std::unordered_map<std::string, size_t> sectionAt;  // folded name -> index in out
    std::vector<std::unordered_set<std::string>> keysOf;  // folded keys seen, per section
    size_t current = SIZE_MAX;
    for (const Line& line : doc.lines) {
        if (line.kind == Line::Section) {
            const auto [it, added] = sectionAt.emplace(folded(line.name), out.size());
            if (added) {
                out.emplace_back(line.name, SectionValues{});
                keysOf.emplace_back();
            }
            current = it->second;
        } else if (line.kind == Line::Key && current != SIZE_MAX) {
            // The first value of a key written twice wins, as ReadString reads it.
            if (keysOf[current].insert(folded(line.name)).second) out[current].second.emplace_back(line.name, line.value);
        }
    }
    return out;
}

bool TIniFile::SectionExists(const std::string& Section) const {
    return !FindSections(Load(FFileName), Section).empty();
}

bool TIniFile::ValueExists(const std::string& Section, const std::string& Ident) const {
    return FindKey(Load(FFileName), Section, Ident) != nullptr;
}

bool TIniFile::EraseSection(const std::string& Section) {
    Document doc = Load(FFileName);
    if (!doc.readable) return false;
    std::vector<size_t> headers = FindSections(doc, Section);
    if (headers.empty()) return true;
    for (auto it = headers.rbegin(); it != headers.rend(); ++it) {
        const size_t end = SectionEnd(doc, *it);
        doc.lines.erase(doc.lines.begin() + static_cast<std::ptrdiff_t>(*it),
                        doc.lines.begin() + static_cast<std::ptrdiff_t>(end));
    }
    if (!doc.lines.empty()) doc.finalEol = true;
    return Save(FFileName, doc);
}

bool TIniFile::DeleteKey(const std::string& Section, const std::string& Ident) {
    Document doc = Load(FFileName);
    if (!doc.readable) return false;
    bool changed = false;
    const std::vector<size_t> headers = FindSections(doc, Section);
    for (auto h = headers.rbegin(); h != headers.rend(); ++h) {
        for (size_t i = SectionEnd(doc, *h); i-- > *h + 1;)
            if (doc.lines[i].kind == Line::Key && SameIniName(doc.lines[i].name, Ident)) {
                doc.lines.erase(doc.lines.begin() + static_cast<std::ptrdiff_t>(i));
                changed = true;
            }
    }
    return changed ? Save(FFileName, doc) : true;
}

}  // namespace morvelant
