#include "core/link/allow_list.h"

#include "core/base/ini_file.h"
#include "core/link/imei.h"

#include <QFile>
#include <QRegularExpression>

namespace rv {

namespace {
constexpr qint64 kMaxTimeoutSeconds = 24 * 3600;
} // namespace

std::optional<AllowList> AllowList::parse(QStringView text, QString* error)
{
    AllowList list;
    static const QRegularExpression separators(QStringLiteral("[,;\\s]+"));
    for (QStringView line : text.split(u'\n')) {
        if (const qsizetype hash = line.indexOf(u'#'); hash >= 0)
            line = line.first(hash);
        for (const QString& entry : line.toString().split(separators, Qt::SkipEmptyParts)) {
            if (!isImei(entry)) {
                if (error)
                    *error = QStringLiteral("«%1» не IMEI: нужно %2 цифр").arg(entry.left(40)).arg(kImeiDigits);
                return std::nullopt;
            }
            list.m_imeis.insert(entry);
        }
    }
    return list;
}

std::optional<AllowList> AllowList::fromFile(const QString& path, QString* error)
{
    // A FIFO would hang the start before the server listens, and a device like /dev/zero never ends.
    const InputFileBytes in = readInputFile(path, kMaxFileSize);
    if (!in.ok()) {
        if (error)
            *error = QStringLiteral("список IMEI: ") + inputFileMessage(path, in.error, kMaxFileSize);
        return std::nullopt;
    }
    QString why;
    auto list = parse(QString::fromUtf8(in.bytes), &why);
    if (!list && error)
        *error = QStringLiteral("%1: %2").arg(path, why);
    return list;
}

QString emptyAllowListText(const QString& what)
{
    return QStringLiteral("%1: в списке разрешённых нет ни одного IMEI. Пустой список не открывает сервер для всех; "
                          "чтобы пустить любое устройство, не задавайте список вовсе").arg(what);
}

std::optional<ServerSettings> readServerSettings(const QString& iniPath, QString* error)
{
    ServerSettings s;
    const IniFile::Read read = IniFile::read(iniPath);
    if (read.error == InputFileError::Missing)
        return s;
    if (!read.ok()) {
        // Who may connect is not known: the server stays stopped rather than open.
        if (error)
            *error = inputFileMessage(iniPath, read.error, IniFile::kMaxFileSize);
        return std::nullopt;
    }
    const IniFile* ini = &read.ini;
    const QString section = QString::fromUtf16(kServerSection);
    QString why;
    const QString allowKey = QString::fromUtf16(kAllowKey);
    const auto allow = AllowList::parse(ini->value(section, allowKey), &why);
    if (!allow) {
        if (error)
            *error = QStringLiteral("Config.ini, [Server] Allow: %1").arg(why);
        return std::nullopt;
    }
    s.allow = *allow;
    const QString file = ini->value(section, QString::fromUtf16(kAllowFileKey)).trimmed();
    if (!file.isEmpty()) {
        const auto fromFile = AllowList::fromFile(file, error);
        if (!fromFile)
            return std::nullopt;
        s.allow.merge(*fromFile);
    }
    if ((ini->contains(section, allowKey) || ini->contains(section, QString::fromUtf16(kAllowFileKey)))
        && s.allow.isEmpty()) {
        if (error)
            *error = emptyAllowListText(QStringLiteral("Config.ini, [Server] Allow"));
        return std::nullopt;
    }
    const QString netKey = QString::fromUtf16(kAllowNetKey);
    const auto nets = AllowedNets::parse(ini->value(section, netKey), &why);
    if (!nets || (ini->contains(section, netKey) && nets->isEmpty())) {
        if (error)
            *error = QStringLiteral("Config.ini, [Server] Allow net: %1")
                         .arg(nets ? QStringLiteral("не задано ни одной сети") : why);
        return std::nullopt;
    }
    s.nets = *nets;
    if (const QString text = ini->value(section, QString::fromUtf16(kMaxPerAddressKey)).trimmed(); !text.isEmpty()) {
        bool ok = false;
        const int n = text.toInt(&ok);
        if (!ok || n < 1 || n > TcpServer::kDefaultMaxConnections) {
            if (error)
                *error = QStringLiteral("Config.ini, [Server] Max per address: нужно число от 1 до %1")
                             .arg(TcpServer::kDefaultMaxConnections);
            return std::nullopt;
        }
        s.maxPerAddress = n;
    }
    const auto seconds = [&](const char16_t* key, qint64& ms) {
        const QString text = ini->value(section, QString::fromUtf16(key)).trimmed();
        if (text.isEmpty())
            return true;
        bool ok = false;
        const qint64 v = text.toLongLong(&ok);
        if (!ok || v < 1 || v > kMaxTimeoutSeconds) {
            if (error)
                *error = QStringLiteral("Config.ini, [Server] %1: нужно число секунд от 1 до %2")
                             .arg(QString::fromUtf16(key)).arg(kMaxTimeoutSeconds);
            return false;
        }
        ms = v * 1000;
        return true;
    };
    if (!seconds(kGreetTimeoutKey, s.timeouts.greetMs) || !seconds(kSilenceTimeoutKey, s.timeouts.silenceMs))
        return std::nullopt;
    return s;
}

} // namespace rv
