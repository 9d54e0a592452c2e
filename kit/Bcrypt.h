#pragma once
// Owning wrappers for the platform's CNG (bcrypt.dll) handles, and its status
// codes as errors.
#include <windows.h>
#include <bcrypt.h>

#include <string>

#include "core/Error.h"
#include "kit/Handles.h"

namespace kit {

struct bcrypt_alg_traits {
    static BCRYPT_ALG_HANDLE invalid() noexcept { return nullptr; }
    static void close(BCRYPT_ALG_HANDLE h) noexcept { BCryptCloseAlgorithmProvider(h, 0); }
};
struct bcrypt_key_traits {
    static BCRYPT_KEY_HANDLE invalid() noexcept { return nullptr; }
    static void close(BCRYPT_KEY_HANDLE h) noexcept { BCryptDestroyKey(h); }
};
struct bcrypt_hash_traits {
    static BCRYPT_HASH_HANDLE invalid() noexcept { return nullptr; }
    static void close(BCRYPT_HASH_HANDLE h) noexcept { BCryptDestroyHash(h); }
};
using unique_bcrypt_alg = unique_handle<BCRYPT_ALG_HANDLE, bcrypt_alg_traits>;
using unique_bcrypt_key = unique_handle<BCRYPT_KEY_HANDLE, bcrypt_key_traits>;
using unique_bcrypt_hash = unique_handle<BCRYPT_HASH_HANDLE, bcrypt_hash_traits>;

inline bool NtSuccess(NTSTATUS status) noexcept { return status >= 0; }

// Raises kit::Error naming the call and its status when it failed.
inline void BcryptCheck(NTSTATUS status, const char* call) {
    if (NtSuccess(status)) return;
    char code[16];
    wsprintfA(code, "0x%08lX", static_cast<unsigned long>(status));
    throw Error(std::string(call) + " failed with status " + code);
}

} // namespace kit
