// A field of hex bytes as the user types it: the fader window's event
// strings and the special keys' strings. Each change is rebuilt into the
// canonical byte text (Backspace directly after a blank takes the digit in
// front of it too), and only whole bytes are handed on to be stored, sent
// and saved. A half byte shows only while it is typed: leaving the field
// (Return, the focus going) drops it, and a change that no key press made
// (the program's, a drop) never shows one.
#pragma once

#include <QObject>

#include <functional>

#include "faders/EventStringRules.h"
#include "model/DeviceModel.h"

class QLineEdit;

namespace morvelant {

class ByteStringField : public QObject {
    Q_OBJECT

public:
    // `store` takes each change made outside the update guard: the rebuilt
    // text's whole bytes, and the data 1 they give.
    ByteStringField(QLineEdit* edit, DeviceModel& model, StringKind kind,
                    std::function<void(const EventStringEdit&)> store);

    // The field's text changed: rebuilt, shown and handed on.
    void Change();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* edit_;
    DeviceModel& model_;
    StringKind kind_;
    std::function<void(const EventStringEdit&)> store_;
    // A key press is being applied; it was Backspace over a blank (which
    // serves only the first change it causes).
    bool typing_ = false;
    bool backBlank_ = false;
};

}  // namespace morvelant
