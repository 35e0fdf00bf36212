#include "ui/link/server_window.h"

#include "core/protocol/remote_session.h"

#include "ui_server_window.h"

#include <QNetworkInterface>
#include <QRegularExpressionValidator>
#include <QTime>

namespace rv {

namespace {
const QString kStart = QStringLiteral("Запустить");
const QString kStop = QStringLiteral("Остановить");
constexpr int kMaxPort = 65535;
} // namespace

ServerWindow::ServerWindow(RemoteSession& remote, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::ServerWindow>()), m_remote(remote)
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("TForm10"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint); // no border icons
    // PortKeyPress: digits only (editing keys still work).
    ui->Port->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,5}")), ui->Port));
    ui->Log->setMaximumBlockCount(kLogLines);
    fillAddresses();

    connect(ui->Port, &QLineEdit::textEdited, this, &ServerWindow::PortChange);
    connect(ui->Start_server, &QPushButton::clicked, this, &ServerWindow::Start_serverClick);
    connect(&remote, &RemoteSession::serverStateChanged, this, &ServerWindow::showState);
    connect(&remote, &RemoteSession::logLine, this, &ServerWindow::appendLog);
    connect(&remote, &RemoteSession::windowReleased, this, &QDialog::hide);
}

ServerWindow::~ServerWindow() = default;

void ServerWindow::fillAddresses()
{
    ui->Address->addItem(QStringLiteral("Все интерфейсы"), QString());
    for (const QHostAddress& a : QNetworkInterface::allAddresses()) {
        if (a.protocol() == QAbstractSocket::IPv6Protocol && !a.scopeId().isEmpty())
            continue; // link-local addresses need an interface to be useful
        ui->Address->addItem(a.toString(), a.toString());
    }
}

QHostAddress ServerWindow::address() const
{
    const QString chosen = ui->Address->currentData().toString();
    return chosen.isEmpty() ? QHostAddress(QHostAddress::Any) : QHostAddress(chosen);
}

void ServerWindow::PortChange(const QString& text)
{
    if (!text.isEmpty() && text.toInt() > kMaxPort)
        ui->Port->setText(QString::number(kMaxPort));
}

void ServerWindow::Start_serverClick()
{
    if (ui->Start_server->text() == kStop)
        m_remote.stopServer();
    else
        m_remote.startServer(ui->Port->text(), address());
}

void ServerWindow::showState(const QString& label, bool running)
{
    ui->Label2->setText(label);
    ui->Start_server->setText(running ? kStop : kStart);
    ui->Port->setEnabled(!running);
    ui->Address->setEnabled(!running);
}

void ServerWindow::appendLog(const QString& line)
{
    ui->Log->appendPlainText(QTime::currentTime().toString(QStringLiteral("HH:mm:ss ")) + line);
}

} // namespace rv
