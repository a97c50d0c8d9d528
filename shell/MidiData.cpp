#include "shell/MidiData.h"

#include <QFontDatabase>
#include <QTextCursor>
#include <QVBoxLayout>

namespace morvelant {

TMidiDataForm* MidiDataForm = nullptr;

TMidiDataForm::TMidiDataForm(QWidget* parent) : TForm(QStringLiteral("MidiDataForm"), parent) {
    SetCaption("Midi Data");
    SetBounds(200, 120, 560, 320);

    RichEdit1 = new QPlainTextEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(10);
    RichEdit1->setFont(font);
    RichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(RichEdit1);
}

void TMidiDataForm::AppendListing(const std::string& listing) {
    // The listing is plain ASCII: digits, hex and blanks.
    const QString added = QString(50, QLatin1Char('-')) + QLatin1Char('\n') + QString::fromLatin1(listing);
    RichEdit1->moveCursor(QTextCursor::End);
    RichEdit1->insertPlainText(added);
    RichEdit1->moveCursor(QTextCursor::End);
    Show();
}

std::string TMidiDataForm::Text() const { return RichEdit1->toPlainText().toStdString(); }

}  // namespace morvelant
