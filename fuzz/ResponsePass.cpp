// Any bytes as the server's answers to the check cycle, taken in by the main form over
// fakes with the real XML engine.
//
// The first byte picks the start: bits 0-1 the session state (logged out, logged in, or
// logging in again after the server let the session expire), bit 2 answers with status 500,
// bit 3 turns on the chime, the message window and a white list of names, bits 4-7 the
// minutes (times 17) the clock moves before each further answer, so that reminders come due
// and days change. The rest is up to four answers separated by 0xFF.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FormOverFakes.h"

namespace {

using tovela::fuzzing::FormOverFakes;
using tovela::testing::HttpReply;

// An appointment that began a minute ago and one in half an hour, both with reminders.
HttpReply CalendarListing(std::int64_t nowMs) {
    return tovela::testing::ListingAnswer(
        tovela::testing::Appt("A1", nowMs - 60'000, 3'600'000, "alarm=\"1\"") +
        tovela::testing::Appt("A2", nowMs + 1'800'000, 1'800'000, "alarm=\"1\" loc=\"Room 4\""));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t mode = data[0];
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const int status = (mode & 0x04) ? 500 : 200;
    const std::int64_t stepMs = std::int64_t{(mode >> 4) & 0x0f} * 17 * 60'000;
    const auto answers = tovela::fuzzing::SplitAnswers(rest, 4);

    FormOverFakes run;
    if (mode & 0x08) {
        run.fakes.settings->Put("Sonido", "1");
        run.fakes.settings->Put("Ventana", "1");
        run.fakes.settings->Put("Filtros", "Inbox|Urgent");
        run.fakes.settings->Put("WhiteList", "1");
    }
    std::size_t next = 0;
    switch (mode & 0x03) {
        case 0:  // logged out: the first answer answers the login
            run.Load(HttpReply(status, "OK", answers[next++]));
            break;
        case 1:  // logged in, with folders and tags read
            run.Load(tovela::fuzzing::RichLoginAnswer());
            break;
        default:  // logged in with reminders shown, then told the session expired
            run.Load(tovela::fuzzing::RichLoginAnswer());
            run.Tick(CalendarListing(run.fakes.clock->utcMs));
            run.Tick(
                HttpReply(500, "Internal Server Error",
                          "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\">"
                          "<soap:Body><soap:Fault><soap:Reason><soap:Text>auth credentials "
                          "have expired</soap:Text></soap:Reason></soap:Fault></soap:Body>"
                          "</soap:Envelope>"));
            break;
    }
    for (; next < answers.size(); ++next) {
        run.fakes.clock->utcMs += stepMs;
        run.Tick(HttpReply(status, "OK", answers[next]));
    }
    run.form.Form_Unload();
    return 0;
}
