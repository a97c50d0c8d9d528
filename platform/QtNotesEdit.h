// The text box of the preset and pattern notes windows. The notes are kept
// as the files hold them (Windows-1252 bytes, lines ended by CR LF); the box
// shows them with plain line breaks. Showing a text never counts as a change:
// only what the user types comes out through NotesEdited.
//
// The box takes only what the notes can keep: a key, a paste, a drop or an
// input method's text with characters outside Windows-1252 loses them, and
// the user is told at once beside the box.
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
    std::string StoredText() const;
    // Where the text last changed (a position in the box).
    int LastChangePosition() const { return lastChange_; }

Q_SIGNALS:
    // The user changed the text; its stored form.
    void NotesEdited(const std::string& stored);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    bool filling_ = false;
    int lastChange_ = 0;
};

}  // namespace morvelant
