#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "binding/registration.h"
#include "binding/registry.h"

namespace Zarvo {
namespace {

// One thread registers functions while others look them up and take snapshots (whose descriptors stay valid until
// they are unregistered, so only after the threads end).
TEST(RegistryThreads, LookupsAndSnapshotsWhileAnotherThreadRegisters) {
    constexpr int kFunctions = 500;
    BindingRegistry registry;
    std::atomic<bool> done{false};
    std::atomic<int> missingAfterRegistration{0};  // snapshot entries without a name
    std::thread writer([&] {
        for (int index = 0; index < kFunctions; ++index) {
            registry.Function("f" + std::to_string(index), [] { return 1; });
        }
        done = true;
    });
    std::vector<std::thread> readers;
    for (int reader = 0; reader < 3; ++reader) {
        readers.emplace_back([&] {
            while (!done) {
                for (const BindingFunctionInfo* function : registry.Functions())
                    if (function->name.empty()) ++missingAfterRegistration;
                registry.FindFunction("f1");
                registry.FindType("Int32");
            }
        });
    }
    writer.join();
    for (std::thread& reader : readers) reader.join();
    EXPECT_EQ(missingAfterRegistration.load(), 0);
    for (int index = 0; index < kFunctions; index += 5) registry.UnregisterFunction("f" + std::to_string(index));
    EXPECT_EQ(registry.FindFunction("f0"), nullptr);
    EXPECT_NE(registry.FindFunction("f1"), nullptr);
    EXPECT_EQ(registry.Functions().size(), size_t(kFunctions - kFunctions / 5));
}

}  // namespace
}  // namespace Zarvo
