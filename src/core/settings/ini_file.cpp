#include "core/settings/ini_file.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

#include <array>

namespace rv {

namespace {

// Code points of the bytes 0x80..0xFF in Windows-1251; 0x98 is unassigned.
constexpr std::array<char16_t, 128> kCp1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

QString decodeText(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return decodeCp1251ForSettings(bytes);
}

// The profile functions strip one pair of matching quotes; the writer adds them back when a value
// would otherwise lose its outer spaces or quotes.
QString unquote(const QString& v)
{
    if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
        return v.mid(1, v.size() - 2);
    return v;
}

QString quoteIfNeeded(const QString& v)
{
    if (v.isEmpty())
        return v;
    const bool outerSpace = v.front().isSpace() || v.back().isSpace();
    const bool looksQuoted = v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front();
    return (outerSpace || looksQuoted) ? u'"' + v + u'"' : v;
}

// One line per entry: a line break inside a value or key would split the entry.
QString oneLine(QString s)
{
    s.replace(u'\r', u' ');
    s.replace(u'\n', u' ');
    return s;
}

} // namespace

QString decodeCp1251ForSettings(QByteArrayView bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out.append(b < 0x80 ? QChar(b) : QChar(kCp1251High[b - 0x80]));
    }
    return out;
}

std::optional<IniFile> IniFile::load(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    if (f.size() > kMaxFileSize)
        return std::nullopt;
    const QByteArray bytes = f.read(kMaxFileSize + 1);
    if (bytes.size() > kMaxFileSize || f.error() != QFileDevice::NoError)
        return std::nullopt;
    return parse(bytes);
}

IniFile IniFile::parse(QByteArrayView bytes)
{
    QString text = decodeText(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    if (text.endsWith(u'\n'))
        text.chop(1);

    IniFile ini;
    ini.m_sections.append(Section{});
    if (text.isEmpty())
        return ini;
    for (const QString& raw : text.split(u'\n')) {
        const QString line = raw.trimmed();
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            ini.m_sections.append(Section{line.mid(1, line.size() - 2).trimmed(), true, {}});
            continue;
        }
        Line l;
        const qsizetype eq = line.indexOf(u'=');
        if (eq > 0 && !line.startsWith(u';') && !line.startsWith(u'#')) {
            l.isEntry = true;
            l.key = line.left(eq).trimmed();
            l.text = unquote(line.mid(eq + 1).trimmed());
        } else {
            l.text = raw;
        }
        ini.m_sections.last().lines.append(l);
    }
    return ini;
}

QByteArray IniFile::toBytes() const
{
    QString out;
    for (const Section& s : m_sections) {
        if (s.hasHeader)
            out += u'[' + s.name + QStringLiteral("]\n");
        for (const Line& l : s.lines) {
            if (l.isEntry)
                out += l.key + u'=' + quoteIfNeeded(l.text) + u'\n';
            else
                out += l.text + u'\n';
        }
    }
    return out.toUtf8();
}

bool IniFile::save(const QString& path, QString* error) const
{
    QSaveFile f(path);
    const QByteArray bytes = toBytes();
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}

const IniFile::Section* IniFile::findSection(const QString& name) const
{
    for (const Section& s : m_sections) {
        if (s.hasHeader && s.name.compare(name, Qt::CaseInsensitive) == 0)
            return &s;
    }
    return nullptr;
}

IniFile::Section* IniFile::findSection(const QString& name)
{
    return const_cast<Section*>(std::as_const(*this).findSection(name));
}

bool IniFile::contains(const QString& section, const QString& key) const
{
    if (const Section* s = findSection(section)) {
        for (const Line& l : s->lines) {
            if (l.isEntry && l.key.compare(key, Qt::CaseInsensitive) == 0)
                return true;
        }
    }
    return false;
}

QString IniFile::value(const QString& section, const QString& key, const QString& fallback) const
{
    if (const Section* s = findSection(section)) {
        for (const Line& l : s->lines) {
            if (l.isEntry && l.key.compare(key, Qt::CaseInsensitive) == 0)
                return l.text;
        }
    }
    return fallback;
}

void IniFile::setValue(const QString& section, const QString& key, const QString& value)
{
    Section* s = findSection(section);
    if (!s) {
        if (m_sections.isEmpty())
            m_sections.append(Section{});
        m_sections.append(Section{oneLine(section).trimmed(), true, {}});
        s = &m_sections.last();
    }
    for (Line& l : s->lines) {
        if (l.isEntry && l.key.compare(key, Qt::CaseInsensitive) == 0) {
            l.text = oneLine(value);
            return;
        }
    }
    // New keys go after the last entry, ahead of trailing blank lines that separate sections.
    qsizetype at = s->lines.size();
    while (at > 0 && !s->lines[at - 1].isEntry && s->lines[at - 1].text.trimmed().isEmpty())
        --at;
    s->lines.insert(at, Line{true, oneLine(key).trimmed(), oneLine(value)});
}

QStringList IniFile::sections() const
{
    QStringList out;
    for (const Section& s : m_sections) {
        if (s.hasHeader)
            out.append(s.name);
    }
    return out;
}

QStringList IniFile::keys(const QString& section) const
{
    QStringList out;
    if (const Section* s = findSection(section)) {
        for (const Line& l : s->lines) {
            if (l.isEntry)
                out.append(l.key);
        }
    }
    return out;
}

} // namespace rv
