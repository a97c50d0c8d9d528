// Where the running test executable lies.
#pragma once

#include <unistd.h>

#include <string>

namespace morvelant::testsupport {

// This test executable's full path and its folder (where the driver library is).
inline std::string ExePath() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return std::string(path, n > 0 ? static_cast<size_t>(n) : 0);
}

inline std::string ExeFolder() {
    const std::string path = ExePath();
    return path.substr(0, path.rfind('/'));
}

}  // namespace morvelant::testsupport
