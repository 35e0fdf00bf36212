#pragma once

// The input rules every editor page shares: key filters, which decide whether a typed character reaches an
// edit, and validators, which correct an edit's text in place after the user changed it (an empty text
// becomes a fixed text, too large a value the largest one allowed).

#include <QString>

#include <cstdint>
#include <optional>

namespace rv {

// ---- key filters ----
// Each takes the typed character; backspace is '\b'. They say whether the character is accepted.

// '0'..'9' and backspace; '-' only for a field that holds signed values. A '-' in an unsigned field would
// reach the record as a wrapped number, so it is refused there.
bool KeyPressDigit(QChar key, bool signedField = false);
// '0'..'9', backspace and ',' (the decimal separator).
bool KeyPressFloat(QChar key);
// '0'..'9', 'A'..'F', 'a'..'f' and backspace.
bool KeyPressHex(QChar key);

enum class KeyFilter : uint8_t { None, Digit, SignedDigit, Float, Hex };
bool acceptsKey(KeyFilter filter, QChar key);

// ---- validators ----
// Each returns the replacement text, or nothing when the text stands. Texts that are not numbers are left
// for the caller to mark (see isWholeNumber).

std::optional<QString> Edit_val_0_255(QStringView text);    // empty → "0"; ≥ 256 → "255"
std::optional<QString> Edit_val_1_255(QStringView text);    // empty → "1"; ≥ 256 → "255" (0 stands)
std::optional<QString> Edit_val_1_65535(QStringView text);  // empty → "1"; > 65535 → "65535" (0 stands)
std::optional<QString> Port_serverChange(QStringView text); // empty → "0"; ≥ 65536 → "65535"
std::optional<QString> ID_DeviceChange(QStringView text);   // empty → "1"; ≥ 65536 → "65535"
std::optional<QString> CONF_PASSChange(QStringView text);   // empty → "1"; ≥ 65536 → "65535"
// empty → "0"; ≥ 65536 → "65535": the record holds 16 bits, and a wrapped password would lock the user out.
std::optional<QString> PasswordChange(QStringView text);
std::optional<QString> BalansBoxChange(QStringView text);   // empty → "50"; > 250 → "250"
std::optional<QString> TIMETOCON2Change(QStringView text);  // empty or "0" → "10"; > 1000 → "1000"
// A phone number is stored without the leading "8" the page shows, in at most 10 digits: a text without
// that "8" is cut to 10 characters, so the edit never shows a number the record cannot hold.
std::optional<QString> PhoneNumberChange(QStringView text);
// The event timers T1..T4: empty → "1"; > 65000 → "65000".
std::optional<QString> DelayTimer1Change(QStringView text);
// The acceleration threshold in m/s² with ',' for the point: empty → "1"; above 25 → "25,0".
std::optional<QString> ACCELPOROGChange(QStringView text);

// Decimal edits take ',' as the separator whatever the system's locale.
std::optional<QString> MaxHdopChange(QStringView text);     // empty → "1"; > 25 → "25,0" (also Maxaccel)
std::optional<QString> ExtvoltlevChange(QStringView text);  // empty → "1"; > 25.5 → "25,5"
// A temperature threshold: empty or a lone "-" → "0"; > 125 → "125"; < −55 → "-55".
std::optional<QString> TempLL1Change(QStringView text);
std::optional<QString> Full_bak1Change(QStringView text);   // empty → "0"

enum class Validator : uint8_t {
    None, Val_0_255, Val_1_255, Val_1_65535, Port, ID_Device, CONF_PASS, Password, BalansBox, TIMETOCON2, Phone,
    DelayTimer, ACCELPOROG,
    MaxHdop, Extvoltlev, Temperature, EmptyZero,
};
std::optional<QString> validate(Validator validator, QStringView text);

// The text is an optional '-' (when allowed) followed by one or more digits '0'..'9', and nothing else.
bool isWholeNumber(QStringView text, bool allowMinus = false);

} // namespace rv
