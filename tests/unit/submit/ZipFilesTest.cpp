#include "submit/ZipFiles.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "fakes/FakeFiles.h"
#include "unit/submit/ZipReader.h"

namespace tovela {
namespace {

using testing::FakeFileSystem;

const std::string kZip = "C:\\Temp\\out.zip";

// A small tree under Windows paths: two folders of files, a hidden and a system file, an
// empty folder and a name with brackets.
void AddTree(FakeFileSystem& files) {
    files.AddFolder("C:\\a");
    files.AddFile("C:\\a\\x.txt", "first file");
    files.AddFile("C:\\a\\y.txt", std::string(100000, 'y'));
    files.AddFile("C:\\a\\report[1].txt", "brackets");
    files.AddFolder("C:\\b");
    files.AddFolder("C:\\b\\Docs");
    files.AddFile("C:\\b\\Docs\\会議.txt", "議事録");
    files.AddFile("C:\\b\\Docs\\.hidden", "h").info.hidden = true;
    files.AddFile("C:\\b\\Docs\\desktop.ini", "s").info.system = true;
    files.AddFolder("C:\\b\\Docs\\sub");
    files.AddFile("C:\\b\\Docs\\sub\\deep.bin", std::string("\0\x01\xff", 3));
    files.AddFolder("C:\\b\\Docs\\empty");
    files.AddFolder("C:\\Temp");
    files.AddFolder("D:\\");
    files.AddFolder("D:\\Docs");
    files.AddFile("D:\\Docs\\d.txt", "on D");
    files.AddFile("D:\\root.txt", "root of D");
}

struct PackCase {
    const char* name;
    std::vector<std::string> items;
    std::vector<std::string> entries;  // "name" or "name=bytes"
};

class ZipFilesPackTest : public ::testing::TestWithParam<PackCase> {};

TEST_P(ZipFilesPackTest, HoldsTheItemsAsTheUserSelectedThem) {
    const PackCase& c = GetParam();
    FakeFileSystem files;
    AddTree(files);
    ASSERT_EQ(ZipFiles(files, c.items, kZip), 0);

    std::string error;
    const auto entries = testing::ReadZip(files.entries.at(kZip).bytes, error);
    ASSERT_EQ(error, "");
    std::vector<std::string> seen;
    for (const auto& entry : entries) {
        const bool folder = entry.name.ends_with("/");
        seen.push_back(folder ? entry.name : entry.name + "=" + entry.data.substr(0, 12));
        EXPECT_EQ(entry.flags & 0x0800, 0x0800) << entry.name << ": names are flagged UTF-8";
        EXPECT_EQ(entry.externalAttributes & 0x10, folder ? 0x10u : 0u) << entry.name;
    }
    EXPECT_EQ(seen, c.entries);
}

INSTANTIATE_TEST_SUITE_P(
    Items, ZipFilesPackTest,
    ::testing::Values(
        PackCase{"TwoFilesOfOneFolder",
                 {"C:\\a\\x.txt", "C:\\a\\y.txt"},
                 {"x.txt=first file", "y.txt=yyyyyyyyyyyy"}},
        PackCase{"FileAndFolderGroupedByFolder",
                 {"C:\\a\\x.txt", "C:\\b\\Docs\\*.*", "C:\\a\\report[1].txt"},
                 {"x.txt=first file", "report[1].txt=brackets", "Docs/", "Docs/.hidden=h",
                  "Docs/desktop.ini=s", "Docs/empty/", "Docs/sub/",
                  std::string("Docs/sub/deep.bin=\0\x01\xff", 21), "Docs/会議.txt=議事録"}},
        PackCase{"FolderUnderADriveRoot", {"D:\\Docs\\*.*"}, {"Docs/", "Docs/d.txt=on D"}},
        PackCase{
            "DriveRootItself", {"D:\\*.*"}, {"Docs/", "Docs/d.txt=on D", "root.txt=root of D"}},
        PackCase{"EmptyFolder", {"C:\\b\\Docs\\empty\\*.*"}, {"empty/"}},
        // The archive is written into the folder being packed; it does not pack itself.
        PackCase{"FolderHoldingTheArchive", {"C:\\Temp\\*.*"}, {"Temp/"}}),
    [](const auto& row) { return std::string(row.param.name); });

struct FailureCase {
    const char* name;
    std::function<void(FakeFileSystem&)> arrange;
    std::vector<std::string> items;
    std::int32_t code;
};

class ZipFilesFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ZipFilesFailureTest, ReportsTheZipCodeAndLeavesNoArchive) {
    const FailureCase& c = GetParam();
    FakeFileSystem files;
    AddTree(files);
    if (c.arrange) c.arrange(files);
    EXPECT_EQ(ZipFiles(files, c.items, kZip), c.code);
    EXPECT_FALSE(files.entries.contains(kZip));
}

INSTANTIATE_TEST_SUITE_P(
    Failures, ZipFilesFailureTest,
    ::testing::Values(
        FailureCase{"NoItems", nullptr, {}, 12},
        FailureCase{"MissingFile", nullptr, {"C:\\a\\x.txt", "C:\\a\\gone.txt"}, 18},
        FailureCase{
            "UnreadableFileInAFolder",
            [](FakeFileSystem& f) { f.entries["C:\\b\\Docs\\sub\\deep.bin"].unreadable = true; },
            {"C:\\b\\Docs\\*.*"},
            18},
        FailureCase{"UnlistableFolder",
                    [](FakeFileSystem& f) { f.entries["C:\\b\\Docs\\sub"].unreadable = true; },
                    {"C:\\b\\Docs\\*.*"},
                    18},
        // Deleted between the listing and its turn.
        FailureCase{"FileVanishesMidway",
                    [](FakeFileSystem& f) {
                        f.onOpen = [&f](const std::string& path) {
                            if (path == "C:\\a\\x.txt") f.entries.erase("C:\\a\\y.txt");
                        };
                    },
                    {"C:\\a\\x.txt", "C:\\a\\y.txt"},
                    18},
        FailureCase{"ReadFailsMidway",
                    [](FakeFileSystem& f) { f.entries["C:\\a\\y.txt"].readFailsAt = 5000; },
                    {"C:\\a\\y.txt"},
                    11},
        FailureCase{"ArchiveCannotBeCreated",
                    [](FakeFileSystem& f) { f.refuseCreate = true; },
                    {"C:\\a\\x.txt"},
                    15},
        FailureCase{
            "DiskFull", [](FakeFileSystem& f) { f.writeFailsAt = 10; }, {"C:\\a\\x.txt"}, 14},
        // Unpacked, the second would replace the first.
        FailureCase{"TwoFilesOfTheSameName",
                    [](FakeFileSystem& f) { f.AddFile("C:\\b\\x.txt", "other"); },
                    {"C:\\a\\x.txt", "C:\\b\\x.txt"},
                    16}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace tovela
