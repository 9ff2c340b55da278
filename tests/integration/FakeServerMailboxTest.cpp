#include <gtest/gtest.h>

#include "integration/FakeServer.h"

namespace tovela::testing {
namespace {

using nlohmann::json;
using namespace soap;

constexpr auto npos = std::string::npos;

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// "id: s s; " for each listed appointment, with the starts of its listed occurrences.
std::string Occurrences(const std::string& body) {
    std::string out;
    for (std::size_t at = body.find("<appt id=\""); at != npos;
         at = body.find("<appt id=\"", at + 1)) {
        const std::size_t end = body.find("</appt>", at);
        out += Between(body.substr(at), "<appt id=\"", "\"") + ":";
        for (std::size_t i = body.find("<inst s=\"", at); i < end;
             i = body.find("<inst s=\"", i + 1))
            out += " " + Between(body.substr(i), "<inst s=\"", "\"");
        out += "; ";
    }
    return out;
}

TEST(FakeServerMailboxTest, LoginAndFirstBatchCarryFoldersLinksAndTags) {
    FakeServer server(json{
        {"folders",
         {{{"id", 2}, {"name", "Inbox"}},
          {{"id", 10}, {"name", "Calendar"}, {"view", "appointment"}},
          {{"id", 300}, {"name", "Projects & Co"}, {"parent", 2}},
          {{"id", 301},
           {"name", "Team"},
           {"link", true},
           {"view", "appointment"},
           {"owner", "zid-9"},
           {"remoteId", 10}}}},
        {"tags", {{{"id", 64}, {"name", "Urgent"}, {"color", 6}}}},
        {"messages", {{{"folder", 300}, {"tags", "64"}}, {{"folder", 300}, {"unread", false}}}}});
    ASSERT_TRUE(server.Started()) << server.Output();
    const std::string mailbox =
        "<refresh><version>8.8.15_GA</version><folder id=\"1\" name=\"USER_ROOT\" l=\"11\">"
        "<folder id=\"2\" name=\"Inbox\" l=\"1\" n=\"0\" view=\"message\">"
        "<folder id=\"300\" name=\"Projects &amp; Co\" l=\"2\" u=\"1\" n=\"2\" view=\"message\"/>"
        "</folder><folder id=\"10\" name=\"Calendar\" l=\"1\" n=\"0\" view=\"appointment\"/>"
        "<link id=\"301\" name=\"Team\" l=\"1\" n=\"0\" view=\"appointment\" zid=\"zid-9\" "
        "rid=\"10\"/></folder><tags><tag id=\"64\" name=\"Urgent\" color=\"6\" u=\"1\"/></tags>"
        "</refresh>";
    const std::string login = Contents(server.Post(kSoap, LoginEnvelope("demo", "demo")));
    EXPECT_NE(login.find(mailbox), npos) << login;

    // The first batch of the session carries it again; later ones only when scripted.
    const std::string token = Between(login, "<authToken>", "<");
    for (const bool scripted : {false, true}) {
        SCOPED_TRACE(scripted ? "scripted" : "after login");
        if (scripted) server.Admin("/admin/script", {{"refresh", true}});
        const std::string first = Contents(server.Post(kSoap, SessionEnvelope(token, true)));
        EXPECT_NE(first.find(mailbox), npos) << first;
        const std::string next = Contents(server.Post(kSoap, SessionEnvelope(token, true)));
        EXPECT_NE(next.find("<refresh><version>8.8.15_GA</version></refresh>"), npos) << next;
    }
}

TEST(FakeServerMailboxTest, AdminChangesReachEverySessionOnceWithRisingSeq) {
    FakeServer server(
        json{{"folders",
              {{{"id", 2}, {"name", "Inbox"}}, {{"id", 300}, {"name", "Projects"}, {"parent", 2}}}},
             {"tags", {{{"id", 64}, {"name", "Urgent"}}}}});
    ASSERT_TRUE(server.Started()) << server.Output();
    const Login mine = LogIn(server), other = LogIn(server);
    const auto batch = [&](const Login& login) {
        return Contents(server.Post(kSoap, SessionEnvelope(login.token, true)));
    };
    batch(mine);  // the first batch, which carries the mailbox

    const json mail = server.Admin(
        "/admin/mail", {{"folder", 2},
                        {"from", {{"address", "ann@example.test"}, {"personal", "Ann <Lee>"}}},
                        {"subject", "Q&A"},
                        {"tags", {64}}});
    const std::string id = mail.value("id", "");
    ASSERT_FALSE(id.empty()) << mail;
    const std::string created = "<created><m id=\"" + id + "\" f=\"u\" l=\"2\" t=\"64\" d=\"" +
                                mail["date"].dump() +
                                "\"><e t=\"f\" a=\"ann@example.test\" p=\"Ann &lt;Lee&gt;\"/>"
                                "<su>Q&amp;A</su></m></created>";
    const std::string first = batch(mine);
    EXPECT_NE(first.find("<notify seq=\"1\">" + created +
                         "<modified><folder id=\"2\" n=\"1\" u=\"1\"/><tag id=\"64\" u=\"1\"/>"
                         "</modified></notify>"),
              npos)
        << first;
    EXPECT_NE(batch(other).find(created), npos) << "each session is told";
    EXPECT_EQ(batch(mine).find("<notify"), npos) << "told twice";

    // Refused changes change nothing and tell nothing.
    for (const auto& [path, body] :
         std::vector<std::pair<std::string, json>>{{"/admin/mail", {{"folder", 999}}},
                                                   {"/admin/read", {{"id", 999}}},
                                                   {"/admin/delete", {{"id", 2}}},
                                                   {"/admin/folder", {{"id", 2}, {"parent", 300}}},
                                                   {"/admin/tag", {{"colour", 1}}}}) {
        EXPECT_TRUE(server.Admin(path, body).contains("error")) << path << " " << body;
    }
    EXPECT_EQ(batch(mine).find("<notify"), npos);

    server.Admin("/admin/read", {{"id", id}});
    server.Admin("/admin/folder", {{"id", 300}, {"name", "Archive"}});
    server.Admin("/admin/tag", {{"name", "Later"}, {"color", 2}});
    server.Admin("/admin/delete", {{"id", id}});
    const std::string second = batch(mine);
    EXPECT_NE(second.find("<notify seq=\"2\"><created><tag id=\""), npos) << second;
    EXPECT_NE(second.find("\" name=\"Later\" color=\"2\"/></created><modified><m id=\"" + id +
                          "\" f=\"\"/><folder id=\"2\" n=\"0\" u=\"0\"/><folder id=\"300\" "
                          "name=\"Archive\"/><tag id=\"64\" u=\"0\"/></modified><deleted id=\"" +
                          id + "\"/></notify>"),
              npos)
        << second;
}

TEST(FakeServerMailboxTest, AppointmentListingKeepsToTheRequestedWindow) {
    const json appointments = {
        {{"id", 500},
         {"name", "Inside"},
         {"start", "2024-05-02T09:00:00Z"},
         {"location", "Room 1"},
         {"tags", "64"},
         {"alarm", {{"rel", {{"m", 30}, {"neg", true}}}}}},
        {{"id", 501}, {"name", "Running"}, {"start", "2024-04-30T23:30:00Z"}},
        {{"id", 502}, {"name", "Ended"}, {"start", "2024-04-30T22:00Z"}},
        {{"id", 503}, {"name", "After"}, {"start", "2024-05-08T00:00Z"}},
        {{"id", 504},
         {"name", "Daily"},
         {"start", "2024-05-06T08:00+02:00"},
         {"repeat", {{"everyMinutes", 1440}, {"count", 5}}},
         {"alarm", {{"abs", "20240506T053000Z"}}}},
        {{"id", 505}, {"name", "Binned"}, {"folder", 3}, {"start", "2024-05-03T10:00Z"}},
        {{"id", 506},
         {"name", "Holiday"},
         {"allDay", true},
         {"start", "2024-05-03"},
         {"durationMs", 86400000},
         {"tzOffsetMinutes", 540}}};
    for (const std::string version : {"8.8.15_GA", "5.0.9"}) {
        SCOPED_TRACE(version);
        FakeServer server(json{{"version", version}, {"appointments", appointments}});
        ASSERT_TRUE(server.Started()) << server.Output();
        // 2024-05-01 00:00 to 2024-05-08 00:00 UTC.
        const std::string body =
            Contents(server.Post(kSoap, SessionEnvelope(LogIn(server).token, version[0] == '8',
                                                        "1714521600000", "1715126400000")));
        EXPECT_EQ(Occurrences(body),
                  "501: 1714519800000; 500: 1714640400000; 506: 1714662000000; "
                  "504: 1714975200000 1715061600000; ");
        EXPECT_NE(body.find("<appt id=\"500\" name=\"Inside\" l=\"10\" t=\"64\" d=\"3600000\" "
                            "status=\"CONF\" loc=\"Room 1\" compNum=\"0\" fb=\"B\" "
                            "x_uid=\"500@example.test\" fba=\"B\" ptst=\"AC\" transp=\"O\" "
                            "isOrg=\"1\" invId=\"500-500\"><alarmData><alarm action=\"DISPLAY\">"
                            "<trigger><rel m=\"30\" neg=\"1\" related=\"START\"/></trigger>"),
                  npos)
            << body;
        EXPECT_NE(body.find("recur=\"1\""), npos);
        EXPECT_NE(body.find("<abs d=\"20240506T053000Z\"/>"), npos);
        EXPECT_NE(body.find("<inst s=\"1714662000000\" tzo=\"32400000\"/>"), npos);
    }
}

TEST(FakeServerMailboxTest, ChangedAppointmentsAreToldWithTheirInviteOrJustTheirNewFolder) {
    const long long before = NowMs();
    FakeServer server(json{{"appointments",
                            {{{"id", 600},
                              {"name", "Review"},
                              {"startInMinutes", 10},
                              {"alarm", {{"rel", {{"m", 5}, {"neg", true}}}}}}}}});
    ASSERT_TRUE(server.Started()) << server.Output();
    const long long start = server.Admin("/admin/state")["scenario"]["appointments"][0]["start"];
    EXPECT_GE(start, before / 1000 * 1000 + 600000);
    EXPECT_LE(start, NowMs() + 600000);

    const Login login = LogIn(server);
    const auto batch = [&] {
        return Contents(server.Post(kSoap, SessionEnvelope(login.token, true)));
    };
    batch();  // the first batch, which carries the mailbox
    const auto notified = [&](const json& change) {
        server.Admin("/admin/appointment", change);
        return Between(batch(), "<notify", "</notify>");
    };

    EXPECT_EQ(notified({{"id", 600},
                        {"start", "2030-01-02T10:00:00+09:00"},
                        {"durationMs", 1800000},
                        {"tzId", "Asia/Tokyo"},
                        {"tzOffsetMinutes", 540},
                        {"location", "Hall"}}),
              " seq=\"1\"><modified><appt id=\"600\" l=\"10\" nextAlarm=\"1893545700000\"><inv>"
              "<tz id=\"Asia/Tokyo\" stdoff=\"540\"/><comp name=\"Review\" status=\"CONF\" "
              "loc=\"Hall\" compNum=\"0\" fb=\"B\" fba=\"B\" x_uid=\"600@example.test\" "
              "transp=\"O\" isOrg=\"1\"><s d=\"20300102T100000\"/><e d=\"20300102T103000\"/>"
              "</comp></inv></appt></modified>");
    const std::string allDay = notified(
        {{"id", 600}, {"allDay", true}, {"start", "2030-01-03"}, {"durationMs", 172800000}});
    EXPECT_NE(allDay.find("<comp name=\"Review\" allDay=\"1\""), npos) << allDay;
    EXPECT_NE(allDay.find("<s d=\"20300103\"/><e d=\"20300104\"/>"), npos) << allDay;
    EXPECT_EQ(allDay.find("<tz"), npos) << "all-day times carry no zone";
    EXPECT_EQ(notified({{"id", 600}, {"name", "Review"}}), "") << "nothing changed";
    EXPECT_EQ(notified({{"id", 600}, {"folder", 3}}),
              " seq=\"3\"><modified><appt id=\"600\" l=\"3\"/></modified>");
}

TEST(FakeServerMailboxTest, MailboxScenarioIsCheckedWhenRead) {
    FakeServer server;
    ASSERT_TRUE(server.Started()) << server.Output();
    const json bad[] = {
        {{"folders", {{{"id", 2}, {"name", "Inbox"}, {"colour", 1}}}}},
        {{"folders", {{{"id", 20}, {"parent", 21}}, {{"id", 21}, {"parent", 20}}}}},
        {{"tags", {{{"id", 2}, {"name", "same id as the Inbox"}}}}},
        {{"messages", {{{"folder", 77}}}}},
        {{"appointments", {{{"name", "no start"}}}}},
        {{"appointments", {{{"start", "tomorrow"}}}}},
        {{"appointments", {{{"start", 1}, {"startInMinutes", 5}}}}},
        {{"appointments", {{{"start", 1}, {"repeat", {{"everyMinutes", 60}, {"count", 0}}}}}}},
        {{"appointments", {{{"start", 1}, {"alarm", {{"abs", "20240501T013000Z"}, {"rel", {}}}}}}}},
        {{"appointments", {{{"start", 1}, {"alarm", {{"abs", "1 May"}}}}}}}};
    for (const json& patch : bad) {
        EXPECT_TRUE(server.Admin("/admin/scenario", patch).contains("error")) << patch;
    }
    EXPECT_EQ(server.Admin("/admin/state")["scenario"]["folders"][0]["name"], "Inbox");
}

// The shipped demo must load and show a reminder soon after the demo logs in.
TEST(FakeServerMailboxTest, DemoScenarioHasUnreadMailAndAnAppointmentComingUp) {
    const auto demo = std::filesystem::path(__FILE__).parent_path() /
                      "../../tools/fake-server/scenarios/demo.json";
    FakeServer server(json::parse(ReadText(demo)));
    ASSERT_TRUE(server.Started()) << server.Output();
    const std::string login = Contents(server.Post(kSoap, LoginEnvelope("demo", "demo")));
    EXPECT_NE(login.find("name=\"Inbox\" l=\"1\" u=\""), npos) << login;
    const long long now = NowMs();
    const std::string body = Contents(
        server.Post(kSoap, SessionEnvelope(Between(login, "<authToken>", "<"), true,
                                           std::to_string(now), std::to_string(now + 3600000))));
    EXPECT_NE(body.find("<alarmData>"), npos) << body;
    EXPECT_NE(body.find("<inst s=\""), npos) << body;
}

}  // namespace
}  // namespace tovela::testing
