// The text rules of an upload: the upload service's answer, the headers of a redirect, the
// list of files a command line names, and how those files are grouped into one archive.
//
// The first byte: bits 0-1 pick the reader, bits 2-4 the number of files the answer is for.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fakes/FakeFiles.h"
#include "submit/UploadAnswer.h"
#include "submit/UploadText.h"
#include "submit/ZipFiles.h"
#include "unit/submit/ZipReader.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

// A few files and folders under both kinds of path, an empty folder and a name twice.
tovela::testing::FakeFileSystem SomeFiles() {
    tovela::testing::FakeFileSystem files;
    files.AddFolder("C:\\Docs");
    files.AddFile("C:\\Docs\\a.txt", "alpha");
    files.AddFolder("C:\\Docs\\Sub");
    files.AddFile("C:\\Docs\\Sub\\a.txt", "beta");
    files.AddFolder("C:\\Docs\\Empty");
    files.AddFolder("D:\\");
    files.AddFile("D:\\c.txt", "gamma");
    files.AddFile("/home/taro/a b.pdf", "%PDF");
    return files;
}

void ZipItems(const std::vector<std::string>& items) {
    tovela::testing::FakeFileSystem files = SomeFiles();
    const std::string zipPath = "C:\\Temp\\upload.zip";
    const std::int32_t code = tovela::ZipFiles(files, items, zipPath);
    if (code != tovela::zipcode::kOk) {
        Check(!files.entries.contains(zipPath));
        return;
    }
    std::string error;
    const auto entries = tovela::testing::ReadZip(files.entries.at(zipPath).bytes, error);
    Check(error.empty());
    std::set<std::string> names;
    for (const auto& entry : entries) Check(names.insert(entry.name).second);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t mode = data[0];
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);

    switch (mode & 0x03) {
        case 0: {
            const std::string ids = tovela::UploadIds(rest, (mode >> 2) & 0x07);
            Check(ids == "AttachID format incorrect" || ids.find('\'') == std::string::npos);
            break;
        }
        case 1:
            for (const std::string_view name : {"Location", "Content-Type", "location"}) {
                const std::string value = tovela::GetHeaderValue(rest, name);
                Check(value.find("\r\n") == std::string::npos);
                Check(value.empty() || (value.front() != ' ' && value.back() != ' '));
            }
            break;
        case 2: {
            const std::vector<std::string> items = tovela::SplitCommandLine(rest);
            for (const std::string& item : items) Check(item.find('"') == std::string::npos);
            break;
        }
        default:
            ZipItems(tovela::SplitCommandLine(rest));
            break;
    }
    return 0;
}
