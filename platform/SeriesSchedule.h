// When the ticks of a timed series of dumps are due: tick k at
// start + k * interval, so each gap between two sends is the delay the user
// set, whatever the timer's wake-up latency and however long a send took.
// A tick held back by more than half an interval (a message box ran its own
// event loop) starts the schedule again from that tick, so the series never
// makes up for lost time with dumps sent back to back.
//
// Times are milliseconds of a monotonic clock, handed in by the caller, so
// the schedule is tested with any clock.
#pragma once

#include <algorithm>
#include <cstdint>

namespace morvelant {

class SeriesSchedule {
public:
    // The series started (its first send) at `now`.
    void Start(int64_t now, int interval) {
        start_ = now;
        interval_ = std::max(interval, 1);
        ticks_ = 0;
    }
    // A tick came at `now` (before its send).
    void Tick(int64_t now) {
        ++ticks_;
        if (now - Deadline(ticks_) > interval_ / 2) start_ = now - ticks_ * interval_;
    }
    // The wait from `now` until the next tick is due; 0 when it is due already.
    int NextWait(int64_t now) const { return static_cast<int>(std::max<int64_t>(0, Deadline(ticks_ + 1) - now)); }
    // When tick k is due (tick 0 is the start).
    int64_t Deadline(int64_t k) const { return start_ + k * interval_; }
    int Interval() const { return interval_; }

private:
    int64_t start_ = 0;
    int64_t ticks_ = 0;
    int interval_ = 1;
};

}  // namespace morvelant
