// The device's three system-exclusive dumps: preset values (command 04),
// preset texts (command 03) and pattern (command 01).
//
// A dump in memory is a sequence of MidiEvent, one per byte: status 0xF0 and
// the byte in data1, the leading F0 and the closing F7 included. Builders
// append to a growable buffer and return the position after the F7; decoders
// take the events with their length and never read outside them.
//
// Every data value travels as a pair: (v & 0x7F), ((v & 0x80) >> 7). A 16-bit
// size travels as the pair of its low byte, then the pair of its high byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "driver/MidiKit32.h"
#include "model/Parameters.h"

namespace morvelant {

using SysexBuffer = std::vector<MidiEvent>;

// F0, the maker's identifier 00 4D 56, family 0x12, 0x00, 0x20.
inline constexpr uint8_t kDumpHeader[7] = {0xF0, 0x00, 0x4D, 0x56, 0x12, 0x00, 0x20};

enum DumpCommand : uint8_t {
    kPatternDumpCommand = 0x01,
    kPresetTextDumpCommand = 0x03,
    kPresetValueDumpCommand = 0x04,
};

// Value and pattern dumps: header (7), command, slot, 512 pairs, F7.
inline constexpr std::size_t kValueDumpSize = 1034;
inline constexpr std::size_t kPatternDumpSize = 1034;
// A text dump with no entries: header, command, slot, size, slot pair, end entry, F7.
inline constexpr std::size_t kEmptyTextDumpSize = 22;

// Text-dump entry indexes.
inline constexpr int kTextIndexFaderString = 0;
inline constexpr int kTextIndexKeyOnString = 24;
inline constexpr int kTextIndexKeyOffString = 48;
inline constexpr int kTextIndexSpecialKey[kSpecialKeyCount] = {72, 73, 74, 75, 77, 78};
inline constexpr int kTextIndexSliderName = 96;
inline constexpr int kTextIndexEnd = 255;

// The first two characters of s as a hexadecimal byte: '1'..'9' count 1..9,
// 'A'..'F' count 10..15, every other character (lower case and 'X' included)
// counts 0; a missing character counts 0.
uint8_t HexToByte(std::string_view s);

// Byte writers; each appends and returns the new end position.
std::size_t PutSysexByte(SysexBuffer& events, uint8_t byte);
std::size_t PutSysexValue(SysexBuffer& events, int32_t value);
std::size_t PutSysexWord(SysexBuffer& events, int32_t value);
// One entry for an event string (three characters per byte); nothing for a
// string shorter than two characters. Returns the new end position.
std::size_t PutTextDumpEntry(SysexBuffer& events, int index, std::string_view eventString);

// Builders: append the complete dump, slot byte as given, and return the
// position after its F7 (the buffer's new size).
std::size_t BuildPresetValueDump(SysexBuffer& events, uint8_t slot, const Morvelant_Parameters& preset);
std::size_t BuildPresetTextDump(SysexBuffer& events, uint8_t slot, const Morvelant_Parameters& preset);
std::size_t BuildPatternDump(SysexBuffer& events, uint8_t slot, const Pattern_Parameters& pattern);

// Decoders. The caller has classified the dump; header, command and slot byte
// are not examined.
//
// Value dump: refused (false, preset untouched) when shorter than 1034 events
// or when a value pair is no value (FirstBadValuePair). Otherwise words
// 0..511 are replaced and all 24 SliderName strings emptied (the text dump
// that follows brings the non-default names).
bool DecodePresetDump(std::span<const MidiEvent> events, Morvelant_Parameters& preset);
// Pattern dump: refused (false, pattern untouched) as a value dump is;
// otherwise words 0..511 are replaced.
bool DecodePatternDump(std::span<const MidiEvent> events, Pattern_Parameters& pattern);
// The index (0..511) of the first value pair of a values or pattern dump of
// at least 1034 events that the device never sends: a first byte above 0x7F
// or a second byte other than 0 or 1. -1 when every pair is a value.
int FirstBadValuePair(std::span<const MidiEvent> events);
// Text dump: empties the event strings, special-key strings and slider names,
// then fills them from the dump's blocks. The FaderMidiData1, KeyOnMidiData1
// and KeyOffMidiData1 words of the preset say where "XX" goes, so the value
// dump is decoded first. Returns true when the walk ended at an F7 on a block
// boundary; false when the data ended first or a block was malformed (what was
// decoded up to there is kept).
bool DecodePresetTextDump(std::span<const MidiEvent> events, Morvelant_Parameters& preset);
// True when DecodePresetTextDump would walk the dump to its F7, without
// touching any record.
bool TextDumpIsComplete(std::span<const MidiEvent> events);

// The default slider name of fader f (0..23): "Fader001".."Fader024".
std::string DefaultSliderName(int fader);

// The bytes (data1) of a dump, and a dump from bytes (status 0xF0, time 0).
std::vector<uint8_t> DumpBytes(std::span<const MidiEvent> events);
SysexBuffer DumpFromBytes(std::span<const uint8_t> bytes);

}  // namespace morvelant
