#include "capture/ZExtension.h"
#include <mshtml.h>
#include <new>
#include "capture/CharsetFromMeta.h"
#include "server/ModuleState.h"
#include "text/CBstr.h"
#include "text/CString.h"
#include "viewer/ViewerDialog.h"

const CLSID CLSID_ZExtension =
    { 0x6E2B94D1, 0x5A07, 0x4C3E, { 0xB1, 0x8F, 0x2D, 0x7C, 0x90, 0xA4, 0xE6, 0x35 } };

namespace {

const GUID kSidWebBrowserApp =
    { 0x0002DF05, 0x0000, 0x0000, { 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46 } };

const char kNotLoadedQuestion[] = "Document is not loaded yet.\nDo you want to display source anyway?";
const char kCaption[] = "Glimmerdeck";

// One element of the collection at index, with its upper-cased tag name;
// false when any of them cannot be had.
bool ElementAt(IHTMLElementCollection* all, VARIANT& index, LONG i,
               ComPtr<IHTMLElement>& element, CBstr& tagName)
{
    index.lVal = i;
    ComPtr<IDispatch> item;
    if (FAILED(all->item(index, index, item.Receive())) || !item) return false;
    if (FAILED(item->QueryInterface(IID_IHTMLElement, element.ReceiveVoid())) || !element) return false;
    HRESULT hr = element->get_tagName(tagName.Receive());
    tagName.ToUpper();
    return SUCCEEDED(hr);
}

// One pass over the collection: each element named tag (upper-cased) that
// yields its outer markup goes to take, until take answers true. Elements
// that cannot be had are skipped; each one's references and strings go
// before the next is tried.
template <class Take>
void FirstElementNamed(IHTMLElementCollection* all, VARIANT& index, LONG length, const char* tag, Take take)
{
    for (LONG i = 0; i < length; ++i) {
        ComPtr<IHTMLElement> element;
        CBstr tagName;
        if (!ElementAt(all, index, i, element, tagName) || !tagName.EqualsNarrow(tag)) continue;
        CBstr markup;
        if (FAILED(element->get_outerHTML(markup.Receive())) || !markup.Get()) continue;
        if (take(markup)) return;
    }
}

}  // namespace

const InterfaceEntry ZExtension::s_interfaces[] = {
    { &IID_IObjectWithSite,   OffsetOf<ZExtension, IObjectWithSite>() },
    { &IID_IOleCommandTarget, OffsetOf<ZExtension, IOleCommandTarget>() },
    { nullptr, 0 },
};

ZExtension::ZExtension(IUnknown* outer) : m_count(0), m_outer(outer), m_inner(this)
{
    ModuleLock();
}

HRESULT ZExtension::CreateInstance(IUnknown* outer, REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    ZExtension* object = new (std::nothrow) ZExtension(outer);
    if (!object) return E_OUTOFMEMORY;
    HRESULT hr = outer ? object->m_inner.QueryInterface(iid, out) : object->QueryOwnInterface(iid, out);
    if (FAILED(hr)) {
        // Nobody holds it: destroy it the way a last Release would.
        object->m_count = 1;
        object->ReleaseOwn();
    }
    return hr;
}

HRESULT ZExtension::QueryOwnInterface(REFIID iid, void** out)
{
    return QueryInterfaceFromTable(this, s_interfaces, iid, out);
}

ULONG ZExtension::AddRefOwn()
{
    return ++m_count;
}

ULONG ZExtension::ReleaseOwn()
{
    ULONG count = --m_count;
    if (count != 0) return count;
    // Guards against a reference taken and dropped again during destruction.
    m_count = 1;
    ModuleUnlock();
    delete this;
    return 0;
}

STDMETHODIMP ZExtension::InnerUnknown::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown)) {
        *out = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    return m_owner->QueryOwnInterface(iid, out);
}

STDMETHODIMP_(ULONG) ZExtension::InnerUnknown::AddRef() { return m_owner->AddRefOwn(); }
STDMETHODIMP_(ULONG) ZExtension::InnerUnknown::Release() { return m_owner->ReleaseOwn(); }

// IUnknown

STDMETHODIMP ZExtension::QueryInterface(REFIID iid, void** out)
{
    if (!m_outer) return QueryOwnInterface(iid, out);
    if (!out) return E_POINTER;
    HRESULT hr = m_outer->QueryInterface(iid, out);
    if (FAILED(hr) && m_outer != static_cast<IUnknown*>(static_cast<IObjectWithSite*>(this))) {
        hr = QueryOwnInterface(iid, out);
    }
    return hr;
}

STDMETHODIMP_(ULONG) ZExtension::AddRef()
{
    return m_outer ? m_outer->AddRef() : AddRefOwn();
}

STDMETHODIMP_(ULONG) ZExtension::Release()
{
    return m_outer ? m_outer->Release() : ReleaseOwn();
}

// IObjectWithSite

STDMETHODIMP ZExtension::SetSite(IUnknown* site)
{
    if (site) {
        ComPtr<IServiceProvider> provider;
        if (SUCCEEDED(site->QueryInterface(IID_IServiceProvider, provider.ReceiveVoid())) && provider) {
            // A browser already held is released before the new answer takes
            // its place, so re-siting does not leak the old browser.
            provider->QueryService(kSidWebBrowserApp, IID_IWebBrowser2, m_browser.ReceiveVoid());
        }
    }
    m_site.Copy(site);
    return S_OK;
}

STDMETHODIMP ZExtension::GetSite(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    if (m_site) return m_site->QueryInterface(iid, out);
    *out = nullptr;
    return E_FAIL;
}

// IOleCommandTarget

STDMETHODIMP ZExtension::QueryStatus(const GUID*, ULONG count, OLECMD commands[], OLECMDTEXT*)
{
    if (count == 0) return E_INVALIDARG;
    if (!commands) return E_POINTER;
    commands[0].cmdf = OLECMDF_ENABLED;
    return S_OK;
}

STDMETHODIMP ZExtension::Exec(const GUID*, DWORD, DWORD, VARIANT*, VARIANT*)
{
    // Every outcome, failures included, is S_OK: the user command is silent.
    // The browser may release or re-site the object from inside the question's
    // or the viewer's message loop; the object keeps itself alive until done.
    AddRef();
    try {
        Capture();
    } catch (...) {
    }
    Release();
    return S_OK;
}

void ZExtension::Capture()
{
    // A site that yielded no browser leaves nothing to capture from.
    if (!m_site || !m_browser) return;
    // Its own reference: re-siting from inside a modal loop must not pull the
    // browser away under Stop.
    ComPtr<IWebBrowser2> browser;
    browser.Copy(m_browser.Get());

    ComPtr<IDispatch> documentDispatch;
    if (FAILED(browser->get_Document(documentDispatch.Receive())) || !documentDispatch) return;
    ComPtr<IHTMLDocument2> document;
    if (FAILED(documentDispatch->QueryInterface(IID_IHTMLDocument2, document.ReceiveVoid())) || !document) return;

    SHANDLE_PTR browserWindow = 0;
    browser->get_HWND(&browserWindow);

    CBstr readyState;
    if (SUCCEEDED(document->get_readyState(readyState.Receive())) && !readyState.EqualsNarrow("complete")) {
        int answer = MessageBoxA(reinterpret_cast<HWND>(browserWindow), kNotLoadedQuestion, kCaption,
                                 MB_YESNO | MB_ICONEXCLAMATION);
        if (answer != IDYES) return;
        browser->Stop();
    }

    ComPtr<IHTMLElementCollection> all;
    if (FAILED(document->get_all(all.Receive())) || !all) return;
    VARIANT index;
    VariantInit(&index);
    VariantChangeType(&index, &index, 0, VT_I4);
    // The passes write lVal only; the type must be VT_I4 even had the conversion failed.
    index.vt = VT_I4;
    index.lVal = 0;
    int charset = -1;
    LONG length = 0;
    if (FAILED(all->get_length(&length))) {
        VariantClear(&index);
        return;
    }

    // The first META element that mentions a charset decides it, even when
    // the resolution knows no name in it.
    FirstElementNamed(all.Get(), index, length, "META", [&charset](CBstr& markup) {
        markup.ToLower();
        CString narrow(markup.Get());
        if (narrow.Find("charset") < 0) return false;
        charset = CharsetFromMeta(narrow);
        return true;
    });

    FirstElementNamed(all.Get(), index, length, "HTML", [charset](CBstr& markup) {
        // Without memory for the copy the press ends here, silently.
        CBstr copy(SysAllocStringLen(markup.Get(), markup.Length()));
        if (!copy.Get()) return true;
        CViewerDialog viewer(copy.Get(), charset);
        // The viewer keeps a copy of its own; this one need not live through the run.
        copy.Attach(nullptr);
        viewer.Run();
        return true;
    });
    VariantClear(&index);
}
