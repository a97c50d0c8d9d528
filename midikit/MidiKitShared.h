// What the toolkit's input, output and sync components share: the library's
// open results, the port descriptions, the notifier, closing from a
// destructor, leaving a sync, and a notification pass that never nests.
// Private to the toolkit's sources.
#ifndef MIDIKIT_MIDIKITSHARED_H
#define MIDIKIT_MIDIKITSHARED_H

#include <cstdint>
#include <memory>
#include <string>

#include "midikit/MidiKitDLL.h"

namespace morvelant {

class TMidiKitSync;

namespace midikit_shared {

// Open results at or below are failures.
inline constexpr uint32_t HandleLimit = 0x20;

// Keeps an open result: the handle when the open succeeded, else 0.
inline bool TakeHandle(uint32_t Result, uint32_t& Handle) {
    Handle = Result > HandleLimit ? Result : 0;
    return Handle != 0;
}

inline TMidiKit* RequireMidiKit(TMidiKit* Kit) {
    if (!Kit) throw EMidiKitException("No MidiKit");
    return Kit;
}

// A component's notifier, calling its ControlWndProc on its own thread.
template <typename Component>
std::unique_ptr<TMidiKitNotifier> MakeNotifier(Component* Owner, bool Coalesce) {
    return std::make_unique<TMidiKitNotifier>([Owner](uint32_t m) { Owner->ControlWndProc(m); }, Coalesce);
}

// A destructor closes what is still open and lets nothing escape.
template <typename Component>
void CloseQuietly(Component& C) {
    if (C.IsOpen()) {
        try {
            C.Close();
        } catch (...) {}
    }
}

// The description of a port: at most 32 characters.
template <typename Describe>
std::string PortDescription(Describe DescribeFn, uint32_t Port) {
    char name[33] = {};
    DescribeFn(Port, name);
    name[32] = '\0';
    return name;
}

// The first port whose description is Name, or NoPortID.
template <typename Count, typename Describe>
uint16_t FindPortID(Count CountFn, Describe DescribeFn, const std::string& Name, uint16_t NoPortID) {
    uint32_t n = CountFn();
    for (uint32_t port = 0; port < n && port < NoPortID; ++port) {
        if (Name == PortDescription(DescribeFn, port)) return static_cast<uint16_t>(port);
    }
    return NoPortID;
}

// A port leaves its sync; one that is open opens again, now unsynced.
template <typename Port>
void LeaveSync(Port& P, TMidiKitSync* OldSync, uint16_t PortNumber, uint32_t OpenArgument) {
    if (OldSync != P.Sync) throw EMidiKitException("sync not found");
    P.Sync = nullptr;
    if (P.IsOpen()) {
        P.Close();
        P.Open(PortNumber, OpenArgument);
    }
}

// Runs one pass of a notification handler. A handler that runs a nested
// event loop must not start a second pass: the nested call only marks that
// more came, and the outer pass, once done, queues Message once more to pick
// up what came meanwhile.
template <typename Pass>
void RunUnnested(bool& Running, bool& MoreCame, TMidiKitNotifier& Notifier, uint32_t Message, Pass&& RunPass) {
    if (Running) {
        MoreCame = true;
        return;
    }
    Running = true;
    MoreCame = false;
    struct Guard {
        bool& Flag;
        ~Guard() { Flag = false; }
    } guard{Running};
    try {
        RunPass();
    } catch (...) {
        // A notification taken in by a nested call is owed even when the
        // pass fails: the library does not send it a second time.
        if (MoreCame) {
            MoreCame = false;
            Notifier.Post(Message);
        }
        throw;
    }
    if (MoreCame) {
        MoreCame = false;
        Notifier.Post(Message);
    }
}

}  // namespace midikit_shared
}  // namespace morvelant

#endif
