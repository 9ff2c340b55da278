// The companion mail library as a mail program uses it: loaded with LoadLibrary, called
// through its exported names, its messages received by a "KVTTrayIconWnd" window of our own.
#include "CompanionTestKit.h"

namespace tovela::companion_tests {
namespace {

TEST_F(MapiLibraryTest, SendMailWCarriesUnicodeRelativePathsAndFlags) {
    MailboxReceiver program;
    ASSERT_TRUE(program.Open());
    const std::wstring attachment = scratch.File(L"report 1.txt");
    // A relative path means the caller's folder, not the program's.
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(scratch.path.c_str());

    MapiRecipDescW recips[] = {
        {0, MAPI_TO, const_cast<PWSTR>(L"Ann"), const_cast<PWSTR>(L"SMTP:ann@example.com"), 0,
         nullptr},
        {0, MAPI_CC, nullptr, const_cast<PWSTR>(L"bob@example.com"), 0, nullptr},
    };
    MapiFileDescW files[] = {
        {0, 0, ULONG(-1), const_cast<PWSTR>(L"report 1.txt"), const_cast<PWSTR>(L"報告書.txt"),
         nullptr},
    };
    MapiRecipDescW from = {0, MAPI_ORIG, const_cast<PWSTR>(L"山田 太郎"), nullptr, 0, nullptr};
    MapiMessageW message = {};
    message.lpszSubject = const_cast<PWSTR>(L"会議の資料 \U0001F4CE");
    message.lpszNoteText = const_cast<PWSTR>(L"本文です。\r\n| 2 |\r\n");
    message.lpOriginator = &from;
    message.nRecipCount = 2;
    message.lpRecips = recips;
    message.nFileCount = 1;
    message.lpFiles = files;
    const ULONG result =
        library.Get<SendMailW>("MAPISendMailW")(0, 0, &message, MAPI_DIALOG | 0x1, 0);
    SetCurrentDirectoryW(previous);

    ASSERT_EQ(result, SUCCESS_SUCCESS);
    const auto received = program.Messages();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].kind, 1723u);
    EXPECT_EQ(received[0].bytes,
              Payload(M0 + "山田 太郎" + M1 + M2 + "Ann|SMTP:ann@example.com||bob@example.com" +
                      M3 + "(9)" + M4 + "会議の資料 \xF0\x9F\x93\x8E" + M5 +
                      "本文です。\r\n| 2 |\r\n" + M6 + Utf8(attachment) + "|報告書.txt"));
}

TEST_F(MapiLibraryTest, SendMailReadsTheAnsiCodePageAndBlindCopiesAskForTheDialog) {
    MailboxReceiver program;
    ASSERT_TRUE(program.Open());
    const std::wstring attachment = scratch.File(L"data 2.csv");
    // A text this machine's ANSI code page holds; plain ASCII where it holds no umlaut.
    std::wstring subject = L"Grüße";
    BOOL lossy = FALSE;
    char ansi[64] = {};
    WideCharToMultiByte(CP_ACP, 0, subject.c_str(), -1, ansi, sizeof ansi, nullptr, &lossy);
    if (lossy) {
        subject = L"Greetings";
        WideCharToMultiByte(CP_ACP, 0, subject.c_str(), -1, ansi, sizeof ansi, nullptr, nullptr);
    }
    const std::string path(attachment.begin(), attachment.end());  // TEMP is ASCII here

    MapiRecipDesc recips[] = {
        {0, MAPI_TO, const_cast<LPSTR>("ann@example.com"), nullptr, 0, nullptr},
        {0, MAPI_BCC, const_cast<LPSTR>("Boss"), const_cast<LPSTR>("boss@example.com"), 0, nullptr},
    };
    MapiFileDesc files[] = {{0, 0, ULONG(-1), const_cast<LPSTR>(path.c_str()), nullptr, nullptr}};
    MapiMessage message = {};
    message.lpszSubject = ansi;
    message.nRecipCount = 2;
    message.lpRecips = recips;
    message.nFileCount = 1;
    message.lpFiles = files;
    ASSERT_EQ(library.Get<SendMailA>("MAPISendMail")(0, 0, &message, 0, 0), SUCCESS_SUCCESS);

    const auto received = program.Messages();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].bytes,
              Payload(M0 + M1 + M2 + "ann@example.com||Boss|boss@example.com" + M3 + "(8)" + M4 +
                      Utf8(subject) + M5 + M6 + path + "|data 2.csv"));
}

TEST_F(MapiLibraryTest, SendDocumentsAttachesEachPathForTheDialog) {
    MailboxReceiver program;
    ASSERT_TRUE(program.Open());
    const std::string a = Utf8(scratch.File(L"a b.txt"));
    const std::string c = Utf8(scratch.File(L"c.txt"));
    std::string paths = a + ";" + c;
    ASSERT_EQ(library.Get<SendDocuments>("MAPISendDocuments")(
                  0, const_cast<LPSTR>(";"), paths.data(), const_cast<LPSTR>("A.txt;"), 0),
              SUCCESS_SUCCESS);
    const auto received = program.Messages();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].bytes,
              Payload(M0 + M1 + M2 + M3 + "(8)" + M4 + M5 + M6 + a + "|A.txt|" + c + "|c.txt"));
}

TEST_F(MapiLibraryTest, RefusedMessagesReachNobody) {
    MailboxReceiver program;
    ASSERT_TRUE(program.Open());
    MapiFileDescW missing[] = {
        {0, 0, ULONG(-1), const_cast<PWSTR>(L"C:\\no such folder\\gone.txt"), nullptr, nullptr}};
    MapiRecipDescW oddClass[] = {{0, 7, nullptr, const_cast<PWSTR>(L"a@b"), 0, nullptr}};
    struct Case {
        const char* name;
        MapiMessageW message;
        bool nullMessage;
        ULONG expected;
    } cases[] = {
        {"attachment not there",
         {0, nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0, nullptr, 1, missing},
         false,
         MAPI_E_ATTACHMENT_NOT_FOUND},
        {"unknown recipient class",
         {0, nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr, 1, oddClass, 0, nullptr},
         false,
         MAPI_E_BAD_RECIPTYPE},
        {"no message", {}, true, MAPI_E_INVALID_MESSAGE},
    };
    const auto send = library.Get<SendMailW>("MAPISendMailW");
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(send(0, 0, c.nullMessage ? nullptr : &c.message, 0, 0), c.expected);
    }
    std::string paths = "C:\\no such folder\\gone.txt";
    EXPECT_EQ(library.Get<SendDocuments>("MAPISendDocuments")(0, const_cast<LPSTR>(";"),
                                                              paths.data(), nullptr, 0),
              MAPI_E_ATTACHMENT_NOT_FOUND);
    EXPECT_TRUE(program.Messages().empty());
}

TEST_F(MapiLibraryTest, SessionsResolvedNamesAndUnsupportedCalls) {
    LHANDLE session = 0;
    EXPECT_EQ(library.Get<Logon>("MAPILogon")(0, nullptr, nullptr, 0, 0, &session),
              SUCCESS_SUCCESS);
    EXPECT_NE(session, 0u);
    EXPECT_EQ(library.Get<Logoff>("MAPILogoff")(session, 0, 0, 0), SUCCESS_SUCCESS);

    MapiRecipDesc* recip = nullptr;
    const auto resolve = library.Get<ResolveName>("MAPIResolveName");
    ASSERT_EQ(resolve(session, 0, const_cast<LPSTR>("ann@example.com"), 0, 0, &recip),
              SUCCESS_SUCCESS);
    ASSERT_NE(recip, nullptr);
    EXPECT_EQ(recip->ulRecipClass, MAPI_TO);
    EXPECT_STREQ(recip->lpszName, "ann@example.com");
    EXPECT_STREQ(recip->lpszAddress, "ann@example.com");
    EXPECT_EQ(library.Get<FreeBuffer>("MAPIFreeBuffer")(recip), SUCCESS_SUCCESS);
    EXPECT_EQ(resolve(session, 0, const_cast<LPSTR>(""), 0, 0, &recip), MAPI_E_UNKNOWN_RECIPIENT);
    EXPECT_EQ(recip, nullptr);

    char id[512] = {};
    MapiMessage* read = nullptr;
    ULONG count = 0;
    EXPECT_EQ(library.Get<FindNext>("MAPIFindNext")(session, 0, nullptr, nullptr, 0, 0, id),
              MAPI_E_NOT_SUPPORTED);
    EXPECT_EQ(library.Get<ReadMail>("MAPIReadMail")(session, 0, id, 0, 0, &read),
              MAPI_E_NOT_SUPPORTED);
    EXPECT_EQ(library.Get<SaveMail>("MAPISaveMail")(session, 0, nullptr, 0, 0, id),
              MAPI_E_NOT_SUPPORTED);
    EXPECT_EQ(library.Get<DeleteMail>("MAPIDeleteMail")(session, 0, id, 0, 0),
              MAPI_E_NOT_SUPPORTED);
    EXPECT_EQ(library.Get<Address>("MAPIAddress")(session, 0, nullptr, 0, nullptr, 0, nullptr, 0, 0,
                                                  &count, &recip),
              MAPI_E_NOT_SUPPORTED);
    EXPECT_EQ(library.Get<Details>("MAPIDetails")(session, 0, nullptr, 0, 0), MAPI_E_NOT_SUPPORTED);
}

TEST_F(MapiLibraryTest, WithoutTheProgramTheCallFails) {
    // Nothing runs and no TovelaNotifier.exe is beside the library or above it.
    MapiMessageW message = {};
    message.lpszSubject = const_cast<PWSTR>(L"x");
    EXPECT_EQ(library.Get<SendMailW>("MAPISendMailW")(0, 0, &message, 0, 0), MAPI_E_FAILURE);
}

TEST_F(MapiLibraryTest, StartsTheProgramBesideItOrOneFolderUpAndWaitsForItsWindow) {
    struct Layout {
        const char* name;
        std::wstring libraryFolder;
    } layouts[] = {{"beside the program", L""}, {"in the 32-bit subfolder", L"x86\\"}};
    for (const auto& layout : layouts) {
        SCOPED_TRACE(layout.name);
        ScratchFolder install{L"tnmapi install"};
        install.Copy(ExeFolder() + L"tnmapi32_stand_in.exe", L"TovelaNotifier.exe");
        install.Forget(install.path + L"received.bin");
        if (!layout.libraryFolder.empty()) install.Folder(L"x86");
        // Another name than the loaded library's, so Windows loads this copy.
        install.Copy(LibraryPath(), layout.libraryFolder + L"tnmapi32-copy.dll");
        Library copy(install.path + layout.libraryFolder + L"tnmapi32-copy.dll");
        ASSERT_TRUE(copy.Loaded());

        MapiMessageW message = {};
        message.lpszSubject = const_cast<PWSTR>(L"started");
        ASSERT_EQ(copy.Get<SendMailW>("MAPISendMailW")(0, 0, &message, 0, 0), SUCCESS_SUCCESS);
        EXPECT_EQ(ReadWholeFile(install.path + L"received.bin"),
                  Payload(M0 + M1 + M2 + M3 + "(0)" + M4 + "started" + M5 + M6));
        EXPECT_TRUE(WaitUntil([] { return FindMailbox() == nullptr; }))
            << "the stand-in still runs";
    }
}

}  // namespace
}  // namespace tovela::companion_tests
