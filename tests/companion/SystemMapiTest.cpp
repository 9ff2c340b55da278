#include "CompanionTestKit.h"

namespace tovela::companion_tests {
namespace {

// Programs reach a mail library through the system's mapi32.dll, which loads the one the
// default mail client names: per user under HKCU (as the program registers itself), for
// the machine under HKLM. Wine's own mapi32 reads HKLM only, so the test names the library
// in both, and puts the machine's choice back afterwards.
class DefaultMailClient {
public:
    explicit DefaultMailClient(const std::wstring& dll) {
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            HKEY mail = nullptr;
            if (RegCreateKeyExW(root, kClientKey, 0, nullptr, 0, KEY_WRITE, nullptr, &mail,
                                nullptr) != ERROR_SUCCESS) {
                continue;
            }
            SetText(mail, L"DllPath", dll);
            RegCloseKey(mail);
        }
        HKEY machine = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMailKey, 0, KEY_READ, &machine) == ERROR_SUCCESS) {
            wchar_t name[256] = {};
            DWORD size = sizeof name;
            if (RegQueryValueExW(machine, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(name),
                                 &size) == ERROR_SUCCESS) {
                previous_ = name;
            }
            RegCloseKey(machine);
        }
        SetDefault(HKEY_CURRENT_USER, kClientName);
        SetDefault(HKEY_LOCAL_MACHINE, kClientName);
    }
    ~DefaultMailClient() {
        RegDeleteTreeW(HKEY_CURRENT_USER, kMailKey);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kClientKey);
        if (previous_.empty()) {
            RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kMailKey, nullptr);
        } else {
            SetDefault(HKEY_LOCAL_MACHINE, previous_);
        }
    }

private:
    static constexpr const wchar_t* kMailKey = L"Software\\Clients\\Mail";
    static constexpr const wchar_t* kClientKey = L"Software\\Clients\\Mail\\Tovela Notifier";
    static constexpr const wchar_t* kClientName = L"Tovela Notifier";

    static void SetText(HKEY key, const wchar_t* name, const std::wstring& value) {
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    static void SetDefault(HKEY root, const std::wstring& value) {
        HKEY mail = nullptr;
        if (RegCreateKeyExW(root, kMailKey, 0, nullptr, 0, KEY_WRITE, nullptr, &mail, nullptr) ==
            ERROR_SUCCESS) {
            SetText(mail, nullptr, value);
            RegCloseKey(mail);
        }
    }

    std::wstring previous_;
};

TEST_F(MapiLibraryTest, ThroughTheSystemMapiOfTheDefaultMailClient) {
    DefaultMailClient client(LibraryPath());
    MailboxReceiver program;
    ASSERT_TRUE(program.Open());
    const std::string path = Utf8(scratch.File(L"doc 1.txt"));
    {
        // mapi32 picks its provider when it is loaded, so after the registry is written.
        Library mapi32(L"mapi32.dll");
        ASSERT_TRUE(mapi32.Loaded());
        MapiMessageW wide = {};
        wide.lpszSubject = const_cast<PWSTR>(L"件名 W");
        MapiMessage ansi = {};
        ansi.lpszSubject = const_cast<LPSTR>("subject A");
        std::string paths = path;
        EXPECT_EQ(mapi32.Get<SendMailW>("MAPISendMailW")(0, 0, &wide, 0, 0), SUCCESS_SUCCESS);
        EXPECT_EQ(mapi32.Get<SendMailA>("MAPISendMail")(0, 0, &ansi, MAPI_DIALOG, 0),
                  SUCCESS_SUCCESS);
        EXPECT_EQ(mapi32.Get<SendDocuments>("MAPISendDocuments")(0, const_cast<LPSTR>(";"),
                                                                 paths.data(), nullptr, 0),
                  SUCCESS_SUCCESS);

        LHANDLE session = 0;
        EXPECT_EQ(mapi32.Get<Logon>("MAPILogon")(0, nullptr, nullptr, 0, 0, &session),
                  SUCCESS_SUCCESS);
        MapiRecipDesc* recip = nullptr;
        ASSERT_EQ(mapi32.Get<ResolveName>("MAPIResolveName")(session, 0, const_cast<LPSTR>("a@b"),
                                                             0, 0, &recip),
                  SUCCESS_SUCCESS);
        ASSERT_NE(recip, nullptr);
        EXPECT_STREQ(recip->lpszAddress, "a@b");
        // Wine's mapi32 frees this itself instead of passing the call on.
        EXPECT_EQ(mapi32.Get<FreeBuffer>("MAPIFreeBuffer")(recip), SUCCESS_SUCCESS);
    }
    const auto received = program.Messages();
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[0].bytes, Payload(M0 + M1 + M2 + M3 + "(0)" + M4 + "件名 W" + M5 + M6));
    EXPECT_EQ(received[1].bytes, Payload(M0 + M1 + M2 + M3 + "(8)" + M4 + "subject A" + M5 + M6));
    EXPECT_EQ(received[2].bytes,
              Payload(M0 + M1 + M2 + M3 + "(8)" + M4 + M5 + M6 + path + "|doc 1.txt"));
}

}  // namespace
}  // namespace tovela::companion_tests
