#include "ui/devicefiles/voice_binding.h"

#include "core/config/unit_profile.h"
#include "core/devicefiles/voice_messages.h"
#include "core/protocol/device_session.h"
#include "ui/app/main_window.h"
#include "ui/app/navigation.h"
#include "ui/devicefiles/voice_page.h"

#include <QFileDialog>
#include <QPushButton>
#include <QTableWidget>

namespace rv {

namespace {
const QString kWavFilter = QStringLiteral("Audio file [*.wav] (*.wav)");
const QString kArchiveFilter = QStringLiteral("Voice file archive [*.vfa] (*.vfa)");
} // namespace

VoiceBinding::VoiceBinding(MainWindow& w, SessionController& s, FileTransfer& transfer)
    : QObject(&w), m_window(w), m_session(s), m_voice(new VoiceMessages(s, transfer, this))
{
    m_page = new VoicePage;
    w.setPage(nav::Voice_files, m_page);

    connect(m_voice, &VoiceMessages::rowChanged, this,
            [this](int row) { m_page->showRow(row, m_voice->fileText(row), m_voice->sizeText(row)); });
    connect(m_voice, &VoiceMessages::gaugeChanged, this, &VoiceBinding::refreshGauge);
    connect(m_voice, &VoiceMessages::message, &w, &MainWindow::showMessage);
    connect(m_voice, &VoiceMessages::statusText, &w, &MainWindow::setStatusText);
    connect(m_page, &VoicePage::cellEdited, this, [this](int row, int column, const QString& text) {
        if (column == 1)
            m_voice->setFileText(row, text);
        else
            m_voice->setSizeText(row, text);
    });
    connect(m_page, &VoicePage::assignRequested, this, &VoiceBinding::Voice_messageContextPopup);
    connect(m_page->saveButton(), &QPushButton::clicked, this, &VoiceBinding::SaveToSDClick);
    connect(m_page->clearButton(), &QPushButton::clicked, this, &VoiceBinding::Clear_voice_tableClick);
    connect(m_page->listButton(), &QPushButton::clicked, this, &VoiceBinding::List_voice_filesClick);
    refreshGauge();
}

VoiceBinding::~VoiceBinding() = default;

bool VoiceBinding::archiveType() const
{
    return UnitProfile(m_session.session().DeviceType).voiceStorage() == VoiceStorage::Archive;
}

void VoiceBinding::refreshGauge()
{
    m_page->showGauge(static_cast<qint64>(std::min<uint64_t>(m_voice->usedBytes(), INT64_MAX)),
                      m_voice->gaugeMaximum(), m_voice->gaugeText());
}

QFileDialog* VoiceBinding::dialog(const char* name, const QString& filter, const QString& fileName, bool save)
{
    auto* d = new QFileDialog(&m_window);
    d->setObjectName(QLatin1String(name));
    d->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    d->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    d->setNameFilter(filter);
    d->selectFile(fileName);
    d->setAttribute(Qt::WA_DeleteOnClose);
    return d;
}

void VoiceBinding::Voice_messageContextPopup(int row)
{
    QFileDialog* d = dialog("VoiceWavDialog", kWavFilter, QStringLiteral("*.wav"), false);
    connect(d, &QFileDialog::fileSelected, this, [this, row](const QString& path) { wavChosen(row, path); });
    d->open();
}

void VoiceBinding::wavChosen(int row, const QString& path)
{
    if (!path.isEmpty())
        m_voice->assignFile(row, path);
}

void VoiceBinding::SaveToSDClick()
{
    if (!archiveType()) {
        m_voice->writeFiles();
        return;
    }
    QFileDialog* d = dialog("VoiceArchiveWriteDialog", kArchiveFilter, QString::fromLatin1(voice::kArchiveName), false);
    connect(d, &QFileDialog::fileSelected, this, &VoiceBinding::archiveChosenForWrite);
    d->open();
}

void VoiceBinding::archiveChosenForWrite(const QString& path)
{
    if (!path.isEmpty())
        m_voice->writeArchive(path);
}

void VoiceBinding::Clear_voice_tableClick()
{
    if (!archiveType()) {
        m_voice->clearFiles();
        return;
    }
    // "Открыть": the table from an archive file.
    QFileDialog* d = dialog("VoiceArchiveOpenDialog", kArchiveFilter, QString::fromLatin1(voice::kArchiveName), false);
    connect(d, &QFileDialog::fileSelected, this, &VoiceBinding::archiveChosenForOpen);
    d->open();
}

void VoiceBinding::archiveChosenForOpen(const QString& path)
{
    if (!path.isEmpty())
        m_voice->openArchive(path);
}

void VoiceBinding::List_voice_filesClick()
{
    if (!archiveType()) {
        m_voice->listFiles();
        return;
    }
    // "Сохранить в файл": the table into an archive file.
    QFileDialog* d = dialog("VoiceArchiveSaveDialog", kArchiveFilter, QString::fromLatin1(voice::kArchiveName), true);
    connect(d, &QFileDialog::fileSelected, this, &VoiceBinding::archiveChosenForSave);
    d->open();
}

void VoiceBinding::archiveChosenForSave(const QString& path)
{
    if (!path.isEmpty())
        m_voice->saveArchive(path);
}

} // namespace rv
