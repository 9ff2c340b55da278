// The settings file as the Linux build reads it, and the stored password in it.
//
// The first byte: bit 0 checks "webmail login", which widens the password's numeral base.
// The rest is the file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/posix/IniSettingsStore.h"
#include "settings/PocketCrypter.h"

using tovela::posix::IniSettingsStore;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    tovela::CheckBox webmailLogin;
    webmailLogin.value = (data[0] & 0x01) ? tovela::kChecked : tovela::kUnchecked;
    const std::string_view content(reinterpret_cast<const char*>(data + 1), size - 1);

    const IniSettingsStore::Entries entries = IniSettingsStore::Parse(content, "Settings");
    // A save writes what was read; reading it again must give the same keys and values.
    if (IniSettingsStore::Parse(IniSettingsStore::Format(entries, "Settings"), "Settings") !=
        entries) {
        __builtin_trap();
    }

    for (const auto& [key, value] : entries) {
        const std::string password = tovela::PasswordFromStoredForm(value, webmailLogin);
        // Whatever a password is, its stored form must give it back.
        const std::string stored = tovela::StoredPasswordForm(password, webmailLogin);
        if (tovela::PasswordFromStoredForm(stored, webmailLogin) != password) __builtin_trap();
    }
    // Any text as a numeral in every pair of the bases the program uses.
    if (content.size() <= 64) {
        for (const int from : {36, 85, 95}) {
            for (const int to : {36, 85, 95}) {
                tovela::ConvertBase(content, from, to, tovela::PasswordAlphabet());
            }
        }
    }
    return 0;
}
