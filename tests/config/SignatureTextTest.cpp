// The text forms of keys and signatures: exactly one text for each value, and
// everything else refused, so that no stray file or line passes as a signature.
#include "core/SignatureText.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

TEST(Base64, DecodesTheStandardFormOnly) {
    const struct {
        const char* text;
        std::optional<Bytes> decoded;
    } cases[] = {
        {"", Bytes{}},
        {"Zg==", bytes("f")},
        {"Zm8=", bytes("fo")},
        {"Zm9v", bytes("foo")},
        {"Zm9vYg==", bytes("foob")},
        {"+/+/", Bytes{0xFB, 0xFF, 0xBF}},
        {"Zg", std::nullopt},          // no padding
        {"Zg=", std::nullopt},         // a length that is no multiple of 4
        {"Zh==", std::nullopt},        // padding bits not zero: another text for "f"
        {"Zm9=", std::nullopt},        // the same for "fo"
        {"Zg==Zm8=", std::nullopt},    // padding inside
        {"Z=g=", std::nullopt},        // "=" before a character
        {"Zm9v Zm9v", std::nullopt},   // a blank inside
        {"-_-_", std::nullopt},        // the URL-safe alphabet
        {"Zm9v\n", std::nullopt},      // decoding itself trims nothing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(kg::DecodeBase64(c.text), c.decoded);
        if (c.decoded) EXPECT_EQ(kg::EncodeBase64(c.decoded->data(), c.decoded->size()), c.text);
    }
}

TEST(SignatureText, KeysAndSignaturesParseAtTheirExactSize) {
    kg::PublicKey key{};
    for (std::size_t i = 0; i < key.size(); ++i) key[i] = static_cast<std::uint8_t>(i * 7 + 1);
    const std::string text = kg::FormatUpdateKey(key);
    ASSERT_EQ(text.size(), 88u);
    const struct {
        const char* what;
        std::string text;
        bool parses;
    } cases[] = {
        {"as formatted", text, true},
        {"with blanks, tabs and a line end around", " \t" + text + "\r\n", true},
        {"63 bytes", kg::EncodeBase64(key.data(), 63), false},
        {"65 bytes", kg::EncodeBase64(Bytes(65, 1).data(), 65), false},
        {"a character changed to one outside the alphabet", "*" + text.substr(1), false},
        {"cut by one character", text.substr(0, 87), false},
        {"empty", "", false},
        {"hexadecimal instead", std::string(128, 'a'), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(kg::ParseUpdateKey(c.text).has_value(), c.parses);
        EXPECT_EQ(kg::ParseSignature(c.text).has_value(), c.parses);
    }
    EXPECT_EQ(kg::ParseUpdateKey(text), key);
    const std::string sigFile = kg::FormatSignature(key);
    EXPECT_EQ(sigFile, text + "\r\n");
    EXPECT_EQ(kg::ParseSignature(sigFile), key);
}

TEST(SignatureText, SigningKeyFileRoundTripsAndNeedsBothLines) {
    kg::SigningKey key;
    key.d.fill(0x5A);
    key.publicKey.fill(0xC3);
    const std::string file = kg::FormatSigningKeyFile(key);
    const auto back = kg::ParseSigningKeyFile(file);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->d, key.d);
    EXPECT_EQ(back->publicKey, key.publicKey);
    EXPECT_NE(file.find("Update Key=" + kg::FormatUpdateKey(key.publicKey) + "\r\n"), std::string::npos)
        << "the line a publisher copies into \"Options\"";

    const std::string dLine = file.substr(file.find("Private Key="));
    const std::string keyLine = file.substr(file.find("Update Key="));
    EXPECT_FALSE(kg::ParseSigningKeyFile(keyLine)) << "no private key";
    EXPECT_FALSE(kg::ParseSigningKeyFile(dLine.substr(0, dLine.find('\n') + 1))) << "no public key";
    EXPECT_FALSE(kg::ParseSigningKeyFile("Private Key=AAAA\n" + keyLine)) << "a private key of 3 bytes";
}

kg::PublicKey gKey{};
bool gVerdict = true;
bool fakeVerify(const kg::PublicKey& key, const std::uint8_t*, std::size_t, const kg::Signature&) {
    return key == gKey && gVerdict;
}

TEST(SignatureText, CheckSignatureNamesWhatIsWrong) {
    gKey.fill(9);
    const std::string keyText = kg::FormatUpdateKey(gKey);
    const Bytes sig = bytes(kg::FormatSignature(kg::Signature{}));
    const struct {
        const char* what;
        std::string key;
        std::optional<Bytes> data, sigText;
        bool verdict;
        kg::SignatureCheck result;
    } cases[] = {
        {"valid", keyText, bytes("data"), sig, true, kg::SignatureCheck::Valid},
        {"the platform says no", keyText, bytes("data"), sig, false, kg::SignatureCheck::Invalid},
        {"a key that does not parse", "nokey", bytes("data"), sig, true, kg::SignatureCheck::KeyMalformed},
        {"no file", keyText, std::nullopt, sig, true, kg::SignatureCheck::FileMissing},
        {"no signature", keyText, bytes("data"), std::nullopt, true, kg::SignatureCheck::SignatureMissing},
        {"an error page as signature", keyText, bytes("data"), bytes("<html>404</html>"), true,
         kg::SignatureCheck::SignatureMalformed},
        {"a truncated signature", keyText, bytes("data"), Bytes(sig.begin(), sig.begin() + 40), true,
         kg::SignatureCheck::SignatureMalformed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        gVerdict = c.verdict;
        EXPECT_EQ(kg::CheckSignature(c.key, c.data, c.sigText, fakeVerify), c.result);
    }
}

} // namespace
