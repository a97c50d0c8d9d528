// The MIDI input side of the editor: the 50 input components, the one
// handler they share, the gathering and loading of dumps that the device
// sends, MIDI thru, and the send buffer that every dump builder fills.
//
// It is never shown; everything runs on the GUI thread. What the windows
// show of it goes out as notifications.
#pragma once

#include <QObject>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "driver/MidiKit32.h"
#include "engine/Engine.h"
#include "midikit/MidiKitIn.h"

namespace morvelant {

// What a complete system-exclusive message is.
enum DumpKind : int {
    kDumpUnknown = -1,
    kDumpPattern = 1,  // pattern values (command 01)
    kDumpPresetText = 3,  // preset texts (command 03)
    kDumpPresetValues = 4,  // preset values (command 04)
    kDumpVellixaPreset = 5,  // knob preset of the sibling controller
    kDumpVellixaOther = 6,  // the sibling's message of kind 0x30: never loaded
};

struct DumpClass {
    int kind = kDumpUnknown;
    int slot = 0;
};

// A knob preset of the sibling controller is F0, the maker's three bytes,
// 0x14, one byte, 0x20, the slot, one byte, 16 channels, 16 commands and 16
// parameters of the knobs, and F7 at the end.
inline constexpr std::size_t kKnobPresetMinSize = 58;
// True for a whole knob preset: at least that long, ending in F7, every byte
// between F0 and F7 a data byte (below 0x80).
bool IsWholeKnobPreset(std::span<const MidiEvent> dump);

// A message box shown from the event loop after the handler that asked for
// it has returned, and never two at once: whatever is asked while it waits
// is said by that box. What is asked while it is open, and for a quiet time
// after it is closed, is counted and said by one more box when the quiet
// time is over, so that every ask is counted and a source that keeps asking
// still leaves the user a moment to reach the settings that stop it.
class QueuedReport {
public:
    // text(first detail, number of times asked, whether asked while the
    // previous box was open or in the quiet time after it) -> the message.
    using TextFunction = std::function<std::string(const std::string&, int, bool)>;
    // The quiet time is a single-shot timer, a child of `context` named
    // `quietName`.
    QueuedReport(QObject* context, PeerBoxLine& line, std::string caption, TextFunction text, const char* quietName);
    static constexpr int kQuietMs = 5000;
    void Ask(const std::string& detail);
    // Whether a box is waiting to be shown, or open.
    bool Pending() const { return pending_; }

private:
    void Show();
    void QuietTimeOver();
    QObject* context_;
    PeerBoxLine& line_;
    QTimer* quiet_;
    std::string caption_;
    TextFunction text_;
    std::string first_;
    int count_ = 0;
    bool pending_ = false;
    bool more_ = false;  // the next box follows one whose quiet time it ends
};

class TMidiDeviceForm : public QObject {
public:
    static constexpr int kInputCount = 50;
    static constexpr int kReceiveBufferSize = 20000;
    static constexpr int kSendBufferSize = 20000;
    static constexpr int32_t kDispatchMarker = 171;

    explicit TMidiDeviceForm(Engine& engine, QObject* Owner = nullptr);
    ~TMidiDeviceForm() override;
    TMidiDeviceForm(const TMidiDeviceForm&) = delete;
    TMidiDeviceForm& operator=(const TMidiDeviceForm&) = delete;

    // Input component of port 0..49 (the MIDI settings' In table), named
    // "MidiKitIn<port>"; the MIDI settings open, start, stop and close them
    // and set their MidiKit. Each one's OnMidiData is MidiKitInMidiData with
    // its port.
    TMidiKitIn* In(int port) const;

    // Room into which the dump builders put a dump before it is sent or filed.
    std::vector<MidiEvent> SendBuffer;

    // One incoming event from input port 0..49: the one OnMidiData handler
    // of all inputs.
    void MidiKitInMidiData(LPMIDIEVENT Event, bool* pbAccept, int port);
    // One system-exclusive byte from the device's port.
    void MvlPCInDeviceSysexData(const MidiEvent& event);

    // Which dump a message is, by its first bytes; the slot byte as it is.
    static DumpClass ClassifyDump(std::span<const MidiEvent> events);
    // Classifies a complete message of events.size() bytes and loads it into
    // the model: into `slotOverride` when it is not -1, else into the slot it
    // names. A nameless preset values dump takes `name`, or "Preset n" when
    // name is "0". Returns the kind loaded; -1 when nothing was loaded (an
    // unknown message, a values or pattern dump shorter than 1034 bytes, a
    // slot outside 0..127, a text dump that does not decode).
    int ProcessReceivedDump(std::span<const MidiEvent> events, int slotOverride, const std::string& name);

    // Everything that arrives while learn is on.
    void LearnFromMidi(uint32_t time, uint8_t status, uint8_t data1, uint8_t data2, uint8_t data3);

    Engine& engine() const { return engine_; }
    int ReceiveCount() const { return receiveCount_; }
    int CurrentPort() const { return currentPort_; }
    // Whether the "Midi Buffer Overrun" box is waiting to be shown (or open).
    bool OverrunPending() const { return overrun_.Pending(); }
    // Whether the box about damaged dumps is waiting to be shown (or open).
    bool DamagedDumpsPending() const { return damaged_.Pending(); }

    // Hands the thru settings as they are now (the switches, the thru roles,
    // the device port, learn) to the inputs, which then pass thru
    // themselves, as messages come in, whatever this thread is busy with.
    // Called whenever this thread goes to wait and before each incoming
    // event is handled; does nothing while the settings are unchanged.
    void PublishThru();

private:
    void PassThru(int port, const MidiEvent& event, bool passed, bool decided);
    // The outputs an event from `port` is passed thru to now; none for an
    // event the switches keep back.
    std::vector<int> ThruOutputs(int port, uint8_t status) const;
    void ReportOverrun();
    // ProcessReceivedDump; for a recognised dump that is refused, `damage`
    // (when given) says which and why.
    int LoadDump(std::span<const MidiEvent> events, int slotOverride, const std::string& name, std::string* damage);

    Engine& engine_;
    std::array<TMidiKitIn*, kInputCount> inputs_{};
    std::vector<MidiEvent> receiveBuffer_;
    int receiveCount_ = 0;
    int currentPort_ = 0;
    // The thru settings the inputs were last given: each input's handle,
    // its kinds and the output handles, and their version.
    struct ThruSetting {
        std::array<uint32_t, kInputCount> inputs{};
        std::array<uint32_t, kInputCount> kinds{};
        std::vector<uint32_t> outputs;
        bool operator==(const ThruSetting&) const = default;
    };
    ThruSetting thru_;
    uint32_t thruVersion_ = 0;
    int32_t dispatchMarker_ = 0;
    QueuedReport overrun_;
    QueuedReport damaged_;
};

}  // namespace morvelant
