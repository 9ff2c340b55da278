#include "platform/win32/Win32FileSystem.h"

// clang-format off
#include <windows.h>
#include <shlobj.h>
// clang-format on

#include <algorithm>

#include "platform/win32/WinText.h"
#include "submit/PathNames.h"

namespace tovela::win32 {
namespace {

LocalDateTime LocalTimeOf(const FILETIME& utc) {
    FILETIME local = {};
    SYSTEMTIME t = {};
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &t)) return {};
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

FileInfo InfoOf(DWORD attributes, DWORD sizeHigh, DWORD sizeLow, const FILETIME& written) {
    FileInfo info;
    info.folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    info.link = info.folder && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    info.hidden = (attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
    info.system = (attributes & FILE_ATTRIBUTE_SYSTEM) != 0;
    info.readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    info.size = info.folder ? 0 : (static_cast<std::uint64_t>(sizeHigh) << 32) | sizeLow;
    info.modified = LocalTimeOf(written);
    return info;
}

class HandleReader final : public FileReader {
public:
    explicit HandleReader(HANDLE file) : file_(file) {}
    ~HandleReader() override { CloseHandle(file_); }
    HandleReader(const HandleReader&) = delete;
    HandleReader& operator=(const HandleReader&) = delete;

    std::optional<std::size_t> Read(std::span<char> buffer) override {
        DWORD read = 0;
        const auto wanted = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), 1u << 30));
        if (!::ReadFile(file_, buffer.data(), wanted, &read, nullptr)) return std::nullopt;
        return read;
    }

private:
    HANDLE file_;
};

class HandleWriter final : public FileWriter {
public:
    explicit HandleWriter(HANDLE file) : file_(file) {}
    ~HandleWriter() override { Close(); }
    HandleWriter(const HandleWriter&) = delete;
    HandleWriter& operator=(const HandleWriter&) = delete;

    bool Write(std::string_view bytes) override {
        while (!bytes.empty() && file_ != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
            if (!WriteFile(file_, bytes.data(), chunk, &written, nullptr) || written == 0) {
                failed_ = true;
                return false;
            }
            bytes.remove_prefix(written);
        }
        return file_ != INVALID_HANDLE_VALUE;
    }
    bool Close() override {
        if (file_ == INVALID_HANDLE_VALUE) return !failed_;
        failed_ = !CloseHandle(file_) || failed_;
        file_ = INVALID_HANDLE_VALUE;
        return !failed_;
    }

private:
    HANDLE file_;
    bool failed_ = false;
};

template <class Interface>
struct ComReleaser {
    void operator()(Interface* p) const { p->Release(); }
};
template <class Interface>
using ComPtr = std::unique_ptr<Interface, ComReleaser<Interface>>;

}  // namespace

std::optional<FileInfo> Win32FileSystem::QueryAttributes(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (path.empty() || !GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data))
        return std::nullopt;
    return InfoOf(data.dwFileAttributes, data.nFileSizeHigh, data.nFileSizeLow,
                  data.ftLastWriteTime);
}

std::optional<std::vector<FolderEntry>> Win32FileSystem::ListFolder(const std::string& folder) {
    WIN32_FIND_DATAW data = {};
    HANDLE find = FindFirstFileExW(Wide(JoinPath(folder, "*")).c_str(), FindExInfoBasic, &data,
                                   FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) return std::nullopt;
    std::vector<FolderEntry> entries;
    do {
        const std::wstring_view name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        entries.push_back({Narrow(name), InfoOf(data.dwFileAttributes, data.nFileSizeHigh,
                                                data.nFileSizeLow, data.ftLastWriteTime)});
    } while (FindNextFileW(find, &data));
    const bool complete = GetLastError() == ERROR_NO_MORE_FILES;
    FindClose(find);
    if (!complete) return std::nullopt;
    return entries;
}

std::unique_ptr<FileReader> Win32FileSystem::OpenForReading(const std::string& path) {
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<HandleReader>(file);
}

std::unique_ptr<FileWriter> Win32FileSystem::CreateForWriting(const std::string& path) {
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<HandleWriter>(file);
}

bool Win32FileSystem::RemoveFile(const std::string& path) {
    return DeleteFileW(Wide(path).c_str()) != 0;
}

bool Win32FileSystem::CreateFolder(const std::string& path) {
    // Inside the user's profile the folder inherits the profile's owner-only access.
    if (CreateDirectoryW(Wide(path).c_str(), nullptr)) return true;
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32FileSystem::RemoveFolder(const std::string& path) {
    return RemoveDirectoryW(Wide(path).c_str()) != 0;
}

std::string Win32FileSystem::TempFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    DWORD length = GetEnvironmentVariableW(L"TEMP", buffer, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) length = GetTempPathW(MAX_PATH + 1, buffer);
    if (length == 0 || length > MAX_PATH) return "C:\\Windows\\Temp";
    std::wstring folder(buffer, length);
    // Keep the backslash of a drive's root ("C:\").
    while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    return Narrow(folder);
}

std::string Win32FileSystem::ShortcutTarget(const std::string& path) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::string target;
    {
        IShellLinkW* rawLink = nullptr;
        IPersistFile* rawFile = nullptr;
        if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IShellLinkW, reinterpret_cast<void**>(&rawLink)))) {
            ComPtr<IShellLinkW> link(rawLink);
            if (SUCCEEDED(
                    link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&rawFile)))) {
                ComPtr<IPersistFile> file(rawFile);
                wchar_t buffer[MAX_PATH] = {};
                // No dialog and no search of the disks for a target that moved.
                if (SUCCEEDED(file->Load(Wide(path).c_str(), STGM_READ)) &&
                    SUCCEEDED(link->Resolve(nullptr, SLR_NO_UI | SLR_NOUPDATE | SLR_NOSEARCH)) &&
                    link->GetPath(buffer, MAX_PATH, nullptr, 0) == S_OK)
                    target = Narrow(buffer);
            }
        }
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return target;
}

std::string Win32UserEnvironment::DecimalSeparator() {
    wchar_t buffer[8] = {};
    const int length = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 8);
    if (length <= 1) return ".";
    return Narrow(std::wstring_view(buffer, static_cast<std::size_t>(length - 1)));
}

bool Win32UserEnvironment::IsKeyDown(int virtualKey) {
    return (GetAsyncKeyState(virtualKey) & 0x8000) != 0;
}

}  // namespace tovela::win32
