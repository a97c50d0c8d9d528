// The libjack the driver library loads must have every function the driver
// calls: one that lacks any is refused when it is loaded, with a message that
// names what it lacks, and none of its functions is called.
#include <gtest/gtest.h>

#include <jack/jack.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/driver/DriverTestSupport.h"

using namespace morvelant::drivertest;

// The stub's client opens and offers a peer port: a library taken although
// it lacks jack_connect would show a running server and a port to pick,
// whose connection it takes for made while nothing ever reaches it.
TEST(JackLibrary, OneThatLacksAFunctionIsRefusedByName) {
    const std::string stub = ExeFolder() + "/libjack_lacking_connect.so";
    ASSERT_EQ(::setenv("MIDIKIT_LIBJACK", stub.c_str(), 1), 0);
    testing::internal::CaptureStderr();
    auto kit = Kit::Load("jack");
    const uint32_t server = kit->Ok() ? kit->GetMidiKitServer() : 99;
    const size_t ports = kit->Ok() ? kit->OutNames().size() + kit->InNames().size() : 99;
    kit.reset();
    const std::string said = testing::internal::GetCapturedStderr();
    ::unsetenv("MIDIKIT_LIBJACK");
    EXPECT_EQ(said, "MidiKit32: the JACK library \"" + stub + "\" lacks jack_connect; it is not used\n");
    EXPECT_EQ(server, 0u) << "no server is reached through it";
    EXPECT_EQ(ports, 0u) << "no port is offered as if it could be connected";
}

// The driver library hushes libjack's messages while it is loaded. libjack
// stays loaded in a program that uses it too, and what it says once the
// driver library was unloaded (a client that finds no server) must not call
// into code that went with it.
TEST(JackLibrary, ItsMessagesOutliveTheDriverLibrary) {
    auto kit = Kit::Load("jack");
    ASSERT_TRUE(kit->Ok()) << kit->error;
    kit.reset();
    jack_status_t status{};
    jack_client_t* client = jack_client_open("JackLibraryTest", jack_options_t(JackNoStartServer | JackServerName),
                                             &status, "morvelant-no-such-server");
    EXPECT_EQ(client, nullptr);
    if (client) jack_client_close(client);
}

// A server whose socket is there but that refuses the first clients for a
// moment (jackd on a busy machine, still taking down the clients of a
// program that just ended) is tried again while the library's start waits
// for it: the program starts with the server's ports, not without a server.
TEST(JackLibrary, AServerThatRefusesTheFirstClientsForAMomentIsTakenAtTheStart) {
    char folder[] = "/tmp/jack-refusing-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string server = "morvelant-refusing-" + std::to_string(::getpid());
    const std::string socket =
        std::string(folder) + "/jack_" + server + "_" + std::to_string(::getuid()) + "_0";
    std::FILE* made = std::fopen(socket.c_str(), "w");
    ASSERT_NE(made, nullptr);
    std::fclose(made);
    const std::string stub = ExeFolder() + "/libjack_refusing_first.so";
    const char* before = std::getenv("JACK_DEFAULT_SERVER");
    const std::string saved = before ? before : "";
    ::setenv("JACK_TMPDIR", folder, 1);
    ::setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
    ::setenv("MIDIKIT_LIBJACK", stub.c_str(), 1);
    ::setenv("MORVELANT_STUB_REFUSALS", "2", 1);
    auto kit = Kit::Load("jack");
    const uint32_t reached = kit->Ok() ? kit->GetMidiKitServer() : 0;
    const auto outs = kit->Ok() ? kit->OutNames() : std::vector<std::string>{};
    kit.reset();
    for (const char* name : {"JACK_TMPDIR", "MIDIKIT_LIBJACK", "MORVELANT_STUB_REFUSALS"}) ::unsetenv(name);
    if (before)
        ::setenv("JACK_DEFAULT_SERVER", saved.c_str(), 1);
    else
        ::unsetenv("JACK_DEFAULT_SERVER");
    std::remove(socket.c_str());
    ::rmdir(folder);
    EXPECT_NE(reached, 0u) << "the server is reached at the start";
    EXPECT_EQ(outs, std::vector<std::string>{"synth:midi"}) << "its ports are listed at the start";
}
