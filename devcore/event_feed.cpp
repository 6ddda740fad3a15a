#include "devcore/event_feed.h"

#include <charconv>

namespace Zarvo::DevCore {
namespace {

void AppendOneLine(std::string& message, std::string_view text) {
    for (char c : text) message += c == '\n' || c == '\r' ? ' ' : c;
}

}  // namespace

void EventFeed::Publish(std::string_view name, std::string_view data) {
    std::function<void()> listener;
    {
        std::lock_guard lock(mutex_);
        std::string message = "id: " + std::to_string(firstId_ + messages_.size()) + "\nevent: ";
        AppendOneLine(message, name);
        message += "\ndata: ";
        AppendOneLine(message, data);
        message += "\n\n";
        keptBytes_ += message.size();
        messages_.push_back(std::move(message));
        while (messages_.size() > 1 && (messages_.size() > kMaxKept || keptBytes_ > kMaxKeptBytes)) {
            keptBytes_ -= messages_.front().size();
            messages_.pop_front();
            ++firstId_;
        }
        listener = listener_;
    }
    if (listener) listener();
}

void EventFeed::SetListener(std::function<void()> listener) {
    std::lock_guard lock(mutex_);
    listener_ = std::move(listener);
}

uint64_t EventFeed::LastId() const {
    std::lock_guard lock(mutex_);
    return firstId_ + messages_.size() - 1;
}

uint64_t EventFeed::StartAfter(std::string_view lastEventId) const {
    std::lock_guard lock(mutex_);
    const uint64_t last = firstId_ + messages_.size() - 1;
    if (lastEventId.empty()) return last;
    uint64_t id = 0;
    const auto [end, error] = std::from_chars(lastEventId.data(), lastEventId.data() + lastEventId.size(), id);
    if (error != std::errc() || end != lastEventId.data() + lastEventId.size() || id > last) return firstId_ - 1;
    return id;  // when no longer kept, Take tells the reader what it missed
}

std::string EventFeed::Take(uint64_t& cursor, size_t maxBytes) const {
    std::lock_guard lock(mutex_);
    std::string text;
    if (cursor + 1 < firstId_) {
        const uint64_t missed = firstId_ - 1 - cursor;
        text = ": " + std::to_string(missed) + (missed == 1 ? " event" : " events") + " missed\n\n";
        cursor = firstId_ - 1;
    }
    for (bool first = true; cursor + 1 < firstId_ + messages_.size(); first = false) {
        const std::string& message = messages_[cursor + 1 - firstId_];
        if (!first && text.size() + message.size() > maxBytes) break;
        text += message;
        ++cursor;
    }
    return text;
}

}  // namespace Zarvo::DevCore
