#pragma once

class QCoreApplication;
class QTranslator;

namespace rv {

// Qt's own texts (standard dialog buttons, file dialogs, edit context menus) in Russian, from the
// translations installed with Qt. Returns the installed translator (owned by `app`), or nullptr when none
// could be loaded: Qt then speaks English.
QTranslator* installQtTranslations(QCoreApplication& app);

} // namespace rv
