#include "ui/app/unit_controls.h"

#include "ui/app/adaptation.h"
#include "core/config/unit_profile.h"

#include <QAbstractButton>
#include <QComboBox>

namespace rv {

void UnitControls::enableButtons(QObject* root, bool on)
{
    m_buttonsEnabled = on;
    for (const QString& name : adapt::deviceButtons())
        adapt::setEnabledByName(root, name, on);
}

void UnitControls::applyGlonass(QObject* root, quint8 options)
{
    const bool glonass = UnitProfile(UnitProfile::kInitialType, options).glonass();
    if (!glonass) {
        for (QComboBox* mode : root->findChildren<QComboBox*>(QStringLiteral("GLONASS_rej")))
            mode->setCurrentIndex(1);  // "Только GPS"
    }
    for (const QString& name : adapt::glonassControls())
        adapt::setEnabledByName(root, name, glonass);
}

void UnitControls::adaptToOptions(QObject* root, quint8 options)
{
    m_options = options;
    applyGlonass(root, options);
}

void UnitControls::adaptToType(QObject* root, quint8 type)
{
    if (adapt::applyUnit(root, UnitProfile(type)))
        m_type = type;
}

void UnitControls::apply(QObject* root) const
{
    adapt::applyInitialState(root);
    if (m_type)
        adapt::applyUnit(root, UnitProfile(*m_type));
    if (m_options)
        applyGlonass(root, *m_options);
    for (const QString& name : adapt::deviceButtons())
        adapt::setEnabledByName(root, name, m_buttonsEnabled);
}

void UnitControls::showVoiceCaptions(QObject* root, quint8 type)
{
    QString clearText;
    QString listText;
    const UnitProfile unit(type);
    if (!unit.known())
        return;
    if (unit.voiceStorage() == VoiceStorage::Files) {
        clearText = QStringLiteral("Очистить");
        listText = QStringLiteral("Список имеющихся");
    } else {
        clearText = QStringLiteral("Открыть");
        listText = QStringLiteral("Сохранить в файл");
    }
    for (QAbstractButton* b : root->findChildren<QAbstractButton*>(QStringLiteral("Clear_voice_table")))
        b->setText(clearText);
    for (QAbstractButton* b : root->findChildren<QAbstractButton*>(QStringLiteral("List_voice_files")))
        b->setText(listText);
}

void UnitControls::showResetCaption(QObject* root, const QString& caption)
{
    for (QAbstractButton* b : root->findChildren<QAbstractButton*>(QStringLiteral("Reset_but"))) {
        b->setText(caption);
        b->setToolTip(caption + QStringLiteral(" устройство"));
        b->setAccessibleName(caption);
    }
}

} // namespace rv
