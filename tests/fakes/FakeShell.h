#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/DesktopWindows.h"
#include "platform/Shell.h"

namespace tovela::testing {

class FakeShell final : public Shell {
public:
    void ShellOpen(const std::string& file, const std::string& params) override {
        opened.push_back(params.empty() ? file : file + " " + params);
    }
    std::vector<std::string> opened;
};

// A desktop of windows a test lays out: each with a class, a title and a parent.
class FakeDesktopWindows final : public DesktopWindows {
public:
    struct Window {
        std::string className, title;
        std::uintptr_t parent = 0;
    };
    // Adds a window after the existing ones (the search order); its handle.
    std::uintptr_t Add(std::string className, std::string title, std::uintptr_t parent = 0) {
        windows.push_back({std::move(className), std::move(title), parent});
        return windows.size();
    }

    std::uintptr_t NextWindow(std::uintptr_t parent, std::uintptr_t after,
                              const std::string& className) override {
        for (std::uintptr_t h = after + 1; h <= windows.size(); ++h) {
            const Window& w = windows[h - 1];
            if (w.parent == parent && (className.empty() || w.className == className)) return h;
        }
        return 0;
    }
    std::uintptr_t FirstChild(std::uintptr_t window) override { return NextWindow(window, 0, ""); }
    std::string WindowText(std::uintptr_t window) override { return At(window).title; }
    std::string ClassName(std::uintptr_t window) override { return At(window).className; }
    void BringToFront(std::uintptr_t window) override { broughtToFront.push_back(window); }

    std::vector<Window> windows;
    std::vector<std::uintptr_t> broughtToFront;

private:
    const Window& At(std::uintptr_t h) const {
        static const Window none;
        return h >= 1 && h <= windows.size() ? windows[h - 1] : none;
    }
};

}  // namespace tovela::testing
