#include "session/ProcessResponse.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "app/LocalTime.h"
#include "session/LeadingNumber.h"
#include "session/SoapRequests.h"
#include "session/XmlNodes.h"
#include "submit/TextEncodings.h"

namespace tovela {
namespace {

constexpr const char* kFaultText = "//soap:Fault/soap:Reason/soap:Text";
constexpr const char* kHeaderContext = "/soap:Envelope/soap:Header/context/";
constexpr const char* kPrefs = "//AuthResponse/prefs/pref[@name='";

// Faults of a submission the caller shows as they are.
constexpr const char* kSizeFault = "exceeded allowed size";
constexpr const char* kNameFault = "object with that name already exists:";
constexpr const char* kExpiredFault = "auth credentials have expired";
constexpr const char* kNoTokenFault = "no valid authtoken present";

// A check that failed a while back made the icon show stale news; more than this many
// minute boundaries since the last answer and it goes quiet.
constexpr std::int64_t kQuietAfterMinutes = 15;

std::int32_t RoundToInt32(double value) {
    if (std::isnan(value)) return 0;
    const double rounded = std::nearbyint(value);  // to even, as the classic conversions do
    return static_cast<std::int32_t>(std::clamp<double>(rounded,
                                                        std::numeric_limits<std::int32_t>::min(),
                                                        std::numeric_limits<std::int32_t>::max()));
}

std::string PrefPath(std::string_view name) {
    return kPrefs + std::string(name) + "']";
}

void ForgetSession(SessionContext& session) {
    session.sSessionId.clear();
    session.sAuthToken.clear();
    session.sNotifySeq.clear();
}

class ResponseReader {
public:
    ResponseReader(const XmlNode& root, ResponseState& state, ResponseServices& services)
        : root_(root), state_(state), s_(state.session), services_(services) {}

    bool Run();

private:
    bool Fault();
    void QuietIconAfterLongSilence();
    // False when the account was referred to another host without a session.
    bool AuthResponse();
    void Preferences();
    void Signature();
    void PollIntervalPreference();
    void Limits();

    bool Exists(const std::string& path) const { return NodeExists(root_, path); }
    std::string Text(const std::string& path) const { return NodeText(root_, path); }

    const XmlNode& root_;
    ResponseState& state_;
    SessionContext& s_;
    ResponseServices& services_;
};

bool ResponseReader::Run() {
    if (Exists(kFaultText)) return Fault();

    const std::string versionPath = std::string(kHeaderContext) + "refresh/version";
    if (Exists(versionPath)) {
        s_.sServerVersion = Text(versionPath);
        s_.sSessionTag = SessionTagFor(s_.sServerVersion);
    }
    const std::string sessionPath = std::string(kHeaderContext) + "session";
    if (Exists(sessionPath)) s_.sSessionId = NodeAttribute(root_, sessionPath, "id");

    if (!Exists("//AuthResponse")) {
        const std::string tagPath = std::string(kHeaderContext) + s_.sSessionTag;
        if (!s_.sSessionTag.empty() && Exists(tagPath) && Text(tagPath) != s_.sSessionId) {
            // The server started a new session: log in again soon.
            ForgetSession(s_);
            state_.PollInterval = 3;
            QuietIconAfterLongSilence();
            return true;
        }
    } else if (!AuthResponse()) {
        // Referred elsewhere without a session: try the new host soon.
        state_.RetryInterval = 3;
        return false;
    }

    const std::string draftPath = "/soap:Envelope/soap:Body/SaveDraftResponse/m";
    if (Exists(draftPath)) state_.account.sDraftId = NodeAttribute(root_, draftPath, "id");

    if (!state_.bFoldersLoaded) services_.effects.RefreshBlock(root_);
    services_.effects.NotifyBlocks(root_);
    services_.effects.AppointmentListing(root_);
    services_.effects.SummaryAndAlerts();

    state_.dLastResponse = LocalNowSeconds(services_.clock, services_.zone);
    return true;
}

bool ResponseReader::Fault() {
    const std::string fault = Text(kFaultText);
    s_.sLastError = fault;
    if (fault.find(kSizeFault) != std::string::npos ||
        fault.find(kNameFault) != std::string::npos) {
        return false;
    }
    QuietIconAfterLongSilence();
    if (fault != kExpiredFault && fault != kNoTokenFault) {
        ForgetSession(s_);
        state_.PollInterval = 3;
        return false;
    }
    if (fault == kExpiredFault) {
        ForgetSession(s_);
        state_.PollInterval = 3;
    } else if (state_.PollInterval == 0) {
        state_.PollInterval = 3;
    }
    s_.sLastError.clear();
    return true;
}

void ResponseReader::QuietIconAfterLongSilence() {
    const std::int64_t now = LocalNowSeconds(services_.clock, services_.zone);
    auto minute = [](std::int64_t seconds) {
        return seconds >= 0 ? seconds / 60 : (seconds - 59) / 60;
    };
    if (!state_.dLastResponse || minute(now) - minute(*state_.dLastResponse) > kQuietAfterMinutes) {
        services_.effects.ResetMainIcon();
    }
}

bool ResponseReader::AuthResponse() {
    s_.sAuthToken = Text("//AuthResponse/authToken");
    const std::string changePath = std::string(kHeaderContext) + "change";
    if (Exists(changePath)) s_.sChangeToken = NodeAttribute(root_, changePath, "token");
    const std::string sessionPath = "//AuthResponse/" + s_.sSessionTag;
    if (!s_.sSessionTag.empty() && Exists(sessionPath)) {
        s_.sSessionId = NodeAttribute(root_, sessionPath, "id");
    }
    s_.sNotifySeq.clear();

    if (Exists("//AuthResponse/refer")) {
        // The account lives on another server: later requests go there, after a new probe.
        s_.sHost = Text("//AuthResponse/refer");
        s_.sAuthToken.clear();
        s_.sNotifySeq.clear();
        s_.bOptionsProbed = false;
        if (s_.sSessionId.empty()) return false;
    }
    Preferences();
    Signature();
    PollIntervalPreference();
    const std::string reminderPath = PrefPath("tovelaPrefCalendarApptReminderWarningTime");
    if (Exists(reminderPath)) {
        state_.account.nReminderMinutes = RoundToInt32(LeadingNumber(Text(reminderPath)));
    }
    Limits();
    if (Exists("//GetInfoResponse/id")) state_.account.sAccountId = Text("//GetInfoResponse/id");

    const std::string briefcasePath =
        "//AuthResponse/attrs/attr[@name='tovelaFeatureBriefcasesEnabled']";
    state_.account.bBriefcaseEnabled = Exists(briefcasePath) && Text(briefcasePath) == "TRUE";
    if (!state_.account.bBriefcaseEnabled) services_.effects.DeleteBriefcaseShortcut();
    return true;
}

void ResponseReader::Preferences() {
    AccountPreferences& a = state_.account;
    a.sComposeFormat = Text(PrefPath("tovelaPrefComposeFormat"));
    a.sFromAddress = Text(PrefPath("tovelaPrefFromAddress"));
    a.sFromDisplay = Text(PrefPath("tovelaPrefFromDisplay"));
    const std::string enabledPath = PrefPath("tovelaPrefReplyToEnabled");
    if (Exists(enabledPath) && AsciiUpper(Text(enabledPath)) == "TRUE") {
        const std::string addressPath = PrefPath("tovelaPrefReplyToAddress");
        const std::string displayPath = PrefPath("tovelaPrefReplyToDisplay");
        if (Exists(addressPath)) a.sReplyToAddress = Text(addressPath);
        if (Exists(displayPath)) a.sReplyToDisplay = Text(displayPath);
    } else {
        a.sReplyToAddress.clear();
        a.sReplyToDisplay.clear();
    }
}

void ResponseReader::Signature() {
    if (!IsVersionAtLeast(s_.sServerVersion, 7.0)) return;
    const std::string idPath = PrefPath("tovelaPrefDefaultSignatureId");
    const std::string id = Exists(idPath) ? Text(idPath) : std::string();
    // An id that would end the quoted value cannot name a signature.
    if (id.find('\'') != std::string::npos) return;
    const std::string contentPath = "//GetSignaturesResponse/signature[@id='" + id + "']/content";
    if (!Exists(contentPath)) return;
    state_.account.sSignature = Text(contentPath);
    if (NodeHasAttribute(root_, contentPath, "type")) {
        state_.account.bSignatureHtml =
            AsciiLower(NodeAttribute(root_, contentPath, "type")) == "text/html";
    }
}

void ResponseReader::PollIntervalPreference() {
    const std::string path = PrefPath("tovelaPrefMailPollingInterval");
    // Without the preference the server's default applies: the 3 seconds a fault or a new
    // session asked for must not stay for good.
    state_.PollInterval = Exists(path) ? PollIntervalFromPreference(Text(path)) : 0;
    std::int32_t& interval = state_.PollInterval;
    if (interval < 1) {
        interval = 300;
    } else if (interval == 500) {
        interval = 15;
    } else if (interval > 900) {
        interval = 14400;
    }
    services_.effects.ShowPollInterval(interval);
}

void ResponseReader::Limits() {
    const std::string info = "//GetInfoResponse";
    if (!NodeHasAttribute(root_, info, "attSizeLimit")) return;
    const double att = LeadingNumber(NodeAttribute(root_, info, "attSizeLimit"));
    if (NodeHasAttribute(root_, info, "docSizeLimit")) {
        const double doc = LeadingNumber(NodeAttribute(root_, info, "docSizeLimit"));
        state_.account.dUploadSizeLimit = (att != 0 && doc > att) ? att : doc;
    } else {
        state_.account.dUploadSizeLimit = att;
    }
}

}  // namespace

std::int32_t PollIntervalFromPreference(const std::string& value) {
    std::string rest;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value.compare(i, 2, "ms") == 0) {
            ++i;
            continue;
        }
        rest.push_back(value[i]);
    }
    double seconds = LeadingNumber(rest);
    if (rest.find('m') != std::string::npos) seconds *= 60;
    return RoundToInt32(seconds);
}

bool ProcessResponse(const std::string& sRespuesta, ResponseState& state,
                     ResponseServices& services) {
    services.log.Write("*PS: (" + DateTimeText(LocalNow(services.clock, services.zone)) +
                       "):" + Base64Encode(sRespuesta));
    auto document = services.xml.CreateDocument();
    if (!document->LoadXml(sRespuesta) || !document->DocumentElement()) {
        const XmlParseError& error = document->ParseError();
        state.session.sLastError =
            "Tovelaサーバーよりエラー報告:\r\n" + error.reason + "\r\n" + error.srcText;
        return false;
    }
    ResponseReader reader(*document->DocumentElement(), state, services);
    return reader.Run();
}

}  // namespace tovela
