// The bytes of incoming port messages as the library's events: one event per
// channel or system message, one per byte of a system-exclusive message.
// Header-only and free of any port, so the fuzz target and the tests run the
// very code the inputs run.
#ifndef MIDIKIT_MIDIBYTES_H
#define MIDIKIT_MIDIBYTES_H

#include <cstddef>
#include <cstdint>

#include "driver/MidiKit32.h"

namespace morvelant::driver {

// Length of a channel or system-common message from its status byte, 0 for a
// byte that does not start a message this way (data bytes, 0xF0, 0xF7).
inline int messageLength(uint8_t status) {
    if (status < 0x80) return 0;
    if (status < 0xF0) {
        const uint8_t code = status & 0xF0;
        return (code == 0xC0 || code == 0xD0) ? 2 : 3;
    }
    switch (status) {
        case 0xF1:
        case 0xF3: return 2;
        case 0xF2: return 3;
        case 0xF0:
        case 0xF7: return 0;
        default: return 1;  // 0xF4..0xF6 and the real-time bytes
    }
}

// Splits one message (or a run of them) as it came from a port. `inSysex`
// carries an unfinished system-exclusive message over to the next call; the
// first event gets `delta` and every later one 0. A message cut short at the
// end keeps zeros for its missing data bytes; one cut short by a status byte
// is dropped; stray data bytes and a lone 0xF7 are dropped. Every data byte
// of an event is below 0x80 (a system-exclusive byte aside).
template <class Push>
void splitMidiBytes(const uint8_t* data, size_t size, bool& inSysex, uint32_t delta, Push&& push) {
    size_t i = 0;
    while (i < size) {
        const uint8_t b = data[i];
        if (b == 0xF0) inSysex = true;
        if (inSysex && b >= 0xF8) {
            // A real-time byte inside a system-exclusive message is its own
            // event and does not end the message.
            push(MidiEvent{delta, b, 0, 0, 0});
            delta = 0;
            ++i;
            continue;
        }
        if (inSysex) {
            if (b >= 0x80 && b != 0xF0 && b != 0xF7) {
                // A status byte ends an unterminated message; the byte is
                // taken as the start of a new message below.
                inSysex = false;
                continue;
            }
            push(MidiEvent{delta, 0xF0, b, 0, 0});
            delta = 0;
            if (b == 0xF7) inSysex = false;
            ++i;
            continue;
        }
        const int len = messageLength(b);
        if (len == 0) {
            ++i;  // stray data byte or a lone 0xF7
            continue;
        }
        // A status byte where a data byte belongs (a damaged or interleaved
        // stream) ends the message short: it is dropped, and the status byte
        // starts the next one. Passing it on would hand the editor a note or
        // controller number of 128 and more.
        size_t k = 1;
        while (k < size_t(len) && i + k < size && data[i + k] < 0x80) ++k;
        if (k < size_t(len) && i + k < size) {
            i += k;
            continue;
        }
        MidiEvent e{delta, b, 0, 0, 0};
        if (len >= 2 && i + 1 < size) e.data1 = data[i + 1];
        if (len >= 3 && i + 2 < size) e.data2 = data[i + 2];
        push(e);
        delta = 0;
        i += size_t(len);
    }
}

}  // namespace morvelant::driver

#endif
