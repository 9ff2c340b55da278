#include <gtest/gtest.h>

#include <vector>

#include "fakes/EnvelopeLines.h"

#include "submit/SendRequests.h"

namespace tovela {
namespace {

using testing::Lines;

const std::vector<std::string> kHead = {
    "<Envelope xmlns=\"http://www.w3.org/2003/05/soap-envelope\">",
    "<Header>",
    "  <context xmlns=\"urn:tovela\">",
    "    <authToken>TOK</authToken>",
    "    <session seq=\"4\" id=\"9\">9</session>",
    "    <userAgent name=\"Tovela Notifier\" version=\"6.1.0\"/>",
    "    <change token=\"77\"/>",
    "  </context>",
    "</Header>",
    "<Body>",
};

std::string Envelope(std::vector<std::string> body) {
    std::vector<std::string> lines = kHead;
    lines.insert(lines.end(), body.begin(), body.end());
    lines.push_back("</Body>");
    lines.push_back("</Envelope>");
    return Lines(lines);
}

struct Fixture {
    Fixture(const char* version) {
        ctx.sAuthToken = "TOK";
        ctx.sSessionTag = "session";
        ctx.sSessionId = "9";
        ctx.sNotifySeq = "4";
        ctx.sChangeToken = "77";
        ctx.sServerVersion = version;
    }
    SessionContext ctx;
    AccountPreferences account;
    HtmlServices html;
};

TEST(SendRequestsTest, MessagesByteForByte) {
    Fixture v851("8.5.1_GA_3000");
    v851.account.sAccountId = "acc-1";
    v851.account.sFromAddress = "me@x";
    v851.account.sFromDisplay = "Me \"Boss\"";
    v851.account.sReplyToAddress = "r@x";
    v851.account.sReplyToDisplay = "R";
    Submission sent{.sRecipients = "Ann|smtp:ann@x|Bob||",
                    .sSubject = "A & B <c>",
                    .sBody = "Hi",
                    .sAttachIds = "u1,u2"};
    EXPECT_EQ(BuildSubmissionRequest(sent, v851.ctx, v851.account, v851.html),
              Envelope({
                  "    <SendMsgRequest xmlns=\"urn:tovelaMail\" onerror=\"continue\">",
                  "      <m idnt=\"acc-1\" f=\"a\">",
                  "        <e t=\"f\" a=\"me@x\" p=\"Me &quot;Boss&quot;\"/>",
                  "        <e t=\"r\" a=\"r@x\" p=\"R\"/>",
                  "        <e t=\"t\" p=\"Ann\" a=\"ann@x\" />",
                  "        <e t=\"t\" a=\"Bob\" />",
                  "        <su>A &amp; B &lt;c&gt;</su>",
                  "        <mp body=\"1\">",
                  "          <content>Hi</content>",
                  "        </mp>",
                  "        <attach aid=\"u1,u2\">",
                  "        </attach>",
                  "      </m>",
                  "    </SendMsgRequest>",
              }));
    EXPECT_EQ(sent.sRecipients, "Ann|smtp:ann@x|Bob");
    EXPECT_EQ(sent.sFromAddr, "me@x");

    // No recipients: a draft, flagged as one on older servers; 8.6 takes no flags.
    Fixture v860("8.6.0_GA_1153");
    Submission draft{.sFromAddr = "own@x", .sSubject = "S", .sBody = "x"};
    const std::vector<std::string> draftBody = {
        "    <SaveDraftRequest xmlns=\"urn:tovelaMail\" onerror=\"continue\">",
        "      <m>",
        "        <e t=\"f\" a=\"own@x\"/>",
        "        <su>S</su>",
        "        <mp body=\"1\">",
        "          <content>x</content>",
        "        </mp>",
        "      </m>",
        "    </SaveDraftRequest>",
    };
    EXPECT_EQ(BuildSubmissionRequest(draft, v860.ctx, v860.account, v860.html),
              Envelope(draftBody));
    Submission older = {.sFromAddr = "own@x", .sSubject = "S", .sBody = "x"};
    std::vector<std::string> olderBody = draftBody;
    olderBody[1] = "      <m f=\"d\">";
    EXPECT_EQ(BuildSubmissionRequest(older, v851.ctx, AccountPreferences{}, v851.html),
              Envelope(olderBody));
}

TEST(SendRequestsTest, WhatIsSentAndWhatBecomesADraft) {
    struct Case {
        const char* name;
        Submission s;
        bool sent;
    } cases[] = {
        {"recipients and an attachment, no body",
         {.sRecipients = "a|a@x", .sAttachIds = "1"},
         true},
        {"recipients, nothing to send", {.sRecipients = "a|a@x", .sBody = "  "}, false},
        {"no recipients", {.sRecipients = "|", .sBody = "x"}, false},
        {"the sender wants to see it",
         {.sRecipients = "a|a@x", .sBody = "x", .sMapiFlags = "(8)"},
         false},
        {"flags without the dialog",
         {.sRecipients = "a|a@x", .sBody = "x", .sMapiFlags = "(1)"},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IsSendable(c.s), c.sent);
    }
}

TEST(SendRequestsTest, BodiesByFormatAndSignature) {
    const std::string html = "<html><body><p>Hi</p></body></html>";
    struct Case {
        const char* name;
        std::string body, format, signature;
        bool signatureHtml;
        std::string expected, type;
    } cases[] = {
        {"plain with a plain signature", " Hi ", "text", "Me", false,
         "\r\n\r\nHi\r\n\r\n-- \r\nMe\r\n", ""},
        {"plain with an HTML signature as text", "Hi", "text", "<b>Me</b>", true,
         "\r\n\r\nHi\r\n\r\n-- \r\n[Me]\r\n", ""},
        {"plain without signature", " Hi ", "text", " ", false, "Hi", ""},
        {"html format, no signature", "a<b", "html", "", false,
         "<HTML>\r\n<BODY>\r\n<PRE>a&lt;b</PRE>\r\n</BODY>\r\n</HTML>", "text/html"},
        {"html format, html signature", "x", "HTML", "<i>Me</i>", true,
         "<HTML>\r\n<BODY>\r\n<PRE>x</PRE>\r\n<br><br>-- "
         "<br><div><i>Me</i></div></BODY>\r\n</HTML>",
         "text/html"},
        {"html message without signature stays", html, "text", "", false, html, "text/html"},
        {"html message, plain signature escaped", html, "text", "a&\"b", false,
         "<HTML>\r\n<BODY>\r\n{<p>Hi</p>}\r\n<br><br><PRE>--\r\na&amp;&quot;b</PRE></BODY>\r\n</"
         "HTML>",
         "text/html"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AccountPreferences account;
        account.sComposeFormat = c.format;
        account.sSignature = c.signature;
        account.bSignatureHtml = c.signatureHtml;
        // A stand-in engine that marks what it did.
        HtmlServices engine{[](std::string_view) { return std::string("{<p>Hi</p>}"); },
                            [](std::string_view sig) {
                                return "[" + std::string(sig.substr(3, sig.size() - 7)) + "]";
                            }};
        const BodyAndType result = ComposeBody(c.body, account, engine);
        EXPECT_EQ(result.body, c.expected);
        EXPECT_EQ(result.contentType, c.type);
    }
}

TEST(SendRequestsTest, BriefcaseBatchOneDocumentPerUpload) {
    Fixture f("8.8.15_GA");
    Submission s{.sAttachIds = "a,b\"c", .bToBriefcase = true};
    std::vector<std::string> body = {"  <BatchRequest xmlns=\"urn:tovela\" onerror=\"continue\">"};
    int k = 0;
    for (const char* id : {"a", "b&quot;c"}) {
        body.push_back("    <SaveDocumentRequest xmlns=\"urn:tovelaMail\" requestId=\"" +
                       std::to_string(k++) + "\">");
        body.push_back("        <doc l=\"16\">");
        body.push_back(std::string("           <upload id=\"") + id + "\">");
        body.push_back("           </upload>");
        body.push_back("        </doc>");
        body.push_back("    </SaveDocumentRequest>");
    }
    body.push_back("  </BatchRequest>");
    EXPECT_EQ(BuildSubmissionRequest(s, f.ctx, f.account, f.html), Envelope(body));
}

}  // namespace
}  // namespace tovela
