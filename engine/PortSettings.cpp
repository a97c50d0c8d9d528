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
};

Listing ListPorts(const TMidiKit& kit) {
    Listing l;
    const int numIn = static_cast<int>(std::min<uint32_t>(kit.pGetNumInDevices(), kMaxPorts));
    const int numOut = static_cast<int>(std::min<uint32_t>(kit.pGetNumOutDevices(), kMaxPorts));
    for (int i = 0; i < numIn; ++i) {
        l.in.push_back(kit.PortName(true, static_cast<uint32_t>(i)));
        l.inOthers.push_back(kit.PortAliases(true, static_cast<uint32_t>(i)));
    }
    for (int i = 0; i < numOut; ++i) {
        l.out.push_back(kit.PortName(false, static_cast<uint32_t>(i)));
        l.outOthers.push_back(kit.PortAliases(false, static_cast<uint32_t>(i)));
    }
    return l;
}

}  // namespace

void PortSettings::Enumerate(const TMidiKit& kit) {
    const Listing l = ListPorts(kit);
    SetPorts(l.in, l.out, l.inOthers, l.outOthers);
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

void PortSettings::ReadAliases(const TIniFile& ini, const char* section, bool input) {
    auto& names = input ? Routing.InNames : Routing.OutNames;
    for (const std::string& key : ini.ReadSection(section)) {
        const std::vector<int> ports = PortsOf(input, key);
        if (ports.empty()) continue;
        const std::string alias = ini.ReadString(section, key, key);
        for (int i : ports) names[static_cast<size_t>(i)] = alias;
    }
}

void PortSettings::KeepAbsent(const TIniFile& ini, const char* section, bool input) {
    Entries& kept = kept_[section];
    kept.clear();
    std::vector<std::string>& order = order_[section];
    order.clear();
    const bool flags = std::string(section) != kInNamesSection && std::string(section) != kOutNamesSection;
    // A key that the file takes for a listed port's (it ignores case) is
    // that port's: the port's own value replaces it.
    for (const std::string& key : ini.ReadSection(section)) {
        order.push_back(key);
        bool listed = !PortsOf(input, key).empty();
        const auto& drivers = input ? Routing.InDriverNames : Routing.OutDriverNames;
        for (int i = 0; i < PortCountOf(input) && !listed; ++i)
            listed = FoldedIniName(StoredIniName(drivers[static_cast<size_t>(i)])) == FoldedIniName(key);
        if (listed) continue;
        const std::string value = ini.ReadString(section, key, "");
        int v = 0;
        // Only a choice outlives its port: a role, or an alias of its own.
        const bool chosen = flags ? (TIniFile::ParseInteger(value, v) && v != 0) : value != key;
        if (chosen) kept.emplace_back(key, value);
    }
}

bool PortSettings::TakeKept(const char* section, const std::vector<std::string>& names, std::string& value) {
    auto it = kept_.find(section);
    if (it == kept_.end()) return false;
    Entries& kept = it->second;
    for (const std::string& name : names) {
        const std::string key = StoredIniName(name);
        bool found = false;
        for (auto e = kept.begin(); e != kept.end();) {
            // The configuration file matches keys regardless of case; the
            // last of several spellings is the one it reads.
            if (FoldedIniName(e->first) == FoldedIniName(key)) {
                value = e->second;
                found = true;
                e = kept.erase(e);
            } else {
                ++e;
            }
        }
        if (found) return true;
    }
    return false;
}

std::vector<std::string> PortSettings::NamesOf(const std::string& description, const OtherNames& others, size_t i) {
    std::vector<std::string> names{description};
    if (i < others.size()) names.insert(names.end(), others[i].begin(), others[i].end());
    return names;
}

void PortSettings::ReadPortConfig(const TIniFile& ini) {
    MidiRouting& r = Routing;
    ReadAliases(ini, kInNamesSection, true);
    ReadAliases(ini, kOutNamesSection, false);
    KeepAbsent(ini, kInNamesSection, true);
    KeepAbsent(ini, kOutNamesSection, false);
    for (PortRole role : kAllRoles) KeepAbsent(ini, RoleSection(role), IsInputRole(role));

    for (PortRole role : kAllRoles) {
        auto& flags = Flags(role);
        flags.fill(false);
        for (const std::string& key : ini.ReadSection(RoleSection(role))) {
            if (!ini.ReadBool(RoleSection(role), key, false)) continue;
            for (int i : PortsOf(IsInputRole(role), key)) flags[static_cast<size_t>(i)] = true;
        }
    }

    // A stored port that is not there any more must not hand its role to
    // whichever port happens to come first: the role then has no port.
    const std::string inPort = ini.ReadString(kDevicesSection, "MorvelantPCDevice", kNoDevice);
    r.MorvelantPCDeviceIndex = r.NumInDevs;
    for (int i : PortsOf(true, inPort)) r.MorvelantPCDeviceIndex = i;
    keptDeviceIn_ = (r.DeviceInPort() < 0 && inPort != kNoDevice) ? inPort : std::string();
    const std::string outPort = ini.ReadString(kDevicesSection, "PCMorvelantDevice", kNoDevice);
    r.PCMorvelantDeviceIndex = r.NumOutDevs;
    for (int i : PortsOf(false, outPort)) r.PCMorvelantDeviceIndex = i;
    keptDeviceOut_ = (r.DeviceOutPort() < 0 && outPort != kNoDevice) ? outPort : std::string();
}

PortSettings::Entries PortSettings::Wanted(const char* section, bool input,
                                           const std::function<std::string(int)>& value) const {
    const auto& drivers = input ? Routing.InDriverNames : Routing.OutDriverNames;
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
    const auto kept = kept_.find(section);
    // The stored order first: a listed port in its stored place (under its
    // whole name), a kept choice as it was; then the ports new to the file.
    if (auto it = order_.find(section); it != order_.end())
        for (const std::string& key : it->second) {
            const std::vector<int> ports = PortsOf(input, key);
            for (int i : ports) put(StoredIniName(drivers[static_cast<size_t>(i)]), value(i));
            if (!ports.empty() || kept == kept_.end()) continue;
            for (const auto& [k, v] : kept->second)
                if (k == key) put(k, v);
        }
    for (int i = 0; i < PortCountOf(input); ++i) put(StoredIniName(drivers[static_cast<size_t>(i)]), value(i));
    return wanted;
}

bool PortSettings::WritePortConfig(TIniFile& ini) const {
    const MidiRouting& r = Routing;
    const auto store = [&](const char* section, const Entries& wanted) {
        Entries now;
        for (const std::string& key : ini.ReadSection(section)) now.emplace_back(key, ini.ReadString(section, key, ""));
        if (now == wanted) return true;
        bool ok = ini.EraseSection(section);
        for (const auto& [key, value] : wanted) ok = ini.WriteString(section, key, value) && ok;
        return ok;
    };
    const auto device = [](const std::vector<std::string>& drivers, int index, int count, const std::string& kept) {
        return index < count || kept.empty() ? StoredIniName(MidiRouting::NameOf(drivers, index)) : kept;
    };
    bool ok = store(kDevicesSection,
                    {{"MorvelantPCDevice", device(r.InDriverNames, DeviceInIndex(), r.NumInDevs, keptDeviceIn_)},
                     {"PCMorvelantDevice", device(r.OutDriverNames, DeviceOutIndex(), r.NumOutDevs, keptDeviceOut_)}});
    for (PortRole role : kAllRoles) {
        const auto& flags = Flags(role);
        ok = store(RoleSection(role), Wanted(RoleSection(role), IsInputRole(role), [&](int i) {
                       return std::string(flags[static_cast<size_t>(i)] ? "1" : "0");
                   })) &&
            ok;
    }
    ok = store(kInNamesSection,
               Wanted(kInNamesSection, true, [&](int i) { return r.InNames[static_cast<size_t>(i)]; })) &&
        ok;
    ok = store(kOutNamesSection,
               Wanted(kOutNamesSection, false, [&](int i) { return r.OutNames[static_cast<size_t>(i)]; })) &&
        ok;
    return ok;
}

bool PortSettings::AddPorts(const TMidiKit& kit) {
    const Listing l = ListPorts(kit);
    return AddPorts(l.in, l.out, l.inOthers, l.outOthers);
}

bool PortSettings::AddPorts(const std::vector<std::string>& inDescriptions,
                            const std::vector<std::string>& outDescriptions, const OtherNames& inOthers,
                            const OtherNames& outOthers) {
    MidiRouting& r = Routing;
    bool added = false;
    const auto grow = [&](bool input) {
        const auto& all = input ? inDescriptions : outDescriptions;
        const OtherNames& allOthers = input ? inOthers : outOthers;
        int& count = input ? r.NumInDevs : r.NumOutDevs;
        int& device = input ? r.MorvelantPCDeviceIndex : r.PCMorvelantDeviceIndex;
        std::string& keptDevice = input ? keptDeviceIn_ : keptDeviceOut_;
        auto& drivers = input ? r.InDriverNames : r.OutDriverNames;
        auto& names = input ? r.InNames : r.OutNames;
        auto& others = input ? inOthers_ : outOthers_;
        // "No device" stays the entry after the last port.
        const bool noDevice = (input ? r.DeviceInPort() : r.DeviceOutPort()) < 0;
        while (count < static_cast<int>(std::min<size_t>(all.size(), kMaxPorts))) {
            const int i = count;
            const std::string& description = all[static_cast<size_t>(i)];
            const std::vector<std::string> portNames = NamesOf(description, allOthers, static_cast<size_t>(i));
            drivers.insert(drivers.begin() + i, description);
            others.resize(static_cast<size_t>(i));
            others.push_back(std::vector<std::string>(portNames.begin() + 1, portNames.end()));
            std::string alias = description;
            TakeKept(input ? kInNamesSection : kOutNamesSection, portNames, alias);
            names.insert(names.begin() + i, alias);
            for (PortRole role : input ? kInputRoles : kOutputRoles) {
                std::string value;
                int v = 0;
                Flags(role)[static_cast<size_t>(i)] =
                    TakeKept(RoleSection(role), portNames, value) && TIniFile::ParseInteger(value, v) && v != 0;
            }
            ++count;
            added = true;
            if (noDevice) device = count;
            for (const std::string& name : portNames)
                if (!keptDevice.empty() && StoredIniName(name) == keptDevice) {
                    device = i;
                    keptDevice.clear();
                }
        }
    };
    grow(true);
    grow(false);
    return added;
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
    return flag;
}

void PortSettings::SetAlias(bool input, int port, const std::string& alias) {
    MidiRouting& r = Routing;
    const int count = input ? r.NumInDevs : r.NumOutDevs;
    if (port < 0 || port >= count) return;
    (input ? r.InNames : r.OutNames)[static_cast<size_t>(port)] = alias;
}

void PortSettings::SetDeviceInPort(int index) {
    Routing.MorvelantPCDeviceIndex = (index >= 0 && index < Routing.NumInDevs) ? index : Routing.NumInDevs;
    keptDeviceIn_.clear();
}

void PortSettings::SetDeviceOutPort(int index) {
    Routing.PCMorvelantDeviceIndex = (index >= 0 && index < Routing.NumOutDevs) ? index : Routing.NumOutDevs;
    keptDeviceOut_.clear();
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
