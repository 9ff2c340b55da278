// Stands in for TovelaNotifier.exe when the library has to start the program: it opens the
// mailbox window, writes the first CD_MAPI payload it receives to "received.bin" beside
// itself, and ends. It gives up after a minute so a failed test leaves nothing running.
#include <windows.h>

#include <string>

namespace {

WNDPROC oldProc = nullptr;

std::wstring OutputPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\') + 1) + L"received.bin";
}

LRESULT CALLBACK MailboxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
        if (data->dwData == 1723) {
            HANDLE file = CreateFileW(OutputPath().c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            DWORD written = 0;
            WriteFile(file, data->lpData, data->cbData, &written, nullptr);
            CloseHandle(file);
            PostQuitMessage(0);
        }
        return 0;
    }
    return CallWindowProcW(oldProc, hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    HWND window = CreateWindowExW(0, L"STATIC", L"KVTTrayIconWnd", 0, 0, 0, 0, 0, nullptr, nullptr,
                                  instance, nullptr);
    if (!window) return 1;
    oldProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MailboxProc)));
    SetTimer(nullptr, 0, 60'000, nullptr);
    MSG msg = {};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER) break;
        DispatchMessageW(&msg);
    }
    DestroyWindow(window);
    return 0;
}
