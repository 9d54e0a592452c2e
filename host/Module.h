#pragma once
// The server object of the DLL: what keeps it loaded (live band objects, locks
// of the factory, references to the factory, toolbar windows waiting to be
// freed) and the start-up work that must not run under the loader lock.
#include <windows.h>

namespace kg::server {

// Loads the toolbar settings once per process, on the first call that needs
// them (an export, the factory); never inside DllMain.
void EnsureStarted() noexcept;

// The module that holds this code (the DLL, or a test program that links it).
HMODULE ModuleHandle() noexcept;

void ObjectCreated() noexcept;
void ObjectDestroyed() noexcept;
void LockServer(bool lock) noexcept;
void FactoryReferenced() noexcept;
void FactoryReleased() noexcept;

long LiveObjects() noexcept;
long Locks() noexcept;
long FactoryReferences() noexcept;

// Nothing alive, locked or referenced, and no window waiting to be freed.
bool CanUnload() noexcept;

} // namespace kg::server
