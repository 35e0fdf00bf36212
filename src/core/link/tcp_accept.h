#pragma once

// Taking connections off a listening socket with the caller's address. The address comes with the accept
// itself, so a caller that has already reset its connection is still named (asked afterwards, the
// system no longer knows it). One implementation per platform: tcp_accept_posix.cpp, ...

#include <QHostAddress>
#include <QtGlobal>

namespace rv {

struct AcceptedSocket {
    qintptr descriptor = -1; // -1: nobody is waiting
    QHostAddress address;
    quint16 port = 0;
};

// The next waiting connection of the listening socket `listening`, non-blocking; descriptor -1 when none waits.
AcceptedSocket acceptWithPeer(qintptr listening);
// Closes a descriptor acceptWithPeer gave that no socket object took over.
void closeAccepted(qintptr descriptor);

} // namespace rv
