#include "ui/firmware/firmware_window.h"

#include "core/firmware/firmware_image.h"

#include <QShowEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>

namespace rv {

namespace {
QLabel* label(const char* name, const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    return l;
}
} // namespace

FirmwareWindow::FirmwareWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TForm7"));
    setWindowTitle(QStringLiteral("Обновление ПО"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(label("Label2", QStringLiteral("Выберите файл прошивки"), this), 0, 0, 1, 2);
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("Firmware_name"));
    m_name->setReadOnly(true);
    m_name->setMinimumWidth(320);
    grid->addWidget(m_name, 1, 0);
    m_open = new QPushButton(QStringLiteral("///"), this);
    m_open->setObjectName(QStringLiteral("Open_fw"));
    m_open->setToolTip(QStringLiteral("Выбрать файл прошивки"));
    m_open->setAccessibleName(m_open->toolTip());
    grid->addWidget(m_open, 1, 1);
    m_ver = label("Ver", QStringLiteral("Версия ПО:"), this);
    m_hard = label("HARDVER", QStringLiteral("Hard:"), this);
    m_size = label("Size", QStringLiteral("Size"), this);
    m_crc = label("CRC", QStringLiteral("CRC"), this);
    m_build = label("Label1", QStringLiteral("Сборка"), this);
    int row = 2;
    for (QLabel* l : {m_ver, m_hard, m_size, m_crc, m_build})
        grid->addWidget(l, row++, 0, 1, 2);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("Progress_flash"));
    m_progress->setRange(0, 1000);
    m_progress->setValue(0);
    grid->addWidget(m_progress, row++, 0, 1, 2);
    m_program = new QPushButton(QStringLiteral("Обновить программу"), this);
    m_program->setObjectName(QStringLiteral("Program_flash"));
    m_program->setEnabled(false);
    grid->addWidget(m_program, row, 0, 1, 2);

    connect(m_open, &QPushButton::clicked, this, &FirmwareWindow::openRequested);
    connect(m_program, &QPushButton::clicked, this, &FirmwareWindow::programRequested);
}

void FirmwareWindow::FormShow()
{
    clearImage();
}

void FirmwareWindow::clearImage()
{
    m_program->setEnabled(false);
    m_name->clear();
    for (QLabel* l : {m_ver, m_hard, m_size, m_crc, m_build})
        l->clear();
    m_progress->setValue(0);
}

void FirmwareWindow::showImage(const QString& path, const FirmwareHeader& header)
{
    m_ver->setText(header.versionText());
    m_hard->setText(header.hardwareText());
    m_size->setText(header.sizeText());
    m_crc->setText(header.checkText());
    m_build->setText(header.buildText());
    m_progress->setValue(0);
    m_name->setText(path);
}

void FirmwareWindow::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

bool FirmwareWindow::confirmClose()
{
    if (!m_busy || !m_busy())
        return true;
    if (!m_question) {
        // Asked without blocking; "Да" stops the run cleanly and closes, "Нет" carries on.
        m_question = new QMessageBox(QMessageBox::Question, windowTitle(),
                                     QStringLiteral("Идет программирование устройства.\nПрервать обновление ПО?"),
                                     QMessageBox::Yes | QMessageBox::No, this);
        m_question->setObjectName(QStringLiteral("StopFlashQuestion"));
        m_question->setAttribute(Qt::WA_DeleteOnClose);
        m_question->button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
        m_question->button(QMessageBox::No)->setText(QStringLiteral("Нет"));
        connect(m_question, &QMessageBox::finished, this, [this](int result) {
            m_question = nullptr;
            if (result != QMessageBox::Yes)
                return;
            emit stopRequested();
            QDialog::reject();
            emit closed();
        });
        m_question->open();
    }
    return false;
}

void FirmwareWindow::reject()
{
    // Escape and the title bar's close button (through closeEvent) come here.
    if (!confirmClose())
        return;
    QDialog::reject();
    emit closed();
}

} // namespace rv
