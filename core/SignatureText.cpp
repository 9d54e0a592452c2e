#include "core/SignatureText.h"

#include <algorithm>

namespace kg {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kPrivateKeyName[] = "Private Key";

int valueOf(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return text;
}

template <std::size_t N>
std::optional<std::array<std::uint8_t, N>> decodeExactly(std::string_view text) {
    const auto bytes = DecodeBase64(trimmed(text));
    if (!bytes || bytes->size() != N) return std::nullopt;
    std::array<std::uint8_t, N> out{};
    std::copy(bytes->begin(), bytes->end(), out.begin());
    return out;
}

// The value of "name=" on a line of its own, or nullopt.
std::optional<std::string_view> lineValue(std::string_view text, std::string_view name) {
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = trimmed(text.substr(0, end));
        if (line.size() > name.size() && line.substr(0, name.size()) == name && line[name.size()] == '=')
            return line.substr(name.size() + 1);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return std::nullopt;
}

} // namespace

std::string EncodeBase64(const std::uint8_t* data, std::size_t size) {
    std::string out;
    out.reserve((size + 2) / 3 * 4);
    for (std::size_t i = 0; i < size; i += 3) {
        const std::size_t n = std::min<std::size_t>(3, size - i);
        std::uint32_t group = static_cast<std::uint32_t>(data[i]) << 16;
        if (n > 1) group |= static_cast<std::uint32_t>(data[i + 1]) << 8;
        if (n > 2) group |= data[i + 2];
        out += kAlphabet[(group >> 18) & 63];
        out += kAlphabet[(group >> 12) & 63];
        out += n > 1 ? kAlphabet[(group >> 6) & 63] : '=';
        out += n > 2 ? kAlphabet[group & 63] : '=';
    }
    return out;
}

std::optional<std::vector<std::uint8_t>> DecodeBase64(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::vector<std::uint8_t> out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        const int pad = (text[i + 3] == '=') + (text[i + 2] == '=' && text[i + 3] == '=');
        if (pad > 0 && !last) return std::nullopt;
        std::uint32_t group = 0;
        for (int k = 0; k < 4; ++k) {
            const int v = k >= 4 - pad ? 0 : valueOf(text[i + k]);
            if (v < 0) return std::nullopt;
            group = group << 6 | static_cast<std::uint32_t>(v);
        }
        // Bits below the last whole byte must be zero, or two texts would mean the same bytes.
        if ((pad == 1 && (group & 0xFF) != 0) || (pad == 2 && (group & 0xFFFF) != 0)) return std::nullopt;
        out.push_back(static_cast<std::uint8_t>(group >> 16));
        if (pad < 2) out.push_back(static_cast<std::uint8_t>(group >> 8));
        if (pad < 1) out.push_back(static_cast<std::uint8_t>(group));
    }
    return out;
}

std::optional<PublicKey> ParseUpdateKey(std::string_view text) { return decodeExactly<64>(text); }

std::string FormatUpdateKey(const PublicKey& key) { return EncodeBase64(key.data(), key.size()); }

std::optional<Signature> ParseSignature(std::string_view text) { return decodeExactly<64>(text); }

std::string FormatSignature(const Signature& signature) {
    return EncodeBase64(signature.data(), signature.size()) + "\r\n";
}

const char* Describe(SignatureCheck check) {
    switch (check) {
    case SignatureCheck::Valid: return "signature valid";
    case SignatureCheck::KeyMalformed: return "the \"Update Key\" is not an ECDSA P-256 public key in base64";
    case SignatureCheck::FileMissing: return "the signed file is missing";
    case SignatureCheck::SignatureMissing: return "no signature file";
    case SignatureCheck::SignatureMalformed: return "the signature file does not hold one signature in base64";
    case SignatureCheck::Invalid: return "the signature does not match this file and key";
    }
    return "unknown";
}

SignatureCheck CheckSignature(std::string_view keyText, const std::optional<std::vector<std::uint8_t>>& data,
                              const std::optional<std::vector<std::uint8_t>>& sigText, VerifyFunction verify) {
    const auto key = ParseUpdateKey(keyText);
    if (!key) return SignatureCheck::KeyMalformed;
    if (!data) return SignatureCheck::FileMissing;
    if (!sigText) return SignatureCheck::SignatureMissing;
    const auto signature = ParseSignature(std::string_view(reinterpret_cast<const char*>(sigText->data()), sigText->size()));
    if (!signature) return SignatureCheck::SignatureMalformed;
    return verify(*key, data->data(), data->size(), *signature) ? SignatureCheck::Valid : SignatureCheck::Invalid;
}

std::optional<SigningKey> ParseSigningKeyFile(std::string_view text) {
    const auto d = lineValue(text, kPrivateKeyName);
    const auto pub = lineValue(text, UpdateKeyName);
    if (!d || !pub) return std::nullopt;
    const auto scalar = decodeExactly<32>(*d);
    const auto point = ParseUpdateKey(*pub);
    if (!scalar || !point) return std::nullopt;
    return SigningKey{*scalar, *point};
}

std::string FormatSigningKeyFile(const SigningKey& key) {
    return std::string("; kgsign signing key: keep it secret; publish only the \"Update Key\" line.\r\n") +
           kPrivateKeyName + "=" + EncodeBase64(key.d.data(), key.d.size()) + "\r\n" + UpdateKeyName + "=" +
           FormatUpdateKey(key.publicKey) + "\r\n";
}

} // namespace kg
