// The window-free part of the preset and pattern list windows: the edit
// buffers in use, the name-field filter, the marks and the timed series, and
// the whole-pattern clipboard. Both lists share it; a kind says which records
// a call works on.
//
// Edit buffers are slots 64 .. 63 + count; the count stays between 1 and 64
// through every operation here, and every slot index is checked before it is
// used.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "model/DeviceModel.h"
#include "model/PresetFiles.h"

namespace morvelant {

using SlotKind = EditorFileKind;

// ---- The kind's records -----------------------------------------------------
int& EditBufferCount(DeviceModel& model, SlotKind kind);
int EditBufferCount(const DeviceModel& model, SlotKind kind);
std::array<bool, kDeviceSlots>& SlotMarks(DeviceModel& model, SlotKind kind);
// The current preset or pattern.
int& CurrentSlot(DeviceModel& model, SlotKind kind);
// The 8-character name of a slot (empty outside 0..127).
std::string SlotName(const DeviceModel& model, SlotKind kind, int slot);
void SetSlotName(DeviceModel& model, SlotKind kind, int slot, const std::string& name);
// The notes of the current record, or null when the current slot is no record.
std::string* CurrentSlotNotes(DeviceModel& model, SlotKind kind);
// A whole record (numbers, name and notes) onto another; from = to changes nothing.
void CopySlot(DeviceModel& model, SlotKind kind, int from, int to);
// The kind's own init of a buffer: factory preset with its default name, or
// the pattern factory defaults.
void InitSlot(DeviceModel& model, SlotKind kind, int slot);

// ---- Name fields --------------------------------------------------------------
struct FilteredName {
    std::string name;  // 8 characters when padded, else at most 8
    int caret;  // the caret after the kept characters that stood before it
    std::string dropped;  // the characters typed that a name does not take, each once
};
enum class NameKind {
    // Preset and pattern names: padded with blanks to 8 characters; they take
    // ' ' (32) to 'z' (122) and the code page's letters and signs from 0x80 on.
    Slot,
    // Fader and key names: up to 8 characters, ' ' to 'z' only, as the fader
    // name's place in the text dump (and so in the working sets) keeps them.
    Fader,
};
// Whether a name of `kind` takes the (Windows-1252) character.
bool NameTakes(char c, NameKind kind = NameKind::Slot);
// Keeps, in order, the characters of a typed name that NameTakes and, for a
// slot's name, pads them with blanks to 8 characters. caret: characters
// before the caret in the typed text. A name that would grow past 8
// characters first loses the blanks behind the caret; what still does not
// fit is the text just typed before the caret, which is not taken: a full
// name refuses a key instead of pushing a character out at its end.
FilteredName FilterSlotName(const std::string& typed, int caret, NameKind kind = NameKind::Slot);

// ---- Edit buffers -------------------------------------------------------------
// The slot of buffer index b (0-based), or -1 when b is not a buffer in use.
int BufferSlot(const DeviceModel& model, SlotKind kind, int buffer);
// Copies slot `source` into a new buffer behind the last one in use. Returns
// the new buffer's index, or -1 when all 64 are in use (nothing changes).
int AppendEditBuffer(DeviceModel& model, SlotKind kind, int source);
// Deletes buffer b: the later buffers move down one slot. The last buffer is
// never deleted but initialised. Returns the buffer to show next: the one that
// moved into b's place, or the one before it when b was the last.
int DeleteEditBuffer(DeviceModel& model, SlotKind kind, int buffer);
// One buffer again (slot 64, initialised); slots 65 on keep their data.
void ClearEditBuffers(DeviceModel& model, SlotKind kind);

// ---- Marks and the timed series ------------------------------------------------
int CountMarked(const std::array<bool, kDeviceSlots>& marks);
// The lowest marked slot from `from` up to 63, or -1.
int NextMarkedSlot(const std::array<bool, kDeviceSlots>& marks, int from);
// The interval of a timed series: a delay of 0 or less counts as the default.
inline constexpr int kDefaultSeriesDelay = 3000;
int SeriesDelay(int milliseconds);
// Whether device slot `slot` is marked (false outside 0..63); marking a slot
// outside 0..63 changes nothing.
bool SlotMarked(const DeviceModel& model, SlotKind kind, int slot);
void MarkSlot(DeviceModel& model, SlotKind kind, int slot, bool marked);
// Runs `apply` on scope 0: the current slot, 1: the marked device slots,
// 2: every device slot, lowest first. Returns the slot to make current
// then: the current one, the last marked one (the current one when none is
// marked) or slot 0.
int ApplyToScope(DeviceModel& model, SlotKind kind, int scope, const std::function<void(int)>& apply);

// ---- Drops -----------------------------------------------------------------------
// A name dragged from `source` onto device slot `target`: a copy, or with
// `exchange` the two records swapped through the kind's clipboard, which
// then holds the target's old record.
void DropOnSlot(DeviceModel& model, SlotKind kind, int source, int target, bool exchange);
// A name dropped on the buffer list: with `exchange` it overwrites buffer
// `selected` and returns it, otherwise it goes into a new buffer whose index
// is returned, or -1 when all are in use (nothing changes).
int DropOnEditBuffers(DeviceModel& model, SlotKind kind, int source, int selected, bool exchange);

// ---- Room in the working set --------------------------------------------------------
// The kind's clipboard as a source of RoomForCopy.
inline constexpr int kClipboardSource = -1;
// Empty when slot `target` may take the record of `source` (a slot, or the
// clipboard) with the kind's working set still one the reader takes back;
// else what the user is told, starting with `what` ("Pasting"). A target
// past the edit buffers in use counts as a new buffer.
std::string RoomForCopy(const DeviceModel& model, SlotKind kind, int source, int target, const std::string& what);

// ---- The pattern clipboard -------------------------------------------------------
void CopyPatternToClipboard(DeviceModel& model, int slot);
void PastePatternFromClipboard(DeviceModel& model, int slot);
void ExchangePatternWithClipboard(DeviceModel& model, int slot);
// The kind's clipboard: the preset clipboard or the pattern clipboard above.
void CopySlotToClipboard(DeviceModel& model, SlotKind kind, int slot);
void PasteSlotFromClipboard(DeviceModel& model, SlotKind kind, int slot);
void ExchangeSlotWithClipboard(DeviceModel& model, SlotKind kind, int slot);

}  // namespace morvelant
