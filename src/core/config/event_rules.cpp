#include "core/config/event_rules.h"

namespace rv::events {

namespace {

const char16_t* const kSources[kSourceCount] = {
    u"Нет источника", u"Акселерометр", u"Вход 1", u"Вход 2", u"Вход 3", u"Вход 4", u"Вход 5", u"Вход 6",
    u"Вход 7", u"Вход 8", u"Выход 1", u"Выход 2", u"Выход 3", u"Выход 4", u"Внешнее напряжение",
    u"Состояние охраны", u"Тревога", u"Ключ на контакторе", u"Таймер секундный (1с)", u"Температура 1",
    u"Температура 2", u"Част/счет 1", u"Част/счет 2", u"Таймер 1", u"Таймер 2", u"Таймер 3", u"Таймер 4",
    u"Движение объекта", u"Превышение скорости", u"Ускорение/замедление", u"Вх./исх. вызов",
    u"Вход в геозону",
};

const char16_t* const kActions[kActionCount] = {
    u"Выход 1 вкл.", u"Выход 1 выкл.", u"Выход 2 вкл.", u"Выход 2 выкл.", u"Выход 3 вкл.", u"Выход 3 выкл.",
    u"Выход 4 вкл.", u"Выход 4 выкл.", u"Воспр. сообщение", nullptr, nullptr, nullptr,
    u"Запустить таймер 1", u"Остановить таймер 1", u"Запустить таймер 2", u"Остановить таймер 2",
    u"Запустить таймер 3", u"Остановить таймер 3", u"Запустить таймер 4", u"Остановить таймер 4",
    nullptr, nullptr, nullptr, u"Записать пакет данных",
};

const char16_t* fieldOf(RuleList list)
{
    switch (list) {
    case RuleList::Conditions: return u"EventConditions";
    case RuleList::ConditionStates: return u"ConditionStateMask";
    case RuleList::Actions: return u"EventActions";
    }
    return u"";
}

} // namespace

QStringList sourceNames()
{
    QStringList out;
    for (const char16_t* s : kSources)
        out << QString::fromUtf16(s);
    return out;
}

QStringList stateNames()
{
    return {QStringLiteral("Перешел в пассивное"), QStringLiteral("Перешел в активное"),
            QStringLiteral("Находится в пассивном"), QStringLiteral("Находится в активном")};
}

QStringList conditionNames()
{
    return sourceNames().mid(1);
}

QString actionText(int action, int rule)
{
    const int n = (rule - 1) / 4 + 1;      // the phone number of rules 1-4, 5-8, ...
    const int camera = (rule - 1) % 2 + 1; // odd rules camera 1, even rules camera 2
    switch (action) {
    case 9: return QStringLiteral("Отправить СМС по номеру %1").arg(n);
    case 10: return QStringLiteral("Набрать номер %1").arg(n);
    case 11: return rule <= 10 ? QStringLiteral("Сообщить серверу") : QStringLiteral("Отправить текущие данные");
    case 20: return rule <= 15 ? QStringLiteral("Взять под охрану") : QStringLiteral("Сбросить сч.1");
    case 21: return rule <= 15 ? QStringLiteral("Снять с охраны") : QStringLiteral("Сбросить сч.2");
    case 22:
        return (rule <= 10 ? QStringLiteral("Снимок на сервер, камера ") : QStringLiteral("Снимок в память, камера "))
               + QString::number(camera);
    default: break;
    }
    return action >= 0 && action < kActionCount ? QString::fromUtf16(kActions[action]) : QString();
}

QStringList actionTexts(int rule)
{
    QStringList out;
    for (int i = 0; i < kActionCount; ++i)
        out << actionText(i, rule);
    return out;
}

int itemCount(RuleList list)
{
    return list == RuleList::Actions ? kActionCount : kConditionItems;
}

bool hasBit(RuleList list, int item)
{
    return item >= 0 && item < (list == RuleList::Actions ? kActionCount : kConditionBits);
}

bool ruleBit(const InpOutBlock& record, RuleList list, int rule, int item)
{
    if (!hasBit(list, item) || rule < 0 || rule >= kRuleCount)
        return false;
    return (record.number(fieldOf(list), rule).value >> item) & 1;
}

bool setRuleBit(InpOutBlock& record, RuleList list, int rule, int item, bool on)
{
    if (!hasBit(list, item) || rule < 0 || rule >= kRuleCount)
        return false;
    const FieldDef* f = record.field(fieldOf(list));
    if (!f)
        return false;
    const qint64 mask = qint64(1) << item;
    const qint64 bits = record.numberAt(*f, rule);
    return record.storeNumberAt(*f, rule, on ? (bits | mask) : (bits & ~mask)) == FieldError::None;
}

bool sourceMissing(const UnitProfile& unit, int source)
{
    // "Вход 1" .. "Вход 8" are sources 2..9, "Выход 1" .. "Выход 4" 10..13, "Част/счет 1" and "2" 21 and 22.
    if (source >= 2 && source <= 9)
        return source - 1 > unit.inputs();
    if (source >= 10 && source <= 13)
        return source - 9 > unit.outputs();
    if (source == 21 || source == 22)
        return !unit.frequencyInput(source - 21);
    return false;
}

} // namespace rv::events
