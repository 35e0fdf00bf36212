#include "core/settings/app_settings.h"
#include "core/settings/ini_file.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace rv {
namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

TEST(IniFile, RoundTrip_KeepsOrderCommentsAndKeysWithSpaces)
{
    const QByteArray text = "; settings\n"
                            "[Config]\n"
                            "Com port=COM4\n"
                            "File conf=D:\\cars\\truck.fcg\n"
                            "\n"
                            "[Other]\n"
                            "x = 1\n";
    IniFile ini = IniFile::parse(text);
    EXPECT_EQ(ini.value("Config", "Com port"), "COM4");
    EXPECT_EQ(ini.value("other", "X"), "1");  // names match without regard to case
    EXPECT_EQ(ini.toBytes(), "; settings\n[Config]\nCom port=COM4\nFile conf=D:\\cars\\truck.fcg\n\n[Other]\nx=1\n");

    ini.setValue("config", "com port", "/dev/ttyUSB3");
    ini.setValue("Config", "New key", "v");
    ini.setValue("Fresh", "Key one", "two words");
    EXPECT_EQ(ini.toBytes(), "; settings\n[Config]\nCom port=/dev/ttyUSB3\nFile conf=D:\\cars\\truck.fcg\nNew key=v\n\n"
                             "[Other]\nx=1\n[Fresh]\nKey one=two words\n");
    EXPECT_EQ(IniFile::parse(ini.toBytes()).value("Fresh", "Key one"), "two words");
}

TEST(IniFile, Cp1251WithCrlf_ReadsComPortAndCyrillicPath)
{
    const QByteArray bytes = "[Config]\r\nCom port=COM3\r\nFile conf=C:\\\xca\xee\xed\xf4\xe8\xe3\xe8\\\xa8\xeb\xea\xe0 \xb9"
                             "1.fcg\r\n";
    const IniFile ini = IniFile::parse(bytes);
    EXPECT_EQ(ini.value("Config", "Com port"), "COM3");
    EXPECT_EQ(ini.value("Config", "File conf"), QStringLiteral("C:\\Конфиги\\Ёлка №1.fcg"));
    EXPECT_EQ(ini.keys("Config"), (QStringList{"Com port", "File conf"}));
}

TEST(IniFile, Utf8WithBom_QuotedValues_AndLineBreaksInValues)
{
    IniFile ini = IniFile::parse("\xEF\xBB\xBF[Config]\nFile conf=\"  /home/user/Ёлка.fcg \"\nA='x'\n");
    EXPECT_EQ(ini.sections(), QStringList{"Config"});
    EXPECT_EQ(ini.value("Config", "File conf"), QStringLiteral("  /home/user/Ёлка.fcg "));
    EXPECT_EQ(ini.value("Config", "A"), "x");

    // Outer spaces survive a round trip; a line break cannot split the entry.
    ini.setValue("Config", "B", "one\ntwo");
    const IniFile again = IniFile::parse(ini.toBytes());
    EXPECT_EQ(again.value("Config", "File conf"), QStringLiteral("  /home/user/Ёлка.fcg "));
    EXPECT_EQ(again.value("Config", "B"), "one two");
    EXPECT_EQ(again.keys("Config").size(), 3);
}

TEST(IniFile, Load_MissingOrOversizedFileIsUnreadable)
{
    QTemporaryDir dir;
    EXPECT_FALSE(IniFile::load(dir.filePath("none.ini")));
    writeAll(dir.filePath("big.ini"), QByteArray(IniFile::kMaxFileSize + 1, 'a'));
    EXPECT_FALSE(IniFile::load(dir.filePath("big.ini")));
}

TEST(AppSettings, MissingFileOrEmptyValues_GiveDefaults)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Config.ini");
    const auto port = [] { return QStringLiteral("/dev/ttyUSB0"); };
    AppSettings s = readAppSettings(path, port);
    EXPECT_EQ(s.comPort, "/dev/ttyUSB0");
    EXPECT_EQ(s.fileConf, "default.fcg");

    writeAll(path, "[Config]\r\nCom port=\r\nFile conf=\r\n");
    s = readAppSettings(path, port);
    EXPECT_EQ(s.comPort, "/dev/ttyUSB0");
    EXPECT_EQ(s.fileConf, "default.fcg");
}

TEST(AppSettings, Write_KeepsKeyNamesAndOtherContent_StoresTcpAsDefaultPort)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Config.ini");
    writeAll(path, "[Config]\r\nCom port=COM2\r\nExtra=keep\r\n[Window]\r\nLeft=10\r\n");
    ASSERT_TRUE(writeAppSettings(path, {"TCP/IP", "/data/bus.fcg"}, [] { return QStringLiteral("COM1"); }));
    EXPECT_EQ(readAll(path), "[Config]\nCom port=COM1\nExtra=keep\nFile conf=/data/bus.fcg\n[Window]\nLeft=10\n");

    ASSERT_TRUE(writeAppSettings(path, {"/dev/ttyACM0", "default.fcg"}, [] { return QStringLiteral("COM1"); }));
    const AppSettings s = readAppSettings(path, [] { return QStringLiteral("unused"); });
    EXPECT_EQ(s.comPort, "/dev/ttyACM0");
    EXPECT_EQ(s.fileConf, "default.fcg");
}

TEST(AppSettings, Write_ReportsAFolderThatCannotBeWritten)
{
    QTemporaryDir dir;
    QString error;
    EXPECT_FALSE(writeAppSettings(dir.filePath("absent/Config.ini"), {"COM5", "a.fcg"},
                                  [] { return QStringLiteral("COM1"); }, &error));
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
} // namespace rv
