// Waiting on other threads in tests.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace morvelant::testsupport {

// Polls until pred holds or the limit passes; pred's last value. The limit
// only keeps a broken test from hanging.
inline bool PollUntil(const std::function<bool()>& pred, std::chrono::milliseconds limit = std::chrono::seconds(10),
                      std::chrono::milliseconds step = std::chrono::milliseconds(5)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (pred()) return true;
        std::this_thread::sleep_for(step);
    }
    return pred();
}

}  // namespace morvelant::testsupport
