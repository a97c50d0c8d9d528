#include "platform/QtNotesEdit.h"

#include <QFontDatabase>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>

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
    connect(document(), &QTextDocument::contentsChange, this, [this](int position, int, int) { lastChange_ = position; });
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!filling_) Q_EMIT NotesEdited(StoredText());
    });
}

void NotesTextEdit::SetStoredText(const std::string& stored) {
    const QString text = NotesToWidgetText(stored);
    if (toPlainText() == text) return;
    filling_ = true;
    setPlainText(text);
    filling_ = false;
}

std::string NotesTextEdit::StoredText() const {
    // The raw text keeps a no-break space, which the plain text turns into a
    // blank; line and paragraph separators are line breaks.
    QString text = document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n')).replace(QChar::LineSeparator, QLatin1Char('\n'));
    return NotesFromWidgetText(text);
}

void NotesTextEdit::keyPressEvent(QKeyEvent* event) {
    QString refused;
    StorableOnly(event->text(), &refused);
    if (!refused.isEmpty() && !isReadOnly()) {
        SayNotStored(this, refused);
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void NotesTextEdit::inputMethodEvent(QInputMethodEvent* event) {
    QString refused;
    const QString kept = StorableOnly(event->commitString(), &refused);
    if (refused.isEmpty()) {
        QPlainTextEdit::inputMethodEvent(event);
        return;
    }
    SayNotStored(this, refused);
    QInputMethodEvent taken(event->preeditString(), event->attributes());
    taken.setCommitString(kept, event->replacementStart(), event->replacementLength());
    QPlainTextEdit::inputMethodEvent(&taken);
}

void NotesTextEdit::insertFromMimeData(const QMimeData* source) {
    if (source == nullptr || !source->hasText()) return;
    // A paste or a drop brings what no key types (a NUL, an escape), which
    // the box would keep unseen and the notes would save.
    int controls = 0;
    const QString typable = TypableOnly(source->text(), true, &controls);
    QString refused;
    QMimeData taken;
    taken.setText(StorableOnly(typable, &refused));
    if (controls == 0)
        SayNotStored(this, refused);
    else
        SayNotStored(this, (refused.isEmpty() ? QString() : refused + QStringLiteral(" and ")) +
                         ControlCharactersNotTaken(controls),
                     QStringLiteral("A paste keeps only what typing could enter, in Windows-1252."));
    QPlainTextEdit::insertFromMimeData(&taken);
}

}  // namespace morvelant
