// What the main form does with a message from the mail library, by how its upload and its
// request end: what the user sees, what stays in the outbox.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "app/frmMain.h"
#include "fakes/FakePlatform.h"
#include "fakes/RecordingDebugLog.h"
#include "submit/MapiMessageText.h"
#include "xml/SessionAnswers.h"
#include "xml/XmlEngine.h"

namespace tovela {
namespace {

using testing::FakeUploadHttp;
using testing::HttpReply;

struct Form {
    Form() {
        fakes.platform.xml = testing::MakeXmlFactory();
        fakes.settings->Put("TovelaHost", "mail.example.com");
        fakes.settings->Put("Username", "demo");
        fakes.settings->Put("Password", "text:pw");
        fakes.settings->Put("HTTPS", "0");
        fakes.http->script = {HttpReply(200, "OK"), testing::LoginAnswer()};
        fakes.files->AddFile("C:\\Temp\\a.pdf", "pdf");
        form = std::make_unique<frmMain>(fakes.platform, &log);
        EXPECT_TRUE(form->Form_Load(""));
    }
    // The hand-over is answered once the message is kept; the upload starts when the loop
    // runs again, so the sending program never waits for it or for a message box.
    void Hand(MapiMessageFields message) {
        const std::size_t posts = fakes.http->calls.size();
        fakes.windows->FirstMailbox()->OnCopyData(1723, MapiMessagePayload(message));
        EXPECT_TRUE(fakes.uploadHttp->exchanges.empty() && fakes.desktop->boxes.empty() &&
                    fakes.http->calls.size() == posts)
            << "the hand-over waited for the submission";
        EXPECT_EQ(Waiting(), 1u);
        ASSERT_TRUE(fakes.timers->active.contains(frmMain::kSubmitTimerId));
        fakes.timers->Fire(frmMain::kSubmitTimerId);
        EXPECT_FALSE(fakes.timers->active.contains(frmMain::kSubmitTimerId)) << "a one-shot timer";
    }
    std::size_t Waiting() {
        auto list = fakes.files->ListFolder("C:\\Profile\\NotificadorTovela\\Outbox");
        return list ? list->size() : 0;
    }
    std::vector<std::string> Boxes() {
        std::vector<std::string> texts;
        for (const auto& box : fakes.desktop->boxes) texts.push_back(box.text);
        return texts;
    }

    testing::FakePlatform fakes;
    testing::RecordingDebugLog log;
    std::unique_ptr<frmMain> form;
};

MapiMessageFields Message(bool recipients = true, std::uint32_t flags = 0) {
    MapiMessageFields m;
    if (recipients) m.recipients = {{"Ann", "ann@example.com"}};
    m.subject = "S";
    m.body = "Hi";
    m.flags = flags;
    m.attachments = {{"C:\\Temp\\a.pdf", "a.pdf"}};
    return m;
}

const std::string kFault =
    "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\"><soap:Body><soap:Fault>"
    "<soap:Reason><soap:Text>mailbox full</soap:Text></soap:Reason></soap:Fault></soap:Body>"
    "</soap:Envelope>";

TEST(SubmissionFormTest, EachOutcomeShowsWhatItShouldAndKeepsWhatMayGoLater) {
    struct Case {
        const char* name;
        MapiMessageFields message;
        std::function<void(Form&)> arrange;
        std::string request;  // the element of the last SOAP request, empty: none sent
        std::vector<std::string> boxes;
        std::size_t waiting;
        std::size_t opened;
    } cases[] = {
        {"sent",
         Message(),
         [](Form& f) {
             f.fakes.uploadHttp->script = {FakeUploadHttp::Ok("200,'null','u1'")};
             f.fakes.http->script.push_back(testing::SessionAnswer());
         },
         "<SendMsgRequest",
         {},
         0,
         0},
        {"a draft opens webmail",
         Message(false),
         [](Form& f) {
             f.fakes.uploadHttp->script = {FakeUploadHttp::Ok("200,'null','u1'")};
             f.fakes.http->script.push_back(HttpReply(
                 200, "OK",
                 testing::kEnvelopeHead + "<SaveDraftResponse xmlns=\"urn:tovelaMail\"><m "
                                          "id=\"77\"/></SaveDraftResponse>"
                                          "</soap:Body></soap:Envelope>"));
         },
         "<SaveDraftRequest",
         {},
         0,
         1},
        {"the server refuses it",
         Message(),
         [](Form& f) {
             f.fakes.uploadHttp->script = {FakeUploadHttp::Ok("200,'null','u1'")};
             f.fakes.http->script.push_back(HttpReply(500, "Error", kFault));
         },
         "<SendMsgRequest",
         {"Tovela Server Version: 8.8.15_GA\r\nmailbox full"},
         0,
         0},
        {"the upload service answers no ids",
         Message(),
         [](Form& f) { f.fakes.uploadHttp->script = {FakeUploadHttp::Ok("maintenance")}; },
         "",
         {"HTTP Upload error:\r\nmaintenance\r\nMessage size: 3 B\r\nAttachment count: 1"},
         0,
         0},
        {"the upload service is out of reach",
         Message(),
         [](Form&) {},
         "",
         {"HTTP Upload error #54146"},
         1,
         0},
        {"the request is lost on the way",
         Message(),
         [](Form& f) {
             f.fakes.uploadHttp->script = {FakeUploadHttp::Ok("200,'null','u1'")};
             f.fakes.http->script.push_back(HttpReply::Failure(kInetDownloadFailure, "reset"));
         },
         "<SendMsgRequest",
         {},
         1,
         0},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        Form f;
        c.arrange(f);
        const std::size_t before = f.fakes.http->calls.size();
        f.Hand(c.message);
        const auto& calls = f.fakes.http->calls;
        if (c.request.empty()) {
            EXPECT_EQ(calls.size(), before);
        } else {
            ASSERT_GT(calls.size(), before);
            EXPECT_NE(calls.back().body.find(c.request), std::string::npos);
        }
        std::vector<std::string> boxes = f.Boxes();
        // Connection errors carry the system's words after the number.
        for (auto& box : boxes)
            box = box.substr(0, box.find("\r\n") == std::string::npos ||
                                        c.name != std::string("the upload service is out of reach")
                                    ? box.size()
                                    : box.find("\r\n"));
        EXPECT_EQ(boxes, c.boxes);
        EXPECT_EQ(f.Waiting(), c.waiting);
        EXPECT_EQ(f.fakes.shell->opened.size(), c.opened);
        EXPECT_FALSE(f.form->bEnviando);
    }
}

TEST(SubmissionFormTest, DialogNoticeAndBriefcaseRouting) {
    Form f;
    f.form->account.bBriefcaseEnabled = true;
    f.fakes.userEnvironment->controlDown = true;
    f.fakes.uploadHttp->script = {FakeUploadHttp::Ok("200,'null','u1'")};
    f.fakes.http->script.push_back(testing::SessionAnswer());
    f.Hand(Message(true, 8));
    EXPECT_NE(f.fakes.http->calls.back().body.find("<SaveDocumentRequest"), std::string::npos);
    EXPECT_EQ(f.fakes.notifyIcons->last().data.szInfoTitle, "S");
    EXPECT_EQ(f.fakes.notifyIcons->last().data.szInfo, "Sent to Briefcase");
}

}  // namespace
}  // namespace tovela
