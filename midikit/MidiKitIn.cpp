#include "midikit/MidiKitIn.h"

#include <cstring>

#include "midikit/MidiKitShared.h"
#include "midikit/MidiKitSync.h"
#include "midikit/MidiKitTrack.h"

namespace morvelant {

using namespace midikit_shared;

namespace {
constexpr uint8_t ActiveSensing = 0xFE;
}  // namespace

TMidiKitIn::TMidiKitIn(QObject* Owner) : QObject(Owner), FNotifier(MakeNotifier(this, /*Coalesce=*/true)) {}

TMidiKitIn::~TMidiKitIn() {
    CloseQuietly(*this);
    // The track keeps a pointer to its input: do not leave it dangling.
    if (FTrack) {
        TMidiKitTrack* track = FTrack;
        FTrack = nullptr;
        track->Detach(this);
    }
    FNotifier.reset();
}

TMidiKit* TMidiKitIn::RequireMidiKit() const { return midikit_shared::RequireMidiKit(MidiKit); }

bool TMidiKitIn::Open(uint16_t Port, uint32_t OpenArgument) {
    if (FOpen) throw EMidiKitException("already open");
    TMidiKit* kit = RequireMidiKit();
    FCarriedTime = 0;
    uint32_t hSync = Sync ? Sync->GetHSync() : 0;
    FDescription = PortDescription(kit->pGetMidiInDescription, Port);
    FPort = Port;
    FOpenArgument = OpenArgument;
    uint32_t handle = kit->pOpenMidiIn(FNotifier->Target(), Port, hSync, OpenArgument);
    ++FGeneration;
    FOpen = TakeHandle(handle, FHandle);
    return FOpen;
}

void TMidiKitIn::Close() {
    if (!FOpen) throw EMidiKitException("midiIn not open");
    Stop();
    MidiKit->pCloseMidiIn(FHandle);
    FDescription.clear();
    FOpen = false;
    FHandle = 0;
    ++FGeneration;
}

void TMidiKitIn::Start() {
    if (!FOpen || FStarted) throw EMidiKitException("cant start midiIn");
    FStarted = true;
    FCarriedTime = 0;
    MidiKit->pStartMidiIn(FHandle);
}

void TMidiKitIn::Stop() {
    if (!FOpen) throw EMidiKitException("midiIn not open");
    FStarted = false;
    MidiKit->pStopMidiIn(FHandle);
}

void TMidiKitIn::Reset() {
    if (!FOpen || !FStarted) throw EMidiKitException("midiIn cant reset");
    FCarriedTime = 0;
    MidiKit->pStopMidiIn(FHandle);
    MidiKit->pStartMidiIn(FHandle);
}

uint32_t TMidiKitIn::GetNumDevices() const { return RequireMidiKit()->pGetNumInDevices(); }

uint16_t TMidiKitIn::GetIDFromName(const std::string& Name) const {
    TMidiKit* kit = RequireMidiKit();
    return FindPortID(kit->pGetNumInDevices, kit->pGetMidiInDescription, Name, NoPortID);
}

void TMidiKitIn::Attach(TMidiKitSync* NewSync) { Sync = NewSync; }

void TMidiKitIn::Detach(TMidiKitSync* OldSync) { LeaveSync(*this, OldSync, FPort, FOpenArgument); }

void TMidiKitIn::Attach(TMidiKitTrack* Track) {
    // A track records from one input: another input that holds it lets go,
    // or it would keep writing to it and point to it once it is deleted.
    if (Track) {
        TMidiKitIn* other = Track->Input();
        if (other && other != this) {
            if (other->FTrack == Track) other->FTrack = nullptr;
            Track->Detach(other);
        }
    }
    if (FTrack) FTrack->Detach(this);
    FTrack = Track;
    if (FTrack) FTrack->Attach(this);
}

void TMidiKitIn::Detach(TMidiKitTrack* Track) {
    if (Track != FTrack) throw EMidiKitException("track not found");
    FTrack = nullptr;
    if (Track) Track->Detach(this);
}

LPMIDIEVENT TMidiKitIn::Get() {
    if (!FOpen) return nullptr;
    return MidiKit->pGetMidiIn(FHandle);
}

void TMidiKitIn::SetThru(uint32_t Version, uint32_t Kinds, const std::vector<uint32_t>& Outputs) {
    if (FOpen && MidiKit && MidiKit->pSetMidiInThru)
        MidiKit->pSetMidiInThru(FHandle, Version, Kinds, Outputs.data(), uint32_t(Outputs.size()));
}

uint32_t TMidiKitIn::ThruStamp() const {
    return FOpen && MidiKit && MidiKit->pGetMidiInThru ? MidiKit->pGetMidiInThru(FHandle) : 0;
}

void TMidiKitIn::ControlWndProc(uint32_t Message) {
    if (Message == MIDIKIT_MSG_INPUT_DATA) Drain();
}

void TMidiKitIn::Drain() {
    // A nested call (a handler running an event loop) leaves the events to
    // the outer drain, which goes on when the handler returns.
    RunUnnested(FDraining, FMoreCame, *FNotifier, MIDIKIT_MSG_INPUT_DATA, [this] {
        try {
            DrainQueue();
        } catch (...) {
            // The library notifies again only once its queue was read empty:
            // the events left behind a throwing handler get a drain of their
            // own, or the input would fall silent for good.
            FNotifier->Post(MIDIKIT_MSG_INPUT_DATA);
            throw;
        }
    });
}

void TMidiKitIn::DrainQueue() {
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
            if (generation != FGeneration) break;
        }
        if (accept) {
            FCarriedTime = 0;
            if (FTrack) FTrack->Write(event);
        } else {
            FCarriedTime = event->time;
        }
    }
}

}  // namespace morvelant
