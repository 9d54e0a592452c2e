#include "toolbar/HistoryFile.h"

#include "core/Error.h"
#include "kit/Files.h"
#include "core/FileReplacer.h"
#include "kit/Handles.h"
#include "core/HistoryFormat.h"

#include <windows.h>

#include <algorithm>
#include <limits>

namespace kg {

bool HistoryFileExists(const std::string& path) { return kit::IsFile(path); }

std::vector<std::string> ReadHistoryFile(const std::string& path) {
    const std::string failure = "Cannot open file " + path;
    kit::unique_file file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw kit::InOutError(failure);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > std::numeric_limits<std::size_t>::max() / 2)
        throw kit::InOutError(failure);
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        DWORD read = 0;
        if (!ReadFile(file.get(), bytes.data() + done, chunk, &read, nullptr)) throw kit::InOutError(failure);
        if (read == 0) break;  // the file shrank meanwhile
        done += read;
    }
    bytes.resize(done);
    return ParseHistoryText(bytes);
}

void WriteHistoryFile(const std::string& path, const std::vector<std::string>& entries) {
    try {
        kit::ReplaceFileContents(path, FormatHistoryText(entries));
    } catch (const kit::InOutError&) {
        throw kit::InOutError("Cannot create file " + path); // the runtime's own text for this failure
    }
}

} // namespace kg
