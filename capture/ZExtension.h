#pragma once
#include <windows.h>
#include <ocidl.h>
#include <docobj.h>
#include <exdisp.h>
#include "server/ComObject.h"

extern const CLSID CLSID_ZExtension;   // {6E2B94D1-5A07-4C3E-B18F-2D7C90A4E635}

// The command object behind the browser's toolbar button and Tools-menu item.
// Apartment-threaded: the browser calls it on its user-interface thread only,
// so the reference counts are plain.
class ZExtension final : public IObjectWithSite, public IOleCommandTarget {
public:
    // The class table's instance creator: a plain object when outer is null,
    // an aggregated one (answering through its inner unknown) otherwise.
    static HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IObjectWithSite
    STDMETHODIMP SetSite(IUnknown* site) override;
    STDMETHODIMP GetSite(REFIID iid, void** out) override;

    // IOleCommandTarget
    STDMETHODIMP QueryStatus(const GUID* group, ULONG count, OLECMD commands[], OLECMDTEXT* text) override;
    STDMETHODIMP Exec(const GUID* group, DWORD id, DWORD options, VARIANT* in, VARIANT* out) override;

private:
    // The controlling unknown of an aggregated object.
    class InnerUnknown final : public IUnknown {
    public:
        explicit InnerUnknown(ZExtension* owner) : m_owner(owner) {}
        STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
        STDMETHODIMP_(ULONG) AddRef() override;
        STDMETHODIMP_(ULONG) Release() override;
    private:
        ZExtension* m_owner;
    };

    explicit ZExtension(IUnknown* outer);
    ~ZExtension() = default;
    ZExtension(const ZExtension&) = delete;
    ZExtension& operator=(const ZExtension&) = delete;

    HRESULT QueryOwnInterface(REFIID iid, void** out);
    ULONG AddRefOwn();
    ULONG ReleaseOwn();
    void Capture();

    static const InterfaceEntry s_interfaces[];

    ComPtr<IUnknown> m_site;
    ULONG m_count;
    ComPtr<IWebBrowser2> m_browser;     // members go in reverse order: the browser before the site
    IUnknown* m_outer;          // null unless aggregated
    InnerUnknown m_inner;
};
