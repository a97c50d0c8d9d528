// The files the editor makes to keep a session's work where it cannot keep
// it under the usual names: beside a working set or configuration that
// cannot be read ("Config 2.MVR", "Morvelant 2.cfg"), or in a folder that
// holds the user's own files too (the home folder). Only a file the editor
// made for this is ever read back for it, or written over: the
// configuration records the working sets' files, and a kept configuration
// names itself.
#pragma once

#include <functional>
#include <string>

namespace morvelant {

// The configuration's records.
inline constexpr char kKeptFilesSection[] = "Kept Files";
inline constexpr char kKeptPresetsKey[] = "Presets";
inline constexpr char kKeptPatternsKey[] = "Patterns";
inline constexpr char kKeptSettingsKey[] = "Settings";

// The one file beside `path` that keeps the work instead of it, the same at
// every start. `ours` tells whether a file is the editor's (and reads it,
// when it is). The first of the numbered names ("Config 2.MVR"; `path`
// itself first, given `pathItself`) that is ours and reads is read back;
// one that is ours but does not read is named in `unread`, with why, and
// left as it is, as every file of the user's own; else the first free name
// (`path` itself, given `pathItself`, when it is free).
enum class KeptKind { NotOurs, Ours, OursUnread };
struct KeptFile {
    std::string path;
    bool readBack = false;
    std::string unread;
    std::string whyUnread;
};
KeptFile KeepFileBeside(const std::string& path,
                        const std::function<KeptKind(const std::string& name, std::string* why)>& ours,
                        bool pathItself = false);

}  // namespace morvelant
