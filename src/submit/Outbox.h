#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "submit/MessageBridge.h"

namespace tovela {

// What was handed over for the server and has not been accepted by it yet: messages from
// the mail library and files from the Send To menu. Each waits in a folder of its own under
// the outbox folder, so it outlives the program; a message's attachments are copied there
// when it arrives, since the sending program may delete its files as soon as its call
// returns. Items are taken in the order they came.
class Outbox {
public:
    enum class Kind { Message, Files };
    struct Item {
        std::string folder;  // the item's own folder
        Kind kind = Kind::Message;
        BridgedMessage message;  // for files: sFiles holds the command line as it came
        int attempts = 0;        // uploads tried and left for a later try
    };

    Outbox(FileSystem& files, std::string folder) : files_(files), folder_(std::move(folder)) {}

    // Keeps a message, with copies of the files its paths name; false when nothing could be
    // written (the caller then submits it straight away, as without an outbox).
    bool KeepMessage(const BridgedMessage& message);
    // Keeps a Send To command line ("/briefcase" and paths). The files stay where they are.
    bool KeepFiles(const std::string& commandLine);

    std::optional<Item> Oldest();
    std::size_t Count();
    // Counts one more try of an item that stays.
    void Attempted(Item& item);
    // The server took it, or it can never be sent: the item and its copies go.
    void Remove(const Item& item);

private:
    std::optional<std::string> NewItemFolder();
    bool Write(const std::string& folder, const Item& item);
    std::optional<Item> Read(const std::string& folder);
    std::vector<std::string> ItemFolders();

    FileSystem& files_;
    std::string folder_;
};

}  // namespace tovela
