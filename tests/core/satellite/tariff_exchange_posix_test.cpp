// A tariff server that never completes a connection, made with the Linux kernel's accept queue (Windows
// refuses the connection outright, which tariff_exchange_test.cpp covers).

#include "tariff_test_support.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace rv::sat {
namespace {

TEST(TariffExchange, ServerThatNeverAccepts_FailsAfterTheConnectionStep)
{
    // A listening socket whose accept queue is full and never served: new connections are never completed.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(fd, 0), 0);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    const quint16 port = ntohs(addr.sin_port);
    QList<QTcpSocket*> fillers;
    for (int i = 0; i < 3; ++i) {
        fillers << new QTcpSocket;
        fillers.back()->connectToHost(QHostAddress::LocalHost, port);
    }
    waitUntil([] { return false; }, 200);

    Client run({QStringLiteral("127.0.0.1"), port, QStringLiteral("sat.example")});
    run.exchange.Timer1Timer();
    EXPECT_EQ(run.steps.back(), "Соединение с сервером sat.example (127.0.0.1:" + QString::number(port) + ")");
    for (int i = 0; i < TariffExchange::kTickLimit + 1 && !run.outcome; ++i) {
        waitUntil([] { return false; }, 20);
        run.exchange.Timer1Timer();
    }
    ASSERT_TRUE(run.outcome);
    EXPECT_EQ(run.outcome->kind, TariffOutcome::Kind::StepFailure);
    EXPECT_EQ(run.outcome->message,
              "Не возможно выполнить операцию!\r\nПовторите и/или проверьте подключение\r\nк интернету !!!");
    qDeleteAll(fillers);
    ::close(fd);
}

} // namespace
} // namespace rv::sat
