// The editor's entry point: one copy per user, a screen of at least 800 by
// 600 pixels, the windows created in their fixed order, the message loop,
// and an orderly end in which every window writes its configuration and the
// working sets are saved before the single-instance lock is given up.
//
// Test hook: with the environment variable MORVELANT_EXIT_AFTER_START set
// (to anything non-empty), the message loop ends as soon as it has started,
// so a test can run a whole start and shut-down without a user.

#include <QApplication>
#include <QScreen>
#include <QTimer>

#include <cstdlib>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/MidiInDeviceUnit.h"
#include "platform/Dialogs.h"
#include "platform/ProgramPath.h"
#include "platform/QtDialogs.h"
#include "platform/SingleInstance.h"
#include "shell/About.h"
#include "shell/DevicesInfoForm.h"
#include "shell/Instructions.h"
#include "shell/Main.h"
#include "shell/MainMenu.h"
#include "shell/MidiData.h"
#include "shell/MidiMonGrid.h"
#include "shell/MidiSettings.h"
#include "shell/MorvelantExplorer.h"
#include "shell/SendingUnit.h"

namespace {

using namespace morvelant;

// The hidden MIDI input object (its unit declares no global of its own).
TMidiDeviceForm* MidiDeviceForm = nullptr;

void ShowException(const char* what) {
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
        } catch (const std::exception& e) {
            ShowException(e.what());
        } catch (...) {
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

// The engine's call-outs that belong to windows other than the virtual
// device window.
struct OtherWindowHooks : EngineHooks {
    void LogEvent(int port, const MidiEvent& event, bool incoming) override {
        if (MidiMonGridForm) MidiMonGridForm->LogEvent(port, event, incoming);
    }
};

// The windows in creation order; destroyed in reverse order.
// Each window's global points at it from its creation until it is destroyed.
class WindowSet {
public:
    ~WindowSet() { DestroyAll(); }
    template <typename T> void Add(T*& global, T* object) {
        global = object;
        entries_.push_back({std::unique_ptr<QObject>(object), [&global] { global = nullptr; }});
    }
    void DestroyAll() {
        while (!entries_.empty()) {
            entries_.back().object.reset();
            entries_.back().clearGlobal();
            entries_.pop_back();
        }
    }

private:
    struct Entry {
        std::unique_ptr<QObject> object;
        std::function<void()> clearGlobal;
    };
    std::vector<Entry> entries_;
};

int RunEditor(int argc, char** argv) {
    SingleInstanceLock lock(kSingleInstanceName);
    if (!lock.Acquire() && !lock.Failed()) return 0;  // another copy runs: leave at once, silently
    // (A lock file that cannot be created at all does not keep the editor from starting.)

    EditorApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    QtDialogs dialogs;
    SetCurrentDialogs(&dialogs);

    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect geometry = screen ? screen->geometry() : QRect(0, 0, 800, 600);
    if (!ScreenLargeEnough(geometry.width(), geometry.height())) {
        CurrentDialogs().MessageBox(kScreenTooSmall, kScreenTooSmallCaption, MessageButtons::Ok,
                                    MessageIcon::Warning);
        SetCurrentDialogs(nullptr);
        return 0;
    }
    QApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
    QApplication::setApplicationDisplayName(QString::fromLatin1(kApplicationTitle));

    OtherWindowHooks otherHooks;
    WindowSet windows;
    bool workingSetsRead = false;  // never overwrite the working sets with what was not loaded
    try {
        // Created in their fixed order; each may use the ones before it. The
        // menu window comes first: it is the main window, and it works out
        // the program directory and the file named on the command line.
        std::vector<std::string> arguments;
        for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
        windows.Add(MainMenuForm, new TMainMenuForm(ProgramDirectory(), std::move(arguments)));
        const std::string programPath = MainMenuForm->ProgramPath;
        // Closing the menu window ends the run.
        MainMenuForm->ProgramEnd = [] { QCoreApplication::exit(0); };
        windows.Add(MainForm, new TMainForm(programPath));
        windows.Add(MidiDeviceForm, new TMidiDeviceForm(MainForm->DeviceEngine));
        MidiSettingsSetup setup;
        setup.ConfigFile = MainForm->ConfigFile();
        setup.Inputs = [](int port) { return MidiDeviceForm ? MidiDeviceForm->In(port) : nullptr; };
        setup.Routing = &MainForm->Routing;
        windows.Add(MidiSettingsForm, new TMidiSettingsForm(std::move(setup)));
        windows.Add(DevicesInfoForm1, new TDevicesInfoForm1(MainForm->ConfigFile(), &MainForm->Routing));
        // The device information window keeps its open-at-exit flag itself;
        // the reopening at start reads it from the model.
        MainForm->Model.ShowDevicesInfo1 = DevicesInfoForm1->ShowDevicesInfo1;
        DevicesInfoForm1->UncheckMenuItem = [] {
            if (MainMenuForm) MainMenuForm->MainFormWindowsDeviceInfo->setChecked(false);
        };
        windows.Add(AboutForm, new TAboutForm);
        windows.Add(InstructionsForm, new TInstructionsForm(programPath));
        windows.Add(MidiMonGridForm, new TMidiMonGridForm(&MainForm->Model));
        MidiMonGridForm->SetRouting(&MainForm->Routing);
        windows.Add(MidiDataForm, new TMidiDataForm);
        windows.Add(MorvelantExplorerForm, new TMorvelantExplorerForm(&MainForm->Model, programPath));
        MidiMonGridForm->ExplorerStateImage = [](int stateImage) {
            if (MorvelantExplorerForm) MorvelantExplorerForm->SetStateIndex(kMonitorNode, stateImage);
        };
        if (MainMenuForm) {
            MainMenuForm->Explorer.ShowEditorWindow = [](QWidget* form, bool exclusive, bool noToggle) {
                auto* editorWindow = qobject_cast<TForm*>(form);
                if (MorvelantExplorerForm)
                    MorvelantExplorerForm->ShowEditorWindow(editorWindow, exclusive, noToggle);
                else if (editorWindow)
                    editorWindow->Show();
            };
            MainMenuForm->Explorer.SetStayOnTop = [](bool stayOnTop) {
                if (MorvelantExplorerForm) MorvelantExplorerForm->SetStayOnTop(stayOnTop);
            };
        }
        windows.Add(SendingForm, new TSendingForm);
        SendingForm->AddSendItemOwner(MainMenuForm);
        MainForm->ForwardHooks = &otherHooks;
        // The working sets, as the preset and pattern list windows load them.
        MainForm->ReadWorkingSets(MainMenuForm->CommandLineFile);
        workingSetsRead = true;

        // The menu window is the main window: closing it ends the loop.
        // Showing it shows the virtual device window.
        QWidget* mainWindow = MainMenuForm;
        MainWindowWatch watch(mainWindow);
        MainMenuForm->Show();

        if (const char* exitAfterStart = std::getenv("MORVELANT_EXIT_AFTER_START");
            exitAfterStart && *exitAfterStart)
            QTimer::singleShot(0, &app, [] { QCoreApplication::exit(0); });
        QApplication::exec();
    } catch (const std::exception& e) {
        ShowException(e.what());
    } catch (...) {
        ShowException(nullptr);
    }
    ShutDownEditor(
        lock, [&workingSetsRead] { if (MainForm && workingSetsRead) MainForm->WriteWorkingSets(); },
        [&windows] {
            if (MainForm) MainForm->ForwardHooks = nullptr;
            windows.DestroyAll();
        });
    SetCurrentDialogs(nullptr);
    return 0;
}

}  // namespace

int main(int argc, char** argv) { return RunEditor(argc, argv); }
