#include <gtest/gtest.h>

#include <string>

#include "backend/HtmlEngineCases.h"
#include "submit/FallbackHtmlEngine.h"
#include "submit/HtmlEntities.h"

namespace tovela {
namespace {

// The table every engine meets.
class FallbackHtmlEngineCasesTest : public ::testing::TestWithParam<htmlcases::Case> {};

TEST_P(FallbackHtmlEngineCasesTest, Behaves) {
    FallbackHtmlEngine engine;
    htmlcases::RunCase(engine, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Cases, FallbackHtmlEngineCasesTest,
                         ::testing::ValuesIn(htmlcases::Cases()),
                         [](const auto& row) { return row.param.name; });

struct Exact {
    const char* name;
    std::string html;
    std::string expected;
};

// The fallback keeps the markup as written, so its answers are known to the byte.
TEST(FallbackHtmlEngineTest, InnerHtmlKeepsTheBodyMarkupAsWritten) {
    const Exact cases[] = {
        {"Fragment", "Hi <b class=\"x\">there</b>", "Hi <b class=\"x\">there</b>"},
        {"Document",
         "<!DOCTYPE html><?xml version=\"1.0\"?><HTML><Head><title>T</title>"
         "<meta charset=\"utf-8\"><style>p{}</style></Head>\r\n<BODY bgcolor=red><P>Hi</P>"
         "</BODY>\r\n</HTML>",
         "<P>Hi</P>\r\n"},
        {"HeadWithoutBodyTag", "<head><title>T</title></head>text", "text"},
        {"HeadMatterBeforeContent", "<title>T</title><!-- c --><p>x</p><title>y</title>",
         "<p>x</p><title>y</title>"},
        {"ContentBeforeBodyTagIsBody", "<p>x</p><body class=b>y</body>", "<p>x</p>y"},
        {"OptionalEndTagsStayOpen", "<ul><li>a<li>b</ul><p>c<p>d", "<ul><li>a<li>b</ul><p>c<p>d"},
        {"OpenElementsClosed", "<div><b>x<br><img src=a.png>",
         "<div><b>x<br><img src=a.png></b></div>"},
        {"StrayEndTagsDropped", "</div>a</b> <i>ok</i></i>", "a <i>ok</i>"},
        {"MisnestedClosesInner", "<b><i>x</b>y</i>", "<b><i>x</b>y"},
        {"LooseAnglesEscaped", "a < b <3 </ 4> c", "a &lt; b &lt;3 &lt;/ 4> c"},
        {"QuotedGreaterThan", "<a title='x>y' href=\"b>c\">t</a>",
         "<a title='x>y' href=\"b>c\">t</a>"},
        {"BareValueQuote", "<a title=it's>t</a>", "<a title=it's>t</a>"},
        {"ScriptKeepsItsText", "x<script>if (a</b) x()</script>after",
         "x<script>if (a</b) x()</script>after"},
        {"UnfinishedTagDropped", "text <a href=\"x", "text "},
        {"UnfinishedCommentDropped", "text <!-- no end", "text "},
        {"UnclosedScriptRunsToEnd", "x<script>never ends", "x<script>never ends</script>"},
        {"EmptyEndTagDropped", "a</>b", "ab"},
        {"SelfClosingNotOpened", "<span/>x", "<span/>x"},
    };
    FallbackHtmlEngine engine;
    for (const Exact& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(engine.BodyInnerHtml(c.html), c.expected);
    }
}

TEST(FallbackHtmlEngineTest, TextReadsAsRendered) {
    const Exact cases[] = {
        {"CollapsesWhiteSpace", "  Ann \r\n\t Lee  ", "Ann Lee"},
        {"BreakLines", "a<br>b<br/><br>c", "a\r\nb\r\n\r\nc"},
        {"BlocksOnLinesOfTheirOwn", "x<div>a</div><div><p>b</p></div>y", "x\r\na\r\nb\r\ny"},
        {"ListItems", "<ul><li>one<li>two</ul>after", "one\r\ntwo\r\nafter"},
        {"TableCells", "<table><tr><td>a</td><td>b</td></tr><tr><td>c</td></tr></table>",
         "a b\r\nc"},
        {"Preformatted", "<pre>  a\n   b  </pre>c", "  a\r\n   b  \r\nc"},
        {"Hidden",
         "<style>x{}</style>a<script>b()</script><title>t</title>c<template><p>d</p></template>",
         "ac"},
        {"Entities", "&lt;a&gt; &amp;amp; &#65;&#x42;&#67 &nbsp;x &unknown; &#150;",
         "<a> &amp; ABC \u00a0x &unknown; \u2013"},
        {"BadNumbers", "&#0;&#xD800;&#99999999999;", "\ufffd\ufffd\ufffd"},
        {"TextareaDecoded", "<textarea>a &amp; b\nc</textarea>", "a & b\r\nc"},
        {"DocumentHeadLeftOut",
         "<html><head><title>Subject</title></head><body><p>Hi</p></body></html>", "Hi"},
        {"NonAscii", "<b>山田</b>&nbsp;太郎", "山田\u00a0太郎"},
    };
    FallbackHtmlEngine engine;
    for (const Exact& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(engine.BodyText(c.html), c.expected);
    }
}

}  // namespace
}  // namespace tovela
