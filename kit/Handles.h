#pragma once
// Owning wrappers for Win32 handles and COM interfaces; logic never calls
// CloseHandle, DeleteObject or Release by hand.
#include <windows.h>
#include <ole2.h>
#include <commctrl.h>
#include <wininet.h>

#include <cstdint>

#include "core/UniqueHandle.h"
#include "kit/ComPtr.h"

namespace kit {

// The traits of a handle that `Close` frees and whose empty value is `Empty`
// (null for most kinds, INVALID_HANDLE_VALUE for files); one shape for every kind.
template <typename H, auto Close, std::intptr_t Empty = 0>
struct closed_by {
    static H invalid() noexcept { return reinterpret_cast<H>(Empty); }
    static void close(H h) noexcept { Close(h); }
};

// A window may already be gone with its parent.
inline void DestroyLiveWindow(HWND h) noexcept {
    if (IsWindow(h)) DestroyWindow(h);
}

using unique_hkey = unique_handle<HKEY, closed_by<HKEY, &RegCloseKey>>;
using unique_file = unique_handle<HANDLE, closed_by<HANDLE, &CloseHandle, -1>>;
// A thread, event or other kernel object, whose empty value is null.
using unique_kernel_object = unique_handle<HANDLE, closed_by<HANDLE, &CloseHandle>>;
using unique_hinternet = unique_handle<HINTERNET, closed_by<HINTERNET, &InternetCloseHandle>>;
using unique_hbitmap = unique_handle<HBITMAP, closed_by<HBITMAP, &DeleteObject>>;
using unique_hgdiobj = unique_handle<HGDIOBJ, closed_by<HGDIOBJ, &DeleteObject>>;
using unique_himagelist = unique_handle<HIMAGELIST, closed_by<HIMAGELIST, &ImageList_Destroy>>;
using unique_hmenu = unique_handle<HMENU, closed_by<HMENU, &DestroyMenu>>;
using unique_hwnd = unique_handle<HWND, closed_by<HWND, &DestroyLiveWindow>>;
using unique_hdc = unique_handle<HDC, closed_by<HDC, &DeleteDC>>;
using unique_hicon = unique_handle<HICON, closed_by<HICON, &DestroyIcon>>;
using unique_hglobal = unique_handle<HGLOBAL, closed_by<HGLOBAL, &GlobalFree>>;
using unique_hmodule = unique_handle<HMODULE, closed_by<HMODULE, &FreeLibrary>>;

// Selects an object into a DC for one scope.
class select_object {
public:
    select_object(HDC dc, HGDIOBJ obj) noexcept : dc_(dc), old_(SelectObject(dc, obj)) {}
    select_object(const select_object&) = delete;
    select_object& operator=(const select_object&) = delete;
    ~select_object() { SelectObject(dc_, old_); }
private:
    HDC dc_;
    HGDIOBJ old_;
};

// Initialises COM on this thread (apartment) for one scope.
class com_apartment {
public:
    com_apartment() noexcept : hr_(OleInitialize(nullptr)) {}
    com_apartment(const com_apartment&) = delete;
    com_apartment& operator=(const com_apartment&) = delete;
    ~com_apartment() { if (SUCCEEDED(hr_)) OleUninitialize(); }
private:
    HRESULT hr_;
};

} // namespace kit
