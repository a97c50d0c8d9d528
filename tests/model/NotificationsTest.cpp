// Topics with any number of listeners: every listener hears each publication
// in the order it subscribed, and a subscription ends with its handle.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "model/DeviceModel.h"
#include "model/Notifications.h"

namespace morvelant {
namespace {

TEST(Notifications, TwoListenersOnOneTopicBothHearIt) {
    Notifications n;
    std::vector<std::string> heard;
    Subscription a = n.CurrentFaderChanged.Subscribe(
        [&](int from, int to) { heard.push_back("a" + std::to_string(from) + std::to_string(to)); });
    Subscription b = n.CurrentFaderChanged.Subscribe(
        [&](int from, int to) { heard.push_back("b" + std::to_string(from) + std::to_string(to)); });
    n.CurrentFaderChanged.Publish(0, 7);
    EXPECT_EQ(heard, (std::vector<std::string>{"a07", "b07"}));

    a.Reset();
    n.CurrentFaderChanged.Publish(7, 3);
    EXPECT_EQ(heard.back(), "b73");
    EXPECT_EQ(n.CurrentFaderChanged.ListenerCount(), 1u);
}

TEST(Notifications, ListenerRemovedWhilePublishingIsNotCalledAndLateHandlesAreHarmless) {
    auto n = std::make_unique<Notifications>();
    int first = 0, second = 0;
    Subscription b;
    Subscription a = n->CurrentPresetChanged.Subscribe([&] {
        ++first;
        b.Reset();
    });
    b = n->CurrentPresetChanged.Subscribe([&] { ++second; });
    n->CurrentPresetChanged.Publish();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
    n.reset();  // the topics go before the handle
    a.Reset();
}

TEST(Notifications, ListenersAddedOrEndedWhilePublishingTakeEffectForTheNextOne) {
    Notifications n;
    std::vector<std::string> heard;
    Subscription late, self;
    Subscription adder = n.CurrentPatternChanged.Subscribe([&] {
        heard.push_back("adder");
        if (!late.Active()) late = n.CurrentPatternChanged.Subscribe([&] { heard.push_back("late"); });
    });
    self = n.CurrentPatternChanged.Subscribe([&] {
        heard.push_back("self");
        self.Reset();  // ends itself while it runs
    });
    n.CurrentPatternChanged.Publish();
    EXPECT_EQ(heard, (std::vector<std::string>{"adder", "self"}));
    EXPECT_EQ(n.CurrentPatternChanged.ListenerCount(), 2u);
    heard.clear();
    n.CurrentPatternChanged.Publish();
    EXPECT_EQ(heard, (std::vector<std::string>{"adder", "late"}));
}

TEST(Notifications, TheModelPublishesItsKeyLamps) {
    auto model = std::make_unique<DeviceModel>();
    Notifications n;
    model->Notices = &n;
    std::vector<std::pair<int, bool>> lamps, again;
    Subscription a = n.KeyLamp.Subscribe([&](int key, bool on) { lamps.emplace_back(key, on); });
    Subscription b = n.KeyLamp.Subscribe([&](int key, bool on) { again.emplace_back(key, on); });
    model->SetKeyLamp(5, true);
    model->SetKeyLamp(24, true);  // no such key: nothing
    EXPECT_EQ(lamps, (std::vector<std::pair<int, bool>>{{5, true}}));
    EXPECT_EQ(again, lamps);
    EXPECT_TRUE(model->KeyStates[5].LampOn);
}

}  // namespace
}  // namespace morvelant
