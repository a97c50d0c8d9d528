// The editor as main() starts it, in this process: the composition root's
// window set created in a program folder of its own, the menu window shown,
// and message boxes and file dialogs answered by the test.
#pragma once

#include <QDir>
#include <QApplication>
#include <QFile>
#include <QThread>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/EditorWindowSet.h"
#include "platform/Dialogs.h"
#include "platform/ProgramPath.h"
#include "shell/Main.h"
#include "shell/MainMenu.h"
#include "tests/support/QtWidgetApp.h"

namespace morvelant::testsupport {

class StartedEditor {
public:
    StartedEditor() {
        WidgetApp(true);
        ::setenv("MIDIKIT_BACKEND", "loopback", 1);
        // Where each session records the place of its work: this editor's own.
        if (const char* was = std::getenv("XDG_STATE_HOME")) stateWas_ = was;
        ::setenv("XDG_STATE_HOME", state_.path().toLocal8Bit().constData(), 1);
        SetProgramDirectory(Folder());
        SetCurrentDialogs(&Dialogs);
    }
    ~StartedEditor() {
        Stop();
        SetCurrentDialogs(nullptr);
        SetProgramDirectory({});
        if (stateWas_)
            ::setenv("XDG_STATE_HOME", stateWas_->c_str(), 1);
        else
            ::unsetenv("XDG_STATE_HOME");
    }

    // The program folder: put "Morvelant.cfg" and files here before Start.
    std::string Folder() const { return folder_.path().toStdString() + "/"; }
#ifdef MORVELANT_SOURCE_DIR
    // The drum kit file the program ships, in the program folder's "Drumkits".
    bool AddShippedDrumkit() const {
        const QString kits = QString::fromStdString(Folder() + "Drumkits");
        return QDir().mkpath(kits) &&
            QFile::copy(QStringLiteral(MORVELANT_SOURCE_DIR "/patterns/Drumkits/GM.MVD"), kits + "/GM.MVD");
    }
#endif

    void Start(std::vector<std::string> arguments = {}) {
        windows_ = std::make_unique<EditorWindowSet>();
        windows_->Create(Folder(), std::move(arguments));
        MainMenuForm->Show();
    }
    // As the program starts: the menu window first, the other windows that
    // the start shows after its first frame, those it does not show after
    // the device window's (or all at the first input before). By default it
    // returns once the windows that the start shows are made.
    void StartAsTheProgram(bool untilShownWindowsMade = true) {
        windows_ = std::make_unique<EditorWindowSet>();
        windows_->StartAsTheProgram(Folder(), {});
        for (int i = 0; untilShownWindowsMade && i < 400 && windows_->MenuWindowAlone(); ++i) {
            QApplication::processEvents();
            if (windows_->MenuWindowAlone()) QThread::msleep(5);
        }
    }
    // Returns once the windows that the start leaves for later are made.
    void WaitForTheRest() {
        for (int i = 0; i < 400 && windows_->RestPending(); ++i) {
            QApplication::processEvents();
            if (windows_->RestPending()) QThread::msleep(5);
        }
    }
    // The end of a run: working sets, then the windows.
    void Stop() {
        if (!windows_) return;
        windows_->WriteWorkingSets();
        windows_->DestroyAll();
        windows_.reset();
    }

    EditorWindowSet& Windows() { return *windows_; }
    DeviceModel& Model() { return windows_->Context().Model; }
    CommandRegistry& Commands() { return windows_->Commands(); }

    ScriptedDialogs Dialogs;

private:
    QTemporaryDir folder_;
    QTemporaryDir state_;
    std::optional<std::string> stateWas_;
    std::unique_ptr<EditorWindowSet> windows_;
};

}  // namespace morvelant::testsupport
