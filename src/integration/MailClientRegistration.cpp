#include "integration/MailClientRegistration.h"

#include "integration/ProgramFiles.h"
#include "session/LeadingNumber.h"
#include "settings/AsciiText.h"
#include "settings/SettingsIntegration.h"

namespace tovela {
namespace {

constexpr RegistryRoot HKCU = RegistryRoot::CurrentUser;
constexpr RegistryRoot HKLM = RegistryRoot::LocalMachine;
constexpr RegistryRoot HKLM32 = RegistryRoot::LocalMachine32;

const std::string M = kMailtoKey;
const std::string C = kMailClientsKey;
const std::string K = kOurClientKey;
const std::string P = kProgIdKey;
const std::string RA = kRegisteredAppsKey;
const std::string kClient = kMailClientName;
const std::string kProgId = kMailtoProgId;
const std::string kOpenCommand = "\\shell\\open\\command";
const std::string kProperties = "\\shell\\Properties";

constexpr int kTokenElevationTypeDefault = 1;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Windows 8 and later choose the default programs only in their own settings.
bool DefaultAppsOnlyInSettings(const OsVersion& v) {
    return v.platformId == 2 && (v.major > 6 || (v.major == 6 && v.minor >= 2));
}

}  // namespace

MailClientRegistration::MailClientRegistration(Registry2& registry, ShellEnvironment& shell,
                                               SystemInfo& system, std::string programFolder,
                                               DebugLog& log,
                                               std::function<void(const std::string&)> balloon)
    : reg_(registry),
      shell_(shell),
      system_(system),
      folder_(WithTrailingSeparator(programFolder)),
      exe_(folder_ + kProgramFileName),
      quotedExe_("\"" + exe_ + "\""),
      dll_(folder_ + "tnmapi32.dll"),
      dll32_(folder_ + "x86\\tnmapi32.dll"),
      log_(log),
      balloon_(std::move(balloon)) {}

void MailClientRegistration::RawSaveRegistry(int mode, bool autoRun, bool mailHandler) {
    log_.Write("RawSaveRegistry.Enter");
    if (autoRun) {
        // A new profile may not have the key yet; without it the mark would lie.
        reg_.CreateRegistryKey(HKCU, kRunKey);
        reg_.SetRegValue(HKCU, kRunKey, kRunValue, quotedExe_);
    } else {
        reg_.DeleteValue(HKCU, kRunKey, kRunValue);
    }

    const bool admin = IsUserAnAdministrator();
    log_.Write(std::string("RawSaveRegistry.IsUserAnAdministrator: ") + (admin ? "True" : "False"));
    log_.Write("MailtoKey: " + M);
    log_.Write("OpenCommand: " + kOpenCommand);
    log_.Write("Properties: " + kProperties);
    log_.Write(std::string("AutoRunKey: ") + kRunKey);
    log_.Write("sMailClient: " + C);
    log_.Write("AppExeName: " + exe_);

    if (mode == kSaveAtShutdown) {
        if (!mailHandler && !Contains(reg_.GetRegValue(HKLM, C, ""), kClient) && admin)
            RemoveMachineClient();
    } else if (admin) {
        WriteMachineClient();
    }

    bool changed = false;
    if (mailHandler) {
        changed = WriteUserHandler(admin);
        SetUserFTA(kProgId, mode == kSaveOnApply && !mailHandlerWasOn_);
    } else {
        changed = RemoveUserHandler(admin);
    }
    mailHandlerWasOn_ = mailHandler;

    if (changed) {
        for (const std::string& area : {C, M, RA}) shell_.BroadcastSettingChange(area);
    }
    log_.Write("RawSaveRegistry.Exit");
}

void MailClientRegistration::SetDllPaths(RegistryRoot root) {
    // Never point other programs at a library that is not there.
    if (!shell_.FileExists(dll_)) return;
    reg_.SetRegValue(root, K, "DllPath", dll_);
    reg_.SetRegValue(root, K, "DllPathEx", dll_);
}

void MailClientRegistration::WriteMachineClient() {
    reg_.CreateRegistryKey(HKLM, C);
    reg_.CreateRegistryKey(HKLM, K);
    reg_.SetRegValue(HKLM, K, "", kClient);
    SetDllPaths(HKLM);
    WriteMachineClient32();
    reg_.CreateRegistryKey(HKLM, K + kOpenCommand);
    reg_.SetRegValue(HKLM, K + kOpenCommand, "", quotedExe_);
    reg_.CreateRegistryKey(HKLM, K + kProperties);
    reg_.SetRegValue(HKLM, K + kProperties, "", "設定");
    reg_.CreateRegistryKey(HKLM, K + kProperties + "\\command");
    reg_.SetRegValue(HKLM, K + kProperties + "\\command", "", quotedExe_ + " /settings");
    reg_.CreateRegistryKey(HKLM, K + "\\Capabilities");
    reg_.SetRegValue(HKLM, K + "\\Capabilities", "ApplicationDescription", kClient);
    reg_.CreateRegistryKey(HKLM, K + "\\Capabilities\\StartMenu");
    reg_.SetRegValue(HKLM, K + "\\Capabilities\\StartMenu", "Mail", kClient);
    reg_.CreateRegistryKey(HKLM, K + "\\Capabilities\\UrlAssociations");
    reg_.SetRegValue(HKLM, K + "\\Capabilities\\UrlAssociations", "mailto", kProgId);
}

// A 32-bit program's mapi32 reads the machine's 32-bit view and can load only the 32-bit
// library. Windows shares this key between the views, so there it shows the 64-bit entries
// just written and stays as it is; Wine keeps the views apart, and without these entries
// its 32-bit programs' mail goes to Wine's own client, which drops the attachments.
void MailClientRegistration::WriteMachineClient32() {
    if (!shell_.FileExists(dll32_)) return;
    const std::string dll64 = reg_.GetRegValue(HKLM, K, "DllPath");
    if (dll64.empty() || reg_.GetRegValue(HKLM32, K, "DllPath") == dll64) return;
    reg_.CreateRegistryKey(HKLM32, K);
    reg_.SetRegValue(HKLM32, K, "", kClient);
    reg_.SetRegValue(HKLM32, K, "DllPath", dll32_);
    reg_.SetRegValue(HKLM32, K, "DllPathEx", dll32_);
}

bool MailClientRegistration::Ours32() {
    return reg_.GetRegValue(HKLM32, K, "DllPath") == dll32_;
}

void MailClientRegistration::RemoveMachineClient32() {
    if (!Ours32()) return;
    for (const char* name : {"DllPath", "DllPathEx", ""}) reg_.DeleteValue(HKLM32, K, name);
    reg_.DeleteRegistryKey(HKLM32, K);
}

void MailClientRegistration::RemoveMachineClient() {
    RemoveMachineClient32();
    reg_.DeleteValue(HKLM, K, "DllPath");
    reg_.DeleteValue(HKLM, K, "DllPathEx");
    reg_.DeleteValue(HKLM, K, "");
    // Leaves first: a key with subkeys stays.
    for (const char* sub :
         {"\\shell\\open\\command", "\\shell\\open", "\\shell\\properties\\command",
          "\\shell\\properties", "\\shell", "\\Capabilities\\StartMenu",
          "\\Capabilities\\UrlAssociations", "\\Capabilities", ""}) {
        reg_.DeleteRegistryKey(HKLM, K + sub);
    }
}

bool MailClientRegistration::WriteUserHandler(bool admin) {
    const std::string icon = quotedExe_ + ", 1";
    const std::string open = quotedExe_ + " %1";
    reg_.CreateRegistryKey(HKCU, M + kOpenCommand);
    reg_.SetRegValue(HKCU, M + kOpenCommand, "", open);
    reg_.CreateRegistryKey(HKCU, M + "\\DefaultIcon");
    reg_.SetRegValue(HKCU, M + "\\DefaultIcon", "", icon);
    reg_.CreateRegistryKey(HKCU, C);
    const bool changed = !Contains(reg_.GetRegValue(HKCU, C, ""), kClient);
    reg_.SetRegValue(HKCU, C, "", kClient);
    reg_.CreateRegistryKey(HKCU, K);
    reg_.SetRegValue(HKCU, K, "", kClient);
    SetDllPaths(HKCU);
    if (admin) {
        reg_.SetRegValue(HKLM, C, "", kClient);
        if (shell_.FileExists(dll32_) && Ours32()) reg_.SetRegValue(HKLM32, C, "", kClient);
    }
    reg_.CreateRegistryKey(HKCU, K + "\\Capabilities");
    reg_.SetRegValue(HKCU, K + "\\Capabilities", "ApplicationDescription", kClient);
    reg_.SetRegValue(HKCU, K + "\\Capabilities", "ApplicationName", kClient);
    reg_.SetRegValue(HKCU, K + "\\Capabilities", "ApplicationIcon", icon);
    reg_.CreateRegistryKey(HKCU, K + "\\Capabilities\\StartMenu");
    reg_.SetRegValue(HKCU, K + "\\Capabilities\\StartMenu", "Mail", kClient);
    reg_.CreateRegistryKey(HKCU, K + "\\Capabilities\\UrlAssociations");
    reg_.SetRegValue(HKCU, K + "\\Capabilities\\UrlAssociations", "mailto", kProgId);
    reg_.CreateRegistryKey(HKCU, RA);
    reg_.SetRegValue(HKCU, RA, kClient, K + "\\Capabilities");
    for (const std::string& key : {P, P + kOpenCommand, P + "\\Application", P + "\\DefaultIcon"})
        reg_.CreateRegistryKey(HKCU, key);
    reg_.SetRegValue(HKCU, P + "\\Application", "ApplicationName", kClient);
    reg_.SetRegValue(HKCU, P + "\\DefaultIcon", "", icon);
    reg_.SetRegValue(HKCU, P + kOpenCommand, "", open);
    return changed;
}

bool MailClientRegistration::RemoveUserHandler(bool admin) {
    bool changed = false;
    // A mailto: command of another program is not ours to remove.
    if (Contains(reg_.GetRegValue(HKCU, M + kOpenCommand, ""), exe_)) {
        reg_.DeleteValue(HKCU, M + kOpenCommand, "");
        for (const std::string& key : {M + kOpenCommand, M + "\\shell\\open", M + "\\shell", M})
            reg_.DeleteRegistryKey(HKCU, key);
        changed = true;
    }
    reg_.DeleteValue(HKCU, K, "DllPath");
    reg_.DeleteValue(HKCU, K, "DllPathEx");
    reg_.DeleteValue(HKCU, K, "");
    for (const char* sub :
         {"\\Capabilities\\StartMenu", "\\Capabilities\\UrlAssociations", "\\Capabilities"}) {
        reg_.DeleteRegistryKey(HKCU, K + sub);
    }
    reg_.DeleteValue(HKCU, RA, kClient);
    reg_.DeleteRegistryKey(HKCU, K);
    if (Contains(reg_.GetRegValue(HKCU, C, ""), kClient)) {
        reg_.DeleteValue(HKCU, C, "");
        reg_.DeleteRegistryKey(HKCU, C);
        changed = true;
    }
    if (admin && Contains(reg_.GetRegValue(HKLM, C, ""), kClient)) reg_.DeleteValue(HKLM, C, "");
    // Where the 32-bit view is shared, the line above has already taken the name away.
    if (admin && Contains(reg_.GetRegValue(HKLM32, C, ""), kClient))
        reg_.DeleteValue(HKLM32, C, "");
    return changed;
}

bool MailClientRegistration::IsUserAnAdministrator() {
    if (shell_.IsUserAnAdmin()) return true;
    const OsVersion version = system_.GetVersion();
    if (version.platformId != 2 || version.major < 6) return false;
    // A user who runs limited but may elevate counts as an administrator.
    const auto elevation = shell_.TokenElevationType();
    return elevation && *elevation != kTokenElevationTypeDefault;
}

bool MailClientRegistration::IsLuaEnabled() {
    const std::string value = reg_.GetRegValue(
        HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", "EnableLUA");
    // An unreadable value counts as 0.
    return LeadingNumber(value) != 0;
}

bool MailClientRegistration::IsDefaultMailClient(bool mailHandlerMark) {
    const std::string user(TrimBlanks(reg_.GetRegValue(HKCU, C, "")));
    const bool userIsUs = Contains(user, kClient);
    const bool userIsOther = !user.empty() && !userIsUs;
    const std::string machine(TrimBlanks(reg_.GetRegValue(HKLM, C, "")));
    const bool machineIsUs = Contains(machine, kClient);
    const bool otherIsDefault = userIsOther || (!machine.empty() && !machineIsUs);

    if (IsLuaEnabled() || !IsUserAnAdministrator())
        return userIsUs || (machineIsUs && !otherIsDefault);
    if (otherIsDefault) return false;
    if (machineIsUs) return true;
    return mailHandlerMark;
}

void MailClientRegistration::SetUserFTA(const std::string& progId, bool switchedOn) {
    const std::string tool = folder_ + "SetUserFTA.exe";
    if (shell_.FileExists(tool)) {
        shell_.StartHidden(tool, "\"" + tool + "\" mailto " + progId);
        return;
    }
    // Windows lets the user alone pick the default mail program; show where, once per
    // switch-on.
    if (!switchedOn || !DefaultAppsOnlyInSettings(system_.GetVersion())) return;
    if (shell_.OpenUri("ms-settings:defaultapps") && balloon_) {
        balloon_("既定のメール アプリ\r\n開いた設定で、メールのアプリに " + kClient +
                 " を選んでください。");
    }
}

}  // namespace tovela
