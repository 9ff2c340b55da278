// tovela-sendmail: hands one message to the running program, in the form the companion mail
// library uses, for tests and scripts.
#include <cstdio>

#include "ToolPlatform.h"
#include "submit/MapiMessageOptions.h"

namespace {

constexpr std::uint32_t kCopyDataMapi = 1723;

int Fail(int status, const std::string& text) {
    std::fprintf(stderr, "tovela-sendmail: %s\n", text.c_str());
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tovela;
    MapiToolRequest request = ParseMapiToolArguments(sendmail::ToolArguments(argc, argv));
    if (request.help) {
        std::fputs(std::string(kMapiToolUsage).c_str(), stdout);
        return 0;
    }
    if (!request.error.empty()) {
        return Fail(2, request.error + "\n" + std::string(kMapiToolUsage));
    }
    if (!request.bodyFile.empty()) {
        auto body = sendmail::ReadWholeFile(request.bodyFile);
        if (!body) return Fail(2, "cannot read the body file " + request.bodyFile);
        request.message.body = *body;
    }
    // The program opens the files later, from its own folder.
    for (auto& attachment : request.message.attachments) {
        auto path = sendmail::ExistingAbsolutePath(attachment.path);
        if (!path) return Fail(2, "no such file: " + attachment.path);
        attachment.path = *path;
    }
    auto sender = sendmail::CreateMailboxSender();
    if (!sender->SendCopyData(kCopyDataMapi, MapiMessagePayload(request.message))) {
        return Fail(1, "Tovela Notifier is not running");
    }
    return 0;
}
