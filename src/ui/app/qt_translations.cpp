#include "ui/app/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace rv {

QTranslator* installQtTranslations(QCoreApplication& app)
{
    // The interface is Russian whatever the desktop's locale, so Qt's own texts are too.
    // The Windows folder carries them beside the program; elsewhere they are where Qt was installed.
    auto* qt = new QTranslator(&app);
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    const auto loadFrom = [&](const QString& folder) {
        return qt->load(russian, QStringLiteral("qtbase"), QStringLiteral("_"), folder);
    };
    if (!loadFrom(QCoreApplication::applicationDirPath() + QStringLiteral("/translations"))
        && !loadFrom(QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete qt;
        return nullptr;
    }
    QCoreApplication::installTranslator(qt);
    return qt;
}

} // namespace rv
