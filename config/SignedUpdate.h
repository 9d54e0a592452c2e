#pragma once
// Signed updates: with an "Update Key" in the configuration in use, a
// downloaded file counts only with a valid signature beside it, checked with
// the platform's CNG (bcrypt.dll): ECDSA P-256 over SHA-256 of the file's
// exact bytes. Text forms: core/SignatureText.h.
#include "core/SignatureText.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace kg {

// Whether `signature` is the signature of `data` under `key`. False also when
// the platform refuses the key (a point off the curve) or has no ECDSA P-256.
bool VerifyP256Signature(const PublicKey& key, const std::uint8_t* data, std::size_t size,
                         const Signature& signature);

// Checks the file `file` against the signature in `sigFile` and the "Update
// Key" text `keyText`.
SignatureCheck CheckUpdateSignature(const std::string& keyText, const std::string& file, const std::string& sigFile);

// The update's one question: is this download usable as far as its signature goes?
inline bool VerifyUpdateSignature(const std::string& keyText, const std::string& file, const std::string& sigFile) {
    return CheckUpdateSignature(keyText, file, sigFile) == SignatureCheck::Valid;
}

} // namespace kg
