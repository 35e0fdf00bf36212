#include "core/link/allowed_nets.h"

#include <QRegularExpression>
#include <QStringList>

namespace rv {

std::optional<AllowedNets> AllowedNets::parse(QStringView text, QString* error)
{
    AllowedNets nets;
    static const QRegularExpression separators(QStringLiteral("[,;\\s]+"));
    for (const QString& entry : text.toString().split(separators, Qt::SkipEmptyParts)) {
        QPair<QHostAddress, int> net = QHostAddress::parseSubnet(entry);
        if (net.first.isNull() || net.second < 0) {
            if (error)
                *error = QStringLiteral("«%1» не адрес и не сеть (нужно, например, 10.64.0.0/10)").arg(entry.left(60));
            return std::nullopt;
        }
        nets.m_nets.append(net);
    }
    return nets;
}

bool AllowedNets::allows(const QHostAddress& address) const
{
    if (m_nets.isEmpty())
        return true;
    QHostAddress a = address;
    bool mapped = false;
    if (const quint32 v4 = a.toIPv4Address(&mapped); mapped)
        a = QHostAddress(v4);
    for (const auto& net : m_nets) {
        if (a.isInSubnet(net))
            return true;
    }
    return false;
}

QString AllowedNets::text() const
{
    QStringList parts;
    for (const auto& [address, length] : m_nets)
        parts << QStringLiteral("%1/%2").arg(address.toString()).arg(length);
    return parts.join(QStringLiteral(", "));
}

} // namespace rv
