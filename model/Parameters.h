// The three record types of the device model: a preset, a sequencer pattern
// and the block of one fader with its two keys.
//
// A preset and a pattern each hold 512 numeric words whose low bytes, in
// order, are the content of the device's values dump and pattern dump. The
// dump codec and the files walk the words by index, so they are one array;
// every field has a named accessor onto its words.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace morvelant {

constexpr int kPresetCount = 128;
constexpr int kPatternCount = 128;
constexpr int kDeviceSlots = 64;  // slots 0..63 mirror the device
constexpr int kFaderCount = 24;
constexpr int kTrackCount = 8;
constexpr int kStepCount = 16;
constexpr int kSpecialKeyCount = 6;
constexpr int kWordCount = 512;
constexpr int kNameLength = 8;

// Stores a character code the way the device words hold it: codes above 127
// sign-extended. Never relies on the signedness of char.
inline int32_t CharToWord(char c) { return static_cast<int32_t>(static_cast<int8_t>(static_cast<uint8_t>(c))); }
// The low byte of a word as a character.
inline char WordToChar(int32_t w) { return static_cast<char>(static_cast<uint8_t>(w & 0xFF)); }

using Words = std::array<int32_t, kWordCount>;

// One preset. Per-fader data are parallel arrays of 24 words: array k of the
// twenty (FaderValue = 0 .. SwitchMode = 19) starts at word 16 + 24k.
struct Morvelant_Parameters {
    Words W{};  // value-initialised: every word 0

    // Word offsets of the fields.
    static constexpr int kPresetName = 0;
    static constexpr int kPresetReserved1 = 8;
    static constexpr int kFaderArrays = 16;
    static constexpr int kPresetReserved2 = 496;
    enum FaderArray : int {
        aFaderValue,
        aMuteVal,
        aDemuteVal,
        aFaderMin,
        aFaderMax,
        aFaderThreshold,
        aActiveMode,
        aFaderMidiMode,
        aMasterSlaveMode,
        aFaderOutMode,
        aFaderStatus,
        aFaderMidiData1,
        aFaderMidiData2,
        aKeyOnStatus,
        aKeyOnMidiData1,
        aKeyOnMidiData2,
        aKeyOffStatus,
        aKeyOffMidiData1,
        aKeyOffMidiData2,
        aSwitchMode,
        kFaderArrayCount
    };
    static constexpr int WordOf(int array, int fader) { return kFaderArrays + kFaderCount * array + fader; }

    int32_t& PresetName(int i) { return W[kPresetName + i]; }
    int32_t PresetName(int i) const { return W[kPresetName + i]; }
    int32_t& PresetReserved1(int i) { return W[kPresetReserved1 + i]; }
    int32_t PresetReserved1(int i) const { return W[kPresetReserved1 + i]; }
    int32_t& PresetReserved2(int i) { return W[kPresetReserved2 + i]; }
    int32_t PresetReserved2(int i) const { return W[kPresetReserved2 + i]; }
    int32_t& FaderArray(int array, int f) { return W[WordOf(array, f)]; }
    int32_t FaderArray(int array, int f) const { return W[WordOf(array, f)]; }

#define MORVELANT_FADER_FIELD(Name)                        \
    int32_t& Name(int f) { return W[WordOf(a##Name, f)]; } \
    int32_t Name(int f) const { return W[WordOf(a##Name, f)]; }
    MORVELANT_FADER_FIELD(FaderValue)
    MORVELANT_FADER_FIELD(MuteVal)
    MORVELANT_FADER_FIELD(DemuteVal)
    MORVELANT_FADER_FIELD(FaderMin)
    MORVELANT_FADER_FIELD(FaderMax)
    MORVELANT_FADER_FIELD(FaderThreshold)
    MORVELANT_FADER_FIELD(ActiveMode)
    MORVELANT_FADER_FIELD(FaderMidiMode)
    MORVELANT_FADER_FIELD(MasterSlaveMode)
    MORVELANT_FADER_FIELD(FaderOutMode)
    MORVELANT_FADER_FIELD(FaderStatus)
    MORVELANT_FADER_FIELD(FaderMidiData1)
    MORVELANT_FADER_FIELD(FaderMidiData2)
    MORVELANT_FADER_FIELD(KeyOnStatus)
    MORVELANT_FADER_FIELD(KeyOnMidiData1)
    MORVELANT_FADER_FIELD(KeyOnMidiData2)
    MORVELANT_FADER_FIELD(KeyOffStatus)
    MORVELANT_FADER_FIELD(KeyOffMidiData1)
    MORVELANT_FADER_FIELD(KeyOffMidiData2)
    MORVELANT_FADER_FIELD(SwitchMode)
#undef MORVELANT_FADER_FIELD

    std::array<std::string, kFaderCount> FaderString{};
    std::array<std::string, kFaderCount> KeyOnString{};
    std::array<std::string, kFaderCount> KeyOffString{};
    std::array<std::string, kSpecialKeyCount> SpecialKeyString{};
    std::array<std::string, kFaderCount> SliderName{};
    std::array<std::string, kFaderCount> KeyOnName{};
    std::array<std::string, kFaderCount> KeyOffName{};
    std::string PresetNotes;

    bool operator==(const Morvelant_Parameters&) const = default;
};

// One sequencer pattern: tracks t = 0..7, steps s = 0..15.
struct Pattern_Parameters {
    Words W{};

    static constexpr int kPatternHeader = 0;
    static constexpr int kMuteMask = 6;
    static constexpr int kTrackEvent = 16;
    static constexpr int kTrackData1 = 24;
    static constexpr int kTrackData2 = 32;
    static constexpr int kTrackGateTime = 40;
    static constexpr int kTrackNoteTime = 48;
    static constexpr int kTrackEndStep = 56;
    static constexpr int kTrackRunMode = 64;
    static constexpr int kStepOffBits = 72;
    static constexpr int kTrackDelay = 88;
    static constexpr int kTrackStartStep = 96;
    static constexpr int kTrackStatus = 104;
    static constexpr int kPatternReserved1 = 112;
    static constexpr int kPatternReserved2 = 128;
    static constexpr int kStepNote = 256;
    static constexpr int kStepVelocity = 384;

    int32_t& PatternHeader(int i) { return W[kPatternHeader + i]; }
    int32_t PatternHeader(int i) const { return W[kPatternHeader + i]; }
    int32_t& MuteMask() { return W[kMuteMask]; }
    int32_t MuteMask() const { return W[kMuteMask]; }

#define MORVELANT_TRACK_FIELD(Name)                 \
    int32_t& Name(int t) { return W[k##Name + t]; } \
    int32_t Name(int t) const { return W[k##Name + t]; }
    MORVELANT_TRACK_FIELD(TrackEvent)
    MORVELANT_TRACK_FIELD(TrackData1)
    MORVELANT_TRACK_FIELD(TrackData2)
    MORVELANT_TRACK_FIELD(TrackGateTime)
    MORVELANT_TRACK_FIELD(TrackNoteTime)
    MORVELANT_TRACK_FIELD(TrackEndStep)
    MORVELANT_TRACK_FIELD(TrackRunMode)
    MORVELANT_TRACK_FIELD(TrackDelay)
    MORVELANT_TRACK_FIELD(TrackStartStep)
    MORVELANT_TRACK_FIELD(TrackStatus)
#undef MORVELANT_TRACK_FIELD

    // Word i (0..15) of the step-off bits: two words per track.
    int32_t& StepOffBits(int i) { return W[kStepOffBits + i]; }
    int32_t StepOffBits(int i) const { return W[kStepOffBits + i]; }
    int32_t& PatternReserved1(int i) { return W[kPatternReserved1 + i]; }
    int32_t PatternReserved1(int i) const { return W[kPatternReserved1 + i]; }
    int32_t& PatternReserved2(int i) { return W[kPatternReserved2 + i]; }
    int32_t PatternReserved2(int i) const { return W[kPatternReserved2 + i]; }
    int32_t& StepNote(int t, int s) { return W[kStepNote + kStepCount * t + s]; }
    int32_t StepNote(int t, int s) const { return W[kStepNote + kStepCount * t + s]; }
    int32_t& StepVelocity(int t, int s) { return W[kStepVelocity + kStepCount * t + s]; }
    int32_t StepVelocity(int t, int s) const { return W[kStepVelocity + kStepCount * t + s]; }

    // Step s of track t is off when bit (s mod 8) of word 72 + 2t + (s div 8) is set.
    bool StepOff(int t, int s) const { return (StepOffBits(2 * t + s / 8) >> (s % 8)) & 1; }
    void SetStepOff(int t, int s, bool off) {
        int32_t& w = StepOffBits(2 * t + s / 8);
        if (off)
            w |= (1 << (s % 8));
        else
            w &= ~(1 << (s % 8));
    }

    // Editor-only: the pattern's name, one character code per word.
    std::array<int32_t, kNameLength> PatternName{};
    std::string PatternNotes;

    bool operator==(const Pattern_Parameters&) const = default;
};

// The block of one fader and its two key events: the unit of fader copy,
// paste, exchange and drag and drop. The twenty numbers are in preset order.
struct Fader_Parameters {
    // Indexed like the preset's per-fader arrays (Morvelant_Parameters::aFaderValue ..).
    std::array<int32_t, Morvelant_Parameters::kFaderArrayCount> Values{};

#define MORVELANT_BLOCK_FIELD(Name)                                                             \
    int32_t& Name() { return Values[static_cast<std::size_t>(Morvelant_Parameters::a##Name)]; } \
    int32_t Name() const { return Values[static_cast<std::size_t>(Morvelant_Parameters::a##Name)]; }
    MORVELANT_BLOCK_FIELD(FaderValue)
    MORVELANT_BLOCK_FIELD(MuteVal)
    MORVELANT_BLOCK_FIELD(DemuteVal)
    MORVELANT_BLOCK_FIELD(FaderMin)
    MORVELANT_BLOCK_FIELD(FaderMax)
    MORVELANT_BLOCK_FIELD(FaderThreshold)
    MORVELANT_BLOCK_FIELD(ActiveMode)
    MORVELANT_BLOCK_FIELD(FaderMidiMode)
    MORVELANT_BLOCK_FIELD(MasterSlaveMode)
    MORVELANT_BLOCK_FIELD(FaderOutMode)
    MORVELANT_BLOCK_FIELD(FaderStatus)
    MORVELANT_BLOCK_FIELD(FaderMidiData1)
    MORVELANT_BLOCK_FIELD(FaderMidiData2)
    MORVELANT_BLOCK_FIELD(KeyOnStatus)
    MORVELANT_BLOCK_FIELD(KeyOnMidiData1)
    MORVELANT_BLOCK_FIELD(KeyOnMidiData2)
    MORVELANT_BLOCK_FIELD(KeyOffStatus)
    MORVELANT_BLOCK_FIELD(KeyOffMidiData1)
    MORVELANT_BLOCK_FIELD(KeyOffMidiData2)
    MORVELANT_BLOCK_FIELD(SwitchMode)
#undef MORVELANT_BLOCK_FIELD

    std::string FaderString;
    std::string KeyOnString;
    std::string KeyOffString;
    std::string SliderName;
    std::string KeyOnName;
    std::string KeyOffName;

    bool operator==(const Fader_Parameters&) const = default;
};

}  // namespace morvelant
