#include "patterns/RoutingPlaybackPorts.h"

#include <algorithm>

#include "midikit/MidiKitDLL.h"
#include "midikit/MidiKitOut.h"
#include "midikit/MidiKitScore.h"
#include "midikit/MidiKitSync.h"

namespace morvelant {

namespace {
constexpr uint32_t kOpenArgument = 0x13320;
}

RoutingPlaybackPorts::RoutingPlaybackPorts(MidiRouting& routing, std::function<TMidiKitSync*()> sync)
    : routing_(routing), sync_(std::move(sync)) {}

TMidiKitOut* RoutingPlaybackPorts::Out(int port) const {
    if (port < 0 || port >= OutCount()) return nullptr;
    return routing_.Out[size_t(port)];
}

int RoutingPlaybackPorts::OutCount() const { return std::clamp(routing_.NumOutDevs, 0, kMaxPorts); }

bool RoutingPlaybackPorts::Flagged(int port) const {
    return port >= 0 && port < OutCount() && routing_.Out1DeviceFlags[size_t(port)];
}

bool RoutingPlaybackPorts::IsOpen(int port) const {
    // A port that has gone, or whose server stopped, is not played.
    TMidiKitOut* out = Out(port);
    return out != nullptr && out->IsOpen() && routing_.Reaches(port);
}

// What silences goes to every open output, even one the port lists show
// absent for a moment while other clients come and go: a note left on at
// the peer would sound on.
void RoutingPlaybackPorts::Flush(int port) {
    if (TMidiKitOut* out = Out(port); out != nullptr && out->IsOpen()) out->Flush();
}

void RoutingPlaybackPorts::Play(int port, TMidiKitScore& score) {
    if (!IsOpen(port)) return;
    TMidiKitOut* out = Out(port);
    out->Attach(&score);
    score.StartOut(out);
}

void RoutingPlaybackPorts::Detach(int port, TMidiKitScore& score) {
    TMidiKitOut* out = Out(port);
    if (out != nullptr && out->GetScore() == &score) out->Detach(&score);
}

void RoutingPlaybackPorts::SendNow(int port, const MidiEvent& event) {
    TMidiKitOut* out = Out(port);
    if (out == nullptr || !out->IsOpen()) return;
    MidiEvent e = event;
    e.time = MIDIKIT_TIME_NOW;
    out->Put(&e);
}

void RoutingPlaybackPorts::Reopen(int port) {
    if (!IsOpen(port)) return;
    TMidiKitOut* out = Out(port);
    out->Close();
    out->Open(uint16_t(port), kOpenArgument);
}

void RoutingPlaybackPorts::SetTempo(uint32_t microsecondsPerQuarter) {
    if (TMidiKitSync* sync = sync_ ? sync_() : nullptr; sync != nullptr && sync->IsOpen())
        sync->Tempo(microsecondsPerQuarter);
}

void RoutingPlaybackPorts::RestartCount() {
    routing_.BeatInBar = 1;
    routing_.BarCount = 1;
}

void RoutingPlaybackPorts::StartClock() {
    RestartCount();
    if (TMidiKitSync* sync = sync_ ? sync_() : nullptr; sync != nullptr && sync->IsOpen()) sync->Start();
}

void RoutingPlaybackPorts::PauseClock() {
    if (TMidiKitSync* sync = sync_ ? sync_() : nullptr; sync != nullptr && sync->IsOpen()) sync->Pause(false);
}

}  // namespace morvelant

namespace morvelant {

bool RoutingPlaybackPorts::ClockPosition(uint32_t& ticks) const {
    TMidiKitSync* sync = sync_ ? sync_() : nullptr;
    if (sync == nullptr || !sync->IsOpen() || sync->MidiKit == nullptr || sync->MidiKit->pGetPosition == nullptr)
        return false;
    return sync->MidiKit->pGetPosition(sync->GetHSync(), &ticks) == 0;
}

}  // namespace morvelant
