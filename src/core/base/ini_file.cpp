#include "core/base/ini_file.h"

#include "core/base/cp1251.h"

#include <QStringDecoder>

namespace rv {

namespace {

QString decodeText(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return cp1251::decode(bytes);
}

// The profile functions strip one pair of matching quotes; the writer adds them back when a value
// would otherwise lose its outer spaces or quotes.
QString unquote(const QString& v)
{
    if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
        return v.mid(1, v.size() - 2);
    return v;
}

// A key beginning with '[' whose line would end with ']' would read back as a section header; the quotes
// keep it an entry.
QString quoteIfNeeded(const QString& key, const QString& v)
{
    if (v.isEmpty())
        return v;
    const bool outerSpace = v.front().isSpace() || v.back().isSpace();
    const bool looksQuoted = v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front();
    const bool looksLikeHeader = key.startsWith(u'[') && v.endsWith(u']');
    return (outerSpace || looksQuoted || looksLikeHeader) ? u'"' + v + u'"' : v;
}

// One line per entry: a line break inside a name or value would split it.
bool oneLine(const QString& s)
{
    return !s.contains(u'\r') && !s.contains(u'\n') && s.isValidUtf16();
}

constexpr char16_t kBom = 0xFEFF;

bool writableSection(const QString& name)
{
    return oneLine(name) && name == name.trimmed();
}

bool writableKey(const QString& key)
{
    return oneLine(key) && !key.isEmpty() && key == key.trimmed() && !key.contains(u'=')
           && !key.startsWith(u';') && !key.startsWith(u'#') && !key.startsWith(kBom);
}

} // namespace

std::optional<IniFile> IniFile::load(const QString& path)
{
    Read r = read(path);
    if (!r.ok())
        return std::nullopt;
    return std::move(r.ini);
}

IniFile::Read IniFile::read(const QString& path)
{
    Read r;
    const InputFileBytes in = readInputFile(path, kMaxFileSize);
    r.error = in.error;
    if (in.ok())
        r.ini = parse(in.bytes);
    return r;
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
                out += l.key + u'=' + quoteIfNeeded(l.key, l.text) + u'\n';
            else
                out += l.text + u'\n';
        }
    }
    // A reader skips one byte-order mark at the start; text that begins with that character keeps it
    // behind one of ours.
    if (out.startsWith(kBom))
        out.prepend(kBom);
    return out.toUtf8();
}

bool IniFile::save(const QString& path, QString* error, OutputFileResult* result) const
{
    const OutputFileResult r = saveOutputFile(path, toBytes());
    if (result)
        *result = r;
    if (!r.ok() && error)
        *error = outputFileMessageEn(r);
    return r.ok();
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

bool IniFile::setValue(const QString& section, const QString& key, const QString& value)
{
    if (!writableSection(section) || !writableKey(key) || !oneLine(value))
        return false;
    Section* s = findSection(section);
    if (!s) {
        if (m_sections.isEmpty())
            m_sections.append(Section{});
        m_sections.append(Section{section, true, {}});
        s = &m_sections.last();
    }
    for (Line& l : s->lines) {
        if (l.isEntry && l.key.compare(key, Qt::CaseInsensitive) == 0) {
            l.text = value;
            return true;
        }
    }
    // New keys go after the last entry, ahead of trailing blank lines that separate sections.
    qsizetype at = s->lines.size();
    while (at > 0 && !s->lines[at - 1].isEntry && s->lines[at - 1].text.trimmed().isEmpty())
        --at;
    s->lines.insert(at, Line{true, key, value});
    return true;
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
