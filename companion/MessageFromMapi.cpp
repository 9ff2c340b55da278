#include "MessageFromMapi.h"

#include <vector>

namespace tovela::companion {
namespace {

std::wstring Wide(const wchar_t* text) {
    return text ? std::wstring(text) : std::wstring();
}
std::wstring Wide(const char* text) {
    return WideFromAnsi(text);
}

std::string Utf8(const std::wstring& text) {
    return Utf8FromWide(text.c_str());
}

// The absolute path of an existing file or folder, or nothing.
bool ResolveAttachment(const std::wstring& path, std::wstring& full) {
    DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0) return false;
    std::vector<wchar_t> buffer(length);
    length = GetFullPathNameW(path.c_str(), length, buffer.data(), nullptr);
    if (length == 0 || length >= buffer.size()) return false;
    full.assign(buffer.data(), length);
    return GetFileAttributesW(full.c_str()) != INVALID_FILE_ATTRIBUTES;
}

ULONG AddAttachment(MapiMessageFields& fields, const std::wstring& path, const std::wstring& name) {
    if (path.empty()) return SUCCESS_SUCCESS;
    std::wstring full;
    if (!ResolveAttachment(path, full)) return MAPI_E_ATTACHMENT_NOT_FOUND;
    fields.attachments.push_back({Utf8(full), Utf8(name)});
    return SUCCESS_SUCCESS;
}

template <typename Message>
Conversion Convert(const Message& message, FLAGS flags) {
    Conversion result;
    MapiMessageFields& fields = result.fields;
    fields.flags = flags;
    fields.subject = Utf8(Wide(message.lpszSubject));
    fields.body = Utf8(Wide(message.lpszNoteText));
    if (message.lpOriginator) {
        fields.fromName = Utf8(Wide(message.lpOriginator->lpszName));
        fields.fromAddress = Utf8(Wide(message.lpOriginator->lpszAddress));
    }
    for (ULONG i = 0; message.lpRecips && i < message.nRecipCount; ++i) {
        const auto& recip = message.lpRecips[i];
        MapiRecipient r{Utf8(Wide(recip.lpszName)), Utf8(Wide(recip.lpszAddress))};
        switch (recip.ulRecipClass) {
            case MAPI_TO:
                r.kind = MapiRecipientKind::To;
                break;
            case MAPI_CC:
                r.kind = MapiRecipientKind::Cc;
                break;
            case MAPI_BCC:
                r.kind = MapiRecipientKind::Bcc;
                break;
            case MAPI_ORIG:
                // Some programs name the sender among the recipients.
                if (fields.fromName.empty() && fields.fromAddress.empty()) {
                    fields.fromName = r.name;
                    fields.fromAddress = r.address;
                }
                continue;
            default:
                result.error = MAPI_E_BAD_RECIPTYPE;
                return result;
        }
        fields.recipients.push_back(std::move(r));
    }
    for (ULONG i = 0; message.lpFiles && i < message.nFileCount; ++i) {
        const auto& file = message.lpFiles[i];
        result.error = AddAttachment(fields, Wide(file.lpszPathName), Wide(file.lpszFileName));
        if (result.error != SUCCESS_SUCCESS) return result;
    }
    return result;
}

std::vector<std::wstring> Split(const std::wstring& list, wchar_t delimiter) {
    std::vector<std::wstring> items;
    std::size_t start = 0;
    for (auto at = list.find(delimiter); at != std::wstring::npos;
         at = list.find(delimiter, start)) {
        items.push_back(list.substr(start, at - start));
        start = at + 1;
    }
    items.push_back(list.substr(start));
    return items;
}

}  // namespace

std::string Utf8FromWide(const wchar_t* text) {
    if (!text || !*text) return {};
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return {};
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), bytes, nullptr, nullptr);
    out.pop_back();
    return out;
}

std::wstring WideFromAnsi(const char* text) {
    if (!text || !*text) return {};
    int units = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (units <= 1) return {};
    std::wstring out(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, out.data(), units);
    out.pop_back();
    return out;
}

Conversion FieldsFromMessage(const MapiMessage& message, FLAGS flags) {
    return Convert(message, flags);
}

Conversion FieldsFromMessage(const MapiMessageW& message, FLAGS flags) {
    return Convert(message, flags);
}

Conversion FieldsFromDocuments(const char* delimiter, const char* paths, const char* names) {
    Conversion result;
    result.fields.flags = MAPI_DIALOG;
    const std::wstring separator = Wide(delimiter);
    const wchar_t split = separator.empty() ? L';' : separator[0];
    const std::wstring pathList = Wide(paths);
    if (pathList.empty()) return result;
    const auto pathItems = Split(pathList, split);
    const auto nameItems = Split(Wide(names), split);
    for (std::size_t i = 0; i < pathItems.size(); ++i) {
        const std::wstring name = i < nameItems.size() ? nameItems[i] : std::wstring();
        result.error = AddAttachment(result.fields, pathItems[i], name);
        if (result.error != SUCCESS_SUCCESS) return result;
    }
    return result;
}

}  // namespace tovela::companion
