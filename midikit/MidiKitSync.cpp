#include "midikit/MidiKitSync.h"

#include <cmath>

#include "midikit/MidiKitShared.h"

namespace morvelant {

using namespace midikit_shared;

TMidiKitSync::TMidiKitSync(QObject* Owner)
    : QObject(Owner),
      // Every beat is reported, so beat notifications are never merged.
      FNotifier(MakeNotifier(this, /*Coalesce=*/false)) {}

TMidiKitSync::~TMidiKitSync() {
    Stop();
    CloseQuietly(*this);
    FNotifier.reset();
}

TMidiKit* TMidiKitSync::RequireMidiKit() const { return midikit_shared::RequireMidiKit(MidiKit); }

void TMidiKitSync::RequireOpen() const {
    if (!FOpen) throw EMidiKitException("sync not open");
}

bool TMidiKitSync::Open(uint16_t NewMode, uint16_t NewPeriod) {
    TMidiKit* kit = RequireMidiKit();
    if (!FOpen) {
        if (TakeHandle(kit->pOpenSync(0, FNotifier->Target(), NewMode, NewPeriod), FHandle)) FOpen = true;
    }
    if (FOpen) {
        // Called while open, the new values are only stored.
        FMode = NewMode;
        FPeriod = NewPeriod;
    }
    return FOpen;
}

void TMidiKitSync::Close() {
    RequireOpen();
    MidiKit->pCloseSync(FHandle);
    FRunning = false;
    FOpen = false;
    FHandle = 0;
}

void TMidiKitSync::Reopen(uint16_t NewMode, uint16_t NewPeriod) {
    RequireOpen();
    if (TakeHandle(MidiKit->pOpenSync(FHandle, FNotifier->Target(), NewMode, NewPeriod), FHandle)) {
        FOpen = true;
        if (NewMode != KeepValue) FMode = NewMode;
        if (NewPeriod != KeepValue) FPeriod = NewPeriod;
    } else {
        FOpen = false;
        FRunning = false;
    }
}

void TMidiKitSync::Mode(uint16_t NewMode) { Reopen(NewMode, KeepValue); }

void TMidiKitSync::Period(uint16_t NewPeriod) { Reopen(KeepValue, NewPeriod); }

void TMidiKitSync::Start() {
    RequireOpen();
    MidiKit->pStartSync(FHandle);
    FRunning = true;
}

void TMidiKitSync::ReStart() {
    RequireOpen();
    MidiKit->pReStartSync(FHandle);
    FRunning = true;
}

void TMidiKitSync::Stop() {
    if (!FOpen) return;
    MidiKit->pStopSync(FHandle);
    FRunning = false;
}

void TMidiKitSync::Pause(bool Flag) {
    RequireOpen();
    MidiKit->pPauseSync(FHandle, Flag ? 1 : 0);
    FRunning = false;
}

uint32_t TMidiKitSync::Tempo() { return RequireMidiKit()->pGetTempo(FHandle); }

bool TMidiKitSync::Tempo(uint32_t MicrosecondsPerQuarter) {
    return RequireMidiKit()->pSetTempo(FHandle, MicrosecondsPerQuarter) == 0;
}

uint16_t TMidiKitSync::Resolution() { return static_cast<uint16_t>(RequireMidiKit()->pGetResolution(FHandle)); }

void TMidiKitSync::Resolution(uint16_t TicksPerQuarter) { RequireMidiKit()->pSetResolution(FHandle, TicksPerQuarter); }

uint32_t TMidiKitSync::Convert(double Bpm) {
    // A bpm of 0 or less (or NaN) would give a negative or undefined
    // microsecond count; it counts as 120 like the unset tempo.
    if (!(Bpm > 0.0)) Bpm = 120.0;
    const long double microseconds = static_cast<long double>(60000000.0f) / Bpm;
    // Tiny tempos would overflow the 32-bit field: clamp to its largest value.
    if (microseconds >= 4294967295.0L) return 0xFFFFFFFFu;
    return static_cast<uint32_t>(microseconds);
}

double TMidiKitSync::Convert(uint32_t Microseconds) {
    if (Microseconds == 0) return 0.0;
    return 60000000.0 / Microseconds;
}

void TMidiKitSync::ControlWndProc(uint32_t Message) {
    if (Message == MidiBeatMessage) {
        if (OnMidiBeat) OnMidiBeat(this);
    } else if (Message == SyncDoneMessage) {
        if (OnSyncDone) OnSyncDone(this);
    }
}

}  // namespace morvelant
