#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/SystemInfo.h"
#include "platform/win32/Win32Desktop.h"

// The test program links the program's resource script, so its pictures are found here as
// they are in TovelaNotifier.exe.
namespace tovela::win32 {
namespace {

struct Picture {
    const char* name;
    ProgramIcon icon;
    int resource;
};

const Picture kPictures[] = {
    {"Main", ProgramIcon::Main, kIconResourceMain},
    {"NewMail", ProgramIcon::NewMail, kIconResourceNewMail},
    {"Calendar", ProgramIcon::Calendar, kIconResourceCalendar},
};

// The sizes the notification area asks for at 100 % to 200 % and the 48 px Explorer shows.
const int kSizes[] = {16, 20, 24, 32, 48};

class UnusedSystemInfo final : public SystemInfo {
public:
    OsVersion GetVersion() override { return {}; }
    void EmptyWorkingSet() override {}
    std::string UserDataFolder() override { return {}; }
    std::string SystemErrorText(std::uint32_t) override { return {}; }
    std::uint32_t LastError() override { return 0; }
};

struct IconImage {
    int size;
    int bits;
    std::vector<unsigned char> data;  // the image as the .ico held it: a DIB or a PNG
};

std::vector<unsigned char> ResourceBytes(LPCWSTR name, LPCWSTR type) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, name, type);
    if (!found) return {};
    const auto* bytes =
        static_cast<const unsigned char*>(LockResource(LoadResource(module, found)));
    return {bytes, bytes + SizeofResource(module, found)};
}

// The images of an icon resource, read from its group directory (RT_GROUP_ICON entries are
// 14 bytes: size, colours, planes, bit count, byte count and the id of the RT_ICON image).
std::vector<IconImage> ImagesOf(int resource) {
    const std::vector<unsigned char> group =
        ResourceBytes(MAKEINTRESOURCEW(resource), RT_GROUP_ICON);
    std::vector<IconImage> images;
    if (group.size() < 6) return images;
    WORD count = 0;
    std::memcpy(&count, &group[4], 2);
    for (std::size_t i = 0; i < count && 6 + 14 * (i + 1) <= group.size(); ++i) {
        const unsigned char* entry = &group[6 + 14 * i];
        WORD bits = 0, id = 0;
        std::memcpy(&bits, entry + 6, 2);
        std::memcpy(&id, entry + 12, 2);
        images.push_back(
            {entry[0] == 0 ? 256 : entry[0], bits, ResourceBytes(MAKEINTRESOURCEW(id), RT_ICON)});
    }
    return images;
}

SIZE IconSize(HICON icon) {
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info)) return {0, 0};
    BITMAP bitmap = {};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    return {bitmap.bmWidth, info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2};
}

class ProgramPictureTest : public ::testing::TestWithParam<Picture> {};

// Every size is there as a 32-bit image that Windows can load at exactly that size, with
// transparent corners and an opaque middle: a picture that lost its alpha shows as a black
// square in the notification area, one with no opaque pixels not at all.
TEST_P(ProgramPictureTest, HoldsEveryTraySizeWithAlpha) {
    const std::vector<IconImage> images = ImagesOf(GetParam().resource);
    std::vector<int> sizes;
    for (const IconImage& image : images) sizes.push_back(image.size);
    ASSERT_EQ(sizes, std::vector<int>(std::begin(kSizes), std::end(kSizes)));
    for (const IconImage& image : images) {
        SCOPED_TRACE(std::to_string(image.size) + " px");
        EXPECT_EQ(image.bits, 32);
        ASSERT_GT(image.data.size(), 40u);
        HICON icon = CreateIconFromResourceEx(const_cast<PBYTE>(image.data.data()),
                                              static_cast<DWORD>(image.data.size()), TRUE,
                                              0x00030000, image.size, image.size, LR_DEFAULTCOLOR);
        ASSERT_NE(icon, nullptr);
        const SIZE loaded = IconSize(icon);
        DestroyIcon(icon);
        EXPECT_EQ(loaded.cx, image.size);
        EXPECT_EQ(loaded.cy, image.size);

        // A DIB: the header, then BGRA rows from the bottom up.
        const auto pixel_alpha = [&](int x, int y) {
            return image.data[40 + ((image.size - 1 - y) * image.size + x) * 4 + 3];
        };
        EXPECT_EQ(pixel_alpha(0, image.size - 1), 0) << "bottom left corner";
        EXPECT_EQ(pixel_alpha(image.size / 2, image.size / 2 + 1), 255) << "middle";
    }
}

// The tray updates its icon often: each picture is loaded once, at the notification area's
// size, and is the program's own rather than the stock stand-in.
TEST_P(ProgramPictureTest, DesktopLoadsItOnceAtTheTraySize) {
    UnusedSystemInfo system;
    Win32Desktop desktop(system);
    const auto handle = desktop.IconHandle(GetParam().icon);
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(desktop.IconHandle(GetParam().icon), handle);
    const SIZE size = IconSize(reinterpret_cast<HICON>(handle));
    EXPECT_EQ(size.cx, GetSystemMetrics(SM_CXSMICON));
    EXPECT_EQ(size.cy, GetSystemMetrics(SM_CYSMICON));
    EXPECT_NE(handle, reinterpret_cast<std::uintptr_t>(LoadIconW(nullptr, IDI_APPLICATION)));
    EXPECT_NE(handle, reinterpret_cast<std::uintptr_t>(LoadIconW(nullptr, IDI_INFORMATION)));
}

std::string PictureName(const ::testing::TestParamInfo<Picture>& row) {
    return row.param.name;
}

INSTANTIATE_TEST_SUITE_P(Win32Desktop, ProgramPictureTest, ::testing::ValuesIn(kPictures),
                         PictureName);

// Three pictures, three icons: neither the resource script nor the desktop's cache may give
// one picture for another.
TEST(Win32DesktopIconTest, EachPictureIsItsOwn) {
    UnusedSystemInfo system;
    Win32Desktop desktop(system);
    std::vector<std::vector<unsigned char>> smallest;
    std::vector<std::uintptr_t> handles;
    for (const Picture& picture : kPictures) {
        const std::vector<IconImage> images = ImagesOf(picture.resource);
        ASSERT_FALSE(images.empty()) << picture.name;
        smallest.push_back(images.front().data);
        handles.push_back(desktop.IconHandle(picture.icon));
    }
    for (std::size_t a = 0; a < handles.size(); ++a) {
        for (std::size_t b = a + 1; b < handles.size(); ++b) {
            SCOPED_TRACE(std::string(kPictures[a].name) + " and " + kPictures[b].name);
            EXPECT_TRUE(smallest[a] != smallest[b]) << "the same 16 px image";
            EXPECT_NE(handles[a], handles[b]);
        }
    }
}

}  // namespace
}  // namespace tovela::win32
