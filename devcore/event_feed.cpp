#include "devcore/event_feed.h"

namespace Zarvo::DevCore {

void EventFeed::Publish(std::string_view name, std::string_view data) {
    std::string message = "event: ";
    for (char c : name) message += c == '\n' || c == '\r' ? ' ' : c;
    message += "\ndata: ";
    message += data;
    message += "\n\n";
    {
        std::lock_guard lock(mutex_);
        messages_.push_back(std::move(message));
        if (messages_.size() > kMaxKept) {
            messages_.pop_front();
            ++first_;
        }
    }
    changed_.notify_all();
}

size_t EventFeed::End() const {
    std::lock_guard lock(mutex_);
    return first_ + messages_.size();
}

EventFeed::Next EventFeed::Read(size_t& cursor, std::string& message, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return closed_ || cursor < first_ + messages_.size(); });
    if (closed_) return Next::Closed;
    if (cursor >= first_ + messages_.size()) return Next::Timeout;
    if (cursor < first_) cursor = first_;
    message = messages_[cursor++ - first_];
    return Next::Message;
}

void EventFeed::Close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    changed_.notify_all();
}

}  // namespace Zarvo::DevCore
