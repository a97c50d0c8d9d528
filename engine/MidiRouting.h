// The routing tables that the engine reads when it sends and receives: which
// ports play each role, the thru switches and the send delays. The MIDI
// settings window owns one of these and edits it; until it exists, the editor
// and the tests fill it directly.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace morvelant {

class TMidiKitIn;
class TMidiKitOut;

constexpr int kMaxPorts = 50;

struct MidiRouting {
    // Output port k is served by Out[k] (null when no component exists).
    std::array<TMidiKitOut*, kMaxPorts> Out{};
    // Input port k is served by In[k] (the hidden input window's component k).
    std::array<TMidiKitIn*, kMaxPorts> In{};

    // Per port of each direction: the alias shown to the user and the
    // driver's description, each list ending with one more entry "no device".
    std::vector<std::string> InNames, InDriverNames, OutNames, OutDriverNames;
    // Driver descriptions of the ports the last device update left open,
    // closed, or failed to open.
    std::vector<std::string> OpenInDevices, OpenOutDevices, ClosedInDevices, ClosedOutDevices, ErrorInDevices,
        ErrorOutDevices;

    std::array<bool, kMaxPorts> In1DeviceFlags{};  // input port feeds virtual input 1
    std::array<bool, kMaxPorts> Out1DeviceFlags{};  // output port receives virtual output 1
    std::array<bool, kMaxPorts> In2DeviceFlags{};  // input port feeds virtual input 2
    std::array<bool, kMaxPorts> Out2DeviceFlags{};  // output port receives virtual output 2
    std::array<bool, kMaxPorts> ThruDeviceFlags{};  // output port is a MIDI-thru destination
    std::array<bool, kMaxPorts> ThruInDeviceFlags{};  // input port is a MIDI-thru source

    // Ports that have gone while the editor runs (they keep their numbers
    // and roles and come back by themselves), and whether the MIDI server
    // stopped: every port is absent then.
    std::array<bool, kMaxPorts> InAbsent{};
    std::array<bool, kMaxPorts> OutAbsent{};
    bool ServerGone = false;

    int NumInDevs = 0;
    int NumOutDevs = 0;
    // The port on which the device sends to the PC, and the one on which the
    // PC sends to the device. -1 or the port count ("no device") means none.
    int MorvelantPCDeviceIndex = 0;
    int PCMorvelantDeviceIndex = 0;

    bool Thru = false;  // "Thru"
    bool SysexThru = false;  // "Sysex Thru"
    bool RealtimeThru = false;  // "Realtime Thru"

    int PresetDelay = 3000;  // ms between presets of a timed series
    int PatternDelay = 2000;  // ms between patterns of a timed series

    // Preview playback's beat within the bar (1..4) and bar (from 1).
    int BeatInBar = 0;
    int BarCount = 0;

    // The alias of a port for display, or "no device" outside the list.
    static const std::string& NameOf(const std::vector<std::string>& names, int port) {
        static const std::string none = "no device";
        return (port >= 0 && port < static_cast<int>(names.size())) ? names[static_cast<size_t>(port)] : none;
    }

    // Whether an event put to output port k goes anywhere.
    bool Reaches(int port) const {
        return port >= 0 && port < kMaxPorts && !ServerGone && !OutAbsent[static_cast<size_t>(port)];
    }

    // The device input port, or -1 when none is chosen.
    int DeviceInPort() const {
        return (MorvelantPCDeviceIndex >= 0 && MorvelantPCDeviceIndex < NumInDevs && MorvelantPCDeviceIndex < kMaxPorts)
            ? MorvelantPCDeviceIndex
            : -1;
    }
    // The device output port, or -1 when none is chosen.
    int DeviceOutPort() const {
        return (PCMorvelantDeviceIndex >= 0 && PCMorvelantDeviceIndex < NumOutDevs &&
                PCMorvelantDeviceIndex < kMaxPorts)
            ? PCMorvelantDeviceIndex
            : -1;
    }
};

}  // namespace morvelant
