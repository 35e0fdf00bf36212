#include "core/link/serial_link.h"

#include "core/link/port_name.h"

namespace rv {

SerialLink::SerialLink(QObject* parent) : Link(parent)
{
    m_comm.SetDeviceName(QStringLiteral("COM1"));
    m_comm.setReadBufSize(1024);
    m_comm.setWriteBufSize(1024);
    m_comm.setBaudRate(br115200);
    m_comm.OnRxChar = [this](TThreadComm*, uint32_t count) { emit bytesArrived(count); };
    // The component raises its error event only when the line hangs up (the adapter is gone).
    m_comm.OnError = [this](TThreadComm*, uint32_t) { emit hungUp(); };
    connect(&m_comm, &TThreadComm::errorRaised, this, &SerialLink::commError);
}

SerialLink::~SerialLink()
{
    m_comm.Close();
}

bool SerialLink::open(const QString& name)
{
    m_comm.Close();
    const QString device = deviceNameForPort(name);
    m_comm.SetDeviceName(device);
    m_comm.Open();
    m_lastOpenError = m_comm.Enabled() ? QString() : portOpenFailureText(device, m_comm.lastOpenErrno());
    return m_comm.Enabled();
}

OpenFailure SerialLink::lastOpenFailure() const
{
    if (m_comm.Enabled())
        return OpenFailure::None;
    return openFailureOf(m_comm.lastOpenErrno());
}

int SerialLink::write(QByteArrayView data)
{
    return m_comm.Write(data.data(), static_cast<int>(data.size()));
}

QByteArray SerialLink::read(int maxCount)
{
    if (!m_comm.Enabled() || maxCount <= 0)
        return {};
    QByteArray buf(maxCount, '\0');
    const int n = m_comm.Read(buf.data(), maxCount);
    buf.resize(std::max(n, 0));
    return buf;
}

} // namespace rv
