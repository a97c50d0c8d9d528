// What the list window tests share: a window of the list kind on its own
// device context, with scripted dialogs and a scratch program folder for its
// configuration, and the presses and drops a user makes on the list.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>

#include <filesystem>
#include <memory>
#include <string>

#include "engine/DeviceContext.h"
#include "platform/CommandRegistry.h"
#include "platform/Dialogs.h"
#include "tests/support/QtWidgetApp.h"

namespace morvelant::testsupport {

// A left press on `target` (a name field) with `mods` held.
inline void PressLeft(QWidget* target, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
                      Qt::LeftButton, mods);
    QApplication::sendEvent(target, &press);
}

// Drags `data` into `target` and drops it there (a drop reaches only the
// widget that took the drag's entering); deletes `data`. Whether the drop
// was taken.
inline bool DropOn(QWidget* target, QMimeData* data) {
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    delete data;
    return drop.isAccepted();
}

// The fixture: SetUp makes the folder, the derived SetUp sets the routing
// and calls MakeForm; TearDown closes the window (writing its
// configuration) before the folder goes.
template <class Form>
struct ListWindowTest : ::testing::Test {
    explicit ListWindowTest(const std::string& name)
        : dir(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()))) {}

    std::filesystem::path dir;
    DeviceContext context;
    DeviceModel& model = context.Model;
    Notifications& notifications = context.Notices;
    MidiRouting& routing = context.Routing;
    Engine& engine = context.DeviceEngine;
    CommandRegistry commands;
    ScriptedDialogs dialogs;
    ScopedDialogs scope{dialogs};
    std::unique_ptr<Form> form;

    void SetUp() override {
        WidgetApp(true);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override {
        form.reset();
        std::filesystem::remove_all(dir);
    }
    void MakeForm() { form = std::make_unique<Form>(model, notifications, engine, commands, Dir()); }
    std::string Dir() const { return dir.string() + "/"; }
    QLineEdit* Edit(int slot) { return form->EditList[std::size_t(slot)]; }
    void Press(int slot, Qt::KeyboardModifiers mods = Qt::NoModifier) { PressLeft(Edit(slot), mods); }
    static bool Drop(QWidget* target, QMimeData* data) { return DropOn(target, data); }
};

}  // namespace morvelant::testsupport
