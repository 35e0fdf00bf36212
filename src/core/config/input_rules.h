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

// A phone number: '0'..'9', backspace and '+' (for a number typed as "+7…").
bool KeyPressPhone(QChar key);

enum class KeyFilter : uint8_t { None, Digit, SignedDigit, Float, Hex, Phone };
bool acceptsKey(KeyFilter filter, QChar key);

// ---- validators ----
// Each returns the replacement text, or nothing when the text stands. Texts that are not numbers are left
// for the caller to mark (see isWholeNumber). A replacement is either a bound (too large a value becomes the
// largest one) or a default that stands for "nothing typed yet" (isDefaultFill): an edit shows a default
// selected, so that the next key the user presses replaces it instead of following it.

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
// A phone number is stored in at most 10 digits, without the "8" the page shows in front of it. An 11-digit
// number loses its leading "8" or "7", and "+7" in front is dropped; a text holding more significant digits
// than that is cut to them, so the edit never shows a number the record cannot hold.
std::optional<QString> PhoneNumberChange(QStringView text);
// The digits of a phone number as the record keeps them (see PhoneNumberChange); nothing when the text is
// not a phone number. An empty text, "8", "+" and "+7" give an empty number.
std::optional<QString> phoneDigits(QStringView text);
// The event timers T1..T4: empty → "1"; > 65000 → "65000".
std::optional<QString> DelayTimer1Change(QStringView text);
// The acceleration threshold in m/s² with ',' for the point: empty → "1"; above 25 → "25,0".
std::optional<QString> ACCELPOROGChange(QStringView text);

// Decimal edits take ',' as the separator whatever the system's locale.
std::optional<QString> MaxHdopChange(QStringView text);     // empty → "1"; > 25 → "25,0" (also Maxaccel)
std::optional<QString> ExtvoltlevChange(QStringView text);  // empty → "1"; > 25.5 → "25,5"
// A temperature threshold: empty → "0"; > 125 → "125"; < −55 → "-55". A lone "-" stands while the user
// types (a negative number begins with it) and becomes "0" when editing finishes (see validateDone).
std::optional<QString> TempLL1Change(QStringView text);
std::optional<QString> Full_bak1Change(QStringView text);   // empty → "0"

enum class Validator : uint8_t {
    None, Val_0_255, Val_1_255, Val_1_65535, Port, ID_Device, CONF_PASS, Password, BalansBox, TIMETOCON2, Phone,
    DelayTimer, ACCELPOROG,
    MaxHdop, Extvoltlev, Temperature, EmptyZero,
};
std::optional<QString> validate(Validator validator, QStringView text);
// The correction when editing finishes (the edit loses focus, or its value is about to be stored): what
// `validate` makes of the text, and also a lone "-" of a temperature becomes "0".
std::optional<QString> validateDone(Validator validator, QStringView text);
// Whether the replacement of `text` is a default for a text that holds no value yet (empty; "0" for
// TIMETOCON2) rather than a bound.
bool isDefaultFill(Validator validator, QStringView text);
// A correction shortened to fit an edit of `maxLength` characters without changing its value: "25,0" becomes
// "25" in a 3-character edit. A text that cannot be shortened is returned as it is.
QString fitCorrection(const QString& text, int maxLength);

// The text is an optional '-' (when allowed) followed by one or more digits '0'..'9', and nothing else.
bool isWholeNumber(QStringView text, bool allowMinus = false);

} // namespace rv
