#pragma once

// The networks callers of the program's server may come from, as CIDR blocks ("10.64.0.0/10",
// "2001:db8::/32", a single address). Empty means any address. An IMEI proves nothing, so this is the lever
// that keeps strangers off: the addresses of the operator's private APN.

#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

namespace rv {

class AllowedNets {
public:
    // The blocks in `text`, separated by commas, semicolons or white space; nullopt with `error` set for an
    // entry that is no address or block.
    static std::optional<AllowedNets> parse(QStringView text, QString* error = nullptr);

    bool isEmpty() const { return m_nets.isEmpty(); }
    int size() const { return static_cast<int>(m_nets.size()); }
    // An IPv4 address that arrives as IPv6 (::ffff:a.b.c.d) is judged as the IPv4 address it is.
    bool allows(const QHostAddress& address) const;
    void merge(const AllowedNets& other) { m_nets += other.m_nets; }
    // "10.0.0.0/8, 192.168.1.0/24", for logs.
    QString text() const;

private:
    QList<QPair<QHostAddress, int>> m_nets;
};

} // namespace rv
