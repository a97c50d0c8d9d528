#include "platform/KeptFile.h"

#include "platform/SafeFile.h"

namespace morvelant {

namespace {

// Numbered names ("Config 2.MVR" on) looked at for a kept file.
constexpr int kMostNumberedNames = 100;

// path with " n" before its extension.
std::string NumberedName(const std::string& path, int n) {
    const std::size_t slash = path.find_last_of('/');
    std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) dot = path.size();
    return path.substr(0, dot) + " " + std::to_string(n) + path.substr(dot);
}

}  // namespace

KeptFile KeepFileBeside(const std::string& path,
                        const std::function<KeptKind(const std::string& name, std::string* why)>& ours,
                        bool pathItself) {
    // A folder or a pipe among the names is passed over, as is every file
    // that is not ours: none is ever written over.
    KeptFile kept;
    for (int n = pathItself ? 1 : 2; n < kMostNumberedNames; ++n) {
        const std::string name = n == 1 ? path : NumberedName(path, n);
        if (!Occupied(name) || !NotAFileReason(name).empty()) continue;
        std::string why;
        const KeptKind kind = ours(name, &why);
        if (kind == KeptKind::Ours) return {name, true, kept.unread, kept.whyUnread};
        if (kind == KeptKind::OursUnread && kept.unread.empty()) {
            kept.unread = name;
            kept.whyUnread = why;
        }
    }
    kept.path = pathItself && !Occupied(path) ? path : FreeNameBeside(path);
    return kept;
}

}  // namespace morvelant
