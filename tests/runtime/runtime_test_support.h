// A small plugin for the runtime's tests, and a fixture that loads it into a test core and starts it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "binding/registration.h"
#include "remoting/route_builder.h"
#include "devcore/test_core.h"
#include "runtime/plugin.h"
#include "runtime/plugin_loader.h"

namespace Zarvo::Client::Testing {

struct Session {
    std::string state;
    uint64_t accountId = 0;
};

struct Queue {
    int32_t id = 0;
    uint32_t minLevel = 0;
};

// Never registered: converting it fails.
struct Unregistered {
    int32_t value = 0;
};

class TestPlugin : public Plugin {
public:
    TestPlugin() : Plugin("kiv-runtime-test") { ++liveInstances; }
    ~TestPlugin() override { --liveInstances; }

    static inline int liveInstances = 0;
    static inline bool throwInRegisterApi = false;

    std::function<bool(TestPlugin&)> onStart;

protected:
    void RegisterApi() override {
        if (throwInRegisterApi) throw std::runtime_error("RegisterApi failed");
        Registry().Record<Session>("Session").Field("state", &Session::state).Field("accountId", &Session::accountId);
        Registry().Record<Queue>("Queue").Field("id", &Queue::id).Field("minLevel", &Queue::minLevel);
        Transport().Route(Method::Get, "/kiv-runtime-test/v1/session", [] { return Session{"SUCCEEDED", 12}; })
            .Tags(RouteTags());
    }
    bool Start() override { return onStart ? onStart(*this) : true; }
};

// Reads a field of a packed record by value: a reference to it may be misaligned.
template <class T>
T ValueOf(T field) {
    return field;
}

inline BindingProperty SessionValue(std::string_view state, uint64_t accountId) {
    BindingProperty value;
    value.ChildForWrite("state").SetString(state);
    value.ChildForWrite("accountId").SetUnsigned(accountId);
    return value;
}

// A resource event as another plugin publishes it.
inline BindingProperty ResourceEventValue(std::string_view uri, std::string_view eventType,
                                          const BindingProperty& data) {
    BindingProperty event;
    event.ChildForWrite("uri").SetString(uri);
    event.ChildForWrite("eventType").SetString(eventType);
    event.ChildForWrite("data") = data;
    return event;
}

class RuntimeTest : public ::testing::Test {
protected:
    void TearDown() override { Destroy(); }

    // Loads a TestPlugin for a core of the given version; the plugin is null when it was refused.
    void Load(uint32_t major = 18, uint32_t minor = 0, uint32_t patch = 0) {
        block = PluginLoadBlock{major, minor, patch, nullptr, nullptr, nullptr, nullptr};
        plugin = LoadPlugin<TestPlugin>(&block);
    }

    // Loads and inits; the start hook runs inside Init.
    void Start(std::function<bool(TestPlugin&)> onStart = {}) {
        Load();
        ASSERT_NE(plugin, nullptr);
        plugin->onStart = std::move(onStart);
        const PluginInitBlock init = core.InitBlock();
        initResult = block.entryTable->Init(block.instance, &init);
    }

    void Destroy() {
        if (!plugin) return;
        block.entryTable->Destroy(block.instance);
        plugin = nullptr;
    }

    std::vector<std::string> CallsStartingWith(std::string_view prefix) const {
        std::vector<std::string> found;
        for (const std::string& call : core.calls)
            if (call.starts_with(prefix)) found.push_back(call);
        return found;
    }

    DevCore::TestCore core;
    PluginLoadBlock block{};
    TestPlugin* plugin = nullptr;
    uint8_t initResult = 0;
};

}  // namespace Zarvo::Client::Testing
