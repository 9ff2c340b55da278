#include "session/SendSoap.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "app/LocalTime.h"
#include "submit/TextEncodings.h"

namespace tovela {
namespace {

// Built by joining rather than by replacing placeholders, so that a page quoted as the
// error can never have parts of itself replaced.
std::string RequestFailed(const std::string& url, const std::string& error) {
    return url + "\r\nへのリクエストで次のエラーが発生しました。\r\n" + error +
           "\r\n'安全な接続をする'のチェックを変更してみてください";
}

std::string TransportFailed(const std::string& url, const HttpError& error, SystemInfo& system) {
    switch (error.number) {
        case kInetResourceNotFound:
        case kInetDownloadFailure:
            return RequestFailed(url, error.description);
        case kInetInvalidCertificate:
            return error.description;
        default:
            // Error numbers are shown as the platform shows them: signed 32-bit decimals.
            return RequestFailed(
                url, "Error: " + std::to_string(static_cast<std::int32_t>(error.number)) + " (" +
                         error.description +
                         ")\r\nLastDllError: " + system.SystemErrorText(error.lastDllError));
    }
}

// The inside of each element written with `tag` (its own markup included) within `text`.
// Markup cannot come from values: those are escaped, so "<" in a subject arrives as "&lt;".
std::vector<std::string_view> Elements(std::string_view text, std::string_view tag) {
    std::vector<std::string_view> found;
    const std::string open = "<" + std::string(tag);
    const std::string close = "</" + std::string(tag) + ">";
    for (std::size_t at = text.find(open); at != std::string_view::npos;
         at = text.find(open, at + 1)) {
        const std::size_t next = at + open.size();
        if (next >= text.size()) break;
        const char c = text[next];
        if (c != '>' && c != '/' && c != ' ' && c != '\t' && c != '\r' && c != '\n') continue;
        const std::size_t end = text.find(close, next);
        found.push_back(
            text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at));
    }
    return found;
}

}  // namespace

bool IsRejectedLogin(std::string_view response) {
    // Only the server's own fault says so: the same word in a subject, an appointment or a
    // signature elsewhere in the answer is mail, not a refusal.
    for (std::string_view fault : Elements(response, "soap:Fault")) {
        for (std::string_view part :
             {std::string_view("soap:Code"), std::string_view("soap:Detail")}) {
            for (std::string_view element : Elements(fault, part)) {
                if (element.find("AUTH_FAILED") != std::string_view::npos) return true;
            }
        }
    }
    return false;
}

std::string SendSoap(const std::string& envelope, SoapTransport& transport, SoapAccount& account) {
    SessionContext& session = account.session;
    session.sLastError.clear();
    transport.log.Write("*ECS: (" + DateTimeText(LocalNow(transport.clock, transport.zone)) +
                        "):" + Base64Encode(envelope));

    const std::string url =
        (account.secure ? "https://" : "http://") + session.sHost + "/service/soap";
    std::unique_ptr<HttpRequest> request = transport.http.CreateRequest();

    if (!session.bOptionsProbed) {
        request->Open("OPTIONS", url);
        if (!request->Send({})) {
            session.sLastError = TransportFailed(url, request->Error(), transport.system);
            return {};
        }
        if (request->Status() == 200) {
            session.bOptionsProbed = true;
        } else {
            session.sLastError = RequestFailed(url, request->StatusText());
            return {};
        }
    }

    request->Open("POST", url);
    request->SetRequestHeader("Host", session.sHost);
    if (!request->Send(envelope)) {
        session.sLastError = TransportFailed(url, request->Error(), transport.system);
        return {};
    }
    std::string response = request->ResponseText();

    if (response.find("<soap:Envelope ") == std::string::npos) {
        if (request->Status() == 200) {
            session.sLastError = RequestFailed(url, response);
        } else {
            // Perhaps the server moved or changed; probe it again next time.
            session.bOptionsProbed = false;
            session.sLastError = RequestFailed(url, request->StatusText());
        }
        return {};
    }
    if (IsRejectedLogin(response)) {
        session.sLastError = "ユーザー名またはパスワードが正しくありません。" + account.userName;
        // No login goes out again until the user types a password.
        session.sAuthToken.clear();
        if (account.onLoginRejected) account.onLoginRejected();
        return {};
    }
    return response;
}

}  // namespace tovela
