// The events the plugins send, as Server-Sent Events messages for any number of readers, each at its own pace.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>

namespace Zarvo::DevCore {

class EventFeed {
public:
    enum class Next { Message, Timeout, Closed };

    // Adds "event: <name>\ndata: <data>\n\n"; line breaks in the name become spaces. Only the newest
    // kMaxKept messages are kept for readers that fall behind.
    void Publish(std::string_view name, std::string_view data);
    // The position after the newest message: a reader that starts there sees only what comes next.
    size_t End() const;
    // Waits up to `timeout` for the message at `cursor` and moves the cursor past it. A reader that fell behind the
    // kept messages continues with the oldest kept one.
    Next Read(size_t& cursor, std::string& message, std::chrono::milliseconds timeout);
    // Wakes every reader; from now on Read reports Closed.
    void Close();

    static constexpr size_t kMaxKept = 1000;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> messages_;
    size_t first_ = 0;  // the position of messages_.front()
    bool closed_ = false;
};

}  // namespace Zarvo::DevCore
