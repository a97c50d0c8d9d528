// What each fuzz target does with one input. Shared by the libFuzzer targets
// and by the test that replays the seed corpus on every run, so that a seed
// that once crashed stays a regression test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

#include "model/DeviceModel.h"
#include "model/PresetFiles.h"
#include "model/SysexCodec.h"
#include "platform/Dialogs.h"

namespace morvelant::fuzz {

inline void Check(bool ok) {
    if (!ok) std::abort();
}

// Whether a values or pattern dump of `size` bytes is one the device sends:
// long enough, and each of its 512 value pairs (from byte 9 on) a low byte of
// 0..0x7F and a high bit of 0 or 1. Only such a dump is taken in.
inline bool DumpLoads(const uint8_t* data, std::size_t size, std::size_t fullSize) {
    if (size < fullSize) return false;
    for (std::size_t pair = 9; pair < 9 + 2 * std::size_t(kWordCount); pair += 2)
        if (data[pair] > 0x7F || data[pair + 1] > 1) return false;
    return true;
}

inline int FuzzPresetDump(const uint8_t* data, std::size_t size) {
    SysexBuffer ev = DumpFromBytes(std::span(data, size));
    Morvelant_Parameters p;
    p.SliderName[0] = "keep";
    p.W[7] = 12345;  // no pair decodes to this
    const bool ok = DecodePresetDump(ev, p);
    Check(ok == DumpLoads(data, size, kValueDumpSize));
    // A refused dump leaves the preset as it was.
    Check(ok ? p.SliderName[0].empty() : p.SliderName[0] == "keep" && p.W[7] == 12345);
    return 0;
}

inline int FuzzPatternDump(const uint8_t* data, std::size_t size) {
    SysexBuffer ev = DumpFromBytes(std::span(data, size));
    Pattern_Parameters p;
    p.W[7] = 12345;
    const bool ok = DecodePatternDump(ev, p);
    Check(ok == DumpLoads(data, size, kPatternDumpSize));
    Check(ok || p.W[7] == 12345);
    return 0;
}

inline int FuzzPresetTextDump(const uint8_t* data, std::size_t size) {
    SysexBuffer ev = DumpFromBytes(std::span(data, size));
    Morvelant_Parameters p;
    for (int f = 0; f < kFaderCount; ++f) {
        p.FaderMidiData1(f) = f % 4;  // some placeholder positions in range
        p.KeyOnMidiData1(f) = f % 3;
        p.KeyOffMidiData1(f) = 128;
    }
    DecodePresetTextDump(ev, p);
    for (const auto& name : p.SliderName) Check(name.size() <= std::size_t(kNameLength));
    return 0;
}

// The file readers in every mode, for presets and for patterns.
inline int FuzzEditorFile(const uint8_t* data, std::size_t size) {
    static auto* model = new DeviceModel();
    const std::span<const uint8_t> bytes(data, size);
    for (EditorFileKind kind : {EditorFileKind::Presets, EditorFileKind::Patterns}) {
        for (EditorFileReadMode mode :
             {EditorFileReadMode::Set, EditorFileReadMode::Sequential, EditorFileReadMode::Single}) {
            model->PresetEditBufferCount = model->PatternEditBufferCount = 1;
            model->PresetEditBufferNames.clear();
            model->PatternEditBufferNames.clear();
            const int start = mode == EditorFileReadMode::Set ? -1 : mode == EditorFileReadMode::Sequential ? 100 : 3;
            const ReadStatus st = ReadEditorFileData(*model, bytes, kind, mode, start);
            Check(st != ReadStatus::NotOpened);
            for (int count : {model->PresetEditBufferCount, model->PatternEditBufferCount})
                Check(count >= 1 && count <= 64);
            Check(model->PresetEditBufferNames.size() == std::size_t(model->PresetEditBufferCount - 1));
            Check(model->PatternEditBufferNames.size() == std::size_t(model->PatternEditBufferCount - 1));
        }
    }
    return 0;
}

}  // namespace morvelant::fuzz
