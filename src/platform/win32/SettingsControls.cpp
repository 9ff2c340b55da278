#include "platform/win32/SettingsControls.h"

namespace tovela::win32 {
namespace {

constexpr int kIdOk = 1;      // IDOK: Enter anywhere in the window presses it
constexpr int kIdCancel = 2;  // IDCANCEL: Escape presses it
constexpr int kFirstId = 1000;

constexpr ControlEntry Entry(Slot slot, ControlId id, ControlKind kind) {
    return {slot, id, kind, kFirstId + static_cast<int>(slot)};
}

constexpr std::array<ControlEntry, kSlotCount> kEntries = {{
    Entry(Slot::lblServer, ControlId::None, ControlKind::Label),
    Entry(Slot::txtTovelaHost, ControlId::txtTovelaHost, ControlKind::Edit),
    Entry(Slot::lblUsername, ControlId::None, ControlKind::Label),
    Entry(Slot::txtUsuario, ControlId::txtUsuario, ControlKind::Edit),
    Entry(Slot::lblPassword, ControlId::None, ControlKind::Label),
    Entry(Slot::txtPassword, ControlId::txtPassword, ControlKind::Password),
    Entry(Slot::lblTitleMailPollInterval, ControlId::None, ControlKind::Label),
    Entry(Slot::lblMailPollInterval, ControlId::None, ControlKind::Label),
    Entry(Slot::chkGuardaPassword, ControlId::chkGuardaPassword, ControlKind::Check),
    Entry(Slot::chkSSL, ControlId::chkSSL, ControlKind::Check),
    Entry(Slot::chkWebmailLogin, ControlId::chkWebmailLogin, ControlKind::Check),
    Entry(Slot::chkVentana, ControlId::chkVentana, ControlKind::Check),
    Entry(Slot::chkSonido, ControlId::chkSonido, ControlKind::Check),
    Entry(Slot::fraFilters, ControlId::None, ControlKind::Frame),
    Entry(Slot::optBlackList, ControlId::optBlackList, ControlKind::Option),
    Entry(Slot::optWhiteList, ControlId::optWhiteList, ControlKind::Option),
    Entry(Slot::lblTitleFilters, ControlId::None, ControlKind::Label),
    Entry(Slot::txtFilters, ControlId::txtFilters, ControlKind::Edit),
    {Slot::cmdAceptar, ControlId::cmdAceptar, ControlKind::Button, kIdOk},
    {Slot::cmdCerrar, ControlId::cmdCerrar, ControlKind::Button, kIdCancel},
}};

ControlState OfLabel(const Label& label) {
    return {.text = label.caption, .tip = label.tip, .enabled = label.enabled};
}

ControlState OfBox(const TextBox& box) {
    return {.text = box.text,
            .tip = box.tip,
            .enabled = box.enabled,
            .selStart = box.selStart,
            .selLength = box.selLength};
}

ControlState OfCheck(const CheckBox& box) {
    return {.text = box.caption, .tip = box.tip, .enabled = box.enabled, .check = box.value};
}

ControlState InFrame(ControlState state, const Frame& frame) {
    state.enabled = state.enabled && frame.enabled;
    return state;
}

}  // namespace

const std::array<ControlEntry, kSlotCount>& ControlTable() {
    return kEntries;
}

const ControlEntry& EntryOf(Slot slot) {
    return kEntries[static_cast<std::size_t>(slot)];
}

const ControlEntry* FindEntry(ControlId id) {
    if (id == ControlId::None) return nullptr;
    for (const ControlEntry& entry : kEntries) {
        if (entry.id == id) return &entry;
    }
    return nullptr;
}

const ControlEntry* FindEntryByDialogId(int dialogId) {
    for (const ControlEntry& entry : kEntries) {
        if (entry.dialogId == dialogId) return &entry;
    }
    return nullptr;
}

ControlState Describe(const SettingsWindowModel& m, Slot slot) {
    switch (slot) {
        case Slot::lblServer:
            return OfLabel(m.lblServer);
        case Slot::txtTovelaHost:
            return OfBox(m.txtTovelaHost);
        case Slot::lblUsername:
            return OfLabel(m.lblUsername);
        case Slot::txtUsuario:
            return OfBox(m.txtUsuario);
        case Slot::lblPassword:
            return OfLabel(m.lblPassword);
        case Slot::txtPassword:
            return OfBox(m.txtPassword);
        case Slot::lblTitleMailPollInterval:
            return OfLabel(m.lblTitleMailPollInterval);
        case Slot::lblMailPollInterval:
            return OfLabel(m.lblMailPollInterval);
        case Slot::chkGuardaPassword:
            return OfCheck(m.chkGuardaPassword);
        case Slot::chkSSL:
            return OfCheck(m.chkSSL);
        case Slot::chkWebmailLogin:
            return OfCheck(m.chkWebmailLogin);
        case Slot::chkVentana:
            return OfCheck(m.chkVentana);
        case Slot::chkSonido:
            return OfCheck(m.chkSonido);
        case Slot::fraFilters:
            return {.text = m.fraFilters.caption, .enabled = m.fraFilters.enabled};
        case Slot::optBlackList:
            return InFrame({.text = m.optBlackList.caption,
                            .enabled = m.optBlackList.enabled,
                            .check = m.optBlackList.value ? kChecked : kUnchecked},
                           m.fraFilters);
        case Slot::optWhiteList:
            return InFrame({.text = m.optWhiteList.caption,
                            .enabled = m.optWhiteList.enabled,
                            .check = m.optWhiteList.value ? kChecked : kUnchecked},
                           m.fraFilters);
        case Slot::lblTitleFilters:
            return InFrame(OfLabel(m.lblTitleFilters), m.fraFilters);
        case Slot::txtFilters:
            return InFrame(OfBox(m.txtFilters), m.fraFilters);
        case Slot::cmdAceptar:
            return {.text = m.cmdAceptar.caption, .enabled = m.cmdAceptar.enabled};
        case Slot::cmdCerrar:
            return {.text = m.cmdCerrar.caption, .enabled = m.cmdCerrar.enabled};
    }
    return {};
}

}  // namespace tovela::win32
