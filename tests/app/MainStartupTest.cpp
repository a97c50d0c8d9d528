// The built editor as a process, offscreen: a first start without any
// configuration writes the configuration and both working sets at its end,
// and a second copy started while one runs leaves at once with code 0.
//
// Each test copies the executable and the driver library into its own
// program folder and gives the processes their own runtime folder (where the
// single-instance lock lives). MORVELANT_EXIT_AFTER_START makes the editor
// end its message loop as soon as it has started.

#include <gtest/gtest.h>

#include <functional>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
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
#include "platform/SingleInstance.h"
#include "tests/support/JackServer.h"
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

    // Waits until the copy `p` holds the lock (a limit only keeps a broken
    // run from hanging).
    bool HoldsTheLock(const QProcess& p) const {
        QDeadlineTimer limit(120000);
        while (!LockHeldElsewhere() && !limit.hasExpired() && p.state() == QProcess::Running) QThread::msleep(20);
        return LockHeldElsewhere();
    }

    QTemporaryDir program;
    QTemporaryDir runtime;
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
    second.setProcessChannelMode(QProcess::MergedChannels);
    second.start(secondProgram.filePath("MorvelantEditor"), {});
    ASSERT_TRUE(second.waitForStarted(30000));
    // It says so (in a box, and in the terminal), and ends once the box is
    // closed; here an end signal closes it.
    QByteArray said;
    while (!said.contains("already running") && second.waitForReadyRead(120000)) said += second.readAll();
    EXPECT_TRUE(said.contains("The editor is already running")) << said.toStdString();
    ::kill(pid_t(second.processId()), SIGTERM);
    ASSERT_TRUE(second.waitForFinished(120000));
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
    const char* runFiles[] = {"Morvelant.cfg", "Morvelant 2.cfg", "Config.MVR", "Config 2.MVT", "Config.MVR.BAK", ".Morvelant.lock"};
    for (const char* name : runFiles) {
        EXPECT_EQ(output(git + "ls-files -- '" + name + "'"), "") << name;
        EXPECT_EQ(output(git + "check-ignore --no-index -q '" + name + "' && echo ignored"), "ignored\n") << name;
    }
}

}  // namespace
}  // namespace morvelant
