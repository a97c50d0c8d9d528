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
// and returns a failure. Every reader checks each length against the bytes
// that are there and loads a file completely or not at all: a damaged file is
// refused and the model keeps what it had. Nothing here talks to the user;
// the file commands above do.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "model/DeviceModel.h"
#include "model/SysexCodec.h"
#include "platform/SafeFile.h"

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
inline constexpr char kPresetWorkingSet[] = "Config.MVR";
inline constexpr char kPatternWorkingSet[] = "Config.MVT";
// Larger files are no preset or pattern files (a full set is well under 1 MB).
inline constexpr std::size_t kMaxEditorFileSize = 64u << 20;

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

// ---- Encoding ---------------------------------------------------------------
// The complete file of the given records (slots 0..127, others left out):
// version 3, header, Count, records.
std::vector<uint8_t> EncodePresetFile(const DeviceModel& model, std::span<const int> slots);
std::vector<uint8_t> EncodePatternFile(const DeviceModel& model, std::span<const int> slots);
// One record, appended to `out`; nothing for n outside 0..127.
void WritePresetRecord(std::vector<uint8_t>& out, const DeviceModel& model, int n);
void WritePatternRecord(std::vector<uint8_t>& out, const DeviceModel& model, int n);
// The bytes the record of `p` takes in a file when saved as slot n.
std::size_t PresetRecordSize(const Morvelant_Parameters& p, int n);
std::size_t PatternRecordSize(const Pattern_Parameters& p, int n);

// ---- Decoding -----------------------------------------------------------------
enum class EditorFileKind { Presets, Patterns };
enum class EditorFileReadMode {
    Set,  // every record into its own slot
    Sequential,  // record k into slot start + k while below 128
    Single,  // the first record into slot start
};
enum class ReadStatus {
    Loaded,
    NotOpened,  // missing or unreadable: callers stay silent about it
    IllegalVersion,  // a wrong version or header
    Damaged,  // a length or record that runs past the end of the file
    TooLarge,  // the file, or a working set with its records, is more than kMaxEditorFileSize
};

// Reads a file's bytes into the model: all records or none. The edit-buffer
// bookkeeping of the kind's list window is applied to every record loaded.
// A read after which a working set (slots 0 .. 63 + the edit buffers in use)
// would be larger than the reader takes is refused (TooLarge).
// Records whose slot is outside 0..127 are skipped. Nothing is shown: the
// caller tells the user what a status other than Loaded means.
ReadStatus ReadEditorFileData(DeviceModel& model, std::span<const uint8_t> data, EditorFileKind kind,
                              EditorFileReadMode mode, int startSlot);
// The same from a file on disk; for a file that could not be opened,
// `error` (when given) says why.
ReadStatus ReadEditorFile(DeviceModel& model, const std::string& fileName, EditorFileKind kind, EditorFileReadMode mode,
                          int startSlot, std::string* error = nullptr);

// Writes the file of the given records through the safe replace (the old file
// is kept as ".BAK"). False, with the reason in `error`, when it failed; a
// file larger than the reader takes is not written at all.
bool WriteEditorFile(const DeviceModel& model, EditorFileKind kind, const std::string& fileName,
                     std::span<const int> slots, std::string* error, SafeReplaceOptions options = {});

// ---- Room in the working sets ------------------------------------------------
// An edit is refused when it is made if it would make a working set (slots
// 0 .. 63 and the edit buffers in use) larger than the reader takes: never
// at exit, when it could no longer be saved. Each returns empty when the set
// fits, else the message for the user, which starts with `what` ("Pasting")
// and leaves it to the caller to say what became of the edit.
//
// The kind's set with `slot` holding the record given instead of its own;
// a slot past the edit buffers in use counts them up to it.
std::string WorkingSetRoom(const DeviceModel& model, int slot, const Morvelant_Parameters& preset,
                           const std::string& what);
std::string WorkingSetRoom(const DeviceModel& model, int slot, const Pattern_Parameters& pattern,
                           const std::string& what);
// The kind's set as the model holds it now.
std::string WorkingSetRoom(const DeviceModel& model, EditorFileKind kind, const std::string& what);

// The edit-buffer bookkeeping for a record loaded into `slot`: when the slot
// lies past the listed edit buffers, the list grows to cover it, one name per
// slot, so the working set written at exit keeps it. The count stays 1..64.
void NoteLoadedSlot(DeviceModel& model, EditorFileKind kind, int slot);

// A preset or pattern name made safe as part of a file name: path separators
// and control characters become '_'; Windows-1252 letters become UTF-8.
std::string SafeFileNamePart(const std::string& name);

// name with its extension replaced by ext (".MVR"), folder and base kept.
std::string ChangeFileExt(const std::string& name, const std::string& ext);

// True when a file name ends in ".MVT" (any case): a pattern file.
bool IsPatternFileName(const std::string& fileName);

}  // namespace morvelant
