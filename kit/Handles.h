#pragma once
// Owning wrappers for Win32 handles and COM interfaces; logic never calls
// CloseHandle, DeleteObject or Release by hand.
#include <windows.h>
#include <ole2.h>
#include <commctrl.h>
#include <wininet.h>
#include "core/UniqueHandle.h"
#include "kit/ComPtr.h"

namespace kit {

struct hkey_traits {
    static HKEY invalid() noexcept { return nullptr; }
    static void close(HKEY h) noexcept { RegCloseKey(h); }
};
struct file_traits {
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { CloseHandle(h); }
};
struct hinternet_traits {
    static HINTERNET invalid() noexcept { return nullptr; }
    static void close(HINTERNET h) noexcept { InternetCloseHandle(h); }
};
struct hbitmap_traits {
    static HBITMAP invalid() noexcept { return nullptr; }
    static void close(HBITMAP h) noexcept { DeleteObject(h); }
};
struct hgdiobj_traits {
    static HGDIOBJ invalid() noexcept { return nullptr; }
    static void close(HGDIOBJ h) noexcept { DeleteObject(h); }
};
struct himagelist_traits {
    static HIMAGELIST invalid() noexcept { return nullptr; }
    static void close(HIMAGELIST h) noexcept { ImageList_Destroy(h); }
};
struct hmenu_traits {
    static HMENU invalid() noexcept { return nullptr; }
    static void close(HMENU h) noexcept { DestroyMenu(h); }
};
struct hwnd_traits {
    static HWND invalid() noexcept { return nullptr; }
    static void close(HWND h) noexcept { if (IsWindow(h)) DestroyWindow(h); }
};
struct hdc_traits {
    static HDC invalid() noexcept { return nullptr; }
    static void close(HDC h) noexcept { DeleteDC(h); }
};
struct hicon_traits {
    static HICON invalid() noexcept { return nullptr; }
    static void close(HICON h) noexcept { DestroyIcon(h); }
};
struct hmodule_traits {
    static HMODULE invalid() noexcept { return nullptr; }
    static void close(HMODULE h) noexcept { FreeLibrary(h); }
};
struct hglobal_traits {
    static HGLOBAL invalid() noexcept { return nullptr; }
    static void close(HGLOBAL h) noexcept { GlobalFree(h); }
};

using unique_hkey = unique_handle<HKEY, hkey_traits>;
using unique_file = unique_handle<HANDLE, file_traits>;
using unique_hinternet = unique_handle<HINTERNET, hinternet_traits>;
using unique_hbitmap = unique_handle<HBITMAP, hbitmap_traits>;
using unique_hgdiobj = unique_handle<HGDIOBJ, hgdiobj_traits>;
using unique_himagelist = unique_handle<HIMAGELIST, himagelist_traits>;
using unique_hmenu = unique_handle<HMENU, hmenu_traits>;
using unique_hwnd = unique_handle<HWND, hwnd_traits>;
using unique_hdc = unique_handle<HDC, hdc_traits>;
using unique_hicon = unique_handle<HICON, hicon_traits>;
using unique_hglobal = unique_handle<HGLOBAL, hglobal_traits>;
using unique_hmodule = unique_handle<HMODULE, hmodule_traits>;

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
