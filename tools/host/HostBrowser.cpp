#include "tools/host/HostBrowser.h"
#include <stdio.h>
#include <docobj.h>
#include <memory>
#include "tools/host/StubInterfaces.h"

namespace {

const GUID kSidWebBrowserApp =
    { 0x0002DF05, 0x0000, 0x0000, { 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46 } };

// The model and log are shared by every object of one site, and outlive
// whichever object the extension releases last.
struct Shared {
    PageModel model;
    HWND window;
    CallLog* log;
};
typedef std::shared_ptr<Shared> SharedPtr;

// Reference counting and QueryInterface over a fixed list of identifiers.
template <class Base>
class Counted : public Base {
public:
    Counted(SharedPtr shared, std::string name) : m_shared(std::move(shared)), m_name(std::move(name))
    {
        ++Log().liveObjects;
    }
    virtual ~Counted()
    {
        --Log().liveObjects;
        if (!Log().Quiet()) Log().Record(m_name + ".final");
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!Log().Quiet() && Log().RecordFails(m_name + ".QueryInterface(" + InterfaceName(iid) + ")"))
            return E_NOINTERFACE;
        if (!Answers(iid)) return E_NOINTERFACE;
        *out = static_cast<Base*>(this);
        this->AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_count; }
    STDMETHODIMP_(ULONG) Release() override
    {
        ULONG count = --m_count;
        if (count == 0) delete this;
        return count;
    }

protected:
    virtual bool Answers(REFIID iid) = 0;
    CallLog& Log() { return *m_shared->log; }
    // Records name.call; true when the call is to fail.
    bool Called(const char* call) { return !Log().Quiet() && Log().RecordFails(m_name + "." + call); }
    bool Called(const std::string& call) { return Called(call.c_str()); }

    SharedPtr m_shared;
    std::string m_name;
    ULONG m_count = 0;
};

BSTR Bstr(const std::string& text)
{
    return SysAllocStringLen(std::wstring(text.begin(), text.end()).c_str(), static_cast<UINT>(text.size()));
}

// An element's name serves the log alone; a quiet log spares building one for
// each of a huge page's items.
std::string ElementName(const CallLog& log, size_t index)
{
    return log.Quiet() ? std::string() : "Element[" + std::to_string(index) + "]";
}

class HostElement : public Counted<StubHTMLElement> {
public:
    HostElement(const SharedPtr& shared, size_t index)
        : Counted(shared, ElementName(*shared->log, index)), m_index(index) {}

    STDMETHODIMP get_tagName(BSTR* p) override
    {
        if (!p) return E_POINTER;
        *p = nullptr;
        if (Called("get_tagName")) return E_FAIL;
        *p = Bstr(m_shared->model.elements[m_index].tagName);
        return *p ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP get_outerHTML(BSTR* p) override
    {
        if (!p) return E_POINTER;
        *p = nullptr;
        if (Called("get_outerHTML")) return E_FAIL;
        size_t length = 0;
        const wchar_t* outer = m_shared->model.OuterHTML(m_index, length);
        *p = SysAllocStringLen(outer, static_cast<UINT>(length));
        return *p ? S_OK : E_OUTOFMEMORY;
    }

private:
    bool Answers(REFIID iid) override
    {
        return iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLElement;
    }
    size_t m_index;
};

class HostCollection : public Counted<StubHTMLElementCollection> {
public:
    explicit HostCollection(SharedPtr shared) : Counted(std::move(shared), "Collection") {}

    STDMETHODIMP get_length(LONG* p) override
    {
        if (!p) return E_POINTER;
        if (Called("get_length")) return E_FAIL;
        *p = static_cast<LONG>(m_shared->model.elements.size());
        return S_OK;
    }
    STDMETHODIMP item(VARIANT name, VARIANT /*index*/, IDispatch** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        // A browser takes a number in name as the index; index then picks among
        // elements of one name and does not apply.
        VARIANT number;
        VariantInit(&number);
        if (FAILED(VariantChangeType(&number, &name, 0, VT_I4))) {
            Called("item(?)");
            return E_INVALIDARG;
        }
        LONG i = number.lVal;
        if (!Log().Quiet() && Called("item(" + std::to_string(i) + ")")) return E_FAIL;
        if (i < 0 || static_cast<size_t>(i) >= m_shared->model.elements.size()) return S_OK;   // null item
        HostElement* element = new HostElement(m_shared, static_cast<size_t>(i));
        element->AddRef();
        *out = element;
        return S_OK;
    }

private:
    bool Answers(REFIID iid) override
    {
        return iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLElementCollection;
    }
};

class HostDocument : public Counted<StubHTMLDocument2> {
public:
    explicit HostDocument(SharedPtr shared) : Counted(std::move(shared), "Document") {}

    STDMETHODIMP get_readyState(BSTR* p) override
    {
        if (!p) return E_POINTER;
        *p = nullptr;
        if (Called("get_readyState")) return E_FAIL;
        *p = Bstr(m_shared->model.readyState);
        return S_OK;
    }
    STDMETHODIMP get_all(IHTMLElementCollection** p) override
    {
        if (!p) return E_POINTER;
        *p = nullptr;
        if (Called("get_all")) return E_FAIL;
        HostCollection* all = new HostCollection(m_shared);
        all->AddRef();
        *p = all;
        return S_OK;
    }

private:
    bool Answers(REFIID iid) override
    {
        return iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLDocument ||
               iid == IID_IHTMLDocument2;
    }
};

class HostWebBrowser : public Counted<StubWebBrowser2> {
public:
    explicit HostWebBrowser(SharedPtr shared) : Counted(std::move(shared), "Browser") {}

    STDMETHODIMP get_Document(IDispatch** p) override
    {
        if (!p) return E_POINTER;
        *p = nullptr;
        if (Called("get_Document")) return E_FAIL;
        if (Log().Fails("Browser.get_Document=null")) return S_OK;
        HostDocument* document = new HostDocument(m_shared);
        document->AddRef();
        *p = document;
        return S_OK;
    }
    STDMETHODIMP get_HWND(SHANDLE_PTR* p) override
    {
        if (!p) return E_POINTER;
        if (Called("get_HWND")) return E_FAIL;
        *p = reinterpret_cast<SHANDLE_PTR>(m_shared->window);
        return S_OK;
    }
    STDMETHODIMP Stop() override
    {
        return Called("Stop") ? E_FAIL : S_OK;
    }

private:
    bool Answers(REFIID iid) override
    {
        return iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IWebBrowser ||
               iid == IID_IWebBrowserApp || iid == IID_IWebBrowser2;
    }
};

class HostSite : public Counted<IServiceProvider> {
public:
    explicit HostSite(SharedPtr shared) : Counted(std::move(shared), "Site") {}

    STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        std::string serviceName = IsEqualGUID(service, kSidWebBrowserApp) ? "SID_SWebBrowserApp"
                                                                          : InterfaceName(service);
        if (Called("QueryService(" + serviceName + ", " + InterfaceName(iid) + ")")) return E_FAIL;
        if (!IsEqualGUID(service, kSidWebBrowserApp)) return E_NOINTERFACE;
        HostWebBrowser* browser = new HostWebBrowser(m_shared);
        browser->AddRef();
        HRESULT hr = browser->QueryInterface(iid, out);
        browser->Release();
        return hr;
    }

private:
    bool Answers(REFIID iid) override
    {
        return iid == IID_IUnknown || iid == IID_IServiceProvider;
    }
};

}  // namespace

void CallLog::Record(const std::string& call)
{
    if (keepCalls) calls.push_back(call);
    if (path.empty()) return;
    if (FILE* file = fopen(path.c_str(), "ab")) {
        fprintf(file, "%s\n", call.c_str());
        fclose(file);
    }
}

IUnknown* CreateHostSite(const PageModel& model, HWND window, CallLog* log)
{
    SharedPtr shared = std::make_shared<Shared>(Shared{ model, window, log });
    HostSite* site = new HostSite(shared);
    site->AddRef();
    return site;
}

std::string InterfaceName(REFIID iid)
{
    static const struct { const IID* iid; const char* name; } kNames[] = {
        { &IID_IUnknown, "IUnknown" },
        { &IID_IDispatch, "IDispatch" },
        { &IID_IServiceProvider, "IServiceProvider" },
        { &IID_IObjectWithSite, "IObjectWithSite" },
        { &IID_IOleCommandTarget, "IOleCommandTarget" },
        { &IID_IClassFactory, "IClassFactory" },
        { &IID_IWebBrowser, "IWebBrowser" },
        { &IID_IWebBrowserApp, "IWebBrowserApp" },
        { &IID_IWebBrowser2, "IWebBrowser2" },
        { &IID_IHTMLDocument, "IHTMLDocument" },
        { &IID_IHTMLDocument2, "IHTMLDocument2" },
        { &IID_IHTMLElementCollection, "IHTMLElementCollection" },
        { &IID_IHTMLElement, "IHTMLElement" },
    };
    for (const auto& entry : kNames) {
        if (IsEqualIID(iid, *entry.iid)) return entry.name;
    }
    wchar_t text[40] = {};
    StringFromGUID2(iid, text, 40);
    char narrow[40] = {};
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
    return narrow;
}
