// libjack, loaded when it is first needed instead of linked, so that the
// library serving the server that runs is the one used: the system's libjack
// first (jackd's, or PipeWire's where the desktop made it the system's), and
// PipeWire's own libjack when no JACK server answers the system's but
// PipeWire runs, as on most desktops, where `pw-jack` would otherwise be
// needed.
//
// The jack_* functions the library calls are defined here (hidden, like
// everything of this library) and forward to the library in use. The library
// in use changes only while none of its clients is open, so every client,
// port and list handed out stays with the library that made it. Ring buffers
// always go to the first library loaded: they outlive clients. Libraries are
// never unloaded: PipeWire's keeps threads and state of its own.
#include "driver/DriverInternal.h"
#include "driver/JackFunctions.h"
#include "driver/UnseenByThreadSanitizer.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>
#include <jack/uuid.h>

#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef MORVELANT_LIB_TRIPLET
#define MORVELANT_LIB_TRIPLET "x86_64-linux-gnu"
#endif

namespace morvelant::driver {

namespace {

struct JackLibrary {
    void* handle = nullptr;
    bool pipeWire = false;  // PipeWire's libjack (it brings PipeWire's own library with it)
#define MORVELANT_JACK_POINTER(f) decltype(&::f) f = nullptr;
    MORVELANT_JACK_FUNCTIONS(MORVELANT_JACK_POINTER)
#undef MORVELANT_JACK_POINTER

    bool refused = false;  // it lacks a function the driver calls

    // A library that lacks any function the driver calls is refused whole
    // (said once, naming what it lacks): a call forwarded to nothing would
    // answer as if it had succeeded.
    bool load(const char* file) {
        handle = ::dlopen(file, RTLD_NOW | RTLD_LOCAL);
        if (!handle) return false;
        std::string lacking;
#define MORVELANT_JACK_RESOLVE(f)                                     \
    f = reinterpret_cast<decltype(f)>(::dlsym(handle, #f));            \
    if (!f) lacking += std::string(lacking.empty() ? "" : ", ") + #f;
        MORVELANT_JACK_FUNCTIONS(MORVELANT_JACK_RESOLVE)
#undef MORVELANT_JACK_RESOLVE
        pipeWire = ::dlsym(handle, "pw_init") != nullptr;
        if (lacking.empty()) return true;
        std::fprintf(stderr, "MidiKit32: the JACK library \"%s\" lacks %s; it is not used\n", file, lacking.c_str());
        refused = true;
        return false;
    }
    bool usable() const { return handle && !refused; }
};

// The system's libjack: MIDIKIT_LIBJACK names another file (a test's
// library that lacks a function).
std::string systemLibjackFile() {
    const char* env = std::getenv("MIDIKIT_LIBJACK");
    return env && *env ? env : "libjack.so.0";
}

struct Loader {
    std::mutex mx;  // loading and switching
    JackLibrary system, pipeWire;
    bool systemTried = false;
    std::atomic<const JackLibrary*> current{nullptr};  // the library in use
    std::atomic<const JackLibrary*> rings{nullptr};  // the first library loaded
    int openClients = 0;  // of the library in use
    std::atomic<bool> pipeWireLacksJack{false};
    void (*error)(const char*) = nullptr;
    void (*info)(const char*) = nullptr;

    // A program that uses libjack itself keeps it loaded after this library
    // goes: what libjack says then must not call into code that went with
    // this library. Each library loaded gets its own way of saying back
    // (none given: libjack's own).
    ~Loader() {
        for (JackLibrary* lib : {&system, &pipeWire}) {
            if (!lib->usable()) continue;
            if (error && lib->jack_set_error_function) lib->jack_set_error_function(nullptr);
            if (info && lib->jack_set_info_function) lib->jack_set_info_function(nullptr);
        }
    }

    // Under mx.
    void quiet(const JackLibrary& lib) const {
        if (error && lib.jack_set_error_function) lib.jack_set_error_function(error);
        if (info && lib.jack_set_info_function) lib.jack_set_info_function(info);
    }
    // Under mx.
    const JackLibrary* loaded(JackLibrary& lib, const std::string& file) {
        if (!lib.handle && !lib.refused) lib.load(file.c_str());
        if (!lib.usable()) return nullptr;
        if (!rings.load()) rings = &lib;
        quiet(lib);
        return &lib;
    }
    const JackLibrary* systemLibrary() {
        std::lock_guard lock(mx);
        return systemLocked();
    }
    // Under mx: the system's libjack, loaded on first use.
    const JackLibrary* systemLocked() {
        if (!systemTried) {
            systemTried = true;
            if (loaded(system, systemLibjackFile()) && !current.load()) current = &system;
        }
        return system.usable() ? &system : nullptr;
    }
    const JackLibrary& use() {
        const JackLibrary* lib = current.load(std::memory_order_acquire);
        if (lib) return *lib;
        lib = systemLibrary();
        static const JackLibrary none;
        return lib ? *lib : none;
    }
};

Loader& loader() {
    static Loader l;
    return l;
}

// Where PipeWire's own libjack is: MIDIKIT_PIPEWIRE_LIBJACK names another
// place (a test's missing library), else the system's library folders.
std::vector<std::string> pipeWireLibjackFiles() {
    if (const char* env = std::getenv("MIDIKIT_PIPEWIRE_LIBJACK"); env && *env) return {env};
    return {"/usr/lib/" MORVELANT_LIB_TRIPLET "/pipewire-0.3/jack/libjack.so.0", "/usr/lib64/pipewire-0.3/jack/libjack.so.0",
            "/usr/lib/pipewire-0.3/jack/libjack.so.0"};
}

// Whether a PipeWire daemon answers on its socket.
bool pipeWireAnswers() {
    const std::string path = pipeWireSocket().path();
    sockaddr_un addr{};
    if (path.empty() || path.size() >= sizeof addr.sun_path) return false;
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

template <typename R>
R zero() {
    if constexpr (!std::is_void_v<R>) return R{};
}

}  // namespace

PipeWireSocket pipeWireSocket() {
    const char* remote = std::getenv("PIPEWIRE_REMOTE");
    std::string name = remote && *remote ? remote : "pipewire-0";
    if (name.front() == '/') {
        const size_t slash = name.rfind('/');
        return {name.substr(0, std::max<size_t>(slash, 1)), name.substr(slash + 1)};
    }
    const char* dir = std::getenv("PIPEWIRE_RUNTIME_DIR");
    if (!dir || !*dir) dir = std::getenv("XDG_RUNTIME_DIR");
    if (!dir || !*dir) return {};
    return {dir, name};
}

bool jackThroughPipeWire() {
    const JackLibrary* lib = loader().current.load();
    return lib && lib->pipeWire;
}

bool pipeWireLacksJack() { return loader().pipeWireLacksJack.load(); }

}  // namespace morvelant::driver

using morvelant::driver::JackLibrary;
using morvelant::driver::loader;
using morvelant::driver::zero;

// The client is opened by the system's libjack; when no server answers it
// but PipeWire runs, by PipeWire's.
jack_client_t* jack_client_open(const char* name, jack_options_t options, jack_status_t* status, ...) {
    const char* server = nullptr;
    if (options & JackServerName) {
        va_list args;
        va_start(args, status);
        server = va_arg(args, const char*);
        va_end(args);
    }
    auto& l = loader();
    std::lock_guard lock(l.mx);
    const auto open = [&](const JackLibrary* lib) -> jack_client_t* {
        if (!lib) return nullptr;
        jack_client_t* c = lib->jack_client_open(name, options, status, server);
        if (!c) return nullptr;
        l.current = lib;
        ++l.openClients;
        l.pipeWireLacksJack = false;
        return c;
    };
    const JackLibrary* current = l.current.load();
    if (l.openClients > 0) return open(current);
    if (jack_client_t* c = open(l.systemLocked())) return c;
    if (!morvelant::driver::pipeWireAnswers()) return nullptr;
    const JackLibrary* pw = nullptr;
    for (const std::string& file : morvelant::driver::pipeWireLibjackFiles())
        if ((pw = l.loaded(l.pipeWire, file))) break;
    l.pipeWireLacksJack = pw == nullptr && !(l.system.usable() && l.system.pipeWire);
    if (!pw || pw->handle == l.system.handle) return nullptr;
    return open(pw);
}

int jack_client_close(jack_client_t* client) {
    auto& l = loader();
    const int rc = l.use().jack_client_close ? l.use().jack_client_close(client) : -1;
    std::lock_guard lock(l.mx);
    if (l.openClients > 0) --l.openClients;
    return rc;
}

// Said by every library loaded, now and later.
void jack_set_error_function(void (*callback)(const char*)) {
    auto& l = loader();
    l.systemLibrary();
    std::lock_guard lock(l.mx);
    l.error = callback;
    for (auto* lib : {&l.system, &l.pipeWire})
        if (lib->usable()) l.quiet(*lib);
}

void jack_set_info_function(void (*callback)(const char*)) {
    auto& l = loader();
    l.systemLibrary();
    std::lock_guard lock(l.mx);
    l.info = callback;
    for (auto* lib : {&l.system, &l.pipeWire})
        if (lib->usable()) l.quiet(*lib);
}

// Every other function goes to the library in use (ring buffers to the
// first loaded), or does nothing where there is none.
#define MORVELANT_JACK_FORWARD(ret, f, params, args)                                  \
    ret f params {                                                                    \
        const auto& lib = loader().use();                                             \
        return lib.f ? lib.f args : zero<ret>();                                      \
    }
#define MORVELANT_RING_FORWARD(ret, f, params, args)                                  \
    ret f params {                                                                    \
        loader().use();                                                               \
        const auto* lib = loader().rings.load();                                         \
        return lib && lib->f ? lib->f args : zero<ret>();                             \
    }

MORVELANT_JACK_FORWARD(int, jack_activate, (jack_client_t * c), (c))
MORVELANT_JACK_FORWARD(int, jack_deactivate, (jack_client_t * c), (c))
MORVELANT_JACK_FORWARD(int, jack_client_name_size, (void), ())
MORVELANT_JACK_FORWARD(int, jack_port_name_size, (void), ())
MORVELANT_JACK_FORWARD(int, jack_connect, (jack_client_t * c, const char* a, const char* b), (c, a, b))
MORVELANT_JACK_FORWARD(jack_nframes_t, jack_frame_time, (const jack_client_t* c), (c))
MORVELANT_JACK_FORWARD(jack_nframes_t, jack_last_frame_time, (const jack_client_t* c), (c))
MORVELANT_JACK_FORWARD(jack_time_t, jack_frames_to_time, (const jack_client_t* c, jack_nframes_t f), (c, f))
MORVELANT_JACK_FORWARD(jack_time_t, jack_get_time, (void), ())
MORVELANT_JACK_FORWARD(void, jack_free, (void* p), (p))
MORVELANT_JACK_FORWARD(jack_nframes_t, jack_get_buffer_size, (jack_client_t * c), (c))
MORVELANT_JACK_FORWARD(jack_nframes_t, jack_get_sample_rate, (jack_client_t * c), (c))
MORVELANT_JACK_FORWARD(char*, jack_get_client_name, (jack_client_t * c), (c))
MORVELANT_JACK_FORWARD(const char**, jack_get_ports,
                       (jack_client_t * c, const char* name, const char* type, unsigned long flags),
                       (c, name, type, flags))
MORVELANT_JACK_FORWARD(void, jack_midi_clear_buffer, (void* b), (b))
MORVELANT_JACK_FORWARD(int, jack_midi_event_get, (jack_midi_event_t * e, void* b, uint32_t i), (e, b, i))
MORVELANT_JACK_FORWARD(jack_midi_data_t*, jack_midi_event_reserve, (void* b, jack_nframes_t t, size_t n), (b, t, n))
MORVELANT_JACK_FORWARD(uint32_t, jack_midi_get_event_count, (void* b), (b))
MORVELANT_JACK_FORWARD(void, jack_on_info_shutdown, (jack_client_t * c, JackInfoShutdownCallback f, void* a),
                       (c, f, a))
MORVELANT_JACK_FORWARD(void, jack_on_shutdown, (jack_client_t * c, JackShutdownCallback f, void* a), (c, f, a))
MORVELANT_JACK_FORWARD(jack_port_t*, jack_port_by_id, (jack_client_t * c, jack_port_id_t id), (c, id))
MORVELANT_JACK_FORWARD(jack_port_t*, jack_port_by_name, (jack_client_t * c, const char* n), (c, n))
MORVELANT_JACK_FORWARD(int, jack_port_connected, (const jack_port_t* p), (p))
MORVELANT_JACK_FORWARD(int, jack_port_connected_to, (const jack_port_t* p, const char* n), (p, n))
MORVELANT_JACK_FORWARD(int, jack_port_disconnect, (jack_client_t * c, jack_port_t* p), (c, p))
MORVELANT_JACK_FORWARD(int, jack_port_get_aliases, (const jack_port_t* p, char* const a[2]), (p, a))
MORVELANT_JACK_FORWARD(void*, jack_port_get_buffer, (jack_port_t * p, jack_nframes_t n), (p, n))
MORVELANT_JACK_FORWARD(const char*, jack_port_name, (const jack_port_t* p), (p))
MORVELANT_JACK_FORWARD(jack_uuid_t, jack_port_uuid, (const jack_port_t* p), (p))
MORVELANT_JACK_FORWARD(jack_uuid_t, jack_port_uuid_generate, (uint32_t id), (id))
MORVELANT_JACK_FORWARD(jack_port_t*, jack_port_register,
                       (jack_client_t * c, const char* n, const char* t, unsigned long f, unsigned long b),
                       (c, n, t, f, b))
MORVELANT_JACK_FORWARD(int, jack_port_unregister, (jack_client_t * c, jack_port_t* p), (c, p))
MORVELANT_JACK_FORWARD(int, jack_set_port_connect_callback, (jack_client_t * c, JackPortConnectCallback f, void* a),
                       (c, f, a))
MORVELANT_JACK_FORWARD(int, jack_set_port_registration_callback,
                       (jack_client_t * c, JackPortRegistrationCallback f, void* a), (c, f, a))
MORVELANT_JACK_FORWARD(int, jack_set_port_rename_callback, (jack_client_t * c, JackPortRenameCallback f, void* a),
                       (c, f, a))
MORVELANT_JACK_FORWARD(int, jack_set_process_callback, (jack_client_t * c, JackProcessCallback f, void* a), (c, f, a))

MORVELANT_RING_FORWARD(jack_ringbuffer_t*, jack_ringbuffer_create, (size_t n), (n))
MORVELANT_RING_FORWARD(void, jack_ringbuffer_free, (jack_ringbuffer_t * r), (r))
MORVELANT_RING_FORWARD(int, jack_ringbuffer_mlock, (jack_ringbuffer_t * r), (r))
MORVELANT_RING_FORWARD(size_t, jack_ringbuffer_peek, (jack_ringbuffer_t * r, char* d, size_t n), (r, d, n))
MORVELANT_RING_FORWARD(size_t, jack_ringbuffer_read, (jack_ringbuffer_t * r, char* d, size_t n), (r, d, n))
MORVELANT_RING_FORWARD(void, jack_ringbuffer_read_advance, (jack_ringbuffer_t * r, size_t n), (r, n))
MORVELANT_RING_FORWARD(size_t, jack_ringbuffer_read_space, (const jack_ringbuffer_t* r), (r))
MORVELANT_RING_FORWARD(size_t, jack_ringbuffer_write_space, (const jack_ringbuffer_t* r), (r))

size_t jack_ringbuffer_write(jack_ringbuffer_t* r, const char* s, size_t n) {
    loader().use();
    const auto* lib = loader().rings.load();
    if (!lib || !lib->jack_ringbuffer_write) return 0;
    morvelant::driver::UnseenByThreadSanitizer unseen;
    return lib->jack_ringbuffer_write(r, s, n);
}
