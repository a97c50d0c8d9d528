// Fuzz target of the driver library's MIDI file reader. Any bytes are either
// refused or parsed without reading outside them. What parses is written
// again: that file must parse, with the same tracks, and writing it once
// more must give the very same bytes (one round settles every event into
// the form the writer keeps).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "driver/SmfFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace morvelant::smf;
    // The parser gets a block of exactly the input's size, so that any read
    // past it is caught.
    std::vector<uint8_t> copy(data, data + size);
    SmfData parsed;
    if (!ParseSmf(copy.data(), copy.size(), parsed)) return 0;
    const std::vector<uint8_t> first = BuildSmf(parsed);
    SmfData again;
    if (!ParseSmf(first.data(), first.size(), again)) std::abort();  // the writer made a file its own reader refuses
    if (again.tracks.size() != parsed.tracks.size() || again.division != parsed.division) std::abort();
    const std::vector<uint8_t> second = BuildSmf(again);
    if (second != first) std::abort();
    return 0;
}
