// Who may use the server: the IMEI list as typed on a command line, in a file, or in Config.ini, and the
// server's time limits beside it.

#include "core/link/allow_list.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rv;

namespace {
void write(const QString& path, const QByteArray& text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}
} // namespace

TEST(AllowList, ImeisBySeparatorsAndComments_AnythingElseRefused)
{
    QString error;
    const auto list = AllowList::parse(u"861234567890123, 861234567890124\n# fleet B\n861234567890125 # spare\n", &error);
    ASSERT_TRUE(list) << error.toStdString();
    EXPECT_EQ(list->size(), 3);
    EXPECT_TRUE(list->allows(QStringLiteral("861234567890125")));
    EXPECT_FALSE(list->allows(QStringLiteral("861234567890126")));
    EXPECT_TRUE(AllowList().allows(QStringLiteral("anything"))); // no list: anyone

    EXPECT_FALSE(AllowList::parse(u"861234567890123,86123456789012", &error)); // what an IMEI is: network_units_test
    EXPECT_EQ(error, QStringLiteral("«86123456789012» не IMEI: нужно 15 цифр"));
}

TEST(AllowList, ServerSectionOfConfigIni)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("Config.ini"));
    const QString list = dir.filePath(QStringLiteral("fleet.txt"));
    // No file, no section: anyone, the usual limits.
    auto s = readServerSettings(ini);
    ASSERT_TRUE(s);
    EXPECT_TRUE(s->allow.isEmpty());
    EXPECT_EQ(s->timeouts.greetMs, 10000);
    EXPECT_EQ(s->timeouts.silenceMs, 120000);

    write(list, "861234567890124\n");
    write(ini, "[Config]\nCom port=/dev/ttyUSB0\n[Server]\nAllow=861234567890123\nAllow file=" + list.toUtf8() +
                   "\nSilence timeout=300\n");
    s = readServerSettings(ini);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->allow.size(), 2);
    EXPECT_EQ(s->timeouts.silenceMs, 300000);

    // A bad entry is not taken as "anyone may connect".
    QString error;
    write(ini, "[Server]\nAllow=861234567890123,12345\n");
    EXPECT_FALSE(readServerSettings(ini, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("12345"))) << error.toStdString();
    write(ini, "[Server]\nSilence timeout=0\n");
    EXPECT_FALSE(readServerSettings(ini, &error));
}

// A list given but holding no IMEI never means "anyone": the settings are refused with the reason. (A FIFO or
// a device as the list file: allow_list_posix_test.cpp.)
TEST(AllowList, AListGivenEmptyOrUnreadableIsRefused)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("Config.ini"));
    const QString comments = dir.filePath(QStringLiteral("comments.txt"));
    write(comments, "# fleet B\n\n");
    const QByteArray cases[] = {
        "[Server]\nAllow=\n",
        "[Server]\nAllow= , ;\n",
        "[Server]\nAllow file=" + comments.toUtf8() + "\n",
        "[Server]\nAllow=\nAllow file=" + comments.toUtf8() + "\n",
        "[Server]\nAllow net=\n",
        "[Server]\nAllow net=10.0.0.0/8,example\n",
        "[Server]\nMax per address=0\n",
    };
    for (const QByteArray& text : cases) {
        SCOPED_TRACE(text.toStdString());
        write(ini, text);
        QString error;
        EXPECT_FALSE(readServerSettings(ini, &error));
        EXPECT_FALSE(error.isEmpty());
    }
    QString error;
    write(ini, "[Server]\nAllow=\n");
    readServerSettings(ini, &error);
    EXPECT_TRUE(error.contains(QStringLiteral("нет ни одного IMEI"))) << error.toStdString();

    // A Config.ini that is there but cannot be read whole: who may connect is not known, so no start.
    ASSERT_TRUE(QFile::remove(ini));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Config.ini")));
    EXPECT_FALSE(readServerSettings(ini, &error));
}

TEST(AllowList, NetworksAndTheShareOfOneAddress)
{
    QString error;
    const auto nets = AllowedNets::parse(u"10.64.0.0/10; 192.168.7.9 2001:db8::/32", &error);
    ASSERT_TRUE(nets) << error.toStdString();
    EXPECT_EQ(nets->size(), 3);
    EXPECT_TRUE(nets->allows(QHostAddress(QStringLiteral("10.100.1.2"))));
    EXPECT_TRUE(nets->allows(QHostAddress(QStringLiteral("::ffff:10.64.0.1")))); // IPv4 arriving as IPv6
    EXPECT_TRUE(nets->allows(QHostAddress(QStringLiteral("192.168.7.9"))));
    EXPECT_TRUE(nets->allows(QHostAddress(QStringLiteral("2001:db8::5"))));
    EXPECT_FALSE(nets->allows(QHostAddress(QStringLiteral("10.128.0.1"))));
    EXPECT_FALSE(nets->allows(QHostAddress(QStringLiteral("192.168.7.10"))));
    EXPECT_TRUE(AllowedNets().allows(QHostAddress(QStringLiteral("8.8.8.8")))); // none given: any address
    EXPECT_FALSE(AllowedNets::parse(u"10.0.0.0/33", &error));
    EXPECT_TRUE(error.contains(QStringLiteral("10.0.0.0/33")));

    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("Config.ini"));
    write(ini, "[Server]\nAllow=861234567890123\nAllow net=10.64.0.0/10\nMax per address=5\n");
    const auto s = readServerSettings(ini, &error);
    ASSERT_TRUE(s) << error.toStdString();
    EXPECT_EQ(s->nets.text(), QStringLiteral("10.64.0.0/10"));
    EXPECT_EQ(s->maxPerAddress, 5);
    write(ini, "[Server]\nAllow=861234567890123\n");
    EXPECT_EQ(readServerSettings(ini)->maxPerAddress, kDefaultMaxPerAddress);
}
