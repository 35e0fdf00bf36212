#include "ui/app/navigation.h"

namespace rv::nav {

const std::array<QString, kPageCount>& pageNames()
{
    static const std::array<QString, kPageCount> names = {
        QStringLiteral("First"), QStringLiteral("Monitor"), QStringLiteral("Connect_Set"),
        QStringLiteral("GPS_Set"), QStringLiteral("Inputs"), QStringLiteral("Outs"),
        QStringLiteral("Ohrana"), QStringLiteral("Power"), QStringLiteral("Dev_set"),
        QStringLiteral("Autoinfo"), QStringLiteral("Connections"), QStringLiteral("TabSheet6"),
        QStringLiteral("Voice_files"), QStringLiteral("PS_page"), QStringLiteral("FL_page"),
        QStringLiteral("Connect_set2"), QStringLiteral("SAT_modem"),
    };
    return names;
}

std::span<const Node> treeNodes()
{
    static constexpr Node nodes[] = {
        {u"Конфигуратор", 0, 0},
        {u"Мониторинг", 1, 1},
        {u"Настройки соединения", 2, 1},
        {u"Соединение 1", 21, 2},
        {u"Соединение 2", 22, 2},
        {u"Соединение 3", 23, 2},
        {u"Соединение 4", 24, 2},
        {u"Соединение 5", 25, 2},
        {u"Дополнительно", 29, 2},
        {u"Параметры навигации", 3, 1},
        {u"Структура пакета", 31, 1},
        {u"Входы", 41, 1},
        {u"Вход 1", 41, 2},
        {u"Вход 2", 42, 2},
        {u"Вход 3", 43, 2},
        {u"Вход 4", 44, 2},
        {u"Вход 5", 45, 2},
        {u"Вход 6", 46, 2},
        {u"Вход 7", 47, 2},
        {u"Вход 8", 48, 2},
        {u"Выходы", 5, 1},
        {u"Охрана", 6, 1},
        {u"Питание", 7, 1},
        {u"Настройка периферии", 8, 1},
        {u"Автоинформатор", 9, 1},
        {u"Обработка событий", 10, 1},
        {u"Голосовые  сообщения", 11, 1},
        {u"Диагностика, память", 12, 1},
        {u"Спутниковый модем", 13, 1},
        {u"Иридиум", 13, 2},
    };
    return nodes;
}

Target targetForCode(int code)
{
    Target t;
    switch (code) {
    case 13: t.page = SAT_modem; return t;
    case 29: t.page = Connect_set2; return t;
    case 12: t.page = FL_page; return t;
    case 31: t.page = PS_page; return t;
    case 11: t.page = Voice_files; return t;
    case 10: t.page = TabSheet6; return t;
    default: break;
    }
    if (code >= 21 && code <= 25) {
        t.page = Connections;
        t.connection = code - 21;
    } else if (code >= 41 && code <= 48) {
        t.page = Inputs;
        t.input = code - 41;
    } else if (code >= 0 && code < kPageCount) {
        // Other codes name their page directly; codes without a page (none in the tree) show nothing.
        t.page = code;
    }
    return t;
}

} // namespace rv::nav
