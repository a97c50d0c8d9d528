// The editor started as the program builds it against a JACK server that
// does not answer (stopped, as a frozen one): its windows come up, it says
// the server does not answer, and once the server goes on it takes the
// server's ports and closes what it said.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>


#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <thread>

#include "engine/MidiPortSet.h"
#include "shell/Main.h"
#include "shell/MainMenu.h"
#include "tests/support/DriverProcess.h"
#include "tests/support/JackServer.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/StartedEditor.h"

namespace morvelant {
namespace {

using namespace std::chrono_literals;

// A JACK server of this test's own, stopped with SIGSTOP while it is held:
// the other tests' server is never touched.
class HeldServer {
public:
    HeldServer() : name_(testsupport::JackTestServerName() + "-held") {
        if (!script("start")) return;
        const char* tmp = std::getenv("TMPDIR");
        std::ifstream(std::string(tmp && *tmp ? tmp : "/tmp") + "/morvelant-jackd-" + name_ + ".pid") >> pid_;
    }
    ~HeldServer() {
        Release();
        script("stop");
    }
    bool Ok() const { return pid_ > 0; }
    const std::string& Name() const { return name_; }
    void Hold() { ::kill(pid_, SIGSTOP); }
    void Release() {
        if (pid_ > 0) ::kill(pid_, SIGCONT);
    }

private:
    bool script(const char* verb) const {
        const std::string cmd = "MORVELANT_JACK_SERVER='" + name_ + "' '" MORVELANT_SOURCE_DIR
                                "/scripts/jack-test-server.sh' " + verb + " >/dev/null 2>&1";
        return std::system(cmd.c_str()) == 0;
    }
    std::string name_;
    pid_t pid_ = 0;
};

TEST(SilentServerStarted, TheWindowsComeUpTheEditorSaysTheServerDoesNotAnswerAndTakesItWhenItDoes) {
    if (testsupport::TestServerIsPipeWire()) GTEST_SKIP() << "a JACK server of its own is held";
    MIDIKIT_IN_FRESH_PROCESS();
    HeldServer server;
    ASSERT_TRUE(server.Ok()) << "the held server did not start";
    ::setenv("JACK_DEFAULT_SERVER", server.Name().c_str(), 1);
    server.Hold();
    // Lets the server go on after a while whatever happens, so that a start
    // that waits for it ends and the test fails instead of hanging.
    std::mutex mx;
    std::condition_variable cv;
    bool started = false;
    std::atomic<bool> releasedEarly{false};
    std::thread release([&] {
        std::unique_lock lock(mx);
        if (!cv.wait_for(lock, 30s, [&] { return started; })) {
            releasedEarly = true;
            server.Release();
        }
    });
    testsupport::StartedEditor editor;
    ::setenv("MIDIKIT_BACKEND", "jack", 1);
    editor.StartAsTheProgram();
    {
        std::lock_guard lock(mx);
        started = true;
    }
    cv.notify_all();
    release.join();
    EXPECT_FALSE(releasedEarly) << "the start waited for the stopped server";
    ASSERT_NE(MainMenuForm, nullptr);
    EXPECT_FALSE(editor.Windows().MenuWindowAlone()) << "the other windows came up";
    ASSERT_TRUE(testsupport::PumpUntil([&] { return !editor.Dialogs.Messages().empty(); }, 20000));
    EXPECT_EQ(editor.Dialogs.Messages(), std::vector<std::string>{MidiPortSet::kServerSilentText});

    server.Release();
    EXPECT_TRUE(testsupport::PumpUntil([&] { return editor.Dialogs.closedMessages.size() == 1; }, 20000))
        << "the box closes once the server answers";
    EXPECT_EQ(editor.Dialogs.closedMessages, std::vector<std::string>{MidiPortSet::kServerSilentText});
    editor.Stop();
    ::unsetenv("JACK_DEFAULT_SERVER");
}

}  // namespace
}  // namespace morvelant
