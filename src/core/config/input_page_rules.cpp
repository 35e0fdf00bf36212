#include "core/config/input_page_rules.h"

namespace rv::inputs {

namespace {

bool wideList(int input)
{
    return input == 0 || input == 1;
}

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

} // namespace

QStringList typeItems(const UnitProfile& unit, int input)
{
    const QString none = QStringLiteral("Не задействован");
    const QString digital = QStringLiteral("Цифровой");
    const QStringList common = {none, QStringLiteral("Аналоговый (36 В)"), digital};
    const QStringList wide = common + QStringList{QStringLiteral("Аналоговый (5 В)"), QStringLiteral("Частотный"),
                                                  QStringLiteral("Счетный")};
    switch (unit.inputLists()) {
    case InputLists::Eight:
        switch (input) {
        case 0: return wide + QStringList{QStringLiteral("Счетный (дифф.++)")};
        case 1: return wide + QStringList{QStringLiteral("Счетный (дифф.--)")};
        case 2:
        case 3: return common;
        case 4: return common + QStringList{QStringLiteral("Счетчик моточасов")};
        case 5: return common + QStringList{QStringLiteral("Вызов диспетчера")};
        case 6: return common + QStringList{QStringLiteral("Постановка/снятие")};
        case 7: return common + QStringList{QStringLiteral("Контроль зажигания")};
        default: return {};
        }
    case InputLists::Five:
        switch (input) {
        case 0: return wide;
        case 1: return common;
        case 2: return {none, digital, QStringLiteral("RS232 RX")};
        case 3: return {none, QStringLiteral("Счетный++"), QStringLiteral("Дискретный")};
        case 4: return {none, QStringLiteral("Счетный--"), QStringLiteral("Дискретный"), QStringLiteral("Счетчик моточасов")};
        default: return {};
        }
    case InputLists::None: break;
    }
    return {};
}

QString titleText(const UnitProfile& unit, int input)
{
    const bool counter = unit.inputLists() == InputLists::Five && (input == 3 || input == 4);
    return (counter ? QStringLiteral("Вход") : QStringLiteral("Вход ")) + QString::number(input + 1);
}

QString voltsText(int count, int input, int type)
{
    const double k = wideList(input) && type == kTypeAnalog5V ? 2.0 : 11.0;
    QString s = QString::number(count * 3.16 * k / kAdcMax, 'g', 3);
    s.replace(u'.', u',');
    return s + QStringLiteral(" В");
}

QString filterTimeText(int length, int input, int type)
{
    if (wideList(input) && type == kTypeFrequency)
        return QStringLiteral("(%1 сек)").arg(length);
    return QStringLiteral("(%1 мс)").arg(length * 100);
}

bool hasFreqLevel(int input, int type)
{
    return wideList(input) && (type == kTypeFrequency || type == kTypeCounter);
}

QString freqLevelCaption(int type)
{
    return type == kTypeCounter ? QStringLiteral("Переполнение") : QStringLiteral("Порог частоты");
}

std::optional<int> coupledInput(const UnitProfile& unit, int input, int type)
{
    switch (unit.inputLists()) {
    case InputLists::Eight:
        if (wideList(input) && type == kTypeDifferential)
            return 1 - input;
        break;
    case InputLists::Five:
        if ((input == 3 || input == 4) && type == 1)
            return 7 - input;
        break;
    case InputLists::None: break;
    }
    return std::nullopt;
}

bool isSpecialFunction(const UnitProfile& unit, int input, int type)
{
    return input >= 5 && input <= 7 && input < unit.inputs() && type == kTypeSpecial;
}

BarColour barColour(int activeLevel, int lower, int upper, int count)
{
    // Per level: the colours below, inside and above the limits.
    static constexpr BarColour R = BarColour::Red, B = BarColour::Blue, G = BarColour::Green;
    static constexpr BarColour table[6][3] = {
        {R, B, R}, {R, B, B}, {B, R, B}, {B, B, R}, {R, G, B}, {B, G, R},
    };
    if (activeLevel < 0 || activeLevel >= 6)
        return BarColour::Blue;
    const int zone = count < lower ? 0 : count > upper ? 2 : 1;
    return table[activeLevel][zone];
}

QString keyText(QByteArrayView bytes)
{
    if (bytes.size() < kKeyBytes || bytes[0] == 0)
        return {};
    QString s;
    for (int j = kKeyBytes - 1; j >= 0; --j)
        s += QStringLiteral("%1").arg(quint8(bytes[j]), 2, 16, QLatin1Char('0')).toUpper();
    return s;
}

std::optional<QString> paddedKey(QStringView text)
{
    if (text.isEmpty())
        return QString();
    if (text.size() > kKeyDigits)
        return std::nullopt;
    for (QChar c : text)
        if (hexValue(c) < 0)
            return std::nullopt;
    return QString(kKeyDigits - text.size(), u'0') + text.toString().toUpper();
}

std::optional<QByteArray> keyBytes(QStringView text)
{
    const std::optional<QString> key = paddedKey(text);
    if (!key)
        return std::nullopt;
    QByteArray b(kKeyBytes, '\0');
    if (key->isEmpty())
        return b;
    // Digit pair j gives byte 5 − j.
    for (int j = 0; j < kKeyBytes; ++j)
        b[kKeyBytes - 1 - j] = char(hexValue(key->at(2 * j)) * 16 + hexValue(key->at(2 * j + 1)));
    return b;
}

} // namespace rv::inputs
