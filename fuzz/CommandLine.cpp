// The command-line hand-over on both sides: a second start turns its command line into a
// request, and the running program's mailbox takes that request (or any bytes another
// process sends) into the main form over fakes.
//
// The first byte: bit 0 sends the rest as the raw payload of a hostile sender instead of a
// command line, bits 1-2 pick the request kind for it (bit 3 sends no payload at all), bit
// 4 has the running program logged in, bit 5 answers an upload with the ids of one file.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "FormOverFakes.h"
#include "app/CommandLine.h"
#include "submit/TextEncodings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t mode = data[0];
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);

    std::uint32_t kind = 0;
    std::optional<std::string> payload;
    if (mode & 0x01) {
        kind = static_cast<std::uint32_t>(tovela::RequestKind::Abre) + ((mode >> 1) & 0x03);
        if (!(mode & 0x08)) payload = rest;
    } else {
        tovela::NullDebugLog log;
        const tovela::ForwardedRequest request = tovela::BuildForwardedRequest(rest, log);
        // What a second start sends must always read back on the other side.
        if (request.payload && !tovela::Base64Decode(*request.payload)) __builtin_trap();
        if (!request.payload && !rest.empty()) __builtin_trap();
        kind = static_cast<std::uint32_t>(request.kind);
        payload = request.payload;
    }

    tovela::fuzzing::FormOverFakes run;
    auto& files = *run.fakes.files;
    files.AddFolder("C:\\Docs");
    files.AddFile("C:\\Docs\\a.txt", "alpha");
    files.AddFolder("C:\\Docs\\Sub");
    files.AddFile("C:\\Docs\\Sub\\b.txt", "beta");
    files.AddFile("/home/taro/a b.pdf", "%PDF");
    if (mode & 0x10) {
        run.Load(tovela::testing::LoginAnswer());
    } else {
        run.fakes.settings->Put("Password", "");
        run.form.Form_Load("");
    }
    if (mode & 0x20)
        run.fakes.uploadHttp->script.push_back(
            tovela::testing::FakeUploadHttp::Ok("200,'1','id1'"));
    // The send or draft request after an upload, and a check it may start.
    for (int i = 0; i < 3; ++i) run.http().script.push_back(tovela::testing::SessionAnswer());
    if (run.form.CTrayIcon) run.form.CTrayIcon->OnCopyData(kind, payload);
    run.http().script.clear();
    run.form.Form_Unload();
    return 0;
}
