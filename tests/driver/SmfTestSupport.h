// Loads the driver library from the test's own folder and resolves its MIDI
// file entry points, as the editor does, so that the tests exercise exactly
// the C interface that the toolkit calls.
#ifndef TESTS_DRIVER_SMFTESTSUPPORT_H
#define TESTS_DRIVER_SMFTESTSUPPORT_H

#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "driver/MidiKit32.h"
#include "tests/support/ExePath.h"

namespace morvelant::smftest {

struct SmfApi {
    void* library = nullptr;
    std::string error;
    decltype(&::OpenSMF) OpenSMF = nullptr;
    decltype(&::CloseSMF) CloseSMF = nullptr;
    decltype(&::RewindSMF) RewindSMF = nullptr;
    decltype(&::ReadSMF) ReadSMF = nullptr;
    decltype(&::WriteSMF) WriteSMF = nullptr;
    decltype(&::GetSMFResolution) GetSMFResolution = nullptr;
    decltype(&::SetSMFResolution) SetSMFResolution = nullptr;
    decltype(&::ReadMetaEvent) ReadMetaEvent = nullptr;
    decltype(&::WriteMetaEvent) WriteMetaEvent = nullptr;
    decltype(&::CloseSMFChecked) CloseSMFChecked = nullptr;
    bool Ok() const { return library && error.empty(); }
};

using testsupport::ExeFolder;

template <typename F>
void Resolve(SmfApi& api, F& fn, const char* name) {
    fn = reinterpret_cast<F>(dlsym(api.library, name));
    if (!fn && api.error.empty()) api.error = std::string("missing entry point ") + name;
}

inline const SmfApi& Smf() {
    static SmfApi api = [] {
        SmfApi a;
        const std::string path = ExeFolder() + "/libMidiKit32.so";
        a.library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!a.library) {
            a.error = dlerror();
            return a;
        }
        Resolve(a, a.OpenSMF, "OpenSMF");
        Resolve(a, a.CloseSMF, "CloseSMF");
        Resolve(a, a.RewindSMF, "RewindSMF");
        Resolve(a, a.ReadSMF, "ReadSMF");
        Resolve(a, a.WriteSMF, "WriteSMF");
        Resolve(a, a.GetSMFResolution, "GetSMFResolution");
        Resolve(a, a.SetSMFResolution, "SetSMFResolution");
        Resolve(a, a.ReadMetaEvent, "ReadMetaEvent");
        Resolve(a, a.WriteMetaEvent, "WriteMetaEvent");
        Resolve(a, a.CloseSMFChecked, "CloseSMFChecked");
        return a;
    }();
    return api;
}

// A fresh folder for one test, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "smftest.XXXXXX").string();
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (mkdtemp(buf.data())) path_ = buf.data();
    }
    ~TempFolder() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Every event of one track of an open file, read in chunks of the given size.
inline std::vector<MidiEvent> ReadAll(uint32_t handle, uint32_t track, uint32_t chunk = 0x2000) {
    std::vector<MidiEvent> all;
    std::vector<MidiEvent> buf(chunk);
    for (;;) {
        const uint32_t got = Smf().ReadSMF(handle, track, buf.data(), chunk);
        if (got == 0 || got > chunk) break;
        all.insert(all.end(), buf.begin(), buf.begin() + got);
    }
    return all;
}

inline MidiEvent Ev(uint32_t time, uint8_t status, uint8_t d1 = 0, uint8_t d2 = 0) {
    return MidiEvent{time, status, d1, d2, 0};
}

// Events as text, so that a mismatch shows which event differs. (Comparing
// text keeps operators for the library's C struct out of the tests.)
inline std::string Describe(const MidiEvent& e) {
    char text[48];
    std::snprintf(text, sizeof text, "%u:%02X %02X %02X %02X", e.time, e.status, e.data1, e.data2, e.data3);
    return text;
}

inline std::string Describe(const std::vector<MidiEvent>& events) {
    std::string s;
    for (const MidiEvent& e : events) s += Describe(e) + "\n";
    return s;
}

}  // namespace morvelant::smftest

#endif
