#include "midikit/MidiKitIn.h"

#include <cstring>

#include "midikit/MidiKitSync.h"
#include "midikit/MidiKitTrack.h"

namespace morvelant {

namespace {
constexpr uint8_t ActiveSensing = 0xFE;
constexpr uint32_t HandleLimit = 0x20;  // open results at or below are failures
}  // namespace

TMidiKitIn::TMidiKitIn(QObject* Owner)
    : QObject(Owner),
      FNotifier(std::make_unique<TMidiKitNotifier>([this](uint32_t m) { ControlWndProc(m); },
                                                   /*Coalesce=*/true))
{
}

TMidiKitIn::~TMidiKitIn()
{
    if (FOpen) {
        try {
            Close();
        } catch (...) {
        }
    }
    // The track keeps a pointer to its input: do not leave it dangling.
    if (FTrack) {
        TMidiKitTrack* track = FTrack;
        FTrack = nullptr;
        track->Detach(this);
    }
    FNotifier.reset();
}

TMidiKit* TMidiKitIn::RequireMidiKit() const
{
    if (!MidiKit)
        throw EMidiKitException("No MidiKit");
    return MidiKit;
}

bool TMidiKitIn::Open(uint16_t Port, uint32_t OpenArgument)
{
    if (FOpen)
        throw EMidiKitException("already open");
    TMidiKit* kit = RequireMidiKit();
    FCarriedTime = 0;
    uint32_t hSync = Sync ? Sync->GetHSync() : 0;
    char name[33] = {};
    kit->pGetMidiInDescription(Port, name);
    name[32] = '\0';
    FDescription = name;
    FPort = Port;
    FOpenArgument = OpenArgument;
    uint32_t handle = kit->pOpenMidiIn(FNotifier->Target(), Port, hSync, OpenArgument);
    ++FGeneration;
    if (handle > HandleLimit) {
        FHandle = handle;
        FOpen = true;
    } else {
        FHandle = 0;
        FOpen = false;
    }
    return FOpen;
}

void TMidiKitIn::Close()
{
    if (!FOpen)
        throw EMidiKitException("midiIn not open");
    Stop();
    MidiKit->pCloseMidiIn(FHandle);
    FDescription.clear();
    FOpen = false;
    FHandle = 0;
    ++FGeneration;
}

void TMidiKitIn::Start()
{
    if (!FOpen || FStarted)
        throw EMidiKitException("cant start midiIn");
    FStarted = true;
    FCarriedTime = 0;
    MidiKit->pStartMidiIn(FHandle);
}

void TMidiKitIn::Stop()
{
    if (!FOpen)
        throw EMidiKitException("midiIn not open");
    FStarted = false;
    MidiKit->pStopMidiIn(FHandle);
}

void TMidiKitIn::Reset()
{
    if (!FOpen || !FStarted)
        throw EMidiKitException("midiIn cant reset");
    FCarriedTime = 0;
    MidiKit->pStopMidiIn(FHandle);
    MidiKit->pStartMidiIn(FHandle);
}

uint32_t TMidiKitIn::GetNumDevices() const
{
    return RequireMidiKit()->pGetNumInDevices();
}

uint16_t TMidiKitIn::GetIDFromName(const std::string& Name) const
{
    TMidiKit* kit = RequireMidiKit();
    uint32_t n = kit->pGetNumInDevices();
    for (uint32_t port = 0; port < n && port < NoPortID; ++port) {
        char name[33] = {};
        kit->pGetMidiInDescription(port, name);
        name[32] = '\0';
        if (Name == name)
            return static_cast<uint16_t>(port);
    }
    return NoPortID;
}

void TMidiKitIn::Attach(TMidiKitSync* NewSync)
{
    Sync = NewSync;
}

void TMidiKitIn::Detach(TMidiKitSync* OldSync)
{
    if (OldSync != Sync)
        throw EMidiKitException("sync not found");
    Sync = nullptr;
    if (FOpen) {
        Close();
        Open(FPort, FOpenArgument);
    }
}

void TMidiKitIn::Attach(TMidiKitTrack* Track)
{
    if (FTrack)
        FTrack->Detach(this);
    FTrack = Track;
    if (FTrack)
        FTrack->Attach(this);
}

void TMidiKitIn::Detach(TMidiKitTrack* Track)
{
    if (Track != FTrack)
        throw EMidiKitException("track not found");
    FTrack = nullptr;
    if (Track)
        Track->Detach(this);
}

LPMIDIEVENT TMidiKitIn::Get()
{
    if (!FOpen)
        return nullptr;
    return MidiKit->pGetMidiIn(FHandle);
}

void TMidiKitIn::ControlWndProc(uint32_t Message)
{
    if (Message == MIDIKIT_MSG_INPUT_DATA)
        Drain();
}

void TMidiKitIn::Drain()
{
    if (FDraining) {
        // A handler is running a nested event loop; the outer drain goes on
        // when it returns and picks these events up.
        FMoreCame = true;
        return;
    }
    FDraining = true;
    FMoreCame = false;
    struct Guard {
        TMidiKitIn* In;
        ~Guard() { In->FDraining = false; }
    } guard{this};

    // A notification after Close finds no handle and does nothing.
    while (LPMIDIEVENT event = Get()) {
        event->time += FCarriedTime;
        bool accept = true;
        if (event->status == ActiveSensing)
            accept = false;
        else if (OnMidiData) {
            uint32_t generation = FGeneration;
            OnMidiData(event, &accept);
            // The handler closed (or reopened) the port: the library may
            // have released the event, and this queue is gone.
            if (generation != FGeneration)
                break;
        }
        if (accept) {
            FCarriedTime = 0;
            if (FTrack)
                FTrack->Write(event);
        } else {
            FCarriedTime = event->time;
        }
    }
    if (FMoreCame) {
        // Anything that came during a nested loop was drained above; one more
        // queued pass covers an event that slipped in after the last Get.
        FMoreCame = false;
        FNotifier->Post(MIDIKIT_MSG_INPUT_DATA);
    }
}

}  // namespace morvelant
