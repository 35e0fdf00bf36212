#include "core/link/port_list.h"

#include <QFileInfo>

#include <algorithm>
#include <tuple>

namespace rv {

namespace {

// "/dev/ttyUSB10" → ("ttyUSB", 10); a name without a number sorts after those with one.
std::pair<QString, qulonglong> splitNumber(const QString& name)
{
    const QString base = QFileInfo(name).fileName();
    qsizetype digits = base.size();
    while (digits > 0 && base.at(digits - 1).isDigit())
        --digits;
    bool ok = false;
    const qulonglong n = base.mid(digits).toULongLong(&ok);
    return {base.left(digits), ok ? n : ~0ULL};
}

// Adapters first: the kinds a cable shows up as, then the rest by name.
int kindRank(const QString& prefix)
{
    static const QStringList kinds = {QStringLiteral("ttyUSB"), QStringLiteral("ttyACM"), QStringLiteral("COM")};
    const qsizetype i = kinds.indexOf(prefix);
    return i < 0 ? int(kinds.size()) : int(i);
}

} // namespace

QString adapterDescription(const QString& maker, const QString& product, const QString& serial)
{
    const QString m = maker.simplified();
    const QString p = product.simplified();
    const QString s = serial.simplified();
    QString out;
    if (!m.isEmpty() && !p.startsWith(m, Qt::CaseInsensitive))
        out = m;
    if (!p.isEmpty())
        out += (out.isEmpty() ? QString() : QStringLiteral(" ")) + p;
    if (!s.isEmpty())
        out += (out.isEmpty() ? QString() : QStringLiteral(" ")) + u'(' + s + u')';
    return out;
}

QString byIdDescription(const QString& linkName)
{
    QString n = linkName;
    for (const QString& bus : {QStringLiteral("usb-"), QStringLiteral("pci-"), QStringLiteral("platform-")})
        if (n.startsWith(bus)) {
            n = n.mid(bus.size());
            break;
        }
    // The interface and port the system appends: "-if00", "-if00-port0", "-port0".
    static const QStringList tails = {QStringLiteral("-port"), QStringLiteral("-if")};
    for (const QString& tail : tails) {
        const qsizetype at = n.lastIndexOf(tail);
        if (at > 0) {
            bool number = false;
            n.mid(at + tail.size()).toInt(&number);
            if (number)
                n.truncate(at);
        }
    }
    return n.replace(u'_', u' ').simplified();
}

void sortPorts(QList<PortInfo>& ports)
{
    const auto key = [](const PortInfo& p) {
        const auto [prefix, number] = splitNumber(p.name);
        return std::make_tuple(!p.hardware, !p.usb, kindRank(prefix), prefix, number, p.name);
    };
    std::stable_sort(ports.begin(), ports.end(), [&](const PortInfo& a, const PortInfo& b) { return key(a) < key(b); });
}

QStringList listSerialPorts()
{
    QStringList out;
    for (const PortInfo& p : listPorts())
        if (p.state == PortInfo::State::Free)
            out << p.name;
    return out;
}

} // namespace rv
