#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/XmlDocument.h"

namespace tovela {

struct TovelaFolder {
    std::string Id;
    std::string Name;
    std::string ParentId;
    bool IsLink = false;
    std::string OwnerId;
    std::string RemoteId;
    std::string LinkKey;
};

struct TovelaTag {
    std::string Id;
    std::string Name;
    std::string Color;
};

// The user's notification filter, read from the settings window at the moment of a test.
struct NotifyFilter {
    std::string_view pattern;  // one regular expression; "|" separates alternatives
    bool whiteList = false;
};

// "Inbox", "Junk" and "Calendar" under the names the user sees.
std::string LocalFolderName(std::string_view name);

// The folders and tags of the account, kept so that the filter, which names them, can be
// applied to items the server names by id. Slot 0 is never filled, a deleted record leaves
// its slot empty, and indexes never move.
class MailboxModel {
public:
    MailboxModel();

    std::vector<std::optional<TovelaFolder>> Folders;
    std::vector<std::optional<TovelaTag>> Tags;

    // Back to the single empty slot 0.
    void Reset();

    int FindFolderIndex(std::string_view id) const;  // -1 when none
    int FindTagIndex(std::string_view id) const;     // -1 when none
    std::string ParentFolderId(std::string_view id) const;
    void AddOrUpdateFolder(const XmlNode& element);
    void AddOrUpdateTag(const XmlNode& element);
    // A "deleted" id: the tag and the folder it names lose their slots.
    void ReleaseById(std::string_view id);

    bool TagListMatches(const std::optional<std::string>& t, NotifyFilter filter) const;
    bool FolderChainMatches(const std::optional<std::string>& l, NotifyFilter filter) const;
    // The filter decision for a message or an appointment element ("t" and "l").
    bool ItemPasses(const XmlNode& element, NotifyFilter filter) const;
    // The same decision for stored tag and folder ids.
    bool ItemPasses(const std::optional<std::string>& t, const std::optional<std::string>& l,
                    NotifyFilter filter) const;

private:
    // Lookups by id (and by link key) so a response costs time in proportion to its size.
    // An id and another folder's link key may be equal, so a key holds every slot that
    // carries it, in ascending order; released slots at the front are skipped over.
    struct SlotList {
        std::vector<int> slots;
        std::size_t head = 0;
    };
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const noexcept {
            return std::hash<std::string_view>{}(text);
        }
    };
    template <typename T>
    using TextMap = std::unordered_map<std::string, T, TextHash, std::equal_to<>>;

    bool FolderCarries(int slot, std::string_view key) const;
    void IndexFolder(const std::string& key, int slot);
    void DropReleasedFront(const std::string& key);
    void ReleaseFolder(std::string_view id);

    TextMap<SlotList> folderIndex_;
    TextMap<int> tagIndex_;
};

}  // namespace tovela
