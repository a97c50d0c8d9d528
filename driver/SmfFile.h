// Standard MIDI File reading and writing inside the driver library.
//
// The parser works on a byte span and never reads outside it; a damaged file
// (missing header, a variable-length number that never ends, a chunk longer
// than the file, an event cut off by its chunk's end) is refused as a whole.
// Events are the library's MidiEvent records with delta times in ticks.
// System exclusive travels one byte per event (status 0xF0, the byte in
// data1): a message written with delta times between its bytes is stored as
// divided packets (an F0 packet, then F7 continuation packets) so that it
// reads back with the same events and delta times.
#ifndef DRIVER_SMFFILE_H
#define DRIVER_SMFFILE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "driver/MidiKit32.h"

namespace morvelant::smf {

// Default ticks per quarter note of a file that sets none.
inline constexpr uint16_t DefaultResolution = 96;

struct SmfTrack {
    std::vector<MidiEvent> events;
    // Meta events of the track (type, data), in file order. Their delta
    // times are carried into the next event; end-of-track is not kept.
    std::vector<std::pair<uint8_t, std::string>> metas;
};

struct SmfData {
    uint16_t format = 0;
    uint16_t division = DefaultResolution;
    std::vector<SmfTrack> tracks;
};

// Parses a whole file image. On failure returns false, leaves a short reason
// in *error (when given) and out is unspecified.
bool ParseSmf(const uint8_t* data, size_t size, SmfData& out, std::string* error = nullptr);

// Builds a file image: running status, divided system exclusive, the track's
// meta events at its start, an end-of-track meta event on every track.
std::vector<uint8_t> BuildSmf(const SmfData& in);

// Writes bytes to a temporary file in the folder of path, flushes it to disk
// and renames it into place. False (the old file untouched) on any failure.
bool WriteFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error = nullptr);

}  // namespace morvelant::smf

#endif
