#include "ClientRequest.h"

#include <cstdint>
#include <cstdlib>

namespace tovela::fakeserver {

namespace {

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.' || c == ':';
}

// Text of the first <name ...>text</name>, or empty.
std::string ElementText(const std::string& xml, const std::string& name) {
    std::size_t at = 0;
    while ((at = xml.find("<" + name, at)) != std::string::npos) {
        const std::size_t afterName = at + 1 + name.size();
        if (afterName < xml.size() && !IsNameChar(xml[afterName])) {
            const std::size_t close = xml.find('>', afterName);
            if (close == std::string::npos || xml[close - 1] == '/') return {};
            const std::size_t end = xml.find("</" + name + ">", close);
            if (end == std::string::npos) return {};
            return xml.substr(close + 1, end - close - 1);
        }
        at = afterName;
    }
    return {};
}

std::string Attribute(const std::string& startTag, const std::string& name) {
    for (const char quote : {'"', '\''}) {
        const std::string key = " " + name + "=" + quote;
        const std::size_t at = startTag.find(key);
        if (at == std::string::npos) continue;
        const std::size_t end = startTag.find(quote, at + key.size());
        if (end != std::string::npos)
            return startTag.substr(at + key.size(), end - at - key.size());
    }
    return {};
}

// The name attribute of every <element name="..."> inside `xml`.
std::vector<std::string> NamesOf(const std::string& xml, const std::string& element) {
    std::vector<std::string> names;
    std::size_t at = 0;
    while ((at = xml.find("<" + element + " ", at)) != std::string::npos) {
        const std::size_t close = xml.find('>', at);
        if (close == std::string::npos) break;
        names.push_back(XmlUnescape(Attribute(xml.substr(at, close - at), "name")));
        at = close;
    }
    return names;
}

std::vector<Operation> OperationsOf(const std::string& xml) {
    const std::string suffix = "Request";
    std::vector<Operation> operations;
    for (std::size_t at = xml.find('<'); at != std::string::npos; at = xml.find('<', at + 1)) {
        std::size_t end = at + 1;
        while (end < xml.size() && IsNameChar(xml[end])) ++end;
        std::string name = xml.substr(at + 1, end - at - 1);
        name = name.substr(name.rfind(':') + 1);  // answer by local name
        if (name.size() <= suffix.size() || name == "BatchRequest" ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
            continue;
        }
        const std::size_t close = xml.find('>', end);
        if (close == std::string::npos) break;
        Operation op{name, {}, xml.substr(at, close - at + 1)};
        op.ns = Attribute(op.startTag, "xmlns");
        operations.push_back(op);
    }
    return operations;
}

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

}  // namespace

std::string XmlUnescape(const std::string& text) {
    static const std::pair<const char*, char> named[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t semi = text[i] == '&' ? text.find(';', i) : std::string::npos;
        if (semi == std::string::npos || semi - i > 10) {
            out += text[i];
            continue;
        }
        const std::string entity = text.substr(i + 1, semi - i - 1);
        bool done = false;
        for (const auto& [name, c] : named) {
            if (entity == name) {
                out += c;
                done = true;
            }
        }
        if (!done && entity.size() > 1 && entity[0] == '#') {
            const bool hex = entity[1] == 'x' || entity[1] == 'X';
            const std::string digits = entity.substr(hex ? 2 : 1);
            char* stop = nullptr;
            const unsigned long code = std::strtoul(digits.c_str(), &stop, hex ? 16 : 10);
            if (!digits.empty() && *stop == '\0' && code > 0 && code <= 0x10FFFF) {
                AppendUtf8(out, static_cast<std::uint32_t>(code));
                done = true;
            }
        }
        if (done) {
            i = semi;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string OperationAttribute(const Operation& operation, const std::string& name) {
    return XmlUnescape(Attribute(operation.startTag, name));
}

ClientRequest ReadClientRequest(const std::string& envelope) {
    ClientRequest request;
    request.authToken = ElementText(envelope, "authToken");
    request.operations = OperationsOf(envelope);
    request.batch = envelope.find("<BatchRequest") != std::string::npos;
    const std::string auth = ElementText(envelope, "AuthRequest");
    for (const Operation& op : request.operations) {
        if (op.name == "AuthRequest") request.isLogin = true;
    }
    if (request.isLogin) {
        request.account = XmlUnescape(ElementText(auth, "account"));
        request.password = XmlUnescape(ElementText(auth, "password"));
        request.prefNames = NamesOf(ElementText(auth, "prefs"), "pref");
        request.attrNames = NamesOf(ElementText(auth, "attrs"), "attr");
    }
    return request;
}

}  // namespace tovela::fakeserver
