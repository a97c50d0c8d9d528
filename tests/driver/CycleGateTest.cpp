// The handshake between the process callback and a thread that takes a slot
// out of its view, as two threads race through it many times: whatever the
// order, never does the taker see no cycle running while the cycle still
// sees the slot (it would free what the cycle uses).
#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "driver/CycleGate.h"

using morvelant::driver::CycleGate;

namespace {

// Both threads arrive before either goes on, round after round, so that
// their steps overlap as closely as the machine lets them.
class Rendezvous {
public:
    void arrive(uint64_t round) {
        arrived_.fetch_add(1);
        while (arrived_.load() < 2 * (round + 1)) std::this_thread::yield();
    }

private:
    std::atomic<uint64_t> arrived_{0};
};

}  // namespace

TEST(CycleGate, ATakerNeverMissesACycleThatStillSeesTheSlot) {
    constexpr size_t kRounds = 200000;
    struct Round {
        CycleGate gate;
        std::atomic<int*> slot;
        uint64_t mustEnd = 0;  // the taker's reading
        int* seen = nullptr;  // the cycle's
    };
    int value = 1;
    auto rounds = std::make_unique<Round[]>(kRounds);
    for (size_t i = 0; i < kRounds; ++i) rounds[i].slot.store(&value);
    Rendezvous meet;
    std::thread cycle([&] {
        for (size_t i = 0; i < kRounds; ++i) {
            meet.arrive(i);
            rounds[i].gate.enter();
            rounds[i].seen = rounds[i].gate.look(rounds[i].slot);
        }
    });
    for (size_t i = 0; i < kRounds; ++i) {
        meet.arrive(i);
        rounds[i].gate.hide(rounds[i].slot);
        rounds[i].mustEnd = rounds[i].gate.mustEnd();
    }
    cycle.join();
    size_t missed = 0;
    for (size_t i = 0; i < kRounds; ++i) missed += rounds[i].mustEnd == 0 && rounds[i].seen != nullptr;
    EXPECT_EQ(missed, 0u) << "rounds in which the taker would free a slot that a cycle uses";
}

// A cycle that was running when the slot was taken is waited for: it has
// ended once the count of cycles reaches what the taker was told.
TEST(CycleGate, TheCycleWaitedForHasEndedAtTheCountGiven) {
    CycleGate gate;
    int value = 1;
    std::atomic<int*> slot{&value};
    EXPECT_EQ((gate.hide(slot), gate.mustEnd()), 0u) << "no cycle runs";
    gate.hide(slot, &value);
    gate.enter();
    gate.hide(slot);
    const uint64_t target = gate.mustEnd();
    ASSERT_EQ(target, 1u);
    EXPECT_LT(gate.cycles(), target);
    EXPECT_FALSE(gate.leave()) << "nobody waits";
    EXPECT_GE(gate.cycles(), target);
    CycleGate::Waiting waiting(gate);
    gate.enter();
    EXPECT_TRUE(gate.leave()) << "the waiter is woken";
}
