// Finding a port of the driver library by a part of its name, as the
// toolkit's root component lists them.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "midikit/MidiKitDLL.h"
#include "tests/support/PollUntil.h"

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

// FindPort once the library lists the port, else -1: a library loaded
// while a busy server is slow to answer lists the ports as the server
// tells of them.
inline int FindListedPort(TMidiKit& kit, bool input, const std::string& part) {
    int at = -1;
    PollUntil([&] { return (at = FindPort(kit, input, part)) >= 0; }, std::chrono::seconds(20),
              std::chrono::milliseconds(5));
    return at;
}

}  // namespace morvelant::testsupport
