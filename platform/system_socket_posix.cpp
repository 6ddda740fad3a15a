// Sockets on POSIX systems.
#include <fcntl.h>
#include <sys/socket.h>

#include <cerrno>

#include "platform/system_socket.h"

namespace Zarvo::Platform {

// SO_REUSEADDR lets a port in TIME_WAIT be bound again; a listening socket still keeps its port to itself.
int PrepareListeningSocket(intptr_t socket) {
    const int on = 1;
    return setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0 ? 0 : errno;
}

void KeepFromChildProcesses(intptr_t socket) {
    const int descriptor = static_cast<int>(socket);
    fcntl(descriptor, F_SETFD, fcntl(descriptor, F_GETFD) | FD_CLOEXEC);
}

}  // namespace Zarvo::Platform
