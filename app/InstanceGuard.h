// Who may run, and who may write the working sets.
//
// One copy of the editor runs per user: the single-instance lock in the
// user's runtime folder says so, and a second copy leaves at once without a
// word. Every copy also holds a lock on its program folder, where the
// working sets are. When the single-instance lock cannot be made at all (a
// folder in its place, a runtime folder it may not write), the user is told,
// and the folder lock decides: another copy holds it (this one leaves
// without writing anything), none does (this one goes on), or it cannot be
// had either (this one goes on, but saves its presets and patterns to new
// files beside the working sets instead of over them).
#pragma once

#include <string>

#include "platform/SingleInstance.h"

namespace morvelant {

enum class StartDecision { Leave, Run, RunSavingBeside };

class InstanceGuard {
public:
    InstanceGuard(const std::string& lockName, const std::string& programDirectory);

    // Before anything is shown: true when another copy holds the
    // single-instance lock (then leave at once, silently).
    bool AnotherCopyRuns();
    // Once message boxes can be shown: Run when the lock is held, else what
    // the folder lock allows, after telling the user.
    StartDecision Decide();
    // At the very end, after everything has been written.
    void Release();

    const SingleInstanceLock& Lock() const { return lock_; }

private:
    std::string folder_;
    SingleInstanceLock lock_;
    SingleInstanceLock folderLock_;
};

}  // namespace morvelant
