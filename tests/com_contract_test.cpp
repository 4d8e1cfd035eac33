// The COM contract of the module's exports, its class factory and ZExtension,
// through the real DLL: loaded as a client loads it and created as the
// browser creates it.
#include <gtest/gtest.h>
#include <docobj.h>
#include <mshtml.h>
#include <ocidl.h>
#include "support/ServerModule.h"
#include "tools/host/HostBrowser.h"

namespace {

testing::Environment* const g_environment = testing::AddGlobalTestEnvironment(new RegisteredServerEnvironment);

// A controlling unknown that counts its references and records the
// identifiers it is asked for.
class Outer : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        asked.push_back(InterfaceName(iid));
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown)) return E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++count; }
    STDMETHODIMP_(ULONG) Release() override { return --count; }

    ULONG count = 1;
    std::vector<std::string> asked;
};

template <class T>
T* Create()
{
    T* object = nullptr;
    HRESULT hr = CoCreateInstance(kClsidZExtension, nullptr, CLSCTX_INPROC_SERVER, __uuidof(T),
                                  reinterpret_cast<void**>(&object));
    EXPECT_EQ(S_OK, hr);
    return object;
}

ULONG RefCount(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

// ---- Exports and class factory ------------------------------------------

class Exports : public testing::Test {
protected:
    ServerModule server;
};

// The names in the module's export directory, read from the image as loaded.
std::vector<std::string> ExportedNames(HMODULE module)
{
    std::vector<std::string> names;
    const BYTE* base = reinterpret_cast<const BYTE*>(module);
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (!entry.VirtualAddress) return names;
    const IMAGE_EXPORT_DIRECTORY* exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    const DWORD* nameOffsets = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        names.push_back(reinterpret_cast<const char*>(base + nameOffsets[i]));
    return names;
}

// Clients find the four entry points by their plain names, in both builds:
// no argument-size decoration, nothing else exported.
TEST_F(Exports, ExportsExactlyTheFourPlainNames) {
    HMODULE module = GetModuleHandleA("Glimmerdeck.dll");
    ASSERT_NE(nullptr, module);
    const std::vector<std::string> expected = { "DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                                                "DllUnregisterServer" };
    EXPECT_EQ(expected, ExportedNames(module));
}

TEST_F(Exports, GetClassObjectRefusesNullOutUnknownClassAndMissingInterface)
{
    EXPECT_EQ(E_POINTER, server.GetClassObject(kClsidZExtension, IID_IClassFactory, nullptr));

    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, server.GetClassObject(IID_IDispatch, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);

    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, server.GetClassObject(kClsidZExtension, IID_IDispatch, &out));
    EXPECT_EQ(nullptr, out);
}

TEST_F(Exports, ClassFactoryIsCreatedOnceAndCached)
{
    IClassFactory* first = nullptr;
    IClassFactory* second = nullptr;
    ASSERT_EQ(S_OK, server.GetClassObject(kClsidZExtension, IID_IClassFactory, reinterpret_cast<void**>(&first)));
    ASSERT_EQ(S_OK, server.GetClassObject(kClsidZExtension, IID_IClassFactory, reinterpret_cast<void**>(&second)));
    EXPECT_EQ(first, second);
    IUnknown* identity = nullptr;
    ASSERT_EQ(S_OK, first->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
    EXPECT_EQ(static_cast<IUnknown*>(first), identity);
    identity->Release();
    second->Release();
    first->Release();
}

TEST_F(Exports, CanUnloadNowFollowsFactoryReferencesLocksAndLiveObjects)
{
    EXPECT_EQ(S_OK, server.CanUnloadNow());

    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK, server.GetClassObject(kClsidZExtension, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    EXPECT_EQ(S_FALSE, server.CanUnloadNow()) << "a client holds the factory";
    factory->AddRef();                       // all client references together hold one lock
    factory->Release();
    EXPECT_EQ(S_FALSE, server.CanUnloadNow());

    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    factory->Release();
    EXPECT_EQ(S_FALSE, server.CanUnloadNow()) << "LockServer(TRUE) holds the module";
    ASSERT_EQ(S_OK, server.GetClassObject(kClsidZExtension, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    EXPECT_EQ(S_FALSE, server.CanUnloadNow());

    IOleCommandTarget* object = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IOleCommandTarget, reinterpret_cast<void**>(&object)));
    factory->Release();
    EXPECT_EQ(S_FALSE, server.CanUnloadNow()) << "a live object holds the module";
    object->Release();
    EXPECT_EQ(S_OK, server.CanUnloadNow()) << "the cached factory alone does not hold it";
}

TEST_F(Exports, CreateInstanceChecksOutPointerAndAggregation)
{
    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK, server.GetClassObject(kClsidZExtension, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    EXPECT_EQ(E_POINTER, factory->CreateInstance(nullptr, IID_IUnknown, nullptr));

    Outer outer;
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(&outer, IID_IOleCommandTarget, &out));
    EXPECT_EQ(nullptr, out);

    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IDispatch, &out));
    EXPECT_EQ(nullptr, out);
    factory->Release();
    EXPECT_EQ(S_OK, server.CanUnloadNow()) << "the refused object was destroyed";
}

TEST_F(Exports, AggregatedObjectDelegatesToItsOuterObject)
{
    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK, server.GetClassObject(kClsidZExtension, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    Outer outer;
    IUnknown* inner = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)));
    factory->Release();
    EXPECT_EQ(1u, outer.count) << "creating the inner object takes no outer reference";

    IUnknown* innerAgain = nullptr;
    ASSERT_EQ(S_OK, inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&innerAgain)));
    EXPECT_EQ(inner, innerAgain);
    innerAgain->Release();

    IOleCommandTarget* target = nullptr;
    ASSERT_EQ(S_OK, inner->QueryInterface(IID_IOleCommandTarget, reinterpret_cast<void**>(&target)));
    EXPECT_EQ(2u, outer.count) << "the interface's reference counts on the outer object";
    outer.asked.clear();
    IObjectWithSite* withSite = nullptr;
    EXPECT_EQ(S_OK, target->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&withSite)));
    EXPECT_EQ(std::vector<std::string>{ "IObjectWithSite" }, outer.asked) << "the outer object is asked first";
    ASSERT_NE(nullptr, withSite);
    withSite->Release();
    target->Release();
    EXPECT_EQ(1u, outer.count);

    EXPECT_EQ(S_FALSE, server.CanUnloadNow());
    EXPECT_EQ(0u, inner->Release());
    EXPECT_EQ(S_OK, server.CanUnloadNow());
}

// ---- ZExtension ---------------------------------------------------------

TEST(ZExtensionInterfaces, AnswersItsTwoInterfacesWithOneIdentity)
{
    IObjectWithSite* withSite = Create<IObjectWithSite>();
    ASSERT_NE(nullptr, withSite);
    IOleCommandTarget* target = nullptr;
    ASSERT_EQ(S_OK, withSite->QueryInterface(IID_IOleCommandTarget, reinterpret_cast<void**>(&target)));
    IUnknown* fromSite = nullptr;
    IUnknown* fromTarget = nullptr;
    ASSERT_EQ(S_OK, withSite->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&fromSite)));
    ASSERT_EQ(S_OK, target->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&fromTarget)));
    EXPECT_EQ(fromSite, fromTarget);
    EXPECT_EQ(static_cast<IUnknown*>(withSite), fromSite) << "the first table entry gives the identity";
    fromSite->Release();
    fromTarget->Release();
    target->Release();
    EXPECT_EQ(0u, withSite->Release());
}

TEST(ZExtensionInterfaces, RefusesOtherInterfacesAndNullOutPointers)
{
    IOleCommandTarget* target = Create<IOleCommandTarget>();
    ASSERT_NE(nullptr, target);
    const IID* kRefused[] = { &IID_IDispatch, &IID_IClassFactory, &IID_IServiceProvider, &IID_IPersist,
                              &IID_IOleObject, &IID_IObjectWithSite };
    for (const IID* iid : kRefused) {
        void* out = reinterpret_cast<void*>(1);
        HRESULT hr = target->QueryInterface(*iid, &out);
        if (iid == &IID_IObjectWithSite) {
            EXPECT_EQ(S_OK, hr);
            static_cast<IUnknown*>(out)->Release();
            continue;
        }
        EXPECT_EQ(E_NOINTERFACE, hr) << InterfaceName(*iid);
        EXPECT_EQ(nullptr, out) << InterfaceName(*iid);
    }
    EXPECT_EQ(E_POINTER, target->QueryInterface(IID_IOleCommandTarget, nullptr));
    EXPECT_EQ(0u, target->Release());
}

TEST(ZExtensionInterfaces, QueryStatusChecksCountThenArrayAndEnablesOnlyTheFirstCommand)
{
    IOleCommandTarget* target = Create<IOleCommandTarget>();
    ASSERT_NE(nullptr, target);
    OLECMD commands[3] = { { 1, 0x10 }, { 2, 0x20 }, { 3, 0x30 } };
    EXPECT_EQ(E_INVALIDARG, target->QueryStatus(nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(E_INVALIDARG, target->QueryStatus(nullptr, 0, commands, nullptr));
    EXPECT_EQ(E_POINTER, target->QueryStatus(nullptr, 1, nullptr, nullptr));
    EXPECT_EQ(0x10u, commands[0].cmdf) << "a refused call changes nothing";

    EXPECT_EQ(S_OK, target->QueryStatus(nullptr, 3, commands, nullptr));
    EXPECT_EQ(static_cast<DWORD>(OLECMDF_ENABLED), commands[0].cmdf);
    EXPECT_EQ(0x20u, commands[1].cmdf);
    EXPECT_EQ(0x30u, commands[2].cmdf);
    EXPECT_EQ(1u, commands[0].cmdID);
    target->Release();
}

TEST(ZExtensionSite, GetSiteAnswersFromTheSiteHeldAndFailsWithoutOne)
{
    IObjectWithSite* object = Create<IObjectWithSite>();
    ASSERT_NE(nullptr, object);
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_FAIL, object->GetSite(IID_IUnknown, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_POINTER, object->GetSite(IID_IUnknown, nullptr));

    CallLog log;
    IUnknown* site = CreateHostSite(PageModel(), nullptr, &log);
    EXPECT_EQ(S_OK, object->SetSite(site));
    EXPECT_EQ(2u, RefCount(site)) << "the object holds the site";

    IServiceProvider* provider = nullptr;
    EXPECT_EQ(S_OK, object->GetSite(IID_IServiceProvider, reinterpret_cast<void**>(&provider)));
    EXPECT_EQ(static_cast<void*>(site), static_cast<void*>(provider));
    if (provider) provider->Release();
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, object->GetSite(IID_IHTMLDocument2, &out));
    EXPECT_EQ(nullptr, out);

    EXPECT_EQ(S_OK, object->SetSite(nullptr));
    EXPECT_EQ(1u, RefCount(site)) << "SetSite(null) releases the site";
    EXPECT_EQ(E_FAIL, object->GetSite(IID_IUnknown, &out));
    EXPECT_EQ(2, log.liveObjects) << "the browser stays held after SetSite(null)";

    site->Release();
    object->Release();
    EXPECT_EQ(0, log.liveObjects);
}

TEST(ZExtensionSite, SitingAsksTheProviderForTheBrowserAndReleasesInOrder)
{
    IObjectWithSite* object = Create<IObjectWithSite>();
    ASSERT_NE(nullptr, object);
    CallLog log;
    IUnknown* site = CreateHostSite(PageModel(), nullptr, &log);
    EXPECT_EQ(S_OK, object->SetSite(site));
    site->Release();
    const std::vector<std::string> kSiting = {
        "Site.QueryInterface(IServiceProvider)",
        "Site.QueryService(SID_SWebBrowserApp, IWebBrowser2)",
        "Browser.QueryInterface(IWebBrowser2)",
    };
    EXPECT_EQ(kSiting, log.calls);

    log.calls.clear();
    object->Release();
    const std::vector<std::string> kDestruction = { "Browser.final", "Site.final" };
    EXPECT_EQ(kDestruction, log.calls) << "the browser goes before the site";
}

TEST(ZExtensionSite, ANewSiteReleasesTheBrowserOfTheOldOne)
{
    IObjectWithSite* object = Create<IObjectWithSite>();
    ASSERT_NE(nullptr, object);
    CallLog first, second;
    IUnknown* firstSite = CreateHostSite(PageModel(), nullptr, &first);
    IUnknown* secondSite = CreateHostSite(PageModel(), nullptr, &second);
    object->SetSite(firstSite);
    object->SetSite(secondSite);
    firstSite->Release();
    secondSite->Release();
    EXPECT_EQ(0, first.liveObjects) << "old site and old browser released";
    EXPECT_EQ(2, second.liveObjects);
    object->Release();
    EXPECT_EQ(0, second.liveObjects);
}

TEST(ZExtensionSite, SiteWithoutBrowserLeavesExecWithNothingToDo)
{
    // Failing QueryService and a missing provider both leave no browser.
    const char* kFailures[] = { "Site.QueryInterface(IServiceProvider)",
                                "Site.QueryService(SID_SWebBrowserApp, IWebBrowser2)" };
    for (const char* failure : kFailures) {
        IOleCommandTarget* target = Create<IOleCommandTarget>();
        ASSERT_NE(nullptr, target);
        IObjectWithSite* object = nullptr;
        target->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&object));
        CallLog log;
        log.failing.insert(failure);
        IUnknown* site = CreateHostSite(PageModel(), nullptr, &log);
        EXPECT_EQ(S_OK, object->SetSite(site));
        log.calls.clear();
        EXPECT_EQ(S_OK, target->Exec(nullptr, 0, 0, nullptr, nullptr));
        EXPECT_TRUE(log.calls.empty()) << failure;
        object->Release();
        target->Release();
        site->Release();
        EXPECT_EQ(0, log.liveObjects) << failure;
    }
}

TEST(ZExtensionSite, ExecWithoutASiteDoesNothing)
{
    IOleCommandTarget* target = Create<IOleCommandTarget>();
    ASSERT_NE(nullptr, target);
    EXPECT_EQ(S_OK, target->Exec(nullptr, 0, 0, nullptr, nullptr));

    IObjectWithSite* object = nullptr;
    target->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&object));
    CallLog log;
    IUnknown* site = CreateHostSite(PageModel::FromText(L"<html></html>"), nullptr, &log);
    object->SetSite(site);
    object->SetSite(nullptr);
    log.calls.clear();
    EXPECT_EQ(S_OK, target->Exec(nullptr, 0, 0, nullptr, nullptr));
    EXPECT_TRUE(log.calls.empty()) << "after SetSite(null) nothing is called: " << log.calls.front();
    object->Release();
    target->Release();
    site->Release();
}

}  // namespace
