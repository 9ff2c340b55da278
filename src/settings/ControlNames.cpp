#include <array>
#include <utility>

#include "platform/SettingsWindowModel.h"

namespace tovela {
namespace {

constexpr std::array<std::pair<ControlId, std::string_view>, 13> kNames = {{
    {ControlId::txtTovelaHost, "txtTovelaHost"},
    {ControlId::txtUsuario, "txtUsuario"},
    {ControlId::txtPassword, "txtPassword"},
    {ControlId::txtFilters, "txtFilters"},
    {ControlId::chkSSL, "chkSSL"},
    {ControlId::chkGuardaPassword, "chkGuardaPassword"},
    {ControlId::chkWebmailLogin, "chkWebmailLogin"},
    {ControlId::chkVentana, "chkVentana"},
    {ControlId::chkSonido, "chkSonido"},
    {ControlId::optBlackList, "optBlackList"},
    {ControlId::optWhiteList, "optWhiteList"},
    {ControlId::cmdAceptar, "cmdAceptar"},
    {ControlId::cmdCerrar, "cmdCerrar"},
}};

}  // namespace

std::string_view ControlName(ControlId id) {
    for (const auto& [control, name] : kNames) {
        if (control == id) return name;
    }
    return {};
}

ControlId ControlFromName(std::string_view name) {
    for (const auto& [control, known] : kNames) {
        if (known == name) return control;
    }
    return ControlId::None;
}

}  // namespace tovela
