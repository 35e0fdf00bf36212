#include "core/link/tcp_accept.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace rv {

AcceptedSocket acceptWithPeer(qintptr listening)
{
    for (;;) {
        sockaddr_storage from{};
        int length = sizeof from;
        const SOCKET s = ::accept(static_cast<SOCKET>(listening), reinterpret_cast<sockaddr*>(&from), &length);
        if (s == INVALID_SOCKET) {
            if (::WSAGetLastError() == WSAECONNRESET)
                continue; // a caller that left before it could be taken: the next one
            return {};
        }
        u_long nonBlocking = 1;
        ::ioctlsocket(s, FIONBIO, &nonBlocking);
        AcceptedSocket a;
        a.descriptor = static_cast<qintptr>(s);
        a.address = QHostAddress(reinterpret_cast<const sockaddr*>(&from));
        if (from.ss_family == AF_INET)
            a.port = ::ntohs(reinterpret_cast<const sockaddr_in*>(&from)->sin_port);
        else if (from.ss_family == AF_INET6)
            a.port = ::ntohs(reinterpret_cast<const sockaddr_in6*>(&from)->sin6_port);
        return a;
    }
}

void closeAccepted(qintptr descriptor)
{
    if (descriptor >= 0)
        ::closesocket(static_cast<SOCKET>(descriptor));
}

} // namespace rv
