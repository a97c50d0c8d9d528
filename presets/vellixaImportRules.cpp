#include "presets/vellixaImportRules.h"

#include <algorithm>

#include "platform/IniFile.h"

namespace morvelant {

namespace {

constexpr int kFirstFader[kFaderBlocks] = {1, 9, 17};
constexpr int kFirstKnob[kKnobBlocks] = {1, 9};

std::string MapKey(int k, int b) { return std::to_string(kFirstKnob[k]) + "->" + std::to_string(kFirstFader[b]); }
std::string ClearFadersKey(int b) { return "Clear Faders " + std::to_string(kFirstFader[b]); }
// The Clear Buttons boxes are kept under "Knobs" keys.
std::string ClearButtonsKey(int b) { return "Clear Knobs " + std::to_string(kFirstFader[b]); }

}  // namespace

VellixaImportSettings::VellixaImportSettings() {
    map_[0][0] = true;
    map_[1][1] = true;
}

void VellixaImportSettings::Exclude(int b, int except) {
    for (int k = 0; k < kKnobBlocks; ++k)
        if (k != except) map_[Index(k)][Index(b)] = false;
    if (except != kKnobBlocks) clearFaders_[Index(b)] = false;
}

void VellixaImportSettings::SetMap(int k, int b, bool checked) {
    if (k < 0 || k >= kKnobBlocks || b < 0 || b >= kFaderBlocks) return;
    map_[Index(k)][Index(b)] = checked;
    if (checked) Exclude(b, k);
}

void VellixaImportSettings::SetClearFaders(int b, bool checked) {
    if (b < 0 || b >= kFaderBlocks) return;
    clearFaders_[Index(b)] = checked;
    if (checked) Exclude(b, kKnobBlocks);
}

void VellixaImportSettings::SetClearButtons(int b, bool checked) {
    if (b < 0 || b >= kFaderBlocks) return;
    clearButtons_[Index(b)] = checked;
}

int VellixaImportSettings::Threshold() const {
    int value = 0;
    std::string text = ThresholdText;
    // The edit's text, as a whole number with optional blanks around it.
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    text = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
    if (text.empty() || text.find_first_not_of("+-0123456789") != std::string::npos) return 0;
    if (!TIniFile::ParseInteger(text, value)) return 0;
    return std::clamp(value, 0, 63);
}

void VellixaImportSettings::SetDefaults() {
    MasterChannel = 0;
    AddDescription = true;
    UseKnobNames = false;
    WarningMessages = true;
    ThresholdText = "0";
    Output1 = true;
    Output2 = true;
    SetMap(0, 0, true);
    SetMap(0, 1, false);
    SetMap(0, 2, false);
    SetMap(1, 0, false);
    SetMap(1, 1, true);
    SetMap(1, 2, false);
    for (int b = 0; b < kFaderBlocks; ++b) {
        SetClearFaders(b, false);
        SetClearButtons(b, false);
    }
    ShowDialog = true;
}

void VellixaImportSettings::Load(const TIniFile& ini) {
    const char* s = kVellixaImportSection;
    AddDescription = ini.ReadBool(s, "AddDescription", true);
    UseKnobNames = ini.ReadBool(s, "UseKnobNames", false);
    WarningMessages = ini.ReadBool(s, "WarningMessages", true);
    Output1 = ini.ReadBool(s, "Output1", true);
    Output2 = ini.ReadBool(s, "Output2", true);
    ThresholdText = std::to_string(std::clamp(ini.ReadInteger(s, "Threshold", 0), 0, 63));
    MasterChannel = ini.ReadInteger(s, "Masterchannel", 0);
    for (int k = 0; k < kKnobBlocks; ++k)
        for (int b = 0; b < kFaderBlocks; ++b) SetMap(k, b, ini.ReadBool(s, MapKey(k, b), k == b));
    for (int b = 0; b < kFaderBlocks; ++b) SetClearFaders(b, ini.ReadBool(s, ClearFadersKey(b), false));
    for (int b = 0; b < kFaderBlocks; ++b) SetClearButtons(b, ini.ReadBool(s, ClearButtonsKey(b), false));
    ShowDialog = ini.ReadBool(s, "Show Import Dialog", true);
}

void VellixaImportSettings::Save(TIniFile& ini) const {
    const char* s = kVellixaImportSection;
    ini.WriteBool(s, "AddDescription", AddDescription);
    ini.WriteBool(s, "UseKnobNames", UseKnobNames);
    ini.WriteBool(s, "WarningMessages", WarningMessages);
    ini.WriteBool(s, "Output1", Output1);
    ini.WriteBool(s, "Output2", Output2);
    for (int k = 0; k < kKnobBlocks; ++k)
        for (int b = 0; b < kFaderBlocks; ++b) ini.WriteBool(s, MapKey(k, b), Map(k, b));
    for (int b = 0; b < kFaderBlocks; ++b) ini.WriteBool(s, ClearFadersKey(b), ClearFaders(b));
    for (int b = 0; b < kFaderBlocks; ++b) ini.WriteBool(s, ClearButtonsKey(b), ClearButtons(b));
    ini.WriteBool(s, "Show Import Dialog", ShowDialog);
    ini.WriteInteger(s, "Threshold", Threshold());
    ini.WriteInteger(s, "Masterchannel", MasterChannel);
}

}  // namespace morvelant
