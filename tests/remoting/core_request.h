// Request and response records as a core fills and frees them, for driving the dispatch callback in tests.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "abi/plugin_abi.h"
#include "binding/property.h"
#include "formats/json_reader.h"
#include "formats/plugin_value.h"
#include "remoting/method.h"
#include "remoting/response_record.h"
#include "support/describe.h"

namespace Zarvo::Testing {

// Owns every text and array the record points to.
class CoreRequest {
public:
    CoreRequest(Method method, const std::string& path)
        : method_(static_cast<uint32_t>(method)), path_(Keep(path)) {}
    CoreRequest(const CoreRequest&) = delete;
    CoreRequest& operator=(const CoreRequest&) = delete;
    ~CoreRequest() {
        for (PluginArgumentItem& item : items_) ClearPluginValue(item.value);
    }

    CoreRequest& MethodCode(uint32_t code, const char* methodName = nullptr) {
        method_ = code;
        methodName_ = methodName ? Keep(methodName) : nullptr;
        return *this;
    }
    CoreRequest& Header(const std::string& name, const std::string& value) {
        headers_.push_back({Keep(name), Keep(value)});
        return *this;
    }
    // A null name makes a positional item; the value is the JSON text as core values.
    CoreRequest& Item(const char* name, const std::string& json) {
        const BindingResult parsed = ParseJson(json);
        EXPECT_TRUE(parsed.ok) << json;
        PluginArgumentItem& item = items_.emplace_back(PluginArgumentItem{name ? Keep(name) : nullptr, {}});
        ToPluginValue(item.value, parsed.value, nullptr);
        return *this;
    }
    // The body bytes are followed by a zero byte that the length does not count, as the core sends them.
    CoreRequest& Body(const std::string& contentType, const std::string& bytes) {
        contentType_ = Keep(contentType);
        body_ = bytes;
        return *this;
    }
    CoreRequest& RequestId(uint32_t id) {
        requestId_ = id;
        return *this;
    }

    PluginRequestRecord Record(void* context) const {
        PluginRequestRecord record{};
        record.method = method_;
        record.path = path_;
        record.items = items_.empty() ? nullptr : items_.data();
        record.itemCount = static_cast<uint32_t>(items_.size());
        record.dispatchContext = context;
        record.headers = headers_.empty() ? nullptr : headers_.data();
        record.headerCount = static_cast<uint32_t>(headers_.size());
        record.contentType = contentType_;
        record.body = body_ ? reinterpret_cast<const uint8_t*>(body_->c_str()) : nullptr;
        record.bodyLength = body_ ? static_cast<uint32_t>(body_->size()) : 0;
        record.requestId = requestId_;
        record.methodName = methodName_;
        return record;
    }

private:
    const char* Keep(const std::string& text) { return texts_.emplace_back(text).c_str(); }

    std::deque<std::string> texts_;
    uint32_t method_;
    const char* path_;
    const char* methodName_ = nullptr;
    std::vector<PluginHeaderPair> headers_;
    std::vector<PluginArgumentItem> items_;
    const char* contentType_ = nullptr;
    std::optional<std::string> body_;
    uint32_t requestId_ = 7;
};

// The fields of a response record, copied out of the packed record.
struct Answer {
    uint32_t kind = 0;
    // The value read back, spelled by Describe.
    std::string value;
    uint8_t errorFlag = 0;
    std::string error;
    uint8_t outputFlag = 0;
    uint32_t outputFormat = 0;
    uint32_t status = 0;
    std::string text;
    bool textIsStaticEmpty = false;
    std::map<std::string, std::string> headers;
    bool hasFreeRoutine = false;
};

inline Answer Read(const PluginResponseRecord& record) {
    Answer answer;
    answer.kind = record.result.kind;
    BindingProperty value;
    std::string error;
    FromPluginValue(error, value, record.result, "<result>");
    answer.value = Describe(value);
    answer.errorFlag = record.errorFlag;
    if (record.errorText) answer.error = record.errorText;
    answer.outputFlag = record.outputFlag;
    answer.outputFormat = record.outputFormat;
    answer.status = record.status;
    if (record.text) answer.text = record.text;
    answer.textIsStaticEmpty = record.text == kEmptyResponseText;
    for (uint32_t i = 0; i < record.headerCount; ++i) answer.headers[record.headers[i].name] = record.headers[i].value;
    answer.hasFreeRoutine = record.free == FreeResponseRecord;
    return answer;
}

// A response record as the core holds it: it takes the stream, then calls the free routine stored in the record.
struct CoreResponse {
    PluginResponseRecord record{};

    CoreResponse() = default;
    CoreResponse(const CoreResponse&) = delete;
    CoreResponse& operator=(const CoreResponse&) = delete;
    ~CoreResponse() {
        if (record.stream) record.streamRelease(record.stream);
        record.stream = nullptr;
        if (record.free) record.free(&record);
    }
};

}  // namespace Zarvo::Testing
