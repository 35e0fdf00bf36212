#include "core/config/record_text.h"

#include "core/config/fcg_file.h"

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

namespace {

// The forms the dumps had when every value went through displayAt and every text through QJsonDocument.
QString referenceJsonString(const QString& s)
{
    const QByteArray doc = QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(doc.mid(1, doc.size() - 2));
}

QString referenceText(const ConfigRecords& records)
{
    QString out;
    const RecordBase* current = nullptr;
    for (const FieldLine& l : fieldLines(records)) {
        if (l.record != current) {
            current = l.record;
            out += (out.isEmpty() ? QString() : QStringLiteral("\n")) + u'['
                   + QString::fromLatin1(current->layout().name.data(), qsizetype(current->layout().name.size()))
                   + QStringLiteral("]\n");
        }
        out += (l.field->isView() ? QStringLiteral("  ") : QString()) + l.name + QStringLiteral(" = ")
               + (l.field->encoding == Encoding::Text ? referenceJsonString(l.value) : l.value) + u'\n';
    }
    return out;
}

} // namespace

// The dumps write numbers and plain texts without the temporary strings of displayAt and QJsonDocument: for
// records of any bytes they must still say exactly what those say.
TEST(RecordText, DumpsSayWhatEveryFieldDisplays)
{
    uint32_t seed = 12345;
    for (int round = 0; round < 20; ++round) {
        QByteArray file(kFcgSize, '\0');
        for (char& c : file) {
            seed = seed * 1103515245u + 12345u;
            // Runs of zeros, printable text, quotes, backslashes and control bytes, and the upper half.
            const uint32_t pick = (seed >> 16) % 8;
            c = pick == 0 ? '\0' : pick == 1 ? '"' : pick == 2 ? '\\' : char(seed >> (pick + 8));
        }
        ConfigRecords r;
        ASSERT_TRUE(applyFcgBytes(r, file).ok());
        ASSERT_EQ(dumpText(r), referenceText(r)) << "round " << round;
        QJsonParseError err;
        const QJsonDocument json = QJsonDocument::fromJson(dumpJson(r), &err);
        ASSERT_EQ(err.error, QJsonParseError::NoError) << "round " << round;
        for (const FieldLine& l : fieldLines(r)) {
            const QJsonValue record = json.object().value(
                QString::fromLatin1(l.record->layout().name.data(), qsizetype(l.record->layout().name.size())));
            const QJsonValue field = record.toObject().value(fieldName(*l.field));
            const QJsonValue v = l.field->count > 1 ? field.toArray().at(l.index) : field;
            if (v.isString())
                EXPECT_EQ(v.toString(), l.value) << l.name.toStdString();
            else
                EXPECT_EQ(v.toDouble(), l.value.toDouble()) << l.name.toStdString();
        }
    }
}
