#include "submit/WinInet.h"

#include <algorithm>
#include <charconv>

#include "app/Version.h"

namespace tovela {
namespace {

// The session's own agent text; the upload's header block brings the one that is sent.
std::string AgentText() {
    return std::string(kAppTitle) + "/" + std::to_string(kVersionMajor) + "." +
           std::to_string(kVersionMinor) + " (Windows)";
}

}  // namespace

WinInet::WinInet(UploadHttpFactory& factory) : http_(factory.Create()) {
    initialized_ = http_ && http_->OpenSession(AgentText());
}

WinInet::~WinInet() {
    Disconnect();
}

void WinInet::Secure(bool bSetSecure) {
    secure_ = bSetSecure;
    nServerPort = bSetSecure ? 443 : 80;
}

bool WinInet::Connect() {
    if (!initialized_) return false;
    if (!connected_) connected_ = http_->Connect(sServerName, nServerPort);
    return connected_;
}

bool WinInet::OpenRequest(bool bGet, const std::string& sURL, const std::string& sHTTPVersion) {
    if (!connected_) return false;
    requestOpen_ = http_->OpenRequest(bGet ? "GET" : "POST", sURL, sHTTPVersion, secure_);
    return requestOpen_;
}

std::uint32_t WinInet::SendRequest(const std::string& sHeaders, UploadBody& body) {
    if (requestOpen_ && http_->SendRequest(sHeaders, body)) {
        sLastErrorText.clear();
        return 0;
    }
    const std::uint32_t error = requestOpen_ ? http_->LastError() : wininet::kErrorInternal;
    sLastErrorText = http_ ? http_->ErrorText(error) : std::string();
    return error + kWinInetErrorBase;
}

std::int32_t WinInet::QueryInfoLong(std::uint32_t lInfoLevel) {
    const std::string text = QueryInfo(lInfoLevel & ~wininet::kQueryFlagNumber);
    std::int32_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

std::string WinInet::QueryInfo(std::uint32_t lInfoLevel) {
    if (!requestOpen_) return {};
    return http_->QueryInfo(lInfoLevel).value_or(std::string());
}

std::string WinInet::ReadFile(std::size_t maxBytes) {
    std::string body;
    if (!requestOpen_) return body;
    char buffer[4096];
    while (body.size() < maxBytes) {
        const std::optional<std::size_t> read = http_->ReadResponse(buffer);
        if (!read || *read == 0) break;
        body.append(buffer, std::min(*read, maxBytes - body.size()));
    }
    return body;
}

void WinInet::Disconnect() {
    if (connected_ || requestOpen_) http_->Disconnect();
    connected_ = false;
    requestOpen_ = false;
}

}  // namespace tovela
