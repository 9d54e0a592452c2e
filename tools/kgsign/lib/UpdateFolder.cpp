#include "tools/kgsign/lib/UpdateFolder.h"

#include "core/BigIni.h"
#include "core/ConfigNames.h"
#include "core/Error.h"
#include "core/FileReplacer.h"
#include "tools/kgsign/lib/Crypto.h"
#include "core/IconFile.h"

#include <filesystem>
#include <optional>

namespace kgsign {

namespace {

std::string pathIn(const std::string& folder, const char* name) {
    return (std::filesystem::path(folder) / name).string();
}

std::optional<std::vector<std::uint8_t>> bytesOf(const std::string& path) {
    try {
        return toolbar::ReadFileBytes(path);
    } catch (const kit::InOutError&) {
        return std::nullopt;
    }
}

} // namespace

std::string UpdateKeyOf(const std::string& configFile) {
    config::TBigIniFile ini(configFile);
    const std::string key = ini.ReadString(kg::confignames::kOptions, kg::UpdateKeyName, "");
    return key.find_first_not_of(" \t") == std::string::npos ? std::string() : key;
}

std::vector<std::string> SignFolder(const kg::SigningKey& key, const std::string& folder) {
    std::vector<std::string> signedFiles;
    for (const char* name : SignedFileNames) {
        const std::string file = pathIn(folder, name);
        const std::string text = kg::FormatSignature(Sign(key, toolbar::ReadFileBytes(file)));
        kit::FileReplacer out(file + kg::SignatureSuffix);
        out.write(text.data(), text.size());
        out.commit();
        signedFiles.push_back(file);
    }
    return signedFiles;
}

std::vector<FileVerdict> VerifyFolder(const std::string& folder, const std::string& keyText) {
    std::vector<FileVerdict> verdicts;
    for (const char* name : SignedFileNames) {
        const std::string file = pathIn(folder, name);
        verdicts.push_back({file, kg::CheckSignature(keyText, bytesOf(file), bytesOf(file + kg::SignatureSuffix), Verify)});
    }
    return verdicts;
}

} // namespace kgsign
