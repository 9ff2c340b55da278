#include "platform/posix/InputChannel.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <iostream>
#include <nlohmann/json.hpp>

namespace tovela::posix {
namespace {

using nlohmann::json;

// Shell notifications of the tray callback, as a mouse or a balloon produces them.
constexpr std::int16_t kLeftDown = 0x0201, kLeftUp = 0x0202, kLeftDouble = 0x0203;
constexpr std::int16_t kRightDown = 0x0204, kRightUp = 0x0205, kRightDouble = 0x0206;
constexpr std::int16_t kMiddleDown = 0x0207, kMiddleUp = 0x0208, kMiddleDouble = 0x0209;
constexpr std::int16_t kBalloonShow = 0x0402, kBalloonTimeout = 0x0404, kBalloonClick = 0x0405;

struct Buttons {
    std::int16_t down, up, twice;
};

std::optional<Buttons> ButtonNamed(const std::string& name) {
    if (name == "left") return Buttons{kLeftDown, kLeftUp, kLeftDouble};
    if (name == "right") return Buttons{kRightDown, kRightUp, kRightDouble};
    if (name == "middle") return Buttons{kMiddleDown, kMiddleUp, kMiddleDouble};
    return std::nullopt;
}

std::optional<int> AnswerNamed(const json& value) {
    if (value.is_number_integer()) return value.get<int>();
    if (!value.is_string()) return std::nullopt;
    static const std::array<std::pair<const char*, int>, 9> kNames = {{{"ok", 1},
                                                                       {"cancel", 2},
                                                                       {"abort", 3},
                                                                       {"retry", 4},
                                                                       {"ignore", 5},
                                                                       {"yes", 6},
                                                                       {"no", 7},
                                                                       {"tryagain", 10},
                                                                       {"continue", 11}}};
    for (const auto& [name, id] : kNames) {
        if (value.get<std::string>() == name) return id;
    }
    return std::nullopt;
}

bool IsTextBox(ControlId id) {
    return id == ControlId::txtTovelaHost || id == ControlId::txtUsuario ||
           id == ControlId::txtPassword || id == ControlId::txtFilters;
}

int CheckValue(const SettingsWindowModel& m, ControlId id) {
    switch (id) {
        case ControlId::chkSSL:
            return m.chkSSL.value;
        case ControlId::chkGuardaPassword:
            return m.chkGuardaPassword.value;
        case ControlId::chkWebmailLogin:
            return m.chkWebmailLogin.value;
        case ControlId::chkVentana:
            return m.chkVentana.value;
        case ControlId::chkSonido:
            return m.chkSonido.value;
        default:
            return -1;
    }
}

}  // namespace

InputChannel::InputChannel(EventLoop& loop, int fd, PosixWindowSystem& windows,
                           JsonFormWindow& form, ScriptedAnswers& answers)
    : loop_(loop), fd_(fd), windows_(windows), form_(form), answers_(answers) {
    if (fd_ >= 0) loop_.Watch(fd_, [this] { ReadAvailable(); });
}

InputChannel::~InputChannel() {
    Stop();
}

void InputChannel::Stop() {
    if (fd_ < 0) return;
    loop_.Unwatch(fd_);
    fd_ = -1;
}

void InputChannel::ReadAvailable() {
    char buffer[4096];
    const ssize_t n = read(fd_, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (n <= 0) {
        // The script is done; the program goes on without it.
        Stop();
        return;
    }
    pending_.append(buffer, static_cast<std::size_t>(n));
    for (std::size_t end = pending_.find('\n'); end != std::string::npos;
         end = pending_.find('\n')) {
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (!Execute(line)) std::cerr << "tovela-notifier: not a command: " << line << std::endl;
    }
}

bool InputChannel::Execute(const std::string& line) {
    const json command = json::parse(line, nullptr, false);
    if (!command.is_object() || !command.contains("do") || !command["do"].is_string()) return false;
    const std::string verb = command["do"];
    const auto text = [&](const char* key) {
        return command.contains(key) && command[key].is_string() ? command[key].get<std::string>()
                                                                 : std::string();
    };

    if (verb == "answer") {
        const auto button =
            command.contains("button") ? AnswerNamed(command["button"]) : std::nullopt;
        if (!button) return false;
        answers_.QueueBox({*button, command.value("dontAskAgain", false)});
        return true;
    }
    if (verb == "menu") {
        if (text("item").empty()) return false;
        answers_.QueueMenuPick(text("item"));
        return true;
    }

    // The tray: the main icon unless a window handle says which.
    if ((verb == "click" && !command.contains("control")) || verb == "dblclick" ||
        verb == "balloonClick" || verb == "balloonShow" || verb == "balloonTimeout") {
        std::uintptr_t handle = windows_.FirstWindow();
        if (command.contains("hwnd")) {
            if (!command["hwnd"].is_number_unsigned()) return false;
            handle = command["hwnd"].get<std::uintptr_t>();
        }
        MailboxSink* sink = windows_.FindWindow(handle);
        if (!sink) return false;
        if (verb == "balloonClick") {
            sink->OnTrayCallback(kBalloonClick);
        } else if (verb == "balloonShow") {
            sink->OnTrayCallback(kBalloonShow);
        } else if (verb == "balloonTimeout") {
            sink->OnTrayCallback(kBalloonTimeout);
        } else {
            const auto buttons = ButtonNamed(command.value("button", std::string("left")));
            if (!buttons) return false;
            // The order a real mouse gives the shell.
            sink->OnTrayCallback(buttons->down);
            sink->OnTrayCallback(buttons->up);
            if (verb == "dblclick") {
                sink->OnTrayCallback(buttons->twice);
                sink->OnTrayCallback(buttons->up);
            }
        }
        return true;
    }

    // The settings window.
    FormWindowEvents* events = form_.Events();
    if (!events) return false;
    if (verb == "activate") {
        events->OnActivated();
        return true;
    }
    if (verb == "close") {
        events->OnButtonClicked(ControlId::cmdCerrar);
        return true;
    }
    if (verb == "key") {
        const std::string key = text("key");
        if (key == "enter") {
            events->OnButtonClicked(ControlId::cmdAceptar);
        } else if (key == "escape") {
            events->OnButtonClicked(ControlId::cmdCerrar);
        } else {
            return false;
        }
        return true;
    }
    const ControlId control = ControlFromName(text("control"));
    if (control == ControlId::None) return false;
    // A click or typing goes to a control of a window on screen, after the focus moved there.
    if (!form_.Shown().visible) return false;
    if (verb == "focus") {
        events->OnFocusChanged(control);
        return true;
    }
    if (verb == "type") {
        if (!IsTextBox(control) || !command.contains("text") || !command["text"].is_string()) {
            return false;
        }
        if (events->OnFocusChanged(control)) events->OnTextChanged(control, text("text"));
        return true;
    }
    if (verb == "click") {
        if (!events->OnFocusChanged(control)) return true;
        if (control == ControlId::optBlackList || control == ControlId::optWhiteList) {
            events->OnOptionClicked(control);
        } else if (control == ControlId::cmdAceptar || control == ControlId::cmdCerrar) {
            events->OnButtonClicked(control);
        } else if (const int value = CheckValue(form_.Shown(), control); value >= 0) {
            events->OnCheckClicked(control, value == 1 ? 0 : 1);
        }
        return true;
    }
    return false;
}

}  // namespace tovela::posix
