#include "notify/TrayMenus.h"

#include "submit/Utf16.h"

namespace tovela {
namespace {

MenuItem Item(MenuCommand command, const char* name, const MenuEntry& entry,
              bool isDefault = false) {
    MenuItem item;
    item.command = static_cast<int>(command);
    item.name = name;
    item.caption = entry.caption;
    item.enabled = entry.enabled;
    item.checked = entry.checked;
    item.isDefault = isDefault;
    return item;
}

MenuItem Separator() {
    MenuItem item;
    item.separator = true;
    return item;
}

}  // namespace

void PrepareTrayMenu(TrayMenus& menus, bool hasSession) {
    menus.mnuPopAbrirTovela.enabled = hasSession;
    menus.mnuPopComprobar.enabled = hasSession;
}

void PrepareCalendarMenu(TrayMenus& menus, const Appointment& a, std::int64_t now) {
    const bool organiser = a.sIsOrg == "1";
    menus.mnuCalTerminada.enabled = a.sAllDay != "1" && organiser && a.dStart <= now;
    menus.mnuCalEliminar.enabled = organiser;
    menus.mnuCalNotificar.checked = a.bNotify;
    // The dots always follow, so a short title looks like a cut one.
    menus.mnuCalCaption.caption = LeftUtf16(a.sName, 30) + "...";
    menus.mnuCalWhen.caption = "いつ: " + a.sWhen;
}

std::vector<MenuItem> TrayMenuItems(const TrayMenus& m) {
    MenuItem setup = Item(MenuCommand::None, "mnuPopWinSetup", m.mnuPopWinSetup);
    setup.submenu = {
        Item(MenuCommand::mnuPopWinSetupMailtoHandler, "mnuPopWinSetupMailtoHandler",
             m.mnuPopWinSetupMailtoHandler),
        Item(MenuCommand::mnuPopWinSetupAutoRun, "mnuPopWinSetupAutoRun", m.mnuPopWinSetupAutoRun),
    };
    return {
        Item(MenuCommand::mnuPopAbrirTovela, "mnuPopAbrirTovela", m.mnuPopAbrirTovela, true),
        Item(MenuCommand::mnuPopComprobar, "mnuPopComprobar", m.mnuPopComprobar),
        Item(MenuCommand::mnuPopConf, "mnuPopConf", m.mnuPopConf),
        setup,
        Separator(),
        Item(MenuCommand::mnuPopAbout, "mnuPopAbout", m.mnuPopAbout),
        Item(MenuCommand::mnuPopSalir, "mnuPopSalir", m.mnuPopSalir),
    };
}

std::vector<MenuItem> CalendarMenuItems(const TrayMenus& m) {
    std::vector<MenuItem> items = {
        Item(MenuCommand::mnuCalCaption, "mnuCalCaption", m.mnuCalCaption),
        Item(MenuCommand::mnuCalWhen, "mnuCalWhen", m.mnuCalWhen),
        Separator(),
        Item(MenuCommand::mnuCalAbrirTovela, "mnuCalAbrirTovela", m.mnuCalAbrirTovela),
        Item(MenuCommand::mnuCalEliminar, "mnuCalEliminar", m.mnuCalEliminar),
    };
    if (m.mnuCalTerminada.visible) {
        items.push_back(Item(MenuCommand::mnuCalTerminada, "mnuCalTerminada", m.mnuCalTerminada));
    }
    items.push_back(Item(MenuCommand::mnuCalNotificar, "mnuCalNotificar", m.mnuCalNotificar));
    return items;
}

}  // namespace tovela
