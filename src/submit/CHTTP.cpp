#include "submit/CHTTP.h"

#include <algorithm>
#include <cstdio>

#include "app/LocalTime.h"
#include "app/Version.h"
#include "app/WaitWithMessages.h"
#include "settings/AsciiText.h"
#include "submit/PathNames.h"
#include "submit/TextEncodings.h"
#include "submit/UploadAnswer.h"
#include "submit/UploadText.h"
#include "submit/ZipFiles.h"

namespace tovela {
namespace {

constexpr int kMaxRedirects = 5;
constexpr std::uint32_t kPollMs = 250;
// Quick uploads leave the tip alone.
constexpr std::uint32_t kQuietMs = 1000;
constexpr std::uint32_t kRedirectFailed = wininet::kErrorRedirectFailed;

using Kind = UploadOutcome::Kind;

UploadOutcome Failed(std::int32_t number, std::string text) {
    return {Kind::Failed, number, std::move(text)};
}

std::string WithoutQuotes(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '"'), text.end());
    return text;
}

// The text after the last separator, or the whole text when it has none.
std::string AfterLastSeparator(std::string_view path) {
    std::size_t cut = path.size();
    while (cut > 0 && !IsPathSeparator(path[cut - 1])) --cut;
    return std::string(path.substr(cut));
}

// Where the file name's extension starts (its "."), or npos; a dot in a folder name is none.
std::size_t ExtensionDot(std::string_view path) {
    const std::size_t dot = path.rfind('.');
    if (dot == path.npos) return dot;
    for (std::size_t i = dot; i < path.size(); ++i)
        if (IsPathSeparator(path[i])) return path.npos;
    return dot;
}

std::string TimeStamp(const LocalDateTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return text;
}

}  // namespace

std::string UploadProgressTip(int nPercent) {
    return "アップロード中 " + std::to_string(nPercent) + "%";
}

struct CHTTP::Items {
    std::vector<std::string> paths;
    std::vector<std::string> names;
    bool namesValid = false;
    bool zip = false;
};

CHTTP::CHTTP(const CHTTPServices& services, CHTTPEvents& events)
    : services_(services), events_(events) {}

void CHTTP::Upload(std::optional<std::string> urlPath) {
    if (uploading_) return;
    uploading_ = true;
    if (urlPath) sUrlPath = TrimBlanks(*urlPath);
    startTick_ = services_.clock.TickCount();
    lastPercent_ = -1;
    UploadOutcome outcome;
    for (int redirects = 0;; ++redirects) {
        outcome = UploadOnce();
        if (outcome.kind != Kind::Redirect) break;
        if (std::optional<UploadOutcome> refused = FollowRedirect(outcome.text, redirects)) {
            outcome = std::move(*refused);
            break;
        }
    }
    uploading_ = false;
    Raise(outcome);
}

UploadOutcome CHTTP::UploadOnce() {
    sAttachIds.clear();
    clientCreated_ = false;
    if (TrimBlanks(sFiles).empty()) return {};

    Items items;
    if (std::optional<UploadOutcome> failed = PrepareItems(items)) return *failed;

    // The temporary archive goes when the upload ends, whatever the outcome.
    std::string temporaryArchive;
    struct Remover {
        FileSystem& files;
        const std::string& path;
        ~Remover() {
            if (!path.empty()) files.RemoveFile(path);
        }
    } remover{services_.files, temporaryArchive};
    if (items.zip) {
        if (std::optional<UploadOutcome> failed = Pack(items, temporaryArchive)) return *failed;
    }

    std::vector<UploadFile> files;
    for (std::size_t i = 0; i < items.paths.size(); ++i) {
        UploadFile file;
        file.path = items.zip ? temporaryArchive : items.paths[i];
        const bool named = items.namesValid && !items.zip && !TrimBlanks(items.names[i]).empty();
        file.fileName = named ? items.names[i] : FileNameFromPath(items.paths[i]);
        if (!bToBriefcase) file.fileName = QEncodeWord(file.fileName);
        const std::optional<FileInfo> info = services_.files.QueryAttributes(file.path);
        if (!info) return OtherError(53, "File not found\r\nFilename: " + file.path);
        file.size = info->size;
        file.reader = services_.files.OpenForReading(file.path);
        if (!file.reader) return OtherError(75, "Path/File access error\r\nFilename: " + file.path);
        files.push_back(std::move(file));
    }

    std::uint64_t total = 0;
    for (const UploadFile& file : files) total += file.size;
    const std::string sizeText = SizeText(total, services_.user.DecimalSeparator());
    FillSubject(items, sizeText);
    const double limit = services_.account.dUploadSizeLimit;
    if (limit > 0 && static_cast<double>(total) > limit)
        return Failed(5461, "Attachment size > tovelaFileUploadMaxSize (" + sizeText + ")");
    return Send(std::move(files), items.paths.size(), sizeText);
}

std::optional<UploadOutcome> CHTTP::PrepareItems(Items& items) {
    items.paths = SplitCommandLine(sFiles);
    if (!TrimBlanks(sFileNames).empty()) {
        items.names = SplitCommandLine(sFileNames);
        items.namesValid = items.names.size() == items.paths.size();
    }
    items.zip = services_.user.IsKeyDown(kVkShift);
    for (std::size_t i = 0; i < items.paths.size(); ++i) {
        std::string path = WithoutQuotes(items.paths[i]);
        if (items.namesValid) items.names[i] = AfterLastSeparator(WithoutQuotes(items.names[i]));
        if (path.ends_with(".lnk")) {
            const std::string target = services_.files.ShortcutTarget(path);
            if (!target.empty()) {
                path = target;
                if (items.namesValid) items.names[i] = AfterLastSeparator(target);
            }
        }
        const std::optional<FileInfo> info = services_.files.QueryAttributes(path);
        if (info && info->folder) {
            path = FolderItem(path);
            items.zip = true;
        } else if (!info) {
            return Failed(53, "File not found\r\ndbg: 0.10\r\nFilename: " + path);
        }
        items.paths[i] = std::move(path);
    }
    return std::nullopt;
}

std::optional<UploadOutcome> CHTTP::Pack(Items& items, std::string& temporaryArchive) {
    const std::size_t count = items.paths.size();
    const std::string temp = services_.files.TempFolder();
    const std::string stamp = TimeStamp(LocalNow(services_.clock, services_.timeZone));
    const std::string& first = items.paths[0];
    std::string archiveName;
    if (count == 1) {
        if (IsFolderItem(first)) {
            archiveName = FolderOfItem(first);
        } else {
            const std::size_t dot = ExtensionDot(first);
            archiveName = first.substr(0, dot);
            const std::string extension = dot == first.npos ? first : first.substr(dot + 1);
            // Attachments handed over as temporary files get their display name.
            if (items.namesValid && !TrimBlanks(items.names[0]).empty() &&
                AsciiLower(extension) == "tmp")
                archiveName = TrimBlanks(items.names[0]);
        }
        std::string title = kAppTitle;
        title.erase(std::remove(title.begin(), title.end(), ' '), title.end());
        temporaryArchive = JoinPath(temp, title + "_tmp_" + stamp + ".zip");
    } else {
        archiveName = JoinPath(temp, std::to_string(count) + "_オブジェクト");
        temporaryArchive = archiveName + "_tmp_" + stamp + ".zip";
    }

    std::int32_t code = 0;
    const bool ended = RunWithMessages(
        [&] { code = ZipFiles(services_.files, items.paths, temporaryArchive); }, nullptr);
    items.paths = {archiveName + ".zip"};
    if (!ended) return OtherError(7, "Out of memory");
    if (code != 0) {
        return Failed(code,
                      "Zip error: \r\n" + ZipErrorText(code, items.paths[0], temporaryArchive));
    }
    return std::nullopt;
}

void CHTTP::FillSubject(const Items& items, const std::string& sizeText) {
    if (!TrimBlanks(sSubject).empty()) return;
    if (items.paths.size() == 1) {
        sSubject = AfterLastSeparator(items.paths[0]);
        if (items.namesValid && !items.zip && !TrimBlanks(items.names[0]).empty())
            sSubject = items.names[0];
    } else {
        sSubject = std::to_string(items.paths.size()) + " オブジェクト";
    }
    sSubject += " (" + sizeText + ")";
}

UploadOutcome CHTTP::Send(std::vector<UploadFile> files, std::size_t count,
                          const std::string& sizeText) {
    MultipartBody body(std::move(files));
    TransferResult result;
    // The worker takes copies: handlers that run meanwhile may change the properties.
    const std::string server = sServer;
    const std::string urlPath = sUrlPath;
    const std::string token = sToken;
    const bool secure = bSecure;
    const bool ended = RunWithMessages(
        [&] { result = PostUpload(services_.http, server, secure, urlPath, token, body); }, &body);
    if (!ended) return OtherError(7, "Out of memory");
    lastServerName_ = result.serverName;
    lastPort_ = result.port;
    clientCreated_ = result.clientCreated;
    if (result.failure.kind == Kind::Failed) return result.failure;

    const std::string location = GetHeaderValue(result.rawHeaders, "Location");
    if (!location.empty()) return {Kind::Redirect, 0, location};
    if (result.response.find("200,'") == std::string::npos) {
        std::string chunk = result.response + "\r\n";
        if (!sizeText.empty()) chunk += "Message size: " + sizeText + "\r\n";
        if (count > 0) chunk += "Attachment count: " + std::to_string(count);
        return {Kind::NotUploadResult, 0, chunk};
    }
    sAttachIds = UploadIds(result.response, count);
    return {};
}

std::optional<UploadOutcome> CHTTP::FollowRedirect(const std::string& location, int redirects) {
    if (redirects >= kMaxRedirects) {
        return RedirectFailure("The server redirected the upload more than " +
                               std::to_string(kMaxRedirects) + " times.");
    }
    const std::string scheme = AsciiLower(location.substr(0, 8));
    const bool https = scheme.starts_with("https://");
    if (https || scheme.starts_with("http://")) {
        const std::string rest = location.substr(https ? 8 : 7);
        const std::size_t slash = rest.find('/');
        const std::string host = rest.substr(0, slash);
        if (host.empty()) return RedirectFailure("The upload cannot be sent to " + location + ".");
        // The request carries the auth token, which must not travel unencrypted.
        if (bSecure && !https) {
            return RedirectFailure(
                "The server redirected the upload from a secure connection to "
                "an insecure one: " +
                location);
        }
        sServer = host;
        bSecure = https;
        sUrlPath = slash == rest.npos ? "/" : rest.substr(slash);
        return std::nullopt;
    }
    if (!location.starts_with("/"))
        return RedirectFailure("The upload cannot be sent to " + location + ".");
    sUrlPath = location;
    return std::nullopt;
}

UploadOutcome CHTTP::OtherError(std::int32_t number, const std::string& description) const {
    std::string text = description + "\r\n" + sServer;
    if (clientCreated_) text.append(":").append(std::to_string(lastPort_));
    return Failed(number, text + sUrlPath);
}

UploadOutcome CHTTP::RedirectFailure(const std::string& reason) const {
    return Failed(54146, "Can't send request to " + lastServerName_ + ":" +
                             std::to_string(lastPort_) + "\r\nURL: " + sUrlPath +
                             "\r\nError Code: " + std::to_string(kRedirectFailed) +
                             "\r\nError message: " + reason);
}

bool CHTTP::RunWithMessages(std::function<void()> work, const MultipartBody* body) {
    // Nothing may escape the worker thread; the one thing the work can throw is a failed
    // allocation.
    bool ended = false;
    std::unique_ptr<BackgroundJob> job = services_.background.Start([&ended, &work] {
        try {
            work();
            ended = true;
        } catch (...) {
        }
    });
    const std::uintptr_t handle = job->DoneHandle();
    while (!job->Done()) {
        WaitWithMessages(services_.loop, services_.clock, kPollMs, std::span(&handle, 1));
        if (services_.clock.TickCount() - startTick_ < kQuietMs) continue;
        int percent = 0;
        if (body && body->Size() > 0)
            percent =
                static_cast<int>(std::min<std::uint64_t>(100, body->Sent() * 100 / body->Size()));
        if (percent != lastPercent_) {
            lastPercent_ = percent;
            events_.UploadProgress(percent);
        }
    }
    job.reset();
    return ended;
}

void CHTTP::Raise(const UploadOutcome& outcome) {
    switch (outcome.kind) {
        case Kind::Failed:
            events_.CodErrorSubida(outcome.number, outcome.text);
            break;
        case Kind::NotUploadResult:
            events_.ErrorDeSubida(outcome.text);
            break;
        default:
            events_.Completed();
            break;
    }
}

}  // namespace tovela
