// The editor's whole model of the device: the 128 presets and patterns, the
// clipboards, the live fader and key state, the current preset, pattern and
// fader, the option flags and the state of the controls that the setters and
// init kinds consult. The composition root creates the one instance and hands
// it to every window that shows or edits it.
//
// Setters take (preset, fader, value) and follow the multi-fader rule: with
// multi-fader editing on they write every marked fader instead of the fader
// argument. A preset, fader or pattern index outside its range makes a setter
// do nothing.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model/FaderState.h"
#include "model/NameLists.h"
#include "model/Notifications.h"
#include "model/Parameters.h"

namespace morvelant {

// Indexes into DeviceModel::InitValues (minimum and maximum of each item of
// the "Init with Midi Controllers" settings) and DeviceModel::InitRanges.
enum InitCtrlItem : int {
    kFaderCtrl,
    kKeyonCtrl,
    kKeyoffCtrl,
    kFaderValueItem,
    kKeyonValue,
    kKeyoffValue,
    kInitCtrlItemCount
};
constexpr int InitMinIndex(int item) { return 2 * item; }
constexpr int InitMaxIndex(int item) { return 2 * item + 1; }

// Which part of a track a paste takes from the track clipboard.
enum class TrackPart { Velocities, Steps, Notes, NoSettings, Settings, All };

class DeviceModel {
public:
    explicit DeviceModel(std::string programPath = {});
    DeviceModel(const DeviceModel&) = delete;
    DeviceModel& operator=(const DeviceModel&) = delete;

    // Sets Updating for its lifetime and puts back the value it found, so a
    // nested fill never reopens the change handlers early.
    class UpdatingGuard {
    public:
        explicit UpdatingGuard(DeviceModel& model) : model_(model), previous_(model.Updating) { model.Updating = true; }
        ~UpdatingGuard() { model_.Updating = previous_; }
        UpdatingGuard(const UpdatingGuard&) = delete;
        UpdatingGuard& operator=(const UpdatingGuard&) = delete;

    private:
        DeviceModel& model_;
        bool previous_;
    };

    static bool ValidPreset(int p) { return p >= 0 && p < kPresetCount; }
    static bool ValidPattern(int p) { return p >= 0 && p < kPatternCount; }
    static bool ValidFader(int f) { return f >= 0 && f < kFaderCount; }

    // ---- Records -------------------------------------------------------
    std::array<Morvelant_Parameters, kPresetCount> Presets{};
    Morvelant_Parameters PresetClipboard{};
    Morvelant_Parameters PresetSwap{};
    std::array<Pattern_Parameters, kPatternCount> Patterns{};
    Pattern_Parameters TrackClipboard{};
    Pattern_Parameters TrackSwap{};
    // The pattern list window's clipboard of whole patterns.
    Pattern_Parameters PatternClipboard{};
    // A further pattern record, readable as pattern -2 by the step reader.
    Pattern_Parameters PatternSpare1{};
    int32_t CopiedTrack = 0;
    Fader_Parameters FaderClipboard{};
    Fader_Parameters FaderSwap{};
    int32_t PopupFader = 0;

    // ---- Live state ----------------------------------------------------
    std::array<FaderState, kFaderCount> FaderStates{};
    std::array<KeyState, kFaderCount> KeyStates{};
    bool VirtualMotorFaders = false;
    FaderState FaderStateClipboard{};
    KeyState KeyStateClipboard{};
    FaderState FaderStateSwap{};
    KeyState KeyStateSwap{};

    // ---- Selection -----------------------------------------------------
    int32_t SelectedPreset = 0;
    int32_t SelectedPattern = 0;
    int32_t SelectedFader = 0;
    std::array<bool, kFaderCount> FaderSelected{};
    // The track selected in the step editor (1..8); the step editor writes it.
    int32_t SelectedTrack = 1;

    // ---- Name lists ----------------------------------------------------
    NameList ControllerNames;
    NameList NumberNames;
    NameList TrackNumberNames;
    NameList NoteNames;
    NameList FaderNames;

    // ---- Options and flags ---------------------------------------------
    bool Warnings = true;
    bool ShowPrintOutputForm = false;
    bool ShowMidiActivity = false;
    bool ShowNotes = false;
    bool ShowPatternNotes = false;
    bool ShowSpecialKeys = false;
    bool ShowPresets = false;
    bool ShowPatterns = false;
    bool ShowDevicesInfo1 = false;
    bool ShowFaderParametersForm = false;
    bool ShowMidiMonitor = false;
    bool FaderDragSwap = false;
    bool ShowExplorer = false;
    bool ShowStepParametersForm = false;
    bool ShowTrackParametersForm = false;
    bool ShowEventEditForm = false;
    bool Updating = false;
    int32_t LearnFader = 0;
    int32_t LearnMode = -1;  // -1 off, 0 event, 1 event string, 2 system-exclusive string
    int32_t LearnCount = 0;
    bool OverdupMode = false;
    bool HookMode = false;
    int32_t HookTolerance = 8;
    std::string ProgramPath;
    bool FaderAutoSelect = false;
    int32_t StatusBars = 0;
    bool MenuSwitching = true;
    bool ExplorerReady = false;
    std::string VellixaPresetName;
    std::array<std::string, 16> VellixaKnobNames{};
    bool VellixaLoaded = false;

    // ---- State of controls the model consults --------------------------
    // Multi-fader editing: the fader parameter window's MultiCheckBox and
    // its 24 multi-select buttons (entry i = fader i); the window writes them.
    bool MultiCheckBoxChecked = false;
    std::array<bool, kFaderCount> MultiselectButtonDown{};
    // The "Init with Midi Controllers" settings: (minimum, maximum) pairs of
    // FaderCtrl, KeyonCtrl, KeyoffCtrl, FaderValue, KeyonValue, KeyoffValue,
    // and one range flag per item. 128 stands for the live value.
    std::array<int32_t, 2 * kInitCtrlItemCount> InitValues{102, 125, 40, 63, 80, 103, 128, 128, 64, 87, 0, 23};
    std::array<bool, kInitCtrlItemCount> InitRanges{true, true, true, false, false, false};
    // The preset and pattern list windows: edit buffers in use (slots 64 on,
    // at least 1), the names listed for them, and the 64 slot marks.
    int PresetEditBufferCount = 1;
    int PatternEditBufferCount = 1;
    std::vector<std::string> PresetEditBufferNames;
    std::vector<std::string> PatternEditBufferNames;
    std::array<bool, kDeviceSlots> PresetSlotSelected{};
    std::array<bool, kDeviceSlots> PatternSlotSelected{};
    // Where this run's presets / patterns are saved at exit instead of the
    // working set (empty: the working set itself). Set when the working set
    // existed at start but could not be read, so it is never overwritten, and
    // when another copy of the editor may be writing it.
    std::string PresetWorkingSetSaveAs;
    std::string PatternWorkingSetSaveAs;
    // The folder of the working sets when it is not ProgramPath (a program
    // folder that cannot be written keeps them in the user's data folder).
    std::string WorkingSetFolder;
    // The start cannot be sure that it is the only copy writing the working
    // sets: the session goes to files beside them, read before a file named
    // on the command line.
    bool WorkingSetsBeside = false;
    // The program (not a tool or a test of the files alone) reads the last
    // session's work from wherever it went, and records where this one's goes.
    bool RecordsLastPlace = false;
    // What the working sets held when they were read at start (a digest of
    // their bytes as they would be written; 0: nothing read), so an exit
    // after a session that changed nothing does no file work at all.
    uint64_t PresetWorkingSetDigest = 0;
    uint64_t PatternWorkingSetDigest = 0;

    // Position 0..127 (0 at the top) of each on-screen fader, written by the
    // virtual device window and by the engine when it moves one; -1 while
    // there is no on-screen fader (a reset then takes the preset's value).
    std::array<int32_t, kFaderCount> ScreenFaderPosition = [] {
        std::array<int32_t, kFaderCount> a{};
        a.fill(-1);
        return a;
    }();
    // Where the model tells its lamp changes; null: nobody listens.
    Notifications* Notices = nullptr;

    // ---- Per-fader setters (multi-fader rule) ----------------------------
    // Returns FaderValue of SelectedFader in SelectedPreset after the change.
    int32_t SetFaderValue(int p, int f, int32_t value);
    void SetMuteVal(int p, int f, int32_t value);
    void SetDemuteVal(int p, int f, int32_t value);
    void SetFaderMin(int p, int f, int32_t value);
    void SetFaderMax(int p, int f, int32_t value);
    void SetFaderThreshold(int p, int f, int32_t value);
    void SetFaderMode(int p, int f, int32_t mode);  // ActiveMode := 0x80 + mode
    void SetFaderMidiMode(int p, int f, int32_t value);  // keeps the hook and overdub flags
    void SetFaderHookFlag(int p, int f, bool flag);
    void SetFaderOverdupFlag(int p, int f, bool flag);
    void SetMasterSlaveMode(int p, int f, int32_t value);
    void SetFaderOutMode(int p, int f, bool mute);
    void SetFaderEvent(int p, int f, int32_t code);
    void SetFaderMidiChannel(int p, int f, int32_t channel);
    void SetFaderStatus(int p, int f, int32_t value);
    void SetFaderMidiData1(int p, int f, int32_t value);
    void SetFaderMidiData2(int p, int f, int32_t value);
    void SetKeyOnEvent(int p, int f, int32_t code);
    void SetKeyOnMidiChannel(int p, int f, int32_t channel);
    void SetKeyOnStatus(int p, int f, int32_t value);
    void SetKeyOnMidiData1(int p, int f, int32_t value);
    void SetKeyOnMidiData2(int p, int f, int32_t value);
    void SetKeyOffEvent(int p, int f, int32_t code);
    void SetKeyOffMidiChannel(int p, int f, int32_t channel);
    void SetKeyOffStatus(int p, int f, int32_t value);
    void SetKeyOffMidiData1(int p, int f, int32_t value);
    void SetKeyOffMidiData2(int p, int f, int32_t value);
    void SetSwitchMode(int p, int f, int32_t mode);
    void SetFaderString(int p, int f, const std::string& s);
    void AppendFaderString(int p, int f, const std::string& s);
    void SetKeyOnString(int p, int f, const std::string& s);
    void SetKeyOffString(int p, int f, const std::string& s);
    void SetSliderName(int p, int f, const std::string& s);
    void SetKeyOnName(int p, int f, const std::string& s);
    void SetKeyOffName(int p, int f, const std::string& s);
    // Stores a whole word of one of the twenty per-fader arrays as it is
    // (flag bits included); the fader clipboard uses it for ActiveMode and
    // FaderMidiMode.
    void SetFaderArrayWord(int p, int f, int array, int32_t value);

    // ---- Preset-wide setters (no multi-fader rule) -----------------------
    void SetPresetDeviceName(int p, const std::string& name);
    void SetPresetString(const std::string& s, int index);  // special key of SelectedPreset
    std::string GetPresetDeviceName(int p) const;
    void SetDefaultPresetDeviceName(int p);

    // True when a setter called with fader f writes fader i.
    bool IsTarget(int f, int i) const;

    // ---- Init kinds ------------------------------------------------------
    void InitPreset(int p);
    void FactoryInitFaderEvent(int p, int f);
    void FactoryInitKeyOn(int p, int f);
    void FactoryInitKeyOff(int p, int f);
    void FactoryInitFader(int p, int f);
    void FactoryInitPreset(int p);
    void MidiCtrlInitFaderEvent(int p, int f);
    void MidiCtrlInitKeyOn(int p, int f);
    void MidiCtrlInitKeyOff(int p, int f);
    void MidiCtrlInitFader(int p, int f);
    void MidiCtrlInitPreset(int p);
    void ClearFaderEvent(int p, int f);
    void ClearKeyOn(int p, int f);
    void ClearKeyOff(int p, int f);
    void ClearFader(int p, int f);
    void ClearPreset(int p);

    // ---- Clipboard -------------------------------------------------------
    void CopyPreset(int p);
    void PastePreset(int p);
    void ExchangePresetWithClipboard(int p);
    void CopyPresetTo(int a, int b);
    void CopyFaderParameters(int p, int f);
    void PasteFaderParameters(int p, int f);
    void ExchangeFaderWithClipboard(int p, int f);
    void CopyFaderParametersTo(int a, int g, int h, int b);
    void CopyFaderEventParameters(int p, int f);
    void PasteFaderEventParameters(int p, int f);
    void ExchangeFaderEventWithClipboard(int p, int f);
    void CopyKeyParameters(int p, int f);
    void PasteKeyParameters(int p, int f);
    void ExchangeKeyParametersWithClipboard(int p, int f);
    void CopyKeyOnParameters(int p, int f);
    void PasteKeyOnParameters(int p, int f);
    void CopyKeyOffParameters(int p, int f);
    void PasteKeyOffParameters(int p, int f);
    // Copies fader from's travelling live state and key flags onto fader to.
    void CopyFaderState(int from, int to);

    // ---- Track clipboard ---------------------------------------------------
    // Tracks are 1..8; a target track of 0 stands for all eight. The track
    // clipboard holds a whole pattern and CopiedTrack the track copied from
    // it. Indexes out of range do nothing.
    void CopyTrack(int p, int track);
    // Part of track `source` of the clipboard into track `track` of pattern p.
    void PasteTrackPart(TrackPart part, int source, int p, int track);
    void PasteTrackVelocities(int source, int p, int track) { PasteTrackPart(TrackPart::Velocities, source, p, track); }
    void PasteTrackNotes(int source, int p, int track) { PasteTrackPart(TrackPart::Notes, source, p, track); }
    void PasteTrackSteps(int source, int p, int track) { PasteTrackPart(TrackPart::Steps, source, p, track); }
    void PasteTrackNoSettings(int source, int p, int track) { PasteTrackPart(TrackPart::NoSettings, source, p, track); }
    void PasteTrackSettings(int source, int p, int track) { PasteTrackPart(TrackPart::Settings, source, p, track); }
    void PasteTrackAll(int source, int p, int track) { PasteTrackPart(TrackPart::All, source, p, track); }
    // The "w/Clipboard" pastes: the copied track's part goes into track
    // `track` of pattern p, and the clipboard then holds the pattern as it was
    // before, with `track` as its copied track.
    void ExchangeTrackWithClipboard(TrackPart part, int p, int track);

    // ---- Live state ------------------------------------------------------
    // Resets a fader's live state from SelectedPreset.
    void ResetFaderState(FaderState& state, int f);
    void ResetKeyState(KeyState& state, int n);
    void ResetFaderState(int f) {
        if (ValidFader(f)) ResetFaderState(FaderStates[f], f);
    }
    void ResetKeyState(int n) {
        if (ValidFader(n)) ResetKeyState(KeyStates[n], n);
    }
    // Switches key n's lamp and publishes it (Notifications::KeyLamp).
    void SetKeyLamp(int n, bool on);

    // ---- Patterns --------------------------------------------------------
    void InitPattern(int p);
    void SetPatternName(int p, const std::string& text);
    std::string GetPatternName(int p) const;
    // "Clear Track": track 1..8, or 0 for all eight, back to an empty track
    // that keeps its MIDI channel, status and mute bit.
    void InitTrack(int p, int track);

    // ---- Event text ------------------------------------------------------
    std::string EventDefinitionText(int32_t status, int32_t data1, int32_t data2, const std::string& eventString,
                                    int32_t value) const;
    std::string FaderEventText(int p, int f) const;
    std::string KeyOnEventText(int p, int f) const;
    std::string KeyOffEventText(int p, int f) const;
    static std::string AlignRight(const std::string& text, int width);
    static std::string AlignLeft(const std::string& text, int width);

private:
    // While set, the target rule writes the fader argument only: a whole
    // preset init gives every fader its own values.
    int multiSuspended_ = 0;
    class MultiSuspend;

    template <typename Fn>
    void ForTargets(int p, int f, Fn&& fn);
    void SetEventString(int p, int f, int statusArray,
                        std::array<std::string, kFaderCount> Morvelant_Parameters::*field, const std::string& s,
                        bool append);
    void FaderTail(int p, int f);
    void PresetTail(int p);
    // Data 1 / data 2 of fader f from an item of the controller settings.
    int32_t InitCtrlData(int item, int f) const;
    std::string InitCtrlName(int item, int f, const char* word) const;
    // Writes a block or a part of it through the setters.
    void WriteWholeBlock(int p, int f, const Fader_Parameters& src);
    void WriteFaderEventPart(int p, int f, const Fader_Parameters& src);
    void WriteKeyOnPart(int p, int f, const Fader_Parameters& src);
    void WriteKeyOffPart(int p, int f, const Fader_Parameters& src);
    Fader_Parameters ReadBlock(int p, int f) const;
};

using UpdatingGuard = DeviceModel::UpdatingGuard;

}  // namespace morvelant
