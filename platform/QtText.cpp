#include "platform/QtText.h"

#include <QToolTip>
#include <QWidget>

namespace morvelant {

namespace {

constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The byte of a character of the code page, or -1.
int Cp1252Byte(char32_t u) {
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return int(u);
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == u) return 0x80 + i;
    return -1;
}

}  // namespace

QString FromCp1252(const std::string& bytes) {
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (unsigned char b : bytes) out.append(QChar(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char16_t(b)));
    return out;
}

std::string ToCp1252(const QString& text) {
    std::string out;
    out.reserve(static_cast<size_t>(text.size()));
    for (QChar ch : text) {
        const int b = Cp1252Byte(ch.unicode());
        out.push_back(static_cast<char>(b < 0 ? '?' : b));
    }
    return out;
}

bool IsCp1252(char32_t c) { return Cp1252Byte(c) >= 0; }

StorableText ToStorable(const QString& text, int caret) {
    StorableText out;
    out.bytes.reserve(static_cast<size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        const int b = pair ? -1 : Cp1252Byte(text[i].unicode());
        if (b >= 0) {
            out.bytes.push_back(static_cast<char>(b));
            if (i < caret) ++out.caret;
            continue;
        }
        // A character beyond the first plane is one refused character, not two.
        const QString ch = text.mid(i, pair ? 2 : 1);
        if (!out.refused.contains(ch)) out.refused += ch;
        if (pair) ++i;
    }
    return out;
}

QString StorableOnly(const QString& text, QString* refused) {
    const StorableText s = ToStorable(text);
    if (refused != nullptr) *refused = s.refused;
    return s.refused.isEmpty() ? text : FromCp1252(s.bytes);
}

QString TypableOnly(const QString& text, bool manyLines, int* dropped) {
    QString kept;
    kept.reserve(text.size());
    int left = 0;
    for (const QChar c : text) {
        const bool lineOrTab = c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t');
        if (c.category() == QChar::Other_Control && !(manyLines && lineOrTab))
            ++left;
        else
            kept += c;
    }
    if (dropped != nullptr) *dropped = left;
    return kept;
}

QString ControlCharactersNotTaken(int dropped) {
    return dropped == 1 ? QStringLiteral("1 control character") : QStringLiteral("%1 control characters").arg(dropped);
}

QString NotStoredText(const QString& refused, const QString& keeps) {
    return QStringLiteral("Not taken: %1\n%2")
        .arg(refused, keeps.isEmpty() ? QStringLiteral("The editor keeps its texts in Windows-1252, which has no such "
                                                       "character.")
                                      : keeps);
}

void SayNotStored(QWidget* field, const QString& refused, const QString& keeps) {
    if (field == nullptr || refused.isEmpty()) return;
    QToolTip::showText(field->mapToGlobal(QPoint(0, field->height())), NotStoredText(refused, keeps), field, QRect(),
                       5000);
}

void SayNameNotStored(QWidget* field, const QString& refused, const std::string& dropped, const QString& keeps) {
    QString all = refused;
    for (QChar c : FromCp1252(dropped))
        if (!all.contains(c)) all += c == QLatin1Char('\t') ? QStringLiteral("Tab") : QString(c);
    SayNotStored(field, all, keeps);
}

}  // namespace morvelant
