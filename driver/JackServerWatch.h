// What the JACK backend's threads sleep on: a wake-up one thread posts and
// another sleeps on, and the watch on the folders where servers put their
// sockets, which tells the backend, while no server runs, that one may
// have started.
#ifndef MIDIKIT_DRIVER_JACKSERVERWATCH_H
#define MIDIKIT_DRIVER_JACKSERVERWATCH_H

#include <string>
#include <vector>

namespace morvelant::driver {

// Posting is one write on an eventfd, which the process callback may do.
class Wake {
public:
    Wake();
    ~Wake();
    Wake(const Wake&) = delete;
    Wake& operator=(const Wake&) = delete;
    void post() const;
    void clear() const;
    int fd() const { return fd_; }

private:
    int fd_;
};

// Sleeps until one of the descriptors (-1: none) can be read, or the time
// (ms, -1: none) passes.
void sleepOn(int a, int b, int timeoutMs);

// Watches the folders where JACK servers put their sockets ($JACK_TMPDIR,
// and /dev/shm where the server of this system does) for the socket of the
// server our client would connect to, and PipeWire's runtime folder for
// PipeWire's socket.
class ServerFolderWatch {
public:
    ServerFolderWatch();
    ~ServerFolderWatch();
    ServerFolderWatch(const ServerFolderWatch&) = delete;
    ServerFolderWatch& operator=(const ServerFolderWatch&) = delete;
    bool watching() const { return !sockets_.empty(); }
    int fd() const { return watching() ? fd_ : -1; }
    // Reads what happened; true when an entry a server makes appeared.
    bool serverAppeared();
    // Whether a server's socket is there now.
    bool serverPresent() const;

private:
    // A socket name in a folder: its start, or (whole) all of it.
    struct Socket {
        int watch;
        std::string folder;
        std::string name;
        bool whole;
    };
    void add(const std::string& folder, const std::string& name, bool whole);
    int fd_;
    std::vector<Socket> sockets_;
};

}  // namespace morvelant::driver

#endif
