#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "platform/SettingsWindowModel.h"

namespace tovela::win32 {

// The child windows of the settings window, in creation order, which is also the tab
// order: each label comes right before the box it names, so its mnemonic reaches the box.
enum class Slot {
    lblServer,
    txtTovelaHost,
    lblUsername,
    txtUsuario,
    lblPassword,
    txtPassword,
    lblTitleMailPollInterval,
    lblMailPollInterval,
    chkGuardaPassword,
    chkSSL,
    chkWebmailLogin,
    chkVentana,
    chkSonido,
    fraFilters,
    optBlackList,
    optWhiteList,
    lblTitleFilters,
    txtFilters,
    cmdAceptar,
    cmdCerrar,
};
inline constexpr std::size_t kSlotCount = static_cast<std::size_t>(Slot::cmdCerrar) + 1;

enum class ControlKind { Label, Edit, Password, Check, Option, Frame, Button };

struct ControlEntry {
    Slot slot;
    ControlId id;  // None for the controls code never addresses by id
    ControlKind kind;
    int dialogId;  // the child window id; the buttons keep the dialog manager's IDOK/IDCANCEL
};

const std::array<ControlEntry, kSlotCount>& ControlTable();
const ControlEntry& EntryOf(Slot slot);
// Nullptr for an id that has no child window of its own.
const ControlEntry* FindEntry(ControlId id);
const ControlEntry* FindEntryByDialogId(int dialogId);

// What one control shows for a model: its text or caption, tip, enabled state, check value
// (check boxes and options) and selection (text boxes).
struct ControlState {
    std::string text{};
    std::string tip{};
    bool enabled = true;
    int check = 0;
    std::size_t selStart = 0;
    std::size_t selLength = 0;
};

// The controls inside the filter frame are usable only while the frame is, as children of
// a frame are.
ControlState Describe(const SettingsWindowModel& model, Slot slot);

}  // namespace tovela::win32
