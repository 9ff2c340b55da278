#include "backend/win32/FormWindowFixture.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include "platform/win32/WinText.h"

namespace tovela::win32 {
namespace {

using Log = std::vector<std::string>;

HWND Child(ShownFormWindow& w, Slot slot) {
    return w.window.Control(slot);
}

// One window for the whole suite: without a window manager, Wine waits two seconds for
// every visible window that is hidden or destroyed. Each test starts from the Japanese
// model, shown, with the focus in the host box.
class Win32FormWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { shared_ = new ShownFormWindow; }
    static void TearDownTestSuite() {
        delete shared_;
        shared_ = nullptr;
    }
    void SetUp() override {
        ShownFormWindow& w = *shared_;
        w.events.acceptFocus = true;
        w.form->SetShutdownHandler(nullptr);
        w.window.Render(JapaneseModel());
        Drain(*w.form);
        w.events.log.clear();
    }
    static ShownFormWindow* shared_;
};

ShownFormWindow* Win32FormWindowTest::shared_ = nullptr;

TEST_F(Win32FormWindowTest, ShowsEveryControlOfTheModelWithTheJapaneseTextsAndTheDialogFont) {
    ShownFormWindow& w = *shared_;
    SettingsWindowModel model = JapaneseModel();
    ASSERT_TRUE(IsWindowVisible(w.form->Handle()));
    EXPECT_EQ(WideText(w.form->Handle()), L"Tovela Notifier v6.1.0");

    struct Case {
        Slot slot;
        const wchar_t* text;
        int check;  // -1: not a check box or option
        const wchar_t* tip;
    } cases[] = {
        {Slot::lblServer, L"サーバー:", -1, nullptr},
        {Slot::txtTovelaHost, L"mail.example.com", -1,
         L"サーバー名もしくはIPを入力してください (例: https://mail.example.com/ の場合は "
         L"mail.example.com)"},
        {Slot::lblUsername, L"ユーザー名:", -1, nullptr},
        {Slot::txtUsuario, L"山田", -1, nullptr},
        {Slot::lblPassword, L"パスワード:", -1, nullptr},
        {Slot::txtPassword, L"********************", -1, nullptr},
        {Slot::lblTitleMailPollInterval, L"確認間隔(秒):", -1, nullptr},
        {Slot::lblMailPollInterval, L"60", -1, L"Tovelaで設定 -> オプション > メール"},
        {Slot::chkGuardaPassword, L"パスワードの保存", BST_UNCHECKED, nullptr},
        {Slot::chkSSL, L"安全な接続をする", BST_CHECKED,
         L"インターネット経由で接続する場合にチェックします"},
        {Slot::chkWebmailLogin, L"Webmail Login", BST_UNCHECKED, nullptr},
        {Slot::chkVentana, L"ウィンドウで知らせる", BST_UNCHECKED, nullptr},
        {Slot::chkSonido, L"音で知らせる", BST_CHECKED,
         L"インストール先のunread.wavファイルを使用します"},
        {Slot::fraFilters, L"リマインド規則: (フォルダー|タグ|カレンダー)", -1, nullptr},
        {Slot::optBlackList, L"リマインドしない...", BST_CHECKED, nullptr},
        {Slot::optWhiteList, L"リマインドする...", BST_UNCHECKED, nullptr},
        {Slot::lblTitleFilters, L"次の文字列を含む場合:", -1, nullptr},
        {Slot::txtFilters, L"迷惑メール", -1,
         L"フォルダー名、タグ、カレンダーでフィルターリングします。\"|\"で項目を区切り、"
         L"正規表現が使用可能です"},
        {Slot::cmdAceptar, L"&OK", -1, nullptr},
        {Slot::cmdCerrar, L"閉じる(&C)", -1, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.text));
        HWND control = Child(w, c.slot);
        EXPECT_EQ(WideText(control), c.text);
        EXPECT_TRUE(IsWindowEnabled(control));
        if (c.check >= 0) {
            EXPECT_EQ(SendMessageW(control, BM_GETCHECK, 0, 0), c.check);
        }
        wchar_t tip[512] = {};
        TTTOOLINFOW info = {};
        info.cbSize = TTTOOLINFOW_V2_SIZE;
        info.hwnd = w.form->Handle();
        info.uId = reinterpret_cast<UINT_PTR>(control);
        info.lpszText = tip;
        const bool hasTip = SendMessageW(w.window.Tooltip(), TTM_GETTOOLINFOW, 0,
                                         reinterpret_cast<LPARAM>(&info)) != 0;
        EXPECT_EQ(hasTip, c.tip != nullptr);
        if (c.tip && hasTip) {
            SendMessageW(w.window.Tooltip(), TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&info));
            EXPECT_EQ(std::wstring(tip), c.tip);
        }
    }
    EXPECT_EQ(SendMessageW(Child(w, Slot::txtPassword), EM_GETPASSWORDCHAR, 0, 0), L'*');
    EXPECT_TRUE(GetWindowLongPtrW(Child(w, Slot::txtPassword), GWL_STYLE) & ES_PASSWORD);
    EXPECT_EQ(GetDlgCtrlID(Child(w, Slot::cmdAceptar)), IDOK);
    EXPECT_EQ(GetDlgCtrlID(Child(w, Slot::cmdCerrar)), IDCANCEL);

    LOGFONTW font = {};
    auto* used = reinterpret_cast<HFONT>(SendMessageW(Child(w, Slot::lblServer), WM_GETFONT, 0, 0));
    ASSERT_EQ(used, w.window.Font());
    GetObjectW(used, sizeof font, &font);
    EXPECT_STREQ(font.lfFaceName, L"MS Shell Dlg");
    EXPECT_EQ(font.lfCharSet, SHIFTJIS_CHARSET);
    EXPECT_EQ(font.lfHeight, -MulDiv(9, static_cast<int>(w.window.Dpi()), 72));

    // Hidden again: the program lives in the notification area.
    model.visible = false;
    w.window.Render(model);
    EXPECT_FALSE(IsWindowVisible(w.form->Handle()));
    EXPECT_TRUE(w.events.log.empty());
}

TEST_F(Win32FormWindowTest, ALockedWindowShowsTheHourglassTheCaptionAndGreyedControls) {
    ShownFormWindow& w = *shared_;
    SettingsWindowModel model = JapaneseModel();
    HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
    auto pointer = [&] {
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
        SendMessageW(w.form->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(w.form->Handle()),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        return GetCursor();
    };
    EXPECT_NE(pointer(), wait);

    model.busyPointer = true;
    model.caption += " - サーバーへのお問い合わせ...";
    model.txtUsuario.enabled = false;
    model.cmdCerrar.enabled = false;
    model.fraFilters.enabled = false;
    w.window.Render(model);
    EXPECT_EQ(pointer(), wait);
    EXPECT_EQ(WideText(w.form->Handle()), L"Tovela Notifier v6.1.0 - サーバーへのお問い合わせ...");
    struct Case {
        Slot slot;
        bool enabled;
    } cases[] = {{Slot::txtUsuario, false},   {Slot::cmdCerrar, false},
                 {Slot::txtTovelaHost, true}, {Slot::fraFilters, false},
                 {Slot::optWhiteList, false}, {Slot::txtFilters, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.slot));
        EXPECT_EQ(IsWindowEnabled(Child(w, c.slot)) != FALSE, c.enabled);
    }
    // Neither the close box nor Escape hides a window that is busy with the server.
    SendMessageW(w.form->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    SendMessageW(w.form->Handle(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(w.events.log, Log{});

    model = JapaneseModel();
    w.window.Render(model);
    EXPECT_NE(pointer(), wait);
    EXPECT_TRUE(IsWindowEnabled(Child(w, Slot::txtFilters)));
}

// What the user does to one control, and the events it must give: one each, and none for
// what Render changes afterwards.
TEST_F(Win32FormWindowTest, UserInputBecomesOneEventEachAndRenderingBecomesNone) {
    struct Case {
        const char* name;
        void (*act)(ShownFormWindow&);
        Log expected;
    } cases[] = {
        {"text set in the host box",
         [](ShownFormWindow& w) {
             SendMessageW(Child(w, Slot::txtTovelaHost), WM_SETTEXT, 0,
                          reinterpret_cast<LPARAM>(L"tovela.example.jp"));
         },
         {"text txtTovelaHost tovela.example.jp"}},
        {"a character typed into the focused host box",
         [](ShownFormWindow& w) {
             SendMessageW(Child(w, Slot::txtTovelaHost), EM_SETSEL, 0, -1);
             PostMessageW(Child(w, Slot::txtTovelaHost), WM_CHAR, L'x', 1);
         },
         {"text txtTovelaHost x"}},
        {"OK clicked",
         [](ShownFormWindow& w) { SendMessageW(Child(w, Slot::cmdAceptar), BM_CLICK, 0, 0); },
         {"focus cmdAceptar", "button cmdAceptar"}},
        {"Enter in the host box presses OK",
         [](ShownFormWindow& w) {
             PostMessageW(Child(w, Slot::txtTovelaHost), WM_KEYDOWN, VK_RETURN, 1);
         },
         {"button cmdAceptar"}},
        {"Escape presses close",
         [](ShownFormWindow& w) {
             PostMessageW(Child(w, Slot::txtTovelaHost), WM_KEYDOWN, VK_ESCAPE, 1);
         },
         {"button cmdCerrar"}},
        {"the caption's close box presses close",
         [](ShownFormWindow& w) { SendMessageW(w.form->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); },
         {"button cmdCerrar"}},
        {"a check box clicked",
         [](ShownFormWindow& w) { SendMessageW(Child(w, Slot::chkSSL), BM_CLICK, 0, 0); },
         {"focus chkSSL", "check chkSSL 0"}},
        {"an option clicked",
         [](ShownFormWindow& w) { SendMessageW(Child(w, Slot::optWhiteList), BM_CLICK, 0, 0); },
         {"focus optWhiteList", "option optWhiteList"}},
        {"Tab to the next box",
         [](ShownFormWindow& w) {
             PostMessageW(Child(w, Slot::txtTovelaHost), WM_KEYDOWN, VK_TAB, 1);
         },
         {"focus txtUsuario"}},
        {"the mnemonic of close",
         [](ShownFormWindow& w) {
             PostMessageW(Child(w, Slot::txtTovelaHost), WM_SYSCHAR, L'c', 1 << 29);
         },
         {"focus cmdCerrar", "button cmdCerrar"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        ShownFormWindow& w = *shared_;
        SettingsWindowModel model = JapaneseModel();
        ASSERT_EQ(GetFocus(), Child(w, Slot::txtTovelaHost));
        c.act(w);
        PumpUntil(
            *w.form, [&] { return w.events.log.size() >= c.expected.size(); }, 2000);
        Drain(*w.form);
        EXPECT_EQ(w.events.log, c.expected);

        // The program answers by rendering its model, changed all over: no events.
        w.events.log.clear();
        model.txtTovelaHost.text = "other.example.jp";
        model.txtPassword.text.clear();
        model.chkSSL.value = kUnchecked;
        model.chkVentana.value = kGrayed;
        model.optBlackList.value = false;
        model.optWhiteList.value = true;
        model.txtFilters.text = "受信箱";
        model.focused = ControlId::txtFilters;
        w.window.Render(model);
        Drain(*w.form);
        EXPECT_EQ(w.events.log, Log{});
        EXPECT_EQ(GetFocus(), Child(w, Slot::txtFilters));
        EXPECT_EQ(WideText(Child(w, Slot::txtTovelaHost)), L"other.example.jp");
        EXPECT_EQ(SendMessageW(Child(w, Slot::chkVentana), BM_GETCHECK, 0, 0), BST_INDETERMINATE);
        EXPECT_EQ(SendMessageW(Child(w, Slot::optWhiteList), BM_GETCHECK, 0, 0), BST_CHECKED);
    }
}

TEST_F(Win32FormWindowTest, WmCloseStillEndsTheProgramWhileTheCloseBoxOnlyHides) {
    ShownFormWindow& w = *shared_;
    int shutdowns = 0;
    w.form->SetShutdownHandler([&] { ++shutdowns; });
    SendMessageW(w.form->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(shutdowns, 0);
    SendMessageW(w.form->Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(shutdowns, 1);
    EXPECT_EQ(w.events.log, (Log{"button cmdCerrar"}));
}

TEST_F(Win32FormWindowTest, ARefusedFocusGoesBackAndTheRefusedButtonDoesNotClick) {
    ShownFormWindow& w = *shared_;
    HWND host = Child(w, Slot::txtTovelaHost);
    ASSERT_EQ(GetFocus(), host);
    w.events.acceptFocus = false;

    SetFocus(Child(w, Slot::txtUsuario));
    EXPECT_TRUE(PumpUntil(*w.form, [&] { return GetFocus() == host; }));
    SendMessageW(Child(w, Slot::cmdAceptar), BM_CLICK, 0, 0);
    EXPECT_TRUE(PumpUntil(*w.form, [&] { return GetFocus() == host; }));
    Drain(*w.form);
    EXPECT_EQ(w.events.log, (Log{"focus txtUsuario", "focus cmdAceptar"}));
    // Enter still presses OK: only the click that came with the refused focus is dropped.
    w.events.log.clear();
    PostMessageW(host, WM_KEYDOWN, VK_RETURN, 1);
    PumpUntil(
        *w.form, [&] { return !w.events.log.empty(); }, 2000);
    EXPECT_EQ(w.events.log, (Log{"button cmdAceptar"}));

    // Once the focus may move, it stays where the user put it.
    w.events.acceptFocus = true;
    w.events.log.clear();
    SetFocus(Child(w, Slot::txtUsuario));
    Drain(*w.form);
    EXPECT_EQ(GetFocus(), Child(w, Slot::txtUsuario));
    EXPECT_EQ(w.events.log, (Log{"focus txtUsuario"}));
}

// Every caption fits its control and no two controls overlap, at 100 % and at 150 %.
TEST_F(Win32FormWindowTest, TheLayoutFitsTheJapaneseCaptionsAtEveryDpi) {
    ShownFormWindow& w = *shared_;
    const UINT systemDpi = w.window.Dpi();
    for (UINT dpi : {144u, 96u, 120u}) {
        SCOPED_TRACE(dpi);
        RECT suggested = {100, 100, 600, 500};
        SendMessageW(w.form->Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                     reinterpret_cast<LPARAM>(&suggested));
        ASSERT_EQ(w.window.Dpi(), dpi);
        LOGFONTW font = {};
        GetObjectW(w.window.Font(), sizeof font, &font);
        EXPECT_EQ(font.lfHeight, -MulDiv(9, static_cast<int>(dpi), 72));
        RECT window = {};
        GetWindowRect(w.form->Handle(), &window);
        EXPECT_EQ(window.left, 100);
        EXPECT_EQ(window.top, 100);

        RECT client = {};
        GetClientRect(w.form->Handle(), &client);
        HDC dc = GetDC(w.form->Handle());
        SelectObject(dc, w.window.Font());
        const int checkBox = MulDiv(16, static_cast<int>(dpi), 96);
        std::vector<std::pair<Slot, RECT>> placed;
        for (const ControlEntry& entry : ControlTable()) {
            SCOPED_TRACE(static_cast<int>(entry.slot));
            HWND control = Child(w, entry.slot);
            RECT r = {};
            GetWindowRect(control, &r);
            MapWindowPoints(nullptr, w.form->Handle(), reinterpret_cast<POINT*>(&r), 2);
            EXPECT_GE(r.left, client.left);
            EXPECT_GE(r.top, client.top);
            EXPECT_LE(r.right, client.right);
            EXPECT_LE(r.bottom, client.bottom);
            const std::wstring text = WideText(control);
            RECT need = {};
            DrawTextW(dc, text.c_str(), -1, &need, DT_CALCRECT | DT_SINGLELINE);
            int room = r.right - r.left;
            if (entry.kind == ControlKind::Check || entry.kind == ControlKind::Option) {
                room -= checkBox;
            }
            if (entry.kind == ControlKind::Button || entry.kind == ControlKind::Frame) {
                room -= MulDiv(12, static_cast<int>(dpi), 96);
            }
            if (entry.kind != ControlKind::Edit && entry.kind != ControlKind::Password) {
                EXPECT_LE(need.right, room) << Narrow(text);
                EXPECT_LE(need.bottom, r.bottom - r.top) << Narrow(text);
            }
            if (entry.kind != ControlKind::Frame) placed.emplace_back(entry.slot, r);
        }
        ReleaseDC(w.form->Handle(), dc);
        for (std::size_t i = 0; i < placed.size(); ++i) {
            for (std::size_t k = i + 1; k < placed.size(); ++k) {
                RECT both = {};
                EXPECT_FALSE(IntersectRect(&both, &placed[i].second, &placed[k].second))
                    << static_cast<int>(placed[i].first) << " overlaps "
                    << static_cast<int>(placed[k].first);
            }
        }
    }
    RECT suggested = {100, 100, 600, 500};
    SendMessageW(w.form->Handle(), WM_DPICHANGED, MAKEWPARAM(systemDpi, systemDpi),
                 reinterpret_cast<LPARAM>(&suggested));
}

}  // namespace
}  // namespace tovela::win32
