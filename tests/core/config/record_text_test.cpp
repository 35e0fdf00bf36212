#include "core/config/record_text.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonArray>
#include <gtest/gtest.h>

using namespace rv;

TEST(RecordText, DiffShowsOnlyChangedFieldsByName)
{
    ConfigRecords a, b;
    EXPECT_TRUE(diffRecords(a, a).isEmpty());

    ASSERT_TRUE(assignField(b, u"ID_Device=77").ok());
    EXPECT_EQ(formatChanges(diffRecords(a, b)), QStringLiteral("ID_Device: 0 -> 77\n"));

    // A named bit shows as itself; the word only when an unnamed bit differs too.
    b = a;
    ASSERT_TRUE(assignField(b, u"Filter_coord=1").ok());
    ASSERT_TRUE(assignField(b, u"Out3mode_actin[7]=2").ok());
    EXPECT_EQ(formatChanges(diffRecords(a, b)), QStringLiteral("Filter_coord: 0 -> 1\nOut3mode_actin[7]: 0 -> 2\n"));
    b = a;
    ASSERT_TRUE(assignField(b, u"LinkFlags=128").ok()); // bit 7 has no name
    EXPECT_EQ(formatChanges(diffRecords(a, b)), QStringLiteral("LinkFlags: 0 -> 128\n"));

    // Texts that differ only after their NUL still show up.
    b = a;
    ASSERT_EQ(b.config.setRawAt(*b.config.field(u"Sim1Pass"), 0, QByteArray("\0x", 2) + QByteArray(18, '\0')),
              FieldError::None);
    EXPECT_EQ(diffRecords(a, b).size(), 1);
}

TEST(RecordText, AssignmentsParseNamesIndexesAndValues)
{
    ConfigRecords r;
    EXPECT_TRUE(assignField(r, u"Phone[4]=9001234567").ok());
    EXPECT_EQ(r.config.text(u"Phone", 4).value, QStringLiteral("9001234567"));
    EXPECT_TRUE(assignField(r, u"Sim1Apn=a=b").ok()); // the first '=' splits
    EXPECT_EQ(r.config.text(u"Sim1Apn").value, QStringLiteral("a=b"));
    EXPECT_TRUE(assignField(r, u"TIMETOCON2=1000").ok());
    EXPECT_EQ(r.confSe.number(u"TIMETOCON2").value, 1000);
    EXPECT_EQ(assignField(r, u"TIMETOCON2=0").error, FieldError::OutOfRange);
    EXPECT_EQ(assignField(r, u"Phone=1").error, FieldError::BadIndex);
    EXPECT_EQ(assignField(r, u"Phone[x]=1").error, FieldError::BadIndex);
    EXPECT_EQ(assignField(r, u"Nope=1").error, FieldError::UnknownField);
    EXPECT_EQ(assignField(r, u"ID_Device").error, FieldError::BadValue);
}

TEST(RecordText, DumpsNameEveryFieldWithItsValue)
{
    ConfigRecords r;
    ASSERT_TRUE(assignField(r, u"Sim1Login=\"мтс\"").ok());
    ASSERT_TRUE(assignField(r, u"ACCELPOROG=2.5").ok());
    ASSERT_TRUE(assignField(r, u"IP2[3]=7").ok());

    const QString text = dumpText(r);
    EXPECT_TRUE(text.contains(QStringLiteral("\nSim1Login = \"\\\"мтс\\\"\"\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nACCELPOROG = 2.5\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\n  Out4mode_trevoh = 0\n")));
    EXPECT_EQ(text.count(u'\n'), fieldLines(r).size() + 5); // three headers, two blank lines

    QJsonParseError err;
    const QJsonObject json = QJsonDocument::fromJson(dumpJson(r), &err).object();
    ASSERT_EQ(err.error, QJsonParseError::NoError);
    EXPECT_EQ(json[u"ConfigBlock"][u"Sim1Login"].toString(), QStringLiteral("\"мтс\""));
    EXPECT_DOUBLE_EQ(json[u"ConfigBlock"][u"ACCELPOROG"].toDouble(), 2.5);
    EXPECT_EQ(json[u"ConfSeBlock"][u"IP2"].toArray().at(3).toInt(), 7);
    EXPECT_EQ(json[u"InpOutBlock"][u"EventSource"].toArray().size(), 20);
}
