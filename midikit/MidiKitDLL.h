// Root component of the MIDI toolkit: loads the driver library at run time
// and holds its entry points for every other toolkit component.
#ifndef MIDIKIT_MIDIKITDLL_H
#define MIDIKIT_MIDIKITDLL_H

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "driver/MidiKit32.h"

namespace morvelant {

// The toolkit's one exception: an operation called in the wrong state, and
// the failures of loading the library and of writing files. Its message is
// all it carries.
class EMidiKitException : public std::runtime_error {
public:
    explicit EMidiKitException(const std::string& Msg) : std::runtime_error(Msg) {}
    std::string Message() const { return what(); }
};

// Signatures of the library's entry points, taken from its public header so
// that they can never drift apart from it.
using TGetMidiKitVersion = decltype(&::GetMidiKitVersion);
using TGetNumOutDevices = decltype(&::GetNumOutDevices);
using TGetMidiOutDescription = decltype(&::GetMidiOutDescription);
using TOpenMidiOut = decltype(&::OpenMidiOut);
using TResetMidiOut = decltype(&::ResetMidiOut);
using TFlushMidiOut = decltype(&::FlushMidiOut);
using TCloseMidiOut = decltype(&::CloseMidiOut);
using TPutMidiOut = decltype(&::PutMidiOut);
using TGetNumInDevices = decltype(&::GetNumInDevices);
using TGetMidiInDescription = decltype(&::GetMidiInDescription);
using TOpenMidiIn = decltype(&::OpenMidiIn);
using TStartMidiIn = decltype(&::StartMidiIn);
using TStopMidiIn = decltype(&::StopMidiIn);
using TCloseMidiIn = decltype(&::CloseMidiIn);
using TGetMidiIn = decltype(&::GetMidiIn);
using TOpenSync = decltype(&::OpenSync);
using TCloseSync = decltype(&::CloseSync);
using TStopSync = decltype(&::StopSync);
using TStartSync = decltype(&::StartSync);
using TPauseSync = decltype(&::PauseSync);
using TReStartSync = decltype(&::ReStartSync);
using TSetTempo = decltype(&::SetTempo);
using TSetResolution = decltype(&::SetResolution);
using TGetTempo = decltype(&::GetTempo);
using TGetResolution = decltype(&::GetResolution);
using TGetPosition = decltype(&::GetPosition);
using TOpenSMF = decltype(&::OpenSMF);
using TCloseSMF = decltype(&::CloseSMF);
using TRewindSMF = decltype(&::RewindSMF);
using TReadSMF = decltype(&::ReadSMF);
using TWriteSMF = decltype(&::WriteSMF);
using TGetSMFResolution = decltype(&::GetSMFResolution);
using TSetSMFResolution = decltype(&::SetSMFResolution);
using TReadMetaEvent = decltype(&::ReadMetaEvent);
using TWriteMetaEvent = decltype(&::WriteMetaEvent);

// What the library adds of its own; resolved when it is there.
using TSetMidiKitNotify = decltype(&::SetMidiKitNotify);
using TGetMidiInPresent = decltype(&::GetMidiInPresent);
using TGetMidiOutPresent = decltype(&::GetMidiOutPresent);
using TGetMidiKitServer = decltype(&::GetMidiKitServer);
using TGetMidiKitSystem = decltype(&::GetMidiKitSystem);
using TGetMidiKitPipeWire = decltype(&::GetMidiKitPipeWire);
using TGetMidiPortName = decltype(&::GetMidiPortName);
using TPutMidiThru = decltype(&::PutMidiThru);
using TSetMidiInThru = decltype(&::SetMidiInThru);
using TGetMidiInThru = decltype(&::GetMidiInThru);
using TGetMidiPortSerial = decltype(&::GetMidiPortSerial);
using TGetMidiPortsLeftOut = decltype(&::GetMidiPortsLeftOut);
using TConnectMidiPort = decltype(&::ConnectMidiPort);

// Number of entry points the library must export.
inline constexpr int MidiKitEntryPointCount = 35;

// Loads "MidiKit32" (libMidiKit32.so) and resolves all 35 entry points by
// name. A TMidiKit that exists has the library loaded and every pointer set.
// Like every toolkit component it is a QObject owned by its Owner (if any);
// it must outlive every port, sync and file component that uses it.
// The pointers are public and called directly, each named after its entry
// point with a leading "p" (pOpenMidiOut, pOpenSMF, ...).
class TMidiKitNotifier;

class TMidiKit : public QObject {
public:
    // Throws EMidiKitException "Load of MidiKit32.dll failed" when the
    // library cannot be loaded, or "Failed to loadproc:" + name when an entry
    // point is missing (the library is released again first).
    explicit TMidiKit(QObject* Owner = nullptr);
    ~TMidiKit() override;

    // The version read once at load.
    uint16_t GetMidiKitVersion() const { return FVersion; }

    // Folder searched first for libMidiKit32.so. Empty (the default) means the
    // folder of the running executable. Tests point it at library variants.
    static void SetLibraryFolder(const std::string& Folder);
    static std::string LibraryFolder();

    // A failed release cannot be thrown from a destructor; it is reported here
    // with the message "FreeLibrary failed". Default: a line on stderr.
    using TReportFunc = std::function<void(const std::string& Message)>;
    static void SetReleaseFailureReport(TReportFunc Report);

    // The path the library was loaded from (for diagnostics).
    const std::string& LibraryPath() const { return FLibraryPath; }

    // Entry points, in the order of resolution.
    TGetMidiKitVersion pGetMidiKitVersion = nullptr;
    TGetNumOutDevices pGetNumOutDevices = nullptr;
    TGetMidiOutDescription pGetMidiOutDescription = nullptr;
    TOpenMidiOut pOpenMidiOut = nullptr;
    TResetMidiOut pResetMidiOut = nullptr;
    TFlushMidiOut pFlushMidiOut = nullptr;
    TCloseMidiOut pCloseMidiOut = nullptr;
    TPutMidiOut pPutMidiOut = nullptr;
    TGetNumInDevices pGetNumInDevices = nullptr;
    TGetMidiInDescription pGetMidiInDescription = nullptr;
    TOpenMidiIn pOpenMidiIn = nullptr;
    TStartMidiIn pStartMidiIn = nullptr;
    TStopMidiIn pStopMidiIn = nullptr;
    TCloseMidiIn pCloseMidiIn = nullptr;
    TGetMidiIn pGetMidiIn = nullptr;
    TOpenSync pOpenSync = nullptr;
    TCloseSync pCloseSync = nullptr;
    TStopSync pStopSync = nullptr;
    TStartSync pStartSync = nullptr;
    TPauseSync pPauseSync = nullptr;
    TReStartSync pReStartSync = nullptr;
    TSetTempo pSetTempo = nullptr;
    TSetResolution pSetResolution = nullptr;
    TGetTempo pGetTempo = nullptr;
    TGetResolution pGetResolution = nullptr;
    TGetPosition pGetPosition = nullptr;
    TOpenSMF pOpenSMF = nullptr;
    TCloseSMF pCloseSMF = nullptr;
    TRewindSMF pRewindSMF = nullptr;
    TReadSMF pReadSMF = nullptr;
    TWriteSMF pWriteSMF = nullptr;
    TGetSMFResolution pGetSMFResolution = nullptr;
    TSetSMFResolution pSetSMFResolution = nullptr;
    TReadMetaEvent pReadMetaEvent = nullptr;
    TWriteMetaEvent pWriteMetaEvent = nullptr;

    // What the library reports of the MIDI system, on the GUI thread: the
    // port lists changed (a port came or went; ports keep their numbers for
    // the run), the server stopped, a server runs again.
    std::function<void()> OnPortsChanged;
    std::function<void()> OnServerGone;
    std::function<void()> OnServerBack;
    // Whether a listed port is there now, and whether the MIDI system runs
    // (true for a library that cannot tell), and whether a server is there
    // that has not answered yet (a stopped server).
    bool InPresent(uint32_t Port) const { return pGetMidiInPresent ? pGetMidiInPresent(Port) != 0 : true; }
    bool OutPresent(uint32_t Port) const { return pGetMidiOutPresent ? pGetMidiOutPresent(Port) != 0 : true; }
    bool ServerRunning() const { return pGetMidiKitServer ? pGetMidiKitServer() == 1 : true; }
    bool ServerSilent() const { return pGetMidiKitServer && pGetMidiKitServer() == 2; }
    // The MIDI system the ports live in ("jack", "alsa", ...; empty for a
    // library that does not say).
    // A port's whole name (the 32-byte description where the library has
    // none), and the other names the system knows it by.
    std::string PortName(bool Input, uint32_t Port) const;
    std::vector<std::string> PortAliases(bool Input, uint32_t Port) const;
    std::string SystemName() const { return pGetMidiKitSystem ? std::string(pGetMidiKitSystem()) : std::string(); }
    // PipeWire behind the ports: 1 it serves the JACK ports, 2 it runs
    // without its JACK library; 0 otherwise or for a library that does not say.
    uint32_t PipeWire() const { return pGetMidiKitPipeWire ? pGetMidiKitPipeWire() : 0; }
    // Which port holds a listed place (another number: another port took
    // it; 0: the library does not say), and how many ports of a direction
    // are left out of the full lists now.
    uint32_t PortSerial(bool Input, uint32_t Port) const {
        return pGetMidiPortSerial ? pGetMidiPortSerial(Input ? 0 : 1, Port) : 0;
    }
    uint32_t PortsLeftOut(bool Input) const { return pGetMidiPortsLeftOut ? pGetMidiPortsLeftOut(Input ? 0 : 1) : 0; }
    // Connects an opened port to the port it serves again (a library
    // without it: nothing).
    void ConnectAgain(bool Input, uint32_t Port) const {
        if (pConnectMidiPort) pConnectMidiPort(Input ? 0 : 1, Port);
    }

    TSetMidiKitNotify pSetMidiKitNotify = nullptr;
    TGetMidiInPresent pGetMidiInPresent = nullptr;
    TGetMidiOutPresent pGetMidiOutPresent = nullptr;
    TGetMidiKitServer pGetMidiKitServer = nullptr;
    TGetMidiKitSystem pGetMidiKitSystem = nullptr;
    TGetMidiKitPipeWire pGetMidiKitPipeWire = nullptr;
    TGetMidiPortName pGetMidiPortName = nullptr;
    TPutMidiThru pPutMidiThru = nullptr;
    TSetMidiInThru pSetMidiInThru = nullptr;
    TGetMidiInThru pGetMidiInThru = nullptr;
    TGetMidiPortSerial pGetMidiPortSerial = nullptr;
    TGetMidiPortsLeftOut pGetMidiPortsLeftOut = nullptr;
    TConnectMidiPort pConnectMidiPort = nullptr;

private:
    void ResolveAll();
    void ResolveOptional();
    void Notified(uint32_t Message);
    std::unique_ptr<TMidiKitNotifier> FNotifier;
    void* FLibrary = nullptr;  // dlopen handle; null before loading
    uint16_t FVersion = 0;
    std::string FLibraryPath;
};

// Carries the library's notifications from its own threads to the thread
// the toolkit component lives on (the GUI thread). The library calls the
// target's Notify; the notifier re-posts it as a queued call, and the handler
// runs there. A coalescing notifier keeps at most one call pending: inputs
// and outputs drain or refill everything on each call, so repeats add
// nothing. The sync clock's notifier does not coalesce: every beat counts.
// A notification that arrives after the notifier is gone is dropped.
class TMidiKitNotifier {
public:
    using THandler = std::function<void(uint32_t Message)>;
    TMidiKitNotifier(THandler Handler, bool Coalesce);
    ~TMidiKitNotifier();
    TMidiKitNotifier(const TMidiKitNotifier&) = delete;
    TMidiKitNotifier& operator=(const TMidiKitNotifier&) = delete;

    // The notify target handed to the library's open calls.
    MidiKitNotifyTarget* Target() { return FTarget; }
    // Queues a call of the handler on the owner's thread (any thread may call).
    void Post(uint32_t Message);

private:
    static void Notify(void* Context, uint32_t Message);
    void Deliver(uint32_t Message);
    THandler FHandler;
    uint64_t FId;
    // Targets are never freed: the library may hold one after a close.
    MidiKitNotifyTarget* FTarget;
    std::unique_ptr<QObject> FReceiver;  // lives on the owner's thread
};

}  // namespace morvelant

#endif
