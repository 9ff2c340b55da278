#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "platform/NotifyIcon.h"

namespace tovela::testing {

// A notification area that records every call and keeps the icons it would show.
class FakeTray final : public NotifyIconService {
public:
    struct Call {
        NotifyIconMessage message;
        NotifyIconData data;
    };

    bool Shell_NotifyIcon(NotifyIconMessage message, const NotifyIconData& data) override {
        calls.push_back({message, data});
        switch (message) {
            case NotifyIconMessage::Add:
                shown[data.hWnd] = data;
                break;
            case NotifyIconMessage::Modify:
                if (auto it = shown.find(data.hWnd); it != shown.end()) it->second = data;
                break;
            case NotifyIconMessage::Delete:
                shown.erase(data.hWnd);
                break;
        }
        return result;
    }

    const Call& last() const { return calls.back(); }

    std::vector<Call> calls;
    // The icons on display, by window (each window has one icon, uID 1).
    std::map<std::uintptr_t, NotifyIconData> shown;
    bool result = true;
};

}  // namespace tovela::testing
