#include "Notifications.h"

#include "EnvelopeWriter.h"

namespace tovela::fakeserver {

std::string TakeNotifyBlock(SessionFeed& feed) {
    PendingChanges& p = feed.pending;
    if (p.Empty()) return {};
    std::string out = "<notify" + XmlAttr("seq", std::to_string(++feed.seq)) + ">";
    if (!p.created.empty()) {
        out += "<created>";
        for (const std::string& element : p.created) out += element;
        out += "</created>";
    }
    if (!p.modified.empty() || !p.touched.empty()) {
        out += "<modified>";
        for (const std::string& element : p.modified) out += element;
        for (const auto& [key, attributes] : p.touched) {
            out += "<" + key.first + XmlAttr("id", key.second);
            for (const auto& [name, value] : attributes) out += XmlAttr(name, value);
            out += "/>";
        }
        out += "</modified>";
    }
    // Several deletions go out as one comma-separated list of ids.
    if (!p.deleted.empty()) {
        std::string ids;
        for (const std::string& id : p.deleted) ids += (ids.empty() ? "" : ",") + id;
        out += "<deleted" + XmlAttr("id", ids) + "/>";
    }
    p = PendingChanges{};
    return out + "</notify>";
}

}  // namespace tovela::fakeserver
