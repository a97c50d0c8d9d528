// The window base (close query and action, modal run, bookkeeping) and the
// colour numbers.
#include <gtest/gtest.h>

#include <algorithm>

#include <QApplication>
#include <QGuiApplication>
#include <QPalette>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include "platform/QtColors.h"
#include "platform/QtFormBase.h"
#include "tests/support/QtWidgetApp.h"

namespace morvelant {
namespace {

class ProbeForm : public TForm {
public:
    ProbeForm() : TForm(QStringLiteral("ProbeForm")) {}
    bool allowClose = true;
    TCloseAction action = TCloseAction::caHide;
    int shows = 0, hides = 0, closes = 0;

protected:
    void FormShow() override { ++shows; }
    void FormHide() override { ++hides; }
    void FormCloseQuery(bool& canClose) override { canClose = allowClose; }
    void FormClose(TCloseAction& a) override {
        ++closes;
        a = action;
    }
};

class QtFormBaseTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testsupport::WidgetApp(); }
};

TEST_F(QtFormBaseTest, CloseAsksFirstAndDoesWhatTheActionSays) {
    std::vector<FormEvent> events;
    SetFormEventHook([&](TForm&, FormEvent e) { events.push_back(e); });
    {
        ProbeForm form;
        form.Show();
        EXPECT_EQ(form.shows, 1);
        form.allowClose = false;
        EXPECT_FALSE(form.Close());
        EXPECT_FALSE(form.close());  // the close box takes the same path
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(form.closes, 0);
        form.allowClose = true;
        form.action = TCloseAction::caNone;
        EXPECT_FALSE(form.Close());
        EXPECT_TRUE(form.isVisible());
        form.action = TCloseAction::caHide;
        EXPECT_TRUE(form.close());
        EXPECT_FALSE(form.isVisible());
        EXPECT_EQ(form.hides, 1);
    }
    SetFormEventHook({});
    EXPECT_EQ(events,
              (std::vector<FormEvent>{FormEvent::Created, FormEvent::Shown, FormEvent::Hidden, FormEvent::Closed,
                                      FormEvent::Destroyed}));

    auto* freed = new ProbeForm;
    QPointer<ProbeForm> watch(freed);
    freed->action = TCloseAction::caFree;
    freed->Show();
    EXPECT_TRUE(freed->Close());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watch.isNull());
}

TEST_F(QtFormBaseTest, ShowModalRunsUntilAResultIsSetOrTheWindowCloses) {
    ProbeForm form;
    QTimer::singleShot(0, [&] {
        EXPECT_TRUE(form.Modal());
        form.SetModalResult(mrOk);
    });
    EXPECT_EQ(form.ShowModal(), mrOk);
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.Modal());

    QTimer::singleShot(0, [&] { form.Close(); });
    EXPECT_EQ(form.ShowModal(), mrCancel);

    // A refused close query keeps the modal run going.
    form.allowClose = false;
    QTimer::singleShot(0, [&] {
        form.SetModalResult(mrYes);
        EXPECT_TRUE(form.isVisible());
        form.allowClose = true;
        form.SetModalResult(mrNo);
    });
    EXPECT_EQ(form.ShowModal(), mrNo);
}

TEST_F(QtFormBaseTest, CaptionAndBoundsInTheEditorsTerms) {
    ProbeForm form;
    form.SetCaption("Caf\xE9 \x80");
    EXPECT_EQ(form.windowTitle(), QString::fromUtf8("Caf\u00E9 \u20AC"));
    EXPECT_EQ(form.Caption(), "Caf\xE9 \x80");
    form.SetBounds(10, 20, 300, 200);
    EXPECT_EQ(form.Left(), 10);
    EXPECT_EQ(form.Top(), 20);
    EXPECT_EQ(form.Width(), 300);
    EXPECT_EQ(form.Height(), 200);
    // A damaged configuration value cannot ask for a window of gigabytes.
    form.SetBounds(10, 20, 2000000000, 2000000000);
    EXPECT_LE(form.Width(), std::max(TForm::kSideLimit, QGuiApplication::primaryScreen()->virtualSize().width()));
    EXPECT_LE(form.Height(), std::max(TForm::kSideLimit, QGuiApplication::primaryScreen()->virtualSize().height()));
    EXPECT_GE(form.Width(), 800);
}

TEST(QtColorsTest, ColourNumbersAreBlueGreenRedAndSystemColoursComeFromThePalette) {
    EXPECT_EQ(ToQColor(clRed), QColor(255, 0, 0));
    EXPECT_EQ(ToQColor(clBlue), QColor(0, 0, 255));
    EXPECT_EQ(ToQColor(0x00336699), QColor(0x99, 0x66, 0x33));
    EXPECT_EQ(ToQColor(0x12336699), QColor(0x99, 0x66, 0x33));  // the top byte is no colour
    EXPECT_EQ(RGBColor(0x99, 0x66, 0x33), 0x00336699);
    EXPECT_EQ(FromQColor(QColor(0x99, 0x66, 0x33)), 0x00336699);
    EXPECT_EQ(ToQColor(clNone).alpha(), 0);
    EXPECT_FALSE(ToQColor(clDefault).isValid());
    EXPECT_EQ(FromQColor(QColor()), clDefault);
    EXPECT_TRUE(IsSystemColor(clBtnFace));
    EXPECT_FALSE(IsSystemColor(clWhite));
    EXPECT_TRUE(ToQColor(clBtnFace).isValid());
    EXPECT_TRUE(ToQColor(SystemColorBase | 200).isValid());  // an unknown index still paints
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
        EXPECT_EQ(ToQColor(clHighlight), QApplication::palette().color(QPalette::Highlight));
        EXPECT_EQ(ToQColor(clWindow), QApplication::palette().color(QPalette::Base));
    }
    EXPECT_FALSE(IsSystemColor(ColorToRGB(clWindowText)));
}

}  // namespace
}  // namespace morvelant
