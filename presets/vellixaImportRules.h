// The options of the knob-preset conversion as one value: which knob block
// feeds which fader block, which fader and key blocks are cleared, the master
// channel, the threshold and outputs given to converted faders, naming, the
// description and the warning. The settings dialog edits this value and the
// conversion reads it at the moment of the import, so a change takes effect
// at once. Kept in the section "vellixa Import" of the configuration.
#pragma once

#include <array>
#include <string>

namespace morvelant {

class TIniFile;

inline constexpr int kKnobBlocks = 2;  // knobs 1-8, knobs 9-16
inline constexpr int kFaderBlocks = 3;  // faders 1-8, 9-16, 17-24
inline constexpr const char* kVellixaImportSection = "vellixa Import";

class VellixaImportSettings {
public:
    // The state before any settings are loaded (the dialog as designed).
    VellixaImportSettings();

    bool AddDescription = false;
    bool UseKnobNames = false;
    bool WarningMessages = true;
    bool Output1 = true;
    bool Output2 = true;
    bool ShowDialog = true;
    // The threshold as typed; Threshold() reads it.
    std::string ThresholdText = "0";
    // As stored; EffectiveMasterChannel() is what the conversion uses.
    int MasterChannel = 0;

    // Knob block k (0, 1) mapped onto fader block b (0..2).
    bool Map(int k, int b) const { return map_[Index(k)][Index(b)]; }
    bool ClearFaders(int b) const { return clearFaders_[Index(b)]; }
    bool ClearButtons(int b) const { return clearButtons_[Index(b)]; }

    // Each fader block has three choices (knobs 1-8, knobs 9-16, Clear
    // Faders): checking one unchecks the other two of its block; unchecking
    // changes nothing else. The Clear Buttons boxes combine freely.
    void SetMap(int k, int b, bool checked);
    void SetClearFaders(int b, bool checked);
    void SetClearButtons(int b, bool checked);

    // The threshold typed: a whole number clamped to 0..63, anything else 0.
    int Threshold() const;
    // Bit 0 output 1, bit 1 output 2.
    int OutputFlags() const { return (Output1 ? 1 : 0) + (Output2 ? 2 : 0); }
    // The master channel 0..15; a value outside (a hand-edited file) counts as 0.
    int EffectiveMasterChannel() const { return MasterChannel >= 0 && MasterChannel <= 15 ? MasterChannel : 0; }

    // The "Default" button.
    void SetDefaults();

    // Reads every option key of the section (missing keys: their defaults).
    // The boxes are set in a fixed order, so where a file checks several
    // choices of one block, Clear Faders wins over knobs 9-16 over 1-8.
    void Load(const TIniFile& ini);
    // Writes the options (not the dialog's bounds).
    void Save(TIniFile& ini) const;

    bool operator==(const VellixaImportSettings&) const = default;

private:
    static std::size_t Index(int i) { return static_cast<std::size_t>(i); }
    // Unchecks the other choices of fader block b; `except` is 0 / 1 for a
    // knob block, 2 for Clear Faders.
    void Exclude(int b, int except);

    std::array<std::array<bool, kFaderBlocks>, kKnobBlocks> map_{};
    std::array<bool, kFaderBlocks> clearFaders_{};
    std::array<bool, kFaderBlocks> clearButtons_{};
};

}  // namespace morvelant
