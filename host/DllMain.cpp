// The DLL's entry points. DllMain reads no registry and no file (it runs
// under the loader lock): the settings load on the first export call.
#include "host/Factory.h"
#include "kit/Control.h"

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    // Unloaded while the process goes on: a class left registered would point
    // into code that is gone. (At process exit there is nothing to protect.)
    if (reason == DLL_PROCESS_DETACH && !reserved) kit::UnregisterWindowClasses();
    return TRUE;
}

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    return kg::ServerGetClassObject(clsid, riid, ppv);
}

extern "C" HRESULT __stdcall DllCanUnloadNow() {
    return kg::ServerCanUnloadNow();
}

extern "C" HRESULT __stdcall DllRegisterServer() {
    return kg::ServerRegister();
}

extern "C" HRESULT __stdcall DllUnregisterServer() {
    return kg::ServerUnregister();
}
