#include "core/link/memory_link.h"

namespace rv {

bool MemoryLink::open(const QString& name)
{
    close();
    m_lastFailure = m_failures.value(name, OpenFailure::None);
    if (m_lastFailure != OpenFailure::None) {
        m_lastError = m_lastFailure == OpenFailure::Missing ? QStringLiteral("Порт %1 не найден").arg(name)
                                                            : QStringLiteral("Нет доступа к порту %1").arg(name);
        return false;
    }
    m_open = true;
    m_name = name;
    ++m_openCount;
    m_lastError.clear();
    return true;
}

void MemoryLink::close()
{
    m_open = false;
    m_input.clear();
}

int MemoryLink::write(QByteArrayView data)
{
    if (!m_open)
        return -1;
    if (m_unplugged)
        return 0;
    m_written.append(data.toByteArray());
    return static_cast<int>(data.size());
}

QByteArray MemoryLink::read(int maxCount)
{
    if (!m_open || maxCount <= 0)
        return {};
    QByteArray out = m_input.left(maxCount);
    m_input.remove(0, out.size());
    return out;
}

void MemoryLink::feed(QByteArrayView bytes)
{
    if (!m_open || bytes.isEmpty())
        return;
    m_input.append(bytes);
    emit bytesArrived(static_cast<quint32>(m_input.size()));
}

QByteArray MemoryLink::takeWritten()
{
    QByteArray all = m_written.join();
    m_written.clear();
    return all;
}

} // namespace rv
