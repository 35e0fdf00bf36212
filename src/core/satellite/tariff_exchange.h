#pragma once

// Asking the satellite service's tariff server for the modem's plan: the server's address from Config.ini,
// the 20-byte request with the modem's IMEI, the answer collected over as many reads as it takes, and the
// stepped exchange of the tariff window (IMEI from the unit, connection, request, answer) with its time
// limits. Widget-free: the window shows what the exchange reports and drives its one-second tick.

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

class QTcpSocket;

namespace rv {

class DeviceBlock;
class IniFile;

namespace sat {

// ---- the server's address ----
inline constexpr char16_t kTariffServerKey[] = u"Tariff server";   // "host" or "host:port", section "Config"
inline constexpr char16_t kTariffServiceKey[] = u"Tariff service"; // the service's name or web address
inline constexpr quint16 kDefaultTariffPort = 10888;

struct TariffServer
{
    QString host;                       // empty: no server configured
    quint16 port = kDefaultTariffPort;
    QString service;                    // what the user is told the service is called; may be empty
    bool isSet() const { return !host.isEmpty(); }
    QString address() const;            // "host:port"
    QString displayName() const;        // the address, after the service's name when there is one
};

// "host", "host:port", "[v6]:port"; nothing for a port that is not 1..65535 or an empty host.
std::optional<TariffServer> parseTariffServer(QStringView text);
// From Config.ini; a missing file or key gives a server that is not set.
TariffServer readTariffServer(const QString& iniPath);
TariffServer tariffServerFrom(const IniFile& ini); // the same from a parsed file

// ---- the wire ----
inline constexpr qsizetype kImeiOffset = 87;   // in the device block
inline constexpr qsizetype kImeiWidth = 20;
inline constexpr qsizetype kRequestImeiBytes = 16;
inline constexpr qsizetype kRequestSize = 20;
inline constexpr qsizetype kMaxAnswer = 256;

// The satellite modem's IMEI from the device block, up to its terminator.
QString imeiText(const QByteArray& deviceBlock);
// 0xFF 0x11 0x00 0x01 and the IMEI field's first 16 bytes; the bytes after its terminator go out as zeros.
QByteArray tariffRequest(const QByteArray& deviceBlock);

struct TariffAnswer
{
    enum class Kind { PlanOnly, PlanAndParams };
    Kind kind = Kind::PlanOnly;
    uint8_t tariff = 0;
    QByteArray text; // the parameter text without its terminator (at most 251 bytes)
    bool operator==(const TariffAnswer&) const = default;
};

struct AnswerParse
{
    enum class Status { NeedMore, Complete, Ignored };
    Status status = Status::NeedMore;
    TariffAnswer answer;
};

// The answer in the first bytes received. A plan-and-parameters answer is complete at the text's terminator
// or at 256 bytes; anything that is not an answer (first byte not 0xFF, type not 1 or 2) is ignored.
// `ended`: no more bytes will come, so an answer still incomplete is ignored.
AnswerParse parseTariffAnswer(QByteArrayView bytes, bool ended = false);

// ---- the exchange of the tariff window ----
struct TariffOutcome
{
    enum class Kind { Answer, StepFailure, SocketError, NoServer };
    Kind kind = Kind::Answer;
    TariffAnswer answer;  // Answer
    QString message;      // the others
};

class TariffExchange : public QObject {
    Q_OBJECT
public:
    // The failure comes on the 31st counted tick of a step.
    static constexpr int kTickLimit = 30;

    // `deviceBlock`: where the unit's IMEI shows up (the live device block).
    TariffExchange(std::function<QByteArray()> deviceBlock, TariffServer server, QObject* parent = nullptr);
    ~TariffExchange() override;

    int step() const { return m_step; }
    int counter() const { return m_counter; }
    bool planReceived() const { return m_planReceived; }
    const TariffServer& server() const { return m_server; }
    void setServer(const TariffServer& server) { m_server = server; }

    // FormShow: step 1, counter 0, no plan yet.
    void FormShow();
    // Timer1, once a second.
    void Timer1Timer();
    // FormClose: the socket is closed and no step runs any more.
    void FormClose();

signals:
    void imeiShown(const QString& text);      // Label1
    void stepShown(const QString& text);      // Label2
    void unitCommand(const QByteArray& bytes); // "CONFIGZ" 01 01 for the unit
    void finished(const rv::sat::TariffOutcome& outcome);

private:
    void Client1Connect();
    void Client1Read();
    void Client1Error();
    void finish(const TariffOutcome& outcome);
    void failStep(int step);
    bool countTick(int step);

    std::function<QByteArray()> m_deviceBlock;
    TariffServer m_server;
    QTcpSocket* m_socket;
    QByteArray m_answer;
    int m_step = 0;
    int m_counter = 0;
    bool m_planReceived = false;
};

} // namespace sat
} // namespace rv
