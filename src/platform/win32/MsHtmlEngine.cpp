// The HTML engine on MSHTML's document object over COM, falling back to portable code.
#include "platform/win32/MsHtmlEngine.h"

#include <mshtmdid.h>
#include <mshtml.h>
#include <objbase.h>
#include <oleauto.h>
#include <olectl.h>
#include <oleidl.h>
#include <windows.h>

#include <atomic>
#include <optional>
#include <string>
#include <utility>

#include "platform/win32/ComObjects.h"
#include "platform/win32/WinText.h"
#include "submit/FallbackHtmlEngine.h"

namespace tovela::win32 {
namespace {

// MinGW's import library lacks the document object's class id.
constexpr CLSID kClsidHtmlDocument = {
    0x25336920, 0x03f9, 0x11cf, {0x8f, 0xd0, 0x00, 0xaa, 0x00, 0x68, 0x6f, 0x13}};

// The program's one UI thread is apartment-threaded; COM stays up for its lifetime.
void EnsureCom() {
    static const HRESULT initialized = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    (void)initialized;
}

// The site the document asks for its ambient download control: no scripts, Java, ActiveX,
// frames, behaviours or client pulls, and nothing downloaded, images included, so a mail
// body cannot reach the network or run code while it is parsed.
class QuietSite final : public IOleClientSite, public IDispatch {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite)) {
            *out = static_cast<IOleClientSite*>(this);
        } else if (IsEqualIID(iid, IID_IDispatch)) {
            *out = static_cast<IDispatch*>(this);
        } else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** out) override {
        if (out) *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                                     EXCEPINFO*, UINT*) override {
        if (id != DISPID_AMBIENT_DLCONTROL || result == nullptr) return DISP_E_MEMBERNOTFOUND;
        VariantInit(result);
        result->vt = VT_I4;
        result->lVal = DLCTL_NO_SCRIPTS | DLCTL_NO_JAVA | DLCTL_NO_RUNACTIVEXCTLS |
                       DLCTL_NO_DLACTIVEXCTLS | DLCTL_NO_FRAMEDOWNLOAD | DLCTL_NO_BEHAVIORS |
                       DLCTL_NO_CLIENTPULL | DLCTL_NOFRAMES | DLCTL_SILENT | DLCTL_FORCEOFFLINE |
                       DLCTL_NO_METACHARSET;
        return S_OK;
    }

private:
    std::atomic<ULONG> references_{1};
};

HRESULT CreateDocument(ComPtr<IHTMLDocument2>& document) {
    EnsureCom();
    return CoCreateInstance(kClsidHtmlDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IHTMLDocument2,
                            document.PutVoid());
}

// A document holding `html`, written into it as a page is, in design mode so that no
// script runs even if the site is not asked; false when any step fails.
bool Load(ComPtr<IHTMLDocument2>& document, std::string_view html) {
    if (FAILED(CreateDocument(document)) || !document) return false;
    ComPtr<IOleObject> object;
    if (SUCCEEDED(document->QueryInterface(IID_IOleObject, object.PutVoid())) && object) {
        QuietSite* site = new QuietSite;
        object->SetClientSite(site);
        site->Release();
        ComPtr<IOleControl> control;
        if (SUCCEEDED(document->QueryInterface(IID_IOleControl, control.PutVoid())) && control) {
            control->OnAmbientPropertyChange(DISPID_AMBIENT_DLCONTROL);
        }
    }
    Bstr on(L"On");
    if (FAILED(document->put_designMode(on.Get()))) return false;

    SAFEARRAY* lines = SafeArrayCreateVector(VT_VARIANT, 0, 1);
    if (lines == nullptr) return false;
    VARIANT* line = nullptr;
    bool written = false;
    if (SUCCEEDED(SafeArrayAccessData(lines, reinterpret_cast<void**>(&line)))) {
        const std::wstring text = Wide(html);
        line->vt = VT_BSTR;
        line->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        const bool allocated = line->bstrVal != nullptr;
        SafeArrayUnaccessData(lines);
        written = allocated && SUCCEEDED(document->write(lines));
    }
    SafeArrayDestroy(lines);  // frees the text with it
    document->close();
    return written;
}

// The body's inner HTML or inner text, or nothing when the document object cannot give it.
std::optional<std::string> FromDocument(std::string_view html, bool text) {
    try {
        ComPtr<IHTMLDocument2> document;
        const bool loaded = Load(document, html);
        std::optional<std::string> result;
        ComPtr<IHTMLElement> body;
        if (loaded && SUCCEEDED(document->get_body(body.Put())) && body) {
            Bstr value;
            const HRESULT hr =
                text ? body->get_innerText(value.Put()) : body->get_innerHTML(value.Put());
            if (SUCCEEDED(hr)) result = value.Utf8();
        }
        ComPtr<IOleObject> object;
        if (document && SUCCEEDED(document->QueryInterface(IID_IOleObject, object.PutVoid())) &&
            object) {
            object->SetClientSite(nullptr);
        }
        return result;
    } catch (...) {
        return std::nullopt;
    }
}

class MsHtmlEngine final : public HtmlEngine {
public:
    std::optional<std::string> BodyInnerHtml(std::string_view html) override {
        if (auto inner = FromSystem(html, false)) return inner;
        return fallback_.BodyInnerHtml(html);
    }
    std::optional<std::string> BodyText(std::string_view html) override {
        if (auto text = FromSystem(html, true)) return text;
        return fallback_.BodyText(html);
    }

private:
    std::optional<std::string> FromSystem(std::string_view html, bool text) {
        // A system without the object stays without it; asking COM again each time only costs.
        if (!available_) available_ = HtmlDocumentObjectAvailable();
        if (!*available_) return std::nullopt;
        return FromDocument(html, text);
    }

    std::optional<bool> available_;
    FallbackHtmlEngine fallback_;
};

}  // namespace

bool HtmlDocumentObjectAvailable() {
    ComPtr<IHTMLDocument2> document;
    return SUCCEEDED(CreateDocument(document)) && document;
}

std::unique_ptr<HtmlEngine> CreateHtmlEngine() {
    return std::make_unique<MsHtmlEngine>();
}

}  // namespace tovela::win32
