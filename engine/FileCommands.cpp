#include "engine/FileCommands.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/DumpSMF.h"
#include "platform/AsciiCase.h"
#include "platform/Dialogs.h"
#include "platform/IniFile.h"
#include "platform/SafeFile.h"
#include "platform/SaveRescue.h"

namespace morvelant {

namespace {

DumpSMF*& Route() {
    static DumpSMF* route = nullptr;
    return route;
}

void ReportError(const std::string& text) {
    CurrentDialogs().MessageBox(text, kFileErrorCaption, MessageButtons::Ok, MessageIcon::Error);
}

bool IsMidiFileName(const std::string& file) { return HasFileExtension(file, ".MID"); }

// The installed MIDI-file route, or nullptr after telling the user.
DumpSMF* RouteOrReport() {
    if (Route() == nullptr) ReportError("Midi files cannot be saved or loaded: the Midi file support is not ready.");
    return Route();
}

void ReportNotSaved(const std::string& fileName, const std::string& error) {
    ReportError("Could not save \"" + fileName + "\": " + error);
}

bool WriteFileReporting(const DeviceModel& model, EditorFileKind kind, const std::string& fileName,
                        std::span<const int> slots, SafeReplaceOptions options = {}) {
    std::string error;
    if (WriteEditorFile(model, kind, fileName, slots, &error, options)) return true;
    ReportNotSaved(fileName, error);
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

std::string InFolder(std::string dir, const char* name) {
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
    std::string (*name)(const DeviceModel&, int);
    std::array<bool, kDeviceSlots> DeviceModel::*marks;
    int DeviceModel::*editBufferCount;
    std::string DeviceModel::*saveAs;
    uint64_t DeviceModel::*digest;
    const char* records;  // "presets" or "patterns"
    const char* keptKey;  // of the configuration's record
};

const KindTraits kPresetTraits{EditorFileKind::Presets,
                               ".MVR",
                               kPresetWorkingSet,
                               kFilterPresets,
                               kFilterPresetsMid,
                               kFilterLoadPreset,
                               &EditorFileDialogs::LoadPresetDialog,
                               &EditorFileDialogs::SavePresetDialog,
                               [](const DeviceModel& m, int n) { return m.GetPresetDeviceName(n); },
                               &DeviceModel::PresetSlotSelected,
                               &DeviceModel::PresetEditBufferCount,
                               &DeviceModel::PresetWorkingSetSaveAs,
                               &DeviceModel::PresetWorkingSetDigest,
                               "presets",
                               kKeptPresetsKey};
const KindTraits kPatternTraits{EditorFileKind::Patterns,
                                ".MVT",
                                kPatternWorkingSet,
                                kFilterPatterns,
                                kFilterPatternsMid,
                                kFilterLoadPattern,
                                &EditorFileDialogs::LoadPatternDialog,
                                &EditorFileDialogs::SavePatternDialog,
                                [](const DeviceModel& m, int n) { return m.GetPatternName(n); },
                                &DeviceModel::PatternSlotSelected,
                                &DeviceModel::PatternEditBufferCount,
                                &DeviceModel::PatternWorkingSetSaveAs,
                                &DeviceModel::PatternWorkingSetDigest,
                                "patterns",
                                kKeptPatternsKey};

// The folder of the working set, and of the files kept instead of it.
std::string WorkingSetFolderOf(const DeviceModel& model) {
    return model.WorkingSetFolder.empty() ? model.ProgramPath : model.WorkingSetFolder;
}

// The file that the editor marked as made to keep this kind of work, in
// the working set's folder; else one that the configuration recorded (as
// an earlier version did); empty when there is none.
std::string KeptRecord(const DeviceModel& model, const KindTraits& k) {
    const std::string folder = WorkingSetFolderOf(model);
    if (const std::string marked = MarkedKeptFile(folder, k.keptKey); !marked.empty())
        return InFolder(folder, marked.c_str());
    return TIniFile(InFolder(model.ProgramPath, "Morvelant.cfg")).ReadString(kKeptFilesSection, k.keptKey, "");
}
// Marks `file` as that file (empty: none any more), beside it: the mark
// goes with the folder, whatever becomes of the configuration.
void RecordKept(const DeviceModel& model, const KindTraits& k, const std::string& file) {
    const std::size_t slash = file.find_last_of('/');
    MarkKeptFile(file.empty() ? WorkingSetFolderOf(model) : file.substr(0, slash == std::string::npos ? 0 : slash + 1),
                 k.keptKey, file);
    TIniFile config(InFolder(model.ProgramPath, "Morvelant.cfg"));
    if (config.ValueExists(kKeptFilesSection, k.keptKey)) config.DeleteKey(kKeptFilesSection, k.keptKey);
}

// Where the last session's work of this kind went, for the next start.
void RecordLastPlaceOf(const DeviceModel& model, const KindTraits& k, const std::string& file) {
    if (model.RecordsLastPlace) RecordLastPlace(model.ProgramPath, k.keptKey, file);
}

// The working sets' folder holds the user's own files too (the home
// folder): neither the program folder nor the data folder, which are the
// editor's. There the working set is the file recorded at start.
bool SharedFolder(const DeviceModel& model) {
    return !model.WorkingSetFolder.empty() && model.WorkingSetFolder != UserDataFolder();
}

// Where the working set is kept: its own folder, else the program folder.
std::string WorkingSetPath(const DeviceModel& model, const KindTraits& k) {
    if (SharedFolder(model))
        if (std::string recorded = KeptRecord(model, k); !recorded.empty()) return recorded;
    return InFolder(WorkingSetFolderOf(model), k.workingSet);
}

// Where it is read from: where it is kept, else (while its own folder has
// none yet) the program folder's.
std::string WorkingSetReadPath(const DeviceModel& model, const KindTraits& k) {
    const std::string kept = WorkingSetPath(model, k);
    return model.WorkingSetFolder.empty() || Occupied(kept) ? kept : InFolder(model.ProgramPath, k.workingSet);
}

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

bool WriteSet(DeviceModel& model, const KindTraits& k, const std::string& fileName, int count,
              SafeReplaceOptions options = {}) {
    std::vector<int> slots = SlotRange(count);
    return WriteFileReporting(model, k.kind, ChangeFileExt(fileName, k.ext), slots, options);
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
    return WriteFileReporting(model, k.kind, ChangeFileExt(answer->fileName, k.ext), slots);
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
        if (!WriteFileReporting(model, k.kind, file, one)) return false;  // later slots are not written
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
    if (IsMidiFileName(file)) {
        DumpSMF* route = RouteOrReport();
        if (route == nullptr) return false;
        // The export keeps the old file and its companions as ".BAK" itself,
        // and only once the new ones are complete.
        return k.kind == EditorFileKind::Presets ? route->SavePresetAs(n, file) : route->SavePatternAs(n, file);
    }
    const int one[] = {n};
    return WriteFileReporting(model, k.kind, file, one);
}

// Why a file that is there could not be opened.
std::string WhyNotOpened(const std::string& fileName, const std::string& error) {
    std::error_code ec;
    const auto st = std::filesystem::status(fileName, ec);
    if (!ec && std::filesystem::is_directory(st)) return "it is a folder, not a file";
    if (!ec && !std::filesystem::is_regular_file(st)) return "it is not a regular file";
    const int fd = OpenRegularFile(fileName);
    if (fd < 0) return std::string("it cannot be opened (") + std::strerror(errno) + ")";
    ::close(fd);
    return error.empty() ? "it cannot be read" : error;
}

// Why a file was not read, in words for the user.
std::string WhyNotRead(ReadStatus status, const KindTraits& k, const std::string& fileName, const std::string& error) {
    switch (status) {
        case ReadStatus::IllegalVersion: return "it is not a file of a version or kind this editor reads";
        case ReadStatus::Damaged: return "it is damaged (a length or record runs past its end)";
        case ReadStatus::TooLarge:
            return std::string("it, or the ") + k.records + " with it, would be more than the " +
                std::to_string(kMaxEditorFileSize >> 20) + " MiB that the editor can read back";
        case ReadStatus::NotOpened: return WhyNotOpened(fileName, error);
        case ReadStatus::Loaded: break;
    }
    return {};
}

// Reads a file from disk, without a word; the windows hear of what was loaded.
ReadStatus ReadQuietly(DeviceModel& model, const KindTraits& k, const std::string& fileName, EditorFileReadMode mode,
                       int start, std::string* error) {
    const ReadStatus status = ReadEditorFile(model, fileName, k.kind, mode, start, error);
    if (status == ReadStatus::Loaded && model.Notices != nullptr) {
        auto& changed =
            k.kind == EditorFileKind::Presets ? model.Notices->PresetDataChanged : model.Notices->PatternDataChanged;
        changed.Publish(mode == EditorFileReadMode::Single ? start : -1);
    }
    return status;
}

// Reads a file from disk and tells the user what went wrong; a file that
// cannot be opened gives false silently.
bool ReadFromDisk(DeviceModel& model, const KindTraits& k, const std::string& fileName, EditorFileReadMode mode,
                  int start) {
    std::string error;
    const ReadStatus status = ReadQuietly(model, k, fileName, mode, start, &error);
    switch (status) {
        case ReadStatus::Loaded: return true;
        case ReadStatus::NotOpened:
            // Missing is no news; something that is there but is no file is.
            if (const std::string why = NotAFileReason(fileName); !why.empty()) ReportError(why + ".");
            break;
        case ReadStatus::IllegalVersion:
            CurrentDialogs().MessageBox(kIllegalFileVersion, kIllegalFileVersionCaption);
            break;
        case ReadStatus::Damaged: ReportError("The file \"" + fileName + "\" is damaged and was not loaded."); break;
        case ReadStatus::TooLarge:
            ReportError("The file \"" + fileName + "\" was not loaded: " + WhyNotRead(status, k, fileName, error) + ".");
            break;
    }
    return false;
}

bool LoadSingle(DeviceModel& model, const KindTraits& k, int slot) {
    FileDialogState& dlg = FileDialogs().*(k.loadDialog);
    dlg.filter = k.loadOneFilter;
    auto answer = RunDialog(dlg, false);
    // Later set loads offer no MIDI files.
    if (k.kind == EditorFileKind::Presets) dlg.filter = kFilterLoadPresetSets;
    if (!answer || !DeviceModel::ValidPreset(slot)) return false;
    const std::string& file = answer->fileName;
    if (IsMidiFileName(file)) {
        DumpSMF* route = RouteOrReport();
        if (route == nullptr) return false;
        return k.kind == EditorFileKind::Presets ? route->LoadPreset(slot, file) : route->LoadPattern(slot, file);
    }
    return ReadFromDisk(model, k, file, EditorFileReadMode::Single, slot);
}

bool LoadWithDialog(DeviceModel& model, const KindTraits& k, EditorFileReadMode mode, int start) {
    auto answer = RunDialog(FileDialogs().*(k.loadDialog), false);
    if (!answer) return false;
    return ReadFromDisk(model, k, answer->fileName, mode, start);
}

// The bytes a working set of the model's edit buffers would hold, as one
// number (FNV-1a; never 0, which stands for "nothing read").
uint64_t WorkingSetDigest(const DeviceModel& model, const KindTraits& k) {
    const std::vector<int> slots = SlotRange(kDeviceSlots + std::clamp(model.*(k.editBufferCount), 1, kPresetCount - kDeviceSlots));
    const std::vector<uint8_t> bytes =
        k.kind == EditorFileKind::Presets ? EncodePresetFile(model, slots) : EncodePatternFile(model, slots);
    uint64_t h = 14695981039346656037ull;
    for (uint8_t b : bytes) h = (h ^ b) * 1099511628211ull;
    return h == 0 ? 1 : h;
}

// The file marked (or recorded) as the one kept for this kind: ours,
// and read into the model when it reads.
std::function<KeptKind(const std::string&, std::string*)> RecordedFile(DeviceModel& model, const KindTraits& k) {
    return [&model, &k, recorded = KeptRecord(model, k)](const std::string& name, std::string* why) {
        if (recorded.empty() || name != recorded) return KeptKind::NotOurs;
        std::string error;
        const ReadStatus status = ReadQuietly(model, k, name, EditorFileReadMode::Set, -1, &error);
        if (status == ReadStatus::Loaded) return KeptKind::Ours;
        if (why) *why = WhyNotRead(status, k, name, error);
        return KeptKind::OursUnread;
    };
}

// A file the editor kept that could not be read: said, and left as it is.
std::string KeptUnread(const KeptBeside& kept) {
    return kept.unread.empty() ? std::string()
                               : "\"" + kept.unread + "\", where an earlier session kept them, could not be read " +
            "either: " + kept.whyUnread + ".\nIt is left untouched too. ";
}

// Beside the working set (unless the start chose a file already, beside a
// set that could not be read): one place, the same at every such start,
// the files a start like this one kept before, read back now, else new ones.
void KeepSessionBeside(DeviceModel& model, const KindTraits& k) {
    std::string& instead = model.*(k.saveAs);
    if (!instead.empty()) return;
    const KeptBeside kept = KeepBeside(WorkingSetPath(model, k), RecordedFile(model, k));
    instead = kept.path;
    model.*(k.digest) = kept.readBack ? WorkingSetDigest(model, k) : 0;
}

std::string AbsolutePath(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path whole = std::filesystem::absolute(path, ec);
    return ec ? path : whole.lexically_normal().string();
}

// Whether the last session's work, recorded at `last`, is read from there:
// a file that is none of this start's own, at least as new as the working
// set `path` (a later session that wrote it recorded that instead).
bool ComesBackFrom(const std::string& last, const std::string& path, std::initializer_list<std::string> own) {
    if (last.empty() || !Occupied(last) || !NotAFileReason(last).empty()) return false;
    const std::string whole = AbsolutePath(last);
    if (whole == AbsolutePath(path)) return false;
    for (const std::string& file : own)
        if (!file.empty() && whole == AbsolutePath(file)) return false;
    std::error_code ec, pathEc;
    const auto lastTime = std::filesystem::last_write_time(last, ec);
    const auto pathTime = std::filesystem::last_write_time(path, pathEc);
    return !ec && (pathEc || lastTime >= pathTime);
}

bool LoadWorkingSet(DeviceModel& model, const KindTraits& k, const std::string& commandLineFile) {
    (model.*(k.saveAs)).clear();
    std::string text;  // what the start says of this kind
    bool ok = false;
    if (SharedFolder(model)) {
        // A folder that holds the user's own files too: the set is the file
        // the editor made there, else a free name, never one of the user's.
        const KeptBeside own = KeepBeside(InFolder(model.WorkingSetFolder, k.workingSet), RecordedFile(model, k), true);
        RecordKept(model, k, own.path);
        ok = own.readBack;
        if (!own.unread.empty())
            text = KeptUnread(own) + "This session's " + k.records + " will be saved to \"" + own.path +
                "\" when the editor ends.";
        if (!own.readBack) text = PassedOverText(own) + text;
    }
    const std::string path = WorkingSetReadPath(model, k);
    std::string error;
    const ReadStatus status =
        ok ? ReadStatus::Loaded : ReadQuietly(model, k, path, EditorFileReadMode::Set, -1, &error);
    ok = status == ReadStatus::Loaded;
    if (!ok) model.*(k.editBufferCount) = 1;
    // A working set that is there but cannot be read stays for the user to
    // rescue; the session goes to one file beside it, which every later
    // start reads back and saves again. (One read from the program folder
    // instead is left there anyway.)
    const std::string kept = WorkingSetPath(model, k);
    if (!ok && Occupied(path)) {
        text = status == ReadStatus::IllegalVersion ? std::string(kIllegalFileVersion) + "\n\n" : "";
        text += "\"" + path + "\" could not be read: " + WhyNotRead(status, k, path, error) + ".\nIt is left untouched. ";
        std::string place = kept;
        if (path == kept) {
            const KeptBeside beside = KeepBeside(kept, RecordedFile(model, k));
            model.*(k.saveAs) = place = beside.path;
            ok = beside.readBack;
            text += KeptUnread(beside) + PassedOverText(beside);
        }
        text += ok ? "The " + std::string(k.records) + " are read from \"" + place +
                "\", where an earlier session kept them, and this session's are saved there too."
                   : "This session's " + std::string(k.records) + " will be saved to \"" + place +
                "\" when the editor ends.";
    }
    // The last session's work went elsewhere (rescued, or kept in a folder
    // that this start does not use): it comes back from there, and this
    // session's is saved where this start keeps it.
    bool elsewhere = false;
    if (const std::string last = model.RecordsLastPlace ? LastPlaceOf(model.ProgramPath, k.keptKey) : std::string();
        ComesBackFrom(last, path, {kept, model.*(k.saveAs)})) {
        const std::string keptNow = (model.*(k.saveAs)).empty() ? kept : model.*(k.saveAs);
        const ReadStatus back = ReadQuietly(model, k, last, EditorFileReadMode::Set, -1, &error);
        if (!text.empty()) text += "\n\n";
        text += "The last session's " + std::string(k.records) + " were saved to \"" + last + "\"";
        if (back == ReadStatus::Loaded) {
            text += ": they are read from there. This session's are saved to \"" + keptNow +
                "\" when the editor ends, and \"" + last + "\" is left as it is.";
            ok = elsewhere = true;
        } else {
            text += ", which could not be read: " + WhyNotRead(back, k, last, error) + ". It is left as it is.";
        }
    }
    if (!text.empty()) CurrentDialogs().MessageBox(text, kWorkingSetCaption, MessageButtons::Ok, MessageIcon::Warning);
    // What was read, from the working set or the file beside it (what came
    // from elsewhere is written where this start keeps it).
    model.*(k.digest) = ok && !elsewhere ? WorkingSetDigest(model, k) : 0;
    // A copy unsure that it is the only one reads what such starts kept
    // before; the file named on the command line lands on top of it.
    if (model.WorkingSetsBeside) KeepSessionBeside(model, k);
    if (!commandLineFile.empty()) {
        ReadFromDisk(model, k, commandLineFile, EditorFileReadMode::Sequential, kDeviceSlots);
        (k.kind == EditorFileKind::Presets ? model.SelectedPreset : model.SelectedPattern) = kDeviceSlots;
    }
    return ok;
}

bool SaveWorkingSet(DeviceModel& model, const KindTraits& k, PendingRescues* later) {
    int& count = model.*(k.editBufferCount);
    count = std::clamp(count, 1, kPresetCount - kDeviceSlots);
    const std::string path = WorkingSetPath(model, k);
    std::string& instead = model.*(k.saveAs);
    const std::vector<int> slots = SlotRange(kDeviceSlots + count);
    const auto write = [&model, &k, slots](const std::string& file, std::string* error) {
        return WriteEditorFile(model, k.kind, ChangeFileExt(file, k.ext), slots, error);
    };
    // A save that cannot be written never loses the session: the user may
    // try again or choose another file, else it goes where it can. Asked
    // now, or once everything else is written.
    const auto rescue = [&](const std::string& file, const std::string& error) {
        RescueRequest request{file, k.records, k.saveFilter, kWorkingSetCaption, write, {}};
        request.saved = [&model, &k](const std::string& place) { RecordLastPlaceOf(model, k, place); };
        if (later == nullptr) return !RescueSave(request, error).empty();
        later->Add(std::move(request), error);
        return false;
    };
    std::string error;
    if (instead.empty()) {
        // A working set that the session did not change is left alone at
        // exit: no write, no flush to disk, and its backup stays the older
        // version; what it held at start is known, so the file is not even
        // read back to tell. (One read from the program folder stays there
        // while its own folder has none.)
        if (model.*(k.digest) != 0 && model.*(k.digest) == WorkingSetDigest(model, k) &&
            ::access(WorkingSetReadPath(model, k).c_str(), F_OK) == 0)
            return true;
        if (!WriteEditorFile(model, k.kind, path, slots, &error, {.leaveIfSame = true})) return rescue(path, error);
        // A file kept beside it before is not the session's any more.
        RecordKept(model, k, SharedFolder(model) ? path : std::string());
        RecordLastPlaceOf(model, k, path);
        return true;
    }
    // The file beside the working set that the start read back, or that the
    // mark beside it names as the editor's own, is this session's: written
    // over when the session changed it. Never over the working set, nor
    // over any other file made since the start.
    const uint64_t readBack = model.*(k.digest);
    if (readBack != 0 && Occupied(instead)) {
        if (readBack == WorkingSetDigest(model, k)) return true;
    } else if (Occupied(instead) && instead != KeptRecord(model, k)) {
        const std::string base =
            (std::filesystem::path(instead).parent_path() / std::filesystem::path(path).filename()).string();
        instead = Occupied(base) ? FreeNameBeside(base) : base;
    }
    if (!write(instead, &error)) return rescue(instead, error);
    RecordKept(model, k, instead);
    RecordLastPlaceOf(model, k, instead);
    CurrentDialogs().MessageBox("This session's " + std::string(k.records) + " were saved to \"" + instead +
                                    "\".\n\"" + path + "\" was left as it was.",
                                kWorkingSetCaption, MessageButtons::Ok, MessageIcon::Information);
    return true;
}

}  // namespace

// ---- Dialog state and the MIDI-file route ----------------------------------------------

EditorFileDialogs& FileDialogs() {
    static EditorFileDialogs dialogs;
    return dialogs;
}

void ResetFileDialogs() { FileDialogs() = EditorFileDialogs{}; }

void SetMidiFileRoute(DumpSMF* route) { Route() = route; }
DumpSMF* MidiFileRoute() { return Route(); }

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

bool LoadPresetWorkingSet(DeviceModel& model, const std::string& commandLineFile) {
    return LoadWorkingSet(model, kPresetTraits, commandLineFile);
}

bool LoadPatternWorkingSet(DeviceModel& model, const std::string& commandLineFile) {
    return LoadWorkingSet(model, kPatternTraits, commandLineFile);
}

bool SavePresetWorkingSet(DeviceModel& model, PendingRescues* later) {
    return SaveWorkingSet(model, kPresetTraits, later);
}
bool SavePatternWorkingSet(DeviceModel& model, PendingRescues* later) {
    return SaveWorkingSet(model, kPatternTraits, later);
}

void SaveWorkingSetsBeside(DeviceModel& model) {
    for (const KindTraits* k : {&kPresetTraits, &kPatternTraits}) KeepSessionBeside(model, *k);
}

}  // namespace morvelant
