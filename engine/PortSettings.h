// The port side of the MIDI settings, without any widget: which ports the
// driver offers, their aliases, their roles, the two device ports, which
// ports are open, and how all of that is kept in the configuration file.
// The MIDI settings window shows and edits it; tests drive it directly.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
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
    // no port for now. An alias that is the key itself was never given.
    void ReadPortConfig(const TIniFile& ini);
    // Writes the per-port sections and "Morvelant Devices": only what the
    // user chose (roles that are on, aliases given), in the order stored. A
    // stored name goes on naming what it named, and a port found by another
    // of its names is written under its whole name beside it; choices for
    // ports that are not there stay. A section that already holds exactly
    // that is left alone, so a run that changed nothing leaves the file as
    // it was, byte for byte. False when the file could not be written.
    bool WritePortConfig(TIniFile& ini) const;

    // What following the driver's lists changed.
    struct PortChanges {
        bool Any = false;
        // Ports whose place went to another port: their components must
        // close before the new port is opened in that place.
        std::vector<int> ReplacedIn, ReplacedOut;
    };
    // Follows the driver's lists: ports keep their numbers for the run, a
    // renamed port keeps its place, roles and alias under its new name, a
    // port that takes a departed port's place takes what is kept for its own
    // names (the departed port's choices are kept for its names), new ports
    // come at the end, each with what is kept for its names.
    PortChanges FollowPorts(const TMidiKit& kit);
    // The same from given lists; serial k tells which port holds place k
    // (another serial: another port; none given: the name tells).
    PortChanges FollowPorts(const std::vector<std::string>& inDescriptions,
                            const std::vector<std::string>& outDescriptions, const OtherNames& inOthers = {},
                            const OtherNames& outOthers = {}, const std::vector<uint32_t>& inSerials = {},
                            const std::vector<uint32_t>& outSerials = {});
    // Adds ports beyond the known ones; true when any was added.
    bool AddPorts(const std::vector<std::string>& inDescriptions, const std::vector<std::string>& outDescriptions,
                  const OtherNames& inOthers = {}, const OtherNames& outOthers = {}) {
        return FollowPorts(inDescriptions, outDescriptions, inOthers, outOthers).Any;
    }
    // Reads which ports are there now and whether the MIDI server runs.
    void UpdatePresence(const TMidiKit& kit);

    std::array<bool, kMaxPorts>& Flags(PortRole role);
    const std::array<bool, kMaxPorts>& Flags(PortRole role) const;
    int PortCount(PortRole role) const { return PortCountOf(IsInputRole(role)); }
    int PortCountOf(bool input) const { return input ? Routing.NumInDevs : Routing.NumOutDevs; }

    // Inverts a port's role; returns the new state (false for a port that
    // does not exist, which changes nothing).
    bool ToggleRole(PortRole role, int port);
    // The ports (input or not, index) the user gave a role since the last
    // call: each asks for its connection, even where other roles kept the
    // port open.
    std::vector<std::pair<bool, int>> TakeRolesGiven() { return std::exchange(rolesGiven_, {}); }
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
    // The sections of a direction: its three role sections, then its names.
    static std::vector<const char*> Sections(bool input);
    // What a port holds in a section, when it is a choice of the user's.
    std::optional<std::string> Choice(const char* section, bool input, int port) const;
    // Gives a port (-1: every port) what is kept for the names it goes by.
    void Take(bool input, int port);
    // Keeps a port's choices for the names it goes by, before its place
    // goes to another port.
    void Keep(bool input, int port);
    // The device port of a direction and the stored name it goes by.
    int& DeviceIndex(bool input) { return input ? Routing.MorvelantPCDeviceIndex : Routing.PCMorvelantDeviceIndex; }
    std::string& DeviceKey(bool input) { return input ? deviceInKey_ : deviceOutKey_; }
    // A section's entries as they are to be stored.
    Entries Wanted(const char* section, bool input) const;

    std::map<std::string, Entries> stored_;  // per section, as read (and kept for ports that went)
    OtherNames inOthers_, outOthers_;  // per listed port, its other names
    std::vector<uint32_t> inSerials_, outSerials_;  // per listed port, which port holds the place
    // The stored name of a device port: the port it names has the role
    // (none listed: the role waits for it) until the user chooses.
    std::string deviceInKey_, deviceOutKey_;
    std::vector<std::pair<bool, int>> rolesGiven_;
    void RoleGiven(bool input, int port);
};

}  // namespace morvelant
