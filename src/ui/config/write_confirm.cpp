#include "ui/config/write_confirm.h"

#include "core/protocol/device_session.h"
#include "core/settings/app_settings.h"
#include "core/settings/program_folder.h"
#include "ui/app/main_window.h"
#include "ui/config/compare_window.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace rv {

namespace {
QString settingsFile() { return programFile(QString::fromUtf16(kSettingsFileName)); }
} // namespace

WriteConfirmDialog::WriteConfirmDialog(QWidget* parent)
    : QDialog(parent), m_table(newDifferenceTable(QStringLiteral("Changes"), this)), m_summary(new QLabel(this)),
      m_dontAsk(new QCheckBox(QStringLiteral("Больше не спрашивать"), this)),
      m_write(new QPushButton(QStringLiteral("Записать"), this)),
      m_cancel(new QPushButton(QStringLiteral("Отмена"), this))
{
    setObjectName(QStringLiteral("WriteConfirm"));
    setWindowTitle(QStringLiteral("Запись конфигурации в устройство"));
    m_summary->setObjectName(QStringLiteral("Summary"));
    m_dontAsk->setObjectName(QStringLiteral("DontAsk"));
    m_write->setObjectName(QStringLiteral("ConfirmWrite"));
    m_cancel->setObjectName(QStringLiteral("CancelWrite"));
    // Enter and Escape leave the unit as it is; only the click on "Записать" writes.
    m_write->setAutoDefault(false);
    m_cancel->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_dontAsk);
    buttons->addStretch(1);
    buttons->addWidget(m_write);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
    resize(760, 420);

    connect(m_write, &QPushButton::clicked, this, [this] {
        accept();
        emit confirmed(m_dontAsk->isChecked());
    });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void WriteConfirmDialog::showChanges(const QList<RecordDifference>& list)
{
    showDifferenceRows(m_table, QStringLiteral("На устройстве"), list);
    m_table->setVisible(!list.isEmpty());
    m_summary->setText(list.isEmpty()
                           ? QStringLiteral("Запись ничего не изменит: устройство хранит то же, что было считано")
                           : QStringLiteral("Запись изменит на устройстве (%1):").arg(list.size()));
    m_dontAsk->setChecked(false);
    m_cancel->setFocus();
    open();
}

WriteConfirmation::WriteConfirmation(MainWindow& w, SessionController& s, CompareBinding& compare)
    : QObject(&w), m_window(w), m_session(s), m_compare(compare), m_dialog(new WriteConfirmDialog(&w))
{
    w.addWindow(m_dialog);
    w.setWriteGuard([this] { return beforeWrite(); });
    connect(&s, &SessionController::readCycleFinished, this, [this] { m_unit = m_session.records(); });
    // After a write the unit holds what was sent: the next write lists what changes against that.
    connect(&s, &SessionController::writeCycleFinished, this, [this] {
        if (m_unit)
            m_unit = m_session.records();
    });
    connect(&s, &SessionController::copyReadFinished, this, [this](bool ok) {
        if (ok && m_unit)
            m_unit = m_session.unitCopy();
    });
    // A unit found anew may be another unit: what was read from the last one says nothing about it.
    connect(&s, &SessionController::deviceConnected, this, [this] { m_unit.reset(); });
    connect(m_dialog, &WriteConfirmDialog::confirmed, this, [this](bool dontAsk) {
        QString error;
        OutputFileResult saved;
        if (dontAsk && !writeConfirmWrite(settingsFile(), false, &error, &saved)) {
            // The choice is not kept: the user hears why, rather than being asked again unawares.
            if (!saved.ok())
                m_window.showMessage(outputFileMessage(saved));
            else
                qWarning("Config.ini not written: %s", qPrintable(error));
        }
        m_window.writeToUnit();
    });
}

bool WriteConfirmation::beforeWrite()
{
    if (!m_unit || !readConfirmWrite(settingsFile()))
        return false;
    if (!m_dialog->isVisible())
        m_dialog->showChanges(m_compare.compareWith(*m_unit));
    return true;
}

} // namespace rv
