// Threads for the hostile-core tests: small stacks and deadlines.
#include "hostile_fixture.h"

#include <pthread.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>

namespace Hostile {
namespace {

void* RunBody(void* body) {
    (*static_cast<const std::function<void()>*>(body))();
    return nullptr;
}

}  // namespace

void RunOnThreadWithStack(size_t stackBytes, const std::function<void()>& body) {
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, stackBytes), 0);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attributes, &RunBody, const_cast<std::function<void()>*>(&body)), 0);
    pthread_attr_destroy(&attributes);
    ASSERT_EQ(pthread_join(thread, nullptr), 0);
}

void FinishesWithin(int seconds, const std::function<void()>& body) {
    std::packaged_task<void()> task(body);
    std::future<void> done = task.get_future();
    std::thread worker(std::move(task));
    if (done.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready) {
        ADD_FAILURE() << "the call did not return within " << seconds << " s: a deadlock";
        std::fprintf(stderr, "hostile core: deadlock, ending the process\n");
        std::fflush(nullptr);
        std::_Exit(1);
    }
    worker.join();
    done.get();
}

}  // namespace Hostile
