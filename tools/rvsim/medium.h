#pragma once

// The unit's storage medium: one folder per area (1 logs, 3 voice, 4 route). Files placed in the
// medium folder are served as they are; a day's log that is not there is made up (realistic text in
// Windows-1251, its size set by the date), and every file the configurator writes is kept there.

#include <QByteArray>
#include <QMap>
#include <QString>

#include <cstdint>
#include <optional>

namespace rvsim {

struct MediumOptions {
    bool present = true;       // false: no medium (open for reading 7, for writing 5)
    bool supported = true;     // false: every "CONFIGF" is answered 255
    int chunk = 1000;          // data bytes per "FLRW" chunk (the reply must fit 1024 bytes)
    bool readError = false;    // answer 8 instead of the second chunk
    bool writeError = false;   // answer 5 to the first data chunk
    bool overshoot = false;    // the last chunk carries more than the announced size
    int silentAfter = -1;      // stop answering after this many chunks (read or write)
    int dropAfter = -1;        // drop the line after this many chunks
    QString folder;            // where files live; empty: in memory only
    qsizetype logSize = -1;    // every made-up log has this size
    uint32_t voiceCapacity = 2097152; // room for a voice archive ("+VMS"), types 3 and 4
};

class Medium {
public:
    explicit Medium(MediumOptions options);
    const MediumOptions& options() const { return m_o; }
    std::optional<QByteArray> read(uint8_t area, const QByteArray& name) const;
    bool write(uint8_t area, const QByteArray& name, const QByteArray& data);

    // The made-up log of a date "yyyy-mm-dd": days of 2020..2030 only; size 700 bytes on the 1st, then
    // 8 KiB a day of the month (about 250 KB on the 31st).
    static std::optional<QByteArray> dayLog(const QByteArray& date, qsizetype size = -1);

private:
    QString pathOf(uint8_t area, const QByteArray& name) const;
    MediumOptions m_o;
    mutable QMap<QString, QByteArray> m_memory;
};

// Russian text as Windows-1251 bytes (Cyrillic letters, Ё/ё and №; other non-ASCII as '?').
QByteArray cp1251(const QString& text);

} // namespace rvsim
