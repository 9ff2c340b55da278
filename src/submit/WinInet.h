#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/UploadHttp.h"

namespace tovela {

// The upload's HTTP client: one object serves one request. Creating it opens the session;
// the caller sets the server, connects, opens the request, sends the header block and the
// body, and reads the status, the headers and the answer.
class WinInet {
public:
    explicit WinInet(UploadHttpFactory& factory);
    ~WinInet();
    WinInet(const WinInet&) = delete;
    WinInet& operator=(const WinInet&) = delete;

    bool Initialized() const { return initialized_; }
    // HTTPS on port 443, or HTTP on port 80; a port set afterwards is kept with the scheme.
    void Secure(bool bSetSecure);
    bool Connect();
    bool OpenRequest(bool bGet, const std::string& sURL, const std::string& sHTTPVersion);
    // 0, or the client's error number + 0x80040000 with sLastErrorText set.
    std::uint32_t SendRequest(const std::string& sHeaders, UploadBody& body);
    // 0 when the answer does not have the number.
    std::int32_t QueryInfoLong(std::uint32_t lInfoLevel);
    std::string QueryInfo(std::uint32_t lInfoLevel);
    // The answer's body, at most maxBytes of it.
    std::string ReadFile(std::size_t maxBytes);
    void Disconnect();

    std::string sServerName;
    std::uint16_t nServerPort = 80;
    std::string sLastErrorText;
    std::int32_t nStatusCode = 0;

private:
    std::unique_ptr<UploadHttp> http_;
    bool initialized_ = false;
    bool secure_ = false;
    bool connected_ = false;
    bool requestOpen_ = false;
};

inline constexpr std::uint32_t kWinInetErrorBase = 0x80040000;

}  // namespace tovela
