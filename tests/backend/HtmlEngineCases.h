#pragma once

// What every HTML engine must do for a signature to be merged into a message body, as a
// table: the libxml2 engine, the system's document object and the portable fallback each
// run it. Engines serialize differently (letter case of tags, quotes, entities), so markup
// is compared without regard to letter case and only for what must survive or go.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/HtmlEngine.h"

namespace tovela::htmlcases {

struct Case {
    std::string name;
    std::string html;
    std::vector<std::string> innerHas = {};
    std::vector<std::string> innerLacks = {};
    std::vector<std::string> textHas = {};
    std::vector<std::string> textLacks = {};
    bool empty = false;    // both answers are empty
    bool hostile = false;  // only surviving counts: an engine may also give nothing
};

inline std::ostream& operator<<(std::ostream& out, const Case& c) {
    return out << c.name;
}

inline std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return text;
}

inline std::string Repeat(const std::string& piece, int times) {
    std::string out;
    out.reserve(piece.size() * times);
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

inline std::vector<Case> Cases() {
    return {
        {"PlainText", "Hello world", {"Hello world"}, {}, {"Hello world"}},
        {"NestedMarkup",
         "<div><b>Ann</b> <i>Lee</i><br>Sales <span class=\"x\">Dept</span></div>",
         {"<b>Ann</b>", "<i>Lee</i>", "<br", "<span", "Dept</span>"},
         {},
         {"Ann Lee\r\nSales Dept"},
         {"<"}},
        {"DocumentWithHeadAndBody",
         "<!DOCTYPE html>\r\n<html><head><title>Subject line</title>"
         "<style>p { color: red }</style></head>\r\n"
         "<body bgcolor=\"white\"><p>Hi there</p>\r\n</body></html>",
         {"<p>Hi there</p>"},
         {"doctype", "<title", "Subject line", "color: red", "bgcolor"},
         {"Hi there"},
         {"Subject line", "color"}},
        {"Entities",
         "Tom &amp; Jerry &lt;3 &eacute;t&eacute; &#x65E5;&#26412; &#8364;",
         {"Tom &amp; Jerry &lt;3"},
         {},
         {"Tom & Jerry <3 été 日本 €"},
         {"&amp;", "&eacute;"}},
        {"MalformedMarkup",
         "<b>bold <i>both</b> after</i> </span><p>para<div>x</p></div><a href='a>b'>link",
         {"<b>bold", "both", "after", "para", "link", "</b>"},
         {},
         {"bold both after", "para", "link"},
         {"a>b"}},
        {"LeftOpenIsClosed", "<b>bold", {"<b>bold</b>"}, {}, {"bold"}},
        {"ScriptAndStyle",
         "<p>Before</p><script>document.write('evil')</script><style>.x { }</style><p>After</p>",
         {"Before", "After"},
         {},
         {"Before", "After"},
         {"evil", ".x"}},
        {"NonAscii",
         "<p>会議の資料 – café 😀</p>",
         {"会議の資料 – café 😀"},
         {},
         {"会議の資料 – café 😀"}},
        {"MetaCharsetDoesNotChangeUtf8",
         "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
         "charset=iso-8859-1\"></head><body>café</body></html>",
         {"café"},
         {"<meta"},
         {"café"}},
        {"SignatureLines",
         "Ann Lee<br>Sales &amp; Marketing<br/>+81 3-1234-5678",
         {"Ann Lee<br", "Sales &amp; Marketing"},
         {},
         {"Ann Lee\r\nSales & Marketing\r\n+81 3-1234-5678"}},
        {"BlocksSeparateLines",
         "<p>one</p><p>two</p><ul><li>a</li><li>b</li></ul>",
         {"<li>a</li>"},
         {},
         {"one", "two"},
         {"onetwo", "ab"}},
        {"Empty", "", {}, {}, {}, {}, true},
        {"UnfinishedEnd", "kept <!-- never closed", {"kept"}, {"never"}, {"kept"}, {"never"}},
        {"DeepNesting", Repeat("<div>", 100000) + "deep", {}, {}, {}, {}, false, true},
        {"ManyUnclosedQuotes", Repeat("<a title=\"", 20000) + "x", {}, {}, {}, {}, false, true},
        {"StrayAngles", Repeat("<<>></ &", 50000), {}, {}, {}, {}, false, true},
        {"InvalidUtf8AndNul",
         std::string("caf\xE9 <b>\xFF\xFE</b>a\0b<i>x</i>", 25),
         {},
         {},
         {},
         {},
         false,
         true},
        // Costs that grow with the square of the text would not end here.
        {"ManyStrayEndTags",
         Repeat("<div>", 200000) + Repeat("</span>", 200000),
         {},
         {},
         {},
         {},
         false,
         true},
        {"AmpersandsWithoutNames", Repeat("& &amp &#x &nbsp", 200000), {}, {}, {}, {}, false, true},
    };
}

inline void ExpectHasAll(const std::string& answer, const std::vector<std::string>& parts,
                         bool ignoreCase, const char* what) {
    const std::string haystack = ignoreCase ? Lower(answer) : answer;
    for (const std::string& part : parts) {
        EXPECT_NE(haystack.find(ignoreCase ? Lower(part) : part), std::string::npos)
            << what << " lacks \"" << part << "\": " << answer;
    }
}

inline void ExpectHasNone(const std::string& answer, const std::vector<std::string>& parts,
                          bool ignoreCase, const char* what) {
    const std::string haystack = ignoreCase ? Lower(answer) : answer;
    for (const std::string& part : parts) {
        EXPECT_EQ(haystack.find(ignoreCase ? Lower(part) : part), std::string::npos)
            << what << " has \"" << part << "\": " << answer;
    }
}

inline void RunCase(HtmlEngine& engine, const Case& c) {
    const std::optional<std::string> inner = engine.BodyInnerHtml(c.html);
    const std::optional<std::string> text = engine.BodyText(c.html);
    if (c.hostile) return;  // it answered without crashing or hanging
    ASSERT_TRUE(inner.has_value()) << "no inner HTML";
    ASSERT_TRUE(text.has_value()) << "no text";
    if (c.empty) {
        EXPECT_EQ(*inner, "");
        EXPECT_EQ(*text, "");
    }
    // The wrappers never come back, whatever the case.
    ExpectHasNone(*inner, {"<html", "</html", "<head", "</head", "<body", "</body"}, true,
                  "inner HTML");
    ExpectHasAll(*inner, c.innerHas, true, "inner HTML");
    ExpectHasNone(*inner, c.innerLacks, true, "inner HTML");
    ExpectHasAll(*text, c.textHas, false, "text");
    ExpectHasNone(*text, c.textLacks, false, "text");
}

}  // namespace tovela::htmlcases
