// The outcome of a request to another plugin or of sending an event: a value, or a status and a message.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace Zarvo::Client {

struct RequestError {
    int32_t status = 0;
    std::string message;
};

template <class T = void>
struct RequestResult {
    T value{};
    RequestError error;
    bool isError = false;

    bool Ok() const noexcept { return !isError; }
    static RequestResult Success(T value) { return {std::move(value), {}, false}; }
    static RequestResult Failure(int32_t status, std::string message) { return {T{}, {status, std::move(message)}, true}; }
};

template <>
struct RequestResult<void> {
    RequestError error;
    bool isError = false;

    bool Ok() const noexcept { return !isError; }
    static RequestResult Success() { return {}; }
    static RequestResult Failure(int32_t status, std::string message) { return {{status, std::move(message)}, true}; }
};

}  // namespace Zarvo::Client
