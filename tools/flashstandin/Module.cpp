// The stand-in player's in-process server: its class factory, its count of
// live objects and locks, and its self-registration (the class identifier
// with InprocServer32 and the threading model "Apartment").
#include "tools/flashstandin/StandInPlayer.h"

#include "kit/Handles.h"

#include <olectl.h>

#include <new>
#include <string>

namespace standin {

namespace {

LONG moduleRefs = 0;
HINSTANCE moduleInstance = nullptr;

class Factory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) noexcept override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() noexcept override {
        const LONG n = InterlockedIncrement(&refs_);
        if (n == 1) LockModule();
        return static_cast<ULONG>(n);
    }
    STDMETHODIMP_(ULONG) Release() noexcept override {
        const LONG n = InterlockedDecrement(&refs_);
        if (n == 0) UnlockModule();
        return static_cast<ULONG>(n);
    }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) noexcept override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        Player* player = new (std::nothrow) Player();
        if (!player) return E_OUTOFMEMORY;
        const HRESULT hr = player->QueryInterface(riid, ppv);
        player->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL lock) noexcept override {
        if (lock)
            LockModule();
        else
            UnlockModule();
        return S_OK;
    }

private:
    LONG refs_ = 0;
};

Factory factory;

std::wstring classKeyPath() { return std::wstring(L"CLSID\\") + ClassIdText; }

bool setText(HKEY key, const wchar_t* name, const std::wstring& value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

} // namespace

void LockModule() noexcept { InterlockedIncrement(&moduleRefs); }
void UnlockModule() noexcept { InterlockedDecrement(&moduleRefs); }
HINSTANCE ModuleInstance() noexcept { return moduleInstance; }

} // namespace standin

using namespace standin;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        moduleInstance = instance;
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && !reserved) {
        UnregisterWindowClass();
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (clsid != CLSID_Player) return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow() {
    return moduleRefs == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
    try {
        wchar_t path[MAX_PATH] = {};
        const DWORD n = GetModuleFileNameW(ModuleInstance(), path, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return SELFREG_E_CLASS;
        kit::unique_hkey classKey, serverKey;
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, classKeyPath().c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                            classKey.put(), nullptr) != ERROR_SUCCESS ||
            !setText(classKey.get(), nullptr, L"Kestrelgrove Flash player stand-in") ||
            RegCreateKeyExW(classKey.get(), L"InprocServer32", 0, nullptr, 0, KEY_WRITE, nullptr, serverKey.put(),
                            nullptr) != ERROR_SUCCESS ||
            !setText(serverKey.get(), nullptr, path) || !setText(serverKey.get(), L"ThreadingModel", L"Apartment"))
            return SELFREG_E_CLASS;
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

STDAPI DllUnregisterServer() {
    try {
        const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, classKeyPath().c_str());
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : SELFREG_E_CLASS;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
