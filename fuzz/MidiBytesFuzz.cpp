#include "fuzz/InputFuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return morvelant::fuzz::FuzzMidiBytes(data, size);
}
