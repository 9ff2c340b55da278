#include "platform/posix/JsonFormWindow.h"

#include "platform/posix/InputChannel.h"

namespace tovela::posix {
namespace {

constexpr std::string_view kRememberedApp = "NotificadorTovela";
constexpr std::string_view kRememberedSection = "DontShowMeThisDialogAgain";

class JsonObject {
public:
    JsonObject& Add(std::string_view key, const JsonLine& value) {
        line_.Raw(key, value.str());
        return *this;
    }
    const JsonLine& line() const { return line_; }

private:
    JsonLine line_;
};

JsonLine Common(JsonLine line, std::string_view caption, std::string_view tip, bool enabled) {
    if (!caption.empty()) line.Text("caption", caption);
    if (!tip.empty()) line.Text("tip", tip);
    return line.Bool("enabled", enabled);
}

JsonLine Box(const TextBox& box) {
    return Common(JsonLine().Text("text", box.text), "", box.tip, box.enabled);
}

JsonLine Check(const CheckBox& box) {
    return Common(JsonLine().Number("value", box.value), box.caption, box.tip, box.enabled);
}

JsonLine Option(const OptionButton& option) {
    return Common(JsonLine().Bool("value", option.value), option.caption, "", option.enabled);
}

std::string MenuItemsJson(const std::vector<MenuItem>& items) {
    std::string out = "[";
    for (const MenuItem& item : items) {
        if (out.size() > 1) out += ',';
        JsonLine line;
        if (item.separator) {
            line.Bool("separator", true);
        } else {
            line.Text("name", item.name)
                .Text("caption", item.caption)
                .Bool("enabled", item.enabled);
            if (item.checked) line.Bool("checked", true);
            if (item.isDefault) line.Bool("default", true);
            if (!item.submenu.empty()) line.Raw("submenu", MenuItemsJson(item.submenu));
        }
        out += line.str();
    }
    return out + "]";
}

// The enabled command of that name, anywhere in the menu; 0 when there is none (a user
// cannot pick a greyed entry).
int CommandNamed(const std::vector<MenuItem>& items, const std::string& name) {
    for (const MenuItem& item : items) {
        if (!item.enabled || item.separator) continue;
        if (item.name == name && item.command != 0) return item.command;
        if (int command = CommandNamed(item.submenu, name)) return command;
    }
    return 0;
}

}  // namespace

JsonFormWindow::JsonFormWindow(std::ostream& out, ScriptedAnswers& answers,
                               std::unique_ptr<SettingsStore> remembered)
    : out_(out), answers_(answers), remembered_(std::move(remembered)) {}

JsonFormWindow::~JsonFormWindow() = default;

void JsonFormWindow::ListenForInput(EventLoop& loop, int fd, PosixWindowSystem& windows) {
    input_ = std::make_unique<InputChannel>(loop, fd, windows, *this, answers_);
}

std::string JsonFormWindow::StateLine(const SettingsWindowModel& m) {
    JsonObject controls;
    controls.Add("lblServer", Common(JsonLine(), m.lblServer.caption, "", m.lblServer.enabled))
        .Add("txtTovelaHost", Box(m.txtTovelaHost))
        .Add("lblUsername", Common(JsonLine(), m.lblUsername.caption, "", m.lblUsername.enabled))
        .Add("txtUsuario", Box(m.txtUsuario))
        .Add("lblPassword", Common(JsonLine(), m.lblPassword.caption, "", m.lblPassword.enabled))
        // Whether something is in the box, never what.
        .Add("txtPassword", Common(JsonLine().Bool("filled", !m.txtPassword.text.empty()), "",
                                   m.txtPassword.tip, m.txtPassword.enabled))
        .Add("chkGuardaPassword", Check(m.chkGuardaPassword))
        .Add("chkSSL", Check(m.chkSSL))
        .Add("chkWebmailLogin", Check(m.chkWebmailLogin))
        .Add("lblTitleMailPollInterval", Common(JsonLine(), m.lblTitleMailPollInterval.caption, "",
                                                m.lblTitleMailPollInterval.enabled))
        .Add("lblMailPollInterval",
             Common(JsonLine(), m.lblMailPollInterval.caption, m.lblMailPollInterval.tip,
                    m.lblMailPollInterval.enabled))
        .Add("chkVentana", Check(m.chkVentana))
        .Add("chkSonido", Check(m.chkSonido))
        .Add("fraFilters", Common(JsonLine(), m.fraFilters.caption, "", m.fraFilters.enabled))
        .Add("optBlackList", Option(m.optBlackList))
        .Add("optWhiteList", Option(m.optWhiteList))
        .Add("lblTitleFilters",
             Common(JsonLine(), m.lblTitleFilters.caption, "", m.lblTitleFilters.enabled))
        .Add("txtFilters", Box(m.txtFilters))
        .Add("cmdAceptar", Common(JsonLine(), m.cmdAceptar.caption, "", m.cmdAceptar.enabled))
        .Add("cmdCerrar", Common(JsonLine(), m.cmdCerrar.caption, "", m.cmdCerrar.enabled));
    return JsonLine()
        .Text("event", "settingsWindow")
        .Bool("visible", m.visible)
        .Text("caption", m.caption)
        .Bool("busy", m.busyPointer)
        .Text("focus", ControlName(m.focused))
        .Text("font", m.fontName)
        .Number("charset", m.fontCharset)
        .Raw("controls", controls.line().str())
        .str();
}

void JsonFormWindow::Render(const SettingsWindowModel& model) {
    shown_ = model;
    std::string line = StateLine(model);
    if (line == lastLine_) return;
    out_ << line << '\n' << std::flush;
    lastLine_ = std::move(line);
}

int JsonFormWindow::TrackPopupMenu(const std::vector<MenuItem>& items) {
    const std::optional<std::string> pick = answers_.NextMenuPick();
    const int command = pick ? CommandNamed(items, *pick) : 0;
    JsonLine line;
    line.Text("event", "menu").Raw("items", MenuItemsJson(items));
    line.Text("picked", command != 0 ? *pick : std::string());
    WriteJsonLine(out_, line);
    return command;
}

int JsonFormWindow::MessageBoxCheck(const std::string& text, const std::string& caption,
                                    std::uint32_t style, int defaultAnswer,
                                    const std::string& valueName) {
    // The user said not to ask again: nothing is shown and the call gives its default, as
    // SHMessageBoxCheck does.
    if (remembered_->GetSetting(kRememberedApp, kRememberedSection, valueName)) {
        return defaultAnswer;
    }
    const auto scripted = answers_.NextBox();
    const int answer = scripted ? scripted->button : JsonDesktop::DefaultAnswer(style);
    const bool keep = scripted && scripted->dontAskAgain;
    WriteJsonLine(out_, JsonLine()
                            .Text("event", "messageBox")
                            .Text("text", text)
                            .Text("caption", caption)
                            .Number("style", style)
                            .Text("dontAskAgainValue", valueName)
                            .Number("answer", answer)
                            .Bool("dontAskAgain", keep));
    if (keep) {
        remembered_->SaveSetting(kRememberedApp, kRememberedSection, valueName,
                                 std::to_string(answer));
    }
    return answer;
}

}  // namespace tovela::posix
