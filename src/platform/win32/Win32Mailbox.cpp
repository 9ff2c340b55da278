#include "platform/win32/Win32Mailbox.h"

#include <windows.h>

#include <cstring>

#include "platform/win32/WinText.h"

namespace tovela::win32 {
namespace {

constexpr UINT kTrayCallbackMessage = 0x0882;
constexpr const wchar_t* kMailboxClass = L"STATIC";
constexpr const wchar_t* kMailboxTitle = L"KVTTrayIconWnd";
constexpr const wchar_t* kSinkProperty = L"ObjectPointer";
constexpr const wchar_t* kOldProcProperty = L"OldWindowProc";

LRESULT CALLBACK HookWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

class Win32MailboxWindow final : public MailboxWindow {
public:
    explicit Win32MailboxWindow(MailboxSink& sink) : sink_(sink) {
        taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
        hwnd_ = CreateWindowExW(0, kMailboxClass, kMailboxTitle, 0, 0, 0, 0, 0, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        if (!hwnd_) return;
        SetPropW(hwnd_, kSinkProperty, this);
        auto old = SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HookWndProc));
        SetPropW(hwnd_, kOldProcProperty, reinterpret_cast<HANDLE>(old));
    }

    ~Win32MailboxWindow() override {
        if (!hwnd_) return;
        if (HANDLE old = GetPropW(hwnd_, kOldProcProperty)) {
            SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
        }
        RemovePropW(hwnd_, kOldProcProperty);
        RemovePropW(hwnd_, kSinkProperty);
        DestroyWindow(hwnd_);
    }

    std::uintptr_t Handle() const override { return reinterpret_cast<std::uintptr_t>(hwnd_); }

    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == taskbarCreated_ && taskbarCreated_ != 0) {
            sink_.OnTaskbarCreated();
            return CallOld(msg, wp, lp);
        }
        if (msg == WM_COPYDATA) {
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
            std::optional<std::string> text;
            if (data && data->lpData) {
                // Only cbData bytes were copied into this process: never read past them.
                const char* bytes = static_cast<const char*>(data->lpData);
                const void* nul = std::memchr(bytes, 0, data->cbData);
                std::size_t length =
                    nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - bytes)
                        : data->cbData;
                text = TextFromOtherProgram(std::string_view(bytes, length));
            }
            auto kind = data ? static_cast<std::uint32_t>(data->dwData) : 0u;
            return static_cast<LRESULT>(sink_.OnCopyData(kind, text));
        }
        if (msg == kTrayCallbackMessage) {
            sink_.OnTrayCallback(static_cast<std::int16_t>(LOWORD(lp)));
            return 0;
        }
        return CallOld(msg, wp, lp);
    }

private:
    LRESULT CallOld(UINT msg, WPARAM wp, LPARAM lp) {
        auto old = reinterpret_cast<WNDPROC>(GetPropW(hwnd_, kOldProcProperty));
        return old ? CallWindowProcW(old, hwnd_, msg, wp, lp) : DefWindowProcW(hwnd_, msg, wp, lp);
    }

    MailboxSink& sink_;
    HWND hwnd_ = nullptr;
    UINT taskbarCreated_ = 0;
};

LRESULT CALLBACK HookWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* window = static_cast<Win32MailboxWindow*>(GetPropW(hwnd, kSinkProperty));
    if (!window) return 0;
    return window->WindowProc(msg, wp, lp);
}

}  // namespace

Win32SingleInstance::~Win32SingleInstance() {
    if (mutex_) CloseHandle(mutex_);
}

bool Win32SingleInstance::PrevInstance() {
    if (checked_) return previous_;
    checked_ = true;
    mutex_ = CreateMutexW(nullptr, FALSE, L"Local\\NotificadorTovela.Instance");
    previous_ = mutex_ && GetLastError() == ERROR_ALREADY_EXISTS;
    return previous_;
}

bool Win32SingleInstance::SendCopyData(std::uint32_t kind,
                                       const std::optional<std::string>& payload) {
    HWND target = FindWindowW(kMailboxClass, kMailboxTitle);
    if (!target) return false;
    std::string bytes = payload.value_or(std::string());
    COPYDATASTRUCT data = {};
    data.dwData = kind;
    if (payload) {
        data.cbData = static_cast<DWORD>(bytes.size() + 1);
        data.lpData = bytes.data();
    }
    SendMessageW(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    return true;
}

void Win32WindowSystem::HideFromTaskList() {
    if (form_) form_->HideFromTaskList();
}

std::unique_ptr<MailboxWindow> Win32WindowSystem::CreateMailboxWindow(MailboxSink& sink) {
    return std::make_unique<Win32MailboxWindow>(sink);
}

}  // namespace tovela::win32
