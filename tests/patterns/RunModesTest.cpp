#include <gtest/gtest.h>

#include <vector>

#include "patterns/RunModes.h"

using namespace morvelant;

namespace {

Pattern_Parameters Track(int mode, int first, int last, int t = 4) {
    Pattern_Parameters p;
    p.TrackRunMode(t - 1) = mode;
    p.TrackStartStep(t - 1) = first;
    p.TrackEndStep(t - 1) = last;
    return p;
}

std::vector<int> Steps(const Pattern_Parameters& p, int n, int t = 4) {
    std::vector<int> v;
    for (int slot = 1; slot <= n; ++slot) v.push_back(GetRunStep(p, t, slot));
    return v;
}
std::vector<int> Shifts(const Pattern_Parameters& p, const std::vector<int>& slots, int t = 4) {
    std::vector<int> v;
    for (int slot : slots) v.push_back(GetRunOctaveShift(p, t, slot));
    return v;
}

TEST(RunModes, StepOrder) {
    struct Case {
        int mode, first, last;
        std::vector<int> steps;
    } cases[] = {
        {0, 3, 6, {3, 4, 5, 6, 3, 4, 5, 6}},
        {9, 3, 6, {6, 5, 4, 3, 6, 5, 4, 3}},
        {12, 3, 6, {3, 4, 5, 6, 6, 5, 4, 3, 3, 4}},
        {18, 3, 6, {3, 4, 5, 6, 5, 4, 3, 4, 5, 6, 5, 4, 3}},
        {18, 1, 2, {1, 2, 1, 2, 1}},
        {12, 1, 2, {1, 2, 2, 1, 1, 2, 2, 1}},
        {0, 1, 16, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 1}},
        // One-step ranges, reversed and out-of-range bounds, damaged modes:
        // every slot stays on a step of 1..16.
        {18, 7, 7, {7, 7, 7, 7}},
        {21, 9, 4, {9, 9, 9}},
        {6, 0, 40, {16, 15, 14}},
        {19, -3, 2, {1, 2, 1, 2}},
        {99, 2, 4, {2, 3, 4, 2}},
        {-4, 20, 30, {16, 16}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Steps(Track(c.mode, c.first, c.last), int(c.steps.size())), c.steps)
            << "mode " << c.mode << " " << c.first << ".." << c.last;
}

TEST(RunModes, OctaveShift) {
    struct Case {
        int mode, first, last;
        std::vector<int> slots, shifts;
    } cases[] = {
        {1, 1, 16, {1, 16, 17, 32, 33}, {12, 12, 0, 0, 12}},
        {2, 5, 5, {1, 2, 3, 4}, {12, 24, 0, 12}},
        {5, 1, 1, {1, 2, 3, 4, 5, 6, 7}, {12, 24, 36, 48, 60, 0, 12}},
        {7, 1, 1, {1, 2, 3}, {12, 0, 12}},
        {8, 5, 8, {1, 4, 5, 8, 9, 12, 13}, {24, 24, 12, 12, 0, 0, 24}},
        {11, 1, 1, {1, 6, 7}, {60, 0, 60}},
        {0, 1, 4, {1, 5}, {0, 0}},
        {15, 1, 1, {1, 2}, {0, 0}},
        {23, 1, 1, {1, 2}, {0, 0}},
        {31, 1, 1, {1, 2}, {0, 0}},
        {3, 9, 2, {1, 2, 3, 4, 5}, {12, 24, 36, 0, 12}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Shifts(Track(c.mode, c.first, c.last), c.slots), c.shifts) << "mode " << c.mode;
    // Mode 8 on 5..8 plays 8 7 6 5 in its first cycle.
    EXPECT_EQ(Steps(Track(8, 5, 8), 4), (std::vector<int>{8, 7, 6, 5}));
}

TEST(RunModes, RefusedSlotsAndTracks) {
    const Pattern_Parameters p = Track(0, 3, 6);
    for (int slot : {0, -1, -1000}) {
        EXPECT_EQ(GetRunStep(p, 4, slot), 0);
        EXPECT_EQ(GetRunOctaveShift(p, 4, slot), 0);
    }
    for (int t : {0, 9}) EXPECT_EQ(GetRunStep(p, t, 1), 0);
    EXPECT_EQ(GetRunStep(p, 4, 2000000000), 3 + (2000000000 - 1) % 4);
}

}  // namespace
