#include "model/PresetFiles.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <map>

#include "platform/Dialogs.h"
#include "platform/SafeFile.h"

namespace morvelant {

namespace {

constexpr char kErrorCaption[] = "Error";

// ---- Little-endian writing --------------------------------------------------

void PutInt(std::vector<uint8_t>& out, int32_t v) {
    const uint32_t u = uint32_t(v);
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(u >> (8 * i)));
}

void PutBytes(std::vector<uint8_t>& out, const void* data, std::size_t n) {
    const auto* p = static_cast<const uint8_t*>(data);
    out.insert(out.end(), p, p + n);
}

void PutStr(std::vector<uint8_t>& out, const std::string& s) {
    PutInt(out, int32_t(s.size()));
    PutBytes(out, s.data(), s.size());
}

void PutTag(std::vector<uint8_t>& out, ChunkTag tag) { PutInt(out, int32_t(tag)); }

void PutDumpChunk(std::vector<uint8_t>& out, ChunkTag tag, std::span<const MidiEvent> dump) {
    PutTag(out, tag);
    PutInt(out, int32_t(dump.size()));
    for (const MidiEvent& e : dump) out.push_back(e.data1);
}

std::vector<uint8_t> FileHead(int32_t count) {
    std::vector<uint8_t> out;
    PutInt(out, kEditorFileVersion);
    PutStr(out, kEditorFileHeader);
    PutInt(out, count);
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

std::string ExtensionOf(const std::string& name) {
    auto slash = name.find_last_of('/');
    auto dot = name.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return name.substr(dot);
}

std::string Upper(std::string s) {
    for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool WriteFileReporting(const std::string& fileName, const std::vector<uint8_t>& bytes) {
    std::string error;
    if (SafeReplaceFile(fileName, std::span<const uint8_t>(bytes), &error)) return true;
    CurrentDialogs().MessageBox("Could not save \"" + fileName + "\": " + error, kErrorCaption, MessageButtons::Ok,
                                MessageIcon::Error);
    return false;
}

std::vector<int> SlotRange(int count) {
    count = std::clamp(count, 0, kPresetCount);
    std::vector<int> slots(std::size_t(count), 0);
    for (int i = 0; i < count; ++i) slots[std::size_t(i)] = i;
    return slots;
}

std::vector<int> SelectedSlots(const std::array<bool, kDeviceSlots>& marks) {
    std::vector<int> slots;
    for (int i = 0; i < kDeviceSlots; ++i)
        if (marks[std::size_t(i)]) slots.push_back(i);
    return slots;
}

std::string WorkingSetPath(const DeviceModel& model, const char* name) {
    std::string dir = model.ProgramPath;
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir + name;
}

// ---- Shared walks for presets and patterns --------------------------------------

struct KindTraits {
    EditorFileKind kind;
    const char* ext;
    const char* workingSet;
    const char* saveFilter;  // whole sets and selections
    const char* saveOneFilter;  // one record, or a MIDI file
    const char* loadOneFilter;  // one record, or a MIDI file
    FileDialogState EditorFileDialogs::*loadDialog;
    FileDialogState EditorFileDialogs::*saveDialog;
    std::vector<uint8_t> (*encode)(const DeviceModel&, std::span<const int>);
    std::string (*name)(const DeviceModel&, int);
    std::array<bool, kDeviceSlots> DeviceModel::*marks;
    int DeviceModel::*editBufferCount;
    bool DeviceModel::*keepWorkingSet;
};

const KindTraits kPresetTraits{EditorFileKind::Presets,
                               ".MVR",
                               kPresetWorkingSet,
                               kFilterPresets,
                               kFilterPresetsMid,
                               kFilterLoadPreset,
                               &EditorFileDialogs::LoadPresetDialog,
                               &EditorFileDialogs::SavePresetDialog,
                               &EncodePresetFile,
                               [](const DeviceModel& m, int n) { return m.GetPresetDeviceName(n); },
                               &DeviceModel::PresetSlotSelected,
                               &DeviceModel::PresetEditBufferCount,
                               &DeviceModel::KeepPresetWorkingSet};
const KindTraits kPatternTraits{EditorFileKind::Patterns,
                                ".MVT",
                                kPatternWorkingSet,
                                kFilterPatterns,
                                kFilterPatternsMid,
                                kFilterLoadPattern,
                                &EditorFileDialogs::LoadPatternDialog,
                                &EditorFileDialogs::SavePatternDialog,
                                &EncodePatternFile,
                                [](const DeviceModel& m, int n) { return m.GetPatternName(n); },
                                &DeviceModel::PatternSlotSelected,
                                &DeviceModel::PatternEditBufferCount,
                                &DeviceModel::KeepPatternWorkingSet};

std::optional<FileDialogAnswer> RunDialog(FileDialogState& state, bool save) {
    FileDialogRequest request;
    request.filter = state.filter;
    request.filterIndex = state.filterIndex;
    request.initialDir = state.initialDir;
    request.fileName = state.fileName;
    request.defaultExt = state.defaultExt;
    auto answer = save ? CurrentDialogs().SaveFile(request) : CurrentDialogs().OpenFile(request);
    if (answer) {
        state.fileName = answer->fileName;
        if (answer->filterIndex > 0) state.filterIndex = answer->filterIndex;
    }
    return answer;
}

bool WriteSet(DeviceModel& model, const KindTraits& k, const std::string& fileName, int count) {
    std::vector<int> slots = SlotRange(count);
    return WriteFileReporting(ChangeFileExt(fileName, k.ext), k.encode(model, slots));
}

bool SaveAllAs(DeviceModel& model, const KindTraits& k, int count) {
    FileDialogState& dlg = FileDialogs().*(k.saveDialog);
    dlg.filter = k.saveFilter;
    auto answer = RunDialog(dlg, true);
    return answer && WriteSet(model, k, answer->fileName, count);
}

bool SaveSelected(DeviceModel& model, const KindTraits& k) {
    FileDialogState& dlg = FileDialogs().*(k.saveDialog);
    dlg.filter = k.saveFilter;
    auto answer = RunDialog(dlg, true);
    if (!answer) return false;
    std::vector<int> slots = SelectedSlots(model.*(k.marks));
    return WriteFileReporting(ChangeFileExt(answer->fileName, k.ext), k.encode(model, slots));
}

bool SaveToFolder(DeviceModel& model, const KindTraits& k, bool selectedOnly) {
    auto folder = CurrentDialogs().BrowseFolder(kSelectFolderTitle, model.ProgramPath);
    if (!folder || folder->empty()) return false;
    std::string dir = *folder;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    const std::string prefix = dir == "/" ? dir : dir + "/";
    for (int i = 0; i < kDeviceSlots; ++i) {
        if (selectedOnly && !(model.*(k.marks))[std::size_t(i)]) continue;
        std::string file = prefix + std::to_string(i + 1) + " " + SafeFileNamePart(k.name(model, i)) + k.ext;
        const int one[] = {i};
        if (!WriteFileReporting(file, k.encode(model, std::span<const int>(one))))
            return false;  // later slots are not written
    }
    return true;
}

bool SaveSingleAs(DeviceModel& model, const KindTraits& k, int n) {
    if (!DeviceModel::ValidPreset(n)) return false;
    FileDialogState& dlg = FileDialogs().*(k.saveDialog);
    dlg.initialDir = model.ProgramPath;
    dlg.fileName = SafeFileNamePart(k.name(model, n));
    dlg.filter = k.saveOneFilter;
    auto answer = RunDialog(dlg, true);
    if (!answer) return false;
    const std::string& file = answer->fileName;
    if (Upper(ExtensionOf(file)) == ".MID") {
        auto& h = GetMidiFileHandlers();
        auto& handler = k.kind == EditorFileKind::Presets ? h.ExportPreset : h.ExportPattern;
        if (!handler) return false;
        std::string error;
        if (!BackupExistingFile(file, &error)) {
            CurrentDialogs().MessageBox("Could not save \"" + file + "\": " + error, kErrorCaption, MessageButtons::Ok,
                                        MessageIcon::Error);
            return false;
        }
        return handler(model, n, file);
    }
    const int one[] = {n};
    return WriteFileReporting(file, k.encode(model, std::span<const int>(one)));
}

// Reads a file from disk; a file that cannot be opened gives false silently.
bool ReadFromDisk(DeviceModel& model, const KindTraits& k, const std::string& fileName, EditorFileReadMode mode,
                  int start) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(fileName, ec);
    if (!ec && size > kMaxEditorFileSize) {
        // Far larger than any set: not one of ours.
        CurrentDialogs().MessageBox(kIllegalFileVersion, kIllegalFileVersionCaption);
        NoteLoadedSlot(model, k.kind, -1);
        return false;
    }
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(fileName, bytes, kMaxEditorFileSize)) {
        NoteLoadedSlot(model, k.kind, -1);
        return false;
    }
    return ReadEditorFileData(model, bytes, k.kind, mode, start, fileName) == ReadStatus::Loaded;
}

bool LoadSingle(DeviceModel& model, const KindTraits& k, int slot) {
    FileDialogState& dlg = FileDialogs().*(k.loadDialog);
    dlg.filter = k.loadOneFilter;
    auto answer = RunDialog(dlg, false);
    // Later set loads offer no MIDI files.
    if (k.kind == EditorFileKind::Presets) dlg.filter = kFilterLoadPresetSets;
    if (!answer || !DeviceModel::ValidPreset(slot)) return false;
    const std::string& file = answer->fileName;
    if (Upper(ExtensionOf(file)) == ".MID") {
        auto& h = GetMidiFileHandlers();
        auto& handler = k.kind == EditorFileKind::Presets ? h.ImportPreset : h.ImportPattern;
        return handler ? handler(model, slot, file) : false;
    }
    return ReadFromDisk(model, k, file, EditorFileReadMode::Single, slot);
}

bool LoadWithDialog(DeviceModel& model, const KindTraits& k, EditorFileReadMode mode, int start) {
    auto answer = RunDialog(FileDialogs().*(k.loadDialog), false);
    if (!answer) return false;
    return ReadFromDisk(model, k, answer->fileName, mode, start);
}

bool LoadWorkingSet(DeviceModel& model, const KindTraits& k, const std::string& commandLineFile) {
    const std::string path = WorkingSetPath(model, k.workingSet);
    std::error_code ec;
    const bool existed = std::filesystem::exists(path, ec);
    const bool ok = ReadFromDisk(model, k, path, EditorFileReadMode::Set, -1);
    if (!ok) model.*(k.editBufferCount) = 1;
    // The reader has said why; the file stays for the user to rescue.
    model.*(k.keepWorkingSet) = existed && !ok;
    if (!commandLineFile.empty()) {
        ReadFromDisk(model, k, commandLineFile, EditorFileReadMode::Sequential, kDeviceSlots);
        (k.kind == EditorFileKind::Presets ? model.SelectedPreset : model.SelectedPattern) = kDeviceSlots;
    }
    return ok;
}

bool SaveWorkingSet(DeviceModel& model, const KindTraits& k) {
    if (model.*(k.keepWorkingSet)) return true;
    int& count = model.*(k.editBufferCount);
    count = std::clamp(count, 1, kPresetCount - kDeviceSlots);
    return WriteSet(model, k, WorkingSetPath(model, k.workingSet), kDeviceSlots + count);
}

}  // namespace

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

// ---- Dialog state and MIDI file handlers ----------------------------------------------

EditorFileDialogs& FileDialogs() {
    static EditorFileDialogs dialogs;
    return dialogs;
}

void ResetFileDialogs() { FileDialogs() = EditorFileDialogs{}; }

MidiFileHandlers& GetMidiFileHandlers() {
    static MidiFileHandlers handlers;
    return handlers;
}

// ---- Encoding -------------------------------------------------------------------------

void WritePresetRecord(std::vector<uint8_t>& out, const DeviceModel& model, int n) {
    if (!DeviceModel::ValidPreset(n)) return;
    const Morvelant_Parameters& p = model.Presets[std::size_t(n)];
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

void WritePatternRecord(std::vector<uint8_t>& out, const DeviceModel& model, int n) {
    if (!DeviceModel::ValidPattern(n)) return;
    const Pattern_Parameters& p = model.Patterns[std::size_t(n)];
    SysexBuffer dump;
    BuildPatternDump(dump, uint8_t(n), p);
    PutInt(out, n);
    PutTag(out, ChunkTag::PatternNotes);
    PutStr(out, p.PatternNotes);
    PutDumpChunk(out, ChunkTag::PatternDump, dump);
    PutTag(out, ChunkTag::PatternName);
    PutInt(out, kNameLength);
    for (int32_t w : p.PatternName) out.push_back(uint8_t(w & 0xFF));
    PutTag(out, ChunkTag::End);
}

std::vector<uint8_t> EncodePresetFile(const DeviceModel& model, std::span<const int> slots) {
    std::vector<int> valid;
    for (int s : slots)
        if (DeviceModel::ValidPreset(s)) valid.push_back(s);
    std::vector<uint8_t> out = FileHead(int32_t(valid.size()));
    out.reserve(valid.size() * 1300 + out.size());
    for (int s : valid) WritePresetRecord(out, model, s);
    return out;
}

std::vector<uint8_t> EncodePatternFile(const DeviceModel& model, std::span<const int> slots) {
    std::vector<int> valid;
    for (int s : slots)
        if (DeviceModel::ValidPattern(s)) valid.push_back(s);
    std::vector<uint8_t> out = FileHead(int32_t(valid.size()));
    out.reserve(valid.size() * 1100 + out.size());
    for (int s : valid) WritePatternRecord(out, model, s);
    return out;
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
                              EditorFileReadMode mode, int startSlot, const std::string& fileName) {
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
            CurrentDialogs().MessageBox(kIllegalFileVersion, kIllegalFileVersionCaption);
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
        staging.Commit(model);
    } catch (const DamagedFile&) {
        CurrentDialogs().MessageBox("The file \"" + fileName + "\" is damaged and was not loaded.", kErrorCaption,
                                    MessageButtons::Ok, MessageIcon::Error);
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

// ---- Writers --------------------------------------------------------------------------

bool WritePresetFile(DeviceModel& model, const std::string& fileName, int count) {
    return WriteSet(model, kPresetTraits, fileName, count);
}

bool SaveAllPresetsAs(DeviceModel& model, int count) { return SaveAllAs(model, kPresetTraits, count); }

bool SaveSelectedPresets(DeviceModel& model) { return SaveSelected(model, kPresetTraits); }
bool SavePresetsToFolder(DeviceModel& model) { return SaveToFolder(model, kPresetTraits, false); }
bool SaveSelectedPresetsToFolder(DeviceModel& model) { return SaveToFolder(model, kPresetTraits, true); }
bool SavePresetAs(DeviceModel& model, int n) { return SaveSingleAs(model, kPresetTraits, n); }

bool WritePatternFile(DeviceModel& model, const std::string& fileName, int count) {
    return WriteSet(model, kPatternTraits, fileName, count);
}

bool SaveAllPatternsAs(DeviceModel& model, int count) { return SaveAllAs(model, kPatternTraits, count); }

bool SaveSelectedPatterns(DeviceModel& model) { return SaveSelected(model, kPatternTraits); }
bool SaveAllPatternsToFolder(DeviceModel& model) { return SaveToFolder(model, kPatternTraits, false); }
bool SavePatternsToFolder(DeviceModel& model) { return SaveToFolder(model, kPatternTraits, true); }
bool SavePatternAs(DeviceModel& model, int n) { return SaveSingleAs(model, kPatternTraits, n); }

// ---- Readers --------------------------------------------------------------------------

bool ReadPresetFile(DeviceModel& model, const std::string& fileName) {
    return ReadFromDisk(model, kPresetTraits, fileName, EditorFileReadMode::Set, -1);
}

bool ReadPresetFileSequentially(DeviceModel& model, const std::string& fileName, int startSlot) {
    return ReadFromDisk(model, kPresetTraits, fileName, EditorFileReadMode::Sequential, startSlot);
}

bool LoadPresetFile(DeviceModel& model) { return LoadWithDialog(model, kPresetTraits, EditorFileReadMode::Set, -1); }

bool LoadPresetFileSequentially(DeviceModel& model, int startSlot) {
    return LoadWithDialog(model, kPresetTraits, EditorFileReadMode::Sequential, startSlot);
}

bool LoadPreset(DeviceModel& model, int slot) { return LoadSingle(model, kPresetTraits, slot); }

bool ReadPatternFile(DeviceModel& model, const std::string& fileName) {
    return ReadFromDisk(model, kPatternTraits, fileName, EditorFileReadMode::Set, -1);
}

bool ReadPatternFileSequentially(DeviceModel& model, const std::string& fileName, int startSlot) {
    return ReadFromDisk(model, kPatternTraits, fileName, EditorFileReadMode::Sequential, startSlot);
}

bool LoadPatternFile(DeviceModel& model) { return LoadWithDialog(model, kPatternTraits, EditorFileReadMode::Set, -1); }

bool LoadPatternFileSequentially(DeviceModel& model, int startSlot) {
    return LoadWithDialog(model, kPatternTraits, EditorFileReadMode::Sequential, startSlot);
}

bool LoadPattern(DeviceModel& model, int slot) { return LoadSingle(model, kPatternTraits, slot); }

// ---- Working sets ---------------------------------------------------------------------

bool IsPatternFileName(const std::string& fileName) {
    if (fileName.size() < 4) return false;
    std::string ext = fileName.substr(fileName.size() - 4);
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ext == ".MVT";
}

bool LoadPresetWorkingSet(DeviceModel& model, const std::string& commandLineFile) {
    return LoadWorkingSet(model, kPresetTraits, commandLineFile);
}

bool LoadPatternWorkingSet(DeviceModel& model, const std::string& commandLineFile) {
    return LoadWorkingSet(model, kPatternTraits, commandLineFile);
}

bool SavePresetWorkingSet(DeviceModel& model) { return SaveWorkingSet(model, kPresetTraits); }
bool SavePatternWorkingSet(DeviceModel& model) { return SaveWorkingSet(model, kPatternTraits); }

}  // namespace morvelant
