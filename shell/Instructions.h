// The instructions window: the plain-text instructions "Documentation 1a.txt"
// in a scrollable fixed-pitch text box. The file is read again every time the
// window is shown, so what was typed into the box is gone at the next showing.
//
// The file name carries no folder, so it is looked for in the current folder
// first (where a user who keeps their own copy next to their work expects
// it); when it is not there, the copy in the program folder is used, so that
// starting the editor from elsewhere still finds the instructions.
#pragma once

#include <string>

#include "platform/QtFormBase.h"

class QPlainTextEdit;

namespace morvelant {

inline constexpr char kInstructionsFileName[] = "Documentation 1a.txt";

class TInstructionsForm : public TForm {
    Q_OBJECT

public:
    // programPath: the program folder, where the instructions file is looked
    // for when the current folder has none (empty: the current folder only).
    explicit TInstructionsForm(std::string programPath = {}, QWidget* parent = nullptr);
    ~TInstructionsForm() override;

    QPlainTextEdit* RichEdit1 = nullptr;

    // The file a showing reads: the one in the current folder if there is
    // one, else the one in the program folder.
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
