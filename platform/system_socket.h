// The portable face of what sockets need beyond Asio's portable options. Only the platform/system_socket_* files
// know the platform.
#pragma once

#include <cstdint>

namespace Zarvo::Platform {

// Sets a listening socket, before it binds its address, so that a port whose last connections are still closing
// may be bound again and a port that another socket listens on may not; the system's error number when it cannot.
int PrepareListeningSocket(intptr_t socket);
// Keeps the socket from the child processes started later: a connection the server closes must not live on in one.
void KeepFromChildProcesses(intptr_t socket);

}  // namespace Zarvo::Platform
