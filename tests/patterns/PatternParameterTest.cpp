#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMimeData>

#include "model/PatternSteps.h"
#include "model/TrackSettings.h"
#include "patterns/PatternParameter.h"
#include "platform/IniFile.h"
#include "platform/QtColors.h"
#include "tests/patterns/PatternsWindowSupport.h"

using namespace morvelant;
using namespace morvelant::testsupport;

namespace {

class StepEditor : public ::testing::Test, public PatternWindowTest {
protected:
    void SetUp() override {
        m.SelectedPattern = 5;
        form = std::make_unique<TPatternParameterForm>(m, notes, commands, &pickers);
        edits = notes.PatternStepsEdited.Subscribe([this] { ++stepEdits; });
        shows = notes.CurrentPatternChanged.Subscribe([this] { ++patternShows; });
    }
    Pattern_Parameters& P() { return m.Patterns[5]; }
    template <typename T>
    T* Find(const char* name) {
        return form->findChild<T*>(QString::fromLatin1(name));
    }
    void Drop(const char* box, QMimeData* data) {
        QWidget* target = Find<QGroupBox>(box);
        // A drop goes to the widget that accepted the drag's entry.
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent e(QPointF(20, 20), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &e);
        delete data;
    }

    std::unique_ptr<TPatternParameterForm> form;
    Subscription edits, shows;
    int stepEdits = 0, patternShows = 0;
};

TEST_F(StepEditor, ALampPressTogglesTheStep) {
    QLabel* lamp = Find<QLabel>("Image20");  // track 2, step 4
    ASSERT_NE(lamp, nullptr);
    SetStepOn(m, 5, 2, true, 4);
    Mouse(lamp, QEvent::MouseButtonPress, {5, 5});
    EXPECT_FALSE(GetStepOn(m, 5, 2, 4));
    EXPECT_EQ(lamp->pixmap().toImage(), form->LedOffPicture.toImage());
    Mouse(lamp, QEvent::MouseButtonPress, {5, 5}, Qt::RightButton);
    EXPECT_TRUE(GetStepOn(m, 5, 2, 4));
    EXPECT_EQ(lamp->pixmap().toImage(), form->LedOnPicture.toImage());
    EXPECT_EQ(stepEdits, 2);
    EXPECT_EQ(patternShows, 0);  // a single step does not refresh every view
}

TEST_F(StepEditor, DraggingLabelsChangesValuesWithinRange) {
    struct Case {
        const char* label;
        int start, pressY, moveY;
        Qt::MouseButton button;
        int expected;
        const char* text;
    } cases[] = {
        {"EditB1_1", 100, 300, 100, Qt::LeftButton, 127, "127"},  // 200 up from 100
        {"EditB1_1", 100, 10, 15, Qt::LeftButton, 95, "95"},
        {"EditA3_16", 10, 0, 50, Qt::LeftButton, 0, "C -1"},  // down past 0
        {"EditA3_16", 60, 0, -1, Qt::LeftButton, 61, "C# 4"},
        {"EditA3_16", 60, 0, -40, Qt::RightButton, 60, nullptr},  // only a left drag edits
    };
    for (const Case& c : cases) {
        QLabel* label = Find<QLabel>(c.label);
        const bool velocity = c.label[4] == 'B';
        const int t = c.label[5] - '0', s = std::atoi(c.label + 7);
        int32_t& value = velocity ? P().StepVelocity(t - 1, s - 1) : P().StepNote(t - 1, s - 1);
        value = c.start;
        form->RefreshPattern(5);
        const QString before = label->text();
        Mouse(label, QEvent::MouseButtonPress, {5, c.pressY}, c.button);
        Mouse(label, QEvent::MouseMove, {5, c.moveY}, c.button);
        Mouse(label, QEvent::MouseButtonRelease, {5, c.moveY}, c.button);
        StepEditor::form->StepNotesPopupMenu->hide();
        EXPECT_EQ(value, c.expected) << c.label;
        EXPECT_EQ(label->text(), c.text ? QString::fromLatin1(c.text) : before) << c.label;
        Mouse(label, QEvent::MouseMove, {5, 500});  // released: no more change
        EXPECT_EQ(value, c.expected);
    }
}

TEST_F(StepEditor, ATrackDropCopiesOnlyTheSteps) {
    for (int s = 1; s <= 16; ++s) {
        SetStepNote(m, 5, 2, 40 + s, s);
        SetStepOn(m, 5, 2, s % 3 == 0, s);
    }
    P().TrackRunMode(1) = 9;
    Mouse(Find<QGroupBox>("GroupBox2"), QEvent::MouseButtonPress, {3, 3});
    EXPECT_EQ(m.SelectedTrack, 2);
    Drop("GroupBox6", TPatternParameterForm::TrackDragData(2));
    for (int s = 1; s <= 16; ++s) {
        EXPECT_EQ(P().StepNote(5, s - 1), 40 + s);
        EXPECT_EQ(GetStepOn(m, 5, 6, s), s % 3 == 0);
    }
    EXPECT_EQ(P().TrackRunMode(5), 0);
    EXPECT_EQ(patternShows, 1);
    // A drop of anything else is refused.
    auto* foreign = new QMimeData;
    foreign->setText("2");
    Drop("GroupBox7", foreign);
    EXPECT_EQ(P().StepNote(6, 0), 0);
    EXPECT_EQ(patternShows, 1);
}

TEST_F(StepEditor, TrackMenuAndMute) {
    Mouse(Find<QGroupBox>("GroupBox1"), QEvent::MouseButtonPress, {3, 3}, Qt::RightButton);
    form->TrackPopupMenu->hide();
    EXPECT_FALSE(form->PasteTrack1->isEnabled());
    form->CopyTrack1->trigger();
    EXPECT_TRUE(form->PasteTrack1->isEnabled());
    EXPECT_TRUE(commands.Enabled("Paste1"));
    EXPECT_EQ(patternShows, 0);
    // A double click mutes and unmutes; the panels follow, nothing else refreshes.
    const bool muted = TrackMuted(P(), 1);
    Mouse(Find<QGroupBox>("GroupBox1"), QEvent::MouseButtonDblClick, {3, 3});
    EXPECT_NE(TrackMuted(P(), 1), muted);
    EXPECT_EQ(form->Panels[0]->palette().color(QPalette::Window) == ToQColor(clBtnShadow), !muted);
    EXPECT_EQ(patternShows, 0);
}

TEST_F(StepEditor, PickerLoopMovesOnWithShiftAndStopsAtTheLastStep) {
    struct Case {
        const char* label;
        QAction* TPatternParameterForm::*item;
        std::vector<int> answers, codes;
    } cases[] = {
        {"EditB1_16", &TPatternParameterForm::NumericalValues2, {1, 1, 0}, {2015, 2016, 2017}},
        {"EditB8_16", &TPatternParameterForm::NumericalValues2, {1, 1}, {2127}},
        {"EditA4_2", &TPatternParameterForm::PianoKeyboard1, {0}, {1049}},
    };
    for (const Case& c : cases) {
        pickers.codes.clear();
        pickers.answers = c.answers;
        Mouse(Find<QLabel>(c.label), QEvent::MouseButtonPress, {3, 3}, Qt::RightButton);
        form->StepNotesPopupMenu->hide();
        form->StepVelPopupMenu->hide();
        (form.get()->*c.item)->trigger();
        EXPECT_EQ(pickers.codes, c.codes) << c.label;
    }
}

TEST_F(StepEditor, ConfigurationDefaultsAndRoundTrip) {
    EXPECT_EQ(form->x(), 210);
    EXPECT_EQ(form->y(), 10);
    EXPECT_FALSE(m.ShowStepParametersForm);
    form->move(33, -20);
    m.ShowStepParametersForm = true;
    form.reset();
    TIniFile ini(ConfigFileName());
    EXPECT_EQ(ini.ReadInteger("Step Parameters Form", "Top", 0), -20);
    EXPECT_EQ(ini.ReadInteger("Step Parameters Form", "Width", 0), 530);
    m.ShowStepParametersForm = false;
    form = std::make_unique<TPatternParameterForm>(m, notes, commands, nullptr);
    EXPECT_TRUE(m.ShowStepParametersForm);
    EXPECT_EQ(form->pos(), QPoint(33, -20));  // a negative top is applied as stored
}

}  // namespace
