#include "app/InstanceGuard.h"

#include <cstdio>

#include "platform/Dialogs.h"

namespace morvelant {

namespace {

constexpr char kLockCaption[] = "Warning !";

// Held by another process (not merely impossible to make).
bool HeldElsewhere(const SingleInstanceLock& lock) { return !lock.Held() && !lock.Failed(); }

}  // namespace

InstanceGuard::InstanceGuard(const std::string& lockName, const std::string& workFolder)
    : folder_(workFolder), lock_(lockName) {
    if (!folder_.empty()) folderLock_.emplace(SingleInstanceLock::OnFolder{folder_});
}

bool InstanceGuard::AnotherCopyRuns() {
    // The folder first: whoever sees this copy's runtime lock held sees its
    // working sets taken too.
    if (folderLock_) folderLock_->Acquire();
    lock_.Acquire();
    return HeldElsewhere(lock_);
}

StartDecision InstanceGuard::Decide() {
    // Without a folder that keeps the work there is none to share: the end
    // asks where to save it.
    if (lock_.Held() && (!folderLock_ || folderLock_->Held())) return StartDecision::Run;
    std::string message;
    const std::string lockPath = lock_.Path().empty() ? std::string("MorvelantEditor") : lock_.Path();
    if (lock_.Failed())
        message = "The editor could not make its single-instance lock \"" + lockPath + "\": " + lock_.Error() + ".\n";
    const std::string besideText = "so this session's presets and patterns will be saved to files beside "
                                   "\"Config.MVR\" and \"Config.MVT\" when it ends, the same ones that the next start "
                                   "unsure of it reads back.";
    StartDecision decision = StartDecision::Leave;
    if (folderLock_ && HeldElsewhere(*folderLock_)) {
        // Whatever the runtime folder: these working sets have a writer.
        message += "Another copy of the editor is running with the presets and patterns in \"" + folder_ +
            "\"; this one ends, so that it cannot write over them.";
    } else if (HeldElsewhere(lock_)) {
        message = "The editor is already running: use the windows of the copy that runs. This one ends.";
    } else if (!folderLock_) {
        message += "It goes on: at the end you will be asked where to save this session's presets and patterns.";
        decision = StartDecision::Run;
    } else if (folderLock_->Held()) {
        message += "No other copy of the editor works with the presets and patterns in \"" + folder_ +
            "\"; this one goes on.";
        decision = StartDecision::Run;
    } else if (lock_.Failed()) {
        message += "It cannot tell whether another copy is running, " + besideText;
        decision = StartDecision::RunSavingBeside;
    } else {
        // This user's only copy, but a copy under another runtime folder
        // could still work with these files.
        message = "The editor could not lock the folder \"" + folder_ + "\" that keeps its presets and patterns: " +
            folderLock_->Error() + ".\nIt cannot tell whether another copy works with the presets and patterns there, " +
            besideText;
        decision = StartDecision::RunSavingBeside;
    }
    // A start from a terminal that ends is also told there, at once.
    if (decision == StartDecision::Leave) std::fprintf(stderr, "%s: %s\n", kLockCaption, message.c_str());
    CurrentDialogs().MessageBox(message, kLockCaption, MessageButtons::Ok, MessageIcon::Warning);
    return decision;
}

void InstanceGuard::Release() {
    lock_.Release();
    if (folderLock_) folderLock_->Release();
}

}  // namespace morvelant
