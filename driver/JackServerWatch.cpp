#include "driver/JackServerWatch.h"

#include "driver/DriverInternal.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace morvelant::driver {

Wake::Wake() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

Wake::~Wake() {
    if (fd_ >= 0) ::close(fd_);
}

void Wake::post() const {
    const uint64_t one = 1;
    if (fd_ >= 0) [[maybe_unused]] ssize_t n = ::write(fd_, &one, sizeof one);
}

void Wake::clear() const {
    uint64_t value;
    if (fd_ >= 0) [[maybe_unused]] ssize_t n = ::read(fd_, &value, sizeof value);
}

void sleepOn(int a, int b, int timeoutMs) {
    pollfd fds[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
    // Without any descriptor (the system gave no eventfd) it polls.
    if (a < 0 && b < 0 && timeoutMs < 0) timeoutMs = 1;
    ::poll(fds, 2, timeoutMs);
}

ServerFolderWatch::ServerFolderWatch() : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    // The socket of the server our client asks for; other servers and
    // the clients of any server make entries there all the time.
    const char* server = std::getenv("JACK_DEFAULT_SERVER");
    const std::string socket =
        "jack_" + std::string(server && *server ? server : "default") + "_" + std::to_string(getuid()) + "_";
    if (fd_ < 0) return;
    std::vector<std::string> folders{"/dev/shm"};
    if (const char* tmp = std::getenv("JACK_TMPDIR"); tmp && *tmp) folders.emplace_back(tmp);
    for (const auto& f : folders) add(f, socket, false);
    if (const PipeWireSocket pw = pipeWireSocket(); !pw.folder.empty()) add(pw.folder, pw.name, true);
}

ServerFolderWatch::~ServerFolderWatch() {
    if (fd_ >= 0) ::close(fd_);
}

bool ServerFolderWatch::serverAppeared() {
    bool seen = false;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n <= 0) return seen;
        for (ssize_t off = 0; off < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buffer + off);
            for (const Socket& s : sockets_)
                if (e->len > 0 && e->wd == s.watch && std::strncmp(e->name, s.name.c_str(), s.name.size()) == 0 &&
                    (!s.whole || e->name[s.name.size()] == '\0'))
                    seen = true;
            off += ssize_t(sizeof(inotify_event) + e->len);
        }
    }
}

bool ServerFolderWatch::serverPresent() const {
    for (const Socket& s : sockets_) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(s.folder, ec)) {
            const std::string name = entry.path().filename().string();
            if (s.whole ? name == s.name : name.rfind(s.name, 0) == 0) return true;
        }
    }
    return false;
}

void ServerFolderWatch::add(const std::string& folder, const std::string& name, bool whole) {
    const int watch = inotify_add_watch(fd_, folder.c_str(), IN_CREATE | IN_MOVED_TO);
    if (watch >= 0) sockets_.push_back({watch, folder, name, whole});
}

}  // namespace morvelant::driver
