// The built editor as a process, offscreen: a first start without any
// configuration writes the configuration and both working sets at its end,
// and a second copy started while one runs leaves at once with code 0.
//
// Each test copies the executable and the driver library into its own
// program folder and gives the processes their own runtime folder (where the
// single-instance lock lives). MORVELANT_EXIT_AFTER_START makes the editor
// end its message loop as soon as it has started.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <utility>
#include <vector>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>

#include <string>

#include "engine/FileCommands.h"
#include "model/PresetFiles.h"
#include "platform/IniFile.h"
#include "platform/QtDialogs.h"
#include "platform/SingleInstance.h"
#include "presets/Printout.h"
#include "tests/support/ExePath.h"
#include "tests/support/FileBytes.h"
#include "tests/support/JackServer.h"
#include "tests/support/StartedEditor.h"
#include "tests/support/Unchangeable.h"

namespace morvelant {
namespace {

QString ExeFolder() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    const std::string s(path, n > 0 ? size_t(n) : 0);
    return QString::fromStdString(s.substr(0, s.rfind('/')));
}

// The folder of the editor under test: the one built beside the tests, or
// MORVELANT_EDITOR_DIR's (the test command runs these tests once more
// against a Release build, whose end is the one that ships).
QString EditorFolder() {
    const QString other = qEnvironmentVariable("MORVELANT_EDITOR_DIR");
    return other.isEmpty() ? ExeFolder() : other;
}

class MainStartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString bin = EditorFolder();
        if (!QFile::exists(bin + "/MorvelantEditor") || !QFile::exists(bin + "/libMidiKit32.so")) {
            // Asked for by name, a missing editor is a failure, not a skip.
            ASSERT_TRUE(qEnvironmentVariableIsEmpty("MORVELANT_EDITOR_DIR")) << "no editor in " << bin.toStdString();
            GTEST_SKIP() << "MorvelantEditor is not built beside the tests";
        }
        ASSERT_TRUE(program.isValid() && runtime.isValid());
        ASSERT_TRUE(CopyEditor(bin, program.path()));
    }

    // The editor and its driver library, copied into a program folder.
    static bool CopyEditor(const QString& from, const QString& to) {
        return QFile::copy(from + "/MorvelantEditor", to + "/MorvelantEditor") &&
            QFile::copy(from + "/libMidiKit32.so", to + "/libMidiKit32.so") &&
            QFile::setPermissions(to + "/MorvelantEditor", QFile::permissions(from + "/MorvelantEditor"));
    }

    QProcessEnvironment Environment(bool exitAfterStart) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // A screen the default layout fits on: windows are moved wholly
        // onto a smaller one.
        env.insert("QT_QPA_PLATFORM", "offscreen:configfile=" + ScreenFile());
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        // Where each session records the place of its work: the test's own.
        env.insert("XDG_STATE_HOME", state.path());
        env.insert("MIDIKIT_BACKEND", "loopback");
        if (exitAfterStart)
            env.insert("MORVELANT_EXIT_AFTER_START", "1");
        else
            env.remove("MORVELANT_EXIT_AFTER_START");
        return env;
    }

    QString ScreenFile() const {
        const QString path = runtime.filePath("screen.json");
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(R"({"screens": [{"name": "1024x768", "x": 0, "y": 0, "width": 1024, "height": 768,)"
                    R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        return path;
    }

    void Start(QProcess& p, bool exitAfterStart) const {
        p.setProcessEnvironment(Environment(exitAfterStart));
        p.setWorkingDirectory(runtime.path());  // not the program folder: files go there anyway
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(program.filePath("MorvelantEditor"), {});
        ASSERT_TRUE(p.waitForStarted(30000));
    }

    // The lock is held by another process.
    bool LockHeldElsewhere() const {
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
        SingleInstanceLock probe("MorvelantEditor");
        const bool taken = probe.Acquire();
        qunsetenv("XDG_RUNTIME_DIR");
        return !taken && !probe.Failed();
    }

    // Starts the editor of `programFolder` as `p` (set up), reads what it
    // says until `words`, then ends it by SIGTERM; all it said.
    static QByteArray SaysAndEnds(QProcess& p, const QString& programFolder, const char* words) {
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(programFolder + "/MorvelantEditor", {});
        QByteArray said;
        if (!p.waitForStarted(30000)) return said;
        while (!said.contains(words) && p.waitForReadyRead(120000)) said += p.readAll();
        ::kill(pid_t(p.processId()), SIGTERM);
        p.waitForFinished(120000);
        return said + p.readAll();
    }

    // Waits until the copy `p` holds the lock (a limit only keeps a broken
    // run from hanging).
    bool HoldsTheLock(const QProcess& p) const {
        QDeadlineTimer limit(120000);
        while (!LockHeldElsewhere() && !limit.hasExpired() && p.state() == QProcess::Running) QThread::msleep(20);
        return LockHeldElsewhere();
    }

    QTemporaryDir program;
    QTemporaryDir runtime;
    QTemporaryDir state;
};

TEST_F(MainStartupTest, FirstStartWithoutConfigurationWritesEverythingAtTheEnd) {
    QProcess editor;
    Start(editor, true);
    ASSERT_TRUE(editor.waitForFinished(120000));
    EXPECT_EQ(editor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(editor.exitCode(), 0);
    EXPECT_TRUE(QFile::exists(program.filePath("Morvelant.cfg")));
    EXPECT_TRUE(QFile::exists(program.filePath("Config.MVR")));
    EXPECT_TRUE(QFile::exists(program.filePath("Config.MVT")));
    EXPECT_FALSE(QFile::exists(runtime.path() + "/Morvelant.cfg"));
    const TIniFile ini(program.filePath("Morvelant.cfg").toStdString());
    EXPECT_EQ(ini.ReadInteger("Main Form", "Left", -1), 192);
    EXPECT_EQ(ini.ReadInteger("Main Form", "Top", -1), 46);
    EXPECT_TRUE(ini.ReadBool("Options", "VirtualMotorFaders", false));
    EXPECT_FALSE(LockHeldElsewhere());

    // A damaged selection in the file is mended at the next start and end.
    TIniFile edit(program.filePath("Morvelant.cfg").toStdString());
    edit.WriteInteger("Options", "Selected Fader", 99);
    edit.WriteInteger("Options", "Selected Preset", -3);
    QProcess again;
    Start(again, true);
    ASSERT_TRUE(again.waitForFinished(120000));
    EXPECT_EQ(again.exitCode(), 0);
    EXPECT_EQ(ini.ReadInteger("Options", "Selected Fader", -1), 0);
    EXPECT_EQ(ini.ReadInteger("Options", "Selected Preset", -1), 0);
}

TEST_F(MainStartupTest, EndSignalsWriteEverythingAsANormalEndDoes) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        for (const char* name : {"Morvelant.cfg", "Config.MVR", "Config.MVT"}) QFile::remove(program.filePath(name));
        QProcess editor;
        Start(editor, false);
        // Once it holds the lock, its signals are caught.
        ASSERT_TRUE(HoldsTheLock(editor));
        ::kill(pid_t(editor.processId()), signal);
        ASSERT_TRUE(editor.waitForFinished(120000));
        EXPECT_EQ(editor.exitStatus(), QProcess::NormalExit) << signal;
        EXPECT_EQ(editor.exitCode(), 0) << signal;
        for (const char* name : {"Morvelant.cfg", "Config.MVR", "Config.MVT"})
            EXPECT_TRUE(QFile::exists(program.filePath(name))) << name << " after signal " << signal;
        EXPECT_FALSE(LockHeldElsewhere());
    }
}

TEST_F(MainStartupTest, AnEndSignalClosesAStartMessageAndSavesBesideAnUnreadableWorkingSet) {
    ASSERT_TRUE(QDir(program.path()).mkdir("Config.MVT"));  // the start says it cannot be read, in a box
    QProcess editor;
    editor.setProcessEnvironment(Environment(false));
    editor.setProcessChannelMode(QProcess::SeparateChannels);
    editor.start(program.filePath("MorvelantEditor"), {});
    ASSERT_TRUE(editor.waitForStarted(30000));
    ASSERT_TRUE(HoldsTheLock(editor));
    ::kill(pid_t(editor.processId()), SIGTERM);
    ASSERT_TRUE(editor.waitForFinished(120000));
    EXPECT_EQ(editor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(editor.exitCode(), 0);
    EXPECT_TRUE(QDir(program.filePath("Config.MVT")).isEmpty());
    EXPECT_TRUE(QFile::exists(program.filePath("Config 2.MVT")));
    EXPECT_TRUE(QFile::exists(program.filePath("Config.MVR")));
    // What the end had to say went to the standard error, not to a box.
    EXPECT_TRUE(editor.readAllStandardError().contains("saved to"));
}

TEST_F(MainStartupTest, SecondCopySaysThatACopyRunsAndLeavesWithCodeZero) {
    QProcess first;
    Start(first, false);
    ASSERT_TRUE(HoldsTheLock(first));

    // The second copy lives in a program folder of its own (same user, same
    // runtime folder), so anything it wrote would show there.
    QTemporaryDir secondProgram;
    ASSERT_TRUE(CopyEditor(program.path(), secondProgram.path()));
    QProcess second;
    second.setProcessEnvironment(Environment(false));  // no exit hook: only the lock can end it
    // It says so (in a box, and in the terminal), and ends once the box is
    // closed; here an end signal closes it.
    const QByteArray said = SaysAndEnds(second, secondProgram.path(), "already running");
    EXPECT_TRUE(said.contains("The editor is already running")) << said.toStdString();
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    // It wrote nothing and the first copy still runs and holds the lock.
    EXPECT_FALSE(QFile::exists(secondProgram.filePath("Morvelant.cfg")));
    EXPECT_FALSE(QFile::exists(secondProgram.filePath("Config.MVR")));
    EXPECT_EQ(first.state(), QProcess::Running);
    EXPECT_TRUE(LockHeldElsewhere());

    first.kill();
    first.waitForFinished(30000);
    // The kernel frees the lock with the process, however it ended.
    EXPECT_FALSE(LockHeldElsewhere());
}

// An installed copy (a program folder that cannot be written, even by
// root) is locked on the folder that keeps each session's work: another
// user runs it beside the first, while a second installed copy on the same
// data folder, under a runtime folder of its own, says which folder is in
// use and ends. (Run as root, as CI runs; the other user is "nobody".)
TEST_F(MainStartupTest, AnInstalledCopyIsLockedOnTheDataFolderOfEachUser) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to make folders unchangeable and start as another user";
    constexpr uid_t kNobody = 65534;
    QTemporaryDir secondProgram, secondRuntime, data, other;
    ASSERT_TRUE(CopyEditor(program.path(), secondProgram.path()));
    for (const QTemporaryDir* dir : {&program, &secondProgram, &other})
        ASSERT_EQ(::chmod(dir->path().toLocal8Bit().constData(), 0755), 0);
    // Each data folder holds the settings of an earlier session (so no
    // start waits in the box that says where the work is kept).
    for (const QTemporaryDir* home : {&data, &other})
        ASSERT_TRUE(QDir(home->path()).mkdir("MorvelantEditor") &&
                    QFile(home->filePath("MorvelantEditor/Morvelant.cfg")).open(QIODevice::WriteOnly));
    ASSERT_TRUE(QDir(other.path()).mkdir("run"));
    for (const char* mine : {"", "/run", "/MorvelantEditor", "/MorvelantEditor/Morvelant.cfg"})
        ASSERT_EQ(::chown((other.path() + mine).toLocal8Bit().constData(), kNobody, kNobody), 0) << mine;
    testsupport::Unchangeable installed;
    ASSERT_TRUE(installed.Add(program.path().toStdString()) && installed.Add(secondProgram.path().toStdString()));

    QProcess first;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    Start(first, false);
    qunsetenv("XDG_DATA_HOME");
    ASSERT_TRUE(HoldsTheLock(first));

    struct Case {
        const char* who;
        QString program, home, runtime;
        bool nobody;
    };
    const Case cases[] = {
        {"another user", program.path(), other.path(), other.filePath("run"), true},
        {"a second installed copy", secondProgram.path(), data.path(), secondRuntime.path(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.who);
        QProcess second;
        QProcessEnvironment secondEnv = Environment(true);
        secondEnv.insert("HOME", c.home);
        secondEnv.insert("XDG_DATA_HOME", c.home);
        secondEnv.insert("XDG_RUNTIME_DIR", c.runtime);
        if (c.nobody) secondEnv.insert("QT_QPA_PLATFORM", "offscreen");  // the screen file is root's
        second.setProcessEnvironment(secondEnv);
        second.setWorkingDirectory(c.home);
        second.setProcessChannelMode(QProcess::MergedChannels);
        if (c.nobody)
            second.setChildProcessModifier([] {
                if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(99);
            });
        second.start(c.program + "/MorvelantEditor", {});
        ASSERT_TRUE(second.waitForStarted(30000));
        // A copy that is turned away says so and waits for its box, which
        // an end signal closes; one that runs ends as soon as it started.
        QByteArray said;
        while (!said.contains("Another copy") && second.waitForReadyRead(120000)) said += second.readAll();
        if (said.contains("Another copy")) ::kill(pid_t(second.processId()), SIGTERM);
        ASSERT_TRUE(second.state() == QProcess::NotRunning || second.waitForFinished(120000)) << said.toStdString();
        said += second.readAll();
        EXPECT_EQ(second.exitCode(), 0) << said.toStdString();
        // Only the copy that ran wrote its session (the first one is still running).
        EXPECT_EQ(said.contains("Another copy"), !c.nobody) << said.toStdString();
        EXPECT_EQ(said.contains("Another copy of the editor is running with the presets and patterns in \"" +
                                data.filePath("MorvelantEditor").toUtf8() + "\""),
                  !c.nobody)
            << said.toStdString();
        EXPECT_EQ(QFile::exists(c.home + "/MorvelantEditor/Config.MVR"), c.nobody);
    }
    EXPECT_EQ(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished(30000);
}

// Its end signals are caught: from then on one ends it in order, whatever
// box its start shows.
bool CatchesEndSignals(const QProcess& p) {
    for (QDeadlineTimer limit(120000); !limit.hasExpired() && p.state() == QProcess::Running; QThread::msleep(20)) {
        QFile status(QStringLiteral("/proc/%1/status").arg(p.processId()));
        const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
        const qsizetype at = text.indexOf("SigCgt:");
        if (at >= 0 && (text.mid(at + 7, 17).trimmed().toULongLong(nullptr, 16) & (1u << (SIGTERM - 1)))) return true;
    }
    return false;
}

// A folder its user may write but not read (mode 0300): the program folder,
// or an installed copy's data folder. Three sessions of "nobody", each
// loading a preset file named on its command line and ended by a signal,
// leave no numbered file and the last one's preset in the working set.
TEST_F(MainStartupTest, AFolderThatCanBeWrittenButNotReadKeepsOneWorkingSet) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to start as another user";
    constexpr uid_t kNobody = 65534;
    for (const bool installed : {false, true}) {
        SCOPED_TRACE(installed ? "an installed copy's data folder" : "the program folder");
        QTemporaryDir copy, home;
        ASSERT_TRUE(CopyEditor(program.path(), copy.path()) && QDir(home.path()).mkdir("run") &&
                    QDir(home.path()).mkdir("MorvelantEditor"));
        const QString kept = installed ? home.filePath("MorvelantEditor") : copy.path();
        for (const QString& mine : {home.path(), home.filePath("run"), kept})
            ASSERT_EQ(::chown(mine.toLocal8Bit().constData(), kNobody, kNobody), 0);
        ASSERT_EQ(::chmod(copy.path().toLocal8Bit().constData(), installed ? 0755 : 0300), 0);
        ASSERT_EQ(::chmod(kept.toLocal8Bit().constData(), 0300), 0);
        testsupport::Unchangeable unchangeable;
        ASSERT_TRUE(!installed || unchangeable.Add(copy.path().toStdString()));
        for (const char* session : {"FIRST", "SECOND", "THIRD"}) {
            DeviceModel named;
            named.SetPresetDeviceName(0, session);
            const std::string file = home.filePath(QString(session) + ".MVR").toStdString();
            const int one[] = {0};
            ASSERT_TRUE(WriteEditorFile(named, EditorFileKind::Presets, file, one, nullptr));
            QProcess editor;
            QProcessEnvironment env = Environment(false);
            for (const char* name : {"HOME", "XDG_DATA_HOME"}) env.insert(name, home.path());
            env.insert("XDG_RUNTIME_DIR", home.filePath("run"));
            env.insert("QT_QPA_PLATFORM", "offscreen");  // the screen file is root's
            editor.setProcessEnvironment(env);
            editor.setWorkingDirectory(home.path());
            editor.setChildProcessModifier([] {
                if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(99);
            });
            editor.start(copy.filePath("MorvelantEditor"), {QString::fromStdString(file)});
            ASSERT_TRUE(editor.waitForStarted(30000) && CatchesEndSignals(editor)) << session;
            ::kill(pid_t(editor.processId()), SIGTERM);
            ASSERT_TRUE(editor.waitForFinished(120000));
            EXPECT_EQ(editor.exitCode(), 0);
            EXPECT_EQ(QDir(kept).entryList(QDir::Files).filter(" 2.").join(", ").toStdString(), "") << session;
            DeviceModel back;
            ASSERT_TRUE(ReadPresetFile(back, kept.toStdString() + "/Config.MVR"));
            EXPECT_EQ(back.GetPresetDeviceName(64).substr(0, std::strlen(session)), session);
        }
    }
}

// A JACK server that no longer answers (stopped, as a frozen one) does not
// keep the editor from ending: the working sets are written, a
// configuration that cannot be written is kept beside it first, the MIDI
// system's close is given up, and the lock is gone.
TEST_F(MainStartupTest, AFrozenJackServerDoesNotKeepTheEditorFromEnding) {
    // A server of its own, whose clock the stop throws off for later
    // clients: the other tests' server is never touched, and this one goes
    // at the end (the run's stop-all takes it too).
    const std::string server = testsupport::JackTestServerName() + "-frozen";
    const auto script = [&server](const char* verb) {
        const std::string cmd = "MORVELANT_JACK_SERVER='" + server + "' '" MORVELANT_SOURCE_DIR
                                "/scripts/jack-test-server.sh' " + verb + " >/dev/null 2>&1";
        return std::system(cmd.c_str()) == 0;
    };
    ASSERT_TRUE(script("start"));
    const char* tmp = std::getenv("TMPDIR");
    QFile pidFile(QString::fromStdString(std::string(tmp && *tmp ? tmp : "/tmp") + "/morvelant-jackd-" + server + ".pid"));
    ASSERT_TRUE(pidFile.open(QIODevice::ReadOnly));
    const pid_t jackd = pid_t(pidFile.readAll().trimmed().toLong());
    ASSERT_GT(jackd, 0);
    struct StopServerAfter {
        pid_t jackd;
        std::function<bool(const char*)> script;
        ~StopServerAfter() {
            ::kill(jackd, SIGCONT);
            script("stop");
        }
    } stopAfter{jackd, script};
    // A configuration that cannot be written (unchangeable, even to root).
    QFile config(program.filePath("Morvelant.cfg"));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly) && config.write("[Options]\r\n") > 0);
    config.close();
    testsupport::Unchangeable lock;
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to make a file unchangeable";
    ASSERT_TRUE(lock.Add(program.filePath("Morvelant.cfg").toStdString()));
    QProcess editor;
    QProcessEnvironment env = Environment(false);
    env.insert("MIDIKIT_BACKEND", "jack");
    env.insert("JACK_DEFAULT_SERVER", QString::fromStdString(server));
    editor.setProcessEnvironment(env);
    editor.setProcessChannelMode(QProcess::SeparateChannels);
    editor.start(program.filePath("MorvelantEditor"), {});
    ASSERT_TRUE(editor.waitForStarted(30000));
    // Its start is over once it is the server's client and waits in its
    // event loop (a limit only keeps a broken run from hanging).
    const QString client = QString::fromStdString("/dev/shm/jack_sem." + std::to_string(::getuid()) + "_" + server +
                                                  "_MorvelantEditor");
    const QString wchan = QStringLiteral("/proc/%1/wchan").arg(editor.processId());
    const auto waiting = [&wchan] {
        QFile f(wchan);
        return f.open(QIODevice::ReadOnly) && f.readAll().contains("poll");
    };
    QDeadlineTimer limit(120000);
    while (!(LockHeldElsewhere() && QFile::exists(client) && waiting()) && !limit.hasExpired() &&
           editor.state() == QProcess::Running)
        QThread::msleep(20);
    ASSERT_TRUE(QFile::exists(client));

    ::kill(jackd, SIGSTOP);
    ::kill(pid_t(editor.processId()), SIGTERM);
    const bool ended = editor.waitForFinished(60000);
    ::kill(jackd, SIGCONT);
    if (!ended) editor.kill();
    ASSERT_TRUE(ended);
    // Not a clean end, for whoever started it; but everything is written.
    EXPECT_EQ(editor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(editor.exitCode(), 3);
    for (const char* name : {"Config.MVR", "Config.MVT"}) EXPECT_TRUE(QFile::exists(program.filePath(name))) << name;
    // The configuration could not be written: its settings were kept
    // beside it before the MIDI close began, and the end said where.
    const QByteArray said = editor.readAllStandardError();
    EXPECT_TRUE(said.contains("settings were saved to \"" + program.filePath("Morvelant 2.cfg").toUtf8())) << said.toStdString();
    EXPECT_TRUE(said.contains("did not close within")) << said.toStdString();
    EXPECT_GE(TIniFile(program.filePath("Morvelant 2.cfg").toStdString()).ReadInteger("Main Form", "Left", -1), 0);
    EXPECT_FALSE(LockHeldElsewhere());
}

// A driver library that is missing or damaged: the start says why, writes
// nothing over the user's files, and ends with a status that says it failed.
TEST_F(MainStartupTest, AMissingOrDamagedDriverLibraryIsSaidAndTheStartEndsWithoutWriting) {
    const QByteArray settings = "[Options]\r\nSelected Preset=7\r\n";
    for (const bool damaged : {true, false}) {
        SCOPED_TRACE(damaged ? "an empty library" : "no library");
        QFile::remove(program.filePath("libMidiKit32.so"));
        if (damaged) QFile(program.filePath("libMidiKit32.so")).open(QIODevice::WriteOnly);
        QFile config(program.filePath("Morvelant.cfg"));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly) && config.write(settings) == settings.size());
        config.close();
        QProcess editor;
        editor.setProcessEnvironment(Environment(false));
        editor.setProcessChannelMode(QProcess::SeparateChannels);
        editor.setReadChannel(QProcess::StandardError);
        editor.start(program.filePath("MorvelantEditor"), {});
        ASSERT_TRUE(editor.waitForStarted(30000));
        // It says why (in a box, and in the terminal); an end signal closes the box.
        QByteArray said;
        while (!said.contains("failed") && editor.waitForReadyRead(120000)) said += editor.readAllStandardError();
        EXPECT_TRUE(said.contains("Load of MidiKit32.dll failed")) << said.toStdString();
        ::kill(pid_t(editor.processId()), SIGTERM);
        ASSERT_TRUE(editor.waitForFinished(120000));
        said += editor.readAllStandardError();
        EXPECT_EQ(editor.exitStatus(), QProcess::NormalExit) << said.toStdString();
        EXPECT_EQ(editor.exitCode(), 1);
        EXPECT_FALSE(said.contains("terminate called")) << said.toStdString();
        ASSERT_TRUE(config.open(QIODevice::ReadOnly));
        EXPECT_EQ(config.readAll(), settings);
        config.close();
        EXPECT_FALSE(QFile::exists(program.filePath("Config.MVR")));
        EXPECT_FALSE(QFile::exists(program.filePath("Config.MVT")));
    }
}

// ---- The last session's work, over real starts and ends ------------------------------

// A preset file of `names` in slots 0 on, in `folder`.
std::string PresetFile(const QTemporaryDir& folder, const char* name, const std::vector<std::string>& names) {
    DeviceModel model;
    std::vector<int> slots;
    for (std::size_t i = 0; i < names.size(); ++i) {
        model.SetPresetDeviceName(int(i), names[i]);
        slots.push_back(int(i));
    }
    const std::string file = folder.filePath(name).toStdString();
    return WriteEditorFile(model, EditorFileKind::Presets, file, slots, nullptr) ? file : std::string();
}

// The names in the first edit buffers (slots 64 on) of a preset file, "|"
// between them; "unread" when it does not read.
std::string Buffers(const std::string& file, int count = 2) {
    DeviceModel back;
    if (ReadEditorFile(back, file, EditorFileKind::Presets, EditorFileReadMode::Set, -1, nullptr) != ReadStatus::Loaded)
        return "unread";
    std::string names;
    for (int slot = kDeviceSlots; slot < kDeviceSlots + count; ++slot) {
        std::string name = back.GetPresetDeviceName(slot);
        while (!name.empty() && (name.back() == ' ' || name.back() == '\0')) name.pop_back();
        names += (slot == kDeviceSlots ? "" : "|") + name;
    }
    return names;
}

// Bytes that no reader of the editor takes.
std::string Damaged() {
    std::string bytes(80000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = char((i * 2654435761u) >> 13);
    return bytes;
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::WriteOnly) && file.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size());
}

// The process holds the lock file in `folder` open.
bool HoldsFolderLock(const QProcess& p, const QString& folder) {
    const std::string lock = folder.toStdString() + "/" + SingleInstanceLock::kFolderLockName;
    const std::string fds = "/proc/" + std::to_string(p.processId()) + "/fd";
    for (QDeadlineTimer limit(120000); !limit.hasExpired() && p.state() == QProcess::Running; QThread::msleep(20)) {
        std::error_code ec;
        for (const auto& fd : std::filesystem::directory_iterator(fds, ec))
            if (std::filesystem::read_symlink(fd.path(), ec) == lock) return true;
    }
    return false;
}

// One session of the editor in `programFolder`, started with `arguments`
// and ended by SIGTERM once it catches it (after `beforeEnd`); what it said
// on its standard error.
std::string Session(const QString& programFolder, const QStringList& arguments, const QProcessEnvironment& env,
                    const std::function<void(QProcess&)>& beforeEnd = {}) {
    QProcess editor;
    editor.setProcessEnvironment(env);
    editor.setWorkingDirectory(env.value("XDG_RUNTIME_DIR"));
    editor.setProcessChannelMode(QProcess::SeparateChannels);
    editor.start(programFolder + "/MorvelantEditor", arguments);
    EXPECT_TRUE(editor.waitForStarted(30000) && CatchesEndSignals(editor));
    if (beforeEnd) beforeEnd(editor);
    ::kill(pid_t(editor.processId()), SIGTERM);
    EXPECT_TRUE(editor.waitForFinished(120000));
    EXPECT_EQ(editor.exitCode(), 0);
    return editor.readAllStandardError().toStdString();
}

// A set kept beside a working set that cannot be read ("Config 2.MVR") is
// recognised by the editor's mark beside it, whatever became of the
// configuration that named it: deleted, damaged, rewritten without its
// record (as another user's session does), or the folder moved. The next
// start reads it back, the file on its command line lands on top, and it
// is saved there again: no "Config 3.MVR".
TEST_F(MainStartupTest, AKeptSetIsFoundWhateverBecameOfTheConfiguration) {
    const char* changes[] = {"configuration deleted", "configuration damaged", "configuration rewritten",
                             "folder moved"};
    QTemporaryDir files;
    const std::string first = PresetFile(files, "X.MVR", {"FIRST-A", "FIRST-B"});
    const std::string second = PresetFile(files, "Y.MVR", {"SECOND"});
    ASSERT_FALSE(first.empty() || second.empty());
    for (const std::string change : changes) {
        SCOPED_TRACE(change);
        QTemporaryDir place;
        QString folder = place.filePath("program");
        ASSERT_TRUE(QDir().mkdir(folder) && CopyEditor(program.path(), folder));
        ASSERT_TRUE(WriteBytes(folder.toStdString() + "/Config.MVR", Damaged()));
        Session(folder, {QString::fromStdString(first)}, Environment(false));
        ASSERT_EQ(Buffers(folder.toStdString() + "/Config 2.MVR"), "FIRST-A|FIRST-B");
        const std::string config = folder.toStdString() + "/Morvelant.cfg";
        if (change == "configuration deleted") {
            ASSERT_TRUE(QFile::remove(QString::fromStdString(config)));
        } else if (change == "configuration damaged") {
            ASSERT_TRUE(WriteBytes(config, Damaged()));
        } else if (change == "configuration rewritten") {
            ASSERT_TRUE(WriteBytes(config, "[Main Form]\nLeft=10\n"));
        } else {
            const QString moved = place.filePath("moved");
            ASSERT_TRUE(QDir().rename(folder, moved));
            folder = moved;
        }
        const std::string said = Session(folder, {QString::fromStdString(second)}, Environment(false));
        const std::string kept = folder.toStdString() + "/Config 2.MVR";
        EXPECT_EQ(Buffers(kept), "SECOND|FIRST-B");
        EXPECT_FALSE(QFile::exists(folder + "/Config 3.MVR")) << said;
        EXPECT_TRUE(testsupport::Slurp(folder.toStdString() + "/Config.MVR") == Damaged());
    }
}

// A copy that cannot take the lock of its folder (a lock file that is a
// dangling link) keeps its session beside the working sets and reads it
// back at the next such start: a preset file named on the command line
// lands on top of what it reads, in the edit buffers from slot 64 on.
TEST_F(MainStartupTest, AFileOnTheCommandLineLandsOnTopOfTheSetKeptByAnUnsureCopy) {
    QTemporaryDir files;
    const std::string first = PresetFile(files, "X.MVR", {"FIRST-A", "FIRST-B"});
    const std::string second = PresetFile(files, "Y.MVR", {"SECOND"});
    const QString lock = program.filePath(SingleInstanceLock::kFolderLockName);
    ASSERT_TRUE(QFile::link("/nonexistent/x", lock));
    Session(program.path(), {QString::fromStdString(first)}, Environment(false));
    const std::string kept = program.filePath("Config 2.MVR").toStdString();
    ASSERT_EQ(Buffers(kept), "FIRST-A|FIRST-B");
    Session(program.path(), {QString::fromStdString(second)}, Environment(false));
    EXPECT_EQ(Buffers(kept), "SECOND|FIRST-B");
    EXPECT_FALSE(QFile::exists(program.filePath("Config.MVR")));
    EXPECT_FALSE(QFile::exists(program.filePath("Config 3.MVR")));
    EXPECT_EQ(QFileInfo(lock).symLinkTarget(), "/nonexistent/x");
}

// Wherever the last session's work went, the next start reads it from
// there and saves it where it keeps its own: a program folder that could
// not be written at the end (rescued to the data folder), an installed
// copy that became writable (its data folder), a data folder that was
// mended (the home folder had taken it), and a home folder that cannot be
// written (the temporary folder, which keeps the record too).
TEST_F(MainStartupTest, TheLastSessionsWorkComesBackFromWhereverItWent) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to make folders unchangeable";
    enum class Place { Rescued, Installed, Home, Temporary };
    const std::pair<Place, const char*> places[] = {{Place::Rescued, "rescued to the data folder"},
                                                    {Place::Installed, "an installed copy made writable"},
                                                    {Place::Home, "the home folder, the data folder mended"},
                                                    {Place::Temporary, "the temporary folder"}};
    QTemporaryDir files;
    const std::string old = PresetFile(files, "OLD.MVR", {"OLD"});
    const std::string first = PresetFile(files, "X.MVR", {"FIRST-A", "FIRST-B"});
    for (const auto& [where, what] : places) {
        SCOPED_TRACE(what);
        QTemporaryDir place, data, home, temporary;
        const QString folder = place.filePath("program");
        ASSERT_TRUE(QDir().mkdir(folder) && CopyEditor(program.path(), folder));
        ASSERT_EQ(::chmod(folder.toLocal8Bit().constData(), 0755), 0);
        QProcessEnvironment env = Environment(false);
        env.insert("XDG_DATA_HOME", data.path());
        env.insert("HOME", home.path());
        env.insert("TMPDIR", temporary.path());
        Session(folder, {QString::fromStdString(old)}, env);
        ASSERT_EQ(Buffers(folder.toStdString() + "/Config.MVR"), "OLD|Preset66");

        testsupport::Unchangeable unchangeable;
        const std::string dataFolder = data.filePath("MorvelantEditor").toStdString();
        std::string went;  // where the first session's work is
        std::function<void(QProcess&)> beforeEnd;
        switch (where) {
            case Place::Rescued:
                went = dataFolder + "/Config.MVR";
                beforeEnd = [&](QProcess& editor) {
                    ASSERT_TRUE(HoldsFolderLock(editor, folder) && unchangeable.Add(folder.toStdString()));
                };
                break;
            case Place::Installed:
                went = dataFolder + "/Config.MVR";
                ASSERT_TRUE(unchangeable.Add(folder.toStdString()));
                break;
            case Place::Home:
                went = home.filePath("Config.MVR").toStdString();
                ASSERT_TRUE(WriteBytes(dataFolder, "a file") && unchangeable.Add(folder.toStdString()));
                break;
            case Place::Temporary:
                went = temporary.filePath("MorvelantEditor-0/Config.MVR").toStdString();
                env.remove("XDG_DATA_HOME");
                env.remove("XDG_STATE_HOME");
                ASSERT_TRUE(unchangeable.Add(folder.toStdString()) && unchangeable.Add(home.path().toStdString()));
                break;
        }
        const std::string said = Session(folder, {QString::fromStdString(first)}, env, beforeEnd);
        ASSERT_EQ(Buffers(went), "FIRST-A|FIRST-B") << said;
        // What the user mends: the folder that could not take the work.
        std::string next = folder.toStdString() + "/Config.MVR";
        if (where == Place::Rescued || where == Place::Installed) {
            testsupport::SetImmutable(folder.toStdString(), false);
        } else if (where == Place::Home) {
            ASSERT_TRUE(QFile::remove(QString::fromStdString(dataFolder)));
            next = dataFolder + "/Config.MVR";
        } else {
            next = temporary.filePath("MorvelantEditor-0/Config 2.MVR").toStdString();  // rescued there again
        }
        const std::string again = Session(folder, {}, env);
        EXPECT_EQ(Buffers(next), "FIRST-A|FIRST-B") << again;
        EXPECT_EQ(Buffers(went), "FIRST-A|FIRST-B");
    }
}

// The open flags of the descriptor by which process `pid` holds `file`; -1
// when it holds none.
int OpenFlagsOf(qint64 pid, const std::string& file) {
    const std::string proc = "/proc/" + std::to_string(pid);
    std::error_code ec;
    for (const auto& fd : std::filesystem::directory_iterator(proc + "/fd", ec)) {
        if (std::filesystem::read_symlink(fd.path(), ec) != file) continue;
        QFile info(QString::fromStdString(proc + "/fdinfo/" + fd.path().filename().string()));
        if (!info.open(QIODevice::ReadOnly)) continue;
        for (const QByteArray& line : info.readAll().split('\n'))
            if (line.startsWith("flags:")) return int(line.mid(6).trimmed().toUInt(nullptr, 8));
    }
    return -1;
}

// Two users of one program folder that both may write (a group's): the
// lock file that one made is only ever opened for reading by the other,
// whoever made it, and it stays as it was; while one works with the folder,
// the other is told so and ends.
TEST_F(MainStartupTest, TwoUsersOfOneFolderNeverOpenTheOthersLockFileForWriting) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to start as another user";
    constexpr uid_t kNobody = 65534;
    QTemporaryDir home;
    ASSERT_TRUE(QDir(home.path()).mkdir("run"));
    for (const QString& mine : {home.path(), home.filePath("run")})
        ASSERT_EQ(::chown(mine.toLocal8Bit().constData(), kNobody, kNobody), 0);
    ASSERT_EQ(::chmod(home.filePath("run").toLocal8Bit().constData(), 0700), 0);
    ASSERT_EQ(::chmod(program.path().toLocal8Bit().constData(), 0777), 0);
    QProcessEnvironment nobodyEnv = Environment(false);
    for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"}) nobodyEnv.insert(name, home.path());
    nobodyEnv.insert("XDG_RUNTIME_DIR", home.filePath("run"));
    nobodyEnv.insert("QT_QPA_PLATFORM", "offscreen");  // the screen file is root's
    const auto asNobody = [&](QProcess& p) {
        p.setProcessEnvironment(nobodyEnv);
        p.setWorkingDirectory(home.path());
        p.setChildProcessModifier([] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(99);
        });
    };
    const std::string lock = program.filePath(SingleInstanceLock::kFolderLockName).toStdString();

    // The other user's session makes the lock file.
    QProcess theirs;
    asNobody(theirs);
    theirs.setProcessChannelMode(QProcess::ForwardedChannels);
    theirs.start(program.filePath("MorvelantEditor"), {});
    ASSERT_TRUE(theirs.waitForStarted(30000) && HoldsFolderLock(theirs, program.path()));
    ::kill(pid_t(theirs.processId()), SIGTERM);
    ASSERT_TRUE(theirs.waitForFinished(120000));
    struct stat made {};
    ASSERT_EQ(::lstat(lock.c_str(), &made), 0);
    EXPECT_EQ(made.st_uid, kNobody);

    // This user's session holds it, read-only.
    QProcess mine;
    Start(mine, false);
    ASSERT_TRUE(HoldsFolderLock(mine, program.path()));
    EXPECT_EQ(OpenFlagsOf(mine.processId(), lock) & O_ACCMODE, O_RDONLY);
    // The other user is told and ends; the file is as it was.
    QProcess second;
    asNobody(second);
    const QByteArray said = SaysAndEnds(second, program.path(), "Another copy");
    EXPECT_TRUE(said.contains("Another copy of the editor is running with the presets and patterns in"))
        << said.toStdString();
    EXPECT_EQ(second.exitCode(), 0);
    ::kill(pid_t(mine.processId()), SIGTERM);
    ASSERT_TRUE(mine.waitForFinished(120000));
    struct stat after {};
    ASSERT_EQ(::lstat(lock.c_str(), &after), 0);
    EXPECT_EQ(after.st_uid, kNobody);
    EXPECT_EQ(after.st_mode & 07777, 0644u);
    EXPECT_EQ(after.st_size, 0);
}

// A print to a file that was killed (SIGKILL) while it painted its pages
// leaves its temporary beside the chosen file; the next start of the
// editor removes it, and the file keeps what it held. The print runs in
// this test program, started again for the helper below.
TEST_F(MainStartupTest, WhatAKilledPrintLeftBesideItsFileGoesAtTheNextStart) {
    QTemporaryDir folder;
    const QString pdf = folder.filePath("sheet.pdf");
    const QString printing = runtime.filePath("printing");
    ASSERT_TRUE(WriteBytes(pdf.toStdString(), "earlier"));
    QProcess print;
    QProcessEnvironment env = Environment(false);
    env.insert("MORVELANT_PRINT_TO", pdf);
    env.insert("MORVELANT_PRINTING_MARK", printing);
    print.setProcessEnvironment(env);
    print.setProcessChannelMode(QProcess::ForwardedChannels);
    print.start(QString::fromStdString(testsupport::ExePath()),
                {"--gtest_also_run_disabled_tests", "--gtest_filter=KilledPrint.DISABLED_PrintsALongTextUntilKilled"});
    ASSERT_TRUE(print.waitForStarted(30000));
    for (QDeadlineTimer limit(120000);
         !QFile::exists(printing) && !limit.hasExpired() && print.state() == QProcess::Running;)
        QThread::msleep(20);
    ASSERT_TRUE(QFile::exists(printing));
    ::kill(pid_t(print.processId()), SIGKILL);
    ASSERT_TRUE(print.waitForFinished(30000));
    const auto leftovers = [&] { return QDir(folder.path()).entryList({"save-*"}, QDir::Files | QDir::Hidden); };
    ASSERT_EQ(leftovers().size(), 1) << leftovers().join(", ").toStdString();

    QProcess editor;
    Start(editor, true);
    ASSERT_TRUE(editor.waitForFinished(120000));
    EXPECT_EQ(editor.exitCode(), 0);
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(", ").toStdString();
    EXPECT_EQ(testsupport::Slurp(pdf.toStdString()), "earlier");
}

// The helper: a long print from the print window to MORVELANT_PRINT_TO,
// which marks MORVELANT_PRINTING_MARK once it paints pages and then waits
// to be killed.
TEST(KilledPrint, DISABLED_PrintsALongTextUntilKilled) {
    const QString pdf = qEnvironmentVariable("MORVELANT_PRINT_TO");
    const QString mark = qEnvironmentVariable("MORVELANT_PRINTING_MARK");
    ASSERT_FALSE(pdf.isEmpty() || mark.isEmpty());
    const QByteArray stateHome = qgetenv("XDG_STATE_HOME");
    testsupport::StartedEditor editor;
    qputenv("XDG_STATE_HOME", stateHome);  // the test's, where the next start looks
    editor.Start();
    std::string text;
    for (int i = 1; i <= 20000; ++i) text += "Line " + std::to_string(i) + "\n";
    PrintOutputForm->SetText(text);
    QPrinter& printer = QtDialogs::SharedPrinter();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    struct KilledWhilePainting : ScriptedDialogs {
        QString mark;
        bool RunWithProgress(const std::string&, const std::function<ProgressStep()>& step) override {
            while (step().text.rfind("Printing page", 0) != 0) {}
            QFile(mark).open(QIODevice::WriteOnly);
            for (;;) ::pause();
        }
    } dialogs;
    dialogs.mark = mark;
    dialogs.printerAnswers = {true};  // the print dialog, with the file chosen
    ScopedDialogs scope(dialogs);
    PrintOutputForm->Print1->trigger();
}

// What a run leaves in its program folder (or, run from the sources, in
// the current folder) is never part of the sources: none is committed, and
// the repository ignores them.
TEST(SourceTree, RunFilesAreNotInTheRepository) {
    // A checkout owned by another user (CI runs as root) is still read.
    const std::string git = "git -c safe.directory='*' -C '" MORVELANT_SOURCE_DIR "' ";
    const auto output = [](const std::string& command) {
        std::string out;
        if (FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r")) {
            char buffer[256];
            while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
            if (::pclose(pipe) != 0) return std::string("failed");
        }
        return out;
    };
    if (output(git + "rev-parse --is-inside-work-tree") != "true\n") GTEST_SKIP() << "not a git work tree";
    const char* runFiles[] = {"Morvelant.cfg",  "Morvelant 2.cfg", "Config.MVR",     "Config 2.MVT",
                              "Config.MVR.BAK", ".Morvelant.lock", ".Morvelant.kept"};
    for (const char* name : runFiles) {
        EXPECT_EQ(output(git + "ls-files -- '" + name + "'"), "") << name;
        EXPECT_EQ(output(git + "check-ignore --no-index -q '" + name + "' && echo ignored"), "ignored\n") << name;
    }
}

}  // namespace
}  // namespace morvelant
