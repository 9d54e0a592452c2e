#pragma once
// The publisher's signing operations, over the platform's cryptography:
// OpenSSL's libcrypto on Linux, CNG (bcrypt.dll) on Windows. ECDSA P-256
// with SHA-256, in the text forms of core/SignatureText.h.
#include "core/SignatureText.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kgsign {

// A fresh key pair; raises kit::Error when the platform fails.
kg::SigningKey GenerateKey();
// The signature of `message`; raises kit::Error when the platform refuses the key.
kg::Signature Sign(const kg::SigningKey& key, const std::vector<std::uint8_t>& message);
// Whether `signature` is the signature of `message` under `key`.
// Whether `signature` is the signature of the `size` bytes at `data` under `key`
// (a kg::VerifyFunction).
bool Verify(const kg::PublicKey& key, const std::uint8_t* data, std::size_t size, const kg::Signature& signature);

} // namespace kgsign
