// serve's sockets, found among the process's file descriptors: answers go out at once on a kept-alive connection.
// POSIX only: Windows' sockets are no file descriptors to walk.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <functional>
#include <future>
#include <sstream>
#include <thread>

#include "devcore/serve.h"
#include "serve_process.h"

namespace Zarvo::DevCore::Testing {
namespace {

// Answers go out at once on a kept-alive connection: the server's sockets do not wait to gather small writes.
TEST(ServeSocketTest, AnswersOnSocketsWithoutDelayedSends) {
    std::promise<std::pair<int, std::function<void()>>> listening;
    ServeOptions options;
    std::ostringstream output;
    options.out = &output;
    options.stopOnSignals = false;
    options.listening = [&](int port, std::function<void()> stop) { listening.set_value({port, stop}); };
    std::thread server([&] { Serve(options); });
    const auto [port, stop] = listening.get_future().get();
    {
        TestConnection connection(port);
        EXPECT_EQ(connection.Ask("GET", "/kiv-store/v1/none").status, 404u);
        int checked = 0;
        for (int fd = 0; fd < 4096; ++fd) {
            sockaddr_in local{}, peer{};
            socklen_t length = sizeof local;
            if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0 || local.sin_family != AF_INET)
                continue;
            length = sizeof peer;
            if (ntohs(local.sin_port) != port || getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0 ||
                ntohs(peer.sin_port) != connection.LocalPort())
                continue;
            int noDelay = 0;
            length = sizeof noDelay;
            ASSERT_EQ(getsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, &length), 0);
            EXPECT_EQ(noDelay, 1);
            ++checked;
        }
        EXPECT_EQ(checked, 1);
    }
    stop();
    server.join();
}

}  // namespace
}  // namespace Zarvo::DevCore::Testing
