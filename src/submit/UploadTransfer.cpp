#include "submit/UploadTransfer.h"

#include <charconv>

#include "submit/WinInet.h"

namespace tovela {
namespace {

constexpr std::uint32_t kStatusCodeNumber = wininet::kQueryStatusCode | wininet::kQueryFlagNumber;

UploadOutcome Failure(std::int32_t number, std::string text) {
    return {UploadOutcome::Kind::Failed, number, std::move(text)};
}

// "host" or "host:port"; false when the port is not a number from 1 to 65535.
bool SplitServer(const std::string& server, std::string& host, std::uint16_t& port, bool& hasPort) {
    const std::size_t colon = server.find(':');
    hasPort = colon != server.npos;
    host = server.substr(0, colon);
    if (!hasPort) return true;
    const char* first = server.data() + colon + 1;
    const char* last = server.data() + server.size();
    unsigned value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || value == 0 || value > 65535) return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

}  // namespace

TransferResult PostUpload(UploadHttpFactory& http, const std::string& server, bool secure,
                          const std::string& urlPath, const std::string& token,
                          MultipartBody& body) {
    TransferResult result;
    WinInet inet(http);
    result.clientCreated = true;
    const auto finish = [&](UploadOutcome failure) {
        result.serverName = inet.sServerName;
        result.port = inet.nServerPort;
        result.failure = std::move(failure);
        return std::move(result);
    };
    if (!inet.Initialized()) return finish(Failure(54143, "No network connection."));

    inet.Secure(secure);
    std::string host;
    std::uint16_t port = 0;
    bool hasPort = false;
    const bool portValid = SplitServer(server, host, port, hasPort);
    inet.sServerName = host;
    if (hasPort && portValid) inet.nServerPort = port;
    const std::string at = server + ":" + std::to_string(inet.nServerPort);
    if (!portValid || host.empty() || !inet.Connect())
        return finish(Failure(54144, "Can't connect to Tovela server " + at));
    if (!inet.OpenRequest(false, urlPath, "HTTP/1.1"))
        return finish(Failure(54145, "Can't send data to Tovela server " + at + urlPath));

    const std::string headers = UploadHeaderBlock(inet.sServerName, token, body.Size());
    const std::uint32_t sent = inet.SendRequest(headers, body);
    if (!body.FailedPath().empty()) {
        // A file changed or could not be read while it was sent.
        return finish(Failure(
            57, "Device I/O error\r\nFilename: " + body.FailedPath() + "\r\n" + at + urlPath));
    }
    if (sent != 0) {
        return finish(
            Failure(54146, "Can't send request to " + inet.sServerName + ":" +
                               std::to_string(inet.nServerPort) + "\r\nURL: " + urlPath +
                               "\r\nError Code: " + std::to_string(sent - kWinInetErrorBase) +
                               "\r\nError message: " + inet.sLastErrorText));
    }
    inet.nStatusCode = inet.QueryInfoLong(kStatusCodeNumber);
    if (inet.nStatusCode != 200) {
        return finish(
            Failure(54147, "Request sent to " + at + "\r\nURL: " + urlPath +
                               "\r\nReturned Error Code: " + std::to_string(inet.nStatusCode) +
                               "\r\nStatus Text: " + inet.QueryInfo(wininet::kQueryStatusText)));
    }
    result.response = inet.ReadFile(kMaxUploadAnswer);
    result.rawHeaders = inet.QueryInfo(wininet::kQueryRawHeadersCrlf);
    inet.Disconnect();
    return finish({});
}

}  // namespace tovela
