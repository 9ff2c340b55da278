#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/FormWindow.h"
#include "session/Appointment.h"

namespace tovela {

// One entry of a pop-up menu, as the menu code reads and writes it before popping up.
struct MenuEntry {
    std::string caption{};
    bool checked = false;
    bool enabled = true;
    bool visible = true;
};

// What picking an entry asks for; the values are what the pop-up menu returns.
enum class MenuCommand : int {
    None = 0,
    mnuPopAbrirTovela,
    mnuPopComprobar,
    mnuPopConf,
    mnuPopWinSetupMailtoHandler,
    mnuPopWinSetupAutoRun,
    mnuPopAbout,
    mnuPopSalir,
    mnuCalCaption,
    mnuCalWhen,
    mnuCalAbrirTovela,
    mnuCalEliminar,
    mnuCalTerminada,
    mnuCalNotificar,
};

// The tray menu and the calendar menu. Captions start as the design texts; the interface
// texts replace them at start-up. Separators carry no state and are left out.
struct TrayMenus {
    // Tray menu, opened by a right click on the main icon.
    MenuEntry mnuPopAbrirTovela{.caption = "Abrir &Tovela"};
    MenuEntry mnuPopComprobar{.caption = "Co&mprobar ahora"};
    MenuEntry mnuPopConf{.caption = "&Configurar"};
    MenuEntry mnuPopWinSetup{.caption = "Integracion con Windows..."};
    MenuEntry mnuPopWinSetupMailtoHandler{.caption = "mailto: handler"};
    MenuEntry mnuPopWinSetupAutoRun{.caption = "Inicio automático"};
    MenuEntry mnuPopAbout{.caption = "About..."};
    MenuEntry mnuPopSalir{.caption = "&Salir"};

    // Calendar menu, opened from an appointment icon. The caption and time entries are
    // labels filled when the menu opens; the done entry is never shown.
    MenuEntry mnuCalCaption{.caption = "Nombre del Appointment"};
    MenuEntry mnuCalWhen{.caption = "Cuando ..."};
    MenuEntry mnuCalAbrirTovela{.caption = "Abrir &Tovela"};
    MenuEntry mnuCalEliminar{.caption = "Eliminar"};
    MenuEntry mnuCalTerminada{.caption = "Terminada", .visible = false};
    MenuEntry mnuCalNotificar{.caption = "Notificar esta cita"};
};

// Before the tray menu opens: checking and opening webmail need a session.
void PrepareTrayMenu(TrayMenus& menus, bool hasSession);

// Before the calendar menu opens for `appointment` (local seconds `now`): what it offers
// depends on who organises it and when it starts; its title and time head the menu.
void PrepareCalendarMenu(TrayMenus& menus, const Appointment& appointment, std::int64_t now);

// The menus as they pop up, in their order, with their separators and the default entry.
std::vector<MenuItem> TrayMenuItems(const TrayMenus& menus);
std::vector<MenuItem> CalendarMenuItems(const TrayMenus& menus);

}  // namespace tovela
