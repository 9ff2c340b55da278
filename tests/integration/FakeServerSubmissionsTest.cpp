#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "integration/FakeServer.h"

namespace tovela::testing {
namespace {

using nlohmann::json;

using namespace soap;

// A send or draft operation as the client writes it, around the message element.
std::string MessageOperation(const std::string& operation, const std::string& m) {
    return "    <" + operation + " xmlns=\"urn:tovelaMail\" onerror=\"continue\">\r\n" + m +
           "    </" + operation + ">\r\n";
}

struct Document {
    std::string uploadId;
    std::string docAttributes = "";
};

// The briefcase batch: one SaveDocumentRequest per upload, numbered from 0.
std::string BriefcaseBatch(const std::vector<Document>& documents) {
    std::string out = "  <BatchRequest xmlns=\"urn:tovela\" onerror=\"continue\">\r\n";
    for (std::size_t k = 0; k < documents.size(); ++k) {
        out += "    <SaveDocumentRequest xmlns=\"urn:tovelaMail\" requestId=\"" +
               std::to_string(k) + "\">\r\n        <doc l=\"16\"" + documents[k].docAttributes +
               ">\r\n           <upload id=\"" + documents[k].uploadId +
               "\">\r\n           </upload>\r\n        </doc>\r\n    </SaveDocumentRequest>\r\n";
    }
    return out + "  </BatchRequest>\r\n";
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// Uploads one small file for each name (its bytes are its name) and gives the ids the
// server chose, by name; the messages and documents below name their uploads by them.
std::map<std::string, std::string> UploadNamed(FakeServer& server, const std::string& token,
                                               const std::vector<std::string>& names) {
    std::vector<std::pair<std::string, std::string>> files;
    for (const std::string& name : names) files.emplace_back(name, name);
    const std::vector<std::string> ids = server.UploadFiles(token, files);
    std::map<std::string, std::string> byName;
    for (std::size_t i = 0; i < ids.size() && i < names.size(); ++i) byName[names[i]] = ids[i];
    EXPECT_EQ(byName.size(), names.size());
    return byName;
}

json WithoutIdAndDate(json item) {
    item.erase("id");
    item.erase("date");
    return item;
}

TEST(FakeServerSubmissionsTest, MessagesAreKeptAsSent) {
    struct Case {
        const char* name;
        std::string operation;
        std::string m;
        const char* list;
        json kept;
    } cases[] = {
        {"SentWithEveryField",
         "SendMsgRequest",
         "      <m idnt=\"acct-7\" f=\"a\">\r\n"
         "        <e t=\"f\" a=\"me@example.test\" p=\"Me &amp; Co\"/>\r\n"
         "        <e t=\"r\" a=\"desk@example.test\"/>\r\n"
         "        <e t=\"t\" p=\"Ann\" a=\"ann@example.test\" />\r\n"
         "        <e t=\"t\" a=\"Bob\" />\r\n"
         "        <e t=\"c\" p=\"O'Neil &quot;Jr&quot;\" a=\"cc@example.test\" />\r\n"
         "        <su>A &amp; B &lt;C&gt; 会議の資料</su>\r\n"
         "        <mp body=\"1\" ct=\"text/html\">\r\n"
         "          <content>&lt;HTML&gt;\r\n&lt;BODY&gt;\r\nHi &amp;amp;\r\n&lt;/BODY&gt;"
         "</content>\r\n        </mp>\r\n"
         "        <attach aid=\"@a.txt,@b.txt\">\r\n        </attach>\r\n      </m>\r\n",
         "sent",
         {{"identity", "acct-7"},
          {"flags", "a"},
          {"from", {{"address", "me@example.test"}, {"personal", "Me & Co"}}},
          {"replyTo", {{"address", "desk@example.test"}, {"personal", nullptr}}},
          {"to",
           {{{"address", "ann@example.test"}, {"personal", "Ann"}},
            {{"address", "Bob"}, {"personal", nullptr}}}},
          {"cc", {{{"address", "cc@example.test"}, {"personal", "O'Neil \"Jr\""}}}},
          {"bcc", json::array()},
          {"subject", "A & B <C> 会議の資料"},
          {"contentType", "text/html"},
          {"body", "<HTML>\r\n<BODY>\r\nHi &amp;\r\n</BODY>"},
          {"attachIds", "@a.txt,@b.txt"},
          {"attachments",
           {{{"id", "@a.txt"}, {"name", "a.txt"}, {"size", 5}},
            {{"id", "@b.txt"}, {"name", "b.txt"}, {"size", 5}}}}}},
        {"DraftWithoutRecipients",
         "SaveDraftRequest",
         "      <m f=\"d\">\r\n        <su>Draft</su>\r\n        <mp body=\"1\">\r\n"
         "          <content>\r\n\r\nHi\r\n\r\n-- \r\nMe\r\n</content>\r\n        </mp>\r\n"
         "      </m>\r\n",
         "drafts",
         {{"identity", nullptr},
          {"flags", "d"},
          {"from", nullptr},
          {"replyTo", nullptr},
          {"to", json::array()},
          {"cc", json::array()},
          {"bcc", json::array()},
          {"subject", "Draft"},
          {"contentType", nullptr},
          {"body", "\r\n\r\nHi\r\n\r\n-- \r\nMe\r\n"},
          {"attachIds", nullptr},
          {"attachments", json::array()}}},
    };
    FakeServer server;
    ASSERT_TRUE(server.Started()) << server.Output();
    const Login login = LogIn(server);
    const auto uploads = UploadNamed(server, login.token, {"a.txt", "b.txt"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string m = c.m;
        std::string expected = c.kept.dump();
        for (const auto& [name, id] : uploads) {
            m = ReplaceAll(m, "@" + name, id);
            expected = ReplaceAll(expected, "@" + name, id);
        }
        const auto result =
            server.Post(kSoap, SubmissionEnvelope(login.token, MessageOperation(c.operation, m)));
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, 200) << result->body;
        const json kept = server.Admin(std::string("/admin/") + c.list);
        ASSERT_TRUE(kept.is_array() && !kept.empty()) << kept;
        json got = WithoutIdAndDate(kept.back());
        // The bytes are checked by the upload tests; here the message names its uploads.
        for (json& attachment : got["attachments"]) attachment.erase("sha256");
        EXPECT_EQ(got, json::parse(expected));
        // The answer names the kept message, directly in the body as the client reads it.
        const std::string response = c.operation.substr(0, c.operation.size() - 7) + "Response";
        EXPECT_NE(
            result->body.find("<soap:Body><" + response + " xmlns=\"urn:tovelaMail\"><m id=\"" +
                              kept.back()["id"].get<std::string>() + "\"/></" + response + ">"),
            std::string::npos)
            << result->body;
    }
    EXPECT_EQ(server.Sent().size(), 1u);
    EXPECT_EQ(server.Drafts().size(), 1u);
    EXPECT_NE(server.Sent()[0]["id"], server.Drafts()[0]["id"]);
}

// A refused request keeps nothing, and a scripted fault hits its request once.
TEST(FakeServerSubmissionsTest, RefusedMessagesKeepNothing) {
    const std::string to = "        <e t=\"t\" a=\"ann@example.test\" />\r\n";
    const auto m = [](const std::string& inside) {
        return "      <m>\r\n" + inside + "      </m>\r\n";
    };
    struct Case {
        const char* name;
        json fault;  // scripted first, when not null
        std::string operations;
        std::string expected;
        bool forgedToken = false;
        std::string prefix = "";
    } cases[] = {
        {"UnescapedSubject", nullptr,
         MessageOperation("SendMsgRequest", m(to + "        <su>a < b</su>\r\n")),
         "<soap:Text>malformed request: "},
        {"NoRecipients", nullptr, MessageOperation("SendMsgRequest", m("        <su>x</su>\r\n")),
         "<soap:Text>invalid request: no recipients</soap:Text>"},
        {"NoMessageElement", nullptr, MessageOperation("SaveDraftRequest", ""),
         "<soap:Text>invalid request: no m element</soap:Text>"},
        {"ScriptedSize",
         {{"request", "SaveDraftRequest"}, {"fault", "size"}},
         MessageOperation("SaveDraftRequest", m("")),
         "<soap:Text>message exceeded allowed size</soap:Text>"},
        {"ScriptedCustom",
         {{"fault", {{"text", "mailbox full"}, {"code", "mail.QUOTA"}}}},
         MessageOperation("SendMsgRequest", m(to)),
         "<soap:Text>mailbox full</soap:Text>"},
        {"DocumentType", nullptr,
         MessageOperation("SendMsgRequest", m(to + "        <su>&x;</su>\r\n")),
         "<soap:Text>malformed request: a document type declaration is not allowed", false,
         "<!DOCTYPE Envelope [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>\r\n"},
        {"ForgedToken", nullptr, MessageOperation("SendMsgRequest", m(to)),
         "<soap:Text>no valid authtoken present</soap:Text>", true},
    };
    FakeServer server;
    ASSERT_TRUE(server.Started()) << server.Output();
    const Login login = LogIn(server);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.fault.is_null()) {
            ASSERT_TRUE(server.ScriptSubmissionFault(c.fault).is_array());
        }
        const auto result = server.Post(
            kSoap,
            c.prefix + SubmissionEnvelope(c.forgedToken ? "0_forged" : login.token, c.operations));
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, 500);
        EXPECT_NE(result->body.find(c.expected), std::string::npos) << result->body;
        EXPECT_EQ(result->body.find("root:"), std::string::npos) << result->body;
    }
    EXPECT_EQ(server.Sent(), json::array());
    EXPECT_EQ(server.Drafts(), json::array());
    EXPECT_EQ(server.Admin("/admin/state")["submissionFaults"], json::array());
    // The scripted faults are used up: the same draft now goes through.
    const auto again = server.Post(
        kSoap, SubmissionEnvelope(login.token, MessageOperation("SaveDraftRequest", m(""))));
    EXPECT_EQ(Contents(again).substr(0, 3), "200");
    EXPECT_EQ(server.Drafts().size(), 1u);
}

// Each document of a batch stands on its own: a refused one gets a fault in its place and the
// others are stored.
TEST(FakeServerSubmissionsTest, BriefcaseBatchStoresEachDocument) {
    struct Case {
        const char* name;
        json fault;
        std::vector<Document> documents;
        std::vector<std::string> stored;                          // upload ids, in order
        std::vector<std::pair<std::string, std::string>> faults;  // requestId, fault text
    } cases[] = {
        {"ThreeFiles", nullptr, {{"u1"}, {"u2"}, {"u3"}}, {"u1", "u2", "u3"}, {}},
        {"ScriptedNameExists",
         {{"request", "SaveDocumentRequest"}, {"name", "u5"}, {"fault", "exists"}},
         {{"u4"}, {"u5"}, {"u6"}},
         {"u4", "u6"},
         {{"1", "object with that name already exists: u5"}}},
        {"NamesAreUnique",
         nullptr,
         {{"u7", " name=\"r.pdf\""}, {"u8", " name=\"r.pdf\""}},
         {"u7"},
         {{"1", "object with that name already exists: r.pdf"}}},
        {"ScriptedSize",
         {{"fault", "size"}},
         {{"u9", " name=\"big.iso\""}},
         {},
         {{"0", "document big.iso exceeded allowed size"}}},
    };
    FakeServer server;
    ASSERT_TRUE(server.Started()) << server.Output();
    const Login login = LogIn(server);
    const auto uploads =
        UploadNamed(server, login.token, {"u1", "u2", "u3", "u4", "u5", "u6", "u7", "u8", "u9"});
    std::size_t before = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.fault.is_null()) {
            ASSERT_TRUE(server.ScriptSubmissionFault(c.fault).is_array());
        }
        std::vector<Document> batch = c.documents;
        for (Document& d : batch) d.uploadId = uploads.at(d.uploadId);
        const auto result =
            server.Post(kSoap, SubmissionEnvelope(login.token, BriefcaseBatch(batch)));
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, 200) << result->body;
        const json documents = server.Documents();
        ASSERT_EQ(documents.size(), before + c.stored.size()) << documents;
        for (std::size_t i = 0; i < c.stored.size(); ++i) {
            const json& kept = documents[before + i];
            EXPECT_EQ(kept["uploadId"], uploads.at(c.stored[i]));
            EXPECT_EQ(kept["folder"], "16");
            EXPECT_NE(
                result->body.find("<SaveDocumentResponse xmlns=\"urn:tovelaMail\" requestId=\"" +
                                  kept["requestId"].get<std::string>() + "\"><doc id=\"" +
                                  kept["id"].get<std::string>() + "\""),
                std::string::npos)
                << result->body;
        }
        for (const auto& [requestId, text] : c.faults) {
            EXPECT_NE(result->body.find("<soap:Fault requestId=\"" + requestId +
                                        "\"><soap:Code><soap:Value>soap:Sender</soap:Value>"
                                        "</soap:Code><soap:Reason><soap:Text>" +
                                        text + "</soap:Text>"),
                      std::string::npos)
                << result->body;
        }
        before = documents.size();
    }
}

}  // namespace
}  // namespace tovela::testing
