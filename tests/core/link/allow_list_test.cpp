// Who may use the server: the IMEI list as typed on a command line, in a file, or in Config.ini, and the
// server's time limits beside it.

#include "core/link/allow_list.h"

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

    EXPECT_FALSE(AllowList::parse(u"861234567890123,86123456789012", &error)); // 14 digits
    EXPECT_TRUE(error.contains(QStringLiteral("86123456789012"))) << error.toStdString();
    EXPECT_FALSE(AllowList::parse(u"86123456789012x"));
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
