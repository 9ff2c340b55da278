#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "session/MailboxModel.h"
#include "xml/XmlEngine.h"

namespace tovela {
namespace {

using Ids = std::optional<std::string>;

class MailboxModelTest : public ::testing::Test {
protected:
    MailboxModelTest() {
        // A small account: Inbox and Junk each with a folder below, and two tags.
        for (const char* markup :
             {R"(<folder id="1" name="USER_ROOT" l="11"/>)",
              R"(<folder id="2" name="Inbox" l="1"/>)", R"(<folder id="4" name="Junk" l="1"/>)",
              R"(<folder id="5" name="Sent" l="1"/>)",
              R"(<folder id="257" name="Projects" l="1"/>)",
              R"(<folder id="300" name="Clients" l="2"/>)",
              R"(<folder id="301" name="Old" l="4"/>)"}) {
            model.AddOrUpdateFolder(Element(markup));
        }
        model.AddOrUpdateTag(Element(R"(<tag id="64" name="Urgent" color="1"/>)"));
        model.AddOrUpdateTag(Element(R"(<tag id="65" name="Personal"/>)"));
    }

    const XmlNode& Element(const std::string& markup) {
        documents.push_back(xml->CreateDocument());
        EXPECT_TRUE(documents.back()->LoadXml(markup)) << markup;
        return *documents.back()->DocumentElement();
    }
    const TovelaFolder& FolderAt(int slot) { return *model.Folders.at(slot); }

    std::unique_ptr<XmlFactory> xml = testing::MakeXmlFactory();
    std::vector<std::unique_ptr<XmlDocument>> documents;
    MailboxModel model;
};

struct FilterCase {
    const char* name;
    bool whiteList;
    const char* pattern;
    Ids t;
    Ids l;
    bool passes;
};

class ItemFilterTest : public MailboxModelTest, public ::testing::WithParamInterface<FilterCase> {};

TEST_P(ItemFilterTest, Decides) {
    const FilterCase& c = GetParam();
    EXPECT_EQ(model.ItemPasses(c.t, c.l, NotifyFilter{c.pattern, c.whiteList}), c.passes);
}

const FilterCase kFilters[] = {
    {"WhiteInboxTakesInbox", true, "受信箱", {}, "2", true},
    {"WhiteInboxTakesFolderBelowInbox", true, "受信箱", {}, "300", true},
    {"WhiteInboxRefusesJunk", true, "受信箱", {}, "4", false},
    {"BlackJunkTakesInbox", false, "迷惑メール", {}, "2", true},
    {"BlackJunkRefusesJunk", false, "迷惑メール", {}, "4", false},
    {"BlackJunkRefusesFolderBelowJunk", false, "迷惑メール", {}, "301", false},
    {"EnglishNameMissesTranslatedInbox", true, "inbox", {}, "2", false},
    {"CaseIgnored", true, "projects", {}, "257", true},
    {"AlternativesInOnePattern", true, "nothing|CLIENTS", {}, "300", true},
    {"EmptyFilterBlackTakesAll", false, "", "64", "2", true},
    {"EmptyFilterWhiteTakesNothing", true, "", "64", "2", false},
    {"UnknownIdsFailWhite", true, "受信箱|urgent", "999", "999", false},
    {"UnknownIdsPassBlack", false, "迷惑メール|urgent", "999", "999", true},
    {"NoIdsFailWhite", true, "受信箱", {}, {}, false},
    {"NoIdsPassBlack", false, "迷惑メール", {}, {}, true},
    {"TagListTrimmedAndSkipsUnknown", true, "urgent", "999, 65, 64", "5", true},
    {"TagRefusedByBlackList", false, "personal", "64,65", "2", false},
    {"FolderListSecondPartTrimmed", true, "受信箱", {}, "5, 300", true},
    {"RootNameOutsideChain", true, "USER_ROOT", {}, "2", false},
    {"RootByItsOwnId", true, "USER_ROOT", {}, "1", true},
    {"BadPatternMatchesNothing", true, "(", {}, "2", false},
};
INSTANTIATE_TEST_SUITE_P(Filters, ItemFilterTest, ::testing::ValuesIn(kFilters),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(MailboxModelTest, LocalFolderNameTranslatesOnlyExactSystemNames) {
    EXPECT_EQ(LocalFolderName("Inbox"), "受信箱");
    EXPECT_EQ(LocalFolderName("Junk"), "迷惑メール");
    EXPECT_EQ(LocalFolderName("Calendar"), "カレンダー");
    EXPECT_EQ(LocalFolderName("inbox"), "inbox");
    EXPECT_EQ(LocalFolderName("Inbox "), "Inbox ");
}

TEST_F(MailboxModelTest, TablesKeepSlotZeroEmptyAppendAndKnowParents) {
    ASSERT_EQ(model.Folders.size(), 8u);
    EXPECT_FALSE(model.Folders[0].has_value());
    EXPECT_EQ(model.FindFolderIndex("1"), 1);
    EXPECT_EQ(model.FindFolderIndex("301"), 7);
    EXPECT_EQ(FolderAt(7).ParentId, "4");
    EXPECT_FALSE(FolderAt(7).IsLink);
    EXPECT_EQ(model.FindTagIndex("65"), 2);
    EXPECT_EQ(model.Tags[1]->Color, "1");
    EXPECT_EQ(model.Tags[2]->Color, "");
    EXPECT_EQ(model.FindFolderIndex("999"), -1);
    EXPECT_EQ(model.FindTagIndex("2"), -1);  // tags and folders are looked up apart
    // Parents stop below the root.
    EXPECT_EQ(model.ParentFolderId("1") + model.ParentFolderId("2"), "");
    EXPECT_EQ(model.ParentFolderId("300"), "2");
    EXPECT_EQ(model.ParentFolderId("999"), "");

    model.Reset();
    EXPECT_EQ(model.Folders.size(), 1u);
    EXPECT_EQ(model.Tags.size(), 1u);
    EXPECT_EQ(model.FindFolderIndex("2"), -1);
    EXPECT_EQ(model.FindTagIndex("64"), -1);
}

TEST_F(MailboxModelTest, CalendarLinkFoundByOwnerKey) {
    model.AddOrUpdateFolder(Element(
        R"(<link id="400" name="Team" l="1" zid="u2" rid="10" view="appointment" owner="x"/>)"));
    model.AddOrUpdateFolder(Element(R"(<link id="401" name="Docs" l="1" zid="u2" rid="11"/>)"));
    const TovelaFolder& calendar = FolderAt(8);
    EXPECT_TRUE(calendar.IsLink);
    EXPECT_EQ(calendar.OwnerId, "u2");
    EXPECT_EQ(calendar.RemoteId, "10");
    EXPECT_EQ(calendar.LinkKey, "u2:10");
    EXPECT_EQ(model.FindFolderIndex("u2:10"), 8);
    EXPECT_EQ(model.FindFolderIndex("400"), 8);
    EXPECT_EQ(model.ParentFolderId("u2:10"), "");  // its parent is the root

    // Not a calendar: no owner ids and no key.
    EXPECT_TRUE(FolderAt(9).IsLink);
    EXPECT_EQ(FolderAt(9).LinkKey, "");
    EXPECT_EQ(model.FindFolderIndex("u2:11"), -1);
}

TEST_F(MailboxModelTest, IdAndLinkKeyCollideFirstSlotWins) {
    model.AddOrUpdateFolder(Element(R"(<folder id="u3:7" name="Odd" l="2"/>)"));
    model.AddOrUpdateFolder(
        Element(R"(<link id="402" name="Shared" l="257" zid="u3" rid="7" view="appointment"/>)"));
    model.AddOrUpdateFolder(
        Element(R"(<link id="403" name="Again" l="5" zid="u3" rid="7" view="appointment"/>)"));
    EXPECT_EQ(model.FindFolderIndex("u3:7"), 8);
    EXPECT_EQ(model.ParentFolderId("u3:7"), "2");

    model.ReleaseById("u3:7");
    EXPECT_FALSE(model.Folders[8].has_value());
    EXPECT_EQ(model.FindFolderIndex("u3:7"), 9);
    EXPECT_EQ(model.ParentFolderId("u3:7"), "257");
    model.ReleaseById("402");
    EXPECT_EQ(model.FindFolderIndex("u3:7"), 10);
    model.ReleaseById("u3:7");
    EXPECT_EQ(model.FindFolderIndex("u3:7"), -1);
    EXPECT_EQ(model.Folders.size(), 11u);

    // A folder whose id is an existing link's key renames that link instead of entering.
    model.AddOrUpdateFolder(
        Element(R"(<link id="404" name="Cal" l="1" zid="u4" rid="1" view="appointment"/>)"));
    model.AddOrUpdateFolder(Element(R"(<folder id="u4:1" name="Renamed" l="2"/>)"));
    EXPECT_EQ(model.Folders.size(), 12u);
    EXPECT_EQ(FolderAt(11).Name, "Renamed");
    EXPECT_EQ(FolderAt(11).Id, "404");
}

TEST_F(MailboxModelTest, ModifiedFolderOnlyRenames) {
    model.AddOrUpdateFolder(Element(R"(<folder id="257" name="Archive" l="2"/>)"));
    EXPECT_EQ(FolderAt(5).Name, "Archive");
    EXPECT_EQ(FolderAt(5).ParentId, "1");
    model.AddOrUpdateFolder(Element(R"(<folder id="257" l="4" u="3"/>)"));
    EXPECT_EQ(FolderAt(5).Name, "Archive");
    EXPECT_EQ(model.Folders.size(), 8u);

    model.AddOrUpdateTag(Element(R"(<tag id="65" color="5"/>)"));
    EXPECT_EQ(model.Tags[2]->Name, "Personal");
    EXPECT_EQ(model.Tags[2]->Color, "5");
    model.AddOrUpdateTag(Element(R"(<tag id="65" name="Family"/>)"));
    EXPECT_EQ(model.Tags[2]->Name, "Family");
    EXPECT_EQ(model.Tags[2]->Color, "5");
}

TEST_F(MailboxModelTest, ReleaseEmptiesSlotsWithoutMovingOthers) {
    model.AddOrUpdateTag(Element(R"(<tag id="300" name="SameIdAsFolder"/>)"));
    model.ReleaseById("64,257");  // one id, not a list
    EXPECT_NE(model.FindTagIndex("64"), -1);
    EXPECT_NE(model.FindFolderIndex("257"), -1);

    model.ReleaseById("300");  // the tag and the folder with that id both go
    EXPECT_FALSE(model.Tags[3].has_value());
    EXPECT_FALSE(model.Folders[6].has_value());
    EXPECT_EQ(model.FindFolderIndex("301"), 7);
    EXPECT_EQ(model.Folders.size(), 8u);
    EXPECT_EQ(model.Tags.size(), 4u);
    // A message in the released folder no longer finds the Inbox above it.
    EXPECT_FALSE(model.ItemPasses(Ids{}, Ids{"300"}, {"受信箱", true}));

    // The id can enter again, in a new slot.
    model.AddOrUpdateFolder(Element(R"(<folder id="300" name="Clients" l="2"/>)"));
    EXPECT_EQ(model.FindFolderIndex("300"), 8);
}

TEST_F(MailboxModelTest, LoopingFolderChainsEnd) {
    model.AddOrUpdateFolder(Element(R"(<folder id="500" name="A" l="501"/>)"));
    model.AddOrUpdateFolder(Element(R"(<folder id="501" name="B" l="502"/>)"));
    model.AddOrUpdateFolder(Element(R"(<folder id="502" name="C" l="500"/>)"));
    model.AddOrUpdateFolder(Element(R"(<folder id="503" name="Self" l="503"/>)"));
    EXPECT_FALSE(model.FolderChainMatches("500", {"nowhere", true}));
    EXPECT_FALSE(model.FolderChainMatches("503", {"nowhere", true}));
    EXPECT_TRUE(model.FolderChainMatches("500", {"^C$", true}));
    EXPECT_TRUE(model.ItemPasses(Ids{}, Ids{"503"}, {"nowhere", false}));
}

TEST_F(MailboxModelTest, LargeMailboxKeepsEveryLookupRight) {
    // 20,000 folders, each below the one before; ids in one document as a refresh gives them.
    constexpr int kCount = 20000;
    std::string markup = "<refresh>";
    for (int i = 1; i <= kCount; ++i) {
        markup += "<folder id=\"f" + std::to_string(i) + "\" name=\"N" + std::to_string(i) +
                  "\" l=\"f" + std::to_string(i - 1) + "\"/>";
    }
    markup += "</refresh>";
    const XmlNode& refresh = Element(markup);
    model.Reset();
    for (const auto& folder : refresh.SelectNodes("*")) model.AddOrUpdateFolder(*folder);
    for (const auto& folder : refresh.SelectNodes("*")) model.AddOrUpdateFolder(*folder);

    ASSERT_EQ(model.Folders.size(), static_cast<std::size_t>(kCount + 1));
    EXPECT_EQ(model.FindFolderIndex("f1"), 1);
    EXPECT_EQ(model.FindFolderIndex("f20000"), kCount);
    EXPECT_EQ(model.ParentFolderId("f20000"), "f19999");
    EXPECT_TRUE(model.FolderChainMatches("f20000", {"^N1$", true}));
    model.ReleaseById("f10000");
    EXPECT_FALSE(model.FolderChainMatches("f20000", {"^N1$", true}));
    EXPECT_EQ(model.FindFolderIndex("f10001"), 10001);
}

}  // namespace
}  // namespace tovela
