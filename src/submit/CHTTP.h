#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/BackgroundWork.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/MessageLoop.h"
#include "platform/UploadHttp.h"
#include "platform/UserEnvironment.h"
#include "session/AccountPreferences.h"
#include "submit/CHTTPEvents.h"
#include "submit/MultipartBody.h"
#include "submit/UploadTransfer.h"

namespace tovela {

// The services an upload uses.
struct CHTTPServices {
    FileSystem& files;
    UploadHttpFactory& http;
    UserEnvironment& user;
    BackgroundWork& background;
    MessageLoop& loop;
    Clock& clock;
    TimeZone& timeZone;
    // The account's upload size limit (dUploadSizeLimit), read at each upload.
    const AccountPreferences& account;
};

// Uploads local files and folders to the server's upload service in one multipart POST
// and hands back the ids the server gives them. Folders (and every item while Shift is
// held) are packed into one temporary zip archive first. Upload looks synchronous to its
// caller and raises exactly one event before it returns, but the packing and the transfer
// run on a worker thread while the caller's messages keep being handled.
class CHTTP {
public:
    CHTTP(const CHTTPServices& services, CHTTPEvents& events);

    // `urlPath` (blanks trimmed) replaces the path and query kept from the last call;
    // callers pass "/service/upload?fmt=raw". A call made while an upload runs (from a
    // message handled meanwhile) returns at once without an event.
    void Upload(std::optional<std::string> urlPath = std::nullopt);
    bool Uploading() const { return uploading_; }

    std::string sToken;
    std::string sFiles;      // paths written like a command line
    std::string sFileNames;  // display names in the same form, or empty
    std::string sServer;     // host, or host:port
    bool bSecure = false;
    std::string sAttachIds;  // the result: ids separated by commas
    std::string sSubject;    // filled by Upload when empty
    std::string sFromAddr;
    std::string sFromName;
    std::string sReplyToAddr;
    std::string sReplyToName;
    std::string sRecipients;
    std::string sBody;
    std::string sMapiFlags;
    bool bToBriefcase = false;

private:
    struct Items;

    UploadOutcome UploadOnce();
    std::optional<UploadOutcome> PrepareItems(Items& items);
    std::optional<UploadOutcome> Pack(Items& items, std::string& temporaryArchive);
    void FillSubject(const Items& items, const std::string& sizeText);
    UploadOutcome Send(std::vector<UploadFile> files, std::size_t count,
                       const std::string& sizeText);
    std::optional<UploadOutcome> FollowRedirect(const std::string& location, int redirects);
    UploadOutcome OtherError(std::int32_t number, const std::string& description) const;
    UploadOutcome RedirectFailure(const std::string& reason) const;
    // Runs the work on a worker thread, handling messages (and telling the progress of
    // `body`) until it has ended; false when it ended by an exception.
    bool RunWithMessages(std::function<void()> work, const MultipartBody* body);
    void Raise(const UploadOutcome& outcome);

    CHTTPServices services_;
    CHTTPEvents& events_;
    std::string sUrlPath;
    bool uploading_ = false;
    std::uint32_t startTick_ = 0;
    int lastPercent_ = -1;
    // The client of the last exchange, named in the messages of failures after it.
    std::string lastServerName_;
    std::uint16_t lastPort_ = 0;
    bool clientCreated_ = false;
};

}  // namespace tovela
