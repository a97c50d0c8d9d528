// The knob-preset conversion on arbitrary bytes: shared by the libFuzzer
// target and by the test that replays its seed corpus on every run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/Dialogs.h"
#include "presets/VellixaConversion.h"

namespace morvelant::fuzz {

inline int FuzzVellixaImport(const uint8_t* data, std::size_t size) {
    auto check = [](bool ok) {
        if (!ok) std::abort();
    };
    std::vector<MidiEvent> events;
    for (std::size_t i = 0; i < size; ++i) events.push_back(MidiEvent{0, 0xF0, data[i], 0, 0});
    DeviceModel model;
    const auto before = model.Presets;
    VellixaImportSettings settings;
    // Byte 5 is not read by the conversion: here it picks the options.
    const int options = size > 5 ? data[5] : 0;
    settings.SetMap(0, 0, options & 1);
    settings.SetMap(1, 1, options & 2);
    settings.SetMap(0, 2, options & 4);
    settings.SetClearFaders(1, options & 8);
    settings.SetClearButtons(2, options & 16);
    settings.UseKnobNames = options & 32;
    settings.MasterChannel = (options & 64) ? 200 : 5;
    settings.ShowDialog = true;
    ScriptedDialogs dialogs;
    dialogs.messageAnswers = {MessageResult::Yes};
    const int slot = size > 7 ? data[7] : 0;
    // Whole or not, the conversion must stay inside the message and the slot.
    const bool converted = ImportVellixaPreset(model, {settings, dialogs, nullptr}, slot, CopyKnobPreset(events));
    check(!converted || (size >= kKnobPresetMinSize && DeviceModel::ValidPreset(slot)));
    for (int p = 0; p < kPresetCount; ++p) {
        if (p == slot) continue;
        check(model.Presets[static_cast<std::size_t>(p)] == before[static_cast<std::size_t>(p)]);
    }
    if (DeviceModel::ValidPreset(slot)) {
        const Morvelant_Parameters& m = model.Presets[static_cast<std::size_t>(slot)];
        for (int f = 0; f < kFaderCount; ++f) {
            for (int32_t d : {m.FaderMidiData1(f), m.FaderMidiData2(f), m.KeyOnMidiData2(f), m.MuteVal(f)})
                check(d >= 0 && d <= 128);
            check(m.FaderStatus(f) >= 0 && m.FaderStatus(f) <= 0xFF);
        }
    }
    return 0;
}

}  // namespace morvelant::fuzz
