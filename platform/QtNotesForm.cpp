#include "platform/QtNotesForm.h"

namespace morvelant {

TNotesWindow::TNotesWindow(const QString& name, const char* caption, FormConfig config, bool& shown,
                           std::function<std::string*()> notes, QWidget* parent)
    : TForm(name, parent), config_(std::move(config)), shown_(shown), notes_(std::move(notes)) {
    SetCaption(caption);
    edit_ = new NotesTextEdit(this);
    connect(edit_, &NotesTextEdit::NotesEdited, this, [this](const std::string& text) {
        if (std::string* target = notes_()) *target = text;
    });
    ReadFormConfig(config_, *this, shown_);
    ShowNotes();
}

TNotesWindow::~TNotesWindow() { WriteFormConfig(config_, *this, shown_); }

void TNotesWindow::ShowNotes() {
    if (const std::string* notes = notes_()) edit_->SetStoredText(*notes);
}

void TNotesWindow::resizeEvent(QResizeEvent* event) {
    edit_->setGeometry(rect());
    TForm::resizeEvent(event);
}

}  // namespace morvelant
