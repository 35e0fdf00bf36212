#include "core/link/port_channel.h"

#include <cstring>

namespace rv {

PortChannel::PortChannel(Link& link, QObject* parent) : QObject(parent), m_link(link)
{
    connect(&m_link, &Link::bytesArrived, this, &PortChannel::Comm_portRxChar);
}

bool PortChannel::Open_port(const QString& name)
{
    if (m_link.isOpen()) {
        m_link.write("CONFIGC");
        m_link.close();
    }
    m_bytesWaiting = 0;
    return m_link.open(name);
}

int PortChannel::Send(QByteArrayView data)
{
    if (data.isEmpty())
        return 0;
    return m_link.write(data);
}

int PortChannel::SendStr(const char* text)
{
    return text ? Send(QByteArrayView(text, static_cast<qsizetype>(std::strlen(text)))) : 0;
}

void PortChannel::Comm_portRxChar(quint32 count)
{
    m_bytesWaiting = count;
    emit rxChar(count);
}

} // namespace rv
