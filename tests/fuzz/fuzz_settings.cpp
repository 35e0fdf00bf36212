// The values the program takes from a Config.ini of any bytes (port, configuration file, tariff server), and
// the file written back at exit with a new port and file name. What is read is trimmed and never empty; the
// tariff server's address reads back as the same server; writing the two keys changes nothing else in the
// file, and what was written reads back as written or was refused and left as it was.
// Input: the file's bytes, then after NUL bytes the port and the file name to write (UTF-8).

#include "core/satellite/tariff_exchange.h"
#include "core/settings/app_settings.h"
#include "core/base/ini_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace rv;

namespace {

void requireAt(bool holds, int line)
{
    if (!holds) {
        std::fprintf(stderr, "fuzz_settings: check at line %d failed\n", line);
        std::abort();
    }
}
#define require(holds) requireAt((holds), __LINE__)

const QString kPortUsual = QStringLiteral("/dev/ttyUSB7");
QString usualPort() { return kPortUsual; }

bool isOurs(const QString& section, const QString& key)
{
    if (section.compare(QString::fromUtf16(kRecentSection), Qt::CaseInsensitive) == 0)
        return key.size() == 5 && key.startsWith(QStringLiteral("File"), Qt::CaseInsensitive)
               && key[4] >= u'1' && key[4] <= QChar(u'0' + kRecentFiles);
    return section.compare(QString::fromUtf16(kSettingsSection), Qt::CaseInsensitive) == 0
           && (key.compare(QString::fromUtf16(kComPortKey), Qt::CaseInsensitive) == 0
               || key.compare(QString::fromUtf16(kFileConfKey), Qt::CaseInsensitive) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<QByteArray> parts = QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)).split('\0');
    const IniFile ini = IniFile::parse(parts[0]);

    const AppSettings read = appSettingsFrom(ini, usualPort);
    for (const QString& v : {read.comPort, read.fileConf})
        require(!v.isEmpty() && v == v.trimmed());

    const sat::TariffServer server = sat::tariffServerFrom(ini);
    require(server.service == server.service.trimmed());
    if (server.isSet()) {
        const auto again = sat::parseTariffServer(server.address());
        require(again && again->host == server.host && again->port == server.port);
    }

    if (parts.size() < 3)
        return 0;
    const AppSettings wanted{QString::fromUtf8(parts[1]), QString::fromUtf8(parts[2]), read.recentFiles};
    IniFile written = ini;
    const QStringList refused = storeAppSettings(written, wanted, usualPort);
    const IniFile back = IniFile::parse(written.toBytes());
    const AppSettings now = appSettingsFrom(back, usualPort);
    const QString port = wanted.comPort == QString::fromUtf16(kTcpPortName) ? kPortUsual : wanted.comPort;
    const bool portRefused = refused.contains(QString::fromUtf16(kComPortKey));
    const bool confRefused = refused.contains(QString::fromUtf16(kFileConfKey));
    require(now.comPort == (portRefused ? read.comPort : port.trimmed().isEmpty() ? kPortUsual : port.trimmed()));
    require(now.fileConf
            == (confRefused                     ? read.fileConf
                : wanted.fileConf.trimmed().isEmpty() ? QString::fromUtf16(kDefaultConfName)
                                                      : wanted.fileConf.trimmed()));
    // Every other entry stays as it was: other sections, other keys, the tariff server.
    for (const QString& section : ini.sections())
        for (const QString& key : ini.keys(section))
            if (!isOurs(section, key))
                require(back.contains(section, key) && back.value(section, key) == ini.value(section, key));
    const sat::TariffServer serverAfter = sat::tariffServerFrom(back);
    require(serverAfter.host == server.host && serverAfter.port == server.port && serverAfter.service == server.service);
    return 0;
}
