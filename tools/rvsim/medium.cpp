#include "medium.h"
#include "save_file.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QMap>

namespace rvsim {

QByteArray cp1251(const QString& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80)
            out += static_cast<char>(u);
        else if (u >= 0x0410 && u <= 0x044F)
            out += static_cast<char>(0xC0 + (u - 0x0410));
        else if (u == 0x0401)
            out += static_cast<char>(0xA8);
        else if (u == 0x0451)
            out += static_cast<char>(0xB8);
        else if (u == 0x2116)
            out += static_cast<char>(0xB9);
        else
            out += '?';
    }
    return out;
}

Medium::Medium(MediumOptions options) : m_o(std::move(options)) {}

QString Medium::pathOf(uint8_t area, const QByteArray& name) const
{
    // Names come from the line: keep them inside the area's folder.
    QByteArray safe = name;
    for (char& c : safe)
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20)
            c = '_';
    if (safe.isEmpty() || safe == "." || safe == "..")
        safe = "_";
    return QStringLiteral("%1/%2").arg(area).arg(QString::fromLatin1(safe));
}

std::optional<QByteArray> Medium::read(uint8_t area, const QByteArray& name) const
{
    const QString key = pathOf(area, name);
    if (!m_o.folder.isEmpty()) {
        QFile f(QDir(m_o.folder).filePath(key));
        if (f.open(QIODevice::ReadOnly))
            return f.readAll();
    } else if (m_memory.contains(key)) {
        return m_memory.value(key);
    }
    if (area == 1 && name.endsWith(".log"))
        return dayLog(name.chopped(4), m_o.logSize);
    return std::nullopt;
}

bool Medium::write(uint8_t area, const QByteArray& name, const QByteArray& data)
{
    const QString key = pathOf(area, name);
    if (m_o.folder.isEmpty()) {
        m_memory.insert(key, data);
        return true;
    }
    QDir(m_o.folder).mkpath(QString::number(area));
    return replaceFile(QDir(m_o.folder).filePath(key), data);
}

std::optional<QByteArray> Medium::dayLog(const QByteArray& date, qsizetype size)
{
    const QDate day = QDate::fromString(QString::fromLatin1(date), QStringLiteral("yyyy-MM-dd"));
    if (!day.isValid() || day.year() < 2020 || day.year() > 2030)
        return std::nullopt;
    if (size < 0)
        size = day.day() == 1 ? 700 : day.day() * 8 * 1024;
    static const QStringList events = {
        QStringLiteral("Включение GSM модуля"), QStringLiteral("Инициализация GPRS"),
        QStringLiteral("Соединение с сервером установлено"), QStringLiteral("Отправлен пакет данных"),
        QStringLiteral("Пришло подтверждение"), QStringLiteral("В память записан пакет данных"),
        QStringLiteral("Вход 3 перешел в активное состояние"), QStringLiteral("Координаты отфильтрованы по HDOP"),
        QStringLiteral("Переключение на СИМ-карту №2"), QStringLiteral("Пропала GPRS связь"),
        QStringLiteral("Объект взят под охрану"), QStringLiteral("Ёмкость аккумулятора: 87 %")};
    QByteArray text;
    text.reserve(size + 128);
    int second = 6 * 3600;
    uint32_t mix = static_cast<uint32_t>(day.toJulianDay());
    while (text.size() < size) {
        mix = mix * 1103515245u + 12345u;
        second = (second + 1 + static_cast<int>((mix >> 16) % 40)) % 86400;
        const QString line = QStringLiteral("%1 %2 - %3\r\n")
                                 .arg(day.toString(QStringLiteral("dd.MM.yyyy")),
                                      QTime(0, 0).addSecs(second).toString(QStringLiteral("hh:mm:ss")),
                                      events.at(static_cast<int>((mix >> 8) % events.size())));
        text += cp1251(line);
    }
    text.truncate(size);
    return text;
}

} // namespace rvsim
