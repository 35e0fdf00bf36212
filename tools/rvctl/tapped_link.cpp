#include "tapped_link.h"

#include <QTimer>

namespace rvctl {

TappedLink::TappedLink(rv::Link& inner, QObject* parent) : rv::Link(parent), m_inner(inner)
{
    // The serial component hands its notifications to this thread and waits for them: pass each on at once.
    connect(&m_inner, &rv::Link::bytesArrived, this, &rv::Link::bytesArrived, Qt::DirectConnection);
    connect(&m_inner, &rv::Link::hungUp, this, &rv::Link::hungUp, Qt::DirectConnection);
}

QByteArray TappedLink::read(int maxCount)
{
    QByteArray bytes = m_inner.read(maxCount);
    if (!m_clearPosted) {
        m_clearPosted = true;
        QTimer::singleShot(0, this, [this] {
            m_burst.clear();
            m_clearPosted = false;
        });
    }
    m_burst += bytes;
    return bytes;
}

} // namespace rvctl
