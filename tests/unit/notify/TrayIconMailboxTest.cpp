#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "app/CommandLine.h"
#include "fakes/FakeTray.h"
#include "fakes/FakeWindowSystem.h"
#include "fakes/RecordingDebugLog.h"
#include "notify/TrayIcon.h"
#include "submit/TextEncodings.h"

namespace tovela {
namespace {

class RecordingEvents final : public TrayIconEvents {
public:
    void OnMouseUp(MouseButton b) override { Add("MouseUp", b); }
    void OnMouseDown(MouseButton b) override { Add("MouseDown", b); }
    void OnDblClick(MouseButton b) override { Add("DblClick", b); }
    void OnBalloonShow() override { events.push_back("BalloonShow"); }
    void OnBalloonHide() override { events.push_back("BalloonHide"); }
    void OnBalloonClick() override { events.push_back("BalloonClick"); }
    void OnAbreTovela(const std::string& s) override { events.push_back("Abre:" + s); }
    void OnUploadFile(const std::string& s) override {
        events.push_back("Upload:" + s);
        if (duringHandler) duringHandler();
    }
    void OnMapiMensaje(const std::string& s) override {
        events.push_back("Mapi:" + s);
        if (duringHandler) duringHandler();
    }
    void OnSettingsShowRequest() override { events.push_back("Settings"); }

    void Add(const char* what, MouseButton b) {
        events.push_back(std::string(what) + std::to_string(static_cast<int>(b)));
    }
    std::vector<std::string> events;
    std::function<void()> duringHandler;
};

class TrayIconMailboxTest : public ::testing::Test {
protected:
    testing::FakeWindowSystem windows;
    testing::FakeTray tray;
    RecordingEvents events;
    TrayIcon icon{windows, tray, events};
};

TEST_F(TrayIconMailboxTest, SecondStartRequestsArriveDecoded) {
    testing::RecordingDebugLog log;
    for (const char* line : {"mailto:a@b?subject=Hi", "/settings", "\"C:\\a b\\c.txt\""}) {
        ForwardedRequest request = BuildForwardedRequest(line, log);
        EXPECT_EQ(icon.OnCopyData(static_cast<std::uint32_t>(request.kind), request.payload), 0);
    }
    EXPECT_EQ(events.events, (std::vector<std::string>{"Abre:a@b&subject=Hi", "Settings",
                                                       "Upload:\"C:\\a b\\c.txt\""}));
}

TEST_F(TrayIconMailboxTest, EmptyOrBrokenPayloadsGiveEmptyText) {
    icon.OnCopyData(1721, std::nullopt);
    icon.OnCopyData(1721, std::string());
    icon.OnCopyData(1722, std::string("not base64!"));
    EXPECT_EQ(events.events, (std::vector<std::string>{"Abre:", "Abre:", "Upload:"}));
}

TEST_F(TrayIconMailboxTest, UnknownKindsRaiseNothing) {
    EXPECT_EQ(icon.OnCopyData(1720, std::string("QQA=")), 0);
    EXPECT_EQ(icon.OnCopyData(1725, std::string("QQA=")), 0);
    EXPECT_TRUE(events.events.empty());
}

TEST_F(TrayIconMailboxTest, MapiTextIsPassedAsReceived) {
    icon.OnCopyData(1723, std::string("QQA="));
    EXPECT_EQ(events.events, (std::vector<std::string>{"Mapi:QQA="}));
}

TEST_F(TrayIconMailboxTest, UploadAndMapiAreDroppedWhileEitherIsHandled) {
    // A second icon's window shares the busy flag, as every mailbox window does.
    RecordingEvents otherEvents;
    TrayIcon other{windows, tray, otherEvents};
    events.duringHandler = [&] {
        events.duringHandler = nullptr;  // the nested requests below must not recurse
        other.OnCopyData(1723, std::string("second"));
        icon.OnCopyData(1722, Base64Encode("C:\\x"));
        icon.OnCopyData(1721, std::nullopt);  // open and settings still get through
        icon.OnCopyData(1724, std::nullopt);
    };
    icon.OnCopyData(1723, std::string("first"));
    EXPECT_EQ(events.events, (std::vector<std::string>{"Mapi:first", "Abre:", "Settings"}));
    EXPECT_TRUE(otherEvents.events.empty());
    EXPECT_FALSE(TrayIcon::bEnProceso);

    // Once the first handler has returned, the next request is handled.
    other.OnCopyData(1723, std::string("later"));
    EXPECT_EQ(otherEvents.events, (std::vector<std::string>{"Mapi:later"}));
}

TEST_F(TrayIconMailboxTest, ShellNotificationsBecomeMouseAndBalloonEvents) {
    for (int n : {0x0201, 0x0202, 0x0203, 0x0204, 0x0205, 0x0206, 0x0207, 0x0208, 0x0209, 0x0200,
                  0x0402, 0x0403, 0x0404, 0x0405}) {
        icon.OnTrayCallback(static_cast<std::int16_t>(n));
    }
    EXPECT_EQ(events.events, (std::vector<std::string>{
                                 "MouseDown1", "MouseUp1", "DblClick1", "MouseDown2", "MouseUp2",
                                 "DblClick2", "MouseDown4", "MouseUp4", "DblClick4", "BalloonShow",
                                 "BalloonHide", "BalloonClick"}));
}

}  // namespace
}  // namespace tovela
