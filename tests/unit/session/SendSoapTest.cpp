#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/FakePlatform.h"
#include "fakes/RecordingDebugLog.h"
#include "fakes/ScriptedHttp.h"
#include "session/SendSoap.h"

namespace tovela {
namespace {

using testing::HttpReply;

const std::string kHost = "mail.example.jp";
const std::string kUrl = "http://mail.example.jp/service/soap";
const std::string kEnvelope =
    "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\">"
    "<soap:Body><NoOpRequest xmlns=\"urn:tovelaMail\"/></soap:Body></soap:Envelope>";
const std::string kAnswer =
    "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\">"
    "<soap:Body><NoOpResponse xmlns=\"urn:tovelaMail\"/></soap:Body></soap:Envelope>";
const std::string kPage = "<html><body>メンテナンス中です</body></html>";

std::string RequestFailed(const std::string& url, const std::string& error) {
    return url + "\r\nへのリクエストで次のエラーが発生しました。\r\n" + error +
           "\r\n'安全な接続をする'のチェックを変更してみてください";
}

struct SoapHarness {
    testing::ScriptedHttp http;
    testing::FakeClock clock;
    testing::FakeTimeZone zone;
    testing::FakeSystemInfo system;
    testing::RecordingDebugLog log;
    SessionContext session;
    bool secure = false;
    int loginRejections = 0;

    SoapHarness() { session.sHost = kHost; }

    std::string Send(const std::string& envelope = kEnvelope) {
        SoapTransport transport{http, clock, zone, system, log};
        SoapAccount account{session, secure, "taro", [this] { ++loginRejections; }};
        return SendSoap(envelope, transport, account);
    }

    std::vector<std::string> Methods() const {
        std::vector<std::string> methods;
        for (const auto& call : http.calls) methods.push_back(call.method);
        return methods;
    }
};

TEST(SendSoapTest, ProbesUntilTheServerAcceptsThenOnlyPosts) {
    SoapHarness h;
    h.session.sLastError = "from the previous call";
    h.http.script = {{405, "Method Not Allowed", ""},
                     {200, "OK", ""},
                     {200, "OK", kAnswer},
                     {200, "OK", kAnswer}};

    EXPECT_EQ(h.Send(), "");
    EXPECT_EQ(h.session.sLastError, RequestFailed(kUrl, "Method Not Allowed"));
    EXPECT_FALSE(h.session.bOptionsProbed);
    EXPECT_EQ(h.Send(), kAnswer);
    EXPECT_EQ(h.session.sLastError, "");
    EXPECT_TRUE(h.session.bOptionsProbed);
    EXPECT_EQ(h.Send(), kAnswer);

    EXPECT_EQ(h.Methods(), (std::vector<std::string>{"OPTIONS", "OPTIONS", "POST", "POST"}));
    EXPECT_EQ(h.http.requestsCreated, 3);
    for (const auto& call : h.http.calls) {
        EXPECT_EQ(call.url, kUrl);
        if (call.method == "OPTIONS") {
            EXPECT_TRUE(call.headers.empty());
            EXPECT_EQ(call.body, "");
        } else {
            EXPECT_EQ(call.headers, (decltype(call.headers){{"Host", kHost}}));
            EXPECT_EQ(call.body, kEnvelope);
        }
    }
    EXPECT_EQ(h.loginRejections, 0);
}

TEST(SendSoapTest, OnlyAnEnvelopeIsAnAnswer) {
    const std::string tagOnly = "<soap:Envelope>x</soap:Envelope>";
    const std::string capitals = "<SOAP:Envelope xmlns:SOAP=\"x\"/>";
    const std::string authPage = "<html>AUTH_FAILED</html>";
    struct Case {
        const char* name;
        int status;
        const char* reason;
        std::string body, result, lastError;
        bool probedAfter;
    } cases[] = {
        {"page at 200 is quoted whole", 200, "OK", kPage, "", RequestFailed(kUrl, kPage), true},
        {"page at another status forgets the probe", 502, "Bad Gateway", kPage, "",
         RequestFailed(kUrl, "Bad Gateway"), false},
        {"envelope tag without the blank", 200, "OK", tagOnly, "", RequestFailed(kUrl, tagOnly),
         true},
        {"envelope prefix in capitals", 200, "OK", capitals, "", RequestFailed(kUrl, capitals),
         true},
        {"rejected login outside an envelope is just a page", 200, "OK", authPage, "",
         RequestFailed(kUrl, authPage), true},
        {"envelope at an error status is still an answer", 500, "Server Error", kAnswer, kAnswer,
         "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SoapHarness h;
        h.session.bOptionsProbed = true;
        h.http.script = {{c.status, c.reason, c.body}};

        EXPECT_EQ(h.Send(), c.result);
        EXPECT_EQ(h.session.sLastError, c.lastError);
        EXPECT_EQ(h.session.bOptionsProbed, c.probedAfter);
        EXPECT_EQ(h.loginRejections, 0);
    }
}

TEST(SendSoapTest, SchemeFromTheSecureBoxAndHostAsTyped) {
    struct Case {
        const char* name;
        bool secure;
        std::string host;
        std::string url;
    } cases[] = {
        {"plain", false, "mail.example.jp", "http://mail.example.jp/service/soap"},
        {"secure", true, "mail.example.jp", "https://mail.example.jp/service/soap"},
        {"port typed after a colon", true, "mail.example.jp:8443",
         "https://mail.example.jp:8443/service/soap"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SoapHarness h;
        h.secure = c.secure;
        h.session.sHost = c.host;
        h.http.script = {{200, "OK", ""}, {200, "OK", kAnswer}};

        EXPECT_EQ(h.Send(), kAnswer);
        ASSERT_EQ(h.http.calls.size(), 2u);
        EXPECT_EQ(h.http.calls[0].url, c.url);
        EXPECT_EQ(h.http.calls[1].url, c.url);
        EXPECT_EQ(h.http.calls[1].headers, (decltype(h.http.calls[1].headers){{"Host", c.host}}));
    }
}

TEST(SendSoapTest, OnlyAFaultThatSaysSoIsARejectedLogin) {
    const std::string head = "<soap:Envelope xmlns:soap=\"x\">";
    const std::string fault =
        "<soap:Fault><soap:Code><soap:Value>soap:Sender</soap:Value></soap:Code><soap:Reason>"
        "<soap:Text>authentication failed</soap:Text></soap:Reason><soap:Detail>"
        "<Error><Code>account.AUTH_FAILED</Code></Error></soap:Detail></soap:Fault>";
    const std::string newMail =
        "<soap:Header><context xmlns=\"urn:tovela\"><notify seq=\"2\"><created><m id=\"7\" "
        "l=\"2\" f=\"u\"><su>Alert: AUTH_FAILED for backup job</su></m></created></notify>"
        "</context></soap:Header>";
    struct Case {
        const char* name;
        std::string body;
        bool rejected;
    } cases[] = {
        {"fault of the whole request",
         head + "<soap:Body>" + fault + "</soap:Body></soap:Envelope>", true},
        {"fault inside a batch",
         head + "<soap:Body><BatchResponse xmlns=\"urn:tovela\">" + fault +
             "<GetInfoResponse/></BatchResponse></soap:Body></soap:Envelope>",
         true},
        {"code alone says so",
         head + "<soap:Body><soap:Fault><soap:Code><soap:Value>AUTH_FAILED"
                "</soap:Value></soap:Code></soap:Fault></soap:Body></soap:Envelope>",
         true},
        {"a new mail's subject", head + newMail + "<soap:Body/></soap:Envelope>", false},
        {"only the fault's reason mentions it",
         head + "<soap:Body><soap:Fault><soap:Reason><soap:Text>no such folder: AUTH_FAILED"
                "</soap:Text></soap:Reason></soap:Fault></soap:Body></soap:Envelope>",
         false},
        {"escaped markup in a signature",
         head + "<soap:Body><GetSignaturesResponse><signature><content>&lt;soap:Fault&gt;"
                "&lt;soap:Code&gt;AUTH_FAILED</content></signature></GetSignaturesResponse>"
                "</soap:Body></soap:Envelope>",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SoapHarness h;
        h.session.bOptionsProbed = true;
        h.session.sAuthToken = "0_token";
        h.session.sSessionId = "42";
        h.http.script = {{500, "Internal Server Error", c.body}};

        EXPECT_EQ(h.Send(), c.rejected ? "" : c.body);
        EXPECT_EQ(h.session.sLastError,
                  c.rejected ? "ユーザー名またはパスワードが正しくありません。taro" : "");
        EXPECT_EQ(h.session.sAuthToken, c.rejected ? "" : "0_token");
        EXPECT_EQ(h.loginRejections, c.rejected ? 1 : 0);
        EXPECT_EQ(h.session.sSessionId, "42");
        EXPECT_TRUE(h.session.bOptionsProbed);
    }
}

TEST(SendSoapTest, TransportFailuresBecomeMessagesByNumber) {
    struct Case {
        const char* name;
        HttpReply failure;
        std::string lastError;
    } cases[] = {
        {"host not found",
         HttpReply::Failure(0x800C0005, "The server name could not be resolved", 12007),
         RequestFailed(kUrl, "The server name could not be resolved")},
        {"transfer broken", HttpReply::Failure(0x800C0008, "Connection reset by peer", 104),
         RequestFailed(kUrl, "Connection reset by peer")},
        {"certificate refused",
         HttpReply::Failure(0x800C0019, "The certificate authority is invalid"),
         "The certificate authority is invalid"},
        {"time-out", HttpReply::Failure(0x80072EE2, "The operation timed out", 12002),
         RequestFailed(kUrl,
                       "Error: -2147012894 (The operation timed out)\r\n"
                       "LastDllError: system error 12002")},
        {"other without a system error", HttpReply::Failure(0x800C0007, "Answer too large"),
         RequestFailed(kUrl, "Error: -2146697209 (Answer too large)\r\nLastDllError: ")},
    };
    for (const Case& c : cases) {
        for (bool atProbe : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (atProbe ? ", at the probe" : ", at the post"));
            SoapHarness h;
            h.session.bOptionsProbed = !atProbe;
            h.http.script = {c.failure};

            EXPECT_EQ(h.Send(), "");
            EXPECT_EQ(h.session.sLastError, c.lastError);
            EXPECT_EQ(h.session.bOptionsProbed, !atProbe);
            EXPECT_EQ(h.http.calls.size(), 1u);
        }
    }
}

TEST(SendSoapTest, TracesTheEnvelopeAsBase64OfUtf16WithTheLocalTime) {
    SoapHarness h;
    h.zone.bias = -540;  // UTC+9
    h.http.script = {{405, "Method Not Allowed", ""}};

    h.Send("<a/>");

    EXPECT_EQ(h.log.lines, (std::vector<std::string>{"*ECS: (2026/12/06 16:51:15):PABhAC8APgA="}));
}

}  // namespace
}  // namespace tovela
