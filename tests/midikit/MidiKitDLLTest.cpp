// Loading the driver library and resolving its entry points.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "midikit/MidiKitDLL.h"
#include "tests/midikit/MidiKitTestSupport.h"

using namespace morvelant;
using namespace morvelant::test;

namespace {

class LibraryFolderGuard {
public:
    explicit LibraryFolderGuard(const std::string& folder) { TMidiKit::SetLibraryFolder(folder); }
    ~LibraryFolderGuard() { TMidiKit::SetLibraryFolder(""); }
};

std::string LoadMessage(const std::string& folder) {
    LibraryFolderGuard guard(folder);
    try {
        TMidiKit kit;
    } catch (const EMidiKitException& e) { return e.what(); }
    return "(loaded)";
}

bool IsLoaded(const std::string& path) {
    void* h = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!h) return false;
    ::dlclose(h);
    return true;
}

}  // namespace

TEST(MidiKitDLL, LoadsTheLibraryFromTheSearchFolderAndResolvesEveryEntryPoint) {
    LibraryFolderGuard guard(VariantFolder("full"));
    TMidiKit kit;
    EXPECT_EQ(kit.LibraryPath(), VariantFolder("full") + "/libMidiKit32.so");
    EXPECT_EQ(kit.GetMidiKitVersion(), 0x0240);
    const void* pointers[] = {(void*)kit.pGetMidiKitVersion,
                              (void*)kit.pGetNumOutDevices,
                              (void*)kit.pGetMidiOutDescription,
                              (void*)kit.pOpenMidiOut,
                              (void*)kit.pResetMidiOut,
                              (void*)kit.pFlushMidiOut,
                              (void*)kit.pCloseMidiOut,
                              (void*)kit.pPutMidiOut,
                              (void*)kit.pGetNumInDevices,
                              (void*)kit.pGetMidiInDescription,
                              (void*)kit.pOpenMidiIn,
                              (void*)kit.pStartMidiIn,
                              (void*)kit.pStopMidiIn,
                              (void*)kit.pCloseMidiIn,
                              (void*)kit.pGetMidiIn,
                              (void*)kit.pOpenSync,
                              (void*)kit.pCloseSync,
                              (void*)kit.pStopSync,
                              (void*)kit.pStartSync,
                              (void*)kit.pPauseSync,
                              (void*)kit.pReStartSync,
                              (void*)kit.pSetTempo,
                              (void*)kit.pSetResolution,
                              (void*)kit.pGetTempo,
                              (void*)kit.pGetResolution,
                              (void*)kit.pGetPosition,
                              (void*)kit.pOpenSMF,
                              (void*)kit.pCloseSMF,
                              (void*)kit.pRewindSMF,
                              (void*)kit.pReadSMF,
                              (void*)kit.pWriteSMF,
                              (void*)kit.pGetSMFResolution,
                              (void*)kit.pSetSMFResolution,
                              (void*)kit.pReadMetaEvent,
                              (void*)kit.pWriteMetaEvent};
    static_assert(sizeof pointers / sizeof pointers[0] == MidiKitEntryPointCount);
    for (const void* p : pointers) EXPECT_NE(p, nullptr);
    // The pointers reach the loaded library: the stand-in has 2 inputs, 3 outputs.
    EXPECT_EQ(kit.pGetNumInDevices(), 2u);
    EXPECT_EQ(kit.pGetNumOutDevices(), 3u);
    char name[32];
    kit.pGetMidiOutDescription(2, name);
    EXPECT_STREQ(name, "Stub Out 2");
}

TEST(MidiKitDLL, VersionIsReadOnceAtLoad) {
    StubKit s;
    uint16_t first = s.kit->GetMidiKitVersion();
    s.control->SetVersion(0x0999);
    EXPECT_EQ(s.kit->pGetMidiKitVersion(), 0x0999);
    EXPECT_EQ(s.kit->GetMidiKitVersion(), first);
}

TEST(MidiKitDLL, MissingEntryPointIsNamedAndTheLibraryReleased) {
    struct Case {
        const char* variant;
        const char* message;
    } cases[] = {
        {"no_GetMidiKitVersion", "Failed to loadproc:GetMidiKitVersion"},
        // Nothing calls GetPosition, yet a library without it is refused.
        {"no_GetPosition", "Failed to loadproc:GetPosition"},
        {"no_OpenSMF", "Failed to loadproc:OpenSMF"},
        // The last name, after all 34 others resolved.
        {"no_WriteMetaEvent", "Failed to loadproc:WriteMetaEvent"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.variant);
        std::string path = VariantFolder(c.variant) + "/libMidiKit32.so";
        ASSERT_TRUE(std::filesystem::exists(path));
        EXPECT_EQ(LoadMessage(VariantFolder(c.variant)), c.message);
        EXPECT_FALSE(IsLoaded(path));
    }
}

TEST(MidiKitDLL, LibraryThatCannotBeLoadedGivesTheLoadMessage) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("midikit-bad-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    // Not a shared object at all.
    std::ofstream(dir / "libMidiKit32.so") << "not a library";
    EXPECT_EQ(LoadMessage(dir.string()), "Load of MidiKit32.dll failed");
    // No library in the folder, and none on the system's search path.
    fs::remove(dir / "libMidiKit32.so");
    EXPECT_EQ(LoadMessage(dir.string()), "Load of MidiKit32.dll failed");
    fs::remove_all(dir);
}

TEST(MidiKitDLL, ReleasesTheLibraryOnDestruction) {
    std::string path = VariantFolder("full") + "/libMidiKit32.so";
    std::vector<std::string> reports;
    TMidiKit::SetReleaseFailureReport([&](const std::string& m) { reports.push_back(m); });
    {
        LibraryFolderGuard guard(VariantFolder("full"));
        TMidiKit kit;
        EXPECT_TRUE(IsLoaded(path));
    }
    EXPECT_FALSE(IsLoaded(path));
    EXPECT_TRUE(reports.empty());
    TMidiKit::SetReleaseFailureReport(nullptr);
}

TEST(MidiKitDLL, ProgramFolderIsTheDefaultSearchFolder) {
    TMidiKit::SetLibraryFolder("");
    EXPECT_EQ(TMidiKit::LibraryFolder(), ExeFolder());
}

TEST(MidiKitDLL, ExceptionCarriesItsMessage) {
    EMidiKitException e("sync not open");
    EXPECT_STREQ(e.what(), "sync not open");
    EXPECT_EQ(e.Message(), "sync not open");
}

TEST(MidiKitDLL, OwnerDestroysTheRootComponentAndReleasesTheLibrary) {
    std::string path = VariantFolder("full") + "/libMidiKit32.so";
    {
        QObject owner;
        LibraryFolderGuard guard(VariantFolder("full"));
        auto* kit = new TMidiKit(&owner);
        EXPECT_EQ(kit->parent(), &owner);
        EXPECT_TRUE(IsLoaded(path));
    }
    EXPECT_FALSE(IsLoaded(path));
}
