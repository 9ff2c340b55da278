// A small Windows program the end-to-end test runs inside the Wine desktop to look at what
// a user would see there:
//   probe windows [--children]  every top-level window (and its children), a line each:
//                               handle, class, visible (0/1), process id, rectangle, title
//   probe end-session CLASS     the end of the session, as the system tells it to the
//                               top-level windows of that class
//   probe screenshot FILE.png   the whole screen as a PNG picture
//   probe capture CLASS TITLE FILE.png
//                               one top-level window as it is on screen; TITLE "*" is any
//                               title, and the window is waited for (10 s)
//   probe set-text CLASS TITLE ID TEXT
//                               WM_SETTEXT to the control ID of the window, as typing
//                               would leave it (an edit box reports EN_CHANGE itself)
//   probe click CLASS TITLE ID  BM_CLICK posted to the button ID of the window (posted: the
//                               click may open a message box that waits for the user)
//   probe tray MOUSE [HWND]     the tray icon's callback (0x0882) posted to the program's
//                               "KVTTrayIconWnd" window, with MOUSE one of lbuttonup,
//                               rbuttonup, lbuttondblclk or a message number: the main
//                               icon's (the oldest such window), or the window HWND (hex, as
//                               the shell's trace names it)
//   probe pick-menu ITEM...     waits (10 s) for the open pop-up menu ("#32768") and picks
//                               ITEM: a caption ("&" ignored), found through MN_GETHMENU
//                               and clicked with the mouse, or "#N", the N-th item that is
//                               not a separator, reached with the arrow keys (Wine keeps a
//                               menu's items inside its own process). More ITEMs walk into
//                               submenus.
//   probe foreground            the foreground window, in the form of `windows`, then
//                               "iconic 0/1"
//   probe dialog TEXT [ID]      waits (10 s) for a visible dialog ("#32770") with a child
//                               whose text contains TEXT, lists it and its children (id,
//                               class, visible, text) and, with ID, clicks that button
//   probe browser-window TITLE  a top-level "Chrome_WidgetWin_1" window with that title,
//                               shown minimised and not activated, until the probe is ended
// Exit codes: 0 done, 2 usage, 3 window or item not found, 1 any other failure.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "PngFile.h"

namespace {

using tovela::probe::Png;

std::string Utf8(const wchar_t* text) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return {};
    std::string out(static_cast<std::size_t>(bytes - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), bytes, nullptr, nullptr);
    return out;
}

void PrintWindow(HWND hwnd, const char* prefix) {
    wchar_t className[256] = {};
    wchar_t title[512] = {};
    GetClassNameW(hwnd, className, 256);
    GetWindowTextW(hwnd, title, 512);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    RECT r = {};
    GetWindowRect(hwnd, &r);
    std::printf("%s%p\t%s\t%d\t%lu\t%ld,%ld,%ld,%ld\t%s\n", prefix, static_cast<void*>(hwnd),
                Utf8(className).c_str(), IsWindowVisible(hwnd) ? 1 : 0,
                static_cast<unsigned long>(pid), r.left, r.top, r.right - r.left, r.bottom - r.top,
                Utf8(title).c_str());
}

BOOL CALLBACK EachChild(HWND hwnd, LPARAM) {
    PrintWindow(hwnd, "  ");
    return TRUE;
}

BOOL CALLBACK EachTopLevel(HWND hwnd, LPARAM children) {
    PrintWindow(hwnd, "");
    if (children) EnumChildWindows(hwnd, &EachChild, 0);
    return TRUE;
}

struct EndSession {
    std::wstring className;
    int found = 0;
};

BOOL CALLBACK EndSessionOf(HWND hwnd, LPARAM data) {
    auto* request = reinterpret_cast<EndSession*>(data);
    wchar_t className[256] = {};
    GetClassNameW(hwnd, className, 256);
    if (request->className != className) return TRUE;
    ++request->found;
    DWORD_PTR answer = 0;
    // The order and the time limits the system uses when a session ends.
    if (SendMessageTimeoutW(hwnd, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP, SMTO_ABORTIFHUNG,
                            5000, &answer) &&
        answer) {
        SendMessageTimeoutW(hwnd, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP, SMTO_ABORTIFHUNG, 20000,
                            &answer);
        std::printf("ended %p\n", static_cast<void*>(hwnd));
    } else {
        std::printf("refused %p\n", static_cast<void*>(hwnd));
    }
    return TRUE;
}

// The screen's pixels in `area` as PNG rows: a filter byte, then RGB.
std::vector<std::uint8_t> ScreenPixels(RECT area) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return {};
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (!bitmap) {
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
        return {};
    }
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    std::vector<std::uint8_t> rows;
    rows.reserve(static_cast<std::size_t>(height) * (1 + 3 * static_cast<std::size_t>(width)));
    const auto* bgra = static_cast<const std::uint8_t*>(pixels);
    for (int y = 0; y < height; ++y) {
        rows.push_back(0);  // no filter
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = bgra + (static_cast<std::size_t>(y) * width + x) * 4;
            rows.insert(rows.end(), {p[2], p[1], p[0]});
        }
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return rows;
}

// The screen's pixels in `area` as a PNG file.
int Screenshot(const wchar_t* file, RECT area) {
    const std::vector<std::uint8_t> rows = ScreenPixels(area);
    if (rows.empty()) return 1;
    const std::vector<std::uint8_t> png = Png(area.right - area.left, area.bottom - area.top, rows);
    FILE* out = _wfopen(file, L"wb");
    if (!out) return 1;
    const bool written = std::fwrite(png.data(), 1, png.size(), out) == png.size();
    return std::fclose(out) == 0 && written ? 0 : 1;
}

int Screenshot(const wchar_t* file) {
    return Screenshot(file, {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
}

// Waits for a condition, checking every 50 ms, at most `limitMs`.
template <typename Found>
bool WaitFor(Found found, DWORD limitMs = 10000) {
    const ULONGLONG deadline = GetTickCount64() + limitMs;
    while (!found()) {
        if (GetTickCount64() > deadline) return false;
        Sleep(50);
    }
    return true;
}

struct Search {
    std::wstring className;
    std::wstring title;  // "*": any
    HWND found = nullptr;
};

BOOL CALLBACK MatchTopLevel(HWND hwnd, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    wchar_t className[256] = {};
    wchar_t title[512] = {};
    GetClassNameW(hwnd, className, 256);
    GetWindowTextW(hwnd, title, 512);
    if (search->className != className || !IsWindowVisible(hwnd)) return TRUE;
    if (search->title != L"*" && search->title != title) return TRUE;
    search->found = hwnd;
    return FALSE;
}

// A visible top-level window of the class and title, waited for.
HWND FindVisible(const std::wstring& className, const std::wstring& title) {
    Search search{className, title};
    WaitFor([&] {
        EnumWindows(&MatchTopLevel, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    });
    return search.found;
}

// The window's pixels once they stop changing: it may still be painting when it shows.
int Capture(const std::wstring& className, const std::wstring& title, const wchar_t* file) {
    HWND hwnd = FindVisible(className, title);
    if (!hwnd) return 3;
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    RECT r = {};
    GetWindowRect(hwnd, &r);
    std::vector<std::uint8_t> before;
    WaitFor([&] {
        Sleep(200);
        std::vector<std::uint8_t> now = ScreenPixels(r);
        const bool settled = !now.empty() && now == before;
        before = std::move(now);
        return settled;
    });
    return Screenshot(file, r);
}

HWND FindControl(const std::wstring& className, const std::wstring& title, const wchar_t* id) {
    HWND hwnd = FindVisible(className, title);
    return hwnd ? GetDlgItem(hwnd, _wtoi(id)) : nullptr;
}

int SetText(const std::wstring& className, const std::wstring& title, const wchar_t* id,
            const wchar_t* text) {
    HWND control = FindControl(className, title, id);
    if (!control) return 3;
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text),
                               SMTO_ABORTIFHUNG, 10000, &result)
               ? 0
               : 1;
}

int Click(const std::wstring& className, const std::wstring& title, const wchar_t* id) {
    HWND control = FindControl(className, title, id);
    if (!control) return 3;
    return PostMessageW(control, BM_CLICK, 0, 0) ? 0 : 1;
}

// The program's first "KVTTrayIconWnd" window, the main icon's: each appointment icon has
// one of its own, made later and so above it in z-order.
HWND OldestTrayWindow() {
    HWND oldest = nullptr;
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"STATIC", L"KVTTrayIconWnd"));) {
        oldest = w;
    }
    return oldest;
}

int TrayCallback(const std::wstring& mouse, const wchar_t* window) {
    UINT message = 0;
    if (mouse == L"lbuttonup") {
        message = WM_LBUTTONUP;
    } else if (mouse == L"rbuttonup") {
        message = WM_RBUTTONUP;
    } else if (mouse == L"lbuttondblclk") {
        message = WM_LBUTTONDBLCLK;
    } else {
        message = static_cast<UINT>(wcstoul(mouse.c_str(), nullptr, 0));
    }
    HWND tray = nullptr;
    if (window) {
        tray = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(wcstoull(window, nullptr, 16)));
        if (!IsWindow(tray)) tray = nullptr;
    } else {
        WaitFor([&] { return (tray = OldestTrayWindow()) != nullptr; });
    }
    if (!tray || !message) return 3;
    // Posted: the menu it opens runs a modal loop that a sent message would wait for.
    return PostMessageW(tray, 0x0882, 1, message) ? 0 : 1;
}

std::wstring WithoutMnemonics(const wchar_t* text) {
    std::wstring plain;
    for (const wchar_t* c = text; *c; ++c) {
        if (*c == L'&' && c[1] != L'&') continue;
        plain += *c;
    }
    return plain;
}

BOOL CALLBACK NewestMenuWindow(HWND hwnd, LPARAM data) {
    auto* search = reinterpret_cast<std::pair<HWND, HWND>*>(data);
    wchar_t className[64] = {};
    GetClassNameW(hwnd, className, 64);
    // The first visible menu window in z-order is the one opened last (a submenu).
    if (std::wstring(className) == L"#32768" && IsWindowVisible(hwnd) && hwnd != search->first) {
        search->second = hwnd;
        return FALSE;
    }
    return TRUE;
}

void ClickAt(POINT at) {
    const int width = GetSystemMetrics(SM_CXSCREEN) - 1;
    const int height = GetSystemMetrics(SM_CYSCREEN) - 1;
    INPUT input[3] = {};
    for (INPUT& i : input) i.type = INPUT_MOUSE;
    input[0].mi.dx = MulDiv(at.x, 65535, width);
    input[0].mi.dy = MulDiv(at.y, 65535, height);
    input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(1, &input[0], sizeof(INPUT));
    Sleep(100);  // the menu highlights the item under the pointer before the click
    SendInput(2, &input[1], sizeof(INPUT));
}

void PressKey(WORD key) {
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = key;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
    Sleep(50);
}

// "#N": the N-th item that is not a separator, reached with the arrow keys. Wine keeps a
// menu inside the process that made it, so another process cannot read its items there.
bool PickByPosition(const wchar_t* text, bool submenuOpen, bool last) {
    const int position = _wtoi(text + 1);
    if (position < 1) return false;
    // A submenu opens with its first item selected; a pop-up menu with none.
    for (int i = submenuOpen ? 1 : 0; i < position; ++i) PressKey(VK_DOWN);
    PressKey(last ? VK_RETURN : VK_RIGHT);
    return true;
}

bool PickByText(HWND menuWindow, const wchar_t* text) {
    DWORD_PTR handle = 0;
    SendMessageTimeoutW(menuWindow, MN_GETHMENU, 0, 0, SMTO_ABORTIFHUNG, 5000, &handle);
    auto* menu = reinterpret_cast<HMENU>(handle);
    const int count = menu ? GetMenuItemCount(menu) : -1;
    if (count < 0) {
        std::fprintf(stderr, "the menu cannot be read from this process; give the item as #N\n");
        return false;
    }
    for (int i = 0; i < count; ++i) {
        wchar_t caption[256] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), caption, 256, MF_BYPOSITION);
        RECT r = {};
        if (WithoutMnemonics(caption) != text ||
            !GetMenuItemRect(nullptr, menu, static_cast<UINT>(i), &r)) {
            continue;
        }
        ClickAt({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
        return true;
    }
    std::fprintf(stderr, "no item \"%s\" in the menu\n", Utf8(text).c_str());
    return false;
}

int PickMenu(int count, wchar_t** texts) {
    HWND previous = nullptr;
    for (int level = 0; level < count; ++level) {
        std::pair<HWND, HWND> search{previous, nullptr};
        WaitFor([&] {
            search.second = nullptr;
            EnumWindows(&NewestMenuWindow, reinterpret_cast<LPARAM>(&search));
            return search.second != nullptr;
        });
        HWND menuWindow = search.second;
        if (!menuWindow) return 3;
        const bool picked = texts[level][0] == L'#'
                                ? PickByPosition(texts[level], level > 0, level + 1 == count)
                                : PickByText(menuWindow, texts[level]);
        if (!picked) return 3;
        previous = menuWindow;
    }
    return 0;
}

int Foreground() {
    HWND hwnd = GetForegroundWindow();
    if (!hwnd) return 3;
    PrintWindow(hwnd, "");
    std::printf("iconic %d\n", IsIconic(hwnd) ? 1 : 0);
    return 0;
}

struct DialogSearch {
    std::wstring text;
    HWND found = nullptr;
};

BOOL CALLBACK ChildHasText(HWND child, LPARAM data) {
    auto* search = reinterpret_cast<DialogSearch*>(data);
    wchar_t text[1024] = {};
    GetWindowTextW(child, text, 1024);
    if (std::wstring(text).find(search->text) == std::wstring::npos) return TRUE;
    search->found = child;
    return FALSE;
}

BOOL CALLBACK DialogWithText(HWND hwnd, LPARAM data) {
    auto* search = reinterpret_cast<DialogSearch*>(data);
    wchar_t className[64] = {};
    GetClassNameW(hwnd, className, 64);
    if (std::wstring(className) != L"#32770" || !IsWindowVisible(hwnd)) return TRUE;
    DialogSearch inside{search->text};
    EnumChildWindows(hwnd, &ChildHasText, reinterpret_cast<LPARAM>(&inside));
    if (!inside.found) return TRUE;
    search->found = hwnd;
    return FALSE;
}

BOOL CALLBACK PrintDialogChild(HWND child, LPARAM) {
    wchar_t className[64] = {};
    wchar_t text[1024] = {};
    GetClassNameW(child, className, 64);
    GetWindowTextW(child, text, 1024);
    std::printf("  %d\t%s\t%d\t%s\n", GetDlgCtrlID(child), Utf8(className).c_str(),
                IsWindowVisible(child) ? 1 : 0, Utf8(text).c_str());
    return TRUE;
}

// A message box or another dialog, found by what it says; its button pressed as a click
// would (posted: the dialog's owner may wait in its modal loop).
int Dialog(const wchar_t* text, const wchar_t* buttonId) {
    DialogSearch search{text};
    WaitFor([&] {
        search.found = nullptr;
        EnumWindows(&DialogWithText, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    });
    if (!search.found) return 3;
    PrintWindow(search.found, "");
    EnumChildWindows(search.found, &PrintDialogChild, 0);
    std::fflush(stdout);
    if (!buttonId) return 0;
    HWND button = GetDlgItem(search.found, _wtoi(buttonId));
    if (!button || !IsWindowVisible(button)) return 3;
    return PostMessageW(button, BM_CLICK, 0, 0) ? 0 : 1;
}

LRESULT CALLBACK BrowserWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// Stands in for a browser that shows webmail. It starts minimised and inactive, so bringing
// it forward is something only the program can have done.
int BrowserWindow(const wchar_t* title) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = &BrowserWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"Chrome_WidgetWin_1";
    if (!RegisterClassW(&windowClass)) return 1;
    HWND hwnd = CreateWindowExW(0, windowClass.lpszClassName, title, WS_OVERLAPPEDWINDOW, 40, 40,
                                480, 320, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!hwnd) return 1;
    ShowWindow(hwnd, SW_SHOWMINNOACTIVE);
    std::printf("%p\n", static_cast<void*>(hwnd));
    std::fflush(stdout);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"windows") {
        EnumWindows(&EachTopLevel, argc > 2 && std::wstring(argv[2]) == L"--children");
        return 0;
    }
    if (command == L"end-session" && argc > 2) {
        EndSession request{argv[2]};
        EnumWindows(&EndSessionOf, reinterpret_cast<LPARAM>(&request));
        return request.found > 0 ? 0 : 3;
    }
    if (command == L"screenshot" && argc > 2) return Screenshot(argv[2]);
    if (command == L"capture" && argc > 4) return Capture(argv[2], argv[3], argv[4]);
    if (command == L"set-text" && argc > 5) return SetText(argv[2], argv[3], argv[4], argv[5]);
    if (command == L"click" && argc > 4) return Click(argv[2], argv[3], argv[4]);
    if (command == L"tray" && argc > 2) return TrayCallback(argv[2], argc > 3 ? argv[3] : nullptr);
    if (command == L"foreground") return Foreground();
    if (command == L"dialog" && argc > 2) return Dialog(argv[2], argc > 3 ? argv[3] : nullptr);
    if (command == L"browser-window" && argc > 2) return BrowserWindow(argv[2]);
    if (command == L"pick-menu" && argc > 2) return PickMenu(argc - 2, argv + 2);
    std::fprintf(stderr,
                 "usage: probe windows [--children] | end-session CLASS | screenshot FILE.png |\n"
                 "       capture CLASS TITLE FILE.png | set-text CLASS TITLE ID TEXT |\n"
                 "       click CLASS TITLE ID | tray MOUSE [HWND] | pick-menu ITEM... |\n"
                 "       foreground | dialog TEXT [ID] | browser-window TITLE\n");
    return 2;
}
