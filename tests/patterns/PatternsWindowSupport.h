// What the pattern window tests share: the offscreen application, a program
// folder of their own, a model with factory patterns, and mouse events.
#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QWidget>

#include <memory>
#include <vector>

#include "model/DeviceModel.h"
#include "model/Notifications.h"
#include "patterns/PatternPickers.h"
#include "platform/CommandRegistry.h"
#include "platform/ProgramPath.h"
#include "tests/support/QtWidgetApp.h"

namespace morvelant::testsupport {

inline void Mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), type == QEvent::MouseMove ? Qt::NoButton : button,
                  held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// Records the codes it was shown with; answers from a script (then 0).
struct ScriptedPickers : PatternPickers {
    std::vector<int> answers;
    std::vector<int> codes;
    int Next(int code) {
        codes.push_back(code);
        if (answers.empty()) return 0;
        const int a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
    int PianoKeyboard(int code, int, int) override { return Next(code); }
    int NumericalValues(int code) override { return Next(code); }
    int MidiControllers(int code) override { return Next(code); }
    int TimePicker(int mode, int track, int, int) override { return Next(100 * mode + track); }
    int ChannelPicker(int mode, int track, int, int) override { return Next(1000 + 100 * mode + track); }
};

class PatternWindowTest {
protected:
    PatternWindowTest() {
        WidgetApp(true);
        SetProgramDirectory(dir.path().toStdString());
        for (int p = 0; p < kPatternCount; ++p) model->InitPattern(p);
    }
    ~PatternWindowTest() { SetProgramDirectory(""); }

    QTemporaryDir dir;
    std::unique_ptr<DeviceModel> model = std::make_unique<DeviceModel>();
    DeviceModel& m = *model;
    Notifications notes;
    CommandRegistry commands;
    ScriptedPickers pickers;
};

}  // namespace morvelant::testsupport
