#pragma once

// What the companion library's tests share: the markers, the entry points' types, scratch
// files, the library loaded by path, and a stand-in for the running program's mailbox window.
#include <gtest/gtest.h>
#include <windows.h>

#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "SimpleMapi.h"

namespace tovela::companion_tests {

inline const std::string M0 = "{3D8B7E87-3233-4397-8F38-E4126BA6DD12}";
inline const std::string M1 = "{5703C4FA-4EFB-4000-BB3B-35103519DD05}";
inline const std::string M2 = "{627B86DD-1097-43b9-AB1C-FB86780CBD7E}";
inline const std::string M3 = "{AB437657-C3C4-4ab7-8E29-02EE3F6201D0}";
inline const std::string M4 = "{85FD0ACD-93BA-4470-9C36-118479989F1C}";
inline const std::string M5 = "{963EB854-9700-44bd-AF1F-1594FBA1526C}";
inline const std::string M6 = "{F4F1F88E-E7EC-41d8-B501-D737581ED094}";
inline const std::string kBom = "\xEF\xBB\xBF";

using SendMailA = ULONG(WINAPI*)(LHANDLE, ULONG_PTR, MapiMessage*, FLAGS, ULONG);
using SendMailW = ULONG(WINAPI*)(LHANDLE, ULONG_PTR, MapiMessageW*, FLAGS, ULONG);
using SendDocuments = ULONG(WINAPI*)(ULONG_PTR, LPSTR, LPSTR, LPSTR, ULONG);
using Logon = ULONG(WINAPI*)(ULONG_PTR, LPSTR, LPSTR, FLAGS, ULONG, LHANDLE*);
using Logoff = ULONG(WINAPI*)(LHANDLE, ULONG_PTR, FLAGS, ULONG);
using FreeBuffer = ULONG(WINAPI*)(LPVOID);
using ResolveName = ULONG(WINAPI*)(LHANDLE, ULONG_PTR, LPSTR, FLAGS, ULONG, MapiRecipDesc**);
using FindNext = ULONG(WINAPI*)(LHANDLE, ULONG_PTR, LPSTR, LPSTR, FLAGS, ULONG, LPSTR);
using ReadMail = ULONG(WINAPI*)(LHANDLE, ULONG_PTR, LPSTR, FLAGS, ULONG, MapiMessage**);
using SaveMail = ULONG(WINAPI*)(LHANDLE, ULONG_PTR, MapiMessage*, FLAGS, ULONG, LPSTR);
using DeleteMail = ULONG(WINAPI*)(LHANDLE, ULONG_PTR, LPSTR, FLAGS, ULONG);
using Address = ULONG(WINAPI*)(LHANDLE, ULONG_PTR, LPSTR, ULONG, LPSTR, ULONG, MapiRecipDesc*,
                               FLAGS, ULONG, ULONG*, MapiRecipDesc**);
using Details = ULONG(WINAPI*)(LHANDLE, ULONG_PTR, MapiRecipDesc*, FLAGS, ULONG);

inline std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), bytes, nullptr, nullptr);
    out.pop_back();
    return out;
}

inline std::wstring ExeFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

inline std::string ReadWholeFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

inline HWND FindMailbox() {
    return FindWindowW(L"STATIC", L"KVTTrayIconWnd");
}

inline bool WaitUntil(const std::function<bool()>& condition, DWORD limitMs = 20'000) {
    const ULONGLONG deadline = GetTickCount64() + limitMs;
    while (!condition()) {
        if (GetTickCount64() > deadline) return false;
        Sleep(20);
    }
    return true;
}

// A scratch folder under TEMP with a blank in its name, removed with its files.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::wstring& name) {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        path = std::wstring(temp) + name + L" " + std::to_wstring(GetCurrentProcessId()) + L"\\";
        CreateDirectoryW(path.c_str(), nullptr);
    }
    ~ScratchFolder() {
        for (auto it = created_.rbegin(); it != created_.rend(); ++it) {
            if (!DeleteFileW(it->c_str())) RemoveDirectoryW(it->c_str());
        }
        RemoveDirectoryW(path.c_str());
    }
    std::wstring File(const std::wstring& name, const std::string& content = "x") {
        std::wstring file = path + name;
        HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        CloseHandle(h);
        created_.push_back(file);
        return file;
    }
    std::wstring Folder(const std::wstring& name) {
        std::wstring folder = path + name + L"\\";
        CreateDirectoryW(folder.c_str(), nullptr);
        created_.push_back(folder);
        return folder;
    }
    void Copy(const std::wstring& from, const std::wstring& to) {
        CopyFileW(from.c_str(), (path + to).c_str(), FALSE);
        created_.push_back(path + to);
    }
    void Forget(const std::wstring& file) { created_.push_back(file); }

    std::wstring path;

private:
    std::vector<std::wstring> created_;
};

struct Received {
    ULONG_PTR kind = 0;
    std::string bytes;  // all cbData bytes, the NUL included
};

// The running program's mailbox window, on a thread of its own with a message loop, so the
// library's SendMessage crosses threads as it crosses processes in real use.
class MailboxReceiver {
public:
    MailboxReceiver() {
        thread_ = std::thread([this] { Run(); });
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return started_; });
    }
    ~MailboxReceiver() {
        if (threadId_) PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }
    bool Open() const { return window_ != nullptr; }
    std::vector<Received> Messages() {
        std::lock_guard lock(mutex_);
        return received_;
    }

private:
    void Run() {
        window_ = CreateWindowExW(0, L"STATIC", L"KVTTrayIconWnd", 0, 0, 0, 0, 0, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        if (window_) {
            SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            oldProc_ = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
        }
        {
            std::lock_guard lock(mutex_);
            threadId_ = GetCurrentThreadId();
            started_ = true;
        }
        changed_.notify_all();
        MSG msg = {};
        // A message queue exists once the window does; PostThreadMessage needs it.
        while (window_ && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
        if (window_) DestroyWindow(window_);
    }

    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<MailboxReceiver*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg == WM_COPYDATA) {
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
            std::lock_guard lock(self->mutex_);
            self->received_.push_back(
                {data->dwData, std::string(static_cast<const char*>(data->lpData), data->cbData)});
            return 0;
        }
        return CallWindowProcW(self->oldProc_, hwnd, msg, wp, lp);
    }

    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool started_ = false;
    DWORD threadId_ = 0;
    HWND window_ = nullptr;
    WNDPROC oldProc_ = nullptr;
    std::vector<Received> received_;
};

class Library {
public:
    explicit Library(const std::wstring& path) : module_(LoadLibraryW(path.c_str())) {}
    ~Library() {
        if (module_) FreeLibrary(module_);
    }
    bool Loaded() const { return module_ != nullptr; }
    template <typename Function>
    Function Get(const char* name) const {
        return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }

private:
    HMODULE module_;
};

inline std::wstring LibraryPath() {
    return ExeFolder() + L"tnmapi32.dll";
}

class MapiLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(FindMailbox(), nullptr) << "a mailbox window of another test is left over";
        ASSERT_TRUE(library.Loaded()) << "tnmapi32.dll not beside the test program";
    }

    // The exact bytes the program receives: one CD_MAPI whose text ends with its NUL.
    static std::string Payload(const std::string& text) {
        return kBom + text + std::string(1, '\0');
    }

    Library library{LibraryPath()};
    ScratchFolder scratch{L"tnmapi test"};
};

}  // namespace tovela::companion_tests
