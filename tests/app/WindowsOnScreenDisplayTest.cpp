// The editor's windows under a real window manager: the built editor as a
// process on a virtual X server with openbox (scripts/on-display.sh), over
// real restarts at given screen sizes. Windows are moved as a user moves
// them, by dragging the title bar with the mouse, and read back from the X
// server, frame included. A display that cannot start fails the test.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRect>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/IniFile.h"
#include "shell/WindowBookkeeping.h"
#include "tests/support/ExePath.h"
#include "tests/support/FileBytes.h"
#include "tests/support/PollUntil.h"

// Last: Xlib defines names that other headers use.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace morvelant {
namespace {

using namespace std::chrono_literals;
using testsupport::PollUntil;

std::string Contents(const QString& path) { return testsupport::Slurp(path.toStdString()); }

// A window as the X server shows it: its frame (the window manager's
// decoration included) and its client area, both in screen coordinates.
struct Shown {
    std::string title;
    QRect frame, client;
    unsigned long id = 0;  // the client window, not compared
    bool operator==(const Shown& o) const { return title == o.title && frame == o.frame && client == o.client; }
    QRect TitleBar() const { return {frame.left(), frame.top(), frame.width(), client.top() - frame.top()}; }
};
// The menu window holds the menu bar and nothing else: no other window is as low.
bool IsMenuStrip(const Shown& w) { return w.client.height() <= 45; }
// Windows by their titles; the menu window takes the active window's.
std::string Key(const Shown& w) { return IsMenuStrip(w) ? "the menu strip" : w.title; }

std::ostream& operator<<(std::ostream& os, const Shown& w) {
    return os << '"' << w.title << "\" frame " << w.frame.x() << ',' << w.frame.y() << ' ' << w.frame.width() << 'x'
              << w.frame.height();
}

// The window manager's frames (the root window's children) as the X server
// reports them on a connection of its own: each frame's geometry when it is
// mapped, and every move or resize of a mapped frame after that. Menus and
// other windows the window manager does not frame are left out.
class FrameWatch {
public:
    explicit FrameWatch(const char* display) : x_(XOpenDisplay(display)) {
        if (x_ == nullptr) return;
        XSelectInput(x_, DefaultRootWindow(x_), SubstructureNotifyMask);
        XSync(x_, False);
    }
    ~FrameWatch() {
        if (x_ != nullptr) XCloseDisplay(x_);
    }
    // "title: from -> to" for each frame change after its map since the last call.
    std::vector<std::string> Moved() {
        Read();
        return std::exchange(moved_, {});
    }
    int Mapped() {
        Read();
        return mapped_;
    }

private:
    struct Frame {
        QRect at;
        bool mapped = false, unmanaged = false;
    };
    void Read() {
        while (x_ != nullptr && XPending(x_) > 0) {
            XEvent e;
            XNextEvent(x_, &e);
            switch (e.type) {
                case CreateNotify: {
                    const XCreateWindowEvent& c = e.xcreatewindow;
                    frames_[c.window] = {QRect(c.x, c.y, c.width, c.height), false, c.override_redirect != 0};
                    break;
                }
                case ConfigureNotify: {
                    const XConfigureEvent& c = e.xconfigure;
                    Frame& f = frames_[c.window];
                    const QRect to(c.x, c.y, c.width, c.height);
                    if (f.mapped && !f.unmanaged && to != f.at) moved_.push_back(Describe(c.window, f.at, to));
                    f.at = to;
                    break;
                }
                case MapNotify:
                    if (Frame& f = frames_[e.xmap.window]; !(f.unmanaged = f.unmanaged || e.xmap.override_redirect)) {
                        f.mapped = true;
                        ++mapped_;
                    }
                    break;
                case UnmapNotify: frames_[e.xunmap.window].mapped = false; break;
                case DestroyNotify: frames_.erase(e.xdestroywindow.window); break;
                case ReparentNotify: frames_.erase(e.xreparent.window); break;
            }
        }
    }
    // The title of the window in the frame, found while the frame stands.
    std::string Title(Window w) const {
        char* name = nullptr;
        if (XFetchName(x_, w, &name) && name != nullptr) {
            std::string title(name);
            XFree(name);
            return title;
        }
        Window root, parent, *children = nullptr;
        unsigned count = 0;
        std::string title;
        if (XQueryTree(x_, w, &root, &parent, &children, &count)) {
            for (unsigned i = 0; i < count && title.empty(); ++i) title = Title(children[i]);
            if (children != nullptr) XFree(children);
        }
        return title;
    }
    std::string Describe(Window w, QRect from, QRect to) const {
        std::ostringstream os;
        const auto rect = [&](QRect r) { os << r.x() << ',' << r.y() << ' ' << r.width() << 'x' << r.height(); };
        os << '"' << Title(w) << "\" ";
        rect(from);
        os << " -> ";
        rect(to);
        return os.str();
    }

    Display* x_;
    std::map<Window, Frame> frames_;
    std::vector<std::string> moved_;
    int mapped_ = 0;
};

// One run of the editor on an X server of its own with openbox.
class DisplayRun {
public:
    // `home`: the user's home and the editor's working folder (else the test's).
    // `set`: variables the editor gets beside the test's.
    // `wm`: with openbox, else none. `stall`: openbox stopped from before the
    // editor starts until this long after (a window manager slow to answer).
    DisplayRun(const QString& program, const QString& runtime, const char* screen, const QString& home = {},
               const std::map<QString, QString>& set = {}, bool wm = true,
               std::chrono::milliseconds stall = std::chrono::milliseconds(0))
        : wm_(wm) {
        const QString started = runtime + "/display";
        QFile::remove(started);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime);
        env.insert("MIDIKIT_BACKEND", "loopback");
        // No session bus: without one, the menu bar's look for the desktop's
        // global menu has libdbus fork to launch a bus, and a child forked
        // from the sanitizers' build can hang on a lock another thread held.
        env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + runtime + "/no-session-bus");
        env.remove("MORVELANT_EXIT_AFTER_START");
        for (const auto& [name, value] : set) env.insert(name, value);
        if (!home.isEmpty()) {
            env.insert("HOME", home);
            // No print server: the print dialog offers a file.
            env.insert("CUPS_SERVER", runtime + "/no-print-server");
            process_.setWorkingDirectory(home);
        }
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::ForwardedChannels);
        // The shell tells the display and its own process id, which the
        // editor takes over.
        // It waits for a line on `go` before the editor starts, so that a
        // watch of the display sees its first window.
        const QString go = runtime + "/go";
        QFile::remove(go);
        ::mkfifo(go.toLocal8Bit().constData(), 0600);
        QStringList arguments{"--screen", screen};
        if (!wm) arguments << "--no-wm";
        arguments << "--" << "sh" << "-c"
                  << "echo \"$DISPLAY $$\" >\"$0.new\"; mv \"$0.new\" \"$0\"; read go <\"$1\"; exec \"$2\"" << started
                  << go << program + "/MorvelantEditor";
        process_.start(MORVELANT_SOURCE_DIR "/scripts/on-display.sh", arguments);
        PollUntil([&] { return QFile::exists(started) || process_.state() == QProcess::NotRunning; }, 120s, 20ms);
        std::istringstream said(Contents(started));
        said >> display_ >> editor_;
        // A window may go while the test reads it: its error is no fault of the test's.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        if (!display_.empty()) x_ = XOpenDisplay(display_.c_str());
        if (Started()) watch_ = std::make_unique<FrameWatch>(display_.c_str());
        // The window manager: the display wrapper's child of that name.
        const pid_t openbox = stall.count() > 0 ? Child(pid_t(process_.processId()), "openbox") : 0;
        if (openbox > 0) ::kill(openbox, SIGSTOP);
        // The shell reads the line now: it has told its display.
        if (const int fd = ::open(go.toLocal8Bit().constData(), O_WRONLY); fd >= 0) {
            (void)!::write(fd, "go\n", 3);
            ::close(fd);
        }
        if (openbox > 0) {
            std::this_thread::sleep_for(stall);
            ::kill(openbox, SIGCONT);
        }
    }

    // The frames' moves and resizes after their map since the last call.
    std::vector<std::string> MovedAfterMap() const { return watch_ ? watch_->Moved() : std::vector<std::string>{}; }
    int FramesMapped() const { return watch_ ? watch_->Mapped() : 0; }

    // Presses a key with modifiers into the focused window, as a user does.
    void Key(KeySym key, std::initializer_list<KeySym> modifiers = {}) const {
        for (const KeySym m : modifiers) XTestFakeKeyEvent(x_, XKeysymToKeycode(x_, m), True, 0);
        XTestFakeKeyEvent(x_, XKeysymToKeycode(x_, key), True, 10);
        XTestFakeKeyEvent(x_, XKeysymToKeycode(x_, key), False, 10);
        for (const KeySym m : modifiers) XTestFakeKeyEvent(x_, XKeysymToKeycode(x_, m), False, 10);
        XSync(x_, False);
    }
    ~DisplayRun() { End(); }

    bool Started() const { return x_ != nullptr && editor_ > 0; }

    // The editor's mapped windows, once the window manager has framed them.
    // With no window manager, the top-level windows that have a title, with no frame.
    std::vector<Shown> Windows() const {
        std::vector<Shown> shown;
        for (const Window w : wm_ ? Property<Window>(DefaultRootWindow(x_), "_NET_CLIENT_LIST", XA_WINDOW) : TopLevels()) {
            XWindowAttributes a;
            const std::vector<long> extents =
                wm_ ? Property<long>(w, "_NET_FRAME_EXTENTS", XA_CARDINAL) : std::vector<long>(4, 0);
            Window child;
            int x = 0, y = 0;
            if (!XGetWindowAttributes(x_, w, &a) || a.map_state != IsViewable || a.override_redirect ||
                extents.size() != 4 || !XTranslateCoordinates(x_, w, DefaultRootWindow(x_), 0, 0, &x, &y, &child))
                continue;
            const QRect client(x, y, a.width, a.height);
            const QRect frame = client.adjusted(int(-extents[0]), int(-extents[2]), int(extents[1]), int(extents[3]));
            const std::vector<char> name = Property<char>(w, "_NET_WM_NAME", XInternAtom(x_, "UTF8_STRING", False));
            if (!name.empty()) shown.push_back({std::string(name.begin(), name.end()), frame, client, w});
        }
        return shown;
    }
    // With no window manager, the root window's children stand for its list.
    std::vector<Window> TopLevels() const {
        Window root, parent, *children = nullptr;
        unsigned count = 0;
        std::vector<Window> all;
        if (XQueryTree(x_, DefaultRootWindow(x_), &root, &parent, &children, &count)) all.assign(children, children + count);
        if (children != nullptr) XFree(children);
        return all;
    }

    // The mapped window of that key (title, or "the menu strip") as the X
    // server shows it now; none when it is not shown.
    std::optional<Shown> Now(const std::string& key) const {
        for (const Shown& w : Windows())
            if (::morvelant::Key(w) == key) return w;
        return std::nullopt;
    }

    // Drags a window by the middle of its title bar until its frame's corner
    // is at `to`, as the window manager answers: the grip is taken where the
    // window stands now, the button is let go only once the window manager
    // shows the frame where the pointer put it (on a loaded machine it
    // follows the pointer late), and the drag ends when the window manager
    // has let the pointer go (a press while it still holds the pointer goes
    // to it, not to the title bar under it). Whether it got there.
    bool Drag(const std::string& key, QPoint to) const {
        const std::optional<Shown> w = Now(key);
        if (!w) return false;
        const QPoint grip(w->frame.center().x(), (w->frame.top() + w->client.top()) / 2);
        const QPoint end = grip + to - w->frame.topLeft();
        XTestFakeMotionEvent(x_, -1, grip.x(), grip.y(), 0);
        XTestFakeButtonEvent(x_, 1, True, 0);
        for (int step = 1; step <= 10; ++step) {
            const QPoint p = grip + (end - grip) * step / 10;
            XTestFakeMotionEvent(x_, -1, p.x(), p.y(), 20);
        }
        XSync(x_, False);
        const bool followed = PollUntil(
            [&] {
                const std::optional<Shown> now = Now(key);
                return now && now->frame.topLeft() == to;
            },
            30s, 20ms);
        XTestFakeButtonEvent(x_, 1, False, 0);
        XSync(x_, False);
        const bool letGo = PollUntil(
            [&] {
                if (XGrabPointer(x_, DefaultRootWindow(x_), False, 0, GrabModeAsync, GrabModeAsync, None, None,
                                 CurrentTime) != GrabSuccess)
                    return false;
                XUngrabPointer(x_, CurrentTime);
                XSync(x_, False);
                return true;
            },
            30s, 20ms);
        return followed && letGo;
    }

    // Clicks at a point until window `id` has the keys, as a user does;
    // whether it got them. Clicks far apart: two close together on a title
    // bar maximize the window.
    bool ClickUntilFocused(unsigned long id, QPoint at) const {
        int clicks = 0;
        return PollUntil(
            [&] {
                if (FocusedWindow() == id) return true;
                if (clicks++ % 40 == 0) Click(at);
                return false;
            },
            30s, 50ms);
    }
    // A click of a mouse button at a point of the screen.
    void Click(QPoint at, unsigned button = 1) const {
        XTestFakeMotionEvent(x_, -1, at.x(), at.y(), 0);
        XTestFakeButtonEvent(x_, button, True, 20);
        XTestFakeButtonEvent(x_, button, False, 20);
        XSync(x_, False);
    }
    // Where a popup menu (a window the window manager does not frame) is
    // shown, the largest if several; empty for none.
    QRect Popup() const {
        Window root, parent, *children = nullptr;
        unsigned count = 0;
        QRect shown;
        if (XQueryTree(x_, DefaultRootWindow(x_), &root, &parent, &children, &count) == 0) return shown;
        for (unsigned i = 0; i < count; ++i) {
            XWindowAttributes a;
            // The toolkit's hidden helper windows are a pixel wide.
            if (XGetWindowAttributes(x_, children[i], &a) && a.map_state == IsViewable && a.override_redirect &&
                a.width > 10 && a.height > 10 && a.width * a.height > shown.width() * shown.height())
                shown = QRect(a.x, a.y, a.width, a.height);
        }
        if (children != nullptr) XFree(children);
        return shown;
    }
    // The window that has the keyboard (a window of Windows()), 0 for none.
    unsigned long FocusedWindow() const {
        Window w = 0;
        int revert = 0;
        XGetInputFocus(x_, &w, &revert);
        for (int up = 0; up < 8 && w != None && w != PointerRoot && w != DefaultRootWindow(x_); ++up) {
            if (!Property<char>(w, "_NET_WM_NAME", XInternAtom(x_, "UTF8_STRING", False)).empty()) return w;
            Window root, parent, *children = nullptr;
            unsigned count = 0;
            if (XQueryTree(x_, w, &root, &parent, &children, &count) == 0) break;
            if (children != nullptr) XFree(children);
            w = parent;
        }
        return 0;
    }
    // The title of the window that has the keyboard.
    std::string Focused() const {
        const std::vector<char> name =
            Property<char>(FocusedWindow(), "_NET_WM_NAME", XInternAtom(x_, "UTF8_STRING", False));
        return {name.begin(), name.end()};
    }
    bool Running() const { return process_.state() != QProcess::NotRunning; }

    // Closes a window as a user does with its frame's close button: the
    // window manager is asked to close it and sends the editor its close
    // message, behind every move it told the editor of before. Closing the
    // menu strip ends the editor; its exit status as Ended() gives it.
    int Close(const std::string& key) {
        if (const std::optional<Shown> w = Now(key)) {
            XEvent e{};
            e.xclient.type = ClientMessage;
            e.xclient.window = w->id;
            e.xclient.message_type = XInternAtom(x_, "_NET_CLOSE_WINDOW", False);
            e.xclient.format = 32;
            e.xclient.data.l[0] = CurrentTime;
            e.xclient.data.l[1] = 2;  // asked for by a user's tool
            XSendEvent(x_, DefaultRootWindow(x_), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
            XSync(x_, False);
        }
        return Ended(120s);
    }

    // Ends the editor by its end signal; the display ends with it. The
    // editor's exit status, -1 for a crash.
    int End() {
        Disconnect();
        if (editor_ > 0 && process_.state() != QProcess::NotRunning) ::kill(editor_, SIGTERM);
        return Ended(120s);
    }
    // Waits for the editor to end by itself within `limit`; the display
    // ends with it. Its exit status, -1 for a crash or none. The test's
    // connections close first: the keys sent are on the server.
    int Ended(std::chrono::seconds limit) {
        Disconnect();
        if (process_.state() != QProcess::NotRunning && !process_.waitForFinished(int(limit.count() * 1000))) {
            // The editor first: the display's wrapper killed alone left it
            // running, with the test's output still open, after a failure.
            // The wrapper then ends its display and window manager itself.
            if (editor_ > 0) ::kill(editor_, SIGKILL);
            if (!process_.waitForFinished(10000)) {
                process_.kill();
                process_.waitForFinished();
            }
        }
        editor_ = 0;
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }

private:
    void Disconnect() {
        watch_.reset();
        if (x_ != nullptr) XCloseDisplay(x_);  // before the display goes
        x_ = nullptr;
    }
    template <typename T>
    std::vector<T> Property(Window w, const char* name, Atom type) const {
        Atom actual;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        std::vector<T> values;
        if (XGetWindowProperty(x_, w, XInternAtom(x_, name, False), 0, 4096, False, type, &actual, &format, &count,
                               &after, &data) == Success &&
            data != nullptr) {
            // 32-bit items come as longs, 8-bit ones as chars.
            if (format == 32 || format == 8) values.assign(reinterpret_cast<T*>(data), reinterpret_cast<T*>(data) + count);
            XFree(data);
        }
        return values;
    }

    // The process id of `parent`'s child named `name`, 0 for none.
    static pid_t Child(pid_t parent, const std::string& name) {
        pid_t found = 0;
        PollUntil(
            [&] {
                const QString task = "/proc/" + QString::number(parent) + "/task/" + QString::number(parent);
                std::istringstream children(Contents(task + "/children"));
                for (pid_t child = 0; found == 0 && children >> child;)
                    if (Contents("/proc/" + QString::number(child) + "/comm") == name + "\n") found = child;
                return found > 0;
            },
            30s, 20ms);
        return found;
    }

    bool wm_ = true;
    QProcess process_;
    Display* x_ = nullptr;
    std::string display_;
    pid_t editor_ = 0;
    std::unique_ptr<FrameWatch> watch_;
};

class WindowsOnScreen : public ::testing::Test {
protected:
    void SetUp() override {
        const QString bin = QString::fromStdString(testsupport::ExeFolder());
        ASSERT_TRUE(program.isValid() && runtime.isValid());
        for (const char* file : {"MorvelantEditor", "libMidiKit32.so"}) {
            ASSERT_TRUE(QFile::copy(bin + "/" + file, program.filePath(file))) << file;
            QFile::setPermissions(program.filePath(file), QFile::permissions(bin + "/" + file));
        }
    }
    QString Cfg() const { return program.filePath("Morvelant.cfg"); }

    // The editor's windows once it shows `count` of them, all standing still.
    static std::vector<Shown> Shows(const DisplayRun& run, size_t count) {
        std::vector<Shown> shown, before;
        PollUntil([&] { return (shown = run.Windows()).size() >= count; }, 120s, 50ms);
        PollUntil([&] { return std::exchange(before, shown) == (shown = run.Windows()); }, 30s, 300ms);
        EXPECT_EQ(shown.size(), count);
        return shown;
    }

    QTemporaryDir program;
    QTemporaryDir runtime;
};

const Shown* Find(const std::vector<Shown>& windows, const std::string& key) {
    for (const Shown& w : windows)
        if (Key(w) == key) return &w;
    return nullptr;
}

// Polls until the windows stand where `expected` says (by title, menu
// strip apart); the windows last read.
std::vector<Shown> Settle(const DisplayRun& run, const std::map<std::string, QRect>& expected) {
    std::vector<Shown> shown;
    PollUntil(
        [&] {
            shown = run.Windows();
            for (const auto& [key, frame] : expected)
                if (const Shown* w = Find(shown, key); w == nullptr || w->frame != frame) return false;
            return true;
        },
        20s, 50ms);
    return shown;
}

// The editor's variables for a start with no MIDI server, which it says in a box.
std::map<QString, QString> NoMidiServer() {
    return {{"MIDIKIT_BACKEND", "jack"},
            {"JACK_NO_START_SERVER", "1"},
            {"JACK_DEFAULT_SERVER", "morvelant-none-" + QString::number(::getpid())}};
}

// The windows moved to the lower right of a large screen, then two starts
// on a smaller one: the first brings each window whole onto the screen,
// moving it no further than it must, frame included, and the second finds
// every window where the first left it and leaves the file as it was.
TEST_F(WindowsOnScreen, WindowsBroughtOntoASmallerScreenStayWhereTheyCameAndWhole) {
    const std::string device = "Virtual Morvelant           (Preset 1)  Preset 1";
    std::vector<Shown> large;
    {
        DisplayRun run(program.path(), runtime.path(), "1920x1200");
        ASSERT_TRUE(run.Started()) << "the virtual display or the editor did not start";
        const std::vector<Shown> first = Shows(run, 6);
        const Shown* deviceWindow = Find(first, device);
        const Shown* strip = Find(first, "the menu strip");
        ASSERT_TRUE(deviceWindow != nullptr && strip != nullptr);
        const QRect stripTo(QPoint(900, 1130), strip->frame.size());
        // The strip first: it may lie over the other's title bar.
        ASSERT_TRUE(run.Drag("the menu strip", stripTo.topLeft())) << "the window manager did not move the strip";
        Settle(run, {{"the menu strip", stripTo}});
        ASSERT_TRUE(run.Drag(device, {1250, 700})) << "the window manager did not move the device window";
        large = Settle(run, {{device, QRect(QPoint(1250, 700), deviceWindow->frame.size())}, {"the menu strip", stripTo}});
        ASSERT_EQ(Find(large, device)->frame.topLeft(), QPoint(1250, 700));
        ASSERT_EQ(Find(large, "the menu strip")->frame.topLeft(), QPoint(900, 1130));
        // Closed by its menu strip, as a user ends it: the editor reads the
        // close behind the moves (an end signal can come before it has read
        // them on a loaded machine, and the places it stores are then the
        // ones before).
        EXPECT_EQ(run.Close("the menu strip"), 0);
    }
    const TIniFile ini(Cfg().toStdString());
    EXPECT_EQ(ini.ReadInteger("Main Form", "Left", -1), 1250);
    EXPECT_EQ(ini.ReadInteger("Main Form", "Top", -1), 700);

    // Each window comes the shortest way onto the screen, frame and all.
    const QRect screen(0, 0, 1366, 768);
    std::map<std::string, QRect> expected;
    for (const Shown& w : large) {
        const QPoint corner(std::min(w.frame.x(), screen.right() + 1 - w.frame.width()),
                            std::min(w.frame.y(), screen.bottom() + 1 - w.frame.height()));
        expected[Key(w)] = QRect(corner, w.frame.size());
    }
    std::string kept;
    for (int start = 0; start < 2; ++start) {
        SCOPED_TRACE(start == 0 ? "the first start on the smaller screen" : "the next start");
        DisplayRun run(program.path(), runtime.path(), "1366x768");
        ASSERT_TRUE(run.Started());
        Shows(run, large.size());
        EXPECT_EQ(run.MovedAfterMap(), std::vector<std::string>());
        for (const Shown& w : Settle(run, expected)) {
            EXPECT_TRUE(screen.contains(w.frame)) << w;
            EXPECT_EQ(w.frame, expected[Key(w)]) << w;
        }
        run.End();
        if (start == 1) {
            EXPECT_EQ(Contents(Cfg()), kept);
        }
        kept = Contents(Cfg());
    }
}

// The first start on each screen size, every window that the start can
// reopen shown at its default place: the menu strip lies over no title
// bar, and it is as high as the file says, frame included. A session that
// changes nothing leaves the file as it was.
TEST_F(WindowsOnScreen, AtTheDefaultLayoutTheMenuStripLiesOverNoTitleBar) {
    for (const char* screen : {"1920x1200", "1366x768", "1920x1080"}) {
        SCOPED_TRACE(screen);
        QFile::remove(Cfg());
        {
            TIniFile ini(Cfg().toStdString());
            for (const ReopenEntry& e : ReopenOrder()) ini.WriteBool(e.section, e.key, true);
        }
        std::string kept;
        for (int start = 0; start < 2; ++start) {
            DisplayRun run(program.path(), runtime.path(), screen);
            ASSERT_TRUE(run.Started());
            std::vector<Shown> shown = Shows(run, 15);
            EXPECT_EQ(run.MovedAfterMap(), std::vector<std::string>());
            const auto covered = [](const std::vector<Shown>& windows) {
                std::vector<Shown> under;
                for (const Shown& strip : windows)
                    if (IsMenuStrip(strip))
                        for (const Shown& w : windows)
                            if (!IsMenuStrip(w) && w.TitleBar().intersects(strip.frame)) under.push_back(w);
                return under;
            };
            PollUntil([&] { return covered(shown = run.Windows()).empty(); }, 20s, 50ms);
            for (const Shown& w : covered(shown)) ADD_FAILURE() << "the menu strip covers the title bar of " << w;
            for (const Shown& w : shown) {
                if (IsMenuStrip(w)) {
                    EXPECT_EQ(w.frame, QRect(0, 0, 833, 45)) << w;
                }
            }
            run.End();
            if (start == 1) {
                EXPECT_EQ(Contents(Cfg()), kept);
            }
            kept = Contents(Cfg());
        }
    }
}

// Every window comes up at its final place and size: no frame moves or
// resizes after the window manager has mapped it, at the start and for
// windows opened later by their keys, with no stored places and with the
// places the first session stored, on three screen sizes. Every title bar
// comes up below the menu strip, and the explorer clear of the device window
// where the screen has room for both side by side.
TEST_F(WindowsOnScreen, WindowsComeUpWhereTheyStay) {
    const std::string device = "Virtual Morvelant           (Preset 1)  Preset 1";
    struct Opened {
        KeySym key, modifier;
        const char* window;
    };
    const Opened later[] = {{XK_F7, XK_Shift_L, "the event editor"},
                            {XK_F9, XK_Shift_L, "the step parameters"},
                            {XK_t, XK_Control_L, "the track edit tools"}};
    for (const char* screen : {"1920x1200", "1024x768", "800x600"}) {
        QFile::remove(Cfg());
        size_t count = 6;
        std::map<std::string, QRect> first;
        for (int start = 0; start < 2; ++start) {
            SCOPED_TRACE(std::string(screen) + (start == 0 ? ", no stored places" : ", the places stored"));
            DisplayRun run(program.path(), runtime.path(), screen);
            ASSERT_TRUE(run.Started());
            std::vector<Shown> shown = Shows(run, count);
            EXPECT_EQ(run.MovedAfterMap(), std::vector<std::string>()) << "at the start";
            for (const Opened& o : later) {
                if (start > 0) break;
                run.Key(o.key, {o.modifier});
                shown = Shows(run, ++count);
                EXPECT_EQ(run.MovedAfterMap(), std::vector<std::string>()) << "opening " << o.window;
            }
            EXPECT_GE(run.FramesMapped(), int(count));
            const Shown* strip = Find(shown, "the menu strip");
            const Shown* deviceWindow = Find(shown, device);
            const Shown* explorer = Find(shown, "Morvelant Explorer");
            ASSERT_TRUE(strip != nullptr && deviceWindow != nullptr && explorer != nullptr);
            for (const Shown& w : shown)
                EXPECT_TRUE(&w == strip || !w.TitleBar().intersects(strip->frame)) << "under the menu strip: " << w;
            if (std::string(screen) != "800x600") {
                EXPECT_FALSE(explorer->frame.intersects(deviceWindow->frame)) << *explorer << " over " << *deviceWindow;
            }
            // The places stored are where the windows stood: each comes back there.
            for (const Shown& w : shown) {
                if (start == 0) first[Key(w)] = w.frame;
                else EXPECT_EQ(w.frame, first[Key(w)]) << w;
            }
            run.End();
            count = shown.size() - 1;  // the track edit tools keep no place to come back to
        }
    }
}

// A start with no MIDI server says so in a box; the box answered with
// Return, the menu strip has the keys again: Alt+F opens its File menu and
// "x" there chooses Exit, which ends the editor in order.
TEST_F(WindowsOnScreen, AfterTheStartBoxTheMenuKeysWork) {
    DisplayRun run(program.path(), runtime.path(), "1920x1200", {},
                   NoMidiServer());
    ASSERT_TRUE(run.Started());
    // The window manager gives the box the focus before the editor has
    // taken it in: a key pressed in that moment goes to the window the
    // editor still thinks has it (no user is that quick). The box has kept
    // the focus for half a second when Return is pressed.
    int held = 0;
    ASSERT_TRUE(PollUntil([&] { return (held = run.Focused() == "Midi Settings" ? held + 1 : 0) >= 10; }, 120s, 50ms))
        << "no box has the keys";
    run.Key(XK_Return);
    ASSERT_TRUE(PollUntil([&] { return Find(run.Windows(), "Midi Settings") == nullptr; }, 30s, 50ms))
        << "Return did not close the box; the keys are in \"" << run.Focused() << '"';
    ASSERT_TRUE(PollUntil([&] { return !run.Focused().empty(); }, 30s, 50ms));
    const std::string focused = run.Focused();
    run.Key(XK_f, {XK_Alt_L});
    EXPECT_TRUE(PollUntil([&] { return !run.Popup().isEmpty(); }, 30s, 50ms))
        << "Alt+F opened no menu; the keys are in \"" << focused << '"';
    run.Key(XK_x);
    EXPECT_EQ(run.Ended(60s), 0) << "File > Exit did not end the editor";
}

// The windows that are up besides those `before` had, by title.
std::vector<Shown> Added(const std::vector<Shown>& before, const std::vector<Shown>& now) {
    std::vector<Shown> added;
    for (const Shown& w : now)
        if (Find(before, Key(w)) == nullptr) added.push_back(w);
    return added;
}

// The title bar of a window that is no menu strip lies under no menu strip.
void ExpectClearOfTheStrip(const std::vector<Shown>& windows, const Shown& w) {
    for (const Shown& strip : windows)
        if (IsMenuStrip(strip) && &strip != &w) {
            // With no frame, the top row of the window stands for its title bar.
            QRect title = w.TitleBar();
            if (title.height() == 0) title.setHeight(1);
            EXPECT_FALSE(title.intersects(strip.frame)) << w << " under the menu strip " << strip;
        }
}

// The start's box for no MIDI server, below the menu strip, answered with
// Return once it has kept the keys for half a second.
void AnswerTheStartBox(const DisplayRun& run) {
    std::vector<Shown> shown;
    ASSERT_TRUE(PollUntil([&] { return Find(shown = run.Windows(), "Midi Settings") != nullptr; }, 120s, 50ms));
    PollUntil([&] { return Find(shown = run.Windows(), "the menu strip") != nullptr; }, 30s, 50ms);
    ExpectClearOfTheStrip(shown, *Find(shown, "Midi Settings"));
    int held = 0;
    ASSERT_TRUE(PollUntil([&] { return (held = run.Focused() == "Midi Settings" ? held + 1 : 0) >= 10; }, 120s, 50ms));
    run.Key(XK_Return);
    ASSERT_TRUE(PollUntil([&] { return Find(run.Windows(), "Midi Settings") == nullptr; }, 30s, 50ms));
}

// The start's box for no MIDI server comes up below the menu strip, and
// once Return has answered it the keys are back in a window of the editor,
// with openbox and with no window manager. Then each of these, opened by its
// keys from the window whose keys they are, comes up below the strip (the
// file dialogs' parent lies close below it, and the toolkit centres them
// over it) and does not move after it appears; a dialog is closed with
// Escape.
TEST_F(WindowsOnScreen, DialogsAndNewWindowsOpenBelowTheMenuStripAndHandTheKeysBack) {
    const std::string device = "Virtual Morvelant           (Preset 1)  Preset 1", strip = "the menu strip";
    const struct {
        const char* window;
        const std::string& from;
        std::vector<std::pair<KeySym, KeySym>> keys;  // key and modifier (0 for none)
        bool dialog;
    } later[] = {{"Open Preset", device, {{XK_o, XK_Control_L}}, true},
                 {"Save Preset", device, {{XK_s, XK_Control_L}}, true},
                 {"About", strip, {{XK_h, XK_Alt_L}, {XK_Down, 0}, {XK_Return, 0}}, true},
                 {"Init with Midi Controllers", strip, {{XK_s, XK_Alt_L}, {XK_Down, 0}, {XK_Return, 0}}, true},
                 {"the track edit tools", strip, {{XK_t, XK_Control_L}}, false},
                 {"the step parameters", strip, {{XK_F9, XK_Shift_L}}, false}};
    for (const bool wm : {true, false}) {
        SCOPED_TRACE(wm ? "openbox" : "no window manager");
        QFile::remove(Cfg());
        DisplayRun run(program.path(), runtime.path(), "1920x1200", {}, NoMidiServer(), wm);
        ASSERT_TRUE(run.Started());
        ASSERT_NO_FATAL_FAILURE(AnswerTheStartBox(run));
        std::vector<Shown> before = Shows(run, 6), shown;
        EXPECT_TRUE(PollUntil([&] { return !run.Focused().empty(); }, 30s, 50ms)) << "the keys went to no window";
        EXPECT_EQ(run.MovedAfterMap(), std::vector<std::string>()) << "at the start";
        for (const auto& o : later) {
            SCOPED_TRACE(o.window);
            // The keys there by a click on its title bar, or on the strip's
            // bar right of its menus (there Alt and a letter highlight the
            // menu's first item).
            const Shown* from = Find(before, o.from);
            ASSERT_NE(from, nullptr);
            const QPoint at = &o.from == &strip ? from->client.topRight() + QPoint(-5, 5) : from->TitleBar().center();
            ASSERT_TRUE(run.ClickUntilFocused(from->id, at)) << "the keys are in \"" << run.Focused() << '"';
            for (const auto& [key, modifier] : o.keys) {
                if (modifier != 0) run.Key(key, {modifier});
                else run.Key(key);
                if (modifier == XK_Alt_L) {  // the menu's keys once it is open
                    ASSERT_TRUE(PollUntil([&] { return !run.Popup().isEmpty(); }, 30s, 50ms));
                }
            }
            shown = Shows(run, before.size() + 1);
            const std::vector<Shown> added = Added(before, shown);
            ASSERT_EQ(added.size(), 1u) << testing::PrintToString(shown);
            ExpectClearOfTheStrip(shown, *Find(shown, Key(added[0])));
            EXPECT_EQ(run.MovedAfterMap(), std::vector<std::string>()) << added[0];
            if (!o.dialog) {
                before = shown;
                continue;
            }
            run.Key(XK_Escape);
            ASSERT_TRUE(PollUntil([&] { return Added(before, shown = run.Windows()).empty(); }, 30s, 50ms))
                << testing::PrintToString(Added(before, shown)) << " stayed";
        }
    }
}

// A window manager that answers the question of a window's frame only after
// a while (stopped for 0.8 and for 3 seconds from before the start): every
// window still comes up at its place and size, and none moves after it
// appears.
TEST_F(WindowsOnScreen, AWindowManagerSlowToTellTheFrameStillSeesNoWindowMove) {
    for (const auto stall : {800ms, 3000ms}) {
        SCOPED_TRACE(std::to_string(stall.count()) + " ms");
        QFile::remove(Cfg());
        DisplayRun run(program.path(), runtime.path(), "1920x1200", {}, {}, true, stall);
        ASSERT_TRUE(run.Started());
        for (const Shown& w : Shows(run, 6)) {
            if (IsMenuStrip(w)) {
                EXPECT_EQ(w.frame, QRect(0, 0, 833, 45)) << w;
            }
        }
        EXPECT_EQ(run.MovedAfterMap(), std::vector<std::string>());
    }
}

// A long print in the started editor, as a user makes one: a line typed
// into the print output window and doubled by copy and paste, its popup's
// "Print" chosen and the print dialog's file taken with Return. The end
// signal sent while the progress box shows the pages ends the editor before
// the print would have, with the working sets and the configuration saved
// and no file claimed as printed.
TEST_F(WindowsOnScreen, AnEndSignalDuringALongPrintEndsTheEditorWithTheSessionSaved) {
    {
        // The window where no other lies over it.
        TIniFile ini(Cfg().toStdString());
        ini.WriteBool("Options", "ShowPrintOutputForm", true);
        ini.WriteInteger("PrintOutputForm", "Left", 1200);
        ini.WriteInteger("PrintOutputForm", "Top", 600);
    }
    DisplayRun run(program.path(), runtime.path(), "1920x1200", runtime.path());
    ASSERT_TRUE(run.Started());
    Shows(run, 7);  // all shown: none takes the focus later
    QPoint inside;
    ASSERT_TRUE(PollUntil(
        [&] {
            const std::vector<Shown> shown = run.Windows();
            const Shown* w = Find(shown, "Print Ouput");
            return w != nullptr && w->frame.topLeft() == QPoint(1200, 600) && (inside = w->client.center(), true);
        },
        120s, 50ms));
    int clicks = 0;
    ASSERT_TRUE(PollUntil(
        [&] {
            if (clicks++ % 50 == 0) run.Click(inside);
            return run.Focused() == "Print Ouput";
        },
        60s, 20ms));
    for (const KeySym k : {XK_p, XK_r, XK_i, XK_n, XK_t, XK_space, XK_l, XK_i, XK_n, XK_e, XK_Return}) run.Key(k);
    for (int doubling = 0; doubling < 14; ++doubling) {  // 11 characters to 180 kilobytes
        for (const KeySym k : {XK_a, XK_c, XK_End, XK_v}) run.Key(k, {XK_Control_L});
    }
    run.Click(inside, 3);  // the popup, whose one item is "Print"
    QRect popup;
    ASSERT_TRUE(PollUntil([&] { return !(popup = run.Popup()).isEmpty(); }, 120s, 50ms));
    run.Click(popup.center());

    const std::regex progress("Printing page ([0-9]+) of ([0-9]+) - Print Ouput");
    std::smatch page;
    std::string title;
    int asked = 0;
    PollUntil(
        [&] {
            const std::vector<Shown> windows = run.Windows();
            for (const Shown& w : windows)
                if (std::regex_match(w.title, progress)) return title = w.title, true;
            // The print dialog: Return prints to the file it proposes.
            if (Find(windows, "Print") != nullptr && ++asked % 50 == 1) run.Key(XK_Return);
            return !run.Running() || QFile::exists(runtime.filePath("print.pdf"));
        },
        120s, 20ms);
    ASSERT_TRUE(std::regex_match(title, page, progress)) << "no progress shown; printed: "
                                                         << QFile::exists(runtime.filePath("print.pdf"));
    EXPECT_LT(std::stoi(page[1]), std::stoi(page[2])) << title;
    EXPECT_EQ(run.End(), 0);
    const TIniFile ini(Cfg().toStdString());
    EXPECT_NE(ini.ReadInteger("PrintOutputForm", "Width", -1), -1) << "the configuration was not saved";
    for (const char* name : {"Config.MVR", "Config.MVT"}) EXPECT_TRUE(QFile::exists(program.filePath(name))) << name;
    // Nothing is claimed as printed: no file, and nothing left beside it.
    const QStringList left = QDir(runtime.path()).entryList({"print.pdf", "save-*"}, QDir::Files);
    EXPECT_TRUE(left.isEmpty()) << left.join(' ').toStdString();
}

// Runs started at the same moment (the test command runs tests side by
// side, and several test runs may share a machine) each get a screen and a
// window manager of their own: two on one screen see each other's windows,
// and the first to end takes the other's window manager with it.
TEST(OnDisplay, RunsStartedAtOnceEachGetAScreenOfTheirOwn) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString done = dir.filePath("done");
    std::vector<std::unique_ptr<QProcess>> runs;
    for (int i = 0; i < 6; ++i) {
        auto& run = runs.emplace_back(std::make_unique<QProcess>());
        // Each run holds its screen until every run has told its own.
        run->start(MORVELANT_SOURCE_DIR "/scripts/on-display.sh",
                   {"--screen", "320x240", "--", "sh", "-c",
                    "echo \"$DISPLAY $(xprop -root _NET_SUPPORTING_WM_CHECK)\"; "
                    "until [ -e \"$0\" ]; do sleep 0.05; done",
                    done});
    }
    std::set<std::string> screens;
    for (auto& run : runs) {
        // The pipe is read only while waiting on it: no event loop runs here.
        PollUntil(
            [&] { return run->canReadLine() || (!run->waitForReadyRead(100) && run->state() == QProcess::NotRunning); },
            120s, 0ms);
        screens.insert(run->readLine().trimmed().toStdString());
    }
    QFile(done).open(QIODevice::WriteOnly);
    for (auto& run : runs) {
        EXPECT_TRUE(run->waitForFinished(60000));
        EXPECT_EQ(run->exitCode(), 0);
    }
    EXPECT_EQ(screens.size(), runs.size());
    for (const std::string& s : screens) EXPECT_NE(s.find("window id"), std::string::npos) << s;
}

}  // namespace
}  // namespace morvelant
