#include "support/pty_pair.h"

#include <QDeadlineTimer>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace rvtest {

PtyPair::PtyPair()
{
    int master = -1, slave = -1;
    char name[256] = {};
    termios tio {};
    ::cfmakeraw(&tio);
    if (::openpty(&master, &slave, name, &tio, nullptr) != 0)
        return;
    ::close(slave);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    m_master = master;
    m_slavePath = QString::fromLocal8Bit(name);
}

PtyPair::~PtyPair()
{
    closeMaster();
}

void PtyPair::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

void PtyPair::unitWrite(QByteArrayView bytes)
{
    qsizetype done = 0;
    while (m_master >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.data() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0)
            done += n;
        else {
            pollfd p{m_master, POLLOUT, 0};
            if (::poll(&p, 1, 1000) <= 0)
                return;
        }
    }
}

QByteArray PtyPair::unitRead(int ms, qsizetype expected)
{
    QByteArray out;
    QDeadlineTimer deadline(ms);
    while (m_master >= 0 && !deadline.hasExpired() && (expected < 0 || out.size() < expected)) {
        pollfd p{m_master, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(std::max<qint64>(1, deadline.remainingTime()))) <= 0)
            continue;
        char buf[4096];
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0)
            out.append(buf, n);
        else if (n <= 0 && (p.revents & POLLHUP))
            ::usleep(1000); // the slave is not open yet
    }
    return out;
}

} // namespace rvtest
