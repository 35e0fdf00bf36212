// rvctl read against a unit that answers from a script on a pseudo-terminal: replies that the virtual unit
// never sends (a record in answer to the wrong request, a short record with a good checksum, no extended
// record). The reply bytes are composed here from the wire format, not with the program's own encoder.

#include "core/protocol/session_texts.h"
#include "support/pty_pair.h"
#include "unit_operation.h"
#include "support/tool_run.h"
#include "support/files.h"

#include <QFile>
#include <QHash>
#include <QMutex>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#ifdef RVCTL_PATH

namespace {

using rvtest::ToolRun;

// marker [status] length(LE16) payload checksum(LE16: the byte sum modulo 65536)
QByteArray block(const char* marker, const QByteArray& payload, const char* status = "")
{
    QByteArray b(marker);
    b += status;
    b += char(payload.size() & 0xFF);
    b += char((payload.size() >> 8) & 0xFF);
    b += payload;
    unsigned sum = 0;
    for (const char c : payload)
        sum += uchar(c);
    b += char(sum & 0xFF);
    b += char((sum >> 8) & 0xFF);
    return b;
}

QByteArray filled(qsizetype n, int seed)
{
    QByteArray b(n, '\0');
    for (qsizetype i = 0; i < n; ++i)
        b[i] = char(1 + (i * 11 + seed * 17) % 253);
    return b;
}

// Answers "NEWCONF" to the search and the scripted reply to each request word ("CONFIGR" ...), one write each.
class ScriptedUnit {
public:
    explicit ScriptedUnit(QHash<QByteArray, QByteArray> replies) : m_replies(std::move(replies))
    {
        m_replies.insert("CONFIGO", "NEWCONF");
        m_thread = std::thread([this] { run(); });
    }
    ~ScriptedUnit()
    {
        m_stop = true;
        m_thread.join();
    }
    bool ok() const { return m_pty.ok(); }
    QString port() const { return m_pty.slavePath(); }
    QByteArray received() const
    {
        QMutexLocker lock(&m_mutex);
        return m_received;
    }

private:
    void run()
    {
        QByteArray pending;
        while (!m_stop) {
            const QByteArray in = m_pty.unitRead(20);
            if (in.isEmpty())
                continue;
            {
                QMutexLocker lock(&m_mutex);
                m_received += in;
            }
            pending += in;
            for (;;) {
                const qsizetype at = pending.indexOf("CONFIG");
                if (at < 0) {
                    pending = pending.right(5);
                    break;
                }
                if (pending.size() < at + 7)
                    break;
                const QByteArray word = pending.mid(at, 7);
                pending.remove(0, at + 7);
                if (const auto it = m_replies.constFind(word); it != m_replies.cend())
                    m_pty.unitWrite(*it);
            }
        }
    }

    rvtest::PtyPair m_pty;
    QHash<QByteArray, QByteArray> m_replies;
    std::atomic<bool> m_stop{false};
    mutable QMutex m_mutex;
    QByteArray m_received;
    std::thread m_thread;
};

ToolRun readInto(const ScriptedUnit& unit, const QString& out)
{
    const ToolRun r = rvtest::runTool(QStringLiteral(RVCTL_PATH),
                                      {QStringLiteral("--port"), unit.port(), QStringLiteral("read"), out}, 60000);
    std::printf("[ timing ] rvctl read: %lld ms, exit %d\n", r.elapsedMs, r.code);
    return r;
}

const QByteArray kConfig = filled(512, 1);
const QByteArray kInpOut = filled(513, 2);
const QByteArray kConfSe = filled(26, 3);

} // namespace

TEST(RvctlReadFaults, WholeRecords_FileHoldsThemAtTheirOffsets)
{
    QTemporaryDir dir;
    ScriptedUnit unit({{"CONFIGR", block("CONFIG", kConfig)},
                       {"CONFIGP", block("INPOUT", kInpOut)},
                       {"CONFIGS", block("CONFSE", kConfSe, "0")}});
    ASSERT_TRUE(unit.ok());
    const QString out = dir.filePath(QStringLiteral("unit.fcg"));
    const ToolRun r = readInto(unit, out);
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_EQ(rvtest::fileBytes(out), kConfig + QByteArray(38, '\0') + kInpOut + QByteArray(37, '\0') + kConfSe);
    // "CONFIGS" goes out with its record selector "0".
    EXPECT_TRUE(unit.received().contains("CONFIGS0")) << unit.received().toHex().constData();
}

TEST(RvctlReadFaults, RecordsThatDidNotArriveWhole_ExitThreeAndKeepTheFile)
{
    struct Case
    {
        const char* what;
        QHash<QByteArray, QByteArray> replies;
        const char* said; // in the error
    };
    const Case cases[] = {
        // The extended record in answer to the main record's request.
        {"CONFSE for CONFIGR", {{"CONFIGR", block("CONFSE", kConfSe, "0")}}, ""},
        // A main record of 100 bytes whose checksum is right.
        {"short CONFIG",
         {{"CONFIGR", block("CONFIG", kConfig.left(100))},
          {"CONFIGP", block("INPOUT", kInpOut)},
          {"CONFIGS", block("CONFSE", kConfSe, "0")}},
         "CONFIG record: 100 of 512 bytes"},
        // No extended record: status '1'.
        {"CONFSE status 1",
         {{"CONFIGR", block("CONFIG", kConfig)},
          {"CONFIGP", block("INPOUT", kInpOut)},
          {"CONFIGS", block("CONFSE", QByteArray(), "1")}},
         "CONFSE record: the unit sent none (status '1')"},
    };
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("kept.fcg"));
    const QByteArray old = filled(1126, 9);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        {
            QFile f(out);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(old);
        }
        ScriptedUnit unit(c.replies);
        ASSERT_TRUE(unit.ok());
        const ToolRun r = readInto(unit, out);
        EXPECT_EQ(r.code, 3) << qPrintable(r.err);
        EXPECT_TRUE(r.err.contains(QLatin1String(c.said))) << qPrintable(r.err);
        EXPECT_EQ(rvtest::fileBytes(out), old);
    }
}

// rvctl decides by the session's outcomes, never by its words: with every word changed, the same exit codes.
TEST(RvctlReadFaults, ExitCodesStayWhenTheSessionsWordsChange)
{
    struct Reworded : rv::SessionWording {
        QString closing(const rv::Outcome&) const override { return QStringLiteral("reworded"); }
        QString afterwards(const rv::Outcome&) const override { return QStringLiteral("reworded"); }
        QList<rv::PanelText> panels(const rv::LinkEvent&) const override { return {{3, QStringLiteral("reworded")}}; }
    } reworded;
    const rv::ScopedSessionWording scoped(reworded);
    for (const auto& [config, code] : {std::pair{kConfig, int(rvctl::ExitOk)}, std::pair{kConfig.left(100), int(rvctl::ExitFailed)}}) {
        ScriptedUnit unit({{"CONFIGR", block("CONFIG", config)},
                           {"CONFIGP", block("INPOUT", kInpOut)},
                           {"CONFIGS", block("CONFSE", kConfSe, "0")}});
        ASSERT_TRUE(unit.ok());
        rv::ConfigRecords records;
        rvctl::UnitOptions options;
        options.port = unit.port();
        rvctl::UnitOperation op(rvctl::UnitOperation::Kind::Read, options, records);
        EXPECT_EQ(op.exec(), code) << config.size();
    }
}

#endif
