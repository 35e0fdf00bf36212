#include "core/config/record_text.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <charconv>
#include <utility>

namespace rv {

namespace {

QList<RecordBase*> recordList(ConfigRecords& r) { return {&r.config, &r.inpOut, &r.confSe}; }
QList<const RecordBase*> recordList(const ConfigRecords& r) { return {&r.config, &r.inpOut, &r.confSe}; }

QString recordName(const RecordBase& r)
{
    return QString::fromLatin1(r.layout().name.data(), qsizetype(r.layout().name.size()));
}

// The dumps are written piece by piece into one string: a few thousand lines, each of which would otherwise
// cost several temporary strings.
void appendFieldName(QString& out, const FieldDef& f)
{
    out += QLatin1String(f.name.data(), qsizetype(f.name.size()));
    if (!f.suffix.empty()) {
        out += u'_';
        out += QLatin1String(f.suffix.data(), qsizetype(f.suffix.size()));
    }
}

void appendElementName(QString& out, const FieldDef& f, int index)
{
    appendFieldName(out, f);
    if (f.count > 1) {
        char digits[12];
        const auto end = std::to_chars(digits, digits + sizeof digits, index).ptr;
        out += u'[';
        out += QLatin1String(digits, end - digits);
        out += u']';
    }
}

QString elementName(const FieldDef& f, int index)
{
    QString name;
    appendElementName(name, f, index);
    return name;
}

bool quoted(const FieldDef& f) { return f.encoding == Encoding::Text; }

QString jsonString(const QString& s)
{
    // Most texts need no escape: quoted as they are, as QJsonDocument would write them.
    const bool plain = std::all_of(s.cbegin(), s.cend(), [](QChar c) {
        return c.unicode() >= 0x20 && c != u'"' && c != u'\\' && !c.isSurrogate();
    });
    if (plain)
        return u'"' + s + u'"';
    // QJsonDocument escapes; strip the array brackets around the one string.
    const QByteArray doc = QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(doc.mid(1, doc.size() - 2));
}

// An element as RecordBase::displayAt shows it, appended: numbers are written without a string of their own
// (a dump writes some 900 of them).
void appendDisplay(QString& out, const RecordBase& r, const FieldDef& f, int i)
{
    char digits[48];
    char* const last = digits + sizeof digits;
    char* end = digits;
    switch (f.encoding) {
    case Encoding::Text:
    case Encoding::Hex:
        out += r.displayAt(f, i);
        return;
    case Encoding::Reserved:
        if (f.size != 1) {
            out += r.displayAt(f, i);
            return;
        }
        end = std::to_chars(digits, last, unsigned(uint8_t(r.bytes()[f.elementOffset(i)]))).ptr;
        break;
    case Encoding::Tenths: {
        const qint64 v = r.numberAt(f, i);
        out += QLatin1String(digits, std::to_chars(digits, last, v / 10).ptr - digits);
        out += u'.';
        end = std::to_chars(digits, last, v % 10).ptr;
        break;
    }
    default:
        end = std::to_chars(digits, last, r.numberAt(f, i)).ptr;
        break;
    }
    out += QLatin1String(digits, end - digits);
}

void appendJsonValue(QString& out, const RecordBase& r, const FieldDef& f, int i)
{
    switch (f.encoding) {
    case Encoding::Text:
    case Encoding::Hex:
        out += jsonString(r.displayAt(f, i));
        return;
    case Encoding::Reserved:
        if (f.size != 1) {
            out += jsonString(r.displayAt(f, i));
            return;
        }
        break;
    default:
        break;
    }
    appendDisplay(out, r, f, i); // decimal, or d.d for tenths: valid JSON numbers
}

// Bits of element i of storage row s that some view names.
uint32_t namedBits(const RecordBase& r, const FieldDef& s, int i)
{
    uint32_t mask = 0;
    const qsizetype at = s.elementOffset(i);
    for (const FieldDef& v : r.layout().fields) {
        if (!v.isView() || v.size != s.size)
            continue;
        for (int k = 0; k < v.count; ++k)
            if (v.elementOffset(k) == at)
                mask |= uint32_t((uint64_t(1) << v.bitCount) - 1) << v.elementBit(k);
    }
    return mask;
}

} // namespace

QList<FieldLine> fieldLines(const ConfigRecords& records)
{
    QList<FieldLine> out;
    for (const RecordBase* r : recordList(records))
        for (const FieldDef& f : r->layout().fields)
            for (int i = 0; i < f.count; ++i)
                out.append({r, &f, i, elementName(f, i), r->displayAt(f, i)});
    return out;
}

QString dumpText(const ConfigRecords& records)
{
    QString out;
    out.reserve(32 * 1024);
    for (const RecordBase* r : recordList(records)) {
        bool headed = false;
        for (const FieldDef& f : r->layout().fields) {
            for (int i = 0; i < f.count; ++i) {
                if (!std::exchange(headed, true)) {
                    if (!out.isEmpty())
                        out += u'\n';
                    out += u'[';
                    out += recordName(*r);
                    out += QLatin1String("]\n");
                }
                if (f.isView())
                    out += QLatin1String("  ");
                appendElementName(out, f, i);
                out += QLatin1String(" = ");
                if (quoted(f))
                    out += jsonString(r->displayAt(f, i));
                else
                    appendDisplay(out, *r, f, i);
                out += u'\n';
            }
        }
    }
    return out;
}

QByteArray dumpJson(const ConfigRecords& records)
{
    // Written by hand to keep the table order (QJsonObject sorts its keys).
    QString out = QStringLiteral("{\n");
    out.reserve(32 * 1024);
    const auto recs = recordList(records);
    for (qsizetype ri = 0; ri < recs.size(); ++ri) {
        const RecordBase& r = *recs[ri];
        out += QLatin1String("  \"");
        out += recordName(r);
        out += QLatin1String("\": {\n");
        const auto& table = r.layout().fields;
        for (std::size_t fi = 0; fi < table.size(); ++fi) {
            const FieldDef& f = table[fi];
            out += QLatin1String("    \"");
            appendFieldName(out, f);
            out += QLatin1String("\": ");
            if (f.count == 1) {
                appendJsonValue(out, r, f, 0);
            } else {
                out += u'[';
                for (int i = 0; i < f.count; ++i) {
                    if (i > 0)
                        out += QLatin1String(", ");
                    appendJsonValue(out, r, f, i);
                }
                out += u']';
            }
            if (fi + 1 < table.size())
                out += u',';
            out += u'\n';
        }
        out += ri + 1 < recs.size() ? QLatin1String("  },\n") : QLatin1String("  }\n");
    }
    out += QLatin1String("}\n");
    return out.toUtf8();
}

QList<FieldChange> diffRecords(const ConfigRecords& a, const ConfigRecords& b)
{
    QList<FieldChange> out;
    const auto ra = recordList(a);
    const auto rb = recordList(b);
    for (qsizetype k = 0; k < ra.size(); ++k) {
        const RecordBase& x = *ra[k];
        const RecordBase& y = *rb[k];
        if (x.bytes() == y.bytes())
            continue;
        // Compared in place: most elements are equal, and a copy of each would cost more than the rest.
        const QByteArrayView xb(x.bytes()), yb(y.bytes());
        for (const FieldDef& f : x.layout().fields) {
            for (int i = 0; i < f.count; ++i) {
                const qsizetype at = f.elementOffset(i);
                if (xb.sliced(at, f.size) == yb.sliced(at, f.size))
                    continue;
                if (f.isView()) {
                    if (x.numberAt(f, i) == y.numberAt(f, i))
                        continue;
                } else if (f.isInteger()) {
                    const uint32_t changed = uint32_t(x.numberAt(f, i) ^ y.numberAt(f, i));
                    if (!(changed & ~namedBits(x, f, i)))
                        continue; // its named bits say it all
                } else if (f.encoding == Encoding::Text && x.textAt(f, i) == y.textAt(f, i)) {
                    // Only bytes after the NUL differ: show the bytes, or the change would look empty.
                    out.append({elementName(f, i) + QStringLiteral(" (bytes)"),
                                QString::fromLatin1(x.rawAt(f, i).toHex()),
                                QString::fromLatin1(y.rawAt(f, i).toHex())});
                    continue;
                }
                const bool q = quoted(f);
                out.append({elementName(f, i), q ? jsonString(x.displayAt(f, i)) : x.displayAt(f, i),
                            q ? jsonString(y.displayAt(f, i)) : y.displayAt(f, i)});
            }
        }
    }
    return out;
}

QString formatChanges(const QList<FieldChange>& changes)
{
    QString out;
    for (const FieldChange& c : changes)
        out += c.name + QStringLiteral(": ") + c.oldValue + QStringLiteral(" -> ") + c.newValue + u'\n';
    return out;
}

AssignResult assignField(ConfigRecords& records, QStringView assignment)
{
    AssignResult r;
    const qsizetype eq = assignment.indexOf(u'=');
    if (eq <= 0) {
        r.error = FieldError::BadValue;
        r.name = assignment.toString();
        return r;
    }
    QStringView name = assignment.first(eq).trimmed();
    const QStringView value = assignment.sliced(eq + 1);
    r.name = name.toString();
    int index = 0;
    bool indexed = false;
    if (name.endsWith(u']')) {
        const qsizetype open = name.indexOf(u'[');
        bool ok = false;
        index = open > 0 ? name.sliced(open + 1, name.size() - open - 2).toInt(&ok) : 0;
        if (!ok) {
            r.error = FieldError::BadIndex;
            return r;
        }
        name = name.first(open);
        indexed = true;
    }
    for (RecordBase* rec : recordList(records)) {
        if (const FieldDef* f = rec->field(name)) {
            if (!indexed && f->count > 1)
                r.error = FieldError::BadIndex; // an array needs its element named
            else
                r.error = rec->setAt(*f, index, value);
            return r;
        }
    }
    r.error = FieldError::UnknownField;
    return r;
}

} // namespace rv
