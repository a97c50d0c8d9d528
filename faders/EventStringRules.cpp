#include "faders/EventStringRules.h"

#include <algorithm>

namespace morvelant {

namespace {

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

char Upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

bool Accepted(char c, StringKind kind) {
    if (IsHexDigit(c)) return true;
    return kind == StringKind::Event && (c == 'x' || c == 'X');
}

// The first "X" stays, and an "X" directly after it; every later "X" goes.
void KeepOnePlaceholder(std::string& digits) {
    const size_t first = digits.find('X');
    if (first == std::string::npos) return;
    size_t j = first + 1;
    while (j < digits.size()) {
        if (digits[j] == 'X' && j != first + 1)
            digits.erase(j, 1);
        else
            ++j;
    }
}

// Byte index of an "XX" that begins a byte; else one past the last byte.
int Data1OfDigits(const std::string& digits) {
    const size_t q = digits.find("XX");
    if (q != std::string::npos && q % 2 == 0) return int(q / 2);
    return int(digits.size() / 2) + 1;
}

}  // namespace

bool BackspaceOverBlank(const std::string& text, int caret) {
    return caret >= 1 && caret <= int(text.size()) && text[size_t(caret - 1)] == ' ';
}

EventStringEdit CanonicaliseEventString(const std::string& text, int caret, bool backBlank, StringKind kind) {
    std::string t = text;
    const int n = int(t.size());
    int p = std::clamp(caret, 0, n);
    // The control already took the blank away; the digit in front goes too.
    if (backBlank && p >= 1) {
        t.erase(size_t(p - 1), 1);
        --p;
    }
    std::string digits;
    int count = 0;
    int caretCount = 0;
    for (int i = 1; i <= n; ++i) {
        if (i <= int(t.size())) {
            const char ch = t[size_t(i - 1)];
            if (Accepted(ch, kind)) {
                digits += Upper(ch);
                ++count;
            }
        }
        if (i == p) caretCount = count;
    }
    if (kind == StringKind::Event) KeepOnePlaceholder(digits);
    if (int(digits.size()) > kMaxEventStringDigits) digits.resize(kMaxEventStringDigits);

    EventStringEdit edit;
    edit.data1 = Data1OfDigits(digits);
    const int length = int(digits.size());
    // Characters dropped in front of the caret (a further "X", digits past
    // the 60th) leave it at the end.
    int newCaret = caretCount > length ? kMaxEventStringDigits * 2 : p;
    for (int k = 1; k <= length; ++k) {
        edit.text += digits[size_t(k - 1)];
        if (k % 2 == 0 && k < length) edit.text += ' ';
        if (k == caretCount) newCaret = int(edit.text.size());
    }
    edit.caret = std::clamp(newCaret, 0, int(edit.text.size()));
    return edit;
}

int EventStringData1(const std::string& canonical) {
    std::string digits;
    for (char c : canonical)
        if (c != ' ') digits += c;
    return Data1OfDigits(digits);
}

std::optional<std::string> MovePlaceholder(const std::string& stored, const std::string& fieldText, int x) {
    const int bytes = int((stored.size() + 1) / 3);
    if (bytes < 1) return std::nullopt;
    std::string t = fieldText;
    const size_t at = t.find("XX");
    if (at != std::string::npos) t.erase(at, 3);
    if (x >= 0 && x < bytes) {
        // "XX " so that it begins at character 3x (counted from 1), the
        // rebuild brings the blanks back in order.
        const size_t pos = std::min(x == 0 ? size_t(0) : size_t(3 * x - 1), t.size());
        t.insert(pos, "XX ");
    }
    return t;
}

std::string WholeBytes(const std::string& canonical) {
    const size_t lastBlank = canonical.rfind(' ');
    const size_t lastByte = lastBlank == std::string::npos ? 0 : lastBlank + 1;
    if (canonical.size() - lastByte != 1) return canonical;
    return canonical.substr(0, lastBlank == std::string::npos ? 0 : lastBlank);
}

}  // namespace morvelant
