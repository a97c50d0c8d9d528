// The ticks of a timed series of dumps, on a clock the test turns: each is
// due at start + k * interval however late the one before came or however
// long its send took, and a tick held back far (a message box) starts the
// schedule again instead of sending the rest back to back.
#include <gtest/gtest.h>

#include "platform/SeriesSchedule.h"

namespace morvelant {
namespace {

TEST(SeriesSchedule, EachTickIsDueFromTheStartNotFromTheTickBefore) {
    struct Step {
        int64_t tickAt;  // when the timer fired
        int64_t sendEnd;  // when the send was done
        int wait;  // the timer's next wait
    };
    // 500 ms from a start at 1000: ticks come 1..3 ms late, sends take 2..40 ms.
    const Step steps[] = {
        {1501, 1503, 497}, {2003, 2043, 457}, {2502, 2504, 496}, {3001, 3001, 499},
    };
    SeriesSchedule s;
    s.Start(1000, 500);
    EXPECT_EQ(s.NextWait(1000), 500);
    int64_t k = 0;
    for (const Step& step : steps) {
        s.Tick(step.tickAt);
        EXPECT_EQ(s.NextWait(step.sendEnd), step.wait) << step.tickAt;
        ++k;
        EXPECT_EQ(s.Deadline(k + 1), 1000 + (k + 1) * 500);
    }
    // The long delay of the user's series: 3,000 ms stay 3,000 ms.
    s.Start(0, 3000);
    s.Tick(3016);
    EXPECT_EQ(s.NextWait(3020), 2980);
}

TEST(SeriesSchedule, ATickHeldBackFarStartsTheScheduleAgain) {
    SeriesSchedule s;
    s.Start(0, 1000);
    s.Tick(7400);  // a message box held the loop
    EXPECT_EQ(s.NextWait(7400), 1000);  // a whole gap, not a burst
    s.Tick(8401);
    EXPECT_EQ(s.NextWait(8405), 995);
    s.Start(0, 0);  // no delay at all still waits
    EXPECT_EQ(s.Interval(), 1);
}

}  // namespace
}  // namespace morvelant
