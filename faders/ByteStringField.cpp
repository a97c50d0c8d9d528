#include "faders/ByteStringField.h"

#include <QKeyEvent>
#include <QLineEdit>

#include <utility>

#include "platform/QtText.h"

namespace morvelant {

ByteStringField::ByteStringField(QLineEdit* edit, DeviceModel& model, StringKind kind,
                                 std::function<void(const EventStringEdit&)> store)
    : QObject(edit), edit_(edit), model_(model), kind_(kind), store_(std::move(store)) {
    edit_->installEventFilter(this);
    connect(edit_, &QLineEdit::textChanged, this, [this] { Change(); });
    connect(edit_, &QLineEdit::editingFinished, this, [this] {
        const QString kept = FromCp1252(WholeBytes(ToCp1252(edit_->text())));
        if (edit_->text() == kept) return;
        DeviceModel::UpdatingGuard guard(model_);
        edit_->setText(kept);
    });
}

void ByteStringField::Change() {
    const bool backBlank = std::exchange(backBlank_, false);
    if (model_.Updating) return;
    EventStringEdit e = CanonicaliseEventString(ToCp1252(edit_->text()), edit_->cursorPosition(), backBlank, kind_);
    const std::string whole = WholeBytes(e.text);
    {
        DeviceModel::UpdatingGuard guard(model_);
        const QString text = FromCp1252(typing_ ? e.text : whole);
        if (edit_->text() != text) edit_->setText(text);
        edit_->setCursorPosition(e.caret);
    }
    e.text = whole;
    store_(e);
}

bool ByteStringField::eventFilter(QObject* watched, QEvent* event) {
    if (watched != edit_ || event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    backBlank_ = key->key() == Qt::Key_Backspace && BackspaceOverBlank(ToCp1252(edit_->text()), edit_->cursorPosition());
    // The field applies the key now, so that its changes know the key.
    typing_ = true;
    edit_->event(event);
    typing_ = backBlank_ = false;
    return true;
}

}  // namespace morvelant
