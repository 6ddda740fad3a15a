#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/system.h"

namespace Zarvo::Platform {
namespace {

// Whether another thread can take the section at this moment.
bool FreeForOthers(CriticalSection& section) {
    bool taken = false;
    std::thread([&] {
        taken = section.try_lock();
        if (taken) section.unlock();
    }).join();
    return taken;
}

TEST(CriticalSection, ItsOwnerEntersAgainAndReleasesAsOftenAsItEntered) {
    CriticalSection section;
    section.lock();
    ASSERT_TRUE(section.try_lock());  // else the next lock would wait for itself
    section.lock();
    EXPECT_FALSE(FreeForOthers(section));
    section.unlock();
    section.unlock();
    EXPECT_FALSE(FreeForOthers(section));  // entered three times, left twice
    section.unlock();
    EXPECT_TRUE(FreeForOthers(section));
}

TEST(CriticalSection, KeepsThreadsApart) {
    CriticalSection section;
    long counter = 0;
    constexpr int kThreads = 4, kRounds = 20000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                std::lock_guard lock(section);
                counter = counter + 1;
            }
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(counter, long{kThreads} * kRounds);
}

// The fields are the calendar's (months from 1, the full year), as the C runtime's local time gives them.
TEST(LocalTime, AgreesWithTheCRuntime) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        const std::time_t before = std::time(nullptr);
        const LocalTime now = ReadLocalTime();
        if (std::time(nullptr) != before) continue;  // a second ended in between
        const std::tm expected = *std::localtime(&before);
        EXPECT_EQ(now.year, expected.tm_year + 1900);
        EXPECT_EQ(now.month, expected.tm_mon + 1);
        EXPECT_EQ(now.day, expected.tm_mday);
        EXPECT_EQ(now.hour, expected.tm_hour);
        EXPECT_EQ(now.minute, expected.tm_min);
        EXPECT_EQ(now.second, expected.tm_sec);
        EXPECT_GE(now.millisecond, 0);
        EXPECT_LE(now.millisecond, 999);
        return;
    }
    FAIL() << "every reading crossed a second";
}

TEST(CurrentThreadId, StaysWithItsThreadAndTellsThreadsApart) {
    const uint32_t mine = CurrentThreadId();
    EXPECT_NE(mine, 0u);
    EXPECT_EQ(CurrentThreadId(), mine);
    uint32_t other = 0;
    std::thread([&] { other = CurrentThreadId(); }).join();
    EXPECT_NE(other, 0u);
    EXPECT_NE(other, mine);
}

// What each thread ended with: the value its slot's function was handed.
std::vector<int> endedWith;
std::mutex endedWithMutex;

void RecordEnd(void* value) {
    std::lock_guard<std::mutex> lock(endedWithMutex);
    endedWith.push_back(*static_cast<int*>(value));
    delete static_cast<int*>(value);
}

TEST(ThreadSlot, HandsEachThreadsPointerToItsFunctionWhenTheThreadEnds) {
    static ThreadSlot slot(&RecordEnd);
    std::vector<std::thread> threads;
    for (int t = 1; t <= 3; ++t) {
        threads.emplace_back([t] {
            EXPECT_EQ(slot.Get(), nullptr) << "each thread its own pointer";
            int* value = new int(0);
            ASSERT_TRUE(slot.Set(value));
            *value = t;  // written after Set: the function reads what the pointer points to at the end
            EXPECT_EQ(slot.Get(), value);
        });
    }
    threads.emplace_back([] {});  // never sets it: its function is not called
    for (std::thread& thread : threads) thread.join();
    std::lock_guard<std::mutex> lock(endedWithMutex);
    std::sort(endedWith.begin(), endedWith.end());
    EXPECT_EQ(endedWith, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(slot.Get(), nullptr);
}

TEST(ExecutableFilePath, IsTheWholePathOfTheRunningProgram) {
    const std::string path = ExecutableFilePath();
    const std::string name = std::string("platform_tests") + KIV_EXECUTABLE_SUFFIX;
    ASSERT_GT(path.size(), name.size()) << path;
    EXPECT_EQ(path.substr(path.size() - name.size()), name);
    const char separator = path[path.size() - name.size() - 1];
    EXPECT_TRUE(separator == '/' || separator == '\\') << path;
}

}  // namespace
}  // namespace Zarvo::Platform
