// Config.ini of arbitrary bytes: whatever the reader makes of it is written back so that it reads the
// same. After a NUL byte, section, key and value (NUL-separated, UTF-8) are set into the file read from
// the bytes before it: the entry then reads back exactly, or it is refused and nothing changes.

#include "core/base/ini_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace rv;

namespace {

void require(bool holds)
{
    if (!holds)
        std::abort();
}

void requireSameContent(const IniFile& a, const IniFile& b)
{
    require(a.sections() == b.sections());
    for (const QString& s : a.sections()) {
        require(a.keys(s) == b.keys(s));
        for (const QString& k : a.keys(s))
            require(a.value(s, k) == b.value(s, k));
    }
}

void requireRoundTrip(const IniFile& ini)
{
    const QByteArray once = ini.toBytes();
    const IniFile again = IniFile::parse(once);
    require(again.toBytes() == once);
    requireSameContent(ini, again);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    requireRoundTrip(IniFile::parse(bytes));

    const QList<QByteArray> parts = bytes.split('\0');
    if (parts.size() < 4)
        return 0;
    IniFile ini = IniFile::parse(parts[0]);
    const QString section = QString::fromUtf8(parts[1]);
    const QString key = QString::fromUtf8(parts[2]);
    const QString value = QString::fromUtf8(parts[3]);
    const QByteArray before = ini.toBytes();
    if (!ini.setValue(section, key, value)) {
        require(ini.toBytes() == before);
        return 0;
    }
    const IniFile back = IniFile::parse(ini.toBytes());
    require(back.contains(section, key));
    require(back.value(section, key) == value);
    requireRoundTrip(ini);
    return 0;
}
