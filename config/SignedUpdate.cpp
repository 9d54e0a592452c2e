#include "config/SignedUpdate.h"

#include "kit/Bcrypt.h"
#include "core/Error.h"
#include "kit/Files.h"
#include "core/IconFile.h"

#include <array>
#include <cstring>
#include <optional>
#include <vector>

namespace kg {

namespace {

constexpr std::size_t kCoordinateSize = 32;

std::optional<std::array<std::uint8_t, 32>> sha256(const std::uint8_t* data, std::size_t size) {
    kit::unique_bcrypt_alg alg;
    if (!kit::NtSuccess(BCryptOpenAlgorithmProvider(alg.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
        return std::nullopt;
    // BCryptCreateHash and its companions, not BCryptHash, which Windows before 10 lacks.
    kit::unique_bcrypt_hash hash;
    if (!kit::NtSuccess(BCryptCreateHash(alg.get(), hash.put(), nullptr, 0, nullptr, 0, 0))) return std::nullopt;
    constexpr std::size_t kChunk = 1 << 20;
    for (std::size_t at = 0; at < size; at += kChunk) {
        const ULONG n = static_cast<ULONG>(size - at < kChunk ? size - at : kChunk);
        if (!kit::NtSuccess(BCryptHashData(hash.get(), const_cast<PUCHAR>(data + at), n, 0))) return std::nullopt;
    }
    std::array<std::uint8_t, 32> digest{};
    if (!kit::NtSuccess(BCryptFinishHash(hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0)))
        return std::nullopt;
    return digest;
}

std::optional<std::vector<std::uint8_t>> bytesOf(const std::string& path) {
    if (!kit::IsFile(path)) return std::nullopt;
    try {
        return toolbar::ReadFileBytes(path);
    } catch (const kit::InOutError&) {
        return std::nullopt;
    }
}

} // namespace

bool VerifyP256Signature(const PublicKey& key, const std::uint8_t* data, std::size_t size,
                         const Signature& signature) {
    const auto digest = sha256(data, size);
    if (!digest) return false;
    kit::unique_bcrypt_alg alg;
    if (!kit::NtSuccess(BCryptOpenAlgorithmProvider(alg.put(), BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0)))
        return false;
    // BCRYPT_ECCPUBLIC_BLOB: the header, then X and Y.
    std::array<std::uint8_t, sizeof(BCRYPT_ECCKEY_BLOB) + 2 * kCoordinateSize> blob{};
    const BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, static_cast<ULONG>(kCoordinateSize)};
    std::memcpy(blob.data(), &header, sizeof header);
    std::memcpy(blob.data() + sizeof header, key.data(), key.size());
    kit::unique_bcrypt_key publicKey;
    if (!kit::NtSuccess(BCryptImportKeyPair(alg.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, publicKey.put(), blob.data(),
                                            static_cast<ULONG>(blob.size()), 0)))
        return false;
    Signature rs = signature;
    const NTSTATUS status = BCryptVerifySignature(publicKey.get(), nullptr, const_cast<PUCHAR>(digest->data()),
                                                  static_cast<ULONG>(digest->size()), rs.data(),
                                                  static_cast<ULONG>(rs.size()), 0);
    return status == 0;
}

SignatureCheck CheckUpdateSignature(const std::string& keyText, const std::string& file, const std::string& sigFile) {
    return CheckSignature(keyText, bytesOf(file), bytesOf(sigFile), VerifyP256Signature);
}

} // namespace kg
