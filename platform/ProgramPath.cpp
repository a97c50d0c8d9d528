#include "platform/ProgramPath.h"

#include <unistd.h>
#include <mutex>

namespace morvelant {

namespace {

std::mutex& Guard() {
    static std::mutex m;
    return m;
}

std::string& Override() {
    static std::string folder;
    return folder;
}

std::string ExecutableFolder() {
    std::string buf(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n <= 0 || static_cast<size_t>(n) >= buf.size()) return {};
    buf.resize(static_cast<size_t>(n));
    const size_t slash = buf.rfind('/');
    if (slash == std::string::npos) return {};
    return buf.substr(0, slash + 1);
}

}  // namespace

std::string ProgramDirectory() {
    {
        std::lock_guard lock(Guard());
        if (!Override().empty()) return Override();
    }
    static const std::string folder = ExecutableFolder();
    return folder;
}

std::string ProgramFile(const std::string& name) { return ProgramDirectory() + name; }

std::string ConfigFileName() { return ProgramFile("Morvelant.cfg"); }

std::string ConfigFileIn(const std::string& folder) {
    if (folder.empty()) return ConfigFileName();
    return folder.back() == '/' ? folder + "Morvelant.cfg" : folder + "/Morvelant.cfg";
}

void SetProgramDirectory(const std::string& folder) {
    std::lock_guard lock(Guard());
    Override() = folder;
    if (!folder.empty() && folder.back() != '/') Override().push_back('/');
}

}  // namespace morvelant
