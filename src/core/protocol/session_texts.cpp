#include "core/protocol/session_texts.h"

#include "core/protocol/progress.h"
#include "core/protocol/unit_session.h"

namespace rv {

namespace {
const SessionWording kProgramWording;
const SessionWording* g_wording = &kProgramWording;
} // namespace

const SessionWording& sessionWording()
{
    return *g_wording;
}

ScopedSessionWording::ScopedSessionWording(const SessionWording& wording) : m_previous(g_wording)
{
    g_wording = &wording;
}

ScopedSessionWording::~ScopedSessionWording()
{
    g_wording = m_previous;
}

QString SessionWording::running(Operation operation) const
{
    switch (operation) {
    case Operation::Read:
    case Operation::Compare: return QStringLiteral("Идет считывание конфигурации...");
    case Operation::Write: return QStringLiteral("Идет запись конфигурации...");
    case Operation::Reset:
    case Operation::EraseTrack: break;
    }
    return {};
}

QString SessionWording::closing(const Outcome& o) const
{
    switch (o.result) {
    case Result::Done:
        switch (o.operation) {
        case Operation::Read: return QStringLiteral("Конфигурация считана");
        case Operation::Write:
            // With several units connected, the user must be able to tell which one now holds it.
            if (o.unit)
                return QStringLiteral("Конфигурация записана\nID устройства: %1, IMEI %2").arg(o.unit->id).arg(o.unit->imei);
            return QStringLiteral("Конфигурация устройства обновлена");
        default: return {}; // a comparison shows its own window
        }
    case Result::NoAnswer: return QString::fromUtf16(kNoAnswerText);
    case Result::Damaged: return QStringLiteral("Повторите попытку");
    case Result::ShortRecord: // nothing of it taken; rvctl names the record and its length itself
    case Result::Malformed: return QStringLiteral("Ошибка данных");
    case Result::LinkLost:
    case Result::Disconnected: return {}; // the loss itself is said once, as a notice
    case Result::UnitRefused: return QStringLiteral("Конфигурация не записана\rнеобходимо обновить конфигуратор");
    case Result::UnitFailed: return QStringLiteral("Не удалось обновить конфигурацию");
    case Result::TooLittleData: return QStringLiteral("Мало данных");
    case Result::UnknownCommand: return QStringLiteral("Идентификатор %1 не известен").arg(o.code);
    case Result::DamagedCommand: return QStringLiteral("Ошибка целостности данных %1").arg(o.code);
    case Result::CommandDone: return QStringLiteral("Команда %1 выполнена").arg(o.code);
    }
    return {};
}

QString SessionWording::afterwards(const Outcome& o) const
{
    if (o.operation == Operation::Read && o.result == Result::Done)
        return QStringLiteral("Считано с устройства");
    if (o.result == Result::LinkLost && o.operation == Operation::Read)
        return QStringLiteral("Считывание прервано: потеряна связь");
    if (o.result == Result::LinkLost && o.operation == Operation::Write)
        return QStringLiteral("Запись прервана: потеряна связь");
    return {};
}

QString SessionWording::notice(const Note& n) const
{
    switch (n.notice) {
    case Notice::NotAllRead: return QStringLiteral("Не все данные считаны\rобновите конфигуратор");
    case Notice::PasswordRefused: return QStringLiteral("Пароль не верный :)");
    case Notice::PasswordAccepted: return QStringLiteral("Пароль принят");
    case Notice::PasswordAcceptedRepeat: return QStringLiteral("Пароль принят.\rПовторите операцию");
    case Notice::NeedsConfiguring: return QStringLiteral("Необходимо сконфигурировать устройство");
    case Notice::TrackErased: return QStringLiteral("Трек удален из памяти");
    case Notice::LinkLost: return QStringLiteral("Потеряна связь с устройством");
    case Notice::RunawayDropped:
        return QStringLiteral("Устройство передает данные без паузы, и они не складываются в ответ: %1 байт отброшено")
            .arg(n.count);
    case Notice::ConnectionClosed: return QStringLiteral("Соединение закрыто");
    case Notice::NoRemoteMonitoring:
        return QStringLiteral("Версия прошивки в приборе не поддерживает\r\nудаленное чтение мониторинговой информации!");
    case Notice::DataError: return QStringLiteral("Ошибка данных");
    case Notice::IntegrityError: return QStringLiteral("Ошибка целостности данных");
    case Notice::ServerPortMissing: return QStringLiteral("Введите порт сервера !");
    case Notice::ServerSettingsBad: return QStringLiteral("Сервер не запущен: %1").arg(n.detail);
    case Notice::ServerStartFailed: return QStringLiteral("Не удалось запустить сервер: %1").arg(n.detail);
    }
    return {};
}

QList<PanelText> SessionWording::panels(const LinkEvent& e) const
{
    switch (e.state) {
    case LinkState::Searching: return {{1, e.port}, {3, QStringLiteral("Настройка соединения...")}};
    case LinkState::PortUnavailable:
        // A port that is there but taken is not "not found": the status bar says what it is from the first.
        return {{1, QStringLiteral("NC")},
                {3, e.port + (e.failure == OpenFailure::Busy     ? QStringLiteral(" занят другой программой")
                              : e.failure == OpenFailure::Denied ? QStringLiteral(": нет доступа")
                                                                 : QStringLiteral(" не найден"))}};
    case LinkState::NotFound: return {{3, QStringLiteral("Устройство не обнаружено")}, {2, QString()}};
    case LinkState::Connected: return {{3, QStringLiteral("Соединение установлено")}};
    case LinkState::Lost: return {{2, QString()}, {3, QStringLiteral("Потеряна связь с устройством")}};
    case LinkState::Bootloader:
        return {{2, QString()}, {3, QStringLiteral("Режим загрузчика v%1.%2").arg(e.version / 10).arg(e.version % 10)}};
    case LinkState::NetworkChosen:
        return {{2, QString()}, {3, QStringLiteral("Выбран сетевой канал (TCP/IP)")}, {1, e.port}};
    case LinkState::PortChosen: return {{3, QStringLiteral("Настройка Com порта...")}, {1, e.port}};
    }
    return {};
}

QString SessionWording::server(ServerState state) const
{
    switch (state) {
    case ServerState::Stopped: return QStringLiteral("Сервер остановлен");
    case ServerState::Waiting: return QStringLiteral("Ожидается соединение...");
    case ServerState::Connected: return QStringLiteral("Соединение установлено");
    }
    return {};
}

SessionTexts::SessionTexts(UnitSession& session, QObject* parent) : QObject(parent)
{
    connect(&session, &UnitSession::linkChanged, this, [this](const LinkEvent& e) {
        for (const PanelText& p : sessionWording().panels(e))
            emit statusText(p.panel, p.text);
    });
    connect(&session, &UnitSession::operationEnded, this, [this](const Outcome& o) {
        if (const QString text = sessionWording().afterwards(o); !text.isEmpty())
            emit statusText(0, text);
    });
    connect(&session, &UnitSession::notice, this, [this](const Note& n) { emit message(sessionWording().notice(n)); });
}

} // namespace rv
