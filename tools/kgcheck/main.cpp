// kgcheck: reports what the engine would silently ignore or refuse in a
// toolbar's folder, one finding a line, in the form compilers use. Portable;
// the Windows build also checks the toolbar as installed (Installed.h).
#include "core/BigIni.h"
#include "core/ConfigNames.h"
#include "core/Error.h"
#include "core/IconFile.h"
#include "core/SignatureText.h"
#include "tools/kgcheck/lib/Checker.h"
#include "tools/kgsign/lib/UpdateFolder.h"
#ifdef _WIN32
#include "tools/kgcheck/Installed.h"
#endif

#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const kUsage =
    "usage: kgcheck [--strict] [--toolbar-file NAME] [--update-folder DIR] FOLDER\n"
#ifdef _WIN32
    "       kgcheck [--strict] [--update-folder DIR] --installed [--protected-mode]\n"
#endif
    "\n"
    "Checks a toolbar's folder: the configuration file NAME.ini, \"Icons.bin\",\n"
    "the banner NAME.bmp and \"Copyrights.txt\". NAME is the \"Toolbar File\" the\n"
    "installation writes into the toolbar key; without --toolbar-file it is taken\n"
    "from the folder's only configuration file (*.ini, not counting the update\n"
    "files \"NAME Internet.ini\" and \"NAME Default.ini\"). File names are matched\n"
    "without regard to letter case, as Windows does.\n"
    "\n"
    "With --update-folder, also checks the signatures \"toolbar.ini.sig\" and\n"
    "\"icons.bin.sig\" of the update folder DIR against the \"Update Key\" of\n"
    "the configuration NAME.ini.\n"
    "\n"
#ifdef _WIN32
    "With --installed, checks the toolbar as installed on this machine: the\n"
    "toolbar key under HKEY_LOCAL_MACHINE (\"InstallPath\", \"Toolbar File\") names\n"
    "the install folder. The configuration NAME.ini and \"Icons.bin\" checked are\n"
    "those in use: the per-user copy an update left (in the folder named after\n"
    "\"Toolbar Name\" under the user's local application data) when there is one,\n"
    "otherwise the install folder's; the banner and \"Copyrights.txt\" are the\n"
    "install folder's. A note line says which copy was checked. With\n"
    "--protected-mode, the per-user copy is the one of a browser in Protected\n"
    "Mode (under the low-integrity folder \"LocalLow\").\n"
    "\n"
#endif
    "Prints every finding as FILE:LINE: error|warning: TEXT (FILE: ... for a\n"
    "finding about a whole file).\n"
    "Exit status: 0 no error (with --strict: no finding at all), 1 findings,\n"
    "2 wrong usage, or no configuration file (or installed toolbar) to check.\n";

struct UsageError {};

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The folder's regular files by their names in lower case.
std::vector<fs::path> filesOf(const fs::path& folder) {
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file()) files.push_back(entry.path());
    return files;
}

std::optional<fs::path> findFile(const std::vector<fs::path>& files, const std::string& name) {
    for (const fs::path& f : files)
        if (lower(f.filename().string()) == lower(name)) return f;
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> bytesOf(const std::optional<fs::path>& file) {
    if (!file) return std::nullopt;
    return toolbar::ReadFileBytes(file->string());
}

std::string toolbarFileOf(const std::vector<fs::path>& files, const std::string& folder) {
    std::vector<std::string> candidates;
    for (const fs::path& f : files) {
        const std::string name = lower(f.filename().string());
        if (endsWith(name, ".ini") && !endsWith(name, " internet.ini") && !endsWith(name, " default.ini"))
            candidates.push_back(f.stem().string());
    }
    if (candidates.size() == 1) return candidates.front();
    if (candidates.empty()) throw kit::Error(folder + ": no configuration file (*.ini) in this folder");
    std::string list;
    for (const std::string& c : candidates) list += " \"" + c + ".ini\"";
    throw kit::Error(folder + ": several configuration files (" + list.substr(1) +
                     "); name the one to check with --toolbar-file");
}

// The update folder's signatures under the key of the configuration being checked.
std::vector<kgcheck::Finding> checkUpdateFolder(const std::string& folder, const kgcheck::ToolbarFiles& toolbar) {
    std::string key;
    if (toolbar.config) {
        config::TBigIniFile ini;
        ini.LoadFromText(*toolbar.config);
        key = ini.ReadString(kg::confignames::kOptions, kg::UpdateKeyName, "");
    }
    if (key.find_first_not_of(" \t") == std::string::npos)
        return {{folder, 0, true, "--update-folder: the configuration has no \"Update Key\", so nothing is verified"}};
    std::vector<kgcheck::Finding> findings;
    for (const kgsign::FileVerdict& verdict : kgsign::VerifyFolder(folder, key))
        if (verdict.result != kg::SignatureCheck::Valid)
            findings.push_back({verdict.file, 0, true,
                                std::string("signature: ") + kg::Describe(verdict.result) +
                                    ": the engine keeps this download and does not use it"});
    return findings;
}

// A folder's toolbar files, named as the engine forms them; the checker shows them so.
kgcheck::ToolbarFiles folderFiles(std::string folder, std::string toolbarFile) {
    while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) throw kit::Error(folder + ": not a folder");

    const std::vector<fs::path> files = filesOf(folder);
    if (toolbarFile.empty()) toolbarFile = toolbarFileOf(files, folder);

    kgcheck::ToolbarFiles toolbar;
    toolbar.folder = folder;
    toolbar.toolbarFile = toolbarFile;
    if (const auto config = findFile(files, toolbarFile + ".ini")) {
        const std::vector<std::uint8_t> bytes = toolbar::ReadFileBytes(config->string());
        toolbar.config = std::string(bytes.begin(), bytes.end());
    }
    toolbar.icons = bytesOf(findFile(files, "Icons.bin"));
    toolbar.banner = bytesOf(findFile(files, toolbarFile + ".bmp"));
    toolbar.hasLegalNotice = findFile(files, "Copyrights.txt").has_value();
    return toolbar;
}

int run(const std::vector<std::string>& args) {
    bool strict = false;
    std::string toolbarFile;
    std::string folder;
    std::string updateFolder;
    bool installed = false;
    bool protectedMode = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--strict") {
            strict = true;
#ifdef _WIN32
        } else if (args[i] == "--installed") {
            installed = true;
        } else if (args[i] == "--protected-mode") {
            protectedMode = true;
#endif
        } else if (args[i] == "--toolbar-file" && i + 1 < args.size()) {
            toolbarFile = args[++i];
        } else if (args[i] == "--update-folder" && i + 1 < args.size()) {
            updateFolder = args[++i];
        } else if (args[i].empty() || args[i].front() == '-' || !folder.empty()) {
            throw UsageError{};
        } else {
            folder = args[i];
        }
    }
    std::vector<std::string> notes;
    kgcheck::ToolbarFiles toolbar;
    std::vector<kgcheck::Finding> findings;
    if (installed || protectedMode) {
        if (!installed || !folder.empty() || !toolbarFile.empty()) throw UsageError{};
#ifdef _WIN32
        kgcheck::InstalledCheck check = kgcheck::CheckInstalledToolbar(protectedMode);
        notes = std::move(check.notes);
        findings = std::move(check.findings);
        toolbar = std::move(check.files);
#endif
    } else {
        if (folder.empty()) throw UsageError{};
        toolbar = folderFiles(folder, toolbarFile);
        findings = kgcheck::CheckToolbar(toolbar);
    }
    if (!updateFolder.empty()) {
        while (updateFolder.size() > 1 && (updateFolder.back() == '/' || updateFolder.back() == '\\')) updateFolder.pop_back();
        std::error_code ec;
        if (!fs::is_directory(updateFolder, ec)) throw kit::Error(updateFolder + ": not a folder");
        for (kgcheck::Finding& f : checkUpdateFolder(updateFolder, toolbar)) findings.push_back(std::move(f));
    }
    for (const std::string& note : notes) std::cout << note << '\n';
    int errors = 0, warnings = 0;
    for (const kgcheck::Finding& finding : findings) {
        std::cout << finding.Format() << '\n';
        ++(finding.error ? errors : warnings);
    }
    if (errors || warnings)
        std::cout << errors << (errors == 1 ? " error, " : " errors, ") << warnings
                  << (warnings == 1 ? " warning" : " warnings") << '\n';
    return errors > 0 || (strict && warnings > 0) ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError&) {
        std::cerr << kUsage;
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "kgcheck: " << e.what() << '\n';
        return 2;
    }
}
