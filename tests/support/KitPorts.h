// Finding a port of the driver library by a part of its name, as the
// toolkit's root component lists them.
#pragma once

#include <cstdint>
#include <string>

#include "midikit/MidiKitDLL.h"

namespace morvelant::testsupport {

// The first input (or output) port whose name contains part, or -1.
inline int FindPort(TMidiKit& kit, bool input, const std::string& part) {
    const uint32_t n = input ? kit.pGetNumInDevices() : kit.pGetNumOutDevices();
    for (uint32_t i = 0; i < n; ++i) {
        char name[32] = {};
        if (input)
            kit.pGetMidiInDescription(i, name);
        else
            kit.pGetMidiOutDescription(i, name);
        if (std::string(name).find(part) != std::string::npos) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace morvelant::testsupport
