// The publisher's signing operations over the platform (OpenSSL natively, CNG
// under Wine): what one signs the other verifies, and nothing else verifies.
#include "core/SignatureText.h"
#include "tools/kgsign/lib/Crypto.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Made with the openssl command line (ecparam -genkey, dgst -sha256 -sign),
// its DER signature written as r || s: the same bytes must verify on both platforms.
constexpr char kOpenSslKey[] =
    "hHe+V6jhEhGbQXRJptfWd2VVmJDesf8WrF7CKcsd9+4BvlDbC5kaonwlYOHcRa1lBs7dsgvWW3cf/OCxtbbYLA==";
constexpr char kOpenSslSignature[] =
    "2Yq4vzrHBK7zpESego6u9N48HSsR6gOrMnIsICV5LGHEHYuJH3p910pTZPutj/CpfMsucQ+0wRraFq4pFafNdw==";
const std::string kOpenSslMessage = "Kestrelgrove signed update\r\n";

bool verifies(const kg::PublicKey& key, const Bytes& message, const kg::Signature& sig) {
    return kgsign::Verify(key, message.data(), message.size(), sig);
}

TEST(Signing, WhatIsSignedVerifiesAndNothingElse) {
    const kg::SigningKey key = kgsign::GenerateKey();
    const kg::SigningKey other = kgsign::GenerateKey();
    EXPECT_NE(key.publicKey, other.publicKey);
    const Bytes message = {'[', 'O', 'p', 't', 'i', 'o', 'n', 's', ']', '\r', '\n'};
    const kg::Signature sig = kgsign::Sign(key, message);

    Bytes changed = message;
    changed[3] ^= 1;
    kg::Signature flipped = sig;
    flipped[63] ^= 1;
    kg::PublicKey offCurve = key.publicKey;
    offCurve[63] ^= 1;
    const struct {
        const char* what;
        kg::PublicKey key;
        Bytes message;
        kg::Signature sig;
        bool valid;
    } cases[] = {
        {"as signed", key.publicKey, message, sig, true},
        {"one bit of the message changed", key.publicKey, changed, sig, false},
        {"one byte more", key.publicKey, [&] { Bytes m = message; m.push_back(0); return m; }(), sig, false},
        {"one bit of the signature changed", key.publicKey, message, flipped, false},
        {"another key", other.publicKey, message, sig, false},
        {"a key that is no point of the curve", offCurve, message, sig, false},
        {"all zero", kg::PublicKey{}, message, kg::Signature{}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(verifies(c.key, c.message, c.sig), c.valid);
    }
    const Bytes empty;
    EXPECT_TRUE(verifies(key.publicKey, empty, kgsign::Sign(key, empty))) << "an empty file can be signed too";
}

TEST(Signing, AnOpenSslSignatureVerifiesHere) {
    const auto key = kg::ParseUpdateKey(kOpenSslKey);
    const auto sig = kg::ParseSignature(kOpenSslSignature);
    ASSERT_TRUE(key && sig);
    const Bytes message(kOpenSslMessage.begin(), kOpenSslMessage.end());
    EXPECT_TRUE(verifies(*key, message, *sig));
    Bytes changed = message;
    changed.back() = ' ';
    EXPECT_FALSE(verifies(*key, changed, *sig));
}

TEST(Signing, AKeyFileSignsAfterItsRoundTrip) {
    const kg::SigningKey key = kgsign::GenerateKey();
    const auto back = kg::ParseSigningKeyFile(kg::FormatSigningKeyFile(key));
    ASSERT_TRUE(back);
    const Bytes message = {1, 2, 3};
    EXPECT_TRUE(verifies(key.publicKey, message, kgsign::Sign(*back, message)));
    kg::SigningKey wrong = *back;
    wrong.d[31] ^= 1;
    EXPECT_THROW(kgsign::Sign(wrong, message), std::exception) << "d that does not match the public key";
}

} // namespace
