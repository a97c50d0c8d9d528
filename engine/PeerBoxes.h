// The boxes that what arrives from the MIDI ports raises (a damaged dump, a
// buffer overrun, a knob preset's import and its questions) come one at a
// time: a box that would open while another of them is up waits until that
// one has closed, so two never stand over each other.
#pragma once

#include <functional>
#include <vector>

class QObject;

namespace morvelant {

class PeerBoxLine {
public:
    PeerBoxLine();
    ~PeerBoxLine();
    PeerBoxLine(const PeerBoxLine&) = delete;
    PeerBoxLine& operator=(const PeerBoxLine&) = delete;

    // Runs `show` (which opens a box and returns once it is closed) at once
    // when no other box of the line is up; else once those before it have
    // closed, from the event loop. It is skipped when `owner` has gone by then.
    void Run(QObject* owner, std::function<void()> show);
    // Whether a box of the line is up.
    bool Open() const { return open_; }

private:
    struct Waiting;  // kept apart from the toolkit's headers, which the engine's own code does without
    bool open_ = false;
    std::vector<Waiting> waiting_;
};

}  // namespace morvelant
