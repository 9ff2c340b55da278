#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "fakes/FakeFiles.h"
#include "integration/Sha256.h"
#include "platform/posix/PosixFileSystem.h"
#include "submit/PathNames.h"
#include "submit/ZipFiles.h"

namespace tovela::posix {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using tovela::testing::Sha256;

// What two independent readers make of an archive: Info-ZIP's test of every entry, and
// Python's zipfile (names, the UTF-8 flag, the bytes' SHA-256, checked against the CRC).
struct Verdict {
    int unzipStatus = -1;
    json entries;
};

Verdict Check(const std::string& archive, bool namesOnly = false) {
    Verdict verdict;
    verdict.unzipStatus = std::system(("unzip -tqq '" + archive + "' >/dev/null 2>&1").c_str());
    const std::string script =
        "import hashlib, json, sys, zipfile\n"
        "out = []\n"
        "with zipfile.ZipFile(sys.argv[1]) as z:\n"
        "    for i in z.infolist():\n"
        "        if sys.argv[2] == '1': out.append(i.filename); continue\n"
        "        h = hashlib.sha256()\n"
        "        with z.open(i) as f:\n"
        "            for b in iter(lambda: f.read(1 << 20), b''): h.update(b)\n"
        "        out.append([i.filename, bool(i.flag_bits & 0x800), i.file_size, h.hexdigest()])\n"
        "print(json.dumps(out))\n";
    const fs::path file =
        fs::temp_directory_path() / ("tovela-zipcheck-" + std::to_string(getpid()) + ".py");
    std::ofstream(file) << script;
    FILE* pipe = popen(
        ("python3 '" + file.string() + "' '" + archive + "' " + (namesOnly ? "1" : "0") + " 2>&1")
            .c_str(),
        "r");
    std::string output;
    char buffer[4096];
    while (pipe && fgets(buffer, sizeof buffer, pipe)) output += buffer;
    if (pipe) pclose(pipe);
    fs::remove(file);
    verdict.entries = json::parse(output, nullptr, false);
    if (verdict.entries.is_discarded()) ADD_FAILURE() << "python: " << output;
    return verdict;
}

json Entry(const std::string& name, const std::string& bytes) {
    return json::array({name, true, bytes.size(), Sha256(bytes)});
}

class ZipFilesPosixTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("tovela-zip-" + std::to_string(getpid()));
        fs::create_directories(dir / "Docs" / "empty");
        std::mt19937 random(7);
        for (int i = 0; i < 300000; ++i) binary += static_cast<char>(random());
        Write("a/x.txt", "first");
        Write("a/report[1].txt", "brackets");
        Write("Docs/.hidden", "h");
        Write("Docs/会議.txt", "議事録");
        Write("Docs/sub/data.bin", binary);
        archive = (dir / "out.zip").string();
    }
    void TearDown() override { fs::remove_all(dir); }

    void Write(const std::string& name, const std::string& bytes) {
        fs::create_directories((dir / name).parent_path());
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }
    std::string Path(const std::string& name) { return (dir / name).string(); }

    fs::path dir;
    std::string binary;
    std::string archive;
    PosixFileSystem files;
};

TEST_F(ZipFilesPosixTest, ArchivesThatUnzipAndPythonRead) {
    struct Case {
        const char* name;
        std::vector<std::string> items;
        json entries;
    };
    const std::string empty;
    const Case cases[] = {
        {"TwoFilesOfOneFolder",
         {Path("a/x.txt"), Path("a/report[1].txt")},
         {Entry("x.txt", "first"), Entry("report[1].txt", "brackets")}},
        {"FileAndFolder",
         {Path("a/x.txt"), FolderItem(Path("Docs"))},
         {Entry("x.txt", "first"), Entry("Docs/", empty), Entry("Docs/.hidden", "h"),
          Entry("Docs/empty/", empty), Entry("Docs/sub/", empty),
          Entry("Docs/sub/data.bin", binary), Entry("Docs/会議.txt", "議事録")}},
        // Spelt out: a braced list of one json is an array of it to GCC but a copy of it to
        // clang.
        {"EmptyFolder", {FolderItem(Path("Docs/empty"))}, json::array({Entry("empty/", empty)})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(ZipFiles(files, c.items, archive), 0);
        const Verdict verdict = Check(archive);
        EXPECT_EQ(verdict.unzipStatus, 0);
        EXPECT_EQ(verdict.entries, c.entries);
    }
}

TEST_F(ZipFilesPosixTest, AFileThatCannotBeReadFailsTheArchive) {
    // A pipe would block a reader forever; it is refused like an unreadable file.
    ASSERT_EQ(mkfifo(Path("Docs/sub/pipe").c_str(), 0600), 0);
    EXPECT_EQ(ZipFiles(files, {FolderItem(Path("Docs"))}, archive), 18);
    EXPECT_FALSE(fs::exists(archive));
    fs::remove(Path("Docs/sub/pipe"));
    EXPECT_EQ(ZipFiles(files, {Path("a/x.txt"), Path("a/gone.txt")}, archive), 18);
    EXPECT_FALSE(fs::exists(archive));
}

// Over 65535 entries need the ZIP64 end records.
TEST_F(ZipFilesPosixTest, ManyEntries) {
    testing::FakeFileSystem fake;
    fake.AddFolder("C:\\Many");
    for (int i = 0; i < 70000; ++i) fake.AddFile("C:\\Many\\" + std::to_string(i), "");
    ASSERT_EQ(ZipFiles(fake, {"C:\\Many\\*.*"}, "C:\\out.zip"), 0);
    std::ofstream(archive, std::ios::binary) << fake.entries.at("C:\\out.zip").bytes;
    const Verdict verdict = Check(archive, true);
    EXPECT_EQ(verdict.unzipStatus, 0);
    ASSERT_EQ(verdict.entries.size(), 70001u);
    EXPECT_EQ(verdict.entries[70000], "Many/9999");
}

// A sparse file over 4 GiB: ZIP64 sizes. Slow (it deflates 4 GiB), so it runs only when
// TOVELA_SLOW_TESTS is set.
TEST_F(ZipFilesPosixTest, SlowFileOverFourGigabytes) {
    if (!std::getenv("TOVELA_SLOW_TESTS")) GTEST_SKIP() << "set TOVELA_SLOW_TESTS=1 to run";
    const std::string big = Path("big.bin");
    const off_t size = (4LL << 30) + 12345;
    {
        const int fd = open(big.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(pwrite(fd, "end", 3, size - 3), 3);
        close(fd);
    }
    ASSERT_EQ(ZipFiles(files, {big, Path("a/x.txt")}, archive), 0);
    const Verdict verdict = Check(archive);
    EXPECT_EQ(verdict.unzipStatus, 0);
    ASSERT_EQ(verdict.entries.size(), 2u);
    EXPECT_EQ(verdict.entries[0][2], size);
    EXPECT_EQ(verdict.entries[1], Entry("x.txt", "first"));
}

}  // namespace
}  // namespace tovela::posix
