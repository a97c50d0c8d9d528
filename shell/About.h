// The About window: the program's icon, title, version and where to ask for
// help. Shown (not modally) by the Help menu's "About Morvelant Editor".
#pragma once

#include "platform/QtFormBase.h"

class QLabel;
class QPlainTextEdit;

namespace morvelant {

// The picture of the program's icon (32 by 32), drawn here.
QPixmap ProgramIconPicture();

class TAboutForm : public TForm {
    Q_OBJECT

public:
    explicit TAboutForm(QWidget* parent = nullptr);
    ~TAboutForm() override;

    QLabel* Image1 = nullptr;
    QLabel* TitleLabel = nullptr;
    QLabel* Label1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;

};

extern TAboutForm* AboutForm;

inline constexpr char kAboutVersion[] = " v2.40 beta (15.10.2000)";
inline constexpr char kAboutSupportLine[] = "For any problems or questions, please contact me at: ";
inline constexpr char kAboutSupportAddress[] = "morvelant-editor@example.org";

}  // namespace morvelant
