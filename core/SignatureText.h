#pragma once
// The text forms of signed updates, shared by the engine and the publisher's
// tools. Portable: no Windows header, no cryptography (that is the platform's).
//
//   "Update Key" (section "Options"): the public point X||Y of an ECDSA P-256
//     key, 64 bytes, in standard base64 (88 characters with the final "==").
//   A ".sig" file: the signature r||s over SHA-256 of the signed file's exact
//     bytes, 64 bytes, in standard base64, on one line (a line end may follow).
//   A signing key file (kgsign's, never published): the lines
//     "Private Key=" base64 of the 32-byte scalar d and "Update Key=" as above.
// Blanks, tabs and line ends around a text are ignored; anything else that is
// not exactly the base64 of the right number of bytes does not parse.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kg {

inline constexpr char UpdateKeyName[] = "Update Key";
inline constexpr char SignatureSuffix[] = ".sig";

using PublicKey = std::array<std::uint8_t, 64>;  // X || Y, big-endian
using Signature = std::array<std::uint8_t, 64>;  // r || s, big-endian
using PrivateScalar = std::array<std::uint8_t, 32>;

struct SigningKey {
    PrivateScalar d{};
    PublicKey publicKey{};
};

std::string EncodeBase64(const std::uint8_t* data, std::size_t size);
// Standard alphabet with padding; nullopt for any other character, a wrong
// length, or padding bits that are not zero (so each text has one meaning).
std::optional<std::vector<std::uint8_t>> DecodeBase64(std::string_view text);

std::optional<PublicKey> ParseUpdateKey(std::string_view text);
std::string FormatUpdateKey(const PublicKey& key);

std::optional<Signature> ParseSignature(std::string_view text);
// The .sig file's whole content: the base64 text and CR LF.
std::string FormatSignature(const Signature& signature);

enum class SignatureCheck {
    Valid,
    KeyMalformed,       // the "Update Key" text does not parse
    FileMissing,        // the signed file cannot be read
    SignatureMissing,   // no .sig file, or it cannot be read
    SignatureMalformed, // the .sig file is not one signature in base64
    Invalid,            // well formed, but not this file's under this key
};


// A line of text for each outcome, for the publisher's tools.
const char* Describe(SignatureCheck check);

// The platform's check of one signature over `size` bytes at `data`.
using VerifyFunction = bool (*)(const PublicKey& key, const std::uint8_t* data, std::size_t size,
                                const Signature& signature);

// Classifies a signed file: the "Update Key" text, the file's bytes and the
// .sig file's bytes (nullopt: could not be read), checked with `verify`.
SignatureCheck CheckSignature(std::string_view keyText, const std::optional<std::vector<std::uint8_t>>& data,
                              const std::optional<std::vector<std::uint8_t>>& sigText, VerifyFunction verify);

std::optional<SigningKey> ParseSigningKeyFile(std::string_view text);
std::string FormatSigningKeyFile(const SigningKey& key);

} // namespace kg
