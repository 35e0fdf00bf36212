#pragma once

// Capturing iButton keys from the unit's reader into the five key rows of the Ohrana page. A key is
// taken when the code shown changes while that page is visible; the previous code is remembered
// whichever page is shown, so a key held on the reader is taken only once.

#include <QString>
#include <QStringList>

namespace rv {

class IButtonCapture
{
public:
    static constexpr int kRows = 5;

    enum class Outcome {
        None,           // nothing to do (other page, same key, or no key)
        AlreadyStored,  // message "Данный ключ уже записан"
        Stored,         // put `key` into row `row` (1..5)
        NoFreeRow,      // message "Нет свободного места"
    };

    struct Result
    {
        Outcome outcome = Outcome::None;
        int row = 0;        // 1..5 when Stored
        QString key;        // the twelve hex digits presented
        QString message;    // text to show, empty when none
    };

    // `keyText`: the twelve hex digits as shown in LiBut; `rows`: the texts of key rows 1..5
    // (iButtonGrid column 1; missing entries count as empty).
    Result present(const QString& keyText, bool ohranaPageShown, const QStringList& rows);

    const QString& remembered() const { return m_remembered; }
    void reset() { m_remembered.clear(); }

private:
    QString m_remembered;  // initially empty
};

} // namespace rv
