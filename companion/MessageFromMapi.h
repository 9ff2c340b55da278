#pragma once

#include <string>

#include "SimpleMapi.h"
#include "submit/MapiMessageText.h"

namespace tovela::companion {

// A message as the running program is to receive it, or the Simple MAPI code that tells
// the caller why there is none.
struct Conversion {
    ULONG error = SUCCESS_SUCCESS;
    MapiMessageFields fields{};
};

// Texts of MAPISendMail are in the ANSI code page, those of MAPISendMailW in UTF-16. The
// flags are the call's send flags. Attachment paths are made absolute here, in the caller's
// folder, and must exist: the running program opens them later, from elsewhere.
Conversion FieldsFromMessage(const MapiMessage& message, FLAGS flags);
Conversion FieldsFromMessage(const MapiMessageW& message, FLAGS flags);
// MAPISendDocuments: the paths and the optional names are lists split at the first
// character of `delimiter` (";" when it gives none); the user is to see the message.
Conversion FieldsFromDocuments(const char* delimiter, const char* paths, const char* names);

std::string Utf8FromWide(const wchar_t* text);
std::wstring WideFromAnsi(const char* text);

}  // namespace tovela::companion
