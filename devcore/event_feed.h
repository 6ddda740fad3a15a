// The events the plugins send, as Server-Sent Events messages numbered from 1, kept for readers at their own pace
// and for readers that come back with the id of the last event they saw.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace Zarvo::DevCore {

class EventFeed {
public:
    // The newest events kept: at most this many, and at most this many bytes of messages (the newest event is kept
    // whatever its size).
    static constexpr size_t kMaxKept = 1000;
    static constexpr size_t kMaxKeptBytes = size_t{16} << 20;

    // Adds "id: <n>\nevent: <name>\ndata: <data>\n\n", line breaks in the name and the data written as spaces (the
    // data is one line of JSON), then calls the listener.
    void Publish(std::string_view name, std::string_view data);
    // Called after each event is added, outside the feed's lock, on the publishing thread.
    void SetListener(std::function<void()> listener);

    // The id of the newest event, 0 before the first.
    uint64_t LastId() const;
    // Where a reader that says it last saw `lastEventId` (the Last-Event-ID header, empty when none) goes on: after
    // that event while it is still kept or newer; from the oldest kept event when the id is older, or names an event
    // this feed never had (a reader coming back to a new server has seen none of its events); after the newest
    // event when the reader names none.
    uint64_t StartAfter(std::string_view lastEventId) const;
    // The messages after `cursor`, whole, as one text of about `maxBytes` at most (at least one message), and moves
    // the cursor past them. A reader whose next event is no longer kept gets a comment first (": 3 events missed").
    // Empty when nothing new is there.
    std::string Take(uint64_t& cursor, size_t maxBytes) const;

private:
    mutable std::mutex mutex_;
    std::deque<std::string> messages_;
    size_t keptBytes_ = 0;
    uint64_t firstId_ = 1;  // the id of messages_.front()
    std::function<void()> listener_;
};

}  // namespace Zarvo::DevCore
