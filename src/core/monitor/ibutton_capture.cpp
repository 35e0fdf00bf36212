#include "core/monitor/ibutton_capture.h"

namespace rv {

namespace {

// The unit reports all zeros when no key has been read; that is not a key to store.
bool isNoKey(const QString& key)
{
    for (QChar c : key)
        if (c != QLatin1Char('0'))
            return false;
    return true;
}

} // namespace

IButtonCapture::Result IButtonCapture::present(const QString& keyText, bool ohranaPageShown, const QStringList& rows)
{
    Result r;
    r.key = keyText;
    const bool changed = keyText != m_remembered;
    m_remembered = keyText;
    if (!ohranaPageShown || !changed || isNoKey(keyText))
        return r;

    // Cells typed by hand may hold lower-case hex digits: they still name the same key.
    for (int i = 0; i < kRows && i < rows.size(); ++i) {
        if (rows[i].trimmed().compare(keyText, Qt::CaseInsensitive) == 0) {
            r.outcome = Outcome::AlreadyStored;
            r.message = QStringLiteral("Данный ключ уже записан");
            return r;
        }
    }
    for (int i = 0; i < kRows; ++i) {
        if (i >= rows.size() || rows[i].trimmed().isEmpty()) {
            r.outcome = Outcome::Stored;
            r.row = i + 1;
            return r;
        }
    }
    r.outcome = Outcome::NoFreeRow;
    r.message = QStringLiteral("Нет свободного места");
    return r;
}

} // namespace rv
