// The port side of the MIDI settings, without any widget: which ports the
// driver offers, their aliases, their roles, the two device ports, which
// ports are open, and how all of that is kept in the configuration file.
// The MIDI settings window shows and edits it; tests drive it directly.
#pragma once

#include <array>
#include <cstdint>
#include <string>
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
    // The same from given descriptions.
    void SetPorts(const std::vector<std::string>& inDescriptions, const std::vector<std::string>& outDescriptions);

    // Reads aliases, role flags and the two device ports. A key is the
    // driver's description of a port, compared exactly (but for the blanks
    // around it, which the file does not keep). A stored device port
    // that matches no current port leaves that role with no port.
    void ReadPortConfig(const TIniFile& ini);
    // Replaces the per-port sections and "Morvelant Devices" with the
    // present ports' values, so that ports that are gone leave no keys.
    // False when the file could not be written.
    bool WritePortConfig(TIniFile& ini) const;

    std::array<bool, kMaxPorts>& Flags(PortRole role);
    const std::array<bool, kMaxPorts>& Flags(PortRole role) const;
    int PortCount(PortRole role) const { return IsInputRole(role) ? Routing.NumInDevs : Routing.NumOutDevs; }

    // Inverts a port's role; returns the new state (false for a port that
    // does not exist, which changes nothing).
    bool ToggleRole(PortRole role, int port);
    // Gives a port of a direction a new alias.
    void SetAlias(bool input, int port, const std::string& alias);

    // The device ports as indexes into the name lists: the port count
    // ("no device") when none is chosen. Any index outside the ports,
    // -1 included, means none.
    void SetDeviceInPort(int index);
    void SetDeviceOutPort(int index);
    int DeviceInIndex() const;
    int DeviceOutIndex() const;

    // Whether a port has any role (then it must be open).
    bool InputNeeded(int port) const;
    bool OutputNeeded(int port) const;

    // Opens every port with a role that is closed, closes every port without
    // one that is open, and lists each port's description as open, closed or
    // failed. A port without a component counts as failed when needed.
    void UpdateDevices();

private:
    static void ReadAliases(const TIniFile& ini, const char* section, const std::vector<std::string>& drivers,
                            std::vector<std::string>& names);
};

}  // namespace morvelant
