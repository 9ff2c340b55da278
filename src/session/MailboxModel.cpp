#include "session/MailboxModel.h"

#include <unordered_set>

#include "session/RegEx.h"
#include "session/XmlNodes.h"

namespace tovela {
namespace {

// The root folder of every account; the chain of parents ends below it.
constexpr std::string_view kRootFolderId = "1";

std::string_view TrimSpaces(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

// Calls `each` for every comma-separated part of a list of ids, trimmed, until it says stop.
template <typename Each>
bool AnyListPart(std::string_view list, Each each) {
    while (true) {
        const std::size_t comma = list.find(',');
        if (each(TrimSpaces(list.substr(0, comma)))) return true;
        if (comma == std::string_view::npos) return false;
        list.remove_prefix(comma + 1);
    }
}

bool NameMatches(std::string_view name, NotifyFilter filter) {
    return RegExTest(filter.pattern, name, true);
}

}  // namespace

std::string LocalFolderName(std::string_view name) {
    if (name == "Inbox") return "受信箱";
    if (name == "Junk") return "迷惑メール";
    if (name == "Calendar") return "カレンダー";
    return std::string(name);
}

MailboxModel::MailboxModel() {
    Reset();
}

void MailboxModel::Reset() {
    Folders.assign(1, std::nullopt);
    Tags.assign(1, std::nullopt);
    folderIndex_.clear();
    tagIndex_.clear();
}

bool MailboxModel::FolderCarries(int slot, std::string_view key) const {
    if (slot < 0 || static_cast<std::size_t>(slot) >= Folders.size()) return false;
    const std::optional<TovelaFolder>& folder = Folders[static_cast<std::size_t>(slot)];
    return folder && (folder->Id == key || (folder->IsLink && folder->LinkKey == key));
}

int MailboxModel::FindFolderIndex(std::string_view id) const {
    const auto found = folderIndex_.find(id);
    if (found == folderIndex_.end()) return -1;
    // The front is live after every release; the check only guards against a table that
    // was changed from outside.
    const SlotList& list = found->second;
    for (std::size_t i = list.head; i < list.slots.size(); ++i) {
        if (FolderCarries(list.slots[i], id)) return list.slots[i];
    }
    return -1;
}

int MailboxModel::FindTagIndex(std::string_view id) const {
    const auto found = tagIndex_.find(id);
    if (found == tagIndex_.end()) return -1;
    const int slot = found->second;
    if (slot < 0 || static_cast<std::size_t>(slot) >= Tags.size()) return -1;
    const std::optional<TovelaTag>& tag = Tags[static_cast<std::size_t>(slot)];
    return tag && tag->Id == id ? slot : -1;
}

std::string MailboxModel::ParentFolderId(std::string_view id) const {
    if (id == kRootFolderId) return {};
    const int slot = FindFolderIndex(id);
    if (slot < 0) return {};
    const std::string& parent = Folders[static_cast<std::size_t>(slot)]->ParentId;
    return parent == kRootFolderId ? std::string() : parent;
}

void MailboxModel::IndexFolder(const std::string& key, int slot) {
    // Slots are appended in ascending order, so the list stays sorted.
    std::vector<int>& slots = folderIndex_[key].slots;
    if (slots.empty() || slots.back() != slot) slots.push_back(slot);
}

void MailboxModel::DropReleasedFront(const std::string& key) {
    const auto found = folderIndex_.find(key);
    if (found == folderIndex_.end()) return;
    SlotList& list = found->second;
    while (list.head < list.slots.size() && !FolderCarries(list.slots[list.head], key)) {
        ++list.head;
    }
    if (list.head == list.slots.size()) folderIndex_.erase(found);
}

void MailboxModel::AddOrUpdateFolder(const XmlNode& element) {
    const std::string id = AttributeText(element, "id");
    const int slot = FindFolderIndex(id);
    if (slot >= 0) {
        // Only a rename reaches an existing folder.
        if (auto name = element.Attribute("name")) {
            Folders[static_cast<std::size_t>(slot)]->Name = std::move(*name);
        }
        return;
    }
    TovelaFolder folder;
    folder.Id = id;
    folder.Name = AttributeText(element, "name");
    folder.ParentId = AttributeText(element, "l");
    // A link refers to another account's folder; for a shared calendar the owner's ids
    // give the key under which that account's appointments name it.
    folder.IsLink = element.LocalName() == "link";
    if (folder.IsLink && element.Attribute("view") == "appointment") {
        folder.OwnerId = AttributeText(element, "zid");
        folder.RemoteId = AttributeText(element, "rid");
        if (!folder.OwnerId.empty() && !folder.RemoteId.empty()) {
            folder.LinkKey = folder.OwnerId + ":" + folder.RemoteId;
        }
    }
    const int newSlot = static_cast<int>(Folders.size());
    IndexFolder(folder.Id, newSlot);
    if (folder.IsLink) IndexFolder(folder.LinkKey, newSlot);
    Folders.emplace_back(std::move(folder));
}

void MailboxModel::AddOrUpdateTag(const XmlNode& element) {
    const std::string id = AttributeText(element, "id");
    const int slot = FindTagIndex(id);
    if (slot >= 0) {
        TovelaTag& tag = *Tags[static_cast<std::size_t>(slot)];
        if (auto name = element.Attribute("name")) tag.Name = std::move(*name);
        if (auto color = element.Attribute("color")) tag.Color = std::move(*color);
        return;
    }
    TovelaTag tag;
    tag.Id = id;
    tag.Name = AttributeText(element, "name");
    tag.Color = AttributeText(element, "color");
    tagIndex_[id] = static_cast<int>(Tags.size());
    Tags.emplace_back(std::move(tag));
}

void MailboxModel::ReleaseFolder(std::string_view id) {
    const int slot = FindFolderIndex(id);
    if (slot < 0) return;
    std::optional<TovelaFolder>& entry = Folders[static_cast<std::size_t>(slot)];
    const TovelaFolder folder = std::move(*entry);
    entry.reset();
    DropReleasedFront(folder.Id);
    if (folder.IsLink) DropReleasedFront(folder.LinkKey);
}

void MailboxModel::ReleaseById(std::string_view id) {
    const int tagSlot = FindTagIndex(id);
    if (tagSlot >= 0) {
        Tags[static_cast<std::size_t>(tagSlot)].reset();
        if (const auto entry = tagIndex_.find(id); entry != tagIndex_.end()) {
            tagIndex_.erase(entry);
        }
    }
    ReleaseFolder(id);
}

bool MailboxModel::TagListMatches(const std::optional<std::string>& t, NotifyFilter filter) const {
    if (!t) return false;
    return AnyListPart(*t, [&](std::string_view id) {
        const int slot = FindTagIndex(id);
        return slot >= 0 && NameMatches(Tags[static_cast<std::size_t>(slot)]->Name, filter);
    });
}

bool MailboxModel::FolderChainMatches(const std::optional<std::string>& l,
                                      NotifyFilter filter) const {
    if (!l) return false;
    return AnyListPart(*l, [&](std::string_view part) {
        // A parent id that points back down the chain must not keep the walk going.
        std::unordered_set<std::string> visited;
        std::string id(part);
        while (!id.empty() && visited.insert(id).second) {
            const int slot = FindFolderIndex(id);
            if (slot >= 0 &&
                NameMatches(LocalFolderName(Folders[static_cast<std::size_t>(slot)]->Name),
                            filter)) {
                return true;
            }
            id = ParentFolderId(id);
        }
        return false;
    });
}

bool MailboxModel::ItemPasses(const XmlNode& element, NotifyFilter filter) const {
    return ItemPasses(element.Attribute("t"), element.Attribute("l"), filter);
}

bool MailboxModel::ItemPasses(const std::optional<std::string>& t,
                              const std::optional<std::string>& l, NotifyFilter filter) const {
    const bool named = TagListMatches(t, filter) || FolderChainMatches(l, filter);
    return filter.whiteList ? named : !named;
}

}  // namespace tovela
