#include "engine/FileCommands.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

#include "engine/DumpSMF.h"
#include "platform/AsciiCase.h"
#include "platform/Dialogs.h"
#include "platform/SafeFile.h"

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
                        std::span<const int> slots) {
    std::string error;
    if (WriteEditorFile(model, kind, fileName, slots, &error)) return true;
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
    return WriteFileReporting(model, k.kind, ChangeFileExt(fileName, k.ext), slots);
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

// Reads a file from disk and tells the user what went wrong; a file that
// cannot be opened gives false silently.
bool ReadFromDisk(DeviceModel& model, const KindTraits& k, const std::string& fileName, EditorFileReadMode mode,
                  int start) {
    switch (ReadEditorFile(model, fileName, k.kind, mode, start)) {
        case ReadStatus::Loaded:
            if (model.Notices != nullptr) {
                auto& changed = k.kind == EditorFileKind::Presets ? model.Notices->PresetDataChanged
                                                                  : model.Notices->PatternDataChanged;
                changed.Publish(mode == EditorFileReadMode::Single ? start : -1);
            }
            return true;
        case ReadStatus::NotOpened:
            // Missing is no news; something that is there but is no file is.
            if (const std::string why = NotAFileReason(fileName); !why.empty()) ReportError(why + ".");
            break;
        case ReadStatus::IllegalVersion:
            CurrentDialogs().MessageBox(kIllegalFileVersion, kIllegalFileVersionCaption);
            break;
        case ReadStatus::Damaged: ReportError("The file \"" + fileName + "\" is damaged and was not loaded."); break;
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

bool SavePresetWorkingSet(DeviceModel& model) { return SaveWorkingSet(model, kPresetTraits); }
bool SavePatternWorkingSet(DeviceModel& model) { return SaveWorkingSet(model, kPatternTraits); }

}  // namespace morvelant
