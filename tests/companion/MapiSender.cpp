// Sends one message through Simple MAPI as a mail-enabled program does, for the end-to-end
// tests of the companion mail library (built 64-bit and 32-bit):
//   tnmapi32_sender LIBRARY ENTRY TO-NAME TO-ADDRESS SUBJECT BODY FILE
// LIBRARY is the library to load (a path, or "mapi32.dll" for the system's), ENTRY is
// MAPISendMail (the texts in the ANSI code page) or MAPISendMailW. The message goes to one
// recipient with FILE attached, without a dialog. Prints "result N" (the entry point's
// answer) and "provider loaded" or "provider absent" (whether tnmapi32.dll is in the
// process afterwards: the system's mapi32 loads it only when it hands the call on).
// Exit codes: the entry point's answer, 100 usage, 101 library or entry point missing,
// 102 a text the ANSI code page cannot hold.
#include <windows.h>

#include <cstdio>
#include <string>

#include "SimpleMapi.h"

namespace {

using SendMailA = ULONG(WINAPI*)(LHANDLE, ULONG_PTR, MapiMessage*, FLAGS, ULONG);
using SendMailW = ULONG(WINAPI*)(LHANDLE, ULONG_PTR, MapiMessageW*, FLAGS, ULONG);

// The text in the ANSI code page; false when a character has no exact form there, since a
// program would then send question marks and the test would not see why.
bool Ansi(const wchar_t* text, std::string& out) {
    BOOL lost = FALSE;
    const int bytes =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, nullptr, 0, nullptr, &lost);
    if (bytes <= 0 || lost) return false;
    out.assign(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, out.data(), bytes, nullptr,
                        nullptr);
    out.pop_back();
    return true;
}

template <typename Function>
Function Entry(HMODULE library, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

ULONG SendAnsi(HMODULE library, wchar_t** texts) {
    auto send = Entry<SendMailA>(library, "MAPISendMail");
    if (!send) return 101;
    std::string name, address, subject, body, path;
    if (!Ansi(texts[0], name) || !Ansi(texts[1], address) || !Ansi(texts[2], subject) ||
        !Ansi(texts[3], body) || !Ansi(texts[4], path)) {
        std::printf("not in code page %u\n", GetACP());
        return 102;
    }
    MapiRecipDesc recipient = {0, MAPI_TO, name.data(), address.data(), 0, nullptr};
    MapiFileDesc file = {0, 0, ULONG(-1), path.data(), nullptr, nullptr};
    MapiMessage message = {};
    message.lpszSubject = subject.data();
    message.lpszNoteText = body.data();
    message.nRecipCount = 1;
    message.lpRecips = &recipient;
    message.nFileCount = 1;
    message.lpFiles = &file;
    return send(0, 0, &message, 0, 0);
}

ULONG SendWide(HMODULE library, wchar_t** texts) {
    auto send = Entry<SendMailW>(library, "MAPISendMailW");
    if (!send) return 101;
    MapiRecipDescW recipient = {0, MAPI_TO, texts[0], texts[1], 0, nullptr};
    MapiFileDescW file = {0, 0, ULONG(-1), texts[4], nullptr, nullptr};
    MapiMessageW message = {};
    message.lpszSubject = texts[2];
    message.lpszNoteText = texts[3];
    message.nRecipCount = 1;
    message.lpRecips = &recipient;
    message.nFileCount = 1;
    message.lpFiles = &file;
    return send(0, 0, &message, 0, 0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 8) {
        std::fprintf(stderr,
                     "usage: tnmapi32_sender LIBRARY MAPISendMail|MAPISendMailW TO-NAME "
                     "TO-ADDRESS SUBJECT BODY FILE\n");
        return 100;
    }
    HMODULE library = LoadLibraryW(argv[1]);
    if (!library) return 101;
    const std::wstring entry = argv[2];
    const ULONG result = entry == L"MAPISendMail"    ? SendAnsi(library, argv + 3)
                         : entry == L"MAPISendMailW" ? SendWide(library, argv + 3)
                                                     : 100;
    std::printf("result %lu\nprovider %s\n", result,
                GetModuleHandleW(L"tnmapi32.dll") ? "loaded" : "absent");
    FreeLibrary(library);
    return static_cast<int>(result);
}
