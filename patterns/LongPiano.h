// The keyboard note picker: all 128 notes in one row; the target's present
// note red, the key under the mouse highlighted, a click picks the note.
#pragma once

#include <QImage>
#include <QWidget>

#include "model/DeviceModel.h"
#include "patterns/PickerForm.h"
#include "patterns/PickerProtocol.h"
#include "platform/QtFormBase.h"

namespace morvelant {

// The keyboard picture, repainted key by key.
class PianoImageView : public QWidget {
    Q_OBJECT

public:
    explicit PianoImageView(QWidget* parent);
    QImage& Picture() { return picture_; }

Q_SIGNALS:
    void MouseMove(int x, int y);
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage picture_;
};

class TLongPianoForm : public PickerForm {
    Q_OBJECT

public:
    TLongPianoForm(PickerDispatch& dispatch, DeviceModel& model);

    PianoImageView* PianoImage = nullptr;
    int32_t TargetCode = -1;
    int32_t HoverNote = -1;
    int32_t CurrentNote = -1;
    int32_t LastNote = -1;

    // State 0 normal, 1 highlighted, 2 present value; notes outside 0..127
    // draw nothing.
    void DrawKey(int note, int state);
    void PianoImageMouseMove(int x, int y);
    void PianoImageMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers);

protected:
    void FormShow() override;
    void FormClose(TCloseAction& action) override;
    // Left and Right move the highlight by a key, Up and Down by an octave.
    void MoveHighlight(int rows, int columns) override;
    void PickHighlight(Qt::KeyboardModifiers modifiers) override { PianoImageMouseUp(Qt::LeftButton, modifiers); }

private:
    // Note n (0..127) is highlighted and would be picked.
    void HighlightNote(int n);

    PickerDispatch& dispatch_;
    DeviceModel& model_;
};

// The second keyboard window, made at start-up and never opened.
class TPiano1Form : public TForm {
    Q_OBJECT

public:
    TPiano1Form() : TForm(QStringLiteral("Piano1Form")) {}
};

extern TLongPianoForm* LongPianoForm;
extern TPiano1Form* Piano1Form;

}  // namespace morvelant
