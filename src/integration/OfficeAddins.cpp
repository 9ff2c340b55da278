#include "integration/OfficeAddins.h"

#include <array>

#include "submit/TextEncodings.h"

namespace tovela {
namespace {

constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorSharingViolation = 32;
constexpr std::uint32_t kErrorLockViolation = 33;
constexpr int kExclamation = 48;

// The first of the localised names under `base` that is a folder.
template <std::size_t N>
std::string FirstFolder(ShellEnvironment& shell, const std::string& base,
                        const std::array<const char*, N>& names) {
    for (const char* name : names) {
        const std::string folder = base + name;
        if (shell.IsFolder(folder)) return folder;
    }
    return {};
}

void RemoveAddin(ShellEnvironment& shell, const std::string& path,
                 const ShowMessageFn& showMessage) {
    if (!shell.FileExists(path)) return;
    const std::uint32_t error = shell.RemoveFile(path);
    // An office program that has the add-in loaded keeps the file locked.
    if (error == kErrorAccessDenied || error == kErrorSharingViolation ||
        error == kErrorLockViolation) {
        showMessage("Cannot delete\r\n" + path + "\r\nPermission Denied. Exit MS Office first",
                    kExclamation, "");
    }
}

}  // namespace

std::string GetEnvValue(ShellEnvironment& shell, std::string_view name) {
    const std::string prefix = AsciiLower(std::string(name)) + "=";
    for (const std::string& entry : shell.Environment()) {
        if (AsciiLower(entry.substr(0, prefix.size())) == prefix)
            return entry.substr(prefix.size());
    }
    return {};
}

std::string GetWordStartupFolder(ShellEnvironment& shell, DebugLog& log) {
    log.Write("GetWordStartupFolder.Enter");
    std::string folder;
    const std::string appData = GetEnvValue(shell, "APPDATA");
    if (!appData.empty()) {
        folder = FirstFolder(shell, appData + "\\Microsoft\\Word\\",
                             std::array{"Startup", "Start", "Starten", "Inicio", "Démarrage",
                                        "Di avvio", "Oppstart", "Starcie", "Inicialização"});
    }
    log.Write("GetWordStartupFolder.Exit");
    return folder;
}

std::string GetAddinsFolder(ShellEnvironment& shell, DebugLog& log) {
    log.Write("GetAddinsFolder.Enter");
    std::string folder;
    const std::string appData = GetEnvValue(shell, "APPDATA");
    if (!appData.empty()) {
        folder = FirstFolder(shell, appData + "\\Microsoft\\",
                             std::array{"Addins", "Complementos", "Suplementos", "Accessori",
                                        "Zubehör", "Accessoires", "Akcesoria", "Starcie"});
    }
    log.Write("GetAddinsFolder.Exit");
    return folder;
}

void RemoveOldAddins(ShellEnvironment& shell, DebugLog& log, const ShowMessageFn& showMessage) {
    const std::string word = GetWordStartupFolder(shell, log);
    const std::string addins = GetAddinsFolder(shell, log);
    // Without a profile folder the paths would point at the root of the current drive.
    const std::string appData = GetEnvValue(shell, "APPDATA");
    if (!appData.empty())
        RemoveAddin(shell, appData + "\\Microsoft\\Excel\\XLSTART\\TovelaSender.xla", showMessage);
    if (!word.empty()) RemoveAddin(shell, word + "\\TovelaSender.dot", showMessage);
    if (!addins.empty()) RemoveAddin(shell, addins + "\\TovelaSender.ppa", showMessage);
}

}  // namespace tovela
