// The virtual device engine: what the 24 on-screen faders and keys do when
// moved or pressed, what incoming MIDI does to a fader through its input
// function, and how a fader's or key's parameters become MIDI events that go
// to the ports of virtual output 1 and 2.
//
// Free functions over the live records of the model (FaderState, KeyState)
// and the current preset, all on the GUI thread. Every fader number, port
// number and preset number taken from a record or a preset is checked before
// it indexes anything: a record or preset out of range does nothing.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "driver/MidiKit32.h"
#include "engine/Engine.h"

namespace morvelant {

// ---- Faders and keys -------------------------------------------------------

// Absolute value of a 32-bit integer (the most negative value gives the most
// positive one instead of overflowing).
int32_t AbsValue(int32_t x);

// Takes the value of on-screen position 0..127 (0 at the top = maximum) in
// the fader's range; the previous value is kept in PreviousValue.
void ScaleToRange(Engine& engine, FaderState& state, int position);

// Moves the on-screen fader (and, for the selected fader, the fader
// parameter window's fader and value box) to the state's value, under the
// update guard.
void ShowValue(Engine& engine, FaderState& state);

// A fader moved to position 0..127 by hand: scale, pick-up, send, and drive
// its slaves. show: also move the virtual device window's fader (a move made
// in the fader parameter window).
void FaderMoved(Engine& engine, FaderState& state, int position, bool show);

// The pick-up rule of the fader's active mode; sends when caught.
void ApplyActiveMode(Engine& engine, FaderState& state);

// Starts a fader or key anew from the current preset (the model's reset).
void Reset(Engine& engine, FaderState& state, int fader);
void Reset(Engine& engine, KeyState& state, int key);

// Left mouse button down / up on a key.
void KeyDown(Engine& engine, KeyState& state);
void KeyUp(Engine& engine, KeyState& state);

// Offers an incoming Note On, Note Off or Control Change from input port
// 0..49 to a fader's input function. True when the fader took the event
// (the search over the faders stops there).
bool HandleMidiInput(Engine& engine, FaderState& state, int port, uint32_t time, uint8_t status, uint8_t data1,
                     uint8_t data2, uint8_t data3);

// ---- Events and output -----------------------------------------------------

// Room of an event list: the most events one fader or key event yields.
constexpr int kEventListSize = 30;
using EventList = std::array<MidiEvent, kEventListSize>;

// Turns an event string ("B0 07 XX": two characters per byte and one
// separator) into MIDI events, "XX" standing for value. Reads at most
// kEventListSize tokens and writes at most list.size() events; a malformed
// place ends the scan and the events before it stand. Returns the number of
// events written.
int ParseEventString(std::string_view eventString, int value, std::span<MidiEvent> list);

// Sends the fader's event with value (data fields of 128 and "XX" take it).
void SendFaderEvent(Engine& engine, FaderState& state, int value);
// Sends key n's key-on / key-off event to the outputs of fader n.
void SendKeyOnEvent(Engine& engine, KeyState& state);
void SendKeyOffEvent(Engine& engine, KeyState& state);
// Puts one event to every port of the fader's virtual outputs.
void SendEvents(Engine& engine, FaderState& state, const MidiEvent& event);

// Puts one message (a channel event, or the byte events of one
// system-exclusive message) to the ports of virtual output 1 (outputs bit 0)
// and 2 (bit 1): for each port in order, first as output 1, then as output 2,
// each time lighting the MIDI-out lamp and logging the events. A port in both
// sets gets the message twice, each copy whole.
void SendToVirtualOutputs(Engine& engine, std::span<const MidiEvent> message, int outputs);
inline void SendToVirtualOutputs(Engine& engine, const MidiEvent& event, int outputs) {
    SendToVirtualOutputs(engine, std::span<const MidiEvent>(&event, 1), outputs);
}
// The length of the message that starts at events[0]: the byte events of a
// system-exclusive message up to its F7, else one event.
std::size_t MessageLength(std::span<const MidiEvent> events);

// Sends special key 0..5 of the current preset ("Preset", "Start", "Stop",
// "Cont.", "<<", ">>"): its event string with "XX" as 0, each message to
// every port of output 1 and output 2. Keys 1..5 (the special-key buttons) go port
// by port, output 1 then output 2; key 0 (sent with a preset change) goes to
// all ports of output 1, then to all ports of output 2. Another key number
// sends nothing.
void SendSpecialKeyString(Engine& engine, int key);

// The two data fields of a channel event, status high nibble 0x80..0xE0,
// with 128 replaced by value. Returns false for any other status.
bool BuildChannelEvent(int32_t status, int32_t data1, int32_t data2, int value, MidiEvent& event);

// ---- Selection and the current preset --------------------------------------

// Moves the model's selection (SelectedFader and the select marks) to
// `fader`; a fader out of range changes nothing.
void MoveFaderSelection(DeviceModel& model, int fader);

// Makes `fader` the selected fader and tells every view
// (Notifications::CurrentFaderChanged); its key lamp is shown anew, and with
// motor faders its on-screen fader moves to its value, otherwise its value
// follows the on-screen fader.
void SelectFader(Engine& engine, int fader);

// With send set, first sends the current preset's "Preset" key string; then
// starts the 24 faders and keys anew from the current preset and tells every
// view (Notifications::CurrentPresetChanged).
void ShowCurrentPreset(Engine& engine, bool send);

// Makes `slot` the current pattern and tells every pattern view
// (Notifications::CurrentPatternChanged). A slot out of range does nothing.
void ShowPattern(Engine& engine, int slot);

}  // namespace morvelant
