#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/frmMain.h"
#include "fakes/FakePlatform.h"
#include "platform/SettingsStore.h"
#include "xml/SessionAnswers.h"
#include "xml/XmlEngine.h"

// The main form on the test fakes with the real XML engine, as the check-cycle tests build
// it: everything the program does but the network, the desktop and the disk.
namespace tovela::fuzzing {

class FormOverFakes {
public:
    FormOverFakes() {
        fakes.platform.xml = testing::MakeXmlFactory();
        fakes.timeZone->bias = -540;
        fakes.settings->Put("TovelaHost", "mail.example.com");
        fakes.settings->Put("Username", "demo");
        fakes.settings->Put("Password", "text:pw");
    }

    // Starts the program; its first check gets `firstAnswer`.
    void Load(testing::HttpReply firstAnswer) {
        http().script.push_back(testing::HttpReply(200, "OK"));  // the endpoint probe
        http().script.push_back(std::move(firstAnswer));
        form.Form_Load("");
        Drain();
    }

    // One expiry of the poll timer answered by `answer`, as long as the timer runs. The
    // user closes the settings window first, so a check that failed does not stop the rest.
    void Tick(testing::HttpReply answer) {
        if (!fakes.timers->active.contains(PollTimer::kTimerId)) return;
        form.settings.HideSettingsWindow();
        if (!form.session.bOptionsProbed) http().script.push_back(testing::HttpReply(200, "OK"));
        http().script.push_back(std::move(answer));
        fakes.timers->Fire(PollTimer::kTimerId);
        Drain();
    }

    testing::ScriptedHttp& http() { return *fakes.http; }

    testing::FakePlatform fakes;
    NullDebugLog log;
    frmMain form{fakes.platform, &log};

private:
    // A check that sent nothing leaves its answers behind; they must not answer the next one.
    void Drain() { http().script.clear(); }
};

// An account with folders, tags and a signature: what the first answer of a day brings.
inline testing::HttpReply RichLoginAnswer() {
    std::string answer = testing::LoginAnswer("60").body;
    answer.replace(
        answer.find("</refresh>"), 0,
        "<folder id=\"1\" name=\"USER_ROOT\" l=\"11\"><folder id=\"2\" name=\"Inbox\" l=\"1\" "
        "u=\"3\"><folder id=\"300\" name=\"Clients\" l=\"2\" u=\"1\"/></folder><folder id=\"4\" "
        "name=\"Junk\" l=\"1\" u=\"2\"/><folder id=\"10\" name=\"Calendar\" l=\"1\" "
        "view=\"appointment\"/>"
        "</folder><tags><tag id=\"64\" name=\"Urgent\" u=\"1\"/></tags>");
    return testing::HttpReply(200, "OK", answer);
}

// Answers separated by one 0xFF byte, a byte that UTF-8 text never holds.
inline std::vector<std::string> SplitAnswers(std::string_view bytes, std::size_t most) {
    std::vector<std::string> answers;
    while (answers.size() + 1 < most) {
        const std::size_t cut = bytes.find('\xff');
        if (cut == std::string_view::npos) break;
        answers.emplace_back(bytes.substr(0, cut));
        bytes.remove_prefix(cut + 1);
    }
    answers.emplace_back(bytes);
    return answers;
}

}  // namespace tovela::fuzzing
