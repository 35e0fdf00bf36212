#include "unit_operation.h"

#include "console_text.h"

#include "core/monitor/monitor_labels.h"
#include "core/monitor/monitor_snapshot.h"
#include "core/protocol/session_texts.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <cstdio>

namespace rvctl {

namespace {

// After the handshake the first keep-alive poll asks for the DEVICE block within about 300 ms.
constexpr int kDeviceBlockMs = 5000;
// The password goes out one step (1 s) after it is given; the unit answers at once.
constexpr int kPasswordAnswerMs = 5000;
// The progress watchdog ends a stalled step after 10 s; this only guards against a cycle that neither
// finishes nor stalls (a unit answering with something unexpected forever).
constexpr int kOperationGuardMs = 60000;

void err(const QString& s)
{
    QString line = s;
    // Message-box texts break lines with CR (or CR LF); one line per message here.
    line.replace(QLatin1String("\r\n"), QLatin1String(" ")).replace(u'\r', u' ').replace(u'\n', u' ');
    writeText(stderr, "rvctl: " + line + u'\n');
}

} // namespace

QString unitTypeName(int type)
{
    return type >= 0 && type <= 0xFF ? rv::UnitProfile(uint8_t(type)).name() : QString();
}

QString buildText(const UnitInfo& i)
{
    return QString::asprintf("%.4d.%.4d.%.2d", int(i.build1), int(i.build2), int(i.build3));
}

static QString typeText(const UnitInfo& i)
{
    const QString name = unitTypeName(i.type);
    return name.isEmpty() ? QStringLiteral("unknown (type %1)").arg(i.type) : name;
}

static QString optionsText(const UnitInfo& i)
{
    return QStringLiteral("0x%1").arg(i.options, 8, 16, QLatin1Char('0'));
}

QString infoText(const UnitInfo& i)
{
    return QStringLiteral("Type: %1\nOptions: %2\nFirmware: %3\nBuild: %4\nID: %5\nIMEI: %6\n")
        .arg(typeText(i), optionsText(i))
        .arg(i.firmwareVersion)
        .arg(buildText(i))
        .arg(i.id)
        .arg(i.imei);
}

QByteArray infoJson(const UnitInfo& i)
{
    const QJsonObject o{
        {QStringLiteral("type"), typeText(i)},
        {QStringLiteral("typeCode"), i.type},
        {QStringLiteral("options"), optionsText(i)},
        {QStringLiteral("firmware"), i.firmwareVersion},
        {QStringLiteral("build"), buildText(i)},
        {QStringLiteral("id"), i.id},
        {QStringLiteral("imei"), i.imei},
    };
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

UnitOperation::UnitOperation(Kind kind, UnitOptions options, rv::ConfigRecords& records, QObject* parent)
    : QObject(parent), m_kind(kind), m_opt(std::move(options)), m_records(records),
      m_session(m_serial, &m_records, &m_monitor)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &UnitOperation::deadlineExpired);

    using S = rv::SessionController;
    connect(&m_session, &S::linkChanged, this, [this](const rv::LinkEvent& e) {
        QString text;
        for (const rv::PanelText& p : rv::sessionWording().panels(e))
            if (p.panel == 3)
                text = p.text;
        if (text.isEmpty())
            return;
        m_lastStatus = text;
        if (e.state != rv::LinkState::Searching)
            m_searchFailure = text;
        if (m_phase == Phase::Searching && !m_statusShown.contains(text)) {
            m_statusShown.insert(text); // discovery repeats every 2 s: say each text once
            err(text);
        }
    });
    connect(&m_session, &S::portOpenProblem, this, [this](const QString& why) {
        finish(ExitFailed, m_opt.port + QStringLiteral(": ") + why);
    });
    connect(&m_session, &S::buttonsEnabled, this, [this](bool on) {
        // Enabled: a handshake or NEWCONF. Disabled after that: the link is gone. Either way the
        // controller's handler is still running; act once it has returned.
        if (on && m_phase == Phase::Searching)
            QTimer::singleShot(0, this, &UnitOperation::found);
        else if (!on && m_phase != Phase::Searching)
            QTimer::singleShot(0, this, [this] { finish(ExitFailed, QStringLiteral("the unit is no longer answering")); });
    });
    connect(&m_session, &S::deviceConnected, this, [this](quint8 type, quint32 options) {
        m_info.type = type;
        m_info.options = options;
    });
    connect(&m_session, &S::bootloaderMode, this, [this](quint8, quint8) {
        finish(ExitFailed, QStringLiteral("the unit runs its bootloader, not its firmware"));
    });
    connect(&m_session, &S::deviceReceived, this, &UnitOperation::deviceBlock);
    connect(&m_session, &S::passwordWanted, this, &UnitOperation::passwordWanted);
    connect(&m_session, &S::notice, this, [this](const rv::Note& note) {
        if (m_phase != Phase::Done)
            err(rv::sessionWording().notice(note)); // for the user, as the main window shows it in a message box
    });
    connect(&m_session, &S::passwordReply, this, [this](char answer) {
        if (m_phase == Phase::Done)
            return;
        if (answer == '0') {
            finish(ExitFailed, QStringLiteral("the unit refused the password"));
        } else if (answer == '1' && m_phase == Phase::Password && !m_repeated) {
            m_repeated = true;
            err(QStringLiteral("password accepted; repeating the operation"));
            QTimer::singleShot(0, this, &UnitOperation::startOperation);
        } else if (answer != '?' && m_phase == Phase::Running) {
            finish(ExitFailed, QStringLiteral("the unit interrupted the operation with an unexpected password reply"));
        }
    });
    connect(&m_session, &S::operationEnded, this, &UnitOperation::operationEnded);
    // The words the progress display closed with last: a track read that failed says why in them.
    connect(&m_session.progress(), &rv::ProgressWatchdog::closed, this, [this](const QString& text) {
        if (!text.isEmpty())
            m_lastClosing = text;
    });
    connect(&m_session.progress(), &rv::ProgressWatchdog::changed, this, [this] {
        progressLine(m_session.progress().label());
    });
    connect(&m_serial, &rv::SerialLink::commError, this, [](const QString& text) { err(text); });
    if (m_kind == Kind::Track) {
        m_track = std::make_unique<rv::TrackRead>(m_session);
        connect(m_track.get(), &rv::TrackRead::finished, this, [this](bool complete) {
            // After the watchdog, if it was that, has closed the display with its words.
            QTimer::singleShot(0, this, [this, complete] { trackFinished(complete); });
        });
        // Progress in whole tens of percent of what the unit announced.
        connect(m_track.get(), &rv::TrackRead::readTextChanged, this, [this] {
            if (m_phase == Phase::Running)
                m_deadline.start(); // a long read is alive while blocks come
            const uint32_t total = m_track->announced();
            const int percent = total ? int(qint64(m_track->buffer().size()) * 10 / total) * 10 : 100;
            if (percent != m_trackPercent) {
                m_trackPercent = percent;
                err(QStringLiteral("%1 of %2 bytes (%3%)").arg(m_track->buffer().size()).arg(total).arg(percent));
            }
        });
    }
}

UnitOperation::~UnitOperation() = default;

int UnitOperation::exec()
{
    m_session.setPortName(m_opt.port);
    m_session.session().autoReadPending = false; // this front end starts the operation itself
    m_session.start(true);
    arm(m_opt.discoverySeconds * 1000, QString());
    QEventLoop loop;
    m_loop = &loop;
    if (m_exit < 0)
        loop.exec();
    m_loop = nullptr;
    return m_exit;
}

void UnitOperation::arm(int ms, const QString& why)
{
    m_deadlineMessage = why;
    m_deadline.start(ms);
}

void UnitOperation::deadlineExpired()
{
    if (m_phase == Phase::Searching) {
        const QString status = m_searchFailure.isEmpty() ? m_lastStatus : m_searchFailure;
        finish(ExitFailed, QStringLiteral("no unit found on %1 within %2 s (%3)")
                               .arg(m_opt.port).arg(m_opt.discoverySeconds)
                               .arg(status.isEmpty() ? QStringLiteral("no answer") : status));
        return;
    }
    finish(ExitFailed, m_deadlineMessage);
}

void UnitOperation::found()
{
    if (m_phase != Phase::Searching)
        return;
    if (m_session.session().connected) {
        // A handshake: the unit's identity and firmware come with the first DEVICE block, and a unit
        // whose firmware this configurator does not support is not operated on (as in the main window).
        m_phase = Phase::WaitDevice;
        arm(kDeviceBlockMs, QStringLiteral("the unit answered but sent no DEVICE block"));
        return;
    }
    // NEWCONF: the unit waits to be configured and tells nothing about itself.
    if (m_kind == Kind::Info) {
        finish(ExitFailed, QStringLiteral("the unit answered NEWCONF: it gives no identity until it is configured"));
        return;
    }
    startOperation();
}

void UnitOperation::deviceBlock()
{
    if (m_phase != Phase::WaitDevice)
        return;
    const rv::DeviceSnapshot d = rv::decodeDevice(m_monitor.device.bytes());
    m_info.firmwareVersion = d.firmwareVersion;
    m_info.build1 = d.build1;
    m_info.build2 = d.build2;
    m_info.build3 = d.build3;
    m_info.id = d.unitId;
    m_info.imei = d.imei;
    const rv::FirmwareCheck check = rv::checkFirmware(rv::UnitProfile(m_info.type), d);
    if (m_kind == Kind::Info) {
        if (check.incompatible)
            err(QStringLiteral("warning: ") + check.message);
        finish(ExitOk);
        return;
    }
    if (check.incompatible) {
        finish(ExitFailed, check.message);
        return;
    }
    startOperation();
}

void UnitOperation::startOperation()
{
    if (m_phase == Phase::Done)
        return;
    m_phase = Phase::Running;
    m_operationTimer.start();
    arm(kOperationGuardMs, QStringLiteral("the operation did not end"));
    if (m_kind == Kind::Read)
        m_session.Download_deviceClick();
    else if (m_kind == Kind::Track)
        m_track->DumpClick(m_opt.track);
    else
        m_session.Upload_deviceClick();
}

void UnitOperation::operationEnded(const rv::Outcome& o)
{
    if (m_phase != Phase::Running || m_kind == Kind::Track)
        return; // ended by a password request, or after the end
    if (!o.ok()) {
        switch (o.result) {
        case rv::Result::ShortRecord:
            finish(ExitFailed, QStringLiteral("the configuration did not arrive whole, nothing saved: %1 record: %2 of %3 bytes")
                                   .arg(QLatin1String(rv::recordMarker(o.record))).arg(o.length).arg(rv::recordSize(o.record)));
            return;
        case rv::Result::LinkLost:
            // The window's message for a lost link comes after the outcome; say it here, where rvctl ends.
            err(rv::sessionWording().notice({rv::Notice::LinkLost}));
            finish(ExitFailed, QStringLiteral("the unit is no longer answering"));
            return;
        default: finish(ExitFailed, rv::sessionWording().closing(o)); return;
        }
    }
    m_operationMs = m_operationTimer.elapsed();
    progressLine(rv::sessionWording().closing(o));
    if (m_kind == Kind::Read) {
        if (const QString missing = incompleteRead(); !missing.isEmpty()) {
            finish(ExitFailed, QStringLiteral("the configuration did not arrive whole, nothing saved: ") + missing);
            return;
        }
    }
    finish(ExitOk);
}

void UnitOperation::trackFinished(bool complete)
{
    if (m_phase != Phase::Running)
        return;
    if (!complete) {
        finish(ExitFailed, m_lastClosing.isEmpty() ? QStringLiteral("the track read did not end whole") : m_lastClosing);
        return;
    }
    m_operationMs = m_operationTimer.elapsed();
    progressLine(m_lastClosing);
    finish(ExitOk);
}

// A read succeeds only when each record came whole during it: a reply that fills part of a record, or
// none, would leave zeros in the file that a later write sends to a unit as settings. The session has
// checked each reply it took and keeps what it took of each.
QString UnitOperation::incompleteRead() const
{
    QStringList faults;
    for (const rv::RecordKind kind : {rv::RecordKind::Config, rv::RecordKind::InpOut, rv::RecordKind::ConfSe}) {
        const rv::RecordArrival& a = m_session.recordArrival(kind);
        if (a.whole(kind))
            continue;
        QString state;
        if (!a.received)
            state = QStringLiteral("not received");
        else if (a.status != '0')
            // The read ends on a "CONFSE" even when its status says the unit keeps no extended record.
            state = QStringLiteral("the unit sent none (status %1)")
                        .arg(a.status > 0x20 && a.status < 0x7F
                                 ? QStringLiteral("'%1'").arg(QLatin1Char(a.status))
                                 : QStringLiteral("0x%1").arg(uchar(a.status), 2, 16, QLatin1Char('0')));
        else
            state = QStringLiteral("%1 of %2 bytes").arg(a.length).arg(rv::recordSize(kind));
        faults << QStringLiteral("%1 record: %2").arg(QLatin1String(rv::recordMarker(kind)), state);
    }
    return faults.join(QStringLiteral("; "));
}

void UnitOperation::passwordWanted()
{
    if (m_phase == Phase::Done)
        return;
    if (!m_opt.password) {
        finish(ExitFailed, QStringLiteral("the unit's settings are locked by a password: give it with --password N"));
        return;
    }
    if (m_passwordSent) {
        finish(ExitFailed, QStringLiteral("the unit asks for the password again after accepting it"));
        return;
    }
    m_phase = Phase::Password;
    m_passwordSent = true;
    err(QStringLiteral("the unit asks for its password; sending it"));
    arm(kPasswordAnswerMs, QStringLiteral("the unit did not answer the password"));
    // The dispatcher returns to osIdle after this signal; the password step must be set after that.
    QTimer::singleShot(0, this, [this] {
        if (m_phase == Phase::Password)
            m_session.submitPassword(*m_opt.password);
    });
}

void UnitOperation::progressLine(const QString& text)
{
    if (text.isEmpty() || text == m_lastProgress)
        return;
    m_lastProgress = text;
    err(text);
}

void UnitOperation::finish(int code, const QString& error)
{
    if (m_exit >= 0)
        return;
    m_exit = code;
    m_phase = Phase::Done;
    m_deadline.stop();
    if (!error.isEmpty())
        err(error);
    m_session.progress().Progress_close();
    m_session.shutdown(); // "CONFIGC" and the port closed
    if (m_loop)
        m_loop->exit(code);
}

} // namespace rvctl
