#include "integration/cShellLink.h"

namespace tovela {
namespace {

int Result(std::int32_t hr) {
    return hr >= 0 ? 0 : hr;
}

}  // namespace

ShellLink* cShellLink::Link() {
    if (!link_) link_ = factory_.Create();
    return link_.get();
}

std::string cShellLink::Path() {
    return Link() ? link_->GetPath() : std::string();
}
int cShellLink::SetPath(const std::string& path) {
    return Link() ? Result(link_->SetPath(path)) : kNoLink;
}
std::string cShellLink::WorkingDirectory() {
    return Link() ? link_->GetWorkingDirectory() : std::string();
}
int cShellLink::SetWorkingDirectory(const std::string& folder) {
    return Link() ? Result(link_->SetWorkingDirectory(folder)) : kNoLink;
}
std::string cShellLink::Description() {
    return Link() ? link_->GetDescription() : std::string();
}
int cShellLink::SetDescription(const std::string& text) {
    return Link() ? Result(link_->SetDescription(text)) : kNoLink;
}
std::string cShellLink::Arguments() {
    return Link() ? link_->GetArguments() : std::string();
}
int cShellLink::SetArguments(const std::string& arguments) {
    return Link() ? Result(link_->SetArguments(arguments)) : kNoLink;
}
int cShellLink::DisplayMode() {
    return Link() ? link_->GetShowCmd() : 0;
}
int cShellLink::SetDisplayMode(int showCmd) {
    return Link() ? Result(link_->SetShowCmd(showCmd)) : kNoLink;
}
std::uint16_t cShellLink::HotKey() {
    return Link() ? link_->GetHotkey() : std::uint16_t{0};
}
int cShellLink::SetHotKey(std::uint16_t hotkey) {
    return Link() ? Result(link_->SetHotkey(hotkey)) : kNoLink;
}
int cShellLink::SetIcon(int index) {
    return Link() ? Result(link_->SetIconLocation(link_->GetPath(), index)) : kNoLink;
}
int cShellLink::SetIcon(const std::string& file) {
    return Link() ? Result(link_->SetIconLocation(file, 0)) : kNoLink;
}

int cShellLink::Save(const std::string& linkFile) {
    if (linkFile.empty()) return kFileNotFound;
    return Link() ? Result(link_->Save(linkFile)) : kNoLink;
}

int cShellLink::Resolve(const std::string& linkFile, std::uint32_t flags, std::uintptr_t window,
                        int) {
    if (!Link()) return kNoLink;
    if (const int loaded = Result(link_->Load(linkFile)); loaded != 0) return loaded;
    return Result(link_->Resolve(window, flags));
}

}  // namespace tovela
