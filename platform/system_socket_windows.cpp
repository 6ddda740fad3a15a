// Sockets on Windows (Winsock).
#include <winsock2.h>

#include "platform/system_socket.h"

namespace Zarvo::Platform {

// Windows lets a port in TIME_WAIT be bound again by default, and SO_REUSEADDR would let a second socket share a
// port that another listens on: SO_EXCLUSIVEADDRUSE keeps the port to this socket alone.
int PrepareListeningSocket(intptr_t socket) {
    const BOOL on = TRUE;
    return setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on),
                      sizeof on) == 0
               ? 0
               : WSAGetLastError();
}

// Winsock makes its sockets inheritable, and a child started with inheritance would take each one along.
void KeepFromChildProcesses(intptr_t socket) {
    SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
}

}  // namespace Zarvo::Platform
