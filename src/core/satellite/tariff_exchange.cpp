#include "core/satellite/tariff_exchange.h"

#include "core/base/cp1251.h"
#include "core/protocol/commands.h"
#include "core/base/ini_file.h"
#include "core/settings/app_settings.h"

#include <QTcpSocket>

namespace rv::sat {

QString TariffServer::address() const
{
    const bool v6 = host.contains(u':');
    return (v6 ? u'[' + host + u']' : host) + u':' + QString::number(port);
}

QString TariffServer::displayName() const
{
    return service.isEmpty() ? address() : service + QStringLiteral(" (") + address() + u')';
}

std::optional<TariffServer> parseTariffServer(QStringView text)
{
    text = text.trimmed();
    TariffServer s;
    QStringView host = text;
    QStringView port;
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        if (close < 0)
            return std::nullopt;
        host = text.sliced(1, close - 1);
        const QStringView rest = text.sliced(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(u':'))
                return std::nullopt;
            port = rest.sliced(1);
        }
    } else if (const qsizetype colon = text.lastIndexOf(u':'); colon >= 0) {
        if (text.indexOf(u':') != colon)
            return std::nullopt; // a bare IPv6 address needs brackets
        host = text.first(colon);
        port = text.sliced(colon + 1);
    }
    host = host.trimmed();
    // A bracket left inside the host ("[[a]") names no server, and could not be written back as one.
    if (host.isEmpty() || host.contains(u' ') || host.contains(u'[') || host.contains(u']'))
        return std::nullopt;
    s.host = host.toString();
    if (text.startsWith(u'[') || !port.isNull()) {
        if (!port.isNull()) {
            bool ok = false;
            const uint p = port.toUInt(&ok);
            if (!ok || p == 0 || p > 65535)
                return std::nullopt;
            s.port = quint16(p);
        }
    }
    return s;
}

TariffServer tariffServerFrom(const IniFile& ini)
{
    TariffServer s;
    const QString section = QString::fromUtf16(kSettingsSection);
    if (const auto parsed = parseTariffServer(ini.value(section, QString::fromUtf16(kTariffServerKey))))
        s = *parsed;
    s.service = ini.value(section, QString::fromUtf16(kTariffServiceKey)).trimmed();
    return s;
}

TariffServer readTariffServer(const QString& iniPath)
{
    const std::optional<IniFile> ini = IniFile::load(iniPath);
    return ini ? tariffServerFrom(*ini) : TariffServer{};
}

namespace {

QByteArray imeiBytes(const QByteArray& deviceBlock)
{
    QByteArray field = deviceBlock.mid(kImeiOffset, kImeiWidth);
    if (const qsizetype nul = field.indexOf('\0'); nul >= 0)
        field.truncate(nul);
    return field;
}

} // namespace

QString imeiText(const QByteArray& deviceBlock)
{
    return cp1251::decode(imeiBytes(deviceBlock));
}

QByteArray tariffRequest(const QByteArray& deviceBlock)
{
    QByteArray r("\xFF\x11\x00\x01", 4);
    QByteArray imei = imeiBytes(deviceBlock).left(kRequestImeiBytes);
    imei.append(QByteArray(kRequestImeiBytes - imei.size(), '\0'));
    return r + imei;
}

AnswerParse parseTariffAnswer(QByteArrayView bytes, bool ended)
{
    using S = AnswerParse::Status;
    AnswerParse p;
    bytes = bytes.first(std::min(bytes.size(), kMaxAnswer));
    auto need = [&]() {
        p.status = ended ? S::Ignored : S::NeedMore;
        return p;
    };
    if (bytes.isEmpty())
        return need();
    if (uint8_t(bytes[0]) != 0xFF) {
        p.status = S::Ignored;
        return p;
    }
    if (bytes.size() < 4)
        return need();
    const uint8_t type = uint8_t(bytes[3]);
    if (type != 1 && type != 2) {
        p.status = S::Ignored;
        return p;
    }
    if (bytes.size() < 5)
        return need();
    p.answer.tariff = uint8_t(bytes[4]);
    if (type == 1) {
        p.answer.kind = TariffAnswer::Kind::PlanOnly;
        p.status = S::Complete;
        return p;
    }
    p.answer.kind = TariffAnswer::Kind::PlanAndParams;
    const QByteArrayView text = bytes.sliced(5);
    const qsizetype nul = text.indexOf('\0');
    if (nul < 0 && bytes.size() < kMaxAnswer)
        return need();
    p.answer.text = (nul < 0 ? text : text.first(nul)).toByteArray();
    p.status = S::Complete;
    return p;
}

// ---- the exchange ----

namespace {

const QString kStep1Failure = QStringLiteral(
    "Не возможно выполнить операцию!\r\nПовторите и/или проверьте подключение\r\nмодема !!!");
const QString kStep15Failure = QStringLiteral(
    "Не возможно выполнить операцию!\r\nПовторите и/или проверьте подключение\r\nк интернету !!!");
const QString kStep25Failure = QStringLiteral(
    "Нет ответа от сервера!\r\nПовторите и/или проверьте подключение\r\nк интернету !!!");

} // namespace

TariffExchange::TariffExchange(std::function<QByteArray()> deviceBlock, TariffServer server, QObject* parent)
    : QObject(parent), m_deviceBlock(std::move(deviceBlock)), m_server(std::move(server)),
      m_socket(new QTcpSocket(this))
{
    connect(m_socket, &QTcpSocket::connected, this, &TariffExchange::Client1Connect);
    connect(m_socket, &QTcpSocket::readyRead, this, &TariffExchange::Client1Read);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &TariffExchange::Client1Error);
}

TariffExchange::~TariffExchange() = default;

void TariffExchange::FormShow()
{
    m_socket->abort();
    m_answer.clear();
    m_step = 1;
    m_counter = 0;
    m_planReceived = false;
    emit stepShown(QString());
}

void TariffExchange::FormClose()
{
    m_step = 0;
    m_socket->abort();
}

bool TariffExchange::countTick(int step)
{
    if (++m_counter <= kTickLimit)
        return true;
    failStep(step);
    return false;
}

void TariffExchange::Timer1Timer()
{
    if (m_step == 0)
        return;
    const QByteArray device = m_deviceBlock ? m_deviceBlock() : QByteArray();
    emit imeiShown(QStringLiteral("IMEI: ") + imeiText(device));
    switch (m_step) {
    case 1:
        if (imeiText(device).isEmpty()) {
            emit unitCommand(cmd::satelliteModem().join());
            emit stepShown(QStringLiteral("Получение IMEI спутникового модема"));
            countTick(1);
            return;
        }
        // With the IMEI at hand the connection starts on this very tick.
        m_counter = 0;
        m_step = 10;
        [[fallthrough]];
    case 10:
        if (!m_server.isSet()) {
            m_step = 0;
            finish({TariffOutcome::Kind::NoServer, {},
                    QStringLiteral("Не задан адрес сервера тарифов:\r\nключ \"%1\" раздела \"%2\" в %3")
                        .arg(QString::fromUtf16(kTariffServerKey), QString::fromUtf16(kSettingsSection),
                             QString::fromUtf16(kSettingsFileName))});
            return;
        }
        emit stepShown(QStringLiteral("Соединение с сервером ") + m_server.displayName());
        m_counter = 0;
        m_step = 15;
        m_answer.clear();
        m_socket->abort();
        m_socket->connectToHost(m_server.host, m_server.port);
        return;
    case 15: countTick(15); return;
    case 25: countTick(25); return;
    default: return;
    }
}

void TariffExchange::Client1Connect()
{
    if (m_step != 15)
        return;
    emit stepShown(QStringLiteral("Соединение установлено. Получение тарифного плана."));
    m_socket->write(tariffRequest(m_deviceBlock ? m_deviceBlock() : QByteArray()));
    m_counter = 0;
    m_step = 25;
}

void TariffExchange::Client1Read()
{
    // Bytes past the 256 an answer may have are left unread; they can never complete one.
    while (m_step == 25 && m_socket->bytesAvailable() > 0) {
        m_answer += m_socket->read(kMaxAnswer - m_answer.size());
        const AnswerParse p = parseTariffAnswer(m_answer);
        switch (p.status) {
        case AnswerParse::Status::NeedMore:
            if (m_answer.size() >= kMaxAnswer)
                return;
            break;
        case AnswerParse::Status::Ignored:
            m_answer.clear(); // not an answer: the step waits on for one, up to its limit
            break;
        case AnswerParse::Status::Complete:
            m_planReceived = true;
            m_step = 0;
            finish({TariffOutcome::Kind::Answer, p.answer, {}});
            return;
        }
    }
    if (m_step != 25)
        m_socket->readAll(); // nothing is waited for: drop it
}

void TariffExchange::Client1Error()
{
    if (m_step == 0)
        return;
    if (m_socket->error() == QAbstractSocket::RemoteHostClosedError && m_step == 25) {
        Client1Read();
        if (m_step == 0)
            return;
        // The server hung up without a whole answer: none will come.
        failStep(25);
        return;
    }
    m_step = 0;
    finish({TariffOutcome::Kind::SocketError, {},
            QStringLiteral("Ошибка: %1 (%2)").arg(int(m_socket->error())).arg(m_socket->errorString())});
}

void TariffExchange::failStep(int step)
{
    m_step = 0;
    const QString& text = step == 1 ? kStep1Failure : step == 15 ? kStep15Failure : kStep25Failure;
    finish({TariffOutcome::Kind::StepFailure, {}, text});
}

void TariffExchange::finish(const TariffOutcome& outcome)
{
    m_socket->abort();
    emit finished(outcome);
}

} // namespace rv::sat
