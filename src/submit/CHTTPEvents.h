#pragma once

#include <cstdint>
#include <string>

namespace tovela {

// What an upload ends in, raised on the thread that called Upload before it returns.
class CHTTPEvents {
public:
    virtual ~CHTTPEvents() = default;
    // The upload failed; the number tells why (the zip command's codes among them).
    virtual void CodErrorSubida(std::int32_t Number, const std::string& Description) = 0;
    // The upload succeeded, or there was nothing to upload; sAttachIds holds the ids.
    virtual void Completed() = 0;
    // The server answered with a text that is not an upload result.
    virtual void ErrorDeSubida(const std::string& sChunk) = 0;
    // While an upload that has taken over a second goes on: the share of it sent, 0 to 100.
    virtual void UploadProgress(int nPercent) { (void)nPercent; }
};

// The main icon's tip while an upload goes on: "アップロード中 42%".
std::string UploadProgressTip(int nPercent);

}  // namespace tovela
