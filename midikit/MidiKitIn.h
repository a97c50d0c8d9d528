// MIDI input component: opens one input port of the driver library and hands
// every received event to OnMidiData on the thread the component lives on.
#ifndef MIDIKIT_MIDIKITIN_H
#define MIDIKIT_MIDIKITIN_H

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "driver/MidiKit32.h"
#include "midikit/MidiKitDLL.h"

namespace morvelant {

class TMidiKitSync;
class TMidiKitTrack;

class TMidiKitIn : public QObject {
public:
    // Port number GetIDFromName gives when no port has the name.
    static constexpr uint16_t NoPortID = 0xFFF0;

    using TMidiDataEvent = std::function<void(LPMIDIEVENT Event, bool* pbAccept)>;

    explicit TMidiKitIn(QObject* Owner = nullptr);
    ~TMidiKitIn() override;

    // Published properties.
    TMidiKit* MidiKit = nullptr;
    TMidiKitSync* Sync = nullptr;
    // Called for every received event except active sensing; clearing
    // *pbAccept refuses the event (its time then carries into the next one).
    TMidiDataEvent OnMidiData;
    int Tag = 0;

    // True when the port is open. Opening does not start the input.
    bool Open(uint16_t Port, uint32_t OpenArgument);
    void Close();
    void Start();
    void Stop();
    void Reset();
    bool IsOpen() const { return FOpen; }
    bool IsStarted() const { return FStarted; }
    // The library's handle of the open port (0 when closed).
    uint32_t Handle() const { return FHandle; }
    std::string GetDescription() const { return FDescription; }
    uint32_t GetNumDevices() const;
    uint16_t GetIDFromName(const std::string& Name) const;

    void Attach(TMidiKitSync* NewSync);
    void Detach(TMidiKitSync* OldSync);
    void Attach(TMidiKitTrack* Track);
    void Detach(TMidiKitTrack* Track);
    TMidiKitTrack* GetTrack() const { return FTrack; }

    // The next queued event, or null; writable until the next Get.
    LPMIDIEVENT Get();

    // Thru that the library passes from this input itself, as messages come
    // in (see SetMidiInThru), and for the event Get last returned, whether
    // it was passed so (bit 0) under which setting (the rest).
    void SetThru(uint32_t Version, uint32_t Kinds, const std::vector<uint32_t>& Outputs);
    uint32_t ThruStamp() const;

    // Handles one notification of the library (runs on the owner's thread).
    void ControlWndProc(uint32_t Message);

private:
    void Drain();
    void DrainQueue();
    TMidiKit* RequireMidiKit() const;

    uint32_t FHandle = 0;
    uint32_t FOpenArgument = 0;
    uint16_t FPort = 0;
    bool FOpen = false;
    std::string FDescription;
    bool FStarted = false;
    uint32_t FCarriedTime = 0;
    TMidiKitTrack* FTrack = nullptr;
    std::unique_ptr<TMidiKitNotifier> FNotifier;
    // A handler that runs a nested event loop must not start a second drain.
    bool FDraining = false;
    bool FMoreCame = false;
    uint32_t FGeneration = 0;  // changes with every Open and Close
};

}  // namespace morvelant

#endif
