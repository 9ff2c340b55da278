#include "platform/win32/MessageBoxCheck.h"

#include "platform/win32/WinText.h"

namespace tovela::win32 {
namespace {

using MessageBoxCheckFn = int(WINAPI*)(HWND, LPCWSTR, LPCWSTR, UINT, int, LPCWSTR);

MessageBoxCheckFn FindMessageBoxCheck() {
    // Exported by name only from Windows Vista on; older systems have it by ordinal.
    HMODULE shlwapi = LoadLibraryW(L"shlwapi.dll");
    if (!shlwapi) return nullptr;
    FARPROC found = GetProcAddress(shlwapi, "SHMessageBoxCheckW");
    if (!found) found = GetProcAddress(shlwapi, MAKEINTRESOURCEA(191));
    return reinterpret_cast<MessageBoxCheckFn>(reinterpret_cast<void*>(found));
}

}  // namespace

int ShellMessageBoxCheck(HWND owner, const std::string& text, const std::string& caption,
                         UINT style, int defaultAnswer, const std::string& valueName) {
    static const MessageBoxCheckFn messageBoxCheck = FindMessageBoxCheck();
    const std::wstring wideText = Wide(text), wideCaption = Wide(caption);
    if (!messageBoxCheck) return MessageBoxW(owner, wideText.c_str(), wideCaption.c_str(), style);
    const std::wstring value = Wide(valueName);
    const int answer = messageBoxCheck(owner, wideText.c_str(), wideCaption.c_str(), style,
                                       defaultAnswer, value.c_str());
    // Some shlwapi versions (Wine's among them) answer a Yes/No question with OK/Cancel.
    if ((style & MB_TYPEMASK) == MB_YESNO) {
        if (answer == IDOK) return IDYES;
        if (answer == IDCANCEL) return IDNO;
    }
    return answer;
}

}  // namespace tovela::win32
