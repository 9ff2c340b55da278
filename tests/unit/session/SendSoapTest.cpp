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

TEST(SendSoapTest, ProbesThenPostsAndJudgesTheAnswer) {
    using Methods = std::vector<std::string>;
    struct Case {
        const char* name;
        bool probedBefore;
        std::vector<HttpReply> script;
        Methods methods;
        std::string result;
        std::string lastError;
        bool probedAfter;
    } cases[] = {
        {"probe refused",
         false,
         {{405, "Method Not Allowed", ""}},
         {"OPTIONS"},
         "",
         kUrl + "\r\nへのリクエストで次のエラーが発生しました。\r\nMethod Not Allowed\r\n"
                "'安全な接続をする'のチェックを変更してみてください",
         false},
        {"probe accepted, then the envelope",
         false,
         {{200, "OK", ""}, {200, "OK", kAnswer}},
         {"OPTIONS", "POST"},
         kAnswer,
         "",
         true},
        {"probed before", true, {{200, "OK", kAnswer}}, {"POST"}, kAnswer, "", true},
        {"page at 200 is quoted whole",
         true,
         {{200, "OK", kPage}},
         {"POST"},
         "",
         RequestFailed(kUrl, kPage),
         true},
        {"page at another status forgets the probe",
         true,
         {{502, "Bad Gateway", kPage}},
         {"POST"},
         "",
         RequestFailed(kUrl, "Bad Gateway"),
         false},
        {"envelope tag without the blank",
         true,
         {{200, "OK", "<soap:Envelope>x</soap:Envelope>"}},
         {"POST"},
         "",
         RequestFailed(kUrl, "<soap:Envelope>x</soap:Envelope>"),
         true},
        {"envelope prefix in capitals",
         true,
         {{200, "OK", "<SOAP:Envelope xmlns:SOAP=\"x\"/>"}},
         {"POST"},
         "",
         RequestFailed(kUrl, "<SOAP:Envelope xmlns:SOAP=\"x\"/>"),
         true},
        {"rejected login outside an envelope is just a page",
         true,
         {{200, "OK", "<html>AUTH_FAILED</html>"}},
         {"POST"},
         "",
         RequestFailed(kUrl, "<html>AUTH_FAILED</html>"),
         true},
        {"envelope at an error status is still an answer",
         true,
         {{500, "Server Error", kAnswer}},
         {"POST"},
         kAnswer,
         "",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SoapHarness h;
        h.session.bOptionsProbed = c.probedBefore;
        h.session.sLastError = "from the previous call";
        h.http.script.assign(c.script.begin(), c.script.end());

        EXPECT_EQ(h.Send(), c.result);
        EXPECT_EQ(h.session.sLastError, c.lastError);
        EXPECT_EQ(h.session.bOptionsProbed, c.probedAfter);
        EXPECT_EQ(h.Methods(), c.methods);
        EXPECT_EQ(h.loginRejections, 0);
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
    }
}

TEST(SendSoapTest, RefusedProbeIsTriedAgainOnTheNextCall) {
    SoapHarness h;
    h.http.script = {{405, "Method Not Allowed", ""}, {200, "OK", ""}, {200, "OK", kAnswer}};

    EXPECT_EQ(h.Send(), "");
    EXPECT_EQ(h.Send(), kAnswer);

    EXPECT_EQ(h.Methods(), (std::vector<std::string>{"OPTIONS", "OPTIONS", "POST"}));
    EXPECT_EQ(h.http.requestsCreated, 2);
    EXPECT_EQ(h.session.sLastError, "");
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

TEST(SendSoapTest, RejectedLoginForgetsPasswordAndToken) {
    SoapHarness h;
    h.session.bOptionsProbed = true;
    h.session.sAuthToken = "0_token";
    h.session.sSessionId = "42";
    h.http.script = {{500, "Internal Server Error",
                      "<soap:Envelope xmlns:soap=\"x\"><soap:Body><soap:Fault><soap:Reason>"
                      "<soap:Text>authentication failed</soap:Text></soap:Reason><soap:Detail>"
                      "<Error><Code>account.AUTH_FAILED</Code></Error></soap:Detail></soap:Fault>"
                      "</soap:Body></soap:Envelope>"}};

    EXPECT_EQ(h.Send(), "");

    EXPECT_EQ(h.session.sLastError, "ユーザー名またはパスワードが正しくありません。taro");
    EXPECT_EQ(h.session.sAuthToken, "");
    EXPECT_EQ(h.loginRejections, 1);
    EXPECT_EQ(h.session.sSessionId, "42");
    EXPECT_TRUE(h.session.bOptionsProbed);
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
