#include "core/monitor/log_decoder.h"

#include <array>

namespace rv {

namespace {

struct Run {
    int first;
    std::initializer_list<const char16_t*> texts;
};

// Consecutive codes and their messages, as the unit's firmware numbers them.
const Run kRuns[] = {
    {1, {u"Включение GSM модуля", u"Выключение GSM модуля", u"Переключение на СИМ-карту №1",
         u"Не обнаружено ни одной СИМ-карты", u"Инициализация GSM модуля", u"Инициализация GPRS",
         u"Соединение с сервером установлено", u"Не удалось соединиться с сервером", u"Соединение закрыто сервером",
         u"Пропала GSM связь", u"Пропала GPRS связь", u"Нет ответа от GSM модуля более 10 сек."}},
    {13, {u"Пришло подтверждение", u"Нет подтверждения от сервера", u"Пришло СМС сообщение",
          u"Отправленно СМС сообщение", u"Входящий вызов", u"Исходящий вызов", u"Отбой вызова (нет ответа, занят)",
          u"Приняты данные CUSD", u"Отправлен пакет заголовка", u"Отправлен пакет данных",
          u"Истекло время на подключение", u"Переподключение"}},
    {25, {u"Повторный поиск СИМ-карт", u"Готовность модуля", u"Соединение с сервером", u"Закрытие соединения",
          u"Подключение GPRS", u"CREG: 0 (нет регистрации)", u"CREG: 1 (домашняя сеть)",
          u"CREG: 2 (идет поиск оператора)", u"CREG: 3 (отказано в регистрации)", u"CREG: 4 (не известно)",
          u"CREG: 5 (роуминг)", u"CGREG: 0 (gprs, сервис отключен)"}},
    {37, {u"CGREG: 1 (gprs, домашняя сеть)", u"CGREG: 2 (gprs, включен, но сеть не доступна)",
          u"CGREG: 3 (gprs, отказано в регистрации)", u"CGREG: 4 (не известно)", u"CGREG: 5 (gprs, роуминг)",
          u"Вызываемый абонент ответил", u"PDP: DEACT", u"Принята команда", u"Вход в режим радиомолчания",
          u"Выход из режима радиомолчания", u"Удаленное конфигурирование", u"Удаленное обновление ПО"}},
    {49, {u"Переключение на СИМ-карту №2", u"Включение GPS модуля", u"Выключение GPS модуля",
          u"Инициализация GPS модуля", u"Нет данных от модуля GPS более 3 сек.", u"В память записан пакет данных",
          u"Включена запись по времени", u"Включена запись по расстоянию", u"Фиксирован угол поворота",
          u"Истек период записи - движение", u"Прошли заданное расстояние", u"Истек период записи - стоянка"}},
    {61, {u"Анализ координат", u"Осуществлен поворот", u"Включена фильтрация на прямом участке",
          u"Оклонились от курса", u"Координаты отфильтрованы по HDOP", u"Координаты отфильтрованы по скорости",
          u"Координаты отфильтрованы по скачку", u"Координаты отфильтрованы по ускорению"}},
    {94, {u"Объект взят под охрану", u"Объект снят с охраны", u"Внешнее напряжение ниже нормы",
          u"Внешнее напряжение в норме", u"Аккумулятор разряжен - выключение", u"Сработал датчик движения",
          u"Питание прибора включено"}},
    {101, {u"IRIDIUM: Инициализация", u"IRIDIUM: Отправлен пакет данных", u"IRIDIUM: Пакет данных доставлен",
           u"IRIDIUM: Ошибка при отправке пакета", u"IRIDIUM: Нет подтверждения", u"IRIDIUM: Пустой буфер передачи",
           u"IRIDIUM: Добавлены данные в буфер передачи"}},
    {110, {u"CAM: Запрос снимка", u"CAM: Отправлен размер", u"CAM: Принято подтверждение",
           u"CAM: Отправлен пакет данных", u"CAM: Передача окончена", u"CAM: Выход по таймауту", u"CAM: Не отвечает"}},
    {120, {u"USSD: Инициализация", u"USSD: Отправлено сообщение", u"USSD: Принято подтверждение",
           u"USSD: Нет подтверждения", u"USSD: Принята команда", u"USSD: Переключение в режим USSD",
           u"USSD: Переключение в режим GPRS"}},
    {135, {u"Соединение с сервером 1", u"Соединение с сервером 2"}},
    {140, {u"Порт1: Приняты данные", u"Порт1: Отправлены данные", u"Порт2: Приняты данные",
           u"Порт2: Отправлены данные"}},
    {150, {u"WIFI: Инициализация", u"WIFI: receive", u"WIFI: send", u"WIFI: Подключение к серверу",
           u"WIFI: Отключение от сервера", u"WIFI: Включить", u"WIFI: Выключить", u"WIFI: Соединение установлено",
           u"WIFI: Соединение разорвано", u"WIFI: Disassociate", u"WIFI: Поиск точек доступа"}},
};

} // namespace

QString logMessage(uint8_t code)
{
    if (code == 0)
        return {};
    if (code >= 70 && code <= 77)
        return QStringLiteral("Вход %1 перешел в активное состояние").arg(code - 69);
    if (code >= 78 && code <= 85)
        return QStringLiteral("Вход %1 перешел в пассивное состояние").arg(code - 77);
    if (code >= 86 && code <= 89)
        return QStringLiteral("Выход %1 активирован").arg(code - 85);
    if (code >= 90 && code <= 93)
        return QStringLiteral("Выход %1 дезактивирован").arg(code - 89);
    if (code >= 130 && code <= 134)
        return QStringLiteral("Смена оператора, %1").arg(code - 129);
    for (const Run& run : kRuns) {
        const int index = code - run.first;
        if (index >= 0 && index < static_cast<int>(run.texts.size()))
            return QString::fromUtf16(*(run.texts.begin() + index));
    }
    return QStringLiteral("Код: %1").arg(code);
}

QStringList Log_decode(QByteArrayView codes, QTime now)
{
    const QString stamp = QStringLiteral("%1:%2:%3 - ")
                              .arg(now.hour(), 2)
                              .arg(now.minute(), 2, 10, QLatin1Char('0'))
                              .arg(now.second(), 2, 10, QLatin1Char('0'));
    QStringList lines;
    for (char c : codes) {
        const auto code = static_cast<uint8_t>(c);
        if (code != 0)
            lines << stamp + logMessage(code);
    }
    return lines;
}

} // namespace rv

#include "core/base/cp1251.h"


namespace rv {

QByteArray logTextBytes(const QString& text)
{
    QString crlf = text;
    crlf.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    QByteArray bytes;
    bytes.reserve(crlf.size());
    for (QChar ch : crlf) {
        const auto b = cp1251::encode(QStringView(&ch, 1));
        bytes += b ? *b : QByteArray("?");
    }
    return bytes;
}

OutputFileResult saveLogText(const QString& path, const QString& text)
{
    return saveOutputFile(path, logTextBytes(text));
}

QStringList logFileLines(QByteArrayView bytes)
{
    QString text = cp1251::decode(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // the line end of the last line
    return lines;
}

} // namespace rv
