// MIDI output component: opens one output port of the driver library and
// sends MidiEvent records to it; an attached score is refilled whenever the
// library reports room in its queue.
#ifndef MIDIKIT_MIDIKITOUT_H
#define MIDIKIT_MIDIKITOUT_H

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "driver/MidiKit32.h"
#include "midikit/MidiKitDLL.h"

namespace morvelant {

class TMidiKitIn;
class TMidiKitScore;
class TMidiKitSync;

class TMidiKitOut : public QObject {
public:
    static constexpr uint16_t NoPortID = 0xFFF0;

    using TNotifyEvent = std::function<void(TMidiKitOut* Sender)>;

    explicit TMidiKitOut(QObject* Owner = nullptr);
    ~TMidiKitOut() override;

    // Published properties.
    TMidiKit* MidiKit = nullptr;
    TMidiKitSync* Sync = nullptr;
    // Raised after the attached score was refilled, each time the library's
    // queue takes events again.
    TNotifyEvent OutBufferReady;
    int Tag = 0;

    bool Open(uint16_t Port, uint32_t OpenArgument);
    void Close();
    void Reset();
    void Flush();
    bool IsOpen() const { return FOpen; }
    // The library's handle of the open port (0 when closed).
    uint32_t Handle() const { return FHandle; }
    std::string GetDescription() const { return FDescription; }
    uint32_t GetNumDevices() const;
    uint16_t GetIDFromName(const std::string& Name) const;

    // True when queued, or when the port is closed (the event is dropped);
    // false when the library's queue is full.
    bool Put(LPMIDIEVENT Event);
    // Puts an event passed thru from From, the one its OnMidiData handler
    // is handling: at once, but where the library keeps time (JACK) at the
    // moment it came in plus one period, so its offset within the period is
    // kept. A library without the entry point (or no open input): Put with
    // the event's time.
    bool PutThru(LPMIDIEVENT Event, const TMidiKitIn* From);

    void Attach(TMidiKitSync* NewSync);
    void Detach(TMidiKitSync* OldSync);
    void Attach(TMidiKitScore* Score);
    void Detach(TMidiKitScore* Score);
    TMidiKitScore* GetScore() const { return FScore; }

    // Handles one notification of the library (runs on the owner's thread).
    void ControlWndProc(uint32_t Message);

private:
    void Refill();
    TMidiKit* RequireMidiKit() const;

    uint32_t FHandle = 0;
    uint32_t FOpenArgument = 0;
    uint16_t FPort = 0;
    bool FOpen = false;
    std::string FDescription;
    TMidiKitScore* FScore = nullptr;
    std::unique_ptr<TMidiKitNotifier> FNotifier;
    bool FRefilling = false;
    bool FMoreCame = false;
};

}  // namespace morvelant

#endif
