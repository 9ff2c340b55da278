#include "platform/posix/TextShellLinks.h"

#include <fstream>
#include <map>

namespace tovela::posix {
namespace {

constexpr std::int32_t kFail = static_cast<std::int32_t>(0x80004005);  // E_FAIL

class TextShellLink final : public ShellLink {
public:
    std::string GetPath() override { return Field("Target"); }
    std::int32_t SetPath(const std::string& path) override { return Set("Target", path); }
    std::string GetWorkingDirectory() override { return Field("WorkingDirectory"); }
    std::int32_t SetWorkingDirectory(const std::string& folder) override {
        return Set("WorkingDirectory", folder);
    }
    std::string GetDescription() override { return Field("Description"); }
    std::int32_t SetDescription(const std::string& text) override {
        return Set("Description", text);
    }
    std::string GetArguments() override { return Field("Arguments"); }
    std::int32_t SetArguments(const std::string& arguments) override {
        return Set("Arguments", arguments);
    }
    int GetShowCmd() override { return Number("ShowCmd"); }
    std::int32_t SetShowCmd(int showCmd) override {
        return Set("ShowCmd", std::to_string(showCmd));
    }
    std::uint16_t GetHotkey() override { return static_cast<std::uint16_t>(Number("Hotkey")); }
    std::int32_t SetHotkey(std::uint16_t hotkey) override {
        return Set("Hotkey", std::to_string(hotkey));
    }
    std::int32_t SetIconLocation(const std::string& path, int index) override {
        return Set("IconLocation", path + "," + std::to_string(index));
    }
    std::int32_t Save(const std::string& file) override {
        std::ofstream out(file, std::ios::trunc);
        for (const auto& [name, value] : fields_) out << name << "=" << value << "\n";
        return out.flush() ? 0 : kFail;
    }
    std::int32_t Load(const std::string& file) override {
        std::ifstream in(file);
        if (!in) return kFail;
        fields_.clear();
        std::string line;
        while (std::getline(in, line)) {
            const auto eq = line.find('=');
            if (eq != std::string::npos) fields_[line.substr(0, eq)] = line.substr(eq + 1);
        }
        return 0;
    }
    std::int32_t Resolve(std::uintptr_t, std::uint32_t) override { return 0; }

private:
    std::string Field(const std::string& name) const {
        auto it = fields_.find(name);
        return it == fields_.end() ? std::string() : it->second;
    }
    int Number(const std::string& name) const {
        try {
            return std::stoi(Field(name));
        } catch (const std::exception&) {
            return 0;
        }
    }
    std::int32_t Set(const std::string& name, const std::string& value) {
        // One line per field: a line break would start another.
        if (value.find_first_of("\r\n") != std::string::npos) return kFail;
        fields_[name] = value;
        return 0;
    }

    std::map<std::string, std::string> fields_;
};

}  // namespace

std::unique_ptr<ShellLink> TextShellLinks::Create() {
    return std::make_unique<TextShellLink>();
}

}  // namespace tovela::posix
