#include "host/Factory.h"

#include "config/Settings.h"
#include "host/Band.h"
#include "host/ComBoundary.h"
#include "host/Module.h"
#include "host/Registration.h"
#include "kit/Control.h"
#include "core/Error.h"
#include "kit/Handles.h"

#include <vector>

namespace kg {

namespace {

std::string modulePath() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameA(server::ModuleHandle(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) throw kit::OSError(GetLastError(), "Cannot find the server's own file");
        if (n < buffer.size()) return std::string(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace

TQuorvaneFactory& BandFactory() noexcept {
    static TQuorvaneFactory factory;
    return factory;
}

STDMETHODIMP TQuorvaneFactory::QueryInterface(REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
}

// The factory lives until unload: its count is only what keeps the DLL loaded.
STDMETHODIMP_(ULONG) TQuorvaneFactory::AddRef() noexcept {
    server::FactoryReferenced();
    return static_cast<ULONG>(server::FactoryReferences() + 1);
}

STDMETHODIMP_(ULONG) TQuorvaneFactory::Release() noexcept {
    server::FactoryReleased();
    return static_cast<ULONG>(server::FactoryReferences() + 1);
}

STDMETHODIMP TQuorvaneFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    // The band cannot delegate its identity to an outer object.
    if (outer) return CLASS_E_NOAGGREGATION;
    server::EnsureStarted();
    return ComBoundary(E_UNEXPECTED, [&] {
        kit::com_ptr<TQuorvane> band;
        band.Attach(new TQuorvane());
        return band->QueryInterface(riid, ppv);
    });
}

STDMETHODIMP TQuorvaneFactory::LockServer(BOOL lock) noexcept {
    server::LockServer(lock != FALSE);
    return S_OK;
}

std::string TQuorvaneFactory::Description() const {
    return ToolbarSettings().ToolbarName;
}

void TQuorvaneFactory::UpdateRegistry(bool doRegister) {
    if (doRegister)
        RegisterServer(modulePath(), Description());
    else
        UnregisterServer();
}

HRESULT ServerGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (clsid != CLSID_Kestrelgrove) return CLASS_E_CLASSNOTAVAILABLE;
    server::EnsureStarted();
    return BandFactory().QueryInterface(riid, ppv);
}

HRESULT ServerCanUnloadNow() noexcept {
    if (!server::CanUnload()) return S_FALSE;
    // No window of ours is left: a later load registers the classes anew.
    kit::UnregisterWindowClasses();
    return S_OK;
}

HRESULT ServerRegister() noexcept {
    server::EnsureStarted();
    return ComBoundary(E_FAIL, [] {
        BandFactory().UpdateRegistry(true);
        return S_OK;
    });
}

HRESULT ServerUnregister() noexcept {
    server::EnsureStarted();
    return ComBoundary(E_FAIL, [] {
        BandFactory().UpdateRegistry(false);
        return S_OK;
    });
}

} // namespace kg
