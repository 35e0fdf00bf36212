#pragma once

// The virtual unit over GPRS: it calls the configurator's TCP server, greets it and answers the framed
// network commands from the same records as its serial side. RemoteUnit is the protocol (bytes in,
// frames out); RemoteLink is the connection (a TCP client socket, redialled like a modem does).

#include "line_sender.h"
#include "telemetry.h"
#include "unit_records.h"

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

namespace rvsim {

struct RemoteOptions {
    uint8_t deviceType = 2;
    uint16_t build1 = 700, build2 = 1203;
    uint8_t build3 = 15;
    bool badCrc = false;      // every frame the unit sends carries a wrong CRC
    bool silent = false;      // greets, then answers nothing
    bool noMonitor = false;   // firmware without remote monitoring: command 27 is unknown
    bool overlong = false;    // record 0 comes longer than the program's (600 bytes)
    bool shortWrite = false;  // every record write is answered "too little data" (255)
    QByteArray dropOn;        // drop the connection when this command arrives: "21", "21/1", "22/2", "27" ...
    bool modemNoise = false;  // the greeting comes as a modem hands it on: "\r\nCONNECT\r\n" before, "\r\n" after
    uint16_t unitId = 1234;
    QByteArray imei = "861234567890123";
    int redialMs = 1000;      // from a closed or refused connection to the next call
};

class RemoteUnit {
public:
    RemoteUnit(UnitRecords& records, RemoteOptions options);

    // The first frame after connecting (with the modem's words around it when asked).
    QByteArray greeting() const;
    // Bytes from the configurator; the frames to send back.
    QList<QByteArray> receive(QByteArrayView bytes);
    // A new connection: what was half received is gone.
    void reconnected() { m_input.clear(); m_greetingAcknowledged = false; }

    bool dropRequested() const { return m_drop; }
    bool resetRequested() const { return m_reset; }
    void clearReset() { m_reset = false; }
    const QMap<QByteArray, int>& counts() const { return m_counts; }
    int redialMs() const { return m_o.redialMs; }
    const QByteArray& imei() const { return m_o.imei; }
    std::function<void()> onRecordsChanged;

private:
    enum class Parse { Done, NeedMore, Garbage };
    Parse handleOne(QList<QByteArray>& out);
    void command(uint8_t id, QByteArrayView frame, QList<QByteArray>& out);
    QByteArray frame(uint8_t type, const QByteArray& body) const;
    QByteArray reply(uint8_t id, uint8_t sub) const;
    QByteArray reply(uint8_t id, uint8_t sub, const QByteArray& payload) const;
    void count(const QByteArray& what) { ++m_counts[what]; }

    UnitRecords& m_records;
    RemoteOptions m_o;
    Telemetry m_telemetry;
    QByteArray m_input;
    QMap<QByteArray, int> m_counts;
    bool m_greetingAcknowledged = false;
    bool m_drop = false;
    bool m_reset = false;
};

// The TCP connection to the configurator. It dials HOST:PORT, redials every second while it cannot
// connect or after the configurator closed the connection, and restarts (hangs up, redials after a
// boot time) when the unit is reset. Dropping the line ends the program, as unplugging the unit would.
class RemoteLink : public QObject {
public:
    // Received bytes are appended to `logPath`; the command counts of this unit and of the serial side
    // (`serialCounts`) are written to `statsPath` after each exchange.
    RemoteLink(QString host, quint16 port, RemoteUnit& unit, LineShape shape, QString logPath, QString statsPath,
               const QMap<QByteArray, int>& serialCounts);
    ~RemoteLink() override;

private:
    void dial();
    void readSome();
    void hangUp(int redialMs);
    void send(const QByteArray& bytes);
    void log(const QByteArray& bytes);
    void writeStats();

    QString m_host;
    quint16 m_port;
    RemoteUnit& m_unit;
    LineShape m_shape;
    QString m_logPath, m_statsPath;
    const QMap<QByteArray, int>& m_serialCounts;
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::unique_ptr<LineSender> m_sender;
    QTimer m_redial;
    bool m_reported = false;
};

} // namespace rvsim
