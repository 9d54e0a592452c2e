#pragma once
// An update folder as a publisher uploads it: "toolbar.ini" and "icons.bin",
// each with its signature beside it ("toolbar.ini.sig", "icons.bin.sig").
// Portable; the cryptography is tools/kgsign/lib/Crypto.h's.
#include "core/SignatureText.h"

#include <string>
#include <vector>

namespace kgsign {

inline constexpr const char* SignedFileNames[] = {"toolbar.ini", "icons.bin"};

struct FileVerdict {
    std::string file; // the signed file's path as formed from the folder
    kg::SignatureCheck result = kg::SignatureCheck::Invalid;
};

// The "Update Key" in "Options" of a configuration file; empty when it has
// none (a missing file has none). Raises kit::InOutError when the file exists
// but cannot be read.
std::string UpdateKeyOf(const std::string& configFile);

// Writes the .sig file of each signed file of the folder (whole or not at
// all). Raises kit::Error when a signed file is missing or cannot be read.
// Answers the files signed.
std::vector<std::string> SignFolder(const kg::SigningKey& key, const std::string& folder);

// The verdict on each signed file of the folder under the key text `keyText`.
std::vector<FileVerdict> VerifyFolder(const std::string& folder, const std::string& keyText);

} // namespace kgsign
