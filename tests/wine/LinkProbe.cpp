// Prints what the shortcut files of a folder hold, as the shell reads them, for the
// end-to-end tests: one line per .lnk file, "name<TAB>target<TAB>arguments<TAB>working
// folder<TAB>description<TAB>show command" ("missing" after the name when the file does not
// load). UTF-8 output; taking a folder keeps non-ASCII names off the command line.
#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(bytes > 0 ? bytes - 1 : 0, '\0');
    if (bytes > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::string Describe(const wchar_t* file) {
    IShellLinkW* link = nullptr;
    IPersistFile* persist = nullptr;
    std::string line = "missing";
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
        SUCCEEDED(persist->Load(file, STGM_READ))) {
        wchar_t path[MAX_PATH] = {}, arguments[1024] = {}, folder[MAX_PATH] = {},
                description[1024] = {};
        int show = 0;
        link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH);
        link->GetArguments(arguments, 1024);
        link->GetWorkingDirectory(folder, MAX_PATH);
        link->GetDescription(description, 1024);
        link->GetShowCmd(&show);
        line = Utf8(path) + "\t" + Utf8(arguments) + "\t" + Utf8(folder) + "\t" +
               Utf8(description) + "\t" + std::to_string(show);
    }
    if (persist) persist->Release();
    if (link) link->Release();
    return line;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring folder = argv[1];
    WIN32_FIND_DATAW found = {};
    HANDLE search = FindFirstFileW((folder + L"\\*.lnk").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring file = folder + L"\\" + found.cFileName;
            std::printf("%s\t%s\n", Utf8(found.cFileName).c_str(), Describe(file.c_str()).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    std::fflush(stdout);
    CoUninitialize();
    return 0;
}
