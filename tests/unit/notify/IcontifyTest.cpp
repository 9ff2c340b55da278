#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fakes/FakeTray.h"
#include "fakes/FakeWindowSystem.h"
#include "notify/Icontify.h"
#include "notify/TrayIcon.h"
#include "submit/TextEncodings.h"

namespace tovela {
namespace {

// Records what reaches the form, and from which icon.
class RecordingRelay final : public CNotifyEvents {
public:
    void OnMouseUp(MouseButton b, Icontify& s) override {
        Add(s, "MouseUp" + std::to_string(static_cast<int>(b)));
    }
    void OnBalloonClick(Icontify& s) override { Add(s, "BalloonClick"); }
    void OnBalloonShow(Icontify& s) override { Add(s, "BalloonShow"); }
    void OnAbreTovela(Icontify& s, const std::string& t) override { Add(s, "Abre:" + t); }
    void OnUploadFile(Icontify& s, const std::string& t) override { Add(s, "Upload:" + t); }
    void OnMapiMensaje(Icontify& s, const std::string& t) override { Add(s, "Mapi:" + t); }
    void OnSettingsShowRequest(Icontify& s) override { Add(s, "Settings"); }

    void Add(Icontify& source, std::string what) {
        sources.push_back(&source);
        events.push_back(std::move(what));
        if (duringHandler) duringHandler();
    }
    std::vector<Icontify*> sources;
    std::vector<std::string> events;
    std::function<void()> duringHandler;
};

class IcontifyTest : public ::testing::Test {
protected:
    IcontifyTest() {
        item->hIcon = 0x7003;
        item->SetNotify(&notify);
    }
    MailboxSink& Window() { return windows.live.back()->sink(); }

    testing::FakeWindowSystem windows;
    testing::FakeTray tray;
    RecordingRelay relay;
    CNotify notify{relay};
    std::unique_ptr<Icontify> item = std::make_unique<Icontify>(TrayServices{windows, tray});
};

TEST_F(IcontifyTest, FirstIconizarAddsLaterOnesModifyBorraIconoRemovesOnce) {
    item->Iconizar("10:00 Meeting\r\nRoom 4");
    ASSERT_TRUE(item->IconShown());
    ASSERT_EQ(windows.live.size(), 1u);
    const std::uintptr_t window = windows.live.front()->Handle();
    item->Iconizar("10:00 Meeting\r\nStarts now");
    item->BorraIcono();
    item->DeIconizar();

    ASSERT_EQ(tray.calls.size(), 3u);
    EXPECT_EQ(tray.calls[0].message, NotifyIconMessage::Add);
    EXPECT_EQ(tray.calls[1].message, NotifyIconMessage::Modify);
    EXPECT_EQ(tray.calls[2].message, NotifyIconMessage::Delete);
    for (const auto& call : tray.calls) EXPECT_EQ(call.data.hWnd, window);
    for (int i : {0, 1}) {
        EXPECT_EQ(tray.calls[i].data.hIcon, 0x7003u);
        EXPECT_EQ(tray.calls[i].data.dwInfoFlags, NIIF_USER);
    }
    EXPECT_EQ(tray.calls[1].data.szInfo, "Starts now");
    EXPECT_TRUE(windows.live.empty());
    EXPECT_FALSE(item->IconShown());

    // Shown again later, it comes back as a new icon on a new window.
    item->Iconizar("10:00 Meeting\r\nRoom 4");
    EXPECT_EQ(tray.last().message, NotifyIconMessage::Add);
    EXPECT_NE(tray.last().data.hWnd, window);
}

// What the appointment icon's window receives, and what the form is told.
TEST_F(IcontifyTest, EventsReachTheRelayWithTheIconAsSource) {
    struct Case {
        const char* name;
        std::function<void(MailboxSink&)> deliver;
        std::string expected;  // empty: nothing reaches the form
    };
    auto shell = [](int n) {
        return [n](MailboxSink& w) { w.OnTrayCallback(static_cast<std::int16_t>(n)); };
    };
    auto copyData = [](std::uint32_t kind, std::string text) {
        return [kind, text](MailboxSink& w) { w.OnCopyData(kind, text); };
    };
    const std::vector<Case> cases = {
        {"left up", shell(0x0202), "MouseUp1"},
        {"right up", shell(0x0205), "MouseUp2"},
        {"middle up", shell(0x0208), "MouseUp4"},
        {"balloon click", shell(0x0405), "BalloonClick"},
        {"balloon shown", shell(0x0402), "BalloonShow"},
        {"left down", shell(0x0201), ""},
        {"double click", shell(0x0203), ""},
        {"right double click", shell(0x0206), ""},
        {"balloon timeout", shell(0x0404), ""},
        {"second start", copyData(1721, Base64Encode("mailto:a@b")), "Abre:mailto:a@b"},
        {"upload", copyData(1722, Base64Encode("C:\\a.txt")), "Upload:C:\\a.txt"},
        {"mail library", copyData(1723, "serialized"), "Mapi:serialized"},
        {"settings", copyData(1724, ""), "Settings"},
    };
    item->Iconizar("10:00 Meeting\r\nRoom 4");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        relay.events.clear();
        relay.sources.clear();
        c.deliver(Window());
        if (c.expected.empty()) {
            EXPECT_TRUE(relay.events.empty());
            continue;
        }
        ASSERT_EQ(relay.events, std::vector<std::string>{c.expected});
        EXPECT_EQ(relay.sources.front(), item.get());
    }
}

TEST_F(IcontifyTest, WithoutARelayEventsGoNowhere) {
    item->SetNotify(nullptr);
    item->Iconizar("10:00 Meeting\r\nRoom 4");
    Window().OnTrayCallback(0x0202);
    Window().OnCopyData(1723, std::string("serialized"));
    Window().OnCopyData(1724, std::string());
    EXPECT_TRUE(relay.events.empty());
    EXPECT_FALSE(TrayIcon::bEnProceso);
}

// The calendar menu opened from the icon may cancel the appointment and drop its object
// while the click is still being handled.
TEST_F(IcontifyTest, TheFormMayDropTheIconWhileHandlingItsEvent) {
    item->Iconizar("10:00 Meeting\r\nRoom 4");
    relay.duringHandler = [this] { item.reset(); };
    Window().OnTrayCallback(0x0205);
    EXPECT_EQ(relay.events, std::vector<std::string>{"MouseUp2"});
    EXPECT_EQ(tray.last().message, NotifyIconMessage::Delete);
    EXPECT_TRUE(tray.shown.empty());
    EXPECT_TRUE(windows.live.empty());
}

}  // namespace
}  // namespace tovela
