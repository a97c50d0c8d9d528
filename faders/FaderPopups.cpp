#include "faders/FaderPopups.h"

#include <QComboBox>
#include <QMenu>
#include <QSignalBlocker>

#include "faders/AllFaderParameters.h"

namespace morvelant {

namespace {

constexpr int kLive = 128;

QMenu* NewMenu(QWidget* owner, const char* name) {
    auto* m = new QMenu(owner);
    m->setObjectName(QString::fromLatin1(name));
    return m;
}

template <typename Fn>
QAction* Item(QMenu* menu, const char* name, const char* caption, Fn fn) {
    QAction* a = menu->addAction(QString::fromLatin1(caption));
    if (name != nullptr) a->setObjectName(QString::fromLatin1(name));
    QObject::connect(a, &QAction::triggered, menu, fn);
    return a;
}

}  // namespace

FaderPopupMenus::FaderPopupMenus(DeviceModel& model, PickerLauncher* pickers)
    : model_(model), pickers_(pickers), owner_(std::make_unique<QMenu>()) {
    BuildDataMenus();
    BuildEventMenus();
    BuildMidiModeMenu();
}

FaderPopupMenus::~FaderPopupMenus() = default;

void FaderPopupMenus::BuildDataMenus() {
    QMenu* o = owner_.get();
    NotesPopupMenu = NewMenu(o, "NotesPopupMenu");
    Item(NotesPopupMenu, "SelectNote1", "Piano Keyboard", [this] { SelectNote1Click(); });
    Item(NotesPopupMenu, "Slider2", "Slider", [this] { Slider2Click(); });
    Item(NotesPopupMenu, "NumericalValues1", "Numerical Values", [this] { NumericalValues2Click(); });
    NotesPopupMenu->addSeparator()->setObjectName(QStringLiteral("N8"));
    ControllerPopupMenu = NewMenu(o, "ControllerPopupMenu");
    Item(ControllerPopupMenu, "MidiControllers1", "Midi Controllers", [this] { MidiControllers1Click(); });
    Item(ControllerPopupMenu, "Slider1", "Slider", [this] { Slider2Click(); });
    Item(ControllerPopupMenu, "NumericalValues2", "Numerical Values", [this] { NumericalValues2Click(); });
    ValuesPopupMenu = NewMenu(o, "ValuesPopupMenu");
    Item(ValuesPopupMenu, "Slider3", "Slider", [this] { Slider2Click(); });
    Item(ValuesPopupMenu, "NumericalValues3", "Numerical Values", [this] { NumericalValues2Click(); });
    // Attached to no control.
    NumValPopupMenu = NewMenu(o, "NumValPopupMenu");
    Item(NumValPopupMenu, "NumericalValues4", "Numerical Values", [this] { NumericalValues2Click(); });
}

void FaderPopupMenus::BuildEventMenus() {
    QMenu* o = owner_.get();
    struct Entry {
        const char* caption;  // nullptr: a separator
        int tag;
    };
    static const Entry kFader[] = {
        {"Controller", 0},      {"Note On", 14},       {"Note Off", 13},  {"Program Change", 1}, {"MonoAftertouch", 2},
        {"PolyAftertouch", 15}, {"Pitch Bend", 3},     {"String", 4},     {nullptr, 0},          {"Track Pattern", 6},
        {"Track End", 7},       {"Track Velocity", 8}, {"Track Note", 9}, {nullptr, 0},          {"Step Velocity", 10},
        {"Step Note", 11},      {nullptr, 0},          {"Extension", 5},  {"No Status", 12}};
    static const Entry kKey[] = {
        {"Controller", 2},      {"Note On", 0},    {"Note Off", 8}, {"Program Change", 3}, {"Mono Aftertouch", 4},
        {"Poly Aftertouch", 1}, {"Pitch Bend", 5}, {"String", 6},   {nullptr, 0},          {"No Status", 7}};
    auto fill = [](QMenu* menu, const auto& entries, auto handler) {
        for (const Entry& e : entries) {
            if (e.caption == nullptr) {
                menu->addSeparator();
                continue;
            }
            const int tag = e.tag;
            Item(menu, nullptr, e.caption, [handler, tag] { handler(tag); })->setData(tag);
        }
    };
    EventPopupMenu = NewMenu(o, "EventPopupMenu");
    fill(EventPopupMenu, kFader, [this](int tag) { Controller1Click(tag); });
    KeyonEventPopupMenu = NewMenu(o, "KeyonEventPopupMenu");
    fill(KeyonEventPopupMenu, kKey, [this](int tag) { Controller2Click(tag); });
    KeyoffEventPopupMenu = NewMenu(o, "KeyoffEventPopupMenu");
    fill(KeyoffEventPopupMenu, kKey, [this](int tag) { MenuItem1Click(tag); });
}

void FaderPopupMenus::BuildMidiModeMenu() {
    MidiModePopupMenu = NewMenu(owner_.get(), "MidiModePopupMenu");
    static const char* const kFunctions[8] = {"Fader Event",           "Velocity Overdup One",  "Velocity Overdup ALL",
                                              "Velocity Mulitply One", "Velocity Multiply All", "Update Fader",
                                              "Hook On Fader",         "Overdup Mode"};
    static const char* const kOutputs[4] = {"no Output", "Output 1", "Output 2", "Output 1&&2"};
    auto leaf = [this](QMenu* menu, const char* caption, int tag) {
        Item(menu, nullptr, caption, [this, tag] { noOutput1Click(tag); })->setData(tag);
    };
    for (int g = 0; g < 8; ++g) {
        QMenu* function = MidiModePopupMenu->addMenu(QString::fromLatin1(kFunctions[g]));
        for (int o = 0; o < 4; ++o) {
            // The plain fader event has no input to choose.
            if (g == 0) {
                leaf(function, kOutputs[o], o);
                continue;
            }
            QMenu* output = function->addMenu(QString::fromLatin1(kOutputs[o]));
            // Two captions of the menu are spelt their own way.
            const char* input1 = g == 1 && o == 1 ? "Input1" : g == 2 && o == 0 ? "Input  1" : "Input 1";
            leaf(output, input1, 8 * g + o);
            leaf(output, "Input 2", 8 * g + 4 + o);
        }
    }
}

void FaderPopupMenus::SetPopupComponent(TAllFaderP* window, int tag) {
    window_ = window;
    popupTag_ = tag;
}

void FaderPopupMenus::DataListPopup(TAllFaderP& window, int tag, DataPopup popup, const QPoint& globalPos) {
    SetPopupComponent(&window, tag);
    QMenu* menu = popup == DataPopup::Notes ? NotesPopupMenu
        : popup == DataPopup::Controllers   ? ControllerPopupMenu
        : popup == DataPopup::Values        ? ValuesPopupMenu
                                            : nullptr;
    if (menu != nullptr) menu->popup(globalPos);
}

void FaderPopupMenus::EventListPopup(TAllFaderP& window, EventRowKind row, const QPoint& globalPos) {
    window_ = &window;
    (row == EventRowKind::Fader       ? EventPopupMenu
         : row == EventRowKind::KeyOn ? KeyonEventPopupMenu
                                      : KeyoffEventPopupMenu)
        ->popup(globalPos);
}

void FaderPopupMenus::MidiModePopup(TAllFaderP& window, const QPoint& globalPos) {
    window_ = &window;
    MidiModePopupMenu->popup(globalPos);
}

void FaderPopupMenus::SelectNote1Click() {
    if (pickers_ == nullptr || window_ == nullptr) return;
    pickers_->Pick(PickerKind::Piano, popupTag_, PickerPlace{window_->Left() + 80, window_->Top() + 260});
}

void FaderPopupMenus::MidiControllers1Click() {
    if (pickers_ != nullptr) pickers_->Pick(PickerKind::Controllers, popupTag_);
}

void FaderPopupMenus::NumericalValues2Click() {
    if (pickers_ != nullptr) pickers_->Pick(PickerKind::Values, popupTag_);
}

void FaderPopupMenus::Slider2Click() {
    static constexpr void (DeviceModel::*kSetters[6])(int, int, int32_t) = {
        &DeviceModel::SetFaderMidiData1, &DeviceModel::SetKeyOnMidiData1, &DeviceModel::SetKeyOffMidiData1,
        &DeviceModel::SetFaderMidiData2, &DeviceModel::SetKeyOnMidiData2, &DeviceModel::SetKeyOffMidiData2};
    if (popupTag_ < 0 || popupTag_ > 5) return;
    (model_.*kSetters[popupTag_])(model_.SelectedPreset, model_.SelectedFader, kLive);
    if (window_ != nullptr) window_->ShowDataIndex(popupTag_, kLive);
}

namespace {

// The event routine with the item's index, then the list shows the index
// without its change handler running.
void ChooseEvent(TAllFaderP* window, void (TAllFaderP::*routine)(int), QComboBox* TAllFaderP::*list, int tag) {
    if (window == nullptr) return;
    (window->*routine)(tag);
    QComboBox* box = window->*list;
    if (box != nullptr && tag < box->count()) {
        const QSignalBlocker block(box);
        box->setCurrentIndex(tag);
    }
}

}  // namespace

void FaderPopupMenus::Controller1Click(int tag) {
    ChooseEvent(window_, &TAllFaderP::EventChange, &TAllFaderP::FaderEvent, tag);
}
void FaderPopupMenus::Controller2Click(int tag) {
    ChooseEvent(window_, &TAllFaderP::KeyOnChange, &TAllFaderP::KeyOnEvent, tag);
}
void FaderPopupMenus::MenuItem1Click(int tag) {
    ChooseEvent(window_, &TAllFaderP::KeyOffChange, &TAllFaderP::KeyOffEvent, tag);
}

void FaderPopupMenus::noOutput1Click(int tag) {
    if (model_.Updating) return;
    model_.SetFaderMidiMode(model_.SelectedPreset, model_.SelectedFader, tag);
    if (window_ == nullptr || window_->FaderMidiMode == nullptr) return;
    DeviceModel::UpdatingGuard guard(model_);
    window_->FaderMidiMode->setCurrentIndex(tag >= 8 ? tag - 4 : tag);
}

}  // namespace morvelant
