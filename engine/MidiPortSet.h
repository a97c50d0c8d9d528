// The editor's MIDI ports, owned by the engine: the toolkit's root component,
// the sync clock of the pattern preview, one output component per output
// port and the 50 inputs of the hidden input window, built from the port
// settings in the configuration file and kept open while they have a role.
// The MIDI settings window edits and shows it; closing that window changes
// nothing here.
//
// It follows the driver's reports: ports added while the editor runs take
// what is stored for them, ports that go are marked absent (and come back by
// themselves), a renamed port keeps its place and roles, a port that takes a
// departed port's place in the full lists takes its own stored roles, and a
// MIDI server that stops is said once, as are ports left out of full lists.
#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <string>

#include "engine/MidiRouting.h"
#include "engine/PortSettings.h"
#include "engine/SequencerLink.h"
#include "model/Notifications.h"

namespace morvelant {

class TMidiKit;
class TMidiKitIn;
class TMidiKitSync;

// Counts the clock's notifications that a run has finished.
extern int SyncDoneCount;

struct MidiPortSetup {
    // The configuration file ("Morvelant.cfg" in the program directory).
    std::string ConfigFile;
    // The input component of port k (the hidden input window's MidiKitInk);
    // null, or no function at all: that port cannot be opened.
    std::function<TMidiKitIn*(int port)> Inputs;
    // The routing tables the engine reads; they must outlive the set.
    MidiRouting* Routing = nullptr;
};

class MidiPortSet : public QObject {
public:
    // Loads the driver library (throws EMidiKitException when it cannot),
    // lists the ports, reads their settings and opens the ports with a role.
    explicit MidiPortSet(MidiPortSetup setup, QObject* owner = nullptr);
    // Writes the port settings and closes every port.
    ~MidiPortSet() override;
    MidiPortSet(const MidiPortSet&) = delete;
    MidiPortSet& operator=(const MidiPortSet&) = delete;

    MidiRouting& Routing;
    PortSettings Ports;
    std::unique_ptr<TMidiKit> MidiKit;
    TMidiKitSync* MidiKitSync = nullptr;

    const std::string& ConfigFile() const { return configFile_; }

    // Opens and closes ports by their roles and tells the listeners.
    void UpdateDevices();
    // Resets every open output (what waits is dropped, the notes are
    // switched off) as the end of a run begins: their close at the end then
    // finds them quiet, and has nothing left to wait for.
    void QuietOutputs();
    // Ports were added, went, came back, or opened and closed: views of the
    // lists show them anew.
    Topic<> Changed;

    // Connects the preview sequencer (null: none).
    void SetSequencerLink(SequencerLink* link) { sequencer_ = link; }

    // The clock's beat and run-done: the bar.beat counter and the loop of
    // the pattern preview.
    void MidiKitSyncMidiBeat();
    void MidiKitSyncSyncDone();

    // The driver's reports.
    void MidiKitPortsChanged();
    void MidiKitServerGone();
    void MidiKitServerBack();

    // What the user is told when the MIDI server stops.
    static constexpr const char* kServerGoneText =
        "The MIDI server has stopped. The MIDI ports are absent until it runs again; the editor then connects "
        "them by itself.";
    static constexpr const char* kServerGoneCaption = "Midi Settings";
    // What the user is told when the editor starts and no MIDI server runs.
    static constexpr const char* kNoServerText =
        "No MIDI server is running, so there are no MIDI ports. The editor connects to the server by itself when "
        "it starts.";
    // What the user is told when the editor starts and the server does not
    // answer (it was stopped).
    static constexpr const char* kServerSilentText =
        "The MIDI server does not answer, so there are no MIDI ports. The editor connects to the server by itself "
        "when it answers.";
    // What the user is told when the editor starts where PipeWire runs
    // without its JACK library: without other ports, and beside the ALSA
    // sequencer's.
    static constexpr const char* kPipeWireWithoutJackText =
        "PipeWire is running, but its JACK library is not installed, so there are no MIDI ports. Install the "
        "package \"pipewire-jack\"; the editor then takes PipeWire's ports by itself.";
    static constexpr const char* kPipeWireWithoutJackAlsaText =
        "PipeWire is running, but its JACK library is not installed, so the MIDI ports are the ALSA sequencer's. "
        "Install the package \"pipewire-jack\" for PipeWire's JACK ports; the editor takes them at its next start.";

    // What the user is told when the port lists are full and ports are left
    // out of them.
    static constexpr const char* kPortsLeftOutText =
        "The MIDI port lists are full (50 inputs and 50 outputs), so further ports are left out. A port that goes "
        "makes room for one that comes; the roles you gave stay with their ports.";

    // Which MIDI system the ports live in, for the settings window
    // ("MIDI system: JACK", ...), with a word when its server is not running.
    std::string SystemText() const;

private:
    void TakeInputs(int from);
    void CreateOutputs(int from);

    std::string configFile_;
    std::function<TMidiKitIn*(int port)> inputs_;
    SequencerLink* sequencer_ = nullptr;
    bool serverGoneSaid_ = false;
    bool serverGoneShown_ = false;  // its box was shown: a server that comes back closes it if still open
    // The box said at the start for want of a server, until a server comes.
    std::string noServerSaid_;
    bool portsLeftOutSaid_ = false;
    void SayNoServer();
    // Tells the user once when the full lists leave ports out.
    void SayPortsLeftOut();
};

}  // namespace morvelant
