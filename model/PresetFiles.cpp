#include "model/PresetFiles.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <map>
#include <type_traits>

#include "platform/AsciiCase.h"
#include "platform/SafeFile.h"

namespace morvelant {

namespace {

// ---- Little-endian writing --------------------------------------------------
// The records are written through a sink, so that the one layout below also
// tells how large a record is without building it.

struct VectorSink {
    std::vector<uint8_t>& out;
    void Append(const uint8_t* p, std::size_t n) { out.insert(out.end(), p, p + n); }
};

struct CountingSink {
    std::size_t size = 0;
    void Append(const uint8_t*, std::size_t n) { size += n; }
};

template <typename Sink>
void PutInt(Sink& out, int32_t v) {
    const uint32_t u = uint32_t(v);
    const uint8_t b[4] = {uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24)};
    out.Append(b, 4);
}

template <typename Sink>
void PutStr(Sink& out, const std::string& s) {
    PutInt(out, int32_t(s.size()));
    out.Append(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

template <typename Sink>
void PutTag(Sink& out, ChunkTag tag) {
    PutInt(out, int32_t(tag));
}

template <typename Sink>
void PutDumpChunk(Sink& out, ChunkTag tag, std::span<const MidiEvent> dump) {
    PutTag(out, tag);
    PutInt(out, int32_t(dump.size()));
    for (const MidiEvent& e : dump) out.Append(&e.data1, 1);
}

std::vector<uint8_t> FileHead(int32_t count) {
    std::vector<uint8_t> out;
    VectorSink sink{out};
    PutInt(sink, kEditorFileVersion);
    PutStr(sink, kEditorFileHeader);
    PutInt(sink, count);
    return out;
}

template <typename Sink>
void PutPresetRecord(Sink& out, const Morvelant_Parameters& p, int n) {
    SysexBuffer dump;
    const std::size_t e1 = BuildPresetValueDump(dump, uint8_t(n), p);
    BuildPresetTextDump(dump, uint8_t(n), p);
    PutInt(out, n);
    PutTag(out, ChunkTag::KeyOnNames);
    for (const auto& s : p.KeyOnName) PutStr(out, s);
    PutTag(out, ChunkTag::KeyOffNames);
    for (const auto& s : p.KeyOffName) PutStr(out, s);
    PutTag(out, ChunkTag::PresetDescription);
    PutStr(out, p.PresetNotes);
    PutDumpChunk(out, ChunkTag::PresetValueDump, std::span(dump).first(e1));
    PutDumpChunk(out, ChunkTag::PresetTextDump, std::span(dump).subspan(e1));
    PutTag(out, ChunkTag::End);
}

template <typename Sink>
void PutPatternRecord(Sink& out, const Pattern_Parameters& p, int n) {
    SysexBuffer dump;
    BuildPatternDump(dump, uint8_t(n), p);
    PutInt(out, n);
    PutTag(out, ChunkTag::PatternNotes);
    PutStr(out, p.PatternNotes);
    PutDumpChunk(out, ChunkTag::PatternDump, dump);
    PutTag(out, ChunkTag::PatternName);
    PutInt(out, kNameLength);
    for (int32_t w : p.PatternName) {
        const uint8_t b = uint8_t(w & 0xFF);
        out.Append(&b, 1);
    }
    PutTag(out, ChunkTag::End);
}

// What a record holds beside its texts is bounded: the dumps (a text dump
// counts its pairs in 16 bits) and the fixed fields stay well below this.
constexpr std::size_t kRecordBoundBesideTexts = 256u << 10;
constexpr std::size_t kFileHeadSize = 4 + 4 + sizeof kEditorFileHeader - 1 + 4;

std::size_t TextsSize(const Morvelant_Parameters& p) {
    std::size_t n = p.PresetNotes.size();
    for (const auto& s : p.KeyOnName) n += s.size();
    for (const auto& s : p.KeyOffName) n += s.size();
    return n;
}

std::size_t TextsSize(const Pattern_Parameters& p) { return p.PatternNotes.size(); }

template <typename Sink>
void PutRecord(Sink& out, const Morvelant_Parameters& p, int n) {
    PutPresetRecord(out, p, n);
}

template <typename Sink>
void PutRecord(Sink& out, const Pattern_Parameters& p, int n) {
    PutPatternRecord(out, p, n);
}

// The size of a working set of the records at(0) .. at(end - 1); below the
// limit it may be a bound of it. Only the texts can make a record large, so
// the exact size is counted only when they come near the limit.
template <typename At>
std::size_t SetSize(int end, At at) {
    std::size_t texts = 0;
    for (int s = 0; s < end; ++s) texts += TextsSize(at(s));
    const std::size_t bound = kFileHeadSize + texts + std::size_t(end) * kRecordBoundBesideTexts;
    if (bound <= kMaxEditorFileSize) return bound;
    std::size_t size = kFileHeadSize;
    for (int s = 0; s < end; ++s) {
        CountingSink sink;
        PutRecord(sink, at(s), s);
        size += sink.size;
    }
    return size;
}

int SetEnd(int count) { return kDeviceSlots + std::clamp(count, 1, kPresetCount - kDeviceSlots); }

// The file of the records at(s) for the slots given, built in one piece of
// memory of its exact size: notes of tens of MiB are not copied again as
// the file grows.
template <typename At>
std::vector<uint8_t> EncodeFile(const std::vector<int>& slots, At at) {
    std::vector<uint8_t> out = FileHead(int32_t(slots.size()));
    CountingSink size{out.size()};
    for (int s : slots) PutRecord(size, at(s), s);
    out.reserve(size.size);
    VectorSink sink{out};
    for (int s : slots) PutRecord(sink, at(s), s);
    return out;
}

// ---- Bounded reading ----------------------------------------------------------

struct DamagedFile {};

class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}
    std::size_t Left() const { return data_.size() - pos_; }

    int32_t Int() {
        if (Left() < 4) throw DamagedFile{};
        uint32_t u = 0;
        for (int i = 0; i < 4; ++i) u |= uint32_t(data_[pos_ + std::size_t(i)]) << (8 * i);
        pos_ += 4;
        return int32_t(u);
    }
    // A length as stored before a string or chunk: refused when negative or
    // larger than what is left.
    std::size_t Length() {
        int32_t n = Int();
        if (n < 0 || std::size_t(n) > Left()) throw DamagedFile{};
        return std::size_t(n);
    }
    std::span<const uint8_t> Bytes(std::size_t n) {
        if (n > Left()) throw DamagedFile{};
        auto s = data_.subspan(pos_, n);
        pos_ += n;
        return s;
    }
    // A string: the text up to its first NUL.
    std::string Str() {
        auto b = Bytes(Length());
        auto end = std::find(b.begin(), b.end(), uint8_t(0));
        return std::string(b.begin(), end);
    }

private:
    std::span<const uint8_t> data_;
    std::size_t pos_ = 0;
};

// The records a read touches, copied from the model when first touched and
// written back only when the whole file has been read.
class Staging {
public:
    explicit Staging(const DeviceModel& model) : model_(model) {}

    Morvelant_Parameters& Preset(int slot) {
        if (!DeviceModel::ValidPreset(slot)) return scratchPreset_;
        auto it = presets_.find(slot);
        if (it == presets_.end()) it = presets_.emplace(slot, model_.Presets[std::size_t(slot)]).first;
        return it->second;
    }
    Pattern_Parameters& Pattern(int slot) {
        if (!DeviceModel::ValidPattern(slot)) return scratchPattern_;
        auto it = patterns_.find(slot);
        if (it == patterns_.end()) it = patterns_.emplace(slot, model_.Patterns[std::size_t(slot)]).first;
        return it->second;
    }
    // A record as it will be once the read is committed.
    const Morvelant_Parameters& PresetAfter(int slot) const {
        auto it = presets_.find(slot);
        return it != presets_.end() ? it->second : model_.Presets[std::size_t(slot)];
    }
    const Pattern_Parameters& PatternAfter(int slot) const {
        auto it = patterns_.find(slot);
        return it != patterns_.end() ? it->second : model_.Patterns[std::size_t(slot)];
    }
    void Commit(DeviceModel& model) {
        for (auto& [slot, p] : presets_) model.Presets[std::size_t(slot)] = std::move(p);
        for (auto& [slot, p] : patterns_) model.Patterns[std::size_t(slot)] = std::move(p);
    }

private:
    const DeviceModel& model_;
    std::map<int, Morvelant_Parameters> presets_;
    std::map<int, Pattern_Parameters> patterns_;
    Morvelant_Parameters scratchPreset_;
    Pattern_Parameters scratchPattern_;
};

// The pattern window's name rule: up to 8 characters, blanks after.
void StorePatternName(Pattern_Parameters& p, const std::string& text) {
    for (int i = 0; i < kNameLength; ++i)
        p.PatternName[std::size_t(i)] = i < int(text.size()) ? CharToWord(text[std::size_t(i)]) : 0x20;
}

// A text dump from a file: decoded only when it walks cleanly to its F7, so a
// damaged chunk leaves the record's strings as they were instead of half
// decoded. The check comes first so that no chunk costs a copy of the whole
// record (notes and names included): a file of many small chunks behind long
// notes would otherwise take ages to read.
void DecodeTextChunk(std::span<const uint8_t> bytes, Morvelant_Parameters& preset) {
    const SysexBuffer events = DumpFromBytes(bytes);
    if (TextDumpIsComplete(events)) DecodePresetTextDump(events, preset);
}

// One record into the staging area; returns the slot used (possibly outside
// 0..127, in which case nothing of it is kept).
int ReadRecord(ByteReader& in, Staging& st, int slotOverride, int32_t version) {
    int slot = in.Int();
    if (slotOverride >= 0) slot = slotOverride;

    if (version == 1) {
        auto nameBytes = in.Bytes(in.Length());
        st.Preset(slot).PresetNotes = in.Str();
        SysexBuffer values = DumpFromBytes(in.Bytes(in.Length()));
        // The stored name replaces the name pairs of the dump.
        if (values.size() >= 9 + 2 * std::size_t(kNameLength)) {
            for (int k = 0; k < kNameLength; ++k) {
                int32_t c = k < int(nameBytes.size()) ? CharToWord(char(nameBytes[std::size_t(k)])) : 0x20;
                values[9 + 2 * std::size_t(k)].data1 = uint8_t(c & 0x7F);
                values[10 + 2 * std::size_t(k)].data1 = uint8_t((c & 0x80) >> 7);
            }
        }
        DecodePresetDump(values, st.Preset(slot));
        std::size_t n = in.Length();
        if (n > 0) DecodeTextChunk(in.Bytes(n), st.Preset(slot));
        return slot;
    }

    for (int32_t tag = in.Int(); tag != int32_t(ChunkTag::End); tag = in.Int()) {
        switch (ChunkTag(tag)) {
            case ChunkTag::KeyOnNames:
                for (auto& s : st.Preset(slot).KeyOnName) s = in.Str();
                break;
            case ChunkTag::KeyOffNames:
                for (auto& s : st.Preset(slot).KeyOffName) s = in.Str();
                break;
            case ChunkTag::PresetDescription: st.Preset(slot).PresetNotes = in.Str(); break;
            case ChunkTag::PatternNotes: st.Pattern(slot).PatternNotes = in.Str(); break;
            case ChunkTag::PatternName: StorePatternName(st.Pattern(slot), in.Str()); break;
            case ChunkTag::PresetValueDump:
                // A chunk shorter than its dump is refused by the decoder: the
                // record's words stay as they were.
                DecodePresetDump(DumpFromBytes(in.Bytes(in.Length())), st.Preset(slot));
                break;
            case ChunkTag::PatternDump:
                DecodePatternDump(DumpFromBytes(in.Bytes(in.Length())), st.Pattern(slot));
                break;
            case ChunkTag::PresetTextDump: {
                std::size_t n = in.Length();
                if (n > 0) DecodeTextChunk(in.Bytes(n), st.Preset(slot));
                break;
            }
            default: break;  // an unknown tag carries nothing; the next int32 is the next tag
        }
    }
    return slot;
}

// Whether the working set of a kind (slots 0 .. 63 + count), with the
// records of a read in progress, still makes a file the reader accepts.
bool WorkingSetFits(const Staging& st, bool presets, int count) {
    const std::size_t size =
        presets ? SetSize(SetEnd(count), [&](int s) -> const Morvelant_Parameters& { return st.PresetAfter(s); })
                : SetSize(SetEnd(count), [&](int s) -> const Pattern_Parameters& { return st.PatternAfter(s); });
    return size <= kMaxEditorFileSize;
}

template <typename Record>
std::string RoomWith(const DeviceModel& model, int slot, const Record* record, const std::string& what) {
    constexpr bool presets = std::is_same_v<Record, Morvelant_Parameters>;
    const int count = presets ? model.PresetEditBufferCount : model.PatternEditBufferCount;
    const int end = std::max(SetEnd(count), std::min(slot + 1, kPresetCount));
    const std::size_t size = SetSize(end, [&](int s) -> const Record& {
        if (s == slot && record != nullptr) return *record;
        if constexpr (presets)
            return model.Presets[std::size_t(s)];
        else
            return model.Patterns[std::size_t(s)];
    });
    if (size <= kMaxEditorFileSize) return {};
    return what + " would make the working set \"" + (presets ? kPresetWorkingSet : kPatternWorkingSet) +
        "\" hold " + std::to_string((size + (1u << 20) - 1) >> 20) + " MiB, more than the " +
        std::to_string(kMaxEditorFileSize >> 20) + " MiB the editor can read back at its next start.";
}

}  // namespace

// ---- Room in the working sets ------------------------------------------------------

std::string WorkingSetRoom(const DeviceModel& model, int slot, const Morvelant_Parameters& preset,
                           const std::string& what) {
    return RoomWith(model, slot, &preset, what);
}

std::string WorkingSetRoom(const DeviceModel& model, int slot, const Pattern_Parameters& pattern,
                           const std::string& what) {
    return RoomWith(model, slot, &pattern, what);
}

std::string WorkingSetRoom(const DeviceModel& model, EditorFileKind kind, const std::string& what) {
    return kind == EditorFileKind::Presets ? RoomWith<Morvelant_Parameters>(model, -1, nullptr, what)
                                           : RoomWith<Pattern_Parameters>(model, -1, nullptr, what);
}

// ---- Slot wrappers ----------------------------------------------------------------

std::size_t BuildPresetValueDump(const DeviceModel& model, SysexBuffer& events, int slotByte, int n) {
    if (!DeviceModel::ValidPreset(n)) return events.size();
    return BuildPresetValueDump(events, uint8_t(slotByte), model.Presets[std::size_t(n)]);
}

std::size_t BuildPresetTextDump(const DeviceModel& model, SysexBuffer& events, int slotByte, int n) {
    if (!DeviceModel::ValidPreset(n)) return events.size();
    return BuildPresetTextDump(events, uint8_t(slotByte), model.Presets[std::size_t(n)]);
}

std::size_t BuildPatternDump(const DeviceModel& model, SysexBuffer& events, int slotByte, int n) {
    if (!DeviceModel::ValidPattern(n)) return events.size();
    return BuildPatternDump(events, uint8_t(slotByte), model.Patterns[std::size_t(n)]);
}

bool DecodePresetDump(DeviceModel& model, int n, std::span<const MidiEvent> events) {
    return DeviceModel::ValidPreset(n) && DecodePresetDump(events, model.Presets[std::size_t(n)]);
}

bool DecodePresetTextDump(DeviceModel& model, int n, std::span<const MidiEvent> events) {
    return DeviceModel::ValidPreset(n) && DecodePresetTextDump(events, model.Presets[std::size_t(n)]);
}

bool DecodePatternDump(DeviceModel& model, int n, std::span<const MidiEvent> events) {
    return DeviceModel::ValidPattern(n) && DecodePatternDump(events, model.Patterns[std::size_t(n)]);
}

// ---- Encoding -------------------------------------------------------------------------

void WritePresetRecord(std::vector<uint8_t>& out, const DeviceModel& model, int n) {
    if (!DeviceModel::ValidPreset(n)) return;
    VectorSink sink{out};
    PutPresetRecord(sink, model.Presets[std::size_t(n)], n);
}

void WritePatternRecord(std::vector<uint8_t>& out, const DeviceModel& model, int n) {
    if (!DeviceModel::ValidPattern(n)) return;
    VectorSink sink{out};
    PutPatternRecord(sink, model.Patterns[std::size_t(n)], n);
}

std::size_t PresetRecordSize(const Morvelant_Parameters& p, int n) {
    CountingSink sink;
    PutPresetRecord(sink, p, n);
    return sink.size;
}

std::size_t PatternRecordSize(const Pattern_Parameters& p, int n) {
    CountingSink sink;
    PutPatternRecord(sink, p, n);
    return sink.size;
}

std::vector<uint8_t> EncodePresetFile(const DeviceModel& model, std::span<const int> slots) {
    std::vector<int> valid;
    for (int s : slots)
        if (DeviceModel::ValidPreset(s)) valid.push_back(s);
    return EncodeFile(valid, [&](int s) -> const Morvelant_Parameters& { return model.Presets[std::size_t(s)]; });
}

std::vector<uint8_t> EncodePatternFile(const DeviceModel& model, std::span<const int> slots) {
    std::vector<int> valid;
    for (int s : slots)
        if (DeviceModel::ValidPattern(s)) valid.push_back(s);
    return EncodeFile(valid, [&](int s) -> const Pattern_Parameters& { return model.Patterns[std::size_t(s)]; });
}

// ---- Decoding -------------------------------------------------------------------------

void NoteLoadedSlot(DeviceModel& model, EditorFileKind kind, int slot) {
    const bool presets = kind == EditorFileKind::Presets;
    int& count = presets ? model.PresetEditBufferCount : model.PatternEditBufferCount;
    auto& names = presets ? model.PresetEditBufferNames : model.PatternEditBufferNames;
    const int maxCount = kPresetCount - kDeviceSlots;
    count = std::clamp(count, 1, maxCount);
    if (slot < kDeviceSlots + count || slot >= kPresetCount) return;
    for (int s = kDeviceSlots + count; s <= slot; ++s)
        names.push_back(presets ? model.GetPresetDeviceName(s) : model.GetPatternName(s));
    count = slot - kDeviceSlots + 1;
}

ReadStatus ReadEditorFileData(DeviceModel& model, std::span<const uint8_t> data, EditorFileKind kind,
                              EditorFileReadMode mode, int startSlot) {
    std::vector<int> loaded;
    ReadStatus status = ReadStatus::Loaded;
    try {
        ByteReader in(data);
        const int32_t version = in.Int();
        bool legal = version >= 1 && version <= 3;
        if (legal && version > 2) {
            // The header: anything but the expected text is a wrong version.
            int32_t len = in.Int();
            legal = len >= 0 && std::size_t(len) <= in.Left();
            if (legal) {
                auto b = in.Bytes(std::size_t(len));
                auto end = std::find(b.begin(), b.end(), uint8_t(0));
                legal = std::string(b.begin(), end) == kEditorFileHeader;
            }
        }
        if (!legal) {
            NoteLoadedSlot(model, kind, -1);
            return ReadStatus::IllegalVersion;
        }

        const int32_t count = in.Int();
        Staging staging(model);
        if (mode == EditorFileReadMode::Single) {
            if (DeviceModel::ValidPreset(startSlot)) loaded.push_back(ReadRecord(in, staging, startSlot, version));
        } else {
            int next = startSlot;
            for (int32_t k = 0; k < count; ++k) {
                if (mode == EditorFileReadMode::Sequential && (next < 0 || next >= kPresetCount)) break;
                int slot = ReadRecord(in, staging, mode == EditorFileReadMode::Sequential ? next : -1, version);
                if (slot >= 0 && slot < kPresetCount) loaded.push_back(slot);
                ++next;
            }
        }
        // A read that would make a working set too large for the reader to
        // take back at the next start is refused whole.
        const bool presets = kind == EditorFileKind::Presets;
        int grown = std::clamp(presets ? model.PresetEditBufferCount : model.PatternEditBufferCount, 1,
                               kPresetCount - kDeviceSlots);
        for (int slot : loaded) grown = std::max(grown, slot - kDeviceSlots + 1);
        const int presetCount = presets ? grown : model.PresetEditBufferCount;
        const int patternCount = presets ? model.PatternEditBufferCount : grown;
        if (!WorkingSetFits(staging, true, presetCount) || !WorkingSetFits(staging, false, patternCount)) {
            NoteLoadedSlot(model, kind, -1);
            return ReadStatus::TooLarge;
        }
        staging.Commit(model);
    } catch (const DamagedFile&) {
        status = ReadStatus::Damaged;
        loaded.clear();
    }
    NoteLoadedSlot(model, kind, -1);
    for (int slot : loaded) NoteLoadedSlot(model, kind, slot);
    return status;
}

std::string SafeFileNamePart(const std::string& name) {
    std::string out;
    for (char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F || c == '/' || c == '\\') {
            out += '_';
        } else if (c < 0x80) {
            out += char(c);
        } else if (c >= 0xA0) {
            // Windows-1252 agrees with Latin-1 here.
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += '_';
        }
    }
    return out;
}

std::string ChangeFileExt(const std::string& name, const std::string& ext) {
    auto slash = name.find_last_of('/');
    auto dot = name.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) return name.substr(0, dot) + ext;
    return name + ext;
}

// ---- Files on disk ---------------------------------------------------------------------

ReadStatus ReadEditorFile(DeviceModel& model, const std::string& fileName, EditorFileKind kind, EditorFileReadMode mode,
                          int startSlot, std::string* error) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(fileName, ec);
    ReadStatus status = ReadStatus::NotOpened;
    std::vector<uint8_t> bytes;
    std::string why;
    if (!ec && size > kMaxEditorFileSize) {
        status = ReadStatus::TooLarge;  // far larger than any set: not one of ours
    } else if (ReadWholeFile(fileName, bytes, kMaxEditorFileSize, &why)) {
        status = ReadEditorFileData(model, bytes, kind, mode, startSlot);
        why.clear();
    }
    if (error != nullptr) *error = why;
    if (status != ReadStatus::Loaded) NoteLoadedSlot(model, kind, -1);
    return status;
}

bool WriteEditorFile(const DeviceModel& model, EditorFileKind kind, const std::string& fileName,
                     std::span<const int> slots, std::string* error, SafeReplaceOptions options) {
    const std::vector<uint8_t> bytes =
        kind == EditorFileKind::Presets ? EncodePresetFile(model, slots) : EncodePatternFile(model, slots);
    // A file that the reader would refuse is never written: the one on disk
    // stays readable.
    if (bytes.size() > kMaxEditorFileSize) {
        if (error != nullptr)
            *error = "it would hold " + std::to_string((bytes.size() + (1u << 20) - 1) >> 20) + " MiB, more than the " +
                std::to_string(kMaxEditorFileSize >> 20) + " MiB a preset or pattern file may hold";
        return false;
    }
    return SafeReplaceFile(fileName, std::span<const uint8_t>(bytes), error, options);
}

bool IsPatternFileName(const std::string& fileName) { return HasFileExtension(fileName, ".MVT"); }

}  // namespace morvelant
