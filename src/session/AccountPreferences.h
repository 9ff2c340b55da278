#pragma once

#include <cstdint>
#include <string>

namespace tovela {

// What a login answer tells about the account, used when sending and reminding.
struct AccountPreferences {
    std::string sComposeFormat;
    std::string sFromAddress;
    std::string sFromDisplay;
    std::string sReplyToAddress;
    std::string sReplyToDisplay;
    std::string sSignature;
    bool bSignatureHtml = false;
    std::int32_t nReminderMinutes = 0;
    std::string sAccountId;
    bool bBriefcaseEnabled = false;
    std::string sDraftId;
    // The largest upload the server takes, in bytes.
    double dUploadSizeLimit = 0;
};

}  // namespace tovela
