#include "core/settings/app_settings.h"
#include "core/base/ini_file.h"
#include "support/files.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace rv {
namespace {

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

    // Outer spaces survive a round trip; a line break cannot split the entry: such a value is refused,
    // since it could not read back as it was.
    EXPECT_FALSE(ini.setValue("Config", "B", "one\ntwo"));
    const IniFile again = IniFile::parse(ini.toBytes());
    EXPECT_EQ(again.value("Config", "File conf"), QStringLiteral("  /home/user/Ёлка.fcg "));
    EXPECT_FALSE(again.contains("Config", "B"));
    EXPECT_EQ(again.keys("Config").size(), 2);
}

TEST(IniFile, Write_WhatReadsBackTheSame_QuotesOrRefusesTheRest)
{
    IniFile ini = IniFile::parse("[Config]\nCom port=COM4\n");
    // A key beginning with '[' and a value ending in ']' once came back as the header "[k=]", and every
    // key after it landed in that bogus section.
    ASSERT_TRUE(ini.setValue("Config", "[k", "]"));
    ASSERT_TRUE(ini.setValue("Config", "[x", "a]"));
    ASSERT_TRUE(ini.setValue("Config", "File conf", "/data/[bus].fcg"));
    ASSERT_TRUE(ini.setValue("Config", "q", "\"quoted\""));
    ASSERT_TRUE(ini.setValue("Config", "sp", " \t padded\t "));
    ASSERT_TRUE(ini.setValue("[Odd] name", "k", "v"));
    const QByteArray bytes = ini.toBytes();
    EXPECT_TRUE(bytes.contains("\n[k=\"]\"\n")) << bytes.constData();
    const IniFile back = IniFile::parse(bytes);
    EXPECT_EQ(back.sections(), (QStringList{"Config", "[Odd] name"}));
    EXPECT_EQ(back.keys("Config"), (QStringList{"Com port", "[k", "[x", "File conf", "q", "sp"}));
    EXPECT_EQ(back.value("Config", "[k"), "]");
    EXPECT_EQ(back.value("Config", "[x"), "a]");
    EXPECT_EQ(back.value("Config", "File conf"), "/data/[bus].fcg");
    EXPECT_EQ(back.value("Config", "q"), "\"quoted\"");
    EXPECT_EQ(back.value("Config", "sp"), " \t padded\t ");
    EXPECT_EQ(back.value("[Odd] name", "k"), "v");
    EXPECT_EQ(back.toBytes(), bytes);

    // What no writing could bring back is refused and changes nothing.
    for (const QString& key : {QString(), QStringLiteral(" k"), QStringLiteral("a=b"), QStringLiteral(";c"),
                               QStringLiteral("#c"), QStringLiteral("k\r"), QString(QChar(0xFEFF)) + u'k',
                               QString(QChar(0xD800))})
        EXPECT_FALSE(ini.setValue("Config", key, "v")) << qPrintable(key);
    EXPECT_FALSE(ini.setValue("Config", "k", "a\rb"));
    EXPECT_FALSE(ini.setValue("Config", "k", QString(QChar(0xDC00))));
    EXPECT_FALSE(ini.setValue(" Config", "k", "v"));
    EXPECT_FALSE(ini.setValue("Con\nfig", "k", "v"));
    EXPECT_EQ(ini.toBytes(), bytes);
}

TEST(IniFile, TextBeginningWithAByteOrderMarkCharacterKeepsIt)
{
    // Two marks: the reader skips the first; the second is text of the first line and must survive.
    const IniFile ini = IniFile::parse("\xEF\xBB\xBF\xEF\xBB\xBF; note\n[Config]\nk=v\n");
    const IniFile back = IniFile::parse(ini.toBytes());
    EXPECT_EQ(back.toBytes(), ini.toBytes());
    EXPECT_EQ(back.value("Config", "k"), "v");
    EXPECT_TRUE(back.toBytes().startsWith("\xEF\xBB\xBF\xEF\xBB\xBF; note\n"));
}

TEST(IniFile, Load_MissingOrOversizedFileIsUnreadable)
{
    QTemporaryDir dir;
    EXPECT_FALSE(IniFile::load(dir.filePath("none.ini")));
    rvtest::putFile(dir.filePath("big.ini"), QByteArray(IniFile::kMaxFileSize + 1, 'a'));
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

    rvtest::putFile(path, "[Config]\r\nCom port=\r\nFile conf=\r\n");
    s = readAppSettings(path, port);
    EXPECT_EQ(s.comPort, "/dev/ttyUSB0");
    EXPECT_EQ(s.fileConf, "default.fcg");
}

// A Config.ini in Windows-1251 with CRLF line ends and a Cyrillic file name, as Windows editors leave it:
// read right, and what is written back at close reads the same by the same rules.
TEST(AppSettings, Cp1251CrlfConfigIni_ReadsRight_AndTheSameAfterItIsWrittenBack)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Config.ini");
    rvtest::putFile(path, "[Config]\r\nCom port=COM12\r\nFile conf=D:\\\xcc\xee\xed\xf2\xe0\xe6\\\xca\xe0\xec\xc0\xc7 5490.fcg\r\n");
    const auto port = [] { return QStringLiteral("COM1"); };
    const AppSettings read = readAppSettings(path, port);
    EXPECT_EQ(read.comPort, "COM12");
    EXPECT_EQ(read.fileConf, QStringLiteral("D:\\Монтаж\\КамАЗ 5490.fcg"));

    ASSERT_TRUE(writeAppSettings(path, read, port));
    const AppSettings again = readAppSettings(path, port);
    EXPECT_EQ(again.comPort, read.comPort);
    EXPECT_EQ(again.fileConf, read.fileConf);
}

TEST(AppSettings, Write_KeepsKeyNamesAndOtherContent_StoresTcpAsDefaultPort)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Config.ini");
    rvtest::putFile(path, "[Config]\r\nCom port=COM2\r\nExtra=keep\r\n[Window]\r\nLeft=10\r\n");
    ASSERT_TRUE(writeAppSettings(path, {"TCP/IP", "/data/bus.fcg"}, [] { return QStringLiteral("COM1"); }));
    EXPECT_EQ(rvtest::fileBytes(path), "[Config]\nCom port=COM1\nExtra=keep\nFile conf=/data/bus.fcg\n[Window]\nLeft=10\n");

    ASSERT_TRUE(writeAppSettings(path, {"/dev/ttyACM0", "default.fcg"}, [] { return QStringLiteral("COM1"); }));
    const AppSettings s = readAppSettings(path, [] { return QStringLiteral("unused"); });
    EXPECT_EQ(s.comPort, "/dev/ttyACM0");
    EXPECT_EQ(s.fileConf, "default.fcg");
}

TEST(AppSettings, Write_AFileNameWithALineBreakIsNotStored_TheRestIs)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Config.ini");
    rvtest::putFile(path, "[Config]\nCom port=COM2\nFile conf=/data/old.fcg\nNext=1\n");
    QString error;
    EXPECT_FALSE(writeAppSettings(path, {"/dev/ttyUSB1", "/data/a\nb.fcg"}, [] { return QStringLiteral("COM1"); },
                                  &error));
    EXPECT_TRUE(error.contains(QStringLiteral("File conf"))) << qPrintable(error);
    EXPECT_EQ(rvtest::fileBytes(path), "[Config]\nCom port=/dev/ttyUSB1\nFile conf=/data/old.fcg\nNext=1\n");
}

TEST(AppSettings, Write_ReportsAFolderThatCannotBeWritten)
{
    QTemporaryDir dir;
    QString error;
    EXPECT_FALSE(writeAppSettings(dir.filePath("absent/Config.ini"), {"COM5", "a.fcg"},
                                  [] { return QStringLiteral("COM1"); }, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(AppSettings, ConfirmWrite_OnUntilTurnedOff_KeepsTheOtherKeys_SurvivesTheExitWrite)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Config.ini");
    EXPECT_TRUE(readConfirmWrite(path)); // no file
    rvtest::putFile(path, "[Config]\r\nCom port=COM4\r\nFile conf=a.fcg\r\n");
    EXPECT_TRUE(readConfirmWrite(path));
    ASSERT_TRUE(writeConfirmWrite(path, false));
    EXPECT_FALSE(readConfirmWrite(path));
    // The exit writes its two keys over the same file: the choice stays.
    ASSERT_TRUE(writeAppSettings(path, {"COM5", "b.fcg"}, [] { return QStringLiteral("COM1"); }));
    EXPECT_FALSE(readConfirmWrite(path));
    EXPECT_EQ(readAppSettings(path).fileConf, "b.fcg");
    ASSERT_TRUE(writeConfirmWrite(path, true));
    EXPECT_TRUE(readConfirmWrite(path));
}

} // namespace
} // namespace rv
