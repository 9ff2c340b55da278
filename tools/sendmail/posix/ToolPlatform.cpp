#include "ToolPlatform.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/posix/PosixInstance.h"

namespace tovela::sendmail {

std::vector<std::string> ToolArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

std::optional<std::string> ExistingAbsolutePath(const std::string& path) {
    std::error_code error;
    if (path.empty() || !std::filesystem::exists(path, error)) return std::nullopt;
    auto absolute = std::filesystem::absolute(path, error);
    if (error) return std::nullopt;
    return absolute.lexically_normal().string();
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::unique_ptr<SingleInstance> CreateMailboxSender() {
    return std::make_unique<posix::PosixSingleInstance>();
}

}  // namespace tovela::sendmail
