#include "core/config/input_rules.h"

#include <algorithm>

namespace rv {

namespace {

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The value of a text of digits, saturated: a text too long for any field compares as huge.
std::optional<qint64> digitsValue(QStringView text)
{
    if (!isWholeNumber(text))
        return std::nullopt;
    qint64 v = 0;
    for (QChar c : text) {
        v = v * 10 + (c.unicode() - u'0');
        if (v > 0xFFFFFFFFLL)
            return 0xFFFFFFFFLL + 1;
    }
    return v;
}

std::optional<QString> bound(QStringView text, const char* emptyText, qint64 top)
{
    if (text.isEmpty())
        return QString::fromLatin1(emptyText);
    const auto v = digitsValue(text);
    if (v && *v > top)
        return QString::number(top);
    return std::nullopt;
}

} // namespace

bool KeyPressDigit(QChar key, bool signedField)
{
    return isAsciiDigit(key) || key == u'\b' || (signedField && key == u'-');
}

bool KeyPressFloat(QChar key)
{
    return isAsciiDigit(key) || key == u'\b' || key == u',';
}

bool KeyPressHex(QChar key)
{
    return isAsciiDigit(key) || key == u'\b' || (key >= u'A' && key <= u'F') || (key >= u'a' && key <= u'f');
}

bool KeyPressPhone(QChar key)
{
    return KeyPressDigit(key) || key == u'+';
}

bool acceptsKey(KeyFilter filter, QChar key)
{
    switch (filter) {
    case KeyFilter::None: return true;
    case KeyFilter::Digit: return KeyPressDigit(key);
    case KeyFilter::SignedDigit: return KeyPressDigit(key, true);
    case KeyFilter::Float: return KeyPressFloat(key);
    case KeyFilter::Hex: return KeyPressHex(key);
    case KeyFilter::Phone: return KeyPressPhone(key);
    }
    return true;
}

bool isWholeNumber(QStringView text, bool allowMinus)
{
    if (allowMinus && text.startsWith(u'-'))
        text = text.sliced(1);
    if (text.isEmpty())
        return false;
    for (QChar c : text)
        if (!isAsciiDigit(c))
            return false;
    return true;
}

std::optional<QString> Edit_val_0_255(QStringView text) { return bound(text, "0", 255); }
std::optional<QString> Edit_val_1_255(QStringView text) { return bound(text, "1", 255); }
std::optional<QString> Edit_val_1_65535(QStringView text) { return bound(text, "1", 65535); }
std::optional<QString> Port_serverChange(QStringView text) { return bound(text, "0", 65535); }
std::optional<QString> ID_DeviceChange(QStringView text) { return bound(text, "1", 65535); }
std::optional<QString> CONF_PASSChange(QStringView text) { return bound(text, "1", 65535); }
std::optional<QString> PasswordChange(QStringView text) { return bound(text, "0", 65535); }
std::optional<QString> BalansBoxChange(QStringView text) { return bound(text, "50", 250); }

std::optional<QString> TIMETOCON2Change(QStringView text)
{
    // Exactly "0": "00" stands and is stored as 0.
    if (text == u"0")
        return QStringLiteral("10");
    return bound(text, "10", 1000);
}

namespace {

constexpr qsizetype kPhoneDigits = 10;

// How many leading characters of a phone text are not part of the stored number.
qsizetype phonePrefix(QStringView text)
{
    if (text.startsWith(u"+7"))
        return 2;
    if (text.startsWith(u'+'))
        return 1;
    if (text.startsWith(u'8') || (text.startsWith(u'7') && text.size() == kPhoneDigits + 1))
        return 1;
    return 0;
}

} // namespace

std::optional<QString> PhoneNumberChange(QStringView text)
{
    // "7" and ten digits is a whole number; one more digit is one too many.
    const qsizetype keep = text.startsWith(u'7') ? kPhoneDigits + 1 : phonePrefix(text) + kPhoneDigits;
    if (text.size() > keep)
        return text.first(keep).toString();
    return std::nullopt;
}

std::optional<QString> phoneDigits(QStringView text)
{
    if (text == u"+")
        return QString();
    if (text.startsWith(u'+') && !text.startsWith(u"+7"))
        return std::nullopt;
    const QStringView number = text.sliced(phonePrefix(text));
    if (!number.isEmpty() && !isWholeNumber(number))
        return std::nullopt;
    return number.toString();
}

namespace {

// Whether a decimal text ("25,5", "3,") exceeds `tenths` tenths; nothing when it is not a decimal number.
std::optional<bool> decimalAbove(QStringView text, qint64 tenths)
{
    const qsizetype sep = text.indexOf(u',');
    const QStringView whole = sep < 0 ? text : text.first(sep);
    const QStringView fraction = sep < 0 ? QStringView() : text.sliced(sep + 1);
    if ((whole.isEmpty() && fraction.isEmpty()) || (!whole.isEmpty() && !isWholeNumber(whole))
        || (!fraction.isEmpty() && !isWholeNumber(fraction)))
        return std::nullopt;
    const qint64 w = whole.isEmpty() ? 0 : *digitsValue(whole);
    if (w > tenths / 10)
        return true;
    if (w < tenths / 10)
        return false;
    const qint64 first = fraction.isEmpty() ? 0 : fraction[0].unicode() - u'0';
    if (first != tenths % 10)
        return first > tenths % 10;
    for (QChar c : fraction.sliced(std::min<qsizetype>(1, fraction.size())))
        if (c != u'0')
            return true;
    return false;
}

} // namespace

std::optional<QString> DelayTimer1Change(QStringView text) { return bound(text, "1", 65000); }

std::optional<QString> ACCELPOROGChange(QStringView text)
{
    if (text.isEmpty())
        return QStringLiteral("1");
    const qsizetype comma = text.indexOf(u',');
    const QStringView whole = comma < 0 ? text : text.first(comma);
    const QStringView fraction = comma < 0 ? QStringView() : text.sliced(comma + 1);
    // Only a decimal number is compared; any other text is left for the caller to mark.
    if ((!whole.isEmpty() && !isWholeNumber(whole)) || (!fraction.isEmpty() && !isWholeNumber(fraction)))
        return std::nullopt;
    const auto w = whole.isEmpty() ? std::optional<qint64>(0) : digitsValue(whole);
    const bool fractionAboveZero = std::any_of(fraction.begin(), fraction.end(), [](QChar c) { return c != u'0'; });
    if (w && (*w > 25 || (*w == 25 && fractionAboveZero)))
        return QStringLiteral("25,0");
    return std::nullopt;
}

std::optional<QString> MaxHdopChange(QStringView text)
{
    if (text.isEmpty())
        return QStringLiteral("1");
    if (decimalAbove(text, 250).value_or(false))
        return QStringLiteral("25,0");
    return std::nullopt;
}

std::optional<QString> ExtvoltlevChange(QStringView text)
{
    if (text.isEmpty())
        return QStringLiteral("1");
    if (decimalAbove(text, 255).value_or(false))
        return QStringLiteral("25,5");
    return std::nullopt;
}

std::optional<QString> TempLL1Change(QStringView text)
{
    if (text.isEmpty())
        return QStringLiteral("0");
    if (!isWholeNumber(text, true))
        return std::nullopt;
    const bool minus = text.startsWith(u'-');
    const qint64 v = *digitsValue(text.sliced(minus ? 1 : 0));
    if (!minus && v > 125)
        return QStringLiteral("125");
    if (minus && v > 55)
        return QStringLiteral("-55");
    return std::nullopt;
}

std::optional<QString> Full_bak1Change(QStringView text)
{
    return text.isEmpty() ? std::optional(QStringLiteral("0")) : std::nullopt;
}

std::optional<QString> validate(Validator validator, QStringView text)
{
    switch (validator) {
    case Validator::None: return std::nullopt;
    case Validator::Val_0_255: return Edit_val_0_255(text);
    case Validator::Val_1_255: return Edit_val_1_255(text);
    case Validator::Val_1_65535: return Edit_val_1_65535(text);
    case Validator::Port: return Port_serverChange(text);
    case Validator::ID_Device: return ID_DeviceChange(text);
    case Validator::CONF_PASS: return CONF_PASSChange(text);
    case Validator::Password: return PasswordChange(text);
    case Validator::BalansBox: return BalansBoxChange(text);
    case Validator::TIMETOCON2: return TIMETOCON2Change(text);
    case Validator::Phone: return PhoneNumberChange(text);
    case Validator::DelayTimer: return DelayTimer1Change(text);
    case Validator::ACCELPOROG: return ACCELPOROGChange(text);
    case Validator::MaxHdop: return MaxHdopChange(text);
    case Validator::Extvoltlev: return ExtvoltlevChange(text);
    case Validator::Temperature: return TempLL1Change(text);
    case Validator::EmptyZero: return Full_bak1Change(text);
    }
    return std::nullopt;
}

std::optional<QString> validateDone(Validator validator, QStringView text)
{
    if (validator == Validator::Temperature && text == u"-")
        return QStringLiteral("0");
    return validate(validator, text);
}

bool isDefaultFill(Validator validator, QStringView text)
{
    if (validator == Validator::None || validator == Validator::Phone)
        return false;
    return text.isEmpty() || (validator == Validator::TIMETOCON2 && text == u"0");
}

QString fitCorrection(const QString& text, int maxLength)
{
    if (text.size() <= maxLength || !text.contains(u','))
        return text;
    QString shorter = text;
    while (shorter.endsWith(u'0') && shorter.size() > maxLength)
        shorter.chop(1);
    if (shorter.endsWith(u','))
        shorter.chop(1);
    return shorter.size() <= maxLength ? shorter : text;
}

} // namespace rv
