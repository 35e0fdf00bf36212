#include "ui/link/server_window.h"

#include "core/protocol/remote_session.h"
#include "core/settings/app_settings.h"
#include "core/settings/program_folder.h"

#include "ui_server_window.h"

#include <QHeaderView>
#include <QNetworkInterface>
#include <QRegularExpressionValidator>
#include <QTime>

namespace rv {

namespace {
const QString kStart = QStringLiteral("Запустить");
const QString kStop = QStringLiteral("Остановить");
constexpr int kMaxPort = 65535;
constexpr int kRefreshMs = 1000;
constexpr int kCoalesceMs = 200;
const QStringList kColumns = {QStringLiteral("ID"), QStringLiteral("IMEI"), QStringLiteral("Прошивка"),
                              QStringLiteral("Адрес"), QStringLiteral("Подключено"), QStringLiteral("Активность")};
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

    ui->Units->setColumnCount(static_cast<int>(kColumns.size()));
    ui->Units->setHorizontalHeaderLabels(kColumns);
    ui->Units->horizontalHeader()->setStretchLastSection(true);
    ui->Units->verticalHeader()->setVisible(false);
    m_coalesce.setSingleShot(true);
    m_coalesce.setInterval(kCoalesceMs);
    connect(&m_coalesce, &QTimer::timeout, this, &ServerWindow::showUnits);
    connect(&remote, &RemoteSession::unitsChanged, this, [this] {
        if (!m_coalesce.isActive())
            m_coalesce.start();
    });
    connect(ui->Select_unit, &QPushButton::clicked, this, &ServerWindow::Select_unitClick);
    connect(ui->Units, &QTableWidget::cellDoubleClicked, this, [this] { Select_unitClick(); });
    m_refresh.setInterval(kRefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, &ServerWindow::showUnits);
    showAllow();
    showUnits();
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
    if (ui->Start_server->text() == kStop) {
        m_remote.stopServer();
        return;
    }
    // Who may connect is read at each start, so an edited Config.ini takes effect without a restart.
    if (!m_remote.loadServerSettings(programFile(QString::fromUtf16(kSettingsFileName))))
        return;
    showAllow();
    m_remote.startServer(ui->Port->text(), address());
}

void ServerWindow::showAllow()
{
    const AllowList& allow = m_remote.units().allowList();
    const AllowedNets& nets = m_remote.units().allowedNets();
    QString text = allow.isEmpty() ? QStringLiteral("Подключиться может любое устройство")
                                   : QStringLiteral("Подключиться могут только устройства из списка "
                                                    "(Config.ini, [Server]): %1").arg(allow.size());
    if (!nets.isEmpty())
        text += QStringLiteral("; только из сетей %1").arg(nets.text());
    ui->LAllow->setText(text);
}

ConnectionId ServerWindow::unitAt(int row) const
{
    const QTableWidgetItem* item = ui->Units->item(row, 0);
    return item ? item->data(Qt::UserRole).value<ConnectionId>() : 0;
}

void ServerWindow::Select_unitClick()
{
    const int row = ui->Units->currentRow();
    if (row < 0)
        return;
    if (!m_remote.select(unitAt(row)))
        appendLog(QStringLiteral("Выбрать устройство нельзя: идёт операция или устройство ещё не поздоровалось"));
}

void ServerWindow::showUnits()
{
    const QList<ConnectedUnit> units = m_remote.units().units().list();
    const ConnectionId current = ui->Units->currentRow() >= 0 ? unitAt(ui->Units->currentRow()) : 0;
    const QDateTime now = QDateTime::currentDateTime();
    ui->Units->setRowCount(static_cast<int>(units.size()));
    int row = 0;
    for (const ConnectedUnit& u : units) {
        const bool chosen = u.id == m_remote.selected();
        const QStringList cells = {
            u.greeted ? QString::number(u.unitId) : QStringLiteral("—"),
            u.greeted ? u.imei : QStringLiteral("ожидается приветствие"),
            u.greeted ? QString::number(u.firmware) : QString(),
            u.peer,
            u.since.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")),
            QStringLiteral("%1 с назад").arg(std::max<qint64>(0, u.lastActivity.secsTo(now))),
        };
        for (int col = 0; col < cells.size(); ++col) {
            auto* item = new QTableWidgetItem(cells[col]);
            QFont f = item->font();
            f.setBold(chosen);
            item->setFont(f);
            if (col == 0)
                item->setData(Qt::UserRole, QVariant::fromValue(u.id));
            ui->Units->setItem(row, col, item);
        }
        if (u.id == current)
            ui->Units->setCurrentCell(row, 0);
        ++row;
    }
    if (units.isEmpty())
        m_refresh.stop();
    else if (!m_refresh.isActive())
        m_refresh.start();
}

void ServerWindow::showState(ServerState state, bool running)
{
    ui->Label2->setText(sessionWording().server(state));
    ui->Start_server->setText(running ? kStop : kStart);
    ui->Port->setEnabled(!running);
    ui->Address->setEnabled(!running);
}

void ServerWindow::appendLog(const QString& line)
{
    ui->Log->appendPlainText(QTime::currentTime().toString(QStringLiteral("HH:mm:ss ")) + line);
}

} // namespace rv
