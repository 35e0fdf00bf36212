#include "core/link/tcp_accept.h"

#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace rv {

AcceptedSocket acceptWithPeer(qintptr listening)
{
    for (;;) {
        sockaddr_storage from{};
        socklen_t length = sizeof from;
        const int fd = ::accept4(static_cast<int>(listening), reinterpret_cast<sockaddr*>(&from), &length,
                                 SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue; // a caller that left before it could be taken: the next one
            return {};
        }
        AcceptedSocket a;
        a.descriptor = fd;
        a.address = QHostAddress(reinterpret_cast<const sockaddr*>(&from));
        if (from.ss_family == AF_INET)
            a.port = ntohs(reinterpret_cast<const sockaddr_in*>(&from)->sin_port);
        else if (from.ss_family == AF_INET6)
            a.port = ntohs(reinterpret_cast<const sockaddr_in6*>(&from)->sin6_port);
        return a;
    }
}

void closeAccepted(qintptr descriptor)
{
    if (descriptor >= 0)
        ::close(static_cast<int>(descriptor));
}

} // namespace rv
