// What a bound function answers: its value (or failure) and the response fields the core receives beside it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "binding/property.h"
#include "remoting/argument_binding.h"

namespace Zarvo {

// A body handed to the core piece by piece; the core owns it once the response is composed.
class RemotingStream {
public:
    // Writes at most *count bytes into buffer; *count becomes the bytes written and *moreToCome tells whether more
    // follow. False when the stream failed.
    virtual bool Read(uint8_t* buffer, uint32_t* count, uint8_t* moreToCome) = 0;
    // The value the core finds beside the stream in the response record.
    virtual uint32_t Length() const noexcept = 0;
    virtual ~RemotingStream() = default;
};

struct RemotingResponse : BindingResult {
    uint8_t outputFlag = 0;
    uint32_t outputFormat = 0;
    // 0: no status set.
    uint32_t status = 0;
    std::string text;
    TextMap headers;
    std::unique_ptr<RemotingStream> stream;

    void Fail(uint32_t failureStatus, std::string_view message) {
        SetError(message);
        status = failureStatus;
    }
};

}  // namespace Zarvo
