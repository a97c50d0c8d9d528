// The editor's file commands: loading and saving presets and patterns with
// the file dialogs and the folder browser, the messages that tell the user
// what went wrong, and the working sets "Config.MVR" / "Config.MVT".
//
// They ask the platform's dialogs, then call the model's readers and writers
// (model/PresetFiles.h), or, for a chosen ".MID" file, the MIDI-file route of
// dumps (engine/DumpSMF.h) that the composition root installs.
#pragma once

#include <string>

#include "model/DeviceModel.h"
#include "model/PresetFiles.h"

namespace morvelant {

class DumpSMF;
class PendingRescues;

inline constexpr char kIllegalFileVersion[] = "illegal file version";
inline constexpr char kIllegalFileVersionCaption[] = "ok";
inline constexpr char kSelectFolderTitle[] = "Select Directory to Search In!";
inline constexpr char kFileErrorCaption[] = "Error";
inline constexpr char kWorkingSetCaption[] = "Working Set";
// The record of the files the editor made to keep a session's work where
// it could not keep it under the usual names: only these are ever read back
// for it, or written over. The working sets' are in a mark beside them
// (platform/SafeFile.h, KeptMarkFile); an earlier version's configuration
// named them under this section, which is still read. A kept
// configuration names itself (kKeptSettingsKey).
inline constexpr char kKeptFilesSection[] = "Kept Files";
inline constexpr char kKeptPresetsKey[] = "Presets";
inline constexpr char kKeptPatternsKey[] = "Patterns";
inline constexpr char kKeptSettingsKey[] = "Settings";

// Dialog filters.
inline constexpr char kFilterPresets[] = "Morvelant Presets|*.MVR";  // F1
inline constexpr char kFilterPresetsMid[] = "Morvelant Presets|*.MVR|Midi File|*.MID";  // F2
inline constexpr char kFilterLoadPreset[] =
    "Morvelant Presets v1|*.M*|Morvelant Presets v2|*.MVR|Midi Files|*.MID";  // F3
inline constexpr char kFilterLoadPresetSets[] = "Morvelant Presets v1|*.M*|Morvelant Presets v2|*.MVR";  // F4
inline constexpr char kFilterPatterns[] = "Morvelant Patterns|*.MVT";  // F5
inline constexpr char kFilterPatternsMid[] = "Morvelant Patterns|*.MVT|Midi File|*.MID";  // F6
inline constexpr char kFilterLoadPattern[] = "Morvelant Patterns |*.MVT|Midi Files|*.MID";  // F7

// ---- The file dialogs' own state ----------------------------------------------
// Like the form's dialog components, each dialog keeps its filter, chosen
// entry, folder and file name from one use to the next.
struct FileDialogState {
    std::string filter;
    int filterIndex = 1;
    std::string initialDir;
    std::string fileName;
    std::string defaultExt;
};
struct EditorFileDialogs {
    FileDialogState LoadPresetDialog{kFilterLoadPreset, 2, {}, {}, {}};
    FileDialogState SavePresetDialog{kFilterPresets, 1, {}, {}, "MVR"};
    FileDialogState LoadPatternDialog{kFilterPatterns, 1, {}, {}, {}};
    FileDialogState SavePatternDialog{kFilterPatterns, 1, {}, {}, "MVT"};
};
EditorFileDialogs& FileDialogs();
void ResetFileDialogs();

// ---- The ".MID" route -----------------------------------------------------------
// The ".MID" branches of SavePresetAs, SavePatternAs, LoadPreset and
// LoadPattern go to this object; the composition root sets it once the MIDI
// file component exists, and takes it back before destroying it. Without one,
// choosing ".MID" is reported and changes nothing.
void SetMidiFileRoute(DumpSMF* route);
DumpSMF* MidiFileRoute();

// ---- Writers ------------------------------------------------------------------
// Each returns true when the file(s) were written, false when a dialog was
// cancelled, no folder was chosen, or writing failed (which is reported in a
// message box).
bool WritePresetFile(DeviceModel& model, const std::string& fileName, int count);
bool SaveAllPresetsAs(DeviceModel& model, int count);
bool SaveSelectedPresets(DeviceModel& model);
bool SavePresetsToFolder(DeviceModel& model);
bool SaveSelectedPresetsToFolder(DeviceModel& model);
bool SavePresetAs(DeviceModel& model, int n);
bool WritePatternFile(DeviceModel& model, const std::string& fileName, int count);
bool SaveAllPatternsAs(DeviceModel& model, int count);
bool SaveSelectedPatterns(DeviceModel& model);
bool SaveAllPatternsToFolder(DeviceModel& model);
bool SavePatternsToFolder(DeviceModel& model);
bool SavePatternAs(DeviceModel& model, int n);

// ---- Readers ------------------------------------------------------------------
// A file that cannot be opened: false without a message. A wrong version or
// header shows "illegal file version" (caption "ok") once; a damaged file
// one error box naming it.
bool ReadPresetFile(DeviceModel& model, const std::string& fileName);
bool ReadPresetFileSequentially(DeviceModel& model, const std::string& fileName, int startSlot);
bool LoadPresetFile(DeviceModel& model);
bool LoadPresetFileSequentially(DeviceModel& model, int startSlot);
bool LoadPreset(DeviceModel& model, int slot);
bool ReadPatternFile(DeviceModel& model, const std::string& fileName);
bool ReadPatternFileSequentially(DeviceModel& model, const std::string& fileName, int startSlot);
bool LoadPatternFile(DeviceModel& model);
bool LoadPatternFileSequentially(DeviceModel& model, int startSlot);
bool LoadPattern(DeviceModel& model, int slot);

// ---- Working sets -------------------------------------------------------------
// At start: "Config.MVR" from ProgramPath, or from the model's
// WorkingSetFolder when it has one (the program folder's only while that
// folder holds none yet; edit-buffer count 1 when it cannot be read), then a file named on the command line from slot 64, which becomes
// the selected preset. Returns whether the working set (or the file kept
// beside it) was read. A working set that is there but cannot be read is
// never written over: one message says which file, why, and the one file
// beside it ("Config 2.MVR") that takes this run's records at exit, and
// that later starts read back and save again. Only a file that the
// editor's mark beside it (".Morvelant.kept") names as made for this is
// read back or written over; numbered files passed over are named as left
// alone, and a kept one that cannot be read is said and left as it is. In
// a folder that holds the user's own files too (the home folder) the
// working set is such a file as well. The program (RecordsLastPlace) then
// reads the last session's work from wherever it went instead, when that
// is no older, and says so. A copy unsure that it is the only one
// (WorkingSetsBeside) reads its kept files before the command line's.
bool LoadPresetWorkingSet(DeviceModel& model, const std::string& commandLineFile);
bool LoadPatternWorkingSet(DeviceModel& model, const std::string& commandLineFile);
// At exit: the device slots and the edit buffers in use, into the working
// set (where it is kept) or the file chosen instead (which a message then
// names); an unchanged working set is not written. A save that fails is
// rescued (platform/SaveRescue.h): at once, or, given `later`, when that
// list is (the model must then live until it is). Returns whether it was
// written where it belongs.
bool SavePresetWorkingSet(DeviceModel& model, PendingRescues* later = nullptr);
bool SavePatternWorkingSet(DeviceModel& model, PendingRescues* later = nullptr);
// Makes both kinds save at exit into files beside the working sets (for a
// run that cannot be sure to be the only one writing them): the ones such a
// run kept before, which are read back now, else new ones.
void SaveWorkingSetsBeside(DeviceModel& model);

}  // namespace morvelant
