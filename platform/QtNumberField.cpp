#include "platform/QtNumberField.h"

#include <QLineEdit>

#include <algorithm>
#include <climits>

namespace morvelant {

std::optional<int> TypedWholeNumber(const QString& text) {
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) negative = t[i++] == u'-';
    if (i >= t.size()) return std::nullopt;
    long long v = 0;
    for (; i < t.size(); ++i) {
        const char16_t c = t[i].unicode();
        if (c < u'0' || c > u'9') return std::nullopt;
        v = std::min(v * 10 + (c - u'0'), static_cast<long long>(INT_MAX) + 1);
    }
    if (negative) v = -v;
    return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

int CommittedNumber(const QString& text, int old, int lo, int hi) {
    const std::optional<int> typed = TypedWholeNumber(text);
    return typed ? std::clamp(*typed, lo, hi) : old;
}

void OnNumberCommitted(QLineEdit* edit, std::function<void()> commit) {
    // Return commits even an unchanged text (it shows the kept value again);
    // the focus leaving commits only what the user changed.
    QObject::connect(edit, &QLineEdit::returnPressed, edit, [edit, commit] {
        edit->setModified(false);
        commit();
    });
    QObject::connect(edit, &QLineEdit::editingFinished, edit, [edit, commit] {
        if (!edit->isModified()) return;
        edit->setModified(false);
        commit();
    });
}

}  // namespace morvelant
