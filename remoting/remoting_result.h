// What a route handler may return besides a plain value: a value or an error with the status the core receives.
//
//   RemotingResult<PlayerLevelUpEvent> GetLevelUp() {
//       if (!pending.leveledUp) return RemotingError::NotFound();
//       return pending;
//   }
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace Zarvo {

struct RemotingError {
    uint32_t status = 0;
    std::string message;

    // The answer for a resource that does not exist (yet).
    static RemotingError NotFound() { return {404, "Not found"}; }
};

template <class T>
class RemotingResult {
public:
    using ValueType = T;

    RemotingResult(T value) : outcome_(std::move(value)) {}
    RemotingResult(RemotingError error) : outcome_(std::move(error)) {}

    bool Ok() const noexcept { return outcome_.index() == 0; }
    const T& Value() const { return std::get<0>(outcome_); }
    const RemotingError& Error() const { return std::get<1>(outcome_); }

private:
    std::variant<T, RemotingError> outcome_;
};

// Success without a value, or an error.
template <>
class RemotingResult<void> {
public:
    using ValueType = void;

    RemotingResult() = default;
    RemotingResult(RemotingError error) : error_(std::move(error)) {}

    bool Ok() const noexcept { return !error_; }
    const RemotingError& Error() const { return *error_; }

private:
    std::optional<RemotingError> error_;
};

}  // namespace Zarvo
