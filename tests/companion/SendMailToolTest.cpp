#include "CompanionTestKit.h"

namespace tovela::companion_tests {
namespace {

// tovela-sendmail.exe, built with the 64-bit program, sits beside these tests there.
DWORD RunTool(const std::wstring& arguments) {
    const std::wstring tool = ExeFolder() + L"tovela-sendmail.exe";
    std::wstring commandLine = L"\"" + tool + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(tool.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        return 1000;
    }
    DWORD status = 1001;
    if (WaitForSingleObject(process.hProcess, 30'000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &status);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return status;
}

TEST(SendMailToolTest, HandsOverWhatTheLibraryWouldAndFailsWithoutTheProgram) {
    if (GetFileAttributesW((ExeFolder() + L"tovela-sendmail.exe").c_str()) ==
        INVALID_FILE_ATTRIBUTES) {
        GTEST_SKIP() << "the tool comes with the 64-bit build";
    }
    ScratchFolder scratch(L"sendmail test");
    const std::wstring file = scratch.File(L"report 1.pdf");
    const std::wstring arguments =
        L"--to \"Ann <ann@example.com>\" --subject \"会議 1\" "
        L"--body \"本文\" --attach \"" +
        file + L"\" --as 報告.pdf --dialog";
    EXPECT_EQ(RunTool(arguments), 1u) << "no running program";
    EXPECT_EQ(RunTool(L"--attach \"C:\\no such\\file.txt\""), 2u);

    MailboxReceiver program;
    ASSERT_TRUE(program.Open());
    EXPECT_EQ(RunTool(arguments), 0u);
    const auto received = program.Messages();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].kind, 1723u);
    EXPECT_EQ(received[0].bytes, kBom + M0 + M1 + M2 + "Ann|ann@example.com" + M3 + "(8)" + M4 +
                                     "会議 1" + M5 + "本文" + M6 + Utf8(file) + "|報告.pdf" +
                                     std::string(1, '\0'));
}

}  // namespace
}  // namespace tovela::companion_tests
