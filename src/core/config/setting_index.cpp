#include "core/config/setting_index.h"

namespace rv {

namespace {

const QString kSep = QStringLiteral(" › ");

QString fromView(std::u16string_view s)
{
    return QString::fromUtf16(s.data(), qsizetype(s.size()));
}

QString fromLatin(std::string_view s)
{
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

QString folded(QString s)
{
    return s.toCaseFolded().replace(QChar(u'ё'), QChar(u'е'));
}

// "Период отправки, сек" → "сек"; nothing when the caption names no unit.
QString unitOf(const QString& caption)
{
    const QString last = caption.section(kSep, -1);
    const qsizetype comma = last.lastIndexOf(QLatin1Char(','));
    if (comma < 0)
        return {};
    const QString unit = last.mid(comma + 1).trimmed();
    // A unit is a short word ("сек", "мин", "км/ч", "В"), not the rest of a sentence or a number.
    if (unit.isEmpty() || unit.size() > 6 || unit.contains(QLatin1Char(' ')) || unit[0].isDigit())
        return {};
    return unit;
}

QString scaled(int64_t raw, int num, int den, int decimals)
{
    return QString::number(double(raw) * num / den, 'f', decimals).replace(QLatin1Char('.'), QLatin1Char(','));
}

} // namespace

const QList<SettingEntry>& settingIndex()
{
    static const QList<SettingEntry> index = [] {
        QList<SettingEntry> out;
        const std::span<const CaptionRow> rows = pageCaptions();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const CaptionRow& r = rows[i];
            const QString page = fromView(r.page).replace(QStringLiteral("%1"), QStringLiteral("1"));
            QString text = page + kSep + fromView(r.caption);
            if (!r.item.empty())
                text += kSep + fromView(r.item);
            out.append(SettingEntry{page.section(kSep, 0, 0), text, fromLatin(r.binding.control),
                                    fromLatin(r.binding.fieldName()), int(i)});
        }
        return out;
    }();
    return index;
}

QList<SettingEntry> findSettings(const QString& query)
{
    const QString q = folded(query.trimmed());
    if (q.size() < 2)
        return {};
    QList<SettingEntry> found;
    for (const SettingEntry& e : settingIndex())
        if (folded(e.text).contains(q) || folded(e.field).contains(q) || folded(e.control).contains(q))
            found.append(e);
    return found;
}

QString settingRangeText(const CaptionRow& row)
{
    const Binding& b = row.binding;
    if (!b.isEdit())
        return {};
    ConfigRecords blank;
    const FieldDef* f = fieldOf(recordOf(blank, b.record), b);
    if (!f)
        return {};
    if (b.enc == Enc::Text)
        return QStringLiteral("Длина текста: до %1").arg(f->size - 1);
    if (b.enc == Enc::Phone)
        return QStringLiteral("Номер телефона, цифр: до %1").arg(f->size - 1);
    const bool ranged = f->min != 0 || f->max != 0;
    const int64_t lo = ranged ? f->min : (b.enc == Enc::Signed ? -f->capacityMax() - 1 : 0);
    const int64_t hi = ranged ? f->max : f->capacityMax();
    QString range;
    switch (b.enc) {
    case Enc::Tenths: range = scaled(lo, 1, 10, 1) + QStringLiteral("…") + scaled(hi, 1, 10, 1); break;
    case Enc::Volts:
        range = scaled(lo, b.scaleNum, b.scaleDen, 1) + QStringLiteral("…") + scaled(hi, b.scaleNum, b.scaleDen, 1);
        break;
    default: range = QString::number(lo) + QStringLiteral("…") + QString::number(hi); break;
    }
    const QString unit = unitOf(fromView(row.caption));
    return QStringLiteral("Диапазон: ") + range + (unit.isEmpty() ? QString() : QStringLiteral(" ") + unit);
}

const CaptionRow* captionRowOf(QStringView control, RecordKind record)
{
    for (const CaptionRow& r : pageCaptions())
        if (r.binding.record == record && control == fromLatin(r.binding.control))
            return &r;
    return nullptr;
}

} // namespace rv
