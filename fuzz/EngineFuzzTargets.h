// What the fuzz targets above the model do with one input: the configuration
// reader, the event-string parser, the MIDI monitor's row builder and the
// import of dumps from MIDI files with their companion files. Shared by the
// libFuzzer targets and by the test that replays their seed corpus.
#pragma once

#include <unistd.h>

#include <QCoreApplication>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "driver/SmfFile.h"
#include "engine/DeviceContext.h"
#include "engine/DumpSMF.h"
#include "engine/MidiInDeviceUnit.h"
#include "engine/MonitorRows.h"
#include "engine/Tool.h"
#include "midikit/MidiKitSMF.h"
#include "platform/Dialogs.h"
#include "platform/IniFile.h"

namespace morvelant::fuzz {

inline void Require(bool ok) {
    if (!ok) std::abort();
}

// A folder of this process's own for the files a target reads, removed at
// exit.
inline const std::string& ScratchFolder() {
    // Never destroyed: the exit handler that removes the folder runs after
    // the destructors of function statics.
    static const std::string* dir = [] {
        const auto d = std::filesystem::temp_directory_path() / ("morvelant-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(d);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(ScratchFolder(), ec);
        });
        return new std::string(d.string());
    }();
    return *dir;
}

inline void WriteScratch(const std::string& file, std::string_view bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
}

// The input cut at every kPieceSeparator into `count` pieces (missing ones
// empty); a seed puts the files of one case side by side this way.
inline constexpr std::string_view kPieceSeparator = "\n@@\n";
inline std::vector<std::string_view> Pieces(const uint8_t* data, std::size_t size, std::size_t count) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> pieces;
    while (pieces.size() + 1 < count) {
        const auto at = rest.find(kPieceSeparator);
        if (at == std::string_view::npos) break;
        pieces.push_back(rest.substr(0, at));
        rest.remove_prefix(at + kPieceSeparator.size());
    }
    pieces.push_back(rest);
    pieces.resize(count);
    return pieces;
}

// The configuration reader: every key it lists is found again, and writing
// one key changes that key and no other.
inline int FuzzIniFile(const uint8_t* data, std::size_t size) {
    const std::string file = ScratchFolder() + "/Morvelant.cfg";
    WriteScratch(file, std::string_view(reinterpret_cast<const char*>(data), size));
    TIniFile ini(file);
    struct Entry {
        std::string section, key, value;
    };
    std::vector<Entry> entries;
    for (const std::string& section : ini.ReadSections()) {
        Require(ini.SectionExists(section));
        for (const std::string& key : ini.ReadSection(section)) {
            Require(ini.ValueExists(section, key));
            entries.push_back({section, key, ini.ReadString(section, key, "\x01")});
            int number = 0;
            if (TIniFile::ParseInteger(entries.back().value, number))
                Require(ini.ReadInteger(section, key, number + 1) == number);
        }
    }
    const Entry target = entries.empty() ? Entry{"Fuzz", "Key", {}} : entries.front();
    if (!ini.WriteString(target.section, target.key, "fuzzed")) return 0;
    Require(ini.ReadString(target.section, target.key, "") == "fuzzed");
    for (const Entry& e : entries)
        if (!SameIniName(e.section, target.section) || !SameIniName(e.key, target.key))
            Require(ini.ReadString(e.section, e.key, "\x01") == e.value);
    return 0;
}

// The event-string parser: a shorter list gets a prefix of what a full one
// gets, and nothing is written past either.
inline int FuzzEventString(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int value = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::vector<MidiEvent> full(kEventListSize);
    const int n = ParseEventString(text, value, full);
    Require(n >= 0 && n <= kEventListSize);
    for (std::size_t room : {0u, 1u, 3u}) {
        std::vector<MidiEvent> small(room);
        const int m = ParseEventString(text, value, small);
        Require(m >= 0 && std::size_t(m) <= std::min<std::size_t>(room, std::size_t(n)));
        for (int i = 0; i < m; ++i)
            Require(small[std::size_t(i)].status == full[std::size_t(i)].status &&
                    small[std::size_t(i)].data1 == full[std::size_t(i)].data1 &&
                    small[std::size_t(i)].data2 == full[std::size_t(i)].data2);
    }
    return 0;
}

// The monitor's rows: any events on any ports (in range or not), five bytes
// each (port, direction, status, data 1, data 2); the grid stays within its
// bounds and every row reads back.
inline int FuzzMonitorRows(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    auto rows = std::make_unique<MidiMonitorRows>();
    rows->MonitorEnabled = true;
    rows->RealtimeMessages = data[0] & 1;
    for (std::size_t i = 1; i + 5 <= size; i += 5) {
        const MidiEvent e{uint32_t(i), data[i + 2], data[i + 3], data[i + 4], 0};
        if (data[i + 1] == 0xFF) {
            rows->Clear();
            continue;
        }
        rows->LogEvent(int(int8_t(data[i])), e, data[i + 1] & 1);
        Require(rows->RowCount() >= 1 && rows->RowCount() <= rows->MaxRows);
        Require(rows->CurrentRow >= 0 && rows->CurrentRow <= rows->RowCount());
    }
    for (int row = -1; row <= rows->RowCount(); ++row) {
        const std::string listing = rows->HexListing(row);
        Require(row >= 1 && row < rows->RowCount() ? true : listing.empty());
        rows->CountOfRow(row);
        rows->ColourOfRow(row);
    }
    return 0;
}

// The model and engine the targets above the model work on, with the
// application object their queued calls need; made once, never destroyed
// (the fuzzer ends the process).
inline DeviceContext* FuzzContext() {
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) new QCoreApplication(argc, argv);
    return new DeviceContext();
}

// The import of dumps from a MIDI file with its ".TXT", ".CFG" and ".NTS"
// companions: four pieces, the MIDI file first. Whatever the file holds, the
// import loads only dumps it knows, into the chosen slot, and reports a file
// without any at most once.
inline int FuzzDumpImport(const uint8_t* data, std::size_t size) {
    static auto* context = FuzzContext();
    static DeviceModel* model = &context->Model;
    static auto* dispatch = new TMidiDeviceForm(context->DeviceEngine);
    static auto* smf = new TMidiKitSMF();
    static auto* dumps = new DumpSMF(*dispatch, *smf);
    static auto* dialogs = new ScriptedDialogs();
    ScopedDialogs scope(*dialogs);

    const auto pieces = Pieces(data, size, 4);
    const std::string file = ScratchFolder() + "/import.MID";
    const char* companions[] = {".TXT", ".CFG", ".NTS"};
    for (int k = 0; k < 3; ++k) {
        const std::string companion = ScratchFolder() + "/import" + companions[k];
        if (pieces[std::size_t(k + 1)].empty())
            std::filesystem::remove(companion);
        else
            WriteScratch(companion, pieces[std::size_t(k + 1)]);
    }
    smf::SmfData parsed;
    if (!smf::ParseSmf(reinterpret_cast<const uint8_t*>(pieces[0].data()), pieces[0].size(), parsed)) return 0;
    std::vector<DumpSMF::FoundDump> found;
    for (const smf::SmfTrack& track : parsed.tracks) {
        std::string trackName;
        for (const auto& [type, text] : track.metas)
            if (type == 3 && trackName.empty()) trackName = text;
        DumpSMF::GatherDumps(track.events, trackName, found);
    }
    bool known = false;
    for (const auto& d : found) {
        Require(d.message.size() >= 2 && d.message.front().data1 == 0xF0 && d.message.back().data1 == 0xF7);
        const int kind = TMidiDeviceForm::ClassifyDump(d.message).kind;
        known = known || (kind != kDumpUnknown && kind != kDumpVellixaOther);
    }
    dialogs->calls.clear();
    Require(dumps->LoadPresetDumps(70, file, found) == known);
    Require(dumps->LoadPatternDumps(71, file, found) == known);
    Require(dialogs->calls.size() == (known ? 0u : 2u));
    for (const auto& n : model->Presets[70].SliderName) Require(n.size() <= std::size_t(kNameLength));
    return 0;
}

}  // namespace morvelant::fuzz
