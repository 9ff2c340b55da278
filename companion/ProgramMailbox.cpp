#include "ProgramMailbox.h"

#include <windows.h>

#include <vector>

namespace tovela::companion {
namespace {

constexpr ULONG_PTR kCopyDataMapi = 1723;
constexpr DWORD kStartWaitMs = 20'000;
constexpr DWORD kPollMs = 50;
// The handler copies the attachments into the program's outbox before it returns, and the
// program may be busy with an upload when the message comes; a hung program is given up on
// at once (SMTO_ABORTIFHUNG), a busy one gets this long.
constexpr UINT kDeliveryWaitMs = 30 * 60 * 1000;

HWND FindMailbox() {
    return FindWindowW(L"STATIC", L"KVTTrayIconWnd");
}

// The program holds this mutex from its first moment, well before its window exists: a
// program that is still starting is waited for, not started a second time (a second start
// would hand over an empty command line, which opens webmail).
bool ProgramStarting() {
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, L"Local\\NotificadorTovela.Instance");
    if (!mutex) return false;
    CloseHandle(mutex);
    return true;
}

std::wstring ModuleFolder() {
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&FindMailbox), &self)) {
        return {};
    }
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        DWORD length = GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            std::wstring folder(path.data(), length);
            return folder.substr(0, folder.find_last_of(L'\\') + 1);
        }
        path.resize(path.size() * 2);
    }
}

// Beside the library, or one folder up for the 32-bit copy in its subfolder.
std::wstring ProgramPath() {
    std::wstring folder = ModuleFolder();
    for (int up = 0; up < 2 && !folder.empty(); ++up) {
        std::wstring candidate = folder + L"TovelaNotifier.exe";
        DWORD attributes = GetFileAttributesW(candidate.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            return candidate;
        }
        folder.pop_back();
        folder = folder.substr(0, folder.find_last_of(L'\\') + 1);
    }
    return {};
}

bool StartProgram() {
    const std::wstring exe = ProgramPath();
    if (exe.empty()) return false;
    std::wstring commandLine = L"\"" + exe + L"\"";
    const std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

HWND WaitForMailbox() {
    const ULONGLONG deadline = GetTickCount64() + kStartWaitMs;
    for (;;) {
        if (HWND window = FindMailbox()) return window;
        if (GetTickCount64() >= deadline) return nullptr;
        Sleep(kPollMs);
    }
}

}  // namespace

bool DeliverToProgram(const std::string& payload) {
    HWND window = FindMailbox();
    if (!window) {
        if (!ProgramStarting() && !StartProgram()) return false;
        window = WaitForMailbox();
        if (!window) return false;
    }
    COPYDATASTRUCT data = {};
    data.dwData = kCopyDataMapi;
    data.cbData = static_cast<DWORD>(payload.size() + 1);
    data.lpData = const_cast<char*>(payload.c_str());
    DWORD_PTR reply = 0;
    return SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                               SMTO_ABORTIFHUNG, kDeliveryWaitMs, &reply) != 0;
}

}  // namespace tovela::companion
