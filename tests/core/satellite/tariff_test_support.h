#pragma once

// The unit's side and a loopback tariff server for the tariff exchange tests.

#include "core/satellite/tariff_exchange.h"
#include "support/wait.h"

#include <QHostAddress>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <gtest/gtest.h>

#include <optional>

namespace rv::sat {

using rvtest::waitUntil;

inline QByteArray deviceWithImei(const QByteArray& imei)
{
    QByteArray block(115, '\0');
    block.replace(kImeiOffset, imei.size(), imei);
    return block;
}

// A tariff server on the loopback that answers a whole request with `pieces`, a few milliseconds apart so
// that they reach the client in separate reads, and then hangs up when asked to.
class FakeServer {
public:
    explicit FakeServer(QList<QByteArray> pieces, bool closeAfter = false)
    {
        EXPECT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        QObject::connect(&server, &QTcpServer::newConnection, [this, pieces, closeAfter] {
            QTcpSocket* c = server.nextPendingConnection();
            QObject::connect(c, &QTcpSocket::readyRead, c, [this, c, pieces, closeAfter] {
                request += c->readAll();
                if (request.size() == kRequestSize)
                    sendFrom(c, pieces, 0, closeAfter);
            });
        });
    }
    TariffServer address() const { return {QStringLiteral("127.0.0.1"), server.serverPort(), {}}; }

    QTcpServer server;
    QByteArray request;

private:
    static void sendFrom(QTcpSocket* c, const QList<QByteArray>& pieces, qsizetype i, bool closeAfter)
    {
        if (i == pieces.size()) {
            if (closeAfter)
                c->disconnectFromHost();
            return;
        }
        c->write(pieces[i]);
        c->flush();
        QTimer::singleShot(5, c, [c, pieces, i, closeAfter] { sendFrom(c, pieces, i + 1, closeAfter); });
    }
};

struct Client
{
    explicit Client(TariffServer server, QByteArray imei = "300234010753370")
        : device(deviceWithImei(imei)), exchange([this] { return device; }, server)
    {
        QObject::connect(&exchange, &TariffExchange::finished, [this](const TariffOutcome& o) { outcome = o; });
        QObject::connect(&exchange, &TariffExchange::stepShown, [this](const QString& t) { steps << t; });
        QObject::connect(&exchange, &TariffExchange::unitCommand, [this](const QByteArray& b) { commands << b; });
        exchange.FormShow();
    }
    // Ticks once a "second" while the event loop runs, until the exchange is done or `ticks` are spent.
    void tickUntilDone(int ticks = 40)
    {
        for (int i = 0; i < ticks && !outcome; ++i) {
            exchange.Timer1Timer();
            waitUntil([this] { return outcome.has_value(); }, 150);
        }
    }

    QByteArray device;
    TariffExchange exchange;
    std::optional<TariffOutcome> outcome;
    QStringList steps;
    QList<QByteArray> commands;
};

} // namespace rv::sat
