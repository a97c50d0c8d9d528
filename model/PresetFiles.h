// Preset files (".MVR"), pattern files (".MVT") and the working sets
// "Config.MVR" / "Config.MVT".
//
// One container serves both: int32 Version (3 when written; 1, 2 and 3 are
// read), for versions above 2 the header string "Morvelant Editor", int32
// Count and Count records. All integers are 32-bit signed little-endian; a
// string is an int32 length and that many bytes (read up to the first NUL).
// A record is its int32 slot followed by tagged chunks up to the End tag; a
// version-1 record has a fixed layout without tags.
//
// Every writer builds the whole file in memory and replaces the file on disk
// through SafeReplaceFile (temporary file, ".BAK" of the old file, rename),
// and reports a failure. Every reader checks each length against the bytes
// that are there and loads a file completely or not at all: a damaged file is
// refused with one message and the model keeps what it had.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "model/DeviceModel.h"
#include "model/SysexCodec.h"

namespace morvelant {

enum class ChunkTag : int32_t {
    PatternDump = 1,
    PresetTextDump = 3,
    PresetValueDump = 4,
    PresetDescription = 100,
    KeyOnNames = 101,
    KeyOffNames = 102,
    PatternNotes = 103,
    PatternName = 104,
    End = 255,
};

inline constexpr int32_t kEditorFileVersion = 3;
inline constexpr char kEditorFileHeader[] = "Morvelant Editor";
inline constexpr char kIllegalFileVersion[] = "illegal file version";
inline constexpr char kIllegalFileVersionCaption[] = "ok";
inline constexpr char kSelectFolderTitle[] = "Select Directory to Search In!";
inline constexpr char kPresetWorkingSet[] = "Config.MVR";
inline constexpr char kPatternWorkingSet[] = "Config.MVT";
// Larger files are no preset or pattern files (a full set is well under 1 MB).
inline constexpr std::size_t kMaxEditorFileSize = 64u << 20;

// Dialog filters.
inline constexpr char kFilterPresets[] = "Morvelant Presets|*.MVR";  // F1
inline constexpr char kFilterPresetsMid[] = "Morvelant Presets|*.MVR|Midi File|*.MID";  // F2
inline constexpr char kFilterLoadPreset[] =
    "Morvelant Presets v1|*.M*|Morvelant Presets v2|*.MVR|Midi Files|*.MID";  // F3
inline constexpr char kFilterLoadPresetSets[] = "Morvelant Presets v1|*.M*|Morvelant Presets v2|*.MVR";  // F4
inline constexpr char kFilterPatterns[] = "Morvelant Patterns|*.MVT";  // F5
inline constexpr char kFilterPatternsMid[] = "Morvelant Patterns|*.MVT|Midi File|*.MID";  // F6
inline constexpr char kFilterLoadPattern[] = "Morvelant Patterns |*.MVT|Midi Files|*.MID";  // F7

// ---- Slot wrappers of the dump codec ----------------------------------------
// Builders append the dump of record n (0..127) with the given slot byte and
// return the new end; nothing is appended for n outside 0..127.
std::size_t BuildPresetValueDump(const DeviceModel& model, SysexBuffer& events, int slotByte, int n);
std::size_t BuildPresetTextDump(const DeviceModel& model, SysexBuffer& events, int slotByte, int n);
std::size_t BuildPatternDump(const DeviceModel& model, SysexBuffer& events, int slotByte, int n);
// Decoders refuse (false) a slot outside 0..127 and a short dump.
bool DecodePresetDump(DeviceModel& model, int n, std::span<const MidiEvent> events);
bool DecodePresetTextDump(DeviceModel& model, int n, std::span<const MidiEvent> events);
bool DecodePatternDump(DeviceModel& model, int n, std::span<const MidiEvent> events);

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

// ---- Standard MIDI Files --------------------------------------------------------
// The ".MID" branches of SavePresetAs, SavePatternAs, LoadPreset and
// LoadPattern are done by the MIDI file code, which installs these. An
// existing file has been moved to its ".BAK" name before an export is called.
// Without a handler the ".MID" choice does nothing and returns false.
struct MidiFileHandlers {
    std::function<bool(DeviceModel&, int preset, const std::string& file)> ExportPreset;
    std::function<bool(DeviceModel&, int pattern, const std::string& file)> ExportPattern;
    std::function<bool(DeviceModel&, int slot, const std::string& file)> ImportPreset;
    std::function<bool(DeviceModel&, int slot, const std::string& file)> ImportPattern;
};
MidiFileHandlers& GetMidiFileHandlers();

// ---- Encoding ---------------------------------------------------------------
// The complete file of the given records (slots 0..127, others left out):
// version 3, header, Count, records.
std::vector<uint8_t> EncodePresetFile(const DeviceModel& model, std::span<const int> slots);
std::vector<uint8_t> EncodePatternFile(const DeviceModel& model, std::span<const int> slots);
// One record, appended to `out`; nothing for n outside 0..127.
void WritePresetRecord(std::vector<uint8_t>& out, const DeviceModel& model, int n);
void WritePatternRecord(std::vector<uint8_t>& out, const DeviceModel& model, int n);

// ---- Decoding -----------------------------------------------------------------
enum class EditorFileKind { Presets, Patterns };
enum class EditorFileReadMode {
    Set,  // every record into its own slot
    Sequential,  // record k into slot start + k while below 128
    Single,  // the first record into slot start
};
enum class ReadStatus { Loaded, IllegalVersion, Damaged };

// Reads a file's bytes into the model: all records or none. Shows
// "illegal file version" (caption "ok") once for a wrong version or header,
// and one error box for a damaged file, naming `fileName`. The edit-buffer
// bookkeeping of the kind's list window is applied to every record loaded.
// Records whose slot is outside 0..127 are skipped.
ReadStatus ReadEditorFileData(DeviceModel& model, std::span<const uint8_t> data, EditorFileKind kind,
                              EditorFileReadMode mode, int startSlot, const std::string& fileName);

// The edit-buffer bookkeeping for a record loaded into `slot`: when the slot
// lies past the listed edit buffers, the list grows to cover it, one name per
// slot, so the working set written at exit keeps it. The count stays 1..64.
void NoteLoadedSlot(DeviceModel& model, EditorFileKind kind, int slot);

// A preset or pattern name made safe as part of a file name: path separators
// and control characters become '_'; Windows-1252 letters become UTF-8.
std::string SafeFileNamePart(const std::string& name);

// name with its extension replaced by ext (".MVR"), folder and base kept.
std::string ChangeFileExt(const std::string& name, const std::string& ext);

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
// A file that cannot be opened: false without a message.
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
// At start: "Config.MVR" from ProgramPath (edit-buffer count 1 when it cannot
// be read), then a file named on the command line from slot 64, which becomes
// the selected preset. Returns whether the working set was read.
// True when a file name ends in ".MVT" (any case): a pattern file.
bool IsPatternFileName(const std::string& fileName);

bool LoadPresetWorkingSet(DeviceModel& model, const std::string& commandLineFile);
bool LoadPatternWorkingSet(DeviceModel& model, const std::string& commandLineFile);
// At exit: the device slots and the edit buffers in use. A failure is
// reported in a message box and returned. A working set that existed at
// start but could not be read is left untouched (true).
bool SavePresetWorkingSet(DeviceModel& model);
bool SavePatternWorkingSet(DeviceModel& model);

}  // namespace morvelant
