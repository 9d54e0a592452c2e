#include "host/Module.h"

#include "config/Settings.h"
#include "kit/Control.h"

namespace kg::server {

namespace {

volatile LONG liveObjects = 0;
volatile LONG locks = 0;
volatile LONG factoryReferences = 0;
INIT_ONCE started = INIT_ONCE_STATIC_INIT;

BOOL CALLBACK start(PINIT_ONCE, PVOID, PVOID*) {
    LoadToolbarSettings();  // never raises: a missing key, value or file gives defaults
    return TRUE;
}

} // namespace

void EnsureStarted() noexcept {
    InitOnceExecuteOnce(&started, start, nullptr, nullptr);
}

// The kit is linked into the same module, so its handle is this module's.
HMODULE ModuleHandle() noexcept { return kit::KitInstance(); }

void ObjectCreated() noexcept { InterlockedIncrement(&liveObjects); }
void ObjectDestroyed() noexcept { InterlockedDecrement(&liveObjects); }

void LockServer(bool lock) noexcept {
    if (lock) {
        InterlockedIncrement(&locks);
        return;
    }
    // An unlock without a lock must not make the count go negative and keep the DLL unloadable.
    LONG current = locks;
    while (current > 0) {
        const LONG seen = InterlockedCompareExchange(&locks, current - 1, current);
        if (seen == current) return;
        current = seen;
    }
}

void FactoryReferenced() noexcept { InterlockedIncrement(&factoryReferences); }
void FactoryReleased() noexcept { InterlockedDecrement(&factoryReferences); }

long LiveObjects() noexcept { return liveObjects; }
long Locks() noexcept { return locks; }
long FactoryReferences() noexcept { return factoryReferences; }

bool CanUnload() noexcept {
    return liveObjects == 0 && locks == 0 && factoryReferences <= 0 && kit::PendingReleases() == 0;
}

} // namespace kg::server
