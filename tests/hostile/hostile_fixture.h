// What the hostile-core tests share: a fixture that starts the level-up plugin in a hostile core, and ways to run a
// call on a small stack or under a deadline.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "hostile_core.h"
#include "level_up_traffic.h"

namespace Hostile {

// Runs the body on a new thread whose whole stack is the given size, and waits for it.
void RunOnThreadWithStack(size_t stackBytes, const std::function<void()>& body);

// Runs the body on another thread and waits at most the given time. A body that does not finish is a deadlock that
// cannot be undone: the test is reported failed and the process ends.
void FinishesWithin(int seconds, const std::function<void()>& body);

// A hostile core with the level-up plugin loaded and started; every resource it asks for at start is answered
// "Not found" unless a test answers it first (in SetUpCore).
class HostileTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetUpCore();
        ASSERT_TRUE(core.Start());
    }
    virtual void SetUpCore() {}

    // The answer of the level-up plugin's notification function for a plugin name.
    Answer GetNotification(const std::string& pluginName) {
        return core.Call(core.FunctionFor(kGet, kNotificationsTemplate), kNotificationsPrefix + pluginName);
    }
    size_t EndGame(bool leveledUp = true, uint32_t previousLevel = 4) {
        return Hostile::EndGame(core, leveledUp, previousLevel);
    }
    std::vector<std::string> EventNames() const {
        std::vector<std::string> names;
        for (const SentEvent& event : core.Events()) names.push_back(event.name);
        return names;
    }

    HostileCore core;
};

}  // namespace Hostile
