// The port side of the MIDI settings, without any widget: which ports the
// driver offers, their aliases, their roles, the two device ports, which
// ports are open, and how all of that is kept in the configuration file.
// The MIDI settings window shows and edits it; tests drive it directly.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engine/MidiRouting.h"

namespace morvelant {

class TIniFile;
class TMidiKit;

// The entry after the ports of a direction, standing for no port.
inline const std::string kNoDevice = "no device";
// Passed unchanged to the driver when a port is opened.
inline constexpr uint32_t kPortOpenArgument = 0x13320;

// The roles a port can have; each has its flag array, tree view and section.
enum class PortRole { In1, In2, ThruIn, Out1, Out2, Thru };
inline constexpr PortRole kInputRoles[] = {PortRole::In1, PortRole::In2, PortRole::ThruIn};
inline constexpr PortRole kOutputRoles[] = {PortRole::Out1, PortRole::Out2, PortRole::Thru};
inline constexpr PortRole kAllRoles[] = {PortRole::In1,  PortRole::In2,  PortRole::ThruIn,
                                         PortRole::Out1, PortRole::Out2, PortRole::Thru};

constexpr bool IsInputRole(PortRole role) {
    return role == PortRole::In1 || role == PortRole::In2 || role == PortRole::ThruIn;
}
// The configuration section of a role's flags ("In1DeviceFlags", ...).
const char* RoleSection(PortRole role);

class PortSettings {
public:
    explicit PortSettings(MidiRouting& routing) : Routing(routing) {}

    MidiRouting& Routing;

    // Lists the driver's ports (at most 50 per direction): aliases and
    // descriptions start equal, each list gets "no device" last, no port has
    // a role and both device ports are "no device".
    void Enumerate(const TMidiKit& kit);
    // The same from given descriptions, each port with the other names it
    // may be stored by (its aliases, its short description), if any.
    using OtherNames = std::vector<std::vector<std::string>>;
    void SetPorts(const std::vector<std::string>& inDescriptions, const std::vector<std::string>& outDescriptions,
                  const OtherNames& inOthers = {}, const OtherNames& outOthers = {});

    // Reads aliases, role flags and the two device ports. A key is the
    // driver's description of a port (its whole name), compared exactly
    // (but for the blanks around it, which the file does not keep); a key
    // that names no port so is the port's that has it as another name. A
    // stored device port that matches no current port leaves that role with
    // no port for now. What the user chose for ports that are not there is
    // kept: it is written back in its place, and a port that appears later
    // takes it; entries that hold no choice (no role, the alias the name
    // itself) go with their port.
    void ReadPortConfig(const TIniFile& ini);
    // Writes the per-port sections and "Morvelant Devices": entries in the
    // order they were stored, each listed port under its whole name, then
    // the ports not stored before. A section that
    // already holds exactly that is left alone, so a run that changed
    // nothing leaves the file as it was, byte for byte. False when the file
    // could not be written.
    bool WritePortConfig(TIniFile& ini) const;

    // Adds ports the driver lists beyond the known ones (ports keep their
    // numbers for the run; new ones come at the end), each with what is kept
    // for its name (alias, roles, device port). True when any was added.
    bool AddPorts(const TMidiKit& kit);
    bool AddPorts(const std::vector<std::string>& inDescriptions, const std::vector<std::string>& outDescriptions,
                  const OtherNames& inOthers = {}, const OtherNames& outOthers = {});
    // Reads which ports are there now and whether the MIDI server runs.
    void UpdatePresence(const TMidiKit& kit);

    std::array<bool, kMaxPorts>& Flags(PortRole role);
    const std::array<bool, kMaxPorts>& Flags(PortRole role) const;
    int PortCount(PortRole role) const { return PortCountOf(IsInputRole(role)); }
    int PortCountOf(bool input) const { return input ? Routing.NumInDevs : Routing.NumOutDevs; }

    // Inverts a port's role; returns the new state (false for a port that
    // does not exist, which changes nothing).
    bool ToggleRole(PortRole role, int port);
    // Gives a port of a direction a new alias.
    void SetAlias(bool input, int port, const std::string& alias);

    // The device ports as indexes into the name lists: the port count
    // ("no device") when none is chosen. Any index outside the ports,
    // -1 included, means none. The user's choice replaces a stored port
    // that was not there.
    void SetDeviceInPort(int index);
    void SetDeviceOutPort(int index);
    int DeviceInIndex() const;
    int DeviceOutIndex() const;

    // Whether a port has any role (then it must be open).
    bool InputNeeded(int port) const;
    bool OutputNeeded(int port) const;

    // Opens every port with a role that is closed, closes every port without
    // one that is open, and lists each port's description as open, closed or
    // failed. A port without a component counts as failed when needed. A
    // port that has gone is listed with kAbsentMark after its name.
    void UpdateDevices();

    static constexpr const char* kAbsentMark = " (absent)";

private:
    using Entries = std::vector<std::pair<std::string, std::string>>;  // key, value
    // The listed ports a stored key stands for: those whose whole name it
    // is, else those that have it as another name.
    std::vector<int> PortsOf(bool input, const std::string& key) const;
    void ReadAliases(const TIniFile& ini, const char* section, bool input);
    // Keeps the entries of a section whose key names no listed port and
    // that hold a choice, and the order of all its keys.
    void KeepAbsent(const TIniFile& ini, const char* section, bool input);
    // Takes (and forgets) what is kept in a section for a port's names.
    bool TakeKept(const char* section, const std::vector<std::string>& names, std::string& value);
    // A section's entries as they are to be stored.
    Entries Wanted(const char* section, bool input, const std::function<std::string(int)>& value) const;
    static std::vector<std::string> NamesOf(const std::string& description, const OtherNames& others, size_t i);

    std::map<std::string, Entries> kept_;  // per section, for ports not listed
    std::map<std::string, std::vector<std::string>> order_;  // per section, the keys as stored
    OtherNames inOthers_, outOthers_;  // per listed port, its other names
    std::string keptDeviceIn_, keptDeviceOut_;  // stored device ports not listed; empty: none
};

}  // namespace morvelant
