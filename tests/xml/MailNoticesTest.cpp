#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session/MailNotices.h"
#include "xml/XmlEngine.h"

namespace tovela {
namespace {

class RecordingAlerts final : public MailAlerts {
public:
    void IconAdd(const std::string& text, std::int32_t n) override {
        calls.push_back("IconAdd " + std::to_string(n) + " " + text);
    }
    void IconReset() override { calls.push_back("IconReset"); }
    void FixTrayTooltipsZOrder() override { calls.push_back("FixZOrder"); }
    bool UnreadSoundExists() override { return wavExists; }
    void PlayUnreadSound() override { calls.push_back("PlayUnread"); }
    void Beep() override { calls.push_back("Beep"); }
    void ShowMessage(const std::string& text, int style, const std::string& title) override {
        calls.push_back("ShowMessage " + std::to_string(style) + " [" + title + "] " + text);
    }
    bool wavExists = false;
    std::vector<std::string> calls;
};

class RecordingCalendar final : public CalendarHooks {
public:
    void ChangedAppointments(const XmlNode& block) override {
        changedBlocks.push_back(block.Attribute("seq").value_or(""));
    }
    void DeletedAppointment(const std::string& id) override { deletedIds.push_back(id); }
    std::vector<std::string> changedBlocks;
    std::vector<std::string> deletedIds;
};

std::string Envelope(const std::string& context) {
    return "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\">"
           "<soap:Header><context xmlns=\"urn:tovela\">" +
           context + "</context></soap:Header><soap:Body/></soap:Envelope>";
}

std::string Notify(const std::string& seq, const std::string& content) {
    return "<notify seq=\"" + seq + "\">" + content + "</notify>";
}

std::string NewMessage(const std::string& attributes, const std::string& children) {
    return "<created><m " + attributes + ">" + children + "</m></created>";
}

// The account the notification blocks arrive for.
constexpr const char* kMailbox =
    "<refresh><folder id=\"1\" name=\"USER_ROOT\" l=\"11\">"
    "<folder id=\"2\" name=\"Inbox\" l=\"1\" u=\"3\"><folder id=\"300\" name=\"Clients\" l=\"2\"/>"
    "</folder><folder id=\"4\" name=\"Junk\" l=\"1\" u=\"2\"/>"
    "<folder id=\"5\" name=\"Sent\" l=\"1\" u=\"7\"/><folder id=\"257\" name=\"Projects\" l=\"1\" "
    "u=\"1\"/><folder id=\"258\" name=\"Quiet\" l=\"1\" u=\"0\"/></folder>"
    "<tags><tag id=\"64\" name=\"Urgent\"/><tag id=\"65\" name=\"Personal\"/></tags>"
    "</refresh>";

class MailNoticesTest : public ::testing::Test {
protected:
    const XmlNode& Load(const std::string& context) {
        documents.push_back(xml->CreateDocument());
        EXPECT_TRUE(documents.back()->LoadXml(Envelope(context)));
        return *documents.back()->DocumentElement();
    }
    void Refresh(const std::string& context) {
        TakeRefreshBlock(Load(context), model, filter, notice, bFoldersLoaded);
    }
    void Blocks(const std::string& context) {
        TakeNotifyBlocks(Load(context), session, model, filter, notice, calendar, alerts);
    }
    // Reads the mailbox quietly, as an earlier response would have.
    void KnownMailbox() {
        Refresh(kMailbox);
        notice = NoticeText{};
    }
    void Alerts() { SummaryAndAlerts(notice, options, alerts); }

    std::unique_ptr<XmlFactory> xml = testing::MakeXmlFactory();
    std::vector<std::unique_ptr<XmlDocument>> documents;
    MailboxModel model;
    NotifyFilter filter{"迷惑メール", false};
    NoticeText notice;
    bool bFoldersLoaded = false;
    SessionContext session;
    RecordingCalendar calendar;
    RecordingAlerts alerts;
    AlertOptions options;
};

using Calls = std::vector<std::string>;

TEST_F(MailNoticesTest, RefreshListsUnreadFoldersThenTags) {
    struct Case {
        const char* name;
        const char* pattern;
        bool white;
        std::string refresh, summary;
        int unread;
        std::size_t folders, tags;  // table sizes, slot zero included
    } cases[] = {
        // Junk is refused by the filter, Sent is a system folder, Quiet has nothing unread.
        {"first check", "迷惑メール", false, kMailbox, "受信箱 (3)\r\nProjects (1)\r\n", 4, 8, 3},
        {"tag lines follow folder lines", "urgent|受信箱", true,
         "<refresh><tags><tag id=\"64\" name=\"Urgent\" u=\"2\"/><tag id=\"65\" name=\"Personal\" "
         "u=\"1\"/></tags><folder id=\"2\" name=\"Inbox\" u=\"3\"/></refresh>",
         "受信箱 (3)\r\nタグ: Urgent (2)\r\n", 5, 2, 3},
        // The black list with nothing in it takes every name; of the system folders only the
        // Inbox and Junk are listed.
        {"system folders", "", false,
         "<refresh><folder id=\"4\" name=\"Junk\" u=\"2\"/><folder id=\"15\" name=\"Chats\" "
         "u=\"4\"/><folder id=\"16\" name=\"Mine\" u=\"1\"/></refresh>",
         "迷惑メール (2)\r\nMine (1)\r\n", 3, 4, 1},
        // Left out, but the mailbox counts as loaded.
        {"folder without a name", "迷惑メール", false,
         "<refresh><folder id=\"300\" l=\"1\" u=\"5\"/></refresh>", "", 0, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MailboxModel fresh;
        NoticeText text;
        bool loaded = false;
        TakeRefreshBlock(Load(c.refresh), fresh, {c.pattern, c.white}, text, loaded);
        EXPECT_TRUE(loaded);
        EXPECT_EQ(text.sSummary, c.summary);
        EXPECT_EQ(text.nUnread, c.unread);
        EXPECT_EQ(fresh.Folders.size(), c.folders);
        EXPECT_EQ(fresh.Tags.size(), c.tags);
    }
}

TEST_F(MailNoticesTest, RefreshReadOnlyUntilLoaded) {
    KnownMailbox();
    Refresh("<refresh><folder id=\"600\" name=\"Later\" l=\"1\" u=\"9\"/></refresh>");
    EXPECT_EQ(model.FindFolderIndex("600"), -1);
    EXPECT_EQ(notice.nUnread, 0);
}

struct SenderCase {
    const char* name;
    const char* children;
    const char* line;
};

class SenderTest : public MailNoticesTest, public ::testing::WithParamInterface<SenderCase> {};

TEST_P(SenderTest, LinesOfANewMessage) {
    KnownMailbox();
    Blocks(Notify("1", NewMessage("id=\"9\" l=\"2\" f=\"su\"", GetParam().children)));
    EXPECT_EQ(notice.sSummary, GetParam().line);
    EXPECT_EQ(notice.nUnread, 1);
}

const SenderCase kSenders[] = {
    {"NameAndAddress",
     "<e t=\"t\" a=\"me@example.com\"/><e t=\"f\" p=\"山田 太郎\" "
     "a=\"taro@example.com\"/><su>会議</su>",
     "差出人: 山田 太郎 <taro@example.com>\r\n件名: 会議\r\n\r\n"},
    {"AddressOnly", "<e t=\"f\" a=\"taro@example.com\"/><su>Hi</su>",
     "差出人: taro@example.com\r\n件名: Hi\r\n\r\n"},
    {"NameOnly", "<e t=\"f\" p=\"Taro\"/>", "差出人: Taro\r\n件名: \r\n\r\n"},
    {"NoFromAddress", "<e t=\"t\" p=\"Me\" a=\"me@example.com\"/><su>x</su>",
     "差出人: \r\n件名: x\r\n\r\n"},
};
INSTANTIATE_TEST_SUITE_P(Senders, SenderTest, ::testing::ValuesIn(kSenders),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(MailNoticesTest, OnlyUnreadMessagesThatPassTheFilterCount) {
    KnownMailbox();
    filter = {"受信箱", true};
    Blocks(Notify("1", NewMessage("id=\"10\" l=\"2\" f=\"s\"", "<su>read</su>") +
                           NewMessage("id=\"11\" l=\"2\"", "<su>no flags</su>") +
                           NewMessage("id=\"12\" l=\"2\" f=\"U\"", "<su>upper case</su>") +
                           NewMessage("id=\"13\" l=\"4\" f=\"u\"", "<su>junk</su>") +
                           NewMessage("id=\"14\" l=\"300\" f=\"fu\"", "<su>client</su>")));
    EXPECT_EQ(notice.sSummary, "差出人: \r\n件名: client\r\n\r\n");
    EXPECT_EQ(notice.nUnread, 1);
}

TEST_F(MailNoticesTest, MessagesFilteredBeforeTheBlockCreatesTheirFolder) {
    KnownMailbox();
    filter = {"受信箱", true};
    Blocks(Notify("1", NewMessage("id=\"20\" l=\"600\" f=\"u\"", "") +
                           "<created><folder id=\"600\" name=\"New\" l=\"2\"/></created>"));
    EXPECT_EQ(notice.nUnread, 0);
    EXPECT_EQ(model.FindFolderIndex("600"), 8);
    Blocks(Notify("2", NewMessage("id=\"21\" l=\"600\" f=\"u\"", "")));
    EXPECT_EQ(notice.nUnread, 1);
}

TEST_F(MailNoticesTest, RepeatedBlockTakenOnceButItsSequenceKept) {
    KnownMailbox();
    const std::string content = NewMessage("id=\"9\" l=\"2\" f=\"u\"", "<su>once</su>");
    Blocks(Notify("5", content) + Notify("6", content));
    EXPECT_EQ(session.sNotifySeq, "6");
    EXPECT_EQ(notice.sSummary, "差出人: \r\n件名: once\r\n\r\n");
    EXPECT_EQ(calendar.changedBlocks, (Calls{"5"}));

    // A later response starts afresh once the alerts are done.
    Alerts();
    Blocks(Notify("7", content));
    EXPECT_EQ(notice.nUnread, 1);
    EXPECT_EQ(session.sNotifySeq, "7");
}

TEST_F(MailNoticesTest, ReadElsewhereResetsIconOnlyWithoutNewMail) {
    KnownMailbox();
    const std::string read = "<modified><m id=\"9\" f=\"\"/></modified>";
    Blocks(Notify("1", read));
    EXPECT_EQ(alerts.calls, (Calls{"IconReset"}));

    alerts.calls.clear();
    notice = NoticeText{};
    Blocks(Notify("2", NewMessage("id=\"10\" l=\"2\" f=\"u\"", "")) + Notify("3", read));
    EXPECT_TRUE(alerts.calls.empty());

    notice = NoticeText{};
    Blocks(Notify("4", "<deleted id=\"77\"/>"));
    EXPECT_EQ(alerts.calls, (Calls{"IconReset"}));
}

TEST_F(MailNoticesTest, BlockUpdatesTablesAndHandsDeletionsToCalendar) {
    KnownMailbox();
    Blocks(Notify("1",
                  "<deleted id=\"64,257\"/><deleted id=\"300\"/>"
                  "<modified><tag id=\"65\" name=\"Family\"/><folder id=\"257\" "
                  "name=\"Archive\"/></modified>"
                  "<created><tag id=\"66\" name=\"New\"/></created>"));
    EXPECT_EQ(calendar.deletedIds, (Calls{"64,257", "300"}));
    EXPECT_NE(model.FindTagIndex("64"), -1);
    EXPECT_EQ(model.FindFolderIndex("300"), -1);
    EXPECT_EQ(model.Tags[model.FindTagIndex("65")]->Name, "Family");
    EXPECT_EQ(model.Folders[model.FindFolderIndex("257")]->Name, "Archive");
    EXPECT_NE(model.FindTagIndex("66"), -1);
}

TEST_F(MailNoticesTest, SoundAndWindowFollowTheBalloon) {
    const std::string balloon = "IconAdd 1 未読メールがあります\r\n受信箱 (1)|FixZOrder";
    const std::string window = "ShowMessage 64 [] 未読メールがあります\r\n受信箱 (1)";
    struct Case {
        const char* name;
        bool sound, window, wavExists;
        std::string summary, reminders;
        int unread;
        std::string calls;  // joined by "|"
    } cases[] = {
        {"quiet", false, false, true, "受信箱 (1)\r\n\r\n", "", 1, balloon},
        {"sound with a wave", true, false, true, "受信箱 (1)\r\n\r\n", "", 1,
         balloon + "|PlayUnread"},
        {"sound without a wave beeps", true, false, false, "受信箱 (1)\r\n\r\n", "", 1,
         balloon + "|Beep"},
        {"window", false, true, false, "受信箱 (1)\r\n\r\n", "", 1, balloon + "|" + window},
        {"both", true, true, true, "受信箱 (1)\r\n\r\n", "", 1, balloon + "|PlayUnread|" + window},
        {"appointment lines alone get their own title", false, false, false,
         "・明日10:00 Review\r\n", "", 0,
         "IconAdd 0 24時間以内の予約\r\n・明日10:00 Review|FixZOrder"},
        {"reminders alert without a balloon", true, true, false, "", "Review 10:00 - 11:00\r\n\r\n",
         0, "Beep|ShowMessage 64 [] Review 10:00 - 11:00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingAlerts recorded;
        recorded.wavExists = c.wavExists;
        NoticeText gathered;
        gathered.sSummary = c.summary;
        gathered.sReminders = c.reminders;
        gathered.nUnread = c.unread;
        SummaryAndAlerts(gathered, {c.sound, c.window}, recorded);
        std::string calls;
        for (const std::string& call : recorded.calls) calls += (calls.empty() ? "" : "|") + call;
        EXPECT_EQ(calls, c.calls);
    }
}

// A burst of mail: the balloon gets the whole text (the tray cuts it), the window only
// what fits on a screen and a count of the rest.
TEST_F(MailNoticesTest, WindowShowsWhatFitsAndCountsTheRest) {
    std::string summary;
    for (int i = 1; i <= 40; ++i) summary += "件名: mail " + std::to_string(i) + "\r\n";
    summary += std::string(300, 'x') + "\r\n";
    RecordingAlerts recorded;
    NoticeText gathered;
    gathered.sSummary = summary;
    gathered.nUnread = 41;
    SummaryAndAlerts(gathered, {false, true}, recorded);

    ASSERT_EQ(recorded.calls.size(), 3u);
    EXPECT_NE(recorded.calls[0].find(std::string(300, 'x')), std::string::npos);
    std::string expected = "ShowMessage 64 [] 未読メールがあります";
    for (int i = 1; i <= 29; ++i) expected += "\r\n件名: mail " + std::to_string(i);
    EXPECT_EQ(recorded.calls[2], expected + "\r\n…他 12 行");

    RecordingAlerts longLine;
    gathered.sSummary = std::string(300, 'x');
    gathered.nUnread = 1;
    SummaryAndAlerts(gathered, {false, true}, longLine);
    EXPECT_EQ(longLine.calls.back(),
              "ShowMessage 64 [] 未読メールがあります\r\n" + std::string(200, 'x') + "…");
}

TEST_F(MailNoticesTest, NothingGatheredShowsNothing) {
    options = {true, true};
    alerts.wavExists = true;
    KnownMailbox();
    Blocks(Notify("1", NewMessage("id=\"9\" l=\"2\" f=\"s\"", "")));
    Alerts();
    EXPECT_TRUE(alerts.calls.empty());
    EXPECT_EQ(notice.previousBlock, "");
}

}  // namespace
}  // namespace tovela
