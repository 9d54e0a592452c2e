// kgsign: the publisher's signing tool for update folders. Portable over the
// platform's cryptography (OpenSSL on Linux, CNG on Windows).
#include "core/SignatureText.h"
#include "core/Error.h"
#include "core/FileReplacer.h"
#include "tools/kgsign/lib/Crypto.h"
#include "tools/kgsign/lib/UpdateFolder.h"
#include "core/IconFile.h"

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

namespace {

const char* const kUsage =
    "usage: kgsign keygen KEYFILE\n"
    "       kgsign sign KEYFILE FOLDER\n"
    "       kgsign verify FOLDER [CONFIG]\n"
    "\n"
    "keygen  makes an ECDSA P-256 key pair in KEYFILE (which must not exist yet;\n"
    "        keep it secret) and prints the \"Update Key\" line for section\n"
    "        \"Options\" of the toolbar's configuration.\n"
    "sign    writes \"toolbar.ini.sig\" and \"icons.bin.sig\" beside \"toolbar.ini\"\n"
    "        and \"icons.bin\" in the update folder FOLDER.\n"
    "verify  checks both signatures against the \"Update Key\" of CONFIG, by\n"
    "        default the folder's own \"toolbar.ini\" (give the configuration the\n"
    "        users have when the folder brings a new key).\n"
    "\n"
    "Exit status: 0 done (verify: both signatures valid), 1 a signature is not\n"
    "valid, 2 wrong usage or an error.\n";

struct UsageError {};

kg::SigningKey readKeyFile(const std::string& path) {
    const std::vector<std::uint8_t> bytes = toolbar::ReadFileBytes(path);
    const auto key = kg::ParseSigningKeyFile(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (!key) throw kit::Error(path + ": not a kgsign key file");
    return *key;
}

int keygen(const std::string& path) {
    std::error_code ec;
    if (fs::exists(path, ec)) throw kit::Error(path + ": exists already; a key file is never overwritten");
#ifndef _WIN32
    // The key file is the owner's alone, from its creation on.
    ::umask(077);
#endif
    const kg::SigningKey key = kgsign::GenerateKey();
    const std::string text = kg::FormatSigningKeyFile(key);
    kit::FileReplacer out(path);
    out.write(text.data(), text.size());
    out.commit();
    std::cout << kg::UpdateKeyName << "=" << kg::FormatUpdateKey(key.publicKey) << '\n';
    return 0;
}

int sign(const std::string& keyFile, const std::string& folder) {
    for (const std::string& file : kgsign::SignFolder(readKeyFile(keyFile), folder))
        std::cout << file << kg::SignatureSuffix << ": written\n";
    return 0;
}

int verify(const std::string& folder, std::string config) {
    if (config.empty()) config = (fs::path(folder) / "toolbar.ini").string();
    const std::string key = kgsign::UpdateKeyOf(config);
    if (key.empty()) throw kit::Error(config + ": no \"Update Key\" in section \"Options\"");
    int bad = 0;
    for (const kgsign::FileVerdict& verdict : kgsign::VerifyFolder(folder, key)) {
        std::cout << verdict.file << ": " << kg::Describe(verdict.result) << '\n';
        if (verdict.result != kg::SignatureCheck::Valid) ++bad;
    }
    return bad ? 1 : 0;
}

int run(const std::vector<std::string>& args) {
    if (args.size() == 2 && args[0] == "keygen") return keygen(args[1]);
    if (args.size() == 3 && args[0] == "sign") return sign(args[1], args[2]);
    if ((args.size() == 2 || args.size() == 3) && args[0] == "verify")
        return verify(args[1], args.size() == 3 ? args[2] : std::string());
    throw UsageError{};
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError&) {
        std::cerr << kUsage;
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "kgsign: " << e.what() << '\n';
        return 2;
    }
}
