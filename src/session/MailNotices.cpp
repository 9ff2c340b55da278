#include "session/MailNotices.h"

#include <cmath>
#include <limits>
#include <optional>

#include "session/LeadingNumber.h"
#include "session/RegEx.h"
#include "session/XmlNodes.h"
#include "submit/Utf16.h"

namespace tovela {
namespace {

constexpr const char* kCrLf = "\r\n";
constexpr const char* kRefreshFolders = "/soap:Envelope/soap:Header/context/refresh//(folder|link)";
constexpr const char* kRefreshTags = "/soap:Envelope/soap:Header/context/refresh//tag";
constexpr const char* kNotifyBlocks = "/soap:Envelope/soap:Header/context//notify";

// Ids up to this one are the server's system folders; of those only the Inbox and Junk
// hold mail the user wants counted.
constexpr double kLastSystemFolderId = 15;

// Adds to the count without overflowing on a hostile "u".
void AddUnread(NoticeText& notice, double count) {
    constexpr double kMax = std::numeric_limits<std::int32_t>::max();
    const double sum = static_cast<double>(notice.nUnread) + std::nearbyint(count);
    notice.nUnread =
        sum >= kMax ? std::numeric_limits<std::int32_t>::max() : static_cast<std::int32_t>(sum);
}

double UnreadCount(const XmlNode& element) {
    const double u = LeadingNumber(AttributeText(element, "u"));
    return std::isfinite(u) ? u : 0;
}

bool NamePasses(std::string_view name, NotifyFilter filter) {
    return RegExTest(filter.pattern, name, true) == filter.whiteList;
}

void OfferFolderLine(const XmlNode& folder, NotifyFilter filter, NoticeText& notice) {
    const std::string name = AttributeText(folder, "name");
    const std::string local = LocalFolderName(name);
    if (!NamePasses(local, filter)) return;
    const double id = LeadingNumber(AttributeText(folder, "id"));
    if (!(id > kLastSystemFolderId) && name != "Inbox" && name != "Junk") return;
    const double u = UnreadCount(folder);
    if (!(u > 0)) return;
    AddUnread(notice, u);
    notice.sSummary += local + " (" + AttributeText(folder, "u") + ")" + kCrLf;
}

void OfferTagLine(const XmlNode& tag, NotifyFilter filter, NoticeText& notice) {
    const std::string name = AttributeText(tag, "name");
    if (!NamePasses(name, filter)) return;
    const double u = UnreadCount(tag);
    if (!(u > 0)) return;
    AddUnread(notice, u);
    notice.sSummary += "タグ: " + name + " (" + AttributeText(tag, "u") + ")" + kCrLf;
}

// The first child with this local name for which `wanted` holds, or null.
template <typename Wanted>
const XmlNode* FirstChild(const std::vector<std::unique_ptr<XmlNode>>& children,
                          std::string_view name, Wanted wanted) {
    for (const auto& child : children) {
        if (child->LocalName() == name && wanted(*child)) return child.get();
    }
    return nullptr;
}

// From the message's "e[@t='f']" child.
std::string Sender(const std::vector<std::unique_ptr<XmlNode>>& children) {
    const XmlNode* from =
        FirstChild(children, "e", [](const XmlNode& e) { return e.Attribute("t") == "f"; });
    if (from == nullptr) return {};
    const std::optional<std::string> personal = from->Attribute("p");
    const std::optional<std::string> address = from->Attribute("a");
    if (personal) return address ? *personal + " <" + *address + ">" : *personal;
    return address.value_or(std::string());
}

// The text of the message's first "su" child.
std::string Subject(const std::vector<std::unique_ptr<XmlNode>>& children) {
    const XmlNode* subject = FirstChild(children, "su", [](const XmlNode&) { return true; });
    return subject != nullptr ? subject->Text() : std::string();
}

void TakeNewMessages(const XmlNode& block, const MailboxModel& model, NotifyFilter filter,
                     NoticeText& notice) {
    for (const auto& message : SelectNodes(block, "created//m")) {
        const std::optional<std::string> flags = message->Attribute("f");
        if (!flags || flags->find('u') == std::string::npos) continue;
        if (!model.ItemPasses(*message, filter)) continue;
        // One look at the children serves both the sender and the subject.
        const auto children = message->ChildElements();
        notice.sSummary += "差出人: " + Sender(children) + kCrLf;
        notice.sSummary += "件名: " + Subject(children) + kCrLf + kCrLf;
        AddUnread(notice, 1);
    }
}

void TakeTablesOfBlock(const XmlNode& block, MailboxModel& model, CalendarHooks& calendar) {
    for (const auto& deleted : SelectNodes(block, "deleted")) {
        // The id is taken whole: a list of ids names no single record.
        const std::string id = AttributeText(*deleted, "id");
        calendar.DeletedAppointment(id);
        model.ReleaseById(id);
    }
    // One walk for both kinds; every tag still goes in before any folder.
    const auto entries = SelectNodes(block, "(created|modified)//(tag|folder)");
    for (const auto& entry : entries) {
        if (entry->LocalName() == "tag") model.AddOrUpdateTag(*entry);
    }
    for (const auto& entry : entries) {
        if (entry->LocalName() == "folder") model.AddOrUpdateFolder(*entry);
    }
}

// The block's content after its opening tag; the server repeats a block word for word
// when it resends it.
std::string BlockContent(const XmlNode& block) {
    const std::string markup = block.Markup();
    const std::size_t end = markup.find('>');
    return end == std::string::npos ? std::string() : markup.substr(end + 1);
}

void TakeNotifyBlock(const XmlNode& block, SessionContext& session, MailboxModel& model,
                     NotifyFilter filter, NoticeText& notice, CalendarHooks& calendar,
                     MailAlerts& alerts) {
    session.sNotifySeq = AttributeText(block, "seq");
    std::string content = BlockContent(block);
    if (content == notice.previousBlock) return;
    notice.previousBlock = std::move(content);

    TakeNewMessages(block, model, filter, notice);
    calendar.ChangedAppointments(block);
    // Mail was read or removed elsewhere and nothing new came: the icon goes quiet.
    if (notice.nUnread == 0 && (NodeExists(block, "modified//m") || NodeExists(block, "deleted"))) {
        alerts.IconReset();
    }
    TakeTablesOfBlock(block, model, calendar);
}

void RemoveTrailingLineBreaks(std::string& text) {
    while (text.size() >= 2 && text.compare(text.size() - 2, 2, kCrLf) == 0) {
        text.resize(text.size() - 2);
    }
}

// The window shows what fits on a screen: a burst of mail would otherwise make a box taller
// than the screen, its OK button out of reach. The balloon and the tip have limits of
// their own.
std::string FitForWindow(std::string_view text) {
    constexpr std::size_t kMaxLines = 30;
    constexpr std::size_t kMaxLineUnits = 200;
    std::string out;
    std::size_t lines = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(kCrLf, start);
        if (end == std::string_view::npos) end = text.size();
        if (lines == kMaxLines) {
            std::size_t rest = 1;  // this line, and one more after each line break
            for (std::size_t at = text.find(kCrLf, end); at != std::string_view::npos;
                 at = text.find(kCrLf, at + 2)) {
                ++rest;
            }
            return out + kCrLf + "…他 " + std::to_string(rest) + " 行";
        }
        const std::string_view line = text.substr(start, end - start);
        if (lines > 0) out += kCrLf;
        if (Utf16Length(line) > kMaxLineUnits) {
            out += LeftUtf16(line, kMaxLineUnits) + "…";
        } else {
            out += line;
        }
        ++lines;
        start = end + 2;
    }
    return out;
}

void SoundAndWindow(const std::string& text, AlertOptions options, MailAlerts& alerts) {
    if (options.sound) {
        if (alerts.UnreadSoundExists()) {
            alerts.PlayUnreadSound();
        } else {
            alerts.Beep();
        }
    }
    if (options.window) alerts.ShowMessage(FitForWindow(text), kMessageInformation, "");
}

}  // namespace

void TakeRefreshBlock(const XmlNode& root, MailboxModel& model, NotifyFilter filter,
                      NoticeText& notice, bool& bFoldersLoaded) {
    if (bFoldersLoaded) return;
    try {
        for (const auto& folder : SelectNodes(root, kRefreshFolders)) {
            if (folder->Attribute("id") && folder->Attribute("name")) {
                OfferFolderLine(*folder, filter, notice);
                model.AddOrUpdateFolder(*folder);
            }
            bFoldersLoaded = true;
        }
        for (const auto& tag : SelectNodes(root, kRefreshTags)) {
            OfferTagLine(*tag, filter, notice);
            model.AddOrUpdateTag(*tag);
            bFoldersLoaded = true;
        }
    } catch (...) {
        // Out of memory halfway: what was read stays, the rest comes with a later refresh.
    }
}

void TakeNotifyBlocks(const XmlNode& root, SessionContext& session, MailboxModel& model,
                      NotifyFilter filter, NoticeText& notice, CalendarHooks& calendar,
                      MailAlerts& alerts) {
    try {
        for (const auto& block : SelectNodes(root, kNotifyBlocks)) {
            TakeNotifyBlock(*block, session, model, filter, notice, calendar, alerts);
        }
    } catch (...) {
        // Out of memory halfway: the blocks taken in so far stay taken in.
    }
}

void SummaryAndAlerts(NoticeText& notice, AlertOptions options, MailAlerts& alerts) {
    try {
        if (!notice.sSummary.empty()) {
            std::string text = notice.nUnread > 0 ? "未読メールがあります" : "24時間以内の予約";
            text += kCrLf + notice.sSummary;
            RemoveTrailingLineBreaks(text);
            alerts.IconAdd(text, notice.nUnread);
            alerts.FixTrayTooltipsZOrder();
            SoundAndWindow(text, options, alerts);
        }
        if (!notice.sReminders.empty()) {
            RemoveTrailingLineBreaks(notice.sReminders);
            SoundAndWindow(notice.sReminders, options, alerts);
        }
    } catch (...) {
        // An alert that could not be built is lost; the next response brings its own.
    }
    notice = NoticeText{};
}

}  // namespace tovela
