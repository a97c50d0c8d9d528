#include "platform/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "platform/Dialogs.h"
#include "platform/FilePrimitives.h"
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

// A name as the index keeps it: every letter folded to one case.
std::string Folded(const std::string& s) {
    std::string out = s;
    for (char& c : out) c = static_cast<char>(FoldCase(static_cast<unsigned char>(c)));
    return out;
}

// A section header and the lines up to the next header (the first block of
// a document holds the lines before any header, and has no header).
struct Block {
    std::vector<Line> lines;
    // Folded key name -> index of its first line in this block.
    std::unordered_map<std::string, size_t> keys;

    void Index() {
        keys.clear();
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i].kind == Line::Key) keys.emplace(Folded(lines[i].name), i);
    }
    const Line* Find(const std::string& foldedKey) const {
        const auto it = keys.find(foldedKey);
        return it == keys.end() ? nullptr : &lines[it->second];
    }
};

struct Document {
    std::vector<Block> blocks = std::vector<Block>(1);
    // Folded section name -> its blocks, in the file's order.
    std::unordered_map<std::string, std::vector<size_t>> sections;
    std::string eol = "\r\n";
    bool finalEol = true;  // the last line ended with a line end
    bool exists = false;
    bool readable = true;
    std::string error;  // why it is not readable

    const std::vector<size_t>& Sections(const std::string& name) const {
        static const std::vector<size_t> none;
        const auto it = sections.find(Folded(name));
        return it == sections.end() ? none : it->second;
    }
    void IndexSections() {
        sections.clear();
        for (size_t b = 1; b < blocks.size(); ++b) sections[Folded(blocks[b].lines.front().name)].push_back(b);
    }
    void Append(Line line) {
        if (line.kind == Line::Section) {
            blocks.emplace_back();
            sections[Folded(line.name)].push_back(blocks.size() - 1);
        }
        Block& block = blocks.back();
        if (line.kind == Line::Key) block.keys.emplace(Folded(line.name), block.lines.size());
        block.lines.push_back(std::move(line));
    }
    bool Empty() const { return blocks.size() == 1 && blocks.front().lines.empty(); }
    const Line* LastLine() const {
        for (auto it = blocks.rbegin(); it != blocks.rend(); ++it)
            if (!it->lines.empty()) return &it->lines.back();
        return nullptr;
    }
    std::string Text() const {
        size_t size = 0, count = 0;
        for (const Block& b : blocks)
            for (const Line& l : b.lines) size += l.text.size() + eol.size(), ++count;
        std::string data;
        data.reserve(size);
        size_t i = 0;
        for (const Block& b : blocks)
            for (const Line& l : b.lines) {
                data += l.text;
                if (++i < count || finalEol) data += eol;
            }
        return data;
    }
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

void Parse(const std::string& data, Document& doc) {
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
        doc.Append(Classify(std::move(text)));
    }
    if (data.empty()) doc.finalEol = true;
}

// Reads a regular file, without blocking; a missing file is an empty
// document that may be created, anything else that cannot be read is
// refused (and never written).
Document Load(const std::string& path) {
    Document doc;
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadWholeFile(path, bytes, TIniFile::MaxFileBytes, &error)) {
        if (::access(path.c_str(), F_OK) != 0 && errno == ENOENT) return doc;
        doc.exists = true;
        doc.readable = false;
        doc.error = error;
        return doc;
    }
    doc.exists = true;
    // A text file holds no NUL byte: this is not a profile file (or a
    // damaged one), and writing it back line by line would change it.
    if (std::memchr(bytes.data(), 0, bytes.size()) != nullptr) {
        doc.readable = false;
        doc.error = "\"" + path + "\" is damaged (it holds binary data)";
        return doc;
    }
    Parse(std::string(bytes.begin(), bytes.end()), doc);
    return doc;
}

// Writes the document as every file of the editor is saved (a link stays a
// link), without a backup.
bool Save(const std::string& file, const Document& doc, std::string* error = nullptr) {
    return SafeReplaceFile(file, doc.Text(), error, {.keepBackup = false});
}

const Line* FindKey(const Document& doc, const std::string& section, const std::string& ident) {
    const std::string key = Folded(ident);
    for (size_t b : doc.Sections(section))
        if (const Line* line = doc.blocks[b].Find(key)) return line;
    return nullptr;
}

// The edits; each returns whether the document changed.

bool WriteKey(Document& doc, const std::string& Section, const std::string& Ident, const std::string& ValueIn) {
    const std::string section = Trim(OneLine(Section));
    const std::string ident = Trim(OneLine(Ident));
    const std::string value = OneLine(ValueIn);
    Line entry = Classify(ident + "=" + value);
    const bool changed = !doc.finalEol;
    doc.finalEol = true;

    const std::string key = Folded(ident);
    const std::vector<size_t> headers = doc.Sections(section);
    for (size_t b : headers) {
        Block& block = doc.blocks[b];
        const auto it = block.keys.find(key);
        if (it == block.keys.end()) continue;
        Line& line = block.lines[it->second];
        if (line.text == entry.text) return changed;
        const bool renamed = entry.kind != Line::Key || Folded(entry.name) != key;
        line = std::move(entry);
        if (renamed) block.Index();
        return true;
    }
    if (!headers.empty()) {
        // After the section's last non-blank line, before the blank lines
        // that separate it from the next one (so no key line moves).
        Block& block = doc.blocks[headers.front()];
        size_t at = block.lines.size();
        while (at > 1 && Trim(block.lines[at - 1].text).empty()) --at;
        if (entry.kind == Line::Key) block.keys.emplace(Folded(entry.name), at);
        block.lines.insert(block.lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(entry));
        return true;
    }
    const Line* last = doc.LastLine();
    if (last != nullptr && !Trim(last->text).empty()) doc.Append(Classify(""));
    doc.Append(Classify("[" + section + "]"));
    doc.Append(std::move(entry));
    return true;
}

bool EraseSectionLines(Document& doc, const std::string& section) {
    const std::vector<size_t> headers = doc.Sections(section);
    if (headers.empty()) return false;
    for (auto it = headers.rbegin(); it != headers.rend(); ++it)
        doc.blocks.erase(doc.blocks.begin() + static_cast<std::ptrdiff_t>(*it));
    doc.IndexSections();
    if (!doc.Empty()) doc.finalEol = true;
    return true;
}

bool DeleteKeyLines(Document& doc, const std::string& section, const std::string& ident) {
    const std::string key = Folded(ident);
    bool changed = false;
    for (size_t b : doc.Sections(section)) {
        Block& block = doc.blocks[b];
        if (block.keys.find(key) == block.keys.end()) continue;
        std::erase_if(block.lines,
                      [&key](const Line& l) { return l.kind == Line::Key && Folded(l.name) == key; });
        block.Index();
        changed = true;
    }
    return changed;
}

// ---- Held documents ---------------------------------------------------------

std::mutex g_holdsMutex;
std::unordered_map<std::string, std::weak_ptr<IniFileHold::Shared>> g_holds;
std::atomic<int> g_holdCount{0};

std::string HoldKey(const std::string& fileName) {
    if (fileName.empty()) return fileName;
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::absolute(fileName, ec);
    return ec ? fileName : p.lexically_normal().string();
}

}  // namespace

struct IniFileHold::Shared {
    std::mutex mutex;
    std::string fileName;
    std::string key;
    Document doc;
    bool changed = false;
};

namespace {

std::shared_ptr<IniFileHold::Shared> FindHeld(const std::string& key) {
    if (g_holdCount.load(std::memory_order_acquire) == 0) return nullptr;
    std::lock_guard<std::mutex> lock(g_holdsMutex);
    const auto it = g_holds.find(key);
    return it == g_holds.end() ? nullptr : it->second.lock();
}

bool FlushShared(IniFileHold::Shared& shared, std::string* error) {
    if (!shared.changed) return true;
    if (!shared.doc.readable) return false;
    if (!Save(shared.fileName, shared.doc, error)) return false;
    shared.changed = false;
    return true;
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

TIniFile::TIniFile(std::string FileName) : FFileName(std::move(FileName)), FKey(HoldKey(FFileName)) {}

namespace {

// Runs `read` on the held document of the file, or on the file as it is now.
template <typename Read>
auto WithDocument(const std::string& fileName, const std::string& key, Read&& read) {
    if (auto held = FindHeld(key)) {
        std::lock_guard<std::mutex> lock(held->mutex);
        return read(static_cast<const Document&>(held->doc));
    }
    const Document doc = Load(fileName);
    return read(doc);
}

// Runs `edit` on the held document (written later), or on the file, which is
// written at once when it changed. False when the file cannot be read (it is
// then left as it was) or written.
template <typename Edit>
bool EditDocument(const std::string& fileName, const std::string& key, Edit&& edit) {
    if (auto held = FindHeld(key)) {
        std::lock_guard<std::mutex> lock(held->mutex);
        if (!held->doc.readable) return false;
        if (edit(held->doc)) held->changed = true;
        return true;
    }
    Document doc = Load(fileName);
    if (!doc.readable) return false;
    return !edit(doc) || Save(fileName, doc);
}

}  // namespace

std::string TIniFile::ReadString(const std::string& Section, const std::string& Ident,
                                 const std::string& Default) const {
    return WithDocument(FFileName, FKey, [&](const Document& doc) {
        const Line* line = FindKey(doc, Section, Ident);
        return line != nullptr ? line->value : Default;
    });
}

int TIniFile::ReadInteger(const std::string& Section, const std::string& Ident, int Default) const {
    return WithDocument(FFileName, FKey, [&](const Document& doc) {
        const Line* line = FindKey(doc, Section, Ident);
        int v = 0;
        if (line == nullptr || !ParseInteger(line->value, v)) return Default;
        return v;
    });
}

bool TIniFile::ReadBool(const std::string& Section, const std::string& Ident, bool Default) const {
    return ReadInteger(Section, Ident, Default ? 1 : 0) != 0;
}

bool TIniFile::WriteString(const std::string& Section, const std::string& Ident, const std::string& Value) {
    return EditDocument(FFileName, FKey, [&](Document& doc) { return WriteKey(doc, Section, Ident, Value); });
}

bool TIniFile::WriteInteger(const std::string& Section, const std::string& Ident, int Value) {
    return WriteString(Section, Ident, std::to_string(Value));
}

bool TIniFile::WriteBool(const std::string& Section, const std::string& Ident, bool Value) {
    return WriteString(Section, Ident, Value ? "1" : "0");
}

std::vector<std::string> TIniFile::ReadSection(const std::string& Section) const {
    return WithDocument(FFileName, FKey, [&](const Document& doc) {
        std::vector<std::string> keys;
        std::unordered_set<std::string> seen;
        for (size_t b : doc.Sections(Section))
            for (const Line& line : doc.blocks[b].lines)
                if (line.kind == Line::Key && seen.insert(Folded(line.name)).second) keys.push_back(line.name);
        return keys;
    });
}

std::vector<std::pair<std::string, std::string>> TIniFile::ReadSectionValues(const std::string& Section) const {
    return WithDocument(FFileName, FKey, [&](const Document& doc) {
        std::vector<std::pair<std::string, std::string>> out;
        std::unordered_set<std::string> seen;
        for (size_t b : doc.Sections(Section))
            for (const Line& line : doc.blocks[b].lines)
                if (line.kind == Line::Key && seen.insert(Folded(line.name)).second)
                    out.emplace_back(line.name, line.value);
        return out;
    });
}

std::vector<std::string> TIniFile::ReadSections() const {
    return WithDocument(FFileName, FKey, [&](const Document& doc) {
        std::vector<std::string> out;
        std::unordered_set<std::string> seen;
        for (size_t b = 1; b < doc.blocks.size(); ++b) {
            const Line& header = doc.blocks[b].lines.front();
            if (seen.insert(Folded(header.name)).second) out.push_back(header.name);
        }
        return out;
    });
}

std::vector<std::pair<std::string, TIniFile::SectionValues>> TIniFile::ReadAllSectionValues() const {
    return WithDocument(FFileName, FKey, [&](const Document& doc) {
        std::vector<std::pair<std::string, SectionValues>> out;
        std::unordered_map<std::string, size_t> at;  // folded section name -> index in out
        std::vector<std::unordered_set<std::string>> seen;  // folded keys taken, per section
        for (size_t b = 1; b < doc.blocks.size(); ++b) {
            const auto [it, added] = at.emplace(Folded(doc.blocks[b].lines.front().name), out.size());
            if (added) {
                out.emplace_back(doc.blocks[b].lines.front().name, SectionValues{});
                seen.emplace_back();
            }
            // The first value of a key written twice wins, as ReadString reads it.
            for (const Line& line : doc.blocks[b].lines)
                if (line.kind == Line::Key && seen[it->second].insert(Folded(line.name)).second)
                    out[it->second].second.emplace_back(line.name, line.value);
        }
        return out;
    });
}

bool TIniFile::SectionExists(const std::string& Section) const {
    return WithDocument(FFileName, FKey, [&](const Document& doc) { return !doc.Sections(Section).empty(); });
}

bool TIniFile::ValueExists(const std::string& Section, const std::string& Ident) const {
    return WithDocument(FFileName, FKey,
                        [&](const Document& doc) { return FindKey(doc, Section, Ident) != nullptr; });
}

bool TIniFile::EraseSection(const std::string& Section) {
    return EditDocument(FFileName, FKey, [&](Document& doc) { return EraseSectionLines(doc, Section); });
}

bool TIniFile::DeleteKey(const std::string& Section, const std::string& Ident) {
    return EditDocument(FFileName, FKey, [&](Document& doc) { return DeleteKeyLines(doc, Section, Ident); });
}

bool TIniFile::UpdateFile() {
    auto held = FindHeld(FKey);
    if (!held) return true;
    std::lock_guard<std::mutex> lock(held->mutex);
    return FlushShared(*held, nullptr);
}

// ---- IniFileHold ----------------------------------------------------------------

IniFileHold::IniFileHold(const std::string& FileName) {
    const std::string key = HoldKey(FileName);
    std::lock_guard<std::mutex> lock(g_holdsMutex);
    auto& slot = g_holds[key];
    shared_ = slot.lock();
    if (!shared_) {
        shared_ = std::make_shared<Shared>();
        shared_->fileName = FileName;
        shared_->key = key;
        shared_->doc = Load(FileName);
        slot = shared_;
    }
    g_holdCount.fetch_add(1, std::memory_order_release);
}

IniFileHold::~IniFileHold() {
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        FlushShared(*shared_, nullptr);
    }
    std::lock_guard<std::mutex> lock(g_holdsMutex);
    g_holdCount.fetch_sub(1, std::memory_order_release);
    if (shared_.use_count() == 1) g_holds.erase(shared_->key);
}

bool IniFileHold::Readable() const { return shared_->doc.readable; }

const std::string& IniFileHold::ReadError() const { return shared_->doc.error; }

bool IniFileHold::Changed() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->changed;
}

bool IniFileHold::Flush(std::string* error) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    if (!shared_->doc.readable) {
        if (error) *error = shared_->doc.error;
        return !shared_->changed;
    }
    return FlushShared(*shared_, error);
}

void IniFileHold::SaveInstead(const std::string& path) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->fileName = path;
    if (!shared_->doc.readable) {
        shared_->doc = Document{};
        shared_->changed = false;
    }
}

void IniFileHold::Forget() {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->changed = false;
}

void IniFileHold::ReadFrom(const std::string& path) {
    Document doc = Load(path);
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->fileName = path;
    shared_->doc = std::move(doc);
    shared_->changed = false;
}

bool IniFileHold::SaveTo(const std::string& path, std::string* error) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    if (!shared_->doc.readable) {
        if (error) *error = shared_->doc.error;
        return false;
    }
    if (!Save(path, shared_->doc, error)) return false;
    shared_->fileName = path;
    shared_->changed = false;
    return true;
}

std::string IniFileHold::SavedTo() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->fileName;
}

}  // namespace morvelant
