#include "backend/win32/FormWindowFixture.h"

#include <gtest/gtest.h>

#include <optional>

#include "platform/win32/NotificationArea.h"
#include "platform/win32/WinText.h"

namespace tovela::win32 {
namespace {

// What a timer running inside a modal loop (a menu's, a message box's) saw and did.
struct ModalVisit {
    std::vector<std::string> items{};  // the open menu, one line per item
    std::vector<WPARAM> keys{};        // typed into the menu once it is open
    HWND owner = nullptr;              // the message box's owner
    int answer = 0;                    // the button the message box is answered with
    bool done = false;
};
ModalVisit* visit = nullptr;

void DescribeMenu(HMENU menu, const std::string& indent, std::vector<std::string>& out) {
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t caption[256] = {};
        MENUITEMINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STATE | MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        info.dwTypeData = caption;
        info.cch = 256;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        if (info.fType & MFT_SEPARATOR) {
            out.push_back(indent + "-");
            continue;
        }
        std::string line = indent + Narrow(caption);
        if (!info.hSubMenu) line += " #" + std::to_string(info.wID);
        if (info.fState & MFS_GRAYED) line += " grayed";
        if (info.fState & MFS_CHECKED) line += " checked";
        if (info.fState & MFS_DEFAULT) line += " default";
        out.push_back(line);
        if (info.hSubMenu) DescribeMenu(info.hSubMenu, indent + "  ", out);
    }
}

void CALLBACK LookAtTheMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND menuWindow = FindWindowW(L"#32768", nullptr);
    if (!menuWindow || !IsWindowVisible(menuWindow) || visit->done) return;
    KillTimer(nullptr, timer);
    visit->done = true;
    auto* menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
    DescribeMenu(menu, "", visit->items);
    for (WPARAM key : visit->keys) PostMessageW(menuWindow, WM_KEYDOWN, key, 1);
}

TEST(Win32FormShellTest, ThePopupMenuIsBuiltAsGivenAndReturnsThePickedCommand) {
    const std::vector<std::string> shown = {
        "Tovelaを開く #1 grayed default",
        "新着メールを確認 #2 grayed",
        "設定 #3",
        "Windowsとの統合",
        "  デフォルトのメールアプリケーションとして設定 #4 checked",
        "  起動時に自動実行する #5",
        "-",
        "Tovela Notifierについて #6",
        "終了 #7",
    };
    struct Case {
        const char* name;
        std::vector<WPARAM> keys;
        int command;
    } cases[] = {
        {"the last item", {VK_UP, VK_RETURN}, 7},
        {"an item of the submenu",
         {VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN},
         5},
        {"closed without a pick", {VK_ESCAPE}, 0},
    };
    ShownFormWindow w;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModalVisit seen{.keys = c.keys};
        visit = &seen;
        SetTimer(nullptr, 0, 20, &LookAtTheMenu);
        EXPECT_EQ(w.window.TrackPopupMenu(TrayMenu()), c.command);
        EXPECT_TRUE(seen.done);
        EXPECT_EQ(seen.items, shown);
        visit = nullptr;
    }
}

// A stand-in taskbar, for systems (and Wine prefixes) without one.
struct StandInWindow {
    StandInWindow(const wchar_t* className, const wchar_t* title, HWND parent) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = className;
        RegisterClassW(&wc);
        hwnd = CreateWindowExW(0, className, title, parent ? WS_CHILD : WS_POPUP, 0, 700, 200, 30,
                               parent, nullptr, wc.hInstance, nullptr);
    }
    ~StandInWindow() { DestroyWindow(hwnd); }
    HWND hwnd;
};

TEST(Win32FormShellTest, TheClosingAnimationNeedsTheUntitledNotificationAreaOfTheTaskbar) {
    ShownFormWindow w;
    // Wine has an untitled taskbar window without a notification area outside a virtual
    // desktop; Windows and Wine's virtual desktop have both.
    if (w.window.DrawAnimatedRectsToTray()) GTEST_SKIP() << "this desktop has a notification area";
    struct Case {
        const char* name;
        const wchar_t* taskbarTitle;
        const wchar_t* areaTitle;  // nullptr: no notification area
        bool animates;
    } cases[] = {
        {"taskbar without a notification area", L"", nullptr, false},
        {"a titled notification area is someone else's", L"", L"Notification", false},
        {"a titled taskbar is someone else's", L"Taskbar", L"", false},
        {"the taskbar's notification area", L"", L"", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StandInWindow taskbar(L"Shell_TrayWnd", c.taskbarTitle, nullptr);
        std::optional<StandInWindow> area;
        if (c.areaTitle) area.emplace(L"TrayNotifyWnd", c.areaTitle, taskbar.hwnd);
        EXPECT_EQ(w.window.DrawAnimatedRectsToTray(), c.animates);
        EXPECT_EQ(GetNotificationAreaHandle() != nullptr, c.animates);
    }
}

TEST(Win32FormShellTest, MinAnimateIsReadAsTextAndAbsentWhenNotSet) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop\\WindowMetrics", 0,
                              nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    // The user's own setting comes back afterwards.
    DWORD type = 0;
    BYTE saved[64] = {};
    DWORD savedSize = sizeof saved;
    const bool hadValue =
        RegQueryValueExW(key, L"MinAnimate", nullptr, &type, saved, &savedSize) == ERROR_SUCCESS;

    ShownFormWindow w;
    struct Case {
        const char* name;
        DWORD type;  // 0: no value
        std::vector<BYTE> data;
        std::optional<std::string> expected;
    } cases[] = {
        {"absent", 0, {}, std::nullopt},
        {"switched off", REG_SZ, {'0', 0, 0, 0}, "0"},
        {"switched on", REG_SZ, {'1', 0, 0, 0}, "1"},
        {"written as a number", REG_DWORD, {1, 0, 0, 0}, "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RegDeleteValueW(key, L"MinAnimate");
        if (c.type) {
            RegSetValueExW(key, L"MinAnimate", 0, c.type, c.data.data(),
                           static_cast<DWORD>(c.data.size()));
        }
        EXPECT_EQ(w.window.MinAnimateSetting(), c.expected);
    }
    RegDeleteValueW(key, L"MinAnimate");
    if (hadValue) RegSetValueExW(key, L"MinAnimate", 0, type, saved, savedSize);
    RegCloseKey(key);
}

void CALLBACK AnswerTheQuestion(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = GetActiveWindow();
    if (!box || visit->done) return;
    wchar_t className[64] = {};
    GetClassNameW(box, className, 64);
    if (std::wstring(className) != L"#32770") return;
    KillTimer(nullptr, timer);
    visit->done = true;
    visit->owner = GetWindow(box, GW_OWNER);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(visit->answer, BN_CLICKED), 0);
}

TEST(Win32FormShellTest, TheQuestionWithDontAskAgainIsOwnedByTheFormAndRemembersItsTick) {
    const wchar_t* remembered =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DontShowMeThisDialogAgain";
    const std::string valueName = "{9489E348-4ABF-4402-A82E-5D3B3B012BCC}-BackendTest";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, remembered, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    const std::wstring value = Wide(valueName);
    RegDeleteValueW(key, value.c_str());

    ShownFormWindow w;
    ModalVisit asked{.answer = IDYES};
    visit = &asked;
    SetTimer(nullptr, 0, 20, &AnswerTheQuestion);
    EXPECT_EQ(w.window.MessageBoxCheck("デフォルトのメールアプリケーションとして設定 ?",
                                       "Tovela Notifier v6.1.0", MB_YESNO | MB_ICONQUESTION, -1,
                                       valueName),
              IDYES);
    EXPECT_TRUE(asked.done);
    EXPECT_EQ(asked.owner, w.form->Handle());

    // Ticked once (the shell writes "no"): not shown again, the default answer comes back.
    const wchar_t no[] = L"no";
    RegSetValueExW(key, value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(no), sizeof no);
    ModalVisit notAsked{.answer = IDYES};
    visit = &notAsked;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, &AnswerTheQuestion);
    EXPECT_EQ(w.window.MessageBoxCheck("?", "Tovela Notifier v6.1.0", MB_YESNO | MB_ICONQUESTION,
                                       -1, valueName),
              -1);
    KillTimer(nullptr, timer);
    EXPECT_FALSE(notAsked.done) << "the question was shown again";
    visit = nullptr;
    RegDeleteValueW(key, value.c_str());
    RegCloseKey(key);
}

}  // namespace
}  // namespace tovela::win32
