#include "platform/win32/Win32FileSystem.h"

#include <gtest/gtest.h>
#include <windows.h>
// clang-format off
#include <shlobj.h>
// clang-format on

#include <algorithm>
#include <string>

#include "platform/win32/WinText.h"
#include "submit/PathNames.h"
#include "submit/ZipFiles.h"

namespace tovela::win32 {
namespace {

// The file services of uploads on the real system: attributes and listings with hidden
// and system files, a shell link's target, and a folder packed from them.
class Win32FileSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = JoinPath(files_.TempFolder(), "tovela-files-test");
        CreateDirectoryW(Wide(root_).c_str(), nullptr);
        CreateDirectoryW(Wide(JoinPath(root_, "Docs")).c_str(), nullptr);
    }
    void TearDown() override {
        for (const char* name :
             {"Docs\\会議.txt", "Docs\\desktop.ini", "target.pdf", "link.lnk", "out.zip"}) {
            const std::wstring path = Wide(JoinPath(root_, name));
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path.c_str());
        }
        RemoveDirectoryW(Wide(JoinPath(root_, "Docs")).c_str());
        RemoveDirectoryW(Wide(root_).c_str());
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = JoinPath(root_, name);
        auto out = files_.CreateForWriting(path);
        EXPECT_TRUE(out && out->Write(bytes) && out->Close());
        return path;
    }

    Win32FileSystem files_;
    std::string root_;
};

TEST_F(Win32FileSystemTest, HiddenAndSystemFilesAreListedAndPacked) {
    Write("Docs\\会議.txt", "議事録");
    const std::string system = Write("Docs\\desktop.ini", "[x]");
    SetFileAttributesW(Wide(system).c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);

    const auto info = files_.QueryAttributes(system);
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->hidden && info->system && !info->folder);
    EXPECT_EQ(info->size, 3u);
    EXPECT_GE(info->modified.year, 2020);
    EXPECT_TRUE(files_.QueryAttributes(JoinPath(root_, "Docs"))->folder);
    EXPECT_FALSE(files_.QueryAttributes(JoinPath(root_, "missing.txt")));

    auto entries = files_.ListFolder(JoinPath(root_, "Docs"));
    ASSERT_TRUE(entries);
    std::vector<std::string> names;
    for (const auto& entry : *entries) names.push_back(entry.name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"desktop.ini", "会議.txt"}));

    const std::string archive = JoinPath(root_, "out.zip");
    EXPECT_EQ(ZipFiles(files_, {FolderItem(JoinPath(root_, "Docs"))}, archive), 0);
    EXPECT_GT(files_.QueryAttributes(archive)->size, 200u);
}

TEST_F(Win32FileSystemTest, ShortcutsLeadToTheirTargets) {
    const std::string target = Write("target.pdf", "%PDF");
    const std::string link = JoinPath(root_, "link.lnk");
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IShellLinkW* shellLink = nullptr;
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_IShellLinkW, reinterpret_cast<void**>(&shellLink))));
    shellLink->SetPath(Wide(target).c_str());
    IPersistFile* file = nullptr;
    shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    ASSERT_TRUE(SUCCEEDED(file->Save(Wide(link).c_str(), TRUE)));
    file->Release();
    shellLink->Release();
    CoUninitialize();

    EXPECT_EQ(files_.ShortcutTarget(link), target);
    EXPECT_EQ(files_.ShortcutTarget(target), "") << "a file that is no link";
}

}  // namespace
}  // namespace tovela::win32
