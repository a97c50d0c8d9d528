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

std::string Description(void (*get)(uint32_t, char*), int port) {
    char buffer[64] = {};  // the driver fills at most 32 bytes
    get(static_cast<uint32_t>(port), buffer);
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

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

void PortSettings::Enumerate(const TMidiKit& kit) {
    const int numIn = static_cast<int>(std::min<uint32_t>(kit.pGetNumInDevices(), kMaxPorts));
    const int numOut = static_cast<int>(std::min<uint32_t>(kit.pGetNumOutDevices(), kMaxPorts));
    std::vector<std::string> in, out;
    for (int i = 0; i < numIn; ++i) in.push_back(Description(kit.pGetMidiInDescription, i));
    for (int i = 0; i < numOut; ++i) out.push_back(Description(kit.pGetMidiOutDescription, i));
    SetPorts(in, out);
}

void PortSettings::SetPorts(const std::vector<std::string>& inDescriptions,
                            const std::vector<std::string>& outDescriptions) {
    MidiRouting& r = Routing;
    r.NumInDevs = static_cast<int>(std::min<size_t>(inDescriptions.size(), kMaxPorts));
    r.NumOutDevs = static_cast<int>(std::min<size_t>(outDescriptions.size(), kMaxPorts));
    r.InDriverNames.assign(inDescriptions.begin(), inDescriptions.begin() + r.NumInDevs);
    r.OutDriverNames.assign(outDescriptions.begin(), outDescriptions.begin() + r.NumOutDevs);
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

void PortSettings::ReadAliases(const TIniFile& ini, const char* section, const std::vector<std::string>& drivers,
                               std::vector<std::string>& names) {
    // The last entry of both lists is "no device", which has no alias.
    const size_t ports = drivers.empty() ? 0 : drivers.size() - 1;
    for (const std::string& key : ini.ReadSection(section)) {
        bool any = false;
        for (size_t i = 0; i < ports; ++i) any = any || StoredIniName(drivers[i]) == key;
        if (!any) continue;
        const std::string alias = ini.ReadString(section, key, key);
        for (size_t i = 0; i < ports; ++i)
            if (StoredIniName(drivers[i]) == key) names[i] = alias;
    }
}

void PortSettings::KeepAbsent(const TIniFile& ini, const char* section, const std::vector<std::string>& drivers,
                              int count) {
    Entries& kept = kept_[section];
    kept.clear();
    // A key that the file takes for a listed port's (it ignores case) is
    // that port's: the port's own value replaces it.
    for (const std::string& key : ini.ReadSection(section)) {
        bool listed = false;
        for (int i = 0; i < count; ++i)
            listed = listed || FoldedIniName(StoredIniName(drivers[static_cast<size_t>(i)])) == FoldedIniName(key);
        if (!listed) kept.emplace_back(key, ini.ReadString(section, key, ""));
    }
}

bool PortSettings::TakeKept(const char* section, const std::string& description, std::string& value) {
    auto it = kept_.find(section);
    if (it == kept_.end()) return false;
    Entries& kept = it->second;
    const std::string key = StoredIniName(description);
    bool found = false;
    for (auto e = kept.begin(); e != kept.end();) {
        // The configuration file matches keys regardless of case; the last
        // of several spellings is the one it reads.
        if (FoldedIniName(e->first) == FoldedIniName(key)) {
            value = e->second;
            found = true;
            e = kept.erase(e);
        } else {
            ++e;
        }
    }
    return found;
}

void PortSettings::ReadPortConfig(const TIniFile& ini) {
    MidiRouting& r = Routing;
    ReadAliases(ini, kInNamesSection, r.InDriverNames, r.InNames);
    ReadAliases(ini, kOutNamesSection, r.OutDriverNames, r.OutNames);
    KeepAbsent(ini, kInNamesSection, r.InDriverNames, r.NumInDevs);
    KeepAbsent(ini, kOutNamesSection, r.OutDriverNames, r.NumOutDevs);
    for (PortRole role : kAllRoles)
        KeepAbsent(ini, RoleSection(role), IsInputRole(role) ? r.InDriverNames : r.OutDriverNames, PortCount(role));

    for (PortRole role : kAllRoles) {
        auto& flags = Flags(role);
        flags.fill(false);
        const std::vector<std::string>& drivers = IsInputRole(role) ? r.InDriverNames : r.OutDriverNames;
        const int count = PortCount(role);
        for (const std::string& key : ini.ReadSection(RoleSection(role))) {
            if (!ini.ReadBool(RoleSection(role), key, false)) continue;
            for (int i = 0; i < count; ++i)
                if (StoredIniName(drivers[static_cast<size_t>(i)]) == key) flags[static_cast<size_t>(i)] = true;
        }
    }

    // A stored port that is not there any more must not hand its role to
    // whichever port happens to come first: the role then has no port.
    const std::string inPort = ini.ReadString(kDevicesSection, "MorvelantPCDevice", kNoDevice);
    r.MorvelantPCDeviceIndex = r.NumInDevs;
    for (int i = 0; i <= r.NumInDevs; ++i)
        if (StoredIniName(r.InDriverNames[static_cast<size_t>(i)]) == inPort) r.MorvelantPCDeviceIndex = i;
    keptDeviceIn_ = (r.DeviceInPort() < 0 && inPort != kNoDevice) ? inPort : std::string();
    const std::string outPort = ini.ReadString(kDevicesSection, "PCMorvelantDevice", kNoDevice);
    r.PCMorvelantDeviceIndex = r.NumOutDevs;
    for (int i = 0; i <= r.NumOutDevs; ++i)
        if (StoredIniName(r.OutDriverNames[static_cast<size_t>(i)]) == outPort) r.PCMorvelantDeviceIndex = i;
    keptDeviceOut_ = (r.DeviceOutPort() < 0 && outPort != kNoDevice) ? outPort : std::string();
}

PortSettings::Entries PortSettings::Wanted(const char* section, const std::vector<std::string>& drivers, int count,
                                           const std::function<std::string(int)>& value) const {
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
    for (int i = 0; i < count; ++i) put(StoredIniName(drivers[static_cast<size_t>(i)]), value(i));
    if (auto it = kept_.find(section); it != kept_.end())
        for (const auto& [key, v] : it->second) put(key, v);
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
        ok = store(RoleSection(role),
                   Wanted(RoleSection(role), IsInputRole(role) ? r.InDriverNames : r.OutDriverNames, PortCount(role),
                          [&](int i) { return std::string(flags[static_cast<size_t>(i)] ? "1" : "0"); })) &&
            ok;
    }
    ok = store(kInNamesSection,
               Wanted(kInNamesSection, r.InDriverNames, r.NumInDevs,
                      [&](int i) { return r.InNames[static_cast<size_t>(i)]; })) &&
        ok;
    ok = store(kOutNamesSection,
               Wanted(kOutNamesSection, r.OutDriverNames, r.NumOutDevs,
                      [&](int i) { return r.OutNames[static_cast<size_t>(i)]; })) &&
        ok;
    return ok;
}

bool PortSettings::AddPorts(const TMidiKit& kit) {
    const int numIn = static_cast<int>(std::min<uint32_t>(kit.pGetNumInDevices(), kMaxPorts));
    const int numOut = static_cast<int>(std::min<uint32_t>(kit.pGetNumOutDevices(), kMaxPorts));
    std::vector<std::string> in, out;
    for (int i = 0; i < numIn; ++i) in.push_back(Description(kit.pGetMidiInDescription, i));
    for (int i = 0; i < numOut; ++i) out.push_back(Description(kit.pGetMidiOutDescription, i));
    return AddPorts(in, out);
}

bool PortSettings::AddPorts(const std::vector<std::string>& inDescriptions,
                            const std::vector<std::string>& outDescriptions) {
    MidiRouting& r = Routing;
    bool added = false;
    const auto grow = [&](bool input) {
        const auto& all = input ? inDescriptions : outDescriptions;
        int& count = input ? r.NumInDevs : r.NumOutDevs;
        int& device = input ? r.MorvelantPCDeviceIndex : r.PCMorvelantDeviceIndex;
        std::string& keptDevice = input ? keptDeviceIn_ : keptDeviceOut_;
        auto& drivers = input ? r.InDriverNames : r.OutDriverNames;
        auto& names = input ? r.InNames : r.OutNames;
        // "No device" stays the entry after the last port.
        const bool noDevice = (input ? r.DeviceInPort() : r.DeviceOutPort()) < 0;
        while (count < static_cast<int>(std::min<size_t>(all.size(), kMaxPorts))) {
            const int i = count;
            const std::string& description = all[static_cast<size_t>(i)];
            drivers.insert(drivers.begin() + i, description);
            std::string alias = description;
            TakeKept(input ? kInNamesSection : kOutNamesSection, description, alias);
            names.insert(names.begin() + i, alias);
            for (PortRole role : input ? kInputRoles : kOutputRoles) {
                std::string value;
                int v = 0;
                Flags(role)[static_cast<size_t>(i)] =
                    TakeKept(RoleSection(role), description, value) && TIniFile::ParseInteger(value, v) && v != 0;
            }
            ++count;
            added = true;
            if (noDevice) device = count;
            if (!keptDevice.empty() && StoredIniName(description) == keptDevice) {
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
