#pragma once

// What every XML back end must do the same way, as a table. Each back end's test file
// instantiates it with its own factory; paths are written as the program writes them and go
// through the same translation the program uses.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/XmlDocument.h"
#include "session/XmlNodes.h"

namespace tovela::xmlconformance {

// The nodes a path selects, in order, each as "localName=text", or as "localName@value" of
// attribute `by` when that is given.
struct Selection {
    std::string path;
    std::vector<std::string> nodes;
    std::string by = {};
};

// Attribute `name` of the first node the path selects; nothing for a missing attribute.
struct AttributeRead {
    std::string path;
    std::string name;
    std::optional<std::string> value;
};

struct MarkupRead {
    std::string path;
    std::string markup;
};

// The local names of the element children of the first node the path selects, or with
// `anyDepth` of the elements below it whose local name is one of `only` (all when empty).
struct ChildrenRead {
    std::string path;
    std::vector<std::string> names;
    bool anyDepth = false;
    std::vector<std::string> only = {};
};

struct Case {
    std::string name;
    std::string xml;
    bool loads = true;
    // For text that does not load: the line the error must point at (nothing: not checked).
    std::optional<std::string> errorLine = {};
    std::vector<Selection> selections = {};
    std::vector<AttributeRead> attributes = {};
    std::vector<MarkupRead> markups = {};
    std::vector<ChildrenRead> children = {};
    // Text that must never show up anywhere, e.g. a file an entity tried to pull in.
    std::string forbidden = {};
};

inline std::ostream& operator<<(std::ostream& out, const Case& c) {
    return out << c.name;
}

inline constexpr const char* kSoap12 = "http://www.w3.org/2003/05/soap-envelope";

inline std::string Envelope(const std::string& header, const std::string& body) {
    return std::string("<soap:Envelope xmlns:soap=\"") + kSoap12 + "\">\n<soap:Header>" + header +
           "</soap:Header>\n<soap:Body>" + body + "</soap:Body>\n</soap:Envelope>";
}

inline std::string BillionLaughs() {
    std::string xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE lolz [\n<!ENTITY lol0 \"lol\">\n";
    for (int level = 1; level <= 9; ++level) {
        xml += "<!ENTITY lol" + std::to_string(level) + " \"";
        for (int i = 0; i < 10; ++i) xml += "&lol" + std::to_string(level - 1) + ";";
        xml += "\">\n";
    }
    return xml + "]>\n<lolz>&lol9;</lolz>";
}

inline std::string Nested(int depth) {
    std::string xml;
    for (int i = 0; i < depth; ++i) xml += "<d>";
    xml += "<leaf>bottom</leaf>";
    for (int i = 0; i < depth; ++i) xml += "</d>";
    return xml;
}

inline std::vector<Case> Cases() {
    const std::string login = Envelope(
        "<context xmlns=\"urn:tovela\"><session id=\"42\">42</session>"
        "<refresh><version>8.8.15_GA</version></refresh><change token=\"77\"/></context>",
        "<AuthResponse xmlns=\"urn:tovelaAccount\"><authToken>tok</authToken><prefs>"
        "<pref name=\"tovelaPrefFromAddress\">me@example.com</pref>"
        "<pref name=\"件名\">値</pref><pref name=\"tovelaPrefFromDisplay\"></pref></prefs>"
        "<attrs><attr name=\"tovelaFeatureBriefcasesEnabled\">TRUE</attr></attrs>"
        "</AuthResponse><GetInfoResponse xmlns=\"urn:tovelaAccount\" attSizeLimit=\"10\" "
        "docSizeLimit=\"\"><id>acc-1</id></GetInfoResponse>");
    const std::string folders = Envelope(
        "<context xmlns=\"urn:tovela\"><refresh><folder id=\"1\" name=\"USER_ROOT\">"
        "<folder id=\"2\" name=\"Inbox\" u=\"3\"/><link id=\"20\" name=\"Shared\" zid=\"z\" "
        "rid=\"9\" view=\"appointment\"/><folder id=\"4\" name=\"Junk\"><link id=\"30\" "
        "name=\"Deep\"/></folder></folder><tags><tag id=\"64\" name=\"red\"/></tags></refresh>"
        "<notify seq=\"5\"><created><m id=\"7\" f=\"u\" l=\"2\"><e t=\"t\" a=\"to@x\"/>"
        "<e t=\"f\" a=\"from@x\" p=\"From\"/><su>Hi</su></m></created>"
        "<modified><tag id=\"64\" name=\"blue\"/><folder id=\"2\" u=\"0\"/></modified></notify>"
        "<notify seq=\"6\"><deleted id=\"7\"/></notify></context>",
        "");
    const std::string fault = Envelope(
        "",
        "<soap:Fault><soap:Code><soap:Value>soap:Sender</soap:Value></soap:Code><soap:Reason>"
        "<soap:Text xml:lang=\"en\">no valid authtoken present</soap:Text></soap:Reason>"
        "</soap:Fault>");
    return {
        {.name = "Soap12ResponseMatchedByLocalName",
         .xml = login,
         .selections =
             {{"/soap:Envelope/soap:Header/context/refresh/version", {"version=8.8.15_GA"}},
              {"//AuthResponse/authToken", {"authToken=tok"}},
              {"//AuthResponse/prefs/pref[@name='tovelaPrefFromAddress']", {"pref=me@example.com"}},
              {"//AuthResponse/prefs/pref[@name='件名']", {"pref=値"}},
              {"//AuthResponse/prefs/pref[@name='missing']", {}},
              {"//AuthResponse/attrs/attr[@name='tovelaFeatureBriefcasesEnabled']", {"attr=TRUE"}},
              {"//GetInfoResponse/id", {"id=acc-1"}},
              {"/soap:Envelope/soap:Body/SaveDraftResponse/m", {}},
              {"//soap:Fault/soap:Reason/soap:Text", {}}},
         .attributes = {{"/soap:Envelope/soap:Header/context/session", "id", "42"},
                        {"/soap:Envelope/soap:Header/context/change", "token", "77"}}},
        {.name = "SoapPrefixMeansTheSoap12Namespace",
         .xml = "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\">"
                "<soap:Body><x>1</x></soap:Body></soap:Envelope>",
         .selections = {{"/soap:Envelope/soap:Body/x", {}}, {"//soap:Body", {}}, {"//x", {"x=1"}}}},
        {.name = "SoapNamespaceUnderAnotherPrefix",
         .xml = std::string("<env:Envelope xmlns:env=\"") + kSoap12 +
                "\"><env:Body><x>1</x></env:Body></env:Envelope>",
         .selections = {{"/soap:Envelope/soap:Body/x", {"x=1"}}}},
        {.name = "FaultText",
         .xml = fault,
         .selections = {{"//soap:Fault/soap:Reason/soap:Text",
                         {"Text=no valid authtoken present"}}}},
        {.name = "FoldersAndNotifyBlocksInDocumentOrder",
         .xml = folders,
         .selections = {{"/soap:Envelope/soap:Header/context/refresh//(folder|link)",
                         {"folder@1", "folder@2", "link@20", "folder@4", "link@30"},
                         "id"},
                        {"/soap:Envelope/soap:Header/context/refresh//tag", {"tag@red"}, "name"},
                        {"/soap:Envelope/soap:Header/context//notify",
                         {"notify@5", "notify@6"},
                         "seq"},
                        {"//notify/(created|modified)//tag", {"tag@64"}, "id"},
                        {"//notify/created//m/e[@t='f']", {"e@from@x"}, "a"},
                        {"//notify/created//m/su", {"su=Hi"}},
                        {"//notify/deleted", {"deleted@7"}, "id"}},
         .attributes = {{"//link[@view='appointment']", "zid", "z"}}},
        {.name = "AttributesMissingVersusEmpty",
         .xml = "<r><m id=\"\" f=\"u\"/><n/></r>",
         .selections = {{"m/@id", {"id="}}, {"m/@x", {}}},
         .attributes = {{"m", "id", ""},
                        {"m", "f", "u"},
                        {"m", "x", std::nullopt},
                        {"n", "id", std::nullopt},
                        {"m/@f", "f", std::nullopt}}},
        {.name = "TextConcatenatesDescendantsAsWritten",
         .xml = "<r><su>Hello <b>big</b> world<![CDATA[ <raw> ]]>&amp;&#x65E5;&lt;</su>"
                "<c>  padded  </c><crlf>a\r\nb</crlf><empty/></r>",
         .selections = {{"su", {"su=Hello big world <raw> &日<"}},
                        {"c", {"c=  padded  "}},
                        {"crlf", {"crlf=a\nb"}},
                        {"empty", {"empty="}}}},
        {.name = "JapaneseRoundTrip",
         .xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<r><su>件名：テスト ✓</su>"
                "<pref name=\"名前\">値</pref></r>",
         .selections = {{"//su", {"su=件名：テスト ✓"}}, {"//pref[@name='名前']", {"pref=値"}}},
         .attributes = {{"//pref", "name", "名前"}},
         .markups = {{"//su", "<su>件名：テスト ✓</su>"}}},
        {.name = "DeclaredEncodingIsNotApplied",
         .xml = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>日本</r>",
         .selections = {{"/r", {"r=日本"}}}},
        {.name = "MarkupOfASubTree",
         .xml = "<r><notify seq=\"3\"><created><m id=\"1\" f=\"u\">a &amp; b</m></created>"
                "</notify></r>",
         .markups = {{"notify/created", "<created><m id=\"1\" f=\"u\">a &amp; b</m></created>"}}},
        {.name = "ChildElementsSkipOtherNodes",
         .xml = "<r xmlns:p=\"urn:p\">text<a/><!-- c --><p:b x=\"1\"/><?pi x?><![CDATA[z]]>"
                "<c>&amp;<d/></c>tail</r>",
         .children = {{".", {"a", "b", "c"}},
                      {"c", {"d"}},
                      {"a", {}},
                      {"c/d", {}},
                      {"b/@x", {}},
                      {".", {"a", "b", "c", "d"}, true},
                      {".", {"b", "d"}, true, {"d", "b"}},
                      {".", {}, true, {"r", "x", "pi"}},
                      {"c", {"d"}, true},
                      {"b/@x", {}, true}}},
        {.name = "WalkedStepsInDocumentOrder",
         .xml = Envelope("",
                         "<x><m id=\"1\"><m id=\"2\"/><n><m id=\"3\"/></n></m>"
                         "<m id=\"4\" t=\"f\"/></x><y xmlns=\"urn:y\"><m id=\"5\" t=\"f\"/></y>"
                         "<x><q:m xmlns:q=\"urn:q\" id=\"6\"/></x>"),
         .selections = {{"/soap:Envelope/soap:Body/x//m",
                         {"m@1", "m@2", "m@3", "m@4", "m@6"},
                         "id"},
                        {"/soap:Envelope/soap:Body/x/m", {"m@1", "m@4", "m@6"}, "id"},
                        {"/soap:Envelope/soap:Body/(x|y)/m[@t='f']", {"m@4", "m@5"}, "id"},
                        {"/soap:Envelope/soap:Body/*/m[ @t = \"f\" ][@id]", {"m@4", "m@5"}, "id"},
                        {"/soap:Envelope/soap:Body/x/m[@t]", {"m@4"}, "id"},
                        {"/soap:Envelope/soap:Body/x/m/n/m", {"m@3"}, "id"},
                        {"/soap:Envelope/soap:Body//m/m", {"m@2"}, "id"},
                        {"/soap:Envelope/soap:Body/y//(n|m)", {"m@5"}, "id"},
                        {"/soap:Envelope/soap:Body/x/m/*", {"m@2", "n@<none>"}, "id"}}},
        {.name = "AttributeInANamespaceIsAnotherAttribute",
         .xml = "<r xmlns:p=\"urn:p\"><e p:t=\"f\" id=\"1\"/><e t=\"g\" p:t=\"f\" id=\"2\"/>"
                "<e t=\"f\" id=\"3\"/></r>",
         .selections = {{"e[@t='f']", {"e@3"}, "id"}, {"e[@t]", {"e@2", "e@3"}, "id"}},
         .attributes = {{"e", "t", std::nullopt}, {"e[@id='2']", "t", "g"}}},
        {.name = "MismatchedTag",
         .xml = "<r>\n<b>text</c>\n</r>",
         .loads = false,
         .errorLine = "<b>text</c>"},
        {.name = "PlainTextIsNoXml",
         .xml = "AUTH_FAILED",
         .loads = false,
         .errorLine = "AUTH_FAILED"},
        {.name = "EmptyText", .xml = "", .loads = false},
        {.name = "TruncatedDocument", .xml = "<r><a>", .loads = false},
        {.name = "UndeclaredEntity", .xml = "<r>&nbsp;</r>", .loads = false},
        {.name = "BillionLaughsIsRefused",
         .xml = BillionLaughs(),
         .loads = false,
         .forbidden = "lollollol"},
        {.name = "ExternalEntityIsNotRead",
         .xml = "<!DOCTYPE r [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><r>&x;</r>",
         .loads = false,
         .forbidden = "root:"},
        {.name = "ExternalDtdIsNotFetched",
         .xml = "<!DOCTYPE r SYSTEM \"http://127.0.0.1:9/r.dtd\"><r/>",
         .loads = false},
        {.name = "DeepNestingIsRefused", .xml = Nested(100000), .loads = false},
        {.name = "ModerateNestingLoads",
         .xml = Nested(200),
         .selections = {{"//leaf", {"leaf=bottom"}}}},
    };
}

// XPath the engine itself must refuse or find nothing for, without failing the caller.
inline const std::vector<std::string>& RejectedXPaths() {
    static const std::vector<std::string> paths = {
        "", "//*[", "undeclared:x", "count(//m)", "string(/)", "//m[@id='1'", ")",
    };
    return paths;
}

inline std::string Describe(const XmlNode& node, const std::string& by) {
    if (by.empty()) return node.LocalName() + "=" + node.Text();
    return node.LocalName() + "@" + node.Attribute(by).value_or("<none>");
}

inline void RunCase(XmlFactory& factory, const Case& c) {
    auto document = factory.CreateDocument();
    ASSERT_NE(document, nullptr);
    const bool loaded = document->LoadXml(c.xml);
    const XmlParseError& error = document->ParseError();
    ASSERT_EQ(loaded, c.loads) << error.reason;
    if (!c.forbidden.empty()) {
        EXPECT_EQ(error.reason.find(c.forbidden), std::string::npos);
        EXPECT_EQ(error.srcText.find(c.forbidden), std::string::npos);
    }
    if (!loaded) {
        EXPECT_FALSE(error.reason.empty());
        EXPECT_EQ(document->DocumentElement(), nullptr);
        if (c.errorLine) {
            EXPECT_EQ(error.srcText, *c.errorLine) << error.reason;
        }
        return;
    }
    EXPECT_EQ(error.reason, "");
    const XmlNode* root = document->DocumentElement();
    ASSERT_NE(root, nullptr);
    for (const Selection& s : c.selections) {
        SCOPED_TRACE(s.path);
        std::vector<std::string> got;
        for (const auto& node : SelectNodes(*root, s.path)) got.push_back(Describe(*node, s.by));
        EXPECT_EQ(got, s.nodes);
        auto first = SelectSingleNode(*root, s.path);
        ASSERT_EQ(first != nullptr, !s.nodes.empty());
        if (first) {
            EXPECT_EQ(Describe(*first, s.by), s.nodes.front());
        }
    }
    for (const AttributeRead& a : c.attributes) {
        SCOPED_TRACE(a.path + " @" + a.name);
        auto node = SelectSingleNode(*root, a.path);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->Attribute(a.name), a.value);
    }
    for (const MarkupRead& m : c.markups) {
        SCOPED_TRACE(m.path);
        auto node = SelectSingleNode(*root, m.path);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->Markup(), m.markup);
    }
    for (const ChildrenRead& r : c.children) {
        SCOPED_TRACE("children of " + r.path);
        auto node = SelectSingleNode(*root, r.path);
        ASSERT_NE(node, nullptr);
        std::vector<std::string> names;
        const auto found = r.anyDepth ? node->DescendantElements(r.only) : node->ChildElements();
        for (const auto& element : found) names.push_back(element->LocalName());
        EXPECT_EQ(names, r.names);
    }
    for (const std::string& xpath : RejectedXPaths()) {
        SCOPED_TRACE("raw XPath " + xpath);
        EXPECT_TRUE(root->SelectNodes(xpath).empty());
        EXPECT_EQ(root->SelectSingleNode(xpath), nullptr);
    }
}

// A document can be loaded again, and the nodes it handed out stay readable after it is gone.
inline void RunLifetimeCase(XmlFactory& factory) {
    auto document = factory.CreateDocument();
    ASSERT_TRUE(document->LoadXml("<r><m id=\"1\">one</m></r>"));
    auto kept = SelectSingleNode(*document->DocumentElement(), "m");
    ASSERT_NE(kept, nullptr);

    EXPECT_FALSE(document->LoadXml("<r>"));
    EXPECT_EQ(document->DocumentElement(), nullptr);
    EXPECT_FALSE(document->ParseError().reason.empty());

    ASSERT_TRUE(document->LoadXml("<s><m>two</m></s>"));
    EXPECT_EQ(document->ParseError().reason, "");
    EXPECT_EQ(document->DocumentElement()->LocalName(), "s");
    document.reset();
    EXPECT_EQ(kept->Text(), "one");
    EXPECT_EQ(kept->Attribute("id"), "1");
}

}  // namespace tovela::xmlconformance
