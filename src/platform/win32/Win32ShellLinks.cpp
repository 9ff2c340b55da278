#include "platform/win32/Win32ShellLinks.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include "platform/win32/WinText.h"

namespace tovela::win32 {
namespace {

// Text getters of the link object fill buffers of this many characters.
constexpr int kLinkBuffer = 260;

class Win32ShellLink final : public ShellLink {
public:
    Win32ShellLink(IShellLinkW* link, IPersistFile* file, bool uninitialize)
        : link_(link), file_(file), uninitialize_(uninitialize) {}
    ~Win32ShellLink() override {
        file_->Release();
        link_->Release();
        if (uninitialize_) CoUninitialize();
    }
    Win32ShellLink(const Win32ShellLink&) = delete;
    Win32ShellLink& operator=(const Win32ShellLink&) = delete;

    std::string GetPath() override {
        wchar_t buffer[kLinkBuffer] = {};
        return SUCCEEDED(link_->GetPath(buffer, kLinkBuffer, nullptr, SLGP_RAWPATH))
                   ? Narrow(buffer)
                   : std::string();
    }
    std::int32_t SetPath(const std::string& path) override {
        return link_->SetPath(Wide(path).c_str());
    }
    std::string GetWorkingDirectory() override {
        wchar_t buffer[kLinkBuffer] = {};
        return SUCCEEDED(link_->GetWorkingDirectory(buffer, kLinkBuffer)) ? Narrow(buffer)
                                                                          : std::string();
    }
    std::int32_t SetWorkingDirectory(const std::string& folder) override {
        return link_->SetWorkingDirectory(Wide(folder).c_str());
    }
    std::string GetDescription() override {
        wchar_t buffer[kLinkBuffer] = {};
        return SUCCEEDED(link_->GetDescription(buffer, kLinkBuffer)) ? Narrow(buffer)
                                                                     : std::string();
    }
    std::int32_t SetDescription(const std::string& text) override {
        return link_->SetDescription(Wide(text).c_str());
    }
    std::string GetArguments() override {
        wchar_t buffer[kLinkBuffer] = {};
        return SUCCEEDED(link_->GetArguments(buffer, kLinkBuffer)) ? Narrow(buffer) : std::string();
    }
    std::int32_t SetArguments(const std::string& arguments) override {
        return link_->SetArguments(Wide(arguments).c_str());
    }
    int GetShowCmd() override {
        int show = 0;
        return SUCCEEDED(link_->GetShowCmd(&show)) ? show : 0;
    }
    std::int32_t SetShowCmd(int showCmd) override { return link_->SetShowCmd(showCmd); }
    std::uint16_t GetHotkey() override {
        WORD hotkey = 0;
        return SUCCEEDED(link_->GetHotkey(&hotkey)) ? hotkey : std::uint16_t{0};
    }
    std::int32_t SetHotkey(std::uint16_t hotkey) override { return link_->SetHotkey(hotkey); }
    std::int32_t SetIconLocation(const std::string& path, int index) override {
        return link_->SetIconLocation(Wide(path).c_str(), index);
    }
    std::int32_t Save(const std::string& file) override {
        return file_->Save(Wide(file).c_str(), TRUE);
    }
    std::int32_t Load(const std::string& file) override {
        return file_->Load(Wide(file).c_str(), STGM_READ);
    }
    std::int32_t Resolve(std::uintptr_t window, std::uint32_t flags) override {
        return link_->Resolve(reinterpret_cast<HWND>(window), flags);
    }

private:
    IShellLinkW* link_;
    IPersistFile* file_;
    bool uninitialize_;
};

}  // namespace

std::unique_ptr<ShellLink> Win32ShellLinks::Create() {
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const bool uninitialize = SUCCEEDED(init);
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        return std::make_unique<Win32ShellLink>(link, file, uninitialize);
    }
    if (link) link->Release();
    if (uninitialize) CoUninitialize();
    return nullptr;
}

}  // namespace tovela::win32
