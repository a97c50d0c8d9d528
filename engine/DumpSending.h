// Sending a preset or a pattern to the device: its dumps, back to back, to
// the PC-to-device port, each event lighting the MIDI-out lamp and logged in
// the monitor. The list windows send one on command and a marked series one
// per tick; the texts they show are here so both say the same.
#pragma once

#include <string>

#include "engine/Engine.h"
#include "model/PresetFiles.h"

namespace morvelant {

enum class DumpSendResult {
    Sent,
    NoDevice,  // no PC-to-device port is chosen: nothing was put
    Refused,  // the port did not take an event: the rest was not put
};

// The values dump and the text dump of preset `slot` (0..127), carrying
// that slot number.
DumpSendResult SendPresetDump(Engine& engine, int slot);
// The pattern dump of pattern `slot` (0..127), carrying that slot number.
DumpSendResult SendPatternDump(Engine& engine, int slot);

inline constexpr char kPresetNotSent[] = "Preset could not be sent!\nNo PC->Morvelant device selected in Midi Settings";
inline constexpr char kPatternNotSent[] =
    "Pattern could not be sent!\nNo PC->Morvelant device selected in Midi Settings";
inline constexpr char kSendWarningCaption[] = "Warning !";
inline constexpr char kSendReminderCaption[] = "Do not forget !";

// "You must use "Get Preset 65"\n on the Morvelant to use this Preset"; word
// is "Preset" or "Pattern", the number 1-based.
std::string SendReminderText(const std::string& word, int slot);
// The port refused part of the dump of `slot`.
std::string SendRefusedText(const std::string& word, int slot);

// The same for either kind of record: the dump of a preset or a pattern, the
// kind's word ("Preset" or "Pattern") and the warning a send that failed
// shows (empty when it was sent).
DumpSendResult SendSlotDump(Engine& engine, EditorFileKind kind, int slot);
const char* SlotWord(EditorFileKind kind);
// NoDevice while no PC-to-device port is chosen, else Sent (before a series).
DumpSendResult DeviceReady(const Engine& engine);
std::string SendFailureText(DumpSendResult result, EditorFileKind kind, int slot);

}  // namespace morvelant
