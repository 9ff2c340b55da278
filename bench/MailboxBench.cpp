// The mailbox and calendar passes over large answers, next to a bare parse of each answer,
// at 1x, 4x and 16x the base size so that growth that is not linear shows.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>

#include "BenchSupport.h"
#include "fakes/FakePlatform.h"
#include "fakes/FakeTray.h"
#include "platform/posix/Factories.h"
#include "session/Calendar.h"
#include "session/MailNotices.h"

namespace tovela {
namespace {

const char* kEnvelopeHead =
    "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\"><soap:Header>"
    "<context xmlns=\"urn:tovela\">";

std::string RefreshAnswer(int scale) {
    std::string text = std::string(kEnvelopeHead) +
                       "<refresh><version>8.8.15_GA</version>"
                       "<folder id=\"1\" name=\"USER_ROOT\">";
    for (int i = 0; i < 10000 * scale; ++i) {
        text += "<folder id=\"" + std::to_string(100 + i) + "\" name=\"Folder " +
                std::to_string(i) + "\" l=\"" + std::to_string(i < 10 ? 1 : 100 + i / 10) +
                "\" u=\"" + std::to_string(i % 3) + "\"/>";
    }
    text += "</folder><tags>";
    for (int i = 0; i < 1000 * scale; ++i) {
        text += "<tag id=\"" + std::to_string(50000 + i) + "\" name=\"Tag " + std::to_string(i) +
                "\" u=\"" + std::to_string(i % 2) + "\"/>";
    }
    return text + "</tags></refresh></context></soap:Header><soap:Body/></soap:Envelope>";
}

std::string NotifyAnswer(int scale) {
    std::string text = std::string(kEnvelopeHead) + "<notify seq=\"7\"><created>";
    for (int i = 0; i < 2000 * scale; ++i) {
        text += "<m id=\"" + std::to_string(1000 + i) + "\" f=\"u\" l=\"" +
                std::to_string(100 + i % 50) + "\" t=\"" + std::to_string(50000 + i % 20) +
                "\"><e t=\"f\" a=\"user" + std::to_string(i) + "@example.com\" p=\"User " +
                std::to_string(i) + "\"/><su>Subject " + std::to_string(i) + "</su></m>";
    }
    return text + "</created></notify></context></soap:Header><soap:Body/></soap:Envelope>";
}

std::string AppointmentAnswer(int scale) {
    std::string text = std::string(kEnvelopeHead) +
                       "</context></soap:Header><soap:Body><BatchResponse xmlns=\"urn:tovela\">"
                       "<SearchResponse xmlns=\"urn:tovelaMail\">";
    for (int i = 0; i < 500 * scale; ++i) {
        const long long start = 1796600000000LL + i * 600000LL;
        text +=
            "<appt id=\"" + std::to_string(9000 + i) + "\" name=\"Meeting " + std::to_string(i) +
            "\" l=\"10\" d=\"1800000\" status=\"CONF\"><inst s=\"" + std::to_string(start) +
            "\"/><alarmData><alarm><trigger><rel m=\"15\" neg=\"1\" related=\"START\"/></trigger>"
            "</alarm></alarmData></appt>";
    }
    return text + "</SearchResponse></BatchResponse></soap:Body></soap:Envelope>";
}

// A mailbox with the folders and tags the notify answers name. Kept out of line so that a
// profile tells this setup apart from the pass it prepares.
[[gnu::noinline]] MailboxModel& PreparedMailbox(XmlFactory& xml) {
    static MailboxModel mailbox;
    static bool ready = false;
    if (!ready) {
        auto doc = xml.CreateDocument();
        doc->LoadXml(RefreshAnswer(1));
        NoticeText notice;
        bool loaded = false;
        TakeRefreshBlock(*doc->DocumentElement(), mailbox, {"受信箱", false}, notice, loaded);
        ready = true;
    }
    return mailbox;
}

class QuietAlerts final : public MailAlerts, public CalendarHooks {
public:
    void IconAdd(const std::string&, std::int32_t) override {}
    void IconReset() override {}
    void FixTrayTooltipsZOrder() override {}
    bool UnreadSoundExists() override { return false; }
    void PlayUnreadSound() override {}
    void Beep() override {}
    void ShowMessage(const std::string&, int, const std::string&) override {}
    void ChangedAppointments(const XmlNode&) override {}
    void DeletedAppointment(const std::string&) override {}
};

const std::string& Answer(const std::string& kind, int scale) {
    static std::map<std::string, std::string> cache;
    const std::string key = kind + std::to_string(scale);
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    std::string text = kind == "refresh"  ? RefreshAnswer(scale)
                       : kind == "notify" ? NotifyAnswer(scale)
                                          : AppointmentAnswer(scale);
    return cache.emplace(key, std::move(text)).first->second;
}

void BM_RefreshBlock(benchmark::State& state) {
    auto xml = posix::CreateXmlFactory();
    const std::string& text = Answer("refresh", static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto doc = xml->CreateDocument();
        doc->LoadXml(text);
        MailboxModel mailbox;
        NoticeText notice;
        bool loaded = false;
        TakeRefreshBlock(*doc->DocumentElement(), mailbox, {"迷惑メール", false}, notice, loaded);
        benchmark::DoNotOptimize(notice.nUnread);
    }
}
void BM_RefreshBlock_BareParse(benchmark::State& state) {
    bench::BareParse(state, Answer("refresh", static_cast<int>(state.range(0))));
}

void BM_NotifyBlock(benchmark::State& state) {
    auto xml = posix::CreateXmlFactory();
    MailboxModel& mailbox = PreparedMailbox(*xml);
    const std::string& text = Answer("notify", static_cast<int>(state.range(0)));
    // A white list of ten alternatives.
    const std::string filter =
        "Folder 1|Folder 2|Folder 3|Folder 4|Folder 5|Tag 1|Tag 2|Tag 3|Tag 4|受信箱";
    QuietAlerts quiet;
    for (auto _ : state) {
        auto doc = xml->CreateDocument();
        doc->LoadXml(text);
        SessionContext session;
        NoticeText notice;
        TakeNotifyBlocks(*doc->DocumentElement(), session, mailbox, {filter, true}, notice, quiet,
                         quiet);
        benchmark::DoNotOptimize(notice.nUnread);
    }
}
void BM_NotifyBlock_BareParse(benchmark::State& state) {
    bench::BareParse(state, Answer("notify", static_cast<int>(state.range(0))));
}

void BM_AppointmentListing(benchmark::State& state) {
    auto xml = posix::CreateXmlFactory();
    const std::string& text = Answer("appointments", static_cast<int>(state.range(0)));
    testing::FakeWindowSystem windows;
    testing::FakeTray tray;
    testing::FakeLocaleInfo locale;
    SessionContext session;
    session.sServerVersion = "8.8.15_GA";
    session.dEpochLocal = 9 * 3600;
    MailboxModel mailbox;
    for (auto _ : state) {
        auto doc = xml->CreateDocument();
        doc->LoadXml(text);
        Calendar calendar(
            [&] {
                return std::make_unique<Icontify>(TrayServices{windows, tray});
            },
            nullptr, locale, 3);
        CalendarContext ctx{
            session, 15, true, 1796600000 + 9 * 3600, -540, mailbox, {"迷惑メール", false}};
        std::string summary, reminders;
        calendar.AppointmentListing(*doc->DocumentElement(), ctx, summary, reminders);
        benchmark::DoNotOptimize(summary.size());
    }
}
void BM_AppointmentListing_BareParse(benchmark::State& state) {
    bench::BareParse(state, Answer("appointments", static_cast<int>(state.range(0))));
}

BENCHMARK(BM_RefreshBlock)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshBlock_BareParse)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NotifyBlock)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NotifyBlock_BareParse)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AppointmentListing)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AppointmentListing_BareParse)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tovela
