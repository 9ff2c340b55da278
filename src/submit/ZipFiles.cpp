#include "submit/ZipFiles.h"

#include <algorithm>
#include <set>
#include <string_view>

#include "submit/PathNames.h"
#include "submit/ZipWriter.h"

namespace tovela {
namespace {

constexpr std::size_t kReadChunk = 256 * 1024;

struct Item {
    std::string path;  // the file, or the folder itself for a folder item
    bool folder = false;
    std::string directory;
    std::string name;  // its entry name; empty for the root of a drive
};

Item ParseItem(const std::string& text) {
    Item item;
    item.folder = IsFolderItem(text);
    const std::string_view target = item.folder ? FolderOfItem(text) : std::string_view(text);
    item.path = target;
    // "D:" is the current folder of drive D, "D:\" its root.
    if (item.folder && target.size() == 2 && target[1] == ':') item.path += '\\';
    std::size_t cut = target.size();
    while (cut > 0 && !IsPathSeparator(target[cut - 1])) --cut;
    item.name = target.substr(cut);
    item.directory = target.substr(0, cut == 0 ? 0 : cut - 1);
    if (item.directory.size() == 2 && item.directory[1] == ':') item.directory += '\\';
    if (item.folder && item.name.size() == 2 && item.name[1] == ':') item.name.clear();
    return item;
}

// The items in groups by folder, each group in the order its folder first appeared; within
// a group the items keep their order.
std::vector<Item> Grouped(const std::vector<std::string>& texts) {
    std::vector<Item> items;
    for (const std::string& text : texts) items.push_back(ParseItem(text));
    std::vector<std::string> order;
    for (const Item& item : items)
        if (std::find(order.begin(), order.end(), item.directory) == order.end())
            order.push_back(item.directory);
    std::stable_sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
        return std::find(order.begin(), order.end(), a.directory) <
               std::find(order.begin(), order.end(), b.directory);
    });
    return items;
}

class Packer {
public:
    Packer(FileSystem& files, FileWriter& out, const std::string& zipPath)
        : files_(files), zip_(out), zipPath_(zipPath), buffer_(kReadChunk) {}

    std::int32_t Pack(const std::vector<Item>& items) {
        for (const Item& item : items) {
            const std::optional<FileInfo> info = files_.QueryAttributes(item.path);
            if (!info) return zipcode::kOpenError;
            const bool ok = info->folder ? AddTree(item.path, Prefix(item.name), *info)
                                         : AddFile(item.path, item.name, *info);
            if (!ok) return code_;
        }
        return zip_.Finish() ? zipcode::kOk : WriterCode();
    }

private:
    static std::string Prefix(const std::string& name) { return name.empty() ? name : name + "/"; }

    bool AddTree(const std::string& folder, const std::string& prefix, const FileInfo& info) {
        // Two items may bring folders of the same name; their contents are merged.
        if (!prefix.empty() && names_.insert(prefix).second && !zip_.AddFolder(prefix, info))
            return Fail(WriterCode());
        if (info.link) return true;
        std::optional<std::vector<FolderEntry>> entries = files_.ListFolder(folder);
        if (!entries) return Fail(zipcode::kOpenError);
        std::sort(entries->begin(), entries->end(),
                  [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
        for (const FolderEntry& entry : *entries) {
            const std::string path = JoinPath(folder, entry.name);
            // The archive may be written inside the folder being packed.
            if (path == zipPath_) continue;
            const bool ok = entry.info.folder ? AddTree(path, prefix + entry.name + "/", entry.info)
                                              : AddFile(path, prefix + entry.name, entry.info);
            if (!ok) return false;
        }
        return true;
    }

    bool AddFile(const std::string& path, const std::string& name, const FileInfo& info) {
        // A second file of the same name would hide the first one when unpacked.
        if (!names_.insert(name).second) return Fail(zipcode::kBadArgument);
        std::unique_ptr<FileReader> reader = files_.OpenForReading(path);
        if (!reader) return Fail(zipcode::kOpenError);
        if (!zip_.BeginFile(name, info)) return Fail(WriterCode());
        for (;;) {
            const std::optional<std::size_t> read = reader->Read(buffer_);
            if (!read) return Fail(zipcode::kReadError);
            if (*read == 0) break;
            if (!zip_.AddData(std::span<const char>(buffer_.data(), *read)))
                return Fail(WriterCode());
        }
        return zip_.EndFile() || Fail(WriterCode());
    }

    std::int32_t WriterCode() const {
        switch (zip_.LastError()) {
            case ZipWriter::Error::Write:
                return zipcode::kWriteError;
            case ZipWriter::Error::TooLarge:
                return zipcode::kReadError;  // the file grew while it was read
            default:
                return zipcode::kInternalError;
        }
    }

    bool Fail(std::int32_t code) {
        code_ = code;
        return false;
    }

    FileSystem& files_;
    ZipWriter zip_;
    const std::string& zipPath_;
    std::vector<char> buffer_;
    std::set<std::string> names_;
    std::int32_t code_ = zipcode::kOk;
};

}  // namespace

std::int32_t ZipFiles(FileSystem& files, const std::vector<std::string>& items,
                      const std::string& zipPath) {
    if (items.empty()) return zipcode::kNothingToDo;
    std::unique_ptr<FileWriter> out = files.CreateForWriting(zipPath);
    if (!out) return zipcode::kCreateError;
    std::int32_t code = Packer(files, *out, zipPath).Pack(Grouped(items));
    if (!out->Close() && code == zipcode::kOk) code = zipcode::kWriteError;
    out.reset();
    // A broken archive is worth nothing and could be taken for a good one.
    if (code != zipcode::kOk) files.RemoveFile(zipPath);
    return code;
}

}  // namespace tovela
