#include "ui/devicefiles/devicefiles_binding.h"

#include "core/devicefiles/file_transfer.h"
#include "core/monitor/log_decoder.h"
#include "core/protocol/device_session.h"
#include "ui/app/main_window.h"
#include "ui/app/navigation.h"
#include "ui/devicefiles/file_page.h"
#include "ui/devicefiles/log_window.h"

#include <QFile>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTime>

namespace rv {

DeviceFilesBinding::DeviceFilesBinding(MainWindow& w, SessionController& s)
    : QObject(&w), m_window(w), m_session(s), m_transfer(new FileTransfer(s, this))
{
    m_page = new FilePage;
    w.setPage(nav::FL_page, m_page);

    // The log window replaces the main window's empty shell.
    QDialog* shell = w.window(QStringLiteral("TForm9"));
    m_log = new LogWindow(&w);
    w.addWindow(m_log);
    if (shell && shell != m_log)
        shell->deleteLater();

    connect(m_page->readLogButton(), &QPushButton::clicked, this,
            [this] { m_transfer->Read_log_fileClick(m_page->logDateText()); });
    connect(m_transfer, &FileTransfer::message, &w, &MainWindow::showMessage);
    connect(m_transfer, &FileTransfer::logReadStarted, this, [this](const QString& date) {
        m_log->memo()->clear();
        m_log->setLogDate(date);
        m_log->setWindowTitle(QStringLiteral("Файл диагностики от ") + date);
    });
    connect(m_transfer, &FileTransfer::logFileRead, this, &DeviceFilesBinding::loadLogFile);

    // The live log tail of every device block, whether or not the window is shown.
    connect(&s, &SessionController::logEvents, this,
            [this](const QByteArray& codes) { m_log->appendLines(Log_decode(codes, QTime::currentTime())); });
    // The tail is asked for only while the window is open.
    connect(m_log, &LogWindow::hidden, this, [this] { m_session.setMonitorFlag(cmd::kFlagLogTrailer, false); });
    connect(m_log, &LogWindow::saveRequested, this, [this] {
        auto* dialog = new QFileDialog(&m_window, QString(), m_log->proposedFileName(),
                                       QStringLiteral("Log file [*.log] (*.log)"));
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(dialog, &QFileDialog::fileSelected, this, &DeviceFilesBinding::saveLogTo);
        dialog->open();
    });
}

DeviceFilesBinding::~DeviceFilesBinding() = default;

void DeviceFilesBinding::loadLogFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        m_window.showMessage(QStringLiteral("Не удается открыть файл ") + path);
        return;
    }
    m_log->setLines(logFileLines(f.readAll()));
    m_log->show();
    m_log->raise();
}

void DeviceFilesBinding::saveLogTo(const QString& path)
{
    if (path.isEmpty())
        return;
    if (!saveLogText(path, m_log->text()))
        m_window.setStatusText(0, QStringLiteral("Не удалось сохранить"));
}

} // namespace rv
