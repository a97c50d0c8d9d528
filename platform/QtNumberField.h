// Number fields: a field takes what the user typed when the edit is
// committed (Return or Enter, or the focus leaving a changed field), never
// per keystroke. A whole number is clamped into the field's range; text that
// is none (an empty field too) gives the field's old value back. Nothing asks
// the user: the field shows at once the value that is kept.
#pragma once

#include <QString>

#include <functional>
#include <optional>

class QLineEdit;

namespace morvelant {

// The whole decimal number typed (blanks around it allowed); a number too
// large for an int comes back as the int's limit, so that it clamps.
std::optional<int> TypedWholeNumber(const QString& text);

// What a committed field holds: the typed number clamped into lo..hi, or
// `old` for text that is no whole number.
int CommittedNumber(const QString& text, int old, int lo, int hi);

// Calls `commit` each time the user commits an edit of `edit`.
void OnNumberCommitted(QLineEdit* edit, std::function<void()> commit);

}  // namespace morvelant
