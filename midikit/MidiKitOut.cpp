#include "midikit/MidiKitOut.h"

#include "midikit/MidiKitScore.h"
#include "midikit/MidiKitSync.h"

namespace morvelant {

namespace {
constexpr uint32_t HandleLimit = 0x20;  // open results at or below are failures
}  // namespace

TMidiKitOut::TMidiKitOut(QObject* Owner)
    : QObject(Owner),
      FNotifier(std::make_unique<TMidiKitNotifier>([this](uint32_t m) { ControlWndProc(m); },
                                                   /*Coalesce=*/true))
{
}

TMidiKitOut::~TMidiKitOut()
{
    if (FOpen) {
        try {
            Close();
        } catch (...) {
        }
    }
    FNotifier.reset();
}

TMidiKit* TMidiKitOut::RequireMidiKit() const
{
    if (!MidiKit)
        throw EMidiKitException("No MidiKit");
    return MidiKit;
}

bool TMidiKitOut::Open(uint16_t Port, uint32_t OpenArgument)
{
    TMidiKit* kit = RequireMidiKit();
    if (FOpen)
        throw EMidiKitException("already open");
    char name[33] = {};
    kit->pGetMidiOutDescription(Port, name);
    name[32] = '\0';
    FDescription = name;
    uint32_t hSync = Sync ? Sync->GetHSync() : 0;
    FPort = Port;
    FOpenArgument = OpenArgument;
    uint32_t handle = kit->pOpenMidiOut(FNotifier->Target(), Port, hSync, OpenArgument);
    if (handle > HandleLimit) {
        FHandle = handle;
        FOpen = true;
    } else {
        FHandle = 0;
        FOpen = false;
    }
    return FOpen;
}

void TMidiKitOut::Close()
{
    if (!FOpen)
        throw EMidiKitException("midiOut not open");
    FDescription.clear();
    Reset();
    MidiKit->pCloseMidiOut(FHandle);
    FOpen = false;
    FHandle = 0;
}

void TMidiKitOut::Reset()
{
    if (!FOpen)
        throw EMidiKitException("midiOut not open");
    MidiKit->pResetMidiOut(FHandle);
}

void TMidiKitOut::Flush()
{
    if (!FOpen)
        throw EMidiKitException("midiOut not open");
    MidiKit->pFlushMidiOut(FHandle);
}

uint32_t TMidiKitOut::GetNumDevices() const
{
    return RequireMidiKit()->pGetNumOutDevices();
}

uint16_t TMidiKitOut::GetIDFromName(const std::string& Name) const
{
    TMidiKit* kit = RequireMidiKit();
    uint32_t n = kit->pGetNumOutDevices();
    for (uint32_t port = 0; port < n && port < NoPortID; ++port) {
        char name[33] = {};
        kit->pGetMidiOutDescription(port, name);
        name[32] = '\0';
        if (Name == name)
            return static_cast<uint16_t>(port);
    }
    return NoPortID;
}

bool TMidiKitOut::Put(LPMIDIEVENT Event)
{
    if (!FOpen)
        return true;
    return MidiKit->pPutMidiOut(FHandle, Event) == 0;
}

void TMidiKitOut::Attach(TMidiKitSync* NewSync)
{
    Sync = NewSync;
}

void TMidiKitOut::Detach(TMidiKitSync* OldSync)
{
    if (OldSync != Sync)
        throw EMidiKitException("sync not found");
    Sync = nullptr;
    if (FOpen) {
        Close();
        Open(FPort, FOpenArgument);
    }
}

void TMidiKitOut::Attach(TMidiKitScore* Score)
{
    FScore = Score;
}

void TMidiKitOut::Detach(TMidiKitScore* Score)
{
    if (Score != FScore)
        throw EMidiKitException("score not found");
    FScore = nullptr;
}

void TMidiKitOut::ControlWndProc(uint32_t Message)
{
    if (Message == MIDIKIT_MSG_BUFFER_READY)
        Refill();
}

void TMidiKitOut::Refill()
{
    if (FRefilling) {
        // OutBufferReady is running a nested event loop; refill once it is back.
        FMoreCame = true;
        return;
    }
    FRefilling = true;
    struct Guard {
        TMidiKitOut* Out;
        ~Guard() { Out->FRefilling = false; }
    } guard{this};
    FMoreCame = false;
    if (FScore)
        FScore->MergeOut(this);
    if (OutBufferReady)
        OutBufferReady(this);
    if (FMoreCame) {
        FMoreCame = false;
        FNotifier->Post(MIDIKIT_MSG_BUFFER_READY);
    }
}

}  // namespace morvelant
