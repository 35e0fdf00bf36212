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

QStringList inputTypeItems(quint8 deviceType, int input)
{
    const QString none = QStringLiteral("Не задействован");
    const QString an36 = QStringLiteral("Аналоговый (36 В)");
    const QString digital = QStringLiteral("Цифровой");
    const QStringList common = {none, an36, digital};
    const QStringList wide = common + QStringList{QStringLiteral("Аналоговый (5 В)"), QStringLiteral("Частотный"),
                                                  QStringLiteral("Счетный")};
    if (deviceType == 2 || deviceType == 4) {
        switch (input) {
        case 1: return wide + QStringList{QStringLiteral("Счетный (дифф.++)")};
        case 2: return wide + QStringList{QStringLiteral("Счетный (дифф.--)")};
        case 3:
        case 4: return common;
        case 5: return common + QStringList{QStringLiteral("Счетчик моточасов")};
        case 6: return common + QStringList{QStringLiteral("Вызов диспетчера")};
        case 7: return common + QStringList{QStringLiteral("Постановка/снятие")};
        case 8: return common + QStringList{QStringLiteral("Контроль зажигания")};
        default: return {};
        }
    }
    if (deviceType == 3) {
        switch (input) {
        case 1: return wide;
        case 2: return common;
        case 3: return {none, digital, QStringLiteral("RS232 RX")};
        case 4: return {none, QStringLiteral("Счетный++"), QStringLiteral("Дискретный")};
        case 5: return {none, QStringLiteral("Счетный--"), QStringLiteral("Дискретный"), QStringLiteral("Счетчик моточасов")};
        default: return {};
        }
    }
    return {};
}

QString inputLabelText(quint8 deviceType, int input)
{
    if (deviceType == 3 && (input == 4 || input == 5))
        return QStringLiteral("Вход") + QString::number(input);
    return QStringLiteral("Вход ") + QString::number(input);
}

} // namespace rv::nav
