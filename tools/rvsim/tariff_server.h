#pragma once

// A stand-in for the satellite service's tariff server, on the loopback: it takes the 20-byte request
// (FF 11 00 01 and the modem's IMEI) and answers with a plan, or a plan and a parameter text.

#include <QByteArray>
#include <QObject>

class QTcpServer;

namespace rvsim {

class TariffServer : public QObject {
public:
    // `text` empty: plan-only answers.
    TariffServer(quint16 port, uint8_t plan, QByteArray text, QObject* parent = nullptr);
    bool listening() const;
    int requests() const { return m_requests; }

private:
    QTcpServer* m_server;
    uint8_t m_plan;
    QByteArray m_text;
    int m_requests = 0;
};

} // namespace rvsim
