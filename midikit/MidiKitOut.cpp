#include "midikit/MidiKitOut.h"

#include "midikit/MidiKitIn.h"

#include "midikit/MidiKitScore.h"
#include "midikit/MidiKitShared.h"
#include "midikit/MidiKitSync.h"

namespace morvelant {

using namespace midikit_shared;

TMidiKitOut::TMidiKitOut(QObject* Owner) : QObject(Owner), FNotifier(MakeNotifier(this, /*Coalesce=*/true)) {}

TMidiKitOut::~TMidiKitOut() {
    CloseQuietly(*this);
    FNotifier.reset();
}

TMidiKit* TMidiKitOut::RequireMidiKit() const { return midikit_shared::RequireMidiKit(MidiKit); }

bool TMidiKitOut::Open(uint16_t Port, uint32_t OpenArgument) {
    TMidiKit* kit = RequireMidiKit();
    if (FOpen) throw EMidiKitException("already open");
    FDescription = PortDescription(kit->pGetMidiOutDescription, Port);
    uint32_t hSync = Sync ? Sync->GetHSync() : 0;
    FPort = Port;
    FOpenArgument = OpenArgument;
    FOpen = TakeHandle(kit->pOpenMidiOut(FNotifier->Target(), Port, hSync, OpenArgument), FHandle);
    return FOpen;
}

void TMidiKitOut::Close() {
    if (!FOpen) throw EMidiKitException("midiOut not open");
    FDescription.clear();
    Reset();
    MidiKit->pCloseMidiOut(FHandle);
    FOpen = false;
    FHandle = 0;
}

void TMidiKitOut::Reset() {
    if (!FOpen) throw EMidiKitException("midiOut not open");
    MidiKit->pResetMidiOut(FHandle);
}

void TMidiKitOut::Flush() {
    if (!FOpen) throw EMidiKitException("midiOut not open");
    MidiKit->pFlushMidiOut(FHandle);
}

uint32_t TMidiKitOut::GetNumDevices() const { return RequireMidiKit()->pGetNumOutDevices(); }

uint16_t TMidiKitOut::GetIDFromName(const std::string& Name) const {
    TMidiKit* kit = RequireMidiKit();
    return FindPortID(kit->pGetNumOutDevices, kit->pGetMidiOutDescription, Name, NoPortID);
}

bool TMidiKitOut::Put(LPMIDIEVENT Event) {
    if (!FOpen) return true;
    return MidiKit->pPutMidiOut(FHandle, Event) == 0;
}

bool TMidiKitOut::PutThru(LPMIDIEVENT Event, const TMidiKitIn* From) {
    if (!FOpen) return true;
    if (!MidiKit->pPutMidiThru || !From || From->Handle() == 0) return Put(Event);
    return MidiKit->pPutMidiThru(FHandle, Event, From->Handle()) == 0;
}

void TMidiKitOut::Attach(TMidiKitSync* NewSync) { Sync = NewSync; }

void TMidiKitOut::Detach(TMidiKitSync* OldSync) { LeaveSync(*this, OldSync, FPort, FOpenArgument); }

void TMidiKitOut::Attach(TMidiKitScore* Score) { FScore = Score; }

void TMidiKitOut::Detach(TMidiKitScore* Score) {
    if (Score != FScore) throw EMidiKitException("score not found");
    FScore = nullptr;
}

void TMidiKitOut::ControlWndProc(uint32_t Message) {
    if (Message == MIDIKIT_MSG_BUFFER_READY) Refill();
}

void TMidiKitOut::Refill() {
    // OutBufferReady may run a nested event loop; a refill asked for
    // meanwhile comes once it is back.
    RunUnnested(FRefilling, FMoreCame, *FNotifier, MIDIKIT_MSG_BUFFER_READY, [this] {
        if (FScore) FScore->MergeOut(this);
        if (OutBufferReady) OutBufferReady(this);
    });
}

}  // namespace morvelant
