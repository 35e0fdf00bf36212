#include "core/link/allow_list.h"

#include "core/settings/ini_file.h"

#include <QFile>
#include <QRegularExpression>

namespace rv {

namespace {
constexpr qint64 kMaxListFile = 4 << 20;
constexpr qint64 kMaxTimeoutSeconds = 24 * 3600;

bool isImei(QStringView s)
{
    if (s.size() != 15)
        return false;
    for (QChar c : s) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}
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
                    *error = QStringLiteral("«%1» не IMEI: нужно 15 цифр").arg(entry.left(40));
                return std::nullopt;
            }
            list.m_imeis.insert(entry);
        }
    }
    return list;
}

std::optional<AllowList> AllowList::fromFile(const QString& path, QString* error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxListFile) {
        if (error)
            *error = QStringLiteral("%1: не удаётся прочитать список IMEI").arg(path);
        return std::nullopt;
    }
    QString why;
    auto list = parse(QString::fromUtf8(f.readAll()), &why);
    if (!list && error)
        *error = QStringLiteral("%1: %2").arg(path, why);
    return list;
}

std::optional<ServerSettings> readServerSettings(const QString& iniPath, QString* error)
{
    ServerSettings s;
    const std::optional<IniFile> ini = IniFile::load(iniPath);
    if (!ini)
        return s;
    const QString section = QString::fromUtf16(kServerSection);
    QString why;
    const auto allow = AllowList::parse(ini->value(section, QString::fromUtf16(kAllowKey)), &why);
    if (!allow) {
        if (error)
            *error = QStringLiteral("Config.ini, [Server] Allow: %1").arg(why);
        return std::nullopt;
    }
    s.allow = *allow;
    if (const QString file = ini->value(section, QString::fromUtf16(kAllowFileKey)); !file.isEmpty()) {
        const auto fromFile = AllowList::fromFile(file, error);
        if (!fromFile)
            return std::nullopt;
        s.allow.merge(*fromFile);
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
