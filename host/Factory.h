#pragma once
// The class factory of the band object: one per DLL, living until the DLL is
// unloaded. Its references and locks are counted by the server object so the
// DLL stays loaded while a caller holds it.
#include <windows.h>
#include <unknwn.h>

#include <string>

namespace kg {

class TQuorvaneFactory final : public IClassFactory {
public:
    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) noexcept override;
    STDMETHODIMP_(ULONG) AddRef() noexcept override;
    STDMETHODIMP_(ULONG) Release() noexcept override;
    // IClassFactory
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) noexcept override;
    STDMETHODIMP LockServer(BOOL lock) noexcept override;

    // The factory's description: the toolbar name as loaded at start-up.
    std::string Description() const;
    // The registration (true) or unregistration (false) of the class.
    void UpdateRegistry(bool doRegister);
};

// The DLL's one factory.
TQuorvaneFactory& BandFactory() noexcept;

// What the four exports answer.
HRESULT ServerGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) noexcept;
HRESULT ServerCanUnloadNow() noexcept;
HRESULT ServerRegister() noexcept;
HRESULT ServerUnregister() noexcept;

} // namespace kg
