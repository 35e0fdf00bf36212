#include "ui/app/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace rv {

QTranslator* installQtTranslations(QCoreApplication& app)
{
    // The interface is Russian whatever the desktop's locale, so Qt's own texts are too.
    auto* qt = new QTranslator(&app);
    if (!qt->load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"), QStringLiteral("_"),
                  QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete qt;
        return nullptr;
    }
    QCoreApplication::installTranslator(qt);
    return qt;
}

} // namespace rv
