#include "platform/QtNotesEdit.h"

#include <QFontDatabase>

#include "platform/QtText.h"

namespace morvelant {

QString NotesToWidgetText(const std::string& stored) {
    std::string text;
    text.reserve(stored.size());
    for (std::size_t i = 0; i < stored.size(); ++i) {
        if (stored[i] == '\r') {
            text += '\n';
            if (i + 1 < stored.size() && stored[i + 1] == '\n') ++i;
        } else {
            text += stored[i];
        }
    }
    return FromCp1252(text);
}

std::string NotesFromWidgetText(const QString& text) {
    const std::string plain = ToCp1252(text);
    std::string stored;
    stored.reserve(plain.size() + plain.size() / 16);
    for (char c : plain) {
        if (c == '\n') stored += '\r';
        stored += c;
    }
    return stored;
}

NotesTextEdit::NotesTextEdit(QWidget* parent) : QPlainTextEdit(parent) {
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!filling_) emit NotesEdited(StoredText());
    });
}

void NotesTextEdit::SetStoredText(const std::string& stored) {
    const QString text = NotesToWidgetText(stored);
    if (toPlainText() == text) return;
    filling_ = true;
    setPlainText(text);
    filling_ = false;
}

}  // namespace morvelant
