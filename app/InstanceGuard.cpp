#include "app/InstanceGuard.h"

#include "platform/Dialogs.h"

namespace morvelant {

namespace {

constexpr char kLockCaption[] = "Warning !";

std::string FolderOrCurrent(const std::string& folder) { return folder.empty() ? std::string(".") : folder; }

}  // namespace

InstanceGuard::InstanceGuard(const std::string& lockName, const std::string& programDirectory)
    : folder_(FolderOrCurrent(programDirectory)),
      lock_(lockName),
      folderLock_(SingleInstanceLock::OnFolder{folder_}) {}

bool InstanceGuard::AnotherCopyRuns() {
    const bool held = lock_.Acquire();
    if (!held && !lock_.Failed()) return true;
    folderLock_.Acquire();
    return false;
}

StartDecision InstanceGuard::Decide() {
    if (lock_.Held()) return StartDecision::Run;
    const std::string lockPath = lock_.Path().empty() ? std::string("MorvelantEditor") : lock_.Path();
    std::string text = "The editor could not make its single-instance lock \"" + lockPath + "\": " + lock_.Error() +
        ".\n";
    StartDecision decision = StartDecision::Run;
    if (folderLock_.Held()) {
        text += "No other copy of the editor works with the presets and patterns in \"" + folder_ +
            "\"; this one goes on.";
    } else if (!folderLock_.Failed()) {
        text += "Another copy of the editor is running with the presets and patterns in \"" + folder_ +
            "\"; this one ends, so that it cannot write over them.";
        decision = StartDecision::Leave;
    } else {
        text += "It cannot tell whether another copy is running, so this session's presets and patterns will be "
                "saved to new files beside \"Config.MVR\" and \"Config.MVT\" when it ends.";
        decision = StartDecision::RunSavingBeside;
    }
    CurrentDialogs().MessageBox(text, kLockCaption, MessageButtons::Ok, MessageIcon::Warning);
    return decision;
}

void InstanceGuard::Release() {
    lock_.Release();
    folderLock_.Release();
}

}  // namespace morvelant
