#include <gtest/gtest.h>

#include <string>

#include "platform/posix/Factories.h"
#include "session/XmlNodes.h"

namespace tovela {
namespace {

const char* const kResponse =
    "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\"><soap:Header>"
    "<context xmlns=\"urn:tovela\"><session id=\"s1\">s1</session>"
    "<notify seq=\"9\"><created><m id=\"7\" f=\"u\"><e t=\"f\" a=\"a@x\" p=\"\"/>"
    "<su>件名</su></m></created></notify></context></soap:Header><soap:Body>"
    "<GetSignaturesResponse xmlns=\"urn:tovelaAccount\"><signature id=\"sig-1\">"
    "<content type=\"text/html\">&lt;b&gt;hi&lt;/b&gt;</content></signature>"
    "</GetSignaturesResponse></soap:Body></soap:Envelope>";

struct NodeCase {
    const char* name;
    std::string path;
    std::string attribute;
    bool exists;
    std::string text;
    std::string value;
    bool hasAttribute;
};

std::ostream& operator<<(std::ostream& out, const NodeCase& c) {
    return out << c.path;
}

class XmlNodesTest : public ::testing::TestWithParam<NodeCase> {
protected:
    void SetUp() override { ASSERT_TRUE(document->LoadXml(kResponse)); }
    std::unique_ptr<XmlDocument> document = posix::CreateXmlFactory()->CreateDocument();
};

TEST_P(XmlNodesTest, AnswersFromTheDocumentElement) {
    const NodeCase& c = GetParam();
    const XmlNode& root = *document->DocumentElement();
    EXPECT_EQ(NodeExists(root, c.path), c.exists);
    EXPECT_EQ(NodeText(root, c.path), c.text);
    EXPECT_EQ(NodeAttribute(root, c.path, c.attribute), c.value);
    EXPECT_EQ(NodeHasAttribute(root, c.path, c.attribute), c.hasAttribute);
}

const std::string kSignature = "//GetSignaturesResponse/signature[@id='";

const NodeCase kNodeCases[] = {
    {"Session", "/soap:Envelope/soap:Header/context/session", "id", true, "s1", "s1", true},
    {"SignatureContent", kSignature + "sig-1']/content", "type", true, "<b>hi</b>", "text/html",
     true},
    {"OtherSignatureId", kSignature + "sig-2']/content", "type", false, "", "", false},
    {"QuoteInServerIdSelectsNothing", kSignature + "it's']/content", "type", false, "", "", false},
    {"EmptyRunTimeNameSelectsNothing", "/soap:Envelope/soap:Header/context/", "id", false, "", "",
     false},
    {"EmptyAttributeIsPresent", "//notify/created//m/e[@t='f']", "p", true, "", "", true},
    {"MissingAttribute", "//notify/created//m/e[@t='f']", "d", true, "", "", false},
    {"AttributeStepSelectsItsValue", "//notify/@seq", "seq", true, "9", "", false},
    {"ElementInAnotherNamespaceByLocalName", "//su", "", true, "件名", "", false},
};
INSTANTIATE_TEST_SUITE_P(Cases, XmlNodesTest, ::testing::ValuesIn(kNodeCases),
                         [](const auto& row) { return std::string(row.param.name); });

// The notification pass reads each block relative to the block itself.
TEST(XmlNodesRelativeTest, PathsRelativeToASelectedNode) {
    auto document = posix::CreateXmlFactory()->CreateDocument();
    ASSERT_TRUE(document->LoadXml(kResponse));
    auto blocks =
        SelectNodes(*document->DocumentElement(), "/soap:Envelope/soap:Header/context//notify");
    ASSERT_EQ(blocks.size(), 1u);
    auto messages = SelectNodes(*blocks[0], "created//m");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(NodeText(*messages[0], "su"), "件名");
    EXPECT_EQ(NodeAttribute(*messages[0], "e[@t='f']", "a"), "a@x");
    EXPECT_TRUE(NodeExists(*messages[0], "@f"));
    EXPECT_FALSE(NodeExists(*messages[0], "created"));
    EXPECT_EQ(SelectSingleNode(*blocks[0], "(created|modified)//m")->Attribute("id"), "7");
}

}  // namespace
}  // namespace tovela
