#pragma once
// Owning wrappers for the platform's CNG (bcrypt.dll) handles, and its status
// codes as errors.
#include <windows.h>
#include <bcrypt.h>

#include <string>

#include "core/Error.h"
#include "kit/Handles.h"

namespace kit {

inline void CloseAlgorithm(BCRYPT_ALG_HANDLE h) noexcept { BCryptCloseAlgorithmProvider(h, 0); }

using unique_bcrypt_alg = unique_handle<BCRYPT_ALG_HANDLE, closed_by<BCRYPT_ALG_HANDLE, &CloseAlgorithm>>;
using unique_bcrypt_key = unique_handle<BCRYPT_KEY_HANDLE, closed_by<BCRYPT_KEY_HANDLE, &BCryptDestroyKey>>;
using unique_bcrypt_hash = unique_handle<BCRYPT_HASH_HANDLE, closed_by<BCRYPT_HASH_HANDLE, &BCryptDestroyHash>>;

inline bool NtSuccess(NTSTATUS status) noexcept { return status >= 0; }

// Raises kit::Error naming the call and its status when it failed.
inline void BcryptCheck(NTSTATUS status, const char* call) {
    if (NtSuccess(status)) return;
    char code[16];
    wsprintfA(code, "0x%08lX", static_cast<unsigned long>(status));
    throw Error(std::string(call) + " failed with status " + code);
}

} // namespace kit
