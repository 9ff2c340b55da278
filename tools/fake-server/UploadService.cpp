#include "UploadService.h"

#include <openssl/evp.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "MultipartStream.h"

namespace tovela::fakeserver {

using nlohmann::json;

namespace {

constexpr std::size_t kFieldLimit = 4096;
constexpr const char* kUploadPath = "/service/upload";
constexpr const char* kOriginalType = "X-Fake-Server-Content-Type";

class Sha256 {
public:
    Sha256() : context_(EVP_MD_CTX_new()) { EVP_DigestInit_ex(context_, EVP_sha256(), nullptr); }
    ~Sha256() { EVP_MD_CTX_free(context_); }
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(std::string_view bytes) { EVP_DigestUpdate(context_, bytes.data(), bytes.size()); }
    std::string Hex() {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        EVP_DigestFinal_ex(context_, digest, &length);
        std::string hex;
        char pair[3];
        for (unsigned int i = 0; i < length; ++i) {
            std::snprintf(pair, sizeof pair, "%02x", digest[i]);
            hex += pair;
        }
        return hex;
    }

private:
    EVP_MD_CTX* context_;
};

// A cookie's value from a Cookie header ("a=1; TV_AUTH_TOKEN=x").
std::string CookieValue(const std::string& header, const std::string& name) {
    std::size_t start = 0;
    while (start < header.size()) {
        std::size_t end = header.find(';', start);
        if (end == std::string::npos) end = header.size();
        std::string item = header.substr(start, end - start);
        item.erase(0, item.find_first_not_of(' '));
        if (item.compare(0, name.size() + 1, name + "=") == 0) return item.substr(name.size() + 1);
        start = end + 1;
    }
    return {};
}

// What the parts of one body said, file by file.
struct Received {
    std::vector<StoredUpload> files;
    std::string lastRequestId = "null";
    std::string field;  // the value of the part being read, for the small fields
    std::string fieldName;
    std::string currentName;
    std::unique_ptr<Sha256> fileHash;
    StoredUpload file;
};

MultipartStream::Handlers Collect(Received& r) {
    return {[&r](const MultipartStream::Part& part) {
                r.currentName = part.name;
                r.field.clear();
                if (part.name == "_attFile_") {
                    r.file = {};
                    r.file.fileName = part.fileName.value_or("");
                    r.file.fieldName = r.fieldName;
                    r.fileHash = std::make_unique<Sha256>();
                }
            },
            [&r](std::string_view data) {
                if (r.currentName == "_attFile_") {
                    r.fileHash->Update(data);
                    r.file.size += data.size();
                } else if (r.field.size() < kFieldLimit) {
                    r.field.append(data.substr(0, kFieldLimit - r.field.size()));
                }
            },
            [&r] {
                if (r.currentName == "_attFile_") {
                    r.file.sha256 = r.fileHash->Hex();
                    r.files.push_back(r.file);
                } else if (r.currentName == "requestId") {
                    r.lastRequestId = r.field;
                    if (!r.files.empty()) r.files.back().requestId = r.field;
                } else if (r.currentName.rfind("filename", 0) == 0) {
                    r.fieldName = r.field;
                }
            }};
}

// Upload ids in the server's shape: the account's id and the upload's, both hexadecimal.
std::string NextId(UploadStore& store) {
    char id[80];
    std::snprintf(id, sizeof id,
                  "5b3c2d1e-6f7a-4b8c-9d0e-1f2a3b4c5d6e:00000000-0000-4000-8000-%012lx",
                  ++store.issued);
    return id;
}

json ToJson(const StoredUpload& file) {
    return {{"id", file.id},
            {"fileName", file.fileName},
            {"fieldName", file.fieldName},
            {"requestId", file.requestId},
            {"size", file.size},
            {"sha256", file.sha256},
            {"authToken", file.authToken}};
}

json ToJson(const UploadRequestRecord& request) {
    return {{"target", request.target},       {"authToken", request.authToken},
            {"bodySize", request.bodySize},   {"bodySha256", request.bodySha256},
            {"bodyStart", request.bodyStart}, {"status", request.status},
            {"answer", request.answer}};
}

struct Reply {
    int status = 200;
    std::string body;
    std::string contentType = "text/plain";
    std::string location;
};

}  // namespace

void AddUploadRoutes(httplib::Server& server, ServerState& state, RequestLog& log, StopSignal& stop,
                     UploadStore& uploads) {
    server.set_pre_routing_handler([&uploads](const httplib::Request& req, httplib::Response&) {
        // The general reset forgets the uploads too; its own route answers it afterwards.
        if (req.method == "POST" && req.path == "/admin/reset") uploads.Reset();
        // The HTTP library hands a multipart body over only part by part, without the bytes
        // between the parts; the upload service reads it whole, as it came. The library's
        // request object is its own and not const, only passed on as such.
        if (req.method == "POST" && req.path == kUploadPath) {
            auto& headers = const_cast<httplib::Headers&>(req.headers);
            const auto type = headers.find("Content-Type");
            if (type != headers.end()) {
                headers.emplace(kOriginalType, type->second);
                type->second = "application/octet-stream";
            }
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });

    server.Post(kUploadPath, [&state, &log, &stop, &uploads](const httplib::Request& req,
                                                             httplib::Response& res,
                                                             const httplib::ContentReader& reader) {
        const auto arrived = std::chrono::system_clock::now();
        // The request as the client sent it, for the log.
        httplib::Request sent = req;
        const auto original = sent.headers.find(kOriginalType);
        if (original != sent.headers.end()) {
            sent.headers.erase("Content-Type");
            sent.headers.emplace("Content-Type", original->second);
            sent.headers.erase(kOriginalType);
        }
        const std::optional<std::string> boundary =
            MultipartStream::BoundaryOf(sent.get_header_value("Content-Type"));
        Received received;
        MultipartStream stream(boundary.value_or(""), Collect(received));
        UploadRequestRecord record;
        record.target = req.target;
        record.authToken = CookieValue(req.get_header_value("Cookie"), "TV_AUTH_TOKEN");
        Sha256 bodyHash;
        reader([&](const char* data, std::size_t length) {
            const std::string_view bytes(data, length);
            bodyHash.Update(bytes);
            record.bodySize += length;
            if (record.bodyStart.size() < 4096)
                record.bodyStart.append(bytes.substr(0, 4096 - record.bodyStart.size()));
            if (boundary) stream.Feed(bytes);
            return true;
        });
        record.bodySha256 = bodyHash.Hex();
        const bool wellFormed = boundary && stream.Finish();

        Reply reply;
        int delayMs = 0;
        bool canned = false;
        bool tokenValid = false;
        std::optional<std::uint64_t> limit;
        state.With([&](StateData& data) {
            delayMs = data.script.delayMs;
            if (data.script.nextResponse && data.script.nextResponse->method == "POST") {
                const CannedResponse answer =
                    *std::exchange(data.script.nextResponse, std::nullopt);
                reply = {answer.status, answer.body, answer.contentType, {}};
                canned = true;
            }
            tokenValid = data.sessionByToken.contains(record.authToken);
            if (data.scenario.limits.attSizeLimit)
                limit = std::strtoull(data.scenario.limits.attSizeLimit->c_str(), nullptr, 10);
        });
        if (canned) {
        } else if (!tokenValid) {
            reply.status = 401;
            reply.body = "no valid authtoken present\n";
        } else if (!wellFormed) {
            reply.status = 400;
            reply.body = "bad multipart body: " + stream.Error() + "\n";
        } else {
            uploads.With([&](UploadStore& store) {
                for (const StoredUpload& file : received.files) {
                    if (limit && *limit > 0 && file.size > *limit) {
                        reply.body = "413,'" + received.lastRequestId + "','" + file.fileName +
                                     " is larger than " + std::to_string(*limit) + " bytes'";
                        return;
                    }
                }
                if (store.script.redirects != 0) {
                    if (store.script.redirects > 0) --store.script.redirects;
                    reply.location =
                        store.script.location.empty() ? req.target : store.script.location;
                    reply.body = "moved";
                    return;
                }
                std::string ids;
                for (StoredUpload& file : received.files) {
                    file.id = NextId(store);
                    file.authToken = record.authToken;
                    ids += (ids.empty() ? "" : ",") + file.id;
                    store.files.push_back(file);
                }
                reply.body = "200,'" + received.lastRequestId + "','" + ids + "'";
            });
        }
        record.status = reply.status;
        record.answer = reply.body;
        uploads.With([&](UploadStore& store) { store.requests.push_back(record); });
        log.Record(sent, reply.status, arrived);
        if (delayMs > 0) stop.WaitFor(std::chrono::milliseconds(delayMs));
        res.status = reply.status;
        if (!reply.location.empty()) res.set_header("Location", reply.location);
        res.set_content(reply.body, reply.contentType);
    });
}

void AddUploadAdminRoutes(httplib::Server& server, UploadStore& uploads) {
    server.Get("/admin/uploads", [&uploads](const httplib::Request&, httplib::Response& res) {
        const json state = uploads.With([](UploadStore& store) {
            json files = json::array();
            for (const StoredUpload& file : store.files) files.push_back(ToJson(file));
            json requests = json::array();
            for (const UploadRequestRecord& request : store.requests)
                requests.push_back(ToJson(request));
            return json{
                {"files", files},
                {"requests", requests},
                {"script",
                 {{"redirects", store.script.redirects}, {"location", store.script.location}}}};
        });
        res.set_content(DumpJson(state) + "\n", "application/json");
    });

    server.Post(
        "/admin/uploads/script", [&uploads](const httplib::Request& req, httplib::Response& res) {
            const json patch = json::parse(req.body.empty() ? "{}" : req.body, nullptr, false);
            const bool valid =
                patch.is_object() &&
                std::all_of(patch.items().begin(), patch.items().end(), [](const auto& item) {
                    return (item.key() == "redirects" &&
                            (item.value().is_number_integer() || item.value().is_null())) ||
                           (item.key() == "location" &&
                            (item.value().is_string() || item.value().is_null()));
                });
            if (!valid) {
                res.status = 400;
                res.set_content(R"({"error": "expected {\"redirects\": N, \"location\": \"...\"}"})"
                                "\n",
                                "application/json");
                return;
            }
            uploads.With([&](UploadStore& store) {
                if (patch.contains("redirects"))
                    store.script.redirects =
                        patch["redirects"].is_null() ? 0 : patch["redirects"].get<int>();
                if (patch.contains("location"))
                    store.script.location =
                        patch["location"].is_null() ? "" : patch["location"].get<std::string>();
                return 0;
            });
            res.set_content("{}\n", "application/json");
        });
}

}  // namespace tovela::fakeserver
