// The tables behind the fader parameter window's rows: the event types that
// the fader and key event lists offer, how each type lays its row out
// (captions, which name list each data list shows, which popup it carries,
// what is visible), the 60 MIDI-mode items and the fixed item lists.
//
// Every lookup of a stored value (from a file, a dump or a configuration)
// goes through a function here that answers "no entry" (-1) instead of
// reading outside a table.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace morvelant {

// ---- Event types ---------------------------------------------------------------

inline constexpr int kFaderEventCount = 16;
inline constexpr int kKeyEventCount = 9;
inline constexpr int kFaderStringEvent = 4;  // "String" in the fader event list
inline constexpr int kKeyStringEvent = 6;  // "String" in the key event lists
inline constexpr int kStringCode = 0xF0;

extern const std::array<int32_t, kFaderEventCount> FaderEventCodes;
extern const std::array<int32_t, kKeyEventCount> KeyEventCodes;
extern const std::array<const char*, kFaderEventCount> FaderEventNames;
extern const std::array<const char*, kKeyEventCount> KeyEventNames;

// List index of a stored status word (its high nibble); the fader table
// holds every high nibble, the key table answers -1 for 0x00..0x60.
int FaderEventIndex(int32_t status);
int KeyEventIndex(int32_t status);

// The value ANDed with the stored fader data 1 before it selects an entry:
// 7 for the track, step and "No Status" types (indexes 6..12), else 255.
int32_t TrackDataMask(int faderEventIndex);

// ---- Row layouts -----------------------------------------------------------------

// Which name list a data list shows.
enum class DataItems { Numbers, Controllers, Notes, TrackNumbers };
// Which value popup a data list carries (filled in by the value pickers).
enum class DataPopup { None, Notes, Controllers, Values };

struct DataLayout {
    const char* caption;  // "" when hidden
    DataItems items;
    DataPopup popup;
    bool visible;
};

// How the channel buttons of the fader row show: 16 buttons, the first 8
// only, or the group hidden.
enum class ChannelGroup { Shown, Hidden };
enum class UpperChannels { Shown, Hidden, Unchanged };

struct FaderRowLayout {
    DataLayout data1;
    DataLayout data2;
    const char* channelCaption;
    ChannelGroup channel;
    UpperChannels upperChannels;  // SpeedButton9..SpeedButton16
    bool stringField;
};

struct KeyRowLayout {
    DataLayout data1;
    DataLayout data2;
    bool channel;
    bool stringField;
};

// Layout of the fader / key row for a list index; null for an index
// outside the list (the row keeps the layout it had).
const FaderRowLayout* FaderRowLayoutOf(int index);
const KeyRowLayout* KeyRowLayoutOf(int index);

// ---- MIDI mode -------------------------------------------------------------------

inline constexpr int kMidiModeItemCount = 60;
// The 60 item texts of the MIDI-mode list.
const std::vector<std::string>& MidiModeItems();
// List item of a stored FaderMidiMode (flag bits ignored): stored 0..3 show
// items 0..3, 8..63 items 4..59, 4..7 items 4..7 as they always did.
int MidiModeItemOfStored(int32_t stored);
// The stored mode value (without flag bits) of list item 0..59.
int32_t MidiModeValueOfItem(int item);

// ---- Fixed lists -----------------------------------------------------------------

// "Slider = Master", "Slave/Master:001" .. "Slave/Master:024".
const std::vector<std::string>& MasterSlaveItems();
// "Momentary & Mute", "Toggle & Mute", "Momentary", "Toggle".
const std::vector<std::string>& SwitchModeItems();
// "  0" .. "127", "No Value" (mute and demute values).
const std::vector<std::string>& MuteValueItems();

// A stored value as a list index: the value when 0 <= value < count, else -1.
int ListIndexOf(int32_t value, int count);

}  // namespace morvelant
