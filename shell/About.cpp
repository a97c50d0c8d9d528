#include "shell/About.h"

#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextDocument>

#include "platform/QtDialogKeys.h"

namespace morvelant {

TAboutForm* AboutForm = nullptr;

QPixmap ProgramIconPicture() {
    // A fader panel in miniature: three fader slots with their knobs.
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(60, 60, 70));
    p.drawRoundedRect(QRectF(1.5, 1.5, 29, 29), 4, 4);
    const int knob[3] = {8, 18, 12};
    for (int i = 0; i < 3; ++i) {
        const int x = 7 + 9 * i;
        p.setPen(QPen(QColor(20, 20, 20), 2));
        p.drawLine(x, 5, x, 27);
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(i == 1 ? QColor(230, 50, 40) : QColor(220, 220, 220));
        p.drawRect(x - 3, knob[i], 6, 5);
    }
    return pm;
}

TAboutForm::TAboutForm(QWidget* parent) : TForm(QStringLiteral("AboutForm"), parent) {
    SetCaption("AboutForm");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(295, 186);
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(40, 40, 33, 33);
    Image1->setPixmap(ProgramIconPicture());

    TitleLabel = new QLabel(QStringLiteral("Morvelant Editor"), this);
    TitleLabel->setObjectName(QStringLiteral("TitleLabel"));
    QFont bold = TitleLabel->font();
    bold.setBold(true);
    TitleLabel->setFont(bold);
    TitleLabel->adjustSize();
    // The title stands above the version text, right of the icon.
    TitleLabel->move(160, 22);

    Label1 = new QLabel(QString::fromLatin1(kAboutVersion), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->adjustSize();
    Label1->move(160, 40);
    // A desktop font wider than the original's still fits the window.
    for (int px = 10; Label1->geometry().right() >= width() && px >= 8; --px) {
        QFont f = Label1->font();
        f.setPixelSize(px);
        Label1->setFont(f);
        Label1->adjustSize();
    }

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(24, 104, 257, 41);
    Memo1->setReadOnly(true);
    // The dialog's one field takes the focus: its caret shows where the
    // focus is, and the keys select the address to copy it.
    Memo1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Three wrapped lines fit the memo's 41 pixels.
    QFont memoFont = Memo1->font();
    memoFont.setPixelSize(10);
    Memo1->setFont(memoFont);
    Memo1->document()->setDocumentMargin(1);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setPlainText(QString::fromLatin1(kAboutSupportLine) + QLatin1Char('\n') +
                        QString::fromLatin1(kAboutSupportAddress));
    // Escape closes the box, as its close button does.
    new DialogKeys(*this);
}

TAboutForm::~TAboutForm() {
    if (AboutForm == this) AboutForm = nullptr;
}

}  // namespace morvelant
