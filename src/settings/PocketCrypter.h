#pragma once

#include <string>
#include <string_view>

#include "platform/SettingsWindowModel.h"

namespace tovela {

// The digits of the password scrambler, in digit-value order: the 95 printable ASCII
// characters as "0-9", "A-Z", "a-z", the common punctuation and the blank, then the ten
// rarest punctuation characters, which only the larger password base can hold.
// PERMANENT: every stored password depends on this exact order. Never change it.
std::string_view PasswordAlphabet();

inline constexpr std::string_view kErrorInvalidCharacters =
    "Error: entrada contiene caracteres invalidos";
inline constexpr std::string_view kErrorInvalidNumber = "Error: numero invalido";

// Reads `text` as a numeral in `fromBase` (digit value = position in `alphabet`, last
// character least significant) and writes it in `toBase` with the alphabet's first
// characters. Any length. Leading zero digits vanish and zero is the empty text. Bases
// outside 2..alphabet length give the empty text; bad digits give one of the error texts.
// The alphabet is ASCII, so working on UTF-8 bytes is the same as working on characters:
// every byte of a non-ASCII character is simply not a digit.
std::string ConvertBase(std::string_view text, int fromBase, int toBase, std::string_view alphabet);

// The numeral base a password is read in: the whole alphabet when webmail login is
// checked, without its last ten characters when not.
int PasswordBase(const CheckBox& chkWebmailLogin);
std::string ScramblePassword(std::string_view text, const CheckBox& chkWebmailLogin);
std::string UnscramblePassword(std::string_view text, const CheckBox& chkWebmailLogin);

// What "Password" stores: the scrambled form when it reads back exactly, else "text:" and
// the password itself (leading zero digits, characters the base cannot hold).
std::string StoredPasswordForm(std::string_view password, const CheckBox& chkWebmailLogin);
// The password of a stored value. A value that is neither form reads as no password.
std::string PasswordFromStoredForm(std::string_view stored, const CheckBox& chkWebmailLogin);

}  // namespace tovela
