#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/Desktop.h"

namespace tovela::testing {

// Records message boxes, sounds and beeps; files exist when a test says so.
class FakeDesktop final : public Desktop {
public:
    struct Box {
        std::string text;
        std::string caption;
        std::uint32_t style;
    };

    int MessageBox(const std::string& text, const std::string& caption,
                   std::uint32_t style) override {
        boxes.push_back({text, caption, style});
        // What the user does while the box is up (timers, tray clicks).
        if (whileBoxIsShown) whileBoxIsShown();
        if (answers.empty()) return defaultAnswer;
        int answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
    bool PlaySoundFile(const std::string& path) override {
        sounds.push_back(path);
        return FileExists(path);
    }
    void Beep() override { ++beeps; }
    bool FileExists(const std::string& path) override { return files.contains(path); }
    std::string ProgramFolder() override { return programFolder; }
    std::uintptr_t IconHandle(ProgramIcon icon) override {
        return 0x7001 + static_cast<std::uintptr_t>(icon);
    }
    void FixTrayTooltipsZOrder() override { ++tooltipFixes; }

    std::vector<Box> boxes;
    std::vector<int> answers;  // given in order, then defaultAnswer
    int defaultAnswer = 1;     // IDOK
    std::function<void()> whileBoxIsShown;
    std::vector<std::string> sounds;
    int beeps = 0;
    std::set<std::string> files;
    std::string programFolder = "/opt/tovela/";
    int tooltipFixes = 0;
};

}  // namespace tovela::testing
