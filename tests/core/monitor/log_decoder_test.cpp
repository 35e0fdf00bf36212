#include "core/monitor/log_decoder.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rv;

TEST(LogDecoder, TailLinesShareOneStampAndSkipEmptyCodes)
{
    const QByteArray tail = QByteArray("\x01\x00\x31\x82", 4) + QByteArray(16, '\0');
    const QStringList lines = Log_decode(tail, QTime(9, 5, 7));
    EXPECT_EQ(lines, (QStringList{QStringLiteral(" 9:05:07 - Включение GSM модуля"),
                                  QStringLiteral(" 9:05:07 - Переключение на СИМ-карту №2"),
                                  QStringLiteral(" 9:05:07 - Смена оператора, 1")}));
    EXPECT_TRUE(Log_decode(QByteArray(20, '\0'), QTime(12, 0)).isEmpty());
    EXPECT_EQ(Log_decode(QByteArray(1, char(69)), QTime(23, 59, 59)), QStringList{QStringLiteral("23:59:59 - Код: 69")});
}

TEST(LogDecoder, CodeTableBoundaries)
{
    const QList<std::pair<int, QString>> expected = {
        {12, QStringLiteral("Нет ответа от GSM модуля более 10 сек.")},
        {13, QStringLiteral("Пришло подтверждение")},
        {48, QStringLiteral("Удаленное обновление ПО")},
        {68, QStringLiteral("Координаты отфильтрованы по ускорению")},
        {70, QStringLiteral("Вход 1 перешел в активное состояние")},
        {85, QStringLiteral("Вход 8 перешел в пассивное состояние")},
        {86, QStringLiteral("Выход 1 активирован")},
        {93, QStringLiteral("Выход 4 дезактивирован")},
        {100, QStringLiteral("Питание прибора включено")},
        {107, QStringLiteral("IRIDIUM: Добавлены данные в буфер передачи")},
        {116, QStringLiteral("CAM: Не отвечает")},
        {126, QStringLiteral("USSD: Переключение в режим GPRS")},
        {134, QStringLiteral("Смена оператора, 5")},
        {136, QStringLiteral("Соединение с сервером 2")},
        {143, QStringLiteral("Порт2: Отправлены данные")},
        {160, QStringLiteral("WIFI: Поиск точек доступа")},
    };
    for (const auto& [code, text] : expected)
        EXPECT_EQ(logMessage(uint8_t(code)), text) << code;
    for (int code : {69, 108, 109, 117, 119, 127, 128, 129, 137, 139, 144, 149, 161, 255})
        EXPECT_EQ(logMessage(uint8_t(code)), QStringLiteral("Код: %1").arg(code));
    EXPECT_TRUE(logMessage(0).isEmpty());
}

TEST(LogDecoder, SavedTextIsCp1251WithCrLfAndNothingAdded)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.log"));
    ASSERT_TRUE(saveLogText(path, QStringLiteral("Вход\nB")).ok());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("\xC2\xF5\xEE\xE4\r\nB"));
    EXPECT_EQ(logFileLines(QByteArray("\xC2\xF5\xEE\xE4\r\nB\r\n")), (QStringList{QStringLiteral("Вход"), QStringLiteral("B")}));
    EXPECT_EQ(saveLogText(dir.filePath(QStringLiteral("no/such/dir/a.log")), QStringLiteral("x")).error, OutputFileError::NoFolder);
}
