// The sending dialog: the send items greyed while it is shown, the progress
// texts, and that Cancel and the close box both stop the running series.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

#include "shell/SendingUnit.h"
#include "tests/support/QtWidgetApp.h"

namespace morvelant {
namespace {

QApplication* App() { return testsupport::WidgetApp(); }

// A timed series as the preset and pattern list windows run it.
struct FakeSeries : SendSeries {
    bool running = false;
    int stops = 0;
    std::function<void()> onStop;
    void StopSendSeries() override {
        ++stops;
        running = false;
        if (onStop) onStop();
    }
};

struct SendingUnitTest : ::testing::Test {
    std::unique_ptr<QWidget> menuWindow, presetWindow;
    std::vector<QAction*> items;  // in the dialog's order
    std::unique_ptr<TSendingForm> form;
    FakeSeries presets, patterns;

    void SetUp() override {
        App();
        menuWindow = std::make_unique<QWidget>();
        presetWindow = std::make_unique<QWidget>();
        auto* menu = new QMenu(menuWindow.get());
        for (int i = 0; i < 9; ++i) {
            QAction* a = menu->addAction(TSendingForm::kSendItemNames[i]);
            a->setObjectName(TSendingForm::kSendItemNames[i]);
            items.push_back(a);
        }
        auto* popup = new QMenu(presetWindow.get());
        QAction* send = popup->addAction("Send Preset");
        send->setObjectName("SendPreset");
        items.push_back(send);
        // An item of another name stays as it is.
        menu->addAction("Open")->setObjectName("Open1");

        form = std::make_unique<TSendingForm>();
        form->AddSendItemOwner(menuWindow.get());
        form->AddSendItemOwner(presetWindow.get());
        form->AddSeries(&presets);
        form->AddSeries(&patterns);
    }

    int EnabledItems() {
        int n = 0;
        for (QAction* a : items) n += a->isEnabled() ? 1 : 0;
        return n;
    }
};

TEST_F(SendingUnitTest, Layout) {
    EXPECT_EQ(form->windowTitle(), "Sending Presets...");
    EXPECT_EQ(form->size(), QSize(288, 138));
    EXPECT_EQ(form->Label1->text(), "Sending Preset");
    EXPECT_EQ(form->Label2->text(), "Label2");
    EXPECT_EQ(form->Button1->text(), "Cancel");
    EXPECT_EQ(form->ProgressBar1->minimum(), 0);
    EXPECT_EQ(form->ProgressBar1->maximum(), 100);
    for (const char* name : {"Label1", "PresetNumber", "Label2", "ProgressBar1", "Button1"})
        EXPECT_NE(form->findChild<QWidget*>(name), nullptr) << name;
    EXPECT_EQ(std::string(TSendingForm::kSendItemNames[9]), "SendPreset");
}

TEST_F(SendingUnitTest, ItemsGreyedWhileShownAndProgressTexts) {
    form->BeginSeries(7, 4, "Strings");
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(EnabledItems(), 0);
    EXPECT_TRUE(menuWindow->findChild<QAction*>("Open1")->isEnabled());
    EXPECT_EQ(form->PresetNumber->text(), "5:Strings");
    EXPECT_EQ(form->Label2->text(), "1/7");
    EXPECT_EQ(form->ProgressBar1->maximum(), 7);
    EXPECT_EQ(form->ProgressBar1->value(), 0);
    form->StepProgress();
    form->NextItem(5, "Brass\x80");
    form->StepProgress();
    EXPECT_EQ(form->SentCount, 2);
    EXPECT_EQ(form->Label2->text(), "2/7");
    EXPECT_EQ(form->PresetNumber->text(), QString("6:Brass") + QChar(0x20AC));
    EXPECT_EQ(form->ProgressBar1->value(), 2);
    // The sender closes the dialog when done: everything enabled again.
    form->Close();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(EnabledItems(), 10);
}

TEST_F(SendingUnitTest, CancelStopsWhicheverSeriesRuns) {
    patterns.running = true;  // a pattern series, which the preset timer alone never stopped
    form->BeginSeries(3, 0, "P1");
    form->Button1->click();
    EXPECT_FALSE(patterns.running);
    EXPECT_GE(patterns.stops, 1);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(EnabledItems(), 10);

    presets.running = true;
    form->BeginSeries(3, 0, "A");
    form->Button1Click();
    EXPECT_FALSE(presets.running);
    EXPECT_EQ(EnabledItems(), 10);
}

TEST_F(SendingUnitTest, CloseBoxStopsTheSeriesToo) {
    presets.running = true;
    form->BeginSeries(5, 10, "X");
    EXPECT_EQ(EnabledItems(), 0);
    QCloseEvent close;
    QCoreApplication::sendEvent(form.get(), &close);
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(presets.running);
    EXPECT_EQ(EnabledItems(), 10);
}

TEST_F(SendingUnitTest, SeriesThatClosesOrRemovesItselfWhileStopping) {
    presets.running = true;
    presets.onStop = [&] {
        form->Close();  // the sender's own "done" path, reached while closing
        form->RemoveSeries(&presets);
    };
    form->BeginSeries(2, 0, "A");
    form->Button1Click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(presets.stops, 1);
    EXPECT_EQ(EnabledItems(), 10);
    // Removed series and owners are no longer reached.
    form->RemoveSendItemOwner(menuWindow.get());
    form->BeginSeries(2, 0, "A");
    EXPECT_EQ(EnabledItems(), 9);  // only the preset list's item greyed
    form->Close();
    EXPECT_EQ(presets.stops, 1);
}

}  // namespace
}  // namespace morvelant
