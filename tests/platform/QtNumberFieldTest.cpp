// Number fields: what a committed field keeps, and when it is committed.
#include <gtest/gtest.h>

#include <QLineEdit>

#include "platform/QtNumberField.h"
#include "tests/support/QtWidgetApp.h"
#include "tests/support/UserInput.h"

namespace morvelant {
namespace {

TEST(NumberField, ANumberIsClampedAndAnythingElseGivesTheOldValue) {
    const struct {
        const char* text;
        int kept;
    } rows[] = {{"42", 42}, {" 7 ", 7}, {"-5", 0}, {"200", 127}, {"+3", 3}, {"99999999999999", 127},
                {"-99999999999999", 0}, {"", 64}, {"abc", 64}, {"1x", 64}, {"-", 64}, {"4 2", 64}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(CommittedNumber(QString::fromLatin1(r.text), 64, 0, 127), r.kept);
    }
}

TEST(NumberField, ReturnAndLeavingAChangedFieldCommitNotEachKey) {
    using namespace userinput;
    testsupport::WidgetApp(true);
    QWidget window;
    auto* edit = new QLineEdit(&window);
    new QLineEdit(&window);  // where Tab goes
    int commits = 0;
    OnNumberCommitted(edit, [&] { ++commits; });
    window.show();
    FocusOn(edit);
    KeyClicks(edit, QStringLiteral("12"));
    EXPECT_EQ(commits, 0);
    KeyClick(edit, Qt::Key_Return);
    EXPECT_EQ(commits, 1);
    KeyClick(edit, Qt::Key_Return);  // shows the kept value again
    EXPECT_EQ(commits, 2);
    KeyClick(edit, Qt::Key_Tab);  // unchanged: nothing to commit
    EXPECT_EQ(commits, 2);
    FocusOn(edit);
    KeyClicks(edit, QStringLiteral("3"));
    KeyClick(edit, Qt::Key_Tab);
    EXPECT_EQ(commits, 3);
}

}  // namespace
}  // namespace morvelant
