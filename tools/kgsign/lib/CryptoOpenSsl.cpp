// The signing operations over OpenSSL 3's libcrypto.
#include "tools/kgsign/lib/Crypto.h"

#include "core/Error.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>

#include <memory>
#include <string>

namespace kgsign {

namespace {

template <auto Free>
struct Deleter {
    template <typename T>
    void operator()(T* p) const noexcept { Free(p); }
};
using PKey = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>>;
using PKeyCtx = std::unique_ptr<EVP_PKEY_CTX, Deleter<EVP_PKEY_CTX_free>>;
using MdCtx = std::unique_ptr<EVP_MD_CTX, Deleter<EVP_MD_CTX_free>>;
using Bignum = std::unique_ptr<BIGNUM, Deleter<BN_free>>;
using EcdsaSig = std::unique_ptr<ECDSA_SIG, Deleter<ECDSA_SIG_free>>;
using ParamBld = std::unique_ptr<OSSL_PARAM_BLD, Deleter<OSSL_PARAM_BLD_free>>;
using Params = std::unique_ptr<OSSL_PARAM, Deleter<OSSL_PARAM_free>>;

constexpr char kCurve[] = "prime256v1";

void freeDer(unsigned char* der) noexcept { OPENSSL_free(der); }

[[noreturn]] void fail(const std::string& what) {
    const unsigned long code = ERR_get_error();
    char text[256] = "no further detail";
    if (code) ERR_error_string_n(code, text, sizeof text);
    throw kit::Error(what + ": " + text);
}

// The uncompressed point 04 || X || Y.
std::vector<unsigned char> pointOf(const kg::PublicKey& key) {
    std::vector<unsigned char> point{0x04};
    point.insert(point.end(), key.begin(), key.end());
    return point;
}

// A key from its parts; without `d` a public key only. Null when OpenSSL refuses it.
PKey keyFrom(const kg::PublicKey& publicKey, const kg::PrivateScalar* d) {
    ParamBld build(OSSL_PARAM_BLD_new());
    if (!build) return nullptr;
    const std::vector<unsigned char> point = pointOf(publicKey);
    Bignum scalar(d ? BN_bin2bn(d->data(), static_cast<int>(d->size()), nullptr) : nullptr);
    if (!OSSL_PARAM_BLD_push_utf8_string(build.get(), OSSL_PKEY_PARAM_GROUP_NAME, kCurve, 0) ||
        !OSSL_PARAM_BLD_push_octet_string(build.get(), OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size()) ||
        (d && (!scalar || !OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_PRIV_KEY, scalar.get()))))
        return nullptr;
    Params params(OSSL_PARAM_BLD_to_param(build.get()));
    PKeyCtx ctx(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
    if (!params || !ctx || EVP_PKEY_fromdata_init(ctx.get()) <= 0) return nullptr;
    EVP_PKEY* key = nullptr;
    if (EVP_PKEY_fromdata(ctx.get(), &key, d ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY, params.get()) <= 0)
        return nullptr;
    PKey owned(key);
    // fromdata takes the point as given; a point off the curve must not pass as a key.
    PKeyCtx check(EVP_PKEY_CTX_new_from_pkey(nullptr, owned.get(), nullptr));
    if (!check || EVP_PKEY_public_check(check.get()) != 1) return nullptr;
    return owned;
}

} // namespace

kg::SigningKey GenerateKey() {
    PKey key(EVP_EC_gen(kCurve));
    if (!key) fail("cannot generate an ECDSA P-256 key");
    kg::SigningKey out;
    unsigned char point[65];
    std::size_t pointSize = 0;
    BIGNUM* d = nullptr;
    if (!EVP_PKEY_get_octet_string_param(key.get(), OSSL_PKEY_PARAM_PUB_KEY, point, sizeof point, &pointSize) ||
        pointSize != sizeof point || point[0] != 0x04 || !EVP_PKEY_get_bn_param(key.get(), OSSL_PKEY_PARAM_PRIV_KEY, &d))
        fail("cannot read the generated key");
    Bignum scalar(d);
    if (BN_bn2binpad(scalar.get(), out.d.data(), static_cast<int>(out.d.size())) != static_cast<int>(out.d.size()))
        fail("cannot read the generated key");
    std::copy(point + 1, point + sizeof point, out.publicKey.begin());
    return out;
}

kg::Signature Sign(const kg::SigningKey& key, const std::vector<std::uint8_t>& message) {
    PKey pkey = keyFrom(key.publicKey, &key.d);
    if (!pkey) fail("the signing key is not an ECDSA P-256 key pair");
    MdCtx md(EVP_MD_CTX_new());
    std::size_t size = 0;
    if (!md || EVP_DigestSignInit(md.get(), nullptr, EVP_sha256(), nullptr, pkey.get()) != 1 ||
        EVP_DigestSign(md.get(), nullptr, &size, message.data(), message.size()) != 1)
        fail("cannot sign");
    std::vector<unsigned char> der(size);
    if (EVP_DigestSign(md.get(), der.data(), &size, message.data(), message.size()) != 1) fail("cannot sign");
    // OpenSSL writes DER; the signature files and CNG take r || s.
    const unsigned char* at = der.data();
    EcdsaSig sig(d2i_ECDSA_SIG(nullptr, &at, static_cast<long>(size)));
    if (!sig) fail("cannot read the signature");
    kg::Signature out;
    if (BN_bn2binpad(ECDSA_SIG_get0_r(sig.get()), out.data(), 32) != 32 ||
        BN_bn2binpad(ECDSA_SIG_get0_s(sig.get()), out.data() + 32, 32) != 32)
        fail("cannot read the signature");
    // A key file whose two halves do not belong together would sign what nobody can verify.
    if (!Verify(key.publicKey, message.data(), message.size(), out))
        throw kit::Error("the signing key's private and public halves do not belong together");
    return out;
}

bool Verify(const kg::PublicKey& key, const std::uint8_t* data, std::size_t size, const kg::Signature& signature) {
    PKey pkey = keyFrom(key, nullptr);
    if (!pkey) {
        ERR_clear_error();
        return false;
    }
    EcdsaSig sig(ECDSA_SIG_new());
    Bignum r(BN_bin2bn(signature.data(), 32, nullptr)), s(BN_bin2bn(signature.data() + 32, 32, nullptr));
    if (!sig || !r || !s || !ECDSA_SIG_set0(sig.get(), r.get(), s.get())) return false;
    r.release();
    s.release();
    unsigned char* der = nullptr;
    const int derSize = i2d_ECDSA_SIG(sig.get(), &der);
    if (derSize <= 0) return false;
    std::unique_ptr<unsigned char, Deleter<freeDer>> owned(der);
    MdCtx md(EVP_MD_CTX_new());
    const bool valid = md && EVP_DigestVerifyInit(md.get(), nullptr, EVP_sha256(), nullptr, pkey.get()) == 1 &&
                       EVP_DigestVerify(md.get(), der, static_cast<std::size_t>(derSize), data, size) == 1;
    ERR_clear_error();
    return valid;
}

} // namespace kgsign
