// What the fuzz targets of the editor's inputs do with one input: the bytes a
// port delivers, the receive buffer that gathers dumps (with its overrun),
// the port settings read from the configuration, and the drum-kit files of a
// kit folder. Shared by the libFuzzer targets and by the test that replays
// their seed corpus.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "driver/MidiBytes.h"
#include "engine/MidiInDeviceUnit.h"
#include "engine/PortSettings.h"
#include "fuzz/EngineFuzzTargets.h"
#include "patterns/DrumkitLibrary.h"

namespace morvelant::fuzz {

// The input's lines, each at most `longest` bytes, empty ones left out.
inline std::vector<std::string> Lines(std::string_view text, std::size_t longest) {
    std::vector<std::string> out;
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        std::string line(text.substr(0, std::min(nl, longest)));
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        if (!line.empty()) out.push_back(std::move(line));
    }
    return out;
}

// The driver's input: the bytes cut in two at a place the first byte names,
// as two deliveries of one port. Every event is a status byte with data bytes
// below 0x80 (a system-exclusive byte aside), and no more events come out
// than bytes went in.
inline int FuzzMidiBytes(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t cut = std::min<std::size_t>(data[0], size - 1) + 1;
    std::vector<MidiEvent> events;
    bool inSysex = false;
    const auto push = [&](const MidiEvent& e) { events.push_back(e); };
    driver::splitMidiBytes(data + 1, cut - 1, inSysex, 7, push);
    driver::splitMidiBytes(data + cut, size - cut, inSysex, 9, push);
    Require(events.size() <= size);
    for (const MidiEvent& e : events) {
        Require(e.status >= 0x80 && e.data3 == 0);
        if (e.status == 0xF0) {
            Require(e.data1 < 0x80 || e.data1 == 0xF0 || e.data1 == 0xF7);
            Require(e.data2 == 0);
        } else {
            Require(e.data1 < 0x80 && e.data2 < 0x80);
        }
    }
    return 0;
}

// The receive buffer: every byte a system-exclusive byte from the device's
// port. Whatever arrives, the buffer stays inside its room, a message longer
// than the room is reported as an overrun, and only whole dumps load.
inline int FuzzReceiveBuffer(const uint8_t* data, std::size_t size) {
    static auto* context = FuzzContext();
    static auto* dialogs = new ScriptedDialogs();
    ScopedDialogs scope(*dialogs);
    TMidiDeviceForm dispatch(context->DeviceEngine);
    std::size_t run = 0, longest = 0;  // bytes since the last F0 or F7
    for (std::size_t i = 0; i < size; ++i) {
        dispatch.MvlPCInDeviceSysexData(MidiEvent{0, 0xF0, data[i], 0, 0});
        run = (data[i] == 0xF0 || data[i] == 0xF7) ? 0 : run + 1;
        longest = std::max(longest, run);
        Require(dispatch.ReceiveCount() >= 0 && dispatch.ReceiveCount() < TMidiDeviceForm::kReceiveBufferSize);
    }
    if (longest + 1 >= std::size_t(TMidiDeviceForm::kReceiveBufferSize)) Require(dispatch.OverrunPending());
    for (const auto& p : context->Model.Presets)
        for (const auto& n : p.SliderName) Require(n.size() <= std::size_t(kNameLength));
    return 0;
}

// The port settings kept in the configuration: three pieces, the input
// ports' names (a line each), the output ports' names and the file. Whatever
// the file holds, the device ports are ports or none, and what is written
// back reads again into the very same file.
inline int FuzzPortSettings(const uint8_t* data, std::size_t size) {
    const auto pieces = Pieces(data, size, 3);
    // The driver lists at most 50 ports a way, each name once whatever its
    // letter case, fit to be a key of the file: no '=' or control bytes, no
    // blanks around it, not starting as a section or a comment does.
    const auto ports = [](std::string_view piece) {
        std::vector<std::string> names;
        std::set<std::string> seen;
        for (std::string& n : Lines(piece, 200)) {
            std::string folded = n;
            for (char& c : folded) c = char(std::toupper(static_cast<unsigned char>(c)));
            const bool key = StoredIniName(n) == n && n[0] != '[' && n[0] != ';' &&
                std::none_of(n.begin(), n.end(), [](char c) { return c == '=' || static_cast<unsigned char>(c) < 0x20; });
            if (names.size() < std::size_t(kMaxPorts) && key && seen.insert(folded).second) names.push_back(std::move(n));
        }
        return names;
    };
    const std::vector<std::string> in = ports(pieces[0]), out = ports(pieces[1]);
    const std::string first = ScratchFolder() + "/ports1.cfg", second = ScratchFolder() + "/ports2.cfg";
    WriteScratch(first, pieces[2]);

    MidiRouting routing;
    PortSettings settings(routing);
    settings.SetPorts(in, out);
    settings.ReadPortConfig(TIniFile(first));
    Require(settings.DeviceInIndex() >= 0 && settings.DeviceInIndex() <= int(in.size()));
    Require(settings.DeviceOutIndex() >= 0 && settings.DeviceOutIndex() <= int(out.size()));
    for (PortRole role : kAllRoles)
        for (int p = settings.PortCount(role); p < kMaxPorts; ++p) Require(!settings.Flags(role)[std::size_t(p)]);
    TIniFile file(first);
    if (!settings.WritePortConfig(file)) return 0;

    std::error_code ec;
    std::filesystem::copy_file(first, second, std::filesystem::copy_options::overwrite_existing, ec);
    Require(!ec);
    MidiRouting again;
    PortSettings reread(again);
    reread.SetPorts(in, out);
    reread.ReadPortConfig(TIniFile(second));
    Require(reread.DeviceInIndex() == settings.DeviceInIndex() && reread.DeviceOutIndex() == settings.DeviceOutIndex());
    TIniFile secondFile(second);
    Require(reread.WritePortConfig(secondFile));
    Require(TIniFile(first).ReadAllSectionValues() == TIniFile(second).ReadAllSectionValues());
    return 0;
}

// A kit folder of up to three definition files. Every kit read is in the
// menu tree once, under its manufacturer, with its 128 names.
inline int FuzzDrumkits(const uint8_t* data, std::size_t size) {
    const auto pieces = Pieces(data, size, 3);
    const std::string folder = ScratchFolder() + "/Drumkits";
    std::filesystem::create_directories(folder);
    const char* files[] = {"/A.MVD", "/b.mvd", "/C.Mvd"};
    for (std::size_t k = 0; k < 3; ++k) WriteScratch(folder + files[k], pieces[k]);
    AllSynths library;
    ReadDrumkitFolder(folder, library);
    std::size_t kits = 0;
    for (const auto& m : library.Manufacturers)
        for (const auto& model : m->Models) {
            for (const auto& kit : model->Drumkits) Require(kit->Owner == model.get());
            kits += model->Drumkits.size();
        }
    std::size_t listed = 0;
    for (const KitMenuNode& m : BuildKitMenuTree(library))
        for (const KitMenuNode& node : m.Children) {
            if (node.Kit != nullptr) ++listed;
            for (const KitMenuNode& kit : node.Children) listed += kit.Kit != nullptr;
        }
    Require(listed == kits);
    return 0;
}

}  // namespace morvelant::fuzz
