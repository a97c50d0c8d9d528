// Text kept as Windows-1252 bytes (names, notes, captions, port aliases,
// files) crosses into Qt only here: bytes 0x80..0x9F from the code page's own
// table, the rest as Latin-1.
//
// A field whose text is stored takes only what the code page can carry:
// ToStorable leaves the rest out and names it, and SayNotStored tells the
// user at once, beside the field, so that what stays on screen is what is
// saved.
#pragma once

#include <QString>

#include <string>

class QWidget;

namespace morvelant {

QString FromCp1252(const std::string& bytes);
// Characters outside the code page become '?'.
std::string ToCp1252(const QString& text);

// Whether the code page has a byte for this character.
bool IsCp1252(char32_t c);

struct StorableText {
    std::string bytes;  // the text as stored
    int caret = 0;  // a caret position of the text, counted in bytes
    QString refused;  // the characters left out, each once, in order
};
// The text as stored without the characters the code page lacks; `caret`
// is a position in `text` (UTF-16 units).
StorableText ToStorable(const QString& text, int caret = 0);
// The text without the characters the code page lacks (gathered in
// `refused` when given).
QString StorableOnly(const QString& text, QString* refused = nullptr);

// The text without the control characters that no key types into a text
// box (NUL, escape and the like; a paste or a drop brings them unseen): a
// box of many lines keeps its line breaks and tabs. `dropped` counts those
// left out.
QString TypableOnly(const QString& text, bool manyLines, int* dropped = nullptr);
// What the user is told when a paste left control characters out.
QString ControlCharactersNotTaken(int dropped);

// Tells the user at once, beside `field`, that `refused` was not taken; the
// message also tells what the field keeps (`keeps`, or by default: the
// characters of Windows-1252). Nothing when `refused` is empty.
void SayNotStored(QWidget* field, const QString& refused, const QString& keeps = {});
// SayNotStored for a name field: `refused` (what the code page lacks) and
// `dropped` (its characters that the name does not take, Tab said as "Tab");
// `keeps` says what the name keeps.
void SayNameNotStored(QWidget* field, const QString& refused, const std::string& dropped, const QString& keeps);
// The text SayNotStored shows.
QString NotStoredText(const QString& refused, const QString& keeps = {});

}  // namespace morvelant
