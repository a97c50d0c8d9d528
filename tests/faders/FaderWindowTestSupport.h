// The fader parameter window on a real model, offscreen, with its
// configuration in a folder of its own and typed keys sent as a user would.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>

#include <memory>

#include "engine/DeviceContext.h"
#include "engine/Tool.h"
#include "faders/AllFaderParameters.h"
#include "platform/CommandRegistry.h"
#include "platform/QtText.h"
#include "tests/support/QtWidgetApp.h"

namespace morvelant::fadertest {

inline void Key(QWidget* w, int key, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &release);
}

// Types text at the caret, one key press per character.
inline void Type(QLineEdit* edit, const QString& text) {
    for (QChar c : text) Key(edit, c.toUpper().unicode(), c);
}

class FaderWindowFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testsupport::WidgetApp(true); }

    QTemporaryDir dir;
    std::unique_ptr<DeviceContext> ctx = std::make_unique<DeviceContext>(dir.path().toStdString());
    DeviceModel& model = ctx->Model;
    CommandRegistry commands;
    std::unique_ptr<TAllFaderP> w;

    void SetUp() override {
        w = std::make_unique<TAllFaderP>(ctx->DeviceEngine, commands);
        Select(0);
    }

    void Select(int f) { SelectFader(ctx->DeviceEngine, f); }
    Morvelant_Parameters& P(int p = 0) { return model.Presets[size_t(p)]; }
    template <typename W>
    W* Find(const char* name) {
        W* found = w->findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QComboBox* List(const char* name) { return Find<QComboBox>(name); }
    QLineEdit* Edit(const char* name) { return Find<QLineEdit>(name); }
    std::string Text(QLineEdit* e) { return ToCp1252(e->text()); }
    // Replaces a field's text as a paste would: the change handling runs.
    void Paste(QLineEdit* e, const char* text) {
        e->selectAll();
        e->insert(QString::fromLatin1(text));
    }
    // Pastes a number and commits it with Return.
    void Enter(QLineEdit* e, const char* text) {
        Paste(e, text);
        Key(e, Qt::Key_Return);
    }
};

}  // namespace morvelant::fadertest
