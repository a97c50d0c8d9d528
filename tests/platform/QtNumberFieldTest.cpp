// What a committed number field keeps.
#include <gtest/gtest.h>

#include "platform/QtNumberField.h"

namespace morvelant {
namespace {

TEST(NumberField, ANumberIsClampedAndAnythingElseGivesTheOldValue) {
    const struct {
        const char* text;
        int kept;
    } rows[] = {{"42", 42}, {" 7 ", 7}, {"-5", 0}, {"200", 127}, {"+3", 3}, {"99999999999999", 127},
                {"-99999999999999", 0}, {"", 64}, {"abc", 64}, {"1x", 64}, {"-", 64}, {"4 2", 64}};
    for (const auto& r : rows) EXPECT_EQ(CommittedNumber(QString::fromLatin1(r.text), 64, 0, 127), r.kept) << r.text;
}

}  // namespace
}  // namespace morvelant
