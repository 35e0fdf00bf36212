#include "core/config/record_diff.h"

#include <QSet>

#include <algorithm>

namespace rv {

namespace {

QString fromView(std::u16string_view s)
{
    return QString(reinterpret_cast<const QChar*>(s.data()), qsizetype(s.size()));
}

int recordIndex(RecordKind k)
{
    return static_cast<int>(k);
}

// Which bits of each record some control shows.
struct Cover
{
    QByteArray mask[3];
    explicit Cover(const ConfigRecords& r)
    {
        mask[0] = QByteArray(r.config.size(), '\0');
        mask[1] = QByteArray(r.inpOut.size(), '\0');
        mask[2] = QByteArray(r.confSe.size(), '\0');
    }
    void markBits(RecordKind k, int offset, int low, int count)
    {
        QByteArray& m = mask[recordIndex(k)];
        for (int b = low; b < low + count; ++b) {
            const int at = offset + b / 8;
            if (at >= 0 && at < m.size())
                m[at] = char(uchar(m[at]) | (1u << (b % 8)));
        }
    }
    void mark(const RecordBase& record, RecordKind k, const Binding& b, const FieldDef& f, int e)
    {
        const int at = int(f.elementOffset(e));
        if (b.enc == Enc::Check && b.bit >= 0)
            markBits(k, at, b.bit, 1);
        else if (f.isView())
            markBits(k, at, f.elementBit(e), f.bitCount);
        else
            markBits(k, at, 0, f.size * 8);
        Q_UNUSED(record);
    }
};

QString checkText(bool on)
{
    return on ? QStringLiteral("да") : QStringLiteral("нет");
}

// What the control of row `r` shows for item `item` (0 for rows of a fixed element).
QString shownText(const RecordBase& record, const CaptionRow& r, int item, const ListItems& lists)
{
    const Binding& b = r.binding;
    switch (b.enc) {
    case Enc::Check:
        return checkText(showValue(record, b, item).checked);
    case Enc::ListIndex: {
        const QStringList items = lists ? lists(QString::fromUtf8(b.control.data(), qsizetype(b.control.size())))
                                        : QStringList();
        const ControlValue v = showValue(record, b, item, int(items.size()));
        // A value no item stands for shows as the stored number, as the page shows it beside the list.
        return v.index >= 0 ? items[v.index] : storedNumberText(record, b, item);
    }
    case Enc::Slider:
        return storedNumberText(record, b, item);
    case Enc::Radio:
        return {}; // shown per group
    default:
        return showValue(record, b, item).text;
    }
}

// A radio group's value: the caption of the button the stored value checks, else the stored number.
QString radioText(const RecordBase& record, const QList<const CaptionRow*>& group, int item)
{
    for (const CaptionRow* r : group)
        if (showValue(record, r->binding, item).checked)
            return fromView(r->item);
    return storedNumberText(record, group.front()->binding, item);
}

QString hexBytes(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString rowKey(const Binding& b, int element)
{
    return QStringLiteral("%1|%2|%3|%4|%5")
        .arg(recordIndex(b.record))
        .arg(QString::fromUtf8(b.fieldName().data(), qsizetype(b.fieldName().size())))
        .arg(element)
        .arg(b.bit)
        .arg(int(b.enc));
}

} // namespace

QList<RecordDifference> compareRecords(const ConfigRecords& before, const ConfigRecords& after,
                                       const ListItems& lists)
{
    QList<RecordDifference> out;
    Cover cover(before);
    QSet<QString> seen;
    const std::span<const CaptionRow> rows = pageCaptions();

    for (std::size_t i = 0; i < rows.size(); ++i) {
        const CaptionRow& r = rows[i];
        const Binding& b = r.binding;
        const RecordBase& a = recordOf(before, b.record);
        const RecordBase& z = recordOf(after, b.record);
        const FieldDef* f = fieldOf(a, b);
        if (!f)
            continue;
        // The rows of a page of one item at a time stand for every item the field has.
        const int items = b.atOnce() ? f->count : 1;
        for (int item = 0; item < items; ++item) {
            const int e = fieldElement(a, b, item);
            if (e < 0)
                break;
            cover.mark(a, b.record, b, *f, e);
            const QString key = rowKey(b, e);
            if (seen.contains(key))
                continue; // two controls of one field (a shared setting) are listed once
            seen.insert(key);
            QString was, now;
            if (b.enc == Enc::Radio) {
                QList<const CaptionRow*> group;
                for (const CaptionRow& g : rows)
                    if (g.binding.enc == Enc::Radio && g.binding.record == b.record
                        && g.binding.fieldName() == b.fieldName() && g.binding.atOnce() == b.atOnce()
                        && (b.atOnce() || g.binding.element == b.element))
                        group.append(&g);
                for (const CaptionRow* g : group)
                    seen.insert(rowKey(g->binding, e));
                was = radioText(a, group, item);
                now = radioText(z, group, item);
            } else {
                was = shownText(a, r, item, lists);
                now = shownText(z, r, item, lists);
            }
            // Equal texts can hide different bits (a list that shows two values alike): compare the bits too.
            if (was == now && storedBits(a, b, item) == storedBits(z, b, item))
                continue;
            const QString page = fromView(r.page);
            RecordDifference d;
            d.name = (b.atOnce() ? page.arg(item + 1) : page) + QStringLiteral(" › ") + fromView(r.caption);
            d.before = was;
            d.after = now;
            d.record = b.record;
            d.offset = int(f->elementOffset(e));
            d.control = QString::fromUtf8(b.control.data(), qsizetype(b.control.size()));
            d.item = b.atOnce() ? item : -1;
            out.append(d);
        }
    }

    // Bits no control shows, one entry per field element that holds them.
    const RecordKind kinds[] = {RecordKind::Config, RecordKind::InpOut, RecordKind::ConfSe};
    for (RecordKind k : kinds) {
        const RecordBase& a = recordOf(before, k);
        const RecordBase& z = recordOf(after, k);
        const QByteArray& mask = cover.mask[recordIndex(k)];
        QList<RecordDifference> unnamed;
        for (const FieldDef& f : a.layout().fields) {
            if (f.isView())
                continue;
            for (int i = 0; i < f.count; ++i) {
                const int at = int(f.elementOffset(i));
                bool differs = false;
                for (int p = at; p < at + f.size && p < a.size() && p < z.size(); ++p)
                    differs = differs || ((uchar(a.bytes()[p]) ^ uchar(z.bytes()[p])) & ~uchar(mask[p]));
                if (!differs)
                    continue;
                RecordDifference d;
                const QString field = f.count > 1 ? QStringLiteral("%1[%2]").arg(fieldName(f)).arg(i) : fieldName(f);
                d.name = QStringLiteral("%1, байт %2 (%3)")
                             .arg(QString::fromUtf8(a.layout().name.data(), qsizetype(a.layout().name.size())))
                             .arg(at)
                             .arg(field);
                d.before = hexBytes(a.rawAt(f, i));
                d.after = hexBytes(z.rawAt(f, i));
                d.record = k;
                d.offset = at;
                unnamed.append(d);
            }
        }
        std::stable_sort(unnamed.begin(), unnamed.end(),
                         [](const RecordDifference& x, const RecordDifference& y) { return x.offset < y.offset; });
        out.append(unnamed);
    }
    return out;
}

QString formatDifferences(const QList<RecordDifference>& differences)
{
    QString text;
    for (const RecordDifference& d : differences)
        text += QStringLiteral("%1: %2 -> %3\n").arg(d.name, d.before, d.after);
    return text;
}

} // namespace rv
