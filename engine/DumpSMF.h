// One preset or one pattern as a Standard MIDI File carrying its
// system-exclusive dumps in one track, and the way back: every dump found in
// such a file is loaded through the MIDI input dispatch. Beside the MIDI file
// the notes travel as a text file with the extension ".TXT"; the sibling
// controller's editor also leaves a ".CFG" file with knob names and a ".NTS"
// file with notes, which a preset import reads.
//
// These are the ".MID" branches of the preset and pattern save and load
// commands; Install() hands them to the file commands.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "driver/MidiKit32.h"

#include "model/DeviceModel.h"

namespace morvelant {

class TMidiDeviceForm;
class TMidiKitSMF;

// Message shown when a MIDI file cannot be written or read.
inline constexpr char kDumpSMFErrorCaption[] = "Error";

class DumpSMF {
public:
    // `dispatch` loads the dumps found in a file; `smf` is the virtual device
    // window's MIDI file component (MidiKitSMF1), its MidiKit set.
    DumpSMF(TMidiDeviceForm& dispatch, TMidiKitSMF& smf);
    ~DumpSMF();
    DumpSMF(const DumpSMF&) = delete;
    DumpSMF& operator=(const DumpSMF&) = delete;

    // Writes preset n's values and texts dump (or pattern n's dump) into `file`
    // and its notes into the ".TXT" beside it, together or not at all. False,
    // after a message box, when either file could not be written.
    bool SavePresetAs(int n, const std::string& file);
    bool SavePatternAs(int n, const std::string& file);

    // Loads every dump of `file` into slot S by its own kind, then the notes
    // of slot S from the ".TXT" beside it (for a preset only when the file
    // held no knob preset; a knob preset brings its notes in the ".NTS").
    // False, after a message box, when the MIDI file cannot be read.
    bool LoadPreset(int slot, const std::string& file);
    bool LoadPattern(int slot, const std::string& file);

    // A complete system-exclusive message found in a file, and the name of
    // its track.
    struct FoundDump {
        std::vector<MidiEvent> message;
        std::string trackName;
    };
    // Appends every complete message among one track's events, one byte per
    // event with status F0; a message cut short by another event is dropped.
    static void GatherDumps(std::span<const MidiEvent> events, const std::string& trackName,
                            std::vector<FoundDump>& found);
    // The loading half of LoadPreset and LoadPattern: the messages found in
    // `file`, then its companions. False, after a message box, when none of
    // them is a dump the editor knows; nothing is changed then.
    bool LoadPresetDumps(int slot, const std::string& file, const std::vector<FoundDump>& found);
    bool LoadPatternDumps(int slot, const std::string& file, const std::vector<FoundDump>& found);

    // Makes this object the ".MID" route of the file commands (taken back on
    // destruction).
    void Install();

private:
    // Writes the MIDI file of the dumps and the ".TXT" of the notes beside it
    // as one (see SafeReplaceGroup): either both replace the old files,
    // which become the backups, or nothing changes.
    bool Export(std::span<const MidiEvent> events, std::size_t e1, const std::string& trackName,
                const std::string& file, const std::string& notes);
    // Writes events 0..e1-1 with time 0 and e1.. with time 1000 into one
    // track named trackName, in the file `target`; messages name `file`.
    bool ExportDumps(std::span<const MidiEvent> events, std::size_t e1, const std::string& trackName,
                     const std::string& target, const std::string& file);
    // Gathers every complete message of every track. False, after a message
    // box, when the file could not be read.
    bool ReadDumps(const std::string& file, std::vector<FoundDump>& found);
    // True when at least one of them is a dump the editor knows; otherwise
    // says so in a message box: a MIDI file without one changes nothing.
    bool HoldsDumps(const std::string& file, const std::vector<FoundDump>& found);
    // Loads them into slot in file order; with markKnobPreset, a knob preset
    // sets VellixaLoaded.
    void LoadDumps(int slot, const std::vector<FoundDump>& found, bool markKnobPreset);

    TMidiDeviceForm& dispatch_;
    TMidiKitSMF& smf_;
};

// Reads a ".NTS" notes file into PresetNotes of preset `slot`. True when it
// held notes; a missing or damaged file empties the notes and gives false; a
// file whose note count is below 1 gives false and keeps them.
bool ReadVellixaNotes(DeviceModel& model, const std::string& file, int slot);

// Reads a ".CFG" file's knob names (section "1", keys "1".."16", default
// "Knob n") and set name (key "N", default "vellixa"). A missing file gives
// the defaults.
void ReadVellixaConfig(DeviceModel& model, const std::string& file);

// Notes as the notes windows keep them in a text file: one line per line,
// each ending in CR LF. Loading takes CR LF, LF or CR as line ends and joins
// the lines with CR LF.
std::string NotesToTextFile(const std::string& notes);
std::string NotesFromTextFile(const std::string& content);

// A companion of `file`: the same folder and base name with extension `ext`
// (".TXT"). When no file of exactly that name exists, one whose name differs
// only in case is taken, as on the file systems the companions come from.
std::string CompanionFile(const std::string& file, const std::string& ext);

}  // namespace morvelant
