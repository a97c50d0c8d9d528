// A fader set up for end-to-end tests: it sends a Control Change on channel 1
// through output 1, in the given pick-up mode, with the fader's own value.
#pragma once

#include "model/Parameters.h"

namespace morvelant::testsupport {

inline void SetControllerFader(Morvelant_Parameters& p, int f, int controller, int mode = 0, int threshold = 0,
                               int start = 0, int min = 0, int max = 127) {
    p.FaderMin(f) = min;
    p.FaderMax(f) = max;
    p.FaderValue(f) = start;
    p.FaderThreshold(f) = threshold;
    p.ActiveMode(f) = 0x80 + mode;
    p.FaderMidiMode(f) = 1;
    p.MasterSlaveMode(f) = 0;
    p.FaderOutMode(f) = 0;
    p.FaderStatus(f) = 0xB0;
    p.FaderMidiData1(f) = controller;
    p.FaderMidiData2(f) = 128;
}

}  // namespace morvelant::testsupport
