#include "settings/Settings.h"

#include <algorithm>
#include <optional>
#include <string>

#include "settings/AsciiText.h"
#include "settings/PocketCrypter.h"

namespace tovela {

namespace {

struct Setting {
    std::string_view key;
    std::string_view defaultValue;
};

constexpr Setting kTovelaHost{"TovelaHost", ""};
constexpr Setting kHttps{"HTTPS", "1"};
constexpr Setting kUsername{"Username", ""};
constexpr Setting kGuardaPassword{"GuardaPassword", "1"};
constexpr Setting kPassword{"Password", ""};
constexpr Setting kWebmailLogin{"WebmailLogin", "0"};
constexpr Setting kVentana{"Ventana", "0"};
constexpr Setting kSonido{"Sonido", "0"};
constexpr Setting kAutoRun{"AutoRun", "1"};
constexpr Setting kMailtoHandler{"mailtoHandler", "0"};
constexpr Setting kFiltros{"Filtros", "迷惑メール"};
constexpr Setting kWhiteList{"WhiteList", "0"};

// An optionally signed run of decimal digits; only whether it is zero and small values
// matter, so large ones saturate instead of overflowing.
std::optional<long long> ParseInteger(std::string_view text) {
    text = TrimBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    constexpr long long kLimit = 1'000'000'000'000'000LL;
    long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = std::min(kLimit, value * 10 + (c - '0'));
    }
    return negative ? -value : value;
}

class SettingsReader {
public:
    SettingsReader(SettingsStore& store, DebugLog& log) : store_(store), log_(log) {}

    std::string Text(const Setting& setting) {
        return TraeSetting(store_, log_, kSettingsApp, kSettingsSection, setting.key,
                           setting.defaultValue);
    }
    // A check value that is not 0, 1 or 2 is not something this program wrote.
    int CheckValue(const Setting& setting) {
        const auto value = ParseInteger(Text(setting));
        if (value && *value >= kUnchecked && *value <= kGrayed) return static_cast<int>(*value);
        return static_cast<int>(*ParseInteger(setting.defaultValue));
    }
    bool Flag(const Setting& setting) {
        const auto value = ParseInteger(Text(setting));
        return value ? *value != 0 : *ParseInteger(setting.defaultValue) != 0;
    }

private:
    SettingsStore& store_;
    DebugLog& log_;
};

std::string CheckText(const CheckBox& box) {
    return std::to_string(box.value);
}
std::string_view FlagText(bool value) {
    return value ? "1" : "0";
}

}  // namespace

std::string TraeSetting(SettingsStore& store, DebugLog& log, std::string_view app,
                        std::string_view section, std::string_view key,
                        std::string_view defaultValue) {
    std::string line = "TraeSetting: ";
    line += key;
    log.Write(line);
    return store.GetSetting(app, section, key).value_or(std::string(defaultValue));
}

void RestoreSettings(SettingsWindow& window, TrayMenus& menus, SettingsStore& store,
                     DebugLog& log) {
    SettingsReader read(store, log);
    // The host and user handlers drop the password and the check-box handlers drop one
    // that is present, so the password comes after all of them.
    window.SetCheck(ControlId::chkSSL, read.CheckValue(kHttps));
    window.SetCheck(ControlId::chkGuardaPassword, read.CheckValue(kGuardaPassword));
    window.SetText(ControlId::txtTovelaHost, read.Text(kTovelaHost));
    window.SetText(ControlId::txtUsuario, read.Text(kUsername));
    // Before the password: it decides the base the password was scrambled in.
    window.SetCheck(ControlId::chkWebmailLogin, read.CheckValue(kWebmailLogin));
    window.SetText(ControlId::txtPassword,
                   PasswordFromStoredForm(read.Text(kPassword), window.Model().chkWebmailLogin));
    window.CapturePassword();
    window.SetCheck(ControlId::chkVentana, read.CheckValue(kVentana));
    window.SetCheck(ControlId::chkSonido, read.CheckValue(kSonido));
    menus.mnuPopWinSetupAutoRun.checked = read.Flag(kAutoRun);
    menus.mnuPopWinSetupMailtoHandler.checked = read.Flag(kMailtoHandler);
    window.SetText(ControlId::txtFilters, read.Text(kFiltros));
    window.SetOption(ControlId::optWhiteList, read.Flag(kWhiteList));
}

void SaveTNSettings(int mode, const SettingsWindow& window, TrayMenus& menus, SettingsStore& store,
                    DebugLog& log, SettingsIntegration& integration) {
    log.Write("SaveTNSettings.Enter");
    const SettingsWindowModel& form = window.Model();
    const auto save = [&](const Setting& setting, std::string_view value) {
        store.SaveSetting(kSettingsApp, kSettingsSection, setting.key, value);
    };

    save(kTovelaHost, form.txtTovelaHost.text);
    save(kHttps, CheckText(form.chkSSL));
    save(kUsername, form.txtUsuario.text);
    save(kGuardaPassword, CheckText(form.chkGuardaPassword));
    save(kPassword, form.chkGuardaPassword.value == kChecked
                        ? StoredPasswordForm(window.Password(), form.chkWebmailLogin)
                        : std::string());
    save(kWebmailLogin, CheckText(form.chkWebmailLogin));
    save(kVentana, CheckText(form.chkVentana));
    save(kSonido, CheckText(form.chkSonido));
    save(kAutoRun, FlagText(menus.mnuPopWinSetupAutoRun.checked));
    // At shutdown the mark may be stale: another program can have taken the handler over.
    if (mode == kSaveAtShutdown) integration.SyncMailHandlerMark(menus);
    save(kMailtoHandler, FlagText(menus.mnuPopWinSetupMailtoHandler.checked));
    save(kFiltros, form.txtFilters.text);
    save(kWhiteList, FlagText(form.optWhiteList.value));

    integration.UpdateShortcuts(mode);
    integration.RawSaveRegistry(mode);
    log.Write("SaveTNSettings.Exit");
}

}  // namespace tovela
