// The signing operations over the platform's CNG (bcrypt.dll).
#include "tools/kgsign/lib/Crypto.h"

#include "config/SignedUpdate.h"
#include "kit/Bcrypt.h"

#include <array>
#include <cstring>

namespace kgsign {

namespace {

constexpr ULONG kCoordinate = 32;
// BCRYPT_ECCPRIVATE_BLOB: the header, X, Y and d.
using PrivateBlob = std::array<std::uint8_t, sizeof(BCRYPT_ECCKEY_BLOB) + 3 * kCoordinate>;

kit::unique_bcrypt_alg openEcdsa() {
    kit::unique_bcrypt_alg alg;
    kit::BcryptCheck(BCryptOpenAlgorithmProvider(alg.put(), BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0),
                     "BCryptOpenAlgorithmProvider(ECDSA_P256)");
    return alg;
}

std::array<std::uint8_t, 32> sha256(const std::vector<std::uint8_t>& message) {
    kit::unique_bcrypt_alg alg;
    kit::BcryptCheck(BCryptOpenAlgorithmProvider(alg.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0),
                     "BCryptOpenAlgorithmProvider(SHA256)");
    kit::unique_bcrypt_hash hash;
    kit::BcryptCheck(BCryptCreateHash(alg.get(), hash.put(), nullptr, 0, nullptr, 0, 0), "BCryptCreateHash");
    kit::BcryptCheck(BCryptHashData(hash.get(), const_cast<PUCHAR>(message.data()), static_cast<ULONG>(message.size()), 0),
                     "BCryptHashData");
    std::array<std::uint8_t, 32> digest{};
    kit::BcryptCheck(BCryptFinishHash(hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0),
                     "BCryptFinishHash");
    return digest;
}

} // namespace

kg::SigningKey GenerateKey() {
    kit::unique_bcrypt_alg alg = openEcdsa();
    kit::unique_bcrypt_key key;
    kit::BcryptCheck(BCryptGenerateKeyPair(alg.get(), key.put(), 256, 0), "BCryptGenerateKeyPair");
    kit::BcryptCheck(BCryptFinalizeKeyPair(key.get(), 0), "BCryptFinalizeKeyPair");
    PrivateBlob blob{};
    ULONG written = 0;
    kit::BcryptCheck(BCryptExportKey(key.get(), nullptr, BCRYPT_ECCPRIVATE_BLOB, blob.data(),
                                     static_cast<ULONG>(blob.size()), &written, 0),
                     "BCryptExportKey");
    BCRYPT_ECCKEY_BLOB header{};
    std::memcpy(&header, blob.data(), sizeof header);
    if (written != blob.size() || header.cbKey != kCoordinate) throw kit::Error("BCryptExportKey: unexpected key size");
    kg::SigningKey out;
    std::memcpy(out.publicKey.data(), blob.data() + sizeof header, out.publicKey.size());
    std::memcpy(out.d.data(), blob.data() + sizeof header + 2 * kCoordinate, out.d.size());
    SecureZeroMemory(blob.data(), blob.size());
    return out;
}

kg::Signature Sign(const kg::SigningKey& key, const std::vector<std::uint8_t>& message) {
    kit::unique_bcrypt_alg alg = openEcdsa();
    PrivateBlob blob{};
    const BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PRIVATE_P256_MAGIC, kCoordinate};
    std::memcpy(blob.data(), &header, sizeof header);
    std::memcpy(blob.data() + sizeof header, key.publicKey.data(), key.publicKey.size());
    std::memcpy(blob.data() + sizeof header + 2 * kCoordinate, key.d.data(), key.d.size());
    kit::unique_bcrypt_key privateKey;
    const NTSTATUS imported = BCryptImportKeyPair(alg.get(), nullptr, BCRYPT_ECCPRIVATE_BLOB, privateKey.put(),
                                                  blob.data(), static_cast<ULONG>(blob.size()), 0);
    SecureZeroMemory(blob.data(), blob.size());
    kit::BcryptCheck(imported, "BCryptImportKeyPair (the signing key is not an ECDSA P-256 key pair)");
    std::array<std::uint8_t, 32> digest = sha256(message);
    kg::Signature out{};
    ULONG written = 0;
    kit::BcryptCheck(BCryptSignHash(privateKey.get(), nullptr, digest.data(), static_cast<ULONG>(digest.size()),
                                    out.data(), static_cast<ULONG>(out.size()), &written, 0),
                     "BCryptSignHash");
    if (written != out.size()) throw kit::Error("BCryptSignHash: unexpected signature size");
    // A key file whose two halves do not belong together would sign what nobody can verify.
    if (!Verify(key.publicKey, message.data(), message.size(), out))
        throw kit::Error("the signing key's private and public halves do not belong together");
    return out;
}

bool Verify(const kg::PublicKey& key, const std::uint8_t* data, std::size_t size, const kg::Signature& signature) {
    return kg::VerifyP256Signature(key, data, size, signature);
}

} // namespace kgsign
