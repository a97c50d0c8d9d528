// Every window, dialog and picker that the menus reach, opened one at a time
// in the started editor: each window opens; each dialog and picker closes
// on Escape (typed into whatever has the focus) and leaves the model as it
// was, even with the mouse over a value a click would have written. In each
// dialog and message box Return presses the push button that has the focus,
// elsewhere the default button, and each opens with its focus showing.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QImage>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include "app/PickerSupport.h"
#include "faders/AllFaderParameters.h"
#include "patterns/PatternParameter.h"
#include "patterns/PickerGrid.h"
#include "patterns/TrackParameter.h"
#include "patterns/PatternFormUnit.h"
#include "presets/PresetFormUnit.h"
#include "shell/Main.h"
#include "shell/MenuTable.h"
#include "platform/QtDialogs.h"
#include "tests/support/UserInput.h"
#include "tests/support/StartedEditor.h"

namespace morvelant {
namespace {

using testsupport::StartedEditor;

struct ModelState {
    std::array<Morvelant_Parameters, kPresetCount> presets;
    std::array<Pattern_Parameters, kPatternCount> patterns;
    std::array<int32_t, 2 * kInitCtrlItemCount> initValues;
    bool operator==(const ModelState&) const = default;
};
ModelState StateOf(const DeviceModel& m) { return {m.Presets, m.Patterns, m.InitValues}; }

QWidget* TopLevel(const QString& name) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == name) return w;
    return nullptr;
}

void Trigger(const char* item) {
    auto* action = MainMenuForm->findChild<QAction*>(QString::fromLatin1(item));
    ASSERT_NE(action, nullptr) << item;
    action->trigger();
}

void RightPressOnTrackGrid(int row, int column) {
    QTableWidget* grid = TrackParameterForm->StringGrid1;
    const QPoint at = grid->visualRect(grid->model()->index(row, column)).center();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), grid->viewport()->mapToGlobal(QPointF(at)),
                      Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(grid->viewport(), &press);
}

// A fader window list's popup item, as its right click opens it.
void FaderPopupItem(StartedEditor& editor, QMenu* menu, int tag, const char* item) {
    editor.Windows().Pickers().FaderPopups.SetPopupComponent(AllFaderP, tag);
    menu->findChild<QAction*>(QString::fromLatin1(item))->trigger();
}

enum class Kind { Dialog, Picker };

struct Case {
    const char* form;  // object name of the dialog or picker
    Kind kind;
    std::function<void(StartedEditor&)> open;  // as the menus reach it
    const char* firstField = "";  // of a dialog: where the focus is when it opens
};

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = {
        {"AboutForm", Kind::Dialog, [](StartedEditor&) { Trigger("MainMenuAboutMorvelantEditor"); }, "Memo1"},
        {"SendingForm", Kind::Dialog,
         [](StartedEditor& e) {
             DeviceContext& c = e.Windows().Context();
             c.Routing.NumOutDevs = 1;
             c.Routing.PCMorvelantDeviceIndex = 0;
             c.DeviceEngine.OutputSink = [](int, const MidiEvent&) {};
             e.Model().Warnings = false;
             e.Model().PresetSlotSelected[3] = e.Model().PresetSlotSelected[4] = true;
             Trigger("SelectedPresets6");
         },
         "PresetNumber"},
        // "Init with Midi Controllers" and the knob-import settings.
        {"InitCtrlForm", Kind::Dialog, [](StartedEditor&) { Trigger("MainMenuMidiControllerInitSettings"); },
         "FaderCtrlMin"},
        {"vellixaImportForm", Kind::Dialog, [](StartedEditor&) { Trigger("vellixaImportSettings1"); }, "CheckBox1_1"},
        {"Values1Form", Kind::Picker,
         [](StartedEditor& e) {
             FaderPopupItem(e, e.Windows().Pickers().FaderPopups.ValuesPopupMenu, 3, "NumericalValues3");
         }},
        {"Controller1Form", Kind::Picker,
         [](StartedEditor& e) {
             FaderPopupItem(e, e.Windows().Pickers().FaderPopups.ControllerPopupMenu, 0, "MidiControllers1");
         }},
        {"LongPianoForm", Kind::Picker,
         [](StartedEditor& e) {
             FaderPopupItem(e, e.Windows().Pickers().FaderPopups.NotesPopupMenu, 1, "SelectNote1");
         }},
        {"DrumkitForm", Kind::Picker,
         [](StartedEditor& e) {
             e.Windows().Pickers().FaderPopups.SetPopupComponent(AllFaderP, 1);
             QMenu* notes = e.Windows().Pickers().FaderPopups.NotesPopupMenu;
             notes->actions().last()->menu()->actions().first()->trigger();
         }},
        {"NoteGateTimes", Kind::Picker,
         [](StartedEditor&) {
             TrackParameterForm->Show();
             RightPressOnTrackGrid(TTrackParameterForm::rNotetime, 2);
         }},
        {"ChannelForm", Kind::Picker,
         [](StartedEditor&) {
             TrackParameterForm->Show();
             RightPressOnTrackGrid(TTrackParameterForm::rChannel, 2);
         }},
    };
    return cases;
}

TEST(EscapeSweep, EveryWindowTheMenusReachOpens) {
    StartedEditor editor;
    editor.Start();
    std::vector<std::pair<const char*, const char*>> items = {
        {"MainMenuMidiDeviceSettings", "MidiSettingsForm"},
        {"MainMenuDeviceInfo", "DevicesInfoForm1"},
        {"MainMenuDisplayAllFaderParameters", "PrintOutputForm"},
        {"MainMenuDisplayFaderKeyDescription", "DescriptionForm"},
    };
    for (const MenuItemSpec& spec : MainMenuItems())
        if (spec.kind == MenuItemKind::WindowItem) items.emplace_back(spec.name, spec.window);
    for (const auto& [item, window] : items) {
        QWidget* w = TopLevel(QString::fromLatin1(window));
        ASSERT_NE(w, nullptr) << window;
        w->hide();
        Trigger(item);
        QApplication::processEvents();
        EXPECT_TRUE(w->isVisible()) << item;
    }
}

TEST(EscapeSweep, EscapeClosesEveryDialogAndPickerWithoutWriting) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.form);
        StartedEditor editor;
        ASSERT_TRUE(editor.AddShippedDrumkit());
        editor.Start();
        // The kits are read when a note menu first opens: the user has
        // looked into one.
        userinput::LookInto(editor.Windows().Pickers().FaderPopups.NotesPopupMenu);
        const ModelState before = StateOf(editor.Model());
        QWidget* form = TopLevel(QString::fromLatin1(c.form));
        ASSERT_NE(form, nullptr);
        bool shown = false, closedByEscape = false;
        // Runs inside a modal picker's loop, or right after a dialog opened.
        QTimer::singleShot(0, [&] {
            shown = form->isVisible();
            if (!shown) return;
            // The mouse rests on a value that a click would write.
            QWidget* area = form->findChild<PickerGrid*>();
            if (area == nullptr) area = form->findChild<QWidget*>(QStringLiteral("PianoImage"));
            if (area != nullptr) {
                const QPointF at(area->width() / 2 + 1, area->height() / 2 + 1);
                QMouseEvent move(QEvent::MouseMove, at, area->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                                 Qt::NoModifier);
                QApplication::sendEvent(area, &move);
            }
            QWidget* focus = QApplication::focusWidget();
            QTest::keyClick(focus != nullptr && focus->window() == form ? focus : form, Qt::Key_Escape);
            closedByEscape = !form->isVisible();
            if (!closedByEscape) form->close();  // ends a modal loop all the same
        });
        c.open(editor);
        QApplication::processEvents();
        EXPECT_TRUE(shown);
        EXPECT_TRUE(closedByEscape);
        EXPECT_TRUE(StateOf(editor.Model()) == before);
        if (std::string(c.form) == "SendingForm") { EXPECT_FALSE(PresetForm->Timer1->isActive()); }
    }
}

// The window comes up active, as the window manager makes it.
void Activate(QWidget* window) {
    window->activateWindow();
    QApplication::setActiveWindow(window);
    QApplication::processEvents();
}

// A key into the focus of `window`.
void Key(QWidget* window, int key) { userinput::KeyClick(window, key); }

// Whether the focus of `window` shows: drawn with the focus, its widget
// looks otherwise than drawn without it. (The caret does not blink here.)
bool FocusShows(QWidget* window) {
    QWidget* focus = window->focusWidget();
    if (focus == nullptr || !focus->hasFocus()) return false;
    QApplication::setCursorFlashTime(0);
    const QImage with = focus->grab().toImage();
    focus->clearFocus();
    const QImage without = focus->grab().toImage();
    focus->setFocus(Qt::OtherFocusReason);
    return with != without;
}

// Runs `keys` in the box or dialog that opens next, once it is up, and
// closes it if they left it open.
void InNextModal(std::function<void(QWidget*)> keys) {
    QTimer::singleShot(0, [keys] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        Activate(box);
        keys(box);
        if (QApplication::activeModalWidget() == box) box->close();
    });
}

QPushButton* ButtonCalled(QWidget* box, const char* text) {
    for (QPushButton* b : box->findChildren<QPushButton*>())
        if (b->text().remove(QLatin1Char('&')) == QLatin1String(text)) return b;
    return nullptr;
}

// Presses Tab in `window` until `target` has the focus; false when it never comes.
bool TabTo(QWidget* window, QWidget* target) {
    for (int i = 0; i < 40 && target != nullptr && window->focusWidget() != target; ++i) Key(window, Qt::Key_Tab);
    return target != nullptr && window->focusWidget() == target;
}

// Opens the dialog of `c` from the active menu window and runs `inside` while
// it is up (inside a modal dialog's loop), then closes it if it is still up.
void WhileOpen(StartedEditor& editor, const Case& c, QWidget* form, const std::function<void()>& inside) {
    userinput::FocusOn(MainMenuForm);
    QApplication::processEvents();
    bool shown = false;
    QTimer::singleShot(0, [&] {
        shown = form->isVisible();
        if (shown) {
            Activate(form);
            inside();
        }
        if (form->isVisible()) form->close();
    });
    c.open(editor);
    QApplication::processEvents();
    EXPECT_TRUE(shown);
}

// In each dialog Return presses the push button the user tabbed to, and from
// the field the dialog opens in its default button (none in the sending
// dialog); Escape closes it. Opened again after the user left the focus
// elsewhere, the dialog has it in its first field, where it shows, also
// after a click.
TEST(EscapeSweep, DialogsTakeReturnAsTheFocusedButtonElseTheDefaultAndShowTheirFocus) {
    for (const Case& c : Cases()) {
        if (c.kind != Kind::Dialog) continue;
        SCOPED_TRACE(c.form);
        StartedEditor editor;
        editor.Start();
        QWidget* form = TopLevel(QString::fromLatin1(c.form));
        ASSERT_NE(form, nullptr);
        std::string defaultButton, pressed;
        for (QPushButton* b : form->findChildren<QPushButton*>()) {
            if (b->isDefault()) defaultButton = b->objectName().toStdString();
            QObject::connect(b, &QPushButton::clicked, [&pressed, b] { pressed += b->objectName().toStdString(); });
        }
        for (QPushButton* b : form->findChildren<QPushButton*>()) {
            pressed.clear();
            WhileOpen(editor, c, form, [&] {
                ASSERT_TRUE(TabTo(form, b)) << "Tab never reaches " << b->objectName().toStdString();
                EXPECT_TRUE(FocusShows(form)) << "on " << b->objectName().toStdString();
                Key(form, Qt::Key_Return);
            });
            EXPECT_EQ(pressed, b->objectName().toStdString()) << "Return after Tab to it";
        }
        pressed.clear();
        bool closed = false;
        WhileOpen(editor, c, form, [&] {
            Key(form, Qt::Key_Return);
            EXPECT_EQ(pressed, defaultButton) << "Return in the first field";
            if (!form->isVisible()) return;
            Key(form, Qt::Key_Escape);
            closed = !form->isVisible();
        });
        EXPECT_TRUE(closed || defaultButton == "CloseButton") << "Escape";
        WhileOpen(editor, c, form, [&] {
            userinput::KeyClick(form, Qt::Key_Tab);
            userinput::KeyClick(form, Qt::Key_Tab);
            userinput::KeyClick(form, Qt::Key_Escape);
        });
        WhileOpen(editor, c, form, [&] {
            QWidget* focus = form->focusWidget();
            ASSERT_NE(focus, nullptr);
            EXPECT_EQ(focus->objectName().toStdString(), c.firstField);
            EXPECT_TRUE(FocusShows(form)) << "at the opening";
            userinput::Click(focus);
            EXPECT_TRUE(FocusShows(form)) << "after a click";
        });
    }
}

// The desktop's message boxes (each set of buttons), as the program opens
// them: Tab to each button and Return presses it, Escape answers as Cancel
// (No when there is none).
TEST(EscapeSweep, MessageBoxesShowTheirFocusAndTakeReturnAsTheFocusedButton) {
    StartedEditor editor;
    editor.Start();
    QtDialogs dialogs;
    const ScopedDialogs installed(dialogs);
    const auto inNext = InNextModal;
    const auto button = ButtonCalled;
    struct Box {
        MessageButtons buttons;
        std::vector<std::pair<const char*, MessageResult>> answers;
        MessageResult escape;
    };
    const std::vector<Box> boxes = {
        {MessageButtons::Ok, {{"OK", MessageResult::Ok}}, MessageResult::Ok},
        {MessageButtons::OkCancel, {{"OK", MessageResult::Ok}, {"Cancel", MessageResult::Cancel}}, MessageResult::Cancel},
        {MessageButtons::YesNo, {{"Yes", MessageResult::Yes}, {"No", MessageResult::No}}, MessageResult::No},
        {MessageButtons::YesNoCancel,
         {{"Yes", MessageResult::Yes}, {"No", MessageResult::No}, {"Cancel", MessageResult::Cancel}},
         MessageResult::Cancel},
    };
    for (const Box& box : boxes) {
        for (const auto& pair : box.answers) {
            // Plain names, not a structured binding: older clang refuses one captured by a lambda.
            const auto& text = pair.first;
            const auto& answer = pair.second;
            SCOPED_TRACE(text);
            inNext([&](QWidget* shown) {
                // The default button has the focus as the box opens, and the
                // focus is seen there as on every other button.
                EXPECT_TRUE(FocusShows(shown)) << "at the opening";
                ASSERT_TRUE(TabTo(shown, button(shown, text)));
                EXPECT_TRUE(FocusShows(shown));
                Key(shown, Qt::Key_Return);
            });
            EXPECT_EQ(dialogs.MessageBox("Could not save the file.", "Error", box.buttons, MessageIcon::Question),
                      answer);
        }
        inNext([](QWidget* shown) { Key(shown, Qt::Key_Escape); });
        EXPECT_EQ(dialogs.MessageBox("Could not save the file.", "Error", box.buttons, MessageIcon::Question),
                  box.escape);
    }
}

// The menu strip shows the menus of the active window: Alt and a menu's
// letter typed in that window open the strip's shown menu of that letter,
// and Escape closes it again.
TEST(EscapeSweep, AltAndAMenusLetterOpenTheStripsMenuFromTheWindowsItServes) {
    StartedEditor editor;
    editor.Start();
    struct Row {
        QWidget* window;
        const char* menu;  // the strip's File menu shown for that window
    };
    for (const Row& row : {Row{PresetForm, "PresetFormFileMenu"}, Row{PatternForm, "PatternFormFileMenu"},
                           Row{MainForm, "MainFormFileMenu"}}) {
        ASSERT_NE(row.window, nullptr);
        SCOPED_TRACE(row.window->objectName().toStdString());
        QWidget* field = row.window->focusWidget() != nullptr ? row.window->focusWidget() : row.window;
        userinput::FocusOn(field);
        QApplication::processEvents();
        auto* edit = qobject_cast<QLineEdit*>(field);
        const QString text = edit != nullptr ? edit->text() : QString();
        userinput::KeyClick(nullptr, Qt::Key_F, Qt::AltModifier);
        if (edit != nullptr) {
            EXPECT_EQ(edit->text(), text) << "Alt+F typed into the field";
        }
        QWidget* popup = QApplication::activePopupWidget();
        ASSERT_NE(popup, nullptr) << "Alt+F opened no menu";
        EXPECT_EQ(popup->objectName().toStdString(), row.menu);
        userinput::KeyClick(popup, Qt::Key_Escape);
        QApplication::processEvents();
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    }
}

// The desktop's print dialog, as Print Fader & Key Description opens it:
// its focus shows at the opening and on each button tabbed to; Return in
// the printer box prints (the default button), Return on Cancel and Escape
// print nothing.
TEST(EscapeSweep, ThePrintDialogShowsItsFocusAndTakesReturnAndEscape) {
    StartedEditor editor;
    editor.Start();
    QtDialogs dialogs;
    const ScopedDialogs installed(dialogs);
    const std::string pdf = editor.Folder() + "keys.pdf";
    QPrinter& printer = QtDialogs::SharedPrinter();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    struct Row {
        const char* what;
        const char* tabTo;  // the button tabbed to, or none
        int key;
        bool printed;
    };
    for (const Row& row : {Row{"Return in the printer box", nullptr, Qt::Key_Return, true},
                           Row{"Return on Print", "Print", Qt::Key_Return, true},
                           Row{"Return on Cancel", "Cancel", Qt::Key_Return, false},
                           Row{"Escape", nullptr, Qt::Key_Escape, false}}) {
        SCOPED_TRACE(row.what);
        std::filesystem::remove(pdf);
        bool answered = false;
        InNextModal([&](QWidget* shown) {
            EXPECT_TRUE(FocusShows(shown)) << "at the opening";
            if (row.tabTo != nullptr) {
                ASSERT_TRUE(TabTo(shown, ButtonCalled(shown, row.tabTo)));
                EXPECT_TRUE(FocusShows(shown));
            }
            Key(shown, row.key);
            answered = QApplication::activeModalWidget() != shown;
        });
        Trigger("MainMenuPrintFaderKeyDescription");
        EXPECT_TRUE(answered) << "the dialog stayed open";
        EXPECT_EQ(std::filesystem::exists(pdf), row.printed);
    }
}

}  // namespace
}  // namespace morvelant
