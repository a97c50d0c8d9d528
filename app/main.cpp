// The editor's entry point: one copy per user, a screen of at least 800 by
// 600 pixels, the windows created in their fixed order, the message loop,
// and an orderly end in which every window writes its configuration and the
// working sets are saved before the single-instance lock is given up.
//
// SIGTERM, SIGINT and SIGHUP (a desktop logging out, Ctrl+C, a closed
// terminal) end the message loop the normal way, so the working sets and the
// configuration are written exactly as at a normal exit. Messages of that end
// go to the standard error instead of boxes that nobody may be there to close.
//
// A second start is told in a box (and on the standard error) that a copy
// already runs, and ends. The close of the MIDI system at the end is
// bounded, so a MIDI server that no longer answers cannot keep the editor
// from ending; such an end has a non-zero status (3), as a session manager
// must not take it for a clean one.
//
// A start that fails (the driver library missing or damaged) shows why,
// writes nothing over the user's files and ends with status 1.
//
// Test hook: with the environment variable MORVELANT_EXIT_AFTER_START set
// (to anything non-empty), the message loop ends as soon as it has started,
// so a test can run a whole start and shut-down without a user.

#include <QApplication>
#include <QFontDatabase>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/EditorWindowSet.h"
#include "app/InstanceGuard.h"
#include "app/SessionPlace.h"
#include "engine/FileCommands.h"
#include "midikit/MidiKitDLL.h"
#include "platform/Dialogs.h"
#include "platform/ProgramPath.h"
#include "platform/QtDialogs.h"
#include "shell/Main.h"
#include "shell/MainMenu.h"

namespace {

using namespace morvelant;

// The message boxes of an end that nobody may be there to see (they write
// to the standard error).
const Dialogs* g_unattended = nullptr;

// Said in a box, and in the terminal the editor may have been started from.
void ShowException(const char* what) {
    if (&CurrentDialogs() != g_unattended)
        std::fprintf(stderr, "%s: %s\n", kApplicationTitle, what && *what ? what : "Unknown exception");
    CurrentDialogs().MessageBox(what && *what ? what : "Unknown exception", kApplicationTitle, MessageButtons::Ok,
                                MessageIcon::Error);
}

// An exception that no handler caught is shown, and the program goes on.
class EditorApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) { ShowException(e.what()); } catch (...) {
            ShowException(nullptr);
        }
        return false;
    }
};

// Ends the message loop when the application's main window has closed.
class MainWindowWatch : public QObject {
public:
    explicit MainWindowWatch(QWidget* window) : window_(window) { window->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Close) {
            // Decided once the window has handled the close (it may refuse).
            QTimer::singleShot(0, this, [this] {
                if (!window_->isVisible()) QCoreApplication::exit(0);
            });
        }
        return false;
    }

private:
    QWidget* window_;
};

// ---- Ending on a signal --------------------------------------------------------------
// The handler only writes a byte into a pipe; the event loop reads it.

int g_endPipe[2] = {-1, -1};
volatile std::sig_atomic_t g_endSignalled = 0;

extern "C" void OnEndSignal(int) {
    const int saved = errno;
    g_endSignalled = 1;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_endPipe[1], &byte, 1);
    errno = saved;
}

void CatchEndSignals() {
    if (::pipe2(g_endPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action {};
    action.sa_handler = OnEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

// Message boxes at an end that nobody may be there to see. A question with
// a Cancel is cancelled: a save that cannot be written then goes straight
// to the first place that takes it.
class StandardErrorDialogs : public SilentDialogs {
public:
    MessageResult MessageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                             MessageIcon icon) override {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        if (buttons == MessageButtons::YesNoCancel || buttons == MessageButtons::OkCancel) return MessageResult::Cancel;
        return SilentDialogs::MessageBox(text, caption, buttons, icon);
    }
};

// The status of an end that could not wait for the MIDI system's close,
// and of a start that failed.
constexpr int kForcedEndStatus = 3;
constexpr int kStartFailedStatus = 1;

// Bounds the close of the MIDI system at the end: a MIDI server that no
// longer answers (a stopped JACK server) must not keep the editor, and its
// locks, alive. Everything else has been saved before the close begins;
// when the close overruns, the configuration is written once more (what it
// says is told on the standard error) and the process ends at once, with
// status 3. The thread sleeps until the close ends or the time is up.
class MidiCloseWatchdog {
public:
    MidiCloseWatchdog(std::chrono::milliseconds limit, std::function<void()> beforeEnd)
        : limit_(limit), beforeEnd_(std::move(beforeEnd)) {}
    ~MidiCloseWatchdog() { Disarm(); }
    MidiCloseWatchdog(const MidiCloseWatchdog&) = delete;
    MidiCloseWatchdog& operator=(const MidiCloseWatchdog&) = delete;

    void Arm() {
        if (thread_.joinable()) return;
        closed_ = false;
        thread_ = std::thread([this] {
            std::unique_lock lock(mutex_);
            if (wake_.wait_for(lock, limit_, [this] { return closed_; })) return;
            lock.unlock();
            std::fprintf(stderr, "%s: the MIDI system did not close within %lld ms; the editor ends without it.\n",
                         kApplicationTitle, static_cast<long long>(limit_.count()));
            if (beforeEnd_) beforeEnd_();
            std::fflush(nullptr);
            ::_exit(kForcedEndStatus);  // the kernel frees the locks
        });
    }
    void Disarm() {
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

private:
    std::chrono::milliseconds limit_;
    std::function<void()> beforeEnd_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool closed_ = false;
    std::thread thread_;
};

// How long the MIDI system may take to close at the end.
constexpr std::chrono::milliseconds kMidiCloseLimit{2000};

// Loads the driver library on a worker thread and lets it connect to its
// MIDI server while the application and the windows are made: connecting
// (libjack maps and locks its shared memory) is the longest single step of
// the start. The driver connects once, for whoever asks first: the port
// set's own load of the library simply finds it done (or waits for it).
class DriverWarmUp {
public:
    DriverWarmUp() : thread_([this] { Run(); }) {}
    ~DriverWarmUp() { Join(); }
    DriverWarmUp(const DriverWarmUp&) = delete;
    DriverWarmUp& operator=(const DriverWarmUp&) = delete;

    // After the port set has loaded the library: this load is let go (the
    // library stays for the port set's).
    void Join() {
        if (thread_.joinable()) thread_.join();
        if (library_ != nullptr) ::dlclose(library_);
        library_ = nullptr;
    }

private:
    void Run() {
        // The file the toolkit root loads: the program folder's, else the
        // system's.
        const std::string folder = TMidiKit::LibraryFolder();
        const std::string path = folder + "/libMidiKit32.so";
        if (!folder.empty() && ::access(path.c_str(), F_OK) == 0)
            library_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        else
            library_ = ::dlopen("libMidiKit32.so", RTLD_NOW | RTLD_LOCAL);
        if (library_ == nullptr) return;  // the port set reports it
        using CountFunction = uint32_t (*)();
        if (auto count = reinterpret_cast<CountFunction>(::dlsym(library_, "GetNumInDevices"))) count();
    }

    void* library_ = nullptr;
    std::thread thread_;
};

// Fills the font database (every font of the system) on a worker thread
// while the first window is made, instead of in that window's first show on
// the GUI thread; the database serves every thread. Made once the
// application object is.
class FontWarmUp {
public:
    FontWarmUp() : thread_([] { QFontDatabase::families(); }) {}
    ~FontWarmUp() { Join(); }
    FontWarmUp(const FontWarmUp&) = delete;
    FontWarmUp& operator=(const FontWarmUp&) = delete;
    void Join() {
        if (thread_.joinable()) thread_.join();
    }

private:
    std::thread thread_;
};

int RunEditor(int argc, char** argv) {
    // Before the lock: once it is held, a signal always ends the run in order.
    CatchEndSignals();
    // The lock is on the folder that keeps the session's work: each user of
    // an installed copy has a folder of their own.
    InstanceGuard guard(kSingleInstanceName, FindWorkPlace(ProgramDirectory()).folder);
    // A copy that is told to leave has no MIDI to prepare.
    std::optional<DriverWarmUp> driver;
    if (!guard.AnotherCopyRuns()) driver.emplace();
    EditorApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    FontWarmUp fonts;
    QtDialogs dialogs;
    SetCurrentDialogs(&dialogs);

    // A signal that came while the editor was starting ends it once it runs.
    // From then on no box waits for an answer: the desktop may be going.
    StandardErrorDialogs unattended;
    g_unattended = &unattended;
    std::unique_ptr<QSocketNotifier> endNotifier;
    if (g_endPipe[0] >= 0) {
        endNotifier = std::make_unique<QSocketNotifier>(g_endPipe[0], QSocketNotifier::Read);
        QObject::connect(endNotifier.get(), &QSocketNotifier::activated, [&unattended] {
            char bytes[16];
            while (::read(g_endPipe[0], bytes, sizeof bytes) > 0) {}
            SetCurrentDialogs(&unattended);
            QCoreApplication::exit(0);  // every loop, a modal box's too
        });
    }

    const StartDecision decision = guard.Decide();
    if (decision == StartDecision::Leave) {
        SetCurrentDialogs(nullptr);
        return 0;
    }

    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect geometry = screen ? screen->geometry() : QRect(0, 0, 800, 600);
    if (!ScreenLargeEnough(geometry.width(), geometry.height())) {
        CurrentDialogs().MessageBox(kScreenTooSmall, kScreenTooSmallCaption, MessageButtons::Ok, MessageIcon::Warning);
        SetCurrentDialogs(nullptr);
        return 0;
    }
    // The application's title names the program to the desktop. It is not
    // made the display name: the platform would append that to every
    // window's caption.
    QApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));

    EditorWindowSet windows;
    windows.WorkingSetsBeside = decision == StartDecision::RunSavingBeside;
    windows.ShownWindowsMade = [&] {
        if (driver) driver->Join();
    };
    // A window that cannot be made (the driver library missing or damaged)
    // ends the run: the user is told why, and nothing is written over.
    int status = 0;
    windows.StartFailed = [&status](const char* what) {
        status = kStartFailedStatus;
        ShowException(what);
        QCoreApplication::exit(kStartFailedStatus);
    };
    try {
        std::vector<std::string> arguments;
        for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
        // The menu window, the main window, comes up first; the others
        // follow its first frame.
        windows.StartAsTheProgram(ProgramDirectory(), std::move(arguments));
        fonts.Join();
        // Closing the menu window ends the run.
        MainMenuForm->ProgramEnd = [] { QCoreApplication::exit(0); };
        MainWindowWatch watch(MainMenuForm);

        if (const char* exitAfterStart = std::getenv("MORVELANT_EXIT_AFTER_START"); exitAfterStart && *exitAfterStart)
            QTimer::singleShot(0, &app, [] { QCoreApplication::exit(0); });
        // A signal during the start has already asked for the end, which the
        // loop would not see once it starts.
        if (!g_endSignalled) QApplication::exec();
    } catch (...) {
        // The start itself failed: the same end.
        windows.AbandonStart();
        status = kStartFailedStatus;
        const std::exception_ptr failure = std::current_exception();
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception& e) { ShowException(e.what()); } catch (...) {
            ShowException(nullptr);
        }
    }
    if (g_endSignalled) SetCurrentDialogs(&unattended);
    MidiCloseWatchdog watchdog(kMidiCloseLimit, [&windows] {
        std::string said;
        if (!windows.FlushConfiguration(&said))
            std::fprintf(stderr, "%s: the settings could not be saved: %s\n", kApplicationTitle, said.c_str());
        else if (!said.empty())
            std::fprintf(stderr, "%s: the settings were %s.\n", kApplicationTitle, said.c_str());
    });
    windows.MidiClosing = [&watchdog] { watchdog.Arm(); };
    windows.MidiClosed = [&watchdog] { watchdog.Disarm(); };
    ShutDownEditor(
        guard, [&windows] { windows.WriteWorkingSets(); }, [&windows] { windows.DestroyAll(); });
    SetCurrentDialogs(nullptr);
#ifndef __SANITIZE_ADDRESS__
    // Everything is written, the MIDI system is closed and the lock given
    // up: what is left (the application object, the connection to the
    // window system, the libraries) goes with the process, at once. A
    // build that checks for leaks takes it all down in order instead.
    std::fflush(nullptr);
    ::_exit(status);
#endif
    return status;
}

}  // namespace

int main(int argc, char** argv) { return RunEditor(argc, argv); }
