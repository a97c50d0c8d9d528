// A timed series of dumps (presets or patterns, one per tick) and the
// progress dialog that shows it, as the senders see them. The list windows
// run the series; the dialog lives elsewhere and is handed to them.
#pragma once

#include <string>

namespace morvelant {

// A series that the progress dialog can stop (its Cancel, its close box).
class SendSeries {
public:
    virtual ~SendSeries() = default;
    // Stops the series if it runs; does nothing when it does not. May be
    // called while the dialog is closing.
    virtual void StopSendSeries() = 0;
};

class SendProgress {
public:
    virtual ~SendProgress() = default;
    // Shows the dialog for a series of `total` items, the first being
    // `slot` (0-based) named `name`; closing the dialog stops `series`.
    virtual void StartProgress(SendSeries& series, int total, int slot, const std::string& name) = 0;
    // The next item is being sent.
    virtual void ShowProgressItem(int slot, const std::string& name) = 0;
    // One item sent.
    virtual void StepProgress() = 0;
    // The series is over: the dialog closes and forgets it.
    virtual void EndProgress(SendSeries& series) = 0;
};

}  // namespace morvelant
