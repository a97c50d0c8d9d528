// Who may run, and who may write the working sets.
//
// One copy of the editor runs per user: the single-instance lock in the
// user's runtime folder says so. Whatever the runtime folder, the folder
// that keeps a session's work (the program folder, or an installed copy's
// data folder) has one writer: every copy holds a lock on it, and that lock
// decides first. A second start is told in a box why it ends: another copy
// runs (for this user, or with these working sets). When the folder lock
// cannot be had at all, the copy goes on but saves its presets and patterns
// to files beside the working sets instead of over them (the same ones at
// every such start, which reads them back), unless the single-instance lock
// shows another copy. The folder's lock is a file made in it by name, which
// a folder that may be written but not read allows.
#pragma once

#include <optional>
#include <string>

#include "platform/SingleInstance.h"

namespace morvelant {

enum class StartDecision { Leave, Run, RunSavingBeside };

class InstanceGuard {
public:
    // `workFolder`: the folder that keeps the session's work (empty: none,
    // the end asks where).
    InstanceGuard(const std::string& lockName, const std::string& workFolder);

    // Before anything is shown: takes the locks; true when another copy
    // holds the single-instance lock (the run is then not worth preparing;
    // Decide still tells the user).
    bool AnotherCopyRuns();
    // Once message boxes can be shown: Run when both locks are held, else
    // what the locks allow, after telling the user.
    StartDecision Decide();
    // At the very end, after everything has been written.
    void Release();

    const SingleInstanceLock& Lock() const { return lock_; }

private:
    std::string folder_;
    SingleInstanceLock lock_;
    std::optional<SingleInstanceLock> folderLock_;
};

}  // namespace morvelant
