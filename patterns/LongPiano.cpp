#include "patterns/LongPiano.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>

#include <algorithm>

#include "patterns/PickerCells.h"
#include "platform/QtColors.h"

namespace morvelant {

TLongPianoForm* LongPianoForm = nullptr;
TPiano1Form* Piano1Form = nullptr;

PianoImageView::PianoImageView(QWidget* parent)
    : QWidget(parent), picture_(kKeyboardWidth, kKeyboardHeight, QImage::Format_RGB32) {
    setObjectName(QStringLiteral("PianoImage"));
    setMouseTracking(true);
    setFixedSize(kKeyboardWidth, kKeyboardHeight);
    picture_.fill(ToQColor(clBtnFace));
}

void PianoImageView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, picture_);
}

void PianoImageView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    Q_EMIT MouseMove(pos.x(), pos.y());
}

void PianoImageView::mouseReleaseEvent(QMouseEvent* event) { Q_EMIT MouseUp(event->button(), event->modifiers()); }

TLongPianoForm::TLongPianoForm(PickerDispatch& dispatch, DeviceModel& model)
    : PickerForm(QStringLiteral("LongPianoForm")), dispatch_(dispatch), model_(model) {
    setFixedSize(759, 87);
    PianoImage = new PianoImageView(this);
    PianoImage->move(0, 0);
    for (int n = 0; n < 128; ++n) DrawKey(n, 0);
    connect(PianoImage, &PianoImageView::MouseMove, this, &TLongPianoForm::PianoImageMouseMove);
    connect(PianoImage, &PianoImageView::MouseUp, this, &TLongPianoForm::PianoImageMouseUp);
}

void TLongPianoForm::DrawKey(int note, int state) {
    const auto corners = KeyPolygon(note);
    if (corners.empty()) return;
    const bool black = IsBlackKey(note);
    static constexpr TColor kWhitePen[3] = {clBlack, clBlack, clBlack};
    static constexpr TColor kWhiteBrush[3] = {clWhite, clHighlight, clRed};
    static constexpr TColor kBlack[3] = {clBlack, clHighlight, clRed};
    const int s = state < 0 || state > 2 ? 0 : state;
    QPolygon poly;
    for (const auto& [x, y] : corners) poly << QPoint(x, y);
    QPainter p(&PianoImage->Picture());
    p.setPen(ToQColor(black ? kBlack[s] : kWhitePen[s]));
    p.setBrush(ToQColor(black ? kBlack[s] : kWhiteBrush[s]));
    p.drawPolygon(poly);
    PianoImage->update();
}

void TLongPianoForm::FormShow() {
    CurrentNote = dispatch_.PresentValue(PickerKind::Piano, TargetCode).value_or(-1);
    HoverNote = -1;
    // A note kept from the previous showing would be written by a click on
    // a gap before the mouse crossed a key.
    LastNote = -1;
    DrawKey(CurrentNote, 2);
    // 128 is the live value ("Slider"); other values name no key.
    if (CurrentNote >= 0 && static_cast<size_t>(CurrentNote) < model_.NoteNames.size())
        SetCaption(model_.NoteNames[static_cast<size_t>(CurrentNote)]);
    else
        SetCaption(CurrentNote < 0 ? std::string() : std::to_string(CurrentNote));
}

void TLongPianoForm::PianoImageMouseMove(int x, int y) {
    const int n = NoteAtPoint(x, y);
    if (n >= 0) HighlightNote(n);
}

void TLongPianoForm::MoveHighlight(int rows, int columns) {
    constexpr int kMiddleC = 60;
    const int from = LastNote >= 0 ? LastNote : CurrentNote >= 0 && CurrentNote < 128 ? CurrentNote : kMiddleC;
    HighlightNote(std::clamp(from + columns - 12 * rows, 0, 127));
}

void TLongPianoForm::HighlightNote(int n) {
    SetCaption(NameOf(model_.NoteNames, n));
    LastNote = n;
    if (n == HoverNote) return;
    if (HoverNote != -1) DrawKey(HoverNote, 0);
    if (n != CurrentNote) {
        DrawKey(n, 1);
        HoverNote = n;
    } else {
        HoverNote = -1;
    }
}

void TLongPianoForm::PianoImageMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
    const int result = (modifiers & Qt::ShiftModifier) ? kPickAdvance : kPickEnd;
    if (button == Qt::LeftButton && LastNote != -1) dispatch_.Write(PickerKind::Piano, TargetCode, LastNote);
    SetModalResult(result);
    if (!Modal()) Close();
}

void TLongPianoForm::FormClose(TCloseAction&) {
    DrawKey(LastNote, 0);
    DrawKey(HoverNote, 0);
    DrawKey(CurrentNote, 0);
}

}  // namespace morvelant
