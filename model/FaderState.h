// Live state of the 24 faders and keys of the virtual device.
//
// The model keeps these records and resets them from the current preset; what
// a fader or key does when moved or pressed is the engine's business.
#pragma once

#include <cstdint>

namespace morvelant {

struct FaderState {
    int32_t Index = 0;  // fader number 0..23
    int32_t InitialValue = 0;  // the preset's FaderValue, taken at reset
    bool Muted = false;  // a muted fader sends nothing when moved
    bool Caught = false;  // the pick-up condition is met
    bool TakeInitialValue = false;  // one-shot: the next reset takes InitialValue
    int32_t StoredValue = 0;  // base of Relative mode, target of Catch mode
    int32_t Value = 0;  // current value, inside the fader's range
    int32_t PreviousValue = 0;  // Value before the latest change
    int32_t ResetValue = 0;  // Value at reset: reference of Immediate mode
    int32_t SlaveLevel = 0;  // a slave fader's own level
    bool Touched = false;  // the fader's event was sent since the reset
    bool Hooked = false;  // waits to be hooked by incoming MIDI

    bool operator==(const FaderState&) const = default;
};

struct KeyState {
    int32_t Index = 0;  // key number 0..23 (key n belongs to fader n)
    uint8_t KeyFlag = 0;  // travels with the key through the fader clipboard
    bool LampOn = false;  // the key's lamp is on

    bool operator==(const KeyState&) const = default;
};

// Copies the part of a fader's live state that travels with a fader through
// copy, paste and exchange; Index, Touched and Hooked stay.
inline void CopyTravellingState(const FaderState& from, FaderState& to) {
    to.InitialValue = from.InitialValue;
    to.Muted = from.Muted;
    to.Caught = from.Caught;
    to.TakeInitialValue = from.TakeInitialValue;
    to.StoredValue = from.StoredValue;
    to.Value = from.Value;
    to.PreviousValue = from.PreviousValue;
    to.ResetValue = from.ResetValue;
    to.SlaveLevel = from.SlaveLevel;
}
// Of a key, KeyFlag and LampOn travel; Index stays.
inline void CopyTravellingState(const KeyState& from, KeyState& to) {
    to.KeyFlag = from.KeyFlag;
    to.LampOn = from.LampOn;
}

// Input functions of FaderMidiMode bits 3-5 that the model needs to know.
constexpr int kInputFunctionHookOnFad = 6;

// The value of an on-screen fader position (0 at the top = the fader's
// maximum) within the range faderMin..faderMax. The full range maps exactly;
// any other range, inverted ones included, goes through the device's
// rounding: the sum is formed in extended precision, rounded once to single
// precision and truncated.
int32_t ScaledFaderValue(int32_t faderMin, int32_t faderMax, int position);

// The on-screen position (0..127) that shows a value of the range.
int FaderPositionOfValue(int32_t faderMin, int32_t faderMax, int32_t value);

}  // namespace morvelant
