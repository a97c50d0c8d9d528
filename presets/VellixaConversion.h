// Converting a knob preset of the sibling knob controller into a preset of 24
// faders: each knob of a chosen block of 8 becomes one fader of a chosen block
// of 8, with the fader event (or event string), range, outputs, threshold and
// name that the knob's command calls for. Optionally fader and key blocks are
// cleared and a description of the mapping is added to the preset's notes.
//
// The knob preset is a system-exclusive message, one byte per event: F0,
// 00 4D 56, 0x14, one byte, 0x20, the slot, one byte, then 16 channels, 16
// commands and 16 parameters of the knobs, and at the end F7.
#pragma once

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "driver/MidiKit32.h"
#include "engine/Engine.h"
#include "engine/MidiInDeviceUnit.h"
#include "model/DeviceModel.h"
#include "presets/vellixaImportRules.h"

namespace morvelant {

class Dialogs;

inline constexpr int kKnobCount = 16;
// Offsets in the message of the knobs' channel, command and parameter bytes.
inline constexpr int kKnobChannelByte = 9;
inline constexpr int kKnobCommandByte = 25;
inline constexpr int kKnobParameterByte = 41;

// The knob bytes of one message, copied out of the MIDI buffer before anything
// is asked, so input arriving while a box is open cannot change them.
using KnobPresetBytes = std::vector<uint8_t>;

KnobPresetBytes CopyKnobPreset(std::span<const MidiEvent> dump);

// Whether any knob has a command the conversion cannot carry out.
bool HasUnsupportedVellixaCommands(const KnobPresetBytes& bytes);
// Asks "Load it anyway?" once when any knob has a command the conversion
// cannot carry out; false only when the answer is No.
bool CheckVellixaCommands(const KnobPresetBytes& bytes, Dialogs& dialogs);

// One knob (0..15) into one fader (0..23) of preset `slot`, and a block of 8.
void ConvertVellixaKnob(DeviceModel& model, const VellixaImportSettings& settings, int knob, int fader,
                        const KnobPresetBytes& bytes, int slot, int outputFlags, int threshold);
void ConvertVellixaKnobBlock(DeviceModel& model, const VellixaImportSettings& settings, int firstKnob, int firstFader,
                             const KnobPresetBytes& bytes, int slot, int outputFlags, int threshold);

// What the import is handed: the options, the question box and the settings
// dialog (shown modally; the import goes on with the options as they then
// stand).
struct VellixaImportContext {
    VellixaImportSettings& settings;
    Dialogs& dialogs;
    std::function<void()> showSettingsDialog;
};

// The whole import of one knob preset into `slot`. False when nothing was
// converted: a message that is no whole knob preset, a slot out of range, or
// the answer No to the question.
bool ImportVellixaPreset(DeviceModel& model, VellixaImportContext context, int slot, const KnobPresetBytes& bytes);

// Runs the imports one after another: a knob preset that arrives while one is
// being converted (its box or dialog is open) waits for it to end. `done`
// runs after each import (whether it converted or was refused), so the
// caller makes the slot current and shows it then, in the order of arrival.
// An import that asks the user opens in the line of boxes the MIDI input
// raises; after one that asked, the next waits a quiet time, in which the
// user reaches the other windows (the MIDI settings, to stop what sends).
// At most kMostWaiting wait; those that arrive beyond are left out, and
// `dropped` says how many once the running import has ended.
class VellixaImportQueue {
public:
    // True when it asked the user (a box or the settings dialog).
    using Import = std::function<bool(int slot, const KnobPresetBytes& bytes)>;
    using Done = std::function<void(int slot)>;
    using Dropped = std::function<void(int count)>;
    static constexpr std::size_t kMostWaiting = 8;
    // The quiet time is a timer named "KnobPresetQuietTime", a child of
    // `timerParent` when one is given.
    VellixaImportQueue(PeerBoxLine& line, Import import, Done done, Dropped dropped, QObject* timerParent = nullptr);

    // Copies the message and converts it now, or once those before it are
    // done; beyond kMostWaiting it is left out.
    void Receive(int slot, std::span<const MidiEvent> dump);
    bool Busy() const { return busy_; }

private:
    void RunNext();
    PeerBoxLine& line_;
    Import import_;
    Done done_;
    Dropped dropped_;
    QObject owner_;
    QTimer* quiet_;  // named "KnobPresetQuietTime"
    bool busy_ = false;  // an import runs, or the next waits for its turn
    int left_ = 0;  // left out since the last time they were said
    std::deque<std::pair<int, KnobPresetBytes>> waiting_;
};

// The engine's knob presets, converted one after another into the model with
// the given options: after each, its slot becomes the current preset, the
// preset list comes forward and the preset is shown (its "Preset" string
// sent). Listens for as long as it exists.
class VellixaImportConnection {
public:
    VellixaImportConnection(Engine& engine, VellixaImportSettings& settings, std::function<void()> showSettingsDialog,
                            QObject* timerParent = nullptr);

private:
    Engine& engine_;
    VellixaImportSettings& settings_;
    std::function<void()> showSettingsDialog_;
    VellixaImportQueue queue_;
    Subscription subscription_;
};

}  // namespace morvelant
