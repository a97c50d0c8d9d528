// The notes window that the preset notes and the pattern notes share: one
// text box filling the window, showing the notes of the current record and
// storing every change the user types at once. The derived window says
// where the notes are and when to show them anew.
#pragma once

#include <functional>
#include <string>

#include "platform/QtFormBase.h"
#include "platform/QtFormConfig.h"
#include "platform/QtNotesEdit.h"

namespace morvelant {

class TNotesWindow : public TForm {
    Q_OBJECT

public:
    // notes: the current record's notes (null when there is none).
    // shown: the window's shown flag, read and written with its configuration.
    TNotesWindow(const QString& name, const char* caption, FormConfig config, bool& shown,
                 std::function<std::string*()> notes, QWidget* parent = nullptr);
    ~TNotesWindow() override;

    // The box, named by the derived window.
    NotesTextEdit* Edit() const { return edit_; }
    // The current record's notes into the box.
    void ShowNotes();

protected:
    void FormShow() override { shown_ = true; }
    void FormClose(TCloseAction&) override { shown_ = false; }
    void resizeEvent(QResizeEvent* event) override;

private:
    FormConfig config_;
    bool& shown_;
    std::function<std::string*()> notes_;
    NotesTextEdit* edit_ = nullptr;
};

}  // namespace morvelant
