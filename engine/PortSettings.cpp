#include "engine/PortSettings.h"

#include <algorithm>

#include "midikit/MidiKitDLL.h"
#include "midikit/MidiKitIn.h"
#include "midikit/MidiKitOut.h"
#include "platform/IniFile.h"

namespace morvelant {

namespace {

constexpr const char* kDevicesSection = "Morvelant Devices";
constexpr const char* kInNamesSection = "InDeviceNames";
constexpr const char* kOutNamesSection = "OutDeviceNames";

// A key as the configuration file compares it: regardless of case.
std::string FoldedIniName(const std::string& key) {
    std::string folded = key;
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

}  // namespace

const char* RoleSection(PortRole role) {
    switch (role) {
        case PortRole::In1: return "In1DeviceFlags";
        case PortRole::In2: return "In2DeviceFlags";
        case PortRole::ThruIn: return "ThruInDeviceFlags";
        case PortRole::Out1: return "Out1DeviceFlags";
        case PortRole::Out2: return "Out2DeviceFlags";
        case PortRole::Thru: return "ThruDeviceFlags";
    }
    return "";
}

namespace {

// The driver's ports of both directions: whole names and other names.
struct Listing {
    std::vector<std::string> in, out;
    PortSettings::OtherNames inOthers, outOthers;
    std::vector<uint32_t> inSerials, outSerials;
};

Listing ListPorts(const TMidiKit& kit) {
    Listing l;
    const int numIn = static_cast<int>(std::min<uint32_t>(kit.pGetNumInDevices(), kMaxPorts));
    const int numOut = static_cast<int>(std::min<uint32_t>(kit.pGetNumOutDevices(), kMaxPorts));
    for (int i = 0; i < numIn; ++i) {
        l.in.push_back(kit.PortName(true, static_cast<uint32_t>(i)));
        l.inOthers.push_back(kit.PortAliases(true, static_cast<uint32_t>(i)));
        l.inSerials.push_back(kit.PortSerial(true, static_cast<uint32_t>(i)));
    }
    for (int i = 0; i < numOut; ++i) {
        l.out.push_back(kit.PortName(false, static_cast<uint32_t>(i)));
        l.outOthers.push_back(kit.PortAliases(false, static_cast<uint32_t>(i)));
        l.outSerials.push_back(kit.PortSerial(false, static_cast<uint32_t>(i)));
    }
    return l;
}

}  // namespace

void PortSettings::Enumerate(const TMidiKit& kit) {
    const Listing l = ListPorts(kit);
    SetPorts(l.in, l.out, l.inOthers, l.outOthers);
    inSerials_ = l.inSerials;
    outSerials_ = l.outSerials;
    inSerials_.resize(static_cast<size_t>(Routing.NumInDevs));
    outSerials_.resize(static_cast<size_t>(Routing.NumOutDevs));
}

void PortSettings::SetPorts(const std::vector<std::string>& inDescriptions,
                            const std::vector<std::string>& outDescriptions, const OtherNames& inOthers,
                            const OtherNames& outOthers) {
    MidiRouting& r = Routing;
    r.NumInDevs = static_cast<int>(std::min<size_t>(inDescriptions.size(), kMaxPorts));
    r.NumOutDevs = static_cast<int>(std::min<size_t>(outDescriptions.size(), kMaxPorts));
    r.InDriverNames.assign(inDescriptions.begin(), inDescriptions.begin() + r.NumInDevs);
    r.OutDriverNames.assign(outDescriptions.begin(), outDescriptions.begin() + r.NumOutDevs);
    inOthers_.assign(static_cast<size_t>(r.NumInDevs), {});
    outOthers_.assign(static_cast<size_t>(r.NumOutDevs), {});
    for (size_t i = 0; i < inOthers_.size() && i < inOthers.size(); ++i) inOthers_[i] = inOthers[i];
    for (size_t i = 0; i < outOthers_.size() && i < outOthers.size(); ++i) outOthers_[i] = outOthers[i];
    inSerials_.assign(static_cast<size_t>(r.NumInDevs), 0);
    outSerials_.assign(static_cast<size_t>(r.NumOutDevs), 0);
    stored_.clear();
    deviceInKey_.clear();
    deviceOutKey_.clear();
    r.InDriverNames.push_back(kNoDevice);
    r.OutDriverNames.push_back(kNoDevice);
    r.InNames = r.InDriverNames;
    r.OutNames = r.OutDriverNames;
    for (PortRole role : kInputRoles) Flags(role).fill(false);
    for (PortRole role : kOutputRoles) Flags(role).fill(false);
    r.MorvelantPCDeviceIndex = r.NumInDevs;
    r.PCMorvelantDeviceIndex = r.NumOutDevs;
}

std::array<bool, kMaxPorts>& PortSettings::Flags(PortRole role) {
    MidiRouting& r = Routing;
    switch (role) {
        case PortRole::In1: return r.In1DeviceFlags;
        case PortRole::In2: return r.In2DeviceFlags;
        case PortRole::ThruIn: return r.ThruInDeviceFlags;
        case PortRole::Out1: return r.Out1DeviceFlags;
        case PortRole::Out2: return r.Out2DeviceFlags;
        case PortRole::Thru: return r.ThruDeviceFlags;
    }
    return r.In1DeviceFlags;
}

const std::array<bool, kMaxPorts>& PortSettings::Flags(PortRole role) const {
    return const_cast<PortSettings*>(this)->Flags(role);
}

std::vector<int> PortSettings::PortsOf(bool input, const std::string& key) const {
    const MidiRouting& r = Routing;
    const auto& drivers = input ? r.InDriverNames : r.OutDriverNames;
    const auto& others = input ? inOthers_ : outOthers_;
    const int count = input ? r.NumInDevs : r.NumOutDevs;
    std::vector<int> ports;
    for (int i = 0; i < count; ++i)
        if (StoredIniName(drivers[static_cast<size_t>(i)]) == key) ports.push_back(i);
    if (!ports.empty()) return ports;
    for (int i = 0; i < count && static_cast<size_t>(i) < others.size(); ++i)
        for (const std::string& other : others[static_cast<size_t>(i)])
            if (!other.empty() && StoredIniName(other) == key) {
                ports.push_back(i);
                break;
            }
    return ports;
}

std::vector<const char*> PortSettings::Sections(bool input) {
    std::vector<const char*> sections;
    for (PortRole role : input ? kInputRoles : kOutputRoles) sections.push_back(RoleSection(role));
    sections.push_back(input ? kInNamesSection : kOutNamesSection);
    return sections;
}

namespace {

bool IsNamesSection(const char* section) {
    return std::string(section) == kInNamesSection || std::string(section) == kOutNamesSection;
}

// Whether a stored entry holds a choice: a role that is on, or an alias
// other than the name itself.
bool Chosen(const char* section, const std::string& key, const std::string& value) {
    if (IsNamesSection(section)) return value != key;
    int v = 0;
    return TIniFile::ParseInteger(value, v) && v != 0;
}

bool Holds(const std::vector<int>& ports, int port) { return std::find(ports.begin(), ports.end(), port) != ports.end(); }

}  // namespace

std::optional<std::string> PortSettings::Choice(const char* section, bool input, int port) const {
    const auto i = static_cast<size_t>(port);
    if (IsNamesSection(section)) {
        const auto& names = input ? Routing.InNames : Routing.OutNames;
        const auto& drivers = input ? Routing.InDriverNames : Routing.OutDriverNames;
        if (names[i] == drivers[i]) return std::nullopt;
        return names[i];
    }
    for (PortRole role : input ? kInputRoles : kOutputRoles)
        if (std::string(RoleSection(role)) == section && Flags(role)[i]) return std::string("1");
    return std::nullopt;
}

void PortSettings::Take(bool input, int port) {
    for (const char* section : Sections(input)) {
        const auto it = stored_.find(section);
        if (it == stored_.end()) continue;
        for (const auto& [key, value] : it->second) {
            if (!Chosen(section, key, value)) continue;
            for (int i : PortsOf(input, key)) {
                if (port >= 0 && i != port) continue;
                if (IsNamesSection(section)) (input ? Routing.InNames : Routing.OutNames)[static_cast<size_t>(i)] = value;
                for (PortRole role : input ? kInputRoles : kOutputRoles)
                    if (std::string(RoleSection(role)) == section) Flags(role)[static_cast<size_t>(i)] = true;
            }
        }
    }
}

void PortSettings::Keep(bool input, int port) {
    const std::string whole = StoredIniName((input ? Routing.InDriverNames : Routing.OutDriverNames)[size_t(port)]);
    for (const char* section : Sections(input)) {
        const std::optional<std::string> choice = Choice(section, input, port);
        Entries& entries = stored_[section];
        bool named = false;
        for (auto e = entries.begin(); e != entries.end();) {
            if (!Holds(PortsOf(input, e->first), port)) {
                ++e;
                continue;
            }
            named = named || e->first == whole;
            if (!choice) {
                e = entries.erase(e);
                continue;
            }
            e->second = *choice;
            ++e;
        }
        if (choice && !named) entries.emplace_back(whole, *choice);
    }
    if (DeviceIndex(input) == port) {
        std::string& key = DeviceKey(input);
        if (key.empty() || !Holds(PortsOf(input, key), port)) key = whole;
        DeviceIndex(input) = -1;
    }
}

void PortSettings::ReadPortConfig(const TIniFile& ini) {
    MidiRouting& r = Routing;
    stored_.clear();
    for (bool input : {true, false}) {
        for (const char* section : Sections(input)) {
            Entries& entries = stored_[section];
            for (const std::string& key : ini.ReadSection(section))
                entries.emplace_back(key, ini.ReadString(section, key, IsNamesSection(section) ? key : ""));
        }
        auto& names = input ? r.InNames : r.OutNames;
        const auto& drivers = input ? r.InDriverNames : r.OutDriverNames;
        names = drivers;
        for (PortRole role : input ? kInputRoles : kOutputRoles) Flags(role).fill(false);
        Take(input, -1);

        // A stored port that is not there any more must not hand its role to
        // whichever port happens to come first: the role then has no port.
        const std::string port = ini.ReadString(kDevicesSection, input ? "MorvelantPCDevice" : "PCMorvelantDevice",
                                                kNoDevice);
        DeviceIndex(input) = PortCountOf(input);
        for (int i : PortsOf(input, port)) DeviceIndex(input) = i;
        DeviceKey(input) = port == kNoDevice ? std::string() : port;
    }
}

PortSettings::Entries PortSettings::Wanted(const char* section, bool input) const {
    const auto& drivers = input ? Routing.InDriverNames : Routing.OutDriverNames;
    const auto whole = [&](int i) { return StoredIniName(drivers[static_cast<size_t>(i)]); };
    Entries wanted;
    // Two ports of one description share a key: the later one's value wins.
    auto put = [&](const std::string& key, const std::string& v) {
        for (auto& e : wanted)
            if (FoldedIniName(e.first) == FoldedIniName(key)) {
                e.second = v;
                return;
            }
        wanted.emplace_back(key, v);
    };
    std::vector<bool> done(static_cast<size_t>(PortCountOf(input)), false);
    // The stored order first: a stored name goes on naming what it named
    // (with the port's whole name beside it), a kept choice stays as it
    // was; then the ports new to the file.
    if (const auto it = stored_.find(section); it != stored_.end())
        for (const auto& [key, value] : it->second) {
            const std::vector<int> ports = PortsOf(input, key);
            for (int i : ports) {
                done[static_cast<size_t>(i)] = true;
                if (const auto v = Choice(section, input, i)) {
                    put(key, *v);
                    put(whole(i), *v);
                }
            }
            // A key that the file takes for a listed port's (it ignores
            // case) is that port's: the port's own value replaces it.
            bool listed = !ports.empty();
            for (int i = 0; i < PortCountOf(input) && !listed; ++i)
                listed = FoldedIniName(whole(i)) == FoldedIniName(key);
            if (!listed && Chosen(section, key, value)) put(key, value);
        }
    for (int i = 0; i < PortCountOf(input); ++i)
        if (!done[static_cast<size_t>(i)])
            if (const auto v = Choice(section, input, i)) put(whole(i), *v);
    return wanted;
}

bool PortSettings::WritePortConfig(TIniFile& ini) const {
    const auto store = [&](const char* section, const Entries& wanted) {
        Entries now;
        for (const std::string& key : ini.ReadSection(section)) now.emplace_back(key, ini.ReadString(section, key, ""));
        if (now == wanted) return true;
        bool ok = ini.EraseSection(section);
        for (const auto& [key, value] : wanted) ok = ini.WriteString(section, key, value) && ok;
        return ok;
    };
    // The device port under the stored name it was found by, while that
    // name finds it; a stored port not there stays stored.
    const auto device = [&](bool input) {
        const int port = input ? Routing.DeviceInPort() : Routing.DeviceOutPort();
        const std::string& key = input ? deviceInKey_ : deviceOutKey_;
        if (port < 0) return key.empty() ? kNoDevice : key;
        if (!key.empty() && Holds(PortsOf(input, key), port)) return key;
        return StoredIniName((input ? Routing.InDriverNames : Routing.OutDriverNames)[static_cast<size_t>(port)]);
    };
    bool ok = store(kDevicesSection, {{"MorvelantPCDevice", device(true)}, {"PCMorvelantDevice", device(false)}});
    for (PortRole role : kAllRoles) ok = store(RoleSection(role), Wanted(RoleSection(role), IsInputRole(role))) && ok;
    ok = store(kInNamesSection, Wanted(kInNamesSection, true)) && ok;
    ok = store(kOutNamesSection, Wanted(kOutNamesSection, false)) && ok;
    return ok;
}

PortSettings::PortChanges PortSettings::FollowPorts(const TMidiKit& kit) {
    const Listing l = ListPorts(kit);
    return FollowPorts(l.in, l.out, l.inOthers, l.outOthers, l.inSerials, l.outSerials);
}

PortSettings::PortChanges PortSettings::FollowPorts(const std::vector<std::string>& inDescriptions,
                                                    const std::vector<std::string>& outDescriptions,
                                                    const OtherNames& inOthers, const OtherNames& outOthers,
                                                    const std::vector<uint32_t>& inSerials,
                                                    const std::vector<uint32_t>& outSerials) {
    MidiRouting& r = Routing;
    PortChanges changes;
    for (bool input : {true, false}) {
        const auto& all = input ? inDescriptions : outDescriptions;
        const OtherNames& allOthers = input ? inOthers : outOthers;
        const auto& allSerials = input ? inSerials : outSerials;
        int& count = input ? r.NumInDevs : r.NumOutDevs;
        auto& drivers = input ? r.InDriverNames : r.OutDriverNames;
        auto& names = input ? r.InNames : r.OutNames;
        auto& others = input ? inOthers_ : outOthers_;
        auto& serials = input ? inSerials_ : outSerials_;
        const auto othersOf = [&](size_t i) { return i < allOthers.size() ? allOthers[i] : std::vector<std::string>{}; };
        const auto serialOf = [&](size_t i) { return i < allSerials.size() ? allSerials[i] : 0u; };
        // "No device" stays the entry after the last port, however many come.
        const bool none = (input ? r.DeviceInPort() : r.DeviceOutPort()) < 0;
        others.resize(static_cast<size_t>(count));
        serials.resize(static_cast<size_t>(count));
        for (int i = 0; i < count && i < static_cast<int>(all.size()); ++i) {
            const auto k = static_cast<size_t>(i);
            const uint32_t serial = serialOf(k);
            if (serial != 0 && serials[k] != 0 && serial != serials[k]) {
                // Another port in a departed port's place: the departed
                // port's choices are kept for its names, the new port takes
                // what is kept for its own.
                Keep(input, i);
                drivers[k] = names[k] = all[k];
                others[k] = othersOf(k);
                for (PortRole role : input ? kInputRoles : kOutputRoles) Flags(role)[k] = false;
                Take(input, i);
                (input ? changes.ReplacedIn : changes.ReplacedOut).push_back(i);
                changes.Any = true;
            } else if (all[k] != drivers[k]) {
                // Renamed: the same port, known by its former name too.
                if (std::find(others[k].begin(), others[k].end(), drivers[k]) == others[k].end())
                    others[k].push_back(drivers[k]);
                if (names[k] == drivers[k]) names[k] = all[k];
                if (DeviceIndex(input) == i) DeviceKey(input).clear();
                drivers[k] = all[k];
                changes.Any = true;
            }
            if (serial != 0) serials[k] = serial;
        }
        while (count < static_cast<int>(std::min<size_t>(all.size(), kMaxPorts))) {
            const int i = count;
            const auto k = static_cast<size_t>(i);
            drivers.insert(drivers.begin() + i, all[k]);
            names.insert(names.begin() + i, all[k]);
            others.push_back(othersOf(k));
            serials.push_back(serialOf(k));
            for (PortRole role : input ? kInputRoles : kOutputRoles) Flags(role)[k] = false;
            ++count;
            Take(input, i);
            changes.Any = true;
        }
        if (none || DeviceIndex(input) < 0) DeviceIndex(input) = count;
        // A stored device port that is listed now takes its role.
        if (const std::string& key = DeviceKey(input); DeviceIndex(input) == count && !key.empty())
            for (int i : PortsOf(input, key)) DeviceIndex(input) = i;
    }
    return changes;
}

void PortSettings::UpdatePresence(const TMidiKit& kit) {
    MidiRouting& r = Routing;
    r.ServerGone = !kit.ServerRunning();
    for (int i = 0; i < kMaxPorts; ++i) {
        r.InAbsent[static_cast<size_t>(i)] = i < r.NumInDevs && !kit.InPresent(static_cast<uint32_t>(i));
        r.OutAbsent[static_cast<size_t>(i)] = i < r.NumOutDevs && !kit.OutPresent(static_cast<uint32_t>(i));
    }
}

bool PortSettings::ToggleRole(PortRole role, int port) {
    if (port < 0 || port >= PortCount(role)) return false;
    bool& flag = Flags(role)[static_cast<size_t>(port)];
    flag = !flag;
    if (flag) RoleGiven(IsInputRole(role), port);
    return flag;
}

void PortSettings::RoleGiven(bool input, int port) {
    if (std::find(rolesGiven_.begin(), rolesGiven_.end(), std::pair(input, port)) == rolesGiven_.end())
        rolesGiven_.emplace_back(input, port);
}

void PortSettings::SetAlias(bool input, int port, const std::string& alias) {
    MidiRouting& r = Routing;
    const int count = input ? r.NumInDevs : r.NumOutDevs;
    if (port < 0 || port >= count) return;
    (input ? r.InNames : r.OutNames)[static_cast<size_t>(port)] = alias;
}

void PortSettings::SetDeviceInPort(int index) {
    Routing.MorvelantPCDeviceIndex = (index >= 0 && index < Routing.NumInDevs) ? index : Routing.NumInDevs;
    deviceInKey_.clear();
    if (index >= 0 && index < Routing.NumInDevs) RoleGiven(true, index);
}

void PortSettings::SetDeviceOutPort(int index) {
    Routing.PCMorvelantDeviceIndex = (index >= 0 && index < Routing.NumOutDevs) ? index : Routing.NumOutDevs;
    deviceOutKey_.clear();
    if (index >= 0 && index < Routing.NumOutDevs) RoleGiven(false, index);
}

int PortSettings::DeviceInIndex() const {
    const int p = Routing.DeviceInPort();
    return p >= 0 ? p : Routing.NumInDevs;
}

int PortSettings::DeviceOutIndex() const {
    const int p = Routing.DeviceOutPort();
    return p >= 0 ? p : Routing.NumOutDevs;
}

bool PortSettings::InputNeeded(int port) const {
    const MidiRouting& r = Routing;
    const auto i = static_cast<size_t>(port);
    return r.In1DeviceFlags[i] || r.In2DeviceFlags[i] || port == r.DeviceInPort() || r.ThruInDeviceFlags[i];
}

bool PortSettings::OutputNeeded(int port) const {
    const MidiRouting& r = Routing;
    const auto i = static_cast<size_t>(port);
    return r.Out1DeviceFlags[i] || r.Out2DeviceFlags[i] || r.ThruDeviceFlags[i] || port == r.DeviceOutPort();
}

void PortSettings::UpdateDevices() {
    MidiRouting& r = Routing;
    r.OpenInDevices.clear();
    r.ClosedInDevices.clear();
    r.ErrorInDevices.clear();
    r.OpenOutDevices.clear();
    r.ClosedOutDevices.clear();
    r.ErrorOutDevices.clear();

    const auto shown = [&](const std::string& name, bool absent) {
        return absent || r.ServerGone ? name + kAbsentMark : name;
    };
    for (int i = 0; i < r.NumInDevs; ++i) {
        const std::string name = shown(r.InDriverNames[static_cast<size_t>(i)], r.InAbsent[static_cast<size_t>(i)]);
        TMidiKitIn* in = r.In[static_cast<size_t>(i)];
        const bool needed = InputNeeded(i);
        const bool open = in != nullptr && in->IsOpen();
        if (open && needed) {
            r.OpenInDevices.push_back(name);
        } else if (open) {
            in->Close();
            r.ClosedInDevices.push_back(name);
        } else if (needed) {
            if (in != nullptr && in->Open(static_cast<uint16_t>(i), kPortOpenArgument)) {
                in->Start();
                r.OpenInDevices.push_back(name);
            } else {
                r.ErrorInDevices.push_back(name);
            }
        } else {
            r.ClosedInDevices.push_back(name);
        }
    }

    for (int i = 0; i < r.NumOutDevs; ++i) {
        const std::string name = shown(r.OutDriverNames[static_cast<size_t>(i)], r.OutAbsent[static_cast<size_t>(i)]);
        TMidiKitOut* out = r.Out[static_cast<size_t>(i)];
        const bool needed = OutputNeeded(i);
        const bool open = out != nullptr && out->IsOpen();
        if (open && needed) {
            r.OpenOutDevices.push_back(name);
        } else if (open) {
            out->Close();
            r.ClosedOutDevices.push_back(name);
        } else if (needed) {
            if (out != nullptr && out->Open(static_cast<uint16_t>(i), kPortOpenArgument))
                r.OpenOutDevices.push_back(name);
            else
                r.ErrorOutDevices.push_back(name);
        } else {
            r.ClosedOutDevices.push_back(name);
        }
    }
}

}  // namespace morvelant
