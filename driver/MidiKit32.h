// Public C interface of the driver library libMidiKit32.so.
//
// The editor never links this library: the toolkit root component loads it at
// run time by name and resolves every entry point below with dlsym. Handles
// are 32-bit values above 0x20 taken from a table inside the library; 0 and
// stale handles are accepted by every entry point and do nothing.
#ifndef MIDIKIT32_H
#define MIDIKIT32_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// One MIDI event, 8 bytes, the same layout in memory, in arrays and at the
// library interface. System exclusive travels one byte per event: status
// 0xF0 and the byte in data1 (the first byte 0xF0, the last 0xF7).
typedef struct MidiEvent {
    uint32_t time;  // delta time to the previous event of the same stream
    uint8_t status;
    uint8_t data1;
    uint8_t data2;
    uint8_t data3;
} MidiEvent;
typedef MidiEvent* LPMIDIEVENT;

#ifdef __cplusplus
static_assert(sizeof(MidiEvent) == 8, "MidiEvent must be 8 bytes");
#endif

// Where the library sends its notifications. It calls Notify from its own
// threads with one of the message numbers below; the toolkit component that
// owns the target re-posts the notification to the GUI thread.
typedef struct MidiKitNotifyTarget {
    void (*Notify)(void* context, uint32_t message);
    void* context;
} MidiKitNotifyTarget;

enum {
    MIDIKIT_MSG_INPUT_DATA = 0x3C3,  // events are queued on an input
    MIDIKIT_MSG_BUFFER_READY = 0x5453,  // an output queue takes events again
    MIDIKIT_MSG_SYNC_BEAT = 0x5452,  // one beat of a sync clock
    MIDIKIT_MSG_SYNC_DONE = 0x5457,  // a sync run is done
    // To the target of SetMidiKitNotify:
    MIDIKIT_MSG_PORTS_CHANGED = 0x5460,  // a port came or went
    MIDIKIT_MSG_SERVER_GONE = 0x5461,  // the MIDI server stopped: every port is absent
    MIDIKIT_MSG_SERVER_BACK = 0x5462  // a MIDI server runs again: opened ports are connected anew
};

// A time value that means "send at once, ignoring the queue's clock".
#define MIDIKIT_TIME_NOW 0xFFFFFFFFu

// The open argument the editor passes for every port.
#define MIDIKIT_OPEN_ARGUMENT 0x13320u

#if defined(__GNUC__)
#define MIDIKIT_API __attribute__((visibility("default")))
#else
#define MIDIKIT_API
#endif

// Ports. The list is read at the first call into the library: a JACK server
// that runs (one client named after the program), else the ALSA sequencer
// when it can be opened, else JACK, waiting for a server to start. On JACK
// the list follows the server: a port keeps its number and name for the
// whole run (a renamed port too, under its new name), a port that goes is
// kept as absent (opened handles stay valid and are connected again when it
// returns), a new port is added at the end; when a list is full, a new port
// takes the place of one that went that nothing holds open.
// The environment variable MIDIKIT_BACKEND = alsa | jack | loopback | none
// forces a backend (MIDIKIT_CLIENT_NAME names the JACK client); loopback
// has the ports "Loopback 1" to "Loopback 4" each way, output k wired to
// input k (MIDIKIT_LOOPBACK_NAMES, names separated by '|', renames them for
// tests). At most 50 ports each way; names are unique, at most 31 bytes,
// never "no device" and never contain '='. Ports of this library itself
// (client names beginning "MidiKit") are not listed.
MIDIKIT_API uint16_t GetMidiKitVersion(void);
MIDIKIT_API uint32_t GetNumInDevices(void);
MIDIKIT_API uint32_t GetNumOutDevices(void);
// Writes the port's NUL-terminated name into a 32-byte buffer.
MIDIKIT_API void GetMidiInDescription(uint32_t port, char* buffer32);
MIDIKIT_API void GetMidiOutDescription(uint32_t port, char* buffer32);

// What this library adds to the original's entry points; the toolkit uses
// them when they are there. The target hears MIDIKIT_MSG_PORTS_CHANGED,
// MIDIKIT_MSG_SERVER_GONE and MIDIKIT_MSG_SERVER_BACK (NULL: nothing).
MIDIKIT_API void SetMidiKitNotify(MidiKitNotifyTarget* notify);
// 1 when the listed port is there now, 0 when it has gone (or is no port).
MIDIKIT_API uint32_t GetMidiInPresent(uint32_t port);
MIDIKIT_API uint32_t GetMidiOutPresent(uint32_t port);
// 1 while the MIDI system runs (always, but for a JACK server that stopped);
// 2 while a JACK server is there but has not answered the first client (a
// stopped server): its ports come, and MIDIKIT_MSG_SERVER_BACK, when it does.
MIDIKIT_API uint32_t GetMidiKitServer(void);
// The whole name of a port (output 0: input port, 1: output port) by the
// rules of the descriptions but for their 31-byte limit (at most 255 bytes),
// unique and the same whatever order the ports appeared in: which 0. Which
// 1, 2, ...: the other names the MIDI system knows the port by (JACK's
// aliases), by the same rules. Writes at most size bytes with the NUL and
// returns the name's length, 0 when there is no such port or name.
MIDIKIT_API uint32_t GetMidiPortName(uint32_t output, uint32_t port, uint32_t which, char* buffer, uint32_t size);
// Which port holds a listed place (output 0: input port, 1: output port):
// a number that changes when another port takes the place of one that went
// (the lists are full), and stays when the port is renamed; 0: no port.
MIDIKIT_API uint32_t GetMidiPortSerial(uint32_t output, uint32_t port);
// How many ports of a direction are left out now because its list is full.
MIDIKIT_API uint32_t GetMidiPortsLeftOut(uint32_t output);
// Connects the opened port (output 0: input port, 1: output port) to the
// port it serves again, as its open did: a connection a patchbay undid is
// made anew. Returns at once; the connection follows on the library's thread.
MIDIKIT_API void ConnectMidiPort(uint32_t output, uint32_t port);
// The MIDI system the ports live in: "jack", "alsa", "loopback" or "none".
MIDIKIT_API const char* GetMidiKitSystem(void);
// Whether PipeWire is behind it: 1 when the JACK ports are PipeWire's (its
// libjack serves them), 2 when PipeWire runs but its JACK library is not
// installed, so its ports cannot be had; else 0.
MIDIKIT_API uint32_t GetMidiKitPipeWire(void);

// Input
MIDIKIT_API uint32_t OpenMidiIn(MidiKitNotifyTarget* notify, uint32_t port, uint32_t sync, uint32_t openArgument);
MIDIKIT_API void StartMidiIn(uint32_t handle);
MIDIKIT_API void StopMidiIn(uint32_t handle);
MIDIKIT_API void CloseMidiIn(uint32_t handle);
// The oldest queued event, writable until the next call on this handle, or NULL.
// Received times are milliseconds since the previous event of the input (the
// first event after StartMidiIn: since the start); the bytes of one
// system-exclusive message after its first carry 0. One
// MIDIKIT_MSG_INPUT_DATA notification is sent when events arrive, and the
// next only after GetMidiIn has returned NULL.
MIDIKIT_API LPMIDIEVENT GetMidiIn(uint32_t handle);
// Added to the original's entry points: thru that the input passes itself,
// as each message comes in, on the library's own thread, to `count` outputs
// (PutMidiThru's way), whatever the program is busy with. `kinds` are the
// MIDIKIT_THRU_* of the messages to pass (0: none, as before any call);
// `version` names this setting, 1 and up. Active sensing is never passed.
#define MIDIKIT_THRU_CHANNEL 1u
#define MIDIKIT_THRU_SYSEX 2u
#define MIDIKIT_THRU_OTHER 4u  // system common and real time
MIDIKIT_API void SetMidiInThru(uint32_t handle, uint32_t version, uint32_t kinds, const uint32_t* outputs,
                               uint32_t count);
// For the event GetMidiIn last returned: the version of the thru setting in
// force when it came in, times 2, plus 1 when the input passed it thru.
MIDIKIT_API uint32_t GetMidiInThru(uint32_t handle);

// Output
MIDIKIT_API uint32_t OpenMidiOut(MidiKitNotifyTarget* notify, uint32_t port, uint32_t sync, uint32_t openArgument);
// 0 = queued, anything else = not taken (queue full).
// Time 0xFFFFFFFF: sent at once. System-exclusive bytes whose 0xF0 byte has
// time 0 (dumps): sent at once, joined into one message, never refused.
// Other times are delta ticks of the attached sync clock: delta 0 goes out
// when it reaches the head of the queue, a positive delta waits for the
// clock; a full timed queue refuses an event with a positive delta, and
// MIDIKIT_MSG_BUFFER_READY follows once when it has room again. Without a
// sync clock everything goes out in order at once.
MIDIKIT_API uint16_t PutMidiOut(uint32_t handle, LPMIDIEVENT event);
// Added to the original's entry points: puts an event passed thru from input
// `input`, where the event GetMidiIn last returned came in. It goes at once,
// as with time 0xFFFFFFFF, but where the MIDI system writes by time (JACK)
// not before the moment it came in plus one period: a constant delay, with
// the gaps between the events kept. One that is put later goes at once.
// System exclusive as with time 0xFFFFFFFF, the message at the moment its
// last byte came in. 0 = queued.
MIDIKIT_API uint16_t PutMidiThru(uint32_t handle, LPMIDIEVENT event, uint32_t input);
MIDIKIT_API void FlushMidiOut(uint32_t handle);
MIDIKIT_API void ResetMidiOut(uint32_t handle);
MIDIKIT_API void CloseMidiOut(uint32_t handle);

// Sync clock. Defaults: 480 ticks per quarter, 500,000 microseconds per
// quarter. StartSync begins at position 0; MIDIKIT_MSG_SYNC_BEAT comes one
// quarter after the start and then every quarter; PauseSync (either flag)
// halts at the position until ReStartSync or StartSync; StopSync halts and
// returns to 0. MIDIKIT_MSG_SYNC_DONE comes once per run, when everything
// timed on the outputs attached to the clock has gone out, and never for a
// run that sent nothing. Mode and period are kept but do not change timing.
MIDIKIT_API uint32_t OpenSync(uint32_t handle, MidiKitNotifyTarget* notify, uint32_t mode, uint32_t period);
MIDIKIT_API void StartSync(uint32_t handle);
MIDIKIT_API void ReStartSync(uint32_t handle);
MIDIKIT_API void StopSync(uint32_t handle);
MIDIKIT_API void CloseSync(uint32_t handle);
MIDIKIT_API void PauseSync(uint32_t handle, uint32_t pause);
// 0 = done; a tempo of 0 is refused.
MIDIKIT_API uint16_t SetTempo(uint32_t handle, uint32_t microsecondsPerQuarter);
MIDIKIT_API uint32_t GetTempo(uint32_t handle);
MIDIKIT_API void SetResolution(uint32_t handle, uint32_t ticksPerQuarter);
MIDIKIT_API uint32_t GetResolution(uint32_t handle);
MIDIKIT_API uint32_t GetPosition(uint32_t handle, uint32_t* position);

// Standard MIDI Files
MIDIKIT_API uint32_t OpenSMF(const char* fileName, uint32_t* format, char mode, uint32_t* trackCount);
MIDIKIT_API void CloseSMF(uint32_t handle);
MIDIKIT_API void RewindSMF(uint32_t handle);
MIDIKIT_API uint32_t ReadSMF(uint32_t handle, uint32_t track, LPMIDIEVENT events, uint32_t maximum);
MIDIKIT_API uint32_t WriteSMF(uint32_t handle, uint32_t track, LPMIDIEVENT events, uint32_t count);
MIDIKIT_API uint32_t GetSMFResolution(uint32_t handle);
MIDIKIT_API void SetSMFResolution(uint32_t handle, uint32_t ticksPerQuarter);
MIDIKIT_API int32_t ReadMetaEvent(uint32_t handle, uint32_t track, uint8_t type, char** data, uint32_t* length);
MIDIKIT_API int32_t WriteMetaEvent(uint32_t handle, uint32_t track, uint8_t type, const char* text, uint32_t length);
// Closes a MIDI file like CloseSMF and reports whether a file open for
// writing reached the disk: 0 when it did (or for a file open for reading),
// -1 when it could not be written or the handle is not open.
MIDIKIT_API int32_t CloseSMFChecked(uint32_t handle);

#ifdef __cplusplus
}
#endif

#endif
