#pragma once
// Nothing raised inside the DLL ever crosses a COM boundary: every exported
// function and every interface method runs its body through ComBoundary.
#include <windows.h>

#include <new>

namespace kg {

// The body's own answer, or E_OUTOFMEMORY when it ran out of memory, or
// `otherwise` for any other error it raised.
template <typename Body>
HRESULT ComBoundary(HRESULT otherwise, Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return otherwise;
    }
}

} // namespace kg
