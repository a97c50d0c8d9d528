// Sync clock component: one sync object of the driver library, running at a
// tempo and resolution, pacing the outputs attached to it and reporting each
// beat and the end of a run on the thread the component lives on.
#ifndef MIDIKIT_MIDIKITSYNC_H
#define MIDIKIT_MIDIKITSYNC_H

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>

#include "driver/MidiKit32.h"
#include "midikit/MidiKitDLL.h"

namespace morvelant {

class TMidiKitSync : public QObject {
public:
    static constexpr uint32_t MidiBeatMessage = MIDIKIT_MSG_SYNC_BEAT;
    static constexpr uint32_t SyncDoneMessage = MIDIKIT_MSG_SYNC_DONE;
    // Passed as mode or period to keep the driver's current value.
    static constexpr uint16_t KeepValue = 0xFFFF;

    using TNotifyEvent = std::function<void(TMidiKitSync* Sender)>;

    explicit TMidiKitSync(QObject* Owner = nullptr);
    ~TMidiKitSync() override;

    // Published properties.
    TMidiKit* MidiKit = nullptr;
    TNotifyEvent OnMidiBeat;
    TNotifyEvent OnSyncDone;

    bool Open(uint16_t Mode, uint16_t Period);
    void Close();
    void Mode(uint16_t NewMode);
    void Period(uint16_t NewPeriod);
    bool IsOpen() const { return FOpen; }
    bool IsRunning() const { return FRunning; }
    void Start();
    void ReStart();
    void Stop();
    void Pause(bool Flag);

    uint32_t Tempo();
    bool Tempo(uint32_t MicrosecondsPerQuarter);
    uint16_t Resolution();
    void Resolution(uint16_t TicksPerQuarter);

    // Beats per minute to microseconds per quarter note; a bpm of 0 or less
    // (or not a number) counts as 120.
    static uint32_t Convert(double Bpm);
    // A whole number of beats per minute (the tempo box) is a bpm too.
    static uint32_t Convert(int Bpm) { return Convert(static_cast<double>(Bpm)); }
    // Microseconds per quarter note to beats per minute.
    static double Convert(uint32_t Microseconds);

    // The driver's sync handle (0 when not open), for the ports it paces.
    uint32_t GetHSync() const { return FHandle; }
    uint16_t GetMode() const { return FMode; }
    uint16_t GetPeriod() const { return FPeriod; }

    // Handles one notification of the library (runs on the owner's thread).
    void ControlWndProc(uint32_t Message);

private:
    TMidiKit* RequireMidiKit() const;
    void RequireOpen() const;
    void Reopen(uint16_t NewMode, uint16_t NewPeriod);

    std::unique_ptr<TMidiKitNotifier> FNotifier;
    uint32_t FHandle = 0;
    bool FOpen = false;
    uint16_t FMode = 0;
    uint16_t FPeriod = 0;
    bool FRunning = false;
};

}  // namespace morvelant

#endif
