#include "settings/PocketCrypter.h"

#include <algorithm>
#include <vector>

namespace tovela {

namespace {

constexpr std::string_view kPlainPrefix = "text:";
constexpr int kScrambledBase = 36;
constexpr int kRareCharacters = 10;
// The conversion takes time in the square of the length: no real password comes near these,
// and a value beyond them is kept or read without it.
constexpr std::size_t kMaxPasswordToScramble = 256;
constexpr std::size_t kMaxScrambledDigits = 512;

// Built from fixed pieces; see the header before touching any of them.
constexpr std::string_view kAlphabet =
    "0123456789"
    "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
    "abcdefghijklmnopqrstuvwxyz"
    "!#$%&*+-./:;=?@_,'()[] "
    "\"<>\\^`{|}~";

constexpr bool IsPrintableAsciiWithoutRepeats(std::string_view alphabet) {
    for (std::size_t i = 0; i < alphabet.size(); ++i) {
        if (alphabet[i] < ' ' || alphabet[i] > '~') return false;
        if (alphabet.find(alphabet[i]) != i) return false;
    }
    return true;
}
static_assert(kAlphabet.size() == 95 && IsPrintableAsciiWithoutRepeats(kAlphabet));
static_assert(kAlphabet.size() - kRareCharacters >= kScrambledBase);

bool IsScrambledForm(std::string_view stored) {
    const std::string_view digits = kAlphabet.substr(0, kScrambledBase);
    return std::all_of(stored.begin(), stored.end(),
                       [&](char c) { return digits.find(c) != std::string_view::npos; });
}

}  // namespace

std::string_view PasswordAlphabet() {
    return kAlphabet;
}

std::string ConvertBase(std::string_view text, int fromBase, int toBase,
                        std::string_view alphabet) {
    if (text.empty()) return {};
    const auto maxBase = static_cast<long long>(alphabet.size());
    if (fromBase < 2 || toBase < 2 || fromBase > maxBase || toBase > maxBase) return {};

    // Digits of the result in toBase, least significant first; every input digit
    // multiplies the number so far by fromBase and adds itself.
    std::vector<int> digits;
    for (const char c : text) {
        const auto position = alphabet.find(c);
        if (position == std::string_view::npos) return std::string(kErrorInvalidCharacters);
        const int value = static_cast<int>(position);
        if (value >= fromBase) return std::string(kErrorInvalidNumber);
        int carry = value;
        for (int& digit : digits) {
            const int total = digit * fromBase + carry;
            digit = total % toBase;
            carry = total / toBase;
        }
        for (; carry > 0; carry /= toBase) digits.push_back(carry % toBase);
    }

    std::string result;
    result.reserve(digits.size());
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) result += alphabet[*it];
    return result;
}

int PasswordBase(const CheckBox& chkWebmailLogin) {
    const auto size = static_cast<int>(kAlphabet.size());
    return chkWebmailLogin.value == kChecked ? size : size - kRareCharacters;
}

std::string ScramblePassword(std::string_view text, const CheckBox& chkWebmailLogin) {
    return ConvertBase(text, PasswordBase(chkWebmailLogin), kScrambledBase, kAlphabet);
}

std::string UnscramblePassword(std::string_view text, const CheckBox& chkWebmailLogin) {
    return ConvertBase(text, kScrambledBase, PasswordBase(chkWebmailLogin), kAlphabet);
}

std::string StoredPasswordForm(std::string_view password, const CheckBox& chkWebmailLogin) {
    if (password.size() > kMaxPasswordToScramble)
        return std::string(kPlainPrefix) + std::string(password);
    std::string scrambled = ScramblePassword(password, chkWebmailLogin);
    if (IsScrambledForm(scrambled) && UnscramblePassword(scrambled, chkWebmailLogin) == password) {
        return scrambled;
    }
    std::string plain(kPlainPrefix);
    plain += password;
    return plain;
}

std::string PasswordFromStoredForm(std::string_view stored, const CheckBox& chkWebmailLogin) {
    if (stored.starts_with(kPlainPrefix)) return std::string(stored.substr(kPlainPrefix.size()));
    // Anything but base-36 digits was not written by this program; an error text from the
    // conversion must not become a password sent to the server.
    if (!IsScrambledForm(stored) || stored.size() > kMaxScrambledDigits) return {};
    return UnscramblePassword(stored, chkWebmailLogin);
}

}  // namespace tovela
