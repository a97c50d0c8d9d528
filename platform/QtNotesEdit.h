// The text box of the preset and pattern notes windows. The notes are kept
// as the files hold them (Windows-1252 bytes, lines ended by CR LF); the box
// shows them with plain line breaks. Showing a text never counts as a change:
// only what the user types comes out through NotesEdited.
#pragma once

#include <QPlainTextEdit>

#include <string>

namespace morvelant {

// CR LF and a lone CR become one line break; the rest is kept.
QString NotesToWidgetText(const std::string& stored);
// Every line break becomes CR LF.
std::string NotesFromWidgetText(const QString& text);

class NotesTextEdit : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit NotesTextEdit(QWidget* parent = nullptr);

    // Shows stored notes; the box is left alone when it shows them already,
    // so the caret stays where the user had it.
    void SetStoredText(const std::string& stored);
    std::string StoredText() const { return NotesFromWidgetText(toPlainText()); }

signals:
    // The user changed the text; its stored form.
    void NotesEdited(const std::string& stored);

private:
    bool filling_ = false;
};

}  // namespace morvelant
