// Building MIDI events in tests.
#pragma once

#include <cstdint>

#include "driver/MidiKit32.h"

namespace morvelant::testsupport {

// An event with up to two data bytes, by default due at once.
inline MidiEvent Ev(uint8_t status, uint8_t d1 = 0, uint8_t d2 = 0, uint32_t time = MIDIKIT_TIME_NOW) {
    return MidiEvent{time, status, d1, d2, 0};
}

}  // namespace morvelant::testsupport
