#include "platform/win32/Win32Form.h"

#include <gtest/gtest.h>

namespace tovela::win32 {
namespace {

// Pumps this thread's messages until `done` holds or `limitMs` passes.
template <typename Done>
bool PumpUntil(Done done, DWORD limitMs = 5000) {
    const ULONGLONG deadline = GetTickCount64() + limitMs;
    MSG msg = {};
    while (!done()) {
        if (GetTickCount64() > deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    return true;
}

TEST(Win32FormTest, IsAHiddenTopLevelWindowOutOfTheTaskList) {
    Win32Form form;
    ASSERT_NE(form.Handle(), nullptr);
    EXPECT_EQ(FindWindowW(Win32Form::kClassName, Win32Form::kTitle), form.Handle());
    EXPECT_FALSE(IsWindowVisible(form.Handle()));
    EXPECT_EQ(GetParent(form.Handle()), nullptr);
    form.HideFromTaskList();
    EXPECT_TRUE(GetWindowLongPtrW(form.Handle(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
}

TEST(Win32FormTest, TimersKeepTheProgramsIdsAndCanBeReplacedOrKilledFromTheirCallback) {
    Win32Form form;
    int first = 0, second = 0;
    ASSERT_TRUE(form.SetTimer(1684, 10, [&] { ++first; }));
    ASSERT_TRUE(PumpUntil([&] { return first >= 2; }));
    // Setting the same id again replaces the callback.
    ASSERT_TRUE(form.SetTimer(1684, 10, [&] {
        ++second;
        form.KillTimer(1684);
    }));
    const int before = first;
    ASSERT_TRUE(PumpUntil([&] { return second == 1; }));
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(second, 1) << "the timer fired after killing itself";
    EXPECT_EQ(first, before);
    EXPECT_FALSE(form.KillTimer(1684));
    EXPECT_FALSE(form.SetTimer(0, 10, [] {}));
}

TEST(Win32FormTest, EndOfSessionAndCloseRunTheShutdownOnce) {
    struct Case {
        const char* name;
        UINT message;
        WPARAM wParam;
        int expected;
    } cases[] = {
        {"session ends", WM_ENDSESSION, TRUE, 1},
        {"session goes on after all", WM_ENDSESSION, FALSE, 0},
        {"close request", WM_CLOSE, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Win32Form form;
        int shutdowns = 0;
        form.SetShutdownHandler([&] { ++shutdowns; });
        // Nothing to ask the user before the session may end.
        EXPECT_EQ(SendMessageW(form.Handle(), WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP), TRUE);
        SendMessageW(form.Handle(), c.message, c.wParam, 0);
        SendMessageW(form.Handle(), c.message, c.wParam, 0);
        EXPECT_EQ(shutdowns, c.expected);
        // The window stays: the shutdown sequence decides what goes.
        EXPECT_TRUE(IsWindow(form.Handle()));
    }
}

}  // namespace
}  // namespace tovela::win32
