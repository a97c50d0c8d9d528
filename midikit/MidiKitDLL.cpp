#include "midikit/MidiKitDLL.h"

#include <QMetaObject>
#include <QObject>

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <deque>
#include <mutex>
#include <type_traits>
#include <unordered_map>
#include <utility>

namespace morvelant {

namespace {

std::mutex& SettingsMutex() {
    static std::mutex m;
    return m;
}

std::string& FolderOverride() {
    static std::string folder;
    return folder;
}

TMidiKit::TReportFunc& ReleaseReport() {
    static TMidiKit::TReportFunc report;
    return report;
}

const char* const LibraryFileName = "libMidiKit32.so";

// Folder of the running executable, the program directory.
std::string ExecutableFolder() {
    std::string path(4096, '\0');
    ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (n <= 0) return {};
    path.resize(static_cast<size_t>(n));
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    return path.substr(0, slash);
}

template <typename T>
void Resolve(void* library, T& pointer, const char* name) {
    // Clear any stale error so that a null symbol value is told apart from a
    // missing one.
    ::dlerror();
    void* symbol = ::dlsym(library, name);
    if (!symbol || ::dlerror() != nullptr) throw EMidiKitException(std::string("Failed to loadproc:") + name);
    pointer = reinterpret_cast<T>(symbol);
}

}  // namespace

void TMidiKit::SetLibraryFolder(const std::string& Folder) {
    std::lock_guard<std::mutex> lock(SettingsMutex());
    FolderOverride() = Folder;
}

std::string TMidiKit::LibraryFolder() {
    std::lock_guard<std::mutex> lock(SettingsMutex());
    return FolderOverride().empty() ? ExecutableFolder() : FolderOverride();
}

void TMidiKit::SetReleaseFailureReport(TReportFunc Report) {
    std::lock_guard<std::mutex> lock(SettingsMutex());
    ReleaseReport() = std::move(Report);
}

TMidiKit::TMidiKit(QObject* Owner) : QObject(Owner) {
    // The program's own folder first, then the system's library search path.
    std::string folder = LibraryFolder();
    if (!folder.empty()) {
        std::string path = folder + "/" + LibraryFileName;
        if (::access(path.c_str(), F_OK) == 0) {
            FLibrary = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (FLibrary) FLibraryPath = path;
        }
    }
    if (!FLibrary) {
        FLibrary = ::dlopen(LibraryFileName, RTLD_NOW | RTLD_LOCAL);
        if (FLibrary) FLibraryPath = LibraryFileName;
    }
    if (!FLibrary) throw EMidiKitException("Load of MidiKit32.dll failed");

    try {
        ResolveAll();
    } catch (...) {
        ::dlclose(FLibrary);
        FLibrary = nullptr;
        throw;
    }
    FVersion = pGetMidiKitVersion();
    ResolveOptional();
}

void TMidiKit::ResolveOptional() {
    auto optional = [&](auto& pointer, const char* name) {
        pointer = reinterpret_cast<std::remove_reference_t<decltype(pointer)>>(::dlsym(FLibrary, name));
    };
    optional(pSetMidiKitNotify, "SetMidiKitNotify");
    optional(pGetMidiInPresent, "GetMidiInPresent");
    optional(pGetMidiOutPresent, "GetMidiOutPresent");
    optional(pGetMidiKitServer, "GetMidiKitServer");
    optional(pGetMidiKitSystem, "GetMidiKitSystem");
    optional(pGetMidiKitPipeWire, "GetMidiKitPipeWire");
    optional(pGetMidiPortName, "GetMidiPortName");
    optional(pPutMidiThru, "PutMidiThru");
    optional(pSetMidiInThru, "SetMidiInThru");
    optional(pGetMidiInThru, "GetMidiInThru");
    optional(pGetMidiPortSerial, "GetMidiPortSerial");
    optional(pGetMidiPortsLeftOut, "GetMidiPortsLeftOut");
    optional(pConnectMidiPort, "ConnectMidiPort");
    if (!pSetMidiKitNotify) return;
    // Every report counts: a server that goes and comes back quickly is two.
    FNotifier = std::make_unique<TMidiKitNotifier>([this](uint32_t Message) { Notified(Message); }, false);
    pSetMidiKitNotify(FNotifier->Target());
}

std::string TMidiKit::PortName(bool Input, uint32_t Port) const {
    char buffer[256] = {};
    if (pGetMidiPortName && pGetMidiPortName(Input ? 0 : 1, Port, 0, buffer, sizeof buffer) > 0) return buffer;
    char shortName[64] = {};  // the library fills at most 32 bytes
    (Input ? pGetMidiInDescription : pGetMidiOutDescription)(Port, shortName);
    shortName[sizeof shortName - 1] = '\0';
    return shortName;
}

std::vector<std::string> TMidiKit::PortAliases(bool Input, uint32_t Port) const {
    std::vector<std::string> names;
    if (!pGetMidiPortName) return names;
    for (uint32_t which = 1;; ++which) {
        char buffer[256] = {};
        if (pGetMidiPortName(Input ? 0 : 1, Port, which, buffer, sizeof buffer) == 0) break;
        names.emplace_back(buffer);
    }
    // The 32-byte description is another name the port was stored by.
    char shortName[64] = {};
    (Input ? pGetMidiInDescription : pGetMidiOutDescription)(Port, shortName);
    shortName[sizeof shortName - 1] = '\0';
    names.emplace_back(shortName);
    return names;
}

void TMidiKit::Notified(uint32_t Message) {
    const std::function<void()>* handler = nullptr;
    if (Message == MIDIKIT_MSG_PORTS_CHANGED) handler = &OnPortsChanged;
    if (Message == MIDIKIT_MSG_SERVER_GONE) handler = &OnServerGone;
    if (Message == MIDIKIT_MSG_SERVER_BACK) handler = &OnServerBack;
    if (handler && *handler) (*handler)();
}

TMidiKit::~TMidiKit() {
    if (pSetMidiKitNotify) pSetMidiKitNotify(nullptr);
    FNotifier.reset();
    if (FLibrary && ::dlclose(FLibrary) != 0) {
        // Throwing here would end the program; report and go on.
        TReportFunc report;
        {
            std::lock_guard<std::mutex> lock(SettingsMutex());
            report = ReleaseReport();
        }
        if (report)
            report("FreeLibrary failed");
        else
            std::fprintf(stderr, "EMidiKitException: FreeLibrary failed\n");
    }
    FLibrary = nullptr;
}

void TMidiKit::ResolveAll() {
    Resolve(FLibrary, pGetMidiKitVersion, "GetMidiKitVersion");
    Resolve(FLibrary, pGetNumOutDevices, "GetNumOutDevices");
    Resolve(FLibrary, pGetMidiOutDescription, "GetMidiOutDescription");
    Resolve(FLibrary, pOpenMidiOut, "OpenMidiOut");
    Resolve(FLibrary, pResetMidiOut, "ResetMidiOut");
    Resolve(FLibrary, pFlushMidiOut, "FlushMidiOut");
    Resolve(FLibrary, pCloseMidiOut, "CloseMidiOut");
    Resolve(FLibrary, pPutMidiOut, "PutMidiOut");
    Resolve(FLibrary, pGetNumInDevices, "GetNumInDevices");
    Resolve(FLibrary, pGetMidiInDescription, "GetMidiInDescription");
    Resolve(FLibrary, pOpenMidiIn, "OpenMidiIn");
    Resolve(FLibrary, pStartMidiIn, "StartMidiIn");
    Resolve(FLibrary, pStopMidiIn, "StopMidiIn");
    Resolve(FLibrary, pCloseMidiIn, "CloseMidiIn");
    Resolve(FLibrary, pGetMidiIn, "GetMidiIn");
    Resolve(FLibrary, pOpenSync, "OpenSync");
    Resolve(FLibrary, pCloseSync, "CloseSync");
    Resolve(FLibrary, pStopSync, "StopSync");
    Resolve(FLibrary, pStartSync, "StartSync");
    Resolve(FLibrary, pPauseSync, "PauseSync");
    Resolve(FLibrary, pReStartSync, "ReStartSync");
    Resolve(FLibrary, pSetTempo, "SetTempo");
    Resolve(FLibrary, pSetResolution, "SetResolution");
    Resolve(FLibrary, pGetTempo, "GetTempo");
    Resolve(FLibrary, pGetResolution, "GetResolution");
    Resolve(FLibrary, pGetPosition, "GetPosition");
    Resolve(FLibrary, pOpenSMF, "OpenSMF");
    Resolve(FLibrary, pCloseSMF, "CloseSMF");
    Resolve(FLibrary, pRewindSMF, "RewindSMF");
    Resolve(FLibrary, pReadSMF, "ReadSMF");
    Resolve(FLibrary, pWriteSMF, "WriteSMF");
    Resolve(FLibrary, pGetSMFResolution, "GetSMFResolution");
    Resolve(FLibrary, pSetSMFResolution, "SetSMFResolution");
    Resolve(FLibrary, pReadMetaEvent, "ReadMetaEvent");
    Resolve(FLibrary, pWriteMetaEvent, "WriteMetaEvent");
}

}  // namespace morvelant

// ---------------------------------------------------------------------------

namespace morvelant {

namespace {

struct NotifierEntry {
    TMidiKitNotifier* Notifier;
    QObject* Receiver;
    bool Coalesce;
    bool Pending;
};

struct NotifierRegistry {
    std::mutex Mutex;
    uint64_t NextId = 1;
    std::unordered_map<uint64_t, NotifierEntry> Entries;
    // Stable addresses; a target stays valid for the life of the process, so
    // a late call from the library through a closed handle's target is safe.
    std::deque<MidiKitNotifyTarget> Targets;
};

NotifierRegistry& Registry() {
    // Never destroyed: library threads may still call in during exit.
    static NotifierRegistry* registry = new NotifierRegistry;
    return *registry;
}

}  // namespace

TMidiKitNotifier::TMidiKitNotifier(THandler Handler, bool Coalesce)
    : FHandler(std::move(Handler)), FReceiver(std::make_unique<QObject>()) {
    NotifierRegistry& r = Registry();
    std::lock_guard<std::mutex> lock(r.Mutex);
    FId = r.NextId++;
    r.Targets.push_back(
        MidiKitNotifyTarget{&TMidiKitNotifier::Notify, reinterpret_cast<void*>(static_cast<uintptr_t>(FId))});
    FTarget = &r.Targets.back();
    r.Entries.emplace(FId, NotifierEntry{this, FReceiver.get(), Coalesce, false});
}

TMidiKitNotifier::~TMidiKitNotifier() {
    {
        NotifierRegistry& r = Registry();
        std::lock_guard<std::mutex> lock(r.Mutex);
        r.Entries.erase(FId);
    }
    // Deleting the receiver discards every call still queued for it.
    FReceiver.reset();
}

void TMidiKitNotifier::Notify(void* Context, uint32_t Message) {
    uint64_t id = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(Context));
    NotifierRegistry& r = Registry();
    std::lock_guard<std::mutex> lock(r.Mutex);
    auto it = r.Entries.find(id);
    if (it == r.Entries.end()) return;
    NotifierEntry& e = it->second;
    if (e.Coalesce) {
        if (e.Pending) return;
        e.Pending = true;
    }
    // Posted under the lock, so the receiver cannot be deleted meanwhile.
    TMidiKitNotifier* notifier = e.Notifier;
    QMetaObject::invokeMethod(
        e.Receiver, [notifier, Message] { notifier->Deliver(Message); }, Qt::QueuedConnection);
}

void TMidiKitNotifier::Post(uint32_t Message) { Notify(FTarget->context, Message); }

void TMidiKitNotifier::Deliver(uint32_t Message) {
    {
        NotifierRegistry& r = Registry();
        std::lock_guard<std::mutex> lock(r.Mutex);
        auto it = r.Entries.find(FId);
        if (it == r.Entries.end()) return;
        it->second.Pending = false;
    }
    if (FHandler) FHandler(Message);
}

}  // namespace morvelant
