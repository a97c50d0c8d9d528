// The text rules of the fader parameter window's string fields, without any
// window: the canonical event-string form (hex byte pairs joined by single
// blanks, at most one live-value placeholder "XX", at most 60 characters
// without the blanks) with the caret that follows a rebuild and the
// "String X Position" it gives, the move of the placeholder when a String
// event's data 1 is chosen from its list, and the whole bytes of a text
// whose last byte is still being typed.
//
// The special keys editor uses the same rebuild without placeholder.
#pragma once

#include <optional>
#include <string>

namespace morvelant {

inline constexpr int kMaxEventStringDigits = 60;

enum class StringKind {
    Event,  // hex digits and the placeholder "XX"
    SpecialKey,  // hex digits only
};

struct EventStringEdit {
    std::string text;  // the canonical text
    int caret = 0;  // where the caret goes in it
    int data1 = 1;  // byte index of "XX", or the past-the-end position
};

// The key handler's flag: the key is Backspace and the character directly
// before the caret is a blank.
bool BackspaceOverBlank(const std::string& text, int caret);

// Rebuilds a field's text after a change. caret: the caret position (0-based)
// after the change; backBlank: the change was a Backspace that removed a
// blank (the digit in front of it goes too). Text that is already canonical
// comes back unchanged.
EventStringEdit CanonicaliseEventString(const std::string& text, int caret, bool backBlank,
                                        StringKind kind = StringKind::Event);

// Data 1 of a String event whose string is `canonical`.
int EventStringData1(const std::string& canonical);

// A String event's data 1 was chosen as x. stored: the event's stored
// string; fieldText: the string field's text. Returns the text to store
// through the canonical rebuild, or nothing when the stored string holds no
// byte (only data 1 changes then). The placeholder moves to byte x; an x at
// or past the string's end ("Slider" included) leaves the string without one.
std::optional<std::string> MovePlaceholder(const std::string& stored, const std::string& fieldText, int x);

// The bytes of a canonical text that are stored, sent and saved: a lone
// digit at its end (a half byte, still being typed) is left out.
std::string WholeBytes(const std::string& canonical);

}  // namespace morvelant
