// Learn: what arrives at the MIDI inputs becomes the event of one fader of
// the current preset, either one channel message as the fader's status and
// data bytes, or a run of bytes as the fader's event string.
//
// While the model's LearnMode is not -1 the MIDI input handler gives every
// incoming event here and does nothing else with it.
#pragma once

#include <string>

#include "driver/MidiKit32.h"
#include "engine/Engine.h"

namespace morvelant {

// Most bytes learned into one event string.
constexpr int kMaxLearnBytes = 30;

// Learn modes (DeviceModel::LearnMode).
enum LearnKind : int {
    kLearnOff = -1,
    kLearnEvent = 0,  // "Learn Event"
    kLearnEventString = 1,  // "Learn Ev>Str": any messages
    kLearnSysexString = 2,  // "Learn Sx>Str": system-exclusive bytes only
};

// Switches learn on for `fader` in mode `kind` (a string learn starts a new
// string). What came in before and waits for this thread is handled first,
// as it came: learn takes only what comes in after it was switched on.
void StartLearn(Engine& engine, int fader, int kind);

// Switches learn off at the user's word: what came in while it was on and
// waits for this thread is learned first, as it came.
void CancelLearn(Engine& engine);

// One incoming event (a system-exclusive byte is one event: status 0xF0 and
// the byte in data1).
void LearnFromMidi(Engine& engine, const MidiEvent& event);

// Ends learn: LearnMode -1 and the window stops the blinking. What was
// learned stays.
void EndLearn(Engine& engine);

// The byte tokens ("B0 07 40") that learning the event adds to a string.
std::string LearnTokens(const MidiEvent& event);

}  // namespace morvelant
