#include "submit/CHTTP.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "fakes/FakePlatform.h"
#include "fakes/FakeFiles.h"
#include "fakes/FakeUploadHttp.h"
#include "unit/submit/ZipReader.h"

namespace tovela {
namespace {

using testing::FakeUploadHttp;

constexpr const char* kUploadPath = "/service/upload?fmt=raw";

// Records the events as the owner of the upload would see them.
struct RecordedEvents final : CHTTPEvents {
    void CodErrorSubida(std::int32_t Number, const std::string& Description) override {
        log.push_back("CodErrorSubida " + std::to_string(Number) + " " + Description);
    }
    void Completed() override { log.push_back("Completed"); }
    void ErrorDeSubida(const std::string& sChunk) override {
        log.push_back("ErrorDeSubida " + sChunk);
    }
    void UploadProgress(int nPercent) override { progress.push_back(nPercent); }
    std::vector<std::string> log;
    std::vector<int> progress;
};

class CHTTPTest : public ::testing::Test {
protected:
    CHTTPTest() {
        files.AddFolder("C:\\Docs");
        files.AddFolder("C:\\Temp");
        http.script.push_back(FakeUploadHttp::Ok("200,'1','a1b2c3d4-0000:1'"));
        upload.sServer = "mail.example.com";
        upload.sToken = "0_tok";
    }

    std::string OnlyEvent() {
        EXPECT_EQ(events.log.size(), 1u);
        return events.log.empty() ? std::string() : events.log.back();
    }
    // The file names the server was given, in order.
    std::vector<std::string> SentNames(std::size_t exchange = 0) {
        std::vector<std::string> names;
        const std::string& body = http.exchanges.at(exchange).body;
        const std::string marker = "name=\"_attFile_\"; filename=\"";
        for (std::size_t at = body.find(marker); at != std::string::npos;
             at = body.find(marker, at + 1)) {
            const std::size_t start = at + marker.size();
            names.push_back(body.substr(start, body.find('"', start) - start));
        }
        return names;
    }
    // The bytes of the first file of an exchange.
    std::string SentFile(std::size_t exchange = 0) {
        const std::string& body = http.exchanges.at(exchange).body;
        const std::size_t start = body.find("\r\n\r\n", body.find("_attFile_")) + 4;
        return body.substr(start, body.find("\r\n------TovelaNotifierPostBoundary", start) - start);
    }
    bool TemporaryFilesLeft() {
        for (const auto& [path, entry] : files.entries)
            if (path.find("_tmp_") != std::string::npos) return true;
        return false;
    }

    testing::FakePlatform fake;
    testing::FakeFileSystem files;
    FakeUploadHttp http;
    testing::FakeUserEnvironment user;
    testing::FakeBackgroundWork background;
    AccountPreferences account;
    RecordedEvents events;
    CHTTP upload{{files, http, user, background, *fake.loop, *fake.clock, *fake.timeZone, account},
                 events};
};

const char* const kBoundary = "------TovelaNotifierPostBoundary\r\n";

TEST_F(CHTTPTest, SendsExactlyTheHeaderBlockAndBodyOfOneFile) {
    files.AddFile("C:\\Docs\\report 1.txt", std::string("a\0\r\nb", 5));
    upload.sFiles = "\"C:\\Docs\\report 1.txt\"";
    upload.Upload("  /service/upload?fmt=raw ");

    EXPECT_EQ(OnlyEvent(), "Completed");
    EXPECT_EQ(upload.sAttachIds, "a1b2c3d4-0000:1");
    EXPECT_EQ(upload.sSubject, "report 1.txt (5 B)");
    ASSERT_EQ(http.exchanges.size(), 1u);
    const auto& sent = http.exchanges[0];
    EXPECT_EQ(sent.agent, "Tovela Notifier/6.1 (Windows)");
    EXPECT_EQ(sent.server, "mail.example.com");
    EXPECT_EQ(sent.port, 80);
    EXPECT_FALSE(sent.secure);
    EXPECT_EQ(sent.verb + " " + sent.object + " " + sent.version,
              "POST /service/upload?fmt=raw HTTP/1.1");
    const std::string body = std::string(kBoundary) +
                             "Content-Disposition: form-data; name=\"_charset_\"\r\n\r\n"
                             "UTF-8\r\n" +
                             kBoundary +
                             "Content-Disposition: form-data; name=\"filename1\"\r\n\r\n"
                             "report 1.txt\r\n" +
                             kBoundary +
                             "Content-Disposition: form-data; name=\"_attFile_\"; "
                             "filename=\"report 1.txt\"\r\n\r\n" +
                             std::string("a\0\r\nb", 5) + "\r\n" + kBoundary +
                             "Content-Disposition: form-data; name=\"requestId\"\r\n\r\n"
                             "1\r\n"
                             "------TovelaNotifierPostBoundary--\r\n\r\n";
    EXPECT_EQ(sent.body, body);
    EXPECT_EQ(sent.headers,
              "Accept-Language: en-us\r\n"
              "Content-Type: multipart/form-data; boundary=----TovelaNotifierPostBoundary\r\n"
              "User-Agent: TovelaNotifier/6.1.0 (Windows)\r\n"
              "Host: mail.example.com\r\n"
              "Content-Length: " +
                  std::to_string(body.size()) +
                  "\r\n"
                  "Connection: Close\r\n"
                  "Cookie: TV_TEST=true; TV_AUTH_TOKEN=0_tok\r\n");
}

TEST_F(CHTTPTest, TwoFilesCarryTheirDisplayNamesEncodedForMessagesAndRawForTheBriefcase) {
    files.AddFile("C:\\Docs\\a.tmp", "first");
    files.AddFile("C:\\Docs\\b.tmp", "second");
    for (const bool briefcase : {false, true}) {
        SCOPED_TRACE(briefcase ? "briefcase" : "message");
        http.script = {FakeUploadHttp::Ok("200,'2','a1b2c3d4-0000:1,a1b2c3d4-0000:2'")};
        http.exchanges.clear();
        events.log.clear();
        upload.sFiles = "C:\\Docs\\a.tmp C:\\Docs\\b.tmp";
        upload.sFileNames = "\"X:\\会議 資料.txt\" b.txt";
        upload.sSubject = "given";
        upload.bToBriefcase = briefcase;
        upload.sServer = "mail.example.com:8443";
        upload.bSecure = true;
        upload.Upload(kUploadPath);

        EXPECT_EQ(OnlyEvent(), "Completed");
        EXPECT_EQ(upload.sAttachIds, "a1b2c3d4-0000:1,a1b2c3d4-0000:2");
        EXPECT_EQ(upload.sSubject, "given");
        ASSERT_EQ(http.exchanges.size(), 1u);
        EXPECT_EQ(http.exchanges[0].port, 8443);
        EXPECT_TRUE(http.exchanges[0].secure);
        const std::vector<std::string> names =
            briefcase ? std::vector<std::string>{"会議 資料.txt", "b.txt"}
                      : std::vector<std::string>{
                            "=?utf-8?Q?=E4=BC=9A=E8=AD=B0_=E8=B3=87=E6=96=99=2Etxt?=", "b.txt"};
        EXPECT_EQ(SentNames(), names);
        const std::string& body = http.exchanges[0].body;
        EXPECT_NE(body.find("name=\"filename1\"\r\n\r\n" + names[0] + "\r\n"), std::string::npos);
        EXPECT_NE(body.find("name=\"filename2\"\r\n\r\nb.txt\r\n"), std::string::npos);
        EXPECT_NE(body.find("name=\"requestId\"\r\n\r\n2\r\n------TovelaNotifierPostBoundary--"),
                  std::string::npos);
    }
}

struct NamingCase {
    const char* name;
    std::function<void(testing::FakeFileSystem&)> arrange;
    const char* files;
    const char* fileNames;
    bool shift;
    const char* decimalSeparator;
    std::string sentName;
    std::string subject;  // or its start, for archives whose size depends on compression
};

class CHTTPNamingTest : public CHTTPTest, public ::testing::WithParamInterface<NamingCase> {};

TEST_P(CHTTPNamingTest, NamesTheUploadAndItsSubject) {
    const NamingCase& c = GetParam();
    if (c.arrange) c.arrange(files);
    user.shiftDown = c.shift;
    user.decimalSeparator = c.decimalSeparator;
    upload.sFiles = c.files;
    upload.sFileNames = c.fileNames;
    upload.Upload(kUploadPath);

    EXPECT_EQ(OnlyEvent(), "Completed");
    ASSERT_EQ(SentNames(), std::vector<std::string>{c.sentName});
    EXPECT_EQ(upload.sSubject.substr(0, c.subject.size()), c.subject);
    EXPECT_FALSE(TemporaryFilesLeft());
    if (c.sentName.ends_with(".zip")) {
        std::string error;
        EXPECT_FALSE(testing::ReadZip(SentFile(), error).empty());
        EXPECT_EQ(error, "");
    }
}

void AddBytes(testing::FakeFileSystem& f, const char* path, std::size_t size) {
    f.AddFile(path, std::string(size, 'z'));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CHTTPNamingTest,
    ::testing::Values(
        NamingCase{"OneAndAHalfKilobytes", [](auto& f) { AddBytes(f, "C:\\Docs\\a.bin", 1536); },
                   "C:\\Docs\\a.bin", "", false, ",", "a.bin", "a.bin (1,5 KB)"},
        NamingCase{"TwoKilobytes", [](auto& f) { AddBytes(f, "C:\\Docs\\a.bin", 2048); },
                   "C:\\Docs\\a.bin", "", false, ".", "a.bin", "a.bin (2 KB)"},
        NamingCase{"OneMegabyte", [](auto& f) { AddBytes(f, "C:\\Docs\\a.bin", 1048576); },
                   "C:\\Docs\\a.bin", "", false, ".", "a.bin", "a.bin (1 MB)"},
        NamingCase{"DisplayName", [](auto& f) { AddBytes(f, "C:\\Docs\\a.tmp", 1023); },
                   "C:\\Docs\\a.tmp", "Plan.txt", false, ".", "Plan.txt", "Plan.txt (1023 B)"},
        // A list of names of another length is not used.
        NamingCase{"NamesOfAnotherCount", [](auto& f) { AddBytes(f, "C:\\Docs\\a.bin", 10); },
                   "C:\\Docs\\a.bin", "x.txt y.txt", false, ".", "a.bin", "a.bin (10 B)"},
        NamingCase{"FolderAlone",
                   [](auto& f) {
                       f.AddFolder("C:\\Docs\\Plans");
                       AddBytes(f, "C:\\Docs\\Plans\\p.txt", 10);
                   },
                   "C:\\Docs\\Plans", "", false, ".", "Plans.zip", "Plans.zip ("},
        NamingCase{"FileAndFolder",
                   [](auto& f) {
                       f.AddFolder("C:\\Docs\\Plans");
                       AddBytes(f, "C:\\Docs\\a.bin", 10);
                   },
                   "C:\\Docs\\a.bin C:\\Docs\\Plans", "", false, ".",
                   "=?utf-8?Q?2=5F=E3=82=AA=E3=83=96=E3=82=B8=E3=82=A7=E3=82=AF=E3=83=88=2Ezip?=",
                   "2_オブジェクト.zip ("},
        // Shift packs a single file too, named after it without its extension.
        NamingCase{"ShiftHeld", [](auto& f) { AddBytes(f, "C:\\Docs\\v1.2\\README", 10); },
                   "C:\\Docs\\v1.2\\README", "", true, ".", "README.zip", "README.zip ("},
        // A temporary file of the mail library is packed under its display name.
        NamingCase{"ShiftHeldOnATemporaryFile",
                   [](auto& f) { AddBytes(f, "C:\\Temp\\~att1.TMP", 10); }, "C:\\Temp\\~att1.TMP",
                   "Budget.xlsx", true, ".", "Budget.xlsx.zip", "Budget.xlsx.zip ("},
        NamingCase{"Shortcut",
                   [](auto& f) {
                       AddBytes(f, "C:\\Docs\\real.pdf", 3);
                       f.shortcuts["C:\\Desk\\x.lnk"] = "C:\\Docs\\real.pdf";
                   },
                   "C:\\Desk\\x.lnk", "x.lnk", false, ".", "real.pdf", "real.pdf (3 B)"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(CHTTPTest, TwoPlainFilesWithoutASubject) {
    files.AddFile("C:\\Docs\\a.txt", "1");
    files.AddFile("C:\\Docs\\b.txt", "22");
    http.script = {FakeUploadHttp::Ok("200,'2','abc'")};
    upload.sFiles = "C:\\Docs\\a.txt C:\\Docs\\b.txt";
    upload.Upload(kUploadPath);
    EXPECT_EQ(OnlyEvent(), "Completed");
    EXPECT_EQ(upload.sSubject, "2 オブジェクト (3 B)");
    EXPECT_EQ(upload.sAttachIds, "abc");
}

TEST_F(CHTTPTest, NothingToUpload) {
    upload.sFiles = "";
    upload.sAttachIds = "old";
    upload.Upload(kUploadPath);
    EXPECT_EQ(OnlyEvent(), "Completed");
    EXPECT_EQ(upload.sAttachIds, "");
    EXPECT_TRUE(http.exchanges.empty());
}

class CHTTPFailureTest;

struct FailureCase {
    const char* name;
    std::function<void(CHTTPFailureTest&)> arrange;
    std::string event;
    bool sent;  // whether a request went out
};

class CHTTPFailureTest : public CHTTPTest, public ::testing::WithParamInterface<FailureCase> {
public:
    testing::FakeFileSystem& Files() { return files; }
    FakeUploadHttp& Http() { return http; }
    CHTTP& Upload() { return upload; }
    AccountPreferences& Account() { return account; }
};

TEST_P(CHTTPFailureTest, RaisesOneEventWithTheReason) {
    const FailureCase& c = GetParam();
    files.AddFile("C:\\Docs\\a.txt", "12345");
    upload.sFiles = "C:\\Docs\\a.txt";
    c.arrange(*this);
    upload.Upload(kUploadPath);
    EXPECT_EQ(OnlyEvent(), c.event);
    EXPECT_EQ(!http.exchanges.empty() && http.exchanges[0].sent, c.sent);
    EXPECT_FALSE(TemporaryFilesLeft());
}

FakeUploadHttp::Answer Answer(std::function<void(FakeUploadHttp::Answer&)> change) {
    FakeUploadHttp::Answer answer;
    change(answer);
    return answer;
}

INSTANTIATE_TEST_SUITE_P(
    Failures, CHTTPFailureTest,
    ::testing::Values(
        FailureCase{
            "MissingFile",
            [](CHTTPFailureTest& test) {
                test.Upload().sFiles = "C:\\Docs\\a.txt \"C:\\Docs\\gone 1.txt\"";
            },
            "CodErrorSubida 53 File not found\r\ndbg: 0.10\r\nFilename: C:\\Docs\\gone 1.txt",
            false},
        FailureCase{"UnreadableFile",
                    [](CHTTPFailureTest& test) {
                        test.Files().entries["C:\\Docs\\a.txt"].unreadable = true;
                    },
                    "CodErrorSubida 75 Path/File access error\r\nFilename: C:\\Docs\\a.txt\r\n"
                    "mail.example.com/service/upload?fmt=raw",
                    false},
        FailureCase{"SizeLimit",
                    [](CHTTPFailureTest& test) { test.Account().dUploadSizeLimit = 4; },
                    "CodErrorSubida 5461 Attachment size > tovelaFileUploadMaxSize (5 B)", false},
        FailureCase{"ZipCannotReadAFile",
                    [](CHTTPFailureTest& test) {
                        test.Files().AddFolder("C:\\Docs\\Locked");
                        test.Files().AddFile("C:\\Docs\\Locked\\in use.doc", "x").unreadable = true;
                        test.Upload().sFiles = "C:\\Docs\\Locked";
                    },
                    "CodErrorSubida 18 Zip error: \r\nCouldn't Open a File to Read", false},
        FailureCase{"NoSession",
                    [](CHTTPFailureTest& test) {
                        test.Http().script = {Answer([](auto& a) { a.noSession = true; })};
                    },
                    "CodErrorSubida 54143 No network connection.", false},
        FailureCase{"NoConnection",
                    [](CHTTPFailureTest& test) {
                        test.Http().script = {Answer([](auto& a) { a.noConnection = true; })};
                    },
                    "CodErrorSubida 54144 Can't connect to Tovela server mail.example.com:80",
                    false},
        FailureCase{"PortIsNoNumber",
                    [](CHTTPFailureTest& test) { test.Upload().sServer = "mail.example.com:x"; },
                    "CodErrorSubida 54144 Can't connect to Tovela server mail.example.com:x:80",
                    false},
        FailureCase{"NoRequest",
                    [](CHTTPFailureTest& test) {
                        test.Http().script = {Answer([](auto& a) { a.noRequest = true; })};
                    },
                    "CodErrorSubida 54145 Can't send data to Tovela server "
                    "mail.example.com:80/service/upload?fmt=raw",
                    false},
        FailureCase{"SendFails",
                    [](CHTTPFailureTest& test) {
                        test.Http().script = {Answer([](auto& a) { a.sendError = 12045; })};
                    },
                    "CodErrorSubida 54146 Can't send request to mail.example.com:80\r\n"
                    "URL: /service/upload?fmt=raw\r\nError Code: 12045\r\n"
                    "Error message: text of 12045",
                    true},
        FailureCase{"StatusOtherThan200",
                    [](CHTTPFailureTest& test) {
                        test.Http().script = {Answer([](auto& a) {
                            a.status = 500;
                            a.statusText = "Internal Server Error";
                        })};
                    },
                    "CodErrorSubida 54147 Request sent to mail.example.com:80\r\n"
                    "URL: /service/upload?fmt=raw\r\nReturned Error Code: 500\r\n"
                    "Status Text: Internal Server Error",
                    true},
        // The server must never get a body that does not match its Content-Length.
        FailureCase{"FileShrinksWhileSent",
                    [](CHTTPFailureTest& test) {
                        test.Files().onOpen = [&test](const std::string&) {
                            test.Files().entries["C:\\Docs\\a.txt"].bytes = "123";
                        };
                    },
                    "CodErrorSubida 57 Device I/O error\r\nFilename: C:\\Docs\\a.txt\r\n"
                    "mail.example.com:80/service/upload?fmt=raw",
                    true},
        FailureCase{"FileGrowsWhileSent",
                    [](CHTTPFailureTest& test) {
                        test.Files().onOpen = [&test](const std::string&) {
                            test.Files().entries["C:\\Docs\\a.txt"].bytes = "123456";
                        };
                    },
                    "CodErrorSubida 57 Device I/O error\r\nFilename: C:\\Docs\\a.txt\r\n"
                    "mail.example.com:80/service/upload?fmt=raw",
                    true},
        FailureCase{
            "AnswerIsNoUploadResult",
            [](CHTTPFailureTest& test) { test.Http().script = {FakeUploadHttp::Ok("busy")}; },
            "ErrorDeSubida busy\r\nMessage size: 5 B\r\nAttachment count: 1", true}),
    [](const auto& row) { return std::string(row.param.name); });

FakeUploadHttp::Answer RedirectTo(const std::string& location) {
    FakeUploadHttp::Answer answer;
    answer.extraHeaders = "Content-Location: /not/this\r\nLocation: " + location + "\r\n";
    return answer;
}

TEST_F(CHTTPTest, RedirectsRepeatTheUploadWhereTheyPoint) {
    files.AddFile("C:\\Docs\\a.txt", "12345");
    upload.sFiles = "C:\\Docs\\a.txt";
    http.script = {RedirectTo("HTTPS://other.example.com:8443/service/upload?fmt=raw&n=2"),
                   RedirectTo("/service/upload?fmt=raw&n=3"),
                   FakeUploadHttp::Ok("200,'1','0123456789ab'")};
    upload.Upload(kUploadPath);

    EXPECT_EQ(OnlyEvent(), "Completed");
    EXPECT_EQ(upload.sAttachIds, "0123456789ab");
    ASSERT_EQ(http.exchanges.size(), 3u);
    for (const auto& exchange : http.exchanges) {
        EXPECT_EQ(exchange.body, http.exchanges[0].body) << "the whole upload again";
        EXPECT_NE(exchange.headers.find("TV_AUTH_TOKEN=0_tok"), std::string::npos);
    }
    EXPECT_EQ(http.exchanges[1].server, "other.example.com");
    EXPECT_EQ(http.exchanges[1].port, 8443);
    EXPECT_TRUE(http.exchanges[1].secure);
    EXPECT_EQ(http.exchanges[1].object, "/service/upload?fmt=raw&n=2");
    EXPECT_EQ(http.exchanges[2].server, "other.example.com");
    EXPECT_EQ(http.exchanges[2].object, "/service/upload?fmt=raw&n=3");
    EXPECT_EQ(upload.sServer, "other.example.com:8443");
    EXPECT_TRUE(upload.bSecure);
}

TEST_F(CHTTPTest, RedirectsEndInAClearErrorWhenTheyLoopOrLeaveTheSecureConnection) {
    files.AddFile("C:\\Docs\\a.txt", "12345");
    upload.sFiles = "C:\\Docs\\a.txt";
    http.script.assign(10, RedirectTo("/service/upload?fmt=raw"));
    upload.Upload(kUploadPath);
    EXPECT_EQ(OnlyEvent(),
              "CodErrorSubida 54146 Can't send request to mail.example.com:80\r\n"
              "URL: /service/upload?fmt=raw\r\nError Code: 12156\r\n"
              "Error message: The server redirected the upload more than 5 times.");
    EXPECT_EQ(http.exchanges.size(), 6u);

    events.log.clear();
    http.exchanges.clear();
    http.script = {RedirectTo("http://mail.example.com/service/upload?fmt=raw")};
    upload.bSecure = true;
    upload.Upload(kUploadPath);
    EXPECT_EQ(OnlyEvent(),
              "CodErrorSubida 54146 Can't send request to mail.example.com:443\r\n"
              "URL: /service/upload?fmt=raw\r\nError Code: 12156\r\n"
              "Error message: The server redirected the upload from a secure connection to an "
              "insecure one: http://mail.example.com/service/upload?fmt=raw");
    EXPECT_EQ(http.exchanges.size(), 1u);
}

TEST_F(CHTTPTest, LongUploadsTellTheirProgressAndKeepMessagesFlowing) {
    files.AddFile("C:\\Docs\\a.txt", std::string(10000, 'a'));
    upload.sFiles = "C:\\Docs\\a.txt";
    // The fake transfer is over at once; the job claims to run on for four polls of 500 ms.
    background.pendingPolls = 4;
    background.onPoll = [this] { fake.clock->tick += 500; };
    upload.Upload(kUploadPath);

    EXPECT_EQ(OnlyEvent(), "Completed");
    EXPECT_EQ(events.progress, std::vector<int>{100}) << "once over a second, when it changed";
    EXPECT_GE(fake.loop->doEventsCalls, 4);
    EXPECT_EQ(UploadProgressTip(42), "アップロード中 42%");
}

TEST_F(CHTTPTest, AnUploadStartedWhileOneRunsIsIgnored) {
    files.AddFile("C:\\Docs\\a.txt", "12345");
    upload.sFiles = "C:\\Docs\\a.txt";
    background.pendingPolls = 1;
    background.onPoll = [this] { upload.Upload(kUploadPath); };
    upload.Upload(kUploadPath);
    EXPECT_EQ(OnlyEvent(), "Completed");
    EXPECT_EQ(http.exchanges.size(), 1u);
}

}  // namespace
}  // namespace tovela
