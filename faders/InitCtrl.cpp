#include "faders/InitCtrl.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include "faders/InitCtrlRules.h"
#include "platform/QtDialogKeys.h"
#include "platform/QtText.h"

namespace morvelant {

TInitCtrlForm* InitCtrlForm = nullptr;

namespace {
constexpr int kTagBase = 500;
const char* const kEditNames[12] = {"FaderCtrlMin",  "FaderCtrlMax",  "KeyonCtrlMin",   "KeyonCtrlMax",
                                    "KeyoffCtrlMin", "KeyoffCtrlMax", "FaderValueMin",  "FaderValueMax",
                                    "KeyonValueMin", "KeyonValueMax", "KeyoffValueMin", "KeyoffValueMax"};
const char* const kRangeNames[6] = {"FaderCtrlRange",  "KeyonCtrlRange",  "KeyoffCtrlRange",
                                    "FaderValueRange", "KeyonValueRange", "KeyoffValueRange"};
}  // namespace

TInitCtrlForm::TInitCtrlForm(DeviceModel& model, PickerLauncher* pickers)
    : TForm(QStringLiteral("InitCtrlForm")), model_(model), pickers_(pickers) {
    SetCaption("Init with Midi Controllers Settings");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(548, 153);

    auto label = [this](const char* text, int x, int y) {
        auto* l = new QLabel(QString::fromLatin1(text), this);
        l->move(x, y);
    };
    label("Controller", 102, 6);
    label("Values", 420, 6);
    const char* const rows[3] = {"Fader", "Key On", "Key Off"};
    for (int r = 0; r < 3; ++r) label(rows[r], 4, 30 + 30 * r);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    auto item = [this](QMenu* menu, const char* name, const char* caption, void (TInitCtrlForm::*handler)()) {
        QAction* a = menu->addAction(QString::fromLatin1(caption));
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, handler);
    };
    item(PopupMenu2, "MidiControllers1", "Midi Controllers", &TInitCtrlForm::MidiControllers1Click);
    item(PopupMenu2, "Slider1", "Slider", &TInitCtrlForm::Slider1Click);
    item(PopupMenu2, "NumericalValues1", "Numerical Values", &TInitCtrlForm::NumericalValues1Click);
    item(PopupMenu1, "NumericalValues2", "Numerical Values", &TInitCtrlForm::NumericalValues1Click);
    item(PopupMenu1, "Slider2", "Slider", &TInitCtrlForm::Slider1Click);

    for (int item = 0; item < kInitCtrlItemCount; ++item) {
        const bool ctrl = item < kFaderValueItem;
        const int row = item % 3;
        const int x = ctrl ? 54 : 372, y = 26 + 30 * row;
        auto* button = new QPushButton(this);
        button->setObjectName(QString::fromLatin1(kRangeNames[item]));
        button->setGeometry(x, y, 44, 22);
        // A toggle: Space or Return with the focus on it switches it;
        // elsewhere Return belongs to Close. The dialog opens in the first
        // edit, passing over it.
        RangeButtons[static_cast<size_t>(item)] = button;
        connect(button, &QPushButton::clicked, this, [this, item] { RangeClick(item); });
        for (int half = 0; half < 2; ++half) {
            const int index = 2 * item + half;
            auto* e = new QLineEdit(this);
            e->setObjectName(QString::fromLatin1(kEditNames[index]));
            e->setProperty("Tag", kTagBase + index);
            e->setGeometry(x + 48 + half * (ctrl ? 134 : 64), y, ctrl ? 130 : 60, 22);
            e->setContextMenuPolicy(Qt::CustomContextMenu);
            connect(e, &QLineEdit::customContextMenuRequested, this,
                    [this, e, index](const QPoint& pos) { OpenPopup(index, e->mapToGlobal(pos)); });
            // What is typed into a controller edit is not read.
            if (ctrl)
                e->setReadOnly(true);
            else
                // A number is read when its edit is committed (Return, the
                // focus leaving), not per key: rewriting the edit after each
                // key put the caret back in front, so "110" became 11.
                connect(e, &QLineEdit::editingFinished, this, [this, e, index] {
                    if (!e->isModified()) return;
                    e->setModified(false);
                    ValueEditChange(index);
                });
            Edits[static_cast<size_t>(index)] = e;
        }
    }
    FaderCtrlMin = Edits[0], FaderCtrlMax = Edits[1], KeyonCtrlMin = Edits[2], KeyonCtrlMax = Edits[3];
    KeyoffCtrlMin = Edits[4], KeyoffCtrlMax = Edits[5], FaderValueMin = Edits[6], FaderValueMax = Edits[7];
    KeyonValueMin = Edits[8], KeyonValueMax = Edits[9], KeyoffValueMin = Edits[10], KeyoffValueMax = Edits[11];
    // Return commits the value being typed (its edit leaves the key unused)
    // and presses Close.
    CloseButton = new QPushButton(QStringLiteral("Close"), this);
    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    CloseButton->setGeometry(465, 122, 75, 25);
    CloseButton->setDefault(true);
    connect(CloseButton, &QPushButton::clicked, this, [this] { Close(); });
    ShowAll();
    // Escape drops what was typed and not committed, then closes.
    new DialogKeys(*this, CloseButton, [this] {
        ShowAll();
        Close();
    });
}

void TInitCtrlForm::ShowPair(int minIndex) {
    const int lo = minIndex - minIndex % 2;
    if (lo < 0 || lo >= 12) return;
    UpdatingGuard guard(model_);
    for (int i = lo; i <= lo + 1; ++i) {
        QLineEdit* e = Edits[static_cast<size_t>(i)];
        e->setText(FromCp1252(InitValueText(model_, i)));
        // A long controller name shows its number; a value keeps the caret
        // after its digits, where the next key goes.
        if (i < InitMinIndex(kFaderValueItem)) e->setCursorPosition(0);
    }
    const int item = lo / 2;
    const bool range = model_.InitRanges[static_cast<size_t>(item)];
    RangeButtons[static_cast<size_t>(item)]->setText(range ? QStringLiteral("Range") : QStringLiteral("Fixed"));
    // The end of a range is shown only while the range is on.
    Edits[static_cast<size_t>(lo + 1)]->setVisible(range);
}

void TInitCtrlForm::ShowAll() {
    for (int i = 0; i < 12; i += 2) ShowPair(i);
}

void TInitCtrlForm::RangeClick(int item) {
    if (item < 0 || item >= kInitCtrlItemCount) return;
    auto& range = model_.InitRanges[static_cast<size_t>(item)];
    range = !range;
    ShowPair(InitMinIndex(item));
}

void TInitCtrlForm::ValueEditChange(int index) {
    if (model_.Updating) return;
    TypeInitValue(model_, index, ToCp1252(Edits[static_cast<size_t>(index)]->text()));
    ShowPair(index);
}

void TInitCtrlForm::OpenPopup(int index, const QPoint& globalPos) {
    popupIndex_ = index;
    (index < InitMinIndex(kFaderValueItem) ? PopupMenu2 : PopupMenu1)->popup(globalPos);
}

void TInitCtrlForm::Slider1Click() {
    SetInitRowToSlider(model_, popupIndex_ / 2);
    ShowPair(popupIndex_);
}

void TInitCtrlForm::MidiControllers1Click() {
    if (pickers_ != nullptr) pickers_->Pick(PickerKind::Controllers, kTagBase + popupIndex_);
}

void TInitCtrlForm::NumericalValues1Click() {
    if (pickers_ != nullptr) pickers_->Pick(PickerKind::Values, kTagBase + popupIndex_);
}

}  // namespace morvelant
