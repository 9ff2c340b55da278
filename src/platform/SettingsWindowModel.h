#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tovela {

// The controls of the settings window that code reads or writes. Focus and activation
// are tracked by id so the back end can mirror them onto real windows.
enum class ControlId {
    None,
    txtTovelaHost,
    txtUsuario,
    txtPassword,
    txtFilters,
    chkSSL,
    chkGuardaPassword,
    chkWebmailLogin,
    chkVentana,
    chkSonido,
    optBlackList,
    optWhiteList,
    cmdAceptar,
    cmdCerrar,
};

// The control's own name ("txtTovelaHost"); empty for None.
std::string_view ControlName(ControlId id);
// The control of that name, None for a name no control has.
ControlId ControlFromName(std::string_view name);

enum class WindowState { Normal, Minimized };

// Check box values as the classic controls store them.
inline constexpr int kUnchecked = 0;
inline constexpr int kChecked = 1;
inline constexpr int kGrayed = 2;

struct TextBox {
    std::string text{};
    std::string tip{};
    bool enabled = true;
    // Selection in UTF-16 code units, the unit of the platform's edit control.
    std::size_t selStart = 0;
    std::size_t selLength = 0;
};

// The password box also remembers whether its text changed since the password was last
// taken out of it, so leaving the box untouched keeps the password already held.
struct PasswordBox : TextBox {
    bool changedMark = false;
};

struct CheckBox {
    std::string caption{};
    std::string tip{};
    int value = kUnchecked;
    bool enabled = true;
};

struct OptionButton {
    std::string caption{};
    bool value = false;
    bool enabled = true;
};

struct Label {
    std::string caption{};
    std::string tip{};
    bool enabled = true;
};

struct Frame {
    std::string caption{};
    bool enabled = true;
};

struct Button {
    std::string caption{};
    bool enabled = true;
};

// The window as designed. The form is loaded visible at start-up and hidden once the
// settings are known to work. Captions are the design texts until the interface texts
// are applied.
struct SettingsWindowModel {
    std::string caption{};
    // The dialog font every control uses; empty until the interface texts set it.
    std::string fontName{};
    int fontCharset = 0;
    bool visible = true;
    // The hourglass pointer while the server is being asked.
    bool busyPointer = false;
    WindowState windowState = WindowState::Normal;
    ControlId focused = ControlId::None;
    ControlId active = ControlId::None;

    Label lblServer{.caption = "Servidor:"};
    TextBox txtTovelaHost;
    Label lblUsername{.caption = "Usuario:"};
    TextBox txtUsuario;
    Label lblPassword{.caption = "Password:"};
    PasswordBox txtPassword;
    CheckBox chkGuardaPassword{.caption = "Guardar password"};
    CheckBox chkSSL{.caption = "Conexion segura"};
    CheckBox chkWebmailLogin{.caption = "Webmail Login"};
    Label lblTitleMailPollInterval{.caption = "Intervalo (seg):"};
    Label lblMailPollInterval;
    CheckBox chkVentana{.caption = "Avisar con ventana"};
    CheckBox chkSonido{.caption = "Avisar con sonido"};
    Frame fraFilters{.caption = "Filtros"};
    OptionButton optBlackList{.caption = "No notificar...", .value = true};
    OptionButton optWhiteList{.caption = "Notificar..."};
    Label lblTitleFilters{.caption = "Si contiene:"};
    TextBox txtFilters;
    Button cmdAceptar{.caption = "&Aceptar"};
    Button cmdCerrar{.caption = "&Cerrar"};
};

}  // namespace tovela
