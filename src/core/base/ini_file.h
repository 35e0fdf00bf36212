#pragma once

// A small INI reader and writer for the program's own settings file. It keeps sections, keys and
// comments in their order, so rewriting a file changes only the values that were set.

#include "core/base/output_file.h"
#include "core/base/input_file.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace rv {

class IniFile {
public:
    // Files larger than this are not settings files; they are treated as unreadable.
    static constexpr qint64 kMaxFileSize = 1 << 20;

    // Reads a file; nullopt when it is missing, unreadable or too large.
    static std::optional<IniFile> load(const QString& path);
    struct Read;
    // Reads a file and says why it could not (a missing file is not the same as one that is there but
    // could not be read whole: the latter must not be written over).
    static Read read(const QString& path);

    // Parses bytes: UTF-8 when they are valid UTF-8 (a BOM is skipped), else Windows-1251.
    // CRLF, LF and lone CR line ends are all accepted.
    static IniFile parse(QByteArrayView bytes);

    // The text written back: UTF-8 with LF line ends. Parsing it gives the same sections, keys and values.
    QByteArray toBytes() const;

    // Saves through the output-file door, so a failed save leaves the old file as it was; `error` gets
    // the reason in English, `result` the whole outcome.
    bool save(const QString& path, QString* error = nullptr, OutputFileResult* result = nullptr) const;

    // Section and key names match without regard to case, as the Windows profile functions do;
    // the first of duplicated keys wins.
    bool contains(const QString& section, const QString& key) const;
    QString value(const QString& section, const QString& key, const QString& fallback = {}) const;
    // False, and nothing changes, when the entry could not be read back as given: a line break in any of
    // the three, a key that is empty, has outer spaces, holds '=' or begins like a comment (';', '#'),
    // a section name with outer spaces, or text that is not valid UTF-16.
    bool setValue(const QString& section, const QString& key, const QString& value);

    QStringList sections() const;
    QStringList keys(const QString& section) const;

private:
    struct Line {
        bool isEntry = false;
        QString key;   // entries
        QString text;  // the value of an entry, or the whole text of a comment or blank line
    };
    struct Section {
        QString name;  // empty for the lines before the first header
        bool hasHeader = false;
        QList<Line> lines;
    };

    const Section* findSection(const QString& name) const;
    Section* findSection(const QString& name);

    QList<Section> m_sections;
};

struct IniFile::Read {
    InputFileError error = InputFileError::None;
    IniFile ini; // empty unless error is None
    bool ok() const { return error == InputFileError::None; }
};

} // namespace rv
