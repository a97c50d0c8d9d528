// Shared by the MIDI settings and device information tests: the application,
// a temporary program folder with its configuration file, the 50 input
// components that the hidden input window would own, and the driver library
// on its loopback backend (4 ports each way, output k wired to input k).
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTreeWidget>

#include <unistd.h>
#include <array>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "midikit/MidiKitDLL.h"
#include "midikit/MidiKitIn.h"
#include "platform/IniFile.h"
#include "shell/MidiSettings.h"
#include "tests/support/DriverProcess.h"
#include "tests/support/QtWidgetApp.h"

namespace morvelant::settingstest {

inline QApplication* App() { return testsupport::WidgetApp(); }

using testsupport::ExeFolder;

// Whether this process loaded the driver library on the loopback backend.
inline bool& LoopbackLoadedHere() {
    static bool loaded = false;
    return loaded;
}

// The library fixes its backend when first loaded and stays loaded; when a
// test of another kind loaded it first, the test runs again in a process of
// its own.
inline bool NeedsFreshProcess() { return !LoopbackLoadedHere() && testsupport::DriverLoadedHere(); }

// The first of the names, the last ("no device") left out, that contains part; -1 if none.
inline int Find(const std::vector<std::string>& names, const std::string& part) {
    for (size_t i = 0; i + 1 < names.size(); ++i)
        if (names[i].find(part) != std::string::npos) return static_cast<int>(i);
    return -1;
}

#define SETTINGS_IN_LOOPBACK_PROCESS() MIDIKIT_IN_FRESH_PROCESS_IF(::morvelant::settingstest::NeedsFreshProcess())

class SettingsFixture : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        char tmpl[] = "/tmp/settings-test-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir = tmpl;
        cfg = dir + "/Morvelant.cfg";
        ::setenv("MIDIKIT_BACKEND", "loopback", 1);
        ::unsetenv("MIDIKIT_LOOPBACK_NAMES");
        TMidiKit::SetLibraryFolder("");
        for (auto& in : inputs) in = std::make_unique<TMidiKitIn>();
    }
    void TearDown() override {
        form.reset();
        for (auto& in : inputs) in.reset();
        std::system(("rm -rf '" + dir + "'").c_str());
    }

    void Create() {
        MidiSettingsSetup setup;
        setup.ConfigFile = cfg;
        setup.Inputs = [this](int port) { return inputs[static_cast<size_t>(port)].get(); };
        form = std::make_unique<TMidiSettingsForm>(setup);
        LoopbackLoadedHere() = true;
    }
    void Restart() {
        form.reset();
        Create();
    }

    void Put(const std::string& text) {
        std::ofstream f(cfg, std::ios::binary);
        f << text;
    }
    std::string File() const {
        std::ifstream f(cfg, std::ios::binary);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }

    // A left (or other) click on a node, on its state picture or its label.
    void Click(QTreeWidget* tree, int node, bool onPicture, Qt::MouseButton button = Qt::LeftButton) {
        QRect r = TMidiSettingsForm::StatePictureRect(tree, node);
        ASSERT_TRUE(r.isValid());
        QPoint at = onPicture ? r.center() : QPoint(r.right() + 30, r.center().y());
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), QPointF(tree->viewport()->mapToGlobal(at)), button,
                          button, Qt::NoModifier);
        QApplication::sendEvent(tree->viewport(), &press);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), QPointF(tree->viewport()->mapToGlobal(at)), button,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(tree->viewport(), &release);
    }

    // A left double click on a node, as the window system delivers it:
    // press, release, double-click press, release.
    void DoubleClick(QTreeWidget* tree, int node, bool onPicture) {
        QRect r = TMidiSettingsForm::StatePictureRect(tree, node);
        ASSERT_TRUE(r.isValid());
        const QPoint at = onPicture ? r.center() : QPoint(r.right() + 30, r.center().y());
        const QPointF global(tree->viewport()->mapToGlobal(at));
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                                  QEvent::MouseButtonRelease}) {
            const bool down = type != QEvent::MouseButtonRelease;
            QMouseEvent e(type, QPointF(at), global, Qt::LeftButton, down ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
            QApplication::sendEvent(tree->viewport(), &e);
        }
    }

    void ShowTabOf(QTreeWidget* tree) {
        form->Show();
        QWidget* page = tree->parentWidget();
        form->PageControl1->setCurrentWidget(page);
        QApplication::processEvents();
    }

    std::string dir, cfg;
    std::array<std::unique_ptr<TMidiKitIn>, 50> inputs;
    std::unique_ptr<TMidiSettingsForm> form;
};

}  // namespace morvelant::settingstest
