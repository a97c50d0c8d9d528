#include "engine/DumpSMF.h"

#include <dirent.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/FileCommands.h"
#include "engine/MidiInDeviceUnit.h"
#include "midikit/MidiKitDLL.h"
#include "midikit/MidiKitSMF.h"
#include "midikit/MidiKitScore.h"
#include "midikit/MidiKitTrack.h"
#include "model/PresetFiles.h"
#include "model/SysexCodec.h"
#include "platform/AsciiCase.h"
#include "platform/Dialogs.h"
#include "platform/IniFile.h"
#include "platform/SafeFile.h"

namespace morvelant {

namespace {

constexpr uint32_t kTextDumpTime = 1000;  // delta of every event of the texts dump
// Companion files are small; anything larger is not one of them.
constexpr std::size_t kMaxCompanionSize = 16u << 20;
constexpr char kVellixaHeader[] = "vellixa Editor";
constexpr int32_t kMaxNtsHeaderLength = 16;

void ReportError(const std::string& text) {
    CurrentDialogs().MessageBox(text, kDumpSMFErrorCaption, MessageButtons::Ok, MessageIcon::Error);
}

// Closes the MIDI file component on every way out of an operation.
struct CloseOnExit {
    TMidiKitSMF& smf;
    ~CloseOnExit() {
        if (!smf.IsOpen()) return;
        try {
            smf.Close();
        } catch (const EMidiKitException&) {
            // Only reached after an earlier failure, which is the one reported.
        }
    }
};

int32_t ReadInt32(const std::vector<uint8_t>& bytes, std::size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | bytes[at + static_cast<std::size_t>(i)];
    return static_cast<int32_t>(v);
}

// The notes of a record an import goes into: put back as they were, and
// said, when those beside the file would make the working set too large to
// read back.
class NotesGuard {
public:
    NotesGuard(std::string& notes, const DeviceModel& model, EditorFileKind kind, const std::string& file)
        : notes_(notes), before_(notes), model_(model), kind_(kind), file_(file) {}
    void Check() {
        const std::string why = WorkingSetRoom(model_, kind_, "The notes beside \"" + file_ + "\"");
        if (why.empty()) return;
        notes_ = std::move(before_);
        ReportError(why + " The dumps were loaded without them.");
    }

private:
    std::string& notes_;
    std::string before_;
    const DeviceModel& model_;
    EditorFileKind kind_;
    const std::string& file_;
};

// A companion that is there but is no file (a named pipe, a folder) reads
// as a missing one, and the user hears what it is.
const std::string& TellIfNotAFile(const std::string& path) {
    if (const std::string why = NotAFileReason(path); !why.empty()) ReportError(why + ".");
    return path;
}

// The notes of the ".TXT" beside a MIDI file; empty when there is none.
std::string ReadNotesBeside(const std::string& file) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(TellIfNotAFile(CompanionFile(file, ".TXT")), bytes, kMaxCompanionSize)) return {};
    return NotesFromTextFile(std::string(bytes.begin(), bytes.end()));
}

}  // namespace

// ---- Companion files --------------------------------------------------------------

std::string CompanionFile(const std::string& file, const std::string& ext) {
    const std::string exact = ChangeFileExt(file, ext);
    if (FileExists(exact)) return exact;
    const auto slash = exact.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : exact.substr(0, slash));
    const std::string base = slash == std::string::npos ? exact : exact.substr(slash + 1);
    const std::string wanted = AsciiLower(base);
    std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(dir.c_str()), &::closedir);
    if (!d) return exact;
    while (dirent* entry = ::readdir(d.get())) {
        if (AsciiLower(entry->d_name) == wanted) {
            return slash == std::string::npos ? std::string(entry->d_name) : exact.substr(0, slash + 1) + entry->d_name;
        }
    }
    return exact;
}

std::string NotesToTextFile(const std::string& notes) {
    std::string text = NotesFromTextFile(notes);  // one line-end convention
    if (!text.empty()) text += "\r\n";
    return text;
}

std::string NotesFromTextFile(const std::string& content) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < content.size(); ++i) {
        const char c = content[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n') ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i) text += "\r\n";
        text += lines[i];
    }
    return text;
}

bool ReadVellixaNotes(DeviceModel& model, const std::string& file, int slot) {
    if (!DeviceModel::ValidPreset(slot)) return false;
    std::string& notes = model.Presets[static_cast<std::size_t>(slot)].PresetNotes;
    // Every length is checked against what the file holds; a damaged file
    // counts as no notes, like a missing one.
    const auto noNotes = [&notes] {
        notes.clear();
        return false;
    };
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(file, bytes, kMaxCompanionSize) || bytes.size() < 8) return noNotes();
    const int32_t headerLength = ReadInt32(bytes, 4);
    if (headerLength < 0 || headerLength >= kMaxNtsHeaderLength ||
        bytes.size() < 12 + static_cast<std::size_t>(headerLength))
        return noNotes();
    const std::size_t L = static_cast<std::size_t>(headerLength);
    if (std::string(reinterpret_cast<const char*>(bytes.data()) + 8, L) != kVellixaHeader) return noNotes();
    if (ReadInt32(bytes, 8 + L) < 1) return false;  // no notes in the file: the preset keeps its own
    if (bytes.size() < 16 + L) return noNotes();
    const int32_t notesLength = ReadInt32(bytes, 12 + L);
    if (notesLength < 0 || bytes.size() - (16 + L) < static_cast<std::size_t>(notesLength)) return noNotes();
    notes.assign(reinterpret_cast<const char*>(bytes.data()) + 16 + L, static_cast<std::size_t>(notesLength));
    return true;
}

void ReadVellixaConfig(DeviceModel& model, const std::string& file) {
    const TIniFile ini(file);  // a missing file gives every default
    for (int k = 0; k < 16; ++k) {
        const std::string key = std::to_string(k + 1);
        model.VellixaKnobNames[static_cast<std::size_t>(k)] = ini.ReadString("1", key, "Knob " + key);
    }
    model.VellixaPresetName = ini.ReadString("1", "N", "vellixa");
}

// ---- Export -------------------------------------------------------------------------

DumpSMF::DumpSMF(TMidiDeviceForm& dispatch, TMidiKitSMF& smf) : dispatch_(dispatch), smf_(smf) {}

DumpSMF::~DumpSMF() {
    if (MidiFileRoute() == this) SetMidiFileRoute(nullptr);
}

void DumpSMF::Install() { SetMidiFileRoute(this); }

bool DumpSMF::Export(std::span<const MidiEvent> events, std::size_t e1, const std::string& trackName,
                     const std::string& file, const std::string& notes) {
    SafeReplaceGroup group;
    std::string temp, error;
    if (!group.Reserve(file, temp, &error)) {
        ReportError("Could not write the MIDI file \"" + file + "\": " + error);
        return false;
    }
    if (!ExportDumps(events, e1, trackName, temp, file)) return false;
    const std::string txt = ChangeFileExt(file, ".TXT");
    if (!group.Add(txt, NotesToTextFile(notes), &error)) {
        ReportError("Could not write the notes file \"" + txt + "\": " + error);
        return false;
    }
    // Companions of the old file that the new one does not bring would
    // describe what is no longer there: they go to their backups with it.
    for (const char* ext : {".TXT", ".CFG", ".NTS"})
        if (const std::string companion = CompanionFile(file, ext); companion != txt) group.Retire(companion);
    if (!group.Commit(&error)) {
        ReportError("Could not save \"" + file + "\": " + error);
        return false;
    }
    return true;
}

bool DumpSMF::ExportDumps(std::span<const MidiEvent> events, std::size_t e1, const std::string& trackName,
                          const std::string& target, const std::string& file) {
    auto score = std::make_unique<TMidiKitScore>(0);
    score->Add(nullptr);
    try {
        CloseOnExit closer{smf_};
        if (smf_.IsOpen()) smf_.Close();
        if (!smf_.Open(target, 'w', 0)) {
            ReportError("Could not write the MIDI file \"" + file + "\".");
            return false;
        }
        smf_.Attach(score.get());
        TMidiKitTrack* track = score->Get(0);
        track->SetTrackName(trackName);
        track->IsRecording(true);
        for (std::size_t i = 0; i < events.size(); ++i) {
            MidiEvent e = events[i];
            e.time = i < e1 ? 0 : kTextDumpTime;
            track->Write(&e);
        }
        track->IsRecording(false);
        smf_.Save(nullptr);
        smf_.Close();  // the file is complete only now; a failure throws
    } catch (const EMidiKitException& ex) {
        ReportError("Could not write the MIDI file \"" + file + "\": " + ex.Message());
        return false;
    }
    return true;
}

bool DumpSMF::SavePresetAs(int n, const std::string& file) {
    DeviceModel& model = dispatch_.engine().Model;
    if (!DeviceModel::ValidPreset(n)) return false;
    SysexBuffer dump;
    const std::size_t e1 = BuildPresetValueDump(model, dump, n, n);
    BuildPresetTextDump(model, dump, n, n);
    return Export(dump, e1, model.GetPresetDeviceName(n), file, model.Presets[static_cast<std::size_t>(n)].PresetNotes);
}

bool DumpSMF::SavePatternAs(int n, const std::string& file) {
    DeviceModel& model = dispatch_.engine().Model;
    if (!DeviceModel::ValidPattern(n)) return false;
    SysexBuffer dump;
    const std::size_t e1 = BuildPatternDump(model, dump, n, n);
    return Export(dump, e1, model.GetPatternName(n), file, model.Patterns[static_cast<std::size_t>(n)].PatternNotes);
}

// ---- Import -------------------------------------------------------------------------

bool DumpSMF::ReadDumps(const std::string& file, std::vector<FoundDump>& found) {
    auto score = std::make_unique<TMidiKitScore>(0);
    try {
        CloseOnExit closer{smf_};
        if (smf_.IsOpen()) smf_.Close();
        if (const std::string why = NotAFileReason(file); !why.empty()) {
            ReportError(why + ".");
            return false;
        }
        if (!smf_.Open(file, 'r', 1)) {
            ReportError("Could not read the MIDI file \"" + file + "\".");
            return false;
        }
        const int tracks = static_cast<int>(std::min<uint32_t>(smf_.NumTracks(), 0x10000));
        for (int t = 0; t < tracks; ++t) score->Add(nullptr);
        smf_.Attach(score.get());
        smf_.Load(nullptr);

        for (int t = 0; t < tracks; ++t) {
            TMidiKitTrack* track = score->Get(t);
            if (!track) continue;
            track->Attach(&smf_);
            const std::string name = track->GetTrackName();
            track->Detach(&smf_);
            const uint32_t count = track->GetNumEvents();
            std::vector<MidiEvent> events;
            events.reserve(count);
            for (uint32_t i = 0; i < count; ++i) {
                const MidiEvent* e = track->GetEvent(i);
                if (!e) break;
                events.push_back(*e);
            }
            GatherDumps(events, name, found);
        }
        smf_.Detach(score.get());
        smf_.Close();
    } catch (const EMidiKitException& ex) {
        ReportError("Could not read the MIDI file \"" + file + "\": " + ex.Message());
        return false;
    }
    return true;
}

void DumpSMF::GatherDumps(std::span<const MidiEvent> events, const std::string& trackName,
                          std::vector<FoundDump>& found) {
    // One message at a time; the buffer grows to whatever the file holds, so
    // any dump the editor writes fits.
    std::vector<MidiEvent> message;
    bool gathering = false;
    for (const MidiEvent& e : events) {
        if (e.status == 0xF0 && e.data1 == 0xF0) {
            message.clear();
            gathering = true;
        } else if (!gathering) {
            continue;
        } else if (e.status != 0xF0) {
            // A message without its F7 before other events is dropped.
            gathering = false;
            message.clear();
            continue;
        }
        MidiEvent byte{};
        byte.status = 0xF0;
        byte.data1 = e.data1;
        message.push_back(byte);
        if (e.data1 == 0xF7) {
            found.push_back({std::move(message), trackName});
            message.clear();
            gathering = false;
        }
    }
}

bool DumpSMF::HoldsDumps(const std::string& file, const std::vector<FoundDump>& found) {
    for (const FoundDump& d : found)
        if (const int kind = TMidiDeviceForm::ClassifyDump(d.message).kind;
            kind != kDumpUnknown && kind != kDumpVellixaOther)
            return true;
    ReportError("The MIDI file \"" + file + "\" holds no preset or pattern dump.");
    return false;
}

void DumpSMF::LoadDumps(int slot, const std::vector<FoundDump>& found, bool markKnobPreset) {
    DeviceModel& model = dispatch_.engine().Model;
    for (const FoundDump& d : found) {
        if (dispatch_.ProcessReceivedDump(d.message, slot, d.trackName) == kDumpVellixaPreset && markKnobPreset)
            model.VellixaLoaded = true;
    }
}

bool DumpSMF::LoadPreset(int slot, const std::string& file) {
    if (!DeviceModel::ValidPreset(slot)) return false;
    // The file is read whole and closed before anything changes: a file that
    // cannot be read leaves the model as it was, and loading (which shows
    // windows) never runs with the file open.
    std::vector<FoundDump> found;
    return ReadDumps(file, found) && LoadPresetDumps(slot, file, found);
}

bool DumpSMF::LoadPresetDumps(int slot, const std::string& file, const std::vector<FoundDump>& found) {
    DeviceModel& model = dispatch_.engine().Model;
    if (!DeviceModel::ValidPreset(slot) || !HoldsDumps(file, found)) return false;
    // Each import decides afresh whether its notes come from the ".NTS".
    model.VellixaLoaded = false;
    NotesGuard notes(model.Presets[static_cast<std::size_t>(slot)].PresetNotes, model, EditorFileKind::Presets, file);
    // The knob names come first: the knob-preset conversion uses them.
    ReadVellixaConfig(model, CompanionFile(file, ".CFG"));
    ReadVellixaNotes(model, TellIfNotAFile(CompanionFile(file, ".NTS")), slot);
    LoadDumps(slot, found, true);
    if (!model.VellixaLoaded) model.Presets[static_cast<std::size_t>(slot)].PresetNotes = ReadNotesBeside(file);
    notes.Check();
    dispatch_.engine().Notices.PresetNotesLoaded.Publish(slot);
    return true;
}

bool DumpSMF::LoadPattern(int slot, const std::string& file) {
    if (!DeviceModel::ValidPattern(slot)) return false;
    std::vector<FoundDump> found;
    return ReadDumps(file, found) && LoadPatternDumps(slot, file, found);
}

bool DumpSMF::LoadPatternDumps(int slot, const std::string& file, const std::vector<FoundDump>& found) {
    DeviceModel& model = dispatch_.engine().Model;
    if (!DeviceModel::ValidPattern(slot) || !HoldsDumps(file, found)) return false;
    NotesGuard notes(model.Patterns[static_cast<std::size_t>(slot)].PatternNotes, model, EditorFileKind::Patterns,
                           file);
    // Only the preset import asks whether a knob preset came in.
    LoadDumps(slot, found, false);
    model.Patterns[static_cast<std::size_t>(slot)].PatternNotes = ReadNotesBeside(file);
    notes.Check();
    dispatch_.engine().Notices.PatternNotesLoaded.Publish(slot);
    return true;
}

}  // namespace morvelant
