// The Simple MAPI entry points of the companion mail library. Every message goes to the
// running program as one serialised text; nothing is kept here. No exception leaves.
#include <cstring>
#include <new>

#include "MessageFromMapi.h"
#include "ProgramMailbox.h"
#include "SimpleMapi.h"

using tovela::companion::Conversion;

namespace {

// Any non-zero handle will do: there is no session state behind it.
constexpr LHANDLE kSession = 1;

ULONG Deliver(const Conversion& conversion) {
    if (conversion.error != SUCCESS_SUCCESS) return conversion.error;
    return tovela::companion::DeliverToProgram(tovela::MapiMessagePayload(conversion.fields))
               ? SUCCESS_SUCCESS
               : MAPI_E_FAILURE;
}

template <typename Work>
ULONG Guarded(Work work) noexcept {
    try {
        return work();
    } catch (const std::bad_alloc&) {
        return MAPI_E_INSUFFICIENT_MEMORY;
    } catch (...) {
        return MAPI_E_FAILURE;
    }
}

}  // namespace

extern "C" {

ULONG WINAPI MAPISendMail(LHANDLE, ULONG_PTR, MapiMessage* lpMessage, FLAGS flFlags, ULONG) {
    if (!lpMessage) return MAPI_E_INVALID_MESSAGE;
    return Guarded(
        [&] { return Deliver(tovela::companion::FieldsFromMessage(*lpMessage, flFlags)); });
}

ULONG WINAPI MAPISendMailW(LHANDLE, ULONG_PTR, MapiMessageW* lpMessage, FLAGS flFlags, ULONG) {
    if (!lpMessage) return MAPI_E_INVALID_MESSAGE;
    return Guarded(
        [&] { return Deliver(tovela::companion::FieldsFromMessage(*lpMessage, flFlags)); });
}

ULONG WINAPI MAPISendDocuments(ULONG_PTR, LPSTR lpszDelimChar, LPSTR lpszFilePaths,
                               LPSTR lpszFileNames, ULONG) {
    return Guarded([&] {
        return Deliver(
            tovela::companion::FieldsFromDocuments(lpszDelimChar, lpszFilePaths, lpszFileNames));
    });
}

ULONG WINAPI MAPILogon(ULONG_PTR, LPSTR, LPSTR, FLAGS, ULONG, LHANDLE* lplhSession) {
    if (lplhSession) *lplhSession = kSession;
    return SUCCESS_SUCCESS;
}

ULONG WINAPI MAPILogoff(LHANDLE, ULONG_PTR, FLAGS, ULONG) {
    return SUCCESS_SUCCESS;
}

// Buffers are laid out as the system's own MAPIAllocateBuffer does it (a link to further
// blocks in front of the data, on the process heap), so the caller may free what we hand
// out through the system's mapi32.dll even where that does not pass the call on to us.
ULONG WINAPI MAPIFreeBuffer(LPVOID pv) {
    for (auto* block = pv ? static_cast<void**>(pv) - 1 : nullptr; block;) {
        void* next = *block;
        HeapFree(GetProcessHeap(), 0, block);
        block = static_cast<void**>(next);
    }
    return SUCCESS_SUCCESS;
}

// The name is taken as the address as well: the server resolves it when the message goes.
// One block holds the recipient and its texts, so one MAPIFreeBuffer frees it all.
ULONG WINAPI MAPIResolveName(LHANDLE, ULONG_PTR, LPSTR lpszName, FLAGS, ULONG,
                             MapiRecipDesc** lppRecip) {
    if (!lppRecip) return MAPI_E_FAILURE;
    *lppRecip = nullptr;
    if (!lpszName || !*lpszName) return MAPI_E_UNKNOWN_RECIPIENT;
    const std::size_t text = std::strlen(lpszName) + 1;
    auto* link = static_cast<void**>(
        HeapAlloc(GetProcessHeap(), 0, sizeof(void*) + sizeof(MapiRecipDesc) + 2 * text));
    if (!link) return MAPI_E_INSUFFICIENT_MEMORY;
    *link = nullptr;
    auto* block = reinterpret_cast<char*>(link + 1);
    auto* recip = reinterpret_cast<MapiRecipDesc*>(block);
    char* name = block + sizeof(MapiRecipDesc);
    char* address = name + text;
    std::memcpy(name, lpszName, text);
    std::memcpy(address, lpszName, text);
    *recip = MapiRecipDesc{0, MAPI_TO, name, address, 0, nullptr};
    *lppRecip = recip;
    return SUCCESS_SUCCESS;
}

// Reading, saving, deleting and the address book belong to a mail store this library
// does not have.
ULONG WINAPI MAPIFindNext(LHANDLE, ULONG_PTR, LPSTR, LPSTR, FLAGS, ULONG, LPSTR) {
    return MAPI_E_NOT_SUPPORTED;
}
ULONG WINAPI MAPIReadMail(LHANDLE, ULONG_PTR, LPSTR, FLAGS, ULONG, MapiMessage**) {
    return MAPI_E_NOT_SUPPORTED;
}
ULONG WINAPI MAPISaveMail(LHANDLE, ULONG_PTR, MapiMessage*, FLAGS, ULONG, LPSTR) {
    return MAPI_E_NOT_SUPPORTED;
}
ULONG WINAPI MAPIDeleteMail(LHANDLE, ULONG_PTR, LPSTR, FLAGS, ULONG) {
    return MAPI_E_NOT_SUPPORTED;
}
ULONG WINAPI MAPIAddress(LHANDLE, ULONG_PTR, LPSTR, ULONG, LPSTR, ULONG, MapiRecipDesc*, FLAGS,
                         ULONG, ULONG*, MapiRecipDesc**) {
    return MAPI_E_NOT_SUPPORTED;
}
ULONG WINAPI MAPIDetails(LHANDLE, ULONG_PTR, MapiRecipDesc*, FLAGS, ULONG) {
    return MAPI_E_NOT_SUPPORTED;
}

}  // extern "C"
