// The instructions window: the plain-text instructions "Documentation 1a.txt"
// in a scrollable fixed-pitch text box. The file is read again every time the
// window is shown, so what was typed into the box is gone at the next showing.
#pragma once

#include <string>

#include "platform/QtFormBase.h"

class QPlainTextEdit;

namespace morvelant {

inline constexpr char kInstructionsFileName[] = "Documentation 1a.txt";

class TInstructionsForm : public TForm {
    Q_OBJECT

public:
    // programPath: the folder holding the instructions file (empty: the
    // current folder).
    explicit TInstructionsForm(std::string programPath = {}, QWidget* parent = nullptr);
    ~TInstructionsForm() override;

    QPlainTextEdit* RichEdit1 = nullptr;

    std::string InstructionsFile() const;
    // Replaces the box's text with the file's; a file that cannot be read is
    // reported once per showing and the box keeps its text. Returns whether
    // the file was read.
    bool LoadInstructions();

protected:
    void FormShow() override;

private:
    std::string programPath_;
};

extern TInstructionsForm* InstructionsForm;

}  // namespace morvelant
